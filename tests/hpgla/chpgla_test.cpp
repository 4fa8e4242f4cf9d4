// CHPGLA: whole statement streams against hand-written golden files (written to the channel's
// output file), the start-up files, the spindle output limits, single-step counting and bad
// values.
#include <cmath>
#include <limits>

#include "hpgla/online_fixture.h"
#include "online/hpgla/chpgla.h"

namespace korvat::test::online {
namespace {

class ChpglaTest : public OnlineTest {
  protected:
    int Open(CHPGLA& d, int schnell = 0) {
        InitStruct u = Units('Z', 1, 1, 1);  // CHPGLA keeps 1000 steps per mm whatever is given
        d.Init(&u, 0);
        return d.Open(0, &settings, base.c_str(), &opened, 0, profile.c_str(), schnell);
    }
};

TEST_F(ChpglaTest, RapidMoveOrdersPenPrefixesAndArcs) {
    CHPGLA d;
    d.SetzeSpezial(0, 1);
    ASSERT_EQ(0, Open(d));
    EXPECT_EQ(1, opened);
    d.Move3(10, 20, 5);   // up and a new XY: ZA, PA, ZA
    d.Move3(15, 20, 10);  // Z 5 to Z 10 with a new XY: ZA, PA, ZA
    d.Move3(20, 20, 5);   // Z 10 to Z 5: PA, ZA
    d.Move3(20, 20, 5);   // same XY, same Z: ZA alone
    d.Move3(20, 20, 2);   // same XY, lower: ZA alone
    d.Draw3(20, 20, -1);  // first pen statement: the pen-down prefix
    d.Draw(30, 20);
    d.Draw(30, 25);                // the prefix only once
    d.Draw3(-0.0017f, 25, -0.5f);  // -1.7 steps round to -2
    d.Draw(-0.5f, 25);             // exactly -500 stays -500
    d.MoveZ(3);
    d.Move3(-0.5f, 25, 3);  // same point, same height: the closing ZA alone
    d.Draw(0, 25);
    d.Kreis(0, 0, 25, Sweep(12.3456), 5, 5);
    d.Kreis(1, 2, 25, Sweep(-45.25), 3, 4);
    d.Kreis(0, 0, 25, Sweep(-0.5), 3, 4);  // keeps its direction
    d.Kreis(0, 0, 25, Sweep(90), 3, 4);
    d.Draw(4, 4);  // relative from the arc's end point
    d.BPosit_X(1);
    d.BPosit_Y(2);
    d.BPosit_Z(3);
    d.BPosit_XY(4, 5);
    d.Draw(5, 5);
    d.SetzeSpezial(3, 0);  // pen 3: "GF" statements
    d.MoveZ(10);
    d.Draw3(5, 5, -1);
    EXPECT_TRUE(SameBytes(Crlf(Golden("moves.txt")), Output()));
    EXPECT_EQ(0, cx268io.Fehlerflag);
}

TEST_F(ChpglaTest, MachineFunctionsAndTheFastStartUpFile) {
    WriteFile(dir.File("extra.txt"), "VS10;\n\nPA0,0;\n");
    CHPGLA d;
    ASSERT_EQ(0, Open(d, 1));
    d.SetzeVorschuebe(1.5f, 0.25f);
    d.Spindea(1);
    d.Spindea(0);
    SpindelInfo s{1000, 24000, 0.1f, 2.55f};
    d.Spinddreh(24000, &s);  // 2.55 sends 255
    d.Spinddreh(1000, &s);
    d.Spinddreh(12500, &s);
    SpindelInfo grenze{1000, 24000, 0.0f, 2.5505f};  // the highest output value accepted
    d.Spinddreh(24000, &grenze);
    d.Actuator(7, '1');
    d.Actuator(8, '0');
    d.Actuator(3, '1');
    d.Wait(2.5f);
    d.SetzeMat(0.5f);
    d.ZReffahrt(1, 2);
    EXPECT_EQ(0, d.SetzXY(1.5f, -2));
    d.Stop();
    d.WkzW(1, 2, 0, 0);
    EXPECT_EQ(0, d.BPuffClear());
    EXPECT_EQ(0, d.SendeDatei(dir.File("extra.txt").c_str()));
    EXPECT_TRUE(SameBytes(Crlf(Golden("functions.txt")), Output()));
    EXPECT_EQ(0, cx268io.Fehlerflag);
}

TEST_F(ChpglaTest, SpindleOutsideItsLimitsStopsTheOutput) {
    struct Case {
        int speed;
        SpindelInfo info;
        int code;
    } cases[] = {
        {24000, {1000, 24000, 0.0f, 2.56f}, 1037},
        {1000, {1000, 24000, -0.01f, 2.0f}, 1037},
        {999, {1000, 24000, 0.0f, 2.0f}, 1038},
        {24001, {1000, 24000, 0.0f, 2.0f}, 1038},
        {5000, {1000, 24000, std::numeric_limits<float>::quiet_NaN(), 2.0f}, 1037},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        SetUp();
        opened = 0;
        CHPGLA d;
        ASSERT_EQ(0, Open(d, 1));
        d.Spinddreh(c.speed, &c.info);
        d.Spindea(1);  // silent from here on
        EXPECT_EQ(c.code, cx268io.Fehlernummer);
        EXPECT_EQ(1, cx268io.Fehlerflag);
        EXPECT_TRUE(SameBytes(Crlf(";IN;\nVS50;\nPT0;\n"), Output()));
    }
}

TEST_F(ChpglaTest, MissingStartUpFileRecords1035AndSendsNothingMore) {
    std::remove(dir.File("INITSV.DAT").c_str());
    CHPGLA d;
    EXPECT_EQ(-1, Open(d, 0));
    EXPECT_EQ(1035, cx268io.Fehlernummer);
    EXPECT_EQ(dir.File("INITSV.DAT"), cx268io.Fehlertext1);
    d.Move3(1, 1, 1);
    EXPECT_TRUE(SameBytes(";", Output()));
}

TEST_F(ChpglaTest, StartUpFileOnlyOnTheFirstOpen) {
    CHPGLA d;
    ASSERT_EQ(0, Open(d, 0));
    d.Draw(1, 0);
    cx268io.pclose(0, 1);
    // Opened before: no start-up file, and the pen keeps its state.
    ASSERT_EQ(0, d.Open(0, &settings, base.c_str(), &opened, 0, profile.c_str(), 0));
    d.Draw(2, 0);
    EXPECT_TRUE(SameBytes(Crlf(";PT0;\nPR\t1000,0;\n"), Output()));
}

TEST_F(ChpglaTest, StartUpFileWithACutLineCountsAsNotSent) {
    WriteFile(dir.File("INITSV.DAT"), "IN;\n" + std::string(600, 'A') + "\nSP1;\n");
    CHPGLA d;
    EXPECT_EQ(-1, Open(d, 0));
    EXPECT_EQ(1035, cx268io.Fehlernummer);
    EXPECT_TRUE(SameBytes(Crlf(";IN;\n"), Output()));
}

TEST_F(ChpglaTest, InitDirectoryIsTheProfilesFolder) {
    struct Case {
        const char* profile;
        const char* dir;
    } cases[] = {
        {"C:\\FRAXON\\MASCH\\HPGLA.INI", "C:\\FRAXON\\MASCH\\"},
        {"/etc/korvat/hpgla.ini", "/etc/korvat/"},
        {"C:HPGLA.INI", "C:"},
        {"hpgla.ini", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        char out[260];
        EXPECT_TRUE(korvat::hpgla::Initverzeichnis(c.profile, out, sizeof out));
        EXPECT_STREQ(c.dir, out) << c.profile;
    }
    char klein[4];
    EXPECT_FALSE(korvat::hpgla::Initverzeichnis("/etc/korvat/x.ini", klein, sizeof klein));
    EXPECT_STREQ("", klein);
}

TEST_F(ChpglaTest, SingleStepCountsEveryLineAndStopAsksForAnAcknowledgement) {
    CHPGLA d;
    ASSERT_EQ(0, Open(d, 0));
    EXPECT_EQ(0, d.SetzeSchrittweise());
    d.Draw(1, 0);
    d.Move3(1, 0, 5);  // ZA, then the closing ZA
    d.Stop();          // "M1;M2;" and "EF!;"
    EXPECT_EQ(5, d.Ausstehend);
    EXPECT_EQ(0, d.SetzeNormalausgabe());
    d.Stop();
    EXPECT_EQ(5, d.Ausstehend);
    EXPECT_TRUE(SameBytes(Crlf(";IN;\nSP1;\nPT0;\nPD;PR\t1000,0;\nPU;ZA\t5000;\nZA\t5000;\n"
                               "M1;M2;\nEF!;\nM1;M2;\n"),
                          Output()));
}

TEST_F(ChpglaTest, WarteFertigWithoutAPortHasNothingToWaitFor) {
    CHPGLA d;
    ASSERT_EQ(0, Open(d, 0));
    EXPECT_EQ(1, d.WarteFertig());  // nothing outstanding: at once
    d.SetzeSchrittweise();
    d.Draw(1, 1);
    EXPECT_EQ(1, d.WarteFertig());  // a file takes no acknowledgement
    EXPECT_EQ(0, d.Ausstehend);
}

TEST_F(ChpglaTest, StatusRecordAndFixedAnswers) {
    CHPGLA d;
    InitStruct u = Units('Z', 1, 1, 1);
    d.Init(&u, 0);
    BSTINFO b;
    std::memset(&b, 0x55, sizeof b);
    d.FBStInfo(&b);
    EXPECT_EQ(0, b.Wert);
    EXPECT_EQ(0, b.Bereich1Von);
    EXPECT_EQ(99, b.Bereich1Bis);
    EXPECT_EQ(0, b.Bereich2Von);
    EXPECT_EQ(10, b.Bereich2Bis);
    const uint8_t bytes[6] = {8, 0, 1, 1, 2, 10};
    EXPECT_EQ(0, std::memcmp(bytes, b.Klein, 6));
    EXPECT_STREQ("A", b.Achsbuchstaben);
    u.MaschTypBuchstabe = 'F';
    d.Init(&u, 0);
    d.FBStInfo(&b);
    EXPECT_STREQ("", b.Achsbuchstaben);
    EXPECT_EQ(50000, d.FRestBuffer());
    EXPECT_EQ(1, d.xxx());
    EXPECT_EQ(&cx268io, d.Gebe_cxio_Zeiger());
    EXPECT_EQ(123.5f, d.ZBegrenz(123.5f));
}

TEST_F(ChpglaTest, ANaNCoordinateIsRefusedAndStopsTheOutput) {
    CHPGLA d;
    ASSERT_EQ(0, Open(d, 0));
    d.Draw(1, 0);
    d.Move3(std::numeric_limits<float>::quiet_NaN(), 0, 5);
    d.Draw(2, 0);
    EXPECT_EQ(2103, cx268io.Fehlernummer);
    EXPECT_STREQ("Move3", cx268io.Fehlertext1);
    EXPECT_TRUE(SameBytes(Crlf(";IN;\nSP1;\nPT0;\nPD;PR\t1000,0;\n"), Output()));
}

}  // namespace
}  // namespace korvat::test::online
