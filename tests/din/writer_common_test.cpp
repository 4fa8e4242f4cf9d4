// The helpers every program writer shares.
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/events.h"
#include "writers/common/writer_common.h"

namespace korvat::writer {
namespace {

TEST(WriterCommon, DecimalsAndTheirFormat) {
    EXPECT_EQ(Nachkommastellen(0, 0), 3);
    EXPECT_EQ(Nachkommastellen(6, 4), 4);
    EXPECT_EQ(Nachkommastellen(2, 0), 2);
    EXPECT_EQ(Nachkommastellen(-1, -1), 3);
    EXPECT_EQ(Nachkommastellen(20, 20), 9);
    EXPECT_EQ(MaxNachkommastellen(0), 5);
    char format[20];
    ZahlFormat(format, sizeof format, 3);
    EXPECT_STREQ(format, "%1.3lf");
    ZahlFormat(format, sizeof format, 11);
    EXPECT_STREQ(format, "%1.11lf");
}

TEST(WriterCommon, BlockNumbersWrapToTheFirst) {
    EXPECT_EQ(ErsteSatznummer(0), 1);
    EXPECT_EQ(ErsteSatznummer(999999999), 0);
    EXPECT_EQ(ErsteSatznummer(-5), -5);
    EXPECT_EQ(LetzteSatznummer(0), 999999999);
    EXPECT_EQ(NaechsteSatznummer(11, 10, 12), 12);
    EXPECT_EQ(NaechsteSatznummer(12, 10, 12), 10);
    const int32_t top = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(NaechsteSatznummer(top, 1, top), 1);
}

TEST(WriterCommon, ToolRecodingThroughTheMagazine) {
    WZW_PB_STRUCT m{};
    m.Anzahl = 3;
    m.Werkzeug[1] = 7;
    m.Werkzeug[2] = 5;
    m.Werkzeug[3] = 9;
    m.Werkzeug[4] = 4;  // beyond the count: not a place
    EXPECT_EQ(WzUmcodieren(&m, 5), 2);
    EXPECT_EQ(WzUmcodieren(&m, 9), 3);
    EXPECT_EQ(WzUmcodieren(&m, 4), 4);
    EXPECT_EQ(WzUmcodieren(nullptr, 5), 5);
    m.Anzahl = 1000;  // a damaged count reads no further than place 60
    m.Werkzeug[60] = 77;
    EXPECT_EQ(WzUmcodieren(&m, 77), 60);
}

TEST(WriterCommon, FeedWordsOnlyForChangesAboveFivePercent) {
    EXPECT_FALSE(VorschubGeaendert(1040, 1000));
    EXPECT_TRUE(VorschubGeaendert(1060, 1000));
    EXPECT_FALSE(VorschubGeaendert(960, 1000));
    EXPECT_TRUE(VorschubGeaendert(940, 1000));
    EXPECT_TRUE(VorschubGeaendert(100, -1));  // after a reset
    EXPECT_TRUE(VorschubGeaendert(100, 0));
}

TEST(WriterCommon, RoundingHalvesAwayFromZero) {
    EXPECT_EQ(RundeL(2.5), 3);
    EXPECT_EQ(RundeL(-2.5), -3);
    EXPECT_EQ(RundeL(0.49999997f), 0);  // a float sum would round this up
    EXPECT_EQ(RundeL(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(RundeL(1e12), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Ganzzahl(1999.9), 1999);
    EXPECT_EQ(Ganzzahl(-1e12), std::numeric_limits<int32_t>::min());
}

TEST(WriterCommon, BoundedFormattingAndSignOfZero) {
    char out[8];
    EXPECT_TRUE(Formatiere(out, sizeof out, "%s", "1234567"));
    EXPECT_FALSE(Formatiere(out, sizeof out, "%s", "12345678"));
    EXPECT_STREQ(out, "1234567");
    EXPECT_FALSE(Anhaengen(out, sizeof out, "x"));

    // Numbers are written as printf writes them, the sign of a value that rounds to zero kept.
    char number[24];
    EXPECT_TRUE(FormatiereZahl(number, sizeof number, "%1.3lf", -0.0001));
    EXPECT_STREQ(number, "-0.000");
    FormatiereZahl(number, sizeof number, "%1.3lf", -0.0006);
    EXPECT_STREQ(number, "-0.001");
    FormatiereZahl(number, sizeof number, "%1.0lf", -0.2);
    EXPECT_STREQ(number, "-0");
    // Cut at the buffer like snprintf, and told.
    EXPECT_FALSE(Formatiere(out, sizeof out, "X%1.3lf", -1234.5));
    EXPECT_STREQ(out, "X-1234.");
}

// One text formatted by the writers' formatter and by vsnprintf.
struct Beide {
    std::string ours, printf;
};
Beide Format(const char* format, ...) {
    char a[512], b[512];
    va_list args, copy;
    va_start(args, format);
    va_copy(copy, args);
    FormatiereV(a, sizeof a, format, args);
    std::vsnprintf(b, sizeof b, format, copy);
    va_end(copy);
    va_end(args);
    return {a, b};
}

TEST(WriterCommon, TheFormatterWritesWhatPrintfWritesForEveryWritersFormat) {
    // Random doubles and floats of every size, values a hair off halfway between two
    // decimals and exactly halfway (binary fractions), and values near zero of both signs.
    std::mt19937_64 random(20261207);
    std::vector<double> values = {0.0,          -0.0,    0.5,      -0.5,   1.5,     2.5,
                                  0.125,        -0.125,  0.0625,   1e-300, -1e-300, 0.0005,
                                  -0.0005,      0.00049, -0.00049, 1e15,   -1e15,   123456789.0,
                                  2147483647.0, 1e300,   -1e300,   4.35,   2.675,   1.0005};
    for (int i = 0; i < 4000; ++i) {
        double scale = std::pow(10.0, static_cast<int>(random() % 16) - 8);
        double v = (static_cast<double>(random() % 2000001) - 1000000.0) * scale / 1000.0;
        values.push_back(v);
        values.push_back(static_cast<float>(v));  // a float as a writer keeps it
        // Halfway in binary: k / 2^n for small n are exact, and printf rounds them to even.
        values.push_back(static_cast<double>(static_cast<int64_t>(random() % 200001) - 100000) /
                         (1 << (random() % 12)));
        values.push_back(std::nextafter(0.0, i % 2 ? 1.0 : -1.0) * (random() % 1000));
    }
    const char* doubles[] = {"%1.3lf",  "%1.0lf", "%1.1lf",  "%1.2lf", "%1.4lf",        "%1.5lf",
                             "%1.6lf",  "%1.9lf", "%1.12lf", "%f",     "%.3f",          "%8.3f",
                             "%-8.3f|", "%08.3f", "%+.3f",   "% .2f",  "X%1.3lfY%1.3lf"};
    for (const char* f : doubles) {
        for (double v : values) {
            Beide r = Format(f, v, -v);
            ASSERT_EQ(r.printf, r.ours) << f << " of " << std::hexfloat << v;
        }
    }
    // Integers as the writers write them, with their widths and signs.
    std::vector<long> whole = {0, 1, -1, 9, 10, 99999, -2147483647L - 1, 2147483647, 123456789};
    for (int i = 0; i < 2000; ++i) whole.push_back(static_cast<int32_t>(random()));
    const char* ints[] = {"%1d", "%d", "%5d", "%-5d|", "%05d", "%+d", "% d", "%i", "%u"};
    const char* longs[] = {"%1ld", "%ld", "%06ld", "N%1ld "};
    for (long v : whole) {
        for (const char* f : ints) {
            Beide r = Format(f, static_cast<int>(v));
            ASSERT_EQ(r.printf, r.ours) << f << " of " << v;
        }
        for (const char* f : longs) {
            Beide r = Format(f, v);
            ASSERT_EQ(r.printf, r.ours) << f << " of " << v;
        }
    }
    // Texts, characters, the percent sign, and what is handed to printf as it is.
    for (const char* f : {"%s;", "%10s|", "%-10s|", "%.3s|", "%c%c", "100%%", "%x", "%g", "%1.4g",
                          "%e", "%.3d", "%5.1f%%"}) {
        Beide r = std::strchr(f, 's')      ? Format(f, "Werkzeug")
                  : std::strchr(f, 'c')    ? Format(f, 'A', 'B')
                  : std::strpbrk(f, "gef") ? Format(f, 1234.5678)
                                           : Format(f, 3054);
        EXPECT_EQ(r.printf, r.ours) << f;
    }
    EXPECT_EQ("inf nan -inf", Format("%1.3lf %1.3lf %1.3lf", HUGE_VAL, NAN, -HUGE_VAL).ours);
}

TEST(WriterCommon, NumbersWrittenWithAFormatDecidedOnceAreWhatPrintfWrites) {
    // The integer rounding holds up to digits of 2^64; around that edge, at the smallest
    // numbers (subnormals) and at exact halves of the last decimal, the text must stay printf's.
    std::mt19937_64 random(7);
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.5,
                                  2.5,
                                  -2.5,
                                  1.0625,
                                  0.0009765625,
                                  5e-324,
                                  -5e-324,
                                  2.2250738585072014e-308,
                                  9223372036854775807.0,
                                  18446744073709551615.0,
                                  1.8446744073709552e16,
                                  1.8e10,
                                  -1.8446744073709e13,
                                  4503599627370495.5,
                                  9007199254740993.0};
    for (int i = 0; i < 8000; ++i) {
        uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v)) values.push_back(v);
        // Decimal halves: k + 0.5 * 10^-d is halfway only when it is exact in binary.
        int d = static_cast<int>(random() % 10);
        values.push_back((static_cast<double>(random() % 2000000) - 1e6 + 0.5) / std::pow(10.0, d));
        values.push_back(std::ldexp(static_cast<double>(random() % (1 << 20)),
                                    -static_cast<int>(random() % 40)));
    }
    // Every binary exponent from 2^-75 to 2^10 with full 53-bit mantissas, both signs: the
    // few decimals round in 64-bit words while the exponent allows, in 128 bits beyond.
    for (int e = -75; e <= 10; ++e) {
        for (int i = 0; i < 40; ++i) {
            const uint64_t m = (uint64_t{1} << 52) | (random() >> 12);
            values.push_back(std::ldexp(static_cast<double>(m), e));
            values.push_back(-std::ldexp(static_cast<double>(m | 1), e));
        }
    }
    const char* formats[] = {"%1.0lf", "%1.3lf", "%1.2f",   "%1.5lf", "%1.9lf", "%1.12lf", "%.19f",
                             "%1.20f", "%+8.3f", "% 08.3f", "%-9.1f", "%1ld",   "%1d",     "%+06d"};
    for (const char* f : formats) {
        Zahlformat z;
        ASSERT_TRUE(LiesZahlformat(f, &z)) << f;
        for (double v : values) {
            char ours[512], theirs[512];
            char* end = SchreibeZahl(ours, ours + sizeof ours, v, z);
            ASSERT_NE(end, nullptr);
            *end = 0;
            if (z.decimals < 0 && std::strchr(f, 'l'))
                std::snprintf(theirs, sizeof theirs, f, static_cast<long>(Ganzzahl(v)));
            else if (z.decimals < 0)
                std::snprintf(theirs, sizeof theirs, f, static_cast<int>(Ganzzahl(v)));
            else
                std::snprintf(theirs, sizeof theirs, f, v);
            ASSERT_STREQ(theirs, ours) << f << " of " << std::hexfloat << v;
        }
    }
    // Whatever the room behind the output, the text is printf's when it fits and nothing when
    // it does not (written in place when there is room for the longest, else by way of a copy).
    for (const char* f : {"%1.3lf", "%1.12lf", "%+8.3f"}) {
        Zahlformat z;
        ASSERT_TRUE(LiesZahlformat(f, &z)) << f;
        for (double v : {-12345.6785, 0.0, 1e19, -9.5e-13}) {
            char theirs[64];
            const int n = std::snprintf(theirs, sizeof theirs, f, v);
            for (int room = 0; room <= 48; ++room) {
                char ours[64];
                char* end = SchreibeZahl(ours, ours + room, v, z);
                if (room < n) {
                    EXPECT_EQ(end, nullptr) << f << " of " << v << " in " << room;
                } else {
                    ASSERT_NE(end, nullptr) << f << " of " << v << " in " << room;
                    EXPECT_EQ(std::string(theirs), std::string(ours, end)) << room;
                }
            }
        }
    }

    // Formats with anything besides one number conversion are not decided once.
    Zahlformat z;
    for (const char* f : {"X%1.3lf", "%1.3lf ", "%*d", "%g", "%s", "%#f", "%1.3Lf", "%.3d", ""})
        EXPECT_FALSE(LiesZahlformat(f, &z)) << f;

    // A block built piece by piece: a piece that does not fit is left out, the rest kept.
    char satz[16];
    Satzbau b(satz, sizeof satz);
    ASSERT_TRUE(LiesZahlformat("%1.3lf", &z));
    b.Text("G1 ").Zeichen('X').Zahl(-0.0001, z);
    EXPECT_TRUE(b.ok());
    EXPECT_STREQ(satz, "G1 X-0.000");
    EXPECT_EQ(b.size(), 10u);
    b.Zeichen(' ').Zahl(12345.5, z);  // " 12345.500" would pass the 15 characters
    EXPECT_FALSE(b.ok());
    EXPECT_STREQ(satz, "G1 X-0.000 ");
    b.Text("Y");  // nothing more after an overflow
    EXPECT_STREQ(satz, "G1 X-0.000 ");
    // A terminated text that does not fit is left out whole, even when it starts to fit.
    Satzbau c(satz, sizeof satz);
    c.Text("G1 X1 ").Text("F1000 S24000");
    EXPECT_FALSE(c.ok());
    EXPECT_STREQ(satz, "G1 X1 ");
    Satzbau d(satz, sizeof satz);
    d.Text("G1 X1.000 Y2.00").Text("");
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(d.size(), 15u);
    EXPECT_STREQ(satz, "G1 X1.000 Y2.00");
}

TEST(WriterCommon, SignificantDigitsAreWhatPrintfsGWrites) {
    // "%1.4g" to "%1.8g" as the Datron writer uses them: values around every power of ten and
    // the rounding edges where the digits carry into a new power (0.99995, 9.999995, ...),
    // where printf switches to the exponent form, halves in binary, and random values of every
    // size and sign.
    std::mt19937_64 random(1252);
    std::vector<double> values = {0.0,     -0.0,     1e-5,      0.00010,     0.99995, 0.999949,
                                  9.99995, 9.999949, 99.999995, 999.9999995, 1e8,     99999999.5,
                                  1.5e8,   -1.5e8,   0.125,     2.5,         1e300,   5e-324};
    for (int e = -6; e <= 12; ++e) {
        double p = std::pow(10.0, e);
        for (double v : {p, std::nextafter(p, 0.0), std::nextafter(p, 1e300), p * 0.99995}) {
            values.push_back(v);
            values.push_back(-v);
        }
    }
    for (int i = 0; i < 20000; ++i) {
        double scale = std::pow(10.0, static_cast<int>(random() % 18) - 6);
        values.push_back((static_cast<double>(random() % 2000001) - 1000000.0) * scale / 1e6);
        values.push_back(
            std::ldexp(static_cast<double>(random() % 100000), -static_cast<int>(random() % 20)));
    }
    for (int precision = 1; precision <= 17; ++precision) {
        char format[16];
        std::snprintf(format, sizeof format, "%%1.%dg", precision);
        for (double v : values) {
            char ours[64], theirs[64];
            char* end = SchreibeG(ours, ours + sizeof ours, v, precision);
            ASSERT_NE(end, nullptr);
            *end = 0;
            std::snprintf(theirs, sizeof theirs, format, v);
            ASSERT_STREQ(theirs, ours) << format << " of " << std::hexfloat << v;
        }
    }
    char small[4];
    EXPECT_EQ(nullptr, SchreibeG(small, small + sizeof small, 12345.0, 8));
}

TEST(WriterCommon, KeyboardPollEmptiesTheQueueOnTheTenthCall) {
    platform::ClearEvents();
    platform::PostEvent({platform::Event::Paint, 0, nullptr});
    platform::PostEvent({platform::Event::KeyDown, 'A', nullptr});
    int16_t countdown = 10;
    int32_t e1 = 0, e2 = 0;
    for (int i = 0; i < 9; ++i) SchreiberTastaturabfrage(&countdown, &e1, &e2);
    EXPECT_TRUE(platform::HasEvent());
    SchreiberTastaturabfrage(&countdown, &e1, &e2);
    EXPECT_FALSE(platform::HasEvent());
    EXPECT_EQ(e1, 0);  // only Escape counts
    EXPECT_EQ(countdown, 10);
}

}  // namespace
}  // namespace korvat::writer
