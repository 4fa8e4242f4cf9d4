#include "writers/dxf/cdxf_text.h"

#include <cmath>
#include <cstdarg>
#include <cstring>

#include "channel/cx268io.h"
#include "common/fxtexte.h"
#include "writers/common/writer_common.h"
#include "writers/plotcommon/plot_common.h"

namespace plot = korvat::plot;

namespace {

// Refuses a call with a value that is not finite; the first bad value is named.
bool Endlich2(const char* wo, std::initializer_list<std::pair<const char*, float>> values) {
    for (const auto& [name, v] : values) {
        if (!std::isfinite(v)) {
            plot::MeldeWert(wo, name, v, "");
            return false;
        }
    }
    return true;
}

}  // namespace

int CDXF_TEXT::Init(InitStruct*, int, int32_t) { return 0; }

void CDXF_TEXT::SetzeSpezial(int32_t, HWND owner) { Besitzer = owner; }

int CDXF_TEXT::Open(short portWanted, const MaschEinstellung* settings, char* basePath,
                    int* openedBefore, int geraeteart, const char*) {
    Geraeteart = geraeteart;
    Optionen = settings != nullptr ? settings->Optionen : 0;
    if (basePath != nullptr && basePath[0] != '\0') {
        // Drive and folder stay; the operator edits the file name, whose extension is dropped
        // (the channel appends the configured one).
        size_t length = strnlen(basePath, kPfadLaenge);
        size_t nameStart = 0;
        for (size_t i = 0; i < length; ++i) {
            char c = basePath[i];
            if (c == '/' || c == '\\' || c == ':') nameStart = i + 1;
        }
        char name[kNameLaenge + 1];
        size_t nameLength = length - nameStart;
        const char* dot =
            static_cast<const char*>(std::memchr(basePath + nameStart, '.', nameLength));
        for (const char* p = dot; p != nullptr;) {  // the last dot starts the extension
            dot = p;
            p = static_cast<const char*>(std::memchr(p + 1, '.', basePath + length - (p + 1)));
        }
        if (dot != nullptr) nameLength = dot - (basePath + nameStart);
        // A longer name is proposed cut to what the dialog takes; the operator sees it.
        if (nameLength > static_cast<size_t>(kNameLaenge)) nameLength = kNameLaenge;
        std::memcpy(name, basePath + nameStart, nameLength);
        name[nameLength] = '\0';

        char title[256], prompt[256];
        LadeRcString(6912, title, 255);
        LadeRcString(6913, prompt, 255);
        if (TextInputDialog(Besitzer, title, prompt, name, kNameLaenge) == 2) return 1;
        name[kNameLaenge] = '\0';

        size_t edited = std::strlen(name);
        if (nameStart + edited >= static_cast<size_t>(kPfadLaenge)) {
            cx268io.psfehler(1005, 0, 0, basePath, "path too long", 0, 0, 0);
            return 1;
        }
        std::memcpy(basePath + nameStart, name, edited + 1);
    }
    Layer = 1;
    int result = cx268io.popen(1, portWanted, settings, basePath, openedBefore, geraeteart);
    if (result == 0) {
        Gestartet = 0;
        LetzteX = LetzteY = 0.0f;
    }
    if (openedBefore != nullptr) *openedBefore = 1;
    return result;
}

void CDXF_TEXT::SetzePosInfos(float width, float height, float altWidth, float altHeight,
                              int axisExchange, int multiplePlate, float, float, int) {
    float w, h;
    plot::Werkstueckgroesse(width, height, altWidth, altHeight, axisExchange, multiplePlate, &w,
                            &h);
    Start(w, h);
}

int CDXF_TEXT::Start(float width, float height) {
    if (Gestartet) return 0;
    if (!Endlich2("CDXF_TEXT::Start", {{"width", width}, {"height", height}})) return 0;
    Block("  0\r\nSECTION\r\n  2\r\nHEADER\r\n");
    Block("  9\r\n$ACADVER\r\n  1\r\nAC1009\r\n");
    Block("  9\r\n$DWGCODEPAGE\r\n  3\r\niso8859-1\r\n");
    Block("  9\r\n$PDMODE\r\n 70\r\n3\r\n");
    Block("  9\r\n$PDSIZE\r\n 40\r\n1\r\n");
    Block("  0\r\nENDSEC\r\n");
    Block("  0\r\nSECTION\r\n  2\r\nTABLES\r\n");
    Block("  0\r\nTABLE\r\n  2\r\nVPORT\r\n 70\r\n1\r\n");
    Block("  0\r\nVPORT\r\n  2\r\n*ACTIVE\r\n 70\r\n0\r\n");
    Block(" 10\r\n0\r\n 20\r\n0\r\n 11\r\n1\r\n 21\r\n1\r\n");
    Block(" 12\r\n%1.3f\r\n 22\r\n%1.3f\r\n", width / 2, height / 2);  // view centre
    Block(" 13\r\n0\r\n23\r\n0\r\n 14\r\n0.5\r\n 24\r\n0.5\r\n 15\r\n0\r\n 25\r\n0\r\n");
    Block(" 16\r\n0\r\n 26\r\n0\r\n 36\r\n1\r\n 17\r\n0\r\n27\r\n0\r\n37\r\n0\r\n");
    // View height: the larger side, so the whole workpiece is in view; aspect ratio 1.
    Block(" 40\r\n%1.3f\r\n41\r\n%1.3f\r\n", width > height ? width : height, 1.0);
    Block(
        " 42\r\n50\r\n 43\r\n0\r\n 44\r\n0\r\n 50\r\n0\r\n 51\r\n0\r\n 71\r\n0\r\n 72\r\n100\r\n");
    Block(" 73\r\n1\r\n 74\r\n1\r\n75\r\n1\r\n 76\r\n0\r\n 77\r\n0\r\n 78\r\n0\r\n");
    Block("  0\r\nENDTAB\r\n");
    if (Layer > 0) {
        // The table announces up to 5 entries; one layer is listed.
        Block("0\r\nTABLE\r\n 2\r\nLAYER\r\n 70\r\n5\r\n");
        Block("0\r\nLAYER\r\n 2\r\n%1d\r\n 70\r\n0\r\n 62\r\n1\r\n 6\r\nCONTINUOUS\r\n", Layer);
        Block("0\r\nENDTAB\r\n");
    }
    Block("  0\r\nENDSEC\r\n");
    Block("  0\r\nSECTION\r\n  2\r\nENTITIES\r\n");
    Gestartet = 1;
    return 0;
}

void CDXF_TEXT::Move3(float x, float y, float) {
    if (!Endlich2("CDXF_TEXT::Move3", {{"x", x}, {"y", y}})) return;
    LetzteX = x;
    LetzteY = y;
}

void CDXF_TEXT::Move_abs(float x, float y) {
    if (!Endlich2("CDXF_TEXT::Move_abs", {{"x", x}, {"y", y}})) return;
    LetzteX = x;
    LetzteY = y;
}

void CDXF_TEXT::Draw(float x, float y) {
    if (!Endlich2("CDXF_TEXT::Draw", {{"x", x}, {"y", y}})) return;
    Block("  0\r\nLINE\r\n  8\r\n%1d\r\n 10\r\n%1.4f\r\n 20\r\n%1.4f\r\n 30\r\n0.0\r\n", Layer,
          LetzteX, LetzteY);
    Block(" 11\r\n%1.4f\r\n 21\r\n%1.4f\r\n 31\r\n0.0\r\n", x, y);
    LetzteX = x;
    LetzteY = y;
}

void CDXF_TEXT::Draw3(float x, float y, float, short) { Draw(x, y); }

void CDXF_TEXT::Kreis(float centreX, float centreY, float radius, float startAngle, float sweep,
                      float endX, float endY) {
    if (!Endlich2("CDXF_TEXT::Kreis", {{"centre x", centreX},
                                       {"centre y", centreY},
                                       {"radius", radius},
                                       {"start angle", startAngle},
                                       {"sweep", sweep},
                                       {"end x", endX},
                                       {"end y", endY}})) {
        return;
    }
    if (std::fabs(std::fabs(sweep) - 6.283185307179586) < 0.001) {
        Block(
            "  0\r\nCIRCLE\r\n  8\r\n%1d\r\n 10\r\n%1.4f\r\n 20\r\n%1.4f\r\n 30\r\n0.0\r\n"
            "40\r\n%1.4f\r\n",
            Layer, centreX, centreY, radius);
    } else {
        Block("  0\r\nARC\r\n  8\r\n%1d\r\n 10\r\n%1.4f\r\n 20\r\n%1.4f\r\n 30\r\n0.0\r\n", Layer,
              centreX, centreY);
        // DXF arcs run counter-clockwise from group 50 to group 51.
        float from = sweep >= 0 ? startAngle : startAngle + sweep;
        float to = sweep >= 0 ? startAngle + sweep : startAngle;
        Block(" 40\r\n%1.4f\r\n 50\r\n%1.5f\r\n 51\r\n%1.5f\r\n", radius, from * 57.29577951308232,
              to * 57.29577951308232);
    }
    LetzteX = endX;
    LetzteY = endY;
}

void CDXF_TEXT::SStringln(const char* text) {
    if (text != nullptr && text[0] != '\0') cx268io.poutstr(text);
}

void CDXF_TEXT::Ausgabe(int) {
    if (Zeile[0] != '\0') cx268io.poutstr(Zeile);
}

int CDXF_TEXT::Close(int closePort, int closeFile) {
    Block("  0\r\nENDSEC\r\n  0\r\nEOF\r\n");
    cx268io.pclose(closePort, closeFile);
    return 0;
}

void CDXF_TEXT::FBStInfo(BSTINFO* info) {
    korvat::writer::FuelleBStInfo(info, {100, 0, 999, 0, 999}, {0, 0, 1, 0, 0, 0}, "");
}

int32_t CDXF_TEXT::RundeL(float value) { return korvat::writer::RundeL(value); }

void CDXF_TEXT::Block(const char* format, ...) {
    va_list args;
    va_start(args, format);
    // The longest block holds two floats of at most 46 characters each: it always fits.
    korvat::writer::FormatiereV(Zeile, sizeof Zeile, format, args);
    va_end(args);
    Ausgabe(0);
}
