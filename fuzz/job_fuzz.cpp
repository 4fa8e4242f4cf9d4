// Runs one of korvat's readers on arbitrary bytes: the G-code front end, the call-script front
// end or the machine-profile reader, picked when the target is built (KORVAT_FUZZ_GCODE,
// KORVAT_FUZZ_CALLS, KORVAT_FUZZ_PROFILE). A reader may refuse its input with JobError; any
// other exception, a crash, a hang or a sanitizer report is a finding. The calls the front ends
// make are checked for what every sink relies on: finite numbers only.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/korvat/errors.h"
#include "tools/korvat/frontends.h"
#include "tools/korvat/profile.h"

namespace {

using korvat::tool::Sink;

void Finite(std::initializer_list<double> values, const char* call) {
    for (double v : values) {
        if (!std::isfinite(v)) {
            std::fprintf(stderr, "job_fuzz: %s got a value that is not finite\n", call);
            std::abort();
        }
    }
}

// Takes every call and checks its numbers.
class CheckingSink : public Sink {
  public:
    void SetzeVorschuebe(float xy, float z) override { Finite({xy, z}, "SetzeVorschuebe"); }
    void SetzeVorschub(float feed) override { Finite({feed}, "SetzeVorschub"); }
    void Spinddreh(int32_t) override {}
    void Spindea(int, float dwell) override { Finite({dwell}, "Spindea"); }
    void WkzW(int, int) override {}
    void Move(double x, double y) override { Finite({x, y}, "Move"); }
    void Move3(double x, double y, double z) override { Finite({x, y, z}, "Move3"); }
    void MoveZ(double z) override { Finite({z}, "MoveZ"); }
    void Draw(double x, double y) override { Finite({x, y}, "Draw"); }
    void Draw3(double x, double y, double z) override { Finite({x, y, z}, "Draw3"); }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int) override {
        Finite({cx, cy, r, start, sweep, ex, ey, ez}, "Kreis");
    }
    void Wait(float seconds) override { Finite({seconds}, "Wait"); }
    void Stop() override {}
    void SStringln(int, const char* text) override {
        if (text == nullptr) std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
#if defined(KORVAT_FUZZ_GCODE)
        CheckingSink sink;
        korvat::tool::GcodeOptions options;
        korvat::tool::RunGcode(text, "fuzz.ngc", options, sink);
#elif defined(KORVAT_FUZZ_CALLS)
        CheckingSink sink;
        korvat::tool::RunCallScript(text, "fuzz.calls", sink);
#elif defined(KORVAT_FUZZ_PROFILE)
        korvat::tool::LoadMachineText(std::string(text), "fuzz.ini");
#else
#error "pick a reader: KORVAT_FUZZ_GCODE, KORVAT_FUZZ_CALLS or KORVAT_FUZZ_PROFILE"
#endif
    } catch (const korvat::tool::JobError&) {
        // A clean refusal.
    }
    return 0;
}
