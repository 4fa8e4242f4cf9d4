// Record files (the element files of the approach computation go through them) and the angle
// and fraction helpers the range checks and the clipping rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/grundfkt.h"
#include "platform/files.h"
#include "support/golden.h"

using korvat::test::ReadFile;
using korvat::test::TempDir;
using korvat::test::WriteFile;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Satz {
    char bytes[32];
};
Satz SatzMit(char c) {
    Satz s;
    std::memset(s.bytes, c, sizeof s.bytes);
    return s;
}

TEST(RecordFiles, RoundTripWithSeeksFromStartCurrentAndEnd) {
    TempDir dir;
    std::string pfad = dir.File("EAW.BIN");
    int32_t h = rd_creat(pfad.c_str(), 10);
    ASSERT_GE(h, 0);
    for (char c : {'A', 'B', 'C'}) {
        Satz s = SatzMit(c);
        ASSERT_EQ(rd_write(h, &s, 32), 32);
    }
    EXPECT_EQ(rd_close(h), 0);
    EXPECT_EQ(ReadFile(pfad), std::string(32, 'A') + std::string(32, 'B') + std::string(32, 'C'));

    h = rd_open(pfad.c_str(), 0);
    ASSERT_GE(h, 0);
    Satz s;
    EXPECT_EQ(rd_seek(h, 32, 0), 32);
    ASSERT_EQ(rd_read(h, &s, 32), 32);
    EXPECT_EQ(s.bytes[0], 'B');
    EXPECT_EQ(rd_seek(h, -64, 1), 0);
    ASSERT_EQ(rd_read(h, &s, 32), 32);
    EXPECT_EQ(s.bytes[31], 'A');
    EXPECT_EQ(rd_seek(h, -32, 2), 64);
    ASSERT_EQ(rd_read(h, &s, 32), 32);
    EXPECT_EQ(s.bytes[0], 'C');
    EXPECT_EQ(rd_close(h), 0);

    // Read and write mode: a record is replaced in place.
    h = rd_open(pfad.c_str(), 2);
    ASSERT_GE(h, 0);
    Satz x = SatzMit('X');
    EXPECT_EQ(rd_seek(h, 32, 0), 32);
    EXPECT_EQ(rd_write(h, &x, 32), 32);
    EXPECT_EQ(rd_close(h), 0);
    EXPECT_EQ(ReadFile(pfad), std::string(32, 'A') + std::string(32, 'X') + std::string(32, 'C'));
}

TEST(RecordFiles, ShortReadAtTheEndThenNothing) {
    TempDir dir;
    WriteFile(dir.File("kurz.bin"), std::string(70, 'k'));
    int32_t h = rd_open(dir.File("kurz.bin").c_str(), 0);
    ASSERT_GE(h, 0);
    Satz s;
    EXPECT_EQ(rd_seek(h, 64, 0), 64);
    EXPECT_EQ(rd_read(h, &s, 32), 6);
    EXPECT_EQ(rd_read(h, &s, 32), 0);
    EXPECT_EQ(rd_close(h), 0);
}

TEST(RecordFiles, FailuresAreMinusOne) {
    TempDir dir;
    EXPECT_EQ(rd_open(dir.File("fehlt.bin").c_str(), 0), -1);
    EXPECT_EQ(rd_creat((dir.File("kein/ordner.bin")).c_str(), 0), -1);
    Satz s;
    EXPECT_EQ(rd_read(-1, &s, 32), -1);
    EXPECT_EQ(rd_write(-1, &s, 32), -1);
    EXPECT_EQ(rd_seek(-1, 0, 0), -1);
    EXPECT_EQ(rd_close(-1), -1);
    EXPECT_EQ(rd_read(0, &s, -5), -1);  // a negative count is refused, not taken as huge

    // A full disk: the write comes back short, and what was written before stays.
    int32_t h = rd_creat(dir.File("voll.bin").c_str(), 0);
    ASSERT_GE(h, 0);
    Satz a = SatzMit('a');
    ASSERT_EQ(rd_write(h, &a, 32), 32);
    korvat::platform::FailWriteAfter(1);
    EXPECT_LT(rd_write(h, &a, 32), 32);
    korvat::platform::FailWriteAfter(0);
    rd_close(h);
    EXPECT_EQ(ReadFile(dir.File("voll.bin")), std::string(32, 'a'));
}

TEST(RecordFiles, DeleteRemovesTheFileOnce) {
    TempDir dir;
    WriteFile(dir.File("weg.bin"), "x");
    EXPECT_EQ(rd_loesche(dir.File("weg.bin").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("weg.bin")));
    EXPECT_NE(rd_loesche(dir.File("weg.bin").c_str()), 0);
}

TEST(Numerik, AngleCorrectionBringsEveryAngleIntoOneTurn) {
    // -0 must come out as +0: a start angle of -0 compares and prints like 0.
    double null = KFWKORREKTUR(-0.0);
    EXPECT_EQ(null, 0.0);
    EXPECT_FALSE(std::signbit(null));
    EXPECT_EQ(KFWKORREKTUR(2 * kPi), 0.0);
    EXPECT_EQ(KFWKORREKTUR(4 * kPi), 0.0);
    EXPECT_EQ(KFWKORREKTUR(-2 * kPi), 0.0);
    EXPECT_NEAR(KFWKORREKTUR(-kPi / 2), 1.5 * kPi, 1e-15);
    EXPECT_NEAR(KFWKORREKTUR(-2 * kPi - 0.1), 2 * kPi - 0.1, 1e-14);
    EXPECT_NEAR(KFWKORREKTUR(7.0), 7.0 - 2 * kPi, 1e-15);
    EXPECT_NEAR(KFWKORREKTUR(-100.0), -100.0 + 16 * 2 * kPi, 1e-12);
    EXPECT_EQ(KFWKORREKTUR(1.0), 1.0);
    // A negative angle too small to survive adding a turn is 0, never 2 pi.
    EXPECT_EQ(KFWKORREKTUR(-1e-17), 0.0);
    for (double a = -50.0; a < 50.0; a += 0.37) {
        double r = KFWKORREKTUR(a);
        EXPECT_GE(r, 0.0) << a;
        EXPECT_LT(r, 2 * kPi) << a;
    }
    EXPECT_TRUE(std::isnan(KFWKORREKTUR(NAN)));
    EXPECT_TRUE(std::isnan(KFWKORREKTUR(INFINITY)));
}

TEST(Numerik, ArcTangentTakesDyFirst) {
    EXPECT_NEAR(KFARCT(1.0, 0.0), kPi / 2, 1e-15);
    EXPECT_NEAR(KFARCT(0.0, -1.0), kPi, 1e-15);
    EXPECT_EQ(KFARCT(0.0, 0.0), 0.0);
}

TEST(Numerik, FractionIsValidFromZeroToOneWithRoundingSlack) {
    EXPECT_GE(kfgueltig(0.0), 0);
    EXPECT_GE(kfgueltig(1.0), 0);
    EXPECT_GE(kfgueltig(0.5), 0);
    EXPECT_GE(kfgueltig(-1e-7), 0);
    EXPECT_GE(kfgueltig(1.0 + 1e-7), 0);
    EXPECT_LT(kfgueltig(-0.001), 0);
    EXPECT_LT(kfgueltig(1.001), 0);
    EXPECT_LT(kfgueltig(-3.0), 0);
    EXPECT_LT(kfgueltig(NAN), 0);
}

}  // namespace
