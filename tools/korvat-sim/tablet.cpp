// Digitizer tablets as seen from the tablet's side of the line: the operator's button presses
// and points, from a script file or typed on the keyboard, go out as the tablet's reports.
//
// tablet1 sends on its own: a button press is the button's character, then "@", the button
// again and a blank, the coordinates and CR LF ("0@0 1250 730\r\n"); a cursor move is the "@"
// line alone with "-" in place of the button. It reads nothing.
//
// tablet2 works on request. It expects the start-up ESC "M03" CR and three ESC "A" CR first,
// byte for byte. Then each ESC "G" CR asks for one report "+X:Y,bits" CR when the tablet has one
// (a press is the report with the button's bits, then one with bits 0 when it is let go; a
// cursor move has bits 0) and is answered with nothing otherwise. ESC "A" CR acknowledges a
// button report. Anything else is a protocol problem.
//
// Script lines (# starts a comment):
//   press BUTTON X Y    a button pressed and let go at X, Y (tablet units, sent as written);
//                       BUTTON is the character for tablet1 ("0" to "9"), the bits for tablet2
//   move X Y            the cursor moves without a button
//   wait MS             a pause before the next event
// Events go out --set interval=MS apart (default 100), once the host has set the line up and
// --set start=MS later (default 500). With --interactive the keyboard plays instead: the arrow
// keys (or h, j, k, l) move the cursor by --set step=UNITS, a digit presses that button (tablet2:
// "1" to "5" give bits 1, 2, 4, 8, 16), q ends.
//
// Faults (--fault WORD --fault-after N, counted in events played): "garbage" sends one line no
// reader can parse before the event; "cut" sends the event's line cut off in the middle and then
// nothing more. --hangup-after-commands N hangs up once N events are played.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "tools/korvat-sim/sim.h"
#include "tools/raw_keys.h"

namespace korvat::sim {

namespace {

struct Event {
    enum Kind { Press, Move, Wait } kind;
    std::string button;  // Press
    std::string x, y;    // as written in the script
    double ms = 0;       // Wait
};

bool IsNumber(const std::string& s) {
    if (s.empty()) return false;
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    return *end == '\0';
}

std::string Printable(const std::string& bytes) {
    std::string out;
    char hex[8];
    for (unsigned char c : bytes) {
        if (c == 27) {
            out += "<ESC>";
        } else if (c == 13) {
            out += "<CR>";
        } else if (c < 32 || c > 126) {
            std::snprintf(hex, sizeof hex, "<%02X>", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

class TabletSim : public Simulator {
  public:
    TabletSim(Link& link, const Options& o, int model) : link_(link), model_(model) {
        for (const auto& [name, value] : o.settings) {
            double v = std::atof(value.c_str());
            if (name == "interval")
                intervalMs_ = v;
            else if (name == "start")
                startMs_ = v;
            else if (name == "step")
                step_ = v;
            else
                link_.Problem("unknown setting " + name + " (tablets know interval, start, step)");
        }
        if (o.interactive) {
            interactive_ = true;
            keys_.Start();
            std::fprintf(stderr,
                         "korvat sim tablet%d: arrows or h/j/k/l move, digits press, q ends\n",
                         model_);
        } else if (!o.script.empty()) {
            Load(o.script);
        }
        // A sequence that must begin model 2's conversation, byte for byte.
        expectedStart_ = std::string("\x1bM03\r") +
                         "\x1b"
                         "A\r\x1b"
                         "A\r\x1b"
                         "A\r";
    }

    void Receive(unsigned char byte) override {
        if (model_ == 1) {
            link_.Problem("tablet1 reads nothing, yet received " +
                          Printable(std::string(1, static_cast<char>(byte))));
            return;
        }
        if (startBytes_.size() < expectedStart_.size()) {
            startBytes_ += static_cast<char>(byte);
            if (startBytes_.size() == expectedStart_.size() && startBytes_ != expectedStart_)
                link_.Problem("start-up bytes were " + Printable(startBytes_) + ", expected " +
                              Printable(expectedStart_));
        }
        if (!inSequence_) {
            if (byte == 27) {
                inSequence_ = true;
                sequence_.clear();
            } else {
                link_.Problem("byte outside an ESC sequence: " +
                              Printable(std::string(1, static_cast<char>(byte))));
            }
            return;
        }
        if (byte != 13) {
            sequence_ += static_cast<char>(byte);
            if (sequence_.size() > 8) {
                link_.Problem("ESC sequence without its CR: " + Printable(sequence_));
                inSequence_ = false;
            }
            return;
        }
        inSequence_ = false;
        Command(sequence_);
    }

    void Advance() override {
        const double now = link_.MachineMs();
        if (stopped_) return;
        if (!lineReady_) {
            if (!link_.LineSetUp()) return;
            lineReady_ = true;
            nextMs_ = now + startMs_;
        }
        if (interactive_) {
            Keyboard();
            return;
        }
        if (now < nextMs_) return;
        // The last event played has had its time: it counts toward the hang-up.
        if (playing_) {
            playing_ = false;
            link_.Command();
        }
        if (next_ >= script_.size()) return;
        const Event& e = script_[next_++];
        if (e.kind == Event::Wait) {
            nextMs_ = now + e.ms;
            return;
        }
        if (!garbageSent_ && link_.FaultDue("garbage")) {
            garbageSent_ = true;
            Line(model_ == 1 ? "@%$ x7 ##\r\n" : "+%$x7:##\r", false);
        }
        if (link_.FaultDue("cut")) {
            std::string line = model_ == 1 ? AtLine(e) : Report(e.x, e.y, e.button);
            Line(line.substr(0, line.size() / 2), false);
            stopped_ = true;
            return;
        }
        Play(e);
        playing_ = true;
        nextMs_ = now + intervalMs_;
    }

    std::string Finish() override {
        if (interactive_) std::fputs("\n", stderr);  // ends the cursor line
        char text[160];
        std::snprintf(text, sizeof text, "%d events played, %d lines sent, %d requests", played_,
                      lines_, requests_);
        return text;
    }

  private:
    void Load(const std::string& path) {
        std::ifstream in(path);
        if (!in) {
            link_.Problem(path + ": cannot read the script");
            return;
        }
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            size_t hash = line.find('#');
            if (hash != std::string::npos) line.erase(hash);
            std::vector<std::string> w;
            for (size_t i = 0; i < line.size();) {
                size_t j = line.find_first_not_of(" \t\r", i);
                if (j == std::string::npos) break;
                size_t k = line.find_first_of(" \t\r", j);
                if (k == std::string::npos) k = line.size();
                w.push_back(line.substr(j, k - j));
                i = k;
            }
            if (w.empty()) continue;
            Event e{};
            bool ok = false;
            if (w[0] == "press" && w.size() == 4 && IsNumber(w[2]) && IsNumber(w[3])) {
                e = {Event::Press, w[1], w[2], w[3], 0};
                ok = model_ == 1 ? w[1].size() == 1 : IsNumber(w[1]);
            } else if (w[0] == "move" && w.size() == 3 && IsNumber(w[1]) && IsNumber(w[2])) {
                e = {Event::Move, "", w[1], w[2], 0};
                ok = true;
            } else if (w[0] == "wait" && w.size() == 2 && IsNumber(w[1])) {
                e = {Event::Wait, "", "", "", std::atof(w[1].c_str())};
                ok = true;
            }
            if (!ok) {
                link_.Problem(path + ":" + std::to_string(number) +
                              ": expected \"press BUTTON X Y\", \"move X Y\" or \"wait MS\"");
                continue;
            }
            script_.push_back(e);
        }
    }

    static std::string AtLine(const Event& e) {
        return "@" + (e.kind == Event::Press ? e.button : std::string("-")) + " " + e.x + " " +
               e.y + "\r\n";
    }
    static std::string Report(const std::string& x, const std::string& y, const std::string& bits) {
        return "+" + x + ":" + y + "," + (bits.empty() ? "0" : bits) + "\r";
    }

    void Play(const Event& e) {
        ++played_;
        if (model_ == 1) {
            if (e.kind == Event::Press) Out(e.button);
            Out(AtLine(e));
            return;
        }
        if (e.kind == Event::Press) Line(Report(e.x, e.y, e.button), true);
        Line(Report(e.x, e.y, "0"), false);
    }

    // A line of the tablet: tablet1 sends it at once, tablet2 when it is asked for the next.
    void Line(const std::string& bytes, bool button) {
        if (model_ == 1)
            Out(bytes);
        else
            waiting_.push_back({bytes, button});
    }

    void Out(const std::string& bytes) {
        link_.Send(bytes);
        ++lines_;
    }

    void Command(const std::string& c) {
        if (c == "M03") {
            started_ = true;
            acknowledgements_ = 0;
        } else if (c == "A") {
            if (started_ && acknowledgements_ < 3) {
                ++acknowledgements_;
            } else if (unacknowledged_ > 0) {
                --unacknowledged_;
            } else {
                link_.Problem("ESC A CR without a button report to acknowledge");
            }
        } else if (c == "G") {
            ++requests_;
            if (!started_) {
                link_.Problem("ESC G CR before ESC M03 CR");
                return;
            }
            if (acknowledgements_ < 3) link_.Problem("ESC G CR before the three start-up ESC A CR");
            acknowledgements_ = 3;
            if (waiting_.empty()) return;
            Out(waiting_.front().report);
            if (waiting_.front().button) ++unacknowledged_;
            waiting_.pop_front();
        } else {
            link_.Problem("unknown ESC sequence " + Printable("\x1b" + c + "\r"));
        }
    }

    void Keyboard() {
        int k = keys_.Next();
        if (k < 0) return;
        if (k == 27 && keys_.Next() == '[') k = keys_.Next() + 256;
        char number[32];
        auto text = [&](double v) {
            std::snprintf(number, sizeof number, "%g", v);
            return std::string(number);
        };
        if (k == 'h' || k == 256 + 'D') cx_ -= step_;
        if (k == 'l' || k == 256 + 'C') cx_ += step_;
        if (k == 'k' || k == 256 + 'A') cy_ += step_;
        if (k == 'j' || k == 256 + 'B') cy_ -= step_;
        Event e{Event::Move, "", text(cx_), text(cy_), 0};
        if (k >= '0' && k <= '9') {
            e.kind = Event::Press;
            if (model_ == 1)
                e.button = std::string(1, static_cast<char>(k));
            else if (k >= '1' && k <= '5')
                e.button = std::to_string(1 << (k - '1'));
            else
                return;
        } else if (k == 'q') {
            stopped_ = true;
            return;
        }
        std::fprintf(stderr, "\rcursor %s %s%s   ", e.x.c_str(), e.y.c_str(),
                     e.kind == Event::Press ? (" button " + e.button).c_str() : "");
        Play(e);
    }

    struct Waiting {
        std::string report;
        bool button;
    };

    Link& link_;
    const int model_;
    double intervalMs_ = 100, startMs_ = 500, step_ = 10;
    std::vector<Event> script_;
    size_t next_ = 0;
    double nextMs_ = 0;
    bool lineReady_ = false, stopped_ = false, playing_ = false, garbageSent_ = false,
         interactive_ = false;
    RawKeys keys_;  // the keyboard of --interactive
    double cx_ = 0, cy_ = 0;
    // Model 2.
    std::string expectedStart_, startBytes_, sequence_;
    bool inSequence_ = false, started_ = false;
    int acknowledgements_ = 0, unacknowledged_ = 0;
    std::deque<Waiting> waiting_;
    int played_ = 0, lines_ = 0, requests_ = 0;
};

}  // namespace

std::unique_ptr<Simulator> MakeTablet1(Link& link, const Options& options) {
    return std::make_unique<TabletSim>(link, options, 1);
}
std::unique_ptr<Simulator> MakeTablet2(Link& link, const Options& options) {
    return std::make_unique<TabletSim>(link, options, 2);
}

}  // namespace korvat::sim
