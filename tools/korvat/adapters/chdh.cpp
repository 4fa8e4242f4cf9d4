// CHDH, the Heidenhain conversational writer. It takes feeds in m/min and writes them in mm/min
// (" F%1ld"); the blocks of a tool change go out with the speed that follows it. Helices have
// no block of their own here and are written as short L blocks.
#include <cmath>
#include <cstdio>

#include "tools/korvat/adapters/adapter.h"
#include "tools/korvat/adapters/chords.h"
#include "writers/hdh/chdh.h"

namespace korvat::tool {
namespace {

class ChdhWriter : public ForwardingWriter<CHDH> {
  public:
    // The blank (BLK FORM, with MitRohteil on) from the origin over width and length, down to
    // Z -thickness; InitTeilk without rotary engraving writes it.
    void Werkstueck(const Workpiece& p) override {
        float w = static_cast<float>(p.width), l = static_cast<float>(p.length);
        w_.SetzePosInfos(0, 0, w, l, static_cast<float>(-p.thickness), w, l, 0, 0, 0, 0, 0);
        w_.InitTeilk(0, 'Y', 0, 0, 0, 0);
    }
    void WkzW(int flags, int tool) override {
        AWKZDAT data = DescribedTool(*machine_, tool);
        // TOOL DEF takes the first value of the record as the radius: give a tool without a
        // ball radius its own radius there.
        if (data.Kugelradius == 0.0f) data.Kugelradius = data.Durchmesser / 2.0f;
        w_.WkzW(flags, tool, &data);
    }
    // The writer puts a rapid move's XY block before its Z block. A rapid move that raises the
    // tool lifts first, so the tool never travels sideways in the material.
    void Move3(double x, double y, double z) override {
        if (z > w_.LetztesZ + 0.0005) {
            w_.MoveZ(z);
            w_.Move(x, y);
        } else {
            w_.Move3(x, y, z);
        }
    }
    // The writer has no program end of its own; the job's M2/M30 goes out as a block of its
    // own, as the writer writes its other M words ("M5", "M13").
    void ProgramEnd(int m) override {
        std::snprintf(w_.Zeile, sizeof w_.Zeile, "M%d", m);
        w_.Dateiausgabe();
    }
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
};

}  // namespace

extern const WriterClass kCHDH = {"CHDH", "m/min", "H",
                                  [] { return std::unique_ptr<Writer>(new ChdhWriter); }};

}  // namespace korvat::tool
