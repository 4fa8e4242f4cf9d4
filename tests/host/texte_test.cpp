// Operator texts by number and the two dialogs of the host's dialog library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/fxtexte.h"
#include "platform/files.h"
#include "support/golden.h"

using korvat::test::ScriptedDialogs;
using korvat::test::TempDir;
using korvat::test::WriteFile;

namespace {

// Every text number the library loads: the channel's questions and error numbers, the drivers'
// error numbers, the block display, the range reports, the writers' messages, the DXF name
// dialog and the approach computation's messages.
constexpr int16_t kGenutzteNummern[] = {
    555,  1001, 1005, 1007, 1011, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1035,
    1037, 1038, 2101, 2102, 2103, 2111, 3110, 3111, 3112, 3113, 3114, 3115, 3166, 3900, 3901,
    3902, 3903, 3904, 3905, 3906, 3907, 3908, 3909, 3910, 3911, 3912, 3913, 3914, 3915, 4057,
    4058, 4060, 4061, 4068, 4075, 4130, 4131, 4132, 6912, 6913, 7018, 7019, 7040, 7045, 8236,
    8237, 8260, 8308, 8309, 8310, 8311, 9122, 9123, 9124, 9125, 9126, 9127, 9128, 9129, 9130};

std::string Text(int16_t nummer, int groesse = 255) {
    char puffer[1024];
    LadeRcString(nummer, puffer, groesse);
    return puffer;
}

class Texte : public ::testing::Test {
  protected:
    void SetUp() override { LadeTextDatei(nullptr); }
    void TearDown() override { LadeTextDatei(nullptr); }
};

TEST_F(Texte, EveryNumberTheLibraryLoadsHasAWordingOfItsOwnInBothLanguages) {
    for (TextSprache sprache : {TextSprache::kDeutsch, TextSprache::kEnglisch}) {
        SetzeTextSprache(sprache);
        for (int16_t n : kGenutzteNummern) {
            EXPECT_TRUE(HatEigenenText(n)) << n;
            std::string t = Text(n);
            EXPECT_FALSE(t.empty()) << n;
            EXPECT_LT(t.size(), 255u) << n << ": cut by the callers' buffers";
        }
    }
    SetzeTextSprache(TextSprache::kDeutsch);
}

TEST_F(Texte, TheEnglishTableIsPickedAndAnOverrideStillWins) {
    EXPECT_EQ("Ung\xfcltiger Zahlenwert (keine Zahl oder unendlich)", Text(2103));
    SetzeTextSprache(TextSprache::kEnglisch);
    EXPECT_EQ("Value not valid (not a number or infinite)", Text(2103));
    EXPECT_EQ("No answer from the machine (time-out)", Text(1018));
    TempDir dir;
    WriteFile(dir.File("texte.txt"), "1018 = Keine Antwort\n");
    EXPECT_EQ(1, LadeTextDatei(dir.File("texte.txt").c_str()));
    EXPECT_EQ("Keine Antwort", Text(1018));
    SetzeTextSprache(TextSprache::kDeutsch);
    EXPECT_EQ(
        "Das Ger\xe4t kann nicht ge\xf6"
        "ffnet werden",
        Text(1001));
}

TEST_F(Texte, MessagesWrittenIntoProgramsFitTheirFieldAndNeverEndIt) {
    // The tool-change and stop messages are written between double quotes or ended by ';' in
    // the programs, in fields of 47 characters.
    for (int16_t n : {8236, 8237}) {
        std::string t = Text(n);
        EXPECT_LE(t.size(), 47u) << n;
        EXPECT_EQ(t.find_first_of("\";"), std::string::npos) << n;
    }
    // Labels of the Z report are padded to 45 columns.
    for (int16_t n = 9123; n <= 9130; ++n) EXPECT_LE(Text(n).size(), 45u) << n;
}

TEST_F(Texte, BufferSizeLimitsTheCopyAndTheBytesBehindStayUntouched) {
    char puffer[16];
    std::memset(puffer, '#', sizeof puffer);
    EXPECT_EQ(LadeRcString(8260, puffer, 8), 7);
    EXPECT_EQ(std::string(puffer, 8), std::string("Bereich") + '\0');
    EXPECT_EQ(puffer[8], '#');

    std::memset(puffer, '#', sizeof puffer);
    EXPECT_EQ(LadeRcString(8260, puffer, 1), 0);
    EXPECT_EQ(puffer[0], '\0');
    EXPECT_EQ(puffer[1], '#');
    EXPECT_EQ(LadeRcString(8260, puffer, 0), 0);
    EXPECT_EQ(puffer[1], '#');
    EXPECT_EQ(LadeRcString(8260, nullptr, 255), 0);
}

TEST_F(Texte, AnUnknownNumberNamesItself) {
    EXPECT_FALSE(HatEigenenText(12345));
    EXPECT_EQ(Text(12345), "Text 12345");
    EXPECT_EQ(Text(-7), "Text -7");
    EXPECT_EQ(Text(12345, 6), "Text ");
}

TEST_F(Texte, OverrideFileReplacesTextsAndReportsItsBadLines) {
    TempDir dir;
    std::string pfad = dir.File("texte.txt");
    WriteFile(pfad,
              "; Werkstatttexte\r\n"
              "8260 = Achtung\r\n"
              "\r\n"
              "# ein Kommentar\n"
              "  7040=Weiter?\\nNein bricht ab.   \n"
              "3904 = Verweilen \xe4 \n"  // code page 1252 as written
              "3905 = Stra\xc3\x9f"
              "e \xe2\x82\xac\n"   // UTF-8, converted
              "8260 = Vorsicht\n"  // a later line wins
              "9122 Zusammensetzung\n"
              "40000 = zu gro\xdf\n"
              "-3 = negativ\n"
              "12abc = kaputt\n");
    EXPECT_EQ(LadeTextDatei(pfad.c_str()), 6);
    EXPECT_EQ(Text(8260), "Vorsicht");
    EXPECT_EQ(Text(7040), "Weiter?\nNein bricht ab.");
    EXPECT_EQ(Text(3904), "Verweilen \xe4");
    EXPECT_EQ(Text(3905),
              "Stra\xdf"
              "e \x80");
    EXPECT_EQ(Text(-3), "negativ");
    EXPECT_EQ(Text(8308),
              "Zielpunkt au\xdf"
              "erhalb des Werkst\xfc"
              "cks")
        << "untouched";
    EXPECT_EQ(std::string(TextDateiMeldung()),
              pfad + ", Zeile 9: \"=\" nach der Textnummer fehlt (und 2 weitere Zeilen)");

    // Dropping the overrides brings the own texts back.
    EXPECT_EQ(LadeTextDatei(nullptr), 0);
    EXPECT_EQ(Text(8260),
              "Bereichs\xfc"
              "berschreitung");
    EXPECT_STREQ(TextDateiMeldung(), "");
}

TEST_F(Texte, AMissingOverrideFileKeepsTheOwnTexts) {
    TempDir dir;
    std::string pfad = dir.File("fehlt.txt");
    EXPECT_EQ(LadeTextDatei(pfad.c_str()), -1);
    EXPECT_EQ(std::string(TextDateiMeldung()), pfad +
                                                   ": Datei kann nicht ge\xf6"
                                                   "ffnet werden");
    EXPECT_EQ(Text(7040), "Weiter warten? (Nein bricht die Ausgabe ab)");
}

TEST_F(Texte, AReadFailureKeepsTheTextsReadSoFarAndSaysSo) {
    TempDir dir;
    std::string pfad = dir.File("texte.txt");
    WriteFile(pfad, "8260 = Achtung\n");
    korvat::platform::FailReadAfter(1);
    EXPECT_EQ(LadeTextDatei(pfad.c_str()), 0);
    korvat::platform::FailReadAfter(0);
    EXPECT_EQ(std::string(TextDateiMeldung()), pfad + ", Zeile 1: Lesefehler");
    EXPECT_EQ(Text(8260),
              "Bereichs\xfc"
              "berschreitung");
}

TEST(TexteUmgebung, KorvatTextsIsReadOnFirstUse) {
    // Runs in a fresh process, so the first LadeRcString there is the first use.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    std::string pfad = dir.File("texte.txt");
    WriteFile(pfad, "3900 = Hochfahren\n");
    EXPECT_EXIT(
        {
            setenv("KORVAT_TEXTS", pfad.c_str(), 1);
            char puffer[64];
            LadeRcString(3900, puffer, sizeof puffer);
            const int code = std::strcmp(puffer, "Hochfahren") == 0 ? 0 : 1;
            // The child's own folder: exit runs no destructor.
            std::filesystem::remove_all(dir.path());
            std::exit(code);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Dialoge, InfoBoxShowsTitleAndTextThroughTheHandler) {
    ScriptedDialogs dialoge;
    CInfoBoxDlg box;
    box.ParaSetz(
        "Bereichs\xfc"
        "berschreitung",
        "Z = 3.0\n\nZeile 2", 0);
    EXPECT_EQ(box.ExecDialog(nullptr, HoleFXTexteModule(), "DLG_INFOBOX"), IDOK);
    ASSERT_EQ(dialoge.boxes().size(), 1u);
    EXPECT_EQ(dialoge.boxes()[0].kind, "info");
    EXPECT_EQ(dialoge.boxes()[0].caption,
              "Bereichs\xfc"
              "berschreitung");
    EXPECT_EQ(dialoge.boxes()[0].text, "Z = 3.0\n\nZeile 2");
}

TEST(Dialoge, ATemplateTheModuleDoesNotHoldShowsNothing) {
    ScriptedDialogs dialoge;
    CInfoBoxDlg box;
    box.ParaSetz("t", "x", 0);
    EXPECT_EQ(box.ExecDialog(nullptr, nullptr, "DLG_INFOBOX"), -1);
    EXPECT_EQ(box.ExecDialog(nullptr, HoleFXTexteModule(), "DLG_ANDERS"), -1);
    EXPECT_TRUE(dialoge.boxes().empty());
}

TEST(Dialoge, AnOverlongInfoTextIsCutVisibly) {
    CInfoBoxDlg box;
    std::string lang(5000, 'z');
    box.ParaSetz("t", lang.c_str(), 0);
    std::string text = box.Text();
    EXPECT_EQ(text.size(), 2047u);
    EXPECT_EQ(text.substr(2044), "...");
}

TEST(Dialoge, TextInputReturnsTheEditedTextOrCancel) {
    ScriptedDialogs dialoge;
    dialoge.InputText("TEIL_2");
    dialoge.InputText("\x1b");
    char name[56] = "TEIL_1";
    EXPECT_EQ(TextInputDialog(nullptr, "DXF-Datei", "Dateiname:", name, 55), 1);
    EXPECT_STREQ(name, "TEIL_2");
    EXPECT_EQ(TextInputDialog(nullptr, "DXF-Datei", "Dateiname:", name, 55), 2);
    EXPECT_STREQ(name, "TEIL_2");
    ASSERT_EQ(dialoge.boxes().size(), 2u);
    EXPECT_EQ(dialoge.boxes()[0].caption, "DXF-Datei");
    EXPECT_EQ(dialoge.boxes()[0].text, "Dateiname:");
}

}  // namespace
