#include "tools/korvat/unattended_dialogs.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>
#include <map>

namespace korvat::tool {
namespace {

// The line's "keep waiting?" question: "Fehlernummer <code>" with Yes and No.
bool IsTimeOutQuestion(const char* caption, unsigned style) {
    return caption != nullptr && std::strncmp(caption, "Fehlernummer", 12) == 0 &&
           (style & MB_TYPEMASK) == MB_YESNO;
}

// The first line of a box text, code page 1252 shown as UTF-8.
std::string FirstLine(const char* text) {
    std::string out;
    for (const char* p = text; p != nullptr && *p != 0 && *p != '\n'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

int UnattendedDialogs::MessageBox(HWND owner, const char* text, const char* caption,
                                  unsigned style) {
    if (!IsTimeOutQuestion(caption, style))
        return DefaultDialogHandler::MessageBox(owner, text, caption, style);
    int code = std::atoi(caption + 12);
    bool wait = policy_ == OnTimeout::Wait;
    std::fprintf(stderr, "korvat: time-out, error %d (%s): %s (--on-timeout %s)\n", code,
                 FirstLine(text).c_str(), wait ? "waiting again" : "not waiting",
                 wait ? "wait" : "abort");
    return wait ? IDYES : IDNO;
}

void AddOnTimeoutOption(CLI::App& app, OnTimeout* policy) {
    std::map<std::string, OnTimeout> names{{"abort", OnTimeout::Abort}, {"wait", OnTimeout::Wait}};
    app.add_option("--on-timeout", *policy,
                   "without a terminal, when the machine stops taking or sending data: abort "
                   "the job (default) or wait again")
        ->transform(CLI::CheckedTransformer(names, CLI::ignore_case))
        ->option_text("abort|wait");
}

}  // namespace korvat::tool
