#include "tools/korvat/verbs/wait_notice.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "channel/cx268io.h"
#include "platform/clock.h"
#include "platform/line_wait.h"

namespace korvat::tool {

namespace {
const char* Waiting(platform::WaitKind kind) {
    switch (kind) {
        case platform::WaitKind::TakeMore:
            return "to take more (it holds the line or its buffer is full)";
        case platform::WaitKind::Answer:
            return "to answer";
        case platform::WaitKind::BufferRoom:
            return "to make room in its buffer";
        default:
            return "";
    }
}
}  // namespace

WaitNotice::WaitNotice() {
    if (isatty(STDERR_FILENO)) watcher_ = std::thread([this] { Watch(); });
}

WaitNotice::~WaitNotice() {
    running_ = false;
    if (watcher_.joinable()) watcher_.join();
}

void WaitNotice::Watch() {
    platform::LineWaitState shown{platform::WaitKind::None, 0};
    auto clear = [&] {
        if (shown.kind != platform::WaitKind::None) std::fputs("\r\033[K", stderr);
        shown.kind = platform::WaitKind::None;
    };
    while (running_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        platform::LineWaitState now = platform::CurrentLineWait();
        bool same = now.kind == shown.kind && now.sinceMs == shown.sinceMs;
        if (shown.kind != platform::WaitKind::None && !same) clear();
        if (now.kind == platform::WaitKind::None || same) continue;
        if (platform::NowMs() - now.sinceMs < 1000) continue;
        std::fprintf(stderr, "\r\033[Kkorvat: waiting for the machine on %s %s...",
                     cx268io.Port.Path(), Waiting(now.kind));
        shown = now;
    }
    clear();
}

}  // namespace korvat::tool
