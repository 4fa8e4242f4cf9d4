#include "writers/plotcommon/plot_common.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "channel/cx268io.h"
#include "writers/common/writer_common.h"

namespace korvat::plot {

bool Einheiten(const char* wo, const char* name, float mm, float units, int32_t* out) {
    if (!std::isfinite(units) || std::fabs(units) > static_cast<float>(kGrenzeEinheiten)) {
        MeldeWert(wo, name, mm, "mm");
        return false;
    }
    // The float limit rounds up to 2^30, one unit beyond the range; that one value is clamped.
    int32_t v = writer::RundeL(units);
    if (v > kGrenzeEinheiten) v = kGrenzeEinheiten;
    if (v < -kGrenzeEinheiten) v = -kGrenzeEinheiten;
    *out = v;
    return true;
}

void MeldeWert(const char* wo, const char* name, double value, const char* unit) {
    char text[256];
    int code;
    if (!std::isfinite(value)) {
        code = writer::kFehlerZahlUngueltig;
        writer::Formatiere(text, sizeof text, "%s = %g%s%s: not a finite number", name, value,
                           *unit ? " " : "", unit);
    } else {
        code = kFehlerAusserhalb;
        writer::Formatiere(text, sizeof text, "%s = %.7g%s%s: beyond the range the machine takes",
                           name, value, *unit ? " " : "", unit);
    }
    float f = std::isfinite(value) && std::fabs(value) < std::numeric_limits<float>::max()
                  ? static_cast<float>(value)
                  : 0.0f;
    cx268io.psfehler(code, 0, 0, wo, text, f, 0.0f, 0.0f);
}

void MeldeToolCheck() { cx268io.psfehler(writer::kFehlerToolCheck, 0, 0, "", "", 0, 0, 0); }

void SetzePD(int32_t* penUp, char* buffer) {
    if (*penUp) {
        std::memcpy(buffer, "PD;", 4);
        *penUp = 0;
    } else {
        buffer[0] = '\0';
    }
}

void SetzePU(int32_t* penUp, char* buffer) {
    if (!*penUp) {
        std::memcpy(buffer, "PU;", 4);
        *penUp = 1;
    } else {
        buffer[0] = '\0';
    }
}

bool SchreibeZeile(const char* wo, const char* line, int32_t* countdown, int32_t* bytes) {
    size_t n = strnlen(line, kZeileMax + 1);
    if (n > kZeileMax) {
        char text[256];
        writer::Formatiere(text, sizeof text, "line of more than %zu characters: %.40s...",
                           kZeileMax, line);
        cx268io.psfehler(writer::kFehlerSatzZuLang, 0, 0, wo, text, 0, 0, 0);
        return false;
    }
    if (n > 0) cx268io.poutstrln(line);
    if (*countdown <= 0) {
        cx268io.pflush_input();
        *countdown = 10;
    } else {
        --*countdown;
    }
    int64_t total = static_cast<int64_t>(*bytes) + static_cast<int64_t>(n) + 2;
    *bytes = total > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                         : static_cast<int32_t>(total);
    return true;
}

int32_t MmProSekunde(float feedMPerMin) { return Ganzzahl(feedMPerMin * 16.666 + 0.5); }

bool VerweilzeitPasst(const char* wo, float seconds) {
    if (std::isfinite(seconds) && seconds <= 86400.0f) return true;
    MeldeWert(wo, "seconds", seconds, "s");
    return false;
}

double Grad(float radians) { return radians * 57.29578; }

void Werkstueckgroesse(float width, float height, float altWidth, float altHeight, int axisExchange,
                       int multiplePlate, float* outWidth, float* outHeight) {
    if (multiplePlate) {
        *outWidth = altWidth;
        *outHeight = altHeight;
    } else if (axisExchange) {
        *outWidth = height;
        *outHeight = width;
    } else {
        *outWidth = width;
        *outHeight = height;
    }
}

int32_t Speichergrenze(int32_t limit) { return limit < 1 ? kOhneSpeichergrenze : limit; }

void Einheitenschreiber::WZWPplusB(WZW_PB_STRUCT* table, short count) {
    Werkzeugtabelle = table;
    WerkzeugAnzahl = count;
}

void Einheitenschreiber::SetzePosInfos(float width, float height, float, float, int, int, float,
                                       float, int) {
    Breite = width;
    Hoehe = height;
}

void Einheitenschreiber::SetzeGTiefe(float depth, short) { Tiefe = depth; }

void Einheitenschreiber::SetzeFlughAbsolut(float height, float lift) {
    Flughoehe = height - 0.001f;
    Abhebewert = lift;
}

int Einheitenschreiber::SendeBefehl(const char* text) {
    if (text != nullptr) cx268io.poutstrln(text);
    return 0;
}

void Einheitenschreiber::ToolCheck() { MeldeToolCheck(); }

int32_t Einheitenschreiber::RundeL(float value) { return writer::RundeL(value); }

void Einheitenschreiber::NimmAufloesung(const InitStruct* init) {
    if (init == nullptr) return;
    XAufloesung = init->Aufloesung[0];
    YAufloesung = init->Aufloesung[1];
    ZAufloesung = init->Aufloesung[2];
}

bool Einheitenschreiber::Punkt(const char* wo, float x, float y, int32_t* px, int32_t* py) const {
    return Einheiten(wo, "x", x, x * XAufloesung, px) && Einheiten(wo, "y", y, y * YAufloesung, py);
}

bool Einheitenschreiber::ZEinheit(const char* wo, float z, int32_t* pz) const {
    return Einheiten(wo, "z", z, z * ZAufloesung, pz);
}

Einheitenschreiber::Bogenart Einheitenschreiber::BogenEinheiten(
    const char* wo, double grad, float sweep, float centreX, float centreY, float endX, float endY,
    int32_t* cx, int32_t* cy, int32_t* ex, int32_t* ey) const {
    if (std::fabs(grad) <= 0.001) return Bogenart::Gerade;
    if (!std::isfinite(grad)) {
        MeldeWert(wo, "sweep", sweep, "rad");
        return Bogenart::Fehler;
    }
    if (!Punkt(wo, centreX, centreY, cx, cy) || !Punkt(wo, endX, endY, ex, ey)) {
        return Bogenart::Fehler;
    }
    return Bogenart::Bogen;
}

}  // namespace korvat::plot
