// CDXF_TEXT, the DXF writer: the cutting moves as a drawing. korvat names the output file
// itself (-o or the profile), so the writer's file-name dialog keeps the proposed name. The
// drawing's view is sized by InitStruct.Weitere[0] and [1] (width and height in mm, which the
// writer does not otherwise read); 0 gives 100 x 100 mm. A [workpiece] in the profile sizes it
// instead.
#include "platform/dialogs.h"
#include "tools/korvat/adapters/plot_adapter.h"
#include "writers/dxf/cdxf_text.h"

namespace korvat::tool {
namespace {

// Confirms every text input with its proposal and passes all other boxes on.
class KeepName : public platform::DialogRelay {
  public:
    using DialogRelay::DialogRelay;
    int TextInput(HWND, const char*, const char*, char*, int) override { return 1; }
};

class CdxfWriter : public PlotWriter<CDXF_TEXT> {
  public:
    int OpenWriter(const char* basePath, const char*) override {
        char path[CDXF_TEXT::kPfadLaenge];
        char* base = nullptr;
        if (basePath != nullptr) {
            std::snprintf(path, sizeof path, "%s", basePath);
            base = path;
        }
        platform::DialogHandler& previous = platform::Dialogs();
        KeepName keep(previous);
        platform::SetDialogHandler(&keep);
        w_.SetzeSpezial(0, nullptr);
        int result = w_.Open(machine_->port ? 1 : 0, &settings_, base, &openedBefore_, 0, nullptr);
        platform::SetDialogHandler(&previous);
        // A [workpiece] sizes the drawing through SetzePosInfos after Open.
        if (result == 0 && !machine_->workpiece.given) {
            float width = init_.Weitere[0] > 0 ? init_.Weitere[0] : 100.0f;
            float height = init_.Weitere[1] > 0 ? init_.Weitere[1] : 100.0f;
            w_.Start(width, height);
        }
        return result;
    }
    void SetzeVorschuebe(float xy, float z) override { Feeds(xy, z); }
    void Spinddreh(int32_t) override {}
    void Spindea(int, float) override {}
    void WkzW(int, int) override {}
    void Move(double x, double y) override { w_.Move3(F(x), F(y), 0); }
    void Move3(double x, double y, double) override { w_.Move3(F(x), F(y), 0); }
    void MoveZ(double) override {}
    void Draw(double x, double y) override { w_.Draw(F(x), F(y)); }
    void Draw3(double x, double y, double) override { w_.Draw(F(x), F(y)); }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double, int) override {
        w_.Kreis(F(cx), F(cy), F(r), F(start), F(sweep), F(ex), F(ey));
    }
    void Wait(float) override {}
    void Stop() override {}
    void SStringln(int, const char*) override {}  // a raw line would break the drawing
};

}  // namespace

extern const WriterClass kCDXF_TEXT = {"CDXF_TEXT", "m/min", "dxf",
                                       [] { return std::unique_ptr<Writer>(new CdxfWriter); }};

}  // namespace korvat::tool
