#include "channel_fixture.h"

#include <chrono>
#include <cstring>

#include "common/fxtexte.h"
#include "platform/events.h"
#include "platform/files.h"

namespace korvat::test {

void ChannelTest::SetUpTestSuite() {
    TempDir texts;
    std::string file = texts.File("texte.txt");
    WriteFile(file, std::string("7018 = ") + kText7018 + "\n7019 = " + kText7019 +
                        "\n7040 = " + kText7040 + "\n");
    ASSERT_EQ(LadeTextDatei(file.c_str()), 3);
}

void ChannelTest::SetUp() {
    cx268io = CCX268IO{};
    serleitung = CSERLEITUNG{};
    platform::ClearEvents();
    platform::FailWriteAfter(0);
    settings = Settings(3);
    openedBefore = 0;
}

void ChannelTest::TearDown() {
    cx268io.pclose(2, 1);
    serleitung.pclose(1);
    platform::ClearEvents();
    platform::FailWriteAfter(0);
}

MaschEinstellung ChannelTest::Settings(int port) {
    MaschEinstellung s{};
    s.Schnittstelle = static_cast<uint8_t>(port);
    s.Handshake = 0;
    s.Baudrate = 9600;
    s.Paritaet = 2;
    s.Datenbits = 8;
    s.Stopbits = 1;
    std::strcpy(s.Dateiendung, "nc");
    return s;
}

int ChannelTest::OpenPort(int geraeteart, const std::string& base) {
    return cx268io.popen(1, 1, &settings, base.empty() ? nullptr : base.c_str(), &openedBefore,
                         geraeteart);
}

int ChannelTest::OpenFile(const std::string& base, int geraeteart) {
    return cx268io.popen(1, 0, &settings, base.c_str(), &openedBefore, geraeteart);
}

long long StartMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long long ElapsedMs(long long since) { return StartMs() - since; }

}  // namespace korvat::test
