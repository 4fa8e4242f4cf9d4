// The message queue. Like the operating system's own queue it accepts events from any thread
// (a test may play the operator from a second thread), so the ring is guarded by a mutex; the
// library itself takes events on one thread only.
#include "platform/events.h"

#include <atomic>
#include <mutex>

namespace korvat::platform {

namespace {
constexpr int kCapacity = 256;

struct Queue {
    std::mutex lock;
    Event ring[kCapacity];
    int head = 0;  // index of the oldest event
    // Events held; ring[(head + i) % kCapacity] for i < count. Changed under the lock, read
    // without it to find an empty queue cheaply: the library polls on every block it writes.
    std::atomic<int> count = 0;
};

Queue& TheQueue() {
    static Queue q;
    return q;
}

PaintHandler paintHandler = nullptr;
}  // namespace

void PostEvent(const Event& e) {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> guard(q.lock);
    if (q.count == kCapacity) return;
    q.ring[(q.head + q.count) % kCapacity] = e;
    ++q.count;
}

bool HasKeyEvent() {
    Queue& q = TheQueue();
    if (q.count.load(std::memory_order_acquire) == 0) return false;
    std::lock_guard<std::mutex> guard(q.lock);
    for (int i = 0; i < q.count; ++i)
        if (q.ring[(q.head + i) % kCapacity].kind == Event::KeyDown) return true;
    return false;
}

bool HasEvent() {
    Queue& q = TheQueue();
    if (q.count.load(std::memory_order_acquire) == 0) return false;
    std::lock_guard<std::mutex> guard(q.lock);
    return q.count > 0;
}

bool TakeEvent(Event* e) {
    Queue& q = TheQueue();
    if (q.count.load(std::memory_order_acquire) == 0) return false;
    std::lock_guard<std::mutex> guard(q.lock);
    if (q.count == 0) return false;
    if (e) *e = q.ring[q.head];
    q.head = (q.head + 1) % kCapacity;
    --q.count;
    return true;
}

void ClearEvents() {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> guard(q.lock);
    q.head = 0;
    q.count = 0;
}

void SetPaintHandler(PaintHandler handler) { paintHandler = handler; }

void DispatchPaint(HWND window) {
    if (paintHandler) paintHandler(window);
}

}  // namespace korvat::platform
