// CDIN, the DIN 66025 / ISO writer. It prints feeds as it gets them ("F%1d"), so a plain DIN
// machine takes mm/min; with option bit 8192 it turns m/min into mm/s itself, and such a
// profile says feed_unit = m/min.
#include <cstdio>

#include "tools/korvat/adapters/adapter.h"
#include "writers/din/cdin.h"

namespace korvat::tool {
namespace {

class CdinWriter : public ForwardingWriter<CDIN> {
    // The job's M2/M30. Where the dialect ends the program itself at Close (Optionen 16384
    // writes "M30", MaschTyp 19 sends EOT) nothing more is written, so the end is never there
    // twice; otherwise the job's own word goes out as a block, numbered like every other. A
    // speed no move took up is dropped, so no "G97 S" block follows the end.
    void ProgramEnd(int m) override {
        if ((settings_.Optionen & 16384) != 0 || settings_.MaschTyp == 19) return;
        w_.DrehzahlAnstehend = 0;
        std::snprintf(w_.Satz, sizeof w_.Satz, "M%d", m);
        w_.Dateiausgabe();
    }
    // The blank of option bit 16384 reaches from Z -thickness to the top face at Z 0.
    void Werkstueck(const Workpiece& p) override {
        float w = static_cast<float>(p.width), l = static_cast<float>(p.length);
        w_.SetzePosInfos(w, l, static_cast<float>(-p.thickness), w, l, 0, 0,
                         static_cast<float>(p.viceX), static_cast<float>(p.viceY), p.vice ? 1 : 0);
    }
};

}  // namespace

extern const WriterClass kCDIN = {"CDIN", "mm/min", "nc",
                                  [] { return std::unique_ptr<Writer>(new CdinWriter); }};

}  // namespace korvat::tool
