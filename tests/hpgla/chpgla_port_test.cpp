// CHPGLA against a controller played on a pseudo-terminal: position replies, the silent check,
// single-step acknowledgements, a single command, an abort while waiting and a missing start-up
// file.
#include <chrono>
#include <thread>

#include "hpgla/online_fixture.h"
#include "online/hpgla/chpgla.h"
#include "support/pty.h"

namespace korvat::test::online {
namespace {

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class ChpglaPort : public OnlineTest {
  protected:
    void SetUp() override {
        OnlineTest::SetUp();
        peer.ExportAs("KORVAT_COM4");
        settings.Schnittstelle = 4;
        settings.Baudrate = 9600;
        settings.Datenbits = 8;
        settings.Handshake = 1;  // Xon/Xoff: a pseudo-terminal has no CTS to wait for
    }
    void TearDown() override {
        if (machine.joinable()) machine.join();
        OnlineTest::TearDown();
    }
    // Opens on the port in channel mode 1 (answers end at the line feed) and takes away what
    // the open sent.
    void Open(CHPGLA& d) {
        InitStruct u{};
        d.Init(&u, 0);
        ASSERT_EQ(0, d.Open(1, &settings, nullptr, &opened, 1, profile.c_str(), 0));
        const std::string head = ";IN;\r\nSP1;\r\nPT0;\r\n";
        ASSERT_EQ(head, peer.Receive(head.size(), 2000));
    }
    // The controller answers `reply` once it has read the position query.
    void AnswerQuery(const std::string& reply) {
        machine = std::thread([this, reply] {
            query = peer.Receive(7, 3000);
            peer.Send(reply);
        });
    }

    PtyPeer peer;
    std::thread machine;
    std::string query;
};

TEST_F(ChpglaPort, LeseIstReadsThreeHexadecimalStepCounts) {
    CHPGLA d;
    Open(d);
    peer.Send("!!!");  // old acknowledgements: discarded before the query
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    AnswerQuery("1F4,FFFFFC18,-3E8,31,30,31,30,30,31\r\n");
    FLAGPOS pos{};
    EXPECT_EQ(3, d.LeseIst(0, &pos));
    machine.join();
    EXPECT_EQ("EF%;OD;", query);
    EXPECT_FLOAT_EQ(0.5f, pos.Pos[0]);
    EXPECT_FLOAT_EQ(-1.0f, pos.Pos[1]);
    EXPECT_FLOAT_EQ(-1.0f, pos.Pos[2]);
    EXPECT_EQ(1, pos.Gueltig[0]);
    EXPECT_EQ(1, pos.Gueltig[1]);
    EXPECT_EQ(1, pos.Gueltig[2]);
    EXPECT_EQ(0, pos.Gueltig[3]);
    // The six values after the coordinates: '1' '0' '1' '0' '0' '1' as hexadecimal 31/30.
    EXPECT_EQ(0x4000 + 0x1000 + 0x200, d.LeseTamelWert());
}

TEST_F(ChpglaPort, AnUnparsableReplyGivesNoValuesAndClearsTheFlags) {
    CHPGLA d;
    Open(d);
    AnswerQuery("1F4,XY,12\r\n");
    FLAGPOS pos{};
    for (auto& g : pos.Gueltig) g = 1;
    EXPECT_EQ(0, d.LeseIst(0, &pos));
    machine.join();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(0, pos.Gueltig[i]) << i;
    EXPECT_EQ(1, pos.Gueltig[4]);  // beyond the first four: left alone
    EXPECT_EQ(-1, d.LeseTamelWert());
    EXPECT_EQ(0, cx268io.Fehlerflag);
}

TEST_F(ChpglaPort, CheckAgainstASilentControllerFailsAfterASecondWithoutAQuestion) {
    ScriptedDialogs dialogs;
    CHPGLA d;
    Open(d);
    long long start = NowMs();
    EXPECT_EQ(1, d.LeseIst_Check());
    long long took = NowMs() - start;
    EXPECT_GE(took, 900);
    EXPECT_LT(took, 4000);
    EXPECT_TRUE(dialogs.boxes().empty());
    EXPECT_EQ(0, cx268io.Fehlerflag);
    EXPECT_EQ(5500, cx268io.Lesezeit);  // the normal time-outs again
    EXPECT_EQ(3000, cx268io.Schreibzeit);
    EXPECT_EQ("EF%;OD;", peer.Receive(7, 500));
    // A controller that answers passes.
    AnswerQuery("0,0,0\r\n");
    EXPECT_EQ(0, d.LeseIst_Check());
}

TEST_F(ChpglaPort, WarteFertigTakesTheLastAcknowledgement) {
    struct Case {
        const char* answers;
        int result;
    } cases[] = {{"!F", 2}, {"F!", 0}, {"x!?!", 0}};
    CHPGLA d;
    Open(d);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers);
        d.SetzeSchrittweise();
        d.Draw(1, 0);
        d.Draw(2, 0);
        peer.Receive(24, 1000);
        peer.Send(c.answers);
        EXPECT_EQ(c.result, d.WarteFertig());
        EXPECT_EQ(0, d.Ausstehend);
        EXPECT_EQ(1, d.WarteFertig());  // nothing outstanding: at once
    }
}

TEST_F(ChpglaPort, WarteFertigWaitsThroughReadTimeOuts) {
    CHPGLA d;
    Open(d);
    d.SetzeSchrittweise();
    d.Draw(1, 0);
    cx268io.SetzeTimeout(50, 200);  // reads end silently after 200 ms, and are passed over
    machine = std::thread([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        peer.Send("!");
    });
    long long start = NowMs();
    EXPECT_EQ(0, d.WarteFertig());
    EXPECT_GE(NowMs() - start, 600);
}

TEST_F(ChpglaPort, AnAbortWhileWaitingIsSeenAtOnce) {
    CHPGLA d;
    Open(d);
    d.SetzeSchrittweise();
    d.Draw(1, 0);
    platform::PostEvent({platform::Event::KeyDown, VK_ESCAPE, nullptr});
    long long start = NowMs();
    EXPECT_EQ(1, d.WarteFertig());
    EXPECT_LT(NowMs() - start, 1000);
    EXPECT_EQ(1, cx268io.Tastenabbruch);
    EXPECT_EQ(0, d.Ausstehend);
}

TEST_F(ChpglaPort, SendeBefehlReadsOneCharacter) {
    CHPGLA d;
    Open(d);
    machine = std::thread([this] {
        query = peer.Receive(6, 2000);
        peer.Send("!");
    });
    EXPECT_EQ(0, d.SendeBefehl("SE;"));
    machine.join();
    EXPECT_EQ("SE;\r\n", query.substr(0, 5));
    machine = std::thread([this] {
        peer.Receive(5, 2000);
        peer.Send("?");
    });
    EXPECT_EQ(1, d.SendeBefehl("XX;"));
}

TEST_F(ChpglaPort, MissingStartUpFileSendsNothingButTheSemicolon) {
    std::remove(dir.File("INITSV.DAT").c_str());
    CHPGLA d;
    InitStruct u{};
    d.Init(&u, 0);
    EXPECT_EQ(-1, d.Open(1, &settings, nullptr, &opened, 1, profile.c_str(), 0));
    EXPECT_EQ(1035, cx268io.Fehlernummer);
    d.Draw(1, 1);
    EXPECT_EQ(";", peer.Receive(100, 300));
}

}  // namespace
}  // namespace korvat::test::online
