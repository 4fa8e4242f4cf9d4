// The simulated devices of `korvat sim NAME`.
//
// Adding one (say the HPGL-A controller): write tools/korvat-sim/hpgla.cpp with a class derived
// from Simulator (see sim.h: Receive gets every byte, Advance lets machine time pass, answers go
// out with link.Send, moves carried out with link.Move/Arc) and a function
//   std::unique_ptr<Simulator> MakeHpgla(Link& link, const Options& options);
// then add its line below. The build picks up every .cpp file of this folder.
#include "tools/korvat-sim/sim.h"

#include <cstring>

namespace korvat::sim {

std::unique_ptr<Simulator> MakeB268(Link& link, const Options& options);
std::unique_ptr<Simulator> MakeHpgla(Link& link, const Options& options);
std::unique_ptr<Simulator> MakeSms68a(Link& link, const Options& options);
std::unique_ptr<Simulator> MakeEurobox(Link& link, const Options& options);
std::unique_ptr<Simulator> MakeTablet1(Link& link, const Options& options);
std::unique_ptr<Simulator> MakeTablet2(Link& link, const Options& options);

const Entry kSimulators[] = {
    {"b268", "B268 controller: status, buffer, positions, command blocks",
     "buffer=16000 wait=4000 rapid=10 cold=1 reference=300", MakeB268},
    {"hpgla", "HPGL-A controller: statements, acknowledgements, position replies",
     "steps=1000 zsign=1", MakeHpgla},
    {"sms68a", "SMS68A controller: the HPGL-A dialect, 100 steps a millimetre", "steps=100 zsign=1",
     MakeSms68a},
    {"eurobox", "EUROBOX controller: tool-up and tool-down moves at the set depth", "",
     MakeEurobox},
    {"tablet1", "digitizer tablet model 1: button characters and @ coordinate lines",
     "interval=100 start=500 step=10", MakeTablet1},
    {"tablet2", "digitizer tablet model 2: reports on request after its start-up bytes",
     "interval=100 start=500 step=10", MakeTablet2},
    {nullptr, nullptr, nullptr, nullptr},
};

const Entry* FindSimulator(std::string_view name) {
    for (const Entry* e = kSimulators; e->name != nullptr; ++e)
        if (name == e->name) return e;
    return nullptr;
}

}  // namespace korvat::sim
