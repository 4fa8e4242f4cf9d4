// CKESTL1 against hand-written programs: every member in one program, then the edges that catch
// real faults (number formatting by magnitude and the separator rule, the tool-change dialogue,
// workpiece offsets with resolution, the memory warning thresholds, the 300-character line) and
// bad input (NaN, a disk that fills up). Golden files hold CP1252 bytes; @STOP@ stands for the
// host's stop message, which the host's text library gives at run time.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "channel/cx268io.h"
#include "common/fxtexte.h"
#include "platform/files.h"
#include "tests/support/golden.h"
#include "writers/datron/ckestl1.h"

namespace {

using korvat::test::Crlf;
using korvat::test::Golden;
using korvat::test::ReadFile;
using korvat::test::SameBytes;
using korvat::test::ScriptedDialogs;

constexpr double kPi = 3.14159265358979323846;

std::string Replace(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
        text.replace(at, what.size(), with);
        at += with.size();
    }
    return text;
}

class Datron : public ::testing::Test {
  protected:
    void SetUp() override {
        cx268io.pclose(2, 1);
        std::memset(&s, 0, sizeof s);
        std::strcpy(s.Dateiendung, "MCR");
    }
    void TearDown() override {
        korvat::platform::FailWriteAfter(0);
        cx268io.pclose(2, 1);
    }
    void Open(const char* profile = nullptr) {
        int before = 0;
        ASSERT_EQ(0, w.Open(0, &s, Base().c_str(), &before, 0, profile));
        EXPECT_EQ(1, before);
    }
    std::string Base() const { return dir.File("JOB"); }
    std::string Close() {
        w.Close(0, 1);
        return ReadFile(dir.File("JOB.MCR"));
    }
    // The program head followed by the body of a golden file.
    std::string Expected(const std::string& body) {
        char stop[48];
        LadeRcString(8237, stop, sizeof stop);
        std::string text = Golden("head.txt") + Golden(body);
        return Crlf(Replace(text, "@STOP@", stop));
    }

    korvat::test::TempDir dir;
    MaschEinstellung s;
    CKESTL1 w{};
};

TEST_F(Datron, FullProgramUsesEveryMember) {
    std::string profile = dir.File("fraxon.ini");
    korvat::test::WriteFile(profile, "[DATRON]\nRueckfahrmodus = 0\n");
    InitStruct init{};
    init.Aufloesung[0] = init.Aufloesung[1] = init.Aufloesung[2] = 1.0f;
    w.Init(&init, 0, 0);
    Open(profile.c_str());
    w.SetzeSpezial(0, nullptr);
    w.SetzePosInfos(100, 50, 0, 0, 0, 0, 0, 0, 0, 10);
    w.SetzeVorschuebe(1.5f, 0.5f);
    w.KestlDrehzahl(1, 12000);
    w.Spindea(1);
    w.WkzW(1, 7, 0, 1.5f, 0.5235988f, 0.1f, 0, 0);
    w.Move3(10, 20, 5);
    w.Move3(10, 20, 5);  // already there: nothing
    w.Draw3(10, 20, -1);
    w.Draw(30.5, 20);
    w.Draw(30.5, 20);  // Draw is always written
    w.Kreis(30.5, 30, 10, -kPi / 2, kPi / 2, 40.5, 30);
    w.Kreis(30.5, 30, 10, 0, -kPi / 2, 30.5, 20);
    w.Kreis(30.5, 30, 10, -kPi / 2, 0.0001, 31, 20);         // below 0.011 degrees: a straight line
    w.CB_KreisZ(31, 30, 10, -kPi / 2, 4 * kPi, 31, 20, -5);  // two turns down 4 mm
    w.CB_KreisZ(31, 30, 10, -kPi / 2, kPi, 31, 40, -5);      // no height change
    w.CB_KreisZ(31, 40, 10, 0, 0, 31, 40, -6);               // no turn: straight down
    w.Wait(2.5f);
    WZW_PB_STRUCT table{};
    table.Anzahl = 5;
    table.Werkzeug[4] = 6;
    w.WZWPplusB(&table, 1);
    w.WkzW(0, 4, 0, 3, 0, 0, 0, 1);
    w.WkzW(0, 5, 0, 2, 0.7853982f, 0, 0.5f, 3);
    w.WkzW(1, 6, 0, 1, 0, 0, 0.75f, 2);
    w.WkzW(1, 8, 0, 0.5f, 0, 0, 0, 4);
    w.WkzW(1, 9, 0, 2, 0, 0, 0, 5);
    w.WkzW(1, 10, 0, 2, 0, 0, 0, 7);
    w.Move_abs(0, 0, 0);
    w.Move3(10, 20, 5);  // written again after the park position
    w.Stop();
    w.ToolCheck();
    w.SStringln("Z 1");
    EXPECT_EQ(0, w.SendeBefehl("; direkt"));
    w.SetzeGTiefe(-2, 0);
    w.SetzeFlughAbsolut(5, 0);
    w.MoveZ(3);
    w.Zustellachse('Z', 1);
    w.Actuator(1, 'a');
    w.Spindea(0);
    EXPECT_TRUE(SameBytes(Expected("full_program.txt"), Close()));
}

TEST_F(Datron, ManualThenTwoAutomaticChangesParkOnlyOnce) {
    Open();  // no profile: the return mode stays 1
    w.WkzW(0, 1, 0, 1, 0, 0, 0, 1);
    w.WkzW(1, 2, 0, 1, 0, 0, 0, 1);
    w.WkzW(1, 3, 0, 1, 0, 0, 0, 1);
    EXPECT_TRUE(SameBytes(Expected("manual_auto_auto.txt"), Close()));
}

TEST_F(Datron, NumbersByMagnitudeAndNoSeparatorAfterAComment) {
    Open();
    w.Out_Str("V");
    for (double v : {0.00005, -0.00005, 12.3456789, 1234.56789, 10.0}) w.Out_R(v);
    w.Ausgabe(-1);
    w.Out_Str("X ;");
    w.Out_R(1);
    w.Out_R(2);
    w.Ausgabe(-1);
    EXPECT_TRUE(SameBytes(Expected("numbers.txt"), Close()));
}

TEST_F(Datron, WorkpieceOffsetsAndResolutionScaleTheCoordinates) {
    InitStruct init{};
    init.Aufloesung[0] = init.Aufloesung[1] = 10.0f;
    init.Aufloesung[2] = 100.0f;
    w.Init(&init, 0, 0);
    Open();
    w.SetzePosInfos(100, 50, 80, 40, 1, 0, 60, 30, 1, 12);  // exchanged, centred in the vice
    w.Move3(1, 2, -0.5);
    w.SetzePosInfos(100, 50, 80, 40, 1, 1, 60, 30, 0, 12);  // multiple plate wins
    w.Move3(1, 2, -0.5);
    EXPECT_TRUE(SameBytes(Expected("workpiece.txt"), Close()));
}

// Fills the byte count with lines of known length (text + CR LF) through SStringln.
void Fill(CKESTL1& w, int bytes) {
    for (; bytes >= 100; bytes -= 100) w.SStringln(std::string(98, 'f').c_str());
    if (bytes > 0) w.SStringln(std::string(bytes - 2, 'f').c_str());
}

TEST_F(Datron, MemoryWarningComesAtBothMarginsAndCancelStopsOutput) {
    ScriptedDialogs dialogs;
    Open();
    w.SetzeSpezial(10000, nullptr);
    // A move line (33 bytes with CR LF) reaching exactly 5904 is still fine; the next one warns.
    Fill(w, 5904 - 33);
    w.Move3(1, 2, 3);
    EXPECT_EQ(0u, dialogs.boxes().size());
    dialogs.Answer(IDOK);
    w.Move3(1, 2, 4);
    ASSERT_EQ(1u, dialogs.boxes().size());
    char text[256];
    LadeRcString(7045, text, 255);
    EXPECT_EQ(text, dialogs.boxes()[0].text);
    EXPECT_EQ("", dialogs.boxes()[0].caption);
    EXPECT_EQ(unsigned{MB_OKCANCEL | MB_ICONSTOP}, dialogs.boxes()[0].style);
    EXPECT_EQ(0, cx268io.Fehlerflag);
    // The count restarted: lines with the 128-byte margin may reach 9872.
    Fill(w, 9872);
    w.ToolCheck();  // closing lines are never tested
    EXPECT_EQ(1u, dialogs.boxes().size());
    dialogs.Answer(IDCANCEL);
    w.SStringln("x");  // 9872 + 12 + 3 > 9872
    EXPECT_EQ(2u, dialogs.boxes().size());
    EXPECT_EQ(1, cx268io.Fehlerflag);
    EXPECT_EQ(1, cx268io.Tastenabbruch);
}

TEST_F(Datron, OverlongTextShowsTheBoxAndTheRestOfTheLineIsWritten) {
    ScriptedDialogs dialogs;
    Open();
    w.Out_Str(std::string(290, 'a').c_str());
    w.Out_Str("0123456789");  // 300 characters: refused
    w.Out_Str("bcdefghi");    // 298: taken
    w.Ausgabe(-1);
    ASSERT_EQ(1u, dialogs.boxes().size());
    EXPECT_EQ("Ausgabestring zu lang !!!!!!!", dialogs.boxes()[0].text);
    EXPECT_EQ("Error", dialogs.boxes()[0].caption);
    EXPECT_EQ(unsigned{MB_OKCANCEL}, dialogs.boxes()[0].style);
    std::string got = Close();
    std::string line = std::string(290, 'a') + "bcdefghi\r\n";
    EXPECT_NE(std::string::npos, got.find(line));
}

TEST_F(Datron, NaNCoordinateStopsTheProgramWithAClearError) {
    Open();
    w.Move3(1, 2, 3);
    w.Draw3(1, std::nan(""), 3);
    w.Move3(4, 5, 6);
    EXPECT_EQ(2103, cx268io.Fehlernummer);
    EXPECT_EQ(dir.File("JOB.MCR"), cx268io.Fehlertext1);
    EXPECT_NE(nullptr, std::strstr(cx268io.Fehlertext2, "Draw3"));
    EXPECT_NE(nullptr, std::strstr(cx268io.Fehlertext2, "nan"));
    std::string body = "Axyz 1, 1, 2, 3, 0, 0 ; Eilgang\n";
    EXPECT_TRUE(SameBytes(Crlf(Golden("head.txt") + body), Close()));
}

TEST_F(Datron, FullDiskKeepsEverythingWrittenBeforeTheFault) {
    Open();
    std::string expected = Crlf(Golden("head.txt"));
    for (int i = 1; expected.size() < 70000; ++i) {
        w.Draw(i, 0);
        expected += "Axyz 0, " + std::to_string(i) + ", 0, Zp, 0, 0 ; Vorschub\r\n";
    }
    korvat::platform::FailWriteAfter(1);
    std::string got = Close();
    EXPECT_EQ(1007, cx268io.Fehlernummer);
    ASSERT_EQ(65536u, got.size());
    EXPECT_TRUE(SameBytes(expected.substr(0, 65536), got));
}

}  // namespace
