// Runs the korvat program as a machinist does, in a folder of its own, and looks at what it left
// there.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/golden.h"

namespace korvat::test {

struct Outcome {
    int exit = -1;  // the exit code; 128 + n when killed by signal n
    std::string out, err;
};

// Runs `KORVAT args` in dir without a terminal; env is put before the command (NAME=value ...),
// stdin is /dev/null unless args redirect it.
inline Outcome RunKorvat(const std::string& dir, const std::string& args,
                         const std::string& env = "") {
    std::string cmd = "cd '" + dir + "' && " + env +
                      " KORVAT_MACHINES='" KORVAT_SOURCE_DIR "/examples/machines' '" KORVAT_PROGRAM
                      "' " +
                      args + " >.stdout 2>.stderr";
    if (args.find('<') == std::string::npos) cmd += " </dev/null";
    int status = std::system(cmd.c_str());
    Outcome r;
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadFile(dir + "/.stdout");
    r.err = ReadFile(dir + "/.stderr");
    std::remove((dir + "/.stdout").c_str());
    std::remove((dir + "/.stderr").c_str());
    return r;
}

// Every name in dir, hidden ones too (but not the run's own .stdout and .stderr), sorted, one a
// line.
inline std::string AllFiles(const std::string& dir) {
    std::string list = dir + "/.all-files";
    std::string cmd = "ls -A '" + dir + "' | grep -v '^\\.std\\|^\\.all-files$' > '" + list + "'";
    if (std::system(cmd.c_str()) < 0) return "?";
    std::string names = ReadFile(list);
    std::remove(list.c_str());
    return names;
}

}  // namespace korvat::test
