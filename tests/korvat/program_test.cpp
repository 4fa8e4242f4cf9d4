// The korvat program run as a machinist runs it: programs for every example profile compared
// byte for byte with hand-written ones, G-code jobs posted for the plain ISO machine and read
// back by LinuxCNC's rs274 next to the job itself, bad input of every kind, the preview.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/element.h"

#include "tests/support/golden.h"
#include "tests/support/process.h"
#include "tests/support/pty.h"
#include "tests/support/rs274.h"

namespace korvat::test {
namespace {

const std::string kJobs = std::string(KORVAT_TEST_DIR) + "/jobs/";

TEST(ExampleProfiles, EachWritesItsDialectByteForByte) {
    for (const char* name :
         {"iso", "din-13", "din-15", "din-19", "din-20", "din-8192", "din-16384"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        Outcome r = RunKorvat(
            dir.path(), "post " + kJobs + "dialects.ngc --machine " + name + " -o dialects.nc");
        ASSERT_EQ(0, r.exit) << r.err;
        EXPECT_TRUE(
            SameBytes(Crlf(Golden(std::string(name) + ".nc")), ReadFile(dir.File("dialects.nc"))));
        EXPECT_EQ("dialects.nc\n", AllFiles(dir.path()));  // no work files left behind
    }
}

TEST(ExampleProfiles, ADottedOutputNameGivesThatFileAndNoWorkFiles) {
    // The DXF writer reads the dot in "plate.v2" as the start of an extension.
    TempDir dir;
    Outcome r =
        RunKorvat(dir.path(), "post " + kJobs + "dialects.ngc --machine dxf -o plate.v2.dxf");
    ASSERT_EQ(0, r.exit) << r.err;
    EXPECT_EQ("plate.v2.dxf\n", AllFiles(dir.path()));
    EXPECT_EQ(0u, ReadFile(dir.File("plate.v2.dxf")).rfind("  0\r\nSECTION\r\n", 0));
}

TEST(BuiltInExample, PostsForThePlainIsoMachineAndSaysWhere) {
    TempDir dir;
    Outcome r = RunKorvat(dir.path(), "post");
    ASSERT_EQ(0, r.exit) << r.err;
    EXPECT_EQ("korvat-example.nc\n", r.out);
    EXPECT_EQ(
        "korvat: example.ngc (built in) posted for iso.ini (built in) (CDIN): 32 blocks, 776 "
        "bytes, 2 tool changes, estimated time 0:00:34\n",
        r.err);
    std::string program = ReadFile(dir.File("korvat-example.nc"));
    EXPECT_EQ(776u, program.size());
}

TEST(CallScript, EveryCallReachesTheWriterWithTheProfilesSettings) {
    // Block numbers from 10, two decimals and modal motion words come from the profile; the
    // call script gives rapid, feed, helical, degenerate and empty arcs, raw lines, stop, dwell.
    TempDir dir;
    Outcome r = RunKorvat(dir.path(), "post " + kJobs + "numbered.calls --machine " + kJobs +
                                          "numbered.ini -o out.din");
    ASSERT_EQ(0, r.exit) << r.err;
    EXPECT_TRUE(SameBytes(Crlf(Golden("numbered.din")), ReadFile(dir.File("out.din"))));
}

TEST(Port, AMachineOnTheLineGetsTheSameProgramAsTheFile) {
    // The machine listens on a pseudo-terminal that stands for COM2.
    korvat::test::PtyPeer machine;
    machine.ExportAs("KORVAT_COM2");
    machine.StartReading();
    TempDir dir;
    WriteFile(dir.File("line.ini"),
              "[machine]\nclass = CDIN\nport = yes\n"
              "[MaschEinstellung]\nSchnittstelle = 2\nBaudrate = 9600\nDatenbits = 8\n"
              "Eintauchvorschub = -1\n[tool 2]\nkind = endmill\ndiameter = 2\n");
    Outcome r =
        RunKorvat(dir.path(), "post " + kJobs + "dialects.ngc --machine line.ini -o out.nc");
    ASSERT_EQ(0, r.exit) << r.err;
    std::string expected = Crlf(Golden("iso.nc"));
    EXPECT_TRUE(SameBytes(expected, machine.WaitCollected(expected.size(), 5000)));
    EXPECT_TRUE(SameBytes(expected, ReadFile(dir.File("out.nc"))));
}

TEST(Port, APortThatCannotBeOpenedStopsBeforeAnyOutput) {
    TempDir dir;
    ScopedEnv port("KORVAT_COM7", dir.File("no-such-line").c_str());
    WriteFile(dir.File("line.ini"),
              "[machine]\nclass = CDIN\nport = yes\n[MaschEinstellung]\nSchnittstelle = 7\n");
    WriteFile(dir.File("job.ngc"), "G0 X1\n");
    ExpectRefused(dir.path(), "post job.ngc --machine line.ini -o out.nc",
                  "out.nc: the machine's port " + dir.File("no-such-line") +
                      " (\\\\.\\COM7) cannot be opened: No such file or directory (error 1001)");
}

TEST(Port, AMistakeInTheLastLineStopsTheRunBeforeAnyBlockLeaves) {
    korvat::test::PtyPeer machine;
    machine.ExportAs("KORVAT_COM2");
    machine.StartReading();
    TempDir dir;
    WriteFile(dir.File("line.ini"),
              "[machine]\nclass = CDIN\nport = yes\n[MaschEinstellung]\nSchnittstelle = 2\n");
    WriteFile(dir.File("job.ngc"), "G0 X1 Y1 Z1\nF100\nG1 Z-1\nG1 X9\nG18\n");
    ExpectRefused(dir.path(), "post job.ngc --machine line.ini -o out.nc",
                  "job.ngc:5:1: unsupported word G18");
    EXPECT_EQ("", machine.WaitCollected(1, 300));
}

TEST(PlotterWriters, ARetractAfterCuttingAtAnotherDepthGoesOut) {
    // The VHF and CTORVE writers skip a Z move to the height of their last rapid move; after
    // cutting at -1 mm the retract to 5 mm must still be written, or the next rapid move drags
    // the tool through the workpiece.
    for (const char* machine : {"vhf", "ctorve"}) {
        SCOPED_TRACE(machine);
        TempDir dir;
        std::string program = std::string("retract.") + (machine[0] == 'v' ? "vhf" : "tor");
        Outcome r = RunKorvat(
            dir.path(), "post " + kJobs + "retract.calls --machine " + machine + " -o " + program);
        ASSERT_EQ(0, r.exit) << r.err;
        EXPECT_TRUE(SameBytes(Crlf(Golden(program)), ReadFile(dir.File(program))));
    }
}

// ---- Writer settings and the tool magazine from the profile --------------------------------

const std::string kHeidenhain =
    "[machine]\nclass = CHDH\n"
    "[MaschEinstellung]\nOptionen = 64\nNachkommastellen = 3\nHdhOptionen = U\n"
    "Drehzahlausgabe = 1\nVorschubausgabe = 1\nSpindelausgabe = 1\n"
    "[tool 2]\nkind = endmill\ndiameter = 2\n";

std::string Example(const char* name) {
    return ReadFile(std::string(KORVAT_SOURCE_DIR) + "/examples/machines/" + name + ".ini");
}

// The example profile with one line changed, as a machinist edits it.
std::string Edited(const char* name, const std::string& line, const std::string& by) {
    std::string text = Example(name);
    size_t at = text.find("\n" + line + "\n");
    EXPECT_NE(std::string::npos, at) << line << " missing in " << name;
    return at == std::string::npos ? text : text.replace(at + 1, line.size(), by);
}

// Posts job with the profile text; returns the program (or, for .LG1, its dump).
std::string PostWith(const TempDir& dir, const std::string& profile, const std::string& job,
                     const std::string& output) {
    WriteFile(dir.File("machine.ini"), profile);
    Outcome r =
        RunKorvat(dir.path(), "post " + kJobs + job + " --machine machine.ini -o " + output);
    EXPECT_EQ(0, r.exit) << r.err;
    if (output.size() > 4 && output.substr(output.size() - 4) == ".LG1") {
        Outcome dump = RunKorvat(dir.path(), "dump " + output);
        EXPECT_EQ(0, dump.exit) << dump.err;
        return dump.out;
    }
    return ReadFile(dir.File(output));
}

TEST(WriterSettings, EachClassKeyReachesItsWriter) {
    TempDir dir;
    // Heidenhain: the retract before a tool call goes to 100 mm unless the profile says.
    EXPECT_TRUE(SameBytes(Crlf(Golden("toolcall-100.H")),
                          PostWith(dir, kHeidenhain, "toolcall.calls", "out.H")));
    EXPECT_TRUE(SameBytes(
        Crlf(Golden("toolcall-25.H")),
        PostWith(dir, kHeidenhain + "[CHDH]\nRueckzugHoehe = 25\n", "toolcall.calls", "out.H")));
    // CZORB: the group value lands in each group's feed/depth record; with the Z threshold at
    // 2 mm the retract to 1 mm is a cut at that depth, its plunge point a dot.
    EXPECT_TRUE(SameBytes(Golden("slot-group7.txt"),
                          PostWith(dir, Edited("czorb", "Gruppenwert = 0", "Gruppenwert = 7"),
                                   "slot.ngc", "out.LG1")));
    EXPECT_TRUE(SameBytes(
        Golden("slot-threshold2.txt"),
        PostWith(dir, Edited("czorb", "ZSchwelle = 0", "ZSchwelle = 2"), "slot.ngc", "out.LG1")));
    // Datron: return mode 0 changes tools without the return move (fourth number 0).
    EXPECT_TRUE(SameBytes(Crlf(Golden("autochange-return0.mcr")),
                          PostWith(dir,
                                   "[machine]\nclass = CKESTL1\ntool_changer = yes\n"
                                   "[DATRON]\nRueckfahrmodus = 0\n"
                                   "[tool 1]\nkind = endmill\ndiameter = 2\n",
                                   "autochange.calls", "out.mcr")));
}

TEST(WriterSettings, TheMagazineRecodesToolNumbersInEveryWriterThatHasOne) {
    // Tool 2 sits in place 3; place 2 is empty; tool 4 is in no place and keeps its number.
    const std::string magazine = "[magazine]\n1 = 5\n3 = 2\n";
    TempDir dir;
    EXPECT_TRUE(SameBytes(Crlf(Golden("magazine.nc")),
                          PostWith(dir, Example("iso") + magazine, "magazine.ngc", "out.nc")));
    EXPECT_TRUE(SameBytes(Crlf(Golden("toolcall-place3.H")),
                          PostWith(dir, kHeidenhain + magazine, "toolcall.calls", "out.H")));
}

TEST(WriterSettings, TheWorkpieceReachesTheWriter) {
    const std::string workpiece = "[workpiece]\nwidth = 60\nlength = 40\nthickness = 5\n";
    TempDir dir;
    // Datron: the "Wdef" line; the vice centre at (100, 50) moves the path by (70, 30).
    EXPECT_TRUE(SameBytes(Crlf(Golden("workpiece-vice.mcr")),
                          PostWith(dir,
                                   "[machine]\nclass = CKESTL1\nfeed_unit = m/min\n" + workpiece +
                                       "vice_x = 100\nvice_y = 50\n",
                                   "workpiece.ngc", "out.mcr")));
    // Heidenhain: the blank, from the origin down to -5 mm, before the first block.
    EXPECT_TRUE(SameBytes(Crlf(Golden("workpiece.H")),
                          PostWith(dir, kHeidenhain + workpiece, "toolcall.calls", "out.H")));
}

TEST(WriterSettings, KeysOutsideTheirClassOrRangeNameFileLineAndKey) {
    TempDir dir;
    WriteFile(dir.File("job.ngc"), "G0 X1\n");
    const std::string iso = Example("iso");
    const std::string isoLine =
        std::to_string(std::count(iso.begin(), iso.end(), '\n') + 2);  // the key below it
    struct Case {
        const char* file;
        std::string profile;
        const char* output;
        std::string message;
    };
    const Case cases[] = {
        {"iso-retract.ini", iso + "[CHDH]\nRueckzugHoehe = 25\n", "out.nc",
         "iso-retract.ini:" + isoLine + ": RueckzugHoehe: only class CHDH reads it, not CDIN"},
        // The class may come after its section.
        {"czorb-typo.ini", "[CZORB]\nZSchwele = 1\n[machine]\nclass = CZORB\n", "out.LG1",
         "czorb-typo.ini:2: ZSchwele: unknown key (known: ZSchwelle, Gruppenwert)"},
        {"datron-text.ini", "[machine]\nclass = CKESTL1\n[DATRON]\nRueckfahrmodus = ja\n",
         "out.mcr", "datron-text.ini:4: Rueckfahrmodus: 'ja' is not a number"},
        {"places.ini", "[machine]\nclass = CDIN\n[magazine]\n61 = 1\n", "out.nc",
         "places.ini:4: 61: is not a magazine place 1 to 60"},
        {"twice.ini", "[machine]\nclass = CDIN\n[magazine]\n1 = 1\n01 = 2\n", "out.nc",
         "twice.ini:5: 01: place 1 is given twice"},
        {"lg1.ini", "[machine]\nclass = CZORB\n[workpiece]\nwidth = 1\nlength = 1\n", "out.LG1",
         "lg1.ini:4: [workpiece]: class CZORB takes no workpiece"},
        {"flat.ini", "[machine]\nclass = CDIN\n[workpiece]\nwidth = 10\nvice_x = 5\n", "out.nc",
         "flat.ini:4: [workpiece]: width and length must both be given"},
        {"plotter.ini", "[machine]\nclass = CHPGLB\n\n[magazine]\n1 = 4\n", "out.plt",
         "plotter.ini:5: [magazine]: class CHPGLB writes tool numbers as they are; it has no "
         "magazine places"},
    };
    for (const Case& c : cases) {
        WriteFile(dir.File(c.file), c.profile);
        ExpectRefused(dir.path(),
                      std::string("post job.ngc --machine ") + c.file + " -o " + c.output,
                      c.message);
    }
}

// ---- Round trips through rs274 ---------------------------------------------------------------

// What the interpreter did, in millimetres: moves with the feed in force, dwells, spindle starts
// with their speed, stops and tool changes, up to the program end.
// rs274 prints four decimals of the program's unit: in inches that is 0.00254 mm, so a job in
// inches is compared within 0.001 mm plus half of that last printed digit.
struct Event {
    std::string name;
    std::vector<double> args;
    double tolerance = 0.001;
};

std::vector<Event> Events(const korvat::test::Rs274Result& result) {
    std::vector<Event> events;
    double unit = 1, feed = 0, speed = 0;
    for (const auto& c : result.calls) {
        if (c.name == "PROGRAM_END") break;
        if (c.line.find("CANON_UNITS_INCHES") != std::string::npos) unit = 25.4;
        if (c.line.find("CANON_UNITS_MM") != std::string::npos) unit = 1;
        // The feed is in the unit in force when the move runs.
        if (c.name == "SET_FEED_RATE") feed = c.args.at(0);
        double tolerance = unit == 1 ? 0.001 : 0.001 + 0.00005 * 25.4;
        if (c.name == "SET_SPINDLE_SPEED") speed = c.args.back();
        if (c.name == "STRAIGHT_TRAVERSE" || c.name == "STRAIGHT_FEED") {
            Event e{c.name, {c.args[0] * unit, c.args[1] * unit, c.args[2] * unit}, tolerance};
            if (c.name == "STRAIGHT_FEED") e.args.push_back(feed * unit);
            events.push_back(e);
        } else if (c.name == "ARC_FEED") {
            // end X, end Y, centre X, centre Y, turn, end Z
            events.push_back({c.name,
                              {c.args[0] * unit, c.args[1] * unit, c.args[2] * unit,
                               c.args[3] * unit, c.args[4], c.args[5] * unit, feed * unit},
                              tolerance});
        } else if (c.name == "DWELL" || c.name == "CHANGE_TOOL") {
            events.push_back({c.name, c.args});
        } else if (c.name == "START_SPINDLE_CLOCKWISE") {
            events.push_back({c.name, {speed}});
        } else if (c.name == "STOP_SPINDLE_TURNING" || c.name == "PROGRAM_STOP") {
            events.push_back({c.name, {}});
        }
    }
    return events;
}

// Same events in the same order; lengths within 0.001 mm, feeds within 5 % (the writer writes
// a feed word only when the feed changed by more than that).
::testing::AssertionResult SameEvents(const std::vector<Event>& job,
                                      const std::vector<Event>& ours) {
    for (size_t i = 0; i < std::max(job.size(), ours.size()); ++i) {
        if (i >= job.size() || i >= ours.size())
            return ::testing::AssertionFailure()
                   << "event " << i << ": " << (i < job.size() ? job[i].name : "nothing")
                   << " in the job, " << (i < ours.size() ? ours[i].name : "nothing")
                   << " in our program";
        const Event& a = job[i];
        const Event& b = ours[i];
        bool same = a.name == b.name && a.args.size() == b.args.size();
        for (size_t k = 0; same && k < a.args.size(); ++k) {
            bool isFeed = (a.name == "STRAIGHT_FEED" && k == 3) || (a.name == "ARC_FEED" && k == 6);
            double tolerance =
                isFeed ? 0.05 * std::fabs(a.args[k]) : std::max(a.tolerance, b.tolerance);
            same = std::fabs(a.args[k] - b.args[k]) <= tolerance;
        }
        if (!same) {
            auto text = [](const Event& e) {
                std::string s = e.name + "(";
                for (double v : e.args) s += std::to_string(v) + " ";
                return s + ")";
            };
            return ::testing::AssertionFailure()
                   << "event " << i << ": job " << text(a) << ", ours " << text(b);
        }
    }
    return ::testing::AssertionSuccess();
}

class RoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(RoundTrip, Rs274ReadsOurProgramAsItReadsTheJob) {
    if (korvat::test::Rs274Program().empty()) GTEST_SKIP() << "rs274 is not installed";
    TempDir dir;
    std::string job = GetParam() == "example.ngc"
                          ? std::string(KORVAT_SOURCE_DIR) + "/examples/jobs/example.ngc"
                          : kJobs + GetParam();
    Outcome r = RunKorvat(dir.path(), "post '" + job + "' --machine iso -o out.nc");
    ASSERT_EQ(0, r.exit) << r.err;

    korvat::test::Rs274Options asWritten;
    asWritten.dropHeadLine = false;
    asWritten.fanucDwell = false;
    asWritten.appendEnd = false;
    // Every job here ends with M2 or M30, and so must our program: rs274 is given it without
    // an end added.
    korvat::test::Rs274Options ours;
    ours.appendEnd = false;
    korvat::test::Rs274Result fromJob = korvat::test::RunRs274(ReadFile(job), asWritten);
    korvat::test::Rs274Result fromOurs = korvat::test::RunRs274(ReadFile(dir.File("out.nc")), ours);
    ASSERT_TRUE(fromJob.ran && fromJob.exitCode == 0) << fromJob.errors;
    ASSERT_TRUE(fromOurs.ran && fromOurs.exitCode == 0) << fromOurs.errors << fromOurs.input;
    EXPECT_TRUE(std::any_of(fromOurs.calls.begin(), fromOurs.calls.end(), [](const auto& c) {
        return c.name == "PROGRAM_END";
    })) << fromOurs.input;
    std::vector<Event> expected = Events(fromJob);
    ASSERT_GT(expected.size(), 5u);
    EXPECT_TRUE(SameEvents(expected, Events(fromOurs))) << fromOurs.input;
}

INSTANTIATE_TEST_SUITE_P(Jobs, RoundTrip,
                         ::testing::Values("example.ngc", "frontend.ngc", "incremental.ngc",
                                           "inch.ngc", "helix.ngc"),
                         [](const auto& info) {
                             std::string n = info.param.substr(0, info.param.find('.'));
                             return n;
                         });

// ---- Bad input ---------------------------------------------------------------------------

TEST(BadInput, JobErrorsNameFileLineAndColumnAndLeaveNoProgram) {
    TempDir dir;
    WriteFile(dir.File("plane.ngc"), "G21 G90\nG0 X1 Y1\nG18 G2 X5 Z1 I2 K0 F100\nM30\n");
    WriteFile(dir.File("number.ngc"), "G21\nG1 X1.2.5 F100\n");
    WriteFile(dir.File("out.nc"), "an older program\n");
    ExpectRefused(dir.path(), "post plane.ngc --machine iso -o out.nc",
                  "plane.ngc:3:1: unsupported word G18");
    ExpectRefused(dir.path(), "post number.ngc --machine iso -o out.nc",
                  "number.ngc:2:5: malformed number '1.2.5' after X");
    ExpectRefused(dir.path(), "post missing.ngc --machine iso",
                  "missing.ngc: cannot read job: No such file or directory");
    mkdir(dir.File("folder.nc").c_str(), 0755);
    WriteFile(dir.File("job.nc"), "G0 X1\n");
    ExpectRefused(dir.path(), "post job.nc --machine iso -o folder.nc",
                  "folder.nc: is a folder; name the output file");
    ExpectRefused(dir.path(), "post job.nc --machine iso",
                  "job.nc: the program would overwrite the job; name it with -o");
    // The program of an earlier run is still there, untouched.
    EXPECT_EQ("an older program\n", ReadFile(dir.File("out.nc")));
}

TEST(BadInput, AJobWithNothingToDoOrWithoutLineEndsIsRefused) {
    TempDir dir;
    WriteFile(dir.File("empty.ngc"), "");
    WriteFile(dir.File("comments.ngc"), "%\n(only a comment)\n; and another\n%\n");
    WriteFile(dir.File("end.ngc"), "M30\n");
    WriteFile(dir.File("feed.calls"), "SetzeVorschub 100\n");
    for (const char* job : {"empty.ngc", "comments.ngc", "end.ngc", "feed.calls"})
        ExpectRefused(
            dir.path(), std::string("post ") + job + " --machine iso -o out.nc",
            std::string(job) + ": holds no move and no machine command; nothing to write");
    // A job read without end: refused at its first line, in constant memory.
    ExpectRefused(dir.path(), "post /dev/zero --machine iso -o out.nc",
                  "/dev/zero:1: line is longer than 65536 characters; a job is text in lines");
}

TEST(BadInput, AJobFailingInItsLastLineLeavesNoProgramAndNoWorkFolder) {
    // The job goes to the writer as it is read: 50000 good lines have been written into the
    // work folder when the last one fails.
    TempDir dir;
    std::string job = "G21 G90 F600\nG0 X0 Y0 Z1\n";
    for (int i = 0; i < 25000; ++i) job += "G1 X10 Y" + std::to_string(i % 50) + " Z-1\nG1 X0\n";
    WriteFile(dir.File("big.ngc"), job + "G18\n");
    ExpectRefused(dir.path(), "post big.ngc --machine iso -o big.nc",
                  "big.ngc:50003:1: unsupported word G18");
    ExpectRefused(dir.path(), "post big.ngc --machine czorb -o big.LG1",
                  "big.ngc:50003:1: unsupported word G18");
    ExpectRefused(dir.path(), "preview big.ngc -o big.svg",
                  "big.ngc:50003:1: unsupported word G18");
}

TEST(BadInput, ProfileErrorsNameFileLineAndKey) {
    TempDir dir;
    WriteFile(dir.File("job.ngc"), "G0 X1\n");
    WriteFile(dir.File("typo.ini"), "[machine]\nclass = CDIN\n[MaschEinstellung]\nOptionen = 4x\n");
    WriteFile(dir.File("other.ini"), "[machine]\nclass = CFOO\n");
    mkdir(dir.File("folder.ini").c_str(), 0755);
    ExpectRefused(dir.path(), "post job.ngc --machine typo.ini",
                  "typo.ini:4: Optionen: '4x' is not a whole number");
    ExpectRefused(dir.path(), "post job.ngc --machine nothere.ini",
                  "nothere.ini: cannot read profile: No such file or directory");
    ExpectRefused(dir.path(), "post job.ngc --machine folder.ini",
                  "folder.ini: is a folder, not a machine profile");
    Outcome r = RunKorvat(dir.path(), "post job.ngc --machine other.ini");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(0u, r.err.rfind("korvat: other.ini: class 'CFOO' has no writer in korvat (known: "
                              "CDIN",
                              0))
        << r.err;
}

TEST(BadInput, OutputFolderMissingOrReadOnly) {
    TempDir dir;
    WriteFile(dir.File("job.ngc"), "G0 X1\n");
    ExpectRefused(dir.path(), "post job.ngc --machine iso -o nofolder/out.nc",
                  "nofolder/out.nc: output folder nofolder does not exist");
    if (geteuid() != 0) {
        mkdir(dir.File("locked").c_str(), 0555);
        ExpectRefused(dir.path(), "post job.ngc --machine iso -o locked/out.nc",
                      "locked/out.nc: output folder locked is not writable");
    }
    // Even root cannot create files in /proc.
    Outcome r = RunKorvat(dir.path(), "post job.ngc --machine iso -o /proc/korvat-test.nc");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(0u, r.err.rfind("korvat: /proc/korvat-test.nc: ", 0)) << r.err;
    EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n')) << r.err;
    EXPECT_NE(0, access("/proc/korvat-test.nc", F_OK));
}

TEST(BadInput, UsageErrorsExitWithTwo) {
    TempDir dir;
    WriteFile(dir.File("job.ngc"), "G0 X1\n");
    EXPECT_EQ(2, RunKorvat(dir.path(), "").exit);
    EXPECT_EQ(2, RunKorvat(dir.path(), "post --bogus").exit);
    EXPECT_EQ(2, RunKorvat(dir.path(), "post job.ngc").exit);     // a job needs a machine
    EXPECT_EQ(2, RunKorvat(dir.path(), "preview job.ngc").exit);  // and a preview a file
    EXPECT_EQ("job.ngc\n", AllFiles(dir.path()));
    Outcome help = RunKorvat(dir.path(), "post --help");
    EXPECT_EQ(0, help.exit);
    EXPECT_NE(std::string::npos, help.out.find("Examples:"));
}

// ---- Preview ------------------------------------------------------------------------------------

// The picture's elements as a reader no one here wrote sees them (Python's XML parser, in
// read_svg.py): its extents, each path's kind, tool and dash, the frame and the scale bar's length.
std::string Structure(const TempDir& dir, const std::string& svg) {
    int code = -1;
    std::string text =
        Shell("/usr/bin/python3 " KORVAT_TEST_DIR "/read_svg.py '" + dir.File(svg) + "'", &code);
    EXPECT_EQ(0, code);
    return text;
}

TEST(Preview, BuiltInExampleParsesWithOnePathPerMoveKindAndToolAndItsExtents) {
    TempDir dir;
    Outcome r = RunKorvat(dir.path(), "preview -o example.svg");
    ASSERT_EQ(0, r.exit) << r.err;
    // The example engraves a 60 x 40 mm frame with tool 1 and mills a slot with tool 2.
    EXPECT_EQ(
        "extents 0 0 60 40\n"
        "rapid 1 dashed\n"
        "feed 1 solid\n"
        "arc 1 solid\n"
        "rapid 2 dashed\n"
        "feed 2 solid\n"
        "arc 2 solid\n"
        "frame 1\n"
        "scale 10\n",
        Structure(dir, "example.svg"));
}

// One record of an element file.
std::string Element(uint8_t type, double x, double y, double z, char art = 0) {
    ELE_EAW e{};
    e.Typ = type;
    e.Art = art;
    e.X = x;
    e.Y = y;
    e.Z = z;
    return std::string(reinterpret_cast<const char*>(&e), sizeof e);
}

TEST(Preview, AnElementFileIsDrawnLikeAJob) {
    // A safe-height marker, a positioning 5 mm above the workpiece, a plunge to 1 mm deep, a
    // line, a half circle bulging to X 30, a line back, and a positioning home again.
    TempDir dir;
    WriteFile(dir.File("contour.eaw"),
              Element(kEleMarke, -5, 0, 0, 'g') + Element(kElePositionierung, 0, 0, -5) +
                  Element(kEleLinie3D, 0, 0, 1) + Element(kEleLinie, 20, 0, 0) +
                  Element(kEleBogen, 20, 10, 0) + Element(kEleBogen, -M_PI / 2, M_PI, 10) +
                  Element(kEleLinie, 0, 20, 0) + Element(kElePositionierung, 0, 0, -5));
    Outcome r = RunKorvat(dir.path(), "preview contour.eaw -o contour.svg");
    ASSERT_EQ(0, r.exit) << r.err;
    EXPECT_EQ("korvat: contour.svg drawn: extents X 0.000 to 30.000, Y 0.000 to 20.000 mm\n",
              r.err);
    EXPECT_EQ(
        "extents 0 0 30 20\n"
        "rapid 0 dashed\n"
        "feed 0 solid\n"
        "arc 0 solid\n"
        "frame 1\n"
        "scale 5\n",
        Structure(dir, "contour.svg"));

    // Cut short, or ending inside an arc: one line naming the file, and no picture.
    WriteFile(dir.File("short.eaw"), Element(kElePositionierung, 0, 0, 0) + std::string(8, 0));
    ExpectRefused(dir.path(), "preview short.eaw -o short.svg",
                  "short.eaw: ends with an incomplete record of 8 bytes at byte 32");
    WriteFile(dir.File("open.eaw"),
              Element(kElePositionierung, 0, 0, 0) + Element(kEleBogen, 20, 10, 0));
    ExpectRefused(dir.path(), "preview open.eaw -o open.svg",
                  "open.eaw: record 1: the arc's second record is missing");
}

TEST(Dump, AFileIsKnownByWhatItHoldsAndAFolderOrDeviceIsRefused) {
    TempDir dir;
    ASSERT_EQ(0,
              RunKorvat(dir.path(), "post " + kJobs + "slot.ngc --machine czorb -o out.LG1").exit);
    Outcome byName = RunKorvat(dir.path(), "dump out.LG1");
    ASSERT_EQ(0, byName.exit) << byName.err;
    // The same records under another name are listed the same.
    WriteFile(dir.File("copy.bin"), ReadFile(dir.File("out.LG1")));
    Outcome byContent = RunKorvat(dir.path(), "dump copy.bin");
    EXPECT_EQ(0, byContent.exit) << byContent.err;
    EXPECT_EQ(byName.out, byContent.out);

    const std::string known =
        "dump lists binary files (.LG1 record file (CZORB), tool-path "
        "element file (.eaw))";
    ExpectRefused(dir.path(), "dump .", ".: is a folder; name a file to list");
    ExpectRefused(dir.path(), "dump /dev/null",
                  "/dev/null: is not a regular file; name a file to list");
    ExpectRefused(dir.path(), "dump missing.bin",
                  "missing.bin: cannot be read: No such file or directory");
    WriteFile(dir.File("a.bin"), "  0\r\nSECTION\r\n  2\r\nHEADER\r\n");
    ExpectRefused(dir.path(), "dump a.bin",
                  "a.bin: is a DXF drawing, to be read as it is; " + known);
    WriteFile(dir.File("b.bin"), "IN;SC;PU;SP1;\r\nPA1000,0;\r\n");
    ExpectRefused(dir.path(), "dump b.bin",
                  "b.bin: is an HPGL plot, to be read as it is; " + known);
    WriteFile(dir.File("c.LGX"), "%\r\nT2 M6\r\nG0 X1 Y1\r\n");
    ExpectRefused(dir.path(), "dump c.LGX",
                  "c.LGX: is an NC program (text), to be read as it is; " + known);
    WriteFile(dir.File("d.bin"), std::string("\x02\x00\x7f", 3));
    ExpectRefused(dir.path(), "dump d.bin",
                  "d.bin: is no file that dump knows (.LG1 record file (CZORB), tool-path element "
                  "file (.eaw))");
}

}  // namespace
}  // namespace korvat::test
