// The job supervisor: job start, the block lines of the live display, single step and the
// machine-type table.
#include "supervision/csatz.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "channel/cx268io.h"
#include "common/fxtexte.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "supervision/bahnplan.h"
#include "supervision/treiber.h"
#include "writers/common/writer_common.h"
#include "writers/din/cdin.h"

namespace pf = korvat::platform;

namespace {

constexpr int kZeile1 = 107, kZeile2 = 117, kZeile3 = 127, kStatus = 137;
constexpr int kPosX = 147, kPosY = 157, kPosZ = 167, kPosA = 177;

// The one channel the drivers of types 1 and 3 write through (the object that
// B268::Gebe_cxio_Zeiger hands out).
CCX268IO& Kanal() { return cx268io; }

bool OhneAnzeige(int typ) {
    return typ == 1 || typ == 4 || typ == 9 || typ == 30 || typ == 22 || typ == 25;
}
bool KanalTaste(int typ) { return typ == 1 || typ == 3 || typ == 4 || typ == 9 || typ == 30; }

struct Text {
    char t[256];
    explicit Text(int16_t nummer) { LadeRcString(nummer, t, 255); }
};

}  // namespace

int16_t CSATZ::Start(CMainWindow* window, int machineType, int* displayFlag, HWND dialog,
                     CHPGLA* hpgla, B268* b268, CDIN* din, CHPGLB* hpglb, MaschCommand* command,
                     MaschCommand_P* commandP, MaschCommand_C* commandC, char* directory) {
    Hauptfenster = window;
    MaschinenTyp = machineType;
    Dialog = dialog;
    Hpgla = hpgla;
    B268Treiber = b268;
    Din = din;
    Hpglb = hpglb;
    Kommando = command;
    KommandoP = commandP;
    KommandoC = commandC;
    Automatik = 0;
    AutomatikGemeldet = 0;
    Zeile1[0] = Zeile2[0] = Zeile3[0] = 0;
    AnzeigeUnterdrueckt = 0;
    WstGemeldet = 0;
    MaschGemeldet = 0;
    VorschubZ = VorschubXY = EilXY = EilZ = 555.0f;
    LetztesX = LetztesY = LetztesZ = LetztesA = 0.0f;
    StartGeschwindigkeit = EndGeschwindigkeit = 0.1f;
    Bahnbeschleunigung = 540000.0f;
    VorausschauEin = window ? window->VorausschauEin : 0;
    if (bahnplan.Lade(directory)) {
        StartGeschwindigkeit = EndGeschwindigkeit = bahnplan.VMin;
        Bahnbeschleunigung = bahnplan.Umgerechnet.Wert[psatz::kAltBeschleunigung / 4];
    }
    bahnplan.SetzePosition({0, 1, 2}, {0.0f, 0.0f, 0.0f});
    MinX = MinY = MinZ = 100000.0f;
    MaxX = MaxY = MaxZ = -100000.0f;
    int anzeige = displayFlag ? *displayFlag : 0;
    if (OhneAnzeige(machineType)) anzeige = 0;
    if (machineType == 2 && Kommando) Kommando->Zustand = -1;
    if (machineType == 3) HpglaSchrittweise(Hpgla);
    if (displayFlag) *displayFlag = anzeige;
    AnzeigeEin = anzeige;
    return 0;
}

void CSATZ::Parameter(float tolerance) { Toleranz = tolerance; }

int16_t CSATZ::InitInfo(BSTINFO* info) {
    korvat::writer::FuelleBStInfo(info, {100, 0, 999, 0, 999}, {100, 99, 10, 0, 0, 60}, "ABCUV");
    return 0;
}

int CSATZ::NeuerParametersatz(P_SATZ* block) {
    if (!VorausschauEin || !block) return 0;
    bahnplan.Uebernehme(*block);
    StartGeschwindigkeit = EndGeschwindigkeit = bahnplan.VMin;
    Bahnbeschleunigung = bahnplan.Umgerechnet.Wert[psatz::kAltBeschleunigung / 4];
    return 0;
}

// ---- display ----

bool CSATZ::Zeigen(bool auchUnterdrueckt) const {
    return AnzeigeEin && (auchUnterdrueckt || !AnzeigeUnterdrueckt);
}

int16_t CSATZ::SatzVerschieben() {
    std::memcpy(Zeile1, Zeile2, sizeof Zeile1);
    std::memcpy(Zeile2, Zeile3, sizeof Zeile2);
    return 0;
}

// Appends the feed suffix to line 3; the feed-changed mark is then spent.
void CSATZ::Vorschubzusatz(float feed) {
    const size_t n = std::strlen(Zeile3);
    std::snprintf(Zeile3 + n, sizeof Zeile3 - n, "\tF%-10.1f", feed);
    XYVorschubGeaendert = 0;
}

// The display step of a block that shows a fixed text.
void CSATZ::ZeigeText(const char* text) {
    if (!Zeigen(false)) return;
    NeueZeile("%s", text);
    Satz();
}

// The position field `item` shows value.
void CSATZ::ZeigeWert(int item, float value) {
    char t[64];
    std::snprintf(t, sizeof t, "%1.3f", value);
    pf::SetItemText(Dialog, item, t);
}

void CSATZ::IstPosAnz_X(float value) { ZeigeWert(kPosX, value); }
void CSATZ::IstPosAnz_Y(float value) { ZeigeWert(kPosY, value); }
void CSATZ::IstPosAnz_Z(float value) { ZeigeWert(kPosZ, value); }
void CSATZ::IstPosAnz_A(float value) { ZeigeWert(kPosA, value); }

// Scrolls the lines and formats the new line 3.
void CSATZ::NeueZeile(const char* format, ...) {
    SatzVerschieben();
    va_list args;
    va_start(args, format);
    std::vsnprintf(Zeile3, sizeof Zeile3, format, args);
    va_end(args);
}

// A rapid or Z move ends the contour the look-ahead estimate holds: its time is taken, and the
// estimator's position set to the target on the axes given (255: not moved).
void CSATZ::KonturEnde(const int (&achsen)[3], float x, float y, float z) {
    if (!VorausschauEin) return;
    ZeitVorschubXY += bahnplan.NimmZeit();
    bahnplan.SetzePosition(achsen, {x, y, z});
}

// ---- blocks ----

// A feed move's path of length l at speed v: timed by itself and added to the feed distances.
// Its time counts towards the XY feed total here unless the look-ahead estimate times it with
// the contour it belongs to.
float CSATZ::Vorschubweg(float l, float v) {
    const float t = ZeitMit(nullptr, l, v);
    WegVorschub += l;
    WegSeitWerkzeug += l;
    if (!VorausschauEin) ZeitVorschubXY += t;
    return t;
}

float CSATZ::Satz_XY_E(float x, float y) {
    WSTTesteKoordinate(x, y);
    const float l = Wegstrecke(x, y);
    const float t = ZeitMit(&ZeitEilXY, l, EilXY);
    WegEilXY += l;
    KonturEnde({0, 1, 255}, x, y, 0.0f);
    if (Zeigen(false) && !TestPunkt(x, LetztesX, y, LetztesY)) {
        NeueZeile("G0\tX%-10.3f Y%-10.3f", x, y);
        IstPosAnz_X(x);
        IstPosAnz_Y(y);
        Satz();
    }
    LetztesX = x;
    LetztesY = y;
    return t * 60.0f;
}

float CSATZ::Satz_XYZ_E(float x, float y, float z) {
    WSTTesteKoordinate(x, y);
    const float l = Wegstrecke(x, y);
    const float dz = std::fabs(z - LetztesZ);
    const float t = ZeitMit(&ZeitEilZ, dz, EilZ) + ZeitMit(&ZeitEilXY, l, EilXY);
    WegEilXY += l;
    WegEilZ += dz;
    KonturEnde({0, 1, 2}, x, y, z);
    if (Zeigen(false) && !TestPunkt3(x, LetztesX, y, LetztesY, z, LetztesZ)) {
        NeueZeile("G0\tX%-10.3f Y%-10.3f\tZ%-10.3f", x, y, z);
        IstPosAnz_X(x);
        IstPosAnz_Y(y);
        IstPosAnz_Z(z);
        Satz();
    }
    LetztesX = x;
    LetztesY = y;
    LetztesZ = z;
    return t * 60.0f;
}

float CSATZ::Satz_Z_E(float z) { return ZEilgang(z, false); }
float CSATZ::Satz_Z_E_H(float z) { return ZEilgang(z, true); }

// A Z rapid; a retract shows the retract remark behind its line.
float CSATZ::ZEilgang(float z, bool freifahren) {
    const float dz = std::fabs(z - LetztesZ);
    const float t = ZeitMit(&ZeitEilZ, dz, EilZ);
    WegEilZ += dz;
    KonturEnde({255, 255, 2}, 0.0f, 0.0f, z);
    if (Zeigen(false) && !TestGleich(z, LetztesZ)) {
        if (freifahren)
            NeueZeile("G0\t\t\t\t\t\t\tZ%-10.3f (%.120s)", z, Text(3900).t);
        else
            NeueZeile("G0\t\t\t\t\t\t\tZ%-10.3f", z);
        IstPosAnz_Z(z);
        Satz();
    }
    LetztesZ = z;
    return t * 60.0f;
}

float CSATZ::Satz_XY_V(float x, float y) {
    WSTTesteKoordinate(x, y);
    MaxMinXY(x, y);
    const float l = Wegstrecke(x, y);
    const float t = Vorschubweg(l, VorschubXY);
    if (VorausschauEin) bahnplan.Linie({0, 1, 255}, {x, y, 0.0f}, VorschubXY, 1, 1, l, 334);
    if (Zeigen(false) && !TestPunkt(x, LetztesX, y, LetztesY)) {
        NeueZeile("G1\tX%-10.3f Y%-10.3f", x, y);
        if (XYVorschubGeaendert) Vorschubzusatz(VorschubXY);
        IstPosAnz_X(x);
        IstPosAnz_Y(y);
        Satz();
    }
    LetztesX = x;
    LetztesY = y;
    return t * 60.0f;
}

float CSATZ::Satz_XYZ_V(float x, float y, float z) {
    WSTTesteKoordinate(x, y);
    MaxMinXY(x, y);
    MaxMinZ(z);
    const double dx = static_cast<double>(x) - LetztesX, dy = static_cast<double>(y) - LetztesY;
    const float dz = z - LetztesZ;
    const float l = static_cast<float>(std::sqrt(dx * dx + dy * dy + static_cast<double>(dz) * dz));
    // Going down, the feed is cut so that the vertical part does not exceed the Z feed.
    float v = VorschubXY;
    if (z < LetztesZ && std::fabs(dz) > 0.01f) {
        v = l / std::fabs(dz) * VorschubZ;
        if (v > VorschubXY) v = VorschubXY;
    }
    const float t = Vorschubweg(l, v);
    if (VorausschauEin) bahnplan.Linie({0, 1, 2}, {x, y, z}, v, 1, 1, l, 333);
    // This block shows its line even while the display is suppressed.
    if (Zeigen(true) && !TestPunkt3(x, LetztesX, y, LetztesY, z, LetztesZ)) {
        NeueZeile("G1\tX%-10.3f Y%-10.3f\tZ%-10.3f", x, y, z);
        if (XYVorschubGeaendert) Vorschubzusatz(VorschubXY);
        IstPosAnz_X(x);
        IstPosAnz_Y(y);
        IstPosAnz_Z(z);
        Satz();
    }
    LetztesX = x;
    LetztesY = y;
    LetztesZ = z;
    return t * 60.0f;
}

float CSATZ::Satz_Z_V(float z) {
    MaxMinZ(z);
    const float dz = std::fabs(z - LetztesZ);
    const float t = ZeitMit(&ZeitVorschubZ, dz, VorschubZ);
    WegVorschubZ += dz;
    WegSeitWerkzeug += dz;
    KonturEnde({255, 255, 2}, 0.0f, 0.0f, z);
    if (Zeigen(false) && !TestGleich(z, LetztesZ)) {
        NeueZeile("G1\t\t\t\t\t\t\tZ%-10.3f", z);
        if (!ZVorschubGesetzt) {
            if (XYVorschubGeaendert) Vorschubzusatz(VorschubXY);
        } else {
            // The Z feed shows on every Z feed line; the next XY line shows its own feed again.
            Vorschubzusatz(VorschubZ);
            XYVorschubGeaendert = 1;
        }
        IstPosAnz_Z(z);
        Satz();
    }
    LetztesZ = z;
    return t * 60.0f;
}

float CSATZ::Satz_Kreis(float endX, float endY, float centreX, float centreY, float radius,
                        float startAngle, float sweep) {
    WSTTesteKreis(endX, endY, centreX, centreY, radius, startAngle, sweep);
    const float l = std::fabs(radius * sweep);
    const float t = Vorschubweg(l, VorschubXY);
    if (VorausschauEin)
        bahnplan.Kreis({0, 1, 255}, centreX, centreY, radius, startAngle, sweep, endX, endY, 0.0f,
                       VorschubXY, 1, 400);
    if (Zeigen(false)) {
        NeueZeile("%s\tX%-10.3f Y%-10.3f\t\t\t\t I%-10.3f\tJ%-10.3f", sweep <= 0.0f ? "G2" : "G3",
                  endX, endY, centreX, centreY);
        if (XYVorschubGeaendert) Vorschubzusatz(VorschubXY);
        IstPosAnz_X(endX);
        IstPosAnz_Y(endY);
        Satz();
    }
    LetztesX = endX;
    LetztesY = endY;
    return t * 60.0f;
}

int16_t CSATZ::Satz_A(float a) {
    if (Zeigen(false) && a != LetztesA) {
        NeueZeile("G0\tA%-10.3f", a);
        Satz();
        LetztesA = a;
    }
    return 0;
}

int16_t CSATZ::Satz_Wz(short tool) {
    char t[32];
    std::snprintf(t, sizeof t, "T%1d\tM6", tool);
    ZeigeText(t);
    return 0;
}

int16_t CSATZ::Satz_Spindel(short, short on) {
    ZeigeText(on ? "M03" : "M05");
    return 0;
}

int16_t CSATZ::Satz_Spinddreh(short, float speed) {
    char t[64];
    std::snprintf(t, sizeof t, "S%1.0f", speed);
    ZeigeText(t);
    return 0;
}

int16_t CSATZ::Satz_Wait(float seconds) {
    if (!Zeigen(false)) return 0;
    char t[400];
    std::snprintf(t, sizeof t, "(%s %1.3f)", Text(3904).t, seconds);
    ZeigeText(t);
    return 0;
}

int16_t CSATZ::Satz_Actuator(short number, short state) {
    char t[64];
    std::snprintf(t, sizeof t, state == 69 ? "(Actuator\t%1d\tON)" : "(Actuator\t%1d\tOFF)",
                  number);
    ZeigeText(t);
    return 0;
}

int16_t CSATZ::Satz_Sensor(short a, short b, float value) {
    if (!Zeigen(false)) return 0;
    char t[900];
    std::snprintf(t, sizeof t, "(%s %1d,\t%s %1d,\t%s %1.3f)", Text(3901).t, a, Text(3902).t, b,
                  Text(3903).t, value);
    ZeigeText(t);
    return 0;
}

int16_t CSATZ::Satz_String_Direkt(char* text) {
    if (!Zeigen(false)) return 0;
    char t[400];
    std::snprintf(t, sizeof t, "(%s:\t%s)", Text(3905).t, text ? text : "");
    ZeigeText(t);
    return 0;
}

int16_t CSATZ::Satz_Andere(short code) {
    if (code == 1013) {
        WegEilXY = WegVorschubZ = WegEilZ = WegVorschub = 0.0f;
        ZeitEilXY = ZeitVorschubZ = ZeitEilZ = ZeitVorschubXY = 0.0f;
        ZeitFuenf = 0.0f;
        AuftragBegonnen = 1;
        FertigeWerkstuecke = 0;
    }
    if (!AnzeigeEin) return 0;
    if (code >= 1000 || AnzeigeUnterdrueckt) {
        if (code == 1015) AnzeigeUnterdrueckt = 1;
        if (code == 1016) AnzeigeUnterdrueckt = 0;
        return 0;
    }
    if (code >= 1 && code <= 5) {
        NeueZeile("%.149s", Text(static_cast<int16_t>(3905 + code)).t);
    } else if (code == 6) {
        NeueZeile("M00");
    } else {
        // An event without a text of its own shows its number, so the line never repeats the
        // previous block.
        NeueZeile("(%d)", code);
    }
    if (code == 1) {
        WegSeitWerkzeug = 0.0f;
        return 0;
    }
    Satz();
    return 0;
}

int16_t CSATZ::Satz_WST_Ende(short code) {
    if (code == 1) ++FertigeWerkstuecke;
    if (code == 10) BerechneZeit(1);
    if (VorausschauEin) ZeitVorschubXY += bahnplan.NimmZeit();
    return 0;
}

int16_t CSATZ::Satz_Vorschub_xy(float xy) {
    BerechneZeit(0);
    if (AnzeigeUnterdrueckt) return 0;
    VorschubXY = xy * 1000.0f;
    XYVorschubGeaendert = 1;
    return 0;
}

int16_t CSATZ::Satz_Vorschub_xy_z(float xy, float z) {
    BerechneZeit(0);
    if (AnzeigeUnterdrueckt) return 0;
    VorschubXY = xy * 1000.0f;
    VorschubZ = z * 1000.0f;
    XYVorschubGeaendert = 1;
    ZVorschubGesetzt = 1;
    return 0;
}

int16_t CSATZ::Eil_V_Setz(float xy, float z) {
    BerechneZeit(0);
    EilXY = xy * 1000.0f;
    EilZ = z * 1000.0f;
    return 0;
}

// ---- synchronisation ----

// The last key the machine side saw: the shared channel's for the types that drive through it,
// the host object's for 2, 11 and 12, none (0) for the rest.
char CSATZ::LetzteTasteDerMaschine() const {
    if (KanalTaste(MaschinenTyp)) return static_cast<char>(Kanal().LetzteTaste);
    if (MaschinenTyp == 2 && Kommando) return Kommando->LetzteTaste;
    if (MaschinenTyp == 11 && KommandoP) return KommandoP->LetzteTaste;
    if (MaschinenTyp == 12 && KommandoC) return KommandoC->LetzteTaste;
    return 0;
}

// Escape in single step: the machine side's abort flags by machine type.
void CSATZ::Abbrechen() {
    switch (MaschinenTyp) {
        case 1:
        case 3:
        case 4:
        case 9:
        case 30:
        case 25:
            Kanal().Fehlerflag = 1;
            Kanal().Tastenabbruch = 1;
            break;
        case 2:
            if (Kommando) Kommando->Abbruch[0] = Kommando->Abbruch[1] = 1;
            break;
        case 11:
            if (KommandoP)
                KommandoP->Abbruch[0] = KommandoP->Abbruch[1] = KommandoP->Abbruch[2] = 1;
            break;
        case 12:
            if (KommandoC) KommandoC->Abbruch[0] = KommandoC->Abbruch[1] = 1;
            break;
        case 22:
            if (Din) Din->Escape1 = Din->Escape2 = 1;
            break;
        default:
            break;
    }
}

int16_t CSATZ::Satz() {
    pf::SetItemText(Dialog, kZeile1, Zeile1);
    pf::SetItemText(Dialog, kZeile2, Zeile2);
    pf::SetItemText(Dialog, kZeile3, Zeile3);
    int warten = 0;
    if (MaschinenTyp == 3)
        warten = HpglaWarteFertig(Hpgla);
    else if (MaschinenTyp == 2 && Kommando)
        Kommando->WarteFertig();
    else if (MaschinenTyp == 11 && KommandoP)
        KommandoP->WarteFertig();
    else if (MaschinenTyp == 12 && KommandoC)
        KommandoC->WarteFertig();
    bool abbruch = false;
    if (!Automatik) {
        pf::SetItemText(Dialog, kStatus, Text(warten == 2 ? 3911 : 3912).t);
        bool fertig = false;
        while (!fertig && !Automatik) {
            pf::Event e;
            if (!pf::TakeEvent(&e)) {
                pf::Sleep(1);  // the host's input arrives from its own thread
                continue;
            }
            if (e.kind == pf::Event::Paint) {
                pf::DispatchPaint(e.window);
            } else if (e.kind == pf::Event::KeyDown) {
                if (e.key == VK_RETURN) {
                    fertig = true;
                } else if (e.key == 'A' || e.key == 'a') {
                    Automatik = 1;
                    if (MaschinenTyp == 1) Kanal().LetzteTaste = 0;
                    if (MaschinenTyp == 2 && Kommando) Kommando->LetzteTaste = 0;
                    if (MaschinenTyp == 11 && KommandoP) KommandoP->LetzteTaste = 0;
                    if (MaschinenTyp == 12 && KommandoC) KommandoC->LetzteTaste = 0;
                    AutomatikGemeldet = 0;
                } else if (e.key == VK_ESCAPE) {
                    abbruch = true;
                    fertig = true;
                }
            }
        }
        pf::SetItemText(Dialog, kStatus, Text(3913).t);
    }
    if (Automatik) {
        if (!AutomatikGemeldet) {
            pf::SetItemText(Dialog, kStatus, Text(3914).t);
            AutomatikGemeldet = 1;
        }
        if (warten == 2) pf::SetItemText(Dialog, kStatus, Text(3915).t);
        const char taste = LetzteTasteDerMaschine();
        if (taste == 'S' || taste == 's') Automatik = 0;
    }
    if (abbruch) {
        Automatik = 1;
        pf::Event e;
        while (pf::TakeEvent(&e)) {
            if (e.kind == pf::Event::Paint) {
                pf::DispatchPaint(e.window);
                break;
            }
        }
        Abbrechen();
    }
    return 0;
}

void CSATZ::SetzeFehlerInSteuerung() {
    switch (MaschinenTyp) {
        case 1:
        case 3:
        case 4:
        case 9:
        case 30:
        case 5:
        case 8:
        case 10:
        case 15:
        case 22:
        case 25:
            Kanal().SetzeAbbruchTaste();
            break;
        case 2:
            if (Kommando) Kommando->FehlerInSteuerung();
            break;
        case 11:
            if (KommandoP) KommandoP->Abbruch[0] = KommandoP->Abbruch[1] = 1;
            break;
        case 12:
            if (KommandoC) KommandoC->Abbruch[0] = KommandoC->Abbruch[1] = 1;
            break;
        default:
            break;
    }
}

int16_t CSATZ::Ende() {
    if (MaschinenTyp == 3) HpglaNormalausgabe(Hpgla);
    return 0;
}
