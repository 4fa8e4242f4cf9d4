// The preview: a sink that draws the tool path as the writer receives it, seen from above, as an
// SVG picture. Rapid moves are dashed, feed moves solid, arcs drawn as arcs; each tool has its
// own colour. The workpiece extents (the box around every cutting move) are framed and labelled,
// and a scale bar shows the size.
//
// The picture's elements, for programs that read it:
//   <svg data-extents="xmin ymin xmax ymax">   extents in mm, machine coordinates
//   <path class="rapid|feed|arc" data-tool="N">  one per move kind and tool, in that order
//   <rect class="extents">, <g class="scale">
//
// The picture is written as the job is read: each path's text goes into a small buffer of its own
// and, whenever that fills, on into one unnamed spool file; at the end the head (which needs the
// extents) is written, then each path read back from the spool piece by piece. So memory stays
// the same for a job of any length.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/korvat/sink.h"

namespace korvat::tool {

class Preview : public Sink {
  public:
    // The spool file is made in spoolFolder (unnamed, gone when the preview is), or in the
    // system's temporary folder when that is empty or cannot take it; `name` stands for the
    // picture in messages.
    explicit Preview(std::string name = "preview", std::string spoolFolder = "");
    ~Preview() override;
    Preview(const Preview&) = delete;
    Preview& operator=(const Preview&) = delete;

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

    // Writes the picture of everything received so far to out. Throws JobError when the spool
    // cannot be read back; false when out could not be written.
    bool WriteSvg(std::FILE* out);
    // The same picture as a text, for small jobs.
    std::string Svg();

    struct Box {
        double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
        bool Empty() const { return x0 > x1; }
        void Add(double x, double y);
    };
    // The box around every feed move and arc.
    const Box& extents() const { return extents_; }

  private:
    enum Kind { kRapid, kFeed, kArc };
    // One path (a tool's moves of one kind): the text not yet spooled and where its spooled
    // pieces lie.
    struct Path {
        std::string text;
        std::vector<std::pair<int64_t, uint32_t>> pieces;  // offset and length in the spool
        double px = 1e300, py = 1e300;                     // where its last move ended
        bool empty = true;
    };
    void To(Kind kind, double x, double y);
    Path& Current(Kind kind);
    // Starts the next move of a path at (x0, y0): a blank between moves, M where it jumps.
    void Begin(Path& p, double x0, double y0);
    void Spool(Path& p);

    std::string name_, spoolFolder_;
    std::FILE* spool_ = nullptr;
    int64_t spooled_ = 0;
    std::vector<std::unique_ptr<Path>> paths_;  // three per tool, in the order of tools_
    std::vector<int> tools_ = {0};              // tools in order of first use; 0 before any change
    size_t toolIndex_ = 0;
    int tool_ = 0;
    bool known_ = false;  // the position is known only after the first move
    double x_ = 0, y_ = 0;
    Box extents_, all_;
};

}  // namespace korvat::tool
