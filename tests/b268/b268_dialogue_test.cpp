// The B268 driver against a scripted controller on a pseudo-terminal: the start-up dialogue,
// the status and position queries, block control, and the wait on a full buffer.
#include <chrono>
#include <cstring>
#include <thread>

#include "b268_fixture.h"
#include "platform/events.h"

namespace korvat::test {
namespace {

const std::string kEsc = "\x1b";

InitStruct Record(char letter) {
    InitStruct s{};
    s.MaschTypBuchstabe = letter;
    s.Aufloesung[0] = 1000, s.Aufloesung[1] = 1000, s.Aufloesung[2] = 500;
    for (int i = 0; i < 5; ++i) s.Weitere[i] = 0.5f * static_cast<float>(i);
    s.Ganzzahl = 42;
    const uint8_t bytes[5] = {0, 1, 2, 145, 255};
    std::memcpy(s.Bytes, bytes, 5);
    s.Schluss[0] = 1.25f, s.Schluss[1] = -2, s.Schluss[2] = 3.456f;
    return s;
}

const std::string kHeader = std::string(39, '\x04') +
                            "GX 1000.000 1000.000 500.000 0.000\r\n"
                            " 0.500 1.000 1.500 2.000\r\n"
                            "\x03\r\n"
                            "!V--\r\n" +
                            kEsc + "OE";

TEST_F(B268Test, WarmStartSendsTheHeaderAndTheFinalBlockClose) {
    ScriptedController controller;
    controller.Answer("OS", {"OS0\r\n"});
    controller.Answer("OE", {"OE\r\n"});
    OpenPort(controller);
    InitStruct s = Record('X');
    EXPECT_EQ(0, b.Init(&s, 0));
    EXPECT_TRUE(
        SameBytes(kEsc + "OS" + kHeader + " VJ 1.250 -2.000 3.46\r\n\x0f", controller.Received()));
    EXPECT_EQ(0, b.Zusatzkopf);
}

TEST_F(B268Test, ColdStartWaitsForTheReferenceRunAndSendsTheAxisConstant) {
    ScriptedController controller;
    controller.Answer("OS", {"OSC0\r\n", "OSB\r\n", "OSB\r\n", "OS0\r\n"});
    controller.Answer("OE", {"OE\r\n"});
    controller.Answer("OX ", {"OX =1234.5\r\n"});
    OpenPort(controller);
    InitStruct s = Record('Z');
    EXPECT_EQ(0, b.Init(&s, 0));
    EXPECT_EQ(0, cx268io.Fehlernummer);
    EXPECT_TRUE(SameBytes(kEsc + "OS" + std::string(39, '\x04') + "GZ" + kHeader.substr(41) + kEsc +
                              "OS" + kEsc + "OS" + kEsc + "OS" +
                              "\rOX 411.500\r\n"
                              "111112113256366 42\r\n"
                              " VJ 1.250 -2.000 3.46\r\n\x0f"
                              "FK5E\r\n",
                          controller.Received()));
    EXPECT_EQ(1, b.Zusatzkopf);
}

TEST_F(B268Test, ControllerThatStaysBusyEndsTheStartWith1021) {
    ScriptedController controller;
    controller.Answer("OS", {"OSCB\r\n"});
    controller.Answer("OE", {"OE\r\n"});
    controller.Answer("Or", {"Or@\r\n"});  // not referencing: the wait is not extended
    OpenPort(controller);
    InitStruct s = Record('X');
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(1, b.Init(&s, 1));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(1021, cx268io.Fehlernummer);
    EXPECT_GT(seconds, 1.4);
    EXPECT_LT(seconds, 10.0);
    std::string sent = controller.Received();
    std::string begin = kEsc + "OS" + kHeader;
    ASSERT_EQ(begin, sent.substr(0, begin.size()));
    // After the header only status and reference queries, nothing else.
    std::string rest = sent.substr(begin.size());
    for (size_t i = 0; i + 3 <= rest.size(); i += 3) {
        std::string q = rest.substr(i, 3);
        EXPECT_TRUE(q == kEsc + "OS" || q == kEsc + "Or") << i;
    }
    EXPECT_EQ(0u, rest.size() % 3);
}

TEST_F(B268Test, StatusLettersSetTheDriversWords) {
    ScriptedController controller;
    controller.Answer("OS", {"OSB\r\n", "OS0bh\r\n", "OS0n\r\n", "OS0\r\n", "OSA\r\n"});
    OpenPort(controller);
    EXPECT_EQ(0, b.MFStatus());
    EXPECT_EQ(1, B268::Beschaeftigt());
    EXPECT_EQ(0, cx268io.B268Warten);
    EXPECT_EQ(0, b.MFStatus());
    EXPECT_EQ(0, B268::Beschaeftigt());
    EXPECT_EQ(1, B268::Halt());
    EXPECT_EQ(1, cx268io.B268Warten);
    EXPECT_EQ(0, b.MFStatus());
    EXPECT_EQ(0, B268::Halt());
    EXPECT_EQ(1, B268::PositionWartet());
    EXPECT_EQ(1, cx268io.B268Warten);
    EXPECT_EQ(0, b.MFStatus());
    EXPECT_EQ(0, cx268io.B268Warten);
    EXPECT_EQ(1, B268::PositionWartet()) << "cleared only by reading the position";
    EXPECT_EQ(1, b.MFStatus());
    EXPECT_EQ(1, cx268io.Fehlerflag);
    EXPECT_EQ(1, cx268io.Stoppanforderung);
    EXPECT_EQ(0, cx268io.Abgelehnt);
}

TEST_F(B268Test, FaultCStopsTheChannel) {
    ScriptedController controller;
    controller.Answer("OS", {"OSC\r\n"});
    OpenPort(controller);
    EXPECT_EQ(1, b.MFStatus());
    EXPECT_EQ(1, cx268io.Abgelehnt);
    b.Draw(1, 1);
    FLAGPOS pos;
    EXPECT_EQ(0, b.LeseIst(0, 0, &pos));
    EXPECT_EQ(kEsc + "OS", controller.Received()) << "nothing after the fault";
}

TEST_F(B268Test, FreeBufferAndReferenceState) {
    ScriptedController controller;
    controller.Answer("OB", {"OB12345\r\n", "OB\r\n", "OBxy\r\n", "OB99999999999\r\n", "OB-7\r\n"});
    controller.Answer("Or", {"Or@\r\n", "OrH\r\n", "OrH\r\n", "Or-\r\n"});
    OpenPort(controller);
    EXPECT_EQ(12345, b.FRestBuffer());
    EXPECT_EQ(0, b.FRestBuffer());
    EXPECT_EQ(0, b.FRestBuffer());
    EXPECT_EQ(0, b.FRestBuffer());
    EXPECT_EQ(-7, b.FRestBuffer());
    EXPECT_EQ(1, b.FRFahrt(1));
    EXPECT_EQ(1, b.FRFahrt(0));
    EXPECT_EQ(0, b.FRFahrt(1));
    EXPECT_EQ(0, b.FRFahrt(0));
}

TEST_F(B268Test, PositionsFollowTheMaskAndTheRotarySwap) {
    ScriptedController controller;
    // '5' = 0x35: X and Z. '?' all four. The third answer is for another query: not counted.
    controller.Answer("Op", {"Op5 1.5 -2.25\r\n", "Op7 1 2 oops\r\n", "Oq7 1 2 3\r\n"});
    controller.Answer("Oo", {"Oo0 1 2 3 4\r\n"});
    OpenPort(controller);
    FLAGPOS pos{};
    EXPECT_EQ(2, b.LeseIst(0, 0, &pos));
    EXPECT_FLOAT_EQ(1.5f, pos.Pos[0]);
    EXPECT_FLOAT_EQ(-2.25f, pos.Pos[2]);
    EXPECT_EQ(1, pos.Gueltig[0]);
    EXPECT_EQ(0, pos.Gueltig[1]);
    EXPECT_EQ(1, pos.Gueltig[2]);
    EXPECT_EQ(2, b.LeseIst(0, 0, &pos)) << "reading stops at the first bad number";
    EXPECT_EQ(0, pos.Gueltig[2]);
    EXPECT_EQ(0, b.LeseIst(0, 0, &pos));
    // All four with "Oo", whatever the mask; rotary axis X in rotary mode swaps X and A.
    b.Drehachse = 'X';
    b.Drehmodus = 1;
    EXPECT_EQ(4, b.LeseIst(0, 1, &pos));
    EXPECT_FLOAT_EQ(4.0f, pos.Pos[0]);
    EXPECT_FLOAT_EQ(2.0f, pos.Pos[1]);
    EXPECT_FLOAT_EQ(3.0f, pos.Pos[2]);
    EXPECT_FLOAT_EQ(1.0f, pos.Pos[3]);
    b.Drehachse = 'Y';
    EXPECT_EQ(4, b.LeseIst(1, 1, &pos));
    EXPECT_FLOAT_EQ(1.0f, pos.Pos[0]);
    EXPECT_FLOAT_EQ(4.0f, pos.Pos[1]);
    EXPECT_FLOAT_EQ(2.0f, pos.Pos[3]);
    EXPECT_EQ(kEsc + "Op" + kEsc + "Op" + kEsc + "Op" + kEsc + "Oo" + kEsc + "Oo",
              controller.Received());
}

TEST_F(B268Test, MeasuredPositionIsReadOnlyWhenPendingWithZNegated) {
    ScriptedController controller;
    controller.Answer("OS", {"OS0\r\n", "OS0N\r\n", "OS0\r\n"});
    controller.Answer("On", {"On7 1 2 3\r\n"});
    OpenPort(controller);
    FLAGPOS pos{};
    EXPECT_EQ(0, b.LeseWBK(&pos));
    EXPECT_EQ(3, b.LeseWBK(&pos));
    EXPECT_FLOAT_EQ(-3.0f, pos.Pos[2]);
    EXPECT_EQ(0, B268::PositionWartet());
    EXPECT_EQ(0, b.LeseWBK(&pos));
    EXPECT_EQ(kEsc + "OS" + kEsc + "OS" + kEsc + "On" + kEsc + "OS", controller.Received());
}

TEST_F(B268Test, BlockControlAndDirectPositioningAreLineQueries) {
    ScriptedController controller;
    for (const char* q : {"O*S", "O*H", "O*A", "O*N"}) controller.Answer(q, {"O*\r\n"});
    controller.Answer("O*P -2 -500 -3 1", {"O*\r\n"});
    controller.Answer("O*P 4 -6 8 0", {"O*\r\n"});
    OpenPort(controller);
    b.BStart();
    b.BStop();
    b.BAbbruch();
    b.BWstSetz();
    b.InitTeilk(0, 0, ' ', 0, 0, 0, 1, 1, 1);
    b.BPositionieren(-1.7f, -500.0f, 2.5f, 0.5f, 1, 1, 1, 1);
    // Scales from InitTeilk, and the rotary factor in place of X.
    b.InitTeilk(0, 0, ' ', 0, 0, 0, 2, -3, 0.001f);
    b.Drehachse = 'X';
    b.Drehfaktor = 4;
    b.BPositionieren(1, 2, -4, 0, 100, 1, 2, 7);
    EXPECT_EQ(0, cx268io.Fehlernummer);
    EXPECT_TRUE(SameBytes(kEsc + "O*S\r\n" + kEsc + "O*H\r\n" + kEsc + "O*A\r\n" + kEsc +
                              "O*N\r\n" + kEsc + "O*P -2 -500 -3 1\r\n" + kEsc + "O*P 4 -6 8 0\r\n",
                          controller.Received()));
}

TEST_F(B268Test, StatusIsPolledAtMostOnceASecond) {
    ScriptedController controller;
    controller.Answer("OS", {"OS0\r\n"});
    controller.Answer("OB", {"OB777\r\n"});
    OpenPort(controller);
    b.LetzteAbfrage = -5000;  // long ago
    EXPECT_EQ(777, b.UpdateStatus(1));
    EXPECT_EQ(0, b.UpdateStatus(1));
    b.Draw(1, 2);
    EXPECT_EQ(kEsc + "OS" + kEsc + "OB" + "D 1.000 2.000\r\n", controller.Received());
}

TEST_F(B268Test, FullBufferWaitsUntilMoreThan2000BytesAreFree) {
    ScriptedController controller;
    controller.Answer("OS", {"OSBb\r\n", "OSB\r\n"});
    controller.Answer("OB", {"OB100\r\n", "OB2001\r\n"});
    OpenPort(controller);
    b.LetzteAbfrage = -5000;
    b.Draw(1, 2);  // the poll sees 'b': wait
    EXPECT_EQ(1, b.Befehle);
    EXPECT_TRUE(SameBytes(
        "D 1.000 2.000\r\n" + kEsc + "OS" + kEsc + "OS" + kEsc + "OB" + kEsc + "OS" + kEsc + "OB",
        controller.Received()));
}

TEST_F(B268Test, EscapeEndsTheWaitOnAFullBuffer) {
    ScriptedController controller;
    controller.Answer("OS", {"OSBb\r\n"});
    controller.Answer("OB", {"OB100\r\n"});
    OpenPort(controller);
    b.LetzteAbfrage = -5000;
    // The operator presses Escape while the driver waits for the next poll.
    std::thread operatorKey([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        platform::PostEvent({platform::Event::KeyDown, 0x1B, nullptr});
    });
    b.Draw(1, 2);
    operatorKey.join();
    EXPECT_EQ(1, cx268io.Tastenabbruch);
    EXPECT_EQ(1, cx268io.Fehlerflag);
    EXPECT_EQ("D 1.000 2.000\r\n" + kEsc + "OS", controller.Received());
}

}  // namespace
}  // namespace korvat::test
