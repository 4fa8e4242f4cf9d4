// Record access and arcs as 3-D lines on the approach base.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "common/grundfkt.h"
#include "element_text.h"
#include "geometry/anfahren.h"
#include "platform/files.h"
#include "support/golden.h"

namespace korvat::test {
namespace {

// A base object writing to a fresh file, for Bog2Vek3D.
struct ArcWriter {
    TempDir dir;
    CAnfahrenBasis basis;
    std::string path = dir.File("arc.eaw");
    ArcWriter() {
        basis.Ausgabe = path.c_str();
        basis.AusHandle = rd_creat(path.c_str(), 10);
    }
    // Writes the arc and returns what the file holds; *ende receives the updated centre record.
    std::vector<ELE_EAW> Write(const char* arc, double z0, double z1, double tol, int16_t* rc,
                               ELE_EAW* ende = nullptr) {
        std::vector<ELE_EAW> rec = ParseRecords(arc);
        ELE_ARC b;
        std::memcpy(&b, &rec[1], sizeof b);
        *rc = basis.Bog2Vek3D(&rec[0], &b, z0, z1, tol, basis.AusHandle);
        rd_close(basis.AusHandle);
        if (ende != nullptr) *ende = rec[0];
        return ReadElements(path);
    }
};

TEST(Bog2Vek3D, QuarterCircleWithToleranceOfItsRadiusTakesThreeFortyFiveDegreeCappedSteps) {
    ArcWriter w;
    int16_t rc;
    ELE_EAW ende;
    auto out = w.Write("4 1 2 0 v=5\nA 0 pi/2 10", 1, 2, 10, &rc, &ende);
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(SameRecords(ParseRecords("3 1+10*cos(pi/6) 2+10*sin(pi/6) 1+1/3\n"
                                         "3 1+10*cos(pi/3) 2+10*sin(pi/3) 1+2/3\n"
                                         "3 1 12 2\n"),
                            out));
    EXPECT_TRUE(SameRecords({out.back()}, {ende})) << "the caller holds the end point";
}

TEST(Bog2Vek3D, ZeroSweepWritesOnlyTheEndPoint) {
    ArcWriter w;
    int16_t rc;
    auto out = w.Write("4 0 0 0\nA pi 0 3", 0, 1, 0.01, &rc);
    EXPECT_TRUE(SameRecords(ParseRecords("3 -3 0 1"), out));
}

TEST(Bog2Vek3D, ClockwiseArcRunsToDecreasingAnglesWithZRisingLinearly) {
    ArcWriter w;
    int16_t rc;
    auto out = w.Write("4 0 0 0\nA pi/2 -pi/2 2", 0, 3, 5, &rc);
    EXPECT_TRUE(SameRecords(ParseRecords("3 2*cos(pi/3) 2*sin(pi/3) 1\n"
                                         "3 2*cos(pi/6) 2*sin(pi/6) 2\n"
                                         "3 2 0 3\n"),
                            out));
}

TEST(Bog2Vek3D, ChordsStayWithinTheToleranceOverAWholeCircle) {
    ArcWriter w;
    int16_t rc;
    const double tol = 0.002, r = 25;
    auto out = w.Write("4 0 0 0\nA 0.3 2*pi 25", 0, 0, tol, &rc);
    // Each chord's middle lies r * cos(step / 2) from the centre.
    ASSERT_GT(out.size(), 2u);
    for (size_t i = 1; i < out.size(); ++i) {
        double mx = (out[i].X + out[i - 1].X) / 2, my = (out[i].Y + out[i - 1].Y) / 2;
        EXPECT_LE(r - std::hypot(mx, my), tol + 1e-12) << "chord " << i;
    }
}

TEST(Bog2Vek3D, ShortWritesNameThePlaceAndReturn4061) {
    for (int n : {1, 3}) {  // an intermediate point, then the end point of three
        ArcWriter w;
        platform::FailWriteAfter(n);
        int16_t rc;
        auto out = w.Write("4 0 0 0\nA 0 pi/2 1", 0, 1, 1, &rc);
        platform::FailWriteAfter(0);
        int32_t code;
        char text[260];
        EXPECT_EQ(rc, 4061);
        EXPECT_EQ(w.basis.HoleAnfahrFehlerInfo(&code, text), 4061);
        EXPECT_EQ(code, n == 1 ? -405 : -410);
        EXPECT_EQ(text, w.path);
        EXPECT_EQ(out.size(), static_cast<size_t>(n - 1)) << "what was written stays";
    }
}

TEST(ElementFile, ReadAtTheEndRecordsTheReadErrorWithTheInputPath) {
    TempDir dir;
    std::string path = dir.File("in.eaw");
    WriteElements(path, ParseRecords("2 1 2 3"));
    CAnfahrenBasis b;
    b.Eingabe = path.c_str();
    b.EinHandle = rd_open(path.c_str(), 0);
    ELE_EAW r;
    EXPECT_EQ(b.Read_infile(&r), 0);
    EXPECT_EQ(r.X, 1);
    EXPECT_EQ(b.Meldung, 0);
    EXPECT_EQ(b.Read_infile(&r), -1);
    int32_t code;
    char text[260];
    EXPECT_EQ(b.HoleAnfahrFehlerInfo(&code, text), 4060);
    EXPECT_EQ(code, -435);
    EXPECT_EQ(text, path);
    EXPECT_EQ(b.SeekRead_infile(0, 0, &r), 0);
    EXPECT_EQ(r.Y, 2);
    EXPECT_EQ(b.Seek_infile(-2, 0), -1);
    EXPECT_EQ(b.Fehlercode, -425);
    EXPECT_EQ(b.Meldung, 4068);
    rd_close(b.EinHandle);
}

TEST(ElementFile, MessageBoxGoesToTheOwnerWithAnEmptyCaption) {
    ScriptedDialogs dialogs;
    CAnfahrenBasis b;
    char text[] =
        "Kontur pr\xfc"
        "fen";
    EXPECT_EQ(b.MBR(text), 0);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].caption, "");
    EXPECT_EQ(dialogs.boxes()[0].text, text);
}

}  // namespace
}  // namespace korvat::test
