// The drivers against their simulated controllers over pseudo-terminals: what the controller
// carried out (its trace, against hand-written golden text), acknowledgements, position replies
// and a hang-up; then `korvat send` with the example profiles, the trace against rs274's
// reading of the same job.
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "channel/cx268io.h"
#include "hpgla/online_fixture.h"
#include "online/eurobox/ceurobox.h"
#include "online/hpgla/chpgla.h"
#include "support/process.h"
#include "support/rs274.h"
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
    // Waits (at most 10 s) until the simulator's trace has not grown for half a second.
    void SettleTrace() {
        size_t last = ReadFile(trace).size();
        for (int quiet = 0, i = 0; quiet < 5 && i < 100; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            size_t now = ReadFile(trace).size();
            quiet = now == last ? quiet + 1 : 0;
            last = now;
        }
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

// Runs a korvat command line; returns its exit code, its stdout and stderr in *out.
int Korvat(const std::string& args, std::string* out) {
    int code = -1;
    *out += Shell("'" KORVAT_PROGRAM "' " + args + " 2>&1", &code);
    return code;
}

// The moves of a trace, as the expectations of rs274's reading: a run of rapid moves counts as
// its last one (the controller lifts and moves in separate statements).
std::vector<Expected> TraceMoves(const std::string& text, double zsign = 1) {
    std::vector<Expected> out;
    std::istringstream in(text);
    std::string kind;
    while (in >> kind) {
        Expected e{};
        in >> e.x >> e.y >> e.z;
        e.z *= zsign;
        if (kind == "arc") {
            e.kind = Expected::Arc;
            in >> e.cx >> e.cy >> e.turn;
        } else {
            e.kind = kind == "rapid" ? Expected::Rapid : Expected::Line;
        }
        if (e.kind == Expected::Rapid && !out.empty() && out.back().kind == Expected::Rapid)
            out.back() = e;
        else
            out.push_back(e);
    }
    return out;
}

std::vector<CanonCall> Motions(const Rs274Result& r) {
    std::vector<CanonCall> out;
    for (const CanonCall& c : r.calls)
        if (c.name == "STRAIGHT_TRAVERSE" || c.name == "STRAIGHT_FEED" || c.name == "ARC_FEED")
            out.push_back(c);
    return out;
}

TEST_F(OnlineSim, SendDrivesEachSimulatorAndTheTraceAgreesWithRs274) {
    if (Rs274Program().empty()) GTEST_SKIP() << "rs274 is not installed";
    const std::string machines = KORVAT_SOURCE_DIR "/examples/machines/";
    for (const char* job : {"plate.ngc", "pocket.ngc", "example.ngc"}) {
        const std::string path = KORVAT_SOURCE_DIR "/examples/jobs/" + std::string(job);
        Rs274Result reading = RunRs274(ReadFile(path));
        ASSERT_TRUE(reading.ran) << reading.errors;
        struct Case {
            const char* sim;
            const char* set;
            const char* machine;
        } cases[] = {{"hpgla", "steps=1000", "hpgla"}, {"sms68a", "zsign=-1", "sms68a"}};
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(job) + " on " + c.sim);
            auto sim = Start({c.sim, "--set", c.set, "--baud", "0"});
            std::string out;
            EXPECT_EQ(0, Korvat("send --auto '" + path + "' --machine '" + machines + c.machine +
                                    ".ini' --port '" + sim->Path() + "'",
                                &out))
                << out;
            // send is done once the line took the job; the machine may still be working it off.
            SettleTrace();
            std::string summary = sim->Stop();
            EXPECT_EQ(std::string::npos, summary.find("korvat sim: ")) << summary;
            // Within the controller's steps (1 or 10 micrometres) and an arc end's rounding.
            EXPECT_TRUE(SameMoves(TraceMoves(ReadFile(trace)), Motions(reading),
                                  std::string(c.sim) == "sms68a" ? 0.011 : 0.002));
        }
    }
}

TEST_F(OnlineSim, EuroboxAsksForTheToolAndStopsWithoutATerminalUnlessConfirmed) {
    const std::string job = dir.File("line.ngc");
    WriteFile(job, "G21 G90\nT1 M6\nF600\nG0 X10 Y10 Z3\nG1 Z-1\nG1 X30\nG0 Z3\nM30\n");
    const std::string machine = KORVAT_SOURCE_DIR "/examples/machines/eurobox.ini";
    {
        auto sim = Start({"eurobox", "--baud", "0"});
        std::string out;
        EXPECT_EQ(1, Korvat("send --auto '" + job + "' --machine '" + machine + "' --port '" +
                                sim->Path() + "'",
                            &out));
        EXPECT_NE(std::string::npos,
                  out.find("the machine asks the operator: Werkzeug einspannen Nummer: 1"))
            << out;
        EXPECT_NE(std::string::npos, out.find("--yes")) << out;
    }
    auto sim = Start({"eurobox", "--baud", "0"});
    std::string out;
    EXPECT_EQ(0, Korvat("send --auto '" + job + "' --machine '" + machine + "' --port '" +
                            sim->Path() + "' --yes",
                        &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("confirmed (--yes)")) << out;
    sim->Stop();
    // Centred on (150, 100) for a 100 x 80 drawing, Y mirrored: X + 100, 140 - Y; 0.0158 mm
    // steps; up at 3 mm, down at the depth 1 mm.
    EXPECT_TRUE(SameBytes(Golden("eurobox_send_trace.txt"), ReadFile(trace)));
}

TEST_F(OnlineSim, SendStepPrintsOneLinePerAcknowledgedBlock) {
    const std::string job = dir.File("two.ngc");
    WriteFile(job, "G21 G90\nG0 X1 Y1 Z2\nG1 Z-1 F600\nG1 X2\nM30\n");
    auto sim = Start({"hpgla", "--baud", "0"});
    std::string out;
    EXPECT_EQ(
        0, Korvat("send --auto '" + job +
                      "' --machine '" KORVAT_SOURCE_DIR "/examples/machines/hpgla.ini' --port '" +
                      sim->Path() + "' --step",
                  &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("step 1, line 2: done")) << out;
    EXPECT_NE(std::string::npos, out.find("line 4: done")) << out;
}

}  // namespace
}  // namespace korvat::test::online
