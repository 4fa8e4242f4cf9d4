// Shared set-up of the channel tests: a fresh channel and serial line, an empty event queue, a
// scripted dialog handler, known question texts, and settings for a port on a pseudo-terminal.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "channel/cx268io.h"
#include "channel/serleitung.h"
#include "common/records.h"
#include "support/golden.h"
#include "support/pty.h"

namespace korvat::test {

// The question texts the tests load instead of the host's wording.
inline const char* kText7018 = "keine Antwort";
inline const char* kText7019 = "keine Abnahme";
inline const char* kText7040 = "weiter?";

class ChannelTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Settings for COM<port> at 9600 baud, even parity, 8 data bits, 2 stop bits, handshake 0,
    // file extension "nc".
    static MaschEinstellung Settings(int port);
    // popen on the port (and a file when base is not empty), first open, poll switch on.
    int OpenPort(int geraeteart, const std::string& base = "");
    // popen with only a file.
    int OpenFile(const std::string& base, int geraeteart = 0);

    ScriptedDialogs dialogs;
    TempDir dir;
    MaschEinstellung settings{};
    int openedBefore = 0;
};

// Milliseconds of a steady clock, for generous bounds on waits.
long long ElapsedMs(long long since);
long long StartMs();

}  // namespace korvat::test
