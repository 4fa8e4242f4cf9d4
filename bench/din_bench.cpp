// Blocks per second of the DIN writer writing a long program of mixed moves and arcs through
// the channel into a file, against a plain fprintf loop writing the same text.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_folder.h"
#include "channel/cx268io.h"
#include "writers/din/cdin.h"

namespace {

constexpr int kZyklen = 2000;  // six blocks each
constexpr double kPi = 3.14159265358979323846;

const std::string& Folder() { return SharedBenchFolder(); }

double X(int i) { return (i % 100) * 0.37; }
double Y(int i) { return (i / 100) * 0.53; }

// The program through CDIN and the channel; returns the blocks written.
int ViaWriter(const std::string& base) {
    MaschEinstellung s{};
    std::strcpy(s.Dateiendung, "ngc");
    CDIN w;
    int before = 0;
    cx268io.pclose(2, 1);
    w.Open(0, &s, 0, base.c_str(), &before, "BENCH");
    w.SetzeVorschuebe(1000, 1000);
    for (int i = 0; i < kZyklen; ++i) {
        double x = X(i), y = Y(i);
        w.Move3(x, y, 5);
        w.Draw3(x, y, -1);
        w.Draw(x + 10, y);
        w.Kreis(x + 10, y + 5, 5, -kPi / 2, kPi, x + 10, y + 10, -1, 0);
        w.Draw(x, y + 10);
        w.MoveZ(5);
    }
    w.Close(1, 1);
    return kZyklen * 6;
}

// The same text with fprintf.
int ViaFprintf(const std::string& base) {
    std::FILE* f = std::fopen((base + ".ngc").c_str(), "wb");
    if (f == nullptr) return 0;
    for (int i = 0; i < kZyklen; ++i) {
        double x = X(i), y = Y(i);
        std::fprintf(f, "G0 X%1.3lf Y%1.3lf Z%1.3lf\r\n", x, y, 5.0);
        std::fprintf(
            f, i == 0 ? "G1 X%1.3lf Y%1.3lf Z%1.3lf F1000\r\n" : "G1 X%1.3lf Y%1.3lf Z%1.3lf\r\n",
            x, y, -1.0);
        std::fprintf(f, "G1 X%1.3lf Y%1.3lf\r\n", x + 10, y);
        std::fprintf(f, "G3 X%1.3lf Y%1.3lf I%1.3lf J%1.3lf\r\n", x + 10, y + 10,
                     (x + 10) - (x + 10), (y + 5) - y);
        std::fprintf(f, "G1 X%1.3lf Y%1.3lf\r\n", x, y + 10);
        std::fprintf(f, "G0 Z%1.3lf\r\n", 5.0);
    }
    std::fclose(f);
    return kZyklen * 6;
}

std::string Slurp(const std::string& path) {
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

void DinProgram_lib(benchmark::State& state) {
    std::string base = Folder() + "/din";
    int64_t blocks = 0;
    for (auto _ : state) blocks += ViaWriter(base);
    state.SetItemsProcessed(blocks);
}

void DinProgram_reference(benchmark::State& state) {
    std::string base = Folder() + "/ref";
    // Both sides must write the same bytes, or the comparison means nothing.
    ViaWriter(Folder() + "/check");
    ViaFprintf(base);
    if (Slurp(base + ".ngc") != Slurp(Folder() + "/check.ngc")) {
        state.SkipWithError("the fprintf reference does not write the writer's text");
        return;
    }
    int64_t blocks = 0;
    for (auto _ : state) blocks += ViaFprintf(base);
    state.SetItemsProcessed(blocks);
}

}  // namespace

BENCHMARK(DinProgram_lib)->Name("DinProgram/lib")->Unit(benchmark::kMillisecond);
BENCHMARK(DinProgram_reference)->Name("DinProgram/reference")->Unit(benchmark::kMillisecond);
