#include "digitizer/cdigita.h"

#include <cstring>

#include "channel/serleitung.h"

// The library's tablet readers, built when the library is loaded, and the flag that a tablet
// line is open. CDIGITA reads and sets them; nothing else does.
CDIGIS digis;
CDIGIS2 digis2;
int16_t digiOffen;

namespace {

// Opens the digitizers' line with a fresh status (the opened-before flag is always 0, so every
// open starts from a clean error record) in mode 0.
short OeffneLeitung(short port) {
    short vorher = 0;
    return serleitung.popen(port, &vorher, 0);
}

void Leeren(short* key, RPOINT* pt) {
    *key = kDigiKeine;
    pt->X = 0.0;
    pt->Y = 0.0;
}

// Reads the rest of a line from the tablet. True only when the line ended properly and holds
// something: a line cut off by a time-out or too long for the answer buffer is not read.
bool LeseZeile(char (&zeile)[100], short crBeendet) {
    short r = serleitung.pinstr(zeile, crBeendet);
    return r == 0 && zeile[0] != '\0';
}

// Counts a dropped line and keeps it (a line cut short by a line fault is the line's failure,
// not the tablet's, and is not counted) (its first character, then the rest) for the host.
void MerkeUnlesbar(int32_t* zahl, char (&text)[100], char erstes, const char* rest) {
    ++*zahl;
    text[0] = erstes;
    size_t n = strnlen(rest, sizeof text - 2);  // what does not fit is left out
    std::memcpy(text + 1, rest, n);
    text[n + 1] = '\0';
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Model 1

short CDIGIS::Open(short port) { return OeffneLeitung(port); }

short CDIGIS::Close() {
    serleitung.pclose(1);
    return 0;
}

short CDIGIS::Tastencode(char c) {
    switch (c) {
        case '0':
            return kDigiPunkt;
        case '1':
            return kDigiTaste1;
        case '2':
        case '3':
            return kDigiTaste2;
        case '4':
            return kDigiTaste4;
        case '5':
            return kDigiTaste5;
        case '6':
            return kDigiTaste6;
        case '8':
            return kDigiTaste8;
        default:
            return kDigiKeine;
    }
}

short CDIGIS::Koordinatenzeile(const char* zeile, RPOINT* pt) {
    Leser.Beginn(zeile, "");
    Leser.Inc();
    Leser.Inc();
    double x = Leser.WFloat();
    double y = Leser.WFloat();
    if (Leser.Fehler) return 0;
    pt->X = x;
    pt->Y = y;
    return 1;
}

short CDIGIS::FrageKoordinate(short* key, RPOINT* pt) {
    Leeren(key, pt);
    char c[2];
    while (serleitung.pinchr_sofort(c)) {
        if (c[0] == '@') {
            char zeile[100];
            if (LeseZeile(zeile, 0) && Koordinatenzeile(zeile, pt)) return 1;
            if (!serleitung.Fehlerflag) MerkeUnlesbar(&Unlesbar, UnleserlicheZeile, '@', zeile);
            return 0;
        }
        short code = Tastencode(c[0]);
        if (code != kDigiKeine) {
            *key = code;
            return 0;
        }
        // Anything else (line ends, noise) is dropped.
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Model 2

namespace {

const char kAnfang[] = "\x1bM03\r";
const char kQuittung[] =
    "\x1b"
    "A\r";
const char kAnfrage[] =
    "\x1b"
    "G\r";

short Modell2Taste(int32_t bits) {
    switch (bits) {
        case 1:
            return kDigiPunkt;
        case 2:
            return kDigiTaste1;
        case 4:
            return kDigiTaste4;
        case 8:
            return kDigiTaste2;
        case 16:
            return kDigiTaste8;
        default:
            return kDigiKeine;
    }
}

}  // namespace

short CDIGIS2::Open(short port) {
    Geloescht = 0;
    TasteGehalten = 0;
    short r = OeffneLeitung(port);
    if (r == 0) {
        serleitung.pflush();
        serleitung.poutstr(kAnfang);
        for (int i = 0; i < 3; ++i) serleitung.poutstr(kQuittung);
    }
    return r;
}

short CDIGIS2::Close() {
    serleitung.pflush();
    serleitung.pclose(1);
    return 0;
}

short CDIGIS2::Bericht(const char* zeile, short* key, RPOINT* pt) {
    Leser.Beginn(zeile, "");
    double x = Leser.WFloat();
    if (Leser.Fehler || Leser.Hz(1) != ':') return -1;
    Leser.Inc();
    double y = Leser.WFloat();
    Leser.Inc();
    int32_t bits = Leser.WNummer();
    if (Leser.Fehler) return -1;
    short code = kDigiKeine;
    if (bits == 0) {
        code = kDigiOhneTaste;
        TasteGehalten = 0;
    } else if (Modell2Taste(bits) != kDigiKeine && !TasteGehalten) {
        code = Modell2Taste(bits);
        TasteGehalten = 1;
        Geloescht = 0;
    }
    // Two buttons at once (bits 3, ...) and a button still held give nothing.
    if (code == kDigiKeine) return 0;
    *key = code;
    pt->X = x;
    pt->Y = y;
    return 1;
}

short CDIGIS2::FrageKoordinate(short* key, RPOINT* pt) {
    Leeren(key, pt);
    short result = 0;
    char c[2];
    if (serleitung.pinchr_sofort(c)) {
        char zeile[100];
        bool gelesen = LeseZeile(zeile, 1);
        short bericht = c[0] == '+' && gelesen ? Bericht(zeile, key, pt) : -1;
        if (bericht == 1) {
            result = 1;
            if (*key != kDigiOhneTaste) serleitung.poutstr(kQuittung);
        } else if (bericht < 0 && !serleitung.Fehlerflag) {
            MerkeUnlesbar(&Unlesbar, UnleserlicheZeile, c[0], zeile);
        }
    }
    serleitung.poutstr(kAnfrage);
    return result;
}

// ---------------------------------------------------------------------------------------------
// The host's front

CDIGITA::CDIGITA() { digiOffen = 0; }

CDIGITA& CDIGITA::operator=(const CDIGITA& other) {
    Modell = other.Modell;
    return *this;
}

short CDIGITA::Open(short model, DIGI_STRUCT* ds) {
    Modell = model;
    if (model != 1 && model != 2) return 0;
    short port = ds != nullptr ? ds->Schnittstelle : 0;
    if (model == 1)
        digis.Open(port);
    else
        digis2.Open(port);
    // Set also when the line failed: Close then still closes, and FrageKoordinate finds the
    // line stopped and delivers nothing.
    digiOffen = 1;
    return 0;
}

short CDIGITA::Close() {
    if (!digiOffen) return 0;
    if (Modell == 1) digis.Close();
    if (Modell == 2) digis2.Close();
    digiOffen = 0;
    return 0;
}

short CDIGITA::FrageKoordinate(short* key, RPOINT* pt) {
    *key = kDigiKeine;
    if (Modell == 1) return digis.FrageKoordinate(key, pt);
    if (Modell == 2) return digis2.FrageKoordinate(key, pt);
    return 0;
}

short CDIGITA::Dummy() {
    Close();
    digiOffen = 0;
    return 0;
}
