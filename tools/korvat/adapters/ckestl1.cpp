// CKESTL1, the Datron writer. It writes feeds as given in its "Vorschub" lines, in m/min. Its
// machine has no separate rapid-in-the-plane or Z-only move, so those go out as full Axyz moves
// from the position this adapter keeps. A profile with tool_changer = yes makes every tool change
// automatic, else each is a manual change with its message to the operator.
#include <cmath>

#include "tools/korvat/adapters/adapter.h"
#include "writers/datron/ckestl1.h"

namespace korvat::tool {
namespace {

class Ckestl1Writer : public Writer {
  public:
    int Open(const Machine& machine, const char* basePath, const char*) override {
        machine_ = &machine;
        settings_ = machine.settings;
        init_ = machine.init;
        w_.Init(&init_, 0, 0);
        int result =
            w_.Open(machine.port ? 1 : 0, &settings_, basePath, &openedBefore_, 0, nullptr);
        w_.SetzeSpezial(0, nullptr);
        return result;
    }
    void Close() override { w_.Close(1, 1); }

    void SetzeVorschuebe(float xy, float z) override {
        xy_ = xy;
        z_ = z;
        w_.SetzeVorschuebe(xy, z);
    }
    // The current feed becomes the XY feed of a new "Vorschub" line when it changed.
    void SetzeVorschub(float feed) override {
        if (feed != xy_) SetzeVorschuebe(feed, z_ > 0.0f ? z_ : feed);
    }
    void Spinddreh(int32_t rpm) override { w_.KestlDrehzahl(1, static_cast<float>(rpm)); }
    void Spindea(int on, float dwell) override {
        w_.Spindea(on);
        if (on && dwell > 0.0f) w_.Wait(dwell);
    }
    void WkzW(int, int tool) override {
        AWKZDAT t = ToolData(*machine_, tool);
        w_.WkzW(machine_->toolChanger ? 1 : 0, tool, 0.0f, t.Durchmesser / 2.0f, t.Winkel,
                t.Spitzenradius, t.Kugelradius, static_cast<char>(t.Art));
    }
    void Move(double x, double y) override { Move3(x, y, z0_); }
    void Move3(double x, double y, double z) override {
        w_.Move3(x, y, z);
        Merke(x, y, z);
    }
    void MoveZ(double z) override { Move3(x0_, y0_, z); }
    void Draw(double x, double y) override {
        w_.Draw(x, y);
        Merke(x, y, z0_);
    }
    void Draw3(double x, double y, double z) override {
        w_.Draw3(x, y, z);
        Merke(x, y, z);
    }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        if (kind == kHelical && std::fabs(ez - z0_) >= 0.001) {
            w_.CB_KreisZ(cx, cy, r, start, sweep, ex, ey, ez);
            Merke(ex, ey, ez);
        } else {
            w_.Kreis(cx, cy, r, start, sweep, ex, ey);
            Merke(ex, ey, z0_);
        }
    }
    void Wait(float seconds) override { w_.Wait(seconds); }
    void Stop() override { w_.Stop(); }
    void SStringln(int, const char* text) override { w_.SStringln(text); }

  private:
    void Merke(double x, double y, double z) {
        x0_ = x;
        y0_ = y;
        z0_ = z;
    }

    CKESTL1 w_{};
    const Machine* machine_ = nullptr;
    MaschEinstellung settings_{};
    InitStruct init_{};
    int openedBefore_ = 0;
    float xy_ = -1.0f, z_ = 0.0f;
    double x0_ = 0.0, y0_ = 0.0, z0_ = 0.0;
};

}  // namespace

extern const WriterClass kCKESTL1 = {"CKESTL1", "m/min", "MCR",
                                     [] { return std::unique_ptr<Writer>(new Ckestl1Writer); }};

}  // namespace korvat::tool
