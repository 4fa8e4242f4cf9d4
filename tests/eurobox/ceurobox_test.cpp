// CEUROBOX: whole statement streams against hand-written golden files (one statement group a
// line there; the driver sends them back to back), the operator's boxes, the held-back plunge,
// the depth threshold, the feed ranges and centring.
#include <cstring>

#include "hpgla/online_fixture.h"
#include "online/eurobox/ceurobox.h"

namespace korvat::test::online {
namespace {

// A golden file of statement groups, one a line, as the driver sends them: without line ends.
std::string Statements(const std::string& name) {
    std::string s = Golden(name), out;
    for (char c : s)
        if (c != '\n') out += c;
    return out;
}

class EuroboxTest : public OnlineTest {
  protected:
    void SetUp() override {
        OnlineTest::SetUp();
        m = settings;
        m.EuroboxTAus = 0;
        m.EuroboxV2 = 7;
        m.EuroboxW2 = 4;
        m.EuroboxW1 = 3;
        m.EuroboxT2 = 5;
        m.EuroboxZ2 = 8;
        m.EuroboxMitteX = 150;
        m.EuroboxMitteY = 80;
        m.EuroboxA2 = 0.5f;
        m.EuroboxO1 = 1.0f;
        m.EuroboxO2 = 2.0f;
    }
    // Opened on the output file, a 200 x 100 mm drawing, flight height 2 (second height 3),
    // feeds 1.0 and 0.5 mm/s, depth 0.5 mm.
    void Open(CEUROBOX& d, short zentriert = 0) {
        InitStruct u{};
        u.Weitere[3] = 4.5f;  // the Z limit
        d.Init(&u, 0);
        ASSERT_EQ(0, d.Open(0, &m, base.c_str(), &opened, 0, profile.c_str()));
        d.SetzePosInfos(200, 100, 0, 0, 0, 0, &m, zentriert);
        d.SetzeFlughAbsolut(2, 3);
        d.SetzeVorschuebe(1.0f, 0.5f);
        d.SetzeGTiefe(-0.5f);
    }
    MaschEinstellung m{};
};

TEST_F(EuroboxTest, FirstMoveSendsEveryParameterAndPlungesAreHeldBack) {
    CEUROBOX d;
    Open(d);
    d.Move3(10, 20, 5);      // every parameter statement, then U (Y mirrored about 100)
    d.Draw3(10, 20, -0.5f);  // a plunge: held back
    d.Draw(20, 20);          // lifted to the plunge point (already there: nothing), then D
    d.Draw(20, 30);          // only its D
    d.SetzeGTiefe(-0.504f);  // 0.004 from the depth sent: nothing
    d.Draw(10, 30);
    d.SetzeGTiefe(-0.506f);  // 0.006: the next move lifts, sends Z and goes on
    d.Draw(10, 20);
    d.Move3(30, 20, 5);
    d.Draw3(40, 20, -0.5f);  // held back, then followed by Move3: D there, U to the new point
    d.Move3(50, 20, 5);
    d.Draw3(60, 20, -0.5f);  // held back, then followed by Draw: U there, then D
    d.Draw(70, 20);
    d.Draw3(80, 20, -0.5f);  // while the tool is down: cuts along
    d.Ende(0);
    EXPECT_EQ(0, d.Close(1, 1));
    EXPECT_TRUE(SameBytes(Statements("moves.txt"), ReadFile(dir.File("job.txt"))));
    EXPECT_EQ(0, cx268io.Fehlerflag);
}

TEST_F(EuroboxTest, StopsAskTheOperatorAndSendTheSettingsAgain) {
    ScriptedDialogs dialogs;
    CEUROBOX d;
    d.SetzeSpezial(reinterpret_cast<HWND>(0x1234));
    Open(d);
    d.Stop(2);  // the first Stop after Open: only the box
    d.Draw3(10, 20, -0.5f);
    d.Stop(5);  // the settings go out again before the next move
    d.Draw(20, 20);
    d.WkzW(0, 7, 0, 1.5f);
    d.Stop(4);  // no box
    d.Stop(3);
    EXPECT_TRUE(SameBytes(Statements("stops.txt"), Output()));
    ASSERT_EQ(4u, dialogs.boxes().size());
    const char* texts[] = {
        "Neues Werkst\xfc"
        "ck aufspannen\t(Einzelwerkst\xfc"
        "ck)",
        "Neues Material\taufspannen", "Werkzeug einspannen\nNummer: 7\nRadius:1.500",
        "Neue\tPlatte aufspannen\t(Mehrfachwerkst\xfc"
        "ck)"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ("message", dialogs.boxes()[i].kind);
        EXPECT_EQ(texts[i], dialogs.boxes()[i].text);
        EXPECT_EQ("", dialogs.boxes()[i].caption);
        EXPECT_EQ(static_cast<unsigned>(MB_OK), dialogs.boxes()[i].style);
    }
}

TEST_F(EuroboxTest, FeedValuesAreLimitedAndTheZFeedTakesItsRange) {
    CEUROBOX d;
    Open(d);
    d.SetzeVorschuebe(0.001f, 0.940235f);  // XY 0.13: 1; Z 300 in the usual range: range 1, 60
    d.Draw(10, 20);
    d.SetzeVorschuebe(2.3f, 0.0094023529f);  // XY 309: 255; Z 3: range 100, 60
    d.Draw(20, 20);
    d.SetzeVorschuebe(1.0f, 0.031341176f);  // Z 10: range 40, 80
    d.Draw(30, 20);
    EXPECT_TRUE(SameBytes(Statements("feeds.txt"), Output()));
}

TEST_F(EuroboxTest, CentringExchangedAxesAndMultiplePlates) {
    CEUROBOX d;
    Open(d, 1);  // centred on (150, 80): offsets 50, 30
    d.Move3(10, 20, 5);
    d.SetzePosInfos(200, 100, 40, 60, 1, 0, &m, 1);  // exchanged: 100 x 200, offsets 100, -20
    d.Move3(10, 20, 5);
    d.SetzePosInfos(200, 100, 40, 60, 1, 1, &m, 1);  // multiple plate 40 x 60: offsets 130, 50
    d.Move3(10, 20, 5);
    d.Move_abs(10, 10);  // machine millimetres: no mirror, origin or offset
    EXPECT_TRUE(SameBytes(Statements("centred.txt"), Output()));
}

TEST_F(EuroboxTest, PositioningLinesAndFixedAnswers) {
    CEUROBOX d;
    Open(d);
    d.BPosit_X(10);
    d.BPosit_Y(20);
    d.BPosit_Z(1);
    d.BPosit_XY(10, 20);
    EXPECT_EQ(0, d.SetzXY(10, 20));
    EXPECT_EQ(0, d.BPuffClear());
    EXPECT_EQ(0, d.SendeBefehl("Q;"));
    d.SStringln("R1,2;");
    EXPECT_TRUE(
        SameBytes(";;XA\t633;\r\n;;YA\t1266;\r\n;;ZA 30;\r\n;;PA 633,1266;\r\n"
                  ";;CX 633; CY\t1266;\r\n*;CB;RS;\r\nQ;\r\nR1,2;",
                  Output().substr(3)));
    EXPECT_EQ(4.5f, d.ZBegrenz(5));
    EXPECT_EQ(-1.0f, d.ZBegrenz(-1));
    BSTINFO b;
    std::memset(&b, 0x55, sizeof b);
    d.FBStInfo(&b);
    const uint8_t bytes[6] = {6, 0, 1, 1, 2, 10};
    EXPECT_EQ(0, std::memcmp(bytes, b.Klein, 6));
    EXPECT_STREQ("", b.Achsbuchstaben);
    EXPECT_EQ(10, b.Bereich2Bis);
    EXPECT_EQ(50000, d.FRestBuffer());
}

}  // namespace
}  // namespace korvat::test::online
