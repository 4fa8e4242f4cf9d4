#include "writers/vhf/cvhf_580_980.h"

#include <cmath>
#include <cstdarg>

#include "channel/cx268io.h"
#include "writers/common/writer_common.h"
#include "writers/plotcommon/plot_common.h"

namespace plot = korvat::plot;

namespace {
// m/min to mm/s as this machine family takes it.
constexpr double kMmProS = 16.66666;
// Degrees per radian.
constexpr double kGrad = 57.29577951;
// A speed of 0, below 0 or NaN is no speed; the machine gets the slowest one instead.
float Mindestens1(float v) { return v > 0.0f ? v : 1.0f; }
}  // namespace

int CVHF_580_980::Init(InitStruct* init, int, int32_t) {
    if (init != nullptr) Init_ = *init;
    NimmAufloesung(init);
    return 0;
}

int CVHF_580_980::Open(short portWanted, const MaschEinstellung* settings, const char* basePath,
                       int* openedBefore, int geraeteart, const char*) {
    Geraeteart = geraeteart;
    Optionen = settings != nullptr ? settings->Optionen : 0;
    MaxXY = settings != nullptr ? settings->Achse[0].MaxGeschwindigkeit * kMmProS : 0.0f;
    MaxZ = settings != nullptr ? settings->Achse[2].MaxGeschwindigkeit * kMmProS : 0.0f;
    VarianteVS = settings != nullptr ? settings->VhfPositionierModus : 0;
    Ersetzt = 'Y';
    Teilapparat = 0;
    BerechneMasstab(0.0f);  // rotary off: base resolutions and the full limits
    Geschwindigkeit = -1;
    Eilgang = 1;
    FlushCountdown = 5;
    int result = cx268io.popen(1, portWanted, settings, basePath, openedBefore, geraeteart);
    if (result == 0) {
        AktX = AktY = AktZ = 0;
        LetzteEilX = LetzteEilY = LetzteEilZ = -10000;
        LetzteEilZBekannt = 0;
    }
    if (openedBefore != nullptr) *openedBefore = 1;
    return result;
}

int CVHF_580_980::Close(int closePort, int closeFile) {
    Schreibe("T0;");
    cx268io.pclose(closePort, closeFile);
    return 0;
}

void CVHF_580_980::Schreibe(const char* format, ...) {
    va_list args;
    va_start(args, format);
    // Every command of this writer is a few numbers: it always fits.
    korvat::writer::FormatiereV(Zeile, sizeof Zeile, format, args);
    va_end(args);
    Ausgabe(0);
}

void CVHF_580_980::SendeVS(float mmPerS) {
    Schreibe("VS%1d;", plot::Ganzzahl(mmPerS * 1000 + 0.5));
}

void CVHF_580_980::Move3(float x, float y, float z) {
    int32_t X, Y, Z;
    if (!Punkt("CVHF_580_980::Move3", x, y, &X, &Y) || !ZEinheit("CVHF_580_980::Move3", z, &Z)) {
        return;
    }
    Eilgang = 1;
    if (Z < LetzteEilZ) {
        if (VarianteVS) {
            SendeVS(Eilgeschwindigkeit);
            Schreibe("PA%1ld,%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y),
                     static_cast<long>(Z));
        } else {
            Schreibe("GA,,%1ld;", static_cast<long>(Z));
            Schreibe("GA%1ld,%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y),
                     static_cast<long>(Z));
        }
    } else if (VarianteVS) {
        SendeVS(Eilgeschwindigkeit);
        Schreibe("PA%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y));
        SendeVS(VorschubZ);
        Geschwindigkeit = 1;
        Eilgang = 0;
    } else {
        Schreibe("GA%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y));
        Schreibe("GA%1ld,%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y),
                 static_cast<long>(Z));
    }
    LetzteEilX = AktX = X;
    LetzteEilY = AktY = Y;
    LetzteEilZ = AktZ = Z;
    LetzteEilZBekannt = 1;
}

void CVHF_580_980::MoveZ(float z) {
    int32_t Z;
    if (!ZEinheit("CVHF_580_980::MoveZ", z, &Z)) return;
    if (LetzteEilZBekannt && Z == LetzteEilZ) return;
    if (VarianteVS) {
        SendeVS(VorschubZ);
        Geschwindigkeit = 1;
        Schreibe("ZA,,%1ld;", static_cast<long>(Z));
    } else {
        Schreibe("GA,,%1ld;", static_cast<long>(Z));
    }
    LetzteEilZ = AktZ = Z;
    LetzteEilZBekannt = 1;
}

void CVHF_580_980::Move_abs(float x, float y) {
    int32_t X, Y;
    if (!Punkt("CVHF_580_980::Move_abs", x, y, &X, &Y)) return;
    if (VarianteVS) {
        if (!Eilgang) SendeVS(VorschubZ);
        Schreibe("PA%1ld,%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y),
                 static_cast<long>(AktZ));
    } else {
        Schreibe("GA%1ld,%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y),
                 static_cast<long>(AktZ));
    }
    Eilgang = 1;
    LetzteEilX = AktX = X;
    LetzteEilY = AktY = Y;
}

void CVHF_580_980::Draw(float x, float y) {
    int32_t X, Y;
    if (!Punkt("CVHF_580_980::Draw", x, y, &X, &Y)) return;
    if (Geschwindigkeit != 0 || (VarianteVS && Eilgang)) SendeVS(VorschubXY);
    Eilgang = 0;
    Geschwindigkeit = 0;
    Schreibe("PA%1ld,%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y),
             static_cast<long>(AktZ));
    AktX = X;
    AktY = Y;
}

void CVHF_580_980::Draw3(float x, float y, float z, short) {
    int32_t X, Y, Z;
    if (!Punkt("CVHF_580_980::Draw3", x, y, &X, &Y) || !ZEinheit("CVHF_580_980::Draw3", z, &Z)) {
        return;
    }
    // After a rapid move of variant PA the machine still runs at the rapid speed, so the feed
    // is sent again, as for Draw and Kreis.
    if (Geschwindigkeit != 1 || (VarianteVS && Eilgang)) SendeVS(VorschubZ);
    Geschwindigkeit = 1;
    Eilgang = 0;
    Schreibe("PA%1ld,%1ld,%1ld;", static_cast<long>(X), static_cast<long>(Y), static_cast<long>(Z));
    AktX = X;
    AktY = Y;
    AktZ = Z;
}

void CVHF_580_980::Kreis(float centreX, float centreY, float, float, float sweep, float endX,
                         float endY) {
    double grad = sweep * kGrad;
    int32_t CX, CY, EX, EY;
    switch (BogenEinheiten("CVHF_580_980::Kreis", grad, sweep, centreX, centreY, endX, endY, &CX,
                           &CY, &EX, &EY)) {
        case Bogenart::Gerade:
            Draw(endX, endY);
            return;
        case Bogenart::Fehler:
            return;
        case Bogenart::Bogen:
            break;
    }
    if (Geschwindigkeit != 0 || (VarianteVS && Eilgang)) {
        SendeVS(VorschubXY);
        Eilgang = 0;
    }
    Geschwindigkeit = 0;
    // The arc line carries no pen command: this writer's feed moves write none either.
    Schreibe("%sAA%1ld,%1ld,%1.4f;", "", static_cast<long>(CX), static_cast<long>(CY), grad);
    AktX = EX;
    AktY = EY;
}

void CVHF_580_980::SetzeVorschuebe(float xyFeed, float zFeed, float rapid) {
    VorschubXY = Mindestens1(xyFeed * kMmProS);
    Eilgeschwindigkeit = Mindestens1(rapid * kMmProS);
    VorschubZ = Mindestens1(zFeed * kMmProS);
    VorschuebeBegrenzen();
    Geschwindigkeit = -1;
}

int CVHF_580_980::VorschuebeBegrenzen() {
    // A maximum of 0 or below was never set: it caps nothing.
    if (GrenzeXY > 0.0f) {
        if (VorschubXY > GrenzeXY) VorschubXY = GrenzeXY;
        if (Eilgeschwindigkeit > GrenzeXY) Eilgeschwindigkeit = GrenzeXY;
    }
    if (GrenzeZ > 0.0f && VorschubZ > GrenzeZ) VorschubZ = GrenzeZ;
    return 0;
}

void CVHF_580_980::Spinddreh(int32_t speed) {
    Drehzahl = speed;
    Schreibe("RVS%1ld;", static_cast<long>(speed));
}

void CVHF_580_980::Spindea(int on) {
    if (!on) Schreibe("RVS0;");
}

void CVHF_580_980::WkzW(int, int tool, float, float) {
    Schreibe("T%1d;", korvat::writer::WzUmcodieren(Werkzeugtabelle, tool));
}

void CVHF_580_980::Actuator(int output, char state) {
    Schreibe(state == 'E' ? "OS%1d,1;" : "OS%1d,0;", output);
}

void CVHF_580_980::InitTeilk(short on, short axis, char, float diameter, float, float) {
    Teilapparat = on;
    Ersetzt = (axis == 'X' || axis == 'x') ? 'X' : 'Y';
    BerechneMasstab(diameter);
}

int CVHF_580_980::AenderungDurchmesser(char state, float diameter) {
    Teilapparat = state == 'E';
    BerechneMasstab(diameter);
    return 0;
}

int CVHF_580_980::BerechneMasstab(float diameter) {
    XAufloesung = Init_.Aufloesung[0];
    YAufloesung = Init_.Aufloesung[1];
    GrenzeXY = MaxXY;
    GrenzeZ = MaxZ;
    if (!Teilapparat) return 0;
    if (!std::isfinite(diameter) || diameter <= 0.0f) {
        // Without a cylinder there is no scale for the rotary axis; engraving on it would put
        // every letter in the wrong place.
        plot::MeldeWert("CVHF_580_980::BerechneMasstab", "diameter", diameter, "mm");
        return 0;
    }
    float& ersetzt = Ersetzt == 'X' ? XAufloesung : YAufloesung;
    // 114.59 = 360 / pi: units per degree of a cylinder of this diameter.
    ersetzt = ersetzt / diameter * 114.59;
    float r = std::fabs(ersetzt) / std::fabs(Init_.Aufloesung[0]);
    if (r > 1.0f) {
        GrenzeXY /= r;
        GrenzeZ /= r;
        VorschuebeBegrenzen();
        // A speed the cap lowered must reach the machine before the next move.
        Geschwindigkeit = -1;
    }
    return 0;
}

void CVHF_580_980::SStringln(const char* text) {
    if (text != nullptr) Schreibe("%s", text);
}

void CVHF_580_980::SetzePD(char* buffer) { plot::SetzePD(&Eilgang, buffer); }

void CVHF_580_980::SetzePU(char* buffer) { plot::SetzePU(&Eilgang, buffer); }

void CVHF_580_980::FBStInfo(BSTINFO* info) {
    korvat::writer::FuelleBStInfo(info, {100, 0, 999, 0, 0}, {20, 0, 1, 0, 1, 100}, "");
}

void CVHF_580_980::Ausgabe(int) {
    plot::SchreibeZeile("CVHF_580_980", Zeile, &FlushCountdown, &BytesGeschrieben);
}
