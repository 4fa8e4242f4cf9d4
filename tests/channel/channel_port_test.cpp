// The channel against a machine played on a pseudo-terminal: what arrives, what comes back, and
// what happens when the machine stalls, stays silent or the operator presses Escape.
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include <atomic>
#include <chrono>
#include <thread>

#include "channel/line_common.h"
#include "channel_fixture.h"
#include "platform/events.h"

namespace korvat::test {
namespace {

class ChannelPort : public ChannelTest {
  protected:
    void SetUp() override {
        ChannelTest::SetUp();
        peer.ExportAs("KORVAT_COM3");
    }
    PtyPeer peer;
};

// Bytes that do not repeat with a short period, so a lost or doubled piece shows.
std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('0' + (i * 7 + i / 75) % 75);
    return s;
}

TEST_F(ChannelPort, BlockWritesArriveWholeAndInOrder) {
    ASSERT_EQ(OpenPort(0), 0);
    EXPECT_EQ(openedBefore, 1);
    EXPECT_EQ(cx268io.PortOffen, 1);
    EXPECT_EQ(cx268io.poutstrln("G1 X10.000 Y20.000"), 0);
    EXPECT_EQ(cx268io.poutstr(""), 0);  // nothing to send, and nothing failed
    EXPECT_EQ(cx268io.poutchar('M'), 0);
    EXPECT_EQ(cx268io.poutstr("30"), 0);
    EXPECT_EQ(cx268io.poutcrlf(), 0);
    std::string expected = "G1 X10.000 Y20.000\r\nM30\r\n";
    EXPECT_TRUE(SameBytes(expected, peer.Receive(expected.size() + 1, 500)));
    EXPECT_TRUE(dialogs.boxes().empty());
}

// Opens the machine's reading again when the operator is asked, as a machine that was busy.
class ResumeOnQuestion : public ScriptedDialogs {
  public:
    explicit ResumeOnQuestion(PtyPeer& p) : peer(p) {}
    int MessageBox(HWND owner, const char* text, const char* caption, unsigned style) override {
        int answer = ScriptedDialogs::MessageBox(owner, text, caption, style);
        if (answer == IDYES) peer.StartReading();
        return answer;
    }
    PtyPeer& peer;
};

TEST_F(ChannelPort, StalledMachineAsks1019AndResumesWithoutLosingOrDoublingBytes) {
    ResumeOnQuestion questions(peer);
    ASSERT_EQ(OpenPort(0), 0);
    // More than the pseudo-terminal holds: the write times out while nobody reads.
    std::string block = Pattern(60000);
    EXPECT_EQ(cx268io.poutstr(block.c_str()), 0);
    ASSERT_GE(questions.boxes().size(), 1u);
    for (const auto& box : questions.boxes()) {
        EXPECT_EQ(box.caption, "Fehlernummer 1019");
        EXPECT_EQ(box.text, std::string(kText7019) + "\n" + kText7040);
        EXPECT_EQ(box.style, static_cast<unsigned>(MB_YESNO | MB_ICONSTOP));
    }
    EXPECT_TRUE(SameBytes(block, peer.WaitCollected(block.size() + 1, 2000)));
    EXPECT_EQ(cx268io.Fehlerflag, 0);
    EXPECT_EQ(cx268io.Fehlernummer, 0);
}

TEST_F(ChannelPort, DecliningTheWriteQuestionStopsTheChannel) {
    dialogs.Answer(IDNO);
    ASSERT_EQ(OpenPort(0), 0);
    std::string block = Pattern(60000);
    EXPECT_EQ(cx268io.poutstr(block.c_str()), 1);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(cx268io.Fehlerflag, 1);
    EXPECT_EQ(cx268io.Abgelehnt, 1);
    EXPECT_EQ(cx268io.Fehlernummer, 1019);
    // Stopped: later output goes nowhere, reads give 1.
    EXPECT_EQ(cx268io.poutstr("X"), 1);
    char out[100];
    EXPECT_EQ(cx268io.pinstr(out), 1);
    // pclose(2, ...) clears the status part and the record.
    cx268io.pclose(2, 1);
    EXPECT_EQ(cx268io.Fehlerflag, 0);
    EXPECT_EQ(cx268io.Abgelehnt, 0);
    EXPECT_EQ(cx268io.Fehlernummer, 0);
    EXPECT_EQ(cx268io.PortOffen, 0);
}

TEST_F(ChannelPort, ModeOneAnswersEndAtLineFeed) {
    ASSERT_EQ(OpenPort(1), 0);
    char out[100];
    peer.Send("OK\r\nrest");
    EXPECT_EQ(cx268io.pbfrageln("ST", out), 0);
    EXPECT_STREQ(out, "OK");
    EXPECT_TRUE(SameBytes("\x1bST\r\n", peer.Receive(6, 300)));

    peer.Send("12\r\n");
    EXPECT_EQ(cx268io.pbfrage("P", out), 0);
    EXPECT_STREQ(out, "12");
    EXPECT_TRUE(SameBytes("\x1bP", peer.Receive(3, 300)));

    peer.Send("A");
    EXPECT_EQ(cx268io.pinchr(out), 1);
    EXPECT_EQ(out[0], 'A');
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(ChannelPort, AnswerOfMoreThan98CharactersIsCutAt99WithCode1017) {
    ASSERT_EQ(OpenPort(1), 0);
    std::string answer = Pattern(120);
    peer.Send(answer + "\r\n");
    char out[100];
    EXPECT_EQ(cx268io.pinstr(out), 5);
    EXPECT_EQ(std::string(out), answer.substr(0, 99));
    EXPECT_EQ(cx268io.Fehlernummer, 1017);
    EXPECT_EQ(cx268io.Fehlerflag, 1);
    EXPECT_STREQ(cx268io.Fehlertext1, "");
}

TEST_F(ChannelPort, ModeThreeEndsAtBangOnlyAfterMoreThanEightCharacters) {
    ASSERT_EQ(OpenPort(3), 0);
    cx268io.SetzeTimeout(1, 1000);  // a broken end rule gives 6 instead of hanging
    char out[100];
    peer.Send("123456789!");
    EXPECT_EQ(cx268io.pinstr(out), 0);
    EXPECT_STREQ(out, "123456789");

    // Eight characters and "!" go on; the line feed drops itself and the rest of its read.
    peer.Send("12345678!9!");
    EXPECT_EQ(cx268io.pinstr(out), 0);
    EXPECT_STREQ(out, "123456789");

    peer.Send("12\r\n34");
    std::thread later([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        peer.Send("5678901!");
    });
    EXPECT_EQ(cx268io.pinstr(out), 0);
    later.join();
    EXPECT_STREQ(out, "125678901");  // "34" came in the read of the line feed
}

TEST_F(ChannelPort, EtxAndEotInModeOneSetTheFlagsTheyName) {
    char out[100];
    ASSERT_EQ(OpenPort(1), 0);
    peer.Send("A\x03");
    EXPECT_EQ(cx268io.pinstr(out), 3);
    EXPECT_EQ(cx268io.Abgelehnt, 1);
    EXPECT_EQ(cx268io.Stoppanforderung, 0);
    EXPECT_EQ(cx268io.Fehlerflag, 1);

    cx268io.pclose(2, 1);
    openedBefore = 0;
    ASSERT_EQ(OpenPort(1), 0);
    peer.Send("\x04");
    EXPECT_EQ(cx268io.pinchr(out), 4);
    EXPECT_EQ(cx268io.Stoppanforderung, 1);
    EXPECT_EQ(cx268io.Abgelehnt, 0);
    EXPECT_EQ(cx268io.Fehlerflag, 1);

    cx268io.pclose(2, 1);
    openedBefore = 0;
    ASSERT_EQ(OpenPort(1), 0);
    peer.Send("\x04xy\x03");
    EXPECT_EQ(cx268io.pinstr(out), 4);
    EXPECT_EQ(cx268io.Stoppanforderung, 1);
    EXPECT_EQ(cx268io.Abgelehnt, 1);
}

TEST_F(ChannelPort, OtherModesDropEtxWithTheRestOfItsRead) {
    ASSERT_EQ(OpenPort(2), 0);
    cx268io.SetzeTimeout(1, 400);
    char out[100];
    peer.Send(
        "AB\x03"
        "CD");
    EXPECT_EQ(cx268io.pinstr(out), 6);  // nothing ends an answer here but the time
    EXPECT_STREQ(out, "AB");
    EXPECT_EQ(cx268io.Fehlerflag, 0);
    EXPECT_EQ(cx268io.Abgelehnt, 0);
}

TEST_F(ChannelPort, SilentMachineUnderSetzeTimeoutGivesSixAfterAboutASecondWithoutAsking) {
    ASSERT_EQ(OpenPort(1), 0);
    EXPECT_EQ(cx268io.SetzeTimeout(50, 1000), 1);
    char out[100];
    long long start = StartMs();
    EXPECT_EQ(cx268io.pinstr(out), 6);
    long long took = ElapsedMs(start);
    EXPECT_GE(took, 900);
    EXPECT_LT(took, 4000);
    EXPECT_TRUE(dialogs.boxes().empty());
    EXPECT_EQ(cx268io.Fehlerflag, 0);
    EXPECT_EQ(cx268io.SetzeTimeout(0, 0), 1);
    EXPECT_EQ(cx268io.Lesezeit, 5500);
    EXPECT_EQ(cx268io.Schreibzeit, 3000);
}

TEST_F(ChannelPort, SilentMachineAsks1018UntilDeclined) {
    ASSERT_EQ(OpenPort(1), 0);
    cx268io.Lesezeit = 300;
    dialogs.Answer(IDYES);
    dialogs.Answer(IDNO);
    char out[100];
    long long start = StartMs();
    EXPECT_EQ(cx268io.pinstr(out), 6);
    EXPECT_GE(ElapsedMs(start), 600);  // Yes restarted the time
    ASSERT_EQ(dialogs.boxes().size(), 2u);
    EXPECT_EQ(dialogs.boxes()[1].caption, "Fehlernummer 1018");
    EXPECT_EQ(dialogs.boxes()[1].text, std::string(kText7018) + "\n" + kText7040);
    EXPECT_EQ(cx268io.Fehlerflag, 1);
    EXPECT_EQ(cx268io.Abgelehnt, 1);
    EXPECT_EQ(cx268io.Fehlernummer, 1018);
}

TEST_F(ChannelPort, EscapeStopsAWaitingReadAndTheNextWrite) {
    ASSERT_EQ(OpenPort(0), 0);  // mode 0: no time-out, only an answer or Escape ends a read
    std::thread operatorHand([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        platform::PostEvent({platform::Event::KeyDown, VK_ESCAPE, nullptr});
    });
    char out[100];
    long long start = StartMs();
    EXPECT_EQ(cx268io.pinstr(out), 1);
    operatorHand.join();
    EXPECT_LT(ElapsedMs(start), 5000);
    EXPECT_EQ(cx268io.Tastenabbruch, 1);
    EXPECT_EQ(cx268io.Fehlerflag, 1);
    EXPECT_EQ(cx268io.LetzteTaste, VK_ESCAPE);

    cx268io.pclose(2, 1);
    openedBefore = 0;
    ASSERT_EQ(OpenPort(0), 0);
    // The text in hand when Escape is seen still goes out whole; the next one does not.
    platform::PostEvent({platform::Event::KeyDown, VK_ESCAPE, nullptr});
    EXPECT_EQ(cx268io.poutstrln("G0 X0"), 0);
    EXPECT_EQ(cx268io.Tastenabbruch, 1);
    EXPECT_EQ(cx268io.poutstrln("G0 X1"), 1);
    EXPECT_TRUE(SameBytes("G0 X0\r\n", peer.Receive(20, 300)));
}

TEST_F(ChannelPort, SerialPortIsSetFromTheSettings) {
    char text[64];
    ASSERT_TRUE(channel::Leitungsbeschreibung(text, sizeof text, 9600, 2, 8, 1));
    EXPECT_STREQ(text, "baud=9600 parity=e data=8 stop=2");
    ASSERT_TRUE(channel::Leitungsbeschreibung(text, sizeof text, 19200, 1, 7, 0));
    EXPECT_STREQ(text, "baud=19200 parity=o data=7 stop=1");

    ASSERT_EQ(OpenPort(0), 0);
    termios t;
    ASSERT_EQ(tcgetattr(peer.Slave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    // A pseudo-terminal always reports 8 bits without parity, so parity is not seen here.
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);  // handshake 0
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));
}

TEST_F(ChannelPort, DevicesThatCannotBeOpenedNameThemselves) {
    setenv("KORVAT_COM5", "/nonexistent/tty", 1);
    settings = Settings(5);
    EXPECT_EQ(OpenPort(0), 1);
    EXPECT_EQ(openedBefore, 0);
    EXPECT_EQ(cx268io.Fehlerflag, 1);
    EXPECT_STREQ(cx268io.Fehlertext1, "\\\\.\\COM5");
    EXPECT_EQ(cx268io.Fehlernummer, 1001);
    unsetenv("KORVAT_COM5");

    cx268io.pclose(2, 1);
    setenv("KORVAT_LPT2", "/nonexistent/lp", 1);
    settings = Settings(12);
    EXPECT_EQ(OpenPort(0), 1);
    EXPECT_STREQ(cx268io.Fehlertext1, "\\\\.\\LPT2");
    unsetenv("KORVAT_LPT2");

    // The device is held exclusively: a second line on it is refused.
    cx268io.pclose(2, 1);
    settings = Settings(3);
    ASSERT_EQ(OpenPort(0), 0);
    platform::SerialLine second{};
    EXPECT_FALSE(second.Open(peer.SlavePath().c_str()));

    // A device another program holds (and locks) is busy, not missing: 1023 with its path.
    cx268io.pclose(2, 1);
    int other = open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(OpenPort(0), 1);
    EXPECT_EQ(cx268io.Fehlernummer, 1023);
    EXPECT_STREQ(cx268io.Fehlertext1, "\\\\.\\COM3");
    EXPECT_EQ(std::string(cx268io.Fehlertext2), peer.SlavePath());
    EXPECT_EQ(cx268io.Fehlerzahl1, EBUSY);
    close(other);
}

// The machine stops reading and the operator keeps saying Yes to waiting; then it hangs up:
// the channel stops at once with 1022 and the device path instead of asking on for ever.
TEST_F(ChannelPort, AHangUpStopsTheChannelAtOnceWith1022AndThePath) {
    ASSERT_EQ(OpenPort(1), 0);
    auto start = StartMs();
    std::thread machine([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        peer.HangUp();
    });
    std::string block = Pattern(60000);  // more than the pseudo-terminal holds
    EXPECT_EQ(cx268io.poutstr(block.c_str()), 1);
    machine.join();
    EXPECT_LT(ElapsedMs(start), 2500);
    for (const auto& box : dialogs.boxes()) EXPECT_EQ(box.caption, "Fehlernummer 1019");
    EXPECT_EQ(cx268io.Fehlerflag, 1);
    EXPECT_EQ(cx268io.Fehlernummer, 1022);
    EXPECT_EQ(std::string(cx268io.Fehlertext1), peer.SlavePath());
    EXPECT_EQ(cx268io.poutstr("X"), 1);
}

TEST_F(ChannelPort, AHangUpWhileWaitingForAnAnswerEndsTheWait) {
    ASSERT_EQ(OpenPort(1), 0);
    std::thread machine([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        peer.HangUp();
    });
    auto start = StartMs();
    char out[100];
    EXPECT_EQ(cx268io.pbfrage("OS", out), 1);
    machine.join();
    EXPECT_LT(ElapsedMs(start), 4000);  // the answer may take 5.5 s before the question
    EXPECT_TRUE(dialogs.boxes().empty());
    EXPECT_EQ(cx268io.Fehlernummer, 1022);
    EXPECT_EQ(std::string(cx268io.Fehlertext1), peer.SlavePath());
}

TEST_F(ChannelPort, ParallelPortWritesByteByByteWithLptModus) {
    PtyPeer printer;
    printer.ExportAs("KORVAT_LPT2");
    settings = Settings(12);
    settings.LptModus = 3;  // byte by byte, 1 ms after each byte
    ASSERT_EQ(OpenPort(0), 0);
    EXPECT_EQ(cx268io.SeriellerPort, 0);
    EXPECT_EQ(cx268io.poutstrln("PU;PA100,200;"), 0);
    EXPECT_TRUE(SameBytes("PU;PA100,200;\r\n", printer.Receive(20, 500)));
}

TEST_F(ChannelPort, LineFaultsBecomeCodesAndQuestions) {
    ASSERT_EQ(OpenPort(1), 0);
    dialogs.Answer(IDNO);
    cx268io.anacommerror(0x9);  // framing and overflow: framing wins
    EXPECT_EQ(cx268io.Fehlernummer, 1011);
    EXPECT_EQ(cx268io.Fehlerflag, 1);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].caption, "Fehlernummer 1011");
    EXPECT_EQ(dialogs.boxes()[0].text, std::string(kText7018) + "\n" + kText7040);

    struct Case {
        unsigned long bits;
        int geraeteart;
        int code;
        bool asks;
    } cases[] = {{0x2, 1, 1013, true}, {0x1, 1, 1014, true},   {0x1, 3, 1016, false},
                 {0x4, 1, 1015, true}, {0x10, 1, 1016, false}, {0x6, 3, 1013, true}};
    for (const Case& c : cases) {
        cx268io.pclose(2, 1);
        cx268io.Geraeteart = c.geraeteart;
        size_t before = dialogs.boxes().size();
        dialogs.Answer(IDYES);
        cx268io.anacommerror(c.bits);
        bool asked = dialogs.boxes().size() > before;
        EXPECT_EQ(asked, c.asks) << "bits " << c.bits;
        // Yes clears the code and goes on; a fault without a question stops the channel.
        EXPECT_EQ(cx268io.Fehlernummer, c.asks ? 0 : c.code) << "bits " << c.bits;
        EXPECT_EQ(cx268io.Fehlerflag, c.asks ? 0 : 1) << "bits " << c.bits;
        if (asked) {
            char caption[32];
            std::snprintf(caption, sizeof caption, "Fehlernummer %4d", c.code);
            EXPECT_EQ(dialogs.boxes().back().caption, caption);
        }
    }
    cx268io.pclose(2, 1);
    cx268io.anacommerror(0);
    EXPECT_EQ(cx268io.Fehlerflag, 0);
}

}  // namespace
}  // namespace korvat::test
