// CZORB: the .LG1 file is read back record by record with a decoder of the test's own (13
// bytes: type, three little-endian 32-bit values) and printed one record a line; the listings
// are compared with hand-written ones. Group headers, counts, dots, tool and depth changes, the
// Z threshold, and faults (a full disk, NaN, a file that cannot be created).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/golden.h"
#include "writers/czorb/czorb.h"

namespace {

using korvat::test::Golden;
using korvat::test::ReadFile;
using korvat::test::SameBytes;

// One record a line: "type v1 v2 v3" with floats in %g; the count of record 1 and the third
// value of record 7 are integers; record 152 shows its twelve value bytes in hex.
std::string Decode(const std::string& bytes) {
    std::string out;
    if (bytes.size() % 13 != 0)
        out += "size " + std::to_string(bytes.size()) + " is no multiple of 13\n";
    for (size_t at = 0; at + 13 <= bytes.size(); at += 13) {
        const auto* r = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        int type = r[0];
        uint32_t u[3];
        float f[3];
        for (int i = 0; i < 3; ++i) {
            u[i] = 0;
            for (int k = 3; k >= 0; --k) u[i] = u[i] << 8 | r[1 + 4 * i + k];
            std::memcpy(&f[i], &u[i], 4);
        }
        char line[128];
        if (type == 152) {
            int n = std::snprintf(line, sizeof line, "152");
            for (int i = 1; i < 13; ++i)
                n += std::snprintf(line + n, sizeof line - n, " %02x", r[i]);
        } else if (type == 1 || type == 7) {
            std::snprintf(line, sizeof line, "%d %g %g %d", type, f[0], f[1],
                          static_cast<int32_t>(u[2]));
        } else {
            std::snprintf(line, sizeof line, "%d %g %g %g", type, f[0], f[1], f[2]);
        }
        out += line;
        out += '\n';
    }
    return out;
}

class Czorb : public ::testing::Test {
  protected:
    void TearDown() override { korvat::platform::FailWriteAfter(0); }
    void Open() { ASSERT_EQ(0, w.Open(0, nullptr, 0, dir.File("PART").c_str())); }
    std::string Close() {
        EXPECT_EQ(0, w.Close(0));
        return ReadFile(dir.File("PART.LG1"));
    }

    korvat::test::TempDir dir;
    CZORB w{};
};

TEST_F(Czorb, OneCutMakesAGroupOfFifteenRecords) {
    Open();
    w.SetzeVorschub(2.5f);
    w.SetzeGTiefe(-1);
    w.Spinddreh(12000);
    w.WkzW(7, 1.5f, 3, 0.5235988f, 0.2f, 4, 5, 0);
    w.Move(0, 0);
    w.Draw(10, 0);
    std::string file = Close();
    EXPECT_EQ(15u * 13u, file.size());
    EXPECT_TRUE(SameBytes(Golden("group_count_15.txt"), Decode(file)));
}

TEST_F(Czorb, PlungeFollowedByARapidMoveIsADot) {
    Open();
    w.WkzW(1, 0, 0, 0, 0, 0, 0, 0);
    w.Move(5, 5);
    w.Draw3(5, 5, -1);
    w.Move(20, 5);
    w.Draw(30, 5);
    EXPECT_TRUE(SameBytes(Golden("dot.txt"), Decode(Close())));
}

TEST_F(Czorb, PlungeFollowedByACutIsNoDot) {
    Open();
    w.WkzW(1, 0, 0, 0, 0, 0, 0, 0);
    w.Draw3(5, 5, -1);
    w.Draw(9, 5);
    EXPECT_TRUE(SameBytes(Golden("no_dot.txt"), Decode(Close())));
}

TEST_F(Czorb, DepthAndToolChangesStartGroupsAndSmallChangesDoNot) {
    Open();
    w.Move(1, 1);  // before any tool: the group still gets a header (tool 0)
    w.Draw(2, 2);
    w.SetzeGTiefe(0.004f);  // not more than 0.005: same group
    w.Move(3, 3);
    w.Move(4, 4);  // only the second target is kept
    w.Draw(5, 5);
    w.SetzeGTiefe(-0.5f);
    w.SetzeVorschuebe(1.5f, 0.2f);
    w.Spinddreh(9000);
    w.Draw(6, 6);  // the new group starts where the tool stands
    w.SetzeGruppenwert(2);
    w.WkzW(3, 1, 2, 0, 0, 4, 5, 1);  // w5 and w6 exchanged
    w.Draw3(7, 7, -1);
    w.Move(8, 8);  // never followed by a cut: dropped at Close
    std::string listing = Decode(Close());
    EXPECT_TRUE(SameBytes(Golden("groups.txt"), listing));
}

TEST_F(Czorb, ZThresholdDecidesBetweenRapidMoveAndPlunge) {
    Open();
    w.SetzeZSchwelle(-2);
    w.WkzW(1, 0, 0, 0, 0, 0, 0, 0);
    w.Move(5, 5);
    w.Draw3(5, 5, -1);  // above -2: a rapid move, so no dot
    w.Move(20, 5);
    w.Draw(30, 5);
    std::string listing = Decode(Close());
    EXPECT_EQ(std::string::npos, listing.find("10 5.01 5 0"));
    EXPECT_NE(std::string::npos, listing.find("1 10 10 15\n"));
}

TEST_F(Czorb, FullDiskKeepsTheBuffersWrittenBeforeAndReportsTheFile) {
    // The records go out in buffers of 5041 whole records. A group of 6000 cuts fills the first
    // buffer (written); the disk refuses the second at the group's end: the file holds the
    // first buffer, whole records, its header still counting 0 (unfinished).
    Open();
    w.WkzW(7, 1.5f, 3, 0.5235988f, 0.2f, 4, 5, 0);
    w.SetzeVorschub(2.5f);
    w.SetzeGTiefe(-1);
    w.Spinddreh(12000);
    korvat::platform::FailWriteAfter(2);
    w.Move(0, 0);
    for (int i = 1; i <= 6000; ++i) w.Draw(static_cast<float>(i % 100), 0);
    std::string file = Close();
    EXPECT_EQ(1007, w.FehlerCode);
    EXPECT_EQ(dir.File("PART.LG1"), w.FehlerText1);
    EXPECT_EQ(1, w.Escape1);
    ASSERT_EQ(5041u * 13u, file.size());
    std::string listing = Decode(file);
    std::string head = Golden("group_count_15.txt");
    head = "1 0 0 0\n" + head.substr(head.find('\n') + 1);
    head = head.substr(0, head.find("10 10 0 0\n"));
    EXPECT_TRUE(SameBytes(head, listing.substr(0, head.size())));
    // The last record written is cut 5028 (12 header records, the rapid move, then the cuts).
    EXPECT_EQ("10 28 0 0\n", listing.substr(listing.rfind('\n', listing.size() - 2) + 1));

    // A disk full from the first write: an empty file, the same record.
    CZORB leer{};
    korvat::platform::FailWriteAfter(1);
    ASSERT_EQ(0, leer.Open(0, nullptr, 0, dir.File("EMPTY").c_str()));
    leer.Move(0, 0);
    leer.Draw(1, 0);
    EXPECT_EQ(0, leer.Close(0));
    EXPECT_EQ(1007, leer.FehlerCode);
    EXPECT_EQ(1, leer.Escape1);
    EXPECT_EQ("", ReadFile(dir.File("EMPTY.LG1")));
}

TEST_F(Czorb, GroupHeadersWrittenBackAcrossBufferBoundaries) {
    // Three groups (three depths) of 2500 cuts each: the second header lies in the first
    // buffer's range and is written back after that buffer went out; every count is right.
    Open();
    w.WkzW(1, 0, 0, 0, 0, 0, 0, 0);
    for (int g = 1; g <= 3; ++g) {
        w.SetzeGTiefe(static_cast<float>(-g));
        w.Move(0, 0);
        for (int i = 1; i <= 2500; ++i) w.Draw(static_cast<float>(i % 50), 1);
    }
    std::string file = Close();
    ASSERT_EQ(3u * (12 + 1 + 2500 + 1) * 13u, file.size());
    std::string listing = Decode(file);
    size_t at = 0;
    for (int g = 0; g < 3; ++g) {
        at = listing.find("\n1 ", at);
        if (g == 0) at = 0;  // the first header is the file's first line
        ASSERT_NE(std::string::npos, at);
        size_t line = g == 0 ? 0 : at + 1;
        EXPECT_EQ("1 10 10 2514", listing.substr(line, listing.find('\n', line) - line));
        at = line + 1;
    }
}

TEST_F(Czorb, NaNCoordinateIsRefusedAndStopsTheFile) {
    Open();
    w.WkzW(1, 0, 0, 0, 0, 0, 0, 0);
    w.Move(0, 0);
    w.Draw(1, 1);
    w.Draw(std::nanf(""), 2);
    w.Draw(3, 3);
    std::string listing = Decode(Close());
    EXPECT_EQ(2103, w.FehlerCode);
    EXPECT_NE(nullptr, std::strstr(w.FehlerText2, "nan"));
    EXPECT_EQ(14u * 1u, static_cast<size_t>(std::count(listing.begin(), listing.end(), '\n')));
    EXPECT_NE(std::string::npos, listing.find("10 1 1 0\n"));
}

TEST_F(Czorb, WithoutANameNothingIsWrittenAndABadFolderFailsTheOpen) {
    EXPECT_EQ(0, w.Open(0, nullptr, 0, nullptr));
    w.WkzW(1, 0, 0, 0, 0, 0, 0, 0);
    w.Move(0, 0);
    w.Draw(1, 1);
    EXPECT_EQ(0, w.Close(0));
    EXPECT_EQ(1, w.Open(0, nullptr, 0, dir.File("missing/PART").c_str()));
    EXPECT_EQ(1005, w.FehlerCode);
}

}  // namespace
