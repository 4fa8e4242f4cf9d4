// The B268 command stream, written by hand from the controller's command formats, for a channel
// that writes to a file (every query is answered empty there, so no status is polled).
#include <cmath>
#include <cstring>

#include "b268_fixture.h"

namespace korvat::test {
namespace {

TEST_F(B268Test, EveryCommandMemberSendsItsLine) {
    OpenFile();
    b.InitKlasse();
    b.InitEinheit(0, 0, 0, ' ', 1000, 800, 500, 100);
    b.InitEinheit(1, 0, 0, ' ', 1000, 800, 500, 100);
    b.InitGeschw(3, 1, 2, 4, 5);
    b.SetzeZVorschub(0.5f);
    b.SetzeVorschub(2.5f);
    b.SetzeZVorschub(0.25f);
    b.Move3(1, 2, 3);
    b.Draw(4, 5);
    b.Draw3(1, 2, -0.5);
    b.MoveZ(5);
    b.Kreis(10, 20, 5, M_PI / 2);
    b.Kreis(-1, -2, 0.5, -M_PI);
    b.KreisZ(0, M_PI, 2, -1);
    b.A4A(45);
    b.Grund();
    b.Grund(1.5);
    b.Grund(1, 2);
    b.Grund(1, 2, 3);
    b.Wait(1.5f);
    b.Stop();
    b.Spindea(1);
    b.Spindea(0);
    b.Actuator(3, 'E');
    b.Sensor(1, 0, 2.5f);
    b.SetzeFlughAbsolut(5, 7, 3);
    b.SetzeFlughAbsolut(-2, 7, 0);
    b.WzkAblegen();
    b.ToolCheck(1, 7);
    b.ToolCheck(0, 7);
    WzkTastStruct tast{};
    for (int i = 0; i < 7; ++i) tast.P[i] = static_cast<float>(i + 1);
    b.InitWzkTast(&tast);
    b.SetzeWzkTast("0123456789");
    b.SetzeWzkTast("01234567890");  // 11 characters: nothing
    WZW_SA_STRUCT sa{};
    for (int i = 0; i < 16; ++i) sa.Wert[i] = static_cast<int16_t>(100 + i);
    b.WZWSenAct(&sa);
    b.InitTeilk(1, 0, 'X', 1, 1, 10, 0, 0, 0);
    b.InitTeilk(1, 1, 'Y', 0.005f, 2, 5, 0, 0, 0);
    b.InitTeilk(0, 0, 'X', 1, 1, 10, 0, 0, 0);
    EXPECT_EQ(0, cx268io.Fehlernummer);
    EXPECT_TRUE(SameBytes(Crlf(Golden("every_call.txt")), Written()));
    EXPECT_EQ(' ', b.Drehachse);
    EXPECT_FLOAT_EQ(2.5f, b.VorschubXY);
    EXPECT_EQ(0, b.Absolut);
    EXPECT_FLOAT_EQ(-2.0f, b.Flughoehe);
    EXPECT_FLOAT_EQ(7.0f, b.Hoehe2);
}

TEST_F(B268Test, RotaryAxisTakesItsFactorIntoTheUnitLine) {
    OpenFile();
    b.InitTeilk(1, 0, 'X', 1, 1, 10, 0, 0, 0);  // factor 10 / pi
    b.InitEinheit(0, 1, 0, 'X', 1000, 800, 500, 100);
    b.InitEinheit(0, 1, 1, 'Y', 1000, 800, 500, 100);
    b.InitEinheit(1, 1, 1, 'X', 1000, 800, 500, 100);
    EXPECT_TRUE(
        SameBytes("KTX 3.18310\r\n"
                  "KD 3.183 800.000 500.000 100.000 3 1000\r\n"
                  "KD 1000.000 3.183 500.000 800.000 3 1000\r\n"
                  "KD 80.851 20320.000 12700.000 25400.000 4 10000\r\n",
                  Written()));
}

TEST_F(B268Test, ToolChangeClosesTheBlockAfterTheNextMotion) {
    OpenFile();
    b.Move3(0, 0, 5);
    b.WkzW(0, 5, 1.5f, 2);
    b.Draw(1, 2);  // the draw line, then 15 and 14
    b.Draw(3, 4);
    b.WkzW(3, 6, 0, 0);
    b.Move3(1, 2, 3);  // the move line, then 15, then 14
    b.Draw(5, 6);
    b.Schildtrenner();
    b.Draw3(7, 8, -1);
    b.WkzW(1, 2, 0, 0);
    b.WkzW(2, 3, 0, 0);
    b.MoveZ(4);
    EXPECT_TRUE(
        SameBytes("ZE 0.000 0.000 5.000\r\n\x0e"
                  "WZ 5 1.500 2.000\r\n"
                  "D 1.000 2.000\r\n\x0f\x0e"
                  "D 3.000 4.000\r\n"
                  "WZTA 6 0.000 0.000\r\n"
                  "ZE 1.000 2.000 3.000\r\n\x0f\x0e"
                  "D 5.000 6.000\r\n"
                  "\x10"
                  "Z 7.000 8.000 -1.000\r\n\x0f\x0e"
                  "WZA 2 0.000 0.000\r\n"
                  "WZT 3 0.000 0.000\r\n"
                  "MZ 4.000\r\n\x0f\x0e",
                  Written()));
}

TEST_F(B268Test, The251stCommandClosesTheBlockWithoutOpeningOne) {
    OpenFile();
    b.Move3(0, 0, 0);
    std::string expected = "ZE 0.000 0.000 0.000\r\n\x0e";
    for (int i = 1; i <= 252; ++i) {
        b.Draw(i, 0);
        char line[40];
        std::snprintf(line, sizeof line, "D %d.000 0.000\r\n", i);
        expected += line;
        if (i == 251) expected += "\x0f";
    }
    // The count starts again after the close: one more command, no close.
    EXPECT_TRUE(SameBytes(expected, Written()));
    EXPECT_EQ(1, b.Befehle);
}

TEST_F(B268Test, UnknownToolChangeKindSendsStopAndRecords3166) {
    OpenFile();
    b.WkzW(4, 5, 1, 2);
    EXPECT_EQ(3166, cx268io.Fehlernummer);
    EXPECT_EQ(1, cx268io.Fehlerflag);
    b.Draw(1, 1);  // the channel is stopped now
    EXPECT_TRUE(SameBytes("STOP 5 1.000 2.000\r\n", Written()));
}

TEST_F(B268Test, MagazinePlacesToolWordsAndZValue) {
    OpenFile();
    WZW_PB_STRUCT pb{};
    pb.Anzahl = 2;
    pb.X[1] = 10, pb.Y[1] = 20, pb.Z[1] = 5;
    pb.X[2] = 30, pb.Y[2] = 40, pb.Z[2] = -6;
    pb.Platz[1] = 8, pb.Platz[2] = 9;  // not sent: places are numbered by their index
    pb.Werkzeug[1] = 7, pb.Werkzeug[2] = 12;
    pb.ZWert = 12.5f;
    b.WZWPplusB(&pb, 3);
    pb.Anzahl = 0;
    b.WZWPplusB(&pb, 4);
    EXPECT_EQ(4, b.Magazinmodus);
    EXPECT_TRUE(
        SameBytes("KOM 1 10.000 20.000 -5.000 2 30.000 40.000 6.000 \r\n"
                  "KOW 7 12 \r\n"
                  "KOZ 12.500\r\n",
                  Written()));
}

TEST_F(B268Test, StatusRecordAndFixedAnswers) {
    OpenFile();
    BSTINFO info;
    std::memset(&info, 0x55, sizeof info);
    b.FBStInfo(&info);
    EXPECT_EQ(0, info.Wert);
    EXPECT_EQ(0, info.Bereich1Von);
    EXPECT_EQ(99, info.Bereich1Bis);
    EXPECT_EQ(0x3FC1F, info.Bereich2Von);
    EXPECT_EQ(10, info.Bereich2Bis);
    EXPECT_EQ(0, std::memcmp(info.Klein, "\x0a\x00\x01\x01\x02\x0a", 6));
    EXPECT_STREQ("", info.Achsbuchstaben);
    b.Zusatzkopf = 1;
    b.FBStInfo(&info);
    EXPECT_STREQ("A", info.Achsbuchstaben);
    EXPECT_EQ(1, b.xxx());
    EXPECT_FLOAT_EQ(-3.0f, b.ZBegrenz(-3));
    EXPECT_FLOAT_EQ(0.0f, b.ZBegrenz(2));
    EXPECT_EQ(&cx268io, b.Gebe_cxio_Zeiger());
    // Every query is answered empty on a file.
    EXPECT_EQ(50000, b.FRestBuffer());
    EXPECT_EQ(1, b.FRFahrt(0));
    FLAGPOS pos;
    EXPECT_EQ(0, b.LeseIst(0, 0, &pos));
    EXPECT_EQ("", Written());
}

// A table of 128 steps, speed 100 × step.
void WriteTable(const TempDir& dir) {
    std::string text;
    for (int i = 0; i < 128; ++i) text += std::to_string(i) + " " + std::to_string(100 * i) + "\n";
    WriteFile(dir.File("SPIND.TAB"), text);
}

TEST_F(B268Test, SpindleSpeedGoesOutAsTheNearestStep) {
    WriteTable(dir);
    EXPECT_EQ(0, b.HoleSTabelle(dir.File("machine.ini").c_str()));
    OpenFile();
    for (int n : {0, 50, 51, 150, 151, 6349, 6351, 12650, 12651, 12700}) b.Spinddreh(n);
    EXPECT_EQ(0, cx268io.Fehlernummer);
    EXPECT_TRUE(SameBytes(
        " FD 0\r\n FD 0\r\n FD 1\r\n FD 1\r\n FD 2\r\n FD 63\r\n FD 64\r\n FD 126\r\n FD 127\r\n"
        " FD 127\r\n",
        Written()));
}

TEST_F(B268Test, SpindleSpeedOutsideTheTableOrWithoutOne) {
    struct Case {
        bool table;
        int32_t speed;
        int code;
    } cases[] = {{false, 1000, 3111}, {true, -1, 3114}, {true, 12701, 3115}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        cx268io = CCX268IO{};
        b = B268{};
        openedBefore = 0;
        TempDir here;
        if (c.table) WriteTable(here);
        EXPECT_EQ(c.table ? 0 : 3110, b.HoleSTabelle((here.path() + "/").c_str()));
        EXPECT_EQ(c.table ? 0 : 1, b.STabelleFehlt);
        cx268io.pclose(2, 1);  // the load error stopped the channel; start again
        OpenFile();
        b.Spinddreh(c.speed);
        EXPECT_EQ(c.code, cx268io.Fehlernummer);
        EXPECT_STREQ("SPIND.TAB", cx268io.Fehlertext1);
        EXPECT_EQ("", Written());
        std::remove(dir.File("out.nc").c_str());
    }
}

}  // namespace
}  // namespace korvat::test
