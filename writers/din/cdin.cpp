// The DIN/ISO program writer: opening and closing, block output, rapid and feed moves, feed and
// speed words. Arcs and rotary engraving are in cdin_arcs.cpp, tool change, spindle and the
// machine functions in cdin_tools.cpp.
#include "writers/din/cdin.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "channel/cx268io.h"

using namespace korvat::writer;

namespace {

// Copies a settings text field (which may lack its terminator) into out, or fallback when empty.
void KopiereText(char* out, size_t size, const char* field, size_t fieldSize,
                 const char* fallback) {
    size_t n = strnlen(field, fieldSize);
    if (n == 0) {
        Formatiere(out, size, "%s", fallback);
        return;
    }
    if (n >= size) n = size - 1;
    std::memcpy(out, field, n);
    out[n] = '\0';
}

bool Verschieden(double a, double b) { return std::fabs(a - b) >= 0.001; }

const MaschEinstellung kKeineEinstellung{};

}  // namespace

const MaschEinstellung& CDIN::E() const {
    return settings_ != nullptr ? *settings_ : kKeineEinstellung;
}

// ---- Common writer calls ------------------------------------------------------------------

int CDIN::Init(InitStruct*, int, int32_t) { return 0; }
void CDIN::InitEinheit(int, int, int, char, float, float, float, float, int32_t) {}
void CDIN::MZuordnung() {}
void CDIN::SetzeWzkTast(const char*) {}

short CDIN::Open(short portWanted, const MaschEinstellung* settings, short geraeteart,
                 const char* basePath, int* openedBefore, const char* programName) {
    int openedLocal = 0;
    if (openedBefore == nullptr) openedBefore = &openedLocal;
    if (settings == nullptr) {
        // Nothing is opened; the switches go off so that later calls write nothing.
        settings_ = nullptr;
        KanalOffen = 0;
        Eilgangausgabe = Wechselausgabe = Spindelausgabe = 0;
        SetzeFehler(1005, 0, 0, "CDIN::Open: no machine settings given", "");
        *openedBefore = 1;
        return 1;
    }
    settings_ = settings;

    const char defaults[5] = {'X', 'Y', 'Z', 'A', 'B'};
    for (int i = 0; i < 5; ++i) Adresse[i] = defaults[i];
    for (int i = 0; i < 4; ++i) {
        if (settings->Achse[i].Adresse != 0) Adresse[i] = settings->Achse[i].Adresse;
    }
    const char centres[3] = {'I', 'J', 'K'};
    for (int i = 0; i < 3; ++i) {
        char c = settings->Achse[i].MittelpunktAdresse;
        MittelpunktAdresse[i] = c != 0 ? c : centres[i];
    }

    Geraeteart = geraeteart;
    Optionen = settings->Optionen;

    const char* quote = settings->MaschTyp == 19 ? "\"" : nullptr;
    KopiereText(KommentarAuf, sizeof KommentarAuf, settings->KommentarAuf,
                sizeof settings->KommentarAuf, quote ? quote : "(");
    KopiereText(KommentarZu, sizeof KommentarZu, settings->KommentarZu,
                sizeof settings->KommentarZu, quote ? quote : ")");

    Dialekt1314 = settings->MaschTyp == 13 || settings->MaschTyp == 14;
    Dialekt15 = settings->MaschTyp == 15;
    Dialekt19 = settings->MaschTyp == 19;
    Dialekt20 = settings->MaschTyp == 20;

    MassstabX = settings->Massstab[0];
    if (std::fabs(MassstabX) <= 0.001) {
        MassstabX = 1.0;
        MassstabY = 1.0;
    } else {
        MassstabY = settings->Massstab[1];
        if (std::fabs(MassstabY) <= 0.001) MassstabY = 1.0;
    }
    MassstabZ = settings->Massstab[2];
    if (std::fabs(MassstabZ) <= 0.001) MassstabZ = MassstabX;

    WechselMCode2 = settings->WechselMCode2;
    WechselMCode = settings->WechselMCode < 1 ? 6 : settings->WechselMCode;

    ErsteNummer = ErsteSatznummer(settings->ErsteSatznummer);
    LetzteNummer = LetzteSatznummer(settings->LetzteSatznummer);
    Satznummer = ErsteNummer;

    Drehzahlausgabe = settings->Drehzahlausgabe >= 0;
    Vorschubausgabe = settings->Vorschubausgabe >= 0;
    Spindelausgabe = settings->Spindelausgabe >= 0;
    Eilgangausgabe = settings->Eilgangausgabe >= 0;
    Wechselausgabe = settings->Wechselausgabe >= 0;
    MaxNachkommastellen = korvat::writer::MaxNachkommastellen(settings->MaxNachkommastellen);
    Nachkommastellen =
        korvat::writer::Nachkommastellen(settings->Nachkommastellen, settings->MaxNachkommastellen);
    Anfahrlogik = settings->Anfahrlogik > 0;
    Eintauchvorschub = settings->Eintauchvorschub >= 0;

    ZahlFormat(FormatX, sizeof FormatX, Nachkommastellen);
    ZahlFormat(FormatY, sizeof FormatY, Nachkommastellen);
    ZahlFormat(FormatZ, sizeof FormatZ, Nachkommastellen);
    ZahlFormat(FormatA, sizeof FormatA, Nachkommastellen + 2);
    ZahlFormat(FormatB, sizeof FormatB, Nachkommastellen + 2);
    Arbeitsformat[0] = '\0';
    ZahlformateLesen();

    // The writer's state after Open.
    Programmname = programName;
    KanalOffen = 0;
    LetzterVorschub = -1.0f;
    Vorschub = 100.0f;
    VorschubAnstehend = 0;
    VorschubExplizit = 0;
    LetzterSatzEilgang = 0;
    LetztesGWort = -1;
    BogenFlag = 0;
    LetzteDrehzahl = -1;
    DrehzahlAnstehend = 0;
    OffsetX = OffsetY = 0.0;
    LetztesX = LetztesY = -10000000.0;
    LetztesZ = 1000.0;
    Satz[0] = '\0';
    Abfragezaehler = 10;
    BewegungGeschrieben = 0;
    Escape1 = Escape2 = 0;
    ErsterWechsel = 0;
    AnstehenderPlatz = -1;
    Werkzeugtext[0] = '\0';
    ErstePosInfo = 1;
    Rundachse = 0;
    ErsetzteAchse = 'X';
    RundachsBuchstabe = Adresse[3];
    Radius = 0.0f;
    TeilkP = 1.0f;
    TeilkQ = 1000.0f;
    RundNachkommastellen = 3;
    FreieAchseMarke = 0;
    Richtungsueberwachung = 0;
    Richtung = 0;
    UeberwachungX = UeberwachungY = 0;
    Wendel[0] = '\0';
    if (Optionen & 8192) MassstabZ = -1.0;

    int result = cx268io.popen(1, portWanted, settings, basePath, openedBefore, geraeteart);
    if (result == 0) {
        KanalOffen = 1;
        cx268io.SetzeTimeout(1, 100000);
        char line[312];
        if (Optionen & 4) {
            const char* name = programName != nullptr ? programName : "";
            bool ok = name[0] != '\0' ? Formatiere(line, sizeof line, "%%%s", name)
                                      : Formatiere(line, sizeof line, "%%100");
            if (ok) {
                cx268io.poutstrln(line);
            } else {
                Fehler(kFehlerSatzZuLang, "CDIN::Open: program name longer than a line");
            }
        }
        if ((Optionen & 16384) && basePath != nullptr) {
            // The file name part: no folder, no extension.
            const char* name = basePath;
            for (const char* p = basePath; *p; ++p) {
                if (*p == '/' || *p == '\\') name = p + 1;
            }
            const char* dot = std::strrchr(name, '.');
            int length = static_cast<int>(dot != nullptr ? dot - name : std::strlen(name));
            if (Formatiere(line, sizeof line, "%%%.*s G71", length, name)) {
                cx268io.poutstrln(line);
            } else {
                Fehler(kFehlerSatzZuLang, "CDIN::Open: file name longer than a line");
            }
        }
    }
    *openedBefore = 1;
    return static_cast<short>(result);
}

int CDIN::Close(int closePort, int closeFile) {
    if (Dialekt1314 && Rundachse >= 2) {
        Block("G115");
        Rundachse = 1;
    }
    if (Optionen & 16384) Block("M30");
    if (Dialekt19) cx268io.poutstr("\x04");
    cx268io.pclose(closePort, closeFile);
    KanalOffen = 0;
    return 0;
}

// ---- Block building and output ------------------------------------------------------------

void CDIN::Fehler(int code, const char* text) {
    SetzeFehler(code, 0, 0, text, "");
    cx268io.psfehler(code, 0, 0, FehlerText1, "", 0.0f, 0.0f, 0.0f);
}

bool CDIN::Endlich(const char* member, std::initializer_list<double> values) {
    if (korvat::writer::Endlich(values)) return true;
    char text[256];
    Formatiere(text, sizeof text, "CDIN::%s: a coordinate is not a finite number; block refused",
               member);
    for (double v : values) {
        if (!std::isfinite(v)) {
            Anhaengen(text, sizeof text, " (%f)", v);
            break;
        }
    }
    Fehler(kFehlerZahlUngueltig, text);
    return false;
}

bool CDIN::SatzAnhaengenV(const char* format, va_list args) {
    size_t used = strnlen(Satz, sizeof Satz);
    bool ok = used < sizeof Satz && FormatiereV(Satz + used, sizeof Satz - used, format, args);
    if (!ok) {
        // Refused rather than cut: a cut coordinate would send the machine somewhere else.
        char text[256];
        Formatiere(text, sizeof text, "CDIN: block longer than %d characters refused: %s",
                   static_cast<int>(sizeof Satz - 1), Satz);
        Satz[0] = '\0';
        Fehler(kFehlerSatzZuLang, text);
    }
    return ok;
}

bool CDIN::SatzSetzen(const char* format, ...) {
    Satz[0] = '\0';
    va_list args;
    va_start(args, format);
    bool ok = SatzAnhaengenV(format, args);
    va_end(args);
    return ok;
}

bool CDIN::SatzAnhaengen(const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool ok = SatzAnhaengenV(format, args);
    va_end(args);
    return ok;
}

void CDIN::Block(const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool ok = FormatiereV(Satz, sizeof Satz, format, args);
    va_end(args);
    if (!ok) {
        Satz[0] = '\0';
        Fehler(kFehlerSatzZuLang, "CDIN: block longer than 127 characters refused");
        return;
    }
    Dateiausgabe();
}

bool CDIN::Koordinaten(const char* gwort, std::initializer_list<Achswert> axes,
                       const char* suffix) {
    Satz[0] = '\0';
    for (const Achswert& a : axes) {
        if (!std::isfinite(a.value)) {
            char text[256];
            Formatiere(text, sizeof text,
                       "CDIN: %c=%f is not a finite number; block \"%s...\" refused", a.letter,
                       a.value, gwort);
            Fehler(kFehlerZahlUngueltig, text);
            return false;
        }
    }
    // Each number straight into the block, in the format read at Open.
    Satzbau satz(Satz, sizeof Satz);
    satz.Text(gwort);
    bool first = true;
    for (const Achswert& a : axes) {
        if (!first) satz.Zeichen(' ');
        satz.Zeichen(a.letter).Zahl(a.value, a.format);
        first = false;
    }
    satz.Text(suffix);
    if (!satz.ok()) {
        // Refused rather than cut: a cut coordinate would send the machine somewhere else.
        char text[256];
        Formatiere(text, sizeof text, "CDIN: block longer than %d characters refused: %s",
                   static_cast<int>(sizeof Satz - 1), Satz);
        Satz[0] = '\0';
        Fehler(kFehlerSatzZuLang, text);
        return false;
    }
    return true;
}

void CDIN::ZahlformateLesen() {
    // Formats made by ZahlFormat always read; a damaged one falls back to three decimals.
    const char* formats[5] = {FormatX, FormatY, FormatZ, FormatA, FormatB};
    Zahlformat* zahlen[5] = {&ZahlX, &ZahlY, &ZahlZ, &ZahlA, &ZahlB};
    for (int i = 0; i < 5; ++i) {
        if (!LiesZahlformat(formats[i], zahlen[i])) *zahlen[i] = Zahlformat{};
    }
}

const char* CDIN::GWort(int word) {
    static const char* const kWords[4] = {"G0 ", "G1 ", "G2 ", "G3 "};
    bool modal = E().GModal == 'z';
    const char* result = (modal && LetztesGWort == word) ? "" : kWords[word & 3];
    LetztesGWort = static_cast<int16_t>(word);
    return result;
}

void CDIN::Zeile(const char* text, size_t length, bool number) {
    if (!number) {
        cx268io.poutzeile(text, length);
        return;
    }
    char line[312];
    Satzbau zeile(line, sizeof line);
    zeile.Zeichen('N').Ganzzahl(Satznummer, {-1, 1}).Zeichen(' ').Text(text, length);
    if (!zeile.ok()) {
        Fehler(kFehlerSatzZuLang, "CDIN: numbered line longer than 309 characters refused");
        return;
    }
    cx268io.poutzeile(line, zeile.size());
    Satznummer = NaechsteSatznummer(Satznummer, ErsteNummer, LetzteNummer);
}

void CDIN::Dateiausgabe() {
    if (Satz[0] == '\0') return;
    Zeile(Satz, strnlen(Satz, sizeof Satz), (Optionen & 512) != 0);
    if (DrehzahlAnstehend && Drehzahlausgabe) {
        char line[64];
        if (Optionen & 8192) {
            Formatiere(line, sizeof line, "G97 S%ld", static_cast<long>(Drehzahl));
            cx268io.poutstrln(line);
            DrehzahlAnstehend = 0;
        } else if (Optionen & 32768) {
            Formatiere(line, sizeof line, "G97 S%ld", static_cast<long>(Drehzahl));
            Zeile(line, std::strlen(line), true);
            DrehzahlAnstehend = 0;
        }
    }
    Satz[0] = '\0';
}

void CDIN::SStringln(short numbered, const char* text) {
    if (text == nullptr) text = "";
    char line[312];
    bool ok = (numbered && (Optionen & 512))
                  ? Formatiere(line, sizeof line, "N%-8ld%s", static_cast<long>(Satznummer), text)
                  : Formatiere(line, sizeof line, "%s", text);
    if (!ok) {
        Fehler(kFehlerSatzZuLang, "CDIN::SStringln: line longer than 309 characters refused");
        return;
    }
    cx268io.poutstrln(line);
    Satznummer = NaechsteSatznummer(Satznummer, ErsteNummer, LetzteNummer);
}

int32_t CDIN::GebeDINSatznummer() { return Satznummer; }

void CDIN::Stop() { Block("M0"); }

float CDIN::ZBegrenz(float z) { return z < ZGrenze ? z : static_cast<float>(ZGrenze); }

void CDIN::SetzeZBegrenzung(double limit) { ZGrenze = limit; }

void CDIN::FBStInfo(BSTINFO* info) {
    FuelleBStInfo(info, {100, 0, 999, 0, 999}, {100, 0, 10, 0, 0, 60}, "ABCUV");
}

void CDIN::ToolCheck() { cx268io.psfehler(kFehlerToolCheck, 0, 0, "", "", 0.0f, 0.0f, 0.0f); }

// ---- Feed and speed words -----------------------------------------------------------------

void CDIN::SetzeVorschuebe(float xy, float z) {
    if (!Endlich("SetzeVorschuebe", {xy, z})) return;
    VorschubXY = xy;
    VorschubZ = z;
    // The XY feed becomes the feed of the next feed move, so that the first G1 block carries it.
    SetzeVorschub(xy);
}

void CDIN::SetzeVorschub(float f) {
    if (!Endlich("SetzeVorschub", {f})) return;
    Vorschub = f;
    VorschubAnstehend = 1;
}

void CDIN::SetzeVorschubDIN(float f) {
    if (!Endlich("SetzeVorschubDIN", {f})) return;
    Vorschub = f;
    VorschubExplizit = 1;
}

void CDIN::AddVorschub() {
    if (!VorschubAnstehend || !Vorschubausgabe) return;
    if (VorschubGeaendert(Vorschub, LetzterVorschub)) {
        if (Optionen & 8192) {
            SatzAnhaengen(" F%1.2f", Vorschub * 1000 / 60);
        } else if (E().VorschubFormat != 0) {
            SatzAnhaengen(" F%1.3f", Vorschub);
        } else {
            SatzAnhaengen(" F%1d", static_cast<int>(Ganzzahl(Vorschub)));
        }
        LetzterVorschub = Vorschub;
    }
    VorschubAnstehend = 0;
}

void CDIN::AddDrehzahl() {
    if (!DrehzahlAnstehend || Drehzahl == LetzteDrehzahl || (Optionen & 8192) || !Drehzahlausgabe) {
        return;
    }
    const char* plus = (Optionen & 1024) ? "+" : "";
    long speed = Drehzahl;
    if (!(Optionen & 128)) {
        SatzAnhaengen(" S%s%ld", plus, speed);
    } else if (Dialekt1314 && !BewegungGeschrieben) {
        SatzAnhaengen("G0  E%s%ld", plus, speed);
    } else {
        SatzAnhaengen(" E%s%ld", plus, speed);
    }
    LetzteDrehzahl = Drehzahl;
    DrehzahlAnstehend = 0;
}

// ---- Rapid moves --------------------------------------------------------------------------

void CDIN::VorEilgang(bool freeAxis, bool direction, double x, double y) {
    if (freeAxis) FreieAchse(0.0);
    if (direction) M15M16Ausgabe(x, y);
    if ((Optionen & 8192) && !LetzterSatzEilgang) Block("M22");
}

void CDIN::NachEilgang() {
    LetzterSatzEilgang = 1;
    BewegungGeschrieben = 1;
    tastaturabfrage();
}

void CDIN::EilgangXY(double x, double y, bool offsets, bool speedWord) {
    if (!Koordinaten(GWort(0), {{Adresse[0], ZahlX, WertX(x, offsets)},
                                {Adresse[1], ZahlY, WertY(y, offsets)}})) {
        return;
    }
    if (speedWord) AddDrehzahl();
    Dateiausgabe();
    LetztesX = x;
    LetztesY = y;
}

void CDIN::EilgangZ(double z, bool alwaysWord, bool speedWord) {
    const char* word = GWort(0);
    if (alwaysWord) word = "G0 ";
    if (!Koordinaten(word, {{Adresse[2], ZahlZ, WertZ(z)}})) return;
    if (speedWord) AddDrehzahl();
    Dateiausgabe();
    LetztesZ = z;
}

void CDIN::EilgangXYZ(double x, double y, double z, bool offsets, bool speedWord) {
    if (!Koordinaten(GWort(0), {{Adresse[0], ZahlX, WertX(x, offsets)},
                                {Adresse[1], ZahlY, WertY(y, offsets)},
                                {Adresse[2], ZahlZ, WertZ(z)}})) {
        return;
    }
    if (speedWord) AddDrehzahl();
    Dateiausgabe();
    LetztesX = x;
    LetztesY = y;
    LetztesZ = z;
}

void CDIN::Move(double x, double y) {
    if (!Eilgangausgabe || !Endlich("Move", {x, y})) return;
    VorEilgang(true, true, x, y);
    EilgangXY(x, y, true, E().DrehzahlImEilgang == 1);
    NachEilgang();
}

void CDIN::Move_abs(double x, double y) {
    if (!Eilgangausgabe || !Endlich("Move_abs", {x, y})) return;
    VorEilgang(true, true, x, y);
    EilgangXY(x, y, false, false);
    NachEilgang();
}

void CDIN::Eilgang3(const char* member, double x, double y, double z, bool offsets,
                    bool speedWord) {
    if (!Eilgangausgabe || !Endlich(member, {x, y, z})) return;
    short withOffsets = offsets ? 1 : 0;
    if (Optionen & 32768) {
        if (Verschieden(x, LetztesX) || Verschieden(y, LetztesY)) {
            Move3_mit_Anfahrlogik(x, y, z, withOffsets);
        } else {
            MoveZ(z);
        }
        return;
    }
    if (Anfahrlogik) {
        Move3_mit_Anfahrlogik(x, y, z, withOffsets);
        return;
    }
    VorEilgang(true, true, x, y);
    EilgangXYZ(x, y, z, offsets, speedWord);
    NachEilgang();
}

void CDIN::Move3(double x, double y, double z) { Eilgang3("Move3", x, y, z, true, false); }

void CDIN::Move3_abs(double x, double y, double z) {
    Eilgang3("Move3_abs", x, y, z, false, E().DrehzahlImEilgang == 1);
}

void CDIN::Move3_mit_Anfahrlogik(double x, double y, double z, short withOffsets) {
    if (!Eilgangausgabe || !Endlich("Move3_mit_Anfahrlogik", {x, y, z})) return;
    bool offsets = withOffsets != 0;
    bool speedWord = E().DrehzahlImEilgang == 1;
    VorEilgang(true, true, x, y);
    if ((Verschieden(x, LetztesX) || Verschieden(y, LetztesY)) && Verschieden(z, LetztesZ)) {
        // Going down: reach the place above the work first, then plunge. Going up: leave the
        // work first, then travel.
        if (z <= LetztesZ) {
            EilgangXY(x, y, offsets, speedWord);
            EilgangZ(z, false, speedWord);
        } else {
            EilgangZ(z, false, speedWord);
            EilgangXY(x, y, offsets, speedWord);
        }
    } else {
        EilgangXYZ(x, y, z, offsets, speedWord);
    }
    NachEilgang();
}

void CDIN::MoveZ(double z) {
    if (!Eilgangausgabe || !Endlich("MoveZ", {z})) return;
    VorEilgang(false, false, 0.0, 0.0);
    EilgangZ(z, true, true);
    NachEilgang();
}

void CDIN::Movez_abs(double z) {
    if (!Eilgangausgabe || !Endlich("Movez_abs", {z})) return;
    VorEilgang(true, false, 0.0, 0.0);
    EilgangZ(z, false, false);
    NachEilgang();
}

// ---- Feed moves ---------------------------------------------------------------------------

void CDIN::Draw(double x, double y) {
    if (!Endlich("Draw", {x, y})) return;
    M15M16Ausgabe(x, y);
    if ((Optionen & 8192) && LetzterSatzEilgang) Block("M12");
    if (Koordinaten(GWort(1),
                    {{Adresse[0], ZahlX, WertX(x, true)}, {Adresse[1], ZahlY, WertY(y, true)}})) {
        AddVorschub();
        AddDrehzahl();
        Dateiausgabe();
    }
    LetztesX = x;
    LetztesY = y;
    LetzterSatzEilgang = 0;
    tastaturabfrage();
}

void CDIN::Draw3(double x, double y, double z) {
    if (!Endlich("Draw3", {x, y, z})) return;
    M15M16Ausgabe(x, y);
    if ((Optionen & 8192) && LetzterSatzEilgang) Block("M12");

    bool plunge = false;
    if (!(Optionen & 32768)) {
        if ((z < LetztesZ || (Optionen & 8192)) && !VorschubExplizit && Eintauchvorschub) {
            // Plunging: the feed along the move that makes Z advance at the Z feed, but never
            // faster than the XY feed.
            double dz = std::fabs(LetztesZ - z);
            float feed = VorschubXY;
            if (dz > 0.01) {
                double dx = x - LetztesX, dy = y - LetztesY;
                double length = std::sqrt(dx * dx + dy * dy + dz * dz);
                feed = static_cast<float>(length / dz * VorschubZ);
                if (feed > VorschubXY) feed = VorschubXY;
            }
            SetzeVorschub(feed);
            plunge = true;
        }
    } else {
        bool down = !Verschieden(x, LetztesX) && !Verschieden(y, LetztesY) && z < LetztesZ;
        SetzeVorschub(down ? VorschubZ : VorschubXY);
    }

    if (Koordinaten(GWort(1), {{Adresse[0], ZahlX, WertX(x, true)},
                               {Adresse[1], ZahlY, WertY(y, true)},
                               {Adresse[2], ZahlZ, WertZ(z)}})) {
        AddVorschub();
        AddDrehzahl();
        Dateiausgabe();
    }
    if (plunge) SetzeVorschub(VorschubXY);
    LetztesX = x;
    LetztesY = y;
    LetztesZ = z;
    LetzterSatzEilgang = 0;
    tastaturabfrage();
}
