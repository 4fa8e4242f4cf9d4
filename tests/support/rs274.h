// Runs LinuxCNC's stand-alone G-code interpreter `rs274` on a program and reads back the
// canonical machining calls it prints, so that a test can check what a real interpreter
// understood from our output. Also a matcher that compares those calls with the moves a test
// asked for, within a tolerance.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace korvat::test {

// One canonical call as rs274 prints it, e.g. STRAIGHT_FEED(1.0000, 2.0000, ...).
struct CanonCall {
    std::string name;          // "STRAIGHT_FEED"
    std::vector<double> args;  // the numeric arguments in order (non-numbers are skipped)
    std::string line;          // the printed line, for messages
};

// How our program is handed to rs274. LinuxCNC reads DIN programs with a few conventions of its
// own; each switch bridges one of them and nothing else.
struct Rs274Options {
    // Drop a first line "%<name>" (a program-number line; LinuxCNC takes a lone "%" only).
    bool dropHeadLine = true;
    // Dwell words of the Fanuc style: "G4 X<seconds>" becomes "G4 P<seconds>" and
    // "G4 P<milliseconds>" becomes "G4 P<seconds>" (LinuxCNC's P is in seconds).
    bool fanucDwell = true;
    // Append "M2" when the program has no program end (LinuxCNC demands one).
    bool appendEnd = true;
    // Put "G90.1" first: arc centres I, J are absolute.
    bool absoluteArcCentres = false;
};

struct Rs274Result {
    bool ran = false;  // the program was found and started
    int exitCode = -1;
    std::string errors;  // what rs274 reported on stderr
    std::string input;   // the program as handed over
    std::vector<CanonCall> calls;
};

// The rs274 program: KORVAT_RS274 when set, else the first of /usr/bin/rs274 and
// /usr/lib/linuxcnc/rs274 that exists; empty when there is none.
std::string Rs274Program();

// Runs rs274 in batch mode on program (CR LF or LF lines) with a tool table holding tools 1..99
// in pockets of the same number, in a temporary folder.
Rs274Result RunRs274(const std::string& program, const Rs274Options& options = {});

// A move or machine action that the interpreter is expected to carry out.
struct Expected {
    enum Kind { Rapid, Line, Arc, Dwell, Speed, Tool } kind;
    double x = 0, y = 0, z = 0;  // end point (Rapid, Line, Arc)
    double cx = 0, cy = 0;       // arc centre
    int turn = 0;                // arc: 1 counter-clockwise, -1 clockwise
    double value = 0;            // feed of a Line (0: not checked), seconds, speed, tool
};

// Collects expectations; keeps the position so that 2D moves keep the last Z.
class Expect {
  public:
    void Rapid(double x, double y, double z);
    void Line(double x, double y, double z, double feed);
    void Arc(double x, double y, double z, double cx, double cy, int turn);
    void Dwell(double seconds);
    void Speed(double rpm);
    void Tool(int tool);
    const std::vector<Expected>& list() const { return list_; }

  private:
    std::vector<Expected> list_;
};

// Compares the motion, dwell, spindle-speed and tool-change calls of rs274 with the expected
// list, in order. A Rapid may be reached through further traverses (a rapid split into an X-Y
// and a Z move) and an Arc through further arcs about the same centre (an arc split into
// quarters); everything else is one call each. Positions within tolerance; a Line's feed within
// 5 % (feed words are written only when they change by more than that). Extra calls fail.
::testing::AssertionResult SameMoves(const std::vector<Expected>& expected,
                                     const std::vector<CanonCall>& calls, double tolerance = 0.001);

}  // namespace korvat::test
