// korvat digitize run as a machinist runs it, against a tablet the test plays on a
// pseudo-terminal: the contours it saves (a DXF read back by ezdxf, a G-code program that
// `korvat approach` and `korvat post` take, the CSV of every report), bad input, a hang-up.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/golden.h"

namespace {

using korvat::test::Crlf;
using korvat::test::Golden;
using korvat::test::ReadFile;
using korvat::test::SameBytes;
using korvat::test::TempDir;

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The tablet's end of a line of its own, so that the test can hang it up.
class Tablet {
  public:
    Tablet() {
        termios raw{};
        cfmakeraw(&raw);
        char name[256];
        if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return;
        }
        path_ = name;
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
    }
    ~Tablet() {
        HangUp();
        if (slave_ >= 0) close(slave_);
    }
    const std::string& Path() const { return path_; }

    // Waits until the program has set the line up (two stop bits) and had time to discard what
    // was waiting, as a tablet is used only once its line is open.
    void WaitOpened() {
        long long until = NowMs() + 10000;
        termios t{};
        while (NowMs() < until && !(tcgetattr(master_, &t) == 0 && (t.c_cflag & CSTOPB))) Pause();
        ASSERT_TRUE(t.c_cflag & CSTOPB) << "korvat did not open the tablet's line";
        for (long long end = NowMs() + 800; NowMs() < end;) Pause();
    }
    void Send(const std::string& bytes) {
        size_t done = 0;
        for (long long until = NowMs() + 5000; done < bytes.size() && NowMs() < until;) {
            ssize_t w = write(master_, bytes.data() + done, bytes.size() - done);
            if (w > 0)
                done += static_cast<size_t>(w);
            else
                Pause();
        }
        ASSERT_EQ(done, bytes.size());
    }
    // Reads what the program sent, keeping it; waits a little for more.
    void Pause() {
        char b[512];
        ssize_t r;
        while ((r = read(master_, b, sizeof b)) > 0) received_.append(b, static_cast<size_t>(r));
        pollfd p{master_, POLLIN, 0};
        poll(&p, 1, 10);
    }
    const std::string& Received() const { return received_; }
    void HangUp() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1, slave_ = -1;
    std::string path_;
    std::string received_;
};

struct Outcome {
    int exit = -1;
    std::string out, err;
};

// korvat with args, in dir, without a terminal, in the background while the tablet plays.
class Korvat {
  public:
    Korvat(const std::string& dir, const std::vector<std::string>& args) : dir_(dir) {
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(dir.c_str()) != 0) _exit(127);
            int in = open("/dev/null", O_RDONLY);
            int out = open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(KORVAT_PROGRAM)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(KORVAT_PROGRAM, argv.data());
            _exit(127);
        }
    }
    // Waits for the end (the tablet keeps reading meanwhile); kills it after timeout_ms.
    Outcome Wait(Tablet* tablet, int timeout_ms = 20000) {
        Outcome r;
        int status = 0;
        long long until = NowMs() + timeout_ms;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (NowMs() > until) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                ADD_FAILURE() << "korvat digitize did not end";
                break;
            }
            if (tablet)
                tablet->Pause();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadFile(dir_ + "/.stdout");
        r.err = ReadFile(dir_ + "/.stderr");
        std::remove((dir_ + "/.stdout").c_str());
        std::remove((dir_ + "/.stderr").c_str());
        return r;
    }

  private:
    std::string dir_;
    pid_t pid_ = -1;
};

std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return "cannot run " + command;
    char b[4096];
    size_t n;
    while ((n = fread(b, 1, sizeof b, p)) > 0) out.append(b, n);
    int status = pclose(p);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        out += "[exit status " + std::to_string(WEXITSTATUS(status)) + "]";
    return out;
}

std::string Polylines(const std::string& dxf) {
    return Shell("/usr/bin/python3 " KORVAT_TEST_DIR "/read_polylines.py '" + dxf + "'");
}

// Model 2 reports end with CR alone.
std::string Report(const char* xy, int bits) {
    return std::string("+") + xy + "," + std::to_string(bits) + "\r";
}
// A button pressed and let go at one place.
std::string Press(const char* xy, int bits) { return Report(xy, bits) + Report(xy, 0); }

TEST(Digitize, ModelTwoSessionGivesPolylinesProgramAndReportList) {
    TempDir dir;
    Tablet tablet;
    Korvat korvat(dir.path(), {"digitize", "--port", tablet.Path(), "--model", "2", "-o",
                               "part.dxf", "-o", "part.ngc", "-o", "part.csv"});
    tablet.WaitOpened();
    // A square of 40 x 20 with a stray point taken back, closed; then an open line of three
    // points; then a contour given up (new contour on an empty one, a close with one point).
    tablet.Send(Press("10:10", 1) + Press("50:10", 1) + Press("77:77", 1) + Press("77:77", 4) +
                Press("50:30", 1) + Press("10:30", 1) + Press("10:30", 2) + Press("0:0", 1) +
                Report("5:5", 1) + Report("5:5", 1) + Report("5:5", 3) + Report("5:5", 0) +
                Press("5:0", 1) + Press("5:0", 8) + Press("5:0", 8) + Press("9:9", 1) +
                Press("9:9", 2) + Press("9:9", 4) + Press("9:9", 16));
    Outcome r = korvat.Wait(&tablet);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "part.dxf\npart.ngc\npart.csv\n");
    EXPECT_EQ(r.err, "korvat: 7 points in 2 contours\n");

    EXPECT_EQ(Polylines(dir.File("part.dxf")),
              "errors 0\n"
              "POLYLINE 1 closed 10,10 50,10 50,30 10,30\n"
              "POLYLINE 1 open 0,0 5,5 5,0\n");
    EXPECT_TRUE(SameBytes(Golden("session.ngc"), ReadFile(dir.File("part.ngc"))));
    EXPECT_TRUE(SameBytes(Crlf(Golden("session.csv")), ReadFile(dir.File("part.csv"))));
}

TEST(Digitize, ModelOneContourScaledGoesThroughApproachAndPost) {
    TempDir dir;
    Tablet tablet;
    Korvat korvat(dir.path(), {"digitize", "--port", tablet.Path(), "--model", "1", "--scale",
                               "0.1", "--offset", "5", "-2.5", "-o", "slot.ngc", "-o", "slot.dxf"});
    tablet.WaitOpened();
    // Each button is followed by the point where it was pressed; a point without a button
    // before it is the cursor only.
    tablet.Send(
        "0@00 0 25\r\n"
        "@00 999 999\r\n"
        "0@00 400 25\r\n"
        "0@00 400 225\r\n"
        "5@00 1 1\r\n"
        "0@00 0 225\r\n"
        "1@00 0 225\r\n"
        "8");
    Outcome r = korvat.Wait(&tablet);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.err, "korvat: 4 points in 1 contour\n");
    EXPECT_EQ(Polylines(dir.File("slot.dxf")),
              "errors 0\n"
              "POLYLINE 1 closed 5,0 45,0 45,20 5,20\n");
    EXPECT_TRUE(SameBytes(Golden("slot.ngc"), ReadFile(dir.File("slot.ngc"))));

    std::string korvat_ = "cd '" + dir.path() + "' && '" KORVAT_PROGRAM "' ";
    EXPECT_EQ(Shell(korvat_ + "approach slot.ngc slot.eaw --final-depth 1 >/dev/null"), "");
    EXPECT_EQ(Shell(korvat_ + "post slot.ngc --machine iso -o slot.nc >/dev/null"), "");
}

TEST(Digitize, UnreadableReportsAreNamedAndTheSessionGoesOn) {
    TempDir dir;
    Tablet tablet;
    Korvat korvat(dir.path(), {"digitize", "--port", tablet.Path(), "--model", "2", "-o", "p.csv"});
    tablet.WaitOpened();
    tablet.Send(Press("1:2", 1) + "+1;2,1\r" + "#noise\r" + Press("3:4", 1) + Press("3:4", 16));
    Outcome r = korvat.Wait(&tablet);
    EXPECT_EQ(r.exit, 0);
    std::string port = tablet.Path();
    EXPECT_EQ(r.err, "korvat: " + port + ": unreadable report \"+1;2,1\" ignored\n" +
                         "korvat: " + port + ": unreadable report \"#noise\" ignored\n" +
                         "korvat: 2 points in 1 contour\n");
}

TEST(Digitize, HangUpSavesThePointsAndExitsWithOne) {
    for (const char* model : {"1", "2"}) {
        TempDir dir;
        Tablet tablet;
        Korvat korvat(dir.path(),
                      {"digitize", "--port", tablet.Path(), "--model", model, "-o", "p.dxf"});
        tablet.WaitOpened();
        if (model[0] == '1')
            tablet.Send("0@00 1 2\r\n0@00 3 4\r\n");
        else
            tablet.Send(Press("1:2", 1) + Press("3:4", 1));
        for (long long end = NowMs() + 1000; NowMs() < end;) tablet.Pause();
        tablet.HangUp();
        Outcome r = korvat.Wait(nullptr);
        EXPECT_EQ(r.exit, 1) << model;
        EXPECT_EQ(r.err, "korvat: " + tablet.Path() +
                             ": the tablet hung up; 2 points in 1 contour saved\n");
        EXPECT_EQ(Polylines(dir.File("p.dxf")), "errors 0\nPOLYLINE 1 open 1,2 3,4\n");
    }
}

TEST(Digitize, AReportCutOffEndsTheSessionAndSavesThePoints) {
    TempDir dir;
    Tablet tablet;
    Korvat korvat(dir.path(), {"digitize", "--port", tablet.Path(), "--model", "2", "-o", "p.csv"});
    tablet.WaitOpened();
    tablet.Send(Press("1:2", 1) + "+3:4");
    Outcome r = korvat.Wait(&tablet);
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "korvat: " + tablet.Path() +
                         ": the tablet stopped in the middle of a report (no line end within "
                         "5.5 s); 1 point in 0 contours saved\n");
    EXPECT_EQ(ReadFile(dir.File("p.csv")),
              "key,action,tablet_x,tablet_y,x_mm,y_mm\r\n"
              "100,add,1,2,1.0000,2.0000\r\n"
              "101,cursor,1,2,1.0000,2.0000\r\n");
}

TEST(Digitize, BadPortOrOutputStopsBeforeAnything) {
    TempDir dir;
    Outcome r = Korvat(dir.path(),
                       {"digitize", "--port", "/nonexistent/tablet", "--model", "1", "-o", "p.dxf"})
                    .Wait(nullptr);
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "korvat: /nonexistent/tablet: cannot be opened as the tablet's line\n");
    EXPECT_EQ(Shell("ls -A '" + dir.path() + "'"), "");

    r = Korvat(dir.path(), {"digitize", "--port", "/dev/null", "--model", "3", "-o", "p.dxf"})
            .Wait(nullptr);
    EXPECT_EQ(r.exit, 2);
    r = Korvat(dir.path(), {"digitize", "--port", "/dev/null", "--model", "1", "-o", "p.txt"})
            .Wait(nullptr);
    EXPECT_EQ(r.exit, 2);
}

}  // namespace
