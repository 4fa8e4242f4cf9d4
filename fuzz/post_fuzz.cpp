// Posts arbitrary G-code through the writers of the example machines: the first byte picks the
// machine, the rest is the job. A refusal (JobError) or a writer that stops is fine; a crash, a
// hang or a sanitizer report is a finding.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "channel/cx268io.h"
#include "tools/korvat/adapters/adapter.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/job_input.h"
#include "tools/korvat/program.h"

namespace {

const char* const kMachines[] = {"iso",    "heidenhain", "czorb",     "hpgl-engraving", "vhf",
                                 "ctorve", "datron",     "dxf",       "din-8192",       "din-13",
                                 "din-19", "din-20",     "din-16384", "hpgl-plotter",   "din-15"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace korvat::tool;
    if (size < 1) return 0;
    const char* name = kMachines[data[0] % (sizeof kMachines / sizeof kMachines[0])];
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    // One folder for the run's programs, removed when the fuzzer exits (its name kept in a
    // buffer that outlives every destructor).
    static char folder[64];
    if (folder[0] == 0) {
        std::snprintf(folder, sizeof folder, "/tmp/post_fuzz.%d", static_cast<int>(getpid()));
        mkdir(folder, 0700);
        std::atexit([] {
            char command[96];
            std::snprintf(command, sizeof command, "rm -rf '%s'", folder);
            if (std::system(command) != 0) std::fprintf(stderr, "post_fuzz: %s stays\n", folder);
        });
    }
    try {
        Machine machine = ResolveMachine(name);
        std::unique_ptr<Writer> writer = FindWriter(machine.className)->make();
        std::string base = std::string(folder) + "/prog";
        if (writer->Open(machine, base.c_str(), "prog") != 0) {
            cx268io.pclose(2, 1);
            return 0;
        }
        JobInput job(text, "fuzz.ngc");
        try {
            RunJob(job, machine, *writer);
            writer->Close();
        } catch (const JobError&) {
            cx268io.pclose(2, 1);
        }
    } catch (const JobError&) {
    }
    return 0;
}
