// Operator texts by number, and the information box and text input of the host's dialog library.
//
// The texts are our own German wording, in code page 1252, because every box and display line the
// library shows is built from them; an English table with the same numbers stands beside it for
// operators who do not read German. A site can replace any of them with a text file named by
// KORVAT_TEXTS: one "number = text" a line.
#include "common/fxtexte.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "common/cp1252.h"
#include "common/grundfkt.h"
#include "platform/dialogs.h"

namespace {

struct Text {
    int16_t nummer;
    const char* text;
};

// Sorted by number, so a lookup is a binary search.
constexpr Text kTexte[] = {
    {555, "Das Element an der Eintauchstelle ist weder Linie noch Bogen"},
    {1001,
     "Das Ger\xe4t kann nicht ge\xf6"
     "ffnet werden"},
    {1005, "Die Ausgabedatei kann nicht angelegt werden"},
    {1007, "Fehler beim Schreiben der Ausgabedatei (Datentr\xe4ger voll?)"},
    {1011,
     "\xdc"
     "bertragungsfehler: Rahmenfehler an der Schnittstelle"},
    {1013,
     "\xdc"
     "bertragungsfehler: Zeichenverlust an der Schnittstelle (\xdc"
     "berlauf)"},
    {1014,
     "\xdc"
     "bertragungsfehler: Empfangspuffer \xfc"
     "bergelaufen"},
    {1015,
     "\xdc"
     "bertragungsfehler: Parit\xe4tsfehler"},
    {1016,
     "\xdc"
     "bertragungsfehler an der Schnittstelle"},
    {1017, "Die Antwort der Maschine ist zu lang"},
    {1018,
     "Keine Antwort von der Maschine (Zeit\xfc"
     "berschreitung)"},
    {1019,
     "Die Maschine nimmt keine Daten an (Zeit\xfc"
     "berschreitung)"},
    {1020,
     "Der Text ist zu lang f\xfc"
     "r den Zeilenpuffer"},
    {1021,
     "Die Steuerung meldet sich nicht (Zeit\xfc"
     "berschreitung beim Start)"},
    {1022, "Die Verbindung zur Maschine ist getrennt (die Schnittstelle hat aufgelegt)"},
    {1023,
     "Die Schnittstelle ist belegt: ein anderes Programm hat sie ge\xf6"
     "ffnet"},
    {1035, "Die Startdatei konnte nicht an die Maschine gesendet werden"},
    {1037, "Spindelausgabe: Bereich der Ausgabewerte ung\xfcltig"},
    {1038,
     "Die Drehzahl liegt au\xdf"
     "erhalb des Spindelbereichs"},
    {2101, "Werkzeugkontrolle ist bei dieser Maschine nicht m\xf6glich"},
    {2102,
     "Der Satz ist zu lang f\xfc"
     "r den Satzpuffer"},
    {2103,
     "Ung\xfc"
     "ltiger Zahlenwert (keine Zahl oder unendlich)"},
    {2111,
     "Wert au\xdf"
     "erhalb des Bereichs der Maschine"},
    {3110,
     "Die Spindeltabelle kann nicht ge\xf6"
     "ffnet werden"},
    {3111, "Die Spindeltabelle fehlt oder ist unvollst\xe4ndig"},
    {3112, "Spindeltabelle: Drehzahl kleiner als in der Zeile davor"},
    {3113, "Spindeltabelle: Stufennummer passt nicht zur Zeile"},
    {3114, "Drehzahl kleiner als die kleinste Stufe der Spindeltabelle"},
    {3115,
     "Drehzahl gr\xf6\xdf"
     "er als die gr\xf6\xdfte Stufe der Spindeltabelle"},
    {3166, "Unbekannte Art des Werkzeugwechsels"},
    {3900, "Freifahren"},
    {3901, "Sensor"},
    {3902, "Zustand"},
    {3903, "Wartezeit"},
    {3904, "Verweilzeit"},
    {3905, "Direktbefehl"},
    {3906, "Werkzeugwechsel"},
    {3907, "Neue Kontur"},
    {3908, "Konturende"},
    {3909,
     "Neues Werkst\xfc"
     "ck"},
    {3910,
     "Werkst\xfc"
     "ckende"},
    {3911,
     "Einzelschritt: Maschine meldet St\xf6rung - Return = weiter, A = Automatik, Esc = Abbruch"},
    {3912,
     "Einzelschritt: Return = n\xe4"
     "chster Satz, A = Automatik, Esc = Abbruch"},
    {3913, "Einzelschritt: Satz wird ausgef\xfchrt"},
    {3914, "Automatik l\xe4uft - S = Einzelschritt, Esc = Abbruch"},
    {3915, "Automatik: Maschine meldet St\xf6rung"},
    {4057,
     "Die Elementdatei kann nicht ge\xf6"
     "ffnet werden"},
    {4058, "Die Ausgabedatei f\xfcr das Anfahren kann nicht angelegt werden"},
    {4060, "Fehler beim Lesen der Elementdatei"},
    {4061, "Fehler beim Schreiben der Elementdatei"},
    {4068, "Fehler beim Positionieren in der Elementdatei"},
    {4075, "Die Elementdatei kann nicht gel\xf6scht werden"},
    {4130, "Die Kontur eignet sich nicht zum schr\xe4gen Eintauchen"},
    {4131, "Die Kontur ist nicht geschlossen"},
    {4132, "Die Kontur hat keine Ausdehnung"},
    {6912, "DXF-Datei speichern"},
    {6913, "Dateiname (ohne Endung):"},
    {7018, "Die Maschine antwortet nicht."},
    {7019, "Die Maschine nimmt keine Daten mehr an."},
    {7040, "Weiter warten? (Nein bricht die Ausgabe ab)"},
    {7045, "Der Speicher der Maschine ist bald voll. Ausgabe fortsetzen?"},
    {8236, "Werkzeugwechsel: Werkzeug Nr."},
    {8237, "Programmhalt - weiter mit Start"},
    {8260,
     "Bereichs\xfc"
     "berschreitung"},
    {8308,
     "Zielpunkt au\xdf"
     "erhalb des Werkst\xfc"
     "cks"},
    {8309,
     "Zielpunkt au\xdf"
     "erhalb des Verfahrbereichs der Maschine"},
    {8310, "Z unter der unteren Grenze der Maschine"},
    {8311,
     "Z \xfc"
     "ber der oberen Grenze der Maschine"},
    {9122, "Zusammensetzung des Z-Wertes:"},
    {9123, "Rest (ohne die Anteile unten):"},
    {9124, "Z-Anteil 2:"},
    {9125, "Z-Anteil 3:"},
    {9126, "Z-Anteil 4:"},
    {9127, "Z-Anteil 1 (nicht abgezogen):"},
    {9128, "Z-Anteil 5:"},
    {9129, "Z-Anteil 6:"},
    {9130, "Z-Anteil 7:"},
};

// The same texts in English, for operators who do not read German: the same numbers, in the
// same order.
constexpr Text kTexteEnglisch[] = {
    {555, "The element at the plunge point is neither a line nor an arc"},
    {1001, "The device cannot be opened"},
    {1005, "The output file cannot be created"},
    {1007, "Error writing the output file (disk full?)"},
    {1011, "Transmission error: framing error at the port"},
    {1013, "Transmission error: characters lost at the port (overrun)"},
    {1014, "Transmission error: receive buffer overflow"},
    {1015, "Transmission error: parity error"},
    {1016, "Transmission error at the port"},
    {1017, "The machine's answer is too long"},
    {1018, "No answer from the machine (time-out)"},
    {1019, "The machine does not take data (time-out)"},
    {1020, "The text is too long for the line buffer"},
    {1021, "The controller does not answer (time-out at start)"},
    {1022, "The line to the machine is gone (the port hung up)"},
    {1023, "The port is busy: another program has it open"},
    {1035, "The start-up file could not be sent to the machine"},
    {1037, "Spindle output: range of output values not valid"},
    {1038, "The speed is outside the spindle's range"},
    {2101, "Tool control is not possible on this machine"},
    {2102, "The block is too long for the block buffer"},
    {2103, "Value not valid (not a number or infinite)"},
    {2111, "Value outside the machine's range"},
    {3110, "The spindle table cannot be opened"},
    {3111, "The spindle table is missing or incomplete"},
    {3112, "Spindle table: speed lower than in the line before"},
    {3113, "Spindle table: step number does not match the line"},
    {3114, "Speed lower than the spindle table's lowest step"},
    {3115, "Speed higher than the spindle table's highest step"},
    {3166, "Unknown kind of tool change"},
    {3900, "Retract"},
    {3901, "Sensor"},
    {3902, "Status"},
    {3903, "Waiting time"},
    {3904, "Dwell time"},
    {3905, "Direct command"},
    {3906, "Tool change"},
    {3907, "New contour"},
    {3908, "End of contour"},
    {3909, "New workpiece"},
    {3910, "End of workpiece"},
    {3911, "Single step: machine reports a fault - Return = go on, A = automatic, Esc = abort"},
    {3912, "Single step: Return = next block, A = automatic, Esc = abort"},
    {3913, "Single step: block is being executed"},
    {3914, "Automatic running - S = single step, Esc = abort"},
    {3915, "Automatic: machine reports a fault"},
    {4057, "The element file cannot be opened"},
    {4058, "The output file for the approach cannot be created"},
    {4060, "Error reading the element file"},
    {4061, "Error writing the element file"},
    {4068, "Error positioning in the element file"},
    {4075, "The element file cannot be deleted"},
    {4130, "The contour is not suited to a ramped plunge"},
    {4131, "The contour is not closed"},
    {4132, "The contour has no extent"},
    {6912, "Save DXF file"},
    {6913, "File name (without extension):"},
    {7018, "The machine does not answer."},
    {7019, "The machine no longer takes data."},
    {7040, "Keep waiting? (No aborts the output)"},
    {7045, "The machine's memory is nearly full. Go on with the output?"},
    {8236, "Tool change: tool no."},
    {8237, "Program stop - go on with Start"},
    {8260, "Range exceeded"},
    {8308, "Target point outside the workpiece"},
    {8309, "Target point outside the machine's travel"},
    {8310, "Z below the machine's lower limit"},
    {8311, "Z above the machine's upper limit"},
    {9122, "Composition of the Z value:"},
    {9123, "Rest (without the parts below):"},
    {9124, "Z part 2:"},
    {9125, "Z part 3:"},
    {9126, "Z part 4:"},
    {9127, "Z part 1 (not subtracted):"},
    {9128, "Z part 5:"},
    {9129, "Z part 6:"},
    {9130, "Z part 7:"},
};

template <size_t N>
constexpr bool Sortiert(const Text (&t)[N]) {
    for (size_t i = 1; i < N; ++i)
        if (t[i - 1].nummer >= t[i].nummer) return false;
    return true;
}
constexpr bool GleicheNummern() {
    if (std::size(kTexte) != std::size(kTexteEnglisch)) return false;
    for (size_t i = 0; i < std::size(kTexte); ++i)
        if (kTexte[i].nummer != kTexteEnglisch[i].nummer) return false;
    return true;
}
static_assert(Sortiert(kTexte) && Sortiert(kTexteEnglisch));
static_assert(GleicheNummern(), "every text needs its English wording and the other way round");

TextSprache gSprache = TextSprache::kDeutsch;

const char* EigenerText(int16_t nummer, TextSprache sprache) {
    const Text* anfang =
        sprache == TextSprache::kEnglisch ? std::begin(kTexteEnglisch) : std::begin(kTexte);
    const Text* ende = anfang + std::size(kTexte);
    auto it = std::lower_bound(anfang, ende, nummer,
                               [](const Text& t, int16_t n) { return t.nummer < n; });
    return it != ende && it->nummer == nummer ? it->text : nullptr;
}

// Texts of the override file, kept in one fixed pool: each text sits zero-terminated at its
// offset. A later line for the same number wins.
constexpr int kMaxErsatz = 1024;
constexpr int kPoolGroesse = 64 * 1024;
struct Ersatz {
    int16_t nummer;
    int32_t offset;
};
Ersatz gErsatz[kMaxErsatz];
int gErsatzAnzahl;
char gPool[kPoolGroesse];
int gPoolBelegt;
char gMeldung[512];
bool gUmgebungGelesen;  // KORVAT_TEXTS has been looked at

const char* ErsatzText(int16_t nummer) {
    for (int i = gErsatzAnzahl - 1; i >= 0; --i)
        if (gErsatz[i].nummer == nummer) return gPool + gErsatz[i].offset;
    return nullptr;
}

void LeseUmgebungEinmal() {
    if (gUmgebungGelesen) return;
    gUmgebungGelesen = true;
    const char* pfad = std::getenv("KORVAT_TEXTS");
    if (pfad == nullptr || *pfad == '\0') return;
    // No caller is there to see a problem with a file named in the environment, so it goes to
    // stderr; the built-in texts stand in for every line that could not be taken over.
    if (LadeTextDatei(pfad) < 0 || gMeldung[0] != '\0')
        std::fprintf(stderr, "korvat: %s\n", gMeldung);
}

// An override file may be written in UTF-8 (as editors here do) or in code page 1252 (as the
// host's own files are). A text that is valid UTF-8 with multi-byte characters is converted in
// place; anything else is taken as code page 1252 bytes already. Returns the new length.
int Utf8NachCp1252(char* text, int laenge) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    bool mehrbyte = false;
    for (int i = 0; i < laenge;) {
        int folge = s[i] < 0x80             ? 0
                    : (s[i] & 0xE0) == 0xC0 ? 1
                    : (s[i] & 0xF0) == 0xE0 ? 2
                    : (s[i] & 0xF8) == 0xF0 ? 3
                                            : -1;
        if (folge < 0 || i + folge > laenge - 1) return laenge;  // broken or cut sequence
        for (int k = 1; k <= folge; ++k)
            if ((s[i + k] & 0xC0) != 0x80) return laenge;
        mehrbyte |= folge > 0;
        i += folge + 1;
    }
    if (!mehrbyte) return laenge;
    int aus = 0;
    for (int i = 0; i < laenge;) {
        uint32_t z = s[i];
        int folge = z < 0x80 ? 0 : z < 0xE0 ? 1 : z < 0xF0 ? 2 : 3;
        if (folge > 0) z &= 0x3Fu >> folge;
        for (int k = 1; k <= folge; ++k) z = (z << 6) | (s[i + k] & 0x3Fu);
        text[aus++] = static_cast<char>(korvat::UnicodeToCp1252(z));
        i += folge + 1;
    }
    text[aus] = '\0';
    return aus;
}

// Turns the escapes \n, \t and \\ into their characters, in place; other backslashes stay.
int Entschluesseln(char* text) {
    int aus = 0;
    for (int i = 0; text[i] != '\0'; ++i) {
        char c = text[i];
        if (c == '\\' && (text[i + 1] == 'n' || text[i + 1] == 't' || text[i + 1] == '\\')) {
            ++i;
            c = text[i] == 'n' ? '\n' : text[i] == 't' ? '\t' : '\\';
        }
        text[aus++] = c;
    }
    text[aus] = '\0';
    return aus;
}

}  // namespace

namespace {

int LadeText(int16_t number, char* buffer, int size, TextSprache sprache) {
    if (buffer == nullptr || size < 1) return 0;
    LeseUmgebungEinmal();
    const char* text = ErsatzText(number);
    if (text == nullptr) text = EigenerText(number, sprache);
    int n;
    if (text != nullptr)
        n = std::snprintf(buffer, static_cast<size_t>(size), "%s", text);
    else
        n = std::snprintf(buffer, static_cast<size_t>(size), "Text %d", number);
    return std::min(n, size - 1);
}

}  // namespace

int LadeRcString(int16_t number, char* buffer, int size) {
    return LadeText(number, buffer, size, gSprache);
}

int LadeProgrammText(int16_t number, char* buffer, int size) {
    return LadeText(number, buffer, size, TextSprache::kDeutsch);
}

bool HatEigenenText(int16_t number) { return EigenerText(number, gSprache) != nullptr; }

void SetzeTextSprache(TextSprache sprache) { gSprache = sprache; }

const char* TextDateiMeldung() { return gMeldung; }

int LadeTextDatei(const char* path) {
    gUmgebungGelesen = true;  // an explicit load replaces what the environment named
    gErsatzAnzahl = 0;
    gPoolBelegt = 0;
    gMeldung[0] = '\0';
    if (path == nullptr || *path == '\0') return 0;

    ZEAW leser;
    if (leser.TOeffne(path) != 0) {
        std::snprintf(gMeldung, sizeof gMeldung, "%s", leser.Meldung());
        return -1;
    }
    int uebersprungen = 0;
    auto problem = [&](const char* was) {
        if (++uebersprungen == 1)
            std::snprintf(gMeldung, sizeof gMeldung, "%s, Zeile %d: %s", path, leser.ZeilenNummer,
                          was);
    };
    for (;;) {
        leser.Fehler = 0;  // a line's own problem has been reported with it
        if (leser.TLeseEOF() || leser.TLeseZeile() != 0) break;
        const char* z = leser.Zeile + std::strspn(leser.Zeile, " \t");
        if (*z == '\0' || *z == ';' || *z == '#') continue;  // blank line or comment
        leser.Beginn(leser.Zeile, path);
        int32_t nummer = leser.WNummer();
        if (leser.Fehler) {
            problem(leser.Abgeschnitten ? "Zeile zu lang" : "Textnummer fehlt oder ist keine Zahl");
            continue;
        }
        if (nummer < INT16_MIN || nummer > INT16_MAX) {
            problem(
                "Textnummer au\xdf"
                "erhalb -32768 bis 32767");
            continue;
        }
        while (leser.Hz(1) == ' ' || leser.Hz(1) == '\t') leser.Inc();
        if (leser.Hz(1) != '=') {
            problem("\"=\" nach der Textnummer fehlt");
            continue;
        }
        leser.Inc();
        const char* anfang = leser.Zeile + leser.Pos;
        anfang += std::strspn(anfang, " \t");
        int laenge = static_cast<int>(std::strlen(anfang));
        while (laenge > 0 && (anfang[laenge - 1] == ' ' || anfang[laenge - 1] == '\t')) --laenge;
        if (gErsatzAnzahl == kMaxErsatz || gPoolBelegt + laenge + 1 > kPoolGroesse) {
            problem("zu viele Texte, der Rest der Datei wird nicht gelesen");
            break;
        }
        char* ziel = gPool + gPoolBelegt;
        std::memcpy(ziel, anfang, static_cast<size_t>(laenge));
        ziel[laenge] = '\0';
        laenge = Entschluesseln(ziel);
        laenge = Utf8NachCp1252(ziel, laenge);
        gErsatz[gErsatzAnzahl++] = {static_cast<int16_t>(nummer), gPoolBelegt};
        gPoolBelegt += laenge + 1;
    }
    if (leser.Fehler && ++uebersprungen == 1) {  // reading failed: the rest of the file is lost
        std::snprintf(gMeldung, sizeof gMeldung, "%s", leser.Meldung());
    }
    if (uebersprungen > 1) {
        size_t l = std::strlen(gMeldung);
        std::snprintf(gMeldung + l, sizeof gMeldung - l, " (und %d weitere Zeilen)",
                      uebersprungen - 1);
    }
    return gErsatzAnzahl;
}

// The dialog templates live in this module; its handle is the address of this marker.
namespace {
const char kModul = 0;
}

HINSTANCE HoleFXTexteModule() { return const_cast<char*>(&kModul); }

int CDialog::ExecDialog(HWND owner, HINSTANCE module, const char* name) {
    // Like the host's dialog kernel, a template that the module does not hold shows nothing.
    if (module != HoleFXTexteModule() || name == nullptr || std::strcmp(name, "DLG_INFOBOX") != 0)
        return -1;
    return Zeige(owner);
}

CInfoBoxDlg::CInfoBoxDlg() : titel_{}, text_{} {}
CInfoBoxDlg::~CInfoBoxDlg() = default;

void CInfoBoxDlg::ParaSetz(const char* title, const char* text, int /*flag*/) {
    std::snprintf(titel_, sizeof titel_, "%s", title ? title : "");
    int n = std::snprintf(text_, sizeof text_, "%s", text ? text : "");
    if (n >= static_cast<int>(sizeof text_)) std::memcpy(text_ + sizeof text_ - 4, "...", 4);
}

int CInfoBoxDlg::Zeige(HWND owner) {
    korvat::platform::Dialogs().InfoBox(owner, titel_, text_);
    return IDOK;
}

int TextInputDialog(HWND owner, const char* title, const char* prompt, char* text, int length) {
    if (text == nullptr || length < 0) return 2;
    int ergebnis = korvat::platform::Dialogs().TextInput(owner, title ? title : "",
                                                         prompt ? prompt : "", text, length);
    // The buffer holds length + 1 bytes; a handler that filled it without a terminator is cut.
    if (std::memchr(text, '\0', static_cast<size_t>(length) + 1) == nullptr) text[length] = '\0';
    return ergebnis == 1 ? 1 : 2;
}
