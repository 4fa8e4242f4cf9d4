// CTORVE, the writer for HPGL-like engraving machines with Z in the pen commands (written
// negated: depth below the surface is positive).
#include "tools/korvat/adapters/plot_adapter.h"
#include "writers/ctorve/ctorve.h"

namespace korvat::tool {
namespace {

class CtorveWriter : public PlotWriter<CTORVE> {
  public:
    int Open(const Machine& machine, const char* basePath, const char*) override {
        Take(machine);
        w_.SetzeSpezial(0, nullptr);
        return w_.Open(machine.port ? 1 : 0, &settings_, basePath, &openedBefore_, 0, nullptr);
    }
    void SetzeVorschuebe(float xy, float z) override {
        Feeds(xy, z);
        w_.SetzeVorschuebe(xy, z);
    }
    void Spinddreh(int32_t rpm) override { w_.Spinddreh(rpm); }
    void Spindea(int, float dwell) override {
        if (dwell > 0.0f) w_.Wait(dwell);
    }
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
    void Wait(float seconds) override { w_.Wait(seconds); }
    void Stop() override {}

  private:
    static float F(double v) { return static_cast<float>(v); }
};

}  // namespace

extern const WriterClass kCTORVE = {"CTORVE", "m/min", "tor",
                                    [] { return std::unique_ptr<Writer>(new CtorveWriter); }};

}  // namespace korvat::tool
