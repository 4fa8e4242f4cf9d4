// Operator texts by number, and the host's dialog services. Implemented in host/.
#pragma once

#include <cstdint>

#include "common/wintypes.h"

// Copies text `number` into buffer (at most size - 1 characters, always terminated). Texts come
// from the built-in German table, overridden by the file named in KORVAT_TEXTS (lines
// "number = text") when set. An unknown number gives "Text <number>". Returns the length.
int LadeRcString(int16_t number, char* buffer, int size);
// Loads the override file now (also done on first use). Returns the texts read, -1 when the file
// cannot be read.
int LadeTextDatei(const char* path);
// The module holding the dialog template "DLG_INFOBOX".
HINSTANCE HoleFXTexteModule();

// Dialog base of the host's dialog kernel.
class CDialog {
public:
    virtual ~CDialog() = default;
    // Shows the dialog modally through the dialog handler; returns when the operator closes it.
    int ExecDialog(HWND owner, HINSTANCE module, const char* name);

protected:
    virtual int Zeige(HWND owner) = 0;
};

// Information box of the host's dialog library.
class CInfoBoxDlg : public CDialog {
public:
    CInfoBoxDlg();
    ~CInfoBoxDlg() override;
    void ParaSetz(const char* title, const char* text, int flag);
    const char* Titel() const { return titel_; }
    const char* Text() const { return text_; }

protected:
    int Zeige(HWND owner) override;

private:
    char titel_[256];
    char text_[1024];
};

// Text input through the dialog handler: text is the editable proposal, length its maximum.
// Returns 1 when confirmed, 2 when cancelled.
int TextInputDialog(HWND owner, const char* title, const char* prompt, char* text, int length);
