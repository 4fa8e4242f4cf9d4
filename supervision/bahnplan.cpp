// The look-ahead time estimator and its machine parameter set.
#include "supervision/bahnplan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "platform/files.h"

namespace pf = korvat::platform;

// The library's one estimator. Read by CSATZ (supervision/csatz*.cpp) only.
CBAHNPLAN bahnplan;

namespace {

constexpr double kPi = 3.14159265358979323846;

float& W(P_SATZ& p, int offset) { return p.Wert[offset / 4]; }
float R(const P_SATZ& p, int offset) { return p.Wert[offset / 4]; }

// Fields converted when a block is taken over: speeds m/min -> mm/min (x 1000), accelerations
// m/s^2 -> mm/min^2 (x 1000 x 3600).
constexpr int kAchsTausend[] = {100, 104, 108, 112, 116};
constexpr int kAchsBeschl = 120;
constexpr int kTausend[] = {2576, 2580, 2584, 2588};
constexpr int kBeschl[] = {2592, 2596, 2600, 2720};

// An angle brought into -pi..pi by whole turns; a value that is not finite counts as 0.
float Normiere(float w) {
    if (!std::isfinite(w)) return 0.0f;
    if (std::fabs(w) > 64.0f) w = static_cast<float>(std::remainder(w, 2.0 * kPi));
    while (w > static_cast<float>(kPi)) w -= static_cast<float>(2.0 * kPi);
    while (w < static_cast<float>(-kPi)) w += static_cast<float>(2.0 * kPi);
    return w;
}

}  // namespace

void CBAHNPLAN::Vorgaben(P_SATZ* p) {
    std::memset(p, 0, sizeof *p);
    for (int i = 0; i < psatz::kAchsen; ++i) {
        const int b = i * psatz::kAchsSatz;
        p->Byte[b + psatz::kAchsBuchstabe] = i < 3 ? static_cast<unsigned char>("XYZ"[i]) : 0;
        W(*p, b + 32) = 200.0f;
        W(*p, b + 100) = 9.0f;
        W(*p, b + 104) = 6.0f;
        W(*p, b + 108) = 0.001f;
        W(*p, b + 112) = 3.0f;
        W(*p, b + 116) = 1.5f;
        W(*p, b + 120) = 0.3f;
    }
    W(*p, 2572) = 200.0f;
    W(*p, 2576) = 9.0f;
    W(*p, 2580) = 6.0f;
    W(*p, 2584) = 9.0f;
    W(*p, 2588) = 9.0f;
    W(*p, 2592) = 0.3f;
    W(*p, 2596) = 0.3f;
    W(*p, 2600) = 0.3f;
    W(*p, 2604) = 1.0f;
    p->Ganz[psatz::kVorschautiefe / 4] = 0;
    W(*p, 2704) = 9.0f;
    W(*p, 2708) = 1.0f;
    W(*p, 2720) = 0.3f;
}

void CBAHNPLAN::Uebernehme(const P_SATZ& block) {
    Roh = block;
    Umgerechnet = block;
    for (int i = 0; i < psatz::kAchsen; ++i) {
        const int b = i * psatz::kAchsSatz;
        for (int o : kAchsTausend) W(Umgerechnet, b + o) = R(block, b + o) * 1000.0f;
        W(Umgerechnet, b + kAchsBeschl) = R(block, b + kAchsBeschl) * 1000.0f * 3600.0f;
    }
    for (int o : kTausend) W(Umgerechnet, o) = R(block, o) * 1000.0f;
    for (int o : kBeschl) W(Umgerechnet, o) = R(block, o) * 1000.0f * 3600.0f;
    vMinNeu_ = R(block, psatz::kMinGeschwindigkeit) * 60.0f;
    VMinAlternativ = R(block, psatz::kAltBeschleunigung) * 60.0f;
    Kurzstrecke = vMinNeu_ * R(block, psatz::kKurzFaktor) / 1000.0f / 60.0f;
}

int CBAHNPLAN::LadeDatei(const char* path) {
    P_SATZ block;
    bool gueltig = false;
    const int32_t h = path ? pf::FileOpen(path, 0) : -1;
    if (h != -1) {
        gueltig = pf::FileRead(h, &block, sizeof block) == static_cast<int32_t>(sizeof block);
        for (int i = 0; i < 3 && gueltig; ++i)
            gueltig = block.Wort[psatz::kMagie[i] / 4] == psatz::kMagieWert[i];
        pf::FileClose(h);
    }
    if (!gueltig) Vorgaben(&block);
    Uebernehme(block);
    Zeit = 0.0f;
    Schwanz = Kopf = Anzahl = 0;
    Seriennummer = 0;
    geladen_ = 1;
    return gueltig ? 1 : 0;
}

int CBAHNPLAN::Lade(const char* directory) {
    if (!geladen_) {
        char pfad[600];
        const int n =
            std::snprintf(pfad, sizeof pfad, "%s\\DummyPara.bin", directory ? directory : "");
        LadeDatei(n > 0 && n < static_cast<int>(sizeof pfad) ? pfad : nullptr);
    }
    Reset();
    return 1;
}

void CBAHNPLAN::Ableiten(int modus) {
    A = modus & 4 ? R(Umgerechnet, psatz::kAltBeschleunigung)
                  : R(Umgerechnet, psatz::kBahnBeschleunigung);
    A2 = 2.0f * A;
    AHalb = A / 2.0f;
    float faktor = R(Roh, psatz::kKreisFaktor);
    if (!(faktor >= 0.1f && faktor <= 2.0f)) faktor = 1.0f;
    AKreis = A * faktor;
    Modus = static_cast<uint8_t>(modus);
}

void CBAHNPLAN::Reset() {
    VMin = vMinNeu_;
    VMinHalb = VMin * 0.5f;
    Eckschritt = VMin;
    Modus = 5;
    Ableiten(0);
    // The ring bounds the depth: a controller with a deeper look-ahead is modelled with 103.
    const int64_t tiefe = static_cast<int64_t>(Roh.Ganz[psatz::kVorschautiefe / 4]) + 1;
    Vorschaugrenze = static_cast<int32_t>(std::clamp<int64_t>(tiefe, 1, kRing));
    Blockzeit[0] = 0.9f / 3.3333e-5f;
    Blockzeit[1] = 0.9f / 6.6666e-5f;
    Blockzeit[2] = 0.9f / 4.1666e-5f;
    for (int32_t& a : LetzteAchsen) a = kUnbenutzt;
    VAkt = VMin;
    PlanSpitze = R(Umgerechnet, psatz::kPlanGeschwindigkeit);
    PlanEnde = VMin;
    PlanBeschl = PlanBrems = PlanBremsBeginn = 0.0f;
    Schwanz = Kopf = Anzahl = 0;
    Zeit = 0.0f;
    std::fill(std::begin(Richtung), std::end(Richtung), 0.0f);
    Seriennummer = 0;
}

void CBAHNPLAN::SetzePosition(const int (&achsen)[3], const float (&werte)[3]) {
    for (int i = 0; i < 3; ++i)
        if (achsen[i] >= 0 && achsen[i] < 8) Position[achsen[i]] = werte[i];
}

float CBAHNPLAN::Ecke(float v, float alt, float neu) const {
    const float q = std::fabs(alt - neu) / Eckschritt;
    return q > 1.0f / v ? 1.0f / q : v;
}

CBAHNPLAN::Segment& CBAHNPLAN::Platz() {
    while (Anzahl >= Vorschaugrenze) TaktKopf();
    return Ring[Schwanz];
}

// Chain check and push of a segment whose limits and corner are set.
void CBAHNPLAN::Einreihen(Segment& s) {
    const bool gleicheAchsen = s.Achse[0] == LetzteAchsen[0] && s.Achse[1] == LetzteAchsen[1] &&
                               s.Reserve[0] == LetzteAchsen[3] && s.Reserve[1] == LetzteAchsen[4];
    if (gleicheAchsen && Anzahl > 0 && s.Eintritt > Eckschritt) {
        s.Verkettet = 1;
    } else {
        s.Verkettet = 0;
        s.Eintritt = s.Endgrenze;
    }
    LetzteAchsen[0] = s.Achse[0];
    LetzteAchsen[1] = s.Achse[1];
    LetzteAchsen[2] = s.Achse[2];
    LetzteAchsen[3] = s.Reserve[0];
    LetzteAchsen[4] = s.Reserve[1];
    for (int i = 0; i < 3; ++i)
        if (s.Achse[i] != kUnbenutzt) Position[s.Achse[i]] = s.Ende[i];
    s.Nummer = Seriennummer;
    ++Anzahl;
    Schwanz = (Schwanz + 1) % kRing;
    ++Seriennummer;
}

namespace {
bool Benutzt(int achse) { return achse >= 0 && achse < 8; }
}  // namespace

void CBAHNPLAN::Linie(const int (&achsen)[3], const float (&ende)[3], float feed, int flags,
                      int gegebeneLaenge, float laenge, int code) {
    Segment& s = Platz();
    float d[3] = {};
    double summe = 0.0;
    for (int i = 0; i < 3; ++i) {
        if (Benutzt(achsen[i])) d[i] = ende[i] - Position[achsen[i]];
        summe += static_cast<double>(d[i]) * d[i];
    }
    float v = std::min(feed * 1.0f, R(Umgerechnet, psatz::kBahnGeschwindigkeit));
    const float l = gegebeneLaenge ? laenge : static_cast<float>(std::sqrt(summe));
    if (!(l >= kKuerzest)) return;
    for (int i = 0; i < 3; ++i) {
        if (!Benutzt(achsen[i]) || std::fabs(d[i]) <= kKuerzest) continue;
        const float grenze =
            R(Umgerechnet, achsen[i] * psatz::kAchsSatz + psatz::kAchsGeschwindigkeit);
        v = std::min(v, grenze * l / std::fabs(d[i]));
    }
    v = std::min(v, Blockzeit[0] * l);
    s = Segment{};
    s.Art = 2;
    s.Flags = static_cast<uint8_t>(flags);
    s.Code = code;
    for (int i = 0; i < 3; ++i) {
        s.Achse[i] = Benutzt(achsen[i]) ? achsen[i] : kUnbenutzt;
        s.Ende[i] = ende[i];
    }
    s.Reserve[0] = s.Reserve[1] = kUnbenutzt;
    s.Vorschub = feed;
    s.Arbeitsgrenze = s.Eintritt = s.Endgrenze = s.GrenzeKopie = v;
    s.MinStart = s.MinEnde = VMin;
    s.Laenge = l;
    s.Gueltig = 1;
    for (int i = 0; i < 3; ++i) {
        if (!Benutzt(achsen[i])) continue;
        const float neu = d[i] / l;
        s.Eintritt = std::min(s.Eintritt, Ecke(v, Richtung[achsen[i]], neu));
        Richtung[achsen[i]] = neu;
    }
    Einreihen(s);
}

void CBAHNPLAN::Kreis(const int (&achsen)[3], float cx, float cy, float r, float start,
                      float winkel, float ex, float ey, float ez, float feed, int flags, int code) {
    Segment& s = Platz();
    const float a0 = Normiere(start);
    const float a1 = Normiere(a0 + winkel);
    const float l = std::fabs(winkel * r);
    if (!(l >= kKuerzest)) return;
    float v = std::min(feed * 1.0f, R(Umgerechnet, psatz::kBahnGeschwindigkeit));
    for (int i = 0; i < 2; ++i)
        if (Benutzt(achsen[i]))
            v = std::min(
                v, R(Umgerechnet, achsen[i] * psatz::kAchsSatz + psatz::kAchsGeschwindigkeit));
    const float zentripetal = std::sqrt(AKreis * 1.0f * std::fabs(r));
    v = std::min(v, zentripetal);
    float dz = 0.0f;
    if (Benutzt(achsen[2])) {
        dz = ez - Position[achsen[2]];
        if (std::fabs(dz) > kKuerzest) {
            const float grenze =
                R(Umgerechnet, achsen[2] * psatz::kAchsSatz + psatz::kAchsGeschwindigkeit);
            v = std::min(v, grenze * l / std::fabs(dz));
        }
    }
    v = std::min(v, Blockzeit[1] * l);
    s = Segment{};
    s.Art = 6;
    s.Flags = static_cast<uint8_t>(flags);
    s.Code = code;
    for (int i = 0; i < 3; ++i) s.Achse[i] = Benutzt(achsen[i]) ? achsen[i] : kUnbenutzt;
    s.Reserve[0] = s.Reserve[1] = kUnbenutzt;
    s.Ende[0] = ex;
    s.Ende[1] = ey;
    s.Ende[2] = ez;
    s.MitteX = cx;
    s.MitteY = cy;
    s.Radius = r;
    s.Startwinkel = a0;
    s.Winkel = winkel;
    s.Vorschub = feed;
    s.Zentripetal = zentripetal;
    s.Arbeitsgrenze = s.Eintritt = s.Endgrenze = s.GrenzeKopie = v;
    s.MinStart = s.MinEnde = VMin;
    s.Laenge = l;
    s.Gueltig = 1;
    // Tangents at the start and the end: (-sin, cos) counter-clockwise, (sin, -cos) clockwise.
    const float sinn = winkel >= 0.0f ? 1.0f : -1.0f;
    const float t0[2] = {-sinn * std::sin(a0), sinn * std::cos(a0)};
    const float t1[2] = {-sinn * std::sin(a1), sinn * std::cos(a1)};
    for (int i = 0; i < 2; ++i) {
        if (!Benutzt(achsen[i])) continue;
        s.Eintritt = std::min(s.Eintritt, Ecke(v, Richtung[achsen[i]], t0[i]));
        Richtung[achsen[i]] = t1[i];
    }
    if (Benutzt(achsen[2])) {
        const float neu = dz / l;
        s.Eintritt = std::min(s.Eintritt, Ecke(v, Richtung[achsen[2]], neu));
        Richtung[achsen[2]] = neu;
    }
    Einreihen(s);
}

// Peak speed over a length between a start and an end speed; vs, vp and ve change in place.
float CBAHNPLAN::Profil(float laenge, float& vs, float& vp, float& ve) const {
    if (vs < VMin) vs = VMinHalb;
    if (ve < VMin) ve = VMinHalb;
    if (vp <= VMinHalb) vs = ve = vp;
    float ergebnis;
    if (laenge <= Kurzstrecke) {
        vs = vp = ve = VMin;
        ergebnis = VMin;
    } else if (std::fabs(vs - vp) < 0.05f || std::fabs(ve - vp) < 0.05f) {
        ergebnis = vp;
    } else {
        const float d = std::fabs(vs * vs - ve * ve) / A;
        ergebnis = d < laenge ? std::sqrt((vs * vs + ve * ve) * 0.5f + laenge * A * 0.5f)
                              : std::max(vs, ve);
    }
    if (ergebnis < vp) vp = ergebnis;
    return vp;
}

// The speed at the head's joint that still lets the chained segments after it brake in time.
// The walk back starts at half the minimum speed, the speed a chain ends at when it stops; the
// result never exceeds v, the joint speed planned so far.
float CBAHNPLAN::Vorausschau(float v, float weg) const {
    float gegangen = 0.0f;
    bool unter = false;
    int k = 1;
    for (; gegangen < weg && k < Anzahl; ++k) {
        const Segment& s = Ring[(Kopf + k) % kRing];
        if (!s.Verkettet) break;
        gegangen += s.Laenge;
        if (s.Eintritt < v) unter = true;
    }
    if (!unter) return std::min(std::sqrt(VMinHalb * VMinHalb + A2 * gegangen), v);
    float w = VMinHalb;
    for (int j = k - 1; j >= 1; --j) {
        const Segment& s = Ring[(Kopf + j) % kRing];
        w = std::min(std::sqrt(w * w + A2 * s.Laenge), s.Eintritt);
    }
    return std::min(w, v);
}

void CBAHNPLAN::TaktKopf() {
    Segment& s = Ring[Kopf];
    s.Gueltig = 0;
    const int modus = s.Flags & 4;
    if (modus != Modus) Ableiten(modus);
    const float l = s.Laenge;
    float spitze, ende, beschl;
    if (!s.Verkettet && Anzahl == 1) {
        spitze = Profil(l, VAkt, s.GrenzeKopie, s.MinEnde);
        ende = s.MinEnde;
        beschl = (spitze * spitze - VAkt * VAkt) / A2;
    } else {
        const Segment* naechstes = &s;
        if (Anzahl == 1) {
            spitze = s.Endgrenze;
            ende = s.MinEnde;
        } else {
            naechstes = &Ring[(Kopf + 1) % kRing];
            const float v = std::sqrt(VAkt * VAkt + 2.0f * l * A);
            spitze = std::min(v, s.Endgrenze);
            ende = std::min(spitze, naechstes->Eintritt);
            if (!naechstes->Verkettet) {
                ende = VMin;
            } else {
                const float d = (ende * ende - VMin * VMin) / AHalb * 1.05f;
                if (naechstes->Laenge < d) ende = Vorausschau(ende, d);
            }
        }
        spitze = Profil(l, VAkt, spitze, ende);
        beschl = (spitze * spitze - VAkt * VAkt) / A2;
        if (beschl > 0.98f * l && naechstes->MinEnde < 0.8f * spitze) {
            spitze = std::sqrt(VAkt * VAkt + 2.0f * 0.6f * l * A);
            ende = std::min(ende, spitze);
            spitze = Profil(l, VAkt, spitze, ende);
            beschl = (spitze * spitze - VAkt * VAkt) / A2;
        }
    }
    const float brems = (spitze * spitze - ende * ende) / A2;
    PlanSpitze = spitze;
    PlanEnde = ende;
    PlanBeschl = beschl;
    PlanBrems = brems;
    PlanBremsBeginn = l - brems;
    // A segment planned at no speed (a feed of 0) has no cruise time, as in the block estimate.
    const float fahrt = spitze > 0.01f ? (l - beschl - brems) / spitze : 0.0f;
    Zeit += (spitze - VAkt) / A + fahrt + (spitze - ende) / A;
    Kopf = (Kopf + 1) % kRing;
    --Anzahl;
    VAkt = ende;
}

float CBAHNPLAN::NimmZeit() {
    while (Anzahl >= 1) TaktKopf();
    const float zeit = Zeit;
    Reset();
    return zeit;
}
