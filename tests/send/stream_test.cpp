// No byte lost or doubled: the B268 driver's stream as the simulated controller received it over
// a paced pseudo-terminal, with the queries taken out, equals the stream the driver writes to a
// file for the same calls.
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "channel/cx268io.h"
#include "online/b268/b268.h"
#include "support/golden.h"
#include "support/sim.h"

namespace korvat::test {
namespace {

// A long job of every kind of command, with a block close every few commands.
void Job(B268& b) {
    InitStruct s{};
    s.MaschTypBuchstabe = 'M';
    s.Aufloesung[0] = s.Aufloesung[1] = s.Aufloesung[2] = 1000;
    b.Init(&s, 0);
    b.InitEinheit(0, 0, 0, ' ', 1000, 1000, 1000, 100);
    b.InitGeschw(60, 30, 30, 60, 60);
    b.Move3(0, 0, 5);
    for (int i = 0; i < 700; ++i) {
        double x = (i % 50) * 1.25, y = (i / 50) * 0.5;
        switch (i % 7) {
            case 0:
                b.Draw3(x, y, -0.5);
                break;
            case 1:
                b.Kreis(x, y + 1, 1, (i % 2 ? 1 : -1) * 3.14159);
                break;
            case 2:
                b.WkzW(0, i % 9, 1.5f, 40);
                break;
            case 3:
                b.Move3(x, y, 2);
                break;
            case 4:
                b.Schildtrenner();
                break;
            default:
                b.Draw(x + 0.125, y - 0.25);
                break;
        }
    }
    // Its answer comes once the controller has read everything before it.
    b.MFStatus();
}

// The stream without the queries (ESC and two letters; ESC "O*" to the line end).
std::string WithoutQueries(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != 27) {
            out += s[i];
            continue;
        }
        if (s.compare(i + 1, 2, "O*") == 0)
            i = s.find('\n', i);
        else
            i += 2;
    }
    return out;
}

TEST(DriverStream, TheControllerReceivesEveryByteOnceInOrder) {
    TempDir dir;
    std::string log = dir.File("received.bin");
    std::string expected;
    {
        MaschEinstellung settings{};
        std::strcpy(settings.Dateiendung, "nc");
        int opened = 0;
        cx268io = CCX268IO{};
        ASSERT_EQ(0, cx268io.popen(1, 0, &settings, dir.File("file").c_str(), &opened, 1));
        B268 b;
        Job(b);
        cx268io.pclose(2, 1);
        expected = ReadFile(dir.File("file.nc"));
    }
    ASSERT_GT(expected.size(), 10000u);
    {
        SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "115200", "--set", "cold=0", "--speed",
                                        "200", "--log", log});
        setenv("KORVAT_COM3", sim.Path().c_str(), 1);
        MaschEinstellung settings{};
        settings.Schnittstelle = 3;
        settings.Handshake = 1;
        settings.Baudrate = 115200;
        settings.Datenbits = 8;
        int opened = 0;
        cx268io = CCX268IO{};
        ASSERT_EQ(0, cx268io.popen(1, 1, &settings, nullptr, &opened, 1));
        B268 b;
        Job(b);
        EXPECT_EQ(0, cx268io.Fehlerflag) << cx268io.Fehlernummer;
        cx268io.pclose(2, 0);
        unsetenv("KORVAT_COM3");
        std::string summary = sim.Stop();
        EXPECT_NE(std::string::npos, summary.find("buffer overruns 0")) << summary;
        EXPECT_EQ(std::string::npos, summary.find("korvat sim: ")) << summary;
    }
    EXPECT_TRUE(SameBytes(expected, WithoutQueries(ReadFile(log))));
}

}  // namespace
}  // namespace korvat::test
