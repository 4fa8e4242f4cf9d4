// What the verbs of the korvat program share: finding machine profiles, reading jobs, the
// built-in example, exit codes.
#pragma once

#include <string>

#include "tools/korvat/profile.h"
#include "tools/korvat/recorder.h"

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

// The folder of the example profiles: $KORVAT_MACHINES, else the one in the source tree.
std::string MachinesDir();

// A profile by path, or by the name of an example profile ("iso" for iso.ini in MachinesDir()).
// An empty argument gives the built-in plain ISO profile. Checks that the class is one `post`
// knows and fills in the class's feed unit and file extension where the profile is silent.
// Throws JobError.
Machine ResolveMachine(const std::string& argument);

struct Job {
    std::string file;  // path, or kExampleJobName
    std::string text;
};
// Reads a job file (empty path: the built-in example). Throws JobError.
Job LoadJob(const std::string& path);
// Runs the job's front end into a recorder. Throws JobError.
CallRecorder ReadJob(const Job& job, const Machine& machine);

}  // namespace korvat::tool
