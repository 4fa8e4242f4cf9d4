// What the library is waiting for on a line, for a host that shows it: korvat prints "waiting
// for the machine on /dev/ttyS0 to take more" on a terminal once a wait lasts a second. The
// library's one thread sets it around its waits; any thread may read it.
#pragma once

#include <cstdint>

namespace korvat::platform {

enum class WaitKind : int32_t {
    None,
    TakeMore,    // the machine takes no more data (it holds the line, or its buffer is full)
    Answer,      // the machine has not answered yet
    BufferRoom,  // the machine asked to wait until its buffer has room again
};

struct LineWaitState {
    WaitKind kind;
    uint32_t sinceMs;  // NowMs() when the wait began
};

// Marks a wait for as long as it lives. A wait inside another one leaves the outer one shown
// (it is what the machinist waits for). WaitKind::None pauses the wait in progress (while the
// operator is asked something); it goes on afterwards, counted from then.
class LineWait {
  public:
    explicit LineWait(WaitKind kind);
    ~LineWait();
    LineWait(const LineWait&) = delete;
    LineWait& operator=(const LineWait&) = delete;

  private:
    WaitKind outer_;
    bool own_;
};

// The wait in progress (kind None: none).
LineWaitState CurrentLineWait();

}  // namespace korvat::platform
