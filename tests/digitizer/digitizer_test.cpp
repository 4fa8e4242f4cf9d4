// Both tablet models through CDIGITA, against a tablet played on a pseudo-terminal: what each
// call delivers, and (model 2) every byte the reader sends to the tablet.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "channel/serleitung.h"
#include "digitizer/cdigita.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "support/golden.h"
#include "support/pty.h"

namespace korvat::test {
namespace {

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One call: what the tablet sends first, then what the call delivered as
// "result key x y" (x and y with %g).
struct Schritt {
    std::string senden;
    const char* erwartet;
};

class DigitizerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        serleitung = CSERLEITUNG{};
        platform::ClearEvents();
        peer.ExportAs("KORVAT_COM2");
        ds.Schnittstelle = 2;
    }
    void TearDown() override { tablett.Dummy(); }

    std::string Abfrage() {
        short key = 7;
        RPOINT pt{9.0, 9.0};
        short r = tablett.FrageKoordinate(&key, &pt);
        char text[128];
        std::snprintf(text, sizeof text, "%d %d %g %g", r, key, pt.X, pt.Y);
        return text;
    }
    // Plays the steps; each step's bytes are sent whole before its call.
    void Spiele(const std::vector<Schritt>& schritte) {
        for (size_t i = 0; i < schritte.size(); ++i) {
            if (!schritte[i].senden.empty()) peer.Send(schritte[i].senden);
            EXPECT_EQ(Abfrage(), schritte[i].erwartet) << "step " << i;
        }
    }

    PtyPeer peer;
    ScriptedDialogs dialogs;
    CDIGITA tablett;
    DIGI_STRUCT ds{};
};

TEST_F(DigitizerTest, ModelOneButtonsCoordinateLinesAndNoise) {
    ASSERT_EQ(tablett.Open(1, &ds), 0);
    ASSERT_EQ(serleitung.PortOffen, 1);
    Spiele({
        // "7" is no button: dropped, and the "4" behind it is the key; no point.
        {"74", "0 1504 0 0"},
        {"", "0 -1 0 0"},
        // The two positions after the at sign are skipped, whatever they hold.
        {"@12 34.5 -56\r\n", "1 -1 34.5 -56"},
        {"@0,1e2,.25\r\n", "1 -1 100 0.25"},
        {"0", "0 100 0 0"},
        {"1", "0 1243 0 0"},
        {"2", "0 1245 0 0"},
        {"3", "0 1245 0 0"},
        {"5", "0 1249 0 0"},
        {"6", "0 1248 0 0"},
        // Line ends and other characters in front of a button are dropped.
        {"\r\n9x 8", "0 1241 0 0"},
        // A coordinate line without two numbers delivers nothing.
        {"@00 12.5\r\n", "0 -1 0 0"},
        {"@00 12.5abc 3\r\n", "0 -1 0 0"},
        {"@\r\n", "0 -1 0 0"},
        {"@0\r\n", "0 -1 0 0"},
        // The line after an unusable one reads normally.
        {"@  7 8\r\n", "1 -1 7 8"},
    });
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(DigitizerTest, ModelOneLineCutOffDeliversNoPoint) {
    ASSERT_EQ(tablett.Open(1, &ds), 0);
    serleitung.Lesezeit = 300;  // 5500 ms in use; the rule is the same
    dialogs.Answer(IDNO);
    // "@00 12.5 34" and then silence: "34" may be the start of "345".
    Spiele({{"@00 12.5 34", "0 -1 0 0"}});
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].caption, "Fehlernummer 1018");
    // The operator said no: the line is stopped, later calls deliver nothing.
    Spiele({{"@00 1 2\r\n", "0 -1 0 0"}});
}

TEST_F(DigitizerTest, NothingWaitingReturnsAtOnce) {
    for (short model : {1, 2}) {
        ASSERT_EQ(tablett.Open(model, &ds), 0);
        long long start = NowMs();
        for (int i = 0; i < 5; ++i) EXPECT_EQ(Abfrage(), "0 -1 0 0");
        // Each look at the line waits 10 ms; a reader that waited for a line would take 5.5 s.
        EXPECT_LT(NowMs() - start, 2000) << "model " << model;
        tablett.Close();
    }
    EXPECT_TRUE(dialogs.boxes().empty());
}

// The requests and acknowledgements the model-2 reader sends.
const std::string kStart =
    "\x1bM03\r\x1b"
    "A\r\x1b"
    "A\r\x1b"
    "A\r";
const std::string G =
    "\x1b"
    "G\r";
const std::string A =
    "\x1b"
    "A\r";

TEST_F(DigitizerTest, ModelTwoReportsHeldButtonsAndEveryByteSent) {
    peer.Send("stale");  // dropped by the open, before the start-up bytes
    peer.StartReading();
    ASSERT_EQ(tablett.Open(2, &ds), 0);
    EXPECT_TRUE(SameBytes(kStart, peer.WaitCollected(kStart.size(), 2000)));
    Spiele({
        {"", "0 -1 0 0"},
        {"+12.5:7.25,2\r", "1 1243 12.5 7.25"},
        // Still held: counted once.
        {"+12.5:7.25,2\r", "0 -1 0 0"},
        {"+13:8,2\r", "0 -1 0 0"},
        // Let go: a point with key 101, no acknowledgement; then the same button counts again.
        {"+-1.5:0,0\r", "1 101 -1.5 0"},
        {"+14:9,2\r", "1 1243 14 9"},
        {"+14:9,0\r", "1 101 14 9"},
        // Two buttons at once give nothing, and do not count as a press.
        {"+15:10,3\r", "0 -1 0 0"},
        {"+15:10,1\r", "1 100 15 10"},
        {"+15:10,0\r", "1 101 15 10"},
        {"+16:11,4\r", "1 1504 16 11"},
        {"+16:11,0\r", "1 101 16 11"},
        {"+17:12,8\r", "1 1245 17 12"},
        {"+17:12,0\r", "1 101 17 12"},
        {"+18:13,16\r", "1 1241 18 13"},
        {"+18:13,0\r", "1 101 18 13"},
        // Unusable reports: no colon, no bits, a number that runs into a letter, bits 32, and
        // a line that is not a report; the reader stays in step with the lines.
        {"+19;14,1\r", "0 -1 0 0"},
        {"+19:14\r", "0 -1 0 0"},
        {"+19x:14,1\r", "0 -1 0 0"},
        {"+19:14,32\r", "0 -1 0 0"},
        {"E12:3,1\r", "0 -1 0 0"},
        {"+20:15,1\r", "1 100 20 15"},
    });
    // A request after every call; an acknowledgement before it for every button counted.
    std::string erwartet = kStart;
    for (char c : std::string("G AG G G G AG G G AG G AG G AG G AG G G G G G G AG"))
        erwartet += c == 'G' ? G : c == 'A' ? A : "";
    EXPECT_TRUE(SameBytes(erwartet, peer.WaitCollected(erwartet.size(), 2000)));
    peer.StopReading();
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(DigitizerTest, ModelTwoOpenAndCloseDiscardWhatIsWaiting) {
    ASSERT_EQ(tablett.Open(2, &ds), 0);
    EXPECT_TRUE(SameBytes(kStart, peer.Receive(kStart.size(), 2000)));
    peer.Send("+1:2,1\r");
    for (int i = 0; i < 100 && serleitung.Port.ClearErrors().inQueue == 0; ++i) platform::Sleep(10);
    tablett.Close();
    EXPECT_EQ(serleitung.PortOffen, 0);
    ASSERT_EQ(tablett.Open(2, &ds), 0);
    EXPECT_TRUE(SameBytes(kStart, peer.Receive(kStart.size(), 2000)));
    // The held flag starts clear, and the report sent before the close is gone.
    Spiele({{"", "0 -1 0 0"}, {"+3:4,1\r", "1 100 3 4"}});
}

TEST_F(DigitizerTest, SelectorModelsFlagAndFailedPort) {
    // Model 3: nothing opens, nothing is delivered (the point is left as it was).
    EXPECT_EQ(tablett.Open(3, &ds), 0);
    EXPECT_EQ(serleitung.PortOffen, 0);
    EXPECT_EQ(digiOffen, 0);
    EXPECT_EQ(Abfrage(), "0 -1 9 9");
    EXPECT_EQ(tablett.Close(), 0);

    // A port that cannot be opened: Open still returns 0 and sets the flag; the line is
    // stopped with the device name in its record, and every call delivers nothing.
    setenv("KORVAT_COM5", "/nonexistent/tablet", 1);
    ds.Schnittstelle = 5;
    for (short model : {1, 2}) {
        EXPECT_EQ(tablett.Open(model, &ds), 0);
        EXPECT_EQ(digiOffen, 1);
        EXPECT_EQ(serleitung.Fehlerflag, 1);
        EXPECT_STREQ(serleitung.Fehlertext1, "\\\\.\\COM5");
        EXPECT_EQ(Abfrage(), "0 -1 0 0");
        EXPECT_EQ(tablett.Dummy(), 0);
        EXPECT_EQ(digiOffen, 0);
    }
    unsetenv("KORVAT_COM5");

    // The flag belongs to the library: a new selector clears it; a copy takes the model only.
    ds.Schnittstelle = 2;
    ASSERT_EQ(tablett.Open(1, &ds), 0);
    CDIGITA andere;
    EXPECT_EQ(digiOffen, 0);
    andere = tablett;
    EXPECT_EQ(andere.Modell, 1);
    // With the flag clear, Close leaves the line open.
    EXPECT_EQ(andere.Close(), 0);
    EXPECT_EQ(serleitung.PortOffen, 1);
    digiOffen = 1;
    EXPECT_EQ(andere.Close(), 0);
    EXPECT_EQ(serleitung.PortOffen, 0);
}

}  // namespace
}  // namespace korvat::test
