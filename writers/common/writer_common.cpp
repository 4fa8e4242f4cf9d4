#include "writers/common/writer_common.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "channel/cx268io.h"
#include "platform/events.h"

namespace korvat::writer {

int16_t MaxNachkommastellen(int maxSetting) {
    if (maxSetting <= 0) return 5;
    return static_cast<int16_t>(maxSetting > 9 ? 9 : maxSetting);
}

int16_t Nachkommastellen(int setting, int maxSetting) {
    // A negative count has no meaning for a number format; it is read like the unset 0 so that
    // a damaged settings record still gives the usual three decimals.
    int d = setting <= 0 ? 3 : setting;
    int m = MaxNachkommastellen(maxSetting);
    return static_cast<int16_t>(d < m ? d : m);
}

void ZahlFormat(char* out, size_t size, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 12) decimals = 12;
    Formatiere(out, size, "%%1.%1dlf", decimals);
}

int32_t ErsteSatznummer(int32_t setting) {
    if (setting == 0) return 1;
    if (setting == 999999999) return 0;
    return setting;
}

int32_t LetzteSatznummer(int32_t setting) { return setting == 0 ? 999999999 : setting; }

int32_t NaechsteSatznummer(int32_t current, int32_t first, int32_t last) {
    if (current >= last || current == std::numeric_limits<int32_t>::max()) return first;
    return current + 1;
}

int WzUmcodieren(const WZW_PB_STRUCT* magazin, int tool) {
    if (magazin == nullptr) return tool;
    int n = magazin->Anzahl;
    if (n > 60) n = 60;
    for (int i = 1; i <= n; ++i) {
        if (magazin->Werkzeug[i] == tool) return i;
    }
    return tool;
}

bool VorschubGeaendert(float feed, float lastWritten) {
    float ratio = feed / lastWritten;
    return std::fabs(ratio - 1.0f) > 0.05;
}

int32_t RundeL(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::lround(value));
}

int32_t Ganzzahl(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

bool Formatiere(char* out, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool ok = FormatiereV(out, size, format, args);
    va_end(args);
    return ok;
}

bool Anhaengen(char* out, size_t size, const char* format, ...) {
    size_t used = strnlen(out, size);
    if (used >= size) return false;
    va_list args;
    va_start(args, format);
    bool ok = FormatiereV(out + used, size - used, format, args);
    va_end(args);
    return ok;
}

bool FormatiereZahl(char* out, size_t size, const char* numberFormat, double value) {
    return Formatiere(out, size, numberFormat, value);
}

void FuelleBStInfo(BSTINFO* info, const int32_t (&values)[5], const uint8_t (&bytes)[6],
                   const char* axes) {
    if (info == nullptr) return;
    info->Wert = values[0];
    info->Bereich1Von = values[1];
    info->Bereich1Bis = values[2];
    info->Bereich2Von = values[3];
    info->Bereich2Bis = values[4];
    std::memcpy(info->Klein, bytes, sizeof info->Klein);
    std::memset(info->Achsbuchstaben, 0, sizeof info->Achsbuchstaben);
    std::strncpy(info->Achsbuchstaben, axes != nullptr ? axes : "",
                 sizeof info->Achsbuchstaben - 1);
}

int SchreiberTastaturabfrage(int16_t* countdown, int32_t* escape1, int32_t* escape2) {
    if (--*countdown > 0) return 0;
    platform::Event e;
    while (platform::TakeEvent(&e)) {
        if (e.kind == platform::Event::KeyDown && e.key == VK_ESCAPE) {
            *escape1 = 1;
            *escape2 = 1;
        } else if (e.kind == platform::Event::Paint) {
            platform::DispatchPaint(e.window);
        }
    }
    *countdown = 10;
    return 0;
}

void Schreiberstatus::SetzeFehler(int code, int number, int32_t longNumber, const char* text1,
                                  const char* text2) {
    FehlerCode = code;
    FehlerZahl = number;
    FehlerZahlL = longNumber;
    Formatiere(FehlerText1, sizeof FehlerText1, "%s", text1 != nullptr ? text1 : "");
    Formatiere(FehlerText2, sizeof FehlerText2, "%s", text2 != nullptr ? text2 : "");
}

int Schreiberstatus::tastaturabfrage() {
    return SchreiberTastaturabfrage(&Abfragezaehler, &Escape1, &Escape2);
}

int KanalDateizeiger::BufferWegschreiben() {
    cx268io.BufferWegschreiben();
    return 0;
}

int32_t KanalDateizeiger::GebeDateiZeiger() { return cx268io.GebeDateiZeiger(); }

int KanalDateizeiger::SetzeDateiZeiger(int32_t position) {
    return cx268io.SetzeDateiZeiger(position);
}

int KanalDateizeiger::NachtragenInDatei(int32_t position, int length, const char* data) {
    return cx268io.NachtragenInDatei(position, length, data);
}

}  // namespace korvat::writer
