// Records per second of the CZORB writer writing a one-million-record tool path (pockets of
// short cuts, a rapid move and a plunge before each) into its file, against writing the same
// bytes with one fwrite per record through stdio's buffer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_folder.h"
#include "writers/czorb/czorb.h"

namespace {

constexpr int kSchnitte = 1000000;

const std::string& Folder() { return SharedBenchFolder(); }

// The path through CZORB; returns the calls made.
int ViaWriter(const std::string& base) {
    CZORB w{};
    w.Open(0, nullptr, 0, base.c_str());
    w.WkzW(1, 0.2f, 30, 0.5f, 0.2f, 0, 0, 0);
    w.SetzeVorschub(1.2f);
    w.SetzeGTiefe(-0.5f);
    int calls = 0;
    for (int k = 0; calls < kSchnitte; ++k) {
        float x0 = static_cast<float>(k % 100) * 5.0f, y0 = static_cast<float>(k / 100 % 100) * 5;
        w.Move(x0, y0);
        w.Draw3(x0, y0, -0.5f);
        calls += 2;
        for (int i = 1; i <= 20; ++i, ++calls)
            w.Draw(x0 + 0.2f * static_cast<float>(i), y0 + static_cast<float>(i % 2) * 0.5f);
    }
    w.Close(0);
    return calls;
}

// The same number of 13-byte records, one fwrite each.
int ViaFwrite(const std::string& path, int records) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    unsigned char record[13] = {10};
    for (int i = 0; i < records; ++i) {
        std::memcpy(record + 1, &i, sizeof i);
        std::fwrite(record, 1, sizeof record, f);
    }
    std::fclose(f);
    return records;
}

void CzorbPath_lib(benchmark::State& state) {
    std::string base = Folder() + "/part";
    int64_t calls = 0;
    for (auto _ : state) calls += ViaWriter(base);
    state.SetItemsProcessed(calls);
}

void CzorbPath_reference(benchmark::State& state) {
    std::string path = Folder() + "/ref.LG1";
    int64_t calls = 0;
    for (auto _ : state) calls += ViaFwrite(path, kSchnitte);
    state.SetItemsProcessed(calls);
}

}  // namespace

BENCHMARK(CzorbPath_lib)->Name("CzorbPath/lib")->Unit(benchmark::kMillisecond);
BENCHMARK(CzorbPath_reference)->Name("CzorbPath/reference")->Unit(benchmark::kMillisecond);
