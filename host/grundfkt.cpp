// The host's basic services: the line reader ZEAW, record files over the platform's file calls,
// and the small numeric helpers of the geometry code.
#include "common/grundfkt.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>

#include "platform/files.h"

namespace pf = korvat::platform;

namespace {

bool IstTrenner(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r' || c == '\n';
}
bool IstZiffer(char c) { return c >= '0' && c <= '9'; }
int HexWert(char c) {
    if (IstZiffer(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
constexpr const char* kZuLang = "l\xe4nger als 511 Zeichen, abgeschnitten";
static_assert(sizeof(ZEAW::Zeile) == 512, "kZuLang names the line length");

// A character that would have to belong to the number just read: the number is malformed.
bool SetztZahlFort(char c) {
    return IstZiffer(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '_';
}

void Kopiere(char* ziel, size_t groesse, const char* text) {
    std::snprintf(ziel, groesse, "%s", text ? text : "");
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Line reader

ZEAW::ZEAW()
    : Zeile{},
      Fehler(0),
      Pos(0),
      ZeilenNummer(0),
      Abgeschnitten(0),
      Name{},
      datei_(-1),
      pufferPos_(0),
      pufferLaenge_(0),
      eof_(1),
      puffer_{},
      meldung_{} {}

ZEAW::~ZEAW() { TSchliesse(); }

ZEAW::ZEAW(const ZEAW& other) : ZEAW() { *this = other; }

ZEAW& ZEAW::operator=(const ZEAW& other) {
    if (this == &other) return *this;
    TSchliesse();
    std::memcpy(Zeile, other.Zeile, sizeof Zeile);
    Fehler = other.Fehler;
    Pos = other.Pos;
    ZeilenNummer = other.ZeilenNummer;
    Abgeschnitten = other.Abgeschnitten;
    std::memcpy(Name, other.Name, sizeof Name);
    std::memcpy(meldung_, other.meldung_, sizeof meldung_);
    return *this;
}

int ZEAW::TOeffne(const char* path) {
    TSchliesse();
    Kopiere(Name, sizeof Name, path);
    Zeile[0] = '\0';
    Pos = 0;
    ZeilenNummer = 0;
    Abgeschnitten = 0;
    meldung_[0] = '\0';
    datei_ = path ? pf::FileOpen(path, 0) : -1;
    if (datei_ < 0) {
        Fehler = 1;
        std::snprintf(meldung_, sizeof meldung_,
                      "%s: Datei kann nicht ge\xf6"
                      "ffnet werden",
                      Name);
        return -1;
    }
    Fehler = 0;
    eof_ = 0;
    return 0;
}

void ZEAW::TSchliesse() {
    if (datei_ >= 0) pf::FileClose(datei_);
    datei_ = -1;
    pufferPos_ = pufferLaenge_ = 0;
    eof_ = 1;
}

// Refills the read buffer when it is used up. Returns the bytes waiting, 0 at the end of the
// file, -1 when reading failed (Fehler set). The reader stays at the end from then on.
int ZEAW::FuellePuffer() {
    if (pufferPos_ < pufferLaenge_) return pufferLaenge_ - pufferPos_;
    if (eof_ || datei_ < 0) return 0;
    int32_t n = pf::FileRead(datei_, puffer_, sizeof puffer_);
    if (n <= 0) {
        eof_ = 1;
        if (n == 0) return 0;
        Fehler = 1;
        std::snprintf(meldung_, sizeof meldung_, "%s, Zeile %d: Lesefehler", Name,
                      ZeilenNummer + 1);
        return -1;
    }
    pufferPos_ = 0;
    pufferLaenge_ = n;
    return n;
}

int ZEAW::TLeseEOF() { return FuellePuffer() <= 0 ? 1 : 0; }

int ZEAW::TLeseZeile() {
    Zeile[0] = '\0';
    Pos = 0;
    Abgeschnitten = 0;
    if (FuellePuffer() <= 0) return -1;
    int laenge = 0;  // characters kept in Zeile
    int gesamt = 0;  // characters of the line in the file, without its LF
    char letztes = '\0';
    for (bool ende = false; !ende;) {
        int verfuegbar = FuellePuffer();
        if (verfuegbar < 0) {
            Zeile[0] = '\0';  // half a line is no line
            return -1;
        }
        if (verfuegbar == 0) break;  // the last line has no LF
        // Take everything up to the next LF (or the end of the buffer) in one step.
        const char* anfang = puffer_ + pufferPos_;
        const void* lf = std::memchr(anfang, '\n', static_cast<size_t>(verfuegbar));
        int stueck = lf ? static_cast<int>(static_cast<const char*>(lf) - anfang) : verfuegbar;
        int platz = static_cast<int>(sizeof Zeile) - 1 - laenge;
        int genommen = stueck < platz ? stueck : platz;
        std::memcpy(Zeile + laenge, anfang, static_cast<size_t>(genommen));
        laenge += genommen;
        gesamt += stueck;
        if (stueck > 0) letztes = anfang[stueck - 1];
        pufferPos_ += stueck + (lf ? 1 : 0);
        ende = lf != nullptr;
    }
    // A CR at the end belongs to the line end, wherever it fell (kept or beyond the room).
    int inhalt = gesamt - (letztes == '\r' ? 1 : 0);
    if (laenge > inhalt) laenge = inhalt;
    Zeile[laenge] = '\0';
    ++ZeilenNummer;
    if (inhalt > laenge) {
        Abgeschnitten = 1;
        Fehler = 1;
        Fehlermeldung(kZuLang, 0);
    }
    return 0;
}

void ZEAW::Beginn(const char* text, const char* name) {
    if (text == nullptr) text = "";
    if (name != nullptr && *name != '\0' && name != Name) Kopiere(Name, sizeof Name, name);
    // Text from the reader's own line keeps the line number and the cut mark.
    std::less_equal<const char*> le;
    bool eigeneZeile = le(Zeile, text) && le(text, Zeile + sizeof Zeile - 1);
    size_t laenge = strnlen(text, sizeof Zeile);
    bool zuLang = laenge == sizeof Zeile;
    if (zuLang) laenge = sizeof Zeile - 1;
    std::memmove(Zeile, text, laenge);
    Zeile[laenge] = '\0';
    Pos = 0;
    Fehler = 0;
    meldung_[0] = '\0';
    if (!eigeneZeile) {
        ZeilenNummer = 0;
        Abgeschnitten = zuLang ? 1 : 0;
    }
    if (Abgeschnitten) {
        Fehler = 1;
        Fehlermeldung(kZuLang, 0);
    }
}

void ZEAW::Fehlermeldung(const char* was, int spalte) {
    char ort[320];
    int n = std::snprintf(ort, sizeof ort, "%s", Name[0] ? Name : "Text");
    if (ZeilenNummer > 0 && n < static_cast<int>(sizeof ort))
        n += std::snprintf(ort + n, sizeof ort - n, ", Zeile %d", ZeilenNummer);
    if (spalte > 0 && n < static_cast<int>(sizeof ort))
        std::snprintf(ort + n, sizeof ort - n, ", Spalte %d", spalte);
    std::snprintf(meldung_, sizeof meldung_, "%s: %s", ort, was);
}

// Skips the separators in front of a number. False (with Fehler set) when the text ends first.
bool ZEAW::NummerAnfang() {
    if (Fehler) return false;
    while (IstTrenner(Zeile[Pos])) ++Pos;
    if (Zeile[Pos] != '\0') return true;
    Fehler = 1;
    Fehlermeldung("Zahl erwartet, die Zeile ist zu Ende", Pos + 1);
    return false;
}

// Describes a malformed number by its text from its start up to the next separator, at most 20
// characters of it.
void ZEAW::UngueltigeZahl(const char* art) {
    const char* p = Zeile + Pos;
    int laenge = 0;
    while (p[laenge] != '\0' && !IstTrenner(p[laenge]) && laenge < 20) ++laenge;
    char was[96];
    std::snprintf(was, sizeof was, "\"%.*s\" ist keine g\xfcltige %s", laenge, p, art);
    Fehler = 1;
    Fehlermeldung(was, Pos + 1);
}

int32_t ZEAW::WNummer() {
    if (!NummerAnfang()) return 0;
    const char* p = Zeile + Pos;
    int i = (*p == '+' || *p == '-') ? 1 : 0;
    int64_t wert = 0;
    int ziffern = 0;
    while (IstZiffer(p[i]) && wert <= INT64_C(1) << 32) {
        wert = wert * 10 + (p[i] - '0');
        ++i, ++ziffern;
    }
    if (*p == '-') wert = -wert;
    if (ziffern == 0 || SetztZahlFort(p[i]) || wert < INT32_MIN || wert > INT32_MAX) {
        UngueltigeZahl("ganze Zahl");
        return 0;
    }
    Pos += i;
    return static_cast<int32_t>(wert);
}

double ZEAW::WFloat() {
    if (!NummerAnfang()) return 0.0;
    const char* p = Zeile + Pos;
    int i = (*p == '+' || *p == '-') ? 1 : 0;
    const int mantisse = i;
    int ziffern = 0;
    while (IstZiffer(p[i])) ++i, ++ziffern;
    if (p[i] == '.') {
        ++i;
        while (IstZiffer(p[i])) ++i, ++ziffern;
    }
    if (ziffern > 0 && (p[i] == 'e' || p[i] == 'E')) {
        int k = i + 1;
        if (p[k] == '+' || p[k] == '-') ++k;
        if (IstZiffer(p[k])) {
            while (IstZiffer(p[k])) ++k;
            i = k;
        }
    }
    double wert = 0.0;
    // from_chars reads the C notation whatever the process locale says.
    auto [ende, fehler] = std::from_chars(p + mantisse, p + i, wert, std::chars_format::general);
    if (ziffern == 0 || SetztZahlFort(p[i]) || fehler != std::errc() || ende != p + i) {
        UngueltigeZahl("Zahl");
        return 0.0;
    }
    Pos += i;
    return *p == '-' ? -wert : wert;
}

int32_t ZEAW::WHex() {
    if (!NummerAnfang()) return 0;
    const char* p = Zeile + Pos;
    int i = (*p == '+' || *p == '-') ? 1 : 0;
    if (p[i] == '0' && (p[i + 1] == 'x' || p[i + 1] == 'X') && HexWert(p[i + 2]) >= 0) i += 2;
    uint64_t wert = 0;
    int ziffern = 0;
    for (; HexWert(p[i]) >= 0; ++i, ++ziffern) {
        if (wert > 0xFFFFFFFFu) continue;  // already too long; keep scanning to report it whole
        wert = wert * 16 + static_cast<uint64_t>(HexWert(p[i]));
    }
    if (ziffern == 0 || SetztZahlFort(p[i]) || wert > 0xFFFFFFFFu) {
        UngueltigeZahl("Hexadezimalzahl");
        return 0;
    }
    Pos += i;
    auto muster = static_cast<uint32_t>(wert);
    if (*p == '-') muster = 0u - muster;
    return static_cast<int32_t>(muster);
}

void ZEAW::Inc() {
    if (Zeile[Pos] != '\0') ++Pos;
}

char ZEAW::Hz(int16_t n) {
    int i = Pos - 1 + n;
    if (i < 0 || i >= static_cast<int>(sizeof Zeile)) return '\0';
    // Nothing beyond the terminator belongs to the text.
    for (int k = Pos; k < i; ++k)
        if (Zeile[k] == '\0') return '\0';
    return Zeile[i];
}

// ---------------------------------------------------------------------------------------------
// Record files

int32_t rd_open(const char* path, int16_t mode) { return path ? pf::FileOpen(path, mode) : -1; }

// The host's file attribute (read-only, hidden, archive bits) has no meaning here: the file is
// created as a plain file with the process's permissions.
int32_t rd_creat(const char* path, int16_t /*attribute*/) {
    return path ? pf::FileCreate(path) : -1;
}

int32_t rd_read(int32_t h, void* buffer, int32_t n) {
    if (h < 0 || buffer == nullptr || n < 0) return -1;
    return pf::FileRead(h, buffer, static_cast<uint32_t>(n));
}

int32_t rd_write(int32_t h, const void* buffer, int32_t n) {
    if (h < 0 || buffer == nullptr || n < 0) return -1;
    return pf::FileWrite(h, buffer, static_cast<uint32_t>(n));
}

int32_t rd_seek(int32_t h, int32_t position, int16_t origin) {
    return pf::FileSeek(h, position, origin);
}

int16_t rd_close(int32_t h) { return pf::FileClose(h) == 0 ? 0 : -1; }

int rd_loesche(const char* path) { return path ? pf::FileDelete(path) : -1; }

// ---------------------------------------------------------------------------------------------
// Numeric functions

double SQR(double x) { return x * x; }

double KFARCT(double dy, double dx) { return std::atan2(dy, dx); }

double KFWKORREKTUR(double a) {
    constexpr double kVoll = 2.0 * 3.14159265358979323846;
    double r = std::fmod(a, kVoll);  // exact; same sign as a
    if (r < 0.0) r += kVoll;
    // A tiny negative angle rounds up to a whole turn when the turn is added; it means 0.
    if (r >= kVoll) r = 0.0;
    return r + 0.0;  // -0 becomes +0
}

int KFTESTNULL(double x, double tolerance) { return std::fabs(x) <= tolerance ? 1 : 0; }

int kfgueltig(double f) {
    // Fractions come from angles that were rounded on the way; a point exactly on an arc's end
    // must still count as on the arc.
    constexpr double kToleranz = 1e-5;
    return f >= -kToleranz && f <= 1.0 + kToleranz ? 0 : -1;
}
