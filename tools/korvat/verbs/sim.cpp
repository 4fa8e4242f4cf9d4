// korvat sim NAME: a simulated controller or tablet on a pseudo-terminal (tools/korvat-sim).
#include <string>

#include "tools/korvat-sim/sim.h"
#include "tools/korvat/program.h"
#include "tools/korvat/verbs/verb.h"

namespace korvat::tool {
namespace {

struct SimArgs {
    std::string name;
    sim::Options options;
    std::vector<std::string> settings;
};

std::function<int()> Setup(CLI::App& c) {
    auto a = std::make_shared<SimArgs>();
    std::string names, help = "Simulators (with their --set names and defaults):\n";
    for (const sim::Entry* e = sim::kSimulators; e->name != nullptr; ++e) {
        names += names.empty() ? e->name : std::string(", ") + e->name;
        help += std::string("  ") + e->name + "  " + e->summary + "\n      " + e->settings + "\n";
    }
    c.add_option("name", a->name, "the device to simulate: " + names)->required();
    sim::Options& o = a->options;
    c.add_option("--baud", o.baud, "pace the line at this rate, both ways (0: unpaced)")
        ->capture_default_str();
    c.add_option("--trace", o.trace, "write the moves carried out to FILE, one a line, in mm");
    c.add_option("--log", o.log, "write every byte received to FILE");
    c.add_option("--speed", o.speed, "the machine runs this many times faster than real time")
        ->capture_default_str();
    c.add_option("--set", a->settings, "a device setting NAME=VALUE (see below)");
    c.add_option("--script", o.script,
                 "tablets: play this file of button presses and points (press BUTTON X Y, "
                 "move X Y, wait MS)");
    c.add_flag("--interactive", o.interactive,
               "tablets: play what is typed (arrows move, digits press buttons, q ends)");
    c.add_option("--hold-after-bytes", o.holdAfterBytes,
                 "stop reading after N bytes (holds the line; 0: never read)");
    c.add_option("--hangup-after-bytes", o.hangupAfterBytes, "hang up after N bytes");
    c.add_option("--hangup-after-commands", o.hangupAfterCommands, "hang up after N commands");
    c.add_flag("!--no-flow", o.flow,
               "let the host write ahead into the terminal's buffer (by default a backlog of "
               "256 bytes holds its writes)");
    c.add_flag("--silent", o.silent, "never answer");
    c.add_flag("--garbage", o.garbage, "answer 120 characters of junk without a line end");
    c.add_option("--fault", o.fault,
                 "report a device fault (b268: A, C, or busy for a reference run that never "
                 "ends)");
    c.add_option("--fault-after", o.faultAfterCommands, "report the fault from the N-th command on")
        ->capture_default_str();
    c.footer(help +
             "The first line printed is the path of the line; point a machine profile's port at "
             "it.\nStop with Ctrl-C; a summary goes to stderr.\n"
             "Example:\n  korvat sim b268 --trace moves.txt");
    return [a] {
        const sim::Entry* entry = sim::FindSimulator(a->name);
        if (entry == nullptr) {
            std::fprintf(stderr, "korvat: no simulator '%s' (known: ", a->name.c_str());
            for (const sim::Entry* e = sim::kSimulators; e->name != nullptr; ++e)
                std::fprintf(stderr, "%s%s", e == sim::kSimulators ? "" : ", ", e->name);
            std::fprintf(stderr, ")\n");
            return kExitUsage;
        }
        for (const std::string& s : a->settings) {
            size_t eq = s.find('=');
            if (eq == std::string::npos || eq == 0) {
                std::fprintf(stderr, "korvat: --set %s: expected NAME=VALUE\n", s.c_str());
                return kExitUsage;
            }
            a->options.settings.emplace_back(s.substr(0, eq), s.substr(eq + 1));
        }
        return sim::Run(*entry, a->options) == 0 ? kExitOk : kExitJob;
    };
}

}  // namespace

extern const Verb kSim = {"sim", "run a simulated controller or tablet on a pseudo-terminal",
                          Setup};

}  // namespace korvat::tool
