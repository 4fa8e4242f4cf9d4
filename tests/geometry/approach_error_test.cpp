// Damaged element files, unusable parameters and failing files: the run names the place and the
// file, keeps the input, and keeps what it wrote.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "element_text.h"
#include "platform/files.h"
#include "support/golden.h"

namespace korvat::test {
namespace {

const char* kQuadrat = "13g 20 0 0\n1 0 0 5\n2 10 0 0\n2 10 10 0\n2 0 10 0\n2 0 0 0\n";

ElementCase Fall(const char* records) {
    ElementCase c;
    c.input = ParseRecords(records);
    return c;
}

void ExpectFailure(const ApproachRun& r, int32_t code, int32_t meldung, const std::string& text) {
    EXPECT_EQ(r.meldung, meldung);
    EXPECT_EQ(r.code, code);
    EXPECT_EQ(r.text, text);
    EXPECT_TRUE(r.inputKept) << "the input must survive an error";
}

TEST(ApproachDamagedInput, FileCutInsideARecordIsRefused) {
    TempDir dir;
    std::string in = dir.File("in.eaw");
    ElementCase c = Fall(kQuadrat);
    WriteElements(in, c.input);
    std::filesystem::resize_file(in, 6 * 32 - 5);
    ExpectFailure(RunApproachOn(c, in, dir.File("out.eaw")), -431, 4060, in);
}

TEST(ApproachDamagedInput, FileEndingInsideAnArcPairFailsToReadTheArcRecord) {
    TempDir dir;
    // Closed: the ramp loop misses the arc record.
    ExpectFailure(RunApproach(Fall("13g 9 0 0\n1 0 0 5\n2 10 0 0\n2 0 0 0\n4 5 5 0\n"), dir.path()),
                  -490, 4060, dir.File("in.eaw"));
    // Open: the measurement misses it.
    ExpectFailure(RunApproach(Fall("1 0 0 5\n2 10 0 0\n4 5 5 0\n"), dir.path()), -435, 4060,
                  dir.File("in.eaw"));
}

TEST(ApproachDamagedInput, ContoursWithoutPositioningOrMovementAreRefused) {
    TempDir dir;
    std::string in = dir.File("in.eaw");
    ExpectFailure(RunApproach(Fall("13g 9 0 0\n2 10 0 0\n2 0 0 0\n"), dir.path()), -435, 4060, in);
    ExpectFailure(RunApproach(Fall("13g 9 0 0\n1 0 0 5\n13x 0 0 0\n"), dir.path()), -440, 4130, in);
    ExpectFailure(RunApproach(Fall(""), dir.path()), -440, 4130, in);
    ExpectFailure(RunApproach(Fall("2 10 0 0\n13x 0 0 0\n"), dir.path()), -436, 4130, in);
}

TEST(ApproachDamagedInput, SingleLineWithoutExtentFollowedByAMarkerSetsOnlyTheMessage) {
    TempDir dir;
    ApproachRun r = RunApproach(Fall("13g 9 0 0\n1 4 4 5\n2 4 4 0\n13x 0 0 0\n"), dir.path());
    ExpectFailure(r, 0, 4132, dir.File("in.eaw"));
}

TEST(ApproachDamagedInput, CoordinatesThatAreNotNumbersAreRefused) {
    TempDir dir;
    for (const char* bad : {"2 10 nan 0", "4 5 5 0\nA 0 inf 5", "2 1e300 0 0", "13g nan 0 0"}) {
        ElementCase c = Fall(kQuadrat);
        std::vector<ELE_EAW> extra = ParseRecords(bad);
        c.input.insert(c.input.begin() + 3, extra.begin(), extra.end());
        SCOPED_TRACE(bad);
        ExpectFailure(RunApproach(c, dir.path()), -433, 4130, dir.File("in.eaw"));
    }
}

TEST(ApproachDamagedInput, ClosedContourFaultsEndTheFirstPass) {
    TempDir dir;
    std::string in = dir.File("in.eaw");
    // No 'g' or 't' marker before the start positioning.
    ExpectFailure(RunApproach(Fall("1 0 0 5\n2 10 0 0\n2 10 10 0\n2 0 0 0\n"), dir.path()), -525,
                  4130, in);
    // A second positioning away from the contour's end.
    ExpectFailure(
        RunApproach(Fall("13g 9 0 0\n1 0 0 5\n2 10 0 0\n1 20 20 5\n2 0 0 0\n"), dir.path()), -524,
        4131, in);
    // A contour without length gains no depth however often it is lapped.
    ExpectFailure(RunApproach(Fall("13g 9 0 0\n1 3 3 5\n2 3 3 0\n"), dir.path()), -526, 4130, in);
    ExpectFailure(RunApproach(Fall("1 0 0 5\n2 0.01 0 0\n"), dir.path()), -526, 4130, in);
}

TEST(ApproachDamagedInput, ParametersWithoutARampAreRefusedBeforeAnyFileIsTouched) {
    TempDir dir;
    for (double tangens : {0.0, -0.1, double{NAN}}) {
        ElementCase c = Fall(kQuadrat);
        c.tangens = tangens;
        ApproachRun r = RunApproach(c, dir.path());
        ExpectFailure(r, -401, 4130, "");
        EXPECT_FALSE(r.outputExists);
    }
    ElementCase c = Fall(kQuadrat);
    c.final = c.start;
    ExpectFailure(RunApproach(c, dir.path()), -401, 4130, "");
}

TEST(ApproachFiles, MissingInputAndUncreatableOutputNameTheirFile) {
    TempDir dir;
    ElementCase c = Fall(kQuadrat);
    ApproachRun r = RunApproachOn(c, dir.File("missing.eaw"), dir.File("out.eaw"));
    EXPECT_EQ(r.meldung, 4057);
    EXPECT_EQ(r.code, -415);
    EXPECT_EQ(r.text, dir.File("missing.eaw"));
    WriteElements(dir.File("in.eaw"), c.input);
    ExpectFailure(RunApproachOn(c, dir.File("in.eaw"), dir.File("no/such/out.eaw")), -420, 4058,
                  dir.File("no/such/out.eaw"));
}

TEST(ApproachFiles, FailedWriteKeepsWhatWasWrittenAndTheInput) {
    TempDir dir;
    ElementCase c = LoadCase("open_line_100.txt");
    platform::FailWriteAfter(3);
    ApproachRun r = RunApproach(c, dir.path());
    platform::FailWriteAfter(0);
    ExpectFailure(r, -460, 4061, dir.File("out.eaw"));
    EXPECT_TRUE(SameRecords({c.output[0], c.output[1]}, r.out));

    // Around a closed contour a failed write ends the first pass, and that is what is reported.
    c = LoadCase("closed_square.txt");
    platform::FailWriteAfter(4);
    r = RunApproach(c, dir.path());
    platform::FailWriteAfter(0);
    ExpectFailure(r, -525, 4130, dir.File("in.eaw"));
    EXPECT_TRUE(SameRecords({c.output.begin(), c.output.begin() + 3}, r.out));
}

TEST(ApproachFiles, FailedReadInsideTheRampLoopIsReportedAsSuch) {
    TempDir dir;
    platform::FailReadAfter(8);
    ApproachRun r = RunApproach(LoadCase("closed_square.txt"), dir.path());
    platform::FailReadAfter(0);
    // Two reads find the contour's end, two its start; the fourth of the loop fails.
    ExpectFailure(r, -470, 4060, dir.File("in.eaw"));
}

}  // namespace
}  // namespace korvat::test
