// What the adapters of the plotter-style writers (CHPGLB, CDXF_TEXT, CVHF_580_980, CTORVE)
// share: the records the writer reads through pointers while the program is open, the
// position the adapter keeps for the sink's calls that these writers do not have (Move in the
// plane, a Draw that stays at the Z reached), and the feed bookkeeping of SetzeVorschub. All
// four take feeds in m/min and single-precision millimetres.
#pragma once

#include "tools/korvat/adapters/adapter.h"

namespace korvat::tool {

template <class C>
class PlotWriter : public Writer {
  public:
    void Close() override { w_.Close(1, 1); }
    // The current feed becomes the XY feed when it changed; the Z feed stays.
    void SetzeVorschub(float feed) override {
        if (feed != xy_) SetzeVorschuebe(feed, z_ > 0.0f ? z_ : feed);
    }
    void SStringln(int, const char* text) override { w_.SStringln(text); }

  protected:
    // Takes the machine's records and gives them to Init.
    void Take(const Machine& machine) {
        machine_ = &machine;
        settings_ = machine.settings;
        init_ = machine.init;
        w_.Init(&init_, 0, 0);
    }
    void Feeds(float xy, float z) {
        xy_ = xy;
        z_ = z;
    }
    void Remember(double x, double y, double z) {
        x0_ = x;
        y0_ = y;
        z0_ = z;
    }

    C w_{};
    const Machine* machine_ = nullptr;
    MaschEinstellung settings_{};
    InitStruct init_{};
    int openedBefore_ = 0;
    float xy_ = -1.0f, z_ = 0.0f;
    double x0_ = 0.0, y0_ = 0.0, z0_ = 0.0;
};

}  // namespace korvat::tool
