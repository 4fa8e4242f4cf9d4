// Whole approach runs on hand-written element files, compared record by record.
#include <gtest/gtest.h>

#include "element_text.h"
#include "support/golden.h"

namespace korvat::test {
namespace {

class ApproachGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(ApproachGolden, WritesTheExpectedRecordsAndDeletesTheInput) {
    ElementCase c = LoadCase(std::string(GetParam()) + ".txt");
    TempDir dir;
    ApproachRun r = RunApproach(c, dir.path());
    EXPECT_EQ(r.meldung, 0) << "code " << r.code << " " << r.text;
    EXPECT_TRUE(SameRecords(c.output, r.out));
    EXPECT_FALSE(r.inputKept);
}

INSTANTIATE_TEST_SUITE_P(Cases, ApproachGolden,
                         ::testing::Values("closed_square", "closed_lapping", "closed_3d_lines",
                                           "closed_arc_split", "open_line_100",
                                           "open_line_10_ramp_25", "open_line_10_ramp_35",
                                           "open_arc", "open_polyline"));

}  // namespace
}  // namespace korvat::test
