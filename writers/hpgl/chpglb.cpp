#include "writers/hpgl/chpglb.h"

#include <cmath>
#include <cstdarg>
#include <cstring>

#include "channel/cx268io.h"
#include "common/fxtexte.h"
#include "platform/dialogs.h"
#include "writers/common/writer_common.h"

using korvat::writer::Formatiere;
using korvat::writer::FormatiereV;
namespace plot = korvat::plot;

int CHPGLB::Init(InitStruct* init, int, int32_t) {
    if (init != nullptr) {
        XAufloesung = init->Aufloesung[0];
        YAufloesung = init->Aufloesung[1];
        ZAufloesung = init->Aufloesung[2];
        Oberkante = init->Weitere[2];
    }
    return 0;
}

int CHPGLB::Open(short portWanted, const MaschEinstellung* settings, const char* basePath,
                 int* openedBefore, int geraeteart, const char*) {
    Geraeteart = geraeteart;
    Optionen = settings != nullptr ? settings->Optionen : 0;
    AbsolutNaechste = 0;
    StiftOben = 1;
    FlushCountdown = 5;
    int result = cx268io.popen(1, portWanted, settings, basePath, openedBefore, geraeteart);
    if (result == 0) {
        AktX = AktY = 0;
        LetzteX = LetzteY = -10000;
        LetzteBekannt = 0;
        LetzteVZ = LetzteVXY = -1;
        LetzteTiefe = -10.0f;
        Baue("%s", Erweitert() ? "IN;SC;PU;SP1;" : "PU;");
        Ausgabe(0);
    }
    if (openedBefore != nullptr) *openedBefore = 1;
    return result;
}

int CHPGLB::Close(int closePort, int closeFile) {
    cx268io.pclose(closePort, closeFile);
    return 0;
}

void CHPGLB::SetzeSpezial(int32_t memoryLimit, HWND owner) {
    Speichergrenze = plot::Speichergrenze(memoryLimit);
    Besitzer = owner;
    BytesGeschrieben = 0;
}

bool CHPGLB::Punkt(const char* wo, float x, float y, bool offsets, int32_t* px, int32_t* py) {
    float ux = offsets ? (x + XOffset) * XAufloesung : x * XAufloesung;
    float uy = offsets ? (y + YOffset) * YAufloesung : y * YAufloesung;
    return plot::Einheiten(wo, "x", x, ux, px) && plot::Einheiten(wo, "y", y, uy, py);
}

bool CHPGLB::IstLetzte(int32_t px, int32_t py) const {
    return LetzteBekannt && px == LetzteX && py == LetzteY;
}

void CHPGLB::Baue(const char* format, ...) {
    va_list args;
    va_start(args, format);
    // Every line of this writer is a few short commands and numbers; it always fits.
    FormatiereV(Zeile, sizeof Zeile, format, args);
    va_end(args);
}

void CHPGLB::Move3(float x, float y, float) {
    int32_t px, py;
    if (!Punkt("CHPGLB::Move3", x, y, true, &px, &py)) return;
    bool schreiben = !IstLetzte(px, py);
    LetzteX = AktX = px;
    LetzteY = AktY = py;
    LetzteBekannt = 1;
    if (schreiben) {
        char pen[4];
        SetzePU(pen);
        Baue("%sPA%1ld,%1ld;", pen, static_cast<long>(px), static_cast<long>(py));
        Ausgabe(1);
    }
}

void CHPGLB::Move_abs(float x, float y) {
    int32_t px, py;
    if (!Punkt("CHPGLB::Move_abs", x, y, false, &px, &py)) return;
    LetzteX = AktX = px;
    LetzteY = AktY = py;
    LetzteBekannt = 1;
    char pen[4];
    SetzePU(pen);
    Baue("%sPA%1ld,%1ld;", pen, static_cast<long>(px), static_cast<long>(py));
    Ausgabe(1);
}

void CHPGLB::MoveZ(float) {
    char pen[4];
    SetzePU(pen);
    Baue("%s", pen);
    Ausgabe(0);
}

void CHPGLB::Draw(float x, float y) {
    int32_t px, py;
    if (!Punkt("CHPGLB::Draw", x, y, true, &px, &py)) return;
    char pen[4];
    SetzePD(pen);
    if (AbsolutNaechste) {
        // After an arc the receiver's idea of the pen position may differ from ours by the
        // arc's rounding, so the next move goes to an absolute point.
        AktX = px;
        AktY = py;
        AbsolutNaechste = 0;
        Baue("%sPA%1ld,%1ld;", pen, static_cast<long>(px), static_cast<long>(py));
    } else {
        int32_t dx = px - AktX;  // both within +-(2^30 - 1): the step fits
        int32_t dy = py - AktY;
        AktX = px;
        AktY = py;
        if (dx == 0 && dy == 0) {
            Baue("%s", pen);
        } else {
            Baue("%sPR%1ld,%1ld;", pen, static_cast<long>(dx), static_cast<long>(dy));
        }
    }
    // Relative steps leave the last positioning behind, so the next Move3 is always written.
    LetzteX = LetzteY = -10000;
    LetzteBekannt = 0;
    Ausgabe(0);
}

void CHPGLB::Draw3(float x, float y, float z, short depthMode) {
    if (z >= Flughoehe) {
        Move3(x, y, z);
        return;
    }
    if (!std::isfinite(z)) {  // NaN, or a depth without end
        plot::MeldeWert("CHPGLB::Draw3", "z", z, "mm");
        return;
    }
    int32_t px, py;
    if (!Punkt("CHPGLB::Draw3", x, y, true, &px, &py)) return;
    char pen[4];
    if (depthMode == 0) {
        if (IstLetzte(px, py)) {
            SetzePD(pen);
            Baue("%s", pen);
        } else {
            LetzteX = AktX = px;
            LetzteY = AktY = py;
            LetzteBekannt = 1;
            SetzePU(pen);
            Baue("%sPA%1ld,%1ld;", pen, static_cast<long>(px), static_cast<long>(py));
        }
        Ausgabe(0);
        return;
    }
    if (!IstLetzte(px, py)) {
        LetzteX = AktX = px;
        LetzteY = AktY = py;
        LetzteBekannt = 1;
        SetzePD(pen);
        Baue("%sPA%1ld,%1ld;", pen, static_cast<long>(px), static_cast<long>(py));
        Ausgabe(0);
    }
    SetzeGTiefe((Flughoehe - z) - Abhebewert, 1);
}

void CHPGLB::Kreis(float centreX, float centreY, float, float, float sweep, float endX,
                   float endY) {
    double grad = plot::Grad(sweep);
    if (std::isnan(grad)) {
        plot::MeldeWert("CHPGLB::Kreis", "sweep", sweep, "rad");
        return;
    }
    if (std::fabs(grad) <= 0.001) {
        Draw(endX, endY);
        return;
    }
    if (std::isinf(grad)) {
        plot::MeldeWert("CHPGLB::Kreis", "sweep", sweep, "rad");
        return;
    }
    int32_t cx, cy, ex, ey;
    if (!Punkt("CHPGLB::Kreis", centreX, centreY, true, &cx, &cy) ||
        !Punkt("CHPGLB::Kreis", endX, endY, true, &ex, &ey)) {
        return;
    }
    char pen[4];
    SetzePD(pen);
    AktX = ex;
    AktY = ey;
    AbsolutNaechste = 1;
    LetzteX = LetzteY = -10000;
    LetzteBekannt = 0;
    // A sweep of many turns is written as given; %1.3f of any finite double fits the line.
    Baue("%sAA%1ld,%1ld,%1.3f;", pen, static_cast<long>(cx), static_cast<long>(cy), grad);
    Ausgabe(0);
}

void CHPGLB::SetzeGTiefe(float depth, short penDown) {
    if (!std::isfinite(depth)) {
        plot::MeldeWert("CHPGLB::SetzeGTiefe", "depth", depth, "mm");
        return;
    }
    Tiefe = depth;
    if (!Erweitert() || !(std::fabs(depth - LetzteTiefe) > 0.005f)) return;
    int32_t a = plot::Ganzzahl(std::fabs(depth) * ZAufloesung + 0.5);
    int32_t b = plot::Ganzzahl(Abhebewert * ZAufloesung + 0.5);
    char pen[4];
    if (penDown == 0) {
        SetzePU(pen);
        Baue("%s", pen);
        Ausgabe(0);
    }
    Baue("!PZ%3d,%3d;", a, b);
    Ausgabe(0);
    if (penDown != 0) {
        SetzePD(pen);
        Baue("%s", pen);
        Ausgabe(0);
    }
    LetzteTiefe = depth;
}

void CHPGLB::SetzeFlughAbsolut(float height, float lift) {
    Flughoehe = height - 0.001f;
    Abhebewert = lift;
}

void CHPGLB::SetzeVorschuebe(float xyFeed, float zFeed) {
    if (!Erweitert()) return;
    int32_t v = plot::MmProSekunde(xyFeed);
    int32_t w = plot::MmProSekunde(zFeed);
    if (v == LetzteVXY && w == LetzteVZ) return;
    Baue("VS%1d;!VZ%1d;", v, w);
    Ausgabe(-1);
    LetzteVXY = v;
    LetzteVZ = w;
}

void CHPGLB::Spindea(int on) {
    if (!Erweitert()) return;
    Baue("%s", on ? "!MC1;" : "!MC0;");
    Ausgabe(0);
}

void CHPGLB::WkzW(int, int tool, float, float) {
    if (!Erweitert()) {
        Baue("SP%1d;", tool);
        Ausgabe(-1);
        return;
    }
    char text[48];
    LadeProgrammText(8236, text, sizeof text);
    Baue("!LR%s\t%1d;", text, tool);
    Ausgabe(-1);
    Baue("!NR;!LR;");
    Ausgabe(-1);
}

void CHPGLB::Stop() {
    if (!Erweitert()) return;
    char text[48];
    LadeProgrammText(8237, text, sizeof text);
    Baue("!LR%s;", text);
    Ausgabe(-1);
    Baue("!NR;!LR;");
    Ausgabe(-1);
}

void CHPGLB::Wait(float seconds) {
    if (!Erweitert()) return;
    // Subtracting 2.52 from a huge float would never reach the end.
    if (!plot::VerweilzeitPasst("CHPGLB::Wait", seconds)) return;
    float rest = seconds;  // 0 and negative values write nothing
    while (rest > 2.52f) {
        Baue("DR\t126;");
        Ausgabe(-1);
        rest -= 2.52f;
    }
    if (rest > 0.02f) {
        Baue("DR %d;", plot::Ganzzahl(rest * 50 + 0.5));
        Ausgabe(-1);
    }
}

void CHPGLB::SetzePosInfos(float width, float height, float altWidth, float altHeight,
                           int axisExchange, int multiplePlate, float viceCentreX,
                           float viceCentreY, int vice) {
    if (!Erweitert()) {
        XOffset = YOffset = 0.0f;
        return;
    }
    float w, h;
    plot::Werkstueckgroesse(width, height, altWidth, altHeight, axisExchange, multiplePlate, &w,
                            &h);
    if (vice) {
        XOffset = viceCentreX - w / 2;
        YOffset = viceCentreY - h / 2;
    } else if (Optionen != 2) {
        XOffset = 0.0f;
        YOffset = Oberkante - h;  // the workpiece lies against the top edge
    } else {
        XOffset = YOffset = 0.0f;
    }
}

void CHPGLB::SetzePD(char* buffer) { plot::SetzePD(&StiftOben, buffer); }

void CHPGLB::SetzePU(char* buffer) { plot::SetzePU(&StiftOben, buffer); }

void CHPGLB::SStringln(const char* text) {
    if (text == nullptr) return;
    // A text longer than the channel takes is cut at the buffer and then refused by Ausgabe.
    Baue("%s", text);
    Ausgabe(0);
}

int CHPGLB::SendeBefehl(const char* text) {
    if (text != nullptr) cx268io.poutstrln(text);
    return 0;
}

void CHPGLB::ToolCheck() { plot::MeldeToolCheck(); }

void CHPGLB::FBStInfo(BSTINFO* info) {
    korvat::writer::FuelleBStInfo(info, {100, 0, 999, 0, 999}, {0, 0, 1, 0, 0, 0}, "");
}

int32_t CHPGLB::RundeL(float value) { return korvat::writer::RundeL(value); }

void CHPGLB::Ausgabe(int check) {
    if (!plot::SchreibeZeile("CHPGLB", Zeile, &FlushCountdown, &BytesGeschrieben)) return;
    // Once the output has stopped (the operator cancelled, or an error) there is nothing left to
    // warn about.
    if (check < 0 || !Erweitert() || cx268io.Fehlerflag) return;
    int64_t n = BytesGeschrieben;
    bool due = (check != 0 && n + 4096 > Speichergrenze) || n + 128 > Speichergrenze;
    if (!due) return;
    if (check == 0) cx268io.poutstrln("PU;");
    char text[256];
    LadeRcString(7045, text, 255);
    int answer =
        korvat::platform::Dialogs().MessageBox(Besitzer, text, "", MB_OKCANCEL | MB_ICONSTOP);
    if (answer == IDCANCEL) {
        cx268io.Fehlerflag = 1;
        cx268io.Tastenabbruch = 1;
    }
    BytesGeschrieben = 0;
    if (check == 0) {
        // The pen goes back to where it was; down again only when it was down before the lift.
        char back[40];
        Formatiere(back, sizeof back, StiftOben ? "PA%1ld,%1ld;" : "PA%1ld,%1ld;PD;",
                   static_cast<long>(AktX), static_cast<long>(AktY));
        cx268io.poutstrln(back);
    } else {
        cx268io.poutstrln(Zeile);
    }
}
