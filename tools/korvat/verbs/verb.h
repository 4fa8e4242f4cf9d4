// The verbs of the korvat program (post, preview, machines, ...).
//
// How to add a verb (say `approach`): write tools/korvat/verbs/approach.cpp that defines
//   extern const Verb kApproach = {"approach", "one line saying what it does", Setup};
// where Setup adds the verb's arguments and options to its CLI11 subcommand (with an example in
// its footer) and returns the function that runs it, returning an exit code from program.h.
// Then add one line KORVAT_VERB(kApproach) to the list in verbs/registry.cpp.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

namespace korvat::tool {

struct Verb {
    const char* name;
    const char* summary;
    std::function<int()> (*setup)(CLI::App& command);
};

// Every registered verb, ending with a null entry.
extern const Verb* const kVerbs[];

}  // namespace korvat::tool
