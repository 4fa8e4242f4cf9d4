#include "support/sim.h"

#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

namespace korvat::test {

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& args) {
    char errName[] = "/tmp/korvat-sim-err-XXXXXX";
    int errFd = mkstemp(errName);
    errFile_ = errName;
    int out[2];
    if (errFd < 0 || pipe(out) != 0) {
        ADD_FAILURE() << "cannot set up the simulator's output";
        return;
    }
    std::vector<std::string> argv{program, "sim"};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = Spawn(argv, {{1, out[1]}, {2, errFd}}, {out[0]});
    close(out[1]);
    close(errFd);
    if (pid_ < 0) {
        close(out[0]);
        return;
    }
    // The first line is the path; read it byte by byte so nothing after it is taken.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char c;
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        if (read(out[0], &c, 1) != 1 || c == '\n') break;
        path_.push_back(c);
    }
    close(out[0]);
    if (path_.empty()) ADD_FAILURE() << "the simulator printed no path: " << Stop();
}

SimProcess::~SimProcess() {
    Stop();
    if (!errFile_.empty()) unlink(errFile_.c_str());
}

bool SimProcess::WaitExit(int timeout_ms) {
    if (pid_ < 0) return true;
    if (!WaitChild(pid_, timeout_ms)) return false;
    pid_ = -1;
    return true;
}

const std::string& SimProcess::Stop() {
    if (stopped_) return err_;
    stopped_ = true;
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        if (!WaitExit(10000)) {
            ADD_FAILURE() << "the simulator did not end on SIGTERM";
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    std::ifstream in(errFile_);
    std::stringstream text;
    text << in.rdbuf();
    err_ = text.str();
    return err_;
}

}  // namespace korvat::test
