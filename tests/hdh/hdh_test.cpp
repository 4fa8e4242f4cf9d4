// CHDH against hand-written programs: every member and option in one program, then the edges
// that catch real faults (block number restart, the 5 % rule, FMAX and Q words, the plunge feed,
// the rotary axis, switched-off words) and bad input (NaN, a disk that fills up).
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "channel/cx268io.h"
#include "platform/files.h"
#include "tests/support/golden.h"
#include "writers/hdh/chdh.h"

namespace {

using korvat::test::Crlf;
using korvat::test::Golden;
using korvat::test::ReadFile;
using korvat::test::SameBytes;

constexpr double kPi = 3.14159265358979323846;

class Hdh : public ::testing::Test {
  protected:
    void SetUp() override {
        cx268io.pclose(2, 1);
        std::memset(&s, 0, sizeof s);
        std::strcpy(s.Dateiendung, "H");
    }
    void TearDown() override {
        korvat::platform::FailWriteAfter(0);
        cx268io.pclose(2, 1);
    }
    void Open() {
        int before = 0;
        ASSERT_EQ(0, w.Open(0, &s, 0, dir.File("PROG").c_str(), &before, ""));
        EXPECT_EQ(1, before);
    }
    std::string Close() {
        w.Close(0, 1);
        return ReadFile(dir.File("PROG.H"));
    }

    korvat::test::TempDir dir;
    MaschEinstellung s;
    CHDH w{};
};

TEST_F(Hdh, FullProgramUsesEveryMemberAndOption) {
    s.Optionen = 0x200 | 0x40 | 0x80000;
    s.HdhOptionen[1] = 1;  // M13 after a tool call
    Open();
    w.SetzePosInfos(0, 0, 100, 50, -10, 0, 0, 0, 0, 0, 0, 0);
    w.InitTeilk(0, 'X', 0, 0, 0, 0);
    w.InitTeilk(0, 'X', 0, 0, 0, 0);  // the blank only once per Open
    w.SetzeVorschuebe(1.0f, 0.5f);
    w.SetzeEilgaenge(2.0f, 0, 0);
    AWKZDAT tool{};
    tool.Kugelradius = 1.5f;
    tool.Laenge = 40.0f;
    w.WkzW(0, 3, &tool);
    w.Spinddreh(12000);
    w.Spindea(1, 0);
    w.Move3(10, 20, 5);
    w.Draw3(10, 20, -1);
    w.Draw(40, 20);
    w.Kreis(40, 30, 10, -kPi / 2, kPi / 2, 50, 30);
    w.Kreis(50, 30.005, 0.005, 0, -1.0, 50, 30.01);  // tiny radius: a straight block
    w.Kreis(50, 20.01, 10, kPi / 2, -kPi / 2, 60, 20.01);
    w.Kreis(50, 20.01, 10, 0, 1.0, 60.001, 20.01);  // ends where it starts: nothing
    w.SetzeVorschub(1.04f);                         // 4 %: no word
    w.Draw(60, 0);
    w.SetzeVorschub(1.06f);  // 6 %: a word
    w.Draw(70, 0);
    w.Spinddreh(15000);  // speed change without a tool change
    w.Spinddreh(15000);
    w.MoveZ(5);
    w.MoveZ(5.0005);
    w.Move3(70, 0, 8);
    w.Move(0, 0);
    w.Zustellachse('W', 12.5f);
    w.SStringln(1, "STOP");
    w.SStringln(0, "; comment");
    w.Spindea(0, 0);
    w.Move_abs(1, 2);
    w.Movez_abs(5);
    w.Move3_abs(1, 2, 5);
    w.Draw3(1, 2, 6);
    w.Wait(1.0f);
    w.Stop();
    w.Sensor(1, 1, 0);
    w.Actuator(1, 'a');
    EXPECT_EQ(31, w.GebeDINSatznummer());
    EXPECT_FLOAT_EQ(50.0f, w.ZBegrenz(50.0f));
    EXPECT_FLOAT_EQ(100.0f, w.ZBegrenz(150.0f));  // the retract height caps it
    EXPECT_TRUE(SameBytes(Crlf(Golden("full_program.txt")), Close()));
}

TEST_F(Hdh, BlockNumbersRestartAtTheFirstNumberAfterTheLimit) {
    s.Optionen = 0x200;
    s.ErsteSatznummer = 0;
    s.LetzteSatznummer = 3;
    Open();
    for (int z = 1; z <= 5; ++z) w.Zustellachse('Z', static_cast<float>(z));
    char prefix[16];
    w.MacheSatznummer(prefix);
    EXPECT_STREQ("1 ", prefix);
    w.SStringln(1, "X");
    EXPECT_TRUE(SameBytes(Crlf(Golden("numbering_restart.txt")), Close()));
}

TEST_F(Hdh, FmaxAndQParameterWords) {
    s.HdhOptionen[0] = 'U';
    s.HdhOptionen[2] = 'U';
    s.QParameter = 1;
    Open();
    w.SetzeVarNummern(11, 12, 13);
    w.SetzeVorschuebe(1.2f, 0.3f);
    w.WkzW(0, 5, nullptr);
    w.Spinddreh(9000);
    w.Move(1, 1);
    w.SetzeVorschub(1.2f);
    w.Draw(2, 2);
    w.Draw3(2, 2, -1);  // plunge at the Z feed: its own Q number
    w.Move(3, 3);
    w.Draw(4, 4);
    EXPECT_TRUE(SameBytes(Crlf(Golden("fmax_and_q.txt")), Close()));
}

TEST_F(Hdh, RapidWordInMetresPerMinuteAndQWordsNeedTheSwitch) {
    s.VorschubFormat = 1;
    s.HdhOptionen[2] = 'U';  // Q option chosen, but Q parameters not allowed
    Open();
    w.SetzeEilgaenge(5.5f, 0, 0);
    w.Move(1, 1);
    w.SetzeVorschub(0.8f);
    w.Draw(2, 2);
    EXPECT_TRUE(SameBytes(Crlf(Golden("rapid_in_m_per_min.txt")), Close()));
}

TEST_F(Hdh, SwitchedOffWordsAreLeftOutAndToolsAreRecoded) {
    s.Drehzahlausgabe = -1;
    s.Vorschubausgabe = -1;
    s.Spindelausgabe = -1;
    Open();
    WZW_PB_STRUCT table{};
    table.Anzahl = 3;
    table.Werkzeug[1] = 9;
    table.Werkzeug[2] = 4;
    table.Werkzeug[3] = 4;
    w.WZWPplusB(&table, 1);
    w.WkzW(0, 4, nullptr);  // held in place 2
    w.Spinddreh(1000);
    w.Spindea(1, 0);
    w.Move(1, 1);
    w.Draw(2, 2);
    w.Spindea(0, 0);
    EXPECT_TRUE(SameBytes(Crlf(Golden("words_off.txt")), Close()));
}

TEST_F(Hdh, PlungeFeedIsCappedAtTheXYFeedAndRestoredAfterwards) {
    Open();
    w.SetzeVorschuebe(1.0f, 0.5f);
    w.Move3(0, 0, 5);
    w.Draw3(3, 4, 0);  // sqrt(50) / 5 x 0.5 = 0.707 m/min
    w.Draw(10, 4);
    w.SetzeVorschuebe(0.6f, 0.5f);
    w.Move3(0, 0, 5);
    w.Draw3(3, 4, 0);  // capped at 0.6
    w.Draw(10, 4);
    w.Draw3(10, 4, -0.005);  // 0.005 mm down: the XY feed
    // A fixed feed switches the plunge feed off; the mark left by the restore above writes it.
    w.SetzeVorschubDIN(0.2f);
    w.Draw3(10, 4, -3);
    w.SetzeVorschub(0.2f);
    w.Draw(0, 4);
    EXPECT_TRUE(SameBytes(Crlf(Golden("plunge_feed.txt")), Close()));
}

TEST_F(Hdh, RotaryAxisReplacesYWithBlankFreeAxisAndSwappedDirection) {
    s.KreisrichtungTauschen = 1;
    s.Massstab[2] = -1.0f;
    Open();
    w.SetzePosInfos(5, 10, 100, 40, -8, 30, 20, 1, 0, 0, 0, 0);
    w.InitTeilk(1, 'Y', 0, 114.0f, 0, 0);
    w.SetzeVorschuebe(1.0f, 1.0f);
    w.WkzW(0, 2, nullptr);
    w.Spinddreh(8000);
    w.Move(0, 90);
    w.Draw3(0, 90, -2);
    w.Kreis(10, 90, 10, kPi, -kPi / 2, 10, 100);
    EXPECT_TRUE(SameBytes(Crlf(Golden("rotary_y_on_114.txt")), Close()));
}

TEST_F(Hdh, RotaryAxisGetsFourDecimalsAbove114Millimetres) {
    s.MitRohteil = -1;
    Open();
    w.InitTeilk(1, 'X', 0, 114.1f, 0, 0);
    w.Move(10, 0);
    EXPECT_TRUE(SameBytes(Crlf(Golden("rotary_x_on_114_1.txt")), Close()));
}

TEST_F(Hdh, CoordinateAHairBelowZeroIsWrittenAsPrintfWritesIt) {
    s.Massstab[0] = -1.0f;  // mirrored X: 0 becomes -0.0 in the blank, "-0.0" as printf has it
    Open();
    w.SetzePosInfos(0, 0, 20, 10, -5, 0, 0, 0, 0, 0, 0, 0);
    w.InitTeilk(0, 'X', 0, 0, 0, 0);
    w.SetzeVorschuebe(0.5f, 0.5f);
    w.Move(0.0001, -0.0001);
    w.Draw3(0.0006, 0.0004, -0.0001);  // X -0.0006 still rounds to a true negative
    w.Kreis(0.0001, 5.0004, 5, -kPi / 2, kPi, 0.0001, 10.0004);
    w.Zustellachse('W', -0.0001f);
    w.Zustellachse('W', -0.0006f);
    EXPECT_TRUE(SameBytes(Crlf(Golden("hair_below_zero.txt")), Close()));
}

TEST_F(Hdh, NaNCoordinateStopsTheProgramWithAClearError) {
    Open();
    w.SetzeVorschuebe(1.0f, 1.0f);
    w.Move(1, 1);
    w.Draw(std::nan(""), 2);
    w.Draw(3, 3);
    EXPECT_EQ(2103, cx268io.Fehlernummer);
    EXPECT_EQ(std::string(dir.File("PROG.H")), cx268io.Fehlertext1);
    EXPECT_NE(nullptr, std::strstr(cx268io.Fehlertext2, "line 2"));
    EXPECT_NE(nullptr, std::strstr(cx268io.Fehlertext2, "nan"));
    EXPECT_TRUE(SameBytes(Crlf("L X1.000 Y1.000 F1000\n"), Close()));
}

TEST_F(Hdh, BlockTooLongForItsBufferIsRefusedNotCut) {
    Open();
    w.Zustellachse('Z', 1);
    w.Draw(1e200, 0);  // 200 digits cannot fit a 120-character block
    w.Zustellachse('Z', 2);
    EXPECT_EQ(2102, cx268io.Fehlernummer);
    EXPECT_NE(nullptr, std::strstr(cx268io.Fehlertext2, "line 2"));
    EXPECT_TRUE(SameBytes(Crlf("L Z1.000\n"), Close()));
}

TEST_F(Hdh, FullDiskKeepsEverythingWrittenBeforeTheFault) {
    Open();
    std::string expected;
    for (int i = 0; expected.size() < 70000; ++i) {
        w.Zustellachse('Z', static_cast<float>(i));
        expected += "L Z" + std::to_string(i) + ".000\r\n";
    }
    // The first 64 KiB block went to the disk when the buffer overflowed; the rest fails.
    korvat::platform::FailWriteAfter(1);
    std::string got = Close();
    EXPECT_EQ(1007, cx268io.Fehlernummer);
    ASSERT_EQ(65536u, got.size());
    EXPECT_TRUE(SameBytes(expected.substr(0, 65536), got));
}

}  // namespace
