// Line clipping and arc crossings against the working area.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "geometry/clipp.h"
#include "support/golden.h"

namespace korvat::test {
namespace {

struct Clip {
    int16_t code;
    RPOINT q1, q2;
};

Clip Linie(double ax, double ay, double bx, double by) {
    CCLIPP c;
    RPOINT p1{ax, ay}, p2{bx, by};
    Clip r{0, {-99, -99}, {-99, -99}};
    r.code = c.Linie(&p1, &p2, &r.q1, &r.q2);
    return r;
}

// Clipping on, rectangle (0,0)-(10,10); switched off again afterwards, as the library starts.
class Clipping : public ::testing::Test {
  protected:
    void SetUp() override {
        c.Aktiv(1);
        c.SetzeBereich(0, 0, 10, 10);
    }
    void TearDown() override { c.Aktiv(0); }
    CCLIPP c;
};

::testing::AssertionResult Is(const Clip& r, int16_t code, RPOINT q1, RPOINT q2) {
    bool same = r.code == code && std::fabs(r.q1.X - q1.X) < 1e-9 &&
                std::fabs(r.q1.Y - q1.Y) < 1e-9 && std::fabs(r.q2.X - q2.X) < 1e-9 &&
                std::fabs(r.q2.Y - q2.Y) < 1e-9;
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got code " << r.code << " (" << r.q1.X << ", " << r.q1.Y << ")-(" << r.q2.X << ", "
           << r.q2.Y << "), expected " << code << " (" << q1.X << ", " << q1.Y << ")-(" << q2.X
           << ", " << q2.Y << ")";
}

const RPOINT kUnberuehrt{-99, -99};

TEST_F(Clipping, ResultCodesTellWhichEndMoved) {
    EXPECT_TRUE(Is(Linie(-5, 5, 5, 5), 1, {0, 5}, {5, 5}));
    EXPECT_TRUE(Is(Linie(5, 5, -5, 5), 2, {5, 5}, {0, 5}));
    EXPECT_TRUE(Is(Linie(-5, 5, 15, 5), 3, {0, 5}, {10, 5}));
    EXPECT_TRUE(Is(Linie(5, -5, 5, 5), 1, {5, 0}, {5, 5}));
    EXPECT_TRUE(Is(Linie(2, 3, 8, 9), 4, kUnberuehrt, kUnberuehrt)) << "inside: q not written";
    EXPECT_TRUE(Is(Linie(0, 0, 10, 10), 4, kUnberuehrt, kUnberuehrt)) << "the boundary is inside";
    EXPECT_TRUE(Is(Linie(-2, -2, 12, 12), 3, {0, 0}, {10, 10})) << "corner to corner";
}

TEST_F(Clipping, LinesPassingOutsideShowNothing) {
    EXPECT_EQ(Linie(12, 1, 15, 8).code, 0) << "wholly right";
    EXPECT_EQ(Linie(-8, 1, -2, 8).code, 0) << "wholly left";
    EXPECT_EQ(Linie(1, -5, 3, -4).code, 0) << "below, rising";
    EXPECT_EQ(Linie(1, -4, 3, -5).code, 0) << "below, falling";
    EXPECT_EQ(Linie(1, 12, 3, 14).code, 0) << "above, rising";
    EXPECT_EQ(Linie(-5, 3, 5, -7).code, 0) << "past the lower left corner";
    EXPECT_EQ(Linie(9, -5, 12, 1).code, 0) << "past the lower right corner";
    EXPECT_EQ(Linie(2, -1, 8, -1).code, 0) << "parallel to X below";
    EXPECT_EQ(Linie(-3, 11, 14, 11).code, 0) << "parallel to X above";
}

TEST(ClippingState, OffReturnsFourAndLeavesTheResultAlone) {
    CCLIPP c;
    c.SetzeBereich(0, 0, 10, 10);
    c.Aktiv(0);
    EXPECT_TRUE(Is(Linie(-5, 5, 50, 5), 4, kUnberuehrt, kUnberuehrt));
}

TEST(ClippingState, RectangleAndSwitchAreSharedByAllObjects) {
    CCLIPP a, b;
    a.Aktiv(1);
    a.SetzeBereich(-1, -2, 3, 4);
    RPOINT inside{3, 4}, outside{3.0005, 4}, far{3.002, 4};
    EXPECT_EQ(b.TesteKoordinate(&inside), 1);
    EXPECT_EQ(b.TesteKoordinate(&outside), 0);
    EXPECT_EQ(b.TesteKoordinate_a(&outside), 1) << "widened by 0.001";
    EXPECT_EQ(b.TesteKoordinate_a(&far), 0);
    EXPECT_TRUE(Is(Linie(-5, 0, 1, 0), 1, {-1, 0}, {1, 0}));
    a.Aktiv(0);
}

TEST(ClippingReference, RandomLinesAgreeWithShapely) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> quarter(-80, 80), size(4, 120);
    std::uniform_real_distribution<double> u(0, 1);
    struct Fall {
        float x1, y1, x2, y2;
        double ax, ay, bx, by;
    };
    std::vector<Fall> faelle;
    while (faelle.size() < 3000) {
        Fall f;
        f.x1 = quarter(rng) / 4.0f;
        f.y1 = quarter(rng) / 4.0f;
        f.x2 = f.x1 + size(rng) / 4.0f;
        f.y2 = f.y1 + size(rng) / 4.0f;
        auto pick = [&](float lo, float hi) { return lo - 10 + (hi - lo + 20) * u(rng); };
        f.ax = pick(f.x1, f.x2);
        f.bx = pick(f.x1, f.x2);
        f.ay = pick(f.y1, f.y2);
        f.by = pick(f.y1, f.y2);
        // Axis-parallel lines are covered by the cases above; near them the zero test of the
        // interpolations takes over.
        if (std::fabs(f.ax - f.bx) < 1e-3 || std::fabs(f.ay - f.by) < 1e-3) continue;
        faelle.push_back(f);
    }
    TempDir dir;
    {
        std::ofstream out(dir.File("cases.txt"));
        out.precision(17);
        for (const Fall& f : faelle)
            out << f.x1 << ' ' << f.y1 << ' ' << f.x2 << ' ' << f.y2 << ' ' << f.ax << ' ' << f.ay
                << ' ' << f.bx << ' ' << f.by << '\n';
    }
    std::string cmd = "/usr/bin/python3 " KORVAT_TEST_DIR "/clip_reference.py " +
                      dir.File("cases.txt") + " " + dir.File("shapely.txt");
    ASSERT_EQ(std::system(cmd.c_str()), 0) << "the reference needs python3-shapely: " << cmd;
    std::ifstream in(dir.File("shapely.txt"));
    CCLIPP c;
    c.Aktiv(1);
    int gezeigt = 0, leer = 0;
    for (const Fall& f : faelle) {
        std::string line;
        ASSERT_TRUE(std::getline(in, line));
        std::istringstream w(line);
        std::string art;
        w >> art;
        c.SetzeBereich(f.x1, f.y1, f.x2, f.y2);
        Clip r = Linie(f.ax, f.ay, f.bx, f.by);
        SCOPED_TRACE(line);
        if (art != "line") {
            EXPECT_EQ(r.code, 0);
            ++leer;
            continue;
        }
        double px, py, qx, qy;
        w >> px >> py >> qx >> qy;
        bool startMoved = std::hypot(px - f.ax, py - f.ay) > 1e-9;
        bool endMoved = std::hypot(qx - f.bx, qy - f.by) > 1e-9;
        int16_t code = static_cast<int16_t>((startMoved ? 1 : 0) + (endMoved ? 2 : 0));
        if (code == 0) {
            EXPECT_EQ(r.code, 4);
            continue;
        }
        ++gezeigt;
        EXPECT_TRUE(Is(r, code, {px, py}, {qx, qy}))
            << "rectangle " << f.x1 << ' ' << f.y1 << ' ' << f.x2 << ' ' << f.y2;
        if (HasFailure()) break;
    }
    c.Aktiv(0);
    EXPECT_GT(gezeigt, 500);
    EXPECT_GT(leer, 500);
}

// A full circle, centre (5,5), radius 3, in the rectangle (0,0)-(10,10), unless a test sets
// another arc.
class ArcCrossings : public Clipping {
  protected:
    void Arc(double cx, double cy, float r, float start, float sweep) {
        BOGEN b{cx, cy, 0, 0, r, start, sweep};
        c.Bogen(&b, nullptr);
    }
    int16_t Waag(float y) {
        n = -1;
        s1 = s2 = kUnberuehrt;
        c.BogSchnittWaag(y, &s1, &s2, nullptr, nullptr, &n, nullptr);
        return n;
    }
    int16_t Senk(float x) {
        n = -1;
        s1 = s2 = kUnberuehrt;
        c.BogSchnittSenk(x, &s1, &s2, nullptr, nullptr, &n, nullptr);
        return n;
    }
    int16_t n;
    RPOINT s1, s2;
};

TEST_F(ArcCrossings, TwoCrossingsComeLeftThenRightAndLowerThenUpper) {
    Arc(5, 5, 3, 0, 6.2831855f);
    ASSERT_EQ(Waag(5), 2);
    EXPECT_TRUE(Is({0, s1, s2}, 0, {2, 5}, {8, 5}));
    ASSERT_EQ(Senk(5), 2);
    EXPECT_TRUE(Is({0, s1, s2}, 0, {5, 2}, {5, 8}));
}

TEST_F(ArcCrossings, TangentsAndMissesHaveNone) {
    Arc(5, 5, 3, 0, 6.2831855f);
    EXPECT_EQ(Waag(8), 0);
    EXPECT_EQ(Waag(2), 0);
    EXPECT_EQ(Senk(2), 0);
    EXPECT_EQ(Senk(9), 0);
}

TEST_F(ArcCrossings, OnlyPointsWithinTheArcCount) {
    Arc(5, 5, 3, 0, 3.1415927f);  // upper half, counter-clockwise
    EXPECT_EQ(Waag(6), 2);
    EXPECT_EQ(Waag(4), 0);
    Arc(5, 5, 3, 3.1415927f, -3.1415927f);  // the same half, clockwise
    EXPECT_EQ(Waag(6), 2);
    EXPECT_EQ(Waag(4), 0);
    Arc(5, 5, 3, 3.1415927f / 2, 3.1415927f);  // left half
    ASSERT_EQ(Waag(5), 1);
    EXPECT_TRUE(Is({0, s1, s1}, 0, {2, 5}, {2, 5}));
}

TEST_F(ArcCrossings, CrossingsOnARectangleCornerAreNotInside) {
    // The circle about (6,7) with radius 5 runs through the corner (10,10).
    Arc(6, 7, 5, 0, 6.2831855f);
    ASSERT_EQ(Waag(10), 1);
    EXPECT_TRUE(Is({0, s1, s1}, 0, {2, 10}, {2, 10}));
    ASSERT_EQ(Senk(10), 1);
    EXPECT_TRUE(Is({0, s1, s1}, 0, {10, 4}, {10, 4}));
}

TEST_F(ArcCrossings, AngularRangeFollowsTheSweepDirection) {
    float w;
    RPOINT p{5 + 3 * std::cos(-0.5), 5 + 3 * std::sin(-0.5)};
    Arc(5, 5, 3, 1, -2);  // from 1 down to -1 radian
    EXPECT_GE(c.TesteBogenbereich(&p, &w), 0);
    EXPECT_NEAR(w, -0.5, 1e-6);
    Arc(5, 5, 3, 1, 2);  // from 1 up to 3
    EXPECT_LT(c.TesteBogenbereich(&p, &w), 0);
    Arc(5, 5, 0, 1, 2);
    EXPECT_EQ(c.TesteBogenbereich(&p, &w), -1);
    EXPECT_EQ(w, 1000.0f);
}

}  // namespace
}  // namespace korvat::test
