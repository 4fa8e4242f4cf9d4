// The drivers against their simulated controllers over pseudo-terminals: what the controller
// carried out (its trace, against hand-written golden text), acknowledgements, position replies
// and a hang-up.
#include <cmath>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "channel/cx268io.h"
#include "hpgla/online_fixture.h"
#include "online/eurobox/ceurobox.h"
#include "online/hpgla/chpgla.h"
#include "support/sim.h"

namespace korvat::test::online {
namespace {

class OnlineSim : public OnlineTest {
  protected:
    void SetUp() override {
        OnlineTest::SetUp();
        settings.Schnittstelle = 2;
        settings.Handshake = 1;  // the simulator holds the host back with Xon/Xoff
        settings.Baudrate = 9600;
        settings.Datenbits = 8;
    }
    std::unique_ptr<SimProcess> Start(std::vector<std::string> args) {
        args.push_back("--trace");
        args.push_back(trace);
        auto sim = std::make_unique<SimProcess>(KORVAT_PROGRAM, args);
        setenv("KORVAT_COM2", sim->Path().c_str(), 1);
        return sim;
    }
    int Open(CHPGLA& d) {
        InitStruct u{};
        d.Init(&u, 0);
        return d.Open(1, &settings, nullptr, &opened, 1, profile.c_str(), 0);
    }
    std::string trace = dir.File("trace.txt");
};

TEST_F(OnlineSim, HpglaControllerCarriesOutTheStatementsAndAcknowledges) {
    auto sim = Start({"hpgla"});
    CHPGLA d;
    ASSERT_EQ(0, Open(d));
    d.Move3(10, 20, 5);
    d.Draw3(10, 20, -1);
    d.Draw(30, 20);
    d.Kreis(20, 20, 10, Sweep(180), 10, 20);
    d.MoveZ(5);
    FLAGPOS pos{};
    ASSERT_EQ(3, d.LeseIst(0, &pos));
    EXPECT_FLOAT_EQ(10.0f, pos.Pos[0]);
    EXPECT_FLOAT_EQ(20.0f, pos.Pos[1]);
    EXPECT_FLOAT_EQ(5.0f, pos.Pos[2]);
    EXPECT_EQ(0, d.LeseIst_Check());
    d.SetzeSchrittweise();
    d.Draw(10, 30);
    EXPECT_EQ(0, d.WarteFertig());  // "!" once carried out
    EXPECT_EQ(0, d.SendeBefehl("SA;"));
    cx268io.pclose(2, 0);
    std::string summary = sim->Stop();
    EXPECT_EQ(std::string::npos, summary.find("korvat sim: ")) << summary;  // no problems
    EXPECT_TRUE(SameBytes(Golden("hpgla_trace.txt"), ReadFile(trace)));
}

TEST_F(OnlineSim, FaultAcknowledgementsSilenceAndGarbage) {
    {
        auto sim = Start({"hpgla", "--fault", "F", "--fault-after", "0"});
        CHPGLA d;
        ASSERT_EQ(0, Open(d));
        d.SetzeSchrittweise();
        d.Draw(1, 1);
        EXPECT_EQ(2, d.WarteFertig());
        cx268io.pclose(2, 0);
    }
    {
        ScriptedDialogs dialogs;
        auto sim = Start({"hpgla", "--silent"});
        CHPGLA d;
        opened = 0;
        ASSERT_EQ(0, Open(d));
        EXPECT_EQ(1, d.LeseIst_Check());  // a failed read after about a second, no question
        EXPECT_TRUE(dialogs.boxes().empty());
        cx268io.pclose(2, 0);
    }
    {
        ScriptedDialogs dialogs;
        dialogs.Answer(IDNO);
        auto sim = Start({"hpgla", "--garbage"});
        CHPGLA d;
        opened = 0;
        ASSERT_EQ(0, Open(d));
        FLAGPOS pos{};
        EXPECT_EQ(0, d.LeseIst(0, &pos));  // junk without a line end: no position
        EXPECT_EQ(0, pos.Gueltig[0]);
        cx268io.pclose(2, 0);
    }
}

TEST_F(OnlineSim, AHangUpInTheMiddleOfAJobStopsTheChannel) {
    ScriptedDialogs dialogs;
    dialogs.Answer(IDNO);
    auto sim = Start({"hpgla", "--hangup-after-commands", "6"});
    CHPGLA d;
    ASSERT_EQ(0, Open(d));
    for (int i = 0; i < 10; ++i) d.Draw(static_cast<float>(i), 0);
    EXPECT_TRUE(sim->WaitExit(5000));
    // The line is gone: the next statement cannot be written, the operator declines to wait.
    for (int i = 0; i < 50 && !cx268io.Fehlerflag; ++i) d.Draw(static_cast<float>(i), 1);
    EXPECT_EQ(1, cx268io.Fehlerflag);
}

TEST_F(OnlineSim, EuroboxControllerCutsAtTheSetDepth) {
    auto sim = Start({"eurobox", "--baud", "0"});
    CEUROBOX d;
    InitStruct u{};
    d.Init(&u, 0);
    ASSERT_EQ(0, d.Open(1, &settings, nullptr, &opened, 1, profile.c_str()));
    d.SetzePosInfos(100, 80, 0, 0, 0, 0, &settings, 0);  // Y mirrored about 80
    d.SetzeFlughAbsolut(0, 3);
    d.SetzeVorschuebe(10, 5);
    d.SetzeGTiefe(-1);
    d.Move3(10, 10, 3);
    d.Draw3(10, 10, -1);
    d.Draw(30, 10);
    d.Close(1, 0);  // lifts and goes home
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::string summary = sim->Stop();
    EXPECT_EQ(std::string::npos, summary.find("korvat sim: ")) << summary;
    // 0.0158 mm steps: 10 mm is 633 steps (10.0014 mm); up at 3 mm, down at the depth 1 mm.
    EXPECT_TRUE(SameBytes(Golden("eurobox_trace.txt"), ReadFile(trace)));
}

}  // namespace
}  // namespace korvat::test::online
