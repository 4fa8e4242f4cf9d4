// Numbers per second of the G-code front end's number reader on the numbers a CAM job holds
// (coordinates with three decimals, feeds, codes), against strtod reading the same texts.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "tools/korvat/number_reader.h"

namespace {

// The texts, each terminated (strtod needs it), as a job writes them.
const std::vector<std::string>& Texts() {
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> t;
        char text[32];
        for (int i = 0; i < 4096; ++i) {
            std::snprintf(text, sizeof text, "%.3f", (i % 100) * 5.0 + 0.2 * (i % 21));
            t.push_back(text);
            std::snprintf(text, sizeof text, "-%.3f", (i % 7) * 0.25);
            t.push_back(text);
            t.push_back(i % 2 ? "1" : "1200");
        }
        return t;
    }();
    return texts;
}

void WordNumber_lib(benchmark::State& state) {
    const auto& texts = Texts();
    for (auto _ : state) {
        for (const std::string& t : texts) {
            korvat::tool::WordNumber n =
                korvat::tool::ReadWordNumber(t.data(), t.data() + t.size());
            benchmark::DoNotOptimize(n.value);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * texts.size()));
}

void WordNumber_reference(benchmark::State& state) {
    const auto& texts = Texts();
    // Both must read the same values, or the comparison means nothing.
    for (const std::string& t : texts) {
        korvat::tool::WordNumber n = korvat::tool::ReadWordNumber(t.data(), t.data() + t.size());
        double theirs = std::strtod(t.c_str(), nullptr);
        if (std::memcmp(&theirs, &n.value, sizeof theirs) != 0) {
            state.SkipWithError(("the reader and strtod differ on " + t).c_str());
            return;
        }
    }
    for (auto _ : state) {
        for (const std::string& t : texts)
            benchmark::DoNotOptimize(std::strtod(t.c_str(), nullptr));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * texts.size()));
}

}  // namespace

BENCHMARK(WordNumber_lib)->Name("WordNumber/lib");
BENCHMARK(WordNumber_reference)->Name("WordNumber/reference");
