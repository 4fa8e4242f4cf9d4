// Process clock on CLOCK_MONOTONIC, so time-outs are not disturbed when the wall clock is set.
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

namespace korvat::platform {

namespace {
int64_t MonotonicMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Taken when the library is loaded (or at the first reading, whichever comes first).
const int64_t& ProcessStart() {
    static const int64_t start = MonotonicMs();
    return start;
}
[[maybe_unused]] const int64_t& kTakeStartAtLoad = ProcessStart();
}  // namespace

uint32_t NowMs() { return static_cast<uint32_t>(MonotonicMs() - ProcessStart()); }

void Sleep(uint32_t ms) {
    timespec until;
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += ms / 1000;
    until.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    // An absolute deadline makes a resumed sleep end at the same moment after a signal.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace korvat::platform
