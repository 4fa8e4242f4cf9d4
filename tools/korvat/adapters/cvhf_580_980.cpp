// CVHF_580_980, the VHF 580/980 writer. MaschEinstellung.VhfPositionierModus chooses rapid moves
// as VS + PA (non-zero) or GA (0); Achse[0] and Achse[2].MaxGeschwindigkeit (m/min) cap the
// speeds, and the XY maximum is also the rapid speed (the feed when it is not set).
#include "tools/korvat/adapters/plot_adapter.h"
#include "writers/vhf/cvhf_580_980.h"

namespace korvat::tool {
namespace {

class CvhfWriter : public PlotWriter<CVHF_580_980> {
  public:
    int Open(const Machine& machine, const char* basePath, const char*) override {
        Take(machine);
        return w_.Open(machine.port ? 1 : 0, &settings_, basePath, &openedBefore_, 0, nullptr);
    }
    void SetzeVorschuebe(float xy, float z) override {
        Feeds(xy, z);
        float rapid = settings_.Achse[0].MaxGeschwindigkeit;
        w_.SetzeVorschuebe(xy, z, rapid > 0.0f ? rapid : xy);
    }
    void Spinddreh(int32_t rpm) override { w_.Spinddreh(rpm); }
    void Spindea(int on, float) override { w_.Spindea(on); }
    void WkzW(int flags, int tool) override { w_.WkzW(flags, tool, 0, 0); }
    void Move(double x, double y) override { w_.Move_abs(F(x), F(y)); }
    void Move3(double x, double y, double z) override {
        w_.Move3(F(x), F(y), F(z));
        Remember(x, y, z);
    }
    void MoveZ(double z) override {
        w_.MoveZ(F(z));
        Remember(x0_, y0_, z);
    }
    void Draw(double x, double y) override { w_.Draw(F(x), F(y)); }
    // A feed move that keeps Z is a move in the plane, at the XY feed.
    void Draw3(double x, double y, double z) override {
        if (z == z0_) return Draw(x, y);
        w_.Draw3(F(x), F(y), F(z), 0);
        Remember(x, y, z);
    }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double, int) override {
        w_.Kreis(F(cx), F(cy), F(r), F(start), F(sweep), F(ex), F(ey));
    }
    void Wait(float) override {}  // the machine has no dwell command
    void Stop() override {}

  private:
    static float F(double v) { return static_cast<float>(v); }
};

}  // namespace

extern const WriterClass kCVHF_580_980 = {"CVHF_580_980", "m/min", "vhf",
                                          [] { return std::unique_ptr<Writer>(new CvhfWriter); }};

}  // namespace korvat::tool
