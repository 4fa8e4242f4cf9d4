// Scripted sessions on the simulated tablets (`korvat sim tablet1|tablet2`) traced with
// `korvat digitize`: the drawing ezdxf reads, the G-code contour `korvat approach` takes, the
// tablet's faults (a hang-up and a garbled report on either model, a report cut off), and the
// model-2 tablet's own check of the start-up bytes.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process.h"
#include "tests/support/sim.h"

namespace korvat::test {
namespace {

const std::string kSessions = std::string(KORVAT_TEST_DIR) + "/sessions/";

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string Polylines(const std::string& dxf) {
    return Shell("/usr/bin/python3 " KORVAT_TEST_DIR "/read_polylines.py " + Quote(dxf) + " 2>&1");
}

// The simulator's stderr held no protocol problem: only its closing summary.
void ExpectNoProblems(const std::string& err, const char* name) {
    EXPECT_EQ(err.rfind(std::string("korvat sim ") + name + ": ", 0), 0u) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}

TEST(TabletSession, ModelTwoScriptGivesTheDrawingWithoutProtocolProblems) {
    TempDir dir;
    SimProcess tablet(KORVAT_PROGRAM, {"tablet2", "--script", kSessions + "plate.tablet2"});
    Outcome r = RunKorvat(dir.path(), "digitize --port " + tablet.Path() +
                                          " --model 2 --scale 0.01 -o plate.dxf -o plate.csv");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.err, "korvat: 6 points in 2 contours\n");
    EXPECT_EQ(Polylines(dir.File("plate.dxf")),
              "errors 0\n"
              "POLYLINE 1 closed 10,10 90,10 90,50 10,50\n"
              "POLYLINE 1 open 20,25 80,25\n");
    ExpectNoProblems(tablet.Stop(), "tablet2");
}

TEST(TabletSession, ModelOneContourGoesThroughApproach) {
    TempDir dir;
    SimProcess tablet(KORVAT_PROGRAM, {"tablet1", "--script", kSessions + "slot.tablet1"});
    Outcome r =
        RunKorvat(dir.path(), "digitize --port " + tablet.Path() +
                                  " --model 1 --scale 0.1 -o slot.ngc -o slot.dxf -o slot.csv");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.err, "korvat: 4 points in 1 contour\n");
    EXPECT_EQ(Polylines(dir.File("slot.dxf")),
              "errors 0\nPOLYLINE 1 closed 10,10 50,10 50,30 10,30\n");
    EXPECT_TRUE(korvat::test::SameBytes(korvat::test::Crlf(korvat::test::Golden("slot.csv")),
                                        ReadFile(dir.File("slot.csv"))));
    Outcome a = RunKorvat(dir.path(), "approach slot.ngc slot.eaw --final-depth 2");
    EXPECT_EQ(a.exit, 0) << a.err;
    ExpectNoProblems(tablet.Stop(), "tablet1");
}

TEST(TabletSession, HangUpInTheMiddleSavesThePointsAndExitsWithOne) {
    for (const char* model : {"1", "2"}) {
        TempDir dir;
        std::string script = kSessions + (model[0] == '1' ? "slot.tablet1" : "plate.tablet2");
        SimProcess tablet(KORVAT_PROGRAM, {std::string("tablet") + model, "--script", script,
                                           "--hangup-after-commands", "3"});
        Outcome r = RunKorvat(
            dir.path(), "digitize --port " + tablet.Path() + " --model " + model + " -o p.dxf");
        EXPECT_EQ(r.exit, 1) << model;
        EXPECT_EQ(r.err, "korvat: " + tablet.Path() +
                             ": the tablet hung up; 3 points in 1 contour saved\n")
            << model;
        std::string expected = model[0] == '1'
                                   ? "errors 0\nPOLYLINE 1 open 100,100 500,100 500,300\n"
                                   : "errors 0\nPOLYLINE 1 open 1000,1000 9000,1000 9000,5000\n";
        EXPECT_EQ(Polylines(dir.File("p.dxf")), expected) << model;
        EXPECT_TRUE(tablet.WaitExit(5000));
    }
}

TEST(TabletSession, GarbledReportIsNamedCutReportEndsTheSession) {
    {
        TempDir dir;
        SimProcess tablet(KORVAT_PROGRAM, {"tablet2", "--script", kSessions + "plate.tablet2",
                                           "--fault", "garbage", "--fault-after", "1"});
        Outcome r =
            RunKorvat(dir.path(), "digitize --port " + tablet.Path() + " --model 2 -o p.csv");
        EXPECT_EQ(r.exit, 0);
        EXPECT_EQ(r.err, "korvat: " + tablet.Path() + ": unreadable report \"+%$x7:##\" ignored\n" +
                             "korvat: 6 points in 2 contours\n");
    }
    {
        TempDir dir;
        SimProcess tablet(KORVAT_PROGRAM, {"tablet1", "--script", kSessions + "slot.tablet1",
                                           "--fault", "cut", "--fault-after", "2"});
        Outcome r =
            RunKorvat(dir.path(), "digitize --port " + tablet.Path() + " --model 1 -o p.dxf");
        EXPECT_EQ(r.exit, 1);
        EXPECT_EQ(r.err, "korvat: " + tablet.Path() +
                             ": the tablet stopped in the middle of a report (no line end within "
                             "5.5 s); 2 points in 1 contour saved\n");
        EXPECT_EQ(Polylines(dir.File("p.dxf")), "errors 0\nPOLYLINE 1 open 100,100 500,100\n");
    }
}

TEST(TabletSession, ModelTwoTabletChecksTheStartUpBytes) {
    SimProcess tablet(KORVAT_PROGRAM, {"tablet2"});
    int fd = open(tablet.Path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    const std::string wrong =
        "\x1bM02\r\x1b"
        "A\r\x1b"
        "A\r\x1b"
        "A\r";
    ASSERT_EQ(write(fd, wrong.data(), wrong.size()), static_cast<ssize_t>(wrong.size()));
    usleep(300000);
    close(fd);
    std::string err = tablet.Stop();
    EXPECT_NE(
        err.find("korvat sim: start-up bytes were <ESC>M02<CR><ESC>A<CR><ESC>A<CR><ESC>A<CR>, "
                 "expected <ESC>M03<CR><ESC>A<CR><ESC>A<CR><ESC>A<CR>\n"),
        std::string::npos)
        << err;
}

}  // namespace
}  // namespace korvat::test
