#include "supervision/standzeit.h"

int16_t CSTANDZEIT::Init() {
    for (int i = 0; i < 11; ++i) {
        Werkzeug[i] = 0;
        Weg[i] = 0.0f;
        Abgenutzt[i] = 0;
    }
    Grenze = 100000.0f;
    Aktuell = 0;
    Geladen = 0;
    return 0;
}

int16_t CSTANDZEIT::Laden(short count, short* tools, float limit) {
    Werkzeug[0] = count;
    for (int i = 1; i <= 10; ++i) Werkzeug[i] = tools ? tools[i - 1] : 0;
    for (int i = 0; i < 11; ++i) {
        Weg[i] = 0.0f;
        Abgenutzt[i] = 0;
    }
    Grenze = limit;
    Aktuell = 0;
    Geladen = kAbgenutzt;
    return 0;
}

int16_t CSTANDZEIT::Aufaddieren(float path) {
    if (!(path > 0.0f)) return 0;
    Weg[Aktuell] += path;
    if (Weg[Aktuell] > Grenze) {
        Abgenutzt[Aktuell] = kAbgenutzt;
        return 1;
    }
    return 0;
}

int16_t CSTANDZEIT::NaechstesWerkzeug() {
    if (Aktuell + 1 > 10 || Werkzeug[Aktuell + 1] < 1) return -1;
    ++Aktuell;
    return Werkzeug[Aktuell];
}

float CSTANDZEIT::GebeAktuellenWeg(short tool) {
    for (int i = Aktuell; i >= 0; --i)
        if (Werkzeug[i] == tool) return Weg[i];
    return 0.0f;
}

int16_t CSTANDZEIT::Pruefen(float*) { return 0; }
