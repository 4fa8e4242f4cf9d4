// What the verbs of the korvat program share: finding machine profiles, reading jobs, the
// built-in example, exit codes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "tools/korvat/job_input.h"
#include "tools/korvat/profile.h"
#include "tools/korvat/sink.h"

namespace korvat::tool {

// Exit codes of every verb.
inline constexpr int kExitOk = 0;
inline constexpr int kExitJob = 1;    // a job, profile or output problem
inline constexpr int kExitUsage = 2;  // the command line was wrong

// The built-in example: an engraving job and the plain ISO profile it is posted for by default
// (copies of examples/jobs/example.ngc and examples/machines/iso.ini, taken in at build time).
extern const char* const kExampleJob;
extern const char* const kExampleProfile;
inline constexpr const char* kExampleJobName = "example.ngc (built in)";
inline constexpr const char* kExampleProfileName = "iso.ini (built in)";

// The folder of the example profiles: $KORVAT_MACHINES, else the installed one
// (<prefix>/share/korvat/machines, found from the program's own path), else the checkout's.
std::string MachinesDir();

// A profile by path, or by the name of an example profile ("iso" for iso.ini in MachinesDir()).
// An empty argument gives the built-in plain ISO profile. Checks that the class is one `post`
// knows (or, with online, also a driver `send` knows) and fills in the class's feed unit and
// file extension where the profile is silent. Throws JobError.
Machine ResolveMachine(const std::string& argument, bool online = false);

// Opens a job file for reading (empty path: the built-in example). Throws JobError.
std::unique_ptr<JobInput> OpenJob(const std::string& path);

// What a job held, counted as it went through.
struct JobTally {
    size_t moves = 0;        // rapid and feed moves and arcs
    size_t toolChanges = 0;  // WkzW calls
    size_t commands = 0;     // spindle, dwell, stop and raw lines
};
// Runs the job's front end into sink, call by call as it reads: an element file by its name or
// head, a call script by its name, else G-code. A job without a move or a machine command is
// refused. Throws JobError.
JobTally RunJob(JobInput& job, const Machine& machine, Sink& sink);
// Reads the job through once without writing anything and goes back to its start, so that a
// mistake anywhere in it is found before the first block leaves for a machine. Throws JobError.
void CheckJob(JobInput& job, const Machine& machine);

}  // namespace korvat::tool
