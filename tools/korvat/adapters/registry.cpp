// The writer classes that `korvat post` can drive.
//
// How to add a writer (say CHDH):
//   1. Write tools/korvat/adapters/chdh.cpp: include "tools/korvat/adapters/adapter.h" and the
//      class header, derive an adapter from ForwardingWriter<CHDH> (a writer with the full set
//      of path calls) or PlotWriter<C> from plot_adapter.h (one that keeps its own position),
//      override any call whose member differs, and define
//        extern const WriterClass kCHDH = {"CHDH", "<feed unit>", "<extension>", make};
//   2. Add one line KORVAT_WRITER(kCHDH) to the list below.
//   3. Add a commented profile examples/machines/<name>.ini with class = CHDH.
// The adapter files are picked up by the build on their own.
#include "tools/korvat/adapters/adapter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#define KORVAT_WRITERS(KORVAT_WRITER) \
    KORVAT_WRITER(kCDIN)              \
    KORVAT_WRITER(kCHDH)              \
    KORVAT_WRITER(kCKESTL1)           \
    KORVAT_WRITER(kCZORB)             \
    KORVAT_WRITER(kCHPGLB)            \
    KORVAT_WRITER(kCDXF_TEXT)         \
    KORVAT_WRITER(kCVHF_580_980)      \
    KORVAT_WRITER(kCTORVE)

namespace korvat::tool {

#define KORVAT_DECLARE(name) extern const WriterClass name;
KORVAT_WRITERS(KORVAT_DECLARE)
#define KORVAT_LIST(name) &name,
const WriterClass* const kWriters[] = {KORVAT_WRITERS(KORVAT_LIST) nullptr};

double CoordinateLimit(const WriterClass& w, const Machine& machine) {
    double limit = w.limit;
    if (w.steps) {
        for (float r : machine.init.Aufloesung) {
            double perMm = std::fabs(static_cast<double>(r));
            if (perMm > 0) limit = std::min(limit, std::floor(INT32_MAX / perMm * 1000) / 1000);
        }
    }
    return limit;
}

const WriterClass* FindWriter(std::string_view name) {
    for (const WriterClass* const* w = kWriters; *w != nullptr; ++w)
        if (name == (*w)->name) return *w;
    return nullptr;
}

}  // namespace korvat::tool
