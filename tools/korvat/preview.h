// The preview: a sink that draws the tool path as the writer receives it, seen from above, as an
// SVG picture. Rapid moves are dashed, feed moves solid, arcs drawn as arcs; each tool has its
// own colour. The workpiece extents (the box around every cutting move) are framed and labelled,
// and a scale bar shows the size.
//
// The picture's elements, for programs that read it:
//   <svg data-extents="xmin ymin xmax ymax">   extents in mm, machine coordinates
//   <path class="rapid|feed|arc" data-tool="N">  one per move kind and tool, in that order
//   <rect class="extents">, <g class="scale">
#pragma once

#include <string>
#include <vector>

#include "tools/korvat/sink.h"

namespace korvat::tool {

class Preview : public Sink {
  public:
    void SetzeVorschuebe(float, float) override {}
    void SetzeVorschub(float) override {}
    void Spinddreh(int32_t) override {}
    void Spindea(int, float) override {}
    void WkzW(int flags, int tool) override;
    void Move(double x, double y) override { To(kRapid, x, y); }
    void Move3(double x, double y, double) override { To(kRapid, x, y); }
    void MoveZ(double) override {}
    void Draw(double x, double y) override { To(kFeed, x, y); }
    void Draw3(double x, double y, double) override { To(kFeed, x, y); }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override;
    void Wait(float) override {}
    void Stop() override {}
    void SStringln(int, const char*) override {}

    // The picture of everything received so far.
    std::string Svg() const;

    struct Box {
        double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
        bool Empty() const { return x0 > x1; }
        void Add(double x, double y);
    };
    // The box around every feed move and arc.
    const Box& extents() const { return extents_; }

  private:
    enum Kind { kRapid, kFeed, kArc };
    struct Piece {
        Kind kind;
        int tool;
        double x0, y0, x1, y1;  // start and end
        double r, sweep;        // arcs only
        double cx, cy;
    };
    void To(Kind kind, double x, double y);

    std::vector<Piece> pieces_;
    std::vector<int> tools_ = {0};  // tools in order of first use; 0 before any change
    int tool_ = 0;
    bool known_ = false;  // the position is known only after the first move
    double x_ = 0, y_ = 0;
    Box extents_, all_;
};

}  // namespace korvat::tool
