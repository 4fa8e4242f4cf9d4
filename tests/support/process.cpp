#include "support/process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace korvat::test {
namespace {

int ExitCode(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

Outcome RunIn(const std::string& dir, const std::string& program, const std::string& args,
              const std::string& prefix) {
    std::string cmd =
        "cd '" + dir + "' && " + prefix + " '" + program + "' " + args + " >.stdout 2>.stderr";
    if (args.find('<') == std::string::npos) cmd += " </dev/null";
    Outcome r;
    r.exit = ExitCode(std::system(cmd.c_str()));
    r.out = ReadFile(dir + "/.stdout");
    r.err = ReadFile(dir + "/.stderr");
    std::remove((dir + "/.stdout").c_str());
    std::remove((dir + "/.stderr").c_str());
    return r;
}

std::string Shell(const std::string& command, int* code) {
    std::string out;
    FILE* p = popen((command + " </dev/null").c_str(), "r");
    if (p == nullptr) {
        if (code != nullptr) *code = -1;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    int status = pclose(p);
    if (code != nullptr) *code = ExitCode(status);
    return out;
}

std::string AllFiles(const std::string& dir) {
    std::string list = dir + "/.all-files";
    std::string cmd = "ls -A '" + dir + "' | grep -v '^\\.std\\|^\\.all-files$' > '" + list + "'";
    if (std::system(cmd.c_str()) < 0) ADD_FAILURE() << "cannot list " << dir;
    std::string names = ReadFile(list);
    std::remove(list.c_str());
    return names;
}

pid_t Spawn(std::vector<std::string> argv, std::initializer_list<Redirect> redirects,
            std::initializer_list<int> closed) {
    std::vector<char*> cargv;
    for (std::string& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const Redirect& r : redirects) posix_spawn_file_actions_adddup2(&actions, r.from, r.to);
    for (int fd : closed) posix_spawn_file_actions_addclose(&actions, fd);
    pid_t pid = -1;
    if (posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ) != 0) {
        pid = -1;
        ADD_FAILURE() << "cannot start " << argv[0];
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool WaitChild(pid_t pid, int timeout_ms, int* code) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    do {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            if (code != nullptr) *code = ExitCode(status);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (had_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

}  // namespace korvat::test
