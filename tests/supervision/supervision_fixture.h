// A job supervisor started the way a host starts it, on the default parameter set (no parameter
// file in the folder) unless a test writes one.
#pragma once

#include <cstring>
#include <string>

#include "common/psatz.h"
#include "supervision/bahnplan.h"
#include "supervision/csatz.h"

namespace korvat::test {

struct Auftrag {
    CMainWindow fenster;
    MaschCommand kommando;
    MaschCommand_P kommandoP;
    MaschCommand_C kommandoC;
    int anzeige = 0;
    CSATZ satz;

    // A job of machine type typ; folder holds the parameter file (or not).
    Auftrag(bool vorausschau, const std::string& folder, int typ = 5, int anzeigeFlag = 0,
            CDIN* din = nullptr) {
        fenster.VorausschauEin = vorausschau ? 1 : 0;
        anzeige = anzeigeFlag;
        bahnplan.Vergessen();
        std::string dir = folder;
        satz.Start(&fenster, typ, &anzeige, reinterpret_cast<HWND>(0x107), nullptr, nullptr, din,
                   nullptr, &kommando, &kommandoP, &kommandoC, dir.data());
    }
};

// A parameter block with the magic words and the values the estimator reads, set by hand:
// speeds 9 m/min (path) and 6 m/min (axes), v_min 0.3 x 60, accelerations 0.3 m/s^2.
inline P_SATZ HandBlock(int32_t tiefe) {
    P_SATZ p;
    std::memset(&p, 0, sizeof p);
    p.Wort[0] = 0xAA55AA55u;
    p.Wort[1] = 0x44332211u;
    p.Wort[2] = 0x00AA5500u;
    for (int i = 0; i < 8; ++i) p.Wert[(i * 200 + 104) / 4] = 6.0f;
    p.Wert[2576 / 4] = 9.0f;
    p.Wert[2584 / 4] = 9.0f;
    p.Wert[2592 / 4] = 0.3f;
    p.Wert[2596 / 4] = 0.3f;
    p.Wert[2604 / 4] = 1.0f;
    p.Ganz[2692 / 4] = tiefe;
    p.Wert[2708 / 4] = 1.0f;
    p.Wert[2720 / 4] = 0.3f;
    return p;
}

}  // namespace korvat::test
