// Tool life accounting over a job's tool sequence.
#include <gtest/gtest.h>

#include "supervision/standzeit.h"

namespace {

TEST(Standzeit, AddingPathAndTheLimit) {
    CSTANDZEIT s;
    EXPECT_EQ(s.Grenze, 100000.0f);
    short werkzeuge[10] = {5, 7, 0};
    s.Laden(2, werkzeuge, 100.0f);
    EXPECT_EQ(s.Geladen, 85);
    EXPECT_EQ(s.Aufaddieren(0.0f), 0);
    EXPECT_EQ(s.Aufaddieren(-5.0f), 0);
    EXPECT_EQ(s.Weg[0], 0.0f);
    EXPECT_EQ(s.Aufaddieren(60.0f), 0);
    EXPECT_EQ(s.Aufaddieren(40.0f), 0);  // exactly the limit: not worn
    EXPECT_EQ(s.Abgenutzt[0], 0);
    EXPECT_EQ(s.Aufaddieren(0.5f), 1);
    EXPECT_EQ(s.Abgenutzt[0], 85);
    EXPECT_EQ(s.Aufaddieren(0.5f), 1);  // stays worn
    EXPECT_EQ(s.Aufaddieren(0.0f), 0);
}

TEST(Standzeit, SteppingThroughTheToolsStopsAtAnEmptySlotAndAtSlotTen) {
    CSTANDZEIT s;
    short werkzeuge[10] = {5, 7, 0};
    s.Laden(2, werkzeuge, 100.0f);
    EXPECT_EQ(s.NaechstesWerkzeug(), 5);
    EXPECT_EQ(s.NaechstesWerkzeug(), 7);
    EXPECT_EQ(s.NaechstesWerkzeug(), -1);
    EXPECT_EQ(s.Aktuell, 2);
    EXPECT_EQ(s.NaechstesWerkzeug(), -1);

    short zehn[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    s.Laden(12, zehn, 100.0f);
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(s.NaechstesWerkzeug(), i);
    EXPECT_EQ(s.NaechstesWerkzeug(), -1);
    EXPECT_EQ(s.Aktuell, 10);
}

TEST(Standzeit, PathOfAToolUsedTwiceIsItsLatestSlotNotAfterTheCurrentOne) {
    CSTANDZEIT s;
    short werkzeuge[10] = {3, 4, 3, 0};
    s.Laden(3, werkzeuge, 1000.0f);
    s.Aufaddieren(1.0f);                     // slot 0, before the first change
    EXPECT_EQ(s.GebeAktuellenWeg(3), 1.0f);  // slot 0's word is the count, 3
    EXPECT_EQ(s.GebeAktuellenWeg(4), 0.0f);
    s.NaechstesWerkzeug();
    s.Aufaddieren(10.0f);
    s.NaechstesWerkzeug();
    s.Aufaddieren(20.0f);
    EXPECT_EQ(s.GebeAktuellenWeg(3), 10.0f);  // slot 3 lies after the current slot 2
    s.NaechstesWerkzeug();
    s.Aufaddieren(30.0f);
    EXPECT_EQ(s.GebeAktuellenWeg(3), 30.0f);
    EXPECT_EQ(s.GebeAktuellenWeg(4), 20.0f);
    EXPECT_EQ(s.GebeAktuellenWeg(9), 0.0f);

    CSTANDZEIT kopie;
    kopie = s;
    EXPECT_EQ(kopie.GebeAktuellenWeg(3), 30.0f);
    s.Init();
    EXPECT_EQ(s.Geladen, 0);
    EXPECT_EQ(s.GebeAktuellenWeg(0), 0.0f);
    EXPECT_EQ(s.Aktuell, 0);
}

}  // namespace
