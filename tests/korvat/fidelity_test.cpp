// Programs that do what the job says: rapid moves in a safe order, arcs at their depth, tools
// the profile describes, approach options that make sense. Whole programs are compared with
// hand-written ones.
#include <string>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace korvat::test {
namespace {

const std::string kJobs = std::string(KORVAT_TEST_DIR) + "/jobs/";

// Posts job with the profile (an example name or a file in dir); returns the program.
std::string Post(const TempDir& dir, const std::string& job, const std::string& machine,
                 const std::string& output) {
    Outcome r = RunKorvat(dir.path(), "post " + job + " --machine " + machine + " -o " + output);
    EXPECT_EQ(0, r.exit) << r.err;
    return ReadFile(dir.File(output));
}

TEST(RapidOrder, TwoBlockWritersLiftBeforeTravellingAndTravelBeforeSinking) {
    TempDir dir;
    WriteFile(dir.File("hdh.ini"),
              "[machine]\nclass = CHDH\n[MaschEinstellung]\nOptionen = 64\n"
              "Nachkommastellen = 3\nHdhOptionen = U\n");
    EXPECT_TRUE(
        SameBytes(Crlf(Golden("rapids.H")), Post(dir, kJobs + "rapids.calls", "hdh.ini", "out.H")));
    EXPECT_TRUE(
        SameBytes(Crlf(Golden("rapids.vhf")), Post(dir, kJobs + "rapids.calls", "vhf", "out.vhf")));
}

TEST(ArcDepth, AnArcAfterARapidMoveIntoTheMaterialIsCutAtThatDepth) {
    // HPGL's arc command carries no depth: the depth command (2 mm) must come before it.
    TempDir dir;
    EXPECT_TRUE(SameBytes(Crlf(Golden("rapid-into-arc.plt")),
                          Post(dir, kJobs + "rapid-into-arc.ngc", "hpgl-engraving", "out.plt")));
}

TEST(ArcDepth, AHelixEndsAtItsDepthAndTheCircleAfterItIsCutThere) {
    // None of these dialects has a helix: it goes out as chords (100 for this one), the last
    // at the full depth of 1 mm, where the full circle and the line after it are cut.
    struct Case {
        const char* machine;
        std::string tail;
    };
    const Case cases[] = {
        {"hpgl-engraving", "PA1000,0;\r\n!PZ100,  0;\r\nAA0,0,-360.000;\r\nPA2000,0;\r\nPU;"},
        {"ctorve", "PD1000,0,100;\r\nSF2;\r\nAA0,0,-360.0000;\r\nPD2000,0,100;\r\nPU;\r\n"},
        {"vhf", "PA1000,0,-100;\r\nVS1667;\r\nAA0,0,-360.0000;\r\nPA2000,0,-100;\r\nGA,,500;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine);
        TempDir dir;
        std::string program = Post(dir, kJobs + "helix-then-circle.ngc", c.machine, "out.prg");
        EXPECT_NE(std::string::npos, program.find(c.tail)) << program;
    }
}

TEST(Tools, AToolTheProfileDoesNotDescribeIsRefusedWhereItsSizeIsWritten) {
    TempDir dir;
    WriteFile(dir.File("t7.ngc"), "T7 M6\nG0 X1 Y1 Z5\n");
    for (const char* machine : {"heidenhain", "czorb", "datron"}) {
        SCOPED_TRACE(machine);
        Outcome r =
            RunKorvat(dir.path(), std::string("post t7.ngc --machine ") + machine + " -o out.prg");
        EXPECT_EQ(1, r.exit);
        std::string profile =
            std::string(KORVAT_SOURCE_DIR) + "/examples/machines/" + machine + ".ini";
        std::string cls = machine[0] == 'h' ? "CHDH" : machine[0] == 'c' ? "CZORB" : "CKESTL1";
        EXPECT_EQ("korvat: " + profile +
                      ": the job uses tool 7, which has no [tool 7] here; class " + cls +
                      " passes the tool's size on to the machine\n",
                  r.err);
        EXPECT_EQ("t7.ngc\n", AllFiles(dir.path()));
    }
    // CDIN writes the number alone: no size comment with a diameter of 0.
    EXPECT_EQ("T7 M6\r\nG0 X1.000 Y1.000 Z5.000\r\n", Post(dir, "t7.ngc", "iso", "t7.nc"));
}

// ---- The program end -----------------------------------------------------------------------

const std::string kEndJob = "G0 X0 Y0 Z5\nG1 Z-1 F100\nG1 X10\n";
// Its moves as the plain ISO writers write them.
const std::string kIsoBlocks =
    "G0 X0.000 Y0.000 Z5.000\r\n"
    "G1 X0.000 Y0.000 Z-1.000 F100\r\n"
    "G1 X10.000 Y0.000 Z-1.000\r\n";
// The job with each ending, in dir: m30.ngc and m2.ngc.
void WriteEndJobs(const TempDir& dir) {
    WriteFile(dir.File("m30.ngc"), kEndJob + "M30\n");
    WriteFile(dir.File("m2.ngc"), kEndJob + "M2\n");
}

TEST(ProgramEnd, ADialectWithoutAnEndOfItsOwnEndsWithTheJobsWordAsItsLastBlock) {
    TempDir dir;
    WriteEndJobs(dir);
    EXPECT_TRUE(SameBytes(kIsoBlocks + "M30\r\n", Post(dir, "m30.ngc", "iso", "m30.nc")));
    EXPECT_TRUE(SameBytes(kIsoBlocks + "M2\r\n", Post(dir, "m2.ngc", "iso", "m2.nc")));
    // Numbered like every other block (from 10, two decimals, modal motion words).
    EXPECT_TRUE(
        SameBytes("N10 G0 X0.00 Y0.00 Z5.00\r\n"
                  "N11 G1 X0.00 Y0.00 Z-1.00 F100\r\n"
                  "N12 X10.00 Y0.00 Z-1.00\r\n"
                  "N13 M2\r\n",
                  Post(dir, "m2.ngc", kJobs + "numbered.ini", "numbered.din")));
    // Heidenhain: a block of its own, as the writer writes M5 and M13.
    EXPECT_TRUE(
        SameBytes("0 L X0.000 Y0.000 FMAX\r\n"
                  "1 L Z5.000 FMAX\r\n"
                  "2 L X0.000 Y0.000 Z-1.000 F100\r\n"
                  "3 L X10.000 Y0.000 Z-1.000\r\n"
                  "4 M30\r\n",
                  Post(dir, "m30.ngc", "heidenhain", "m30.H")));
}

TEST(ProgramEnd, ADialectThatEndsTheProgramItselfEndsItOnce) {
    TempDir dir;
    WriteEndJobs(dir);
    // Option 16384: the writer's own M30 at the close, whether the job said M30 or M2.
    EXPECT_TRUE(SameBytes("%end G71\r\n" + kIsoBlocks + "M30\r\n",
                          Post(dir, "m30.ngc", "din-16384", "end.nc")));
    EXPECT_TRUE(SameBytes("%end G71\r\n" + kIsoBlocks + "M30\r\n",
                          Post(dir, "m2.ngc", "din-16384", "end.nc")));
    // Dialect 19: the byte EOT after the last line ends it.
    EXPECT_TRUE(SameBytes(kIsoBlocks + "\x04", Post(dir, "m30.ngc", "din-19", "eot.nc")));
}

TEST(ProgramEnd, NothingFollowsTheEndNotEvenASpeedNoMoveTookUp) {
    // Option 8192 writes a new speed as a block "G97 S" after the next block: a speed given
    // with the end would come after it.
    TempDir dir;
    WriteFile(dir.File("s.ngc"), kEndJob + "S12000 M30\n");
    std::string program = Post(dir, "s.ngc", "din-8192", "s.nc");
    EXPECT_EQ(program.size() - 5, program.rfind("\r\nM30\r\n") + 2) << program;
    EXPECT_EQ(std::string::npos, program.find("G97")) << program;
}

TEST(ProgramEnd, PlotAndRecordDialectsHaveNoEndWordAndStayAsTheyWere) {
    // Their close is the end ("T0;", "SP0;", the DXF EOF, the record file's last group,
    // Datron's closing remark); an M word has no place in them.
    // The same names in two folders, as some of them write the program's name.
    TempDir ends, open;
    WriteFile(ends.File("job.ngc"), kEndJob + "M30\n");
    WriteFile(open.File("job.ngc"), kEndJob);
    for (const char* machine :
         {"hpgl-engraving", "hpgl-plotter", "datron", "dxf", "vhf", "ctorve", "czorb"}) {
        SCOPED_TRACE(machine);
        std::string ended = Post(ends, "job.ngc", machine, "job.prg");
        EXPECT_FALSE(ended.empty());
        EXPECT_TRUE(SameBytes(Post(open, "job.ngc", machine, "job.prg"), ended));
    }
}

TEST(Approach, OptionsThatWouldBreakTheToolAreRefused) {
    TempDir dir;
    WriteFile(dir.File("c.ngc"), "G0 X0 Y0\nG1 X10 F1000\nG1 Y10\nG1 X0\nG1 Y0\n");
    const char* cases[][2] = {
        {"--safe-height -5", "--safe-height -5: must be above the surface (more than 0)"},
        {"--feed 0", "--feed 0: must be more than 0 mm/min"},
        {"--feed -100", "--feed -100: must be more than 0 mm/min"},
        {"--plunge-feed 0", "--plunge-feed 0: must be more than 0 mm/min"},
        {"--speed -5", "--speed -5: must be 0 (no spindle words) or more"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c[0]);
        Outcome r =
            RunKorvat(dir.path(), std::string("approach c.ngc out.nc --machine iso ") + c[0]);
        EXPECT_EQ(1, r.exit);
        EXPECT_EQ(std::string("korvat: ") + c[1] + "\n", r.err);
        EXPECT_EQ("c.ngc\n", AllFiles(dir.path()));
    }
}

TEST(Approach, TheRampDownRunsAtThePlungeFeed) {
    // The example profile leaves plunge-feed adaption off: the program itself must switch to
    // the plunge feed for the ramp and back for the cut. A square of 10 mm; the ramp falls
    // 1 in 20 (tan 2.8624 degrees) to 0.75 mm, reached halfway along the second side.
    TempDir dir;
    WriteFile(dir.File("c.ngc"), "G0 X0 Y0\nG1 X10 F1000\nG1 Y10\nG1 X0\nG1 Y0\n");
    Outcome r = RunKorvat(dir.path(),
                          "approach c.ngc out.nc --machine iso --angle "
                          "2.862405226111748 --final-depth 0.75 --feed 1000 "
                          "--plunge-feed 200");
    ASSERT_EQ(0, r.exit) << r.err;
    EXPECT_TRUE(SameBytes(Crlf(Golden("approach-plunge.nc")), ReadFile(dir.File("out.nc"))));
    // The summary names the user's contour, never korvat's work folder or its calls.
    EXPECT_EQ(0u, r.err.find("korvat: c.ngc posted for ")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find(".korvat")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("contour.calls")) << r.err;

    // So does an error the writer's side finds in the approached path.
    r = RunKorvat(dir.path(), "approach c.ngc out2.nc --machine iso --feed 1e39");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ("korvat: c.ngc: the approached path: '1e+39' does not fit a 32-bit float\n", r.err);
    EXPECT_EQ("c.ngc\nout.nc\n", AllFiles(dir.path()));
}

}  // namespace
}  // namespace korvat::test
