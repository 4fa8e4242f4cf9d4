#include "tools/korvat/preview.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tools/korvat/errors.h"
#include "writers/common/writer_common.h"

namespace korvat::tool {
namespace {

constexpr double kPi = 3.14159265358979323846;
const char* const kColours[] = {"#444444", "#1f77b4", "#d62728", "#2ca02c",
                                "#9467bd", "#ff7f0e", "#8c564b", "#17becf"};
const char* const kKindNames[] = {"rapid", "feed", "arc"};
// A path's text goes to the spool in pieces of about this size.
constexpr size_t kPiece = 32768;

// v with four decimals (printf's "%.4f"), trailing zeros trimmed so the picture stays small and
// readable, "-0" written as "0", appended to out.
void Num(std::string& out, double v) {
    static constexpr writer::Zahlformat kVier{4, 1, 0, false, false};
    char s[400];
    char* end = writer::SchreibeZahl(s, s + sizeof s, v, kVier);
    if (end == nullptr) end = s;
    while (end > s && end[-1] == '0' && std::memchr(s, '.', static_cast<size_t>(end - s))) --end;
    if (end > s && end[-1] == '.') --end;
    if (end - s == 2 && s[0] == '-' && s[1] == '0') s[0] = '0', end = s + 1;
    out.append(s, static_cast<size_t>(end - s));
}

std::string Num(double v) {
    std::string t;
    Num(t, v);
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

Preview::Preview(std::string name, std::string spoolFolder)
    : name_(std::move(name)), spoolFolder_(std::move(spoolFolder)) {
    for (int k = 0; k < 3; ++k) paths_.push_back(std::make_unique<Path>());
}

Preview::~Preview() {
    if (spool_ != nullptr) std::fclose(spool_);
}

void Preview::WkzW(int, int tool) {
    tool_ = tool;
    auto at = std::find(tools_.begin(), tools_.end(), tool);
    toolIndex_ = static_cast<size_t>(at - tools_.begin());
    if (at == tools_.end()) {
        tools_.push_back(tool);
        for (int k = 0; k < 3; ++k) paths_.push_back(std::make_unique<Path>());
    }
}

Preview::Path& Preview::Current(Kind kind) { return *paths_[3 * toolIndex_ + kind]; }

void Preview::Begin(Path& p, double x0, double y0) {
    if (!p.empty) p.text += ' ';
    if (x0 != p.px || y0 != p.py) {
        p.text += 'M';
        Num(p.text, x0);
        p.text += ' ';
        Num(p.text, -y0);
        p.text += ' ';
    }
    p.empty = false;
}

void Preview::Spool(Path& p) {
    if (spool_ == nullptr) {
        // Unnamed, so nothing is left behind however the run ends.
        int fd = spoolFolder_.empty()
                     ? -1
                     : open(spoolFolder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        spool_ = fd >= 0 ? fdopen(fd, "w+b") : std::tmpfile();
        if (spool_ == nullptr) {
            if (fd >= 0) close(fd);
            throw JobError(name_, 0, 0,
                           std::string("cannot make a spool file: ") + std::strerror(errno));
        }
    }
    // At the end, even after the spool was read back by an earlier WriteSvg.
    if (fseeko(spool_, 0, SEEK_END) != 0 ||
        std::fwrite(p.text.data(), 1, p.text.size(), spool_) != p.text.size())
        throw JobError(name_, 0, 0,
                       std::string("cannot write the spool file: ") + std::strerror(errno));
    p.pieces.emplace_back(spooled_, static_cast<uint32_t>(p.text.size()));
    spooled_ += static_cast<int64_t>(p.text.size());
    p.text.clear();
}

void Preview::To(Kind kind, double x, double y) {
    if (known_ && (x != x_ || y != y_)) {
        Path& p = Current(kind);
        Begin(p, x_, y_);
        p.text += 'L';
        Num(p.text, x);
        p.text += ' ';
        Num(p.text, -y);
        p.px = x, p.py = y;
        if (p.text.size() >= kPiece) Spool(p);
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
    Path& p = Current(kArc);
    Begin(p, sx, sy);
    // Drawn with y down, a counter-clockwise arc runs in SVG's negative sense.
    const char sense = sweep > 0 ? '0' : '1';
    auto arc = [&](double x, double y, bool large) {
        p.text += 'A';
        Num(p.text, r);
        p.text += ' ';
        Num(p.text, r);
        p.text += " 0 ";
        p.text += large ? '1' : '0';
        p.text += ' ';
        p.text += sense;
        p.text += ' ';
        Num(p.text, x);
        p.text += ' ';
        Num(p.text, -y);
    };
    if (std::fabs(sweep) > 2 * kPi - 1e-6) {
        // A full circle: two halves, SVG cannot draw it in one piece.
        double a = std::atan2(sy - cy, sx - cx) + sweep / 2;
        arc(cx + r * std::cos(a), cy + r * std::sin(a), false);
        p.text += ' ';
        arc(ex, ey, false);
    } else {
        arc(ex, ey, std::fabs(sweep) > kPi);
    }
    p.px = ex, p.py = ey;
    if (p.text.size() >= kPiece) Spool(p);
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

bool Preview::WriteSvg(std::FILE* out) {
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
    auto put = [out](const std::string& text) {
        return std::fwrite(text.data(), 1, text.size(), out) == text.size();
    };
    bool ok = put(s);

    // Each path: its spooled pieces read back in order, then what is still in its buffer.
    if (spool_ != nullptr && std::fflush(spool_) != 0)
        throw JobError(name_, 0, 0,
                       std::string("cannot write the spool file: ") + std::strerror(errno));
    std::vector<char> piece;
    for (size_t t = 0; t < tools_.size(); ++t) {
        for (int kind = kRapid; kind <= kArc; ++kind) {
            const Path& p = *paths_[3 * t + kind];
            if (p.empty) continue;
            const char* colour = kColours[t % (sizeof kColours / sizeof kColours[0])];
            ok = put(std::string("<path class=\"") + kKindNames[kind] + "\" data-tool=\"" +
                     std::to_string(tools_[t]) + "\" d=\"") &&
                 ok;
            for (const auto& [offset, length] : p.pieces) {
                piece.resize(length);
                if (fseeko(spool_, offset, SEEK_SET) != 0 ||
                    std::fread(piece.data(), 1, length, spool_) != length)
                    throw JobError(name_, 0, 0, "cannot read the spool file back");
                ok = std::fwrite(piece.data(), 1, length, out) == length && ok;
            }
            ok = put(p.text) && ok;
            ok = put(std::string("\" fill=\"none\" stroke=\"") + colour + "\" stroke-width=\"" +
                     Num(kind == kRapid ? line / 2 : line) + "\"" +
                     (kind == kRapid
                          ? " stroke-dasharray=\"" + Num(4 * line) + " " + Num(3 * line) + "\""
                          : std::string()) +
                     " stroke-linecap=\"round\"/>\n") &&
                 ok;
        }
    }

    double by = -view.y0 + margin * 1.5;
    s.clear();
    s += "<g class=\"scale\" data-length=\"" + Num(bar) + "\">\n";
    s += "<path d=\"M" + Num(view.x0) + " " + Num(by) + " h" + Num(bar) +
         "\" stroke=\"black\" stroke-width=\"" + Num(line) + "\"/>\n";
    s += "<text x=\"" + Num(view.x0 + bar + font * 0.5) + "\" y=\"" + Num(by + font * 0.35) +
         "\" font-family=\"sans-serif\" font-size=\"" + Num(font) + "\">" + Num(bar) +
         " mm</text>\n</g>\n";
    s += "</svg>\n";
    ok = put(s) && ok;
    return ok;
}

std::string Preview::Svg() {
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    if (out == nullptr) throw JobError(name_, 0, 0, "out of memory");
    bool ok = WriteSvg(out);
    std::fclose(out);
    std::string svg(text, size);
    std::free(text);
    if (!ok) throw JobError(name_, 0, 0, "cannot be written");
    return svg;
}

}  // namespace korvat::tool
