#include "writers/datron/ckestl1.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "channel/cx268io.h"
#include "common/fxtexte.h"
#include "platform/dialogs.h"
#include "platform/profile.h"
#include "writers/common/writer_common.h"

namespace w = korvat::writer;

// The return mode of the automatic tool change: 0 keeps the tool over the changer, anything else
// lets the machine return. Held once for the library; every CKESTL1::Open resets it to 1 and
// reads it from the profile; WkzW reads it.
static double g_rueckfahrmodus = 1.0;

namespace {

constexpr double kGrad = 57.2957795131;  // degrees per radian
constexpr const char* kMelde =
    "Melde 1, 2, 0, 0 ; Spindel aus, T\xfcr entriegeln, Meldung anzeigen";

}  // namespace

int CKESTL1::Init(InitStruct* init, int, int32_t) {
    if (init == nullptr) return 0;
    // A resolution of 0 (a record that was never filled) would write every coordinate as 0;
    // read it as millimetres instead.
    for (int i = 0; i < 3; ++i)
        Aufloesung[i] = init->Aufloesung[i] > 0.0f ? init->Aufloesung[i] : 1.0f;
    Weitere = init->Weitere[0];
    return 0;
}

short CKESTL1::Open(short portWanted, const MaschEinstellung* settings, const char* basePath,
                    int* openedBefore, int geraeteart, const char* profile) {
    int localFlag = 0;
    if (openedBefore == nullptr) openedBefore = &localFlag;
    Zeile[0] = '\0';
    ZahlGeschrieben = Kommentar = 0;
    Spindel = 1;
    Drehzahl = 0.0f;
    AutomatikVorher = 1;
    Zeilen = 0;

    g_rueckfahrmodus = 1.0;
    if (profile != nullptr && profile[0] != '\0') {
        char text[51];
        korvat::platform::GetProfileString("DATRON", "Rueckfahrmodus", "", text, sizeof text,
                                           profile);
        double value;
        char rest;
        if (text[0] != '\0' && std::sscanf(text, "%lf %c", &value, &rest) == 1) {
            g_rueckfahrmodus = value;
        }
    }

    Geraeteart = geraeteart;
    Optionen = settings != nullptr ? settings->Optionen : 0;
    Spuelzaehler = 5;
    if (settings == nullptr) {
        *openedBefore = 1;
        return 1;
    }
    int result = cx268io.popen(1, portWanted, settings, basePath, openedBefore, geraeteart);
    if (result == 0) {
        LetztesX = LetztesY = -10000.0;
        LetzteTiefe = -10.0f;
        Out_Str("!");
        Ausgabe(0);
        // The program's name: the file name of the base path, without its folder.
        const char* name = basePath != nullptr ? basePath : "";
        for (const char* p = name; *p != '\0'; ++p) {
            if (*p == '/' || *p == '\\') name = p + 1;
        }
        Out_Str("! \"");
        Out_Str(name);
        Out_Str("\"");
        Ausgabe(0);
        Out_Str("!");
        Ausgabe(0);
        Out_Str("! Fraxon -> Datron   V1.0");
        Ausgabe(0);
        Out_Str("!");
        Ausgabe(0);
        Out_Str("_sprache 0;");
        Ausgabe(0);
        Out_Str("Dimension 1;");
        Ausgabe(0);
        Out_Str("Fkomp 0 ,0, 0, 0 ; Fr\xe4serradius-Kompensation aus");
        Ausgabe(0);
        Spindea(0);
    }
    *openedBefore = 1;
    return static_cast<short>(result);
}

int CKESTL1::Close(int closePort, int closeFile) {
    Out_Str("! Ende Ausgabe Datron");
    Ausgabe(1);
    cx268io.pclose(closePort, closeFile);
    return 0;
}

void CKESTL1::SetzeSpezial(int32_t limit, HWND owner) {
    Speichergrenze = limit < 1 ? 134217727 : limit;
    Besitzer = owner;
    Bytes = 0;
}

// ---- Line assembly -------------------------------------------------------------------------

void CKESTL1::Out_Str(const char* text) {
    if (text == nullptr) return;
    if (std::strchr(text, ';') != nullptr) Kommentar = 1;
    size_t used = std::strlen(Zeile);
    size_t n = std::strlen(text);
    if (used + n >= sizeof Zeile) {
        korvat::platform::Dialogs().MessageBox(Besitzer, "Ausgabestring zu lang !!!!!!!", "Error",
                                               MB_OKCANCEL);
        return;
    }
    std::memcpy(Zeile + used, text, n + 1);
}

void CKESTL1::Out_R(double value) {
    if (!Kommentar) Out_Str(ZahlGeschrieben ? ", " : " ");
    // Precision by magnitude: at most four decimals, no trailing zeros ("%1.4g" below 1 up to
    // "%1.8g" from 1000 on, written by SchreibeG, which is that printf conversion).
    double a = std::fabs(value);
    char text[40] = "0";
    if (!(a < 0.0001)) {
        int precision = a < 1.0 ? 4 : a < 10.0 ? 5 : a < 100.0 ? 6 : a < 1000.0 ? 7 : 8;
        char* end = korvat::writer::SchreibeG(text, text + sizeof text - 1, value, precision);
        *(end != nullptr ? end : text) = '\0';
    }
    Out_Str(text);
    ZahlGeschrieben = 1;
}

void CKESTL1::Ausgabe(int check) {
    size_t n = std::strlen(Zeile);
    if (n > 0) {
        cx268io.poutstrln(Zeile);
        ++Zeilen;
    }
    if (Spuelzaehler <= 0) {
        cx268io.pflush_input();
        Spuelzaehler = 10;
    } else {
        --Spuelzaehler;
    }
    Bytes += static_cast<int32_t>(n) + 2;
    if (check >= 0) {
        int64_t margin = check > 0 ? 4096 : 128;
        if (static_cast<int64_t>(Bytes) + margin > Speichergrenze) {
            char text[256];
            LadeRcString(7045, text, 255);
            int answer = korvat::platform::Dialogs().MessageBox(Besitzer, text, "",
                                                                MB_OKCANCEL | MB_ICONSTOP);
            if (answer == IDCANCEL) {
                cx268io.Fehlerflag = 1;
                cx268io.Tastenabbruch = 1;
            }
            Bytes = 0;
        }
    }
    Zeile[0] = '\0';
    ZahlGeschrieben = Kommentar = 0;
}

bool CKESTL1::Gueltig(const char* member, std::initializer_list<double> values) {
    int i = 0;
    for (double v : values) {
        ++i;
        if (!std::isfinite(v)) {
            char t2[160];
            std::snprintf(t2, sizeof t2, "line %ld: CKESTL1::%s: argument %d is %f, refused",
                          static_cast<long>(Zeilen) + 1, member, i, v);
            cx268io.psfehler(w::kFehlerZahlUngueltig, Zeilen + 1, 0, cx268io.Dateipfad, t2, 0.0f,
                             0.0f, 0.0f);
            Zeile[0] = '\0';
            ZahlGeschrieben = Kommentar = 0;
            return false;
        }
    }
    return true;
}

// ---- Moves and arcs --------------------------------------------------------------------------

void CKESTL1::Achsen(double x, double y, double z, bool withZ) {
    Out_R((OffsetX + x) * Aufloesung[0]);
    Out_R((OffsetY + y) * Aufloesung[1]);
    if (withZ) Out_R(Aufloesung[2] * z);
}

void CKESTL1::Move3(double x, double y, double z) {
    if (!Gueltig("Move3", {x, y, z})) return;
    double sx = (OffsetX + x) * Aufloesung[0];
    double sy = (OffsetY + y) * Aufloesung[1];
    double sz = Aufloesung[2] * z;
    if (sx != LetztesX || sy != LetztesY || sz != LetztesZ) {
        Out_Str("Axyz");
        Out_R(1);
        Achsen(x, y, z, true);
        Out_Str(", 0, 0 ; Eilgang");
        Ausgabe(1);
    }
    LetztesX = sx;
    LetztesY = sy;
    LetztesZ = sz;
}

void CKESTL1::Draw3(double x, double y, double z, short) {
    if (!Gueltig("Draw3", {x, y, z})) return;
    double sx = (OffsetX + x) * Aufloesung[0];
    double sy = (OffsetY + y) * Aufloesung[1];
    double sz = Aufloesung[2] * z;
    if (sx != LetztesX || sy != LetztesY || sz != LetztesZ) {
        Out_Str("Axyz");
        Out_R(0);
        Achsen(x, y, z, true);
        Out_Str(", 0, 0 ; Vorschub 3D");
        Ausgabe(1);
    }
    LetztesX = sx;
    LetztesY = sy;
    LetztesZ = sz;
}

void CKESTL1::Draw(double x, double y) {
    if (!Gueltig("Draw", {x, y})) return;
    Out_Str("Axyz");
    Out_R(0);
    Achsen(x, y, 0.0, false);
    Out_Str(", Zp");
    Out_Str(", 0, 0 ; Vorschub");
    Ausgabe(0);
    LetztesX = (OffsetX + x) * Aufloesung[0];
    LetztesY = (OffsetY + y) * Aufloesung[1];
}

void CKESTL1::Move_abs(double, double, double) {
    Ausgabe(0);
    Out_Str("Park");
    Ausgabe(-1);
    LetztesX = LetztesY = -10000.0;
}

void CKESTL1::MoveZ(double) {}
void CKESTL1::Zustellachse(char, float) {}
void CKESTL1::Actuator(int, char) {}

void CKESTL1::KreisZeile(double r, double start, double sweep, double last, const char* text) {
    double a = start * kGrad;
    double s = sweep * kGrad;
    Out_Str("Kreis");
    Out_R(2.0 * r);
    Out_R(0);
    Out_R(0);
    Out_R(s <= 0.0 ? -360 : 0);
    Out_R(a);
    Out_R(a + s);
    Out_R(0);
    Out_R(0);
    Out_R(2);
    Out_R(1);
    Out_R(last);
    Out_Str(text);
    Ausgabe(1);
}

void CKESTL1::Kreis(double cx, double cy, double r, double start, double sweep, double ex,
                    double ey) {
    if (!Gueltig("Kreis", {cx, cy, r, start, sweep, ex, ey})) return;
    if (std::fabs(sweep * kGrad) <= 0.011) {
        Draw(ex, ey);
        return;
    }
    KreisZeile(r, start, sweep, 0.0, " ; Kreis 2D");
    LetztesX = (OffsetX + ex) * Aufloesung[0];
    LetztesY = (OffsetY + ey) * Aufloesung[1];
}

void CKESTL1::CB_KreisZ(double cx, double cy, double r, double start, double sweep, double ex,
                        double ey, double ez) {
    if (!Gueltig("CB_KreisZ", {cx, cy, r, start, sweep, ex, ey, ez})) return;
    double dz = Aufloesung[2] * ez - LetztesZ;
    double pitch = 0.0;
    if (std::fabs(dz) > 1e-6) {
        if (sweep == 0.0) {
            // No turn to spread the height over: the tool goes straight to the end point.
            Draw3(ex, ey, ez);
            return;
        }
        pitch = dz / (sweep * kGrad / 360.0);
        LetztesZ = Aufloesung[2] * ez;
    }
    KreisZeile(r, start, sweep, pitch, " ; Kreis 3D");
    LetztesX = (OffsetX + ex) * Aufloesung[0];
    LetztesY = (OffsetY + ey) * Aufloesung[1];
}

// ---- Feeds, spindle ------------------------------------------------------------------------

void CKESTL1::SetzeVorschuebe(float xy, float z) {
    if (!Gueltig("SetzeVorschuebe", {xy, z})) return;
    Out_Str("Vorschub");
    Out_R(xy);
    Out_R(z);
    Out_R(xy);
    Out_R(xy);
    Ausgabe(-1);
}

void CKESTL1::KestlDrehzahl(int spindle, float speed) {
    Spindel = spindle;
    Drehzahl = speed;
}

void CKESTL1::Spindea(int on) {
    Out_Str("Drehzahl");
    if (on) {
        if (!Gueltig("Spindea", {Drehzahl})) return;
        int32_t k = RundeL(Drehzahl / 1000.0f);
        Out_R(3);
        Out_R(k);
        Out_R(0);
        Out_R(k);
        Out_Str(" ; EIN Spindel Nr.:");
        Out_R(Spindel);
        Out_Str("    Drehzahl:");
        Out_R(Drehzahl);
    } else {
        for (int i = 0; i < 4; ++i) Out_R(0);
        Out_Str(" ; Spindel AUS");
    }
    Ausgabe(0);
}

int32_t CKESTL1::RundeL(float value) { return w::RundeL(value); }

// ---- Tool change ---------------------------------------------------------------------------

void CKESTL1::Meldung(const char* text) {
    Out_Str("Text 1 = \"");
    Out_Str(text);
    Out_Str("\";");
}

void CKESTL1::Melde() {
    Out_Str(kMelde);
    Ausgabe(-1);
}

void CKESTL1::WZWPplusB(const WZW_PB_STRUCT* magazin, short count) {
    Magazin = magazin;
    MagazinAnzahl = magazin != nullptr ? count : 0;
}

void CKESTL1::WkzW(int mode, int tool, float, float radius, float angle, float tipRadius,
                   float ballRadius, char type) {
    Out_Str(";");
    Ausgabe(0);
    Out_Str(";**************");
    Ausgabe(0);
    Out_Str("; Werkzeug Nr.: ");
    Out_R(tool);
    Out_Str("  ");
    switch (static_cast<unsigned char>(type)) {
        case 0:
            Out_Str("Stichel");
            Out_Str("  ");
            Out_Str("Spitzenradius:");
            Out_R(tipRadius);
            Out_Str("  ");
            Out_Str("Winkel:");
            Out_R(angle * kGrad);
            break;
        case 1:
            Out_Str("Zylinderfr\xe4ser");
            break;
        case 2:
            Out_Str("Halbkugel");
            Out_Str("  ");
            Out_Str("Kugelradius:");
            Out_R(ballRadius);
            break;
        case 3:
            Out_Str("Stichel mit Radius");
            Out_Str("  ");
            Out_Str("Winkel:");
            Out_R(angle * kGrad);
            Out_Str("\xb0  ");
            Out_Str("Kugelradius:");
            Out_R(ballRadius);
            break;
        case 4:
            Out_Str("Bohrer");
            break;
        case 5:
            Out_Str("Gewindefr\xe4ser");
            break;
        default:
            Out_Str("Sonstiges Werkzeug");
            break;
    }
    Out_Str("  ");
    Out_Str("Durchmesser:");
    Out_R(2.0 * radius);
    Ausgabe(0);

    if (mode & 1) {
        Out_Str("; Automatischer Wechsel");
        Ausgabe(0);
        if (!AutomatikVorher) {
            Out_Str("Park");
            Out_Str(" ; Es war vorher Handwechsel, Parkposition anfahren.");
            Ausgabe(0);
            Meldung(
                "Es soll nachfolgend automatischer Werkzeugwechsel erfolgen, Werkzeug bitte aus "
                "Spindel entfernen.");
            Ausgabe(0);
            Melde();
        }
        int place = w::WzUmcodieren(MagazinAnzahl != 0 ? Magazin : nullptr, tool);
        Out_Str("Werkzeug");
        Out_R(place);
        Out_R(0);
        Out_R(0);
        Out_R(g_rueckfahrmodus == 0.0 ? 0 : 1);
        Out_R(1);
        Out_Str(" ; Automatischer Werkzeugwechsel");
        Ausgabe(-1);
        AutomatikVorher = 1;
    } else {
        Out_Str("; Manueller Wechsel");
        Ausgabe(0);
        if (AutomatikVorher) {
            Out_Str("Werkzeug 00, 0, 0, 1 ,1 ; Vorherige Werkzeug im Wechsler ablegen");
            Ausgabe(-1);
        } else {
            Out_Str("Park");
            Out_Str(" ; Es war vorher bereits Handwechsel, Parkposition anfahren.");
            Ausgabe(0);
        }
        Out_Str("Text 1 = \"Werkzeug von Hand einspannen. Werkzeug Nr.: ");
        Out_R(tool);
        Out_Str("\";");
        Ausgabe(0);
        Melde();
        AutomatikVorher = 0;
    }
}

// ---- Workpiece, pause, stop, remarks ---------------------------------------------------------

void CKESTL1::SetzePosInfos(float width, float height, float altWidth, float altHeight,
                            int axisExchange, int multiplePlate, float viceX, float viceY, int vice,
                            float thickness) {
    if (!Gueltig("SetzePosInfos", {width, height, altWidth, altHeight, viceX, viceY, thickness})) {
        return;
    }
    float w = width, h = height;
    if (multiplePlate) {
        w = altWidth;
        h = altHeight;
    } else if (axisExchange) {
        w = height;
        h = width;
    }
    if (vice) {
        OffsetX = viceX - w / 2.0f;
        OffsetY = viceY - h / 2.0f;
    } else {
        OffsetX = OffsetY = 0.0f;
    }
    Out_Str("Wdef");
    Out_R(w);
    Out_R(h);
    Out_R(thickness);
    Out_R(OffsetX);
    Out_R(OffsetY);
    Out_R(0);
    Out_R(0);
    Out_Str(
        " ; Werkst\xfc"
        "ckma\xdf"
        "e");
    Out_Str("  Aktiv:");
    if (axisExchange) Out_Str(" Achswechsel");
    if (multiplePlate) Out_Str(" Mehrfachschild");
    if (vice) Out_Str(" Schraubstock");
    Out_Str(" -");
    Ausgabe(-1);
}

void CKESTL1::SetzeGTiefe(float depth, short) {
    Tiefe = depth;
    LetzteTiefe = depth;
}

void CKESTL1::SetzeFlughAbsolut(float height, float second) {
    Flughoehe = height - 0.001f;
    FlugZweiter = second;
}

void CKESTL1::Wait(float seconds) {
    Out_Str("; Wartezeit: ");
    Out_R(seconds);
    Ausgabe(-1);
}

void CKESTL1::Stop() {
    Out_Str("; ******* Stopp");
    Ausgabe(0);
    Out_Str("Park");
    Ausgabe(0);
    char text[48];
    LadeProgrammText(8237, text, sizeof text);
    Meldung(text);
    Ausgabe(0);
    Melde();
}

void CKESTL1::ToolCheck() {
    Out_Str("! ToolCheck ");
    Ausgabe(-1);
}

void CKESTL1::SStringln(const char* text) {
    Zeile[0] = '\0';
    ZahlGeschrieben = Kommentar = 0;
    Out_Str(text);
    Ausgabe(0);
}

int CKESTL1::SendeBefehl(const char* text) {
    if (text == nullptr) return 0;
    if (std::strlen(text) > 309) {  // the channel takes lines of up to 309 characters
        char t2[160];
        std::snprintf(t2, sizeof t2,
                      "line %ld: CKESTL1::SendeBefehl: command of %zu characters refused",
                      static_cast<long>(Zeilen) + 1, std::strlen(text));
        cx268io.psfehler(w::kFehlerSatzZuLang, Zeilen + 1, 0, cx268io.Dateipfad, t2, 0.0f, 0.0f,
                         0.0f);
        return 0;
    }
    cx268io.poutstrln(text);
    return 0;
}

void CKESTL1::FBStInfo(BSTINFO* info) {
    w::FuelleBStInfo(info, {100, 0, 999, 0, 999}, {0, 0, 1, 0, 0, 0}, "");
}
