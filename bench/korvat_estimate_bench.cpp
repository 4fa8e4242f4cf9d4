// Lines per second of korvat estimate: a G-code job of one million lines run by the program's
// own job runner into the estimate (the job supervisor with its travel check), against the
// runner alone into a sink that does nothing.
#include <cmath>
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "tools/korvat/estimate.h"
#include "tools/korvat/program.h"

namespace {

using korvat::tool::Machine;

constexpr int kZeilen = 1000000;

const std::string& Auftrag() {
    static const std::string text = [] {
        std::string t = "G21 G90\nT1 M6\nF1200\n";
        char zeile[80];
        int n = 3;
        for (int k = 0; n < kZeilen; ++k) {
            const double x0 = (k % 100) * 5.0, y0 = (k / 100 % 100) * 5.0;
            std::snprintf(zeile, sizeof zeile, "G0 X%.3f Y%.3f Z2\nG1 Z-0.5\n", x0, y0);
            t += zeile;
            n += 2;
            for (int i = 1; i <= 20 && n < kZeilen - 1; ++i, ++n) {
                if (i % 5 == 0)  // a half circle up from where the line before ended
                    std::snprintf(zeile, sizeof zeile, "G3 X%.3f Y%.3f I0 J0.25\n",
                                  x0 + 0.2 * (i - 1), y0 + ((i - 1) % 2) * 0.5 + 0.5);
                else
                    std::snprintf(zeile, sizeof zeile, "G1 X%.3f Y%.3f\n", x0 + 0.2 * i,
                                  y0 + (i % 2) * 0.5);
                t += zeile;
            }
            t += "G0 Z2\n";
            ++n;
        }
        t += "M30\n";
        return t;
    }();
    return text;
}

Machine Maschine() {
    Machine m;
    m.file = "bench";
    m.className = "CDIN";
    m.travel = {true, 1, -10, 600, -10, 600, -50, 50};
    return m;
}

void KorvatEstimate_lib(benchmark::State& state) {
    const Machine m = Maschine();
    Auftrag();  // the job is written once, outside the time taken
    long zeilen = 0;
    for (auto _ : state) {
        korvat::tool::Estimate e(m, "", state.range(0) != 0, "bench.ngc");
        korvat::tool::JobInput job(Auftrag(), "bench.ngc");
        korvat::tool::RunJob(job, m, e);
        e.Finish();
        benchmark::DoNotOptimize(e.Minutes());
        zeilen += kZeilen;
    }
    state.SetItemsProcessed(zeilen);
}

void KorvatEstimate_reference(benchmark::State& state) {
    const Machine m = Maschine();
    Auftrag();
    long zeilen = 0;
    for (auto _ : state) {
        korvat::tool::NullSink n;
        korvat::tool::JobInput job(Auftrag(), "bench.ngc");
        korvat::tool::RunJob(job, m, n);
        zeilen += kZeilen;
    }
    state.SetItemsProcessed(zeilen);
}

}  // namespace

BENCHMARK(KorvatEstimate_lib)->Name("KorvatEstimate/lib")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(KorvatEstimate_reference)
    ->Name("KorvatEstimate/reference")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(KorvatEstimate_lib)
    ->Name("KorvatEstimateLookAhead/lib")
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
