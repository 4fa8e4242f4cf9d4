// korvat estimate: the machining time of a job on a machine, its distances and extremes, the
// path of each tool, and every point that leaves the machine's travel or the workpiece.
#include <cstdio>
#include <memory>
#include <string>

#include "tools/korvat/errors.h"
#include "tools/korvat/estimate.h"
#include "tools/korvat/program.h"
#include "tools/korvat/verbs/verb.h"

namespace korvat::tool {
namespace {

struct Options {
    std::string job, machine, param;
    bool lookahead = false, json = false;
};

int Run(const Options& o) {
    if (!o.job.empty() && o.machine.empty()) {
        std::fprintf(stderr, "korvat estimate: a job needs --machine (see korvat machines)\n");
        return kExitUsage;
    }
    const Machine machine = ResolveMachine(o.machine);
    const std::unique_ptr<JobInput> job = OpenJob(o.job);
    Estimate estimate(machine, o.param, o.lookahead, job->file());
    RunJob(*job, machine, estimate);
    estimate.Finish();
    if (o.json) {
        std::fputs(estimate.Json().c_str(), stdout);
    } else {
        std::printf("korvat estimate: %s on %s (%s)\n", job->file().c_str(), machine.file.c_str(),
                    machine.className.c_str());
        std::fputs(estimate.Text().c_str(), stdout);
    }
    std::fputs(estimate.ToolWarnings().c_str(), stderr);
    for (const Violation& v : estimate.violations())
        std::fprintf(stderr, "%s\n", estimate.Describe(v).c_str());
    return estimate.violations().empty() ? kExitOk : kExitJob;
}

std::function<int()> Setup(CLI::App& c) {
    auto o = std::make_shared<Options>();
    c.add_option("JOB", o->job,
                 "G-code program, call script (.calls) or tool-path element file (.eaw); none: "
                 "the built-in example");
    c.add_option("-m,--machine", o->machine,
                 "machine profile: a path, or an example name from `korvat machines`; its rapid "
                 "speeds, [travel], [workpiece] and tool lives are used");
    c.add_option("--param", o->param,
                 "machine parameter file (3072 bytes, as DummyPara.bin); default: the built-in "
                 "parameters")
        ->check(CLI::ExistingFile);
    c.add_flag("--lookahead", o->lookahead,
               "time feed moves with the controller's look-ahead model instead of block by block");
    c.add_flag("--json", o->json, "print the values as numbers (minutes, millimetres)");
    c.footer(
        "Times are split into XY rapids, Z feeds, Z rapids and XY feeds. Points outside the\n"
        "machine's travel or the workpiece are listed on stderr with their block and line; the\n"
        "exit code is then 1. Tool life warnings go to stderr too.\n"
        "Examples:\n"
        "  korvat estimate                               built-in example, plain ISO machine\n"
        "  korvat estimate examples/jobs/plate.ngc --machine iso --lookahead\n"
        "  korvat estimate examples/jobs/plate.ngc --machine iso --json");
    return [o] { return Run(*o); };
}

}  // namespace

extern const Verb kEstimate = {"estimate", "estimate the machining time of a job on a machine",
                               Setup};

}  // namespace korvat::tool
