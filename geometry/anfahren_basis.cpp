// Record access, arcs as 3-D lines and the error state of the approach computation.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "common/grundfkt.h"
#include "geometry/anfahren.h"
#include "geometry/anfahren_intern.h"
#include "platform/dialogs.h"

namespace {

bool Brauchbar(double v) {
    return std::isfinite(v) && std::fabs(v) <= korvat::geometry::kGroesstwert;
}

// Positionings, lines, arcs and height markers feed the geometry; their numbers must be usable.
// Other records are copied through unread, so their bytes do not matter.
bool RecordBrauchbar(const ELE_EAW& r) {
    switch (r.Typ) {
        case kElePositionierung:
        case kElePositionierung2:
        case kEleLinie3D:
        case kEleBogen:
            return Brauchbar(r.X) && Brauchbar(r.Y) && Brauchbar(r.Z);
        case kEleLinie:  // its Z is not used
            return Brauchbar(r.X) && Brauchbar(r.Y);
        case kEleMarke:
            return !korvat::geometry::IstHoehenmarke(r) || Brauchbar(r.X);
        default:
            return true;
    }
}

}  // namespace

CAnfahrenBasis::CAnfahrenBasis()
    : Eingabe(nullptr),
      Ausgabe(nullptr),
      Rampenwinkel(0),
      Sehnentoleranz(0),
      Sicherheitshoehe(0),
      Starttiefe(0),
      Endtiefe(0),
      Kopfwert{0, 0},
      Besitzer(nullptr),
      Punkttoleranz(0),
      EinHandle(-1),
      AusHandle(-1),
      Satzzaehler(0),
      Meldung(0),
      Fehlercode(0),
      Fehlertext{},
      Satzanzahl(0),
      KonturStartX(0),
      KonturStartY(0) {}

void CAnfahrenBasis::Fehler(int32_t code, int32_t meldung, const char* pfad) {
    Fehlercode = code;
    Meldung = meldung;
    // The host's text buffer holds a path of 259 characters; a longer one is cut there.
    if (pfad != nullptr) std::snprintf(Fehlertext, sizeof Fehlertext, "%s", pfad);
}

void CAnfahrenBasis::FehlerLoeschen() {
    Fehlercode = 0;
    Meldung = 0;
    Fehlertext[0] = '\0';
}

int32_t CAnfahrenBasis::Read_infile(ELE_EAW* rec) {
    std::memset(rec, 0, 4);
    if (rd_read(EinHandle, rec, sizeof(ELE_EAW)) != static_cast<int32_t>(sizeof(ELE_EAW))) {
        Fehler(-435, 4060, Eingabe);
        return -1;
    }
    if (!RecordBrauchbar(*rec)) {
        Fehler(-433, 4130, Eingabe);
        return -1;
    }
    return 0;
}

int32_t CAnfahrenBasis::Seek_infile(int32_t k, int16_t origin) {
    // Record indexes are bounded by the file size / 32, so 32 * k fits the 32-bit position
    // whenever k names a record; anything beyond is refused like a failed seek.
    int64_t byte = int64_t{k} * static_cast<int64_t>(sizeof(ELE_EAW));
    int32_t pos = -1;
    if (byte >= INT32_MIN && byte <= INT32_MAX)
        pos = rd_seek(EinHandle, static_cast<int32_t>(byte), origin);
    if (pos < 0) {
        Fehler(-425, 4068, Eingabe);
        return -1;
    }
    return pos;
}

int32_t CAnfahrenBasis::SeekRead_infile(int32_t k, int16_t origin, ELE_EAW* rec) {
    if (Seek_infile(k, origin) < 0) return -1;
    return Read_infile(rec);
}

int32_t CAnfahrenBasis::Write_outfile(ELE_EAW* rec) {
    if (rd_write(AusHandle, rec, sizeof(ELE_EAW)) != static_cast<int32_t>(sizeof(ELE_EAW))) {
        Fehler(-460, 4061, Ausgabe);
        return -1;
    }
    return 0;
}

int16_t CAnfahrenBasis::Bog2Vek3D(ELE_EAW* zentrum, ELE_ARC* bogen, double z0, double z1,
                                  double toleranz, int32_t datei) {
    using korvat::geometry::kMaxSegmente;
    const double start = bogen->Start;
    const double ende = start + bogen->Winkel;
    const bool gegenUhr = bogen->Winkel >= 0;
    const double bogenwinkel = std::fabs(bogen->Winkel);
    const double r = bogen->Radius;
    const double mx = zentrum->X, my = zentrum->Y;

    // Largest step whose chord stays within the tolerance, never more than 45 degrees. A
    // tolerance of twice the radius or more (or a radius of 0) has no such step: 45 degrees then.
    double c = 1.0 - toleranz / std::fabs(r);
    if (!(c >= -1.0)) c = -1.0;
    if (c > 1.0) c = 1.0;
    double phi = 2.0 * std::acos(c);
    if (phi > std::numbers::pi / 4) phi = std::numbers::pi / 4;
    // A tolerance of 0 would ask for endless segments; the count stops at kMaxSegmente.
    double anzahl = bogenwinkel / phi;
    int32_t n = anzahl < kMaxSegmente - 1 ? static_cast<int32_t>(anzahl) + 1 : kMaxSegmente;
    phi = bogenwinkel / n;
    const double dz = (z1 - z0) / n;

    ELE_EAW p{};
    p.Typ = kEleLinie3D;
    const double schritt = gegenUhr ? phi : -phi;
    // Points after the first follow by the angle-addition rule from the first and the step.
    double cs = std::cos(start + schritt), sn = std::sin(start + schritt);
    const double cphi = std::cos(schritt), sphi = std::sin(schritt);
    for (int32_t i = 1; i < n; ++i) {
        p.X = mx + r * cs;
        p.Y = my + r * sn;
        p.Z = z0 + i * dz;
        if (rd_write(datei, &p, sizeof p) != static_cast<int32_t>(sizeof p)) {
            Fehler(-405, 4061, Ausgabe);
            return 4061;
        }
        const double c2 = cs * cphi - sn * sphi;
        sn = sn * cphi + cs * sphi;
        cs = c2;
    }
    p.X = mx + r * std::cos(ende);
    p.Y = my + r * std::sin(ende);
    p.Z = z1;
    if (rd_write(datei, &p, sizeof p) != static_cast<int32_t>(sizeof p)) {
        Fehler(-410, 4061, Ausgabe);
        return 4061;
    }
    *zentrum = p;
    return 0;
}

int32_t CAnfahrenBasis::HoleAnfahrFehlerInfo(int32_t* code, char* text) {
    if (code != nullptr) *code = Fehlercode;
    if (text != nullptr) std::memcpy(text, Fehlertext, sizeof Fehlertext);
    return Meldung;
}

int16_t CAnfahrenBasis::MBR(char* text) {
    korvat::platform::Dialogs().MessageBox(Besitzer, text, "", MB_OK);
    return 0;
}

void BogenEndpunkt(const ELE_EAW& zentrum, const ELE_ARC& bogen, double* x, double* y) {
    const double a = bogen.Start + bogen.Winkel;
    *x = zentrum.X + bogen.Radius * std::cos(a);
    *y = zentrum.Y + bogen.Radius * std::sin(a);
}

int32_t CAnfahrenBasis::LeseBogen(ELE_ARC* bogen) {
    ELE_EAW r;
    if (Read_infile(&r) < 0) return -1;
    // An arc turns at most once round; a larger sweep only comes from a damaged file.
    if (!Brauchbar(r.X) || !Brauchbar(r.Y) || !Brauchbar(r.Z) ||
        std::fabs(r.Y) > 2 * std::numbers::pi + 1e-9) {
        Fehler(-433, 4130, Eingabe);
        return -1;
    }
    std::memcpy(bogen, &r, sizeof r);
    return 0;
}

int32_t CAnfahrenBasis::SchreibeBogen(const ELE_ARC* bogen) {
    ELE_EAW r;
    std::memcpy(&r, bogen, sizeof r);
    return Write_outfile(&r);
}
