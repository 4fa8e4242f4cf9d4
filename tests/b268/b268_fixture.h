// Shared set-up of the B268 tests: a fresh channel and driver, and two ways to watch the driver:
// a channel writing only to a file (the command stream, with every query answered empty) and a
// scripted controller on a pseudo-terminal that answers each query from a list.
#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "channel/cx268io.h"
#include "online/b268/b268.h"
#include "support/golden.h"
#include "support/pty.h"

namespace korvat::test {

// A controller on the far end of a pseudo-terminal. Queries (ESC + two letters, ESC "O*..." CR
// LF, and CR "OX ") are answered from their lists: each answer is used once, the last one again
// and again; a query without a list gets no answer.
class ScriptedController {
  public:
    ScriptedController();
    ~ScriptedController();
    void Answer(const std::string& query, std::deque<std::string> answers);
    // Everything the driver sent, once the line has been quiet for 50 ms.
    std::string Received();
    const std::string& Path() const { return peer_.SlavePath(); }

  private:
    void Loop();
    void Reply(const std::string& query);
    PtyPeer peer_;
    std::thread thread_;
    std::atomic<bool> running_{true};
    std::mutex lock_;
    std::map<std::string, std::deque<std::string>> answers_;
    std::string received_;
};

class B268Test : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // The channel writes to <dir>/out.nc only.
    void OpenFile();
    // Everything written to the file so far (closes it).
    std::string Written();
    // The channel on the scripted controller's line, mode 1 (answers end at LF, time-outs ask).
    void OpenPort(ScriptedController& controller);

    B268 b;
    ScriptedDialogs dialogs;
    TempDir dir;
    MaschEinstellung settings{};
    int openedBefore = 0;
};

}  // namespace korvat::test
