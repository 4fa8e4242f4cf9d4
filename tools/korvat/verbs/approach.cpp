// korvat approach: adds a ramped entry to a contour, so the cutter reaches its depth while it
// moves along the contour instead of plunging straight down.
//
// The contour comes as an element file, or as a G-code program holding one contour (a rapid move
// to its start, then G1/G2/G3 moves; Z moves and feeds are not part of the contour). The result
// is an element file, or, with --machine, a program for that machine.
//
// Heights in element files: Z is a depth, positive into the material, so the safe height above
// the workpiece is written as a negative Z and the program's Z is the negated element Z.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/element.h"
#include "common/fxtexte.h"
#include "geometry/anfahren.h"
#include "platform/files.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/frontends.h"
#include "tools/korvat/job_input.h"
#include "tools/korvat/output.h"
#include "tools/korvat/program.h"
#include "tools/korvat/terminal_dialogs.h"
#include "tools/korvat/verbs/job_options.h"
#include "tools/korvat/verbs/verb.h"

namespace korvat::tool {
namespace {

struct Options {
    std::string input;
    std::string output;
    std::string machine;
    double angle = 3;       // degrees
    double chord = 0.01;    // mm
    double safe = 5;        // mm above the workpiece
    double start = 0;       // mm below the surface
    double final = 1;       // mm below the surface
    double points = 0.001;  // mm
    double feed = 1000;     // mm/min
    double plunge = 300;    // mm/min
    int speed = 0;          // rpm; 0: no spindle words
};

// Builds the element file of one contour from G-code calls.
class ContourSink : public Sink {
  public:
    ContourSink(const std::string& file, double safe) : file_(file), safe_(safe) {}
    const std::vector<ELE_EAW>& records() const { return records_; }

    void Move(double x, double y) override { Rapid(x, y); }
    void Move3(double x, double y, double) override { Rapid(x, y); }
    void Draw(double x, double y) override { Line(x, y); }
    void Draw3(double x, double y, double) override { Line(x, y); }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double, int) override {
        Begin();
        ELE_EAW c{};
        c.Typ = kEleBogen;
        c.X = cx;
        c.Y = cy;
        records_.push_back(c);
        ELE_EAW a{};
        a.Typ = kEleBogen;
        a.X = start;
        a.Y = sweep;
        a.Z = r;
        records_.push_back(a);
        x_ = ex;
        y_ = ey;
    }
    // Feeds, Z moves, spindle, tools and dwells do not shape the contour.
    void SetzeVorschuebe(float, float) override {}
    void SetzeVorschub(float) override {}
    void Spinddreh(int32_t) override {}
    void Spindea(int, float) override {}
    void WkzW(int, int) override {}
    void MoveZ(double) override {}
    void Wait(float) override {}
    void Stop() override {}
    void SStringln(int, const char*) override {}

  private:
    static bool Same(double a, double b) { return std::fabs(a - b) < 1e-9; }
    void Rapid(double x, double y) {
        if (Same(x, x_) && Same(y, y_) && known_) return;  // a Z move
        if (!records_.empty()) ended_ = true;              // leaving the contour
        x_ = x;
        y_ = y;
        known_ = true;
    }
    void Line(double x, double y) {
        if (known_ && Same(x, x_) && Same(y, y_)) return;  // a plunge
        Begin();
        ELE_EAW l{};
        l.Typ = kEleLinie;
        l.X = x;
        l.Y = y;
        records_.push_back(l);
        x_ = x;
        y_ = y;
    }
    // The first cut opens the contour: safe-height marker and positioning at the last rapid.
    void Begin() {
        if (ended_)
            throw JobError(file_, 0, 0,
                           "holds a second contour (cuts after a rapid move that left the "
                           "first); the approach takes one contour");
        if (!records_.empty()) return;
        if (!known_)
            throw JobError(file_, 0, 0,
                           "the contour has no start: begin it with a rapid move (G0) to its "
                           "first point");
        ELE_EAW m{};
        m.Typ = kEleMarke;
        m.Art = 'g';
        m.X = -safe_;
        records_.push_back(m);
        ELE_EAW p{};
        p.Typ = kElePositionierung;
        p.X = x_;
        p.Y = y_;
        p.Z = -safe_;
        records_.push_back(p);
    }

    std::string file_;
    double safe_;
    std::vector<ELE_EAW> records_;
    double x_ = 0, y_ = 0;
    bool known_ = false, ended_ = false;
};

// What went wrong, in plain words, by the approach's error code.
const char* Explain(int32_t code, int32_t message) {
    if (message == 4132) return "the contour is a single line without extent";
    if (message == 555) return "the ramp would begin in an element that is neither line nor arc";
    switch (code) {
        case -401:
            return "the parameters give no ramp (angle between 0 and 90 degrees, final depth "
                   "below the start depth, a positive chord tolerance)";
        case -415:
            return "cannot be opened";
        case -420:
            return "cannot be created";
        case -425:
        case -450:
        case -455:
            return "cannot be positioned in";
        case -431:
            return "is cut short: its size is not a whole number of 32-byte records";
        case -433:
            return "holds a coordinate that is not a number, or lies beyond 1 km, or an arc of "
                   "more than a full turn";
        case -435:
        case -470:
        case -490:
            return "ends before a record that the contour needs (no positioning, or an arc "
                   "without its second record)";
        case -436:
            return "starts with its only line or arc: there is no positioning before it";
        case -440:
            return "holds no line and no arc";
        case -451:
            return "ended before the element where the ramp reached its depth";
        case -405:
        case -410:
        case -460:
            return "cannot be written (disk full?)";
        case -506:
            return "holds a positioning after the ramp reached its depth (a second contour?)";
        case -507:
            return "has no safe-height marker ('g' or 't') before the contour's positioning";
        case -524:
            return "holds a positioning away from the contour's end (a second contour?)";
        case -525:
            return "the ramp did not reach the final depth in its first pass";
        case -526:
            return "the contour is too short for the ramp: it would need more than 1000 laps";
        case -530:
            return "cannot be deleted";
        default:
            return "";
    }
}

// The host's text of a message number, shown on a terminal: code page 1252 as UTF-8.
std::string HostText(int32_t message) {
    char text[256];
    LadeRcString(static_cast<int16_t>(message), text, sizeof text);
    return ToUtf8(text);
}

std::string Lowered(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

bool LooksLikeText(const std::string& bytes) {
    if (bytes.empty()) return false;
    for (unsigned char c : bytes)
        if (c < 0x09 || (c > 0x0D && c < 0x20)) return false;
    return true;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw JobError(path, 0, 0, "cannot be read");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Appends one formatted line to the script.
[[gnu::format(printf, 2, 3)]] void Add(std::string& script, const char* format, ...) {
    char line[256];
    va_list values;
    va_start(values, format);
    std::vsnprintf(line, sizeof line, format, values);
    va_end(values);
    script += line;
}

// The approached contour as a call script for the machine's writer: feeds, spindle, the path
// with Z as height, and a retract to the safe height.
std::string CallScript(const std::vector<ELE_EAW>& r, const Options& o, double feedFactor) {
    std::string s;
    Add(s, "# %s with a ramped entry\n", o.input.c_str());
    Add(s, "SetzeVorschuebe %.9g %.9g\n", o.feed * feedFactor, o.plunge * feedFactor);
    if (o.speed > 0) Add(s, "Spinddreh %d\nSpindea 1 0\n", o.speed);
    // A move that goes deeper runs at the plunge feed, every other cut at the cutting feed, as
    // the current feed: a machine that does not adapt its feed to plunging moves itself
    // (Eintauchvorschub off) would otherwise ramp down at the cutting feed.
    double current = o.feed;
    auto feed = [&](double f) {
        if (f != current) Add(s, "SetzeVorschub %.9g\n", f * feedFactor);
        current = f;
    };
    double z = o.safe;
    for (size_t i = 0; i < r.size(); ++i) {
        const ELE_EAW& e = r[i];
        if (e.Typ == kElePositionierung || e.Typ == kElePositionierung2) {
            z = -e.Z;
            Add(s, "Move3 %.17g %.17g %.17g\n", e.X, e.Y, z);
        } else if (e.Typ == kEleLinie) {
            feed(o.feed);
            Add(s, "Draw %.17g %.17g\n", e.X, e.Y);
        } else if (e.Typ == kEleLinie3D) {
            feed(-e.Z < z ? o.plunge : o.feed);
            z = -e.Z;
            Add(s, "Draw3 %.17g %.17g %.17g\n", e.X, e.Y, z);
        } else if (e.Typ == kEleBogen && i + 1 < r.size()) {
            feed(o.feed);
            const ELE_EAW& a = r[++i];
            double end = a.X + a.Y;
            Add(s, "Kreis %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g 0\n", e.X, e.Y, a.Z, a.X,
                a.Y, e.X + a.Z * std::cos(end), e.Y + a.Z * std::sin(end), z);
        }
    }
    Add(s, "MoveZ %.17g\n", o.safe);
    if (o.speed > 0) s += "Spindea 0 0\n";
    return s;
}

// Refuses options that would give a program that breaks the tool: a safe height at or below
// the surface, a feed that does not move, a spindle turning backwards.
void CheckOptions(const Options& o) {
    auto refuse = [](const char* option, double value, const char* rule) {
        char text[200];
        std::snprintf(text, sizeof text, "%s %g: %s", option, value, rule);
        throw JobError(text);
    };
    if (!(o.safe > 0)) refuse("--safe-height", o.safe, "must be above the surface (more than 0)");
    if (!(o.feed > 0)) refuse("--feed", o.feed, "must be more than 0 mm/min");
    if (!(o.plunge > 0)) refuse("--plunge-feed", o.plunge, "must be more than 0 mm/min");
    if (o.speed < 0) refuse("--speed", o.speed, "must be 0 (no spindle words) or more");
}

int Run(const Options& o) {
    CheckOptions(o);
    NoteInput(o.input);
    CheckOutputFolder(OutputTarget(o.output));
    std::string bytes = ReadAll(o.input);
    WorkFolder work(o.output, "-approach");
    const std::string in = work.File("in.eaw"), out = work.File("out.eaw");

    // The approach deletes its input when it succeeds: it always works on a copy.
    if (LooksLikeText(bytes)) {
        // Read as a job is, with the progress bar of a long one.
        ContourSink contour(o.input, o.safe);
        JobInput job(o.input);
        ProgressBar progress;
        job.OnProgress([&](uint64_t done, uint64_t total) { progress.Update(done, total); });
        try {
            RunGcode(job, GcodeOptions{}, contour);
        } catch (...) {
            progress.Finish();
            throw;
        }
        progress.Finish();
        if (contour.records().empty()) throw JobError(o.input, 0, 0, "holds no cut (G1, G2, G3)");
        const auto& r = contour.records();
        bytes.assign(reinterpret_cast<const char*>(r.data()), r.size() * sizeof(ELE_EAW));
    }
    {
        std::ofstream f(in, std::ios::binary);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!f) throw JobError(o.output, 0, 0, "not written: the contour's copy cannot be written");
    }

    CAnfahrenKontur a;
    a.Rampenwinkel = o.angle * M_PI / 180;
    a.Sehnentoleranz = o.chord;
    a.Sicherheitshoehe = -o.safe;
    a.Starttiefe = o.start;
    a.Endtiefe = o.final;
    a.Punkttoleranz = o.points;
    // The computation writes its result as it goes, about as long as the contour: the bytes
    // written against the contour's drive the progress bar of a long one.
    struct Computing {
        ProgressBar bar;
        uint64_t total;
    } computing{ProgressBar(), bytes.size()};
    platform::WriteTally written;
    written.context = &computing;
    written.onWrite = [](const platform::WriteTally& t, void* context) {
        auto* c = static_cast<Computing*>(context);
        c->bar.Update(std::min(t.bytes, c->total), c->total);
    };
    platform::TallyWrites(&written);
    int32_t meldung = a.Anfahren_EAW_Kontur_Schraeg(in.c_str(), out.c_str());
    platform::TallyWrites(nullptr);
    computing.bar.Finish();
    // A write that failed on the way (a full disk) is what went wrong, whatever the approach
    // made of the file cut short.
    if (int error = platform::LastWriteError())
        throw JobError(o.output, 0, 0,
                       std::string("not written: ") + Lowered(std::strerror(error)));
    if (meldung != 0) {
        int32_t code = 0;
        char text[260];
        a.HoleAnfahrFehlerInfo(&code, text);
        std::string file = text == out ? o.output : o.input;
        std::string why = Explain(code, meldung);
        throw JobError(file, 0, 0,
                       "message " + std::to_string(meldung) + " (" + HostText(meldung) + ")" +
                           (why.empty() ? "" : ": " + why) + " [code " + std::to_string(code) +
                           "]");
    }

    std::string result = ReadAll(out);
    std::vector<ELE_EAW> records(result.size() / sizeof(ELE_EAW));
    std::memcpy(records.data(), result.data(), records.size() * sizeof(ELE_EAW));
    if (o.machine.empty()) {
        WriteWhole(o.output, result);
        std::fprintf(stderr, "korvat: %s approached: %zu records\n", o.input.c_str(),
                     records.size());
        std::printf("%s\n", o.output.c_str());
        return kExitOk;
    }

    // Through the machine's writer: the path as a call script, posted like any job.
    Machine machine = ResolveMachine(o.machine);
    const std::string calls = work.File("contour.calls");
    {
        std::ofstream f(calls, std::ios::binary);
        f << CallScript(records, o, machine.feedFactor);
        if (!f)
            throw JobError(o.output, 0, 0, "not written: the contour's calls cannot be written");
    }
    // The summary and the errors name the user's files: the contour's calls are korvat's own,
    // and a line of them would mean nothing to the user.
    JobOptions post{calls, o.machine, o.output, o.input};
    try {
        return PostJob(post, false);
    } catch (const JobError& e) {
        std::string text = e.what();
        if (text.compare(0, calls.size(), calls) == 0) {
            size_t colon = text.find(": ", calls.size());
            text = o.input + ": the approached path: " +
                   (colon == std::string::npos ? text : text.substr(colon + 2));
        }
        throw JobError(work.ForUser(text));
    }
}

std::function<int()> Setup(CLI::App& c) {
    auto o = std::make_shared<Options>();
    c.add_option("IN", o->input, "element file, or G-code program holding one contour")->required();
    c.add_option("OUT", o->output, "element file to write, or the program with --machine")
        ->required();
    c.add_option("-a,--angle", o->angle, "ramp angle against the horizontal, degrees")
        ->capture_default_str();
    c.add_option("--chord", o->chord, "largest deviation of arc chords from the arc, mm")
        ->capture_default_str();
    c.add_option("--safe-height", o->safe, "height above the workpiece for the entry, mm")
        ->capture_default_str();
    c.add_option("--start-depth", o->start, "depth where the ramp begins, mm")
        ->capture_default_str();
    c.add_option("-d,--final-depth", o->final, "cutting depth where the ramp ends, mm")
        ->capture_default_str();
    c.add_option("--point-tolerance", o->points, "points this close count as one, mm")
        ->capture_default_str();
    c.add_option("-m,--machine", o->machine,
                 "write a program for this machine profile instead of an element file");
    c.add_option("--feed", o->feed, "cutting feed of the program, mm/min")->capture_default_str();
    c.add_option("--plunge-feed", o->plunge, "plunge feed of the program, mm/min")
        ->capture_default_str();
    c.add_option("--speed", o->speed, "spindle speed of the program, rpm (0: none)")
        ->capture_default_str();
    c.footer(
        "Depths grow into the material. A G-code contour starts with a rapid move to its first\n"
        "point; its Z moves and feeds are left out.\n"
        "Example:\n"
        "  korvat approach pocket.ngc pocket.eaw --angle 5 --final-depth 2\n"
        "  korvat approach pocket.ngc pocket.nc --final-depth 2 --machine iso\n"
        "  korvat dump pocket.eaw");
    return [o] { return Run(*o); };
}

}  // namespace

extern const Verb kApproach = {"approach", "add a ramped entry to a contour", Setup};

}  // namespace korvat::tool
