#include "supervision/spindtab.h"

#include <cstring>

#include "common/grundfkt.h"

int16_t LadeSPINDTab(const char* path, float* table) {
    // Drive and folder: everything up to the last separator of the path.
    char name[300];
    size_t folder = 0;
    if (path != nullptr)
        for (size_t i = 0; path[i] != '\0'; ++i)
            if (path[i] == '\\' || path[i] == '/' || path[i] == ':') folder = i + 1;
    if (folder > sizeof name - sizeof "SPIND.TAB") return 3110;
    if (folder > 0) std::memcpy(name, path, folder);
    std::memcpy(name + folder,
                "SPIND"
                ".TAB",
                sizeof "SPIND.TAB");

    ZEAW reader;
    if (reader.TOeffne(name) != 0) return 3110;
    int16_t fehler = 0;
    int gelesen = 0;
    float vorher = 0.0f;
    for (int i = 0; i < kSpindelStufen && fehler == 0; ++i) {
        if (reader.TLeseZeile() != 0) break;  // end of the file, or a read failure
        reader.Beginn(reader.Zeile, "");
        int32_t stufe = reader.WNummer();
        float drehzahl = static_cast<float>(reader.WFloat());
        if (reader.Fehler) {
            fehler = 3111;
            break;
        }
        if (stufe != i)
            fehler = 3113;
        else if (drehzahl < vorher)
            fehler = 3112;
        table[i] = drehzahl;
        vorher = drehzahl;
        ++gelesen;
    }
    reader.TSchliesse();
    if (fehler == 0 && gelesen < kSpindelStufen) fehler = 3111;
    return fehler;
}

int32_t LoescheSatzweise(int32_t maschTyp, int16_t* flag) {
    switch (maschTyp) {
        case 1:
        case 4:
        case 9:
        case 22:
        case 25:
        case 30:
            *flag = 0;
            break;
        default:
            break;
    }
    return 0;
}
