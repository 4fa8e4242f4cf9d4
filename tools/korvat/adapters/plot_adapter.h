// What the adapters of the writers without a full set of moves (CHPGLB, CDXF_TEXT,
// CVHF_580_980, CTORVE, CKESTL1) share: the position the adapter keeps for the sink's calls that
// these writers do not have (Move in the plane, a Draw that stays at the Z reached), the feed
// bookkeeping of SetzeVorschub, and the moves of the plotter-style writers (CTORVE and
// CVHF_580_980 take them as they are; the others override what differs). All take feeds in
// m/min; coordinates go to the writer as Coord (single precision for the plotter-style writers).
#pragma once

#include <cmath>

#include "tools/korvat/adapters/adapter.h"
#include "tools/korvat/adapters/chords.h"

namespace korvat::tool {

template <class C, class Coord = float>
class PlotWriter : public WriterBase<C> {
  public:
    // The current feed becomes the XY feed when it changed; the Z feed stays.
    void SetzeVorschub(float feed) override {
        if (feed != xy_) SetzeVorschuebe(feed, z_ > 0.0f ? z_ : feed);
    }
    void SetzeVorschuebe(float xy, float z) override {
        Feeds(xy, z);
        KORVAT_FORWARD(SetzeVorschuebe(xy, z));
    }
    void Spinddreh(int32_t rpm) override { KORVAT_FORWARD(Spinddreh(rpm)); }
    // A spindle switched on waits the dwell with the writer's own pause.
    void Spindea(int on, float dwell) override {
        KORVAT_FORWARD(Spindea(on));
        if (on && dwell > 0.0f) KORVAT_FORWARD(Wait(dwell));
    }
    void WkzW(int flags, int tool) override { KORVAT_FORWARD(WkzW(flags, tool, 0, 0)); }
    void Move(double x, double y) override {
        KORVAT_FORWARD(Move_abs(F(x), F(y)));
        Remember(x, y, z0_);
    }
    void Move3(double x, double y, double z) override {
        KORVAT_FORWARD(Move3(F(x), F(y), F(z)));
        Remember(x, y, z);
    }
    void MoveZ(double z) override {
        // CTORVE and CVHF_580_980 leave out a Z move to the height of their last rapid move,
        // even when a feed move has taken the tool to another depth since. The tool would then
        // stay down, and the adapter's Z would no longer be the machine's: the move goes out.
        if constexpr (requires { w_.LetzteEilZBekannt; }) {
            if (z != z0_ && w_.AktZ != w_.LetzteEilZ) w_.LetzteEilZBekannt = 0;
        }
        KORVAT_FORWARD(MoveZ(F(z)));
        Remember(x0_, y0_, z);
    }
    void Draw(double x, double y) override {
        KORVAT_FORWARD(Draw(F(x), F(y)));
        Remember(x, y, z0_);
    }
    // A feed move that keeps Z is a move in the plane, at the XY feed.
    void Draw3(double x, double y, double z) override {
        if (z == z0_) return Draw(x, y);
        KORVAT_FORWARD(Draw3(F(x), F(y), F(z), 0));
        Remember(x, y, z);
    }
    // An arc is cut at the depth the tool is at, which the writer keeps as its own. These
    // dialects have no helix: one goes out as chords down to its end, where the tool then is.
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        if (kind == kHelical && std::fabs(ez - z0_) >= 0.001) {
            Sehnen(cx, cy, r, start, sweep, ex, ey, z0_, ez,
                   [this](double x, double y, double z) { this->Draw3(x, y, z); });
            return;
        }
        KORVAT_FORWARD(Kreis(F(cx), F(cy), F(r), F(start), F(sweep), F(ex), F(ey)));
        Remember(ex, ey, z0_);
    }
    void Wait(float seconds) override { KORVAT_FORWARD(Wait(seconds)); }
    void Stop() override { KORVAT_FORWARD(Stop()); }
    void SStringln(int, const char* text) override { KORVAT_FORWARD(SStringln(text)); }

  protected:
    using WriterBase<C>::w_;
    using WriterBase<C>::machine_;
    using WriterBase<C>::settings_;
    using WriterBase<C>::init_;
    using WriterBase<C>::openedBefore_;

    static Coord F(double v) { return static_cast<Coord>(v); }
    void Feeds(float xy, float z) {
        xy_ = xy;
        z_ = z;
    }
    void Remember(double x, double y, double z) {
        x0_ = x;
        y0_ = y;
        z0_ = z;
    }

    float xy_ = -1.0f, z_ = 0.0f;
    double x0_ = 0.0, y0_ = 0.0, z0_ = 0.0;
};

}  // namespace korvat::tool
