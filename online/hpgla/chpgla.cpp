#include "online/hpgla/chpgla.h"

#include "writers/common/writer_common.h"

using korvat::writer::Ganzzahl;

int CHPGLA::Open(short port, const MaschEinstellung* settings, const char* name, int* opened,
                 int protocol, const char* profile, int schnell) {
    int ergebnis = OeffneKanal(port, settings, name, opened, protocol, profile, schnell);
    if (ergebnis == 0) Sende(true, "%s", PTFlag ? "PT1;" : "PT0;");
    return ergebnis;
}

int CHPGLA::Init(InitStruct* init, int) {
    SkalaX = SkalaY = SkalaZ = 1000.0f;
    InitGemeinsam(init);
    return 0;
}

int CHPGLA::SetzeSchrittweise() {
    Einzelschritt = 1;
    cx268io.pflush();
    Ausstehend = 0;
    return 0;
}

int CHPGLA::WarteFertig() {
    if (Ausstehend == 0) return 1;
    if (!cx268io.PortOffen) {
        // Output to a file only: no controller will acknowledge, and reading would never end.
        Ausstehend = 0;
        return 1;
    }
    int ergebnis = 1;
    while (Ausstehend > 0 && !cx268io.Fehlerflag) {
        char c = '\0';
        cx268io.pinchr(&c);
        if (c == '!') {
            --Ausstehend;
            ergebnis = 0;
        } else if (c == 'F') {
            --Ausstehend;
            ergebnis = 2;
        }
    }
    Ausstehend = 0;
    cx268io.pflush_input();
    return ergebnis;
}

void CHPGLA::FBStInfo(BSTINFO* b) { korvat::hpgla::FuelleStatus(b, 8, ExtraKopf ? "A" : ""); }

void CHPGLA::Move3(float x, float y, float z) {
    int32_t px, py, pz;
    if (!Punkt("Move3", x, y, &px, &py) || !Schritte("Move3", "z", z, SkalaZ, &pz)) return;
    Eilgang(px, py, pz, true, nullptr);
}

void CHPGLA::Draw3(float x, float y, float z) {
    int32_t px, py, pz;
    if (!Punkt("Draw3", x, y, &px, &py) || !Schritte("Draw3", "z", z, SkalaZ, &pz)) return;
    LetzteZ = pz;
    char pen[12];
    SetzePD(pen);
    if (px == LetzteX && py == LetzteY) {
        Sende(true, "%sZA\t%1ld;", pen, static_cast<long>(pz));
    } else {
        Sende(true, "%sMA\t%1ld,%1ld,%1ld;", pen, static_cast<long>(px), static_cast<long>(py),
              static_cast<long>(pz));
        LetzteX = px;
        LetzteY = py;
    }
}

void CHPGLA::MoveZ(float z) {
    int32_t pz;
    if (!Schritte("MoveZ", "z", z, SkalaZ, &pz)) return;
    LetzteZ = pz;
    char pen[12];
    SetzePU(pen);
    Sende(true, "%sZA\t%1ld;", pen, static_cast<long>(pz));
}

void CHPGLA::BPosit_Z(float z) {
    int32_t pz;
    if (Schritte("BPosit_Z", "z", z, SkalaZ, &pz)) PositZ(pz, true);
}

void CHPGLA::BPosit_XY(float x, float y) { PositXY(x, y, true); }

void CHPGLA::SetzeMat(float z) {
    int32_t pz;
    if (!Schritte("SetzeMat", "z", z, SkalaZ, &pz)) return;
    Sende(true, "CZ\t%ld;", static_cast<long>(pz));
}

void CHPGLA::ZReffahrt(float a, float b) {
    int32_t pa, pb;
    if (!Schritte("ZReffahrt", "a", a, SkalaZ, &pa) || !Schritte("ZReffahrt", "b", b, SkalaZ, &pb))
        return;
    Sende(true, ";PD;RF-Z;CZ\t%1ld;ZA\t%1ld;", static_cast<long>(pa), static_cast<long>(pb));
}

int CHPGLA::RefBohr(float f) {
    StiftOben = 0;
    const long v = static_cast<long>(Ganzzahl(f * 1000.0f));
    Sende(false, "EDX%1ld, Y%1ld,\tZ%1ld;", v, v, v);
    Sende(false, "%s", "PD;RA;");
    Sende(false, "%s", "RF-X; CX0;RX;");
    FLAGPOS pos{};
    LeseIst(0, &pos);
    if (!pos.Gueltig[0]) return 0;
    // Half the distance, in whole millimetres toward zero, converted like every length.
    int32_t h;
    if (!Schritte("RefBohr", "x", static_cast<float>(Ganzzahl(pos.Pos[0] / 2.0f)), SkalaX, &h))
        return 0;
    Sende(false, "XR %1ld;", static_cast<long>(h));
    Sende(false, "%s", "RF-Y; CY0;RY;");
    LeseIst(0, &pos);
    if (!pos.Gueltig[1]) return 0;
    if (!Schritte("RefBohr", "y", static_cast<float>(Ganzzahl(pos.Pos[1] / 2.0f)), SkalaY, &h))
        return 0;
    Sende(false, "YR %1ld;", static_cast<long>(h));
    return 0;
}

void CHPGLA::SetzeVorschuebe(float fxy, float fz) { SendeVorschuebe(fxy, fz, true); }

void CHPGLA::Spinddreh(int n, const SpindelInfo* info) { SendeDrehzahl(n, info, true); }

void CHPGLA::Actuator(int nr, char c) {
    if (nr == 7) {
        Sende(true, "C%c;", c);
    } else if (nr == 8) {
        Sende(true, "K%c;", c);
    } else {
        Sende(true, "S%1d%c;", nr, c);
    }
}

void CHPGLA::Wait(float seconds) { SendeWartezeit(seconds, true); }

void CHPGLA::Stop() {
    Sende(true, "%s", "M1;M2;");
    if (Einzelschritt) Sende(true, "%s", "EF!;");
}

void CHPGLA::WkzW(int, int, float, float) { Stop(); }

int CHPGLA::SendeBefehl(const char* text) {
    cx268io.pflush_input();
    cx268io.poutstrln(text);
    char c = '\0';
    cx268io.pinchr(&c);
    return c == '!' ? 0 : 1;
}
