// The DIN/ISO writer's machine functions: tool change with magazine recoding, tool-line
// templates and tool comments, spindle on/off with run-up dwell, dwell, probing, sensor and
// actuator comments, dialect words and the workpiece position blocks.
#include <cmath>
#include <cstring>

#include "channel/cx268io.h"
#include "writers/din/cdin.h"

using namespace korvat::writer;

void CDIN::WkzW(int flags, int tool, const AWKZDAT* data) {
    int mCode = (flags & 1) ? WechselMCode : WechselMCode2;
    AktionenVorWkzW();
    if (!Wechselausgabe) return;
    int place = WzUmcodieren(tool);

    if (Dialekt1314 && Rundachse >= 2) {
        Block("G115");
        Rundachse = 1;
    }
    if (Dialekt20 && Werkzeugwechsler && ErsterWechsel) {
        Block("G189");
        Block("G79");
    }

    if (Optionen & 2048) {
        Block("G17 T%1d", place);
    } else if (Optionen & 8192) {
        Block("G00 T%1d", place);
    } else if (Optionen & 16384) {
        AnstehenderPlatz = static_cast<int16_t>(place);  // called with the spindle start
    } else if (E().WechselZeile[0] != '\0') {
        char templ[sizeof(MaschEinstellung::WechselZeile) + 1];
        size_t n = strnlen(E().WechselZeile, sizeof(MaschEinstellung::WechselZeile));
        std::memcpy(templ, E().WechselZeile, n);
        templ[n] = '\0';
        if (WzWZeileAuswerten(templ, place, Satz, sizeof Satz) == 0) {
            Dateiausgabe();
        } else {
            char text[256];
            Formatiere(text, sizeof text,
                       "CDIN::WkzW: tool-change line \"%s\" with place %d longer than %d "
                       "characters refused",
                       templ, place, static_cast<int>(sizeof Satz - 1));
            Fehler(kFehlerSatzZuLang, text);
        }
    } else {
        Block("T%1d M%1d", place, mCode);
    }

    ErsterWechsel = 1;
    Werkzeugtext[0] = '\0';

    bool comment =
        !(Optionen & 8192) && E().KommentarAuf[0] != '~' && !Dialekt15 && data != nullptr;
    if (comment) {
        bool ok = true;
        switch (data->Art) {
            case 0:
                ok = Formatiere(Werkzeugtext, sizeof Werkzeugtext,
                                "%sStichel, Spitz-DM = %1.3f mm  Winkel = %1.1f Grad%s",
                                KommentarAuf, 2 * data->Spitzenradius, data->Winkel * 57.29577951,
                                KommentarZu);
                break;
            case 1:
                ok = Formatiere(Werkzeugtext, sizeof Werkzeugtext,
                                "%sSchaftfraeser, Durchmesser = %1.3f mm%s", KommentarAuf,
                                2 * data->Schaftradius, KommentarZu);
                break;
            case 2:
                ok = Formatiere(Werkzeugtext, sizeof Werkzeugtext,
                                "%sKugelfraeser, Durchmesser = %1.3f mm%s", KommentarAuf,
                                2 * data->Kugelradius, KommentarZu);
                break;
            default:
                Werkzeugtext[0] = '\0';
                break;
        }
        if (!ok) {
            Werkzeugtext[0] = '\0';
            Fehler(kFehlerSatzZuLang, "CDIN::WkzW: tool comment longer than a block refused");
        } else if (!(Optionen & 16384) && Werkzeugtext[0] != '\0') {
            Block("%s", Werkzeugtext);
            Werkzeugtext[0] = '\0';
        }
    }

    if (Dialekt1314 && !(flags & 1) && Werkzeugwechsler) Block("M67");
    if (Dialekt20 && Werkzeugwechsler) {
        Block("G188");
        Block("G79");
    }
    if (Dialekt1314 && Rundachse != 0) {
        // The control's own rotary engraving is switched on with the new tool.
        Rundachse = 2;
        Block("G0 %c0", ErsetzteAchse == 'Y' ? Adresse[1] : Adresse[0]);
        Block("G115 %c0 %c%1.4f", static_cast<char>(ErsetzteAchse), RundachsBuchstabe, Radius);
    }
    tastaturabfrage();
}

void CDIN::AktionenVorWkzW() {
    // After a tool change the first blocks are complete: motion word, feed, speed, position.
    LetztesGWort = -1;
    LetzterVorschub = -1.0f;
    VorschubAnstehend = 1;
    // A speed is repeated only once one is known: an "S0" would stop the spindle.
    if (Drehzahl > 0) DrehzahlAnstehend = 1;
    LetztesX = LetztesY = -10000000.0;
    LetztesZ = 1000.0;
    Richtung = 0;
    if (Rundachse != 0) FreieAchseMarke = 819;
}

int CDIN::WzUmcodieren(int tool) {
    return korvat::writer::WzUmcodieren(MagazinBenutzen ? Magazin : nullptr, tool);
}

int CDIN::WzWZeileAuswerten(const char* templ, int place, char* out, size_t outSize) {
    if (out == nullptr || outSize == 0) return -1;
    out[0] = '\0';
    if (templ == nullptr) return 0;
    size_t n = 0;
    for (const char* p = templ; *p != '\0'; ++p) {
        char piece[16];
        if (*p == '$') {
            char next = p[1];
            if (next == '\0') break;
            ++p;
            if (next == 'X' || next == 'x') {
                Formatiere(piece, sizeof piece, "%1d", place);
            } else if (next == '$') {
                Formatiere(piece, sizeof piece, "$");
            } else {
                continue;
            }
        } else {
            piece[0] = *p;
            piece[1] = '\0';
        }
        size_t len = std::strlen(piece);
        if (n + len >= outSize) {
            out[0] = '\0';
            return -1;
        }
        std::memcpy(out + n, piece, len + 1);
        n += len;
    }
    return 0;
}

void CDIN::WZWPplusB(const WZW_PB_STRUCT* magazin, short use) {
    Magazin = magazin;
    MagazinBenutzen = use != 0 && magazin != nullptr;
}

void CDIN::WzlEinAus(short on) { Werkzeugwechsler = on; }

void CDIN::Spindea(int on, float dwell) {
    LetztesGWort = -1;
    if ((Optionen & 8192) || !Spindelausgabe) return;
    if (!on) {
        Block("M5");
        LetzteDrehzahl = -1;  // the speed is written again with the next start
        return;
    }
    if (!std::isfinite(dwell)) dwell = 0.0f;
    Satz[0] = '\0';
    if (!(Optionen & 16384)) {
        if (Optionen & 32768) SatzAnhaengen("G97 ");
        AddDrehzahl();
        SatzAnhaengen(" M3");
    } else {
        if (AnstehenderPlatz >= 0) {
            if (Werkzeugtext[0] != '\0') {
                char line[sizeof Werkzeugtext + 4];
                Formatiere(line, sizeof line, "; %s", Werkzeugtext);
                cx268io.poutstrln(line);
                Werkzeugtext[0] = '\0';
            }
            SatzSetzen("T%1d ", AnstehenderPlatz);
        }
        AddDrehzahl();
        SatzAnhaengen(" M3");
        AnstehenderPlatz = -1;
    }
    Dateiausgabe();
    if (std::fabs(dwell) > 0.001f) {
        if (dwell > 0) {
            Block("G4 X%1.0f", dwell);
        } else {
            Block("G4 P%1.0f", -dwell);
        }
    }
}

void CDIN::Spinddreh(int32_t speed) {
    Drehzahl = speed;
    DrehzahlAnstehend = 1;
}

void CDIN::InfoSpinddreh(int32_t speed) { Drehzahl = speed; }

void CDIN::InfoSpindea(int, float) {}

void CDIN::Wait(float seconds) {
    if (!Endlich("Wait", {seconds})) return;
    Block("G4 X%1.3f", seconds);
}

int CDIN::Abtasten(double x, double y, double, int32_t n, float* result, short* valid) {
    if (Endlich("Abtasten", {x, y})) {
        Block(";Abtasten bei X%1.3lf Y%1.3lf; N=%1ld", x, y, static_cast<long>(n));
    }
    tastaturabfrage();
    if (valid != nullptr) *valid = 1;
    if (result != nullptr) *result = -3.333f;
    return 0;
}

void CDIN::Sensor(int a, int b, float c) {
    Block("%sSensor %1d %1d %1.2f%s", KommentarAuf, a, b, c, KommentarZu);
    tastaturabfrage();
}

void CDIN::Actuator(int a, char ch) {
    Block("%sActuator %1d %c%s", KommentarAuf, a, ch, KommentarZu);
    tastaturabfrage();
}

void CDIN::NeuerZWbk(short v) {
    if (Dialekt1314 && v == 1) Block("G22 L8099");
}

void CDIN::SetzePosInfos(float a, float b, float c, float d, float e, short f, short g, float h,
                         float i, short j) {
    OffsetX = OffsetY = 0.0;
    if (!Endlich("SetzePosInfos", {a, b, c, d, e, h, i})) return;
    float width = a, length = b;
    if (g) {
        width = d;
        length = e;
    } else if (f) {
        width = b;
        length = a;
    }
    if ((Optionen & 16384) && ErstePosInfo) {
        ErstePosInfo = 0;
        Werkstueck[0] = width;
        Werkstueck[1] = length;
        Werkstueck[2] = c;
        char pattern[64];
        Formatiere(pattern, sizeof pattern, "G30 G17 X0 Y0 Z%s", FormatZ);
        Block(pattern, static_cast<double>(c));
        Formatiere(pattern, sizeof pattern, "G31 X%s Y%s Z0", FormatX, FormatY);
        Block(pattern, static_cast<double>(width), static_cast<double>(length));
        Block("G90");
    }
    if (Optionen & (32768 | 262144)) {
        if (j == 0) {
            OffsetY = -length;
        } else {
            OffsetX = h - width / 2;
            OffsetY = i - length / 2;
        }
    }
}
