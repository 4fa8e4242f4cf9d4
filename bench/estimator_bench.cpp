// Blocks per second of the job supervisor's time estimate with the display off, as a host runs
// it beside program output: a contour of short lines and arcs between rapids, timed block by
// block and with the look-ahead estimator at its largest depth (103 segments queued). The
// reference sums the same moves' lengths and trapezoid times in a plain loop.
#include <cmath>
#include <cstring>

#include <benchmark/benchmark.h>

#include "supervision/bahnplan.h"
#include "supervision/csatz.h"

namespace {

constexpr int kBloecke = 10000;  // per iteration: 98 feed moves and arcs between two rapids
constexpr double kPi = 3.14159265358979323846;

// The parameter set with the deepest look-ahead the ring holds.
void TiefsteVorschau() {
    P_SATZ p;
    CBAHNPLAN::Vorgaben(&p);
    p.Ganz[psatz::kVorschautiefe / 4] = CBAHNPLAN::kRing - 1;
    bahnplan.Vergessen();
    bahnplan.Uebernehme(p);
    bahnplan.Reset();
}

int Kontur(CSATZ& s) {
    int n = 0;
    for (int k = 0; n < kBloecke; ++k) {
        const float x0 = static_cast<float>(k % 50) * 10.0f, y0 = static_cast<float>(k / 50 % 50);
        s.Satz_XYZ_E(x0, y0, 2.0f);
        s.Satz_Z_V(-1.0f);
        n += 2;
        for (int i = 0; i < 48 && n < kBloecke; ++i, n += 2) {
            const float x = x0 + 0.1f * static_cast<float>(i + 1);
            s.Satz_XY_V(x, y0 + (i % 2 ? 0.05f : 0.0f));
            s.Satz_Kreis(x, y0 + 0.1f, x, y0 + 0.05f, 0.05f, static_cast<float>(-kPi / 2),
                         static_cast<float>(kPi));
        }
        s.Satz_Z_E(2.0f);
        ++n;
    }
    s.Satz_WST_Ende(1);
    return n;
}

void Lauf(benchmark::State& state, bool vorausschau) {
    CMainWindow fenster;
    fenster.VorausschauEin = vorausschau ? 1 : 0;
    CSATZ s;
    int anzeige = 0;
    char ordner[] = "/nonexistent";
    bahnplan.Vergessen();
    s.Start(&fenster, 0, &anzeige, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
            nullptr, ordner);
    if (vorausschau) TiefsteVorschau();
    s.Satz_Vorschub_xy_z(3.0f, 1.0f);
    long bloecke = 0;
    for (auto _ : state) {
        bloecke += Kontur(s);
        benchmark::DoNotOptimize(s.ZeitVorschubXY);
    }
    state.SetItemsProcessed(bloecke);
}

void Estimator_lib(benchmark::State& state) { Lauf(state, false); }
void EstimatorLookAhead_lib(benchmark::State& state) { Lauf(state, true); }

// The same moves: length and trapezoid time of each, summed.
void Estimator_reference(benchmark::State& state) {
    long bloecke = 0;
    for (auto _ : state) {
        double summe = 0, lx = 0, ly = 0;
        for (int n = 0; n < kBloecke; ++n) {
            const double x = (n % 500) * 0.1, y = (n % 2) * 0.05;
            const double l = std::sqrt((x - lx) * (x - lx) + (y - ly) * (y - ly));
            const double v = std::fmin(3000.0, std::sqrt(l * 540000.0 + 324.0));
            summe += 2 * (v - 18) / 1080000.0 + (l - 2 * (v * v - 324) / 1080000.0) / v;
            lx = x, ly = y;
        }
        benchmark::DoNotOptimize(summe);
        bloecke += kBloecke;
    }
    state.SetItemsProcessed(bloecke);
}

}  // namespace

BENCHMARK(Estimator_lib)->Name("Estimator/lib");
BENCHMARK(Estimator_reference)->Name("Estimator/reference");
BENCHMARK(EstimatorLookAhead_lib)->Name("EstimatorLookAhead103/lib");
BENCHMARK(Estimator_reference)->Name("EstimatorLookAhead103/reference");
