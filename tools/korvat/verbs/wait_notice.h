// On a terminal, a wait of the library on the machine's line that lasts more than a second is
// shown on stderr ("korvat: waiting for the machine on /dev/ttyS0 to take more (it holds the
// line or its buffer is full)..."), and the line is cleared when the wait ends. A watcher
// thread looks at the library's wait (platform/line_wait.h) ten times a second, as the library
// itself is blocked meanwhile. Without a terminal nothing is started and nothing printed.
#pragma once

#include <atomic>
#include <thread>

namespace korvat::tool {

class WaitNotice {
  public:
    WaitNotice();
    ~WaitNotice();
    WaitNotice(const WaitNotice&) = delete;
    WaitNotice& operator=(const WaitNotice&) = delete;

  private:
    void Watch();
    std::atomic<bool> running_{true};
    std::thread watcher_;
};

}  // namespace korvat::tool
