// The helpers every program writer shares.
#include <cstring>
#include <limits>

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

    char number[24];
    EXPECT_TRUE(FormatiereZahl(number, sizeof number, "%1.3lf", -0.0001));
    EXPECT_STREQ(number, "0.000");
    FormatiereZahl(number, sizeof number, "%1.3lf", -0.0006);
    EXPECT_STREQ(number, "-0.001");
    FormatiereZahl(number, sizeof number, "%1.0lf", -0.2);
    EXPECT_STREQ(number, "0");
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
