// Arcs as short straight moves, for writers whose machine has no arc (CZORB) or no helix
// (CHDH): the chord count keeps the sagitta within kSehnenToleranz.
#pragma once

#include <algorithm>
#include <cmath>

namespace korvat::tool {

inline constexpr double kSehnenToleranz = 0.005;  // mm

// Calls line(x, y, z) for every chord end from the arc's start (z0) to its end (ex, ey, ez);
// the last call is exactly the end point.
template <class Line>
void Sehnen(double cx, double cy, double r, double start, double sweep, double ex, double ey,
            double z0, double ez, Line line) {
    int n = 1;
    if (r > kSehnenToleranz) {
        double step = 2.0 * std::acos(1.0 - kSehnenToleranz / r);
        n = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / step)));
        n = std::min(n, 100000);
    }
    for (int i = 1; i < n; ++i) {
        double a = start + sweep * i / n;
        line(cx + r * std::cos(a), cy + r * std::sin(a), z0 + (ez - z0) * i / n);
    }
    line(ex, ey, ez);
}

}  // namespace korvat::tool
