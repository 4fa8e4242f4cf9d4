#include "writers/hdh/chdh.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "channel/cx268io.h"
#include "common/fxtexte.h"

namespace w = korvat::writer;

namespace {

constexpr double kPi = 3.14159265358979323846;

// An axis letter from the settings; 0 leaves the usual letter (a 0 byte would end the block).
char Buchstabe(char setting, char fallback) { return setting != 0 ? setting : fallback; }

// A scale factor from the settings: 0.001 or less in magnitude means 1:1, a negative factor
// mirrors the axis.
double Massstab(float setting) { return std::fabs(setting) <= 0.001f ? 1.0 : setting; }

// A feed in m/min as the whole mm/min the control reads: the product in float, rounded up from
// the half.
long MmProMin(float feed) { return static_cast<long>(static_cast<double>(feed * 1000.0f) + 0.5); }

}  // namespace

int CHDH::Init(InitStruct*, int, int32_t) { return 0; }
void CHDH::InitEinheit(int, int, int, char, float, float, float, float, int32_t) {}

short CHDH::Open(short portWanted, const MaschEinstellung* settings, short geraeteart,
                 const char* basePath, int* openedBefore, const char* /*text*/) {
    int localFlag = 0;
    if (openedBefore == nullptr) openedBefore = &localFlag;
    if (settings == nullptr) {
        *openedBefore = 1;
        return 1;
    }
    Einstellung = settings;
    Adresse[0] = Buchstabe(settings->Achse[0].Adresse, 'X');
    Adresse[1] = Buchstabe(settings->Achse[1].Adresse, 'Y');
    Adresse[2] = Buchstabe(settings->Achse[2].Adresse, 'Z');
    Adresse[3] = Buchstabe(settings->Achse[3].Adresse, 'A');
    Geraeteart = geraeteart;
    Optionen = settings->Optionen;
    std::snprintf(KommentarAuf, sizeof KommentarAuf, "(");
    std::snprintf(KommentarZu, sizeof KommentarZu, ")");
    for (int i = 0; i < 3; ++i) Faktor[i] = Massstab(settings->Massstab[i]);
    KreisrichtungTauschen = settings->KreisrichtungTauschen != 0;
    ErsteNummer = settings->ErsteSatznummer < 0 ? 0 : settings->ErsteSatznummer;
    LetzteNummer = w::LetzteSatznummer(settings->LetzteSatznummer);
    Satznummer = ErsteNummer;
    SWorte = settings->Drehzahlausgabe >= 0;
    FWorte = settings->Vorschubausgabe >= 0;
    MWorte = settings->Spindelausgabe >= 0;
    MaxNachkommastellen = w::MaxNachkommastellen(settings->MaxNachkommastellen);
    Nachkommastellen =
        w::Nachkommastellen(settings->Nachkommastellen, settings->MaxNachkommastellen);
    Rohteil = settings->MitRohteil >= 0;
    Eintauchen = settings->Eintauchvorschub >= 0;
    for (auto& f : Format) w::ZahlFormat(f, sizeof f, Nachkommastellen);

    Offen = 0;
    RohteilGeschrieben = 0;
    LetztesX = -100000.0;
    LetztesY = -100000.0;
    LetztesZ = 1000.0;
    Vorschub = 0.1f;
    LetzterVorschub = -1.0f;
    Eilgang = 1.0f;
    Drehzahl = 0;
    LetzteDrehzahl = -1;
    VorschubAnstehend = FesterVorschub = FreieAchseMarke = DrehzahlAnstehend = SpindelStart = 0;
    Werkzeugereignis = 0;
    ToolCallGeschrieben = 0;
    Magazin = nullptr;
    MagazinAnzahl = 0;
    Rundachse = 0;
    ErsetzteAchse = 'X';
    RundachsBuchstabe = 'A';
    for (auto& q : QNummer) q = -1;
    VorschubQ = -1;
    Abfragezaehler = 10;
    Zeile[0] = '\0';
    ueberlauf_ = false;
    Zeilen = 0;

    int result = cx268io.popen(1, portWanted, settings, basePath, openedBefore, geraeteart);
    if (result == 0) Offen = 1;
    *openedBefore = 1;
    return static_cast<short>(result);
}

int CHDH::Close(int closePort, int closeFile) {
    cx268io.pclose(closePort, closeFile);
    Offen = 0;
    return 0;
}

// ---- Block output ------------------------------------------------------------------------

void CHDH::Schreibe(const char* line) {
    cx268io.poutstrln(line);
    ++Zeilen;
}

void CHDH::Verweigere(int code, const char* text) {
    char t2[256];
    std::snprintf(t2, sizeof t2, "line %ld: %s", static_cast<long>(Zeilen) + 1, text);
    cx268io.psfehler(code, Zeilen + 1, 0, cx268io.Dateipfad, t2, 0.0f, 0.0f, 0.0f);
    Zeile[0] = '\0';
    ueberlauf_ = false;
}

bool CHDH::Gueltig(const char* member, std::initializer_list<double> values) {
    int i = 0;
    for (double v : values) {
        ++i;
        if (!std::isfinite(v)) {
            char t[128];
            std::snprintf(t, sizeof t, "CHDH::%s: argument %d is %f, block refused", member, i, v);
            Verweigere(w::kFehlerZahlUngueltig, t);
            return false;
        }
    }
    return true;
}

void CHDH::Dateiausgabe() {
    if (ueberlauf_) {
        char t[200];
        std::snprintf(t, sizeof t, "block longer than %zu characters refused: %.40s...",
                      sizeof Zeile - 1, Zeile);
        Verweigere(w::kFehlerSatzZuLang, t);
        return;
    }
    char out[140];
    if (Optionen & 0x200) {
        std::snprintf(out, sizeof out, "%1ld %s", static_cast<long>(Satznummer), Zeile);
    } else {
        std::snprintf(out, sizeof out, "%s", Zeile);
    }
    Satznummer = w::NaechsteSatznummer(Satznummer, ErsteNummer, LetzteNummer);
    Schreibe(out);
    Zeile[0] = '\0';
}

void CHDH::SStringln(short numbered, const char* text) {
    if (text == nullptr) text = "";
    if (numbered != 0 && (Optionen & 0x200)) {
        char out[310];  // the channel takes lines of up to 309 characters
        if (!w::Formatiere(out, sizeof out, "%1ld %s", static_cast<long>(Satznummer), text)) {
            Verweigere(w::kFehlerSatzZuLang, "SStringln: line too long, refused");
            return;
        }
        Satznummer = w::NaechsteSatznummer(Satznummer, ErsteNummer, LetzteNummer);
        Schreibe(out);
    } else {
        if (std::strlen(text) > 309) {
            Verweigere(w::kFehlerSatzZuLang, "SStringln: line longer than 309 characters refused");
            return;
        }
        Schreibe(text);
        // Without a number nothing was counted, but the restart still applies.
        if (Satznummer > LetzteNummer) Satznummer = ErsteNummer;
    }
}

void CHDH::MacheSatznummer(char* buffer) {
    if (buffer == nullptr) return;
    if (Optionen & 0x200) {
        std::snprintf(buffer, 16, "%1ld ", static_cast<long>(Satznummer));
        if (Satznummer < INT32_MAX) ++Satznummer;  // no restart here
    } else {
        buffer[0] = '\0';
    }
}

int32_t CHDH::GebeDINSatznummer() { return Satznummer; }

void CHDH::Wort(char letter, const char* numberFormat, double value) {
    // As printf writes it: a value a hair below zero is "-0.000".
    char number[sizeof Zeile];
    if (!w::FormatiereZahl(number, sizeof number, numberFormat, value) ||
        !w::Anhaengen(Zeile, sizeof Zeile, " %c%s", letter, number)) {
        ueberlauf_ = true;
    }
}

void CHDH::Baue(const char* word, int n, const int* axes, const double* values) {
    if (!w::Formatiere(Zeile, sizeof Zeile, "%s", word)) ueberlauf_ = true;
    for (int i = 0; i < n; ++i) Wort(Adresse[axes[i]], Format[axes[i]], values[i]);
}

// ---- Feed and speed words ----------------------------------------------------------------

void CHDH::AddEilgang() {
    bool ok = true;
    if (Einstellung != nullptr && Einstellung->HdhOptionen[0] == 'U') {
        ok = w::Anhaengen(Zeile, sizeof Zeile, " FMAX");
    } else if (w::VorschubGeaendert(Eilgang, LetzterVorschub)) {
        if (Einstellung != nullptr && Einstellung->VorschubFormat != 0) {
            ok = w::Anhaengen(Zeile, sizeof Zeile, " F%1.3f", Eilgang);
        } else {
            ok = w::Anhaengen(Zeile, sizeof Zeile, " F%1ld", MmProMin(Eilgang));
        }
    } else {
        return;
    }
    if (!ok) ueberlauf_ = true;
    // The next cutting block must bring its own feed back.
    LetzterVorschub = Eilgang;
    VorschubAnstehend = 1;
}

void CHDH::AddVorschub() {
    if (!VorschubAnstehend || !FWorte) return;
    VorschubAnstehend = 0;
    if (!w::VorschubGeaendert(Vorschub, LetzterVorschub)) return;
    bool ok;
    if (Einstellung != nullptr && Einstellung->HdhOptionen[2] == 'U' &&
        Einstellung->QParameter != 0) {
        ok = w::Anhaengen(Zeile, sizeof Zeile, " FQ%1ld", static_cast<long>(VorschubQ));
    } else {
        ok = w::Anhaengen(Zeile, sizeof Zeile, " F%1ld", MmProMin(Vorschub));
    }
    if (!ok) ueberlauf_ = true;
    // Only a written word moves the reference, so small steps cannot add up unseen.
    LetzterVorschub = Vorschub;
}

void CHDH::AddDrehzahl() {
    if (!DrehzahlAnstehend || !SWorte) return;
    DrehzahlAnstehend = 0;
    if (Drehzahl == LetzteDrehzahl) return;
    bool ok;
    if (Einstellung != nullptr && Einstellung->HdhOptionen[2] == 'U' &&
        Einstellung->QParameter != 0) {
        ok = w::Anhaengen(Zeile, sizeof Zeile, " SQ%1ld", static_cast<long>(QNummer[2]));
    } else {
        ok = w::Anhaengen(Zeile, sizeof Zeile, " S%ld", static_cast<long>(Drehzahl));
    }
    if (!ok) ueberlauf_ = true;
    LetzteDrehzahl = Drehzahl;
}

void CHDH::SetzeVorschuebe(float xy, float z) {
    VorschubXY = xy;
    VorschubZ = z;
}

void CHDH::SetzeVorschub(float f) {
    Vorschub = f;
    VorschubAnstehend = 1;
    VorschubQ = std::fabs(f - VorschubXY) < 0.002f ? QNummer[0] : QNummer[1];
}

void CHDH::SetzeVorschubDIN(float f) {
    Vorschub = f;
    FesterVorschub = 1;
}

void CHDH::SetzeEilgaenge(float rapid, float, float) { Eilgang = rapid; }

int CHDH::SetzeVarNummern(int32_t xy, int32_t z, int32_t speed) {
    QNummer[0] = xy;
    QNummer[1] = z;
    QNummer[2] = speed;
    return 0;
}

// ---- Rapid moves -------------------------------------------------------------------------

void CHDH::SchnellXY(double x, double y, bool spindleStart) {
    const int axes[2] = {0, 1};
    const double v[2] = {x * Faktor[0], y * Faktor[1]};
    Baue("L", 2, axes, v);
    if (spindleStart && SpindelStart) {
        if (!w::Anhaengen(Zeile, sizeof Zeile, " R0 ")) ueberlauf_ = true;
        AddEilgang();
        if (MWorte && !w::Anhaengen(Zeile, sizeof Zeile, " M3 ")) ueberlauf_ = true;
        SpindelStart = 0;
    } else {
        AddEilgang();
    }
    Dateiausgabe();
    LetztesX = x;
    LetztesY = y;
}

void CHDH::SchnellZ(double z) {
    const int axes[1] = {2};
    const double v[1] = {z * Faktor[2]};
    Baue("L", 1, axes, v);
    AddEilgang();
    Dateiausgabe();
    LetztesZ = z;
}

void CHDH::Move(double x, double y) {
    if (!Gueltig("Move", {x, y})) return;
    FreieAchse(0.0);
    SchnellXY(x, y, true);
    tastaturabfrage();
}

void CHDH::Move3(double x, double y, double z) {
    if (!Gueltig("Move3", {x, y, z})) return;
    if (std::fabs(x - LetztesX) < 0.001 && std::fabs(y - LetztesY) < 0.001) {
        MoveZ(z);
        return;
    }
    FreieAchse(0.0);
    SchnellXY(x, y, true);
    SchnellZ(z);
    tastaturabfrage();
}

void CHDH::MoveZ(double z) {
    if (!Gueltig("MoveZ", {z})) return;
    FreieAchse(0.0);
    if (std::fabs(z - LetztesZ) >= 0.001) SchnellZ(z);
    tastaturabfrage();
}

void CHDH::Move_abs(double x, double y) {
    if (!Gueltig("Move_abs", {x, y})) return;
    FreieAchse(0.0);
    SchnellXY(x, y, false);
    tastaturabfrage();
}

void CHDH::Move3_abs(double x, double y, double z) {
    if (!Gueltig("Move3_abs", {x, y, z})) return;
    FreieAchse(0.0);
    SchnellXY(x, y, false);
    SchnellZ(z);
    tastaturabfrage();
}

void CHDH::Movez_abs(double z) {
    if (!Gueltig("Movez_abs", {z})) return;
    FreieAchse(0.0);
    SchnellZ(z);
    tastaturabfrage();
}

// ---- Feed moves and arcs -----------------------------------------------------------------

void CHDH::Draw(double x, double y) {
    if (!Gueltig("Draw", {x, y})) return;
    const int axes[2] = {0, 1};
    const double v[2] = {x * Faktor[0], y * Faktor[1]};
    Baue("L", 2, axes, v);
    AddVorschub();
    AddDrehzahl();
    Dateiausgabe();
    LetztesX = x;
    LetztesY = y;
    tastaturabfrage();
}

void CHDH::Draw3(double x, double y, double z) {
    if (!Gueltig("Draw3", {x, y, z})) return;
    const int axes[3] = {0, 1, 2};
    const double v[3] = {x * Faktor[0], y * Faktor[1], z * Faktor[2]};
    bool plunge = z < LetztesZ && !FesterVorschub && Eintauchen;
    if (plunge) {
        double dz = std::fabs(LetztesZ - z);
        double dx = x - LetztesX;
        double dy = y - LetztesY;
        float feed = VorschubXY;
        if (dz > 0.01) {
            double ramp = std::sqrt(dx * dx + dy * dy + dz * dz) / dz * VorschubZ;
            if (ramp < VorschubXY) feed = static_cast<float>(ramp);
        }
        SetzeVorschub(feed);
    }
    Baue("L", 3, axes, v);
    AddVorschub();
    AddDrehzahl();
    Dateiausgabe();
    if (plunge) SetzeVorschub(VorschubXY);
    LetztesX = x;
    LetztesY = y;
    LetztesZ = z;
    tastaturabfrage();
}

void CHDH::Kreis(double cx, double cy, double r, double /*start*/, double sweep, double ex,
                 double ey) {
    if (!Gueltig("Kreis", {cx, cy, r, sweep, ex, ey})) return;
    if (std::fabs(sweep) <= 6.0 && std::fabs(ex - LetztesX) <= 0.002 &&
        std::fabs(ey - LetztesY) <= 0.002) {
        tastaturabfrage();
        return;
    }
    const int axes[2] = {0, 1};
    const double end[2] = {ex * Faktor[0], ey * Faktor[1]};
    if (r <= 0.01 || std::fabs(sweep * r) <= 0.02) {
        Baue("L", 2, axes, end);
    } else {
        const double centre[2] = {cx * Faktor[0], cy * Faktor[1]};
        Baue("CC", 2, axes, centre);
        Dateiausgabe();
        bool plus = sweep >= 0.0;
        if (KreisrichtungTauschen) plus = !plus;
        Baue("C", 2, axes, end);
        if (!w::Anhaengen(Zeile, sizeof Zeile, " %s", plus ? "DR+" : "DR-")) ueberlauf_ = true;
    }
    AddVorschub();
    AddDrehzahl();
    Dateiausgabe();
    LetztesX = ex;
    LetztesY = ey;
    tastaturabfrage();
}

// ---- Tools and spindle -------------------------------------------------------------------

void CHDH::AktionenVorWkzW() {
    LetzterVorschub = -1.0f;
    DrehzahlAnstehend = 1;
}

int CHDH::WzUmcodieren(int tool) {
    return w::WzUmcodieren(MagazinAnzahl != 0 ? Magazin : nullptr, tool);
}

void CHDH::WZWPplusB(const WZW_PB_STRUCT* magazin, short count) {
    Magazin = magazin;
    MagazinAnzahl = magazin != nullptr ? count : 0;
}

void CHDH::WzlEinAus(short on) { Laengenpruefung = on; }

void CHDH::WkzW(int, int tool, const AWKZDAT* data) {
    AktionenVorWkzW();
    Werkzeug = static_cast<int16_t>(WzUmcodieren(tool));
    if (data != nullptr) {
        WzRadius = data->Kugelradius;
        WzLaenge = data->Laenge;
    }
    Werkzeugereignis = 55;
}

void CHDH::Spinddreh(int32_t speed) {
    if (speed != Drehzahl && Werkzeugereignis == 0) Werkzeugereignis = 66;
    Drehzahl = speed;
    DrehzahlAnstehend = 1;
    if (Rundachse) FreieAchseMarke = 819;
    if (Werkzeugereignis == 0) return;
    LetzteDrehzahl = -1;
    if (Optionen & 0x40) {
        const int axes[1] = {2};
        const double v[1] = {Rueckzug * Faktor[2]};
        Baue("L", 1, axes, v);
        AddEilgang();
        Dateiausgabe();
    }
    if ((Optionen & 0x80000) && Werkzeugereignis == 55) {
        if (!w::Formatiere(Zeile, sizeof Zeile, "TOOL DEF %1d L%1.3f R%1.3f", Werkzeug,
                           static_cast<double>(WzLaenge), static_cast<double>(WzRadius))) {
            ueberlauf_ = true;
        }
        Dateiausgabe();
    }
    if (!w::Formatiere(Zeile, sizeof Zeile, "TOOL CALL %1d %c ", Werkzeug, Adresse[2])) {
        ueberlauf_ = true;
    }
    AddDrehzahl();
    if (Zeile[0] != '\0') Dateiausgabe();
    ToolCallGeschrieben = 1;
    Werkzeugereignis = 0;
    if (Einstellung != nullptr && Einstellung->HdhOptionen[1] != 0) {
        std::snprintf(Zeile, sizeof Zeile, "M13");
        Dateiausgabe();
    }
}

void CHDH::InfoSpinddreh(int32_t speed) { Drehzahl = speed; }

void CHDH::Spindea(int on, float) {
    if (on) {
        SpindelStart = 1;
        return;
    }
    if (MWorte) {
        std::snprintf(Zeile, sizeof Zeile, "M5");
        Dateiausgabe();
    }
    LetzteDrehzahl = -1;
}

void CHDH::InfoSpindea(int, float) {}

// ---- Rotary axis, blank, free axis -------------------------------------------------------

void CHDH::SetzePosInfos(float x0, float y0, float dx, float dy, float depth, float altDx,
                         float altDy, short exchange, short alternative, float, float, short) {
    const float v[7] = {x0, y0, dx, dy, depth, altDx, altDy};
    for (int i = 0; i < 7; ++i) Werkstueck[i] = v[i];
    Tausch = exchange;
    Alternativ = alternative;
}

void CHDH::InitTeilk(short on, short axis, char, float diameter, float p, float q) {
    Rundachse = on;
    // Only X or Y can be replaced; anything else means Y, as the factor below does.
    ErsetzteAchse = axis == 'X' ? 'X' : 'Y';
    RundachsBuchstabe = Adresse[3];
    RundRadius = diameter / 2.0f;
    TeilkP = p;
    TeilkQ = q;
    if (Rundachse) {
        int d = diameter > 114.0f ? 4 : 3;
        if (d > MaxNachkommastellen) d = MaxNachkommastellen;
        int i = ErsetzteAchse == 'X' ? 0 : 1;
        Adresse[i] = RundachsBuchstabe;
        float factor = static_cast<float>(360.0 / (static_cast<double>(diameter) * kPi));
        Faktor[i] = Faktor[i] < 0.0 ? -std::fabs(factor) : std::fabs(factor);
        w::ZahlFormat(Format[i], sizeof Format[i], d);
    }

    // The blank, once per Open.
    double x0 = Werkstueck[0], y0 = Werkstueck[1], dx = Werkstueck[2], dy = Werkstueck[3];
    double depth = Werkstueck[4];
    if (Alternativ) {
        dx = Werkstueck[5];
        dy = Werkstueck[6];
        x0 = y0 = 0.0;
    } else if (Tausch) {
        std::swap(x0, y0);
        std::swap(dx, dy);
    }
    if (!RohteilGeschrieben && Rohteil) {
        double xa = x0 * Faktor[0], xb = (x0 + dx) * Faktor[0];
        double ya = y0 * Faktor[1], yb = (y0 + dy) * Faktor[1];
        double za = Faktor[2] >= 0.0 ? depth * Faktor[2] : 0.0;
        double zb = Faktor[2] >= 0.0 ? 0.0 : depth * Faktor[2];
        RohteilMasse[0] = std::fabs(xb - xa);
        RohteilMasse[1] = std::fabs(yb - ya);
        RohteilMasse[2] = std::fabs(zb - za);
        if (Gueltig("InitTeilk", {xa, xb, ya, yb, za, zb})) {
            if (!w::Formatiere(Zeile, sizeof Zeile, "BLK FORM 0.1 %c", Adresse[2])) {
                ueberlauf_ = true;
            }
            Wort(Adresse[0], "%1.1f", std::fmin(xa, xb));
            Wort(Adresse[1], "%1.1f", std::fmin(ya, yb));
            Wort(Adresse[2], "%1.1f", za);
            Dateiausgabe();
            w::Formatiere(Zeile, sizeof Zeile, "BLK FORM 0.2");
            Wort(Adresse[0], "%1.1f", std::fmax(xa, xb));
            Wort(Adresse[1], "%1.1f", std::fmax(ya, yb));
            Wort(Adresse[2], "%1.1f", zb);
            Dateiausgabe();
        }
    }
    RohteilGeschrieben = 1;
}

int CHDH::FreieAchse(double position) {
    if (!FreieAchseMarke) return 0;
    w::Formatiere(Zeile, sizeof Zeile, "L");
    Wort(static_cast<char>(ErsetzteAchse), "%1.1f", position);
    AddEilgang();
    Dateiausgabe();
    FreieAchseMarke = 0;
    return 0;
}

void CHDH::Zustellachse(char axis, float value) {
    if (!Gueltig("Zustellachse", {value})) return;
    w::Formatiere(Zeile, sizeof Zeile, "L");
    Wort(axis, Format[2], value);
    Dateiausgabe();
}

// ---- Members with little to do -----------------------------------------------------------

int CHDH::Abtasten(double, double, double, int32_t, float* result, short* status) {
    if (status != nullptr) *status = 1;
    if (result != nullptr) *result = -3.333f;
    return 0;
}

void CHDH::ToolCheck() {
    char text[256];
    LadeRcString(w::kFehlerToolCheck, text, 255);
    cx268io.psfehler(w::kFehlerToolCheck, 0, 0, text, "", 0.0f, 0.0f, 0.0f);
}

void CHDH::Wait(float) { tastaturabfrage(); }
void CHDH::Stop() { tastaturabfrage(); }
void CHDH::Sensor(int, int, float) { tastaturabfrage(); }
void CHDH::Actuator(int, char) { tastaturabfrage(); }
void CHDH::MZuordnung() {}
void CHDH::SetzeWzkTast(const char*) {}

float CHDH::ZBegrenz(float z) {
    return static_cast<double>(z) < Rueckzug ? z : static_cast<float>(Rueckzug);
}

void CHDH::SetzeRueckzugHoehe(double z) { Rueckzug = z; }

void CHDH::FBStInfo(BSTINFO* info) {
    w::FuelleBStInfo(info, {100, 0, 999, 0, 999}, {100, 0, 10, 0, 0, 60}, "ABCUV");
}
