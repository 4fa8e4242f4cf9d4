// korvat send driving `korvat sim b268` over pseudo-terminals, as a machinist runs them: the
// moves the simulated machine carried out against LinuxCNC's rs274 reading of the same job,
// each fault mode of the controller and the line, abort and resume.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/golden.h"
#include "support/process.h"
#include "support/rs274.h"
#include "support/sim.h"

namespace korvat::test {
namespace {

const std::string kJobs = KORVAT_SOURCE_DIR "/tests/korvat/jobs/";
const std::string kProfile = KORVAT_SOURCE_DIR "/examples/machines/b268.ini";

// Runs korvat send automatically with stdin from /dev/null (no terminal); at most 60 s.
Outcome Send(const TempDir& dir, const std::string& port, const std::string& args) {
    return RunKorvat(dir.path(), "send " + args + " --auto --port " + port, "timeout 60");
}

// One move of the trace: kind, end point, and for arcs centre and turn.
struct Move {
    std::string kind;
    double v[6] = {};
};

std::vector<Move> Trace(const std::string& text) {
    std::vector<Move> moves;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream l(line);
        Move m;
        l >> m.kind;
        for (double& v : m.v) l >> v;
        moves.push_back(m);
    }
    return moves;
}

// The machine's trace follows rs274's reading of the job: every traverse is one rapid, every
// straight feed one feed move, every arc in the plane one arc about the same centre and turning
// the same way; a helical arc may be carried out as straight feed moves that end on its end
// point. Points agree within tolerance (the controller's 0.001 mm plus rs274's printing).
::testing::AssertionResult FollowsRs274(const Rs274Result& job, const std::vector<Move>& trace) {
    double unit = 1;
    size_t t = 0;
    double z = 0;
    for (const CanonCall& c : job.calls) {
        if (c.name == "PROGRAM_END") break;
        if (c.line.find("CANON_UNITS_INCHES") != std::string::npos) unit = 25.4;
        if (c.line.find("CANON_UNITS_MM") != std::string::npos) unit = 1;
        bool traverse = c.name == "STRAIGHT_TRAVERSE", feed = c.name == "STRAIGHT_FEED";
        bool arc = c.name == "ARC_FEED";
        if (!traverse && !feed && !arc) continue;
        double tol = unit == 1 ? 0.002 : 0.002 + 0.00005 * 25.4;
        double ex = c.args[0] * unit, ey = c.args[1] * unit;
        double ez = (arc ? c.args[5] : c.args[2]) * unit;
        auto at = [&](const Move& m) {
            return std::fabs(m.v[0] - ex) <= tol && std::fabs(m.v[1] - ey) <= tol &&
                   std::fabs(m.v[2] - ez) <= tol;
        };
        auto fail = [&](const std::string& why) {
            return ::testing::AssertionFailure()
                   << why << " at trace line " << t + 1 << " for " << c.line;
        };
        if (t >= trace.size()) return fail("the trace ends");
        if (arc && std::fabs(ez - z) > tol) {
            while (t < trace.size() && trace[t].kind == "feed" && !at(trace[t])) ++t;
            if (t >= trace.size() || trace[t].kind != "feed" || !at(trace[t]))
                return fail("the helix does not end on its end point");
        } else {
            const Move& m = trace[t];
            if (m.kind != (traverse ? "rapid" : feed ? "feed" : "arc")) return fail("a " + m.kind);
            if (!at(m)) return fail("another point");
            if (arc) {
                if (std::fabs(m.v[3] - c.args[2] * unit) > tol ||
                    std::fabs(m.v[4] - c.args[3] * unit) > tol)
                    return fail("another centre");
                if ((m.v[5] > 0) != (c.args[4] > 0)) return fail("another turn");
            }
        }
        z = ez;
        ++t;
    }
    if (t != trace.size()) return ::testing::AssertionFailure() << "extra moves from " << t + 1;
    return ::testing::AssertionSuccess();
}

class Rs274Job : public ::testing::TestWithParam<std::string> {};

TEST_P(Rs274Job, TheMachineCarriesOutWhatRs274ReadsInTheJob) {
    if (Rs274Program().empty()) GTEST_SKIP() << "rs274 is not installed";
    TempDir dir;
    std::string job = GetParam() == "example.ngc" ? KORVAT_SOURCE_DIR "/examples/jobs/example.ngc"
                                                  : kJobs + GetParam();
    SimProcess sim(KORVAT_PROGRAM,
                   {"b268", "--baud", "38400", "--speed", "50", "--trace", dir.File("trace.txt")});
    Outcome r = Send(dir, sim.Path(), "'" + job + "' --machine " + kProfile);
    ASSERT_EQ(0, r.exit) << r.err;
    std::string summary = sim.Stop();
    EXPECT_NE(std::string::npos, summary.find("buffer overruns 0")) << summary;
    EXPECT_EQ(std::string::npos, summary.find("korvat sim: "))
        << "no protocol problems: " << summary;
    Rs274Options asWritten;
    asWritten.dropHeadLine = false;
    asWritten.fanucDwell = false;
    asWritten.appendEnd = false;
    Rs274Result fromJob = RunRs274(ReadFile(job), asWritten);
    ASSERT_TRUE(fromJob.ran && fromJob.exitCode == 0) << fromJob.errors;
    std::vector<Move> trace = Trace(ReadFile(dir.File("trace.txt")));
    ASSERT_GT(trace.size(), 5u);
    EXPECT_TRUE(FollowsRs274(fromJob, trace)) << ReadFile(dir.File("trace.txt"));
}

INSTANTIATE_TEST_SUITE_P(Jobs, Rs274Job,
                         ::testing::Values("example.ngc", "frontend.ngc", "incremental.ngc",
                                           "inch.ngc", "helix.ngc"),
                         [](const auto& info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

// A job long enough to fill the controller's buffer: short feed moves.
std::string LongJob(int moves = 300) {
    std::string job = "G21 G90\nG0 X0 Y0 Z5\nG1 Z-1 F600\n";
    for (int i = 1; i <= moves; ++i)
        job += "G1 X" + std::to_string(i % 20) + " Y" + std::to_string(i / 20) + "\n";
    return job + "G0 Z5\nM2\n";
}

TEST(SendFaults, EachFaultEndsInBoundedTimeWithItsErrorNumber) {
    struct Case {
        std::vector<std::string> sim;
        std::string error;  // a part of the one error line
        std::string orError = "";
    } cases[] = {
        {{"--silent"}, "error 1018"},
        {{"--garbage"}, "error 1017"},
        {{"--fault", "busy"}, "error 1021"},
        {{"--fault", "A", "--fault-after", "40"}, "the controller reported fault A"},
        {{"--fault", "C", "--fault-after", "40"}, "the controller reported fault C"},
        // A line whose far end is gone takes nothing and answers nothing: the line says so
        // whether the driver is writing or waiting for an answer.
        {{"--hangup-after-commands", "60"},
         " hung up: the machine or its adapter is gone (error 1022)"},
        // Whichever the driver is doing when the line stops: writing or waiting for an answer.
        {{"--hold-after-bytes", "2000"}, "error 1019", "error 1018"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sim[0]);
        TempDir dir;
        WriteFile(dir.File("long.ngc"), LongJob());
        std::vector<std::string> args{"b268", "--baud", "38400", "--speed", "20"};
        args.insert(args.end(), c.sim.begin(), c.sim.end());
        SimProcess sim(KORVAT_PROGRAM, args);
        auto start = std::chrono::steady_clock::now();
        Outcome r = Send(dir, sim.Path(), "long.ngc --machine " + kProfile);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(40));
        EXPECT_EQ(1, r.exit) << r.err;
        EXPECT_TRUE(r.err.find(c.error) != std::string::npos ||
                    (!c.orError.empty() && r.err.find(c.orError) != std::string::npos))
            << r.err;
        if (c.error.find("1022") != std::string::npos) {
            EXPECT_NE(std::string::npos, r.err.find("the line " + sim.Path() + " hung up"))
                << r.err;
        }
        // The last line is the one error line.
        EXPECT_EQ(0u, r.err.rfind("korvat: ", r.err.rfind('\n', r.err.size() - 2) + 1) -
                          (r.err.rfind('\n', r.err.size() - 2) + 1))
            << r.err;
    }
}

TEST(SendFaults, SlowMachineKeepsItsBufferFullAndTheJobStillEnds) {
    TempDir dir;
    WriteFile(dir.File("long.ngc"), LongJob(150));
    // A machine slower than the line with a small buffer: the driver has to wait for room
    // (it then asks for the free buffer, "OB", which it does nowhere else). The simulated line
    // runs faster than the profile's 9600 baud, so that a loaded test machine slowing the
    // simulator down never makes the driver's write time-out, which counts on 9600, run out.
    std::string log = dir.File("received.bin");
    SimProcess sim(KORVAT_PROGRAM,
                   {"b268", "--baud", "38400", "--speed", "4", "--set", "buffer=2600", "--set",
                    "wait=2400", "--trace", dir.File("trace.txt"), "--log", log});
    Outcome r = Send(dir, sim.Path(), "long.ngc --machine " + kProfile);
    EXPECT_EQ(0, r.exit) << r.err;
    std::string summary = sim.Stop();
    EXPECT_NE(std::string::npos, summary.find(", 0 commands not carried out")) << summary;
    EXPECT_NE(std::string::npos, ReadFile(log).find("\x1bOB")) << "the driver never waited";
    EXPECT_EQ(153u, Trace(ReadFile(dir.File("trace.txt"))).size());
}

// The B268 profile with the machine's travel and a workpiece, and its spindle table beside it,
// in dir.
std::string ProfileWithTravel(const TempDir& dir) {
    WriteFile(dir.File("SPIND.TAB"), ReadFile(KORVAT_SOURCE_DIR "/examples/machines/SPIND.TAB"));
    WriteFile(dir.File("mill.ini"),
              ReadFile(kProfile) +
                  "\n[travel]\nmin_x = 0\nmax_x = 120\nmin_y = 0\nmax_y = 80\nmin_z = -10\n"
                  "max_z = 50\n[workpiece]\nwidth = 100\nlength = 80\nthickness = 10\n");
    return dir.File("mill.ini");
}

TEST(SendCheck, AJobLeavingTheTravelOrTheWorkpieceInItsLastLineIsRefusedBeforeAByteIsSent) {
    TempDir dir;
    const std::string profile = ProfileWithTravel(dir);
    const std::string good = "G21 G90\nG0 X0 Y0 Z5\nG1 Z-1 F600\nG1 X10 Y10\nG1 X100 Y80\nG0 Z5\n";
    struct Case {
        std::string last;      // the job's last line
        const char* expected;  // the one error line (blocks: the supervisor's moves)
    } cases[] = {
        {"G0 X120.5 Y10\n",
         "korvat: job.ngc:7: block 6 leaves the machine's travel: X 120.5000 above max X "
         "120.0000; nothing was sent to the machine\n"},
        {"G1 Z-10.5\n",
         "korvat: job.ngc:7: block 6 leaves the machine's travel: Z -10.5000 below min Z "
         "-10.0000; nothing was sent to the machine\n"},
        // Off the 100 x 80 workpiece, widened by 1.12 times its margin of 0 + 2 mm.
        {"G1 X102.25 Y10\n",
         "korvat: job.ngc:7: block 6 leaves the workpiece: X 102.2500 above max X 102.2400; "
         "nothing was sent to the machine\n"},
        // Beyond what the driver sends as it is meant, whatever the travel.
        {"G0 X100000 Y10\n",
         "korvat: job.ngc:7: X 100000 mm is beyond what B268 sends (at most 99999.999 mm "
         "either way)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.last);
        WriteFile(dir.File("job.ngc"), good + c.last);
        SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0", "--trace", dir.File("trace.txt"),
                                        "--log", dir.File("received.bin")});
        Outcome r = Send(dir, sim.Path(), "job.ngc --machine " + profile);
        EXPECT_EQ(1, r.exit);
        EXPECT_EQ(c.expected, r.err);
        sim.Stop();
        EXPECT_EQ("", ReadFile(dir.File("trace.txt")));
        EXPECT_EQ("", ReadFile(dir.File("received.bin"))) << "the line was opened";
    }
    // Within the travel the same job runs: five moves carried out.
    WriteFile(dir.File("job.ngc"), good + "M2\n");
    SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0", "--trace", dir.File("trace.txt")});
    Outcome r = Send(dir, sim.Path(), "job.ngc --machine " + profile);
    EXPECT_EQ(0, r.exit) << r.err;
    sim.Stop();
    std::vector<Move> trace = Trace(ReadFile(dir.File("trace.txt")));
    ASSERT_EQ(5u, trace.size());
    EXPECT_EQ("rapid", trace[0].kind);
    EXPECT_EQ(100, trace[3].v[0]);
    EXPECT_EQ(80, trace[3].v[1]);
}

// CSMS68A sends step counts at the profile's resolution, at most 2^30 - 1 of them: at a million
// steps a millimetre floor((2^30 - 1) * (1 - 1e-6) / 1e6 * 1000) / 1000 = 1073.740 mm, the value
// itself still taken.
TEST(SendCheck, BeyondTheStepsTheDriverSendsAJobIsRefusedBeforeTheLineIsOpened) {
    TempDir dir;
    std::string profile = ReadFile(KORVAT_SOURCE_DIR "/examples/machines/sms68a.ini");
    const std::string key = "Aufloesung[0] = 100\n";
    ASSERT_NE(std::string::npos, profile.find(key));
    profile.replace(profile.find(key), key.size(), "Aufloesung[0] = 1000000\n");
    WriteFile(dir.File("fine.ini"), profile);
    WriteFile(dir.File("job.ngc"), "G21 G90\nG0 X0 Y0 Z5\nG1 X1073.74 Y1 F600\nG1 X1073.75 Y1\n");
    Outcome r = Send(dir, "/nonexistent/tty", "job.ngc --machine fine.ini");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(
        "korvat: job.ngc:4: X 1073.75 mm is beyond what CSMS68A sends (at most 1073.740 mm "
        "either way)\n",
        r.err);
}

// B268 sends the tool's diameter and length with the change: a tool the profile does not
// describe would reach the machine as a tool of size 0.
TEST(SendCheck, AToolTheProfileDoesNotDescribeIsRefusedBeforeTheLineIsOpened) {
    TempDir dir;
    WriteFile(dir.File("job.ngc"), "G21 G90\nG0 X0 Y0 Z5\nT7 M6\nG1 X10 Y1 F600\n");
    Outcome r = Send(dir, "/nonexistent/tty", "job.ngc --machine " + kProfile);
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ("korvat: " + kProfile +
                  ": the job uses tool 7, which has no [tool 7] here; class B268 passes the "
                  "tool's size on to the machine\n",
              r.err);
}

// Standard input cannot be read twice (nor is it free: it is the operator's keyboard).
TEST(SendCheck, AJobFromStandardInputIsRefused) {
    TempDir dir;
    Outcome r = Send(dir, "/nonexistent/tty", "- --machine " + kProfile);
    EXPECT_EQ(2, r.exit);
    EXPECT_EQ(
        "korvat send: the job cannot come from standard input: send reads it twice, once to "
        "check it whole before the machine moves and once to send it; give the job's file\n",
        r.err);
}

// The peak resident size (KiB) of korvat send running a job of `moves` feed moves to a fast
// simulated machine; at most 120 s.
long SendPeakKb(int moves) {
    TempDir dir;
    WriteFile(dir.File("long.ngc"), LongJob(moves));
    SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0", "--speed", "100000"});
    std::string job = dir.File("long.ngc"), port = sim.Path();
    int null = open("/dev/null", O_RDWR);
    pid_t pid =
        Spawn({KORVAT_PROGRAM, "send", job, "--machine", kProfile, "--port", port, "--auto"},
              {{0, null}, {1, null}, {2, null}});
    close(null);
    if (pid < 0) return -1;
    int status = 0;
    rusage usage{};
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (wait4(pid, &status, WNOHANG, &usage) != pid) {
        if (std::chrono::steady_clock::now() > until) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            ADD_FAILURE() << "korvat send did not end within 120 s";
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << moves << " moves";
    return usage.ru_maxrss;
}

// The job is read twice and never held: fifty times the moves are sent in the same memory.
TEST(SendMemory, ALongJobIsSentInTheMemoryOfAShortOne) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's quarantine of freed memory is no measure of the program's";
#endif
    const long small = SendPeakKb(1000);
    const long large = SendPeakKb(50000);
    ASSERT_GT(small, 1000) << "no peak size measured";
    EXPECT_LT(large - small, 1024) << small << " KiB for 1000 moves, " << large << " for 50000";
}

TEST(SendFaults, LineSpindleTableAndProfileProblemsAreOneLine) {
    TempDir dir;
    WriteFile(dir.File("job.ngc"), "G0 X1 Y1 Z1\n");
    Outcome r = Send(dir, "/nonexistent/tty", "job.ngc --machine " + kProfile);
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(0u, r.err.find("korvat: /nonexistent/tty cannot be opened: No such file or directory "
                             "(error 1001)"))
        << r.err;
    // A line another program holds and locks is busy, by its path.
    {
        SimProcess held(KORVAT_PROGRAM, {"b268", "--baud", "0"});
        int fd = open(held.Path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(0, flock(fd, LOCK_EX | LOCK_NB));
        r = Send(dir, held.Path(), "job.ngc --machine " + kProfile);
        close(fd);
        EXPECT_EQ(1, r.exit);
        EXPECT_EQ("korvat: " + held.Path() + " is busy: another program has it open (error 1023)\n",
                  r.err);
    }
    // A profile without its spindle table beside it.
    WriteFile(dir.File("b268.ini"), ReadFile(kProfile));
    SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0"});
    r = Send(dir, sim.Path(), "job.ngc --machine b268.ini");
    EXPECT_EQ(1, r.exit);
    EXPECT_NE(std::string::npos, r.err.find("B268 set-up failed: error 3110: ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("(SPIND.TAB)")) << r.err;
    // A writer's profile is no online machine.
    r = Send(dir, sim.Path(), "job.ngc --machine " KORVAT_SOURCE_DIR "/examples/machines/iso.ini");
    EXPECT_EQ(1, r.exit);
    EXPECT_NE(std::string::npos, r.err.find("korvat send needs an online driver")) << r.err;
}

TEST(SendAbort, CtrlCStopsTheJobAndTheControllerAndNothingFollows) {
    TempDir dir;
    WriteFile(dir.File("long.ngc"), LongJob(3000));  // more than the line takes at once
    std::string log = dir.File("received.bin");
    SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "9600", "--log", log});
    std::string port = sim.Path();
    std::string job = dir.File("long.ngc");
    std::string err = dir.File("err");
    int null = open("/dev/null", O_RDONLY);
    int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid =
        Spawn({KORVAT_PROGRAM, "send", job, "--machine", kProfile, "--port", port, "--auto"},
              {{0, null}, {2, errFd}});
    close(null);
    close(errFd);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // in the middle of the job
    kill(pid, SIGINT);
    int code = -1;
    EXPECT_TRUE(WaitChild(pid, 60000, &code));
    EXPECT_EQ(1, code);
    std::string message = ReadFile(err);
    EXPECT_NE(std::string::npos,
              message.find("korvat: aborted by the operator, the controller was told to stop; "
                           "stopped at block "))
        << message;
    EXPECT_NE(std::string::npos, message.find("long.ngc line ")) << message;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::string summary = sim.Stop();
    EXPECT_NE(std::string::npos, summary.find("aborts 1, 0 commands not carried out")) << summary;
    std::string received = ReadFile(log);
    std::string abort = "\x1bO*A\r\n";
    ASSERT_GE(received.size(), abort.size());
    EXPECT_EQ(abort, received.substr(received.size() - abort.size())) << "nothing after the abort";
}

TEST(SendResume, FromALineTheMachineReentersSafelyAndThenCutsTheRestOfTheJob) {
    TempDir dir;
    std::string job = kJobs + "frontend.ngc";
    std::vector<Move> whole, resumed;
    {
        SimProcess sim(KORVAT_PROGRAM,
                       {"b268", "--baud", "0", "--speed", "50", "--trace", dir.File("whole.txt")});
        ASSERT_EQ(0, Send(dir, sim.Path(), "'" + job + "' --machine " + kProfile).exit);
        sim.Stop();
        whole = Trace(ReadFile(dir.File("whole.txt")));
    }
    {
        SimProcess sim(KORVAT_PROGRAM,
                       {"b268", "--baud", "0", "--speed", "50", "--trace", dir.File("part.txt")});
        Outcome r =
            Send(dir, sim.Path(), "'" + job + "' --machine " + kProfile + " --from-line 12");
        ASSERT_EQ(0, r.exit) << r.err;
        sim.Stop();
        resumed = Trace(ReadFile(dir.File("part.txt")));
    }
    ASSERT_GT(resumed.size(), 3u);
    ASSERT_LT(resumed.size() - 3, whole.size());
    // Re-entry: up to the safe height where the machine stands, over to the XY where the line
    // starts, down to its Z at the plunge feed.
    EXPECT_EQ("rapid", resumed[0].kind);
    EXPECT_EQ("rapid", resumed[1].kind);
    EXPECT_EQ("feed", resumed[2].kind);
    EXPECT_EQ(resumed[0].v[2], resumed[1].v[2]);
    EXPECT_EQ(resumed[1].v[0], resumed[2].v[0]);
    EXPECT_EQ(resumed[1].v[1], resumed[2].v[1]);
    size_t tail = resumed.size() - 3;
    for (size_t i = 0; i < tail; ++i) {
        const Move& a = whole[whole.size() - tail + i];
        const Move& b = resumed[3 + i];
        EXPECT_EQ(a.kind, b.kind) << i;
        for (int k = 0; k < 6; ++k) EXPECT_NEAR(a.v[k], b.v[k], 1e-9) << i;
    }
    // The feed move down ends where the whole job stood before the tail.
    const Move& before = whole[whole.size() - tail - 1];
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(before.v[k], resumed[2].v[k], 1e-9);
}

}  // namespace
}  // namespace korvat::test
