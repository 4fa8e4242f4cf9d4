// Runs the tablet readers' line parsing on arbitrary lines: model-1 coordinate lines and model-2
// reports (the first byte picks the model, the rest is split into lines at LF). Besides the
// sanitizers it checks what the readers promise: a point comes only from a line that holds the
// numbers where the tablet puts them (read here by a parser of its own), its coordinates are
// those numbers, and a model-2 button counts only once until a report without a button.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "digitizer/cdigita.h"

namespace {

void Pruefe(bool ok, const char* was, const std::string& zeile) {
    if (!ok) {
        std::fprintf(stderr, "tablet_fuzz: %s: \"%s\"\n", was, zeile.c_str());
        std::abort();
    }
}

// The separators the line reader skips in front of a number.
bool Trenner(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r' || c == '\n';
}
bool Ziffer(char c) { return c >= '0' && c <= '9'; }

// A decimal number at p (after separators): sign, digits with an optional point, an optional
// exponent. Returns the position after it, or nullptr; the value in *v.
const char* Zahl(const char* p, double* v, bool ganz) {
    while (Trenner(*p)) ++p;
    const char* anfang = p;
    if (*p == '+' || *p == '-') ++p;
    int ziffern = 0;
    while (Ziffer(*p)) ++p, ++ziffern;
    if (!ganz && *p == '.') {
        ++p;
        while (Ziffer(*p)) ++p, ++ziffern;
    }
    if (ziffern == 0) return nullptr;
    if (!ganz && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        if (*e == '+' || *e == '-') ++e;
        if (Ziffer(*e)) {
            while (Ziffer(*e)) ++e;
            p = e;
        }
    }
    std::string text(anfang, p);
    *v = std::strtod(text.c_str(), nullptr);
    return p;
}

CDIGIS modell1;
CDIGIS2 modell2;

void Modell1(const std::string& zeile) {
    RPOINT pt{-1.0, -1.0};
    if (!modell1.Koordinatenzeile(zeile.c_str(), &pt)) {
        Pruefe(pt.X == -1.0 && pt.Y == -1.0, "a refused line changed the point", zeile);
        return;
    }
    const char* p = zeile.c_str();
    for (int i = 0; i < 2 && *p; ++i) ++p;  // the two positions the tablet fills
    double x = 0, y = 0;
    p = Zahl(p, &x, false);
    Pruefe(p != nullptr, "a point from a line without X", zeile);
    p = Zahl(p, &y, false);
    Pruefe(p != nullptr, "a point from a line without Y", zeile);
    Pruefe(std::isfinite(pt.X) && std::isfinite(pt.Y), "a coordinate that is not finite", zeile);
    Pruefe(pt.X == x && pt.Y == y, "the point is not the line's numbers", zeile);
}

void Modell2(const std::string& zeile, short* letzte) {
    short key = -7;
    RPOINT pt{-1.0, -1.0};
    short r = modell2.Bericht(zeile.c_str(), &key, &pt);
    Pruefe(r == -1 || r == 0 || r == 1, "a result other than -1, 0, 1", zeile);
    if (r != 1) {
        Pruefe(key == -7 && pt.X == -1.0 && pt.Y == -1.0, "no key, yet key or point changed",
               zeile);
        return;
    }
    double x = 0, y = 0, bits = 0;
    const char* p = Zahl(zeile.c_str(), &x, false);
    Pruefe(p != nullptr && *p == ':', "a point from a report without X and its colon", zeile);
    p = Zahl(p + 1, &y, false);
    Pruefe(p != nullptr && *p != '\0', "a point from a report without Y", zeile);
    p = Zahl(p + 1, &bits, true);
    Pruefe(p != nullptr, "a point from a report without button bits", zeile);
    Pruefe(pt.X == x && pt.Y == y, "the point is not the report's numbers", zeile);
    const short erwartet[] = {101, 100, 1243, -1, 1504, -1, -1, -1, 1245};
    short code = bits == 16 ? 1241 : (bits >= 0 && bits <= 8) ? erwartet[int(bits)] : -1;
    Pruefe(key == code, "the key is not the one of the report's bits", zeile);
    // A button counts once: after a button, only a report without one gives a key.
    Pruefe(key == 101 || *letzte == 101 || *letzte == -1, "a held button counted twice", zeile);
    *letzte = key;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool eins = data[0] & 1;
    modell2.TasteGehalten = 0;
    short letzte = -1;
    std::string eingabe(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t anfang = 0;
    while (anfang <= eingabe.size()) {
        size_t ende = eingabe.find('\n', anfang);
        if (ende == std::string::npos) ende = eingabe.size();
        // A line never holds a zero byte: the reader gets zero-terminated text.
        std::string zeile = eingabe.substr(anfang, ende - anfang);
        zeile = zeile.substr(0, std::strlen(zeile.c_str()));
        if (eins)
            Modell1(zeile);
        else
            Modell2(zeile, &letzte);
        anfang = ende + 1;
    }
    return 0;
}
