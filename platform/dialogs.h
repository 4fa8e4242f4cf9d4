// Everything the operator is shown or asked goes through one dialog handler that the host
// installs. The default answers non-interactively with the default button and prints the box to
// stderr. Dialog items (the live block display) are texts the library sets by dialog and item
// number; the host observes them through the handler or reads them back here.
#pragma once

#include "common/wintypes.h"

namespace korvat::platform {

class DialogHandler {
  public:
    virtual ~DialogHandler() = default;
    // A message box with MB_* style bits; returns the ID* of the button chosen.
    virtual int MessageBox(HWND owner, const char* text, const char* caption, unsigned style) = 0;
    // An information box with a title and a multi-line text; returns when closed.
    virtual void InfoBox(HWND owner, const char* title, const char* text) = 0;
    // A text input: text holds the proposal and receives the edited text (at most maxLength
    // characters plus the terminator). Returns 1 for OK, 2 for cancelled.
    virtual int TextInput(HWND owner, const char* title, const char* prompt, char* text,
                          int maxLength) = 0;
    // Called after a dialog item's text changed. Default: nothing.
    virtual void ItemChanged(HWND dialog, int item, const char* text);
};

// The handler that answers with the default button (MB_DEFBUTTON2/3 honoured), keeps a text
// input's proposal, and prints every box to stderr.
class DefaultDialogHandler : public DialogHandler {
  public:
    int MessageBox(HWND owner, const char* text, const char* caption, unsigned style) override;
    void InfoBox(HWND owner, const char* title, const char* text) override;
    int TextInput(HWND owner, const char* title, const char* prompt, char* text,
                  int maxLength) override;
};

// Passes every dialog on to another handler. A handler that answers some dialogs itself derives
// from it and overrides only those.
class DialogRelay : public DialogHandler {
  public:
    explicit DialogRelay(DialogHandler& next) : next_(next) {}
    int MessageBox(HWND owner, const char* text, const char* caption, unsigned style) override {
        return next_.MessageBox(owner, text, caption, style);
    }
    void InfoBox(HWND owner, const char* title, const char* text) override {
        next_.InfoBox(owner, title, text);
    }
    int TextInput(HWND owner, const char* title, const char* prompt, char* text,
                  int maxLength) override {
        return next_.TextInput(owner, title, prompt, text, maxLength);
    }
    void ItemChanged(HWND dialog, int item, const char* text) override {
        next_.ItemChanged(dialog, item, text);
    }

  private:
    DialogHandler& next_;
};

// Installs a handler (nullptr restores the default). The handler is not owned.
void SetDialogHandler(DialogHandler* handler);
DialogHandler& Dialogs();

// The answer the default handler gives for a style: the default button's ID.
int DefaultAnswer(unsigned style);

// Dialog item store: the text of item `item` of dialog `dialog` (at most 255 characters kept).
void SetItemText(HWND dialog, int item, const char* text);
// The stored text, "" when the item was never set.
const char* ItemText(HWND dialog, int item);
void ClearItems();

}  // namespace korvat::platform
