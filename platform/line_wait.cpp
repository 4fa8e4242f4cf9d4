#include "platform/line_wait.h"

#include <atomic>

#include "platform/clock.h"

namespace korvat::platform {

namespace {
// Written by the library's thread only; the host's display thread reads them. The time is
// stored before the kind, so a reader that sees a kind sees its time.
std::atomic<int32_t> waitKind{0};
std::atomic<uint32_t> waitSince{0};

void Set(WaitKind kind) {
    waitSince.store(NowMs(), std::memory_order_relaxed);
    waitKind.store(static_cast<int32_t>(kind), std::memory_order_release);
}
}  // namespace

LineWait::LineWait(WaitKind kind)
    : outer_(static_cast<WaitKind>(waitKind.load(std::memory_order_relaxed))),
      own_(kind == WaitKind::None || outer_ == WaitKind::None) {
    if (own_) Set(kind);
}

LineWait::~LineWait() {
    if (own_) Set(outer_);
}

LineWaitState CurrentLineWait() {
    LineWaitState s;
    s.kind = static_cast<WaitKind>(waitKind.load(std::memory_order_acquire));
    s.sinceMs = waitSince.load(std::memory_order_relaxed);
    return s;
}

}  // namespace korvat::platform
