// What the verbs that run a job (post, preview) share: the job argument, the machine option, the
// output option, and reading the job against its machine into calls, checked whole before any
// output is written.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "tools/korvat/program.h"

namespace korvat::tool {

struct JobOptions {
    std::string job;
    std::string machine;
    std::string output;
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

// The job read through its front end for its machine. Throws JobError.
struct ReadJobResult {
    Machine machine;
    Job job;
    CallRecorder calls;
};
inline ReadJobResult ReadJobFor(const JobOptions& o) {
    ReadJobResult r;
    r.machine = ResolveMachine(o.machine);
    r.job = LoadJob(o.job);
    r.calls = ReadJob(r.job, r.machine);
    return r;
}

}  // namespace korvat::tool
