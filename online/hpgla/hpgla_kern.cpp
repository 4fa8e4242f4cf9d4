#include "online/hpgla/hpgla_kern.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "writers/common/writer_common.h"
#include "writers/plotcommon/plot_common.h"

namespace korvat::hpgla {

using writer::Ganzzahl;

bool Initverzeichnis(const char* profile, char* out, size_t size) {
    out[0] = '\0';
    if (profile == nullptr) return true;
    // The host writes '\'; on this platform a profile path has '/', which counts alike.
    const char* ende = std::strrchr(profile, '\\');
    const char* schraeg = std::strrchr(profile, '/');
    if (schraeg != nullptr && (ende == nullptr || schraeg > ende)) ende = schraeg;
    if (ende == nullptr) ende = std::strrchr(profile, ':');
    if (ende == nullptr) return true;
    size_t n = static_cast<size_t>(ende - profile) + 1;
    if (n >= size) return false;
    std::memcpy(out, profile, n);
    out[n] = '\0';
    return true;
}

int SendeTextdatei(const char* dir, const char* name, int mitPfad) {
    char pfad[600];
    if (name == nullptr) return -1;
    if (!writer::Formatiere(pfad, sizeof pfad, "%s%s", mitPfad ? dir : "", name)) return -1;
    ZEAW leser;
    int ergebnis = leser.TOeffne(pfad);
    if (ergebnis != 0 || leser.Fehler) return ergebnis != 0 ? ergebnis : -1;
    while (!leser.TLeseEOF() && !leser.Fehler) {
        if (leser.TLeseZeile() != 0) break;
        if (leser.Fehler) break;  // a cut line is not sent
        cx268io.poutstrln(leser.Zeile);
    }
    // A file that could not be read to its end counts as not sent: the controller would run
    // without part of its set-up.
    if (leser.Fehler) ergebnis = -1;
    leser.TSchliesse();
    return ergebnis;
}

void FuelleStatus(BSTINFO* b, uint8_t first, const char* axes) {
    writer::FuelleBStInfo(b, {0, 0, 99, 0, 10}, {first, 0, 1, 1, 2, 10}, axes);
}

void Kern::Zaehle() {
    if (Einzelschritt) {
        ++Ausstehend;
    } else {
        Flushzaehler(&FlushCountdown);
    }
}

void Kern::Sende(bool mitStatus, const char* format, ...) {
    va_list args;
    va_start(args, format);
    // A statement is a pen prefix, a word and at most three numbers: it always fits.
    writer::FormatiereV(Satz, sizeof Satz, format, args);
    va_end(args);
    cx268io.poutstrln(Satz);
    if (mitStatus) Zaehle();
}

bool Kern::Schritte(const char* wo, const char* name, float mm, float scale, int32_t* out) {
    return plot::Einheiten(wo, name, mm, mm * scale, out);
}

bool Kern::Punkt(const char* wo, float x, float y, int32_t* px, int32_t* py) {
    return Schritte(wo, "x", x, SkalaX, px) && Schritte(wo, "y", y, SkalaY, py);
}

void Kern::SetzePD(char* buffer) {
    buffer[0] = '\0';
    if (!StiftOben) return;
    if (Stiftnummer >= 2) {
        std::snprintf(buffer, 12, "GF%1d;PD;", static_cast<int>(Stiftnummer % 100));
    } else {
        std::strcpy(buffer, "PD;");
    }
    StiftOben = 0;
}

void Kern::SetzePU(char* buffer) {
    buffer[0] = '\0';
    if (StiftOben) return;
    std::strcpy(buffer, Stiftnummer < 2 ? "PU;" : "GF1;PU;");
    StiftOben = 1;
}

void Kern::InitGemeinsam(const InitStruct* init) {
    LetzteX = LetzteY = LetzteZ = Vierte = 0;
    Achsbuchstabe = ' ';
    Startzeit = static_cast<int32_t>(platform::NowMs());
    ExtraKopf = init != nullptr && init->MaschTypBuchstabe == 'Z' ? 1 : 0;
    InitWert = init != nullptr ? init->Weitere[0] : 0.0f;
}

int Kern::OeffneKanal(short port, const MaschEinstellung* settings, const char* name, int* opened,
                      int protocol, const char* profile, int schnell) {
    int lokal = 0;
    if (opened == nullptr) opened = &lokal;
    const bool erstes = *opened == 0;
    if (erstes) {
        StiftOben = 1;
        FlushCountdown = 5;
        hpgla::Initverzeichnis(profile, Initverzeichnis, sizeof Initverzeichnis);
    }
    int ergebnis = cx268io.popen(1, port, settings, name, opened, protocol);
    cx268io.poutchar(';');
    if (erstes && ergebnis == 0) {
        const char* datei = schnell ? "INITSK.DAT" : "INITSV.DAT";
        int r = SendeInitDatei(datei, 1);
        if (r != 0) {
            char pfad[300];
            writer::Formatiere(pfad, sizeof pfad, "%s%s", Initverzeichnis, datei);
            cx268io.psfehler(kFehlerStartdatei, 0, 0, pfad, "", 0.0f, 0.0f, 0.0f);
            ergebnis = r;
        }
    }
    return ergebnis;
}

void Kern::Draw(float x, float y) {
    int32_t px, py;
    if (!Punkt("Draw", x, y, &px, &py)) return;
    char pen[12];
    SetzePD(pen);
    // Both points lie within 2^30 steps of zero, so the step fits.
    Sende(true, "%sPR\t%1ld,%1ld;", pen, static_cast<long>(px - LetzteX),
          static_cast<long>(py - LetzteY));
    LetzteX = px;
    LetzteY = py;
}

void Kern::Kreis(float mx, float my, float, float sweep, float ex, float ey) {
    int32_t cx, cy, px, py;
    if (!Punkt("Kreis", mx, my, &cx, &cy) || !Punkt("Kreis", ex, ey, &px, &py)) return;
    // Degrees as a 32-bit value, so that -45.25 degrees stays -45.25 and not -45.2499998.
    float grad = static_cast<float>(sweep * 57.29577951);
    if (!std::isfinite(grad) || std::fabs(grad) > 1e6f) {
        plot::MeldeWert("Kreis", "sweep", sweep, "rad");
        return;
    }
    int32_t ganz = static_cast<int32_t>(grad);
    int tausendstel = std::abs(static_cast<int>((grad - static_cast<float>(ganz)) * 1000.0f));
    LetzteX = px;
    LetzteY = py;
    char pen[12];
    SetzePD(pen);
    if (ganz == 0 && grad < 0.0f && tausendstel > 0) {
        // A sweep between -1 and 0 degrees keeps its direction: "-0,500", not "0,500".
        Sende(true, "%sAA\t%1ld,%1ld,-0,%03d;", pen, static_cast<long>(cx), static_cast<long>(cy),
              tausendstel);
    } else {
        Sende(true, "%sAA\t%1ld,%1ld,%1d,%03d;", pen, static_cast<long>(cx), static_cast<long>(cy),
              static_cast<int>(ganz), tausendstel);
    }
}

void Kern::BPosit_X(float x) {
    int32_t px;
    if (!Schritte("BPosit_X", "x", x, SkalaX, &px)) return;
    LetzteX = px;
    char pen[12];
    SetzePU(pen);
    Sende(true, "%sXA\t%1ld;", pen, static_cast<long>(px));
}

void Kern::BPosit_Y(float y) {
    int32_t py;
    if (!Schritte("BPosit_Y", "y", y, SkalaY, &py)) return;
    LetzteY = py;
    char pen[12];
    SetzePU(pen);
    Sende(true, "%sYA\t%1ld;", pen, static_cast<long>(py));
}

int Kern::SetzXY(float x, float y) {
    int32_t px, py;
    if (!Punkt("SetzXY", x, y, &px, &py)) return 0;
    Sende(false, "CX %1ld; CY\t%1ld;", static_cast<long>(px), static_cast<long>(py));
    return 0;
}

void Kern::Eilgang(int32_t px, int32_t py, int32_t pz, bool immerSchlussZ, int32_t* positioned) {
    char pen[12];
    SetzePU(pen);
    const int32_t vorher = LetzteZ;
    if (pz > LetzteZ) {
        Sende(true, "%sZA\t%1ld;", pen, static_cast<long>(pz));
        pen[0] = '\0';
        LetzteZ = pz;
    }
    if (px != LetzteX || py != LetzteY) {
        Sende(true, "%sPA\t%1ld,%1ld;", pen, static_cast<long>(px), static_cast<long>(py));
        pen[0] = '\0';
        LetzteX = px;
        LetzteY = py;
        if (positioned != nullptr) {
            positioned[0] = px;
            positioned[1] = py;
        }
    }
    if (immerSchlussZ ? pz <= LetzteZ : pz < vorher) {
        Sende(true, "%sZA\t%1ld;", pen, static_cast<long>(pz));
    }
    LetzteZ = pz;
}

void Kern::SendeVorschuebe(float fxy, float fz, bool mitStatus) {
    long xy = static_cast<long>(Ganzzahl(fxy * 1000.0f));
    Sende(mitStatus, "EDX%1ld,\tY%1ld, Z%1ld;", xy, xy, static_cast<long>(Ganzzahl(fz * 1000.0f)));
}

void Kern::Spindea(int ein) { Sende(true, "%s", ein != 0 ? "SE;" : "SA;"); }

void Kern::SendeDrehzahl(int n, const SpindelInfo* info, bool mitStatus) {
    const float drehzahl = static_cast<float>(n);
    if (info == nullptr || !(drehzahl >= info->MinDrehzahl && drehzahl <= info->MaxDrehzahl)) {
        cx268io.psfehler(kFehlerSpindelbereich, n, 0, "Spinddreh", "",
                         info ? info->MinDrehzahl : 0.0f, info ? info->MaxDrehzahl : 0.0f, 0.0f);
    } else if (!(info->MinAusgabe >= 0.0f) || !(info->MaxAusgabe <= 2.5505f)) {
        cx268io.psfehler(kFehlerSpindelwerte, n, 0, "Spinddreh", "", info->MinAusgabe,
                         info->MaxAusgabe, 0.0f);
    } else {
        // One speed only: there is nothing to interpolate, the value of its lower end holds.
        const float spanne = info->MaxDrehzahl - info->MinDrehzahl;
        float wert = info->MinAusgabe;
        if (spanne > 0.0f) {
            wert += (drehzahl - info->MinDrehzahl) * (info->MaxAusgabe - info->MinAusgabe) / spanne;
        }
        const int ausgabe = static_cast<int>(Ganzzahl(wert * 100.0f + 0.45f));
        writer::Formatiere(Satz, sizeof Satz, "DA\t%1d;", ausgabe);
        cx268io.poutstrln(Satz);
    }
    if (mitStatus) Zaehle();
}

void Kern::PositZ(int32_t pz, bool mitStatus) {
    LetzteZ = pz;
    char pen[12];
    SetzePU(pen);
    Sende(mitStatus, "%sZA %1ld;", pen, static_cast<long>(pz));
}

void Kern::PositXY(float x, float y, bool mitStatus) {
    int32_t px, py;
    if (!Punkt("BPosit_XY", x, y, &px, &py)) return;
    LetzteX = px;
    LetzteY = py;
    char pen[12];
    SetzePU(pen);
    Sende(mitStatus, "%sPA %1ld,%1ld;", pen, static_cast<long>(px), static_cast<long>(py));
}

void Kern::SendeWartezeit(float seconds, bool mitStatus) {
    Sende(mitStatus, "WA %ld;", static_cast<long>(Ganzzahl(seconds * 1000.0f)));
}

int Kern::BPuffClear() {
    Sende(false, "%s", "*;CB;RS;");
    return 0;
}

int Kern::SendeInitDatei(const char* name, int mitPfad) {
    return SendeTextdatei(Initverzeichnis, name, mitPfad);
}

int Kern::SendeDatei(const char* path) { return SendeInitDatei(path, 0); }

bool Kern::Positionsantwort(int32_t steps[3], bool silent) {
    cx268io.pflush_input();
    if (silent) cx268io.SetzeTimeout(50, 1000);
    char antwort[100];
    bool gelesen = cx268io.poutstr(kPositionsfrage) == 0 && cx268io.pinstr(antwort) == 0;
    if (silent) cx268io.SetzeTimeout(0, 0);
    if (!gelesen) {
        Leser.Beginn("", "");
        Leser.Fehler = 1;
        return false;
    }
    Leser.Beginn(antwort, "Position");
    for (int i = 0; i < 3; ++i) steps[i] = Leser.WHex();
    return Leser.Fehler == 0;
}

int Kern::LeseIst(int, FLAGPOS* pos) {
    if (pos != nullptr) {
        for (int i = 0; i < 4; ++i) pos->Gueltig[i] = 0;
    }
    int32_t s[3];
    if (!Positionsantwort(s, false)) return 0;
    if (pos == nullptr) return 3;
    const float skala[3] = {SkalaX, SkalaY, SkalaZ};
    for (int i = 0; i < 3; ++i) {
        pos->Pos[i] = static_cast<float>(s[i]) / skala[i];
        pos->Gueltig[i] = 1;
    }
    return 3;
}

int Kern::LeseIst_Check() {
    int32_t s[3];
    return Positionsantwort(s, true) ? 0 : 1;
}

int Kern::LeseTamelWert() {
    static constexpr int kGewicht[6] = {0x4000, 0x2000, 0x1000, 0x800, 0x400, 0x200};
    if (Leser.Fehler) return -1;
    int summe = 0;
    for (int gewicht : kGewicht) {
        int32_t wert = Leser.WHex();
        if (Leser.Fehler) return -1;
        summe += static_cast<int>((static_cast<int64_t>(wert) - 48) * gewicht);
    }
    return summe;
}

}  // namespace korvat::hpgla
