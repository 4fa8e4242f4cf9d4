#include "online/b268/b268.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/grundfkt.h"
#include "platform/clock.h"
#include "platform/line_wait.h"
#include "supervision/spindtab.h"

namespace {

constexpr double kGrad = 57.29577951;  // degrees per radian, as the controller takes angles
constexpr char kBlockAuf = 14;
constexpr char kBlockZu = 15;
constexpr char kTrenner = 16;

// The driver's clock: process milliseconds, low 24 bits.
int32_t Uhr() { return static_cast<int32_t>(korvat::platform::NowMs() & 0xFFFFFF); }

// Rounds to the nearest integer, halves away from zero (-2.5 gives -3).
long Runde(double v) { return std::lround(v); }

void Fehler(int code, const char* text) { cx268io.psfehler(code, 0, 0, text, "", 0, 0, 0); }

}  // namespace

void B268::Zeile(const char* format, ...) {
    char text[400];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    (void)n;  // a line longer than the channel takes (309) is refused there (1020), never cut
    cx268io.poutstrln(text);
}

void B268::NachBewegung() {
    UpdateStatus(0);
    Cx268Buffer();
}

// --- Motion -----------------------------------------------------------------------------------

void B268::Move3(double x, double y, double z) {
    Zeile("ZE %1.3f %1.3f %1.3f", x, y, z);
    if (BlockSchliessen) {
        cx268io.poutchar(kBlockZu);
        Befehle = 0;
        BlockSchliessen = 0;
    }
    cx268io.poutchar(kBlockAuf);
}

void B268::Draw(double x, double y) {
    Zeile("D %1.3f %1.3f", x, y);
    NachBewegung();
}

void B268::Draw3(double x, double y, double z) {
    Zeile("Z %1.3f %1.3f %1.3f", x, y, z);
    NachBewegung();
}

void B268::MoveZ(double z) {
    Zeile("MZ %1.3f", z);
    NachBewegung();
}

void B268::Kreis(double a, double b, double c, double w) {
    Zeile("AM %1.3f %1.3f %1.6f %1.4f", a, b, w * kGrad, c);
    NachBewegung();
}

void B268::KreisZ(double w1, double w2, double c, double d) {
    Zeile("AB %1.5f %1.5f %1.3f %1.3f", w1 * kGrad, w2 * kGrad, c, d);
    NachBewegung();
}

void B268::A4A(double a) { Zeile("ZS %1.3f", a); }
void B268::Grund() { Zeile("KM"); }
void B268::Grund(double z) { Zeile("KM %1.3f", z); }
void B268::Grund(double x, double y) { Zeile("KM %1.3f %1.3f", x, y); }
void B268::Grund(double x, double y, double z) { Zeile("KM %1.3f %1.3f %1.3f", x, y, -z); }

void B268::SetzeVorschub(float f) {
    Zeile("V %1.3f", f);
    VorschubXY = f;
}

void B268::InitGeschw(float f1, float f2, float f3, float f4, float f5) {
    Zeile("V %1.3f %1.3f %1.3f %1.3f %1.3f", f1, f2, f3, f4, f5);
    VorschubXY = f1;
    VorschubZ = f2;
}

void B268::SetzeZVorschub(float fz) { Zeile("V %1.3f %1.3f %1.3f", VorschubXY, VorschubZ, fz); }
void B268::Wait(float t) { Zeile("FW %1.3f", t); }
void B268::Stop() { Zeile("STOP"); }
void B268::Spindea(int ein) { Zeile(ein != 0 ? "FKSE" : "FKSA"); }

void B268::Spinddreh(int32_t n) {
    if (STabelleFehlt) return Fehler(3111, "SPIND.TAB");
    if (n < STabelle[0]) return Fehler(3114, "SPIND.TAB");
    if (n > STabelle[127]) return Fehler(3115, "SPIND.TAB");
    if (cx268io.Fehlerflag) return;
    // Bisection for the step i with entry i <= n <= entry i+1 (the table does not decrease).
    int lo = 0, hi = 127, i = 63;
    while (!(STabelle[i] <= n && n <= STabelle[i + 1])) {
        if (n < STabelle[i])
            hi = i;
        else
            lo = i;
        i = lo + (hi - lo) / 2;
    }
    float mitte = (STabelle[i] + STabelle[i + 1]) / 2;
    Zeile(" FD %1d", n > mitte ? i + 1 : i);
}

void B268::Actuator(int nr, char c) { Zeile("FK%1d%c", nr, c); }
void B268::Sensor(int a, int b, float t) { Zeile("LW %1d %1d %1.3f", a, b, t); }

void B268::SetzeFlughAbsolut(float h, float h2, int absolut) {
    Flughoehe = h;
    Hoehe2 = h2;
    Absolut = absolut != 0 ? 1 : 0;
    Zeile("GT %1d 0 %1.3f", Absolut, -h);
}

void B268::Schildtrenner() {
    cx268io.poutchar(kTrenner);
    BlockSchliessen = 1;
}

// --- Tools ------------------------------------------------------------------------------------

void B268::WkzW(int art, int nr, float a, float b) {
    static const char* const kWort[] = {"WZ", "WZA", "WZT", "WZTA"};
    bool bekannt = art >= 0 && art <= 3;
    Zeile("%s %d %1.3f %1.3f", bekannt ? kWort[art] : "STOP", nr, a, b);
    // The STOP line goes out first: recording the error stops the channel.
    if (!bekannt) Fehler(3166, "");
    BlockSchliessen = 1;
}

void B268::WzkAblegen() { Zeile("WZA 0"); }

void B268::ToolCheck(int art, int nr) {
    if (art >= 1)
        Zeile("WZB %1d", nr);
    else
        Zeile("KOB");
}

void B268::InitWzkTast(const WzkTastStruct* p) {
    Zeile("KYB %1.3f %1.3f %1.3f %1.3f %1.3f %1.3f", p->P[0], p->P[1], -p->P[3], p->P[4], p->P[5],
          p->P[6]);
}

void B268::SetzeWzkTast(const char* s) {
    if (s != nullptr && std::strlen(s) <= 10) Zeile("KYA%s", s);
}

void B268::WZWSenAct(const WZW_SA_STRUCT* s) {
    Zeile("KOF %1d %1d %1d %1d 0 0", s->Wert[0], s->Wert[1], s->Wert[12], s->Wert[13]);
}

void B268::WZWPplusB(const WZW_PB_STRUCT* s, int16_t mode) {
    Magazinmodus = mode;
    if (s->Anzahl < 1) return;
    int n = s->Anzahl > 60 ? 60 : s->Anzahl;
    char text[200];
    cx268io.poutstr("KOM ");
    for (int i = 1; i <= n; ++i) {
        std::snprintf(text, sizeof text, "%1d %1.3f %1.3f %1.3f ", i, s->X[i], s->Y[i], -s->Z[i]);
        cx268io.poutstr(text);
    }
    cx268io.poutcrlf();
    // The tool words can be longer than one channel line: sent in pieces, ended by CR LF.
    cx268io.poutstr("KOW ");
    for (int i = 1; i <= n; ++i) {
        std::snprintf(text, sizeof text, "%1d ", s->Werkzeug[i]);
        cx268io.poutstr(text);
    }
    cx268io.poutcrlf();
    Zeile("KOZ %1.3f", s->ZWert);
}

// --- Set-up -----------------------------------------------------------------------------------

int B268::Init(const InitStruct* s, int warteRef) {
    char antwort[100] = "";
    Drehachse = ' ';
    LetzteAbfrage = Uhr();
    Befehle = 0;
    BlockSchliessen = 0;
    cx268io.pbfrage("OS", antwort);
    bool kalt = antwort[0] != '\0' && std::strchr(antwort, 'C') != nullptr;

    char kopf[42];
    std::memset(kopf, 4, 39);
    kopf[39] = 'G';
    kopf[40] = s->MaschTypBuchstabe;
    kopf[41] = '\0';
    cx268io.poutstr(kopf);
    Zeile(" %1.3f %1.3f %1.3f %1.3f", s->Aufloesung[0], s->Aufloesung[1], s->Aufloesung[2],
          s->Weitere[0]);
    Zeile(" %1.3f %1.3f %1.3f %1.3f", s->Weitere[1], s->Weitere[2], s->Weitere[3], s->Weitere[4]);
    cx268io.poutchar(3);
    cx268io.poutcrlf();
    Zeile("!V--");
    cx268io.pbfrage("OE", antwort);

    if (kalt) {
        // A controller after power-on references its axes: wait while it reports B (busy), at
        // most 1.5 s after the last sign that the reference run is still under way.
        int32_t t0 = Uhr();
        bool zeitAus = false;
        do {
            if (warteRef != 0 && FRFahrt(1) == 0) t0 = Uhr();
            if (Uhr() - (t0 + 1500) > 0) {
                zeitAus = true;
                break;
            }
            korvat::platform::Sleep(150);
            cx268io.pbfrage("OS", antwort);
        } while (std::strchr(antwort, 'B') != nullptr);
        if (zeitAus) {
            Fehler(1021, "");
            return 1;
        }
        cx268io.poutchar(13);
        cx268io.poutstr("OX ");
        cx268io.pinstr(antwort);
        size_t p = 0, n = std::strlen(antwort);
        while (p < n && std::strchr(".0123456789", antwort[p]) == nullptr) ++p;
        float wert = 0.0f;
        std::sscanf(antwort + p, "%f", &wert);
        Zeile("%1.3f", wert / 3);
        Zeile("%1d%1d%1d%1d%1d %1d", s->Bytes[0] + 111, s->Bytes[1] + 111, s->Bytes[2] + 111,
              s->Bytes[3] + 111, s->Bytes[4] + 111, static_cast<int>(s->Ganzzahl));
    }
    Zeile(" VJ %1.3f %1.3f %1.2f", s->Schluss[0], s->Schluss[1], s->Schluss[2]);
    cx268io.poutchar(kBlockZu);
    Zusatzkopf = s->MaschTypBuchstabe == 'Z' ? 1 : 0;
    if (Zusatzkopf) Zeile("FK5E");
    return 0;
}

void B268::InitKlasse() { Absolut = 0; }

int B268::HoleSTabelle(const char* path) {
    int r = LadeSPINDTab(path, STabelle);
    STabelleFehlt = r != 0 ? 1 : 0;
    if (r != 0) Fehler(r, "SPIND.TAB");
    return r;
}

void B268::InitEinheit(int zoll, int teilk, int vierte, char achse, float rx, float ry, float rz,
                       float r4) {
    float x = rx, y = ry;
    double vier = r4;
    if (teilk != 0) {
        // The rotary axis (the argument achse) takes the place of the linear axis it replaces.
        if (achse == 'X') x = Drehfaktor;
        if (achse == 'Y') y = Drehfaktor;
        if (vierte != 0) {
            vier = achse != 'X' ? ry : rx;
            if (zoll != 0) vier *= 25.4;
        }
    }
    if (zoll != 0)
        Zeile("KD %1.3f %1.3f %1.3f %1.3f 4 10000", x * 25.4, y * 25.4, rz * 25.4, vier);
    else
        Zeile("KD %1.3f %1.3f %1.3f %1.3f 3 1000", x, y, rz, vier);
}

void B268::InitTeilk(int aktiv, int modus, char achse, float d, float k1, float k2, float sx,
                     float sy, float sz) {
    SkalaX = KFTESTNULL(sx, 0.01) ? 1.0f : sx;
    SkalaY = KFTESTNULL(sy, 0.01) ? 1.0f : sy;
    SkalaZ = KFTESTNULL(sz, 0.01) ? 1.0f : sz;
    if (aktiv == 0) {
        Drehachse = ' ';
        return;
    }
    if (d < 0.01f) d = 1.0f;
    Drehfaktor = static_cast<float>(k2 * k1 / M_PI / d);
    Zeile("KT%c %1.5f", modus == 0 ? achse : ' ', Drehfaktor);
    Drehachse = achse;
    Drehmodus = modus;
}

void B268::SetzeTest(int test, HWND hwnd) {
    Test = test;
    Fenster = hwnd;
}

CCX268IO* B268::Gebe_cxio_Zeiger() { return &cx268io; }

// --- Block control ----------------------------------------------------------------------------

void B268::BStart() {
    char antwort[100];
    cx268io.pbfrageln("O*S", antwort);
}
void B268::BStop() {
    char antwort[100];
    cx268io.pbfrageln("O*H", antwort);
}
void B268::BAbbruch() {
    char antwort[100];
    cx268io.pbfrageln("O*A", antwort);
}
void B268::BWstSetz() {
    char antwort[100];
    cx268io.pbfrageln("O*N", antwort);
}

void B268::BPositionieren(float x, float y, float z, float a, float fx, float fy, float fz,
                          float fa) {
    float gx = fx * SkalaX, gy = fy * SkalaY;
    if (Drehachse == 'X') gx = Drehfaktor;
    if (Drehachse == 'Y') gy = Drehfaktor;
    char text[100], antwort[100];
    std::snprintf(text, sizeof text, "O*P %1ld %1ld %1ld %1ld", Runde(x * gx), Runde(y * gy),
                  Runde(-z * fz * SkalaZ), Runde(a * fa));
    cx268io.pbfrageln(text, antwort);
}

// --- Status and position ----------------------------------------------------------------------

int32_t B268::UpdateStatus(int mitPuffer) {
    int32_t jetzt = Uhr();
    if (jetzt <= LetzteAbfrage + 1000 && jetzt - LetzteAbfrage >= 0) return 0;
    LetzteAbfrage = jetzt;
    MFStatus();
    return mitPuffer != 0 ? FRestBuffer() : 0;
}

int B268::MFStatus() {
    char antwort[100] = "";
    cx268io.pbfrage("OS", antwort);
    if (cx268io.Fehlerflag) return 1;
    cx268io.B268Warten = 0;
    bool halt = false;
    size_t n = std::strlen(antwort);
    for (size_t i = 2; i < n; ++i) {
        switch (antwort[i]) {
            case '0':
                Beschaeftigt() = 0;
                break;
            case 'A':
                cx268io.Stoppanforderung = 1;
                cx268io.Fehlerflag = 1;
                break;
            case 'B':
                Beschaeftigt() = 1;
                break;
            case 'C':
                cx268io.Abgelehnt = 1;
                cx268io.Fehlerflag = 1;
                break;
            case 'N':
            case 'n':
                PositionWartet() = 1;
                cx268io.B268Warten = 1;
                break;
            case 'b':
                cx268io.B268Warten = 1;
                break;
            case 'h':
                halt = true;
                break;
            default:
                break;
        }
    }
    Halt() = halt ? 1 : 0;
    return cx268io.Fehlerflag ? 1 : 0;
}

int32_t B268::FRestBuffer() {
    char antwort[100] = "";
    cx268io.pbfrage("OB", antwort);
    if (antwort[0] == '\0') return 50000;
    if (antwort[1] == '\0') return 0;
    // "%ld" from the third character on; a number past the 32-bit range counts as unreadable.
    char* ende = nullptr;
    long wert = std::strtol(antwort + 2, &ende, 10);
    if (ende == antwort + 2 || wert > INT32_MAX || wert < INT32_MIN) return 0;
    return static_cast<int32_t>(wert);
}

int B268::FRFahrt(int h) {
    char antwort[100] = "";
    cx268io.pbfrage("Or", antwort);
    if (antwort[0] == '\0' || std::strchr(antwort, '@') != nullptr ||
        (h == 0 && std::strchr(antwort, 'H') != nullptr))
        return 1;
    return 0;
}

int B268::LiesWerte(const char* antwort, int maske, FLAGPOS* pos, bool zNegativ) {
    for (int k = 0; k < 8; ++k) pos->Gueltig[k] = 0;
    ZEAW leser;
    leser.Beginn(antwort, "");
    int anzahl = 0;
    for (int k = 0; k < 4; ++k) {
        if ((maske & (1 << k)) == 0) continue;
        double wert = leser.WFloat();
        if (leser.Fehler) break;
        pos->Pos[k] = static_cast<float>(k == 2 && zNegativ ? -wert : wert);
        pos->Gueltig[k] = 1;
        ++anzahl;
    }
    return anzahl;
}

int B268::LeseIst(int alle, int dreh, FLAGPOS* pos) {
    if (cx268io.Fehlerflag || cx268io.Fehlernummer) return 0;
    bool mitMaske = alle == 0 && (dreh == 0 || Drehmodus == 0);
    char antwort[100] = "";
    cx268io.pbfrage(mitMaske ? "Op" : "Oo", antwort);
    for (int k = 0; k < 8; ++k) pos->Gueltig[k] = 0;
    if (std::strlen(antwort) < 3 || antwort[1] != (mitMaske ? 'p' : 'o')) return 0;
    int maske = mitMaske ? static_cast<unsigned char>(antwort[2]) : 127;
    int anzahl = LiesWerte(antwort + 3, maske, pos, false);
    if (dreh != 0 && Drehmodus != 0) {
        int achse = Drehachse == 'X' ? 0 : Drehachse == 'Y' ? 1 : -1;
        if (achse >= 0 && pos->Gueltig[achse] && pos->Gueltig[3]) {
            float t = pos->Pos[achse];
            pos->Pos[achse] = pos->Pos[3];
            pos->Pos[3] = t;
        }
    }
    return anzahl;
}

int B268::LeseWBK(FLAGPOS* pos) {
    MFStatus();
    if (cx268io.Fehlerflag || cx268io.Fehlernummer || !PositionWartet()) return 0;
    char antwort[100] = "";
    cx268io.pbfrage("On", antwort);
    int anzahl = 0;
    for (int k = 0; k < 8; ++k) pos->Gueltig[k] = 0;
    if (std::strlen(antwort) >= 3 && antwort[1] == 'n')
        anzahl = LiesWerte(antwort + 3, static_cast<unsigned char>(antwort[2]), pos, true);
    PositionWartet() = 0;
    return anzahl;
}

void B268::Cx268Buffer() {
    ++Befehle;
    if (Befehle > 250 || BlockSchliessen) {
        cx268io.poutchar(kBlockZu);
        Befehle = 0;
        if (BlockSchliessen) cx268io.poutchar(kBlockAuf);
        BlockSchliessen = 0;
    }
    if (!cx268io.B268Warten) return;
    // The controller asked us to wait: poll (at most once a second) until it has more than
    // 2000 bytes free. Escape ends the wait through the keyboard poll.
    korvat::platform::LineWait warten(korvat::platform::WaitKind::BufferRoom);
    int32_t frei = 0;
    while (frei <= 2000 && !cx268io.Fehlerflag && cx268io.Fehlernummer == 0) {
        frei = UpdateStatus(1);
        cx268io.tastaturabfrage();
        if (frei <= 2000) korvat::platform::Sleep(10);  // between polls, without burning the CPU
    }
}

void B268::FBStInfo(BSTINFO* b) {
    Info = 0;
    b->Wert = 0;
    b->Bereich1Von = 0;
    b->Bereich1Bis = 99;
    b->Bereich2Von = 0x3FC1F;
    b->Bereich2Bis = 10;
    const uint8_t klein[6] = {10, 0, 1, 1, 2, 10};
    std::memcpy(b->Klein, klein, sizeof klein);
    std::strcpy(b->Achsbuchstaben, Zusatzkopf ? "A" : "");
}
