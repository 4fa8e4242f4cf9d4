#include "online/sms68a/csms68a.h"

#include <cstdio>

#include "platform/profile.h"

namespace korvat::sms68a {
// Read by every CSMS68A member that sends a Z; set by CSMS68A::Open. Until the first Open the
// Z counts upwards, so nothing is sent flattened to zero.
float ZVorzeichen = 1.0f;
// Read and set by CSMS68A::Draw3 and Move3; reset by Open, Draw and Kreis.
int32_t PositioniertX = 0, PositioniertY = 0;
}  // namespace korvat::sms68a

namespace sms = korvat::sms68a;

namespace {
void Unbekannt(int32_t wert) { sms::PositioniertX = sms::PositioniertY = wert; }
}  // namespace

int CSMS68A::Open(short port, const MaschEinstellung* settings, const char* name, int* opened,
                  int protocol, const char* profile, int schnell, int erweitert, int dreiD) {
    Erweitert = erweitert;
    DreiD = dreiD;
    int ergebnis = OeffneKanal(port, settings, name, opened, protocol, profile, schnell);
    if (ergebnis == 0) {
        if (Erweitert) Sende(true, "%s", PTFlag ? "PT1;" : "PT0;");
        Unbekannt(-1000000);
    }
    char wert[10];
    korvat::platform::GetProfileString("maschinentyp", "zumgekehrt", "0", wert, sizeof wert,
                                       profile != nullptr ? profile : "");
    int umgekehrt = 0;
    if (std::sscanf(wert, "%d", &umgekehrt) != 1) umgekehrt = 0;
    sms::ZVorzeichen = umgekehrt == 1 ? -1.0f : 1.0f;
    return ergebnis;
}

int CSMS68A::Init(InitStruct* init, int) {
    InitGemeinsam(init);
    float* skala[3] = {&SkalaX, &SkalaY, &SkalaZ};
    for (int i = 0; i < 3; ++i) {
        // An unfilled record would send every coordinate as 0; it keeps the dialect's 1000.
        const float s = init != nullptr ? init->Aufloesung[i] : 0.0f;
        *skala[i] = s > 0.0f && s < 1e30f ? s : 1000.0f;
    }
    for (int i = 0; i < 4; ++i) Weitere[i] = init != nullptr ? init->Weitere[i] : 0.0f;
    return 0;
}

void CSMS68A::SetzeSpezial(int gf, int pt) {
    Stiftnummer = Erweitert ? gf : 0;
    PTFlag = Erweitert ? pt : 0;
}

void CSMS68A::FBStInfo(BSTINFO* b) { korvat::hpgla::FuelleStatus(b, 6, ExtraKopf ? "A" : ""); }

int CSMS68A::LeseIst_Check() { return Erweitert ? Kern::LeseIst_Check() : 0; }

bool CSMS68A::ZSchritte(const char* wo, float z, int32_t* out) {
    return Schritte(wo, "z", z, sms::ZVorzeichen * SkalaZ, out);
}

void CSMS68A::Move3(float x, float y, float z) {
    int32_t px, py, pz;
    if (!Punkt("Move3", x, y, &px, &py) || !ZSchritte("Move3", z, &pz)) return;
    int32_t positioniert[2] = {sms::PositioniertX, sms::PositioniertY};
    Eilgang(px, py, pz, false, positioniert);
    sms::PositioniertX = positioniert[0];
    sms::PositioniertY = positioniert[1];
}

void CSMS68A::Draw3(float x, float y, float z) {
    int32_t px, py, pz;
    if (!Punkt("Draw3", x, y, &px, &py) || !ZSchritte("Draw3", z, &pz)) return;
    LetzteZ = pz;
    char pen[12];
    if (px == LetzteX && py == LetzteY) {
        SetzePD(pen);
        Sende(true, "%sZA\t%1ld;", pen, static_cast<long>(pz));
        return;
    }
    if (DreiD) {
        SetzePD(pen);
        Sende(true, "%sMA\t%1ld,%1ld,%1ld;", pen, static_cast<long>(px), static_cast<long>(py),
              static_cast<long>(pz));
    } else {
        if (px != sms::PositioniertX || py != sms::PositioniertY) {
            SetzePU(pen);
            Sende(true, "%sPA %1ld,%1ld;", pen, static_cast<long>(px), static_cast<long>(py));
        }
        SetzePD(pen);
        Sende(true, "%sZA %1ld;", pen, static_cast<long>(pz));
    }
    LetzteX = sms::PositioniertX = px;
    LetzteY = sms::PositioniertY = py;
}

void CSMS68A::MoveZ(float z) {
    // The Z goes out with its sign, as every other Z: a machine that counts Z downwards would
    // otherwise plunge where it should lift.
    int32_t pz;
    if (!ZSchritte("MoveZ", z, &pz)) return;
    LetzteZ = pz;
    char pen[12];
    SetzePU(pen);
    Sende(true, "%sZA\t%1ld;", pen, static_cast<long>(pz));
}

void CSMS68A::BPosit_Z(float z) {
    int32_t pz;
    if (ZSchritte("BPosit_Z", z, &pz)) PositZ(pz, false);
}

void CSMS68A::BPosit_XY(float x, float y) { PositXY(x, y, false); }

void CSMS68A::Draw(float x, float y) {
    Kern::Draw(x, y);
    Unbekannt(-100000);
}

void CSMS68A::Kreis(float mx, float my, float r, float sweep, float ex, float ey) {
    Kern::Kreis(mx, my, r, sweep, ex, ey);
    Unbekannt(-100000);
}

void CSMS68A::SetzeVorschuebe(float fxy, float fz) { SendeVorschuebe(fxy, fz, false); }

void CSMS68A::Spinddreh(int n, const SpindelInfo* info) {
    if (Erweitert) SendeDrehzahl(n, info, false);
}

void CSMS68A::Actuator(int nr, char c) { Sende(false, "S%1d%c;", nr, c); }

void CSMS68A::Wait(float seconds) { SendeWartezeit(seconds, false); }

void CSMS68A::Stop() { Sende(false, "%s", "HS;"); }

int CSMS68A::SendeBefehl(const char* text) {
    cx268io.poutstrln(text);
    return 0;
}
