// The line reader: number scanning on the texts the library hands it (machine answers, table
// lines, tablet reports) and line reading from files.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "common/grundfkt.h"
#include "platform/files.h"
#include "support/golden.h"

using korvat::test::Golden;
using korvat::test::SameBytes;
using korvat::test::TempDir;
using korvat::test::WriteFile;

namespace {

TEST(ZeawScanner, ReadsSignedIntegersDecimalsAndHexAcrossAllSeparators) {
    ZEAW z;
    z.Beginn("12 -7,+3;\t0  -2147483648", "t");
    EXPECT_EQ(z.WNummer(), 12);
    EXPECT_EQ(z.WNummer(), -7);
    EXPECT_EQ(z.WNummer(), 3);
    EXPECT_EQ(z.WNummer(), 0);
    EXPECT_EQ(z.WNummer(), INT32_MIN);
    EXPECT_EQ(z.Fehler, 0);

    z.Beginn("-0.5;.25,3.\t1.5e3 +2 -1E-2", "t");
    EXPECT_DOUBLE_EQ(z.WFloat(), -0.5);
    EXPECT_DOUBLE_EQ(z.WFloat(), 0.25);
    EXPECT_DOUBLE_EQ(z.WFloat(), 3.0);
    EXPECT_DOUBLE_EQ(z.WFloat(), 1500.0);
    EXPECT_DOUBLE_EQ(z.WFloat(), 2.0);
    EXPECT_DOUBLE_EQ(z.WFloat(), -0.01);
    EXPECT_EQ(z.Fehler, 0);

    // Position replies come as hexadecimal words; eight digits are the 32-bit pattern.
    z.Beginn("1A,-ff;0x7FFF\tFFFFFFFF 00000030", "t");
    EXPECT_EQ(z.WHex(), 26);
    EXPECT_EQ(z.WHex(), -255);
    EXPECT_EQ(z.WHex(), 0x7FFF);
    EXPECT_EQ(z.WHex(), -1);
    EXPECT_EQ(z.WHex(), 48);
    EXPECT_EQ(z.Fehler, 0);
}

TEST(ZeawScanner, DecimalsAreReadWithAPointWhateverTheLocale) {
    // The host may run with a German locale; "1,5" is two numbers, never one and a half.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    ZEAW z;
    z.Beginn("1,5 2.25", "t");
    EXPECT_DOUBLE_EQ(z.WFloat(), 1.0);
    EXPECT_DOUBLE_EQ(z.WFloat(), 5.0);
    EXPECT_DOUBLE_EQ(z.WFloat(), 2.25);
    std::setlocale(LC_NUMERIC, "C");
}

TEST(ZeawScanner, AnEmptyOrBlankTextSetsTheErrorFlag) {
    for (const char* text : {"", "   ", " ,;\t"}) {
        ZEAW z;
        z.Beginn(text, "t");
        EXPECT_EQ(z.WNummer(), 0) << '"' << text << '"';
        EXPECT_EQ(z.Fehler, 1) << '"' << text << '"';
    }
    ZEAW z;
    z.Beginn("5", "t");
    EXPECT_EQ(z.WNummer(), 5);
    EXPECT_EQ(z.WFloat(), 0.0);  // the line ends before the second number
    EXPECT_EQ(z.Fehler, 1);
}

TEST(ZeawScanner, MalformedNumbersSetTheErrorFlagAndLeaveThePositionAtThem) {
    struct Fall {
        const char* text;
        char art;  // 'n' WNummer, 'f' WFloat, 'h' WHex
    };
    const Fall faelle[] = {
        {"7 12abc", 'n'},      {"7 12.5", 'n'},      {"7 -", 'n'},   {"7 --3", 'n'},
        {"7 2147483648", 'n'}, {"7 1.2.3", 'f'},     {"7 +.", 'f'},  {"7 1e", 'f'},
        {"7 1e999", 'f'},      {"7 nan", 'f'},       {"7 inf", 'f'}, {"7 0x", 'h'},
        {"7 G1", 'h'},         {"7 123456789", 'h'}, {"7 1Ah", 'h'},
    };
    for (const Fall& f : faelle) {
        ZEAW z;
        z.Beginn(f.text, "t");
        ASSERT_EQ(z.WNummer(), 7);
        double wert = f.art == 'n' ? z.WNummer() : f.art == 'f' ? z.WFloat() : z.WHex();
        EXPECT_EQ(wert, 0.0) << f.text;
        EXPECT_EQ(z.Fehler, 1) << f.text;
        EXPECT_EQ(z.Pos, 2) << f.text;
    }
}

TEST(ZeawScanner, ErrorFlagStaysUntilTheNextBeginn) {
    ZEAW z;
    z.Beginn("x 4", "t");
    EXPECT_EQ(z.WNummer(), 0);
    EXPECT_EQ(z.WNummer(), 0);
    EXPECT_EQ(z.Fehler, 1);
    z.Beginn("4", "t");
    EXPECT_EQ(z.WNummer(), 4);
    EXPECT_EQ(z.Fehler, 0);
}

TEST(ZeawScanner, TabletReportWithColonIsReadThroughHzAndInc) {
    // "X:Y,buttons" as a tablet sends it: the character after X must be the colon.
    ZEAW z;
    z.Beginn("  123.5:-45.25,16", "");
    EXPECT_DOUBLE_EQ(z.WFloat(), 123.5);
    EXPECT_EQ(z.Hz(1), ':');
    EXPECT_EQ(z.Hz(0), '5');
    z.Inc();
    EXPECT_DOUBLE_EQ(z.WFloat(), -45.25);
    z.Inc();
    EXPECT_EQ(z.WNummer(), 16);
    EXPECT_EQ(z.Fehler, 0);
    EXPECT_EQ(z.Hz(1), '\0');    // at the end
    EXPECT_EQ(z.Hz(200), '\0');  // far beyond it
    z.Inc();                     // does not run past the end
    EXPECT_EQ(z.Hz(1), '\0');

    // Two leading positions skipped, then the coordinates.
    z.Beginn("XY1200.5 880", "");
    z.Inc();
    z.Inc();
    EXPECT_DOUBLE_EQ(z.WFloat(), 1200.5);
    EXPECT_DOUBLE_EQ(z.WFloat(), 880.0);
}

TEST(ZeawScanner, BeginnOnTextInsideItsOwnLine) {
    // A reply is scanned from the character after its echo and mask.
    ZEAW z;
    z.Beginn("Op7 1.5 2.5", "");
    z.Beginn(z.Zeile + 3, "");
    EXPECT_STREQ(z.Zeile, " 1.5 2.5");
    EXPECT_DOUBLE_EQ(z.WFloat(), 1.5);
    EXPECT_DOUBLE_EQ(z.WFloat(), 2.5);
}

TEST(ZeawScanner, TextLongerThanTheLineIsCutAndFlagged) {
    std::string lang(600, '1');
    ZEAW z;
    z.Beginn(lang.c_str(), "ANTWORT");
    EXPECT_EQ(z.Fehler, 1);
    EXPECT_EQ(std::string(z.Zeile), std::string(511, '1'));
    EXPECT_STREQ(z.Meldung(), "ANTWORT: l\xe4nger als 511 Zeichen, abgeschnitten");
}

TEST(ZeawScanner, ACopyKeepsTheScanStateButNeverTheFile) {
    TempDir dir;
    WriteFile(dir.File("a.txt"), "1\n2\n");
    ZEAW a;
    ASSERT_EQ(a.TOeffne(dir.File("a.txt").c_str()), 0);
    a.TLeseZeile();
    a.Beginn("10 20", "");
    a.WNummer();
    ZEAW b(a);
    EXPECT_EQ(b.WNummer(), 20);
    EXPECT_NE(b.TLeseEOF(), 0);    // the copy has no file
    ASSERT_EQ(a.TLeseZeile(), 0);  // the original still reads on
    EXPECT_STREQ(a.Zeile, "2");
    a = b;  // closes a's file
    EXPECT_NE(a.TLeseEOF(), 0);
}

TEST(ZeawDatei, ReadsLfAndCrLfLinesAndALastLineWithoutEnd) {
    TempDir dir;
    WriteFile(dir.File("z.txt"), "1 100\r\n2 200\n\r\n\nlast");
    ZEAW z;
    ASSERT_EQ(z.TOeffne(dir.File("z.txt").c_str()), 0);
    const char* erwartet[] = {"1 100", "2 200", "", "", "last"};
    for (const char* zeile : erwartet) {
        ASSERT_EQ(z.TLeseEOF(), 0);
        ASSERT_EQ(z.TLeseZeile(), 0);
        EXPECT_STREQ(z.Zeile, zeile);
    }
    EXPECT_EQ(z.ZeilenNummer, 5);
    EXPECT_NE(z.TLeseEOF(), 0);
    EXPECT_EQ(z.TLeseZeile(), -1);
    EXPECT_STREQ(z.Zeile, "");
    EXPECT_EQ(z.Fehler, 0);
}

TEST(ZeawDatei, LinesAcrossTheReadBufferComeOutWhole) {
    // 40 lines of 300 characters each cross the reader's buffer boundaries many times.
    std::string inhalt;
    for (int i = 0; i < 40; ++i)
        inhalt += std::string(300, static_cast<char>('a' + i % 26)) + "\r\n";
    TempDir dir;
    WriteFile(dir.File("lang.txt"), inhalt);
    ZEAW z;
    ASSERT_EQ(z.TOeffne(dir.File("lang.txt").c_str()), 0);
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(z.TLeseZeile(), 0);
        ASSERT_EQ(std::string(z.Zeile), std::string(300, static_cast<char>('a' + i % 26))) << i;
    }
    EXPECT_NE(z.TLeseEOF(), 0);
    EXPECT_EQ(z.Fehler, 0);
}

TEST(ZeawDatei, AnOverlongLineIsCutFlaggedAndTheNextLineReadsCleanly) {
    TempDir dir;
    WriteFile(dir.File("z.txt"),
              std::string(700, '7') + "\r\nnext\r\n" + std::string(511, '5') + "\r\n");
    ZEAW z;
    ASSERT_EQ(z.TOeffne(dir.File("z.txt").c_str()), 0);
    ASSERT_EQ(z.TLeseZeile(), 0);
    EXPECT_EQ(std::string(z.Zeile), std::string(511, '7'));
    EXPECT_EQ(z.Abgeschnitten, 1);
    EXPECT_EQ(z.Fehler, 1);
    z.Beginn(z.Zeile, "");  // scanning the cut line is no way around the flag
    EXPECT_EQ(z.Fehler, 1);
    ASSERT_EQ(z.TLeseZeile(), 0);
    EXPECT_STREQ(z.Zeile, "next");
    EXPECT_EQ(z.Abgeschnitten, 0);
    // 511 characters fill the line exactly; the CR beyond them is no lost text.
    ASSERT_EQ(z.TLeseZeile(), 0);
    EXPECT_EQ(std::string(z.Zeile), std::string(511, '5'));
    EXPECT_EQ(z.Abgeschnitten, 0);
}

TEST(ZeawDatei, AMissingFileSetsTheErrorFlagAndReadsNothing) {
    TempDir dir;
    std::string pfad = dir.File("SPIND.TAB");
    ZEAW z;
    EXPECT_EQ(z.TOeffne(pfad.c_str()), -1);
    EXPECT_EQ(z.Fehler, 1);
    EXPECT_NE(z.TLeseEOF(), 0);
    EXPECT_EQ(z.TLeseZeile(), -1);
    EXPECT_EQ(std::string(z.Meldung()), pfad +
                                            ": Datei kann nicht ge\xf6"
                                            "ffnet werden");
    z.TSchliesse();  // closing a reader without a file is harmless
}

TEST(ZeawDatei, AReadFailureEndsTheFileWithTheErrorFlag) {
    TempDir dir;
    WriteFile(dir.File("z.txt"), "1\n2\n");
    ZEAW z;
    ASSERT_EQ(z.TOeffne(dir.File("z.txt").c_str()), 0);
    korvat::platform::FailReadAfter(1);
    EXPECT_EQ(z.TLeseZeile(), -1);
    korvat::platform::FailReadAfter(0);
    EXPECT_EQ(z.Fehler, 1);
    EXPECT_NE(z.TLeseEOF(), 0);
    EXPECT_STREQ(z.Meldung(), (dir.File("z.txt") + ", Zeile 1: Lesefehler").c_str());
}

TEST(ZeawDatei, ScanTranscriptNamesFileLineColumnAndText) {
    // Each line is read as a table line (step number, then speed); a line that fails shows the
    // reader's message instead.
    TempDir dir;
    WriteFile(dir.File("z.txt"), "0 0\r\n1\t150.5\r\n2, 300;\r\n\r\n4 12abc\n5 1.2.3\nx 7\n" +
                                     std::string(520, '9') + "\n8 -0.25\n");
    ZEAW z;
    ASSERT_EQ(z.TOeffne(dir.File("z.txt").c_str()), 0);
    std::string protokoll;
    while (!z.TLeseEOF() && z.TLeseZeile() == 0) {
        z.Beginn(z.Zeile, "ZAHLEN.TXT");
        int32_t n = z.WNummer();
        double v = z.WFloat();
        char zeile[600];
        if (z.Fehler)
            std::snprintf(zeile, sizeof zeile, "%s\n", z.Meldung());
        else
            std::snprintf(zeile, sizeof zeile, "%d %.3f\n", n, v);
        protokoll += zeile;
    }
    EXPECT_TRUE(SameBytes(Golden("scan_protokoll.txt"), protokoll));
}

}  // namespace
