// CTORVE, the writer for HPGL-like engraving machines with Z in the pen commands (written
// negated: depth below the surface is positive).
#include "tools/korvat/adapters/plot_adapter.h"
#include "writers/ctorve/ctorve.h"

namespace korvat::tool {
namespace {

class CtorveWriter : public PlotWriter<CTORVE> {
  public:
    int OpenWriter(const char* basePath, const char*) override {
        w_.SetzeSpezial(0, nullptr);
        return w_.Open(machine_->port ? 1 : 0, &settings_, basePath, &openedBefore_, 0, nullptr);
    }
};

}  // namespace

extern const WriterClass kCTORVE = {"CTORVE",
                                    "m/min",
                                    "tor",
                                    [] { return std::unique_ptr<Writer>(new CtorveWriter); },
                                    WriterClass::kMachineRange,
                                    true};

}  // namespace korvat::tool
