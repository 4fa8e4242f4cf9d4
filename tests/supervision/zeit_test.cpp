// Machining time: the block estimate and the look-ahead estimate, against times worked out by
// hand from the speed profiles. Default parameters: v_min 18 mm/min, a = k = 1,080,000 mm/min^2,
// path speed limit 9000 mm/min, axis speed limit 6000 mm/min.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/golden.h"
#include "tests/supervision/supervision_fixture.h"

namespace korvat::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Relative tolerance of float sums.
void Nahe(double erwartet, double ist) { EXPECT_NEAR(ist, erwartet, 2e-6 * erwartet + 1e-9); }

struct Zeit : ::testing::Test {
    TempDir dir;
    void Tiefe(int32_t tiefe) {
        const P_SATZ p = HandBlock(tiefe);
        WriteFile(dir.File("DummyPara.bin"),
                  std::string(reinterpret_cast<const char*>(&p), sizeof p));
    }
};

// 1000 mm at 6000 mm/min from and to 18 mm/min.
// Block estimate: sa = sd = (6000^2 - 18^2) / k = 33.33303; t = 2 x 5982 / k + (1000 - 66.66607)
// / 6000 = 0.0110778 + 0.1555557 = 0.1666334 min (9.998006 s).
// Look-ahead: the same with 2a as the divisor of the distances: 16.66652 each;
// t = 0.0110778 + (1000 - 33.33303) / 6000 = 0.1721889 min.
TEST_F(Zeit, SingleLongLine) {
    Auftrag block(false, dir.path());
    block.satz.Satz_Vorschub_xy_z(6.0f, 6.0f);
    Nahe(9.998006, block.satz.Satz_XY_V(1000.0f, 0.0f));
    Nahe(0.16663343, block.satz.ZeitVorschubXY);
    EXPECT_FLOAT_EQ(block.satz.WegVorschub, 1000.0f);

    Auftrag vorschau(true, dir.path());
    vorschau.satz.Satz_Vorschub_xy_z(6.0f, 6.0f);
    Nahe(9.998006, vorschau.satz.Satz_XY_V(1000.0f, 0.0f));
    EXPECT_FLOAT_EQ(vorschau.satz.ZeitVorschubXY, 0.0f);  // queued, not yet timed
    vorschau.satz.Satz_WST_Ende(1);
    Nahe(0.17218894, vorschau.satz.ZeitVorschubXY);
    EXPECT_EQ(vorschau.satz.FertigeWerkstuecke, 1);
}

// Look-ahead depth 2. Two collinear lines of 100 mm: the second continues the first (chained),
// the first ends at 6000 (braking distance (6000^2 - 18^2) / (a/2) x 1.05 = 70 < 100, so no
// walk ahead), the second starts at 6000 and stops:
//   first  t = (6000 - 18) / a + (100 - 16.66652) / 6000 = 0.01942780
//   second t = (100 - 16.66652) / 6000 + (6000 - 18) / a  = 0.01942780
// 0.03885561 in all, the time of one 200 mm line. A 90 degree corner: the corner limit of the
// second line is 18 / |1 - 0| = 18, not above the corner step, so it is not chained and both
// lines run from and to 18: 2 x (2 x 5982 / a + (100 - 2 x 16.66652) / 6000) = 0.04437788.
TEST_F(Zeit, CollinearLinesRunThroughAndACornerStops) {
    Tiefe(2);
    {
        Auftrag a(true, dir.path());
        EXPECT_EQ(bahnplan.Vorschaugrenze, 3);
        a.satz.Satz_Vorschub_xy_z(6.0f, 6.0f);
        a.satz.Satz_XY_V(100.0f, 0.0f);
        a.satz.Satz_XY_V(200.0f, 0.0f);
        ASSERT_EQ(bahnplan.Anzahl, 2);
        EXPECT_EQ(bahnplan.Ring[1].Verkettet, 1);
        EXPECT_FLOAT_EQ(bahnplan.Ring[1].Eintritt, 6000.0f);
        a.satz.Satz_WST_Ende(0);
        Nahe(0.03885561, a.satz.ZeitVorschubXY);
    }
    {
        Auftrag a(true, dir.path());
        a.satz.Satz_Vorschub_xy_z(6.0f, 6.0f);
        a.satz.Satz_XY_V(100.0f, 0.0f);
        a.satz.Satz_XY_V(100.0f, 100.0f);
        EXPECT_EQ(bahnplan.Ring[1].Verkettet, 0);
        a.satz.Satz_WST_Ende(0);
        Nahe(0.04437788, a.satz.ZeitVorschubXY);
    }
}

// With the default depth each segment is timed when the next one is queued and ends at v_min:
// two collinear lines take as long as the corner above.
TEST_F(Zeit, DefaultDepthTimesEverySegmentFromStandstillToStandstill) {
    Auftrag a(true, dir.path());
    a.satz.Satz_Vorschub_xy_z(6.0f, 6.0f);
    a.satz.Satz_XY_V(100.0f, 0.0f);
    EXPECT_EQ(bahnplan.Anzahl, 1);
    a.satz.Satz_XY_V(200.0f, 0.0f);
    EXPECT_EQ(bahnplan.Anzahl, 1);
    Nahe(0.02218894, bahnplan.Zeit);
    a.satz.Satz_Z_E(5.0f);  // a rapid takes the time
    EXPECT_EQ(bahnplan.Anzahl, 0);
    Nahe(0.04437788, a.satz.ZeitVorschubXY);
}

// A full circle of radius 10 at 6000 mm/min: the centripetal limit sqrt(1,080,000 x 10) =
// 3286.335 caps the speed. sa = sd = (3286.335^2 - 18^2) / 2a = 4.99985;
// t = 2 x 3268.335 / a + (62.83185 - 9.99970) / 3286.335 = 0.02212879 min.
TEST_F(Zeit, ArcRunsAtItsCentripetalLimit) {
    Auftrag a(true, dir.path());
    a.satz.Satz_Vorschub_xy_z(6.0f, 6.0f);
    a.satz.Satz_Kreis(10.0f, 0.0f, 0.0f, 0.0f, 10.0f, 0.0f, static_cast<float>(2 * kPi));
    EXPECT_FLOAT_EQ(bahnplan.Ring[0].Zentripetal, 3286.3354f);
    EXPECT_FLOAT_EQ(bahnplan.Ring[0].Endgrenze, 3286.3354f);
    a.satz.Satz_WST_Ende(0);
    Nahe(0.02212879, a.satz.ZeitVorschubXY);
}

// 0.003 mm: below 1/256 mm, so the look-ahead estimate queues nothing, but the block estimate
// times it: peak sqrt(0.003 x 0.5 x k + 18^2) = 44.09082, sa = sd = 0.0015, no cruise;
// t = 2 x 26.09082 / k = 4.831632e-5 min (0.002898979 s).
TEST_F(Zeit, MoveShorterThanOne256thMillimetre) {
    Auftrag a(true, dir.path());
    a.satz.Satz_Vorschub_xy_z(6.0f, 6.0f);
    Nahe(0.002898979, a.satz.Satz_XY_V(0.003f, 0.0f));
    EXPECT_EQ(bahnplan.Anzahl, 0);
    EXPECT_FLOAT_EQ(bahnplan.Position[0], 0.0f);
    a.satz.Satz_WST_Ende(0);
    EXPECT_FLOAT_EQ(a.satz.ZeitVorschubXY, 0.0f);
}

// Going down from (0, 0, 0) to (30, 40, -10): L = 50.99020, the feed becomes L / 10 x 600 =
// 3059.412 (below the XY feed 6000); sa = sd = (3059.412^2 - 18^2) / k = 8.666319;
// t = 2 x 3041.412 / k + (50.99020 - 17.33264) / 3059.412 = 0.01663353 min.
TEST_F(Zeit, FeedGoingDownKeepsTheVerticalPartAtTheZFeed) {
    Auftrag a(false, dir.path());
    a.satz.Satz_Vorschub_xy_z(6.0f, 0.6f);
    Nahe(0.01663353 * 60, a.satz.Satz_XYZ_V(30.0f, 40.0f, -10.0f));
    Nahe(0.01663353, a.satz.ZeitVorschubXY);
    EXPECT_FLOAT_EQ(a.satz.WegVorschub, 50.990196f);
    EXPECT_FLOAT_EQ(a.satz.WegSeitWerkzeug, 50.990196f);
}

// Rapids and Z moves go to their own totals; the defaults 555 mm/min stand until Eil_V_Setz.
TEST_F(Zeit, TotalsOfRapidsAndZMoves) {
    Auftrag a(false, dir.path());
    a.satz.Eil_V_Setz(6.0f, 6.0f);
    a.satz.Satz_Vorschub_xy_z(6.0f, 6.0f);
    a.satz.Satz_XYZ_E(1000.0f, 0.0f, 0.0f);
    Nahe(0.16663343, a.satz.ZeitEilXY);
    a.satz.Satz_Z_E(1000.0f);
    Nahe(0.16663343, a.satz.ZeitEilZ);
    a.satz.Satz_Z_V(0.0f);
    Nahe(0.16663343, a.satz.ZeitVorschubZ);
    EXPECT_FLOAT_EQ(a.satz.WegEilXY, 1000.0f);
    EXPECT_FLOAT_EQ(a.satz.WegEilZ, 1000.0f);
    EXPECT_FLOAT_EQ(a.satz.WegVorschubZ, 1000.0f);
    EXPECT_FLOAT_EQ(a.satz.ZeitVorschubXY, 0.0f);
    a.satz.Satz_Andere(1013);
    EXPECT_FLOAT_EQ(a.satz.ZeitEilXY + a.satz.ZeitEilZ + a.satz.ZeitVorschubZ, 0.0f);
    EXPECT_FLOAT_EQ(a.satz.WegEilXY, 0.0f);
    EXPECT_EQ(a.satz.AuftragBegonnen, 1);
}

TEST_F(Zeit, BlockEstimateEdges) {
    Auftrag a(false, dir.path());
    float total = 1.0f;
    EXPECT_EQ(a.satz.ZeitMit(&total, 100.0f, 0.01f), 0.0f);  // no speed: no time
    EXPECT_EQ(total, 1.0f);
    // Start speed within 0.05 of the programmed speed: no acceleration phase.
    // sd = (6000^2 - 18^2) / k = 33.33303;
    // t = 0.04 / k + (100 - 33.33303) / 6000 + 5982 / k = 0.01665009
    float vs = 5999.96f, vp = 6000.0f, ve = 18.0f;
    Nahe(0.01665009, a.satz.v_trapez(100.0f, &vs, &vp, &ve, 1080000.0f));
    // Too short to reach the mean of start and end: the peak is the larger of the two.
    vs = 3000.0f, vp = 6000.0f, ve = 18.0f;
    a.satz.v_trapez(1.0f, &vs, &vp, &ve, 1080000.0f);
    EXPECT_EQ(vp, 3000.0f);
    EXPECT_FLOAT_EQ(a.satz.v_minus(600.0f, 0.1f, 1080000.0f), 379.47333f);
    EXPECT_FLOAT_EQ(a.satz.v_minus(600.0f, 1.0f, 1080000.0f), 0.0f);
    Nahe(9.998006, a.satz.ZeitAusWeg(1000.0f, 6.0f));
    EXPECT_EQ(a.satz.ZeitAusWeg(1000.0f, 0.0f), 0.0f);
}

}  // namespace
}  // namespace korvat::test
