// Process clock and sleep.
#pragma once

#include <cstdint>

namespace korvat::platform {

// Milliseconds since the process started, on a monotonic clock.
uint32_t NowMs();

// Waits ms milliseconds (resumes after EINTR until the time is up).
void Sleep(uint32_t ms);

}  // namespace korvat::platform
