// korvat digitize: traces a drawing with a digitizer tablet. Points and buttons come from the
// tablet through the library's tablet readers (CDIGITA); the buttons add points and shape them
// into contours, which are saved as a DXF drawing, a G-code contour program or a CSV list.
//
// Buttons (the readers' key codes; model 1 characters / model 2 button bits):
//   100  "0" / 1    add the point where the button was pressed
//   1243 "1" / 2    close the contour (back to its first point) and start a new one
//   1245 "2","3"/8  end the contour open and start a new one
//   1504 "4" / 4    undo: remove the last point (or the last close or new contour)
//   1241 "8" / 16   end the session (--end-key chooses another code)
//   101  - / 0      the cursor without a button: shown, nothing else
//   1248, 1249      "6", "5": no action
// A model-1 tablet sends the button first and the point after it, so a button waits for the
// next point; a model-2 report brings both.
//
// The library delivers tablet units; mm = units * --scale + --offset. Escape or Ctrl-C also ends
// the session. Whatever ends it, the points read so far are saved; a line that fails (port,
// hang-up, a report cut off, the operator's stop) is reported in one line and exits 1.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "channel/cx268io.h"
#include "channel/serleitung.h"
#include "digitizer/cdigita.h"
#include "platform/dialogs.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/output.h"
#include "tools/korvat/program.h"
#include "tools/korvat/verbs/verb.h"
#include "tools/raw_keys.h"
#include "writers/dxf/cdxf_text.h"

namespace korvat::tool {
namespace {

struct Options {
    std::string port;
    int model = 0;
    std::vector<std::string> outputs;
    double scale = 1.0;                // mm per tablet unit
    std::vector<double> offset{0, 0};  // mm, added after scaling
    int endKey = kDigiTaste8;
    double idle = -1;  // seconds without a report that end the session; <0: default
    double depth = 1, safe = 5, feed = 600, plunge = 300;
};

// Button: a model-1 "add" button whose point comes in the next report.
enum class Action { None, Cursor, Button, Add, Close, New, Undo, End };

Action ActionOf(int key, int endKey) {
    if (key == endKey) return Action::End;
    switch (key) {
        case kDigiPunkt:
            return Action::Add;
        case kDigiOhneTaste:
            return Action::Cursor;
        case kDigiTaste1:
            return Action::Close;
        case kDigiTaste2:
            return Action::New;
        case kDigiTaste4:
            return Action::Undo;
        default:
            return Action::None;
    }
}

const char* Name(Action a) {
    switch (a) {
        case Action::Cursor:
            return "cursor";
        case Action::Button:
            return "button";
        case Action::Add:
            return "add";
        case Action::Close:
            return "close";
        case Action::New:
            return "new";
        case Action::Undo:
            return "undo";
        case Action::End:
            return "end";
        default:
            return "none";
    }
}

struct Point {
    double x, y;  // mm
};
struct Contour {
    std::vector<Point> points;
    bool closed = false;
};

// The raw record of the session, one entry per report or key.
struct Event {
    int key;
    Action action;
    bool hasPoint;
    double tx, ty;  // tablet units
    double x, y;    // mm
};

// The contours being traced; the last one is the current, open contour.
class Drawing {
  public:
    Drawing() : contours_(1) {}
    const std::vector<Contour>& contours() const { return contours_; }
    size_t PointCount() const {
        size_t n = 0;
        for (const Contour& c : contours_) n += c.points.size();
        return n;
    }

    // Applies one action and says in a few words what happened (for the terminal).
    std::string Apply(Action a, const Point& p) {
        Contour& c = contours_.back();
        const std::string which = "contour " + std::to_string(contours_.size());
        std::string what;
        switch (a) {
            case Action::Add:
                c.points.push_back(p);
                return which + ", point " + std::to_string(c.points.size());
            case Action::Close:
                if (c.points.size() < 2) return "nothing to close: " + which + " has no line";
                c.closed = true;
                what = which + " closed with " + std::to_string(c.points.size()) + " points";
                contours_.emplace_back();  // c is not valid beyond this
                return what;
            case Action::New:
                if (c.points.empty()) return which + " is still empty";
                what = which + " ended open with " + std::to_string(c.points.size()) + " points";
                contours_.emplace_back();  // c is not valid beyond this
                return what;
            case Action::Undo:
                if (!c.points.empty()) {
                    c.points.pop_back();
                    return which + ": last point removed";
                }
                if (contours_.size() == 1) return "nothing to undo";
                contours_.pop_back();
                if (contours_.back().closed) {
                    contours_.back().closed = false;
                    return "contour " + std::to_string(contours_.size()) + " open again";
                }
                return "back in contour " + std::to_string(contours_.size());
            default:
                return "";
        }
    }

  private:
    std::vector<Contour> contours_;
};

// Contours with a line in them, which the drawing and the program take.
std::vector<const Contour*> Lines(const Drawing& d) {
    std::vector<const Contour*> out;
    for (const Contour& c : d.contours())
        if (c.points.size() >= 2) out.push_back(&c);
    return out;
}

// "1 point", "2 points".
std::string Count(size_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::string Format(const char* fmt, double a, double b) {
    char text[128];
    std::snprintf(text, sizeof text, fmt, a, b);
    return text;
}

// ---------------------------------------------------------------------------------------------
// Outputs

bool EndsWith(const std::string& s, const char* end) {
    size_t n = std::strlen(end);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != end[i]) return false;
    return true;
}

std::string Csv(const std::vector<Event>& events) {
    std::string s = "key,action,tablet_x,tablet_y,x_mm,y_mm\r\n";
    char line[256];
    for (const Event& e : events) {
        if (e.hasPoint) {
            std::snprintf(line, sizeof line, "%d,%s,%.17g,%.17g,%.4f,%.4f\r\n", e.key,
                          Name(e.action), e.tx, e.ty, e.x, e.y);
        } else {
            std::snprintf(line, sizeof line, "%d,%s,,,,\r\n", e.key, Name(e.action));
        }
        s += line;
    }
    return s;
}

std::string Gcode(const Drawing& d, const Options& o) {
    std::string s;
    char line[256];
    auto add = [&](const char* fmt, auto... v) {
        std::snprintf(line, sizeof line, fmt, v...);
        s += line;
    };
    const auto contours = Lines(d);
    add("(korvat digitize: %s)\n", Count(contours.size(), "contour").c_str());
    add("G21 G90 G17\n");
    add("G0 Z%.4f\n", o.safe);
    size_t n = 0;
    for (const Contour* c : contours) {
        add("(contour %zu, %s, %zu points)\n", ++n, c->closed ? "closed" : "open",
            c->points.size());
        add("G0 X%.4f Y%.4f\n", c->points[0].x, c->points[0].y);
        add("G1 Z%.4f F%.4g\n", -o.depth, o.plunge);
        for (size_t i = 1; i < c->points.size(); ++i) {
            add(i == 1 ? "G1 X%.4f Y%.4f" : "X%.4f Y%.4f", c->points[i].x, c->points[i].y);
            if (i == 1) add(" F%.4g", o.feed);
            s += "\n";
        }
        if (c->closed) add("X%.4f Y%.4f\n", c->points[0].x, c->points[0].y);
        add("G0 Z%.4f\n", o.safe);
    }
    add("M2\n");
    return s;
}

// Answers the writer's file-name dialog with its proposal and the line's "go on?" questions
// with No (a tablet that stops in the middle of a report or stops taking requests has failed:
// the session ends and what was read is saved); other boxes go to the program's handler.
class SessionDialogs : public platform::DialogRelay {
  public:
    using DialogRelay::DialogRelay;
    int MessageBox(HWND owner, const char* text, const char* caption, unsigned style) override {
        if ((style & 0xF) == MB_YESNO) return IDNO;
        return DialogRelay::MessageBox(owner, text, caption, style);
    }
    int TextInput(HWND, const char*, const char*, char*, int) override { return 1; }
};

// The drawing through CDXF_TEXT: its header sized to the points, one POLYLINE (closed or open)
// per contour, its tail. Written in a work folder beside the output and published whole.
void WriteDxf(const Drawing& d, const std::string& path) {
    WorkFolder work(path, "-dxf");
    const std::string folder = work.path(), file = work.File("drawing.dxf");

    MaschEinstellung settings{};
    std::snprintf(settings.Dateiendung, sizeof settings.Dateiendung, "dxf");
    char base[CDXF_TEXT::kPfadLaenge];
    if (std::snprintf(base, sizeof base, "%s/drawing", work.Short().c_str()) >=
        static_cast<int>(sizeof base))
        throw JobError(path, 0, 0, "the path is too long for the DXF writer");
    CDXF_TEXT w{};
    int openedBefore = 0;
    w.SetzeSpezial(0, nullptr);
    if (w.Open(0, &settings, base, &openedBefore, 0, nullptr) != 0)
        throw JobError(path, 0, 0, "cannot be written (" + std::string(cx268io.Fehlertext1) + ")");
    // The view: from the origin to the farthest point, at least 10 mm each way.
    double width = 10, height = 10;
    for (const Contour& c : d.contours())
        for (const Point& p : c.points) {
            width = std::max(width, std::fabs(p.x));
            height = std::max(height, std::fabs(p.y));
        }
    w.Start(static_cast<float>(width), static_cast<float>(height));
    char text[256];
    for (const Contour* c : Lines(d)) {
        std::snprintf(text, sizeof text,
                      "  0\r\nPOLYLINE\r\n  8\r\n%d\r\n 66\r\n1\r\n 10\r\n0.0\r\n 20\r\n0.0\r\n"
                      " 30\r\n0.0\r\n 70\r\n%d\r\n",
                      static_cast<int>(w.Layer), c->closed ? 1 : 0);
        w.SStringln(text);
        for (const Point& p : c->points) {
            std::snprintf(text, sizeof text,
                          "  0\r\nVERTEX\r\n  8\r\n%d\r\n 10\r\n%1.4f\r\n 20\r\n%1.4f\r\n"
                          " 30\r\n0.0\r\n",
                          static_cast<int>(w.Layer), p.x, p.y);
            w.SStringln(text);
        }
        std::snprintf(text, sizeof text, "  0\r\nSEQEND\r\n  8\r\n%d\r\n",
                      static_cast<int>(w.Layer));
        w.SStringln(text);
    }
    w.Close(1, 1);
    if (cx268io.Fehlerflag)
        throw JobError(path, 0, 0, "cannot be written (" + std::string(cx268io.Fehlertext1) + ")");
    Publish(file, path);
}

void Save(const Drawing& d, const std::vector<Event>& events, const Options& o) {
    for (const std::string& out : o.outputs) {
        if (EndsWith(out, ".dxf"))
            WriteDxf(d, out);
        else if (EndsWith(out, ".ngc"))
            WriteWhole(out, Gcode(d, o));
        else
            WriteWhole(out, Csv(events));
        std::printf("%s\n", out.c_str());
    }
}

// ---------------------------------------------------------------------------------------------
// The session

std::atomic<int> stopSignal{0};
extern "C" void OnSignal(int s) { stopSignal = s; }

// True when Escape or Ctrl-C was typed on the terminal.
bool StopTyped(const RawKeys& keys) {
    if (!keys.terminal()) return false;
    for (int c = keys.Next(); c >= 0; c = keys.Next())
        if (c == 27 || c == 3) return true;
    return false;
}

// The line noticed that its far end is gone (the line records it as error 1022).
bool HungUp() { return serleitung.Port.HungUp(); }

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What stopped the line, in one phrase.
std::string LineFault(const Options& o) {
    if (HungUp()) return "the tablet hung up";
    switch (serleitung.Fehlernummer) {
        case 1018:
            return "the tablet stopped in the middle of a report (no line end within " +
                   Format("%g", serleitung.Lesezeit / 1000.0, 0) + " s)";
        case 1019:
            return "the tablet takes no more requests";
        case 1017:
            return "the tablet sent a report longer than 99 characters";
        default:
            if (serleitung.Tastenabbruch) return "stopped with Escape";
            return "line fault " + std::to_string(serleitung.Fehlernummer) + " on " + o.port;
    }
}

int Run(const Options& o) {
    for (const std::string& out : o.outputs) CheckOutputFolder(out);
    // The library opens tablets by port number; the port is the path given.
    setenv("KORVAT_COM1", o.port.c_str(), 1);
    platform::DialogHandler& previous = platform::Dialogs();
    SessionDialogs dialogs(previous);
    platform::SetDialogHandler(&dialogs);
    struct Restore {
        platform::DialogHandler& previous;
        ~Restore() { platform::SetDialogHandler(&previous); }
    } restore{previous};

    CDIGITA tablet;
    DIGI_STRUCT ds{};
    ds.Schnittstelle = 1;
    tablet.Open(static_cast<short>(o.model), &ds);
    if (serleitung.Fehlerflag) {
        const bool busy = serleitung.Fehlernummer == 1023;
        tablet.Close();
        throw JobError(o.port, 0, 0,
                       busy ? "is busy: another program has it open (error 1023)"
                            : "cannot be opened as the tablet's line");
    }

    stopSignal = 0;
    auto oldInt = std::signal(SIGINT, OnSignal);
    auto oldTerm = std::signal(SIGTERM, OnSignal);
    auto oldHup = std::signal(SIGHUP, OnSignal);
    RawKeys keyboard;
    keyboard.Start();
    const bool show = isatty(STDERR_FILENO);
    const double idle = o.idle >= 0 ? o.idle : keyboard.terminal() ? 0 : 120;
    if (show)
        std::fprintf(stderr, "korvat: tablet model %d on %s; key %d or Escape ends\n", o.model,
                     o.port.c_str(), o.endKey);

    Drawing drawing;
    std::vector<Event> events;
    std::string failure;
    bool pendingAdd = false;  // model 1: "add" waits for the point that follows its button
    int32_t unreadable = digis.Unlesbar + digis2.Unlesbar;
    double last = Seconds();
    auto toMm = [&](const RPOINT& p) {
        return Point{p.X * o.scale + o.offset[0], p.Y * o.scale + o.offset[1]};
    };
    for (;;) {
        if (stopSignal == SIGINT || StopTyped(keyboard)) break;
        if (stopSignal) {
            failure = std::string("stopped by signal ") + std::to_string(stopSignal.load());
            break;
        }
        short key = -1;
        RPOINT pt{};
        short got = tablet.FrageKoordinate(&key, &pt);
        if (digis.Unlesbar + digis2.Unlesbar != unreadable) {
            unreadable = digis.Unlesbar + digis2.Unlesbar;
            const char* line = o.model == 1 ? digis.UnleserlicheZeile : digis2.UnleserlicheZeile;
            std::fprintf(stderr, "korvat: %s: unreadable report \"%s\" ignored\n", o.port.c_str(),
                         line);
        }
        if (serleitung.Fehlerflag) {
            failure = LineFault(o);
            break;
        }
        if (!got && key == -1) {
            if (HungUp()) {
                failure = "the tablet hung up";
                break;
            }
            if (idle > 0 && Seconds() - last > idle) {
                failure = "no report from the tablet for " + Format("%g", idle, 0) + " s";
                break;
            }
            continue;
        }
        last = Seconds();
        Event e{key, Action::None, got != 0, pt.X, pt.Y, 0, 0};
        Point p = toMm(pt);
        e.x = p.x;
        e.y = p.y;
        if (got && key == -1) {
            // A model-1 point: the position of the button that came before it.
            e.action = pendingAdd ? Action::Add : Action::Cursor;
            pendingAdd = false;
        } else {
            e.action = ActionOf(key, o.endKey);
            pendingAdd = false;
            if (e.action == Action::Add && !got) {
                pendingAdd = true;  // its point follows
                e.action = Action::Button;
            }
        }
        events.push_back(e);
        std::string what = drawing.Apply(e.action, p);
        if (show && e.action != Action::Cursor) {
            std::string where = got ? Format("  X %.3f  Y %.3f mm", p.x, p.y) : "";
            std::fprintf(stderr, "key %5d %-6s%s%s%s\n", key, Name(e.action), where.c_str(),
                         what.empty() ? "" : "  ", what.c_str());
        }
        if (e.action == Action::End) break;
    }
    tablet.Close();
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    std::signal(SIGHUP, oldHup);

    Save(drawing, events, o);
    const size_t contours = Lines(drawing).size();
    const std::string summary =
        Count(drawing.PointCount(), "point") + " in " + Count(contours, "contour");
    if (!failure.empty()) throw JobError(o.port, 0, 0, failure + "; " + summary + " saved");
    std::fprintf(stderr, "korvat: %s\n", summary.c_str());
    return kExitOk;
}

std::function<int()> Setup(CLI::App& c) {
    auto o = std::make_shared<Options>();
    c.add_option("-p,--port", o->port, "the tablet's serial port (a device path)")->required();
    c.add_option("-m,--model", o->model, "tablet model: 1 (button characters and @ lines) or 2")
        ->required()
        ->check(CLI::IsMember({1, 2}));
    c.add_option("-o,--output", o->outputs,
                 "file to save, by its extension: .dxf drawing, .ngc G-code contours, .csv "
                 "every report; may be given more than once")
        ->required()
        ->check([](const std::string& s) {
            return EndsWith(s, ".dxf") || EndsWith(s, ".ngc") || EndsWith(s, ".csv")
                       ? std::string()
                       : "the output must end in .dxf, .ngc or .csv: " + s;
        });
    c.add_option("--scale", o->scale, "millimetres per tablet unit")->capture_default_str();
    c.add_option("--offset", o->offset, "X and Y in mm added after scaling")
        ->expected(2)
        ->capture_default_str();
    c.add_option("--end-key", o->endKey, "the key code that ends the session")
        ->capture_default_str();
    c.add_option("--idle", o->idle,
                 "end with an error after this many seconds without a report (default: none "
                 "on a terminal, else 120; 0: none)");
    c.add_option("-d,--depth", o->depth, "cutting depth of the G-code contours, mm")
        ->capture_default_str();
    c.add_option("--safe-height", o->safe, "rapid height of the G-code contours, mm")
        ->capture_default_str();
    c.add_option("--feed", o->feed, "cutting feed of the G-code contours, mm/min")
        ->capture_default_str();
    c.add_option("--plunge-feed", o->plunge, "plunge feed of the G-code contours, mm/min")
        ->capture_default_str();
    c.footer(
        "Buttons: 0 (bit 1) add a point, 1 (bit 2) close the contour, 2/3 (bit 8) end it open,\n"
        "4 (bit 4) undo, 8 (bit 16) end; Escape or Ctrl-C also end. Points are saved whatever\n"
        "ends the session.\n"
        "Example:\n"
        "  korvat digitize --port /dev/ttyUSB0 --model 2 --scale 0.01 -o part.dxf -o part.ngc");
    return [o] { return Run(*o); };
}

}  // namespace

extern const Verb kDigitize = {"digitize", "trace contours with a digitizer tablet", Setup};

}  // namespace korvat::tool
