// Runs the whole approach computation on arbitrary element files. The first byte picks one of a
// few parameter sets, the rest is the file. Besides the sanitizers it checks what every run
// promises: the output is whole records, the input is deleted exactly when the run succeeded,
// and an error always names its place.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "geometry/anfahren.h"

namespace {

struct Parameter {
    double tangens, start, final, safe, chord, points;
};
constexpr Parameter kParameter[] = {
    {0.05, 0, 1, 5, 0.01, 0.001},
    {0.2, -1, 3, 10, 0.1, 0.01},
    {0.02, 0.5, 0.6, 2, 0.002, 0.0001},
    {1.0, 0, 25, 30, 1, 0.5},
};

std::string Ordner() {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(base) + "/korvat-fuzz-" + std::to_string(getpid());
}

void Pruefe(bool ok, const char* was) {
    if (!ok) {
        std::fprintf(stderr, "approach_fuzz: %s\n", was);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string ordner = [] {
        std::string o = Ordner();
        mkdir(o.c_str(), 0700);
        return o;
    }();
    if (size == 0) return 0;
    const Parameter& p = kParameter[data[0] % 4];
    const std::string ein = ordner + "/in.eaw", aus = ordner + "/out.eaw";
    std::FILE* f = std::fopen(ein.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);

    CAnfahrenKontur a;
    a.Rampenwinkel = std::atan(p.tangens);
    a.Starttiefe = p.start;
    a.Endtiefe = p.final;
    a.Sicherheitshoehe = p.safe;
    a.Sehnentoleranz = p.chord;
    a.Punkttoleranz = p.points;
    const int32_t meldung = a.Anfahren_EAW_Kontur_Schraeg(ein.c_str(), aus.c_str());

    int32_t code = 0;
    char text[260];
    Pruefe(a.HoleAnfahrFehlerInfo(&code, text) == meldung, "message number differs");
    struct stat st;
    const bool eingabeDa = stat(ein.c_str(), &st) == 0;
    Pruefe(eingabeDa == (meldung != 0), "input deleted on error or kept on success");
    Pruefe(meldung == 0 || meldung == 555 || meldung == 4132 || code < 0, "error without place");
    Pruefe(stat(aus.c_str(), &st) == 0 && st.st_size % 32 == 0, "output not whole records");
    unlink(ein.c_str());
    unlink(aus.c_str());
    return 0;
}
