#include "online/eurobox/ceurobox.h"

#include <cmath>
#include <cstdarg>

#include "online/hpgla/hpgla_kern.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "writers/common/writer_common.h"
#include "writers/plotcommon/plot_common.h"

namespace korvat::eurobox {
// Held once for the whole library: read and set by the CEUROBOX moves and setters.
int16_t Zeichnen = 0;
int16_t VorschuebeGeaendert = 0;
int16_t TiefeGeaendert = 0;
}  // namespace korvat::eurobox

namespace eb = korvat::eurobox;
namespace plot = korvat::plot;
using korvat::writer::Ganzzahl;
using korvat::writer::RundeL;

namespace {
// 0.0158 mm per step, as a 32-bit value (63.2911376953125 steps per millimetre).
const float kSchritteXY = static_cast<float>(1.0 / 0.0158);
constexpr float kSchritteZ = 30.0f;
}  // namespace

void CEUROBOX::Baue(const char* format, ...) {
    va_list args;
    va_start(args, format);
    // The longest statement group is three letters with six 32-bit numbers: it always fits.
    korvat::writer::FormatiereV(Satz, sizeof Satz, format, args);
    va_end(args);
}

void CEUROBOX::Ausgabe(short) {
    if (Satz[0] != '\0') cx268io.poutstr(Satz);
}

int CEUROBOX::Open(short port, const MaschEinstellung* settings, const char* name, int* opened,
                   int protocol, const char* profile) {
    OffsetX = OffsetY = 0.0f;
    EintauchenFaellig = 0;
    int lokal = 0;
    if (opened == nullptr) opened = &lokal;
    if (*opened == 0) {
        ErstesOeffnen = 1;
        FlushCountdown = 5;
        korvat::hpgla::Initverzeichnis(profile, Initverzeichnis, sizeof Initverzeichnis);
    }
    int ergebnis = cx268io.popen(1, port, settings, name, opened, protocol);
    eb::Zeichnen = 0;
    eb::VorschuebeGeaendert = 1;
    eb::TiefeGeaendert = 1;
    Baue("%s0;", "I");
    Ausgabe();
    ParameterFaellig = 1;
    GeradeGeoeffnet = 1;
    if (ergebnis == 0) {
        AktX = AktY = 0;
        TiefeGesendet = -10.0f;
        LetzteX = LetzteY = -1000000;
    }
    return ergebnis;
}

int CEUROBOX::Close(int art, int b) {
    ReinFallsFaellig();
    if (art == 1) {
        Baue("%s;", "U0,0");
        Ausgabe();
    }
    cx268io.pclose(art, b);
    return 0;
}

int CEUROBOX::Init(InitStruct* init, int) {
    SkalaX = SkalaY = kSchritteXY;
    SkalaZ = kSchritteZ;
    EinFaktor = 1.0f;
    for (int i = 0; i < 3; ++i) Grenzen[i] = init != nullptr ? init->Weitere[i + 1] : 0.0f;
    Startzeit = static_cast<int32_t>(korvat::platform::NowMs());
    return 0;
}

void CEUROBOX::SetzePosInfos(float a, float b, float c, float d, int e, int f,
                             const MaschEinstellung* m, short zentriert) {
    if (m != nullptr) Einstellungen = *m;
    float breite = a, hoehe = b;
    if (f != 0) {
        breite = c;
        hoehe = d;
    } else if (e != 0) {
        breite = b;
        hoehe = a;
    }
    UrsprungX = 0.0f;
    UrsprungY = hoehe;
    FaktorX = 1.0f;
    FaktorY = -1.0f;
    if (zentriert != 0) {
        OffsetX = Einstellungen.EuroboxMitteX - breite / 2.0f;
        OffsetY = Einstellungen.EuroboxMitteY - hoehe / 2.0f;
    } else {
        OffsetX = OffsetY = 0.0f;
    }
}

void CEUROBOX::SetzeVorschub(float f) {
    VorschubXY = f;
    eb::VorschuebeGeaendert = 1;
}

void CEUROBOX::SetzeVorschuebe(float fxy, float fz) {
    VorschubXY = fxy;
    VorschubZ = fz;
    eb::VorschuebeGeaendert = 1;
}

void CEUROBOX::SetzeGTiefe(float t) {
    ReinFallsFaellig();
    Tiefe = t;
    if (std::fabs(t - TiefeGesendet) > 0.005f) {
        TiefeGesendet = t;
        eb::TiefeGeaendert = 1;
    }
}

void CEUROBOX::SetzeFlughAbsolut(float h, float h2) {
    Flugschwelle = h - 0.01f;
    ZweiteHoehe = h2;
}

bool CEUROBOX::Punkt(const char* wo, float x, float y, int32_t* px, int32_t* py) {
    const float ux = (x * FaktorX + UrsprungX + OffsetX) * SkalaX;
    const float uy = (y * FaktorY + UrsprungY + OffsetY) * SkalaY;
    return plot::Einheiten(wo, "x", x, ux, px) && plot::Einheiten(wo, "y", y, uy, py);
}

void CEUROBOX::Bewegung(const char* art, int32_t px, int32_t py) {
    Baue("%s%1ld,%1ld;", art, static_cast<long>(px), static_cast<long>(py));
    Ausgabe();
}

void CEUROBOX::InitParameter() {
    if (eb::Zeichnen) {
        Bewegung("U", LetzteX, LetzteY);  // lift where the tool stands
        eb::Zeichnen = 0;
    }
    const MaschEinstellung& m = Einstellungen;
    int32_t vxy = Ganzzahl(VorschubXY * 255.0f / 1.896f);
    if (vxy < 1) vxy = 1;
    if (vxy > 255) vxy = 255;
    // The Z feed goes out as a speed value of at most 255 and a range code: 5 for the usual
    // range, 1 above it, 40 and 100 below it for finer steps.
    const float grund = VorschubZ * 255.0f / 3.996f;
    float t = grund * 5.0f;
    int k;
    if (t > 255.0f) {
        k = 1;
        t = grund;
    } else if (t < 5.0f) {
        k = 100;
        t = grund * 100.0f;
    } else if (t < 20.0f) {
        k = 40;
        t = grund * 40.0f;
    } else {
        k = 5;
    }
    int32_t vz = Ganzzahl(t + 0.5f);
    if (vz > 255) vz = 255;
    if (ParameterFaellig) {
        const int32_t o1 = RundeL(m.EuroboxO1 * SkalaX);
        const int32_t o2 = RundeL(m.EuroboxO2 * SkalaX);
        Baue("%s%1d,%1d;%s%1d,%1d;%s%1d,%1d;", "W", m.EuroboxW1, m.EuroboxW2, "T",
             m.EuroboxTAus == 0 ? 1 : 0, m.EuroboxT2, "O", static_cast<int>(o1),
             static_cast<int>(o2));
        Ausgabe();
        const int32_t a1 = RundeL(ZweiteHoehe * SkalaZ);
        const int32_t a2 = RundeL(m.EuroboxA2 * SkalaX);
        Baue("%s%1d,%1d;", "A", static_cast<int>(a1), static_cast<int>(a2));
        Ausgabe();
        ParameterFaellig = 0;
    }
    if (eb::VorschuebeGeaendert) {
        Baue("%s%1d,%1d;%s%1d,%1d;", "V", static_cast<int>(vxy), m.EuroboxV2, "B",
             static_cast<int>(vz), k);
        Ausgabe();
        eb::VorschuebeGeaendert = 0;
    }
    if (eb::TiefeGeaendert) {
        Baue("%s%1d,%1d;", "Z", static_cast<int>(RundeL(std::fabs(Tiefe) * SkalaZ)), m.EuroboxZ2);
        Ausgabe();
        eb::TiefeGeaendert = 0;
    }
}

void CEUROBOX::ParameterFallsNoetig() {
    if (ParameterFaellig || eb::VorschuebeGeaendert || eb::TiefeGeaendert) InitParameter();
}

void CEUROBOX::ReinFallsFaellig() {
    if (EintauchenFaellig) Rein();
}

void CEUROBOX::Draw3(float x, float y, float z) {
    ParameterFallsNoetig();
    if (!(z < Flugschwelle)) {
        Move3(x, y, z);
    } else if (eb::Zeichnen || EintauchenFaellig) {
        // The tool is down (or about to go down): it cuts along to the new point. Holding the
        // point back would lift the tool there and leave the cut out.
        Draw(x, y);
    } else {
        EintauchenFaellig = 1;
        FaelligX = x;
        FaelligY = y;
    }
}

void CEUROBOX::Rein() {
    EintauchenFaellig = 0;
    ParameterFallsNoetig();
    int32_t px, py;
    if (!Punkt("Rein", FaelligX, FaelligY, &px, &py)) return;
    Bewegung("D", px, py);
    eb::Zeichnen = 1;
    AktX = LetzteX = px;
    AktY = LetzteY = py;
}

void CEUROBOX::Draw(float x, float y) {
    ParameterFallsNoetig();
    if (EintauchenFaellig) {
        EintauchenFaellig = 0;
        Move3(FaelligX, FaelligY, 0.0f);
    }
    int32_t px, py;
    if (!Punkt("Draw", x, y, &px, &py)) return;
    Bewegung("D", px, py);
    eb::Zeichnen = 1;
    AktX = LetzteX = px;
    AktY = LetzteY = py;
    UpdateStatus();
}

void CEUROBOX::Move3(float x, float y, float) {
    ReinFallsFaellig();
    ParameterFallsNoetig();
    int32_t px, py;
    if (!Punkt("Move3", x, y, &px, &py)) return;
    AktX = px;
    AktY = py;
    if (px == LetzteX && py == LetzteY) return;
    Bewegung("U", px, py);
    eb::Zeichnen = 0;
    LetzteX = px;
    LetzteY = py;
}

void CEUROBOX::Move_abs(float x, float y) {
    ReinFallsFaellig();
    int32_t px, py;
    if (!plot::Einheiten("Move_abs", "x", x, x * SkalaX, &px) ||
        !plot::Einheiten("Move_abs", "y", y, y * SkalaY, &py))
        return;
    Bewegung("U", px, py);
    AktX = LetzteX = px;
    AktY = LetzteY = py;
    eb::Zeichnen = 0;
}

void CEUROBOX::Ende(float) {
    eb::Zeichnen = 0;
    Baue("%s;", "U0,0");
    Ausgabe();
}

void CEUROBOX::WkzW(int, int nr, float, float r) {
    ReinFallsFaellig();
    Werkzeugnummer = static_cast<int16_t>(nr);
    Werkzeugradius = r;
    Stop(1);
}

void CEUROBOX::Stop(short art) {
    if (!GeradeGeoeffnet) {
        Baue("%s0;", "U0,0;I");
        Ausgabe();
        eb::Zeichnen = 0;
        ParameterFaellig = 1;
    }
    GeradeGeoeffnet = 0;
    char text[256];
    switch (art) {
        case 1:
            korvat::writer::Formatiere(text, sizeof text,
                                       "Werkzeug einspannen\nNummer: %1d\nRadius:%1.3f",
                                       Werkzeugnummer, static_cast<double>(Werkzeugradius));
            break;
        case 2:
            korvat::writer::Formatiere(text, sizeof text, "%s",
                                       "Neues Werkst\xfc"
                                       "ck aufspannen\t(Einzelwerkst\xfc"
                                       "ck)");
            break;
        case 3:
            korvat::writer::Formatiere(text, sizeof text, "%s",
                                       "Neue\tPlatte aufspannen\t(Mehrfachwerkst\xfc"
                                       "ck)");
            break;
        case 5:
            korvat::writer::Formatiere(text, sizeof text, "%s", "Neues Material\taufspannen");
            break;
        default:
            return;
    }
    korvat::platform::Dialogs().MessageBox(Besitzer, text, "", MB_OK);
}

void CEUROBOX::SStringln(const char* text) { cx268io.poutstr(text); }

int CEUROBOX::SendeBefehl(const char* text) {
    cx268io.poutstrln(text);
    return 0;
}

int CEUROBOX::SendeInitDatei(const char* name, int mitPfad) {
    return korvat::hpgla::SendeTextdatei(Initverzeichnis, name, mitPfad);
}

int CEUROBOX::SendeDatei(const char* path) { return SendeInitDatei(path, 0); }

void CEUROBOX::BPosit_X(float x) {
    int32_t p;
    if (!plot::Einheiten("BPosit_X", "x", x, x * SkalaX, &p)) return;
    AktX = p;
    Baue(";;%sXA\t%1ld;", "", static_cast<long>(p));
    cx268io.poutstrln(Satz);
    UpdateStatus();
}

void CEUROBOX::BPosit_Y(float y) {
    int32_t p;
    if (!plot::Einheiten("BPosit_Y", "y", y, y * SkalaY, &p)) return;
    AktY = p;
    Baue(";;%sYA\t%1ld;", "", static_cast<long>(p));
    cx268io.poutstrln(Satz);
    UpdateStatus();
}

void CEUROBOX::BPosit_Z(float z) {
    int32_t p;
    if (!plot::Einheiten("BPosit_Z", "z", z, z * SkalaZ, &p)) return;
    AktZ = p;
    Baue(";;%sZA %1ld;", "", static_cast<long>(p));
    cx268io.poutstrln(Satz);
}

void CEUROBOX::BPosit_XY(float x, float y) {
    int32_t px, py;
    if (!plot::Einheiten("BPosit_XY", "x", x, x * SkalaX, &px) ||
        !plot::Einheiten("BPosit_XY", "y", y, y * SkalaY, &py))
        return;
    AktX = px;
    AktY = py;
    Baue(";;%sPA %1ld,%1ld;", "", static_cast<long>(px), static_cast<long>(py));
    cx268io.poutstrln(Satz);
}

int CEUROBOX::SetzXY(float x, float y) {
    int32_t px, py;
    if (!plot::Einheiten("SetzXY", "x", x, x * SkalaX, &px) ||
        !plot::Einheiten("SetzXY", "y", y, y * SkalaY, &py))
        return 0;
    Baue(";;CX %1ld; CY\t%1ld;", static_cast<long>(px), static_cast<long>(py));
    cx268io.poutstrln(Satz);
    return 0;
}

int CEUROBOX::BPuffClear() {
    cx268io.poutstrln("*;CB;RS;");
    return 0;
}

int CEUROBOX::UpdateStatus(int) {
    korvat::hpgla::Flushzaehler(&FlushCountdown);
    return 0;
}

void CEUROBOX::FBStInfo(BSTINFO* b) { korvat::hpgla::FuelleStatus(b, 6, ""); }
