// CDIN: whole programs against hand-written golden files, read back by LinuxCNC's rs274, and
// the edges and bad input that the golden programs do not reach.
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>

#include "din_scenarios.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "support/pty.h"

namespace korvat::test::din {
namespace {

using korvat::writer::kFehlerSatzZuLang;
using korvat::writer::kFehlerToolCheck;
using korvat::writer::kFehlerZahlUngueltig;

class DinProgram : public ::testing::TestWithParam<Scenario> {};

TEST_P(DinProgram, MatchesGolden) {
    ScriptedDialogs dialogs;
    Written w = Write(GetParam());
    EXPECT_TRUE(SameBytes(Crlf(Golden(GetParam().golden)), w.bytes));
}

// The plain ISO programs, read back by LinuxCNC's interpreter.
class DinReadBack : public ::testing::TestWithParam<Scenario> {};

TEST_P(DinReadBack, Rs274ReadsTheMovesAskedFor) {
    const Scenario& s = GetParam();
    ASSERT_FALSE(Rs274Program().empty()) << "rs274 (linuxcnc-uspace) is not installed";
    ScriptedDialogs dialogs;
    Written w = Write(s);
    Rs274Options options;
    options.absoluteArcCentres = s.absoluteCentres;
    Rs274Result r = RunRs274(w.bytes, options);
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.errors, "") << r.input;
    EXPECT_EQ(r.exitCode, 0) << r.input;
    EXPECT_TRUE(SameMoves(w.expect.list(), r.calls)) << r.input;
}

std::string CaseName(const ::testing::TestParamInfo<Scenario>& info) {
    std::string name = info.param.golden;
    return name.substr(0, name.find('.'));
}

std::vector<Scenario> IsoScenarios() {
    std::vector<Scenario> iso;
    for (const Scenario& s : Scenarios()) {
        if (s.iso) iso.push_back(s);
    }
    return iso;
}

INSTANTIATE_TEST_SUITE_P(Golden, DinProgram, ::testing::ValuesIn(Scenarios()), CaseName);
INSTANTIATE_TEST_SUITE_P(Iso, DinReadBack, ::testing::ValuesIn(IsoScenarios()), CaseName);

// A writer opened on a temporary file; Text() closes it and returns the program.
class Din : public ::testing::Test {
  protected:
    void SetUp() override {
        cx268io.pclose(2, 1);
        settings = DefaultSettings();
    }
    void TearDown() override { cx268io.pclose(2, 1); }
    short Open(const char* name = "PROG") {
        int before = 0;
        return writer.Open(0, &settings, 0, dir.File("p").c_str(), &before, name);
    }
    std::string Text() {
        writer.Close(1, 1);
        return ReadFile(dir.File("p.ngc"));
    }
    TempDir dir;
    ScriptedDialogs dialogs;
    MaschEinstellung settings;
    CDIN writer;
};

TEST_F(Din, DecimalsFollowTheSettingWithinItsBounds) {
    struct Case {
        int decimals, maximum;
        const char* block;
    } cases[] = {
        {0, 0, "G0 X1.235 Y-2.000\r\n"},                // unset: 3
        {6, 4, "G0 X1.2346 Y-2.0000\r\n"},              // capped at the maximum
        {20, 0, "G0 X1.23457 Y-2.00000\r\n"},           // capped at the default maximum 5
        {20, 20, "G0 X1.234567890 Y-2.000000000\r\n"},  // never above 9
        {-3, 0, "G0 X1.235 Y-2.000\r\n"},               // negative: as unset
    };
    for (const Case& c : cases) {
        TempDir d;
        MaschEinstellung s = DefaultSettings();
        s.Nachkommastellen = static_cast<int8_t>(c.decimals);
        s.MaxNachkommastellen = static_cast<int8_t>(c.maximum);
        CDIN w;
        int before = 0;
        ASSERT_EQ(w.Open(0, &s, 0, d.File("p").c_str(), &before, "P"), 0);
        w.Move(1.23456789, -2);
        w.Close(1, 1);
        EXPECT_EQ(ReadFile(d.File("p.ngc")), c.block) << c.decimals << "/" << c.maximum;
    }
}

TEST_F(Din, ScaleDefaultsAndBlockNumberLimits) {
    settings.Massstab[0] = 0;  // X unset: X and Y are 1 whatever Y says
    settings.Massstab[1] = -2;
    settings.Massstab[2] = 0;
    ASSERT_EQ(Open(), 0);
    EXPECT_EQ(writer.MassstabX, 1.0);
    EXPECT_EQ(writer.MassstabY, 1.0);
    EXPECT_EQ(writer.MassstabZ, 1.0);
    EXPECT_EQ(writer.GebeDINSatznummer(), 1);
    EXPECT_EQ(writer.LetzteNummer, 999999999);

    settings.Massstab[0] = 2;
    settings.Massstab[2] = 0;              // Z unset: copies X
    settings.ErsteSatznummer = 999999999;  // read as 0
    ASSERT_EQ(Open(), 0);
    EXPECT_EQ(writer.MassstabY, -2.0);
    EXPECT_EQ(writer.MassstabZ, 2.0);
    EXPECT_EQ(writer.GebeDINSatznummer(), 0);
}

TEST_F(Din, NullProgramNameWritesTheDefaultHead) {
    settings.Optionen = 4;
    ASSERT_EQ(Open(nullptr), 0);
    EXPECT_EQ(Text(), "%100\r\n");
}

TEST_F(Din, ZeroFilledSettingsStillWriteAProgram) {
    std::memset(&settings, 0, sizeof settings);
    int before = 0;
    ASSERT_EQ(writer.Open(0, &settings, 0, dir.File("p").c_str(), &before, "P"), 0);
    writer.SetzeVorschuebe(1000, 100);
    writer.Move3(1, 2, 3);
    writer.Draw(4, 5);
    writer.Close(1, 1);
    EXPECT_EQ(ReadFile(dir.File("p.")), "G0 X1.000 Y2.000 Z3.000\r\nG1 X4.000 Y5.000 F1000\r\n");
}

TEST_F(Din, MissingSettingsOpenNothingAndLaterCallsAreHarmless) {
    int before = 0;
    EXPECT_EQ(writer.Open(0, nullptr, 0, dir.File("p").c_str(), &before, "P"), 1);
    EXPECT_EQ(before, 1);
    writer.Move3(1, 2, 3);
    writer.Draw3(1, 2, 3);
    writer.Kreis(0, 0, 1, 0, 1, 1, 1, 0, 0);
    writer.WkzW(1, 1, nullptr);
    writer.Spindea(1, 1);
    writer.Close(1, 1);
    EXPECT_FALSE(std::ifstream(dir.File("p.ngc")).good());
}

// Every member that takes coordinates refuses NaN and infinity with error 2103; what was written
// before stays, nothing is written after.
TEST_F(Din, NonFiniteValuesAreRefusedAndStopTheProgram) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<std::pair<const char*, std::function<void(CDIN&)>>> calls = {
        {"Move3", [&](CDIN& w) { w.Move3(nan, 0, 0); }},
        {"Move", [&](CDIN& w) { w.Move(0, inf); }},
        {"MoveZ", [&](CDIN& w) { w.MoveZ(-inf); }},
        {"Draw3", [&](CDIN& w) { w.Draw3(0, 0, nan); }},
        {"Kreis", [&](CDIN& w) { w.Kreis(0, 0, 1, 0, nan, 1, 0, 0, 0); }},
        {"Draw5", [&](CDIN& w) { w.Draw5(0, 0, 0, 0, inf, 0); }},
        {"SetzeVorschub", [&](CDIN& w) { w.SetzeVorschub(static_cast<float>(nan)); }},
        {"Wait", [&](CDIN& w) { w.Wait(static_cast<float>(inf)); }},
    };
    for (auto& [member, call] : calls) {
        cx268io.pclose(2, 1);
        TempDir d;
        CDIN w;
        int before = 0;
        ASSERT_EQ(w.Open(0, &settings, 0, d.File("p").c_str(), &before, "P"), 0);
        w.Move(1, 2);
        call(w);
        w.Move(3, 4);
        w.Close(1, 1);
        EXPECT_EQ(ReadFile(d.File("p.ngc")), "G0 X1.000 Y2.000\r\n") << member;
        EXPECT_EQ(cx268io.Fehlernummer, kFehlerZahlUngueltig) << member;
        EXPECT_EQ(w.FehlerCode, kFehlerZahlUngueltig) << member;
        EXPECT_NE(std::strstr(w.FehlerText1, member), nullptr) << w.FehlerText1;
    }
}

TEST_F(Din, BlocksThatDoNotFitAreRefusedNotCut) {
    ASSERT_EQ(Open(), 0);
    writer.Move(1, 2);
    writer.Move5(0, 1e30, 1e30, 1e30, 1e30, 1e30);  // about 190 characters
    writer.Move(3, 4);
    EXPECT_EQ(Text(), "G0 X1.000 Y2.000\r\n");
    EXPECT_EQ(cx268io.Fehlernummer, kFehlerSatzZuLang);
    EXPECT_LT(std::strlen(writer.Satz), sizeof writer.Satz);
}

TEST_F(Din, ToolLineLongerThanTheBlockIsRefused) {
    // 40 times "$X", filling the field without a terminator: 200 characters for place 12345.
    for (size_t i = 0; i + 1 < sizeof settings.WechselZeile; i += 2) {
        settings.WechselZeile[i] = '$';
        settings.WechselZeile[i + 1] = 'X';
    }
    ASSERT_EQ(Open(), 0);
    writer.WkzW(1, 12345, nullptr);
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(cx268io.Fehlernummer, kFehlerSatzZuLang);
    EXPECT_NE(std::strstr(writer.FehlerText1, "12345"), nullptr) << writer.FehlerText1;
}

TEST_F(Din, ToolLineTemplate) {
    char out[128];
    EXPECT_EQ(writer.WzWZeileAuswerten("T$X$$", 3, out), 0);
    EXPECT_STREQ(out, "T3$");
    EXPECT_EQ(writer.WzWZeileAuswerten("$xM6$q$", 12, out), 0);  // "$q" and a lone "$" drop
    EXPECT_STREQ(out, "12M6");
    EXPECT_EQ(writer.WzWZeileAuswerten("T$X M6", 12345, out, 8), -1);
    EXPECT_STREQ(out, "");
}

// Which rapid moves carry a pending speed word: Move, Move3_abs and the ordered approach only
// with DrehzahlImEilgang 1, MoveZ always, the single block of Move3, Move_abs and Movez_abs never.
TEST_F(Din, SpeedWordsOnRapidMoves) {
    settings.DrehzahlImEilgang = 1;
    ASSERT_EQ(Open(), 0);
    writer.Spinddreh(5000);
    writer.Move3(1, 2, 3);
    writer.Move_abs(1, 2);
    writer.Movez_abs(4);
    writer.Move3_abs(1, 2, 5);
    writer.Spinddreh(6000);
    writer.Move(7, 8);
    writer.Spinddreh(7000);
    writer.MoveZ(9);
    EXPECT_EQ(Text(),
              "G0 X1.000 Y2.000 Z3.000\r\n"
              "G0 X1.000 Y2.000\r\n"
              "G0 Z4.000\r\n"
              "G0 X1.000 Y2.000 Z5.000 S5000\r\n"
              "G0 X7.000 Y8.000 S6000\r\n"
              "G0 Z9.000 S7000\r\n");
}

TEST_F(Din, CommentOpenerTildeSuppressesToolComments) {
    settings.KommentarAuf[0] = '~';
    ASSERT_EQ(Open(), 0);
    AWKZDAT ball{};
    ball.Art = 2;
    ball.Kugelradius = 1;
    writer.WkzW(1, 5, &ball);
    EXPECT_EQ(Text(), "T5 M6\r\n");
}

TEST_F(Din, RotaryEngravingShowsItsBoxes) {
    ASSERT_EQ(Open(), 0);
    writer.InitTeilk(1, 'X', 0, 50, 1, 1000);
    writer.Move(0, 0);
    writer.Kreis(0, 1, 1, -1.5707963267948966, 1, 1, 1, 0, 0);
    ASSERT_EQ(dialogs.boxes().size(), 2u);
    EXPECT_EQ(dialogs.boxes()[0].text,
              "Ausgabe Rundgravieren ist aktiv !\nAchse X wird durch Rundachse A ersetzt.\n"
              "Durchmesser Werkst\xfc"
              "ck ist 50.000 mm");
    EXPECT_EQ(dialogs.boxes()[0].caption, "");
    EXPECT_EQ(dialogs.boxes()[0].style, MB_OK);
    EXPECT_EQ(dialogs.boxes()[1].text,
              "Warnung !\nRundgravieren ist aktiv und es werden B\xf6gen ausgegeben");
}

TEST_F(Din, RotaryEngravingInDialect13LeavesItToTheControl) {
    settings.MaschTyp = 13;
    ASSERT_EQ(Open(), 0);
    writer.InitTeilk(1, 'X', 0, 50, 1, 1000);
    writer.WkzW(1, 1, nullptr);
    writer.Move(10, 0);
    writer.Kreis(10, 1, 1, -1.5707963267948966, 1, 11, 1, 0, 0);
    EXPECT_TRUE(dialogs.boxes().empty());
    EXPECT_EQ(writer.MassstabX, 1.0);
    // No free-axis block: the tool change, the control's rotary blocks, then the move.
    std::string start = "T1 M6\r\nG0 X0\r\nG115 X0 A25.0000\r\nG0 X10.000 Y0.000\r\n";
    EXPECT_EQ(Text().substr(0, start.size()), start);
}

// A program written to a machine on a serial line and to a file at once: the machine receives
// exactly the bytes of the file.
TEST_F(Din, MachineOnTheLineReceivesTheProgramFileBytes) {
    PtyPeer machine;
    machine.ExportAs("KORVAT_COM3");
    machine.StartReading();
    settings.Schnittstelle = 3;
    settings.Baudrate = 9600;
    settings.Datenbits = 8;
    settings.Optionen = 4 | 512;
    int before = 0;
    ASSERT_EQ(writer.Open(1, &settings, 0, dir.File("p").c_str(), &before, "LINE"), 0);
    writer.SetzeVorschuebe(1000, 200);
    writer.Move3(1, 2, 3);
    writer.Draw3(1, 2, -1);
    writer.Kreis(1, 7, 5, -1.5707963267948966, 3.141592653589793, 1, 12, -1, 0);
    std::string file = Text();
    std::string expected =
        "%LINE\r\nN1 G0 X1.000 Y2.000 Z3.000\r\nN2 G1 X1.000 Y2.000 Z-1.000 F200\r\n"
        "N3 G3 X1.000 Y12.000 I0.000 J5.000 F1000\r\n";
    EXPECT_EQ(file, expected);
    EXPECT_EQ(machine.WaitCollected(expected.size(), 5000), expected);
    EXPECT_EQ(cx268io.Fehlernummer, 0);
}

TEST_F(Din, ToolCheckStopsTheOutputWithItsCode) {
    ASSERT_EQ(Open(), 0);
    writer.Move(1, 1);
    writer.ToolCheck();
    writer.Move(2, 2);
    EXPECT_EQ(Text(), "G0 X1.000 Y1.000\r\n");
    EXPECT_EQ(cx268io.Fehlernummer, kFehlerToolCheck);
    EXPECT_NE(cx268io.Fehlerflag, 0);
}

TEST_F(Din, FilePositionForwardersFillInEarlierText) {
    ASSERT_EQ(Open(), 0);
    writer.Move(1, 2);
    ASSERT_EQ(writer.GebeDateiZeiger(), 18);
    EXPECT_EQ(writer.NachtragenInDatei(4, 1, "7"), 0);
    EXPECT_EQ(writer.SetzeDateiZeiger(18), 0);
    writer.Move(3, 4);
    EXPECT_EQ(writer.BufferWegschreiben(), 0);
    EXPECT_EQ(Text(), "G0 X7.000 Y2.000\r\nG0 X3.000 Y4.000\r\n");
}

TEST_F(Din, FixedAnswers) {
    EXPECT_EQ(writer.ZBegrenz(1e30f), 1e30f);  // no limit until one is set
    writer.SetzeZBegrenzung(5);
    EXPECT_EQ(writer.ZBegrenz(7), 5.0f);
    EXPECT_EQ(writer.ZBegrenz(-3), -3.0f);

    BSTINFO info{};
    writer.FBStInfo(&info);
    EXPECT_EQ(info.Wert, 100);
    EXPECT_EQ(info.Bereich1Bis, 999);
    EXPECT_EQ(info.Bereich2Bis, 999);
    const uint8_t bytes[6] = {100, 0, 10, 0, 0, 60};
    EXPECT_EQ(std::memcmp(info.Klein, bytes, 6), 0);
    EXPECT_STREQ(info.Achsbuchstaben, "ABCUV");

    float result = 0;
    short valid = 0;
    EXPECT_EQ(writer.Abtasten(1, 2, 3, 4, &result, &valid), 0);
    EXPECT_EQ(valid, 1);
    EXPECT_EQ(result, -3.333f);
}

TEST_F(Din, OwnKeyboardPollLooksOnEveryTenthCall) {
    platform::ClearEvents();
    platform::PostEvent({platform::Event::KeyDown, VK_ESCAPE, nullptr});
    for (int i = 0; i < 9; ++i) writer.tastaturabfrage();
    EXPECT_EQ(writer.Escape1, 0);
    EXPECT_TRUE(platform::HasEvent());
    writer.tastaturabfrage();
    EXPECT_EQ(writer.Escape1, 1);
    EXPECT_EQ(writer.Escape2, 1);
    EXPECT_FALSE(platform::HasEvent());
    EXPECT_EQ(writer.Abfragezaehler, 10);
}

}  // namespace
}  // namespace korvat::test::din
