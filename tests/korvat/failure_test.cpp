// The korvat program never reports a failure as success: a full disk, a refused value or a
// signal ends the run with an exit code other than 0, a message naming the cause and the
// output's path (never the work folder), and nothing published.
#include <sys/mount.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace korvat::test {
namespace {

const std::string kPlate = KORVAT_SOURCE_DIR "/examples/jobs/plate.ngc";

struct Profile {
    const char* name;
    const char* extension;
};
// One example profile for every writer class.
constexpr Profile kEveryClass[] = {
    {"iso", "nc"},    {"heidenhain", "H"},       {"datron", "MCR"},
    {"czorb", "LG1"}, {"hpgl-engraving", "plt"}, {"dxf", "dxf"},
    {"vhf", "vhf"},   {"ctorve", "tor"},
};

// A job long enough to fill a small disk: a square cut over and over.
std::string LongJob(int laps) {
    std::string job = "G21 G90\nT1 M6\nF600\nG0 X0 Y0 Z2\nG1 Z-1\n";
    for (int i = 0; i < laps; ++i) job += "G1 X40\nG1 Y40\nG1 X0\nG1 Y0\n";
    return job + "G0 Z5\nM30\n";
}

TEST(FullDisk, TheFirstFailedWriteStopsEveryWriterClassAndNothingIsPublished) {
    for (const Profile& p : kEveryClass) {
        SCOPED_TRACE(p.name);
        TempDir dir;
        std::string out = std::string("out.") + p.extension;
        Outcome r = RunKorvat(dir.path(), "post " + kPlate + " --machine " + p.name + " -o " + out,
                              "KORVAT_FAIL_WRITE_AFTER=1");
        EXPECT_EQ(1, r.exit);
        EXPECT_EQ("korvat: " + out + ": not written: no space left on device\n", r.err);
        EXPECT_EQ("", r.out);
        EXPECT_EQ("", AllFiles(dir.path()));
    }
}

TEST(FullDisk, AWriteFailingHalfwayThroughALongProgramStopsIt) {
    // CZORB and the channel writers each fill a buffer of about 64 KiB before their first write.
    TempDir dir;
    WriteFile(dir.File("long.ngc"), LongJob(4000));
    for (const Profile& p : {Profile{"czorb", "LG1"}, Profile{"iso", "nc"}}) {
        SCOPED_TRACE(p.name);
        std::string out = std::string("out.") + p.extension;
        Outcome r =
            RunKorvat(dir.path(), std::string("post long.ngc --machine ") + p.name + " -o " + out,
                      "KORVAT_FAIL_WRITE_AFTER=3");
        EXPECT_EQ(1, r.exit);
        EXPECT_EQ("korvat: " + out + ": not written: no space left on device\n", r.err);
        EXPECT_EQ("long.ngc\n", AllFiles(dir.path()));
    }
}

// A real file system of 64 KiB, mounted for the test where the test may mount (as root).
class SmallDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        if (mount("korvat-test", disk_.path().c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a small tmpfs here (not root?)";
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) umount(disk_.path().c_str());
    }
    TempDir disk_, jobs_;
    bool mounted_ = false;
};

TEST_F(SmallDisk, EveryWriterClassReportsTheFullDiskAndLeavesItEmpty) {
    WriteFile(jobs_.File("long.ngc"), LongJob(2000));
    for (const Profile& p : kEveryClass) {
        SCOPED_TRACE(p.name);
        std::string out = disk_.File(std::string("out.") + p.extension);
        Outcome r = RunKorvat(jobs_.path(),
                              std::string("post long.ngc --machine ") + p.name + " -o " + out);
        EXPECT_EQ(1, r.exit);
        EXPECT_EQ("korvat: " + out + ": not written: no space left on device\n", r.err);
        EXPECT_EQ("", AllFiles(disk_.path()));
    }
}

// A coordinate beyond what the dialect writes as it is meant (an exponent, lost decimals, a
// field that overflows) is refused with the job's line, the value and the limit, and nothing
// is written; the limit itself still goes through.
TEST(RefusedValue, ACoordinateBeyondWhatTheDialectWritesIsRefusedWithItsLine) {
    for (const Profile& p : kEveryClass) {
        SCOPED_TRACE(p.name);
        TempDir dir;
        WriteFile(dir.File("far.ngc"),
                  "G21 G90\nT1 M6\nF600\nG0 X0 Y0 Z2\nG1 Z-1\n"
                  "G1 X-99999.999\nG1 Y123456.789\nM30\n");
        const std::string out = std::string("out.") + p.extension;
        Outcome r =
            RunKorvat(dir.path(), "post far.ngc --machine " + std::string(p.name) + " -o " + out);
        EXPECT_EQ(1, r.exit);
        const char* className = std::string(p.name) == "iso"              ? "CDIN"
                                : std::string(p.name) == "heidenhain"     ? "CHDH"
                                : std::string(p.name) == "datron"         ? "CKESTL1"
                                : std::string(p.name) == "czorb"          ? "CZORB"
                                : std::string(p.name) == "hpgl-engraving" ? "CHPGLB"
                                : std::string(p.name) == "dxf"            ? "CDXF_TEXT"
                                : std::string(p.name) == "vhf"            ? "CVHF_580_980"
                                                                          : "CTORVE";
        EXPECT_EQ(std::string("korvat: far.ngc:7: Y 123456.789 mm is beyond what ") + className +
                      " writes (at most 99999.999 mm either way)\n",
                  r.err);
        EXPECT_EQ("far.ngc\n", AllFiles(dir.path()));
    }
}

TEST(RefusedValue, CallScriptsAndStepCountsHaveTheirLimitsToo) {
    TempDir dir;
    // What Datron's %g would write as "1e+20".
    WriteFile(dir.File("huge.calls"), "Move3 0 0 5\nMove3 1e20 0 5\n");
    Outcome r = RunKorvat(dir.path(), "post huge.calls --machine datron -o out.MCR");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(
        "korvat: huge.calls:2: X 1e+20 mm is beyond what CKESTL1 writes (at most "
        "99999.999 mm either way)\n",
        r.err);
    // An arc's centre counts as well as its end.
    WriteFile(dir.File("arc.calls"), "Move 0 0\nKreis 0 200000 200000 -1.5707963 0.1 0 0 0 0\n");
    r = RunKorvat(dir.path(), "post arc.calls --machine iso -o out.nc");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(0u, r.err.find("korvat: arc.calls:2: arc centre Y 200000 mm is beyond what CDIN "
                             "writes"))
        << r.err;
    // An HPGL plotter at 100000 units per mm counts 32-bit steps: 21474.836 mm at most.
    WriteFile(dir.File("fine.ini"),
              "[machine]\nclass = CHPGLB\n[InitStruct]\nAufloesung[0] = 100000\n"
              "Aufloesung[1] = 100000\nAufloesung[2] = 100000\n");
    WriteFile(dir.File("steps.calls"), "Move 21474.836 0\nDraw 21474.837 0\n");
    r = RunKorvat(dir.path(), "post steps.calls --machine fine.ini -o out.plt");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(
        "korvat: steps.calls:2: X 21474.837 mm is beyond what CHPGLB writes (at most "
        "21474.836 mm either way)\n",
        r.err);
    EXPECT_EQ("arc.calls\nfine.ini\nhuge.calls\nsteps.calls\n", AllFiles(dir.path()));
}

}  // namespace
}  // namespace korvat::test
