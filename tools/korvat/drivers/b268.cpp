// B268 behind the Sink interface. Feeds go out as the controller takes them (metres a minute by
// default); arcs in the plane as "AM", helical arcs as short straight moves.
#include <cstring>

#include "online/b268/b268.h"
#include "tools/korvat/adapters/chords.h"
#include "tools/korvat/drivers/driver.h"

namespace korvat::tool {
namespace {

class B268Driver : public Driver {
  public:
    int SetUp(const Machine& m) override {
        machine_ = &m;
        init_ = m.init;
        // The spindle table SPIND.TAB lies beside the profile.
        if (b_.HoleSTabelle(m.file.c_str()) != 0) return 1;
        b_.InitKlasse();
        if (b_.Init(&init_, 1) != 0 || cx268io.Fehlerflag) return 1;
        b_.InitEinheit(0, 0, 0, ' ', init_.Aufloesung[0], init_.Aufloesung[1], init_.Aufloesung[2],
                       init_.Weitere[0]);
        // The scales by value: the record is packed, a pointer into it would be misaligned.
        const MaschEinstellung& e = m.settings;
        b_.InitTeilk(0, 0, ' ', 1, 1, 1, e.Massstab[0], e.Massstab[1], e.Massstab[2]);
        if (m.magazine.Anzahl > 0) {
            magazine_ = m.magazine;
            b_.WZWPplusB(&magazine_, magazine_.Anzahl);
        }
        return cx268io.Fehlerflag ? 1 : 0;
    }

    DriverState State() override {
        DriverState s;
        s.busy = B268::Beschaeftigt() != 0;
        s.hold = B268::Halt() != 0;
        if (cx268io.Fehlerflag) return s;
        s.freeBuffer = b_.FRestBuffer();
        FLAGPOS pos{};
        if (b_.LeseIst(0, 0, &pos) > 0 && pos.Gueltig[0] && pos.Gueltig[1]) {
            s.havePosition = true;
            s.x = pos.Pos[0], s.y = pos.Pos[1], s.z = pos.Gueltig[2] ? pos.Pos[2] : z_;
        }
        return s;
    }

    void Abort() override { b_.BAbbruch(); }
    int MachineType() const override { return 1; }
    B268* B268Object() override { return &b_; }

    bool Busy() override {
        b_.MFStatus();
        return B268::Beschaeftigt() != 0 && !cx268io.Fehlerflag;
    }

    void SetzeVorschuebe(float xy, float z) override {
        // The feed line of the controller: XY feed, Z feed, then the Z feed again for the
        // plunge and the XY feed for the two further values.
        b_.InitGeschw(xy, z, z, xy, xy);
    }
    void SetzeVorschub(float feed) override { b_.SetzeVorschub(feed); }
    void Spinddreh(int32_t rpm) override { b_.Spinddreh(rpm); }
    void Spindea(int on, float dwell) override {
        b_.Spindea(on);
        if (on && dwell > 0) b_.Wait(dwell);
    }
    void WkzW(int, int tool) override {
        // The tool's diameter and length go with the change.
        AWKZDAT t = DescribedTool(*machine_, tool);
        b_.WkzW(0, tool, t.Durchmesser, t.Laenge);
    }
    void Move(double x, double y) override { Move3(x, y, z_); }
    void Move3(double x, double y, double z) override {
        b_.Move3(x, y, z);
        x_ = x, y_ = y, z_ = z;
    }
    void MoveZ(double z) override {
        b_.MoveZ(z);
        z_ = z;
    }
    void Draw(double x, double y) override {
        b_.Draw(x, y);
        x_ = x, y_ = y;
    }
    void Draw3(double x, double y, double z) override {
        b_.Draw3(x, y, z);
        x_ = x, y_ = y, z_ = z;
    }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        if (kind == kHelical && ez != z_) {
            Sehnen(cx, cy, r, start, sweep, ex, ey, z_, ez,
                   [this](double x, double y, double z) { Draw3(x, y, z); });
            return;
        }
        b_.Kreis(cx, cy, r, sweep);
        x_ = ex, y_ = ey;
    }
    void Wait(float seconds) override { b_.Wait(seconds); }
    void Stop() override { b_.Stop(); }
    void SStringln(int, const char* text) override { cx268io.poutstrln(text); }

  private:
    B268 b_;
    const Machine* machine_ = nullptr;
    InitStruct init_{};
    WZW_PB_STRUCT magazine_{};
    double x_ = 0, y_ = 0, z_ = 0;
};

}  // namespace

extern const DriverClass kB268 = {
    "B268", "m/min", [] { return std::unique_ptr<Driver>(new B268Driver); }, nullptr, true};

}  // namespace korvat::tool
