// CKESTL1, the Datron writer. It writes feeds as given in its "Vorschub" lines, in m/min. Its
// machine has no separate rapid-in-the-plane or Z-only move, so those go out as full Axyz moves
// from the position this adapter keeps. A profile with tool_changer = yes makes every tool change
// automatic, else each is a manual change with its message to the operator.
#include <cmath>

#include "tools/korvat/adapters/plot_adapter.h"
#include "writers/datron/ckestl1.h"

namespace korvat::tool {
namespace {

class Ckestl1Writer : public PlotWriter<CKESTL1, double> {
  public:
    int OpenWriter(const char* basePath, const char*) override {
        // The writer reads its return mode (Rueckfahrmodus of section DATRON) from the profile.
        int result = w_.Open(machine_->port ? 1 : 0, &settings_, basePath, &openedBefore_, 0,
                             machine_->file.c_str());
        w_.SetzeSpezial(0, nullptr);
        return result;
    }
    // The "Wdef" line with the thickness; with the vice the path is centred on it.
    void Werkstueck(const Workpiece& p) override {
        float w = static_cast<float>(p.width), l = static_cast<float>(p.length);
        w_.SetzePosInfos(w, l, w, l, 0, 0, static_cast<float>(p.viceX), static_cast<float>(p.viceY),
                         p.vice ? 1 : 0, static_cast<float>(p.thickness));
    }
    void Spinddreh(int32_t rpm) override { w_.KestlDrehzahl(1, static_cast<float>(rpm)); }
    void WkzW(int, int tool) override {
        AWKZDAT t = DescribedTool(*machine_, tool);
        w_.WkzW(machine_->toolChanger ? 1 : 0, tool, 0.0f, t.Durchmesser / 2.0f, t.Winkel,
                t.Spitzenradius, t.Kugelradius, static_cast<char>(t.Art));
    }
    void Move(double x, double y) override { Move3(x, y, z0_); }
    void MoveZ(double z) override { Move3(x0_, y0_, z); }
    void Draw3(double x, double y, double z) override {
        w_.Draw3(x, y, z);
        Remember(x, y, z);
    }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        if (kind == kHelical && std::fabs(ez - z0_) >= 0.001) {
            w_.CB_KreisZ(cx, cy, r, start, sweep, ex, ey, ez);
            Remember(ex, ey, ez);
        } else {
            w_.Kreis(cx, cy, r, start, sweep, ex, ey);
            Remember(ex, ey, z0_);
        }
    }
};

}  // namespace

extern const WriterClass kCKESTL1 = {"CKESTL1", "m/min", "MCR",
                                     [] { return std::unique_ptr<Writer>(new Ckestl1Writer); }};

}  // namespace korvat::tool
