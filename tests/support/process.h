// Child processes of a test: the korvat program run as a machinist runs it, in a folder of its
// own; a program started with its standard descriptors redirected and waited for with a bound;
// an environment variable set for the children of one test only.
#pragma once

#include <sys/types.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support/golden.h"

namespace korvat::test {

struct Outcome {
    int exit = -1;  // the exit code; 128 + n when killed by signal n
    std::string out, err;
};

// Runs the shell command `program args` in dir without a terminal; prefix stands before the
// program (NAME=value ..., or a wrapper such as "timeout 60"); stdin is /dev/null unless args
// redirect it.
Outcome RunIn(const std::string& dir, const std::string& program, const std::string& args,
              const std::string& prefix = "");

// Runs a shell command line with stdin /dev/null; returns what it printed on stdout, its exit
// code (128 + n when killed by signal n, -1 when it could not run) in *code.
std::string Shell(const std::string& command, int* code = nullptr);

// Every name in dir, hidden ones too (but not a run's own .stdout and .stderr), sorted, one a
// line.
std::string AllFiles(const std::string& dir);

#if defined(KORVAT_PROGRAM) && defined(KORVAT_SOURCE_DIR)
// korvat with args in dir, the example profiles found by their names.
inline Outcome RunKorvat(const std::string& dir, const std::string& args,
                         const std::string& prefix = "") {
    return RunIn(dir, KORVAT_PROGRAM, args,
                 "KORVAT_MACHINES='" KORVAT_SOURCE_DIR "/examples/machines' " + prefix);
}

// A refused run: exit 1, one line naming the cause, nothing on stdout, the folder as it was.
inline void ExpectRefused(const std::string& dir, const std::string& args,
                          const std::string& message) {
    std::string before = AllFiles(dir);
    Outcome r = RunKorvat(dir, args);
    EXPECT_EQ(1, r.exit) << args;
    EXPECT_EQ("korvat: " + message + "\n", r.err) << args;
    EXPECT_EQ("", r.out) << args;
    EXPECT_EQ(before, AllFiles(dir)) << "files left behind by " << args;
}
#endif

// One descriptor of a child: `to` becomes a copy of the test's `from`.
struct Redirect {
    int to;
    int from;
};
// Starts argv[0] with argv, the descriptors redirected and those in `closed` closed in the
// child. Returns its pid, or -1 after failing the test.
pid_t Spawn(std::vector<std::string> argv, std::initializer_list<Redirect> redirects,
            std::initializer_list<int> closed = {});
// Waits up to timeout_ms for the child to end; true when it did, with its exit code (128 + n
// when killed by signal n) in *code.
bool WaitChild(pid_t pid, int timeout_ms, int* code = nullptr);

// Sets an environment variable (unsets it for a null value) until destroyed, then restores it.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::string old_;
    bool had_;
};

}  // namespace korvat::test
