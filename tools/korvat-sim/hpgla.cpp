// An HPGL-A controller (and its SMS68A variant) as seen from the machine's side of the line.
//
// What it understands: statements ended by ';', any number a line, lines ended by LF (CR is
// passed over). Each line that carried a statement is acknowledged with "!" once carried out
// ("F" once the fault "F" is due). "OD" answers at once, without waiting for the line end, with
// the position in hexadecimal steps and six input values: "X,Y,Z,30,30,30,30,30,30" CR LF.
//   PU, PD            tool up / down; moves with the tool down are feed moves, else rapid
//   PA x,y  PR dx,dy  absolute / relative XY move      XA x  YA y  ZA z   single axes
//   MA x,y,z          XYZ move                         XR dx  YR dy       relative single axes
//   AA cx,cy,d,t      arc about (cx, cy) through d degrees and t thousandths ("-0" keeps the
//                     sign), counter-clockwise when positive
//   CX x  CY y  CZ z  take the value as the axis position without moving
//   RF-X  RF-Y  RF-Z  reference the axis (it goes to 0)
//   EDX f, Y f, Z f   feeds in mm/min          WA ms   dwell
//   GFn SE SA DAn Cc Kc Snc M1 M2 HS EF! EF% PTn IN SPn VSn RA RX RY * CB RS: taken, nothing moves
// Coordinates are steps: `steps` per millimetre (1000); `zsign` -1 for a machine whose Z counts
// downwards (the SMS68A with "zumgekehrt").
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/korvat-sim/sim.h"

namespace korvat::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

class HpglaSim : public Simulator {
  public:
    HpglaSim(Link& link, const Options& options, double steps) : link_(link), steps_(steps) {
        for (const auto& [name, value] : options.settings) {
            if (name == "steps")
                steps_ = std::atof(value.c_str());
            else if (name == "zsign")
                zsign_ = std::atof(value.c_str()) < 0 ? -1 : 1;
            else
                link_.Problem("unknown setting " + name + " (knows steps, zsign)");
        }
        if (!(steps_ > 0)) steps_ = 1000;
    }

    void Receive(unsigned char b) override {
        if (b == '\r') return;
        if (b == '\n') {
            if (!statement_.empty()) Statement();
            if (lineHadStatement_) link_.Send(link_.FaultDue("F") ? "F" : "!");
            lineHadStatement_ = false;
            return;
        }
        if (b == ';') {
            Statement();
            return;
        }
        if (statement_.size() < 200) statement_ += static_cast<char>(b);
    }

    std::string Finish() override {
        return std::to_string(statements_) + " statements, " + std::to_string(moves_) + " moves";
    }

  private:
    // Reads the numbers of a statement's arguments (decimal steps); returns how many. A "-0"
    // sets *negativeZero for the arc's sign.
    int Numbers(const char* p, long* out, int n, bool* negativeZero = nullptr) {
        int count = 0;
        while (count < n && *p) {
            while (*p == ' ' || *p == '\t' || *p == ',') ++p;
            if (!*p) break;
            char* end = nullptr;
            long v = std::strtol(p, &end, 10);
            if (end == p) return -1;
            if (negativeZero && v == 0 && *p == '-') *negativeZero = true;
            out[count++] = v;
            p = end;
        }
        while (*p == ' ' || *p == '\t') ++p;
        return *p ? -1 : count;
    }

    double Mm(long s) const { return static_cast<double>(s) / steps_; }
    void Trace(const char* kind) {
        ++moves_;
        link_.Move(kind, Mm(x_), Mm(y_), zsign_ * Mm(z_));
    }
    void MoveTo(long x, long y, long z) {
        if (x == x_ && y == y_ && z == z_) return;
        x_ = x, y_ = y, z_ = z;
        Trace(down_ ? "feed" : "rapid");
    }
    void Bad(const std::string& s) { link_.Problem("cannot read the statement \"" + s + "\""); }

    void Statement() {
        std::string s;
        s.swap(statement_);
        size_t a = s.find_first_not_of(" \t");
        if (a == std::string::npos) return;  // an empty statement (";;")
        s.erase(0, a);
        ++statements_;
        lineHadStatement_ = true;
        link_.Command();
        long v[4];
        auto args = [&](size_t skip, int n) { return Numbers(s.c_str() + skip, v, n) == n; };
        auto word = [&](const char* w) { return s.compare(0, std::strlen(w), w) == 0; };
        if (s == "PU") {
            down_ = false;
        } else if (s == "PD") {
            down_ = true;
        } else if (word("PA")) {
            if (args(2, 2))
                MoveTo(v[0], v[1], z_);
            else
                Bad(s);
        } else if (word("PR")) {
            if (args(2, 2))
                MoveTo(x_ + v[0], y_ + v[1], z_);
            else
                Bad(s);
        } else if (word("MA")) {
            if (args(2, 3))
                MoveTo(v[0], v[1], v[2]);
            else
                Bad(s);
        } else if (word("XA")) {
            if (args(2, 1))
                MoveTo(v[0], y_, z_);
            else
                Bad(s);
        } else if (word("YA")) {
            if (args(2, 1))
                MoveTo(x_, v[0], z_);
            else
                Bad(s);
        } else if (word("ZA")) {
            if (args(2, 1))
                MoveTo(x_, y_, v[0]);
            else
                Bad(s);
        } else if (word("XR")) {
            if (args(2, 1))
                MoveTo(x_ + v[0], y_, z_);
            else
                Bad(s);
        } else if (word("YR")) {
            if (args(2, 1))
                MoveTo(x_, y_ + v[0], z_);
            else
                Bad(s);
        } else if (word("AA")) {
            bool minusZero = false;
            if (Numbers(s.c_str() + 2, v, 4, &minusZero) != 4 || v[3] < 0 || v[3] > 999) {
                Bad(s);
                return;
            }
            double degrees = std::labs(v[2]) + v[3] / 1000.0;
            if (v[2] < 0 || minusZero) degrees = -degrees;
            Arc(v[0], v[1], degrees);
        } else if (word("CX")) {
            if (args(2, 1))
                x_ = v[0];
            else
                Bad(s);
        } else if (word("CY")) {
            if (args(2, 1))
                y_ = v[0];
            else
                Bad(s);
        } else if (word("CZ")) {
            if (args(2, 1))
                z_ = v[0];
            else
                Bad(s);
        } else if (s == "RF-X" || s == "RF-Y" || s == "RF-Z") {
            long x = s[3] == 'X' ? 0 : x_, y = s[3] == 'Y' ? 0 : y_, z = s[3] == 'Z' ? 0 : z_;
            bool down = down_;
            down_ = false;
            MoveTo(x, y, z);
            down_ = down;
        } else if (word("EDX")) {
            // "EDX<xy>,\tY<xy>, Z<z>": the feeds in mm/min; they pace nothing here.
            if (std::sscanf(s.c_str(), "EDX%ld, Y%ld, Z%ld", &v[0], &v[1], &v[2]) != 3) Bad(s);
        } else if (word("WA") || word("DA") || word("GF") || word("PT") || word("SP") ||
                   word("VS")) {
            size_t skip = 2;
            if (!args(skip, 1)) Bad(s);
        } else if (s == "SE" || s == "SA" || s == "M1" || s == "M2" || s == "HS" || s == "EF!" ||
                   s == "EF%" || s == "IN" || s == "RA" || s == "RX" || s == "RY" || s == "*" ||
                   s == "CB" || s == "RS") {
        } else if (s == "OD") {
            char reply[160];
            std::snprintf(reply, sizeof reply, "%X,%X,%X,30,30,30,30,30,30\r\n",
                          static_cast<unsigned>(x_), static_cast<unsigned>(y_),
                          static_cast<unsigned>(z_));
            link_.Send(reply);
        } else if (s.size() == 2 && (s[0] == 'C' || s[0] == 'K')) {
        } else if (s.size() >= 3 && s[0] == 'S' && std::isdigit(static_cast<unsigned char>(s[1]))) {
        } else {
            link_.Problem("unknown statement \"" + s + "\"");
        }
    }

    // The arc from the current point about (cx, cy), in short chords of the controller's own
    // interpolation; the end point is rounded to whole steps.
    void Arc(long cx, long cy, double degrees) {
        double r = std::hypot(static_cast<double>(x_ - cx), static_cast<double>(y_ - cy));
        double a = std::atan2(static_cast<double>(y_ - cy), static_cast<double>(x_ - cx));
        double e = a + degrees * kPi / 180.0;
        x_ = cx + std::lround(r * std::cos(e));
        y_ = cy + std::lround(r * std::sin(e));
        ++moves_;
        link_.Arc(Mm(x_), Mm(y_), zsign_ * Mm(z_), Mm(cx), Mm(cy), degrees >= 0 ? 1 : -1);
    }

    Link& link_;
    double steps_;
    int zsign_ = 1;
    long x_ = 0, y_ = 0, z_ = 0;
    bool down_ = false;
    bool lineHadStatement_ = false;
    std::string statement_;
    long statements_ = 0, moves_ = 0;
};

}  // namespace

std::unique_ptr<Simulator> MakeHpgla(Link& link, const Options& options) {
    return std::make_unique<HpglaSim>(link, options, 1000);
}

std::unique_ptr<Simulator> MakeSms68a(Link& link, const Options& options) {
    return std::make_unique<HpglaSim>(link, options, 100);
}

}  // namespace korvat::sim
