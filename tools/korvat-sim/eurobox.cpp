// A EUROBOX controller as seen from the machine's side of the line.
//
// What it understands: statements of a letter and two integers ("U x,y;"), sent back to back;
// line ends and empty statements are passed over. It answers nothing.
//   U x,y   move with the tool up to (x, y)       D x,y   cut with the tool down to (x, y)
//   Z d,n   cutting depth d in Z steps             A h,n   the tool-up height h in Z steps
//   W, T, O, V, B, I: machine settings, taken; "I" also lifts the tool
//   XA x  YA y  ZA z  PA x,y  CX x  CY y: positionings and set positions of the host's lines
// X and Y steps are 0.0158 mm, Z steps 1/30 mm. The trace shows the tool-up moves as rapid
// moves at the tool-up height and the cuts as feed moves at minus the depth, with the plunge
// and the lift where the tool goes down and up.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/korvat-sim/sim.h"

namespace korvat::sim {

namespace {

constexpr double kMmXY = 0.0158;
constexpr double kMmZ = 1.0 / 30.0;

class EuroboxSim : public Simulator {
  public:
    EuroboxSim(Link& link, const Options& options) : link_(link) {
        for (const auto& setting : options.settings)
            link_.Problem("unknown setting " + setting.first + " (eurobox knows none)");
    }

    void Receive(unsigned char b) override {
        if (b == '\r' || b == '\n') return;
        if (b == ';') {
            Statement();
            statement_.clear();
            return;
        }
        if (statement_.size() < 200) statement_ += static_cast<char>(b);
    }

    std::string Finish() override {
        return std::to_string(statements_) + " statements, " + std::to_string(moves_) + " moves";
    }

  private:
    double X() const { return x_ * kMmXY; }
    double Y() const { return y_ * kMmXY; }
    void Trace(const char* kind, double z) {
        ++moves_;
        link_.Move(kind, X(), Y(), z);
    }
    void Lift() {
        if (!down_) return;
        down_ = false;
        Trace("rapid", up_ * kMmZ);
    }

    void Statement() {
        size_t a = statement_.find_first_not_of(" \t");
        if (a == std::string::npos) return;
        std::string s = statement_.substr(a);
        ++statements_;
        link_.Command();
        long v[2] = {0, 0};
        int n = 0;
        size_t letters = 0;
        while (letters < s.size() && std::isalpha(static_cast<unsigned char>(s[letters])))
            ++letters;
        std::string word = s.substr(0, letters);
        const char* p = s.c_str() + letters;
        while (n < 2 && *p) {
            while (*p == ' ' || *p == '\t' || *p == ',') ++p;
            char* end = nullptr;
            long value = std::strtol(p, &end, 10);
            if (end == p) break;
            v[n++] = value;
            p = end;
        }
        while (*p == ' ' || *p == '\t') ++p;
        if (*p || word.empty()) {
            link_.Problem("cannot read the statement \"" + s + "\"");
            return;
        }
        if (word == "U" && n == 2) {
            Lift();
            if (v[0] == x_ && v[1] == y_) return;
            x_ = v[0], y_ = v[1];
            Trace("rapid", up_ * kMmZ);
        } else if (word == "D" && n == 2) {
            if (!down_) {
                down_ = true;
                Trace("feed", -depth_ * kMmZ);  // the plunge where the tool stands
            }
            if (v[0] == x_ && v[1] == y_) return;
            x_ = v[0], y_ = v[1];
            Trace("feed", -depth_ * kMmZ);
        } else if (word == "Z" && n == 2) {
            depth_ = v[0];
        } else if (word == "A" && n == 2) {
            up_ = v[0];
        } else if (word == "I" && n == 1) {
            Lift();
        } else if ((word == "W" || word == "T" || word == "O" || word == "V" || word == "B") &&
                   n == 2) {
        } else if ((word == "XA" || word == "CX") && n == 1) {
            x_ = v[0];
        } else if ((word == "YA" || word == "CY") && n == 1) {
            y_ = v[0];
        } else if (word == "ZA" && n == 1) {
        } else if (word == "PA" && n == 2) {
            x_ = v[0], y_ = v[1];
        } else if (word == "CB" || word == "RS") {
        } else {
            link_.Problem("unknown statement \"" + s + "\"");
        }
    }

    Link& link_;
    long x_ = 0, y_ = 0;
    long depth_ = 0, up_ = 0;
    bool down_ = false;
    std::string statement_;
    long statements_ = 0, moves_ = 0;
};

}  // namespace

std::unique_ptr<Simulator> MakeEurobox(Link& link, const Options& options) {
    return std::make_unique<EuroboxSim>(link, options);
}

}  // namespace korvat::sim
