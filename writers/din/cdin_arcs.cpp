// The DIN/ISO writer's arcs (centre form with I/J, radius form with R, full circles, helical
// arcs), five-axis moves, the infeed axis and rotary-axis engraving with its direction words.
#include <cmath>

#include "common/grundfkt.h"
#include "platform/dialogs.h"
#include "writers/din/cdin.h"

using namespace korvat::writer;

namespace {

constexpr double kPi = 3.14159265358979323846;

// The direction words of the rotary axis: positive, negative. Held once for the library; set by
// InitTeilk, read by M15M16Ausgabe.
char richtungPlus[12] = "M15";
char richtungMinus[12] = "M16";

bool Verschieden(double a, double b) { return std::fabs(a - b) >= 0.001; }

}  // namespace

void CDIN::WendelSetzen(double z, int kind) {
    Wendel[0] = '\0';
    if (kind != 83) return;
    if (!Satzbau(Wendel, sizeof Wendel)
             .Zeichen(' ')
             .Zeichen(Adresse[2])
             .Zahl(WertZ(z), ZahlZ)
             .ok()) {
        // A helical arc without its Z word would cut flat: refused like an overlong block.
        Wendel[0] = '\0';
        Fehler(kFehlerSatzZuLang, "CDIN: the helical Z word is too long for a block; refused");
    }
}

bool CDIN::Bogensatz(const char* gwort, double x, double y, double i, double j) {
    // i and j are the centre words as written (scaled, and for absolute centres offset).
    return Koordinaten(gwort,
                       {{Adresse[0], ZahlX, WertX(x, true)},
                        {Adresse[1], ZahlY, WertY(y, true)},
                        {MittelpunktAdresse[0], ZahlX, i},
                        {MittelpunktAdresse[1], ZahlY, j}},
                       Wendel);
}

void CDIN::Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
                 double ez, int kind) {
    if (!Endlich("Kreis", {cx, cy, r, start, sweep, ex, ey, ez})) return;
    // A full circle ends exactly where it starts.
    if (!Verschieden(ex, LetztesX) && !Verschieden(ey, LetztesY) &&
        std::fabs(sweep) > 6.283175307179587) {
        ex = LetztesX;
        ey = LetztesY;
    }
    if (Rundachse != 0 && !Dialekt1314) {
        korvat::platform::Dialogs().MessageBox(
            nullptr, "Warnung !\nRundgravieren ist aktiv und es werden B\xf6gen ausgegeben", "",
            MB_OK);
    }
    if ((Optionen & 8192) && LetzterSatzEilgang) Block("M12");

    // Centre words as written: relative to the start point, or (Optionen 2) the absolute
    // centre converted like every coordinate, scale first and then the offset.
    double i, j;
    if (Optionen & 2) {
        i = WertX(cx, true);
        j = WertY(cy, true);
    } else {
        i = (cx - LetztesX) * MassstabX;
        j = (cy - LetztesY) * MassstabY;
    }
    int word = sweep > 0 ? 3 : 2;
    // A mirrored axis turns the arc round, unless the axes are swapped as well.
    if ((MassstabX < 0) != (MassstabY < 0) && !(Adresse[0] == 'Y' && Adresse[1] == 'X')) {
        word = 5 - word;
    }

    if (!(std::fabs(sweep) > 6.0 || std::fabs(ex - LetztesX) >= 0.002 ||
          std::fabs(ey - LetztesY) >= 0.002)) {
        tastaturabfrage();
        return;
    }

    bool written = true;
    WendelSetzen(ez, kind);
    if (r <= 0.01 || std::fabs(sweep * r) <= 0.02) {
        // Too short to be an arc for the control: a straight feed move.
        written = Koordinaten(
            "G1 ", {{Adresse[0], ZahlX, WertX(ex, true)}, {Adresse[1], ZahlY, WertY(ey, true)}},
            Wendel);
        LetztesGWort = 1;
    } else if (!(Optionen & 8192)) {
        if (Optionen & 1048576) {
            KreisMitRadius(cx, cy, r, start, sweep, word, ex, ey, ez, kind);
            written = false;  // the radius blocks are written one by one
        } else {
            written = Bogensatz(GWort(word), ex, ey, i, j);
        }
    } else {
        // This control takes no helical word and no modal motion word; a full circle goes as
        // two half circles, both with the centre words of the start.
        Wendel[0] = '\0';
        char gwort[8];
        Formatiere(gwort, sizeof gwort, "G%1d ", word);
        if (std::fabs(std::fabs(sweep) - 2 * kPi) < 0.01) {
            double mid = start + sweep / 2;
            if (Bogensatz(gwort, cx + r * std::cos(mid), cy + r * std::sin(mid), i, j)) {
                AddVorschub();
                AddDrehzahl();
                Dateiausgabe();
            }
        }
        written = Bogensatz(gwort, ex, ey, i, j);
    }
    if (written) {
        AddVorschub();
        AddDrehzahl();
        Dateiausgabe();
    }
    LetztesX = ex;
    LetztesY = ey;
    if (kind == 83) LetztesZ = ez;
    LetzterSatzEilgang = 0;
    Wendel[0] = '\0';
    tastaturabfrage();
}

short CDIN::KreisMitRadius(double cx, double cy, double r, double start, double sweep, int word,
                           double ex, double ey, double ez, int kind) {
    if (!Endlich("KreisMitRadius", {cx, cy, r, start, sweep, ex, ey, ez})) return 0;
    if (std::fabs(sweep) < kPi / 2) {
        KreisMitRadiusRaus(ex, ey, r, word, ez, kind);
        return 0;
    }
    // A radius names two arcs above a half turn: write quarter circles and the rest.
    if (std::fabs(sweep) > 200 * kPi) {
        Fehler(kFehlerZahlUngueltig, "CDIN::KreisMitRadius: an arc of more than 100 turns refused");
        return 0;
    }
    double angle = KFWKORREKTUR(start);
    double step = sweep > 0 ? kPi / 2 : -kPi / 2;
    double zStep = kind == 83 ? (ez - LetztesZ) * (kPi / 2 / std::fabs(sweep)) : 0.0;
    double z = LetztesZ;
    double done = 0.0;
    // Quarter points within the sweep; the tolerance keeps the last one of an exact multiple.
    for (int k = 1; k * (kPi / 2) <= std::fabs(sweep) + 0.0001; ++k) {
        angle += step;
        z += zStep;
        done = k * (kPi / 2);
        KreisMitRadiusRaus(cx + r * std::cos(angle), cy + r * std::sin(angle), r, word, z, kind);
    }
    if (!KFTESTNULL(std::fabs(sweep) - done, 0.0001)) {
        KreisMitRadiusRaus(ex, ey, r, word, ez, kind);
    }
    return 0;
}

short CDIN::KreisMitRadiusRaus(double ex, double ey, double r, int word, double ez, int kind) {
    WendelSetzen(ez, kind);
    bool ok = Koordinaten(GWort(word),
                          {{Adresse[0], ZahlX, WertX(ex, true)},
                           {Adresse[1], ZahlY, WertY(ey, true)},
                           {'R', ZahlX, r}},
                          Wendel);
    Wendel[0] = '\0';
    if (!ok) return 0;
    AddVorschub();
    AddDrehzahl();
    Dateiausgabe();
    return 0;
}

void CDIN::Move5(int32_t, double x, double y, double z, double a, double b) {
    if (!Endlich("Move5", {x, y, z, a, b})) return;
    if (Koordinaten(GWort(0), {{Adresse[0], ZahlX, WertX(x, false)},
                               {Adresse[1], ZahlY, WertY(y, false)},
                               {Adresse[2], ZahlZ, WertZ(z)},
                               {Adresse[3], ZahlA, a},
                               {Adresse[4], ZahlB, b}})) {
        if (E().DrehzahlImEilgang == 1) AddDrehzahl();
        Dateiausgabe();
    }
    LetztesX = x;
    LetztesY = y;
    LetztesZ = z;
    LetzterSatzEilgang = 1;
    BewegungGeschrieben = 1;
    tastaturabfrage();
}

void CDIN::Draw5(int32_t, double x, double y, double z, double a, double b) {
    if (!Endlich("Draw5", {x, y, z, a, b})) return;
    if (Koordinaten(GWort(1), {{Adresse[0], ZahlX, WertX(x, true)},
                               {Adresse[1], ZahlY, WertY(y, true)},
                               {Adresse[2], ZahlZ, WertZ(z)},
                               {Adresse[3], ZahlA, a},
                               {Adresse[4], ZahlB, b}})) {
        AddVorschub();
        AddDrehzahl();
        Dateiausgabe();
    }
    // The position is kept as after every other move, so that a following plunge or arc
    // starts from where the tool is.
    LetztesX = x;
    LetztesY = y;
    LetztesZ = z;
    LetzterSatzEilgang = 0;
    tastaturabfrage();
}

void CDIN::Zustellachse(char axis, float value) {
    if (!Endlich("Zustellachse", {value})) return;
    Block("G0 %c%1.3f", axis, value);
    tastaturabfrage();
}

void CDIN::InitTeilk(short on, short axis, char, float diameter, float p, float q) {
    if (on) Rundachse = 1;
    ErsetzteAchse = axis;
    RundachsBuchstabe = Adresse[3];
    Radius = diameter / 2;
    TeilkP = p;
    TeilkQ = q;
    RundNachkommastellen = 3;
    UeberwachungX = UeberwachungY = 0;
    if (Rundachse == 0 || Dialekt1314) return;
    if (!(diameter > 0.0f) || !std::isfinite(diameter)) {
        char text[256];
        Formatiere(text, sizeof text,
                   "CDIN::InitTeilk: workpiece diameter %f mm cannot be engraved round", diameter);
        Fehler(kFehlerZahlUngueltig, text);
        return;
    }
    double factor = 360.0 / (diameter * kPi);  // degrees per millimetre of circumference
    RundNachkommastellen = diameter > 114 ? 4 : 3;
    if (RundNachkommastellen > MaxNachkommastellen) RundNachkommastellen = MaxNachkommastellen;

    char text[256];
    Formatiere(text, sizeof text,
               "Ausgabe Rundgravieren ist aktiv !\nAchse %c wird durch Rundachse %c ersetzt.\n"
               "Durchmesser Werkst\xfc"
               "ck ist %1.3f mm",
               static_cast<char>(ErsetzteAchse), RundachsBuchstabe, diameter);
    korvat::platform::Dialogs().MessageBox(nullptr, text, "", MB_OK);
    Block(
        "(Rundachse %c statt %c-Achse. Werkst\xfc"
        "ckdurchmesser %1.3f mm)",
        RundachsBuchstabe, static_cast<char>(ErsetzteAchse), diameter);

    double scale = ErsetzteAchse == 'X' ? MassstabX : MassstabY;
    double sign = 1.0;
    Formatiere(richtungPlus, sizeof richtungPlus, "M15");
    Formatiere(richtungMinus, sizeof richtungMinus, "M16");
    if (scale < 0) {
        // A mirrored axis turns the cylinder the other way.
        sign = -1.0;
        Formatiere(richtungPlus, sizeof richtungPlus, "M16");
        Formatiere(richtungMinus, sizeof richtungMinus, "M15");
    }
    if (ErsetzteAchse == 'X') {
        Adresse[0] = RundachsBuchstabe;
        MassstabX = factor * sign;
        ZahlFormat(FormatX, sizeof FormatX, RundNachkommastellen);
        ZahlformateLesen();
        UeberwachungX = 1;
    } else {
        Adresse[1] = RundachsBuchstabe;
        MassstabY = factor * sign;
        ZahlFormat(FormatY, sizeof FormatY, RundNachkommastellen);
        ZahlformateLesen();
        UeberwachungY = 1;
    }
}

short CDIN::AenderungDurchmesser(char mode, float diameter) {
    Radius = diameter / 2;
    if (mode == 'E') {
        if (Rundachse == 0) Rundachse = 1;
    } else {
        Rundachse = 0;
    }
    if (!Dialekt1314) return 0;
    if (Rundachse == 0) {
        Block("G115");
    } else if (Rundachse >= 2) {
        Block("G115");
        Block("G115 %c0 %c%1.4f", static_cast<char>(ErsetzteAchse), RundachsBuchstabe, Radius);
        FreieAchseMarke = 819;
    }
    return 0;
}

int CDIN::FreieAchse(double value) {
    if (FreieAchseMarke != 819) return 0;
    if (!Dialekt1314) {
        // The linear axis that the rotary axis stands in for is brought to its place.
        int index = ErsetzteAchse == 'Y' ? 1 : 0;
        char letter = E().Achse[index].Adresse;
        if (letter == 0) letter = index == 1 ? 'Y' : 'X';
        Block("G0 %c%1.1lf", letter, value);
    }
    FreieAchseMarke = 0;
    LetztesGWort = 0;
    return 0;
}

int CDIN::M15M16Ausgabe(double x, double y) {
    if (!Richtungsueberwachung) return 0;
    double lastX = LetztesX == -10000000.0 ? 0.0 : LetztesX;
    double lastY = LetztesY == -10000000.0 ? 0.0 : LetztesY;
    auto check = [this](double value, double last) {
        if (value < last && (Richtung == 0 || Richtung == 1)) {
            Block("%s", richtungMinus);
            Richtung = -1;
        } else if (value > last && (Richtung == 0 || Richtung == -1)) {
            Block("%s", richtungPlus);
            Richtung = 1;
        }
    };
    if (UeberwachungX) check(x, lastX);
    if (UeberwachungY) check(y, lastY);
    return 0;
}
