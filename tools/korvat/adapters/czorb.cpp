// CZORB, the .LG1 record file. Its records have no Z and no arcs: a feed move below the Z
// threshold that moves in X or Y is a cut, a move straight down a plunge, a move to or above the
// threshold a rapid move; a new depth below the threshold starts a group (SetzeGTiefe), and arcs
// are cut as short chords. Feeds are stored as
// given, in m/min. The tool values of the group header come from the profile's tool table:
// w1 diameter, w2 length, w3 angle, w4 tip diameter, w5 ball diameter, w6 0.
#include <cmath>

#include "tools/korvat/adapters/adapter.h"
#include "tools/korvat/adapters/chords.h"
#include "writers/czorb/czorb.h"

namespace korvat::tool {
namespace {

class CzorbWriter : public WriterBase<CZORB> {
  public:
    int OpenWriter(const char* basePath, const char*) override {
        return w_.Open(0, &settings_, 0, basePath);
    }
    void Close() override { w_.Close(0); }

    void SetzeVorschuebe(float xy, float z) override { w_.SetzeVorschuebe(xy, z); }
    void SetzeVorschub(float feed) override { w_.SetzeVorschub(feed); }
    void Spinddreh(int32_t rpm) override { w_.Spinddreh(rpm); }
    void Spindea(int on, float dwell) override { w_.Spindea(on, dwell); }
    void WkzW(int, int tool) override {
        AWKZDAT t = DescribedTool(*machine_, tool);
        w_.WkzW(tool, t.Durchmesser, t.Laenge, t.Winkel, 2.0f * t.Spitzenradius,
                2.0f * t.Kugelradius, 0.0f, 0);
    }
    void Move(double x, double y) override {
        w_.Move(static_cast<float>(x), static_cast<float>(y));
        x0_ = x, y0_ = y;
    }
    void Move3(double x, double y, double z) override {
        Move(x, y);
        z0_ = z;
    }
    void MoveZ(double z) override { Draw3(x0_, y0_, z); }
    void Draw(double x, double y) override {
        w_.Draw(static_cast<float>(x), static_cast<float>(y));
        x0_ = x, y0_ = y;
    }
    void Draw3(double x, double y, double z) override {
        bool below = z < w_.ZSchwelle;
        bool inPlane = std::fabs(x - x0_) >= 0.001 || std::fabs(y - y0_) >= 0.001;
        if (below) w_.SetzeGTiefe(static_cast<float>(z));  // new depth: new group
        if (below && inPlane) {
            // A cut, level or ramped: the records keep the path, the group its last depth.
            Draw(x, y);
        } else {
            // Straight down (a plunge) or up to or above the threshold (a rapid move).
            w_.Draw3(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
            x0_ = x, y0_ = y;
        }
        z0_ = z;
    }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        // The records have no Z: a helix is cut along its chords at the depth it starts from.
        bool cut = z0_ < w_.ZSchwelle;
        Sehnen(cx, cy, r, start, sweep, ex, ey, z0_, z0_, [this, cut](double x, double y, double) {
            if (cut) {
                Draw(x, y);
            } else {
                Move(x, y);
            }
        });
        if (kind == kHelical) Draw3(ex, ey, ez);
    }
    void Wait(float) override {}
    void Stop() override {}
    void SStringln(int numbered, const char* text) override {
        w_.SStringln(static_cast<short>(numbered), text);
    }
    // A binary file of 13-byte records: its blocks are its records (the bytes that happen to
    // be line feeds inside them count nothing).
    uint64_t Blocks(uint64_t bytes, uint64_t, char) const override { return bytes / 13; }

  private:
    double x0_ = 0.0, y0_ = 0.0, z0_ = 0.0;
};

}  // namespace

extern const WriterClass kCZORB = {"CZORB", "m/min", "LG1",
                                   [] { return std::unique_ptr<Writer>(new CzorbWriter); }};

}  // namespace korvat::tool
