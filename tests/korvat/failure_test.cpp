// The korvat program never reports a failure as success: a full disk, a refused value or a
// signal ends the run with an exit code other than 0, a message naming the cause and the
// output's path (never the work folder), and nothing published.
#include <sys/mount.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/korvat/run_korvat.h"

namespace {

using korvat::test::AllFiles;
using korvat::test::Outcome;
using korvat::test::RunKorvat;
using korvat::test::TempDir;
using korvat::test::WriteFile;

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

TEST(RefusedValue, ANumberTheWriterCannotStoreEndsTheRunWithoutAProgram) {
    // CZORB keeps coordinates as 32-bit floats: 1e120 does not fit.
    TempDir dir;
    WriteFile(dir.File("huge.calls"), "Move 1e120 0\nDraw 1 1\n");
    Outcome r = RunKorvat(dir.path(), "post huge.calls --machine czorb -o out.LG1");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(0u, r.err.rfind("korvat: out.LG1: not written: ", 0)) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find(".korvat")) << "names the work folder: " << r.err;
    EXPECT_EQ("huge.calls\n", AllFiles(dir.path()));
}

}  // namespace
