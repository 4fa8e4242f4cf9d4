// Operator texts by number, and the host's dialog services. Implemented in host/.
#pragma once

#include <cstdint>

#include "common/wintypes.h"

// Copies text `number` into buffer: at most size - 1 characters, always terminated (nothing is
// written when size < 1). Texts come from the built-in table (German unless SetzeTextSprache
// picked English; code page 1252), overridden by the file named in KORVAT_TEXTS (lines
// "number = text", read on first use). An unknown number gives "Text <number>". Returns the
// characters copied.
int LadeRcString(int16_t number, char* buffer, int size);
// The same for a text written into a program for the machine's own display: always the German
// table (overrides still win), so that a job gives the same program on every computer whatever
// its locale.
int LadeProgrammText(int16_t number, char* buffer, int size);
// Replaces the overrides by the texts of the file at path (nullptr or "" drops all overrides).
// Returns the texts taken over, -1 when the file cannot be read. Lines that cannot be taken over
// are skipped; the first of them is described by TextDateiMeldung().
int LadeTextDatei(const char* path);
// The first problem of the last override file read (file, line and what was wrong), "" if none.
const char* TextDateiMeldung();
// True when the built-in table has a text of its own for number.
bool HatEigenenText(int16_t number);
// The built-in tables: German (the default) and English, with the same numbers.
enum class TextSprache { kDeutsch, kEnglisch };
// Picks the built-in table the texts come from; overrides from a file still win.
void SetzeTextSprache(TextSprache sprache);
// The module holding the dialog template "DLG_INFOBOX".
HINSTANCE HoleFXTexteModule();

// Dialog base of the host's dialog kernel.
class CDialog {
  public:
    virtual ~CDialog() = default;
    // Shows the dialog modally through the dialog handler; returns when the operator closes it,
    // with the dialog's result. -1 when module does not hold the template `name`.
    int ExecDialog(HWND owner, HINSTANCE module, const char* name);

  protected:
    virtual int Zeige(HWND owner) = 0;
};

// Information box of the host's dialog library: a title and a multi-line text.
class CInfoBoxDlg : public CDialog {
  public:
    CInfoBoxDlg();
    ~CInfoBoxDlg() override;
    // Takes over title and text (flag is not used). A text too long for the box ends in "...".
    void ParaSetz(const char* title, const char* text, int flag);
    const char* Titel() const { return titel_; }
    const char* Text() const { return text_; }

  protected:
    int Zeige(HWND owner) override;  // shows the box; IDOK once closed

  private:
    char titel_[256];
    char text_[2048];
};

// Text input through the dialog handler: text is the editable proposal (its buffer holds
// length + 1 bytes) and receives the edited text. Returns 1 when confirmed, 2 when cancelled.
int TextInputDialog(HWND owner, const char* title, const char* prompt, char* text, int length);
