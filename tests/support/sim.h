// Starts a simulated device (`korvat sim NAME ...`) as its own process for a test and hands
// over the path of its line; stopping it (or the destructor) ends it with SIGTERM and collects
// its closing summary.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace korvat::test {

class SimProcess {
  public:
    // Runs `program sim args...` and waits (at most 10 s) for the path it prints. Fails the test
    // when the simulator does not start.
    SimProcess(const std::string& program, const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& Path() const { return path_; }
    // Ends the simulator (SIGTERM) and waits for it (at most 10 s); returns its stderr (the
    // problems it noticed and the summary line). Later calls return the same text.
    const std::string& Stop();
    // Waits up to timeout_ms for the simulator to end by itself (a hang-up); true when it did.
    bool WaitExit(int timeout_ms);

  private:
    pid_t pid_ = -1;
    std::string path_;
    std::string errFile_;
    std::string err_;
    bool stopped_ = false;
};

}  // namespace korvat::test
