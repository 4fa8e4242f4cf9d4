// Range checks of the job supervisor: the workpiece and the machine's travel, the path extremes
// and the reports shown to the operator.
#include <cmath>
#include <cstdio>
#include <utility>

#include "common/fxtexte.h"
#include "common/grundfkt.h"
#include "platform/dialogs.h"
#include "supervision/csatz.h"

namespace pf = korvat::platform;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Calls pruefe(x, y) for the start point, the end point and every axis point of the circle (a
// whole multiple of pi/2) that the arc passes strictly between its ends.
template <class F>
void KreisPunkte(float endX, float endY, float cx, float cy, float r, float start, float sweep,
                 F pruefe) {
    pruefe(static_cast<float>(cx + r * std::cos(static_cast<double>(start))),
           static_cast<float>(cy + r * std::sin(static_cast<double>(start))));
    pruefe(endX, endY);
    const float a0 = static_cast<float>(KFWKORREKTUR(start));
    const float e = a0 + sweep;
    const auto achsPunkt = [&](int k) {
        const double theta = k * kPi / 2.0;
        const float t = static_cast<float>(theta);
        if (sweep > 0.0f ? (a0 < t && t < e) : (e < t && t < a0))
            pruefe(static_cast<float>(cx + r * std::cos(theta)),
                   static_cast<float>(cy + r * std::sin(theta)));
    };
    if (sweep > 0.0f) {
        for (int k = 0; k * kPi / 2.0 < 4.0 * kPi + 0.1; ++k) achsPunkt(k);
    } else {
        for (int k = 4; k * kPi / 2.0 > -2.0 * kPi - 0.1; --k) achsPunkt(k);
    }
}

}  // namespace

int16_t CSATZ::SetzeWerkstueckgroesse(float minX, float maxX, float minY, float maxY, float fifth,
                                      float, float margin) {
    WstRand = margin + 2.0f;
    WstMaxX = maxX;
    WstMaxY = maxY;
    WstMinX = minX;
    WstMinY = minY;
    WstFuenfter = fifth;
    return 0;
}

int16_t CSATZ::SetzeMaschgroesse(float minX, float maxX, float minY, float maxY, float minZ,
                                 float maxZ) {
    MaschMinX = minX;
    MaschMaxX = maxX;
    MaschMinY = minY;
    MaschMaxY = maxY;
    MaschMinZ = minZ;
    MaschMaxZ = maxZ;
    return 0;
}

int16_t CSATZ::Setze_Z_Wbp_Einzelwerte(float c1, float c2, float c3, float c4, float c5, float c6,
                                       float c7) {
    const float werte[7] = {c2, c1, c3, c4, c5, c6, c7};
    for (int i = 0; i < 7; ++i) ZAnteil[i] = werte[i];
    return 0;
}

// Each switch returns the state it replaced.
int16_t CSATZ::WSTTesteEin() { return std::exchange(WstTestEin, int16_t{1}); }
int16_t CSATZ::WSTTesteAus() { return std::exchange(WstTestEin, int16_t{0}); }
int16_t CSATZ::MaschTesteEin() { return std::exchange(MaschTestEin, int16_t{1}); }
int16_t CSATZ::MaschTesteAus() { return std::exchange(MaschTestEin, int16_t{0}); }

int16_t CSATZ::WSTTesteKoordinate(float x, float y) {
    if (!WstTestEin || WstGemeldet) return 0;
    const float w = WstRand * 1.12f;
    if (x < WstMinX - w || x > WstMaxX + w || y < WstMinY - w || y > WstMaxY + w) {
        WstGemeldet = 1;
        char text[256];
        LadeRcString(8308, text, 256);
        MeldeXYUeberschreitung(text, x, y, 1);
    }
    return 0;
}

int16_t CSATZ::WSTTesteKreis(float endX, float endY, float centreX, float centreY, float radius,
                             float startAngle, float sweep) {
    // Without a workpiece check to make (off, or its one report made) the arc's points matter
    // only to the extremes. Every point KreisPunkte computes, cx + r cos a rounded to double and
    // then to float, lies within the circle's box rounded the same way, so a circle whose box
    // lies inside the extremes cannot move them: its points need not be computed.
    if (!WstTestEin || WstGemeldet) {
        const double r = std::fabs(static_cast<double>(radius));
        const float x0 = static_cast<float>(centreX - r), x1 = static_cast<float>(centreX + r);
        const float y0 = static_cast<float>(centreY - r), y1 = static_cast<float>(centreY + r);
        if (x0 >= MinX && x1 <= MaxX && y0 >= MinY && y1 <= MaxY) {
            MaxMinXY(endX, endY);
            return 0;
        }
    }
    KreisPunkte(endX, endY, centreX, centreY, radius, startAngle, sweep, [this](float x, float y) {
        WSTTesteKoordinate(x, y);
        MaxMinXY(x, y);
    });
    return 0;
}

int16_t CSATZ::MaschTesteKoordinate(float x, float y, float z, int abort) {
    if (!MaschTestEin) return 0;
    int16_t ergebnis = 0;
    if ((x < MaschMinX || x > MaschMaxX || y < MaschMinY || y > MaschMaxY) &&
        (!MaschGemeldet || abort == 0)) {
        MaschGemeldet = 1;
        char text[256];
        LadeRcString(8309, text, 256);
        MeldeXYUeberschreitung(text, x, y, abort);
        ergebnis = 1;
    }
    if (ergebnis == 0) ergebnis = MaschTesteZWert(z, abort);
    return ergebnis;
}

int16_t CSATZ::MaschTesteZWert(float z, int abort) {
    if (!MaschTestEin) return 0;
    int16_t ergebnis = 0;
    char text[256];
    if (z < MaschMinZ && (!MaschGemeldet || abort == 0)) {
        MaschGemeldet = 1;
        LadeRcString(8310, text, 256);
        MeldeZUeberschreitung(text, z, abort);
        ergebnis = 4;
    }
    if (z > MaschMaxZ + 0.01f && (!MaschGemeldet || abort == 0)) {
        MaschGemeldet = 1;
        LadeRcString(8311, text, 256);
        MeldeZUeberschreitung(text, z, abort);
        ergebnis = 4;
    }
    return ergebnis;
}

int16_t CSATZ::MaschTesteKreis(float endX, float endY, float centreX, float centreY, float radius,
                               float startAngle, float sweep) {
    // Off, or its one report of an arc made: no point can be reported, none is computed.
    if (!MaschTestEin || MaschGemeldet) return 0;
    KreisPunkte(endX, endY, centreX, centreY, radius, startAngle, sweep,
                [this](float x, float y) { MaschTesteKoordinate(x, y, MaschMinZ + 0.001f, 1); });
    return 0;
}

void CSATZ::MaxMinXY(float x, float y) {
    if (x < MinX) MinX = x;
    if (y < MinY) MinY = y;
    if (x > MaxX) MaxX = x;
    if (y > MaxY) MaxY = y;
}

void CSATZ::MaxMinZ(float z) {
    if (z < MinZ) MinZ = z;
    if (z > MaxZ) MaxZ = z;
}

int16_t CSATZ::TestGleich(float a, float b) { return std::fabs(a - b) < Toleranz ? 1 : 0; }

int16_t CSATZ::TestPunkt(float x1, float x2, float y1, float y2) {
    return TestGleich(x1, x2) && TestGleich(y1, y2) ? 1 : 0;
}

int16_t CSATZ::TestPunkt3(float x1, float x2, float y1, float y2, float z1, float z2) {
    return TestGleich(x1, x2) && TestGleich(y1, y2) && TestGleich(z1, z2) ? 1 : 0;
}

void CSATZ::MeldeXYUeberschreitung(char* text, float x, float y, int abort) {
    char titel[256];
    LadeRcString(8260, titel, 255);
    char meldung[600];
    std::snprintf(meldung, sizeof meldung, "%s\nX = %10.4f       Y = %10.4f", text ? text : "", x,
                  y);
    pf::Dialogs().MessageBox(Dialog, meldung, titel, MB_ICONSTOP);
    if (abort) SetzeFehlerInSteuerung();
}

void CSATZ::MeldeZUeberschreitung(char* text, float z, int abort) {
    // ZAnteil holds c2, c1, c3 .. c7; c1 is not part of the remainder.
    const float rest =
        z - ZAnteil[0] - ZAnteil[2] - ZAnteil[3] - ZAnteil[4] - ZAnteil[5] - ZAnteil[6];
    char titel[256];
    LadeRcString(8260, titel, 255);
    char label[9][256];
    for (int i = 0; i < 9; ++i) LadeRcString(static_cast<int16_t>(9122 + i), label[i], 255);
    char meldung[4096];
    std::snprintf(meldung, sizeof meldung,
                  "%s %1.4f\n\n%s\n\n%-45s% 10.4f\n%-45s% 10.4f\n%-45s% 10.4f\n\n%-45s% "
                  "10.4f\n%-45s% 10.4f\n\n%-45s% 10.4f\n%-45s% 10.4f\n%-45s% 10.4f",
                  text ? text : "", z, label[0], label[1], rest, label[2], ZAnteil[0], label[3],
                  ZAnteil[2], label[4], ZAnteil[3], label[5], ZAnteil[1], label[6], ZAnteil[4],
                  label[7], ZAnteil[5], label[8], ZAnteil[6]);
    CInfoBoxDlg box;
    box.ParaSetz(titel, meldung, 0);
    box.ExecDialog(Dialog, HoleFXTexteModule(), "DLG_INFOBOX");
    if (abort) SetzeFehlerInSteuerung();
}
