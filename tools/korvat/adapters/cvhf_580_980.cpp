// CVHF_580_980, the VHF 580/980 writer. MaschEinstellung.VhfPositionierModus chooses rapid moves
// as VS + PA (non-zero) or GA (0); Achse[0] and Achse[2].MaxGeschwindigkeit (m/min) cap the
// speeds, and the XY maximum is also the rapid speed (the feed when it is not set). The machine
// has no dwell command.
#include "tools/korvat/adapters/plot_adapter.h"
#include "writers/vhf/cvhf_580_980.h"

namespace korvat::tool {
namespace {

class CvhfWriter : public PlotWriter<CVHF_580_980> {
  public:
    int OpenWriter(const char* basePath, const char*) override {
        return w_.Open(machine_->port ? 1 : 0, &settings_, basePath, &openedBefore_, 0, nullptr);
    }
    // The writer's rapid move in XY and Z goes out as two blocks in an order of its own (down
    // first when it goes below its last rapid height, XY first otherwise, even from a depth
    // reached by a feed move). Split here in the one safe order: up before sideways, sideways
    // before down, so the tool only travels at the higher of the two heights.
    void Move3(double x, double y, double z) override {
        if (z > z0_) {
            MoveZ(z);
            Move(x, y);
        } else if (z < z0_) {
            Move(x, y);
            MoveZ(z);
        } else {
            PlotWriter::Move3(x, y, z);
        }
    }
    void SetzeVorschuebe(float xy, float z) override {
        Feeds(xy, z);
        float rapid = settings_.Achse[0].MaxGeschwindigkeit;
        w_.SetzeVorschuebe(xy, z, rapid > 0.0f ? rapid : xy);
    }
};

}  // namespace

extern const WriterClass kCVHF_580_980 = {"CVHF_580_980",
                                          "m/min",
                                          "vhf",
                                          [] { return std::unique_ptr<Writer>(new CvhfWriter); },
                                          WriterClass::kMachineRange,
                                          true};

}  // namespace korvat::tool
