#include "writers/ctorve/ctorve.h"

#include <cmath>
#include <cstdarg>

#include "channel/cx268io.h"
#include "writers/common/writer_common.h"

namespace plot = korvat::plot;

namespace {
// The machine speed of a feed: mm/s, at least 1, at most what the 16-bit field holds.
int16_t MaschinenGeschwindigkeit(float feedMPerMin) {
    int32_t v = plot::MmProSekunde(feedMPerMin);
    if (v < 1) v = 1;
    if (v > 32767) v = 32767;
    return static_cast<int16_t>(v);
}
}  // namespace

int CTORVE::Init(InitStruct* init, int, int32_t) {
    NimmAufloesung(init);
    return 0;
}

int CTORVE::Open(short portWanted, const MaschEinstellung* settings, const char* basePath,
                 int* openedBefore, int geraeteart, const char*) {
    Geraeteart = geraeteart;
    Optionen = settings != nullptr ? settings->Optionen : 0;
    Geschwindigkeit = -1;
    StiftOben = 1;
    FlushCountdown = 5;
    int result = cx268io.popen(1, portWanted, settings, basePath, openedBefore, geraeteart);
    if (result == 0) {
        AktX = AktY = AktZ = 0;
        LetzteEilX = LetzteEilY = LetzteEilZ = -10000;
        LetzteEilZBekannt = 0;
        Schreibe("IN;ZZ1;PA;");
    }
    if (openedBefore != nullptr) *openedBefore = 1;
    return result;
}

int CTORVE::Close(int closePort, int closeFile) {
    Schreibe("SP0;");
    cx268io.pclose(closePort, closeFile);
    return 0;
}

void CTORVE::SetzeSpezial(int32_t memoryLimit, HWND owner) {
    Speichergrenze = plot::Speichergrenze(memoryLimit);
    Besitzer = owner;
    BytesGeschrieben = 0;
}

void CTORVE::Schreibe(const char* format, ...) {
    va_list args;
    va_start(args, format);
    // Every command of this writer is a few numbers: it always fits.
    korvat::writer::FormatiereV(Zeile, sizeof Zeile, format, args);
    va_end(args);
    Ausgabe(0);
}

void CTORVE::Move3(float x, float y, float z) {
    int32_t X, Y, Z;
    if (!Punkt("CTORVE::Move3", x, y, &X, &Y) || !ZEinheit("CTORVE::Move3", z, &Z)) return;
    StiftOben = 1;
    Schreibe("PU%1ld,%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y),
             -static_cast<long>(Z));
    LetzteEilX = AktX = X;
    LetzteEilY = AktY = Y;
    LetzteEilZ = AktZ = Z;
    LetzteEilZBekannt = 1;
}

void CTORVE::Move_abs(float x, float y) {
    int32_t X, Y;
    if (!Punkt("CTORVE::Move_abs", x, y, &X, &Y)) return;
    StiftOben = 1;
    Schreibe("PU%1ld,%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y),
             -static_cast<long>(AktZ));
    LetzteEilX = AktX = X;
    LetzteEilY = AktY = Y;
}

void CTORVE::MoveZ(float z) {
    int32_t Z;
    if (!ZEinheit("CTORVE::MoveZ", z, &Z)) return;
    // Compared with the last lifted move, not with the depth a Draw3 reached.
    if (LetzteEilZBekannt && Z == LetzteEilZ) return;
    char pen[4];
    SetzePU(pen);
    Schreibe("%s", pen);
    Schreibe("ZA%1ld;", -static_cast<long>(Z));
    LetzteEilZ = AktZ = Z;
    LetzteEilZBekannt = 1;
}

void CTORVE::Draw(float x, float y) {
    int32_t X, Y;
    if (!Punkt("CTORVE::Draw", x, y, &X, &Y)) return;
    StiftOben = 0;
    if (Geschwindigkeit != 0) Schreibe("SF%1d;", GeschwXY);
    Geschwindigkeit = 0;
    Schreibe("PD%1ld,%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y),
             -static_cast<long>(AktZ));
    AktX = X;
    AktY = Y;
}

void CTORVE::Draw3(float x, float y, float z, short) {
    int32_t X, Y, Z;
    if (!Punkt("CTORVE::Draw3", x, y, &X, &Y) || !ZEinheit("CTORVE::Draw3", z, &Z)) return;
    if (Geschwindigkeit != 1) Schreibe("SF%1d;", GeschwZ);
    Geschwindigkeit = 1;
    StiftOben = 0;
    Schreibe("PD%1ld,%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y),
             -static_cast<long>(Z));
    AktX = X;
    AktY = Y;
    AktZ = Z;
}

void CTORVE::Kreis(float centreX, float centreY, float, float, float sweep, float endX,
                   float endY) {
    double grad = plot::Grad(sweep);
    int32_t CX, CY, EX, EY;
    switch (BogenEinheiten("CTORVE::Kreis", grad, sweep, centreX, centreY, endX, endY, &CX, &CY,
                           &EX, &EY)) {
        case Bogenart::Gerade:
            Draw(endX, endY);
            return;
        case Bogenart::Fehler:
            return;
        case Bogenart::Bogen:
            break;
    }
    if (Geschwindigkeit != 0) Schreibe("SF%1d;", GeschwXY);
    Geschwindigkeit = 0;
    char pen[4];
    SetzePD(pen);
    Schreibe("%sAA%1ld,%1ld,%1.4f;", pen, static_cast<long>(CX), static_cast<long>(CY), grad);
    AktX = EX;
    AktY = EY;
}

void CTORVE::SetzeVorschuebe(float xyFeed, float zFeed) {
    GeschwXY = MaschinenGeschwindigkeit(xyFeed);
    GeschwZ = MaschinenGeschwindigkeit(zFeed);
    Geschwindigkeit = -1;
}

void CTORVE::Spinddreh(int32_t speed) {
    Drehzahl = speed;
    Schreibe("ZO100,%1d;", speed);
}

void CTORVE::Wait(float seconds) {
    if (!plot::VerweilzeitPasst("CTORVE::Wait", seconds)) return;
    if (seconds > 0.0f) Schreibe("SC100, %1d;", plot::Ganzzahl(seconds * 1000));
}

void CTORVE::WkzW(int, int tool, float, float) {
    Schreibe("SP%1d;", korvat::writer::WzUmcodieren(Werkzeugtabelle, tool));
}

void CTORVE::SetzePD(char* buffer) { plot::SetzePD(&StiftOben, buffer); }

void CTORVE::SetzePU(char* buffer) { plot::SetzePU(&StiftOben, buffer); }

void CTORVE::SStringln(const char* text) {
    if (text != nullptr) Schreibe("%s", text);
}

void CTORVE::FBStInfo(BSTINFO* info) {
    korvat::writer::FuelleBStInfo(info, {100, 0, 999, 0, 0}, {0, 0, 1, 0, 0, 0}, "");
}

void CTORVE::Ausgabe(int) {
    plot::SchreibeZeile("CTORVE", Zeile, &FlushCountdown, &BytesGeschrieben);
}
