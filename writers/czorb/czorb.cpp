#include "writers/czorb/czorb.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "writers/common/writer_common.h"

namespace w = korvat::writer;
namespace pf = korvat::platform;

namespace {

constexpr int kFehlerSchreiben = 1007;  // the output file could not be written

int32_t Bits(float f) {
    int32_t v;
    std::memcpy(&v, &f, sizeof v);
    return v;
}

constexpr uint32_t kSatz = 13;
// The records waiting to be written: whole records only (5041 of them, just under 64 KiB), so a
// buffer the disk refuses never splits one. Held once for the library like the channel's file
// buffer, and tied to the file handle rather than to the writer object, which the host copies.
struct Satzpuffer {
    int32_t datei = -1;
    uint32_t anzahl = 0;  // bytes waiting
    uint8_t bytes[kSatz * 5041];
};
Satzpuffer puffer;

void Kodiere(char type, const int32_t* values, uint8_t* bytes) {
    bytes[0] = static_cast<uint8_t>(type);
    for (int i = 0; i < 3; ++i) {
        uint32_t v = static_cast<uint32_t>(values[i]);
        for (int k = 0; k < 4; ++k) bytes[1 + 4 * i + k] = static_cast<uint8_t>(v >> (8 * k));
    }
}

}  // namespace

int CZORB::Init(InitStruct*, int, int32_t) { return 0; }

short CZORB::Open(short, const MaschEinstellung*, int value, const char* name) {
    if (DateiOffen) Close(0);
    Wert = value;
    LetztesX = LetztesY = LetztesZ = 0.0f;
    EilgangX = EilgangY = EintauchX = EintauchY = 0.0f;
    EilgangAnstehend = EintauchenAnstehend = GruppeOffen = 0;
    Tiefe = 0.0f;
    Anzahl = 0;
    Kopfposition = 0;
    Abgebrochen = 0;
    Escape1 = Escape2 = 0;
    Abfragezaehler = 10;
    // A move before any tool or depth still opens its group with a header (tool 0), so every
    // group has a header for its count to be written back into.
    NeueGruppe = 1;
    DateiOffen = 0;
    Datei = -1;
    Dateipfad[0] = '\0';
    if (name == nullptr || name[0] == '\0') return 0;
    if (!w::Formatiere(Dateipfad, sizeof Dateipfad, "%s.LG1", name)) {
        SetzeFehler(1005, 0, 0, name, "file name too long");
        return 1;
    }
    Datei = pf::FileCreate(Dateipfad);
    if (Datei < 0) {
        SetzeFehler(1005, 0, 0, Dateipfad, "cannot create the file");
        return 1;
    }
    // Records of a file never closed, whose handle the new file now has, are not its own.
    if (puffer.datei == Datei) puffer.anzahl = 0;
    DateiOffen = 1;
    return 0;
}

int CZORB::Close(int) {
    if (!DateiOffen) return 0;
    Rein();
    KonturgruppenEnde();
    Wegschreiben();
    pf::FileClose(Datei);
    Datei = -1;
    DateiOffen = 0;
    return 0;
}

// ---- Records ---------------------------------------------------------------------------------

int CZORB::SchreibeDatei(char type, const int32_t* values) {
    if (!DateiOffen || Abgebrochen) return Abgebrochen ? 1 : 0;
    if (puffer.datei != Datei || puffer.anzahl + kSatz > sizeof puffer.bytes) {
        if (Wegschreiben() != 0) return 1;
        puffer.datei = Datei;
    }
    Kodiere(type, values, puffer.bytes + puffer.anzahl);
    puffer.anzahl += kSatz;
    return 0;
}

int CZORB::Wegschreiben() {
    if (puffer.anzahl == 0) return 0;
    const uint32_t n = puffer.anzahl;
    const int32_t datei = puffer.datei;
    puffer.anzahl = 0;
    // Records taken before a refused value still go out; after a failed write none were taken.
    // One write for the whole buffer; what a failing disk did not take is lost with it.
    if (pf::FileWrite(datei, puffer.bytes, n) == static_cast<int32_t>(n)) return 0;
    Schreibfehler(n / kSatz);
    return 1;
}

void CZORB::Schreibfehler(uint32_t records) {
    char t2[128];
    std::snprintf(t2, sizeof t2, "%u records could not be written (disk full?)",
                  static_cast<unsigned>(records));
    SetzeFehler(kFehlerSchreiben, 0, 0, Dateipfad, t2);
    Escape1 = 1;
    // A later record after a lost one would shift every following record: stop here so the
    // file ends with the records written before.
    Abgebrochen = 1;
}

int CZORB::Satz(char type, float a, float b, float c) {
    const int32_t v[3] = {Bits(a), Bits(b), Bits(c)};
    return SchreibeDatei(type, v);
}

bool CZORB::Gueltig(const char* member, float x, float y, float z) {
    if (std::isfinite(x) && std::isfinite(y) && std::isfinite(z)) return true;
    char t2[160];
    std::snprintf(t2, sizeof t2, "CZORB::%s(%f, %f, %f) after record group at byte %ld: refused",
                  member, x, y, z, static_cast<long>(Kopfposition));
    SetzeFehler(w::kFehlerZahlUngueltig, 0, 0, Dateipfad, t2);
    Escape1 = 1;
    Abgebrochen = 1;
    return false;
}

// ---- Moves -----------------------------------------------------------------------------------

void CZORB::Move(float x, float y) {
    if (!Gueltig("Move", x, y)) return;
    Rein();
    EilgangAnstehend = 1;
    EilgangX = x;
    EilgangY = y;
    tastaturabfrage();
}

void CZORB::Draw3(float x, float y, float z) {
    if (!Gueltig("Draw3", x, y, z)) return;
    if (z >= ZSchwelle) {
        EilgangAnstehend = 1;
        EilgangX = x;
        EilgangY = y;
    } else {
        EintauchenAnstehend = 1;
        EintauchX = x;
        EintauchY = y;
    }
    LetztesX = x;
    LetztesY = y;
    LetztesZ = z;
    tastaturabfrage();
}

void CZORB::Draw(float x, float y) {
    if (!Gueltig("Draw", x, y)) return;
    if (EintauchenAnstehend) {
        EintauchenAnstehend = 0;
        EilgangAnstehend = 1;
        EilgangX = EintauchX;
        EilgangY = EintauchY;
    }
    if (EilgangAnstehend) {
        MoveRaus();
    } else if (NeueGruppe) {
        // A new group starts where the tool stands.
        EilgangAnstehend = 1;
        EilgangX = LetztesX;
        EilgangY = LetztesY;
        MoveRaus();
    }
    Satz(10, x, y, 0.0f);
    ++Anzahl;
    LetztesX = x;
    LetztesY = y;
    tastaturabfrage();
}

void CZORB::MoveRaus() {
    if (!EilgangAnstehend) return;
    EilgangAnstehend = 0;
    if (NeueGruppe) {
        KonturgruppenEnde();
        // The header's place: behind what is written and what waits in the buffer.
        if (DateiOffen)
            Kopfposition = pf::FileSeek(Datei, 0, 1) +
                           static_cast<int32_t>(puffer.datei == Datei ? puffer.anzahl : 0);
        Satz(1, 0.0f, 0.0f, 0.0f);
        Satz(5, WzWerte[4], WzWerte[5], 0.0f);
        Satz(6, 1.0f, 0.0f, 0.0f);
        const int32_t seven[3] = {Bits(1.0f), 0, 1};
        SchreibeDatei(7, seven);
        Satz(static_cast<char>(150), WzWerte[1], WzWerte[0], WzWerte[2]);
        Satz(static_cast<char>(151), WzWerte[3], 0.0f, 0.0f);
        // The label: its length as a byte, then its first 11 bytes, zero-filled.
        char text[32];
        int n = std::snprintf(text, sizeof text, "Wz.:\t%1d", Werkzeug);
        uint8_t label[12] = {};
        label[0] = static_cast<uint8_t>(n);
        std::memcpy(label + 1, text, n < 11 ? n : 11);
        int32_t v[3];
        for (int i = 0; i < 3; ++i) {
            v[i] =
                static_cast<int32_t>(label[4 * i] | label[4 * i + 1] << 8 | label[4 * i + 2] << 16 |
                                     static_cast<uint32_t>(label[4 * i + 3]) << 24);
        }
        SchreibeDatei(static_cast<char>(152), v);
        for (int type = 153; type <= 155; ++type) Satz(static_cast<char>(type), 0.0f, 0.0f, 0.0f);
        Satz(static_cast<char>(156), Vorschub, Tiefe, Gruppenwert);
        Satz(static_cast<char>(157), Drehzahl, 0.0f, 0.0f);
        Anzahl = 12;
        NeueGruppe = 0;
    }
    Satz(11, EilgangX, EilgangY, 0.0f);
    ++Anzahl;
    GruppeOffen = 1;
    LetztesX = EilgangX;
    LetztesY = EilgangY;
}

void CZORB::Rein() {
    if (!EintauchenAnstehend) return;
    EintauchenAnstehend = 0;
    if (!EilgangAnstehend && NeueGruppe) {
        EilgangAnstehend = 1;
        EilgangX = LetztesX;
        EilgangY = LetztesY;
    }
    if (EilgangAnstehend) MoveRaus();
    float x = EintauchX + 0.01f;  // a cut of 0.01 mm in X marks the hole
    Satz(10, x, EintauchY, 0.0f);
    ++Anzahl;
    LetztesX = x;
    LetztesY = EintauchY;
}

void CZORB::KonturgruppenEnde() {
    if (!GruppeOffen) return;
    Satz(9, 0.0f, 0.0f, 0.0f);
    ++Anzahl;
    // The buffer goes out before the header is written back in place, so the file holds the
    // same bytes as if every record had been written at once.
    if (DateiOffen && Wegschreiben() == 0 && !Abgebrochen) {
        int32_t here = pf::FileSeek(Datei, 0, 1);
        if (pf::FileSeek(Datei, Kopfposition, 0) == Kopfposition) {
            const int32_t head[3] = {Bits(10.0f), Bits(10.0f), Anzahl};
            uint8_t bytes[kSatz];
            Kodiere(1, head, bytes);
            if (pf::FileWrite(Datei, bytes, kSatz) != static_cast<int32_t>(kSatz)) Schreibfehler(1);
        }
        pf::FileSeek(Datei, here, 0);
    }
    GruppeOffen = 0;
}

// ---- Tool, depth, feed, speed ------------------------------------------------------------

void CZORB::WkzW(int tool, float w1, float w2, float w3, float w4, float w5, float w6,
                 short exchange) {
    Rein();
    Werkzeug = static_cast<int16_t>(tool);
    WzWerte[0] = w1;
    WzWerte[1] = w2;
    WzWerte[2] = static_cast<float>(w3 * 57.29577951);
    WzWerte[3] = w4;
    WzWerte[4] = exchange ? w6 : w5;
    WzWerte[5] = exchange ? w5 : w6;
    NeueGruppe = 1;
}

void CZORB::SetzeGTiefe(float depth) {
    if (!(std::fabs(depth - Tiefe) > 0.005f)) return;
    Rein();
    Tiefe = depth;
    NeueGruppe = 1;
}

void CZORB::SetzeVorschub(float feed) { Vorschub = feed; }
void CZORB::SetzeVorschuebe(float xy, float) { Vorschub = xy; }
void CZORB::Spinddreh(int32_t speed) { Drehzahl = static_cast<float>(speed); }
void CZORB::SetzeZSchwelle(float z) { ZSchwelle = z; }
void CZORB::SetzeGruppenwert(float value) { Gruppenwert = value; }

// ---- The rest ------------------------------------------------------------------------------

int CZORB::TestGleich(float a, float b) { return std::fabs(a - b) < 0.0001f ? 1 : 0; }

void CZORB::FBStInfo(BSTINFO* info) {
    w::FuelleBStInfo(info, {100, 0, 999, 0, 999}, {100, 0, 10, 0, 0, 60}, "ABCUV");
}

void CZORB::Ausheben() {}
void CZORB::Spindea(int, float) {}
void CZORB::SStringln(short, const char*) {}
