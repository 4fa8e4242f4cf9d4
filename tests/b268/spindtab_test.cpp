// LadeSPINDTab on hand-made tables, and LoescheSatzweise.
#include <string>

#include <gtest/gtest.h>

#include "support/golden.h"
#include "supervision/spindtab.h"

namespace korvat::test {
namespace {

// Lines "i speed" for i = 0..lines-1, speed 10 × i unless changed.
std::string Table(int lines, int changedLine = -1, const std::string& changed = "") {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += i == changedLine ? changed + "\n"
                                 : std::to_string(i) + " " + std::to_string(10 * i) + ".5\n";
    return text;
}

struct Loaded {
    int result;
    float table[128];
};

Loaded Load(const std::string& text) {
    TempDir dir;
    WriteFile(dir.File("SPIND.TAB"), text);
    Loaded l;
    for (float& v : l.table) v = -99;
    // The file name part of the path is not used.
    l.result = LadeSPINDTab((dir.path() + "/FRAXON.INI").c_str(), l.table);
    return l;
}

TEST(LadeSPINDTab, FullTableLoadsAndLinesAfterTheLastAreNotRead) {
    Loaded l = Load(Table(128) + "this line is not read\n");
    EXPECT_EQ(0, l.result);
    EXPECT_FLOAT_EQ(0.5f, l.table[0]);
    EXPECT_FLOAT_EQ(1270.5f, l.table[127]);
}

TEST(LadeSPINDTab, ShortOrUnreadableTableIs3111) {
    Loaded l = Load(Table(127));
    EXPECT_EQ(3111, l.result);
    EXPECT_FLOAT_EQ(1260.5f, l.table[126]);
    EXPECT_EQ(3111, Load(Table(128, 5, "5 fast")).result);
    EXPECT_EQ(3111, Load("").result);
}

TEST(LadeSPINDTab, EqualSpeedsAreAcceptedFallingSpeedsAre3112) {
    EXPECT_EQ(0, Load(Table(128, 1, "1 0.5")).result);
    Loaded l = Load(Table(128, 3, "3 19.5"));
    EXPECT_EQ(3112, l.result);
    EXPECT_FLOAT_EQ(19.5f, l.table[3]) << "the faulty line is kept";
    EXPECT_FLOAT_EQ(-99.0f, l.table[4]) << "nothing after it";
    EXPECT_EQ(3112, Load(Table(128, 0, "0 -1")).result);
}

TEST(LadeSPINDTab, WrongStepNumberIs3113) {
    Loaded l = Load(Table(128, 0, "1 100"));
    EXPECT_EQ(3113, l.result);
    EXPECT_FLOAT_EQ(100.0f, l.table[0]);
}

TEST(LadeSPINDTab, MissingFileIs3110) {
    TempDir dir;
    float table[128];
    EXPECT_EQ(3110, LadeSPINDTab((dir.path() + "/x.ini").c_str(), table));
    EXPECT_EQ(3110, LadeSPINDTab((dir.path() + "/nowhere/x.ini").c_str(), table));
}

TEST(LoescheSatzweise, ClearsTheFlagOnlyForTypesWithoutBlockDisplay) {
    for (int type = -1; type <= 31; ++type) {
        int16_t flag = 7;
        EXPECT_EQ(0, LoescheSatzweise(type, &flag));
        bool cleared =
            type == 1 || type == 4 || type == 9 || type == 22 || type == 25 || type == 30;
        EXPECT_EQ(cleared ? 0 : 7, flag) << type;
    }
}

}  // namespace
}  // namespace korvat::test
