// CTORVE: a whole program against a hand-written golden file, and bad values.
#include <cmath>

#include <gtest/gtest.h>

#include "hpgl/plot_test_support.h"
#include "writers/ctorve/ctorve.h"

namespace {

using namespace korvat::test;
using namespace korvat::test::plot;

constexpr float kPi = 3.14159265f;

class CtorveTest : public WriterTest {
  protected:
    CtorveTest() : WriterTest("tor") {}
    void Open(CTORVE& w) { WriterTest::Open(w, Units(100, 100, 100)); }
};

TEST_F(CtorveTest, ProgramWithNegatedZ) {
    WZW_PB_STRUCT table{};
    table.Anzahl = 2;
    table.Werkzeug[1] = 4;
    table.Werkzeug[2] = 6;
    CTORVE w;
    w.SetzeSpezial(0, nullptr);
    Open(w);
    w.SetzeVorschuebe(0.01f, 0.01f);  // below 1 mm/s: raised to 1
    w.Move3(10, 20, -1);
    w.Draw3(10, 20, -2, 0);
    w.MoveZ(-2);  // compared with the last lifted move, not with the depth reached
    w.SetzeVorschuebe(1.2f, 0.6f);
    w.Draw(30, 20);
    w.Draw(30, 40);  // the speed only once
    w.Kreis(20, 40, 10, 0, kPi / 2, 20, 50);
    w.Draw3(20, 50, -3, 0);
    w.Kreis(20, 45, 5, kPi / 2, -kPi / 2, 25, 45);
    w.Kreis(20, 45, 5, 0, 0.00001f, 25, 40);  // below 0.001 degree: a Draw
    w.MoveZ(1);
    w.Move_abs(0, 0);
    w.Kreis(0, 5, 5, -kPi / 2, kPi, 0, 10);  // from a lifted tool: the pen goes down first
    w.Spinddreh(12000);
    w.Wait(0.0125f);
    w.Wait(0);
    w.Wait(2.5f);
    w.WZWPplusB(&table, 2);
    w.WkzW(0, 6, 0, 0);
    w.WkzW(0, 8, 0, 0);
    w.Spindea(0);
    w.Stop();
    EXPECT_EQ(0, w.Close(0, 1));
    EXPECT_TRUE(SameBytes(Crlf(Golden("program.tor")), Output()));
}

TEST_F(CtorveTest, RefusesBadValues) {
    struct Case {
        const char* name;
        void (*call)(CTORVE&);
        int code;
        const char* where;
    };
    const Case cases[] = {
        {"nan", [](CTORVE& w) { w.Draw3(0, 0, NAN, 0); }, 2103, "CTORVE::Draw3"},
        {"huge", [](CTORVE& w) { w.Move3(0, 2e7f, 0); }, 2111, "CTORVE::Move3"},
        {"dwell", [](CTORVE& w) { w.Wait(1e30f); }, 2111, "CTORVE::Wait"},
        {"sweep", [](CTORVE& w) { w.Kreis(0, 0, 1, 0, NAN, 0, 0); }, 2103, "CTORVE::Kreis"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChannelReset();
        CTORVE w;
        Open(w);
        w.Move3(10, 20, 5);
        c.call(w);
        w.Draw(1, 1);
        w.Close(0, 1);
        EXPECT_TRUE(SameBytes(Crlf(Golden("stopped.tor")), Output()));
        EXPECT_EQ(c.code, cx268io.Fehlernummer);
        EXPECT_STREQ(c.where, cx268io.Fehlertext1);
    }
}

}  // namespace
