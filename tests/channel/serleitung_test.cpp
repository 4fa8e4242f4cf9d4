// The digitizers' serial line against a tablet played on a pseudo-terminal, and the keyboard
// poll of both lines over the event queue.
#include <termios.h>

#include <vector>

#include "channel_fixture.h"
#include "platform/events.h"

namespace korvat::test {
namespace {

class SerialLineTest : public ChannelTest {
  protected:
    void SetUp() override {
        ChannelTest::SetUp();
        peer.ExportAs("KORVAT_COM4");
    }
    short Open(short port, short mode = 0) {
        short before = 0;
        short r = serleitung.popen(port, &before, mode);
        EXPECT_EQ(before, r == 0 ? 1 : 0);
        return r;
    }
    PtyPeer peer;
};

TEST_F(SerialLineTest, PortZeroOpensNothing) {
    EXPECT_EQ(Open(0), 0);
    EXPECT_EQ(serleitung.PortOffen, 0);
    char out[100];
    EXPECT_EQ(serleitung.pinstr(out, 1), 1);
    EXPECT_EQ(serleitung.pinchr_sofort(out), 0);
    EXPECT_EQ(serleitung.poutstr("x"), 1);
}

TEST_F(SerialLineTest, OpensAtFixed9600NoParity8Data2Stop) {
    ASSERT_EQ(Open(4), 0);
    EXPECT_EQ(serleitung.Schreibzeit, 2000);
    EXPECT_EQ(serleitung.Lesezeit, 5500);
    EXPECT_EQ(serleitung.Antwortmodus, 1);
    termios t;
    ASSERT_EQ(tcgetattr(peer.Slave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);

    EXPECT_EQ(serleitung.poutstr("\x1bM03\r"), 0);
    EXPECT_TRUE(SameBytes("\x1bM03\r", peer.Receive(6, 300)));
}

TEST_F(SerialLineTest, CarriageReturnEndsTheAnswerAndLeavesTheLineFeedForTheNextRead) {
    ASSERT_EQ(Open(4), 0);
    char out[100];
    peer.Send("+12.5:7.25,2\r\n+1:2,0\r\n");
    EXPECT_EQ(serleitung.pinstr(out, 1), 0);
    EXPECT_STREQ(out, "+12.5:7.25,2");
    EXPECT_EQ(serleitung.pinstr(out, 1), 0);  // skips the LF left behind
    EXPECT_STREQ(out, "+1:2,0");
    EXPECT_EQ(serleitung.pinchr_sofort(out), 1);
    EXPECT_EQ(out[0], '\n');
    EXPECT_EQ(serleitung.pinchr_sofort(out), 0);  // nothing waiting: at once, empty

    // With LF ending the answer, CR is skipped; no ETX handling on this line.
    peer.Send(
        "@ 3\x03"
        "5\r\n");
    EXPECT_EQ(serleitung.pinchr_sofort(out), 1);
    EXPECT_EQ(out[0], '@');
    EXPECT_EQ(serleitung.pinstr(out, 0), 0);
    EXPECT_STREQ(out,
                 " 3\x03"
                 "5");
    EXPECT_EQ(serleitung.Fehlerflag, 0);
}

TEST_F(SerialLineTest, SilentTabletAsks1018AndDecliningGivesSix) {
    ASSERT_EQ(Open(4), 0);
    serleitung.Lesezeit = 300;  // 5500 ms in use; the rule is the same
    dialogs.Answer(IDNO);
    char out[100];
    long long start = StartMs();
    EXPECT_EQ(serleitung.pinstr(out, 1), 6);
    EXPECT_GE(ElapsedMs(start), 250);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].caption, "Fehlernummer 1018");
    EXPECT_EQ(dialogs.boxes()[0].text, std::string(kText7018) + "\n" + kText7040);
    EXPECT_EQ(serleitung.Fehlerflag, 1);
    EXPECT_EQ(serleitung.Abgelehnt, 1);
    // A first open clears the stop again.
    serleitung.pclose(1);
    ASSERT_EQ(Open(4), 0);
    EXPECT_EQ(serleitung.Fehlerflag, 0);
    EXPECT_EQ(serleitung.Fehlernummer, 0);
}

TEST_F(SerialLineTest, StalledTabletAsks1019WithoutLookingAtCts) {
    ASSERT_EQ(Open(4), 0);
    dialogs.Answer(IDNO);
    std::string block(60000, 'G');
    EXPECT_EQ(serleitung.poutstr(block.c_str()), 1);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].caption, "Fehlernummer 1019");
    EXPECT_EQ(dialogs.boxes()[0].text, std::string(kText7019) + "\n" + kText7040);
    EXPECT_EQ(serleitung.Abgelehnt, 1);
}

TEST_F(SerialLineTest, MissingDeviceNamesItself) {
    setenv("KORVAT_COM6", "/nonexistent/tty", 1);
    EXPECT_EQ(Open(6), 1);
    EXPECT_EQ(serleitung.Fehlerflag, 1);
    EXPECT_STREQ(serleitung.Fehlertext1, "\\\\.\\COM6");
    unsetenv("KORVAT_COM6");
    serleitung.anacommerror(0x10);
    EXPECT_EQ(serleitung.Fehlernummer, 1016);
}

int paintedWindow;
int paints;
void CountPaint(HWND w) { paints += w == &paintedWindow; }
using Keys = std::vector<int>;

// Posts key-downs (a number) and paint events (0) and one other event (-1).
void Post(const std::vector<int>& events) {
    for (int e : events) {
        if (e > 0) platform::PostEvent({platform::Event::KeyDown, e, nullptr});
        if (e == 0) platform::PostEvent({platform::Event::Paint, 0, &paintedWindow});
        if (e < 0) platform::PostEvent({platform::Event::Other, 0, nullptr});
    }
}

std::vector<int> Remaining() {
    std::vector<int> keys;
    platform::Event e;
    while (platform::TakeEvent(&e)) keys.push_back(e.kind == platform::Event::KeyDown ? e.key : 0);
    return keys;
}

TEST_F(SerialLineTest, KeyboardPollsEndAsEachLineSays) {
    platform::SetPaintHandler(CountPaint);
    paints = 0;

    // Channel: another key ends the poll; the next event is taken and dropped.
    cx268io.TastaturAbfrage = 1;
    Post({-1, VK_ESCAPE, 'A', 'B', 'C'});
    cx268io.tastaturabfrage();
    EXPECT_EQ(cx268io.Tastenabbruch, 1);
    EXPECT_EQ(cx268io.Fehlerflag, 1);
    EXPECT_EQ(cx268io.LetzteTaste, 'A');
    EXPECT_EQ(Remaining(), (Keys{'C'}));

    // A paint event is passed on and ends the poll the same way.
    Post({'A', 0, 'B', 'C'});
    cx268io.tastaturabfrage();
    EXPECT_EQ(paints, 0);  // 'A' ended it before the paint
    EXPECT_EQ(Remaining(), (Keys{'B', 'C'}));

    // Without a key-down in the queue, or with the poll switched off, nothing is taken.
    Post({0, -1});
    cx268io.tastaturabfrage();
    EXPECT_EQ(Remaining().size(), 2u);
    cx268io.TastaturAbfrage = 0;
    Post({'Q'});
    cx268io.tastaturabfrage();
    EXPECT_EQ(Remaining(), (Keys{'Q'}));

    // Serial line: other keys do not end the poll; a paint does.
    Post({'A', 'B', 0, 'X', 'C'});
    serleitung.tastaturabfrage();
    EXPECT_EQ(serleitung.LetzteTaste, 'B');
    EXPECT_EQ(serleitung.Fehlerflag, 0);
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(Remaining(), (Keys{'C'}));
    platform::SetPaintHandler(nullptr);
}

}  // namespace
}  // namespace korvat::test
