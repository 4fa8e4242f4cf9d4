// The job front ends and machine profiles, checked through the call recorder: what a job says
// must arrive as exactly these library calls, and every input the subset does not cover must
// stop with a message naming the file, line and column.
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/golden.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/frontends.h"
#include "tools/korvat/number_reader.h"
#include "tools/korvat/preview.h"
#include "tools/korvat/profile.h"
#include "tools/korvat/recorder.h"

namespace korvat::tool {
namespace {

using korvat::test::Golden;
using korvat::test::ReadFile;
using korvat::test::SameBytes;

std::string Transcript(const std::string& gcode, double feedFactor = 1.0) {
    CallRecorder calls;
    GcodeOptions options;
    options.feedFactor = feedFactor;
    RunGcode(gcode, "job.ngc", options, calls);
    return calls.Transcript();
}

// The message of the JobError run raises, or "" when it runs through.
template <class F>
std::string ErrorOf(F run) {
    try {
        run();
    } catch (const JobError& e) {
        return e.what();
    }
    return "";
}

std::string GcodeError(const std::string& gcode) {
    return ErrorOf([&] { Transcript(gcode); });
}

// Every line of the job as "number:text", one a line.
std::string Lines(JobInput& job) {
    std::string out;
    std::string_view line;
    while (job.NextLine(line)) out += std::to_string(job.line()) + ":" + std::string(line) + "\n";
    return out;
}

TEST(JobInput, LinesEndInLfCrLfOrACrAloneAndAByteOrderMarkIsSkipped) {
    JobInput text("\xEF\xBB\xBFG0 X1\r\nG1 X2\rG1 X3\n\r\nlast", "job.ngc");
    EXPECT_EQ("1:G0 X1\n2:G1 X2\n3:G1 X3\n4:\n5:last\n", Lines(text));
    JobInput crAtEnd("a\r", "job.ngc");
    EXPECT_EQ("1:a\n", Lines(crAtEnd));
    JobInput empty("", "job.ngc");
    EXPECT_EQ("", Lines(empty));
}

TEST(JobInput, AFileIsReadInChunksWithLinesAndLineEndsSplitAcrossThem) {
    // 70000 lines of 3 to 12 characters, CR LF ended: chunk ends fall inside lines and between
    // CR and LF; every line comes back whole with its number, and a second reading is the same.
    korvat::test::TempDir dir;
    std::string text, expected;
    for (int i = 1; i <= 70000; ++i) {
        std::string line = "N" + std::to_string(i * 7 % 100000) + (i % 3 ? "" : " X1");
        text += line + "\r\n";
        expected += std::to_string(i) + ":" + line + "\n";
    }
    korvat::test::WriteFile(dir.File("big.ngc"), text);
    JobInput job(dir.File("big.ngc"));
    EXPECT_EQ(text.size(), job.size());
    EXPECT_TRUE(SameBytes(expected, Lines(job)));
    EXPECT_EQ(text.size(), job.consumed());
    ASSERT_TRUE(job.Rewind());
    EXPECT_TRUE(SameBytes(expected, Lines(job)));
}

// A job read twice must be the same both times: a file written to after it was opened says so.
TEST(JobInput, AFileWrittenToAfterItWasOpenedIsNoLongerUnchanged) {
    korvat::test::TempDir dir;
    korvat::test::WriteFile(dir.File("job.ngc"), "G0 X1\nG0 X2\n");
    JobInput job(dir.File("job.ngc"));
    std::string_view line;
    EXPECT_TRUE(job.NextLine(line));
    EXPECT_TRUE(job.Unchanged());
    ASSERT_TRUE(job.Rewind());
    EXPECT_TRUE(job.Unchanged());
    std::FILE* f = std::fopen(dir.File("job.ngc").c_str(), "a");
    ASSERT_NE(nullptr, f);
    std::fputs("G0 X3\n", f);
    std::fclose(f);
    EXPECT_FALSE(job.Unchanged());
    JobInput text("G0 X1\n", "job.ngc");
    EXPECT_TRUE(text.Unchanged());
}

TEST(JobInput, ALineBeyondTheLimitIsRefusedWithItsNumber) {
    korvat::test::TempDir dir;
    korvat::test::WriteFile(dir.File("long.ngc"),
                            "G0 X1\nG0 X2\n" + std::string(JobInput::kMaxLine + 1, 'X') + "\n");
    JobInput job(dir.File("long.ngc"));
    std::string_view line;
    EXPECT_TRUE(job.NextLine(line) && job.NextLine(line));
    EXPECT_EQ(
        dir.File("long.ngc") + ":3: line is longer than 65536 characters; a job is text in lines",
        ErrorOf([&] { job.NextLine(line); }));
}

TEST(Gcode, JobWithModesUnitsArcsAndHelixGivesTheseCalls) {
    std::string job = ReadFile(std::string(KORVAT_TEST_DIR) + "/jobs/frontend.ngc");
    EXPECT_TRUE(SameBytes(Golden("frontend.calls.txt"), Transcript(job)));
}

TEST(Gcode, FeedsGoToTheMachinesUnit) {
    // 1500 mm/min for a machine that takes m/min; inches per minute to millimetres first.
    EXPECT_EQ("SetzeVorschuebe(1.5000, 1.5000)\nSetzeVorschub(1.5000)\n",
              Transcript("F1500\n", 0.001));
    EXPECT_EQ("SetzeVorschuebe(0.2540, 0.2540)\nSetzeVorschub(0.2540)\n",
              Transcript("G20 F10\n", 0.001));
}

TEST(Gcode, ArcsTurnTheRightWayRoundAndCloseFullCircles) {
    // Quarter arcs both ways from (10, 0) around the origin, then a clockwise full circle.
    std::string job =
        "G0 X10 Y0 Z0\nF100\nG3 X0 Y10 I-10 J0\nG2 X10 Y0 I0 J-10\nG2 X10 Y0 I-10 J0\n";
    EXPECT_EQ(
        "Move3(10.0000, 0.0000, 0.0000)\n"
        "SetzeVorschuebe(100.0000, 100.0000)\nSetzeVorschub(100.0000)\n"
        "Kreis(0.0000, 0.0000, 10.0000, 0.0000, 1.5708, 0.0000, 10.0000, 0.0000, 0)\n"
        "Kreis(0.0000, 0.0000, 10.0000, 1.5708, -1.5708, 10.0000, 0.0000, 0.0000, 0)\n"
        "Kreis(0.0000, 0.0000, 10.0000, 0.0000, -6.2832, 10.0000, 0.0000, 0.0000, 0)\n",
        Transcript(job));
    // From (0, 0) to (10, 10) around (0, 10): G3 with R10 takes the quarter, G2 with R-10 the
    // longer way, three quarters.
    std::string head =
        "Move3(0.0000, 0.0000, 0.0000)\n"
        "SetzeVorschuebe(100.0000, 100.0000)\nSetzeVorschub(100.0000)\n";
    EXPECT_EQ(
        head + "Kreis(0.0000, 10.0000, 10.0000, -1.5708, 1.5708, 10.0000, 10.0000, 0.0000, 0)\n",
        Transcript("G0 X0 Y0 Z0\nF100\nG3 X10 Y10 R10\n"));
    EXPECT_EQ(
        head + "Kreis(0.0000, 10.0000, 10.0000, -1.5708, -4.7124, 10.0000, 10.0000, 0.0000, 0)\n",
        Transcript("G0 X0 Y0 Z0\nF100\nG2 X10 Y10 R-10\n"));
}

TEST(Gcode, ProgramEndStopsReadingAndDelimitersAreSkipped) {
    EXPECT_EQ("Stop()\n", Transcript("%\nM0\nM2\nG18 anything after the end\n%\n"));
}

TEST(Gcode, LineEndsDelimitersAndAByteOrderMarkAreReadAsAMachineReadsThem) {
    // CR alone ends a line: four lines, not one diagonal move.
    EXPECT_EQ(
        "Move3(1.0000, 1.0000, 1.0000)\n"
        "SetzeVorschuebe(100.0000, 100.0000)\nSetzeVorschub(100.0000)\n"
        "Draw3(10.0000, 1.0000, 1.0000)\n"
        "Draw3(10.0000, 20.0000, 1.0000)\n",
        Transcript("G0 X1 Y1 Z1\rF100\rG1 X10\rY20\r"));
    // The closing '%' ends the program, whether an opening one came or not.
    EXPECT_EQ("Move3(1.0000, 2.0000, 3.0000)\n", Transcript("%\nG0 X1 Y2 Z3\n%\nG0 X9\n"));
    EXPECT_EQ("Move3(1.0000, 2.0000, 3.0000)\n", Transcript("G0 X1 Y2 Z3\n%\nG18 X9\n"));
    // A byte-order mark is no part of the first line: columns count after it.
    EXPECT_EQ("Move3(1.0000, 2.0000, 3.0000)\n", Transcript("\xEF\xBB\xBFG0 X1 Y2 Z3\n"));
    EXPECT_EQ("job.ngc:1:4: unsupported word A1", GcodeError("\xEF\xBB\xBFG0 A1\n"));
}

TEST(Gcode, AnAxisTheJobHasNotGivenStaysWhereItIs) {
    // No Z before the first moves: they run in the plane, with no Z the job never asked for.
    EXPECT_EQ(
        "Move(1.0000, 2.0000)\n"
        "SetzeVorschuebe(100.0000, 100.0000)\nSetzeVorschub(100.0000)\n"
        "Draw(5.0000, 2.0000)\n"
        "MoveZ(5.0000)\n"
        "Move3(3.0000, 2.0000, 5.0000)\n"
        "Draw3(4.0000, 2.0000, 5.0000)\n",
        Transcript("G0 X1 Y2\nF100\nG1 X5\nG0 Z5\nG0 X3\nG1 X4\n"));
    // An arc or a relative move needs to know where it starts.
    EXPECT_EQ("job.ngc:2:1: arc before the first positioning: its start is not known",
              GcodeError("F100\nG2 X10 Y0 I5 J0\n"));
    EXPECT_EQ("job.ngc:2:1: arc before the first positioning: its start is not known",
              GcodeError("G0 X1\nG3 X1 Y2 R1 F100\n"));
    EXPECT_EQ("job.ngc:1:8: relative move before the first positioning: X is not known yet",
              GcodeError("G91 G0 X5\n"));
    EXPECT_EQ("job.ngc:2:8: relative move before the first positioning: Z is not known yet",
              GcodeError("G0 X0 Y0\nG91 G1 Z-1 F100\n"));
    EXPECT_EQ("job.ngc:2:13: helix before the first height: give Z before the arc",
              GcodeError("G0 X0 Y0\nG2 X0 Y0 I5 Z-1 F100\n"));
}

TEST(Gcode, WordsOutsideTheSubsetAreErrorsWithLineAndColumn) {
    EXPECT_EQ("job.ngc:2:4: unsupported word G18", GcodeError("G21\nG1 G18 X1 F10\n"));
    EXPECT_EQ("job.ngc:1:1: unsupported word M4", GcodeError("M4 S1000\n"));
    EXPECT_EQ("job.ngc:1:5: unsupported word G81", GcodeError("G90 G81 X1 Y1 Z-1 R1\n"));
    EXPECT_EQ("job.ngc:1:1: unsupported word G91.1", GcodeError("G91.1\n"));
    EXPECT_EQ("job.ngc:1:7: unsupported word A10", GcodeError("G0 X1 A10\n"));
    EXPECT_EQ("job.ngc:1:5: malformed number '1.2.3' after X", GcodeError("G0 X1.2.3\n"));
    EXPECT_EQ("job.ngc:1:6: malformed number '' after X", GcodeError("G0 X Y1\n"));
    EXPECT_EQ("job.ngc:1:5: expressions and parameters are not supported",
              GcodeError("G0 X[1+2]\n"));
    EXPECT_EQ("job.ngc:1:1: expressions and parameters are not supported", GcodeError("#1=2\n"));
    EXPECT_EQ("job.ngc:1:1: unsupported word O100", GcodeError("O100 sub\n"));
    EXPECT_EQ("job.ngc:1:1: block delete ('/') is not supported", GcodeError("/G0 X1\n"));
    EXPECT_EQ("job.ngc:1:4: comment is not closed with ')'", GcodeError("G0 (open X1\n"));
    EXPECT_EQ("job.ngc:1:7: comments do not nest: '(' inside a comment",
              GcodeError("G0 (a (b) c) X1\n"));
    EXPECT_EQ("job.ngc:1:5: exponents are not G-code: '1e308' after X", GcodeError("G0 X1e308\n"));
    EXPECT_EQ("job.ngc:1:5: exponents are not G-code: '-2.5E-3' after Y",
              GcodeError("G0 Y-2.5E-3\n"));
}

TEST(Gcode, InconsistentLinesAreErrors) {
    EXPECT_EQ("job.ngc:1:1: axis words without a motion code (G0, G1, G2 or G3)",
              GcodeError("X10\n"));
    EXPECT_EQ("job.ngc:1:1: feed move without a feed rate (F)", GcodeError("G1 X10\n"));
    // A feed the machine would write as F0 is no feed.
    EXPECT_EQ("job.ngc:1:7: feed rate F0.0001 rounds to F0; the least feed is 1 mm/min",
              GcodeError("G1 X1 F0.0001\n"));
    EXPECT_EQ("job.ngc:1:5: feed rate F0.03 rounds to F0; the least feed is 1 mm/min",
              GcodeError("G20 F0.03\n"));
    EXPECT_EQ("job.ngc:1:7: word X appears twice in one line", GcodeError("G0 X1 X2\n"));
    EXPECT_EQ("job.ngc:1:4: two codes of one kind in a line: G0 and G1", GcodeError("G0 G1 X1\n"));
    EXPECT_EQ("job.ngc:1:1: M6 without a tool selected by T", GcodeError("M6\n"));
    EXPECT_EQ("job.ngc:1:1: G4 needs the dwell time in seconds as P", GcodeError("G4\n"));
    EXPECT_EQ("job.ngc:1:7: P is only read with G4 (dwell)", GcodeError("G0 X1 P2\n"));
    EXPECT_EQ("job.ngc:2:1: arc end point is 12.0000 mm from the centre, its start 10.0000 mm",
              GcodeError("G0 X10 Y0\nG3 X0 Y12 I-10 J0 F100\n"));
    EXPECT_EQ("job.ngc:2:11: radius R is shorter than half the distance to the end point",
              GcodeError("G0 X0 Y0\nG3 X10 Y0 R4 F100\n"));
    EXPECT_EQ("job.ngc:2:8: I belongs to arcs (G2, G3), not to G1",
              GcodeError("F100\nG1 X10 I5\n"));
}

// A word's number is the double strtod gives for its text, bit for bit (the sign of zero
// included): random texts of every length, with and without a point, sign and leading zeros;
// the edges of the short way (2^53, 19 digits, 22 decimals); and decimal texts exactly halfway
// between two neighbouring doubles and a last digit either side of that, where one rounding
// step too many shows.
TEST(Gcode, WordNumbersAreWhatStrtodReads) {
    auto same = [](const std::string& text) {
        WordNumber n = ReadWordNumber(text.data(), text.data() + text.size());
        ASSERT_EQ(n.end, text.data() + text.size()) << text;
        ASSERT_TRUE(n.inRange) << text;
        double theirs = std::strtod(text.c_str(), nullptr);
        ASSERT_EQ(std::bit_cast<uint64_t>(theirs), std::bit_cast<uint64_t>(n.value))
            << text << ": " << std::hexfloat << n.value << " instead of " << theirs;
        // A number of digits alone is also known as a whole number (G and M codes read it).
        if (n.whole >= 0) {
            ASSERT_EQ(theirs, static_cast<double>(n.whole)) << text;
        }
        if (text.find_first_not_of("0123456789") == std::string::npos && text.size() <= 15) {
            ASSERT_EQ(static_cast<int64_t>(theirs), n.whole) << text;
        }
    };
    for (const char* t : {"0",
                          "-0",
                          "+0",
                          "-0.000",
                          ".5",
                          "5.",
                          "-.0",
                          "9007199254740992",
                          "9007199254740993",
                          "9007199254740993.0",
                          "18446744073709551615",
                          "18446744073709551616",
                          "9999999999999999999",
                          "0.0000000000000000000001",
                          "1.0000000000000000000001",
                          "0.00000000000000000000001",
                          "123.456",
                          "-2.675",
                          "1.0005",
                          "000000000000000000000000012.5",
                          "4.35"})
        same(t);
    std::mt19937_64 random(12);
    for (int i = 0; i < 200000; ++i) {
        std::string t = random() % 3 == 0 ? "-" : random() % 5 == 0 ? "+" : "";
        int digits = 1 + static_cast<int>(random() % (i % 4 == 0 ? 30 : 17));
        int point = static_cast<int>(random() % (digits + 2)) - 1;  // -1: none
        for (int k = 0; k < digits; ++k) {
            if (k == point) t += '.';
            t += static_cast<char>('0' + random() % 10);
        }
        if (point == digits) t += '.';
        same(t);
    }
    // Halfway texts: the midpoint of two neighbouring doubles is exact in long double and its
    // decimal expansion ends; printed in full and with its last digit moved by one.
    for (int i = 0; i < 20000; ++i) {
        double a =
            std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 70));
        long double mid = (static_cast<long double>(a) + std::nextafter(a, 1e300)) / 2;
        char text[200];
        std::snprintf(text, sizeof text, "%.80Lf", mid);
        std::string t = text;
        while (t.back() == '0') t.pop_back();
        same(t);
        for (int step : {-1, 1}) {
            std::string u = t;
            char& last = u.back();
            if (last == '.' || (step < 0 && last == '0') || (step > 0 && last == '9')) continue;
            last = static_cast<char>(last + step);
            same(u);
        }
    }
    // Malformed and out of range: reported, never a value.
    WordNumber n = ReadWordNumber(nullptr, nullptr);
    EXPECT_EQ(0, n.digits);
    std::string twoPoints = "1.2.3";
    n = ReadWordNumber(twoPoints.data(), twoPoints.data() + twoPoints.size());
    EXPECT_EQ(2, n.points);
    std::string huge(400, '9');
    n = ReadWordNumber(huge.data(), huge.data() + huge.size());
    EXPECT_FALSE(n.inRange);
}

// Numbers beyond what the machine's words can hold are refused, never read as 0 or infinity.
TEST(Gcode, NumbersOutOfRangeAreRefused) {
    std::string huge(400, '9');
    EXPECT_EQ("job.ngc:1:5: number '" + huge + "' after X is out of range",
              GcodeError("G0 X" + huge + "\n"));
    EXPECT_EQ("job.ngc:1:7: feed rate F1e+82 is too large; the most is 1000000 mm/min",
              GcodeError("G1 X1 F1" + std::string(82, '0') + "\n"));
    EXPECT_EQ("job.ngc:1:5: feed rate F40000 is too large; the most is 1000000 mm/min",
              GcodeError("G20 F40000\n"));
    EXPECT_EQ("job.ngc:1:4: dwell time is too long (at most 100000 seconds)",
              GcodeError("G4 P100001\n"));
    EXPECT_EQ("job.ngc:1:1: spindle speed is too large (at most 2000000000)",
              GcodeError("S3000000000 M3\n"));
    // A huge axis value next to a G word is a coordinate, not a code.
    EXPECT_EQ("", GcodeError("G0 X" + std::string(70, '5') + " Y0 Z1\n"));
}

TEST(CallScript, EachLineIsOneCallWithItsArguments) {
    std::string script =
        "# comments and blank lines are skipped\n"
        "\n"
        "SetzeVorschuebe 1000, 200\n"
        "Move3 1 2 3   # trailing comment\n"
        "Kreis 0 0 5 0 3.14159 -5 0 -1 83\n"
        "WkzW 1 4\n"
        "SStringln 1 (raw text, kept # as is)\n"
        "Stop\n";
    CallRecorder calls;
    RunCallScript(script, "job.calls", calls);
    EXPECT_EQ(
        "SetzeVorschuebe(1000.0000, 200.0000)\n"
        "Move3(1.0000, 2.0000, 3.0000)\n"
        "Kreis(0.0000, 0.0000, 5.0000, 0.0000, 3.1416, -5.0000, 0.0000, -1.0000, 83)\n"
        "WkzW(1, 4)\n"
        "SStringln(1, \"(raw text, kept # as is)\")\n"
        "Stop()\n",
        calls.Transcript());
}

TEST(CallScript, BadLinesNameLineAndColumn) {
    auto error = [](const std::string& script) {
        CallRecorder calls;
        return ErrorOf([&] { RunCallScript(script, "job.calls", calls); });
    };
    EXPECT_EQ("job.calls:2:1: unknown call 'Mvoe3'", error("Stop\nMvoe3 1 2 3\n"));
    EXPECT_EQ("job.calls:1:9: malformed number '2x'", error("Move3 1 2x 3\n"));
    EXPECT_EQ("job.calls:1:10: Move3 takes 3 arguments, found 2", error("Move3 1 2\n"));
    EXPECT_EQ("job.calls:1:9: MoveZ takes 1 arguments; '2' is one too many", error("MoveZ 1 2\n"));
    EXPECT_EQ("job.calls:1:6: '1.5' must be a whole number", error("WkzW 1.5 2\n"));
    EXPECT_EQ("job.calls:1:15: '1e39' does not fit a 32-bit float", error("SetzeVorschub 1e39\n"));
    EXPECT_EQ("job.calls:2:1: Kreis before the first positioning: its start is not known",
              error("MoveZ 5\nKreis 0 0 5 0 3.14 -5 0 0 0\n"));
}

std::string ProfileError(const std::string& text) {
    return ErrorOf([&] { LoadMachineText(text, "m.ini"); });
}

TEST(Profile, FieldsAndToolsAreSetByName) {
    Machine m = LoadMachineText(
        "[machine]\nclass = CDIN\nfeed_unit = mm/s\noutput = out/part\n"
        "[MaschEinstellung]\nOptionen = 4 + 512\nDateiendung = din\nGModal = z\n"
        "Massstab[2] = -1\nAchse[0].Adresse = U\nKommentarAuf = \xc2\xab\n"
        "HdhOptionen = UUU\nQParameter = 1\n"
        "[InitStruct]\nAufloesung[1] = 200\nBytes[4] = 7\n"
        "[tool 7]\nkind = engraving\ntip_diameter = 0.1\nangle = 90\n",
        "m.ini");
    EXPECT_EQ("CDIN", m.className);
    EXPECT_DOUBLE_EQ(1.0 / 60, m.feedFactor);
    EXPECT_EQ("out/part", m.output);
    EXPECT_EQ(516, +m.settings.Optionen);  // + reads the packed field by value
    EXPECT_STREQ("din", m.settings.Dateiendung);
    EXPECT_EQ('z', m.settings.GModal);
    EXPECT_EQ(-1.0f, +m.settings.Massstab[2]);
    EXPECT_EQ('U', m.settings.Achse[0].Adresse);
    EXPECT_STREQ("\xab", m.settings.KommentarAuf);  // UTF-8 in the file, code page 1252 here
    EXPECT_EQ(0, std::string(m.settings.HdhOptionen, 3).compare("UUU"));
    EXPECT_EQ(1, m.settings.QParameter);  // not overwritten by the three letters before it
    EXPECT_EQ(200.0f, +m.init.Aufloesung[1]);
    EXPECT_EQ(7, m.init.Bytes[4]);
    AWKZDAT t = DescribedTool(m, 7);
    EXPECT_EQ(0, t.Art);
    EXPECT_FLOAT_EQ(0.05f, +t.Spitzenradius);
    EXPECT_FLOAT_EQ(1.5707964f, +t.Winkel);
}

TEST(Profile, MistakesNameFileLineAndKey) {
    EXPECT_EQ("m.ini:4: Optionn: unknown key",
              ProfileError("[machine]\nclass = CDIN\n[MaschEinstellung]\nOptionn = 4\n"));
    EXPECT_EQ("m.ini:4: Nachkommastellen: '12' is out of range 0 to 9",
              ProfileError("[machine]\nclass = CDIN\n[MaschEinstellung]\nNachkommastellen = 12\n"));
    EXPECT_EQ("m.ini:2: Baudrate: 'fast' is not a whole number",
              ProfileError("[MaschEinstellung]\nBaudrate = fast\n"));
    EXPECT_EQ("m.ini:2: Massstab[0]: 'one' is not a number",
              ProfileError("[MaschEinstellung]\nMassstab[0] = one\n"));
    EXPECT_EQ("m.ini:2: GModal: 'zz' is not a single character",
              ProfileError("[MaschEinstellung]\nGModal = zz\n"));
    EXPECT_EQ("m.ini:3: class: given twice",
              ProfileError("[machine]\nclass = CDIN\nclass = CHDH\n"));
    EXPECT_EQ("m.ini:2: x: unknown section [machnie]", ProfileError("[machnie]\nx = 1\n"));
    EXPECT_EQ("m.ini:2: kind: 'drill' is not engraving, endmill or ballmill",
              ProfileError("[tool 3]\nkind = drill\n"));
    EXPECT_EQ("m.ini:2: feed_unit: 'ipm' is not a feed unit (mm/min, m/min, mm/s, in/min)",
              ProfileError("[machine]\nfeed_unit = ipm\n"));
    EXPECT_EQ("m.ini:2: not a key = value line or a [section]",
              ProfileError("[machine]\nclass CDIN\n"));
    EXPECT_EQ("m.ini: [machine] class is missing", ProfileError("[machine]\n"));
    // An unclosed section is the mistake, not the keys after it.
    EXPECT_EQ("m.ini:3: section name is not closed with ']'",
              ProfileError("[machine]\nclass = CDIN\n[MaschEinstellung\nNachkommastellen = 3\n"));
    EXPECT_EQ("m.ini:3: Class: given twice",
              ProfileError("[machine]\nclass = CDIN\nClass = CHDH\n"));
    EXPECT_EQ("m.ini:5: 3: tool 7 is in place 1 already (line 4)",
              ProfileError("[machine]\nclass = CDIN\n[magazine]\n1 = 7\n3 = 7\n"));
}

TEST(Profile, KeyNamesAreReadWithoutRegardToCase) {
    Machine m = LoadMachineText(
        "[MACHINE]\nCLASS = CDIN\nFeed_Unit = mm/s\n[mascheinstellung]\n"
        "nachkommastellen = 2\n[Tool 3]\nDIAMETER = 6\n[Travel]\nMin_X = 0\nmax_x = 10\n"
        "min_y = 0\nmax_y = 10\nmin_z = -5\nMAX_Z = 5\n",
        "m.ini");
    EXPECT_EQ("CDIN", m.className);
    EXPECT_EQ(2, m.settings.Nachkommastellen);
    EXPECT_DOUBLE_EQ(1.0 / 60.0, m.feedFactor);
    EXPECT_FLOAT_EQ(6.0f, m.tools.at(3).Durchmesser);
    EXPECT_DOUBLE_EQ(5.0, m.travel.maxZ);
    Machine z = LoadMachineText("[machine]\nclass = CZORB\n[CZORB]\nzschwelle = 2\n", "z.ini");
    EXPECT_EQ(2.0, z.writer.ZSchwelle.value_or(0));
}

TEST(Profile, TravelRapidsAndToolLife) {
    const Machine m = LoadMachineText(
        "[machine]\nclass = CDIN\nrapid_xy = 8\n[travel]\nmin_x = -1\nmax_x = 600\nmin_y = -2\n"
        "max_y = 400\nmin_z = -60\nmax_z = 80\n[tool 4]\nlife = 2500\n[workpiece]\nwidth = 10\n"
        "length = 5\nmargin = 1.5\n",
        "m.ini");
    EXPECT_TRUE(m.travel.given);
    EXPECT_EQ(-1.0, m.travel.minX);
    EXPECT_EQ(80.0, m.travel.maxZ);
    EXPECT_EQ(8.0, m.rapidXY);
    EXPECT_EQ(2.0, m.rapidZ);
    EXPECT_EQ(2500.0, m.toolLife.at(4));
    EXPECT_EQ(1.5, m.workpiece.margin);
    const char* kopf = "[machine]\nclass = CDIN\n[travel]\n";
    EXPECT_EQ("m.ini:4: [travel]: max_z is missing",
              ProfileError(std::string(kopf) +
                           "min_x = 0\nmax_x = 1\nmin_y = 0\nmax_y = 1\nmin_z = 0\n"));
    EXPECT_EQ("m.ini:4: [travel]: every min must lie below its max",
              ProfileError(std::string(kopf) +
                           "min_x = 0\nmax_x = 1\nmin_y = 0\nmax_y = 1\nmin_z = 0\nmax_z = 0\n"));
    EXPECT_EQ("m.ini:4: maxx: unknown key (known: min_x, max_x, min_y, max_y, min_z, max_z)",
              ProfileError(std::string(kopf) + "maxx = 1\n"));
    EXPECT_EQ("m.ini:4: life: '0' is out of range 0 (excluded) to 1000000000",
              ProfileError("[machine]\nclass = CDIN\n[tool 1]\nlife = 0\n"));
    EXPECT_EQ("m.ini:3: rapid_z: 'fast' is not a number",
              ProfileError("[machine]\nclass = CDIN\nrapid_z = fast\n"));
}

TEST(Preview, ArcsKeepTheirSenseWithYDrawnDownAndFullCirclesComeInHalves) {
    constexpr double kPi = 3.14159265358979323846;
    Preview p;
    p.Move3(0, 0, 5);  // the first move only tells where the tool is
    p.Draw3(10, 0, -1);
    p.Kreis(0, 0, 10, 0, kPi / 2, 0, 10, -1, 0);  // counter-clockwise quarter
    p.WkzW(1, 2);
    p.Move3(20, 20, 5);
    p.Kreis(20, 25, 5, -kPi / 2, -2 * kPi, 20, 20, -1, 0);  // clockwise full circle
    std::string svg = p.Svg();
    auto has = [&](const std::string& part) {
        return svg.find(part) != std::string::npos ? ::testing::AssertionSuccess()
                                                   : ::testing::AssertionFailure() << part;
    };
    EXPECT_TRUE(has("data-extents=\"0 0 25 30\""));
    EXPECT_TRUE(has("class=\"feed\" data-tool=\"0\" d=\"M0 0 L10 0\""));
    // Seen with y down, counter-clockwise is SVG's negative sense (sweep flag 0).
    EXPECT_TRUE(has("class=\"arc\" data-tool=\"0\" d=\"M10 0 A10 10 0 0 0 0 -10\""));
    EXPECT_TRUE(has("class=\"rapid\" data-tool=\"2\" d=\"M0 -10 L20 -20\""));
    EXPECT_TRUE(
        has("class=\"arc\" data-tool=\"2\" d=\"M20 -20 A5 5 0 0 1 20 -30 A5 5 0 0 1 20 -20\""));
    EXPECT_EQ(std::string::npos, svg.find("class=\"rapid\" data-tool=\"0\""));
    // One colour per tool.
    EXPECT_NE(svg.substr(svg.find("stroke=", svg.find("data-tool=\"0\"")), 16),
              svg.substr(svg.find("stroke=", svg.find("data-tool=\"2\"")), 16));
}

}  // namespace
}  // namespace korvat::tool
