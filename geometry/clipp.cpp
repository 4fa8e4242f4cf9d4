// Line clipping against the working area and the arc helpers.
#include "geometry/clipp.h"

#include <cmath>

#include "common/grundfkt.h"

namespace {

// Library-wide clipping state, shared by every CCLIPP object: read by all members, set by
// Aktiv, SetzeBereich and Bogen. Zero at load, so clipping starts switched off.
struct Clippzustand {
    int16_t aktiv;
    float x1, y1, x2, y2;       // the rectangle as given
    double ax1, ay1, ax2, ay2;  // widened by 0.001 on each side
    BOGEN bogen;                // the current arc
};
Clippzustand g_clipp;

// The host's zero test for the divisors of the interpolations.
constexpr double kNull = 0.0001;

bool Null(double d) { return KFTESTNULL(d, kNull) != 0; }

}  // namespace

void CCLIPP::Aktiv(int16_t ein) { g_clipp.aktiv = ein; }

void CCLIPP::SetzeBereich(float x1, float y1, float x2, float y2) {
    g_clipp.x1 = x1;
    g_clipp.y1 = y1;
    g_clipp.x2 = x2;
    g_clipp.y2 = y2;
    g_clipp.ax1 = x1 - 0.001;
    g_clipp.ay1 = y1 - 0.001;
    g_clipp.ax2 = x2 + 0.001;
    g_clipp.ay2 = y2 + 0.001;
}

int16_t CCLIPP::TesteKoordinate(RPOINT* p) {
    return p->X >= g_clipp.x1 && p->X <= g_clipp.x2 && p->Y >= g_clipp.y1 && p->Y <= g_clipp.y2;
}

int16_t CCLIPP::TesteKoordinate_a(RPOINT* p) {
    return p->X >= g_clipp.ax1 && p->X <= g_clipp.ax2 && p->Y >= g_clipp.ay1 && p->Y <= g_clipp.ay2;
}

int16_t CCLIPP::Linie(RPOINT* p1, RPOINT* p2, RPOINT* q1, RPOINT* q2) {
    if (g_clipp.aktiv == 0) return 4;
    if (TesteKoordinate(p1) && TesteKoordinate(p2)) return 4;
    const double x1 = g_clipp.x1, y1 = g_clipp.y1, x2 = g_clipp.x2, y2 = g_clipp.y2;

    // Work from left to right: a.X <= b.X.
    RPOINT a = *p1, b = *p2;
    const bool getauscht = a.X > b.X;
    if (getauscht) {
        a = *p2;
        b = *p1;
    }
    if (a.X > x2) return 0;  // wholly right

    int16_t code = 4;
    if (a.X < x1) {
        if (!Null(b.X - a.X)) a.Y += (x1 - a.X) * (b.Y - a.Y) / (b.X - a.X);
        a.X = x1;
        code = a.X <= b.X ? 1 : 0;
    }
    // The start is moved only forwards, towards b, and must then lie inside the rectangle. A line
    // whose end lies on the same outer side (wholly below or above, also when parallel to X, or
    // left so by the first move) or whose start would pass x2 crosses the rectangle nowhere.
    if (code != 0 && a.Y < y1) {
        if (b.Y < y1) {
            code = 0;
        } else {
            if (!Null(b.Y - a.Y)) a.X += (y1 - a.Y) * (b.X - a.X) / (b.Y - a.Y);
            a.Y = y1;
            code = a.X <= b.X && a.X <= x2 ? 1 : 0;
        }
    }
    if (code != 0 && a.Y > y2) {
        if (b.Y > y2) {
            code = 0;
        } else {
            if (!Null(b.Y - a.Y)) a.X += (y2 - a.Y) * (b.X - a.X) / (b.Y - a.Y);
            a.Y = y2;
            code = a.X <= b.X && a.X <= x2 ? 1 : 0;
        }
    }
    // Now a lies in the rectangle; b is brought back towards it.
    if (code != 0 && b.X > x2) {
        if (!Null(b.X - a.X)) b.Y = a.Y + (x2 - a.X) * (b.Y - a.Y) / (b.X - a.X);
        b.X = x2;
        code = code == 1 ? 3 : 2;
    }
    if (code != 0 && b.Y < y1) {
        if (!Null(b.Y - a.Y)) b.X = a.X + (y1 - a.Y) * (b.X - a.X) / (b.Y - a.Y);
        b.Y = y1;
        code = code == 1 || code == 3 ? 3 : 2;
    }
    if (code != 0 && b.Y > y2) {
        if (!Null(b.Y - a.Y)) b.X = a.X + (y2 - a.Y) * (b.X - a.X) / (b.Y - a.Y);
        b.Y = y2;
        code = code == 1 || code == 3 ? 3 : 2;
    }

    if (getauscht && code != 0) {
        *q1 = b;
        *q2 = a;
        if (code == 1) {
            code = 2;
        } else if (code == 2) {
            code = 1;
        }
    } else {
        *q1 = a;
        *q2 = b;
    }
    return code;
}

int16_t CCLIPP::Linie3(RPOINT3*, RPOINT3*, RPOINT3*, RPOINT3*) { return 0; }

int16_t CCLIPP::Bogen(BOGEN* b, BOGEN*) {
    g_clipp.bogen = *b;
    return 0;
}

int16_t CCLIPP::BogenNext(BOGEN*) { return 0; }

int16_t CCLIPP::Pik(RPOINT*) { return 0; }

int16_t CCLIPP::TesteBogenbereich(RPOINT* p, float* winkel) {
    const BOGEN& b = g_clipp.bogen;
    *winkel = 1000.0f;
    if (std::fabs(b.Radius) < 0.00001 || std::fabs(b.Winkel) < 0.00001) return -1;
    double w = KFWKORREKTUR(KFARCT(p->Y - b.MY, p->X - b.MX));
    // Bring the angle to the side of the start that the sweep runs to.
    if (b.Winkel > 0 && w < b.Start) w += 6.2831855;
    if (b.Winkel < 0 && w > b.Start) w -= 6.2831855;
    const int16_t ergebnis = static_cast<int16_t>(kfgueltig((w - b.Start) / b.Winkel));
    *winkel = static_cast<float>(w);
    return ergebnis;
}

namespace {

// Crossings of the current arc with a boundary line. `quer` is the line's coordinate across it
// (Y of a horizontal line), `mq` and `ml` the centre across and along it, [lo, hi] the
// rectangle's range along it. `punkt` builds a point from (along, across).
template <typename Punkt>
void Schnitte(CCLIPP& c, double quer, double mq, double ml, double lo, double hi, RPOINT* s1,
              RPOINT* s2, int16_t* anzahl, Punkt punkt) {
    *anzahl = 0;
    const double r = g_clipp.bogen.Radius;
    // A tangent, or a line that misses the circle, has no crossing.
    if (!(quer > mq - r && quer < mq + r)) return;
    const double h = std::sqrt(r * r - (mq - quer) * (mq - quer));
    float w;
    RPOINT p = punkt(ml + h, quer);
    if (ml + h > lo && ml + h < hi && c.TesteBogenbereich(&p, &w) >= 0) {
        *anzahl = 1;
        *s1 = p;
    }
    p = punkt(ml - h, quer);
    if (ml - h > lo && ml - h < hi && c.TesteBogenbereich(&p, &w) >= 0) {
        *s2 = *s1;
        *s1 = p;
        *anzahl += 1;
    }
}

}  // namespace

int16_t CCLIPP::BogSchnittWaag(float y, RPOINT* s1, RPOINT* s2, float*, float*, int16_t* anzahl,
                               int16_t*) {
    const BOGEN& b = g_clipp.bogen;
    Schnitte(*this, y, b.MY, b.MX, g_clipp.x1, g_clipp.x2, s1, s2, anzahl,
             [](double laengs, double quer) {
                 return RPOINT{laengs, quer};
             });
    return 0;
}

int16_t CCLIPP::BogSchnittSenk(float x, RPOINT* s1, RPOINT* s2, float*, float*, int16_t* anzahl,
                               int16_t*) {
    const BOGEN& b = g_clipp.bogen;
    Schnitte(*this, x, b.MX, b.MY, g_clipp.y1, g_clipp.y2, s1, s2, anzahl,
             [](double laengs, double quer) {
                 return RPOINT{quer, laengs};
             });
    return 0;
}
