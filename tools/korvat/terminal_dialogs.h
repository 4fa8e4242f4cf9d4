// The library's operator questions on a terminal: the box is printed to stderr and the answer
// read from stdin (y/n, r/c, ...). Empty input, end of input or a read error give the box's
// default button, as an unattended run would.
#pragma once

#include <string>

#include "platform/dialogs.h"

namespace korvat::tool {

// A library text (Windows code page 1252) for a UTF-8 terminal; the code page's five unused
// bytes show as '?'.
std::string ToUtf8(const char* text);

class TerminalDialogs : public platform::DialogHandler {
  public:
    int MessageBox(HWND owner, const char* text, const char* caption, unsigned style) override;
    void InfoBox(HWND owner, const char* title, const char* text) override;
    int TextInput(HWND owner, const char* title, const char* prompt, char* text,
                  int maxLength) override;
};

}  // namespace korvat::tool
