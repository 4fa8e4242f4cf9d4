// korvat estimate and post --check, run as a machinist runs them: the report of a job whose
// times were worked out by hand (every move 1000 mm at 6000 mm/min from and to 18 mm/min takes
// 2 x 5982 / 1,080,000 + (1000 - 66.66607) / 6000 = 0.1666334 min, 500 mm 0.0833001 min), its
// travel violations with their lines, tool life, and the example jobs.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace korvat::test {
namespace {

const std::string kJobs = std::string(KORVAT_TEST_DIR) + "/jobs/";

// Runs korvat with args in dir; its JSON report read by estimate_json.py `view` when one is named.
Outcome Korvat(const std::string& dir, const std::string& args, const std::string& view = "") {
    Outcome r = RunKorvat(dir, args);
    if (view.empty()) return r;
    WriteFile(dir + "/.json", r.out);
    r.out =
        RunIn(dir, "/usr/bin/python3", KORVAT_TEST_DIR "/estimate_json.py " + view + " <.json").out;
    std::remove((dir + "/.json").c_str());
    return r;
}

struct Estimate : ::testing::Test {
    TempDir dir;
    void SetUp() override {
        WriteFile(dir.File("estimate.ngc"), ReadFile(kJobs + "estimate.ngc"));
        WriteFile(dir.File("estimate.ini"), ReadFile(kJobs + "estimate.ini"));
    }
};

TEST_F(Estimate, ReportsTimesDistancesToolsAndEveryPointOutsideTheTravel) {
    Outcome r = Korvat(dir.path(), "estimate estimate.ngc --machine estimate.ini");
    EXPECT_EQ(1, r.exit);
    EXPECT_TRUE(SameBytes(Golden("estimate.txt"), r.out));
    EXPECT_TRUE(SameBytes(Golden("estimate.err"), r.err));
}

TEST_F(Estimate, JsonGivesTheSameValuesAsNumbers) {
    Outcome r =
        Korvat(dir.path(), "estimate estimate.ngc --machine estimate.ini --json", "numbers");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(
        "0.166633 0.166633 0.166633 0.249934 0.749834\n"
        "1000.000 1000.000 1000.000 1500.000\n"
        "[(1, 2000, True), (2, 500, False)]\n"
        "[(5, 'X', 'max X'), (6, 'Z', 'max Z')]\n",
        r.out);
}

// With look-ahead (default depth: each segment stops) the distances divide by 2a: 1000 mm take
// 0.0110778 + (1000 - 33.33303) / 6000 = 0.1721889 min, 500 mm 0.0110778 + (500 - 33.33303) /
// 6000 = 0.0888556 min.
TEST_F(Estimate, LookAheadTimesTheFeedMovesWithTheControllerModel) {
    Outcome r = Korvat(
        dir.path(), "estimate estimate.ngc --machine estimate.ini --lookahead --json", "numbers");
    EXPECT_EQ(0u, r.out.find("0.166633 0.166633 0.166633 0.261045 0.760945\n")) << r.out;
}

// A helix is timed as its arc at the XY feed and then its Z change at the Z feed, and the job
// goes on from its end Z. At 6000 mm/min from and to 18 mm/min: the 100 mm line 0.0110778 +
// (100 - 66.66607) / 6000 = 0.0166334 min, the half circle of radius 50 (157.0796 mm) 0.0110778
// + (157.0796 - 66.66607) / 6000 = 0.0261467 min; the helix's 40 mm down never reach the feed:
// peak sqrt(20 x 1,080,000 + 18^2) = 4647.6149, 2 x (4647.6149 - 18) / 1,080,000 = 0.0085734
// min; the 10 mm up from -40 to -30 likewise peak sqrt(5 x 1,080,000 + 18^2) = 2323.8597,
// 0.0042701 min.
TEST_F(Estimate, HelixAccountsItsZAndTheJobGoesOnFromItsEndZ) {
    WriteFile(dir.File("helix.ngc"),
              "G21 G90 G17\nG0 X0 Y0 Z0\nG1 X100 F6000\nG3 X0 Y0 I-50 J0 Z-40\nG1 Z-30\nM30\n");
    Outcome r = Korvat(dir.path(), "estimate helix.ngc --machine estimate.ini --json", "numbers");
    EXPECT_EQ(0, r.exit) << r.err;
    EXPECT_EQ(
        "0.000000 0.012843 0.000000 0.042780 0.055624\n"
        "0.000 50.000 0.000 257.080\n"
        "[(None, 307.08, False)]\n"
        "[]\n",
        r.out);
    r = Korvat(dir.path(), "estimate helix.ngc --machine estimate.ini --json", "extremes");
    EXPECT_EQ("-40.000 -30.000 3\n", r.out);
}

TEST_F(Estimate, ParameterFileMustBeOne) {
    WriteFile(dir.File("para.bin"), std::string(3072, '\0'));
    Outcome r = Korvat(dir.path(), "estimate estimate.ngc --machine estimate.ini --param para.bin");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(
        "korvat: para.bin: is not a machine parameter file (3072 bytes starting with its "
        "three magic words)\n",
        r.err);
    EXPECT_EQ("", r.out);
}

TEST_F(Estimate, PostCheckRefusesAJobOutsideTheTravelAndPostSaysTheTime) {
    Outcome r = Korvat(dir.path(), "post estimate.ngc --machine estimate.ini --check -o out.nc");
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(
        "korvat: estimate.ngc:5: block 1 leaves the machine's travel: X 1000.0000 above max "
        "X 900.0000; nothing written\n",
        r.err);
    EXPECT_FALSE(std::ifstream(dir.File("out.nc")).good());

    r = Korvat(dir.path(), "post estimate.ngc --machine estimate.ini -o out.nc");
    EXPECT_EQ(0, r.exit) << r.err;
    EXPECT_EQ(0u, r.err.find("warning: tool 1 (from line 3) is worn: it cuts 2000.000 mm, its "
                             "life is 1500.000 mm\nkorvat: estimate.ngc posted for estimate.ini "
                             "(CDIN): "))
        << r.err;
    const std::string ende = "2 tool changes, estimated time 0:00:45\n";
    EXPECT_EQ(r.err.size() - ende.size(), r.err.rfind(ende)) << r.err;
}

// More than ten tool uses: the ones beyond the accounting's ten slots are named.
TEST_F(Estimate, ToolUsesBeyondTenAreNamed) {
    std::string job = "G21 G90\nF1000\n";
    for (int i = 1; i <= 12; ++i)
        job += "T" + std::to_string(i) + " M6\nG1 X" + std::to_string(i) + "\n";
    WriteFile(dir.File("tools.ngc"), job);
    Outcome r = Korvat(dir.path(), "estimate tools.ngc --machine iso");
    EXPECT_EQ(0, r.exit);
    EXPECT_EQ(
        "warning: tool life is tracked for the first ten tool uses only; not tracked: tool "
        "11 (line 23), tool 12 (line 25)\n",
        r.err);
}

TEST(EstimateCorpus, EveryExampleJobRunsCleanWithSensibleTotals) {
    for (const std::string& job :
         {std::string(KORVAT_SOURCE_DIR "/examples/jobs/example.ngc"),
          std::string(KORVAT_SOURCE_DIR "/examples/jobs/plate.ngc"),
          std::string(KORVAT_SOURCE_DIR "/examples/jobs/pocket.ngc"),
          std::string(KORVAT_SOURCE_DIR "/examples/jobs/square.calls"), kJobs + "frontend.ngc",
          kJobs + "helix.ngc", kJobs + "inch.ngc", kJobs + "incremental.ngc", kJobs + "slot.ngc",
          kJobs + "dialects.ngc", kJobs + "magazine.ngc", kJobs + "workpiece.ngc"}) {
        SCOPED_TRACE(job);
        TempDir dir;
        Outcome r = Korvat(dir.path(), "estimate '" + job + "' --machine iso --json", "sane");
        EXPECT_EQ(0, r.exit) << r.err;
        EXPECT_EQ("ok\n", r.out);
    }
}

TEST(EstimateCorpus, BuiltInExample) {
    TempDir dir;
    Outcome r = Korvat(dir.path(), "estimate");
    EXPECT_EQ(0, r.exit) << r.err;
    EXPECT_EQ(0u, r.out.find("korvat estimate: example.ngc (built in) on iso.ini (built in) "
                             "(CDIN)\nmachining time    0:00:34  (block estimate)\n"))
        << r.out;
}

}  // namespace
}  // namespace korvat::test
