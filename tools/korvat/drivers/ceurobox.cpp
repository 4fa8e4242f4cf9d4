// CEUROBOX behind the Sink interface. The controller cuts at one set depth with the tool down and
// moves with it up: a feed move below the flight height ([CEUROBOX] Flughoehe, default 0) cuts,
// and its Z becomes the depth; everything else moves with the tool up. Arcs go out as short
// cuts. The drawing is mirrored in Y about the [workpiece] length (the controller's Y runs
// downwards) and centred on EuroboxMitteX/Y with Zentriert = 1. Feeds in mm/s. A tool change
// and a programmed stop ask the operator (clamp the tool; a new workpiece).
#include <cmath>
#include <cstdio>

#include "online/eurobox/ceurobox.h"
#include "tools/korvat/adapters/chords.h"
#include "tools/korvat/drivers/driver.h"

namespace korvat::tool {
namespace {

class EuroboxDriver : public Driver {
  public:
    int SetUp(const Machine& m) override {
        machine_ = &m;
        init_ = m.init;
        settings_ = m.settings;
        const WriterSettings& w = m.writer;
        d_.Init(&init_, 0);
        int opened = 0;
        int r = d_.Open(1, &settings_, nullptr, &opened, 1, m.file.c_str());
        d_.SetzeSpezial(nullptr);
        if (m.workpiece.given)
            d_.SetzePosInfos(static_cast<float>(m.workpiece.width),
                             static_cast<float>(m.workpiece.length), 0, 0, 0, 0, &settings_,
                             static_cast<short>(w.Zentriert.value_or(0) != 0));
        flight_ = w.Flughoehe.value_or(0.0);
        d_.SetzeFlughAbsolut(static_cast<float>(flight_),
                             static_cast<float>(w.ZweiteHoehe.value_or(5.0)));
        return r != 0 || cx268io.Fehlerflag ? 1 : 0;
    }

    DriverState State() override { return {}; }
    void Abort() override { d_.Ende(0); }
    // On the shared channel without a wait of its own, like CSMS68A (type 4).
    int MachineType() const override { return 4; }
    // The job is over: lift the tool and go home, as the controller's end of a job.
    bool Busy() override {
        if (!ended_) d_.Ende(0);
        ended_ = true;
        return false;
    }

    void SetzeVorschuebe(float xy, float z) override { d_.SetzeVorschuebe(xy, z); }
    void SetzeVorschub(float feed) override { d_.SetzeVorschub(feed); }
    void Spinddreh(int32_t) override {}
    void Spindea(int, float) override {}
    void WkzW(int, int tool) override {
        AWKZDAT t = DescribedTool(*machine_, tool);
        d_.WkzW(0, tool, 0, t.Durchmesser / 2);
    }
    void Move(double x, double y) override { Move3(x, y, z_); }
    void Move3(double x, double y, double z) override {
        d_.Move3(x, y, z);
        x_ = x, y_ = y, z_ = z;
    }
    void MoveZ(double z) override {
        if (Cuts(z)) return Draw3(x_, y_, z);
        z_ = z;  // the tool goes up with the next move
    }
    void Draw(double x, double y) override {
        if (Cuts(z_))
            d_.Draw(x, y);
        else
            d_.Move3(x, y, z_);
        x_ = x, y_ = y;
    }
    void Draw3(double x, double y, double z) override {
        if (Cuts(z) && z != depth_) {
            d_.SetzeGTiefe(static_cast<float>(z));
            depth_ = z;
        }
        d_.Draw3(x, y, z);
        x_ = x, y_ = y, z_ = z;
    }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        double z1 = kind == kHelical ? ez : z_;
        Sehnen(cx, cy, r, start, sweep, ex, ey, z_, z1,
               [this](double x, double y, double z) { Draw3(x, y, z); });
    }
    void Wait(float) override {}
    void Stop() override { d_.Stop(2); }
    void SStringln(int, const char* text) override { d_.SendeBefehl(text); }

  private:
    bool Cuts(double z) const { return z < flight_ - 0.01; }

    CEUROBOX d_;
    const Machine* machine_ = nullptr;
    InitStruct init_{};
    MaschEinstellung settings_{};
    double flight_ = 0, depth_ = 1e300;
    double x_ = 0, y_ = 0, z_ = 0;
    bool ended_ = false;
};

}  // namespace

extern const DriverClass kCeurobox = {
    "CEUROBOX", "mm/s", [] { return std::unique_ptr<Driver>(new EuroboxDriver); }, nullptr, true};

}  // namespace korvat::tool
