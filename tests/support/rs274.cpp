#include "support/rs274.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/golden.h"

namespace korvat::test {

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

// "G4 X2" / "G4 P500" in Fanuc style to LinuxCNC's "G4 P<seconds>"; other lines unchanged.
std::string Dwell(const std::string& line) {
    size_t g4 = line.find("G4 ");
    if (g4 == std::string::npos) return line;
    size_t word = g4 + 3;
    if (word >= line.size() || (line[word] != 'X' && line[word] != 'P')) return line;
    char* end = nullptr;
    double v = std::strtod(line.c_str() + word + 1, &end);
    if (line[word] == 'P') v /= 1000.0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "P%.4f", v);
    return line.substr(0, word) + buf + std::string(end);
}

bool IsEnd(const std::string& line) {
    return line.find("M2") != std::string::npos || line.find("M30") != std::string::npos ||
           line == "%";
}

CanonCall ParseCall(const std::string& line) {
    CanonCall c;
    c.line = line;
    // "   12 N.....  CALL(args)" or, for a numbered block, "   12 N10    CALL(args)".
    size_t start = line.find_first_not_of(' ');
    start = line.find(' ', start);               // past the sequence number
    start = line.find_first_not_of(' ', start);  // the N field
    start = line.find(' ', start);               // past it
    start = line.find_first_not_of(' ', start);  // the call
    if (start == std::string::npos) start = line.size();
    size_t open = line.find('(', start);
    c.name = line.substr(start, open == std::string::npos ? std::string::npos : open - start);
    if (open == std::string::npos) return c;
    std::string args = line.substr(open + 1);
    std::replace(args.begin(), args.end(), ',', ' ');
    std::istringstream in(args);
    std::string token;
    while (in >> token) {
        char* end = nullptr;
        double v = std::strtod(token.c_str(), &end);
        if (end != token.c_str()) c.args.push_back(v);
    }
    return c;
}

}  // namespace

std::string Rs274Program() {
    if (const char* env = std::getenv("KORVAT_RS274"); env != nullptr && *env) return env;
    for (const char* p : {"/usr/bin/rs274", "/usr/lib/linuxcnc/rs274"}) {
        if (access(p, X_OK) == 0) return p;
    }
    return "";
}

Rs274Result RunRs274(const std::string& program, const Rs274Options& options) {
    Rs274Result r;
    std::string exe = Rs274Program();
    if (exe.empty()) return r;

    std::vector<std::string> lines = Lines(program);
    std::string text;
    if (options.absoluteArcCentres) text += "G90.1\n";
    bool ended = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (i == 0 && options.dropHeadLine && line.size() > 1 && line[0] == '%') continue;
        if (options.fanucDwell) line = Dwell(line);
        ended = ended || IsEnd(line);
        text += line + "\n";
    }
    if (options.appendEnd && !ended) text += "M2\n";
    r.input = text;

    TempDir dir;
    WriteFile(dir.File("prog.ngc"), text);
    std::string table;
    for (int t = 1; t <= 99; ++t) {
        table += "T" + std::to_string(t) + " P" + std::to_string(t) + " D3.0 Z0.0\n";
    }
    WriteFile(dir.File("tools.tbl"), table);

    // rs274 keeps its parameter file (rs274ngc.var) in the folder it runs in: each run gets its
    // own folder, so runs in parallel test programs do not read each other's half-written files.
    std::string command = "cd '" + dir.path() + "' && " + exe + " -t '" + dir.File("tools.tbl") +
                          "' -g '" + dir.File("prog.ngc") + "' '" + dir.File("canon.txt") +
                          "' 2>'" + dir.File("errors.txt") + "' </dev/null >/dev/null";
    // rs274 shares its tool data with every other rs274 on the machine through one memory-mapped
    // file; two at once crash each other (bus error). Test programs run in parallel, so each run
    // holds a machine-wide lock.
    int lock = open("/tmp/korvat-rs274.lock", O_CREAT | O_RDWR, 0666);
    if (lock >= 0) flock(lock, LOCK_EX);
    int status = std::system(command.c_str());
    if (lock >= 0) close(lock);
    r.ran = true;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream errors(dir.File("errors.txt"), std::ios::binary);
    std::ostringstream e;
    e << errors.rdbuf();
    // rs274 says "executing" when it starts a program; everything else on stderr is a complaint.
    for (const std::string& line : Lines(e.str())) {
        if (line != "executing" && !line.empty()) r.errors += line + "\n";
    }
    std::ifstream canon(dir.File("canon.txt"), std::ios::binary);
    std::ostringstream c;
    c << canon.rdbuf();
    for (const std::string& line : Lines(c.str())) {
        if (line.find('(') != std::string::npos) r.calls.push_back(ParseCall(line));
    }
    return r;
}

void Expect::Rapid(double x, double y, double z) {
    list_.push_back({Expected::Rapid, x, y, z, 0, 0, 0, 0});
}
void Expect::Line(double x, double y, double z, double feed) {
    list_.push_back({Expected::Line, x, y, z, 0, 0, 0, feed});
}
void Expect::Arc(double x, double y, double z, double cx, double cy, int turn) {
    list_.push_back({Expected::Arc, x, y, z, cx, cy, turn, 0});
}
void Expect::Dwell(double seconds) {
    list_.push_back({Expected::Dwell, 0, 0, 0, 0, 0, 0, seconds});
}
void Expect::Speed(double rpm) { list_.push_back({Expected::Speed, 0, 0, 0, 0, 0, 0, rpm}); }
void Expect::Tool(int tool) { list_.push_back({Expected::Tool, 0, 0, 0, 0, 0, 0, double(tool)}); }

::testing::AssertionResult SameMoves(const std::vector<Expected>& expected,
                                     const std::vector<CanonCall>& calls, double tolerance) {
    // The calls that carry machining, in order, with the feed rate in force for each.
    struct Move {
        const CanonCall* call;
        double feed;
    };
    std::vector<Move> moves;
    double feed = 0;
    for (const CanonCall& c : calls) {
        if (c.name == "SET_FEED_RATE" && !c.args.empty()) feed = c.args[0];
        if (c.name == "STRAIGHT_TRAVERSE" || c.name == "STRAIGHT_FEED" || c.name == "ARC_FEED" ||
            c.name == "DWELL" || c.name == "SET_SPINDLE_SPEED" || c.name == "CHANGE_TOOL") {
            moves.push_back({&c, feed});
        }
    }
    auto near = [tolerance](double a, double b) { return std::fabs(a - b) <= tolerance; };
    auto fail = [&](size_t e, size_t m, const std::string& why) {
        std::ostringstream s;
        s << "expected call " << e + 1 << ": " << why;
        if (m < moves.size()) s << "\n  rs274 said: " << moves[m].call->line;
        return ::testing::AssertionFailure() << s.str();
    };
    size_t m = 0;
    for (size_t e = 0; e < expected.size(); ++e) {
        const Expected& x = expected[e];
        if (m >= moves.size()) return fail(e, m, "rs274 made no more calls");
        const CanonCall* c = moves[m].call;
        const std::vector<double>& a = c->args;
        switch (x.kind) {
            case Expected::Rapid:
            case Expected::Line: {
                const char* name =
                    x.kind == Expected::Rapid ? "STRAIGHT_TRAVERSE" : "STRAIGHT_FEED";
                int allowed = x.kind == Expected::Rapid ? 2 : 0;  // further traverses on the way
                for (;; ++m, --allowed) {
                    if (m >= moves.size() || moves[m].call->name != name ||
                        moves[m].call->args.size() < 3) {
                        return fail(e, m, std::string("no ") + name + " to the expected point");
                    }
                    const std::vector<double>& p = moves[m].call->args;
                    if (near(p[0], x.x) && near(p[1], x.y) && near(p[2], x.z)) break;
                    if (allowed <= 0) return fail(e, m, "end point differs");
                }
                if (x.kind == Expected::Line && x.value > 0 &&
                    std::fabs(moves[m].feed / x.value - 1) > 0.05 + 1e-9) {
                    return fail(e, m,
                                "feed " + std::to_string(moves[m].feed) + " instead of " +
                                    std::to_string(x.value));
                }
                ++m;
                break;
            }
            case Expected::Arc: {
                for (;; ++m) {
                    if (m >= moves.size() || moves[m].call->name != "ARC_FEED" ||
                        moves[m].call->args.size() < 6) {
                        return fail(e, m, "no ARC_FEED to the expected point");
                    }
                    const std::vector<double>& p = moves[m].call->args;
                    if (!near(p[2], x.cx) || !near(p[3], x.cy)) return fail(e, m, "centre differs");
                    if ((p[4] > 0) != (x.turn > 0)) return fail(e, m, "direction differs");
                    if (near(p[0], x.x) && near(p[1], x.y) && near(p[5], x.z)) break;
                }
                ++m;
                break;
            }
            case Expected::Dwell:
            case Expected::Speed:
            case Expected::Tool: {
                const char* name = x.kind == Expected::Dwell   ? "DWELL"
                                   : x.kind == Expected::Speed ? "SET_SPINDLE_SPEED"
                                                               : "CHANGE_TOOL";
                if (c->name != name || a.empty()) return fail(e, m, std::string("no ") + name);
                if (!near(a.back(), x.value))
                    return fail(e, m, std::string(name) + " value differs");
                ++m;
                break;
            }
        }
    }
    if (m < moves.size())
        return fail(expected.size(), m, "rs274 made a call the test did not ask for");
    return ::testing::AssertionSuccess();
}

}  // namespace korvat::test
