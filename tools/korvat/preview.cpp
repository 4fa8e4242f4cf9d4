#include "tools/korvat/preview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace korvat::tool {
namespace {

constexpr double kPi = 3.14159265358979323846;
const char* const kColours[] = {"#444444", "#1f77b4", "#d62728", "#2ca02c",
                                "#9467bd", "#ff7f0e", "#8c564b", "#17becf"};
const char* const kKindNames[] = {"rapid", "feed", "arc"};

std::string Num(double v) {
    char s[40];
    std::snprintf(s, sizeof s, "%.4f", v);
    // Trim trailing zeros so the picture stays small and readable.
    std::string t = s;
    while (t.back() == '0') t.pop_back();
    if (t.back() == '.') t.pop_back();
    if (t == "-0") t = "0";
    return t;
}

// A round length near `about`: 1, 2 or 5 times a power of ten.
double NiceLength(double about) {
    double p = std::pow(10.0, std::floor(std::log10(about)));
    for (double m : {5.0, 2.0, 1.0})
        if (m * p <= about) return m * p;
    return p;
}

}  // namespace

void Preview::Box::Add(double x, double y) {
    x0 = std::min(x0, x), y0 = std::min(y0, y);
    x1 = std::max(x1, x), y1 = std::max(y1, y);
}

void Preview::WkzW(int, int tool) {
    tool_ = tool;
    if (std::find(tools_.begin(), tools_.end(), tool) == tools_.end()) tools_.push_back(tool);
}

void Preview::To(Kind kind, double x, double y) {
    if (known_ && (x != x_ || y != y_)) {
        pieces_.push_back({kind, tool_, x_, y_, x, y, 0, 0, 0, 0});
        if (kind != kRapid) extents_.Add(x_, y_), extents_.Add(x, y);
    }
    all_.Add(x, y);
    known_ = true;
    x_ = x, y_ = y;
}

void Preview::Kreis(double cx, double cy, double r, double start, double sweep, double ex,
                    double ey, double, int) {
    double sx = known_ ? x_ : cx + r * std::cos(start);
    double sy = known_ ? y_ : cy + r * std::sin(start);
    pieces_.push_back({kArc, tool_, sx, sy, ex, ey, r, sweep, cx, cy});
    // The arc's box: its ends and every quadrant point it passes.
    for (Box* b : {&extents_, &all_}) {
        b->Add(sx, sy);
        b->Add(ex, ey);
        for (int q = -8; q <= 8; ++q) {
            double a = q * kPi / 2;
            double lo = std::min(start, start + sweep), hi = std::max(start, start + sweep);
            if (a > lo && a < hi) b->Add(cx + r * std::cos(a), cy + r * std::sin(a));
        }
    }
    known_ = true;
    x_ = ex, y_ = ey;
}

std::string Preview::Svg() const {
    Box view = all_;
    if (view.Empty()) view.Add(0, 0), view.Add(10, 10);
    Box work = extents_.Empty() ? view : extents_;
    double w = std::max(view.x1 - view.x0, 1.0), h = std::max(view.y1 - view.y0, 1.0);
    double margin = 0.08 * std::max(w, h);
    double bar = NiceLength(std::max(w, h) / 5);
    // The picture's y axis points down: machine y is drawn as -y.
    double vx = view.x0 - margin, vy = -view.y1 - margin;
    double vw = w + 2 * margin, vh = h + 3 * margin;
    double font = margin * 0.35;
    // Line widths and dashes in millimetres of the drawing, so every SVG reader shows the same.
    double line = 0.003 * std::max(w, h);

    std::string s;
    s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" + Num(vx) + " " + Num(vy) + " " +
         Num(vw) + " " + Num(vh) + "\" width=\"" +
         Num(std::min(1200.0, vw * 1200 / std::max(vw, vh))) + "\" height=\"" +
         Num(std::min(1200.0, vh * 1200 / std::max(vw, vh))) + "\" data-extents=\"" + Num(work.x0) +
         " " + Num(work.y0) + " " + Num(work.x1) + " " + Num(work.y1) + "\">\n";
    s += "<rect x=\"" + Num(vx) + "\" y=\"" + Num(vy) + "\" width=\"" + Num(vw) + "\" height=\"" +
         Num(vh) + "\" fill=\"white\"/>\n";
    s += "<rect class=\"extents\" x=\"" + Num(work.x0) + "\" y=\"" + Num(-work.y1) + "\" width=\"" +
         Num(work.x1 - work.x0) + "\" height=\"" + Num(work.y1 - work.y0) +
         "\" fill=\"#f4f4f0\" stroke=\"#999999\" stroke-width=\"" + Num(line / 2) + "\"/>\n";
    char label[120];
    std::snprintf(label, sizeof label, "%.3f x %.3f mm", work.x1 - work.x0, work.y1 - work.y0);
    s += "<text x=\"" + Num(work.x0) + "\" y=\"" + Num(-work.y1 - font * 0.5) +
         "\" font-family=\"sans-serif\" font-size=\"" + Num(font) + "\" fill=\"#666666\">" + label +
         "</text>\n";

    for (size_t t = 0; t < tools_.size(); ++t) {
        for (int kind = kRapid; kind <= kArc; ++kind) {
            std::string d;
            double px = 1e300, py = 1e300;
            for (const Piece& p : pieces_) {
                if (p.kind != kind || p.tool != tools_[t]) continue;
                if (p.x0 != px || p.y0 != py) d += "M" + Num(p.x0) + " " + Num(-p.y0) + " ";
                if (kind != kArc) {
                    d += "L" + Num(p.x1) + " " + Num(-p.y1) + " ";
                } else {
                    // Drawn with y down, a counter-clockwise arc runs in SVG's negative sense.
                    const char* sense = p.sweep > 0 ? "0" : "1";
                    auto arc = [&](double x, double y, bool large) {
                        d += "A" + Num(p.r) + " " + Num(p.r) + " 0 " + (large ? "1 " : "0 ") +
                             sense + " " + Num(x) + " " + Num(-y) + " ";
                    };
                    if (std::fabs(p.sweep) > 2 * kPi - 1e-6) {
                        // A full circle: two halves, SVG cannot draw it in one piece.
                        double a = std::atan2(p.y0 - p.cy, p.x0 - p.cx) + p.sweep / 2;
                        arc(p.cx + p.r * std::cos(a), p.cy + p.r * std::sin(a), false);
                        arc(p.x1, p.y1, false);
                    } else {
                        arc(p.x1, p.y1, std::fabs(p.sweep) > kPi);
                    }
                }
                px = p.x1, py = p.y1;
            }
            if (d.empty()) continue;
            d.pop_back();
            const char* colour = kColours[t % (sizeof kColours / sizeof kColours[0])];
            s += std::string("<path class=\"") + kKindNames[kind] + "\" data-tool=\"" +
                 std::to_string(tools_[t]) + "\" d=\"" + d + "\" fill=\"none\" stroke=\"" + colour +
                 "\" stroke-width=\"" + Num(kind == kRapid ? line / 2 : line) + "\"" +
                 (kind == kRapid
                      ? " stroke-dasharray=\"" + Num(4 * line) + " " + Num(3 * line) + "\""
                      : std::string()) +
                 " stroke-linecap=\"round\"/>\n";
        }
    }

    double by = -view.y0 + margin * 1.5;
    s += "<g class=\"scale\" data-length=\"" + Num(bar) + "\">\n";
    s += "<path d=\"M" + Num(view.x0) + " " + Num(by) + " h" + Num(bar) +
         "\" stroke=\"black\" stroke-width=\"" + Num(line) + "\"/>\n";
    s += "<text x=\"" + Num(view.x0 + bar + font * 0.5) + "\" y=\"" + Num(by + font * 0.35) +
         "\" font-family=\"sans-serif\" font-size=\"" + Num(font) + "\">" + Num(bar) +
         " mm</text>\n</g>\n";
    s += "</svg>\n";
    return s;
}

}  // namespace korvat::tool
