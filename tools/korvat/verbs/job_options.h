// What the verbs that run a job (post, preview) share: the job argument, the machine option, the
// output option, and opening the job with its machine.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "tools/korvat/program.h"

namespace korvat::tool {

struct JobOptions {
    std::string job;
    std::string machine;
    std::string output;
    // The name the summary gives the job when it is not the file read (a file korvat made).
    std::string shownAs;
};

// Adds JOB, -m/--machine (with the verb's own help text) and -o/--output; returns -o.
inline CLI::Option* AddJobOptions(CLI::App& c, JobOptions& o, const char* machineHelp,
                                  const char* outputHelp) {
    c.add_option("JOB", o.job,
                 "G-code program, call script (.calls) or tool-path element file (.eaw); none: "
                 "the built-in example");
    c.add_option("-m,--machine", o.machine, machineHelp);
    return c.add_option("-o,--output", o.output, outputHelp);
}

// The machine and the job opened for reading (see RunJob). Throws JobError.
struct OpenedJob {
    Machine machine;
    std::unique_ptr<JobInput> job;
};
inline OpenedJob OpenJobFor(const JobOptions& o) {
    OpenedJob r;
    r.machine = ResolveMachine(o.machine);
    r.job = OpenJob(o.job);
    return r;
}

// The post verb: the job through the machine's writer into its program. Returns the exit code;
// throws JobError.
int PostJob(const JobOptions& o, bool check);

}  // namespace korvat::tool
