// korvat digitize run as a machinist runs it, against a tablet the test plays on a
// pseudo-terminal: the contours it saves (a DXF read back by ezdxf, a G-code program that
// `korvat approach` and `korvat post` take, the CSV of every report), bad input, a hang-up.
#include <signal.h>
#include <termios.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process.h"
#include "tests/support/pty.h"

namespace korvat::test {
namespace {

// The tablet's end of a line of its own, reading what the program sends all along.
class Tablet : public PtyPeer {
  public:
    Tablet() { StartReading(); }
    const std::string& Path() const { return SlavePath(); }
    // Waits until the program has set the line up (two stop bits) and had time to discard what
    // was waiting, as a tablet is used only once its line is open.
    void WaitOpened() {
        termios t{};
        for (int i = 0; i < 1000 && !(tcgetattr(Slave(), &t) == 0 && (t.c_cflag & CSTOPB)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(t.c_cflag & CSTOPB) << "korvat did not open the tablet's line";
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    }
};

// korvat with args, in dir, without a terminal, in the background while the tablet plays.
class Korvat {
  public:
    Korvat(const std::string& dir, const std::vector<std::string>& args) : dir_(dir) {
        std::string command = "cd '" + dir + "' && exec '" KORVAT_PROGRAM "'";
        for (const std::string& a : args) command += " '" + a + "'";
        pid_ = Spawn({"/bin/sh", "-c", command + " >.stdout 2>.stderr </dev/null"}, {});
    }
    // Waits for the end; kills it after timeout_ms.
    Outcome Wait(int timeout_ms = 20000) {
        Outcome r;
        if (pid_ > 0 && !WaitChild(pid_, timeout_ms, &r.exit)) {
            kill(pid_, SIGKILL);
            WaitChild(pid_, 5000);
            ADD_FAILURE() << "korvat digitize did not end";
        }
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

// What a command line printed on stdout and stderr, and its exit status when not 0.
std::string ShellAll(const std::string& command) {
    int code = 0;
    std::string out = Shell(command + " 2>&1", &code);
    return code == 0 ? out : out + "[exit status " + std::to_string(code) + "]";
}

std::string Polylines(const std::string& dxf) {
    return ShellAll("/usr/bin/python3 " KORVAT_TEST_DIR "/read_polylines.py '" + dxf + "'");
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
    Outcome r = korvat.Wait();
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
    Outcome r = korvat.Wait();
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.err, "korvat: 4 points in 1 contour\n");
    EXPECT_EQ(Polylines(dir.File("slot.dxf")),
              "errors 0\n"
              "POLYLINE 1 closed 5,0 45,0 45,20 5,20\n");
    EXPECT_TRUE(SameBytes(Golden("slot.ngc"), ReadFile(dir.File("slot.ngc"))));

    std::string korvat_ = "cd '" + dir.path() + "' && '" KORVAT_PROGRAM "' ";
    EXPECT_EQ(ShellAll(korvat_ + "approach slot.ngc slot.eaw --final-depth 1 >/dev/null"), "");
    EXPECT_EQ(ShellAll(korvat_ + "post slot.ngc --machine iso -o slot.nc >/dev/null"), "");
}

TEST(Digitize, AReportCutOffEndsTheSessionAndSavesThePoints) {
    TempDir dir;
    Tablet tablet;
    Korvat korvat(dir.path(), {"digitize", "--port", tablet.Path(), "--model", "2", "-o", "p.csv"});
    tablet.WaitOpened();
    tablet.Send(Press("1:2", 1) + "+3:4");
    Outcome r = korvat.Wait();
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
                    .Wait();
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "korvat: /nonexistent/tablet: cannot be opened as the tablet's line\n");
    EXPECT_EQ(ShellAll("ls -A '" + dir.path() + "'"), "");

    r = Korvat(dir.path(), {"digitize", "--port", "/dev/null", "--model", "3", "-o", "p.dxf"})
            .Wait();
    EXPECT_EQ(r.exit, 2);
    r = Korvat(dir.path(), {"digitize", "--port", "/dev/null", "--model", "1", "-o", "p.txt"})
            .Wait();
    EXPECT_EQ(r.exit, 2);
}

}  // namespace
}  // namespace korvat::test
