// The channel's file side: the 64 KiB buffer and its flush rule, back-filling earlier positions,
// and what happens when the file cannot be created or written.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "channel_fixture.h"
#include "platform/files.h"

namespace korvat::test {
namespace {

using ChannelFile = ChannelTest;

long long SizeOnDisk(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

TEST_F(ChannelFile, FileOnlyChannelWritesLinesAndAnswersEmpty) {
    std::string base = dir.File("prog");
    ASSERT_EQ(OpenFile(base), 0);
    EXPECT_EQ(cx268io.DateiOffen, 1);
    EXPECT_EQ(cx268io.PortOffen, 0);
    EXPECT_EQ(std::string(cx268io.Dateipfad), base + ".nc");
    // No port took the text, so every write reports 1, yet the file gets it.
    EXPECT_EQ(cx268io.poutstrln("%PROG1"), 1);
    EXPECT_EQ(cx268io.poutstr("N10 G0 X0.000 Y0.000 Z5.000"), 1);
    EXPECT_EQ(cx268io.poutcrlf(), 1);
    EXPECT_EQ(cx268io.poutstrln("N20 G1 Z-1.000 F200"), 1);
    EXPECT_EQ(cx268io.poutchar('M'), 1);
    EXPECT_EQ(cx268io.poutstrln("30"), 1);
    char out[100] = "x";
    EXPECT_EQ(cx268io.pinstr(out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(cx268io.pbfrageln("ST", out), 0);
    EXPECT_EQ(cx268io.pclose(1, 1), 0);
    EXPECT_EQ(cx268io.DateiOffen, 0);
    EXPECT_TRUE(SameBytes(Crlf(Golden("program.nc")), ReadFile(base + ".nc")));
}

TEST_F(ChannelFile, BufferHoldsExactly65536BytesAndWritesFullBlocks) {
    std::string data(65537 + 100000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 251);
    struct Case {
        int bytes;
        long long onDisk;
        int inBuffer;
    } cases[] = {{65535, 0, 65535},
                 {65536, 0, 65536},
                 {65537, 65536, 1},
                 {65537 + 100000, 131072, 65537 + 100000 - 131072}};
    for (const Case& c : cases) {
        std::string base = dir.File("buf" + std::to_string(c.bytes));
        openedBefore = 0;
        ASSERT_EQ(OpenFile(base), 0);
        // In pieces of 1000 bytes, as writers append lines.
        for (int done = 0; done < c.bytes; done += 1000)
            cx268io.SchreibeAufDatei(data.data() + done, std::min(1000, c.bytes - done));
        EXPECT_EQ(SizeOnDisk(base + ".nc"), c.onDisk) << c.bytes;
        EXPECT_EQ(cx268io.PufferAnzahl, c.inBuffer) << c.bytes;
        cx268io.pclose(1, 1);
        EXPECT_EQ(cx268io.PufferAnzahl, 0);
        EXPECT_TRUE(SameBytes(data.substr(0, c.bytes), ReadFile(base + ".nc"))) << c.bytes;
    }
    // One call larger than the whole buffer also goes out whole.
    std::string base = dir.File("big");
    openedBefore = 0;
    ASSERT_EQ(OpenFile(base), 0);
    cx268io.SchreibeAufDatei("ab", 2);
    cx268io.SchreibeAufDatei(data.data(), static_cast<int>(data.size()));
    cx268io.pclose(1, 1);
    EXPECT_TRUE(SameBytes("ab" + data, ReadFile(base + ".nc")));
}

TEST_F(ChannelFile, BackFillWritesAtAnEarlierPositionAndLeavesThePositionBehindIt) {
    std::string base = dir.File("fill");
    ASSERT_EQ(OpenFile(base), 0);
    cx268io.poutstr("0123456789");
    EXPECT_EQ(cx268io.GebeDateiZeiger(), 10);
    EXPECT_EQ(cx268io.PufferAnzahl, 0);
    EXPECT_EQ(SizeOnDisk(base + ".nc"), 10);
    EXPECT_EQ(cx268io.NachtragenInDatei(2, 3, "abc"), 0);
    EXPECT_EQ(cx268io.GebeDateiZeiger(), 5);
    EXPECT_EQ(cx268io.SetzeDateiZeiger(10), 0);
    cx268io.poutstrln("N30 M30");
    cx268io.pclose(1, 1);
    EXPECT_TRUE(SameBytes(Crlf(Golden("backfill.nc")), ReadFile(base + ".nc")));

    // Without a file every position call says so.
    EXPECT_EQ(cx268io.GebeDateiZeiger(), -1);
    EXPECT_EQ(cx268io.SetzeDateiZeiger(0), -1);
    EXPECT_EQ(cx268io.NachtragenInDatei(0, 1, "x"), -1);
}

TEST_F(ChannelFile, FileThatCannotBeCreatedGives1005) {
    std::string base = dir.File("missing/prog");
    EXPECT_EQ(OpenFile(base), 1);
    EXPECT_EQ(cx268io.Fehlernummer, 1005);
    EXPECT_EQ(cx268io.Fehlerflag, 1);
    EXPECT_EQ(std::string(cx268io.Fehlertext1), base);
    EXPECT_EQ(cx268io.DateiOffen, 0);
    EXPECT_EQ(openedBefore, 1);

    // A path longer than Dateipfad holds is refused, not cut to another name.
    cx268io.pclose(2, 1);
    openedBefore = 0;
    std::string longBase = dir.File(std::string(120, 'p'));
    EXPECT_EQ(OpenFile(longBase), 1);
    EXPECT_EQ(cx268io.Fehlernummer, 1005);
    EXPECT_EQ(access((longBase + ".nc").c_str(), F_OK), -1);
}

TEST_F(ChannelFile, WriteFaultGives1007AndKeepsWhatWasWritten) {
    std::string base = dir.File("fault");
    ASSERT_EQ(OpenFile(base), 0);
    cx268io.poutstrln("N10 G0 X0");
    EXPECT_EQ(cx268io.GebeDateiZeiger(), 11);
    platform::FailWriteAfter(1);
    cx268io.poutstrln("N20 G1 X5");
    cx268io.pclose(1, 1);
    EXPECT_EQ(cx268io.Fehlernummer, 1007);
    EXPECT_EQ(cx268io.Fehlerflag, 1);
    EXPECT_EQ(std::string(cx268io.Fehlertext1), base + ".nc");
    EXPECT_TRUE(SameBytes("N10 G0 X0\r\n", ReadFile(base + ".nc")));

    // A full device: the first 64 KiB block already fails.
    cx268io.pclose(2, 1);
    std::string full = dir.File("full");
    ASSERT_EQ(symlink("/dev/full", (full + ".nc").c_str()), 0);
    openedBefore = 0;
    ASSERT_EQ(OpenFile(full), 0);
    std::string block(70000, 'x');
    cx268io.SchreibeAufDatei(block.data(), static_cast<int>(block.size()));
    EXPECT_EQ(cx268io.Fehlernummer, 1007);
    EXPECT_EQ(cx268io.Fehlerflag, 1);
}

TEST_F(ChannelFile, LineLongerThanTheLineBufferIsRefusedWhole) {
    std::string base = dir.File("long");
    ASSERT_EQ(OpenFile(base), 0);
    std::string fits(309, 'a');
    std::string tooLong(310, 'b');
    cx268io.poutstrln(fits.c_str());
    EXPECT_EQ(cx268io.Fehlerflag, 0);
    EXPECT_EQ(cx268io.poutstrln(tooLong.c_str()), 1);
    EXPECT_EQ(cx268io.Fehlernummer, 1020);
    EXPECT_EQ(cx268io.Fehlerzahl1, 310);
    EXPECT_EQ(cx268io.Fehlerzahl2, 309);
    EXPECT_EQ(cx268io.Fehlerflag, 1);
    EXPECT_EQ(std::string(cx268io.Fehlertext1), tooLong.substr(0, 255));
    cx268io.pclose(1, 1);
    EXPECT_TRUE(SameBytes(fits + "\r\n", ReadFile(base + ".nc")));
}

TEST_F(ChannelFile, NullPointersFromTheHostDoNotCrash) {
    EXPECT_EQ(cx268io.popen(1, 0, &settings, nullptr, &openedBefore, 0), 0);
    EXPECT_EQ(cx268io.DateiOffen, 0);
    EXPECT_EQ(cx268io.poutstr(nullptr), 1);
    EXPECT_EQ(cx268io.pinstr(nullptr), 1);
    char out[100];
    EXPECT_EQ(cx268io.pinstr(out), 1);  // neither port nor file

    std::string base = dir.File("nulls");
    EXPECT_EQ(cx268io.popen(1, 0, &settings, base.c_str(), nullptr, 0), 0);
    cx268io.poutstrln(nullptr);
    cx268io.SchreibeAufDatei(nullptr, 5);
    EXPECT_EQ(cx268io.pbfrageln(nullptr, nullptr), 0);
    cx268io.pclose(1, 1);
    EXPECT_TRUE(SameBytes("\r\n", ReadFile(base + ".nc")));

    // No settings: no port can be named, and no extension.
    cx268io.pclose(2, 1);
    openedBefore = 0;
    EXPECT_EQ(cx268io.popen(1, 1, nullptr, nullptr, &openedBefore, 0), 1);
    EXPECT_STREQ(cx268io.Fehlertext1, "\\\\.\\COM0");

    cx268io.psfehler(2101, 1, 2, nullptr, nullptr, 0.5f, 0, 0);
    EXPECT_EQ(cx268io.Fehlernummer, 2101);
    EXPECT_STREQ(cx268io.Fehlertext1, "");
}

TEST_F(ChannelFile, ErrorFlagStopsAllOutputUntilPcloseTwo) {
    std::string base = dir.File("stop");
    ASSERT_EQ(OpenFile(base), 0);
    cx268io.poutstrln("A");
    EXPECT_EQ(cx268io.SetzeAbbruchTaste(), 1);
    EXPECT_EQ(cx268io.Stoppanforderung, 1);
    cx268io.poutstrln("B");
    cx268io.SchreibeAufDatei("C", 1);
    cx268io.pclose(2, 1);
    EXPECT_EQ(cx268io.Fehlerflag, 0);
    EXPECT_EQ(cx268io.Tastenabbruch, 0);
    EXPECT_TRUE(SameBytes("A\r\n", ReadFile(base + ".nc")));
}

}  // namespace
}  // namespace korvat::test
