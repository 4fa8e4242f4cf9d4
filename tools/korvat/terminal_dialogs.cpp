#include "tools/korvat/terminal_dialogs.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/cp1252.h"

namespace korvat::tool {
namespace {

// The answer keys of each button set, and the IDs they stand for.
struct Choice {
    char key;
    const char* label;
    int id;
};

bool ReadLine(std::string* line) {
    char buffer[256];
    if (std::fgets(buffer, sizeof buffer, stdin) == nullptr) return false;
    *line = buffer;
    while (!line->empty() && (line->back() == '\n' || line->back() == '\r')) line->pop_back();
    return true;
}

}  // namespace

std::string ToUtf8(const char* text) {
    std::string out;
    char utf8[3];
    for (const char* p = text; *p != 0; ++p)
        out.append(utf8, static_cast<size_t>(Cp1252ToUtf8(static_cast<unsigned char>(*p), utf8)));
    return out;
}

int TerminalDialogs::MessageBox(HWND, const char* text, const char* caption, unsigned style) {
    static const Choice ok[] = {{'o', "[o]k", IDOK}};
    static const Choice okCancel[] = {{'o', "[o]k", IDOK}, {'c', "[c]ancel", IDCANCEL}};
    static const Choice abortRetry[] = {
        {'a', "[a]bort", IDABORT}, {'r', "[r]etry", IDRETRY}, {'i', "[i]gnore", IDIGNORE}};
    static const Choice yesNoCancel[] = {
        {'y', "[y]es", IDYES}, {'n', "[n]o", IDNO}, {'c', "[c]ancel", IDCANCEL}};
    static const Choice yesNo[] = {{'y', "[y]es", IDYES}, {'n', "[n]o", IDNO}};
    static const Choice retryCancel[] = {{'r', "[r]etry", IDRETRY}, {'c', "[c]ancel", IDCANCEL}};
    const Choice* choices = ok;
    size_t count = 1;
    switch (style & MB_TYPEMASK) {
        case MB_OKCANCEL:
            choices = okCancel, count = 2;
            break;
        case MB_ABORTRETRYIGNORE:
            choices = abortRetry, count = 3;
            break;
        case MB_YESNOCANCEL:
            choices = yesNoCancel, count = 3;
            break;
        case MB_YESNO:
            choices = yesNo, count = 2;
            break;
        case MB_RETRYCANCEL:
            choices = retryCancel, count = 2;
            break;
        default:
            break;
    }
    std::fprintf(stderr, "\n== %s ==\n%s\n", ToUtf8(caption ? caption : "").c_str(),
                 ToUtf8(text ? text : "").c_str());
    if (count == 1) {
        std::fprintf(stderr, "(Return to go on) ");
        std::string line;
        ReadLine(&line);
        return IDOK;
    }
    while (true) {
        for (size_t i = 0; i < count; ++i) std::fprintf(stderr, "%s ", choices[i].label);
        std::fprintf(stderr, "? ");
        std::string line;
        if (!ReadLine(&line) || line.empty()) return platform::DefaultAnswer(style);
        char key = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
        for (size_t i = 0; i < count; ++i)
            if (choices[i].key == key) return choices[i].id;
    }
}

void TerminalDialogs::InfoBox(HWND, const char* title, const char* text) {
    std::fprintf(stderr, "\n== %s ==\n%s\n(Return to go on) ", ToUtf8(title ? title : "").c_str(),
                 ToUtf8(text ? text : "").c_str());
    std::string line;
    ReadLine(&line);
}

int TerminalDialogs::TextInput(HWND, const char* title, const char* prompt, char* text,
                               int maxLength) {
    std::fprintf(stderr, "\n== %s ==\n%s [%s] ", ToUtf8(title ? title : "").c_str(),
                 ToUtf8(prompt ? prompt : "").c_str(), ToUtf8(text).c_str());
    std::string line;
    if (!ReadLine(&line)) return 2;
    if (!line.empty()) {
        // Typed text is UTF-8; keep the Latin-1 characters as single bytes.
        std::string bytes;
        for (size_t i = 0; i < line.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(line[i]);
            if ((c == 0xC2 || c == 0xC3) && i + 1 < line.size()) {
                bytes += static_cast<char>(((c & 0x03) << 6) | (line[++i] & 0x3F));
            } else {
                bytes += static_cast<char>(c);
            }
        }
        std::snprintf(text, static_cast<size_t>(maxLength) + 1, "%s", bytes.c_str());
    }
    return 1;
}

}  // namespace korvat::tool
