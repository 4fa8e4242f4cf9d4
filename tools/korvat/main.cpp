// korvat: turns tool paths (G-code or call scripts) into machine programs with the Korvat
// library, draws previews, lists machines. Each verb lives in verbs/.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "common/fxtexte.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/output.h"
#include "tools/korvat/program.h"
#include "tools/korvat/terminal_dialogs.h"
#include "tools/korvat/unattended_dialogs.h"
#include "tools/korvat/verbs/verb.h"

using namespace korvat::tool;

namespace {

// Whether the user's locale for messages is German: the first of LC_ALL, LC_MESSAGES and LANG
// that is set decides, as for any program ("de", "de_AT.UTF-8", "de_CH@euro").
bool GermanLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') continue;
        return std::strncmp(value, "de", 2) == 0 && std::strchr("_.@", value[2]) != nullptr;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    InstallSignalCleanup();
    // The library's texts (its errors and questions) in German for a German locale, else in
    // English; korvat's own messages are English either way.
    SetzeTextSprache(GermanLocale() ? TextSprache::kDeutsch : TextSprache::kEnglisch);
    // Fault injection for the program's own tests: the n-th file write of the run fails as on
    // a full disk.
    if (const char* n = std::getenv("KORVAT_FAIL_WRITE_AFTER"))
        korvat::platform::FailWriteAfter(std::atoi(n));
    CLI::App app{"korvat - machine programs from tool paths, with the Korvat library", "korvat"};
    app.set_version_flag("--version", "korvat " KORVAT_VERSION);
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
    // korvat help [VERB]: the program's or the verb's help.
    std::string helpVerb;
    CLI::App* help = app.add_subcommand("help", "show the help of korvat or of one verb");
    help->add_option("VERB", helpVerb, "the verb to explain");
    auto verbNames = [] {
        std::string names;
        for (const Verb* const* v = kVerbs; *v != nullptr; ++v)
            names += std::string(names.empty() ? "" : ", ") + (*v)->name;
        return names;
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // A first word that is no verb: say which verbs there are.
        if (argc > 1 && argv[1][0] != '-' && app.get_subcommands().empty()) {
            std::fprintf(stderr, "korvat: unknown verb '%s'; the verbs are %s, help\n", argv[1],
                         verbNames().c_str());
            return kExitUsage;
        }
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }
    if (help->parsed()) {
        if (helpVerb.empty()) {
            // Straight from the formatter: app.help() would show the help verb's own help.
            std::printf(
                "%s",
                app.get_formatter()->make_help(&app, "korvat", CLI::AppFormatMode::Normal).c_str());
            return kExitOk;
        }
        for (CLI::App* command : commands)
            if (command->get_name() == helpVerb) {
                std::printf("%s", command->help("korvat").c_str());
                return kExitOk;
            }
        std::fprintf(stderr, "korvat: unknown verb '%s'; the verbs are %s\n", helpVerb.c_str(),
                     verbNames().c_str());
        return kExitUsage;
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
