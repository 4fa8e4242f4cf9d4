// Range checks: the workpiece (widened by 1.12 x (margin + 2)), the machine's travel (upper Z
// allows 0.01), the once-per-job rule, arc axis points and the path extremes.
#include <gtest/gtest.h>

#include <cmath>

#include "channel/cx268io.h"
#include "tests/support/golden.h"
#include "tests/supervision/supervision_fixture.h"
#include "tests/supervision/texte.h"

namespace korvat::test {
namespace {

const auto* const kTexte = ::testing::AddGlobalTestEnvironment(new Texte);

struct Bereich : ::testing::Test {
    TempDir dir;
    ScriptedDialogs dialoge;
    Auftrag a{false, dir.path()};
    void SetUp() override {
        cx268io.Fehlerflag = cx268io.Tastenabbruch = cx268io.Stoppanforderung = 0;
    }
    void TearDown() override {
        cx268io.Fehlerflag = cx268io.Tastenabbruch = cx268io.Stoppanforderung = 0;
    }
    bool Abgebrochen() const { return cx268io.Fehlerflag && cx268io.Tastenabbruch; }
};

// Margin 23: the rectangle 0..100 x 0..50 widens by 1.12 x 25 = 28 on every side.
TEST_F(Bereich, WorkpieceEdgesPassAndTheFirstViolationIsReportedOnceAndAborts) {
    a.satz.SetzeWerkstueckgroesse(0.0f, 100.0f, 0.0f, 50.0f, 7.0f, 0.0f, 23.0f);
    EXPECT_EQ(a.satz.WSTTesteEin(), 0);
    for (const auto& p : {std::pair{-28.0f, -28.0f}, {128.0f, 78.0f}, {0.0f, 50.0f}})
        a.satz.WSTTesteKoordinate(p.first, p.second);
    EXPECT_TRUE(dialoge.boxes().empty());
    EXPECT_FALSE(Abgebrochen());

    a.satz.Satz_XY_E(128.01f, 0.0f);
    ASSERT_EQ(dialoge.boxes().size(), 1u);
    EXPECT_EQ(dialoge.boxes()[0].caption, "Range");
    EXPECT_TRUE(SameBytes("Off the workpiece\nX =   128.0100       Y =     0.0000",
                          dialoge.boxes()[0].text));
    EXPECT_EQ(dialoge.boxes()[0].style, static_cast<unsigned>(MB_ICONSTOP));
    EXPECT_TRUE(Abgebrochen());
    a.satz.Satz_XY_V(0.0f, -30.0f);
    a.satz.Satz_Kreis(0.0f, 0.0f, -300.0f, 0.0f, 300.0f, 0.0f, 3.0f);
    EXPECT_EQ(dialoge.boxes().size(), 1u);  // once a job
    EXPECT_EQ(a.satz.WSTTesteAus(), 1);
}

TEST_F(Bereich, MachineXYReportedEveryTimeWithAbortZeroAndOnceWithAbortOne) {
    a.satz.SetzeMaschgroesse(0.0f, 500.0f, 0.0f, 300.0f, -50.0f, 100.0f);
    EXPECT_EQ(a.satz.MaschTesteKoordinate(600.0f, 0.0f, 0.0f, 0), 0);  // check is off
    a.satz.MaschTesteEin();
    EXPECT_EQ(a.satz.MaschTesteKoordinate(500.0f, 300.0f, 0.0f, 0), 0);
    EXPECT_EQ(a.satz.MaschTesteKoordinate(600.0f, 0.0f, 0.0f, 0), 1);
    EXPECT_EQ(a.satz.MaschTesteKoordinate(600.0f, 0.0f, 0.0f, 0), 1);
    ASSERT_EQ(dialoge.boxes().size(), 2u);
    EXPECT_TRUE(
        SameBytes("Off the machine\nX =   600.0000       Y =     0.0000", dialoge.boxes()[1].text));
    EXPECT_FALSE(Abgebrochen());

    Auftrag neu(false, dir.path());
    neu.satz.SetzeMaschgroesse(0.0f, 500.0f, 0.0f, 300.0f, -50.0f, 100.0f);
    neu.satz.MaschTesteEin();
    EXPECT_EQ(neu.satz.MaschTesteKoordinate(0.0f, -1.0f, 0.0f, 1), 1);
    EXPECT_TRUE(Abgebrochen());
    // Reported already: XY and Z share the flag, so neither is shown again.
    EXPECT_EQ(neu.satz.MaschTesteKoordinate(0.0f, -1.0f, 0.0f, 1), 0);
    EXPECT_EQ(neu.satz.MaschTesteKoordinate(0.0f, 0.0f, 200.0f, 1), 0);
    EXPECT_EQ(dialoge.boxes().size(), 3u);
}

TEST_F(Bereich, UpperZAllowsOneHundredthAndTheReportShowsHowZIsMadeUp) {
    a.satz.SetzeMaschgroesse(0.0f, 500.0f, 0.0f, 300.0f, -50.0f, 100.0f);
    a.satz.Setze_Z_Wbp_Einzelwerte(1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f);
    a.satz.MaschTesteEin();
    EXPECT_EQ(a.satz.MaschTesteZWert(100.005f, 0), 0);
    EXPECT_EQ(a.satz.MaschTesteZWert(-50.0f, 0), 0);
    EXPECT_TRUE(dialoge.boxes().empty());
    EXPECT_EQ(a.satz.MaschTesteZWert(100.02f, 0), 4);
    ASSERT_EQ(dialoge.boxes().size(), 1u);
    EXPECT_EQ(dialoge.boxes()[0].kind, "info");
    EXPECT_EQ(dialoge.boxes()[0].caption, "Range");
    std::string erwartet = Golden("z_report.txt");
    erwartet.pop_back();  // the file's last line end
    EXPECT_TRUE(SameBytes(erwartet, dialoge.boxes()[0].text));
    EXPECT_FALSE(Abgebrochen());
    // With abort 1 a job that has reported once stays silent.
    EXPECT_EQ(a.satz.MaschTesteKoordinate(1.0f, 1.0f, -50.5f, 1), 0);
    EXPECT_FALSE(Abgebrochen());
    EXPECT_EQ(a.satz.MaschTesteKoordinate(1.0f, 1.0f, -50.5f, 0), 4);
    EXPECT_EQ(dialoge.boxes().size(), 2u);
}

// Extremes after one arc of radius 10 around the origin: the axis points (whole multiples of
// pi/2) that the arc passes strictly between its ends count with its start and end points.
TEST_F(Bereich, ArcAxisPointsAndExtremes) {
    struct Fall {
        float start, sweep;
        float minX, maxX, minY, maxY;
    };
    const Fall faelle[] = {
        {0.1f, 1.6f, -1.28844f, 9.95004f, 0.99833f, 10.0f},    // passes pi/2
        {1.7f, -1.6f, -1.28844f, 9.95004f, 0.99833f, 10.0f},   // clockwise over pi/2
        {5.0f, 2.0f, 2.83662f, 10.0f, -9.58924f, 6.56987f},    // over 2 pi
        {-0.5f, 1.0f, 8.77583f, 10.0f, -4.79426f, 4.79426f},   // negative start angle
        {1.0f, 0.0f, 5.40302f, 5.40302f, 8.41471f, 8.41471f},  // no sweep: the ends only
        {0.0f, 1.5707964f, 0.0f, 10.0f, 0.0f, 10.0f},          // ends on axis points
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(testing::Message() << f.start << " " << f.sweep);
        Auftrag b(false, dir.path());
        const float e = f.start + f.sweep;
        b.satz.WSTTesteKreis(10.0f * std::cos(e), 10.0f * std::sin(e), 0.0f, 0.0f, 10.0f, f.start,
                             f.sweep);
        EXPECT_NEAR(b.satz.MinX, f.minX, 1e-4);
        EXPECT_NEAR(b.satz.MaxX, f.maxX, 1e-4);
        EXPECT_NEAR(b.satz.MinY, f.minY, 1e-4);
        EXPECT_NEAR(b.satz.MaxY, f.maxY, 1e-4);
    }
}

// With the workpiece check off, an arc whose circle lies inside the extremes is not walked
// point by point; the extremes must come out bit for bit as when every point is computed (here:
// a check that is on but never reports, on a workpiece larger than any arc). Arcs on the
// extremes' edges, far from the origin (where centre +- radius rounds), with a negative radius
// and of every sweep.
TEST_F(Bereich, ArcsInsideTheExtremesLeaveThemAsComputingEveryPointWould) {
    Auftrag ohne(false, dir.path()), mit(false, dir.path());
    mit.satz.SetzeWerkstueckgroesse(-1e9f, 1e9f, -1e9f, 1e9f, 0.0f, 0.0f, 0.0f);
    mit.satz.WSTTesteEin();
    uint32_t zufall = 12345;
    auto wuerfel = [&](float von, float bis) {
        zufall = zufall * 1664525u + 1013904223u;
        return von + (bis - von) * static_cast<float>(zufall >> 8) / 16777216.0f;
    };
    auto kreis = [&](float cx, float cy, float r, float start, float sweep) {
        const float e = start + sweep;
        const float ex = cx + r * std::cos(e), ey = cy + r * std::sin(e);
        ohne.satz.WSTTesteKreis(ex, ey, cx, cy, r, start, sweep);
        mit.satz.WSTTesteKreis(ex, ey, cx, cy, r, start, sweep);
        ASSERT_EQ(ohne.satz.MinX, mit.satz.MinX) << cx << " " << cy << " " << r;
        ASSERT_EQ(ohne.satz.MaxX, mit.satz.MaxX);
        ASSERT_EQ(ohne.satz.MinY, mit.satz.MinY);
        ASSERT_EQ(ohne.satz.MaxY, mit.satz.MaxY);
    };
    kreis(0.0f, 0.0f, 10.0f, 0.0f, 6.2831855f);  // the extremes become the circle's box
    kreis(0.0f, 0.0f, 10.0f, 1.0f, 3.0f);        // the same box again: on the edges
    kreis(0.0f, 0.0f, -10.0f, 2.0f, -4.0f);
    kreis(5.0f, 5.0f, 5.0f, 0.3f, 5.0f);
    for (int i = 0; i < 20000; ++i) {
        const float weit = i % 3 == 0 ? 1e6f : 20.0f;
        kreis(wuerfel(-weit, weit), wuerfel(-weit, weit),
              wuerfel(-15.0f, 15.0f) * (i % 7 ? 1 : 1e-3f), wuerfel(-7.0f, 7.0f),
              wuerfel(-13.0f, 13.0f));
    }
    // Circles that just touch or just cross an edge of the extremes.
    for (int i = 0; i < 20000; ++i) {
        const float r = wuerfel(0.01f, 50.0f), d = wuerfel(-0.2f, 0.2f);
        const float cx = i % 2 ? ohne.satz.MaxX - r + d : ohne.satz.MinX + r + d;
        const float cy = wuerfel(ohne.satz.MinY + r, ohne.satz.MaxY - r);
        kreis(cx, cy, r, wuerfel(-7.0f, 7.0f), wuerfel(-13.0f, 13.0f));
    }
}

TEST_F(Bereich, MachineArcCheckFindsTheAxisPointOutsideTheTravel) {
    a.satz.SetzeMaschgroesse(-20.0f, 20.0f, -20.0f, 9.99f, -50.0f, 100.0f);
    a.satz.MaschTesteEin();
    const float e = 1.7f;
    a.satz.MaschTesteKreis(10.0f * std::cos(e), 10.0f * std::sin(e), 0.0f, 0.0f, 10.0f, 0.1f, 1.6f);
    ASSERT_EQ(dialoge.boxes().size(), 1u);
    EXPECT_TRUE(
        SameBytes("Off the machine\nX =     0.0000       Y =    10.0000", dialoge.boxes()[0].text));
    EXPECT_TRUE(Abgebrochen());
}

TEST_F(Bereich, FirstFeedMoveSetsBothExtremesAndRapidsDoNotCount) {
    EXPECT_EQ(a.satz.MinX, 100000.0f);
    EXPECT_EQ(a.satz.MaxZ, -100000.0f);
    a.satz.Satz_XYZ_E(-500.0f, 900.0f, 50.0f);
    a.satz.Satz_XYZ_V(5.0f, 7.0f, -2.0f);
    EXPECT_EQ(a.satz.MinX, 5.0f);
    EXPECT_EQ(a.satz.MaxX, 5.0f);
    EXPECT_EQ(a.satz.MinY, 7.0f);
    EXPECT_EQ(a.satz.MaxY, 7.0f);
    EXPECT_EQ(a.satz.MinZ, -2.0f);
    EXPECT_EQ(a.satz.MaxZ, -2.0f);
    a.satz.Satz_Z_V(-3.0f);
    a.satz.Satz_XY_V(-1.0f, 8.0f);
    EXPECT_EQ(a.satz.MinX, -1.0f);
    EXPECT_EQ(a.satz.MaxY, 8.0f);
    EXPECT_EQ(a.satz.MinZ, -3.0f);
}

}  // namespace
}  // namespace korvat::test
