// The library's operator questions in a run without a terminal. Nobody can answer "keep
// waiting?" after a machine stopped taking or sending data, so the run follows --on-timeout:
// abort (the default) answers No and the job stops with the line's error, wait answers Yes
// and waits another round. Either way the decision is printed. Every other box is answered
// with its default button, as the default handler does.
#pragma once

#include <string>

#include "platform/dialogs.h"

namespace CLI {
class App;
}

namespace korvat::tool {

enum class OnTimeout { Abort, Wait };

class UnattendedDialogs : public platform::DefaultDialogHandler {
  public:
    explicit UnattendedDialogs(OnTimeout policy) : policy_(policy) {}
    int MessageBox(HWND owner, const char* text, const char* caption, unsigned style) override;

  private:
    OnTimeout policy_;
};

// Adds --on-timeout abort|wait to a command (the program's top level).
void AddOnTimeoutOption(CLI::App& app, OnTimeout* policy);

}  // namespace korvat::tool
