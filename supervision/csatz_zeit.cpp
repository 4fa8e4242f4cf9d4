// The block time estimate of the job supervisor: each move timed by itself with a trapezoidal
// speed profile between the block start and end speeds.
#include <cmath>
#include <ctime>

#include "supervision/csatz.h"

float CSATZ::ZeitMit(float* total, float length, float speed) {
    if (speed <= 0.01f) return 0.0f;
    float vs = StartGeschwindigkeit, vp = speed, ve = EndGeschwindigkeit;
    const float t = v_trapez(length, &vs, &vp, &ve, Bahnbeschleunigung);
    if (total) *total += t;
    return t;
}

// The distances divide the speed squares by k and the times the speed differences by k, as the
// controller's own estimate does.
float CSATZ::v_trapez(float length, float* startSpeed, float* peakSpeed, float* endSpeed, float k) {
    const float vs = *startSpeed, vp = *peakSpeed, ve = *endSpeed;
    float spitze, sa, sd;
    if (std::fabs(vs - vp) < 0.05f) {
        spitze = vp;
        sa = 0.0f;
        sd = (spitze * spitze - ve * ve) / k;
    } else if (std::fabs(ve - vp) < 0.05f) {
        spitze = vp;
        sd = 0.0f;
        sa = (spitze * spitze - vs * vs) / k;
    } else {
        const float d = std::fabs(vs * vs - ve * ve) / k;
        if (d < length) {
            spitze = std::sqrt(length * 0.5f * k + (vs * vs + ve * ve) * 0.5f);
            if (spitze > vp) spitze = vp;
            sd = (spitze * spitze - ve * ve) / k;
            sa = (spitze * spitze - vs * vs) / k;
        } else {
            sd = length;
            sa = 0.0f;
            spitze = vs > ve ? vs : ve;
        }
    }
    *peakSpeed = spitze;
    const float fahrt = spitze > 0.01f ? (length - sd - sa) / spitze : 0.0f;
    return (spitze - vs) / k + fahrt + (spitze - ve) / k;
}

float CSATZ::v_minus(float v, float s, float k) {
    return 2.0f * k * s < v * v ? std::sqrt(v * v - 2.0f * k * s) : 0.0f;
}

float CSATZ::ZeitAusWeg(float length, float feed) {
    const float vp0 = feed * 1000.0f;
    if (vp0 <= 0.01f) return 0.0f;
    float vs = StartGeschwindigkeit, vp = vp0, ve = EndGeschwindigkeit;
    return v_trapez(length, &vs, &vp, &ve, Bahnbeschleunigung) * 60.0f;
}

float CSATZ::Wegstrecke(float x, float y) {
    const double dx = static_cast<double>(x) - LetztesX, dy = static_cast<double>(y) - LetztesY;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

int16_t CSATZ::BerechneZeit(short flag) {
    if (!flag) return 0;
    AuftragBegonnen = 1;
    WegEilXY = WegVorschubZ = WegEilZ = WegVorschub = 0.0f;
    Startzeit = static_cast<int32_t>(std::time(nullptr));
    return 0;
}
