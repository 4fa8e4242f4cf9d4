// CHPGLA and CSMS68A behind the Sink interface. Both speak the HPGL-A dialect and take feeds in
// metres a minute; arcs in the plane go out as "AA", helical arcs as short "MA" moves. The start-up
// files INITSV.DAT and INITSK.DAT lie beside the profile. In single step (CHPGLA only) every call
// waits for the controller's acknowledgement and prints one line for it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <type_traits>

#include "online/hpgla/chpgla.h"
#include "online/sms68a/csms68a.h"
#include "tools/korvat/adapters/chords.h"
#include "tools/korvat/drivers/driver.h"
#include "writers/plotcommon/plot_common.h"

namespace korvat::tool {
namespace {

template <class D>
class HpglaDriver : public Driver {
  public:
    int SetUp(const Machine& m) override {
        machine_ = &m;
        init_ = m.init;
        const WriterSettings& w = m.writer;
        d_.Init(&init_, 0);
        int opened = 0;  // the driver's own first open: it sends the start-up file
        int schnell = w.Schnellstart.value_or(0) != 0;
        int r;
        if constexpr (std::is_same_v<D, CSMS68A>) {
            r = d_.Open(1, &m.settings, nullptr, &opened, 1, m.file.c_str(), schnell,
                        w.Erweitert.value_or(0) != 0, w.DreiD.value_or(0) != 0);
        } else {
            r = d_.Open(1, &m.settings, nullptr, &opened, 1, m.file.c_str(), schnell);
        }
        // The pen number and PT flag take effect from here on (CSMS68A: with extended
        // functions only).
        d_.SetzeSpezial(static_cast<int>(w.Stiftnummer.value_or(0)),
                        static_cast<int>(w.PT.value_or(0)));
        spindle_ = w.DrehzahlMin && w.DrehzahlMax && w.AusgabeMin && w.AusgabeMax;
        if (spindle_)
            info_ = {static_cast<float>(*w.DrehzahlMin), static_cast<float>(*w.DrehzahlMax),
                     static_cast<float>(*w.AusgabeMin), static_cast<float>(*w.AusgabeMax)};
        return r != 0 || cx268io.Fehlerflag ? 1 : 0;
    }

    bool SetStep(bool on) override {
        if constexpr (std::is_same_v<D, CHPGLA>) {
            step_ = on;
            if (on) d_.SetzeSchrittweise();
            return true;
        }
        return !on;
    }

    DriverState State() override {
        DriverState s;
        FLAGPOS pos{};
        if (!cx268io.Fehlerflag && d_.LeseIst(0, &pos) == 3) {
            s.havePosition = true;
            s.x = pos.Pos[0], s.y = pos.Pos[1], s.z = pos.Pos[2];
        }
        return s;
    }
    void Abort() override { d_.BPuffClear(); }
    // CSMS68A has no acknowledged single step of its own: like the other machines on the shared
    // channel without a wait (type 4), its keys and aborts go through the channel.
    int MachineType() const override { return std::is_same_v<D, CHPGLA> ? 3 : 4; }
    CHPGLA* Hpgla() override {
        if constexpr (std::is_same_v<D, CHPGLA>) return &d_;
        return nullptr;
    }
    bool Busy() override { return false; }

    void SetzeVorschuebe(float xy, float z) override {
        xy_ = xy, zf_ = z;
        d_.SetzeVorschuebe(xy, z);
        Done();
    }
    void SetzeVorschub(float feed) override {
        if (feed == xy_) return;
        xy_ = feed;
        d_.SetzeVorschuebe(feed, zf_);
        Done();
    }
    void Spinddreh(int32_t rpm) override {
        if (!spindle_) {
            if (!warned_)
                std::fprintf(stderr,
                             "korvat: %s: no spindle range (DrehzahlMin, DrehzahlMax, AusgabeMin, "
                             "AusgabeMax): the speed %ld is not sent\n",
                             machine_->file.c_str(), static_cast<long>(rpm));
            warned_ = true;
            return;
        }
        d_.Spinddreh(rpm, &info_);
        Done();
    }
    void Spindea(int on, float dwell) override {
        d_.Spindea(on);
        Done();
        if (on && dwell > 0) Wait(dwell);
    }
    void WkzW(int, int tool) override {
        d_.WkzW(0, tool, 0, 0);
        Done();
    }
    void Move(double x, double y) override { Move3(x, y, z_); }
    void Move3(double x, double y, double z) override {
        d_.Move3(x, y, z);
        x_ = x, y_ = y, z_ = z;
        Done();
    }
    void MoveZ(double z) override {
        d_.MoveZ(z);
        z_ = z;
        Done();
    }
    void Draw(double x, double y) override {
        d_.Draw(x, y);
        x_ = x, y_ = y;
        Done();
    }
    void Draw3(double x, double y, double z) override {
        d_.Draw3(x, y, z);
        x_ = x, y_ = y, z_ = z;
        Done();
    }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        if (kind == kHelical && ez != z_) {
            Sehnen(cx, cy, r, start, sweep, ex, ey, z_, ez,
                   [this](double x, double y, double z) { Draw3(x, y, z); });
            return;
        }
        d_.Kreis(cx, cy, r, sweep, ex, ey);
        x_ = ex, y_ = ey;
        Done();
    }
    void Wait(float seconds) override {
        d_.Wait(seconds);
        Done();
    }
    void Stop() override {
        d_.Stop();
        Done();
    }
    void SStringln(int, const char* text) override {
        cx268io.poutstrln(text);
        Done();
    }
    void SourceLine(int line) override { line_ = line; }

  private:
    // In single step: waits for the acknowledgements of what the call sent and prints one line.
    void Done() {
        if constexpr (std::is_same_v<D, CHPGLA>) {
            if (!step_ || cx268io.Fehlerflag) return;
            int r = d_.WarteFertig();
            if (r == 1) return;  // the call sent nothing
            ++steps_;
            char text[120];
            std::snprintf(text, sizeof text, "step %ld, line %d: %s", steps_, line_,
                          r == 0 ? "done" : "the controller reports a fault");
            if (report) {
                report(text);
            } else {
                std::printf("%s\n", text);
                std::fflush(stdout);
            }
        }
    }

    D d_;
    const Machine* machine_ = nullptr;
    InitStruct init_{};
    SpindelInfo info_{};
    bool spindle_ = false, warned_ = false, step_ = false;
    float xy_ = -1, zf_ = 0;
    double x_ = 0, y_ = 0, z_ = 0;
    int line_ = 0;
    long steps_ = 0;
};

}  // namespace

// CHPGLA sends 1000 steps a millimetre, far within the dialect's step range for any machine.
extern const DriverClass kChpgla = {
    "CHPGLA", "m/min", [] { return std::unique_ptr<Driver>(new HpglaDriver<CHPGLA>); }};
// CSMS68A sends steps at the profile's resolution (1000 where it gives none, as the class
// does), at most the dialect's 2^30 - 1 steps; a hair is kept back for the driver's float
// product, which may round a step up.
extern const DriverClass kCsms68a = {
    "CSMS68A", "m/min", [] { return std::unique_ptr<Driver>(new HpglaDriver<CSMS68A>); },
    [](const Machine& m) {
        double limit = HUGE_VAL;
        for (float r : m.init.Aufloesung) {
            const double perMm = r > 0.0f && r < 1e30f ? r : 1000.0;
            limit = std::min(limit,
                             std::floor(plot::kGrenzeEinheiten * (1 - 1e-6) / perMm * 1000) / 1000);
        }
        return limit;
    }};

}  // namespace korvat::tool
