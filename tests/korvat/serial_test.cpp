// korvat on a serial line whose machine stops reading or hangs up: a run without a terminal
// never waits forever. It follows --on-timeout and says what it decided; a hang-up is an error
// naming the port. The machine is a pseudo-terminal peer; every run ends in bounded time.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/process.h"
#include "tests/support/pty.h"

namespace korvat::test {
namespace {

// A job far longer than the pseudo-terminal's buffer. The machine is a CTORVE engraver: its
// writer leaves the line's standard time-out (3 s a block) as it is, so the test stays short.
std::string LongJob() {
    std::string job;
    for (int i = 0; i < 40000; ++i) job += "SStringln 0 A\n";
    return job;
}

class StalledLine : public ::testing::Test {
  protected:
    void SetUp() override {
        peer_.ExportAs("KORVAT_COM7");
        WriteFile(dir_.File("line.ini"),
                  "[machine]\nclass = CTORVE\nport = yes\n[MaschEinstellung]\nSchnittstelle = 7\n"
                  "Baudrate = 115200\n");
        WriteFile(dir_.File("long.calls"), LongJob());
    }
    PtyPeer peer_;
    TempDir dir_;
};

TEST_F(StalledLine, AMachineThatStopsReadingEndsTheRunByDefault) {
    auto start = std::chrono::steady_clock::now();
    Outcome r = RunKorvat(dir_.path(), "post long.calls --machine line.ini -o out.tor");
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(1, r.exit);
    EXPECT_LT(seconds, 40.0);
    EXPECT_NE(std::string::npos, r.err.find("not waiting (--on-timeout abort)")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("korvat: out.tor: not written: ")) << r.err;
    EXPECT_EQ("line.ini\nlong.calls\n", AllFiles(dir_.path()));
}

TEST_F(StalledLine, WaitKeepsWaitingUntilTheMachineReadsAgain) {
    std::thread machine([this] {
        std::this_thread::sleep_for(std::chrono::seconds(12));
        peer_.StartReading();
    });
    Outcome r =
        RunKorvat(dir_.path(), "--on-timeout wait post long.calls --machine line.ini -o out.tor");
    machine.join();
    EXPECT_EQ(0, r.exit) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("waiting again (--on-timeout wait)")) << r.err;
    // Without a terminal no waiting is shown: --on-timeout speaks for the run.
    EXPECT_EQ(std::string::npos, r.err.find("waiting for the machine")) << r.err;
}

TEST_F(StalledLine, OnATerminalAWaitOfASecondSaysWhatItWaitsForUntilItGoesOn) {
    PtyPeer terminal;  // korvat's stderr
    terminal.StartReading();
    std::thread machine([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2200));
        peer_.StartReading();
    });
    pid_t pid = fork();
    if (pid == 0) {
        int tty = open(terminal.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        int none = open("/dev/null", O_RDWR);
        if (tty < 0 || none < 0 || chdir(dir_.path().c_str()) != 0) _exit(99);
        dup2(none, 0);
        dup2(none, 1);
        dup2(tty, 2);
        execl(KORVAT_PROGRAM, "korvat", "--on-timeout", "wait", "post", "long.calls", "--machine",
              "line.ini", "-o", "out.tor", static_cast<char*>(nullptr));
        _exit(98);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    waitpid(pid, &status, 0);
    machine.join();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string shown = terminal.WaitCollected(1000000, 300);
    std::string waiting = "\r\033[Kkorvat: waiting for the machine on " + peer_.SlavePath() +
                          " to take more (it holds the line or its buffer is full)...";
    size_t at = shown.find(waiting);
    EXPECT_NE(std::string::npos, at) << shown;
    // Cleared when the machine takes data again.
    EXPECT_NE(std::string::npos, shown.find("\r\033[K", at + waiting.size())) << shown;
}

TEST_F(StalledLine, ASignalRemovesTheWorkFolderAndEndsWith128PlusItsNumber) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir_.path().c_str()) != 0) _exit(99);
            execl(KORVAT_PROGRAM, "korvat", "post", "long.calls", "--machine", "line.ini", "-o",
                  "out.tor", static_cast<char*>(nullptr));
            _exit(98);
        }
        ASSERT_GT(pid, 0);
        // Waits for the work folder, in which the writer is stuck on the full line.
        std::string listing;
        for (int i = 0; i < 500 && listing.find(".out.tor.korvat") == std::string::npos; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            listing = AllFiles(dir_.path());
        }
        EXPECT_NE(std::string::npos, listing.find(".out.tor.korvat")) << listing;
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(128 + signal, WEXITSTATUS(status));
        EXPECT_EQ("line.ini\nlong.calls\n", AllFiles(dir_.path()));
    }
}

TEST_F(StalledLine, AHangUpEndsThePostAtOnceNamingThePort) {
    std::thread machine([this] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        peer_.HangUp();
    });
    auto start = std::chrono::steady_clock::now();
    Outcome r =
        RunKorvat(dir_.path(), "--on-timeout wait post long.calls --machine line.ini -o out.tor");
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    machine.join();
    EXPECT_EQ(1, r.exit);
    EXPECT_LT(seconds, 20.0);  // --on-timeout wait would otherwise wait on for ever
    EXPECT_EQ("korvat: out.tor: not written: the line " + peer_.SlavePath() +
                  " hung up: the machine or its adapter is gone (error 1022)\n",
              r.err);
    EXPECT_EQ("line.ini\nlong.calls\n", AllFiles(dir_.path()));
}

TEST_F(StalledLine, ABusyPortIsReportedBusyWithItsPath) {
    int other = open(peer_.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(0, flock(other, LOCK_EX | LOCK_NB));
    Outcome r = RunKorvat(dir_.path(), "post long.calls --machine line.ini -o out.tor");
    close(other);
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ("korvat: out.tor: the machine's port " + peer_.SlavePath() +
                  " (\\\\.\\COM7) is busy: another program has it open (error 1023)\n",
              r.err);
    EXPECT_EQ("line.ini\nlong.calls\n", AllFiles(dir_.path()));
}

TEST(OnTimeout, OnlyAbortAndWaitAreTaken) {
    TempDir dir;
    Outcome r = RunKorvat(dir.path(), "--on-timeout later post");
    EXPECT_EQ(2, r.exit);
}

}  // namespace
}  // namespace korvat::test
