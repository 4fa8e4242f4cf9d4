// CHDH, the Heidenhain conversational writer. It takes feeds in m/min and writes them in mm/min
// (" F%1ld"); the blocks of a tool change go out with the speed that follows it. Helices have
// no block of their own here and are written as short L blocks.
#include <cmath>

#include "tools/korvat/adapters/adapter.h"
#include "tools/korvat/adapters/chords.h"
#include "writers/hdh/chdh.h"

namespace korvat::tool {
namespace {

class ChdhWriter : public Writer {
  public:
    int Open(const Machine& machine, const char* basePath, const char* programName) override {
        machine_ = &machine;
        settings_ = machine.settings;
        init_ = machine.init;
        w_.Init(&init_, 0, 0);
        int result =
            w_.Open(machine.port ? 1 : 0, &settings_, 0, basePath, &openedBefore_, programName);
        if (machine.toolChanger) w_.WzlEinAus(1);
        return result;
    }
    void Close() override { w_.Close(1, 1); }

    void SetzeVorschuebe(float xy, float z) override { w_.SetzeVorschuebe(xy, z); }
    void SetzeVorschub(float feed) override { w_.SetzeVorschub(feed); }
    void Spinddreh(int32_t rpm) override { w_.Spinddreh(rpm); }
    void Spindea(int on, float dwell) override { w_.Spindea(on, dwell); }
    void WkzW(int flags, int tool) override {
        AWKZDAT data = ToolData(*machine_, tool);
        // TOOL DEF takes the first value of the record as the radius: give a tool without a
        // ball radius its own radius there.
        if (data.Kugelradius == 0.0f) data.Kugelradius = data.Durchmesser / 2.0f;
        w_.WkzW(flags, tool, &data);
    }
    void Move(double x, double y) override { w_.Move(x, y); }
    void Move3(double x, double y, double z) override { w_.Move3(x, y, z); }
    void MoveZ(double z) override { w_.MoveZ(z); }
    void Draw(double x, double y) override { w_.Draw(x, y); }
    void Draw3(double x, double y, double z) override { w_.Draw3(x, y, z); }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        double z0 = w_.LetztesZ;
        if (kind != kHelical || std::fabs(ez - z0) < 0.001) {
            w_.Kreis(cx, cy, r, start, sweep, ex, ey);
            return;
        }
        Sehnen(cx, cy, r, start, sweep, ex, ey, z0, ez,
               [this](double x, double y, double z) { w_.Draw3(x, y, z); });
    }
    void Wait(float seconds) override { w_.Wait(seconds); }
    void Stop() override { w_.Stop(); }
    void SStringln(int numbered, const char* text) override {
        w_.SStringln(static_cast<short>(numbered), text);
    }

  private:
    CHDH w_{};
    const Machine* machine_ = nullptr;
    MaschEinstellung settings_{};
    InitStruct init_{};
    int openedBefore_ = 0;
};

}  // namespace

extern const WriterClass kCHDH = {"CHDH", "m/min", "H",
                                  [] { return std::unique_ptr<Writer>(new ChdhWriter); }};

}  // namespace korvat::tool
