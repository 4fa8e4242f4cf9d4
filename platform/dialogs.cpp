// The dialog handler in force, the default non-interactive handler, and the dialog item store.
#include "platform/dialogs.h"

#include <cstdio>
#include <cstring>

#include "common/cp1252.h"

namespace korvat::platform {

void DialogHandler::ItemChanged(HWND, int, const char*) {}

namespace {

DefaultDialogHandler defaultHandler;
DialogHandler* handler = nullptr;

// The buttons of a box type, in the order Windows shows them.
int Buttons(unsigned style, int* ids) {
    switch (style & MB_TYPEMASK) {
        case MB_OKCANCEL:
            ids[0] = IDOK, ids[1] = IDCANCEL;
            return 2;
        case MB_ABORTRETRYIGNORE:
            ids[0] = IDABORT, ids[1] = IDRETRY, ids[2] = IDIGNORE;
            return 3;
        case MB_YESNOCANCEL:
            ids[0] = IDYES, ids[1] = IDNO, ids[2] = IDCANCEL;
            return 3;
        case MB_YESNO:
            ids[0] = IDYES, ids[1] = IDNO;
            return 2;
        case MB_RETRYCANCEL:
            ids[0] = IDRETRY, ids[1] = IDCANCEL;
            return 2;
        default:
            ids[0] = IDOK;
            return 1;
    }
}

const char* ButtonName(int id) {
    switch (id) {
        case IDOK:
            return "OK";
        case IDCANCEL:
            return "Cancel";
        case IDABORT:
            return "Abort";
        case IDRETRY:
            return "Retry";
        case IDIGNORE:
            return "Ignore";
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        default:
            return "?";
    }
}

const char* Safe(const char* s) { return s ? s : ""; }

// The library's texts are code page 1252 bytes; a terminal shows UTF-8.
void Show(const char* text) {
    char utf8[3];
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(Safe(text)); *p; ++p)
        std::fwrite(utf8, 1, static_cast<size_t>(Cp1252ToUtf8(*p, utf8)), stderr);
}

// Item store: a fixed table, enough for every dialog the library fills at one time.
constexpr int kItems = 128;
constexpr int kItemText = 256;
struct Item {
    HWND dialog;
    int item;
    bool used;
    char text[kItemText];
};
Item items[kItems];

Item* FindItem(HWND dialog, int item) {
    for (Item& it : items)
        if (it.used && it.dialog == dialog && it.item == item) return &it;
    return nullptr;
}

}  // namespace

int DefaultAnswer(unsigned style) {
    int ids[3];
    int n = Buttons(style, ids);
    int wanted = 0;
    if ((style & MB_DEFMASK) == MB_DEFBUTTON2) wanted = 1;
    if ((style & MB_DEFMASK) == MB_DEFBUTTON3) wanted = 2;
    // A default button the box does not have falls back to the first one, as on Windows.
    return wanted < n ? ids[wanted] : ids[0];
}

int DefaultDialogHandler::MessageBox(HWND, const char* text, const char* caption, unsigned style) {
    int ids[3];
    int n = Buttons(style, ids);
    int answer = DefaultAnswer(style);
    std::fputc('[', stderr);
    Show(caption);
    std::fputs("] ", stderr);
    Show(text);
    std::fputs("\n  [", stderr);
    for (int i = 0; i < n; ++i) std::fprintf(stderr, "%s%s", i ? " / " : "", ButtonName(ids[i]));
    std::fprintf(stderr, "] -> %s\n", ButtonName(answer));
    return answer;
}

void DefaultDialogHandler::InfoBox(HWND, const char* title, const char* text) {
    std::fputc('[', stderr);
    Show(title);
    std::fputs("]\n", stderr);
    Show(text);
    std::fputc('\n', stderr);
}

int DefaultDialogHandler::TextInput(HWND, const char* title, const char* prompt, char* text, int) {
    std::fputc('[', stderr);
    Show(title);
    std::fputs("] ", stderr);
    Show(prompt);
    std::fputs(": ", stderr);
    Show(text);
    std::fputc('\n', stderr);
    return IDOK;
}

void SetDialogHandler(DialogHandler* h) { handler = h; }

DialogHandler& Dialogs() { return handler ? *handler : defaultHandler; }

void SetItemText(HWND dialog, int item, const char* text) {
    Item* it = FindItem(dialog, item);
    if (!it) {
        for (Item& free : items) {
            if (!free.used) {
                it = &free;
                break;
            }
        }
    }
    if (!it) {
        std::fprintf(stderr, "dialog item store full: item %d not kept\n", item);
    } else {
        it->used = true;
        it->dialog = dialog;
        it->item = item;
        std::snprintf(it->text, sizeof it->text, "%s", Safe(text));
    }
    Dialogs().ItemChanged(dialog, item, Safe(text));
}

const char* ItemText(HWND dialog, int item) {
    const Item* it = FindItem(dialog, item);
    return it ? it->text : "";
}

void ClearItems() {
    for (Item& it : items) it.used = false;
}

}  // namespace korvat::platform
