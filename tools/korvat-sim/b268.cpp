// A B268 controller as seen from the machine's side of the line.
//
// What it understands:
//   ESC + two letters      a query, answered with one line that echoes the letters:
//                          "OS" status letters, "OB" free buffer, "Or" reference state,
//                          "Op"/"Oo"/"On" a mask character (0x30 + bits X 1, Y 2, Z 4, A 8)
//                          and the positions, "OE" nothing more;
//   ESC "O*" ... CR LF     block control (S start, H hold, A abort, N, P direct positioning),
//                          answered with "O*";
//   byte 4 (any number), then "G<letter> ..." and one more line, byte 3, an empty line and
//                          "!V--": the start-up header; a cold controller then references for a
//                          while (status B), takes CR "OX " as a query of its axis constant and
//                          expects a third of it and a line of five bytes and a number back;
//   bytes 14 and 15        open and close a command block; 16 a sign separator;
//   any other line         a command; motion commands are buffered and carried out at the
//                          feed given by "V" (metres a minute) or the rapid speed.
//
// The free buffer counts the bytes of commands not yet carried out. Status letter 'b' asks the
// host to wait while less than `wait` bytes are free; a command that arrives with less room
// than it needs is an overrun, which is counted and reported.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "tools/korvat-sim/sim.h"

namespace korvat::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Reads up to n numbers from text; returns how many were read.
int Numbers(const char* text, double* out, int n) {
    int count = 0;
    const char* p = text;
    while (count < n) {
        char* end = nullptr;
        double v = std::strtod(p, &end);
        if (end == p) break;
        out[count++] = v;
        p = end;
    }
    return count;
}

struct Motion {
    enum Kind { Rapid, Feed, Arc, Rotary, Dwell, Tool, Probe, Other } kind;
    double x = 0, y = 0, z = 0;  // target (Arc: centre in x, y; Rotary: angle in x)
    double sweep = 0;            // Arc: degrees, positive counter-clockwise
    double seconds = 0;          // Dwell, Tool
    int bytes = 0;               // buffer space the command takes
    double remainingMs = -1;     // machine time still to go; -1 before it starts
};

class B268Sim : public Simulator {
  public:
    B268Sim(Link& link, const Options& options) : link_(link) {
        for (const auto& [name, value] : options.settings) {
            double v = std::atof(value.c_str());
            if (name == "buffer")
                capacity_ = static_cast<long>(v);
            else if (name == "wait")
                waitBelow_ = static_cast<long>(v);
            else if (name == "rapid")
                rapid_ = v;
            else if (name == "cold")
                cold_ = v != 0;
            else if (name == "reference")
                referenceMs_ = v;
            else
                link_.Problem("unknown setting " + name +
                              " (b268 knows buffer, wait, rapid, "
                              "cold, reference)");
        }
        last_ = link_.MachineMs();
    }

    void Receive(unsigned char b) override {
        switch (state_) {
            case Esc1:
                esc_[0] = static_cast<char>(b);
                state_ = Esc2;
                return;
            case Esc2:
                esc_[1] = static_cast<char>(b);
                if (esc_[0] == 'O' && esc_[1] == '*') {
                    state_ = EscLine;
                    line_ = "O*";
                } else {
                    state_ = Text;
                    Query();
                }
                return;
            case EscLine:
                if (b == '\n') {
                    state_ = Text;
                    BlockControl();
                    line_.clear();
                } else if (b != '\r') {
                    Append(b);
                }
                return;
            case Text:
                break;
        }
        switch (b) {
            case 27:
                state_ = Esc1;
                return;
            case 4:
                ++wakeBytes_;
                line_.clear();
                return;
            case 3:
                return;  // ends the start-up header
            case 14:
                ++blocksOpened_;
                return;
            case 15:
                ++blocksClosed_;
                sinceClose_ = 0;
                return;
            case 16:
                ++separators_;
                return;
            case '\r':
                return;
            case '\n':
                Line();
                line_.clear();
                return;
            default:
                Append(b);
                if (line_ == "OX ") {
                    // The axis constant query of a cold start: answered at once, no line end
                    // needed.
                    link_.Send("OX 1500.000\r\n");
                    expect_ = OxValue;
                    line_.clear();
                }
        }
    }

    void Advance() override {
        double now = link_.MachineMs();
        double budget = now - last_;
        last_ = now;
        if (referencing_) {
            if (link_.FaultDue("busy") || now < referenceEnd_) return;
            referencing_ = false;
        }
        if (hold_) return;
        while (budget > 0 && !queue_.empty()) {
            Motion& m = queue_.front();
            if (m.remainingMs < 0) m.remainingMs = Duration(m);
            if (m.remainingMs > budget) {
                m.remainingMs -= budget;
                return;
            }
            budget -= m.remainingMs;
            Complete(m);
            queuedBytes_ -= m.bytes;
            queue_.pop_front();
        }
    }

    std::string Finish() override {
        char text[300];
        std::snprintf(text, sizeof text,
                      "%ld blocks, longest run without a block close %ld commands, buffer "
                      "overruns %ld, aborts %ld, %zu commands not carried out",
                      blocksClosed_, longestRun_, overruns_, aborts_, queue_.size());
        return text;
    }

  private:
    enum State { Text, Esc1, Esc2, EscLine };
    enum Expect { Command, Header2, OxValue, OxBytes };

    void Append(unsigned char b) {
        if (line_.size() < 400)
            line_.push_back(static_cast<char>(b));
        else if (line_.size() == 400)
            link_.Problem("a line longer than 400 characters");
    }

    long Free() const { return capacity_ - queuedBytes_; }
    bool Busy() const { return referencing_ || !queue_.empty(); }

    void Query() {
        std::string q(esc_, 2);
        char reply[200];
        if (q == "OS") {
            std::string letters;
            if (link_.FaultDue("A")) letters += 'A';
            if (link_.FaultDue("C") || (cold_ && !setUp_)) letters += 'C';
            letters += Busy() ? 'B' : '0';
            if (hold_) letters += 'h';
            if (Free() < waitBelow_) letters += 'b';
            if (positionPending_) letters += 'N';
            std::snprintf(reply, sizeof reply, "OS%s\r\n", letters.c_str());
        } else if (q == "OB") {
            std::snprintf(reply, sizeof reply, "OB%ld\r\n", Free());
        } else if (q == "Or") {
            // Stuck busy (fault "busy"): the axes stand still, the controller never gets ready.
            bool moving = referencing_ && !link_.FaultDue("busy");
            std::snprintf(reply, sizeof reply, "Or%c\r\n", hold_ ? 'H' : moving ? '-' : '@');
        } else if (q == "Op") {
            std::snprintf(reply, sizeof reply, "Op%c %.3f %.3f %.3f\r\n", '0' + 7, x_, y_, z_);
        } else if (q == "Oo") {
            std::snprintf(reply, sizeof reply, "Oo%c %.3f %.3f %.3f %.3f\r\n", '0' + 15, x_, y_, z_,
                          a_);
        } else if (q == "On") {
            // The measured point, Z counted positive downwards as the controller keeps it.
            std::snprintf(reply, sizeof reply, "On%c %.3f %.3f %.3f\r\n", '0' + 7, probe_[0],
                          probe_[1], -probe_[2]);
            positionPending_ = false;
        } else if (q == "OE") {
            std::snprintf(reply, sizeof reply, "OE\r\n");
            if (cold_ && !setUp_) {
                referencing_ = true;
                referenceEnd_ = link_.MachineMs() + referenceMs_;
            }
        } else {
            link_.Problem("unknown query ESC " + q);
            return;
        }
        link_.Send(reply);
    }

    void BlockControl() {
        const char* what = line_.c_str() + 2;
        if (std::strcmp(what, "S") == 0) {
            hold_ = false;
        } else if (std::strcmp(what, "H") == 0) {
            hold_ = true;
        } else if (std::strcmp(what, "A") == 0) {
            ++aborts_;
            queue_.clear();
            queuedBytes_ = 0;
        } else if (std::strcmp(what, "N") == 0) {
        } else if (what[0] == 'P' && what[1] == ' ') {
            double v[4];
            if (Numbers(what + 2, v, 4) != 4) {
                link_.Problem("O*P without four numbers: " + line_);
            } else {
                Motion m{Motion::Rapid};
                m.x = v[0] / resolution_[0];
                m.y = v[1] / resolution_[1];
                m.z = -v[2] / resolution_[2];
                Queue(m, 0);
            }
        } else {
            link_.Problem("unknown block control " + line_);
        }
        link_.Send("O*\r\n");
    }

    void Line() {
        link_.Command();
        if (expect_ == OxValue) {
            double v;
            if (Numbers(line_.c_str(), &v, 1) != 1 || std::fabs(v - 500.0) > 0.0005)
                link_.Problem("expected a third of the axis constant (500.000), got " + line_);
            expect_ = OxBytes;
            return;
        }
        if (expect_ == OxBytes) {
            expect_ = Command;
            setUp_ = true;
            return;
        }
        double v[8];
        size_t start = line_.find_first_not_of(' ');
        if (start == std::string::npos) return;  // the empty line after the header
        std::string text = line_.substr(start);
        std::string word = text.substr(0, text.find(' '));
        const char* args = text.c_str() + word.size();
        int n = Numbers(args, v, 8);
        int bytes = static_cast<int>(line_.size()) + 2;
        Motion m{Motion::Other};
        if (expect_ == Header2) {
            expect_ = Command;
            return;
        }
        if (wakeBytes_ > 0 && line_[0] == 'G' && line_.size() >= 2) {
            // First header line: "G<letter>" and four numbers, the first three the resolutions.
            if (Numbers(line_.c_str() + 2, v, 4) >= 3)
                for (int i = 0; i < 3; ++i) resolution_[i] = v[i] > 0 ? v[i] : 1000;
            wakeBytes_ = 0;
            expect_ = Header2;
            return;
        }
        bool buffered = false;
        if (word == "ZE" && n == 3) {
            m = Motion{Motion::Rapid, v[0], v[1], v[2]};
            buffered = true;
        } else if (word == "D" && n == 2) {
            m = Motion{Motion::Feed, v[0], v[1], NAN};
            buffered = true;
        } else if (word == "Z" && n == 3) {
            m = Motion{Motion::Feed, v[0], v[1], v[2]};
            buffered = true;
        } else if (word == "MZ" && n == 1) {
            m = Motion{Motion::Rapid, NAN, NAN, v[0]};
            buffered = true;
        } else if (word == "AM" && n == 4) {
            m = Motion{Motion::Arc, v[0], v[1], NAN};
            m.sweep = v[2];
            buffered = true;
        } else if (word == "ZS" && n == 1) {
            m = Motion{Motion::Rotary, v[0]};
            buffered = true;
        } else if (word == "FW" && n == 1) {
            m = Motion{Motion::Dwell};
            m.seconds = v[0];
            buffered = true;
        } else if ((word == "WZ" || word == "WZA" || word == "WZT" || word == "WZTA") && n >= 1) {
            m = Motion{Motion::Tool};
            m.seconds = 2.0;
            buffered = true;
        } else if (word == "LW" && n == 3) {
            m = Motion{Motion::Probe};
            buffered = true;
        } else if (word == "V" && (n == 1 || n == 3 || n == 5)) {
            if (n == 1 || n == 5) feedXY_ = v[0];
            if (n == 5) feedZ_ = v[1];
            if (n == 3) {
                feedXY_ = v[0];
                feedZ_ = v[1];
            }
        } else if (word == "KD" && n == 6) {
            for (int i = 0; i < 3; ++i) resolution_[i] = v[i] > 0 ? v[i] : 1000;
        } else if (word == "AB" || word == "STOP" || word == "FKSE" || word == "FKSA" ||
                   word == "FD" || word.rfind("FK", 0) == 0 || word == "GT" || word == "KM" ||
                   word == "WZB" || word == "KOB" || word == "KYB" || word.rfind("KYA", 0) == 0 ||
                   word == "KOF" || word == "KOM" || word == "KOW" || word == "KOZ" ||
                   word.rfind("KT", 0) == 0 || word == "VJ" || word == "!V--") {
            // Understood; nothing this simulator models.
        } else {
            link_.Problem("unknown command: " + text);
        }
        if (buffered) {
            if (++sinceClose_ > longestRun_) longestRun_ = sinceClose_;
            Queue(m, bytes);
        }
    }

    void Queue(Motion m, int bytes) {
        if (bytes > Free()) {
            ++overruns_;
            link_.Problem("buffer overrun: " + std::to_string(bytes) + " bytes with " +
                          std::to_string(Free()) + " free");
        }
        m.bytes = bytes;
        queuedBytes_ += bytes;
        queue_.push_back(m);
    }

    // Machine milliseconds the command takes.
    double Duration(const Motion& m) const {
        auto at = [](double target, double now) { return std::isnan(target) ? now : target; };
        double mmPerMs;
        switch (m.kind) {
            case Motion::Rapid:
                mmPerMs = rapid_ / 60.0;
                break;
            case Motion::Feed:
            case Motion::Arc:
                mmPerMs = (feedXY_ > 0 ? feedXY_ : 1.0) / 60.0;
                break;
            case Motion::Dwell:
            case Motion::Tool:
                return m.seconds * 1000.0;
            default:
                return 0;
        }
        double length;
        if (m.kind == Motion::Arc) {
            double r = std::hypot(x_ - m.x, y_ - m.y);
            length = std::fabs(m.sweep) * kPi / 180.0 * r;
        } else {
            length = std::sqrt(std::pow(at(m.x, x_) - x_, 2) + std::pow(at(m.y, y_) - y_, 2) +
                               std::pow(at(m.z, z_) - z_, 2));
        }
        return length / mmPerMs;
    }

    void Complete(const Motion& m) {
        switch (m.kind) {
            case Motion::Rapid:
            case Motion::Feed:
                if (!std::isnan(m.x)) x_ = m.x;
                if (!std::isnan(m.y)) y_ = m.y;
                if (!std::isnan(m.z)) z_ = m.z;
                link_.Move(m.kind == Motion::Rapid ? "rapid" : "feed", x_, y_, z_);
                break;
            case Motion::Arc: {
                double angle = m.sweep * kPi / 180.0;
                double dx = x_ - m.x, dy = y_ - m.y;
                x_ = m.x + dx * std::cos(angle) - dy * std::sin(angle);
                y_ = m.y + dx * std::sin(angle) + dy * std::cos(angle);
                link_.Arc(x_, y_, z_, m.x, m.y, m.sweep >= 0 ? 1 : -1);
                break;
            }
            case Motion::Rotary:
                a_ = m.x;
                link_.Move("rotary", a_, 0, 0);
                break;
            case Motion::Probe:
                probe_[0] = x_;
                probe_[1] = y_;
                probe_[2] = z_;
                positionPending_ = true;
                break;
            default:
                break;
        }
    }

    Link& link_;
    // Settings.
    long capacity_ = 16000;
    long waitBelow_ = 4000;
    double rapid_ = 10.0;  // m/min
    bool cold_ = true;
    double referenceMs_ = 300;
    // Line parsing.
    State state_ = Text;
    char esc_[2] = {0, 0};
    std::string line_;
    Expect expect_ = Command;
    long wakeBytes_ = 0;
    // Machine.
    bool setUp_ = false;
    bool referencing_ = false;
    double referenceEnd_ = 0;
    bool hold_ = false;
    bool positionPending_ = false;
    double resolution_[3] = {1000, 1000, 1000};
    double feedXY_ = 0, feedZ_ = 0;
    double x_ = 0, y_ = 0, z_ = 0, a_ = 0;
    double probe_[3] = {0, 0, 0};
    std::deque<Motion> queue_;
    long queuedBytes_ = 0;
    double last_ = 0;
    // Counts for the summary.
    long blocksOpened_ = 0, blocksClosed_ = 0, separators_ = 0;
    long sinceClose_ = 0, longestRun_ = 0;
    long overruns_ = 0, aborts_ = 0;
};

}  // namespace

std::unique_ptr<Simulator> MakeB268(Link& link, const Options& options) {
    return std::make_unique<B268Sim>(link, options);
}

}  // namespace korvat::sim
