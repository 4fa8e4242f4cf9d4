// The G-code front end: reads an RS274 program as CAM programs write it and emits the library's
// path calls. It keeps the interpreter state that RS274 makes modal (units, distance mode,
// motion mode, feed, selected tool, position) and turns each line into calls in the order RS274
// executes a line: feed, speed, tool change, spindle, dwell, modes, motion, stop.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tools/korvat/errors.h"
#include "tools/korvat/frontends.h"
#include "tools/korvat/number_reader.h"

namespace korvat::tool {
namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kTwoPi = 6.283185307179586;
// An arc's end may lie this far off the radius through its start (mm, or this share of r).
constexpr double kRadiusTolerance = 0.005;
constexpr double kRadiusShare = 0.001;
// The least feed other than 0, and the most, in mm/min (no machine of ours comes near a
// kilometre a minute; above it a feed is a typing error, and far above it no longer a number the
// writers can hold).
constexpr double kLeastFeed = 1.0;
constexpr double kMostFeed = 1e6;
// The longest dwell, in seconds (more than a day; the writers count dwells in milliseconds).
constexpr double kMostDwell = 1e5;

struct Word {
    char letter;
    double value;
    int column;  // 1-based column of the letter
    int code;    // of a G or M word: its number (whole, 0 to 999); else -1
};

// Codes of the supported subset. G40, G49, G80 and G94 select what is in force anyway (no
// cutter compensation, no length offset, no canned cycle, feed per minute), so they are taken.
bool SupportedG(int g) {
    switch (g) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 17:
        case 20:
        case 21:
        case 40:
        case 49:
        case 80:
        case 90:
        case 91:
        case 94:
            return true;
        default:
            return false;
    }
}
// The other letters a line may hold: N F S T X Y Z I J R P.
constexpr bool kWoerter[26] = {false, false, false, false, false, true,  false, false, true,
                               true,  false, false, false, true,  false, true,  false, true,
                               true,  true,  false, false, false, true,  true,  true};
bool SupportedM(int m) { return m == 0 || m == 2 || m == 3 || m == 5 || m == 6 || m == 30; }

class Interpreter {
  public:
    Interpreter(const std::string& file, const GcodeOptions& options, Sink& sink)
        : file_(file), options_(options), sink_(sink) {}

    // Runs one line; false once the program has ended (M2, M30).
    bool Line(std::string_view text, int number);

  private:
    [[noreturn]] void Fail(int column, const std::string& message) const {
        throw JobError(file_, line_, column, message);
    }
    void Tokenise(std::string_view text);
    double Len(double v) const { return inch_ ? v * kMmPerInch : v; }
    // The letters (upper case) as bits of letters_.
    static consteval uint32_t Letters(std::string_view letters) {
        uint32_t mask = 0;
        for (char c : letters) mask |= uint32_t{1} << (c - 'A');
        return mask;
    }
    // The line's word of that letter (upper case), or null.
    const Word* Find(char letter) const {
        unsigned k = static_cast<unsigned>(letter - 'A');
        return k < 26 && index_[k] != 0 ? &words_[index_[k] - 1] : nullptr;
    }
    // The axis' new value: its word, absolute or added to the current value, or the current
    // value when the line has none. A relative word needs a known current value.
    double Axis(char letter, double current, bool known) const {
        const Word* w = Find(letter);
        if (w == nullptr) return current;
        if (incremental_ && !known)
            Fail(w->column, std::string("relative move before the first positioning: ") + letter +
                                " is not known yet");
        return incremental_ ? current + Len(w->value) : Len(w->value);
    }
    static std::string FeedText(const Word& w) {
        char text[40];
        std::snprintf(text, sizeof text, "F%g", w.value);
        return text;
    }
    int Integer(const Word& w) const {
        if (w.value != std::floor(w.value) || std::fabs(w.value) > 2e9)
            Fail(w.column, std::string("value of ") + w.letter + " must be a whole number");
        return static_cast<int>(w.value);
    }
    void Motion(int mode, int column);
    void Arc(int mode, int column);

    std::string file_;
    GcodeOptions options_;
    Sink& sink_;
    int line_ = 0;
    std::vector<Word> words_;
    uint16_t index_[26]{};  // per letter: 1 + its place in words_, 0 when the line has none
    uint32_t letters_ = 0;  // bit k: the line has a word of letter 'A' + k

    bool inch_ = false;
    bool incremental_ = false;
    bool begun_ = false;  // a line other than a blank one was read
    int motion_ = -1;     // modal motion G code, -1 before the first
    double x_ = 0, y_ = 0, z_ = 0;
    // Whether the job has given each axis yet: until then a move leaves it where it is.
    bool xKnown_ = false, yKnown_ = false, zKnown_ = false;
    std::optional<double> feed_;  // mm/min
    int tool_ = -1;               // selected with T, -1 none
};

void Interpreter::Tokenise(std::string_view t) {
    for (const Word& w : words_) index_[w.letter - 'A'] = 0;
    words_.clear();
    letters_ = 0;
    size_t i = 0;
    auto blank = [&](size_t k) { return k < t.size() && (t[k] == ' ' || t[k] == '\t'); };
    auto digit = [&](size_t k) { return k < t.size() && t[k] >= '0' && t[k] <= '9'; };
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    while (i < t.size()) {
        char c = t[i];
        int column = static_cast<int>(i) + 1;
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == ';') {
            break;
        } else if (c == '(') {
            size_t end = t.find(')', i);
            size_t inner = t.find('(', i + 1);
            if (inner < end)
                Fail(static_cast<int>(inner) + 1, "comments do not nest: '(' inside a comment");
            if (end == std::string_view::npos) Fail(column, "comment is not closed with ')'");
            i = end + 1;
        } else if (alpha(c)) {
            char letter = static_cast<char>(c & ~0x20);  // upper case
            ++i;
            while (blank(i)) ++i;
            int numberColumn = static_cast<int>(i) + 1;
            if (i < t.size() && (t[i] == '[' || t[i] == '#'))
                Fail(numberColumn, "expressions and parameters are not supported");
            size_t start = i;
            // The number as written, without a locale: a sign, digits, at most one point.
            const WordNumber read = ReadWordNumber(t.data() + i, t.data() + t.size());
            i = static_cast<size_t>(read.end - t.data());
            std::string_view number = t.substr(start, i - start);
            if (read.digits == 0 || read.points > 1) {
                size_t end = i;
                while (end < t.size() && !blank(end) && !alpha(t[end])) ++end;
                Fail(numberColumn, std::string("malformed number '") +
                                       std::string(t.substr(start, end - start)) + "' after " +
                                       letter);
            }
            if (i < t.size() && (t[i] == 'e' || t[i] == 'E') &&
                (digit(i + 1) ||
                 (i + 1 < t.size() && (t[i + 1] == '+' || t[i + 1] == '-') && digit(i + 2)))) {
                size_t end = i + 2;
                while (digit(end)) ++end;
                Fail(numberColumn, "exponents are not G-code: '" +
                                       std::string(t.substr(start, end - start)) + "' after " +
                                       letter);
            }
            if (!read.inRange)
                Fail(numberColumn,
                     "number '" + std::string(number) + "' after " + letter + " is out of range");
            int code = -1;
            if (letter == 'G' || letter == 'M') {
                // A code written without a point is taken from its digits, without waiting
                // for the division that makes its value.
                bool whole;
                if (read.whole >= 0) {
                    whole = read.whole < 1000;
                    code = static_cast<int>(read.whole);
                } else {
                    const double v = read.value;
                    whole = v == std::floor(v) && v >= 0 && v < 1000;
                    code = whole ? static_cast<int>(v) : -1;
                }
                if (!whole || !(letter == 'G' ? SupportedG(code) : SupportedM(code)))
                    Fail(column, std::string("unsupported word ") + letter + std::string(number));
            } else if (!kWoerter[letter - 'A']) {
                Fail(column, std::string("unsupported word ") + letter + std::string(number));
            } else if (letters_ & (uint32_t{1} << (letter - 'A'))) {
                Fail(column, std::string("word ") + letter + " appears twice in one line");
            }
            // Filled in place: a word copied whole right after its value was stored would
            // wait for that store.
            Word& w = words_.emplace_back();
            w.letter = letter, w.value = read.value, w.column = column, w.code = code;
            index_[letter - 'A'] = static_cast<uint16_t>(words_.size());
            letters_ |= uint32_t{1} << (letter - 'A');
        } else if (c == '#' || c == '[') {
            Fail(column, "expressions and parameters are not supported");
        } else if (c == '/' && words_.empty()) {
            Fail(column, "block delete ('/') is not supported");
        } else {
            Fail(column, std::string("unexpected character '") + c + "'");
        }
    }
}

bool Interpreter::Line(std::string_view text, int number) {
    line_ = number;
    size_t first = 0;
    while (first < text.size() && (text[first] == ' ' || text[first] == '\t')) ++first;
    if (first == text.size()) return true;
    // A '%' line before anything else opens the program; any later one closes it, and nothing
    // after it is read.
    bool opening = !begun_;
    begun_ = true;
    if (text[first] == '%') return opening;
    Tokenise(text);
    if (words_.empty()) return true;

    // Sort the codes into their groups; two codes of one group in a line are an error.
    const Word* motion = nullptr;
    const Word* dwell = nullptr;
    const Word* spindle = nullptr;
    const Word* change = nullptr;
    const Word* stop = nullptr;
    const Word* units = nullptr;
    const Word* distance = nullptr;
    auto take = [&](const Word*& slot, const Word& w) {
        if (slot != nullptr)
            Fail(w.column, std::string("two codes of one kind in a line: ") + slot->letter +
                               std::to_string(slot->code) + " and " + w.letter +
                               std::to_string(w.code));
        slot = &w;
    };
    for (const Word& w : words_) {
        // Only G and M words are codes (checked whole and below 1000 as they were read); an
        // axis word may hold any number.
        if (w.letter != 'G' && w.letter != 'M') continue;
        int code = w.code;
        if (w.letter == 'G') {
            if (code <= 3)
                take(motion, w);
            else if (code == 4)
                take(dwell, w);
            else if (code == 20 || code == 21)
                take(units, w);
            else if (code == 90 || code == 91)
                take(distance, w);
        } else if (w.letter == 'M') {
            if (code == 3 || code == 5)
                take(spindle, w);
            else if (code == 6)
                take(change, w);
            else
                take(stop, w);
        }
    }
    if (units != nullptr) inch_ = units->code == 20;
    if (distance != nullptr) incremental_ = distance->code == 91;

    if (const Word* n = Find('N')) Integer(*n);
    if (const Word* f = Find('F')) {
        if (f->value < 0) Fail(f->column, "feed rate must not be negative");
        // A feed this small is written as F0 by the machines that write whole mm/min, and
        // would stop the axes where the job means them to move.
        if (f->value > 0 && Len(f->value) < kLeastFeed)
            Fail(f->column,
                 "feed rate " + FeedText(*f) + " rounds to F0; the least feed is 1 mm/min");
        if (Len(f->value) > kMostFeed)
            Fail(f->column,
                 "feed rate " + FeedText(*f) + " is too large; the most is 1000000 mm/min");
        feed_ = Len(f->value);
        float feed = static_cast<float>(*feed_ * options_.feedFactor);
        sink_.SetzeVorschuebe(feed, feed);
        sink_.SetzeVorschub(feed);
    }
    if (const Word* s = Find('S')) {
        if (s->value < 0) Fail(s->column, "spindle speed must not be negative");
        if (s->value > 2e9) Fail(s->column, "spindle speed is too large (at most 2000000000)");
        sink_.Spinddreh(static_cast<int32_t>(std::lround(s->value)));
    }
    if (const Word* t = Find('T')) {
        tool_ = Integer(*t);
        if (tool_ < 0) Fail(t->column, "tool number must not be negative");
    }
    if (change != nullptr) {
        if (tool_ < 0) Fail(change->column, "M6 without a tool selected by T");
        sink_.WkzW(1, tool_);
        // The change resets the writer's modal words; the feed in force is given again so the
        // first feed block after the change carries it.
        if (feed_) sink_.SetzeVorschub(static_cast<float>(*feed_ * options_.feedFactor));
    }
    if (spindle != nullptr) sink_.Spindea(spindle->code == 3 ? 1 : 0, 0.0f);

    const Word* p = Find('P');
    if (dwell != nullptr) {
        if (motion != nullptr) Fail(dwell->column, "G4 and a motion code cannot share a line");
        if (p == nullptr) Fail(dwell->column, "G4 needs the dwell time in seconds as P");
        if (p->value < 0) Fail(p->column, "dwell time must not be negative");
        if (p->value > kMostDwell)
            Fail(p->column, "dwell time is too long (at most 100000 seconds)");
        for (char a : std::string_view("XYZIJR"))
            if (const Word* w = Find(a)) Fail(w->column, std::string("G4 takes no ") + a + " word");
        sink_.Wait(static_cast<float>(p->value));
    } else if (p != nullptr) {
        Fail(p->column, "P is only read with G4 (dwell)");
    }

    if (motion != nullptr) motion_ = motion->code;
    bool axes = false;
    int column = 0;
    if (letters_ & Letters("XYZIJR")) {
        for (char a : std::string_view("XYZIJR")) {
            if (const Word* w = Find(a)) {
                if (!axes) column = w->column;
                axes = true;
            }
        }
    }
    if (axes && dwell == nullptr) {
        if (motion_ < 0) Fail(column, "axis words without a motion code (G0, G1, G2 or G3)");
        Motion(motion_, motion != nullptr ? motion->column : column);
    }

    if (stop != nullptr) {
        if (stop->code == 0) {
            sink_.Stop();
        } else {
            sink_.ProgramEnd(static_cast<int>(stop->value));
            return false;  // M2, M30: the program ends here, as on the machine
        }
    }
    return true;
}

void Interpreter::Motion(int mode, int column) {
    if (mode >= 2) return Arc(mode, column);
    if (letters_ & Letters("IJR")) {
        for (char a : std::string_view("IJR"))
            if (const Word* w = Find(a))
                Fail(w->column, std::string(1, a) + " belongs to arcs (G2, G3), not to G" +
                                    std::to_string(mode));
    }
    double x = Axis('X', x_, xKnown_), y = Axis('Y', y_, yKnown_), z = Axis('Z', z_, zKnown_);
    bool plane = Find('X') != nullptr || Find('Y') != nullptr;
    bool depth = zKnown_ || Find('Z') != nullptr;
    if (mode == 0) {
        if (!plane) {
            sink_.MoveZ(z);
        } else if (!depth) {
            sink_.Move(x, y);  // no height given yet: the tool stays where it is
        } else {
            sink_.Move3(x, y, z);
        }
    } else {
        if (!feed_ || *feed_ <= 0) Fail(column, "feed move without a feed rate (F)");
        if (depth)
            sink_.Draw3(x, y, z);
        else
            sink_.Draw(x, y);
    }
    x_ = x, y_ = y, z_ = z;
    xKnown_ |= Find('X') != nullptr, yKnown_ |= Find('Y') != nullptr, zKnown_ = depth;
}

void Interpreter::Arc(int mode, int column) {
    if (!feed_ || *feed_ <= 0) Fail(column, "arc without a feed rate (F)");
    if (!xKnown_ || !yKnown_)
        Fail(column, "arc before the first positioning: its start is not known");
    if (const Word* z = Find('Z'); z != nullptr && !zKnown_)
        Fail(z->column, "helix before the first height: give Z before the arc");
    const Word* i = Find('I');
    const Word* j = Find('J');
    const Word* r = Find('R');
    double ex = Axis('X', x_, true), ey = Axis('Y', y_, true), ez = Axis('Z', z_, zKnown_);
    double cx, cy;
    if (r != nullptr) {
        if (i != nullptr || j != nullptr) Fail(r->column, "an arc takes either R or I/J, not both");
        double radius = std::fabs(Len(r->value));
        double dx = ex - x_, dy = ey - y_;
        double d = std::hypot(dx, dy);
        if (d < 1e-9) Fail(r->column, "an arc with R needs an end point away from its start");
        if (radius < 1e-9 || d / 2 - radius > kRadiusTolerance)
            Fail(r->column, "radius R is shorter than half the distance to the end point");
        double h = std::sqrt(std::fmax(0.0, radius * radius - d * d / 4));
        // The centre of the shorter arc lies left of the chord for G3, right of it for G2;
        // a negative R asks for the longer arc, with the centre on the other side.
        double side = (mode == 3 ? 1.0 : -1.0) * (r->value < 0 ? -1.0 : 1.0);
        cx = (x_ + ex) / 2 - side * h * dy / d;
        cy = (y_ + ey) / 2 + side * h * dx / d;
    } else {
        if (i == nullptr && j == nullptr) Fail(column, "an arc needs I/J or R");
        cx = x_ + (i ? Len(i->value) : 0.0);
        cy = y_ + (j ? Len(j->value) : 0.0);
    }
    double radius = std::hypot(x_ - cx, y_ - cy);
    double endRadius = std::hypot(ex - cx, ey - cy);
    if (radius < 1e-9) Fail(column, "arc with radius 0");
    if (std::fabs(radius - endRadius) > std::fmax(kRadiusTolerance, kRadiusShare * radius)) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "arc end point is %.4f mm from the centre, its start %.4f mm", endRadius,
                      radius);
        Fail(column, text);
    }
    double start = std::atan2(y_ - cy, x_ - cx);
    double sweep;
    if (std::hypot(ex - x_, ey - y_) < 1e-9) {
        sweep = mode == 3 ? kTwoPi : -kTwoPi;  // end at the start: a full circle
    } else {
        sweep = std::atan2(ey - cy, ex - cx) - start;
        if (mode == 3 && sweep <= 0) sweep += kTwoPi;
        if (mode == 2 && sweep >= 0) sweep -= kTwoPi;
    }
    bool helix = std::fabs(ez - z_) > 1e-9;
    sink_.Kreis(cx, cy, radius, start, sweep, ex, ey, ez, helix ? kHelical : 0);
    x_ = ex, y_ = ey, z_ = ez;
    zKnown_ |= Find('Z') != nullptr;
}

}  // namespace

void RunGcode(JobInput& job, const GcodeOptions& options, Sink& sink) {
    Interpreter interpreter(job.file(), options, sink);
    std::string_view line;
    while (job.NextLine(line)) {
        sink.SourceLine(job.line());
        if (!interpreter.Line(line, job.line())) return;
    }
}

void RunGcode(std::string_view text, const std::string& file, const GcodeOptions& options,
              Sink& sink) {
    JobInput job(text, file);
    RunGcode(job, options, sink);
}

bool IsCallScript(const std::string& file) {
    const std::string ext = ".calls";
    return file.size() >= ext.size() &&
           file.compare(file.size() - ext.size(), ext.size(), ext) == 0;
}

}  // namespace korvat::tool
