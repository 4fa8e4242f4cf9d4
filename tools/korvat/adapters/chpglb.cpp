// CHPGLB, the HPGL writer. MaschTyp = 4 in the profile selects the extended dialect of
// engraving machines (the mode number 4 of the library), anything else plain HPGL for a
// plotter. InitStruct.Ganzzahl gives the receiver's memory in bytes (0: no limit) and
// Weitere[2] the top edge of the workpiece. Z below the surface (Z 0) draws, Z at or above it
// travels with the pen up.
#include <cmath>

#include "tools/korvat/adapters/chords.h"
#include "tools/korvat/adapters/plot_adapter.h"
#include "writers/hpgl/chpglb.h"

namespace korvat::tool {
namespace {

class ChpglbWriter : public PlotWriter<CHPGLB> {
  public:
    int OpenWriter(const char* basePath, const char*) override {
        w_.SetzeSpezial(init_.Ganzzahl, nullptr);
        int mode = settings_.MaschTyp == 4 ? 4 : 0;
        return w_.Open(machine_->port ? 1 : 0, &settings_, basePath, &openedBefore_, mode, nullptr);
    }
    void Spinddreh(int32_t) override {}  // the extended dialect switches the spindle only
    void Move(double x, double y) override { Move3(x, y, z0_); }
    // The depth the tool is at, for a command that carries none (a rapid move into the material
    // leaves the writer's depth behind). The writer writes it only when it changed.
    void Depth() { w_.SetzeGTiefe((w_.Flughoehe - F(z0_)) - w_.Abhebewert, 1); }
    // A feed move in the plane draws only below the surface; above it the pen travels.
    void Draw(double x, double y) override {
        if (z0_ < w_.Flughoehe) {
            Depth();
            w_.Draw(F(x), F(y));
        } else {
            w_.Move3(F(x), F(y), F(z0_));
        }
        Remember(x, y, z0_);
    }
    // A feed move that keeps Z is a move in the plane (relative, at the XY speed).
    void Draw3(double x, double y, double z) override {
        if (z == z0_) return Draw(x, y);
        w_.Draw3(F(x), F(y), F(z), 1);
        Remember(x, y, z);
    }
    // The arc's command carries no depth: the depth the tool is at is set first. A helix goes out
    // as chords, each with its depth.
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        if (kind == kHelical && std::fabs(ez - z0_) >= 0.001) {
            Sehnen(cx, cy, r, start, sweep, ex, ey, z0_, ez,
                   [this](double x, double y, double z) { Draw3(x, y, z); });
            return;
        }
        if (z0_ < w_.Flughoehe) {
            Depth();
            w_.Kreis(F(cx), F(cy), F(r), F(start), F(sweep), F(ex), F(ey));
        } else {
            w_.Move3(F(ex), F(ey), F(z0_));
        }
        Remember(ex, ey, z0_);
    }
};

}  // namespace

extern const WriterClass kCHPGLB = {"CHPGLB",
                                    "m/min",
                                    "plt",
                                    [] { return std::unique_ptr<Writer>(new ChpglbWriter); },
                                    WriterClass::kMachineRange,
                                    true};

}  // namespace korvat::tool
