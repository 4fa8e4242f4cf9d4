// korvat: turns tool paths (G-code or call scripts) into machine programs with the Korvat
// library, draws previews, lists machines. Each verb lives in verbs/.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/output.h"
#include "tools/korvat/program.h"
#include "tools/korvat/terminal_dialogs.h"
#include "tools/korvat/unattended_dialogs.h"
#include "tools/korvat/verbs/verb.h"

using namespace korvat::tool;

int main(int argc, char** argv) {
    InstallSignalCleanup();
    // Fault injection for the program's own tests: the n-th file write of the run fails as on
    // a full disk.
    if (const char* n = std::getenv("KORVAT_FAIL_WRITE_AFTER"))
        korvat::platform::FailWriteAfter(std::atoi(n));
    CLI::App app{"korvat - machine programs from tool paths, with the Korvat library"};
    app.require_subcommand(1);
    app.footer(
        "Example:\n  korvat post examples/jobs/plate.ngc --machine iso -o plate.nc\n"
        "Exit codes: 0 success, 1 job or profile error, 2 usage error.");
    OnTimeout onTimeout = OnTimeout::Abort;
    AddOnTimeoutOption(app, &onTimeout);
    std::vector<std::function<int()>> runs;
    std::vector<CLI::App*> commands;
    for (const Verb* const* v = kVerbs; *v != nullptr; ++v) {
        CLI::App* command = app.add_subcommand((*v)->name, (*v)->summary);
        commands.push_back(command);
        runs.push_back((*v)->setup(*command));
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }

    // Operator questions of the library: asked on the terminal when there is one, else
    // answered with their default button (and printed to stderr), a time-out as --on-timeout
    // says.
    TerminalDialogs terminal;
    UnattendedDialogs unattended(onTimeout);
    if (isatty(STDIN_FILENO) && isatty(STDERR_FILENO)) {
        korvat::platform::SetDialogHandler(&terminal);
    } else {
        korvat::platform::SetDialogHandler(&unattended);
    }

    int result = kExitUsage;
    try {
        for (size_t i = 0; i < commands.size(); ++i)
            if (commands[i]->parsed()) result = runs[i]();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "korvat: %s\n", e.what());
        result = kExitJob;
    }
    korvat::platform::SetDialogHandler(nullptr);
    return result;
}
