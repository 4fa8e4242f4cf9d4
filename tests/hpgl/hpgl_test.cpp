// CHPGLB: whole programs in both dialects against hand-written golden files, the memory warning,
// bad values, and hp2xx reading the plain dialect.
#include <cmath>
#include <limits>
#include <regex>

#include <gtest/gtest.h>

#include "common/fxtexte.h"
#include "hpgl/plot_test_support.h"
#include "writers/hpgl/chpglb.h"

namespace {

using namespace korvat::test;
using namespace korvat::test::plot;

constexpr float kPi = 3.14159265f;
constexpr int kExtended = 4;

class HpglTest : public WriterTest {
  protected:
    HpglTest() : WriterTest("plt") {}
    void SetUp() override {
        WriterTest::SetUp();
        ASSERT_GT(LadeTextDatei(KORVAT_TEST_DIR "/texts.txt"), 0);
    }
    // A writer with 40 units/mm in X and Y, 100 in Z and the top edge at 200 mm, opened on
    // tmp/job.plt in the given dialect.
    void Open(CHPGLB& w, int geraeteart) {
        InitStruct units = Units(40, 40, 100);
        units.Weitere[2] = 200;
        WriterTest::Open(w, units, geraeteart);
    }
};

TEST_F(HpglTest, ExtendedDialectProgram) {
    ScriptedDialogs dialogs;
    CHPGLB w;
    w.SetzeSpezial(0, nullptr);  // 0: no memory limit
    Open(w, kExtended);
    w.SetzeVorschuebe(1.2f, 0.6f);
    w.SetzeVorschuebe(1.2f, 0.6f);  // unchanged: nothing
    w.Spindea(1);
    w.WkzW(0, 3, 0, 0);
    w.SetzeFlughAbsolut(2.0f, 0.5f);
    w.Move3(10, 5, 2);
    w.Move3(10, 5, 2);         // same point: nothing
    w.Draw3(10, 5, -0.5f, 1);  // same point: only the depth, then the pen goes down
    w.Draw(20, 5);
    w.Draw(20.01f, 5.01f);  // rounds to the same point: nothing
    w.Kreis(20, 15, 10, -kPi / 2, kPi / 2, 30, 15);
    w.Draw(30, 25);  // absolute after the arc
    w.Draw(25, 25);  // relative again
    w.Kreis(25, 20, 5, kPi / 2, -kPi / 2, 30, 20);
    w.Kreis(25, 20, 5, 0, 0.00001f, 30, 10);  // a sweep below 0.001 degree is a Draw
    w.Move3(30, 10, 2);                       // the point the Draw reached: written all the same
    w.SetzeGTiefe(2.003f, 0);                 // 0.004 mm from the last depth: nothing
    w.SetzeGTiefe(3.0f, 0);
    w.Draw3(30, 10, 5.0f, 1);  // above the fly height: a Move3 to the same point
    w.Draw3(35, 10, -1, 0);
    w.Draw3(35, 10, -1, 0);
    w.Stop();
    w.Wait(5.5f);
    w.Wait(0.01f);  // 20 ms or less: nothing
    w.Spindea(0);
    w.SetzePosInfos(100, 50, 0, 0, 0, 0, 0, 0, 0);  // against the top edge: Y offset 150
    w.Move3(0, 0, 5);
    w.Move_abs(0, 0);
    w.SetzePosInfos(100, 50, 0, 0, 0, 0, 60, 40, 1);  // vice centred at (60, 40)
    w.Move3(0, 0, 5);
    w.MoveZ(5);
    EXPECT_EQ(0, w.Close(0, 1));
    EXPECT_TRUE(SameBytes(Crlf(Golden("extended.plt")), Output()));
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(HpglTest, PlainDialectProgramLeavesOutTheEngravingCommands) {
    ScriptedDialogs dialogs;
    CHPGLB w;
    w.SetzeSpezial(10, nullptr);  // a plotter is never warned
    Open(w, 0);
    w.SetzeVorschuebe(1.2f, 0.6f);
    w.Spindea(1);
    w.WkzW(0, 2, 0, 0);
    w.Move3(10, 10, 5);
    w.Draw(50, 10);
    w.Draw(50, 30);
    w.Kreis(40, 30, 10, 0, kPi / 2, 40, 40);
    w.Draw(10, 40);
    w.Draw(10, 10);
    w.MoveZ(5);
    w.Move3(25, 20, 5);
    w.Draw(30, 20);
    w.Kreis(30, 25, 5, -kPi / 2, 2 * kPi, 30, 20);
    w.Stop();
    w.Wait(3);
    w.SetzeGTiefe(1, 0);
    w.SetzePosInfos(100, 50, 0, 0, 0, 0, 60, 40, 1);  // no offsets on a plotter
    w.MoveZ(5);
    w.Close(0, 1);
    EXPECT_TRUE(SameBytes(Crlf(Golden("plain.plt")), Output()));
    EXPECT_TRUE(dialogs.boxes().empty());
}

// hp2xx renders the plain golden program without complaint, and the drawing spans what the
// calls drew: 10..50 mm by 10..40 mm at 40 units/mm.
TEST_F(HpglTest, Hp2xxReadsThePlainDialect) {
    int status = 0;
    std::string log =
        RunCommand("hp2xx -m eps -f /dev/null " KORVAT_TEST_DIR "/golden/plain.plt", &status);
    ASSERT_EQ(0, status) << log;
    EXPECT_NE(std::string::npos, log.find("HPGL command(s) ignored: 0")) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("Unexpected event\\(s\\): +0\n"))) << log;
    EXPECT_NE(std::string::npos, log.find("Coordinate range: (400, 400) ... (2000, 1600)")) << log;
}

TEST_F(HpglTest, RoundsHalvesAwayFromZero) {
    CHPGLB w;
    InitStruct units = Units(2, 2, 2);
    w.Init(&units, 0, 0);
    int openedBefore = 0;
    ASSERT_EQ(0, w.Open(0, &settings, (tmp.path() + "/job").c_str(), &openedBefore, 0, nullptr));
    w.Move3(0.25f, -0.25f, 0);  // 0.5 and -0.5 units
    w.Move3(-0.75f, 0.74f, 0);  // -1.5 and 1.48 units
    w.Close(0, 1);
    EXPECT_TRUE(SameBytes(Crlf(Golden("rounding.plt")), Output()));
    EXPECT_EQ(1, w.RundeL(0.5f));
    EXPECT_EQ(-1, w.RundeL(-0.5f));
}

// Near the receiver's memory limit the extended dialect warns: a travel line is repeated after
// the box; a drawing line lifts the pen first and puts it back where it was, down only when it
// was down; Cancel stops the output.
TEST_F(HpglTest, MemoryWarningLiftsThePenAndReturns) {
    ScriptedDialogs dialogs;
    dialogs.Answer(IDOK);
    dialogs.Answer(IDOK);
    dialogs.Answer(IDOK);
    dialogs.Answer(IDCANCEL);
    CHPGLB w;
    w.SetzeSpezial(4150, nullptr);
    Open(w, kExtended);
    w.Move3(10, 5, 0);
    w.Move3(20, 5, 0);
    w.Move3(30, 5, 0);
    w.Move3(40, 5, 0);  // count 65 + 4096 passes 4150
    w.SetzeSpezial(150, nullptr);
    w.Draw(50, 5);
    w.Draw(60, 5);  // count 23 + 128 passes 150: the pen is down, it goes down again
    w.SetzeSpezial(140, nullptr);
    w.Draw3(70, 5, -1, 0);  // a pen-up line: it stays up
    w.SetzeSpezial(130, nullptr);
    w.Draw(80, 5);  // cancelled
    w.Draw(90, 5);
    w.Close(0, 1);
    EXPECT_TRUE(SameBytes(Crlf(Golden("warning.plt")), Output()));
    ASSERT_EQ(4u, dialogs.boxes().size());
    for (const auto& box : dialogs.boxes()) {
        EXPECT_EQ("Speicher fast voll", box.text);
        EXPECT_EQ("", box.caption);
        EXPECT_EQ(static_cast<unsigned>(MB_OKCANCEL | MB_ICONSTOP), box.style);
    }
    EXPECT_EQ(1, cx268io.Fehlerflag);
    EXPECT_EQ(1, cx268io.Tastenabbruch);
}

// Coordinates up to 2^30 - 1 units are written, and the relative step between the two ends of
// that range still fits; beyond it, or NaN, the call is refused with a named error and nothing
// after it is written.
TEST_F(HpglTest, RefusesValuesBeyondThePlotterRange) {
    struct Case {
        const char* name;
        void (*call)(CHPGLB&);
        int code;
        const char* where;
    };
    const Case cases[] = {
        {"beyond", [](CHPGLB& w) { w.Move3(3e7f, 0, 0); }, 2111, "CHPGLB::Move3"},
        {"nan", [](CHPGLB& w) { w.Draw(NAN, 0); }, 2103, "CHPGLB::Draw"},
        {"infinite", [](CHPGLB& w) { w.Draw(0, INFINITY); }, 2103, "CHPGLB::Draw"},
        {"arc centre", [](CHPGLB& w) { w.Kreis(1e30f, 0, 1, 0, 1, 0, 0); }, 2111, "CHPGLB::Kreis"},
        {"sweep", [](CHPGLB& w) { w.Kreis(0, 0, 1, 0, NAN, 0, 0); }, 2103, "CHPGLB::Kreis"},
        {"depth", [](CHPGLB& w) { w.Draw3(0, 0, -INFINITY, 1); }, 2103, "CHPGLB::Draw3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChannelReset();
        CHPGLB w;
        Open(w, 0);
        w.Move3(2.6e7f, 0, 0);
        w.Draw(-2.6e7f, 0);
        c.call(w);
        w.Draw(1, 1);
        w.Close(0, 1);
        EXPECT_TRUE(SameBytes(Crlf(Golden("range.plt")), Output()));
        EXPECT_EQ(c.code, cx268io.Fehlernummer);
        EXPECT_STREQ(c.where, cx268io.Fehlertext1);
    }
}

// A dwell without end would never finish subtracting 2.52 s: it is refused, not looped over.
TEST_F(HpglTest, RefusesAnEndlessDwell) {
    for (float seconds : {1e30f, INFINITY, NAN}) {
        ChannelReset();
        CHPGLB w;
        Open(w, kExtended);
        w.Wait(seconds);
        w.Close(0, 1);
        EXPECT_TRUE(SameBytes(Crlf("IN;SC;PU;SP1;\n"), Output()));
        EXPECT_STREQ("CHPGLB::Wait", cx268io.Fehlertext1);
    }
}

}  // namespace
