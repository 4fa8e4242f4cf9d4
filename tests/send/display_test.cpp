// The live block display of korvat send against the simulated controllers: the blocks as the
// job supervisor shows them (without a terminal, --auto: one line a block on stdout), the refusal
// to single-step without a terminal, and a single-step session on a pseudo-terminal played as
// the operator's terminal (Return, A, S, Escape).
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/golden.h"
#include "support/process.h"
#include "support/sim.h"

namespace korvat::test {
namespace {

const std::string kMachines = KORVAT_SOURCE_DIR "/examples/machines/";

// korvat send without a terminal (stdin /dev/null); at most 60 s.
Outcome SendWithoutTerminal(const TempDir& dir, const std::string& args) {
    return RunKorvat(dir.path(), "send " + args, "timeout 60");
}

// The display lines of these tests are the library's German texts, which korvat shows in a
// German locale.
struct German : ScopedEnv {
    German() : ScopedEnv("LC_ALL", "de_DE.UTF-8") {}
};

// The job of the log tests: a rapid in all three axes, a plunge, a cut, a stop, a retract.
const char kJob[] = "G21 G90\nG0 X10 Y20 Z5\nG1 Z-1 F600\nG1 X30\nM0\nG0 Z5\nM30\n";

// Written from the block formats: "G0\tX%-10.3f Y%-10.3f\tZ%-10.3f", the Z feed line with the
// Z feed's suffix "\tF%-10.1f" (which makes the next XY line show its feed again), the stop as
// "M00"; the automatic status comes with the first block.
const char kLog[] =
    "G0\tX10.000     Y20.000    \tZ5.000     \n"
    "-- Automatik l\xc3\xa4uft - S = Einzelschritt, Esc = Abbruch\n"
    "G1\t\t\t\t\t\t\tZ-1.000    \tF600.0     \n"
    "G1\tX30.000     Y20.000    \tF600.0     \n"
    "M00\n"
    "G0\t\t\t\t\t\t\tZ5.000     \n";

TEST(SendDisplay, AutomaticRunWithoutTerminalLogsEveryBlockAsTheSupervisorShowsIt) {
    German german;
    struct Case {
        std::vector<std::string> sim;
        const char* machine;
    } cases[] = {{{"b268", "--baud", "0"}, "b268.ini"},
                 {{"hpgla", "--set", "steps=1000", "--baud", "0"}, "hpgla.ini"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine);
        TempDir dir;
        WriteFile(dir.File("job.ngc"), kJob);
        SimProcess sim(KORVAT_PROGRAM, c.sim);
        Outcome r = SendWithoutTerminal(
            dir, "job.ngc --auto --machine " + kMachines + c.machine + " --port " + sim.Path());
        EXPECT_EQ(0, r.exit) << r.err;
        EXPECT_TRUE(SameBytes(kLog, r.out));
        std::string summary = sim.Stop();
        EXPECT_EQ(std::string::npos, summary.find("korvat sim: ")) << summary;
    }
}

// A helix is one block: its arc's line ("%s\tX%-10.3f Y%-10.3f\t\t\t\t I%-10.3f\tJ%-10.3f" with
// the XY feed's suffix, changed since the plunge showed the Z feed), and no line of its own for
// the Z it goes down.
TEST(SendDisplay, AHelixIsOneBlockLine) {
    German german;
    TempDir dir;
    WriteFile(dir.File("job.ngc"), "G21 G90\nG0 X10 Y0 Z5\nG1 Z-1 F600\nG3 X-10 Y0 I-10 J0 Z-3\n");
    SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0"});
    Outcome r = SendWithoutTerminal(
        dir, "job.ngc --auto --machine " + kMachines + "b268.ini --port " + sim.Path());
    EXPECT_EQ(0, r.exit) << r.err;
    EXPECT_TRUE(
        SameBytes("G0\tX10.000     Y0.000     \tZ5.000     \n"
                  "-- Automatik l\xc3\xa4uft - S = Einzelschritt, Esc = Abbruch\n"
                  "G1\t\t\t\t\t\t\tZ-1.000    \tF600.0     \n"
                  "G3\tX-10.000    Y0.000     \t\t\t\t I0.000     \tJ0.000     \tF600.0     \n",
                  r.out));
}

TEST(SendDisplay, WithoutTerminalSingleStepIsRefusedBeforeTheLineIsOpened) {
    TempDir dir;
    WriteFile(dir.File("job.ngc"), kJob);
    Outcome r = SendWithoutTerminal(
        dir, "job.ngc --machine " + kMachines + "b268.ini --port /nonexistent/tty");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(0u, r.err.find("korvat: send starts in single step and waits for Return at every "
                             "block; there is no terminal to press it on (give --auto"))
        << r.err;
}

// korvat send with a pseudo-terminal as its terminal (stdin, stdout, stderr); the test types on
// the master side and collects what the program writes there.
class Terminal {
  public:
    // columns: the terminal's width (0: not set, taken as 80).
    explicit Terminal(const std::vector<std::string>& args, unsigned short columns = 0) {
        int slave = -1;
        winsize size{};
        size.ws_row = 24;
        size.ws_col = columns;
        if (openpty(&master_, &slave, nullptr, nullptr, &size) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return;
        }
        std::vector<std::string> argv{KORVAT_PROGRAM, "send"};
        argv.insert(argv.end(), args.begin(), args.end());
        pid_ = Spawn(argv, {{0, slave}, {1, slave}, {2, slave}}, {master_});
        close(slave);
        reader_ = std::thread([this] { Read(); });
    }
    ~Terminal() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        running_ = false;
        reader_.join();
        close(master_);
    }
    void Type(const std::string& keys) { (void)!write(master_, keys.data(), keys.size()); }
    // Waits until `text` appears after position `from` of the output, woken by every piece of
    // output; returns the position after it, or npos after timeout_ms (generous: a loaded
    // machine may start the program slowly) or once the program has closed its terminal.
    size_t WaitFor(const std::string& text, size_t from, int timeout_ms = 60000) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        std::unique_lock<std::mutex> g(lock_);
        size_t at = std::string::npos;
        changed_.wait_until(g, until, [&] {
            at = out_.find(text, from);
            return at != std::string::npos || closed_;
        });
        return at == std::string::npos ? at : at + text.size();
    }
    // Waits up to timeout_ms for the program to close its terminal and end; its exit code, -1
    // when it did not.
    int Wait(int timeout_ms) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        std::unique_lock<std::mutex> g(lock_);
        if (!changed_.wait_until(g, until, [&] { return closed_; })) return -1;
        int status = 0;
        if (waitpid(pid_, &status, 0) != pid_) return -1;
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Output() {
        std::lock_guard<std::mutex> g(lock_);
        return out_;
    }

  private:
    void Read() {
        char buf[4096];
        while (running_) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            ssize_t n = read(master_, buf, sizeof buf);
            std::lock_guard<std::mutex> g(lock_);
            if (n > 0) {
                out_.append(buf, static_cast<size_t>(n));
            } else if (!(n < 0 && errno == EINTR)) {
                closed_ = true;  // the program's side is closed: it has ended
                changed_.notify_all();
                break;
            }
            changed_.notify_all();
        }
    }
    int master_ = -1;
    pid_t pid_ = -1;
    bool exited_ = false;
    std::thread reader_;
    std::atomic<bool> running_{true};
    std::mutex lock_;
    std::condition_variable changed_;  // new output, or the terminal closed
    bool closed_ = false;
    std::string out_;
};

const char kWaiting[] =
    "Einzelschritt: Return = n\xc3\xa4"
    "chster Satz, A = Automatik, Esc = Abbruch";
const char kRunning[] = "Automatik l\xc3\xa4uft - S = Einzelschritt, Esc = Abbruch";

TEST(SendDisplay, SingleStepOnATerminalReturnAThenSThenEscapeStopsTheController) {
    German german;
    TempDir dir;
    // More short cuts than the line carries in the few seconds the session lasts.
    std::string job = "G21 G90\nG0 X0 Y0 Z5\nG1 Z-1 F600\n";
    for (int i = 1; i <= 3000; ++i)
        job += "G1 X" + std::to_string(i % 20) + " Y" + std::to_string(i / 20) + "\n";
    WriteFile(dir.File("long.ngc"), job + "G0 Z5\nM30\n");
    std::string log = dir.File("received.bin");
    SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "9600", "--log", log});
    Terminal t({dir.File("long.ngc"), "--machine", kMachines + "b268.ini", "--port", sim.Path()});

    // The first block (Z only: the tabs of the empty X and Y columns expanded behind the
    // panel's "> " mark) is sent and shown; then the supervisor waits for the operator.
    size_t at = t.WaitFor("> G0" + std::string(52, ' ') + "Z5.000", 0);
    ASSERT_NE(std::string::npos, at) << t.Output();
    at = t.WaitFor(kWaiting, at);
    ASSERT_NE(std::string::npos, at) << t.Output();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(std::string::npos, t.Output().find("Z-1.000", at)) << "a block ran without Return";

    t.Type("\r");  // the plunge, with the Z feed
    at = t.WaitFor("> G1" + std::string(52, ' ') + "Z-1.000         F600.0", at);
    ASSERT_NE(std::string::npos, at) << t.Output();
    at = t.WaitFor("  X   Y   Z -1.000", at);
    ASSERT_NE(std::string::npos, at) << "the position (no X, Y yet)" << t.Output();
    at = t.WaitFor(kWaiting, at);
    ASSERT_NE(std::string::npos, at) << t.Output();

    t.Type("a");  // runs on by itself
    at = t.WaitFor(kRunning, at);
    ASSERT_NE(std::string::npos, at) << t.Output();
    at = t.WaitFor("> G1    X5.000", at);  // some blocks later
    ASSERT_NE(std::string::npos, at) << t.Output();

    t.Type("s");  // seen by the channel while it writes: single step at the next block
    at = t.WaitFor(kWaiting, at);
    ASSERT_NE(std::string::npos, at) << t.Output();

    t.Type("\x1b");
    EXPECT_EQ(1, t.Wait(30000)) << t.Output();
    std::string out = t.Output();
    EXPECT_NE(std::string::npos,
              out.find("korvat: aborted by the operator, the controller was told to stop; "
                       "stopped at block "))
        << out;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::string summary = sim.Stop();
    EXPECT_NE(std::string::npos, summary.find("aborts 1")) << summary;
    std::string received = ReadFile(log);
    const std::string abort = "\x1bO*A\r\n";
    ASSERT_GE(received.size(), abort.size());
    EXPECT_EQ(abort, received.substr(received.size() - abort.size())) << "nothing after the abort";
}

// In single step a helix is one step: its arc's line, with the end Z in the position, and the
// next Return brings the block after it; the Z it goes down is no block line of its own.
TEST(SendDisplay, InSingleStepAHelixIsOneStepShowingItsEndZ) {
    German german;
    TempDir dir;
    WriteFile(dir.File("job.ngc"),
              "G21 G90\nG0 X10 Y0 Z5\nG1 Z-1 F600\nG3 X-10 Y0 I-10 J0 Z-3\nG0 Z5\nM30\n");
    SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0"});
    Terminal t({dir.File("job.ngc"), "--machine", kMachines + "b268.ini", "--port", sim.Path()});
    size_t at = t.WaitFor(kWaiting, 0);
    ASSERT_NE(std::string::npos, at) << t.Output();
    t.Type("\r");  // the plunge
    at = t.WaitFor(kWaiting, t.WaitFor("Z-1.000", at));
    ASSERT_NE(std::string::npos, at) << t.Output();
    t.Type("\r");  // the helix
    at = t.WaitFor("> G3    X-10.000    Y0.000", at);
    ASSERT_NE(std::string::npos, at) << t.Output();
    at = t.WaitFor("  X -10.000  Y 0.000  Z -3.000", at);
    ASSERT_NE(std::string::npos, at) << t.Output();
    at = t.WaitFor(kWaiting, at);
    ASSERT_NE(std::string::npos, at) << t.Output();
    t.Type("\r");  // the retract
    at = t.WaitFor("> G0" + std::string(52, ' ') + "Z5.000", at);
    ASSERT_NE(std::string::npos, at) << t.Output();
    EXPECT_EQ(std::string::npos, t.Output().find("Z-3.000")) << t.Output();
    t.Type("\x1b");
    EXPECT_EQ(1, t.Wait(60000)) << t.Output();
}

// On a narrow terminal every line of the panel is cut to the width (one column spare, so the
// terminal never wraps and the panel stays in place), tabs expanded first and a character never
// cut in two.
TEST(SendDisplay, OnANarrowTerminalThePanelLinesAreCutToItsWidth) {
    German german;
    TempDir dir;
    WriteFile(dir.File("job.ngc"), kJob);
    SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0"});
    Terminal t({dir.File("job.ngc"), "--machine", kMachines + "b268.ini", "--port", sim.Path()},
               30);
    // 29 columns: "  " and 27 of the status; "ä" is one column of two bytes.
    size_t at = t.WaitFor(
        "\x1b[2K  Einzelschritt: Return = n\xc3\xa4"
        "c\r\n",
        0);
    ASSERT_NE(std::string::npos, at) << t.Output();
    // The first block: "> G0", a tab to column 8, " X10.000     Y20.000    " to column 31, cut.
    EXPECT_NE(std::string::npos, t.Output().find("\x1b[2K> G0    X10.000     Y20.000  \r\n"))
        << t.Output();
    t.Type("\x1b");
    EXPECT_EQ(1, t.Wait(30000)) << t.Output();
}

}  // namespace
}  // namespace korvat::test
