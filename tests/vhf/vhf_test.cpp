// CVHF_580_980: whole programs in both positioning variants and with rotary engraving against
// hand-written golden files, and bad values.
#include <cmath>

#include <gtest/gtest.h>

#include "hpgl/plot_test_support.h"
#include "writers/vhf/cvhf_580_980.h"

namespace {

using namespace korvat::test;
using namespace korvat::test::plot;

constexpr float kPi = 3.14159265f;

class VhfTest : public WriterTest {
  protected:
    VhfTest() : WriterTest("vhf") {
        settings.Achse[0].MaxGeschwindigkeit = 6.0f;  // 100 mm/s in X and Y
        settings.Achse[2].MaxGeschwindigkeit = 1.2f;  // 20 mm/s in Z
    }
    // 100 units/mm on every axis; positioning variant PA when vs is set.
    void Open(CVHF_580_980& w, int vs) {
        settings.VhfPositionierModus = static_cast<int8_t>(vs);
        WriterTest::Open(w, Units(100, 100, 100));
    }
};

TEST_F(VhfTest, VariantGaProgram) {
    WZW_PB_STRUCT table{};
    table.Anzahl = 3;
    table.Werkzeug[1] = 7;
    table.Werkzeug[2] = 5;
    table.Werkzeug[3] = 5;
    CVHF_580_980 w;
    Open(w, 0);
    w.SetzeVorschuebe(1.2f, 0.6f, 6.0f);  // about 20, 10 and 100 mm/s
    w.Spinddreh(18000);
    w.WZWPplusB(&table, 3);
    w.WkzW(0, 5, 0, 0);  // the first place holding tool 5
    w.WkzW(0, 9, 0, 0);  // in no place: as given
    w.Move3(10, 20, 5);  // up (from unknown): X-Y first
    w.MoveZ(5);          // the Z of the last rapid move: nothing
    w.MoveZ(1);
    w.Draw3(10, 20, -0.5f, 0);
    w.Draw(30, 20);
    w.Draw(30, 40);  // the speed only before the first
    w.Kreis(20, 40, 10, 0, kPi / 2, 20, 50);
    w.Kreis(20, 40, 10, 0, 0.00001f, 10, 50);  // below 0.001 degree: a Draw
    w.MoveZ(1);                                // the last rapid Z, though the tool is deeper
    w.Move3(50, 50, 0);                        // down: Z first
    w.Move3(60, 50, 5);                        // up: X-Y first
    w.Move_abs(0, 0);
    w.Actuator(3, 'E');
    w.Actuator(4, 'A');
    w.Spindea(1);
    w.Spindea(0);
    w.SStringln("XX;");
    w.Stop();
    w.Wait(3);
    EXPECT_EQ(0, w.Close(0, 1));
    EXPECT_TRUE(SameBytes(Crlf(Golden("ga.vhf")), Output()));
}

TEST_F(VhfTest, VariantPaProgram) {
    CVHF_580_980 w;
    Open(w, 1);
    w.SetzeVorschuebe(1.2f, 0.6f, 6.0f);
    w.Move3(10, 20, 5);  // X-Y at the rapid speed, then the Z feed is set
    w.MoveZ(1);
    w.Draw3(10, 20, -0.5f, 0);
    w.Draw(30, 20);
    w.Draw(30, 40);
    w.Move3(30, 40, 0);  // down: one PA in space at the rapid speed
    w.Draw(20, 40);      // after a rapid move the feed is sent again
    w.Move3(20, 40, -1);
    w.Draw3(25, 40, -1, 0);
    w.Move3(25, 40, -2);
    w.Draw3(25, 45, -2, 0);  // the Z feed again: the machine still has the rapid speed
    w.Kreis(25, 40, 5, kPi / 2, -kPi / 2, 30, 40);
    w.Move_abs(0, 0);
    w.Close(0, 1);
    EXPECT_TRUE(SameBytes(Crlf(Golden("pa.vhf")), Output()));
}

// On a cylinder of 57.295 mm the replaced Y axis gets 200 units per degree at a base of 100
// units/mm, twice the X base: both speed limits are halved. Off again, the base returns; at
// 28.6475 mm the limits are a quarter and the lowered speed is sent with the next move.
TEST_F(VhfTest, RotaryEngravingScalesTheReplacedAxisAndItsSpeeds) {
    CVHF_580_980 w;
    Open(w, 0);
    w.InitTeilk(1, 'Y', 0, 57.295f, 0, 0);
    EXPECT_NEAR(200.0f, w.YAufloesung, 0.0001f);
    EXPECT_EQ(100.0f, w.XAufloesung);
    w.SetzeVorschuebe(6, 6, 6);  // 100 mm/s each, capped at 50 and 10
    w.Draw(1, 10);
    w.Draw3(1, 10, -1, 0);
    w.AenderungDurchmesser('A', 0);
    EXPECT_EQ(100.0f, w.YAufloesung);
    w.Draw(1, 10);
    w.AenderungDurchmesser('E', 28.6475f);
    w.Draw(1, 1);
    w.Close(0, 1);
    EXPECT_TRUE(SameBytes(Crlf(Golden("rotary.vhf")), Output()));
}

// Bad coordinates and a rotary axis without a diameter are refused with a named error; what was
// written before stays, nothing after it is written.
TEST_F(VhfTest, RefusesBadValues) {
    struct Case {
        const char* name;
        void (*call)(CVHF_580_980&);
        int code;
        const char* where;
    };
    const Case cases[] = {
        {"nan", [](CVHF_580_980& w) { w.Draw(NAN, 0); }, 2103, "CVHF_580_980::Draw"},
        {"huge z", [](CVHF_580_980& w) { w.MoveZ(-1e9f); }, 2111, "CVHF_580_980::MoveZ"},
        {"sweep", [](CVHF_580_980& w) { w.Kreis(0, 0, 1, 0, INFINITY, 0, 0); }, 2103,
         "CVHF_580_980::Kreis"},
        {"diameter", [](CVHF_580_980& w) { w.AenderungDurchmesser('E', 0); }, 2111,
         "CVHF_580_980::BerechneMasstab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChannelReset();
        CVHF_580_980 w;
        Open(w, 0);
        w.Spinddreh(18000);
        c.call(w);
        w.Draw(1, 1);
        w.Close(0, 1);
        EXPECT_TRUE(SameBytes(Crlf("RVS18000;\n"), Output()));
        EXPECT_EQ(c.code, cx268io.Fehlernummer);
        EXPECT_STREQ(c.where, cx268io.Fehlertext1);
    }
}

}  // namespace
