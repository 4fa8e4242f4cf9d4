// The approach entry point and the ramp around a closed contour. The closed ramp runs round the
// contour, lapping it as often as it needs, until the final depth is reached inside some element;
// that element is split there, the lap is finished at depth, and then a second pass cuts the
// contour from its first element up to the split point again, at full depth, so that the ramp
// section is not left with a sloped floor.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "common/grundfkt.h"
#include "geometry/anfahren.h"
#include "geometry/anfahren_intern.h"

using korvat::geometry::IstHoehenmarke;
using korvat::geometry::IstLinie;
using korvat::geometry::IstPositionierung;

namespace {

bool Endlich(double v) { return std::isfinite(v); }

}  // namespace

CAnfahrenKontur::CAnfahrenKontur() : KonturEndeX(0), KonturEndeY(0), Dateigroesse(0) {}

void CAnfahrenKontur::KonturEndeSuchen() {
    // The last movement element, searched from the end of the file.
    for (int32_t k = Satzanzahl - 1; k >= 0; --k) {
        ELE_EAW r;
        if (SeekRead_infile(k, 0, &r) < 0) return;
        if (!IstLinie(r) && r.Typ != kEleBogen) continue;
        // A movement element as the very first record has no positioning before it.
        if (k == 0) {
            Fehler(-436, 4130, Eingabe);
            return;
        }
        ELE_EAW vor;
        if (SeekRead_infile(k - 1, 0, &vor) < 0) return;
        if (IstLinie(r)) {
            if (vor.Typ == kElePositionierung && std::fabs(vor.X - r.X) <= Punkttoleranz &&
                std::fabs(vor.Y - r.Y) <= Punkttoleranz && k + 1 < Satzanzahl) {
                // A single line without extent must be followed by a movement element.
                ELE_EAW nach;
                if (SeekRead_infile(k + 1, 0, &nach) == 0 && !IstLinie(nach) &&
                    nach.Typ != kEleBogen) {
                    Meldung = 4132;
                    std::snprintf(Fehlertext, sizeof Fehlertext, "%s", Eingabe);
                }
            }
            KonturEndeX = r.X;
            KonturEndeY = r.Y;
        } else if (vor.Typ == kEleBogen) {
            ELE_ARC b;
            std::memcpy(&b, &r, sizeof b);
            BogenEndpunkt(vor, b, &KonturEndeX, &KonturEndeY);
        } else {
            KonturEndeX = vor.X;
            KonturEndeY = vor.Y;
        }
        return;
    }
    Fehler(-440, 4130, Eingabe);
}

int32_t CAnfahrenKontur::Anfahren_EAW_Kontur_Schraeg(const char* eingabe, const char* ausgabe) {
    FehlerLoeschen();
    EinHandle = -1;
    AusHandle = -1;
    Eingabe = eingabe != nullptr ? eingabe : "";
    Ausgabe = ausgabe != nullptr ? ausgabe : "";

    // Parameters that give no ramp at all (a flat or vertical ramp, no depth to descend, numbers
    // that are not numbers) are refused before any file is touched.
    const double steigung = std::tan(Rampenwinkel);
    if (!(Rampenwinkel > 0 && Rampenwinkel < std::numbers::pi / 2 && Endlich(steigung)) ||
        !(Endtiefe > Starttiefe) || !Endlich(Starttiefe) || !Endlich(Endtiefe) ||
        !Endlich(Sicherheitshoehe) || !(Sehnentoleranz > 0) || !Endlich(Sehnentoleranz) ||
        !(Punkttoleranz >= 0) || !Endlich(Punkttoleranz)) {
        Fehler(-401, 4130, nullptr);
        return Meldung;
    }

    EinHandle = rd_open(Eingabe, 0);
    if (EinHandle < 0) {
        Fehler(-415, 4057, Eingabe);
    } else {
        AusHandle = rd_creat(Ausgabe, 10);
        if (AusHandle < 0) {
            rd_close(EinHandle);
            EinHandle = -1;
            Fehler(-420, 4058, Ausgabe);
        }
    }

    if (Meldung == 0) {
        Dateigroesse = Seek_infile(0, 2);
        if (Dateigroesse >= 0) {
            Satzanzahl = Dateigroesse / static_cast<int32_t>(sizeof(ELE_EAW));
            // A size that is not a whole number of records means the file was cut short.
            if (Dateigroesse % static_cast<int32_t>(sizeof(ELE_EAW)) != 0)
                Fehler(-431, 4060, Eingabe);
        }
    }
    if (Meldung == 0) KonturEndeSuchen();
    if (Meldung == 0) {
        // The contour starts at the first positioning.
        Satzzaehler = 0;
        ELE_EAW r{};
        if (Seek_infile(0, 0) >= 0) {
            do {
                if (Read_infile(&r) < 0) break;
                ++Satzzaehler;
            } while (!IstPositionierung(r));
        }
        if (Meldung == 0) {
            KonturStartX = r.X;
            KonturStartY = r.Y;
            const bool geschlossen = std::fabs(KonturStartX - KonturEndeX) <= Punkttoleranz &&
                                     std::fabs(KonturStartY - KonturEndeY) <= Punkttoleranz;
            if (geschlossen) {
                AnfahrenAnGeschlosseneKontur();
            } else {
                AnfahrenOffene();
            }
        }
    }

    if (EinHandle >= 0) rd_close(EinHandle);
    if (AusHandle >= 0) rd_close(AusHandle);
    EinHandle = -1;
    AusHandle = -1;
    // The input is given up only once the new file is complete.
    if (Meldung == 0 && rd_loesche(Eingabe) != 0) Fehler(-530, 4075, Eingabe);
    return Meldung;
}

int32_t CAnfahrenKontur::AnfahrenAnGeschlosseneKontur() {
    const double s = std::tan(Rampenwinkel);
    double z = 0;                         // ramp height at the end of the current element
    double zv = 0;                        // ramp height before it
    double dz = 0;                        // own Z of the last 3-D line minus the final depth
    double zA = Endtiefe, zB = Endtiefe;  // Z of the last two 3-D lines
    double px = 0, py = 0;                // the last point written on the ramp
    bool rampeFertig = false, zweiterDurchgang = false, nichtGeschlossen = false;
    bool hoeheGesehen = false;
    int32_t startIndex = -1, teilIndex = -1, runden = 0;
    double zRunde = 0;      // ramp height at the end of the previous lap
    ELE_EAW teilElement{};  // the split element as the second pass ends it
    ELE_ARC teilBogen{};
    bool teilIstBogen = false;

    // A short read of record k (not a damaged number, which keeps its own code) is reported as
    // the read failure of this loop.
    auto leseFehler = [this](int32_t code) {
        if (Fehlercode == -435) Fehler(code, 4060, Eingabe);
    };

    if (Seek_infile(0, 0) < 0) {
        Fehler(-450, 4068, Eingabe);
        return 0;
    }
    int32_t k = 0;
    for (;;) {
        if (Meldung != 0 || nichtGeschlossen) break;
        if (k >= Satzanzahl) {
            if (zweiterDurchgang) {
                Fehler(-451, 4130, Eingabe);
                break;
            }
            // A ramp that gains nothing per lap (a contour without length) would lap forever.
            if (++runden > korvat::geometry::kMaxRunden || (runden > 1 && !(z > zRunde))) {
                Fehler(-526, 4130, Eingabe);
                return 0;
            }
            zRunde = z;
            k = startIndex + 1;
            if (Seek_infile(k, 0) < 0) {
                Fehler(-455, 4068, Eingabe);
                return 0;
            }
            if (rampeFertig) zweiterDurchgang = true;
        }
        if (zweiterDurchgang && k == teilIndex) {
            ELE_EAW e = teilElement;
            Write_outfile(&e);
            if (teilIstBogen) SchreibeBogen(&teilBogen);
            break;
        }

        ELE_EAW r;
        if (Read_infile(&r) < 0) {
            leseFehler(-470);
            return 0;
        }
        bool punkt = false;  // whether this record put the tool at a new point (px, py)
        double nx = 0, ny = 0;
        if (IstPositionierung(r)) {
            if (rampeFertig || zweiterDurchgang) Fehler(-506, 4130, Eingabe);
            if (!hoeheGesehen) Fehler(-507, 4130, Eingabe);
            startIndex = k;
            nichtGeschlossen = std::fabs(r.X - KonturEndeX) > Punkttoleranz ||
                               std::fabs(r.Y - KonturEndeY) > Punkttoleranz;
            if (!nichtGeschlossen) {
                Write_outfile(&r);
                Linie3DRaus(r.X, r.Y, Sicherheitshoehe);
                Linie3DRaus(r.X, r.Y, Starttiefe);
                z = Starttiefe;
                punkt = true;
                nx = r.X;
                ny = r.Y;
            }
        } else if (IstLinie(r) && !rampeFertig && !zweiterDurchgang) {
            if (r.Typ == kEleLinie) {
                r.Z = Endtiefe;
            } else {
                dz = r.Z - Endtiefe;
                zB = zA;
                zA = r.Z;
            }
            z = zv + s * std::sqrt(SQR(r.X - px) + SQR(r.Y - py));
            if (z < Endtiefe) {
                Linie3DRaus(r.X, r.Y, z + dz);
            } else {
                rampeFertig = true;
                teilIndex = k;
                const double t = z - Endtiefe < 0.00001 ? 1.0 : (Endtiefe - zv) / (z - zv);
                const double tx = px + t * (r.X - px), ty = py + t * (r.Y - py);
                const double tz = r.Typ == kEleLinie ? Endtiefe + dz : zB - (zB - zA) * t;
                Linie3DRaus(tx, ty, tz);
                // The second pass ends with this line cut short at the split point.
                teilElement = r;
                teilElement.X = tx;
                teilElement.Y = ty;
                if (r.Typ == kEleLinie3D) teilElement.Z = tz;
                teilIstBogen = false;
                Write_outfile(&r);
            }
            punkt = true;
            nx = r.X;
            ny = r.Y;
        } else if (r.Typ == kEleBogen) {
            ELE_ARC b;
            if (LeseBogen(&b) < 0) {
                leseFehler(-490);
                return 0;
            }
            ++k;
            if (!rampeFertig && !zweiterDurchgang) {
                r.Z = Endtiefe;
                z = zv + s * std::fabs(b.Radius * b.Winkel);
                ELE_EAW ende = r;
                if (z < Endtiefe) {
                    if (Bog2Vek3D(&ende, &b, zv + dz, z + dz, Sehnentoleranz, AusHandle) != 0)
                        return 0;
                } else {
                    rampeFertig = true;
                    teilIndex = k - 1;
                    const double t = z - Endtiefe < 0.00001 ? 1.0 : (Endtiefe - zv) / (z - zv);
                    ELE_ARC anteil = b;
                    anteil.Winkel = t * b.Winkel;
                    if (Bog2Vek3D(&ende, &anteil, zv + dz, Endtiefe + dz, Sehnentoleranz,
                                  AusHandle) != 0)
                        return 0;
                    teilElement = r;
                    teilBogen = anteil;
                    teilIstBogen = true;
                    ELE_ARC rest = b;
                    rest.Start = b.Start + t * b.Winkel;
                    rest.Winkel = (1 - t) * b.Winkel;
                    Write_outfile(&r);
                    SchreibeBogen(&rest);
                }
                punkt = true;
                nx = ende.X;
                ny = ende.Y;
            } else {
                Write_outfile(&r);
                SchreibeBogen(&b);
            }
        } else {
            if (IstHoehenmarke(r)) {
                Sicherheitshoehe = r.X;
                hoeheGesehen = true;
            }
            Write_outfile(&r);
        }

        zv = z;
        // Only records that move the tool change the ramp's last point; a marker's X is a
        // height, not a place.
        if (!rampeFertig && punkt) {
            px = nx;
            py = ny;
        }
        ++k;
    }

    if (nichtGeschlossen) {
        Fehler(-524, 4131, Eingabe);
    } else if (!zweiterDurchgang) {
        Fehler(-525, 4130, Eingabe);
    }
    return 0;
}
