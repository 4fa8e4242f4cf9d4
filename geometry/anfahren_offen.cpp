// Approach to an open contour. The tool cannot run round the contour to reach its depth, so it
// descends on a ramp that runs along the contour backwards (and, when the contour is shorter
// than the ramp, forwards and backwards again) and always ends at the contour's start at full
// depth. Then the contour is cut once, forwards, at depth.
//
//   long enough:   entry ·──────ramp back──────┐ start ══════ contour at depth ══════▶
//   too short:     entry ─▶ end ─▶ start ─▶ end ─▶ ... ─▶ start ══ contour at depth ══▶
#include <cmath>
#include <cstring>

#include "common/grundfkt.h"
#include "geometry/anfahren.h"
#include "geometry/anfahren_intern.h"

using korvat::geometry::IstLinie;
using korvat::geometry::IstPositionierung;

namespace {

double Abstand(double ax, double ay, double bx, double by) {
    return std::sqrt(SQR(bx - ax) + SQR(by - ay));
}

}  // namespace

CAnfahrenOffeneKontur::CAnfahrenOffeneKontur()
    : Ziellaenge(0),
      ZielErreicht(0),
      GemesseneLaenge(0),
      Rampenlaenge(0),
      Konturlaenge(0),
      Steigung(0),
      Elementindex(0),
      AX(0),
      AY(0),
      VorherZ(0),
      BX(0),
      BY(0),
      RampenZ(0),
      Elementlaenge(0),
      TeilX(0),
      TeilY(0),
      TeilElement{},
      TeilBogen{},
      ZVersatz(0) {}

void CAnfahrenOffeneKontur::Linie3DRaus(double x, double y, double z) {
    ELE_EAW r{};
    r.Typ = kEleLinie3D;
    r.X = x;
    r.Y = y;
    r.Z = z;
    Write_outfile(&r);
}

int32_t CAnfahrenOffeneKontur::DateiVorwaertsStreckenlaenge() {
    GemesseneLaenge = 0;
    Elementindex = Satzzaehler;
    ZielErreicht = 0;
    if (Meldung != 0 || Elementindex >= Satzanzahl) return Meldung;
    if (Seek_infile(Elementindex, 0) < 0) return Meldung;
    while (!ZielErreicht && Meldung == 0 && Elementindex < Satzanzahl) {
        ELE_EAW r;
        ELE_ARC b{};
        if (Read_infile(&r) < 0) break;
        Elementlaenge = 0;
        if (IstLinie(r)) {
            Elementlaenge = Abstand(BX, BY, r.X, r.Y);
            AX = BX;
            AY = BY;
            BX = r.X;
            BY = r.Y;
        } else if (r.Typ == kEleBogen) {
            if (LeseBogen(&b) < 0) break;
            ++Elementindex;
            Elementlaenge = std::fabs(b.Radius * b.Winkel);
            AX = BX;
            AY = BY;
            BogenEndpunkt(r, b, &BX, &BY);
        }
        GemesseneLaenge += Elementlaenge;
        // A contour within 0.05 mm of the target counts as reaching it, so that a contour almost
        // as long as the ramp gets no tiny extra lap.
        if (GemesseneLaenge > Ziellaenge - 0.05) {
            ZielErreicht = 1;
            TeilElement = r;
            if (r.Typ == kEleBogen) TeilBogen = b;
        }
        ++Elementindex;
    }
    return Meldung;
}

int32_t CAnfahrenOffeneKontur::ElementTeilen(int32_t modus, double rest) {
    if (Meldung != 0) return Meldung;
    VorherZ = Starttiefe;
    RampenZ = Starttiefe + (Endtiefe - Starttiefe) * rest / Rampenlaenge;
    // An element without length has its split point at its start whatever the share.
    const double f = Elementlaenge > 0 ? rest / Elementlaenge : 0.0;
    if (IstLinie(TeilElement)) {
        if (modus == 2) {
            TeilX = AX + f * (BX - AX);
            TeilY = AY + f * (BY - AY);
            TeilElement.X = AX;
            TeilElement.Y = AY;
        } else {
            TeilX = BX - f * (BX - AX);
            TeilY = BY - f * (BY - AY);
        }
    } else if (TeilElement.Typ == kEleBogen) {
        const double anteil = f * TeilBogen.Winkel;
        if (modus == 2) {
            TeilBogen.Start += anteil;
            TeilBogen.Winkel = -anteil;
            --Elementindex;
        } else {
            TeilBogen.Start += TeilBogen.Winkel - anteil;
            TeilBogen.Winkel = anteil;
        }
        TeilX = TeilElement.X + TeilBogen.Radius * std::cos(TeilBogen.Start);
        TeilY = TeilElement.Y + TeilBogen.Radius * std::sin(TeilBogen.Start);
    } else {
        Meldung = 555;
    }
    return Meldung;
}

int32_t CAnfahrenOffeneKontur::DateiStartRaus() {
    if (Meldung != 0) return Meldung;
    // Header: 'U', 2, the two header values, "FRXBINWZB" with its zero, zeros to the end.
    unsigned char kopf[sizeof(ELE_EAW)] = {};
    kopf[0] = kEleKopf;
    kopf[1] = 2;
    std::memcpy(kopf + 2, &Kopfwert[0], 2);
    std::memcpy(kopf + 4, &Kopfwert[1], 2);
    std::memcpy(kopf + 6, "FRXBINWZB", 10);
    ELE_EAW r;
    std::memcpy(&r, kopf, sizeof r);
    Write_outfile(&r);

    ELE_EAW pos{};
    pos.Typ = kElePositionierung;
    pos.X = TeilX;
    pos.Y = TeilY;
    pos.Z = Sicherheitshoehe;
    Write_outfile(&pos);
    Linie3DRaus(TeilX, TeilY, VorherZ);
    return Meldung;
}

int32_t CAnfahrenOffeneKontur::EleSchraegRaus() {
    if (Meldung != 0) return Meldung;
    if (TeilElement.Typ == kEleBogen) {
        Bog2Vek3D(&TeilElement, &TeilBogen, VorherZ + ZVersatz, RampenZ + ZVersatz, Sehnentoleranz,
                  AusHandle);
    } else {
        Linie3DRaus(TeilElement.X, TeilElement.Y, RampenZ + ZVersatz);
    }
    return Meldung;
}

int32_t CAnfahrenOffeneKontur::DateiVorwaertsSchraegRaus(int32_t /*letzte*/) {
    if (Meldung != 0 || Elementindex >= Satzanzahl) return Meldung;
    if (Seek_infile(Elementindex, 0) < 0) return Meldung;
    while (Elementindex < Satzanzahl && Meldung == 0) {
        ELE_EAW r;
        if (Read_infile(&r) < 0) break;
        if (IstLinie(r)) {
            BX = r.X;
            BY = r.Y;
            if (r.Typ == kEleLinie3D) ZVersatz = r.Z - Endtiefe;
            VorherZ = RampenZ;
            RampenZ += Steigung * Abstand(AX, AY, BX, BY);
            Linie3DRaus(BX, BY, RampenZ + ZVersatz);
        } else if (r.Typ == kEleBogen) {
            ELE_ARC b;
            if (LeseBogen(&b) < 0) break;
            ++Elementindex;
            BogenEndpunkt(r, b, &BX, &BY);
            VorherZ = RampenZ;
            RampenZ += Steigung * std::fabs(b.Radius * b.Winkel);
            Bog2Vek3D(&r, &b, VorherZ + ZVersatz, RampenZ + ZVersatz, Sehnentoleranz, AusHandle);
        }
        AX = BX;
        AY = BY;
        ++Elementindex;
    }
    return Meldung;
}

int32_t CAnfahrenOffeneKontur::DateiRueckwaertsSchraegRaus(int32_t letzte) {
    if (Meldung != 0 || Elementindex < 0 || Elementindex >= Satzanzahl) return Meldung;
    // The element to write: the record at the index, or, when that is an arc record, the arc
    // with its centre record before it. k is the index of the element's first record.
    int32_t k = Elementindex;
    ELE_EAW ele;
    ELE_ARC eleBogen{};
    if (SeekRead_infile(k, 0, &ele) < 0) return Meldung;
    if (ele.Typ == kEleBogen) {
        if (k == 0) return Meldung;  // an arc record with no centre before it
        std::memcpy(&eleBogen, &ele, sizeof ele);
        --k;
        if (SeekRead_infile(k, 0, &ele) < 0) return Meldung;
    }
    // Positionings of both kinds start a contour.
    bool gefunden = IstPositionierung(ele);
    while (!gefunden && Meldung == 0 && k > 0) {
        // The nearest record before the element that has a point gives the element's start B.
        int32_t q = k - 1;
        ELE_EAW vor;
        ELE_ARC vorBogen{};
        double neuerVersatz = ZVersatz;
        bool start = false;
        for (; q >= 0; --q) {
            if (SeekRead_infile(q, 0, &vor) < 0) return Meldung;
            if (IstPositionierung(vor)) {
                BX = vor.X;
                BY = vor.Y;
                gefunden = true;
                start = true;
                break;
            }
            if (IstLinie(vor)) {
                BX = vor.X;
                BY = vor.Y;
                if (vor.Typ == kEleLinie3D) neuerVersatz = vor.Z - Endtiefe;
                start = true;
                break;
            }
            if (vor.Typ == kEleBogen) {
                if (q == 0) break;  // an arc record with no centre before it
                std::memcpy(&vorBogen, &vor, sizeof vor);
                --q;
                if (SeekRead_infile(q, 0, &vor) < 0) return Meldung;
                BogenEndpunkt(vor, vorBogen, &BX, &BY);
                start = true;
                break;
            }
        }
        if (!start) break;

        VorherZ = RampenZ;
        if (IstLinie(ele)) {
            RampenZ += Steigung * Abstand(ele.X, ele.Y, BX, BY);
        } else if (ele.Typ == kEleBogen) {
            RampenZ += Steigung * std::fabs(eleBogen.Radius * eleBogen.Winkel);
        }
        if (gefunden && letzte != 0) RampenZ = Endtiefe;
        if (IstLinie(ele)) {
            Linie3DRaus(BX, BY, RampenZ + ZVersatz);
        } else if (ele.Typ == kEleBogen) {
            ELE_ARC rueck = eleBogen;
            rueck.Start += rueck.Winkel;
            rueck.Winkel = -rueck.Winkel;
            Bog2Vek3D(&ele, &rueck, VorherZ + ZVersatz, RampenZ + ZVersatz, Sehnentoleranz,
                      AusHandle);
        }
        // A 3-D line's own height applies from the piece after it on.
        ZVersatz = neuerVersatz;
        ele = vor;
        eleBogen = vorBogen;
        k = q;
    }
    return Meldung;
}

int32_t CAnfahrenOffeneKontur::DateiVorwaertsNormalRaus() {
    if (Meldung != 0 || Satzzaehler >= Satzanzahl) return Meldung;
    if (Seek_infile(Satzzaehler, 0) < 0) return Meldung;
    for (int32_t k = Satzzaehler; k < Satzanzahl && Meldung == 0; ++k) {
        ELE_EAW r;
        if (Read_infile(&r) < 0) break;
        Write_outfile(&r);
    }
    return Meldung;
}

int32_t CAnfahrenOffeneKontur::AnfahrenOffene() {
    if (Meldung != 0) return Meldung;
    ZVersatz = 0;
    Steigung = std::tan(Rampenwinkel);
    Rampenlaenge = (Endtiefe - Starttiefe) / Steigung;
    AX = BX = KonturStartX;
    AY = BY = KonturStartY;
    Ziellaenge = Rampenlaenge;
    DateiVorwaertsStreckenlaenge();
    Konturlaenge = GemesseneLaenge;
    if (Meldung != 0) return Meldung;

    if (ZielErreicht) {
        // Long enough: enter one ramp length along the contour and descend back to its start.
        ElementTeilen(2, Elementlaenge - std::fabs(Konturlaenge - Rampenlaenge));
        DateiStartRaus();
        EleSchraegRaus();
        Elementindex -= 2;
        DateiRueckwaertsSchraegRaus(1);
        DateiVorwaertsNormalRaus();
        return Meldung;
    }

    // Too short: zig-zag. The share q * S is ramped once, the whole contour n times, so that the
    // ramp ends at the contour's start.
    const double runden = Rampenlaenge / Konturlaenge;
    if (!(Konturlaenge > 0) || !(runden <= korvat::geometry::kMaxRunden)) {
        Fehler(-526, 4130, Eingabe);
        return Meldung;
    }
    int32_t n = static_cast<int32_t>(runden);
    const double q = runden - n;
    AX = BX = KonturStartX;
    AY = BY = KonturStartY;
    if (n % 2 == 1) {
        Ziellaenge = (1 - q) * Konturlaenge;
        DateiVorwaertsStreckenlaenge();
        ElementTeilen(1, GemesseneLaenge - Ziellaenge);
        DateiStartRaus();
        EleSchraegRaus();
        // After the first piece the split element holds its end point.
        AX = TeilElement.X;
        AY = TeilElement.Y;
        DateiVorwaertsSchraegRaus(0);
        Elementindex -= 1;
        DateiRueckwaertsSchraegRaus(0);
        n -= 1;
    } else {
        Ziellaenge = q * Konturlaenge;
        DateiVorwaertsStreckenlaenge();
        ElementTeilen(2, Elementlaenge - std::fabs(GemesseneLaenge - Ziellaenge));
        DateiStartRaus();
        EleSchraegRaus();
        Elementindex -= 2;
        DateiRueckwaertsSchraegRaus(0);
    }
    while (n > 0 && Meldung == 0) {
        Elementindex = Satzzaehler;
        AX = KonturStartX;
        AY = KonturStartY;
        DateiVorwaertsSchraegRaus(0);
        Elementindex = Satzanzahl - 1;
        DateiRueckwaertsSchraegRaus(n <= 2 ? 1 : 0);
        n -= 2;
    }
    DateiVorwaertsNormalRaus();
    return Meldung;
}
