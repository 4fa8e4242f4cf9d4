#include "support/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

namespace korvat::test {

namespace {
int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

PtyPeer::PtyPeer() {
    char name[256];
    termios raw;
    cfmakeraw(&raw);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        ADD_FAILURE() << "openpty failed: errno " << errno;
        return;
    }
    slave_path_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
}

PtyPeer::~PtyPeer() {
    StopReading();
    if (!variable_.empty()) unsetenv(variable_.c_str());
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
}

void PtyPeer::HangUp() {
    StopReading();
    if (master_ >= 0) close(master_);
    master_ = -1;
}

void PtyPeer::ExportAs(const std::string& variable) {
    variable_ = variable;
    setenv(variable.c_str(), slave_path_.c_str(), 1);
}

void PtyPeer::Send(const std::string& bytes) {
    size_t done = 0;
    int64_t until = NowMs() + 5000;
    while (done < bytes.size() && NowMs() < until) {
        ssize_t w = write(master_, bytes.data() + done, bytes.size() - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        pollfd p{master_, POLLOUT, 0};
        poll(&p, 1, 10);
    }
    EXPECT_EQ(done, bytes.size()) << "the pseudo-terminal did not take the machine's bytes";
}

std::string PtyPeer::Receive(size_t n, int timeout_ms) {
    std::string got;
    int64_t until = NowMs() + timeout_ms;
    char buffer[4096];
    while (got.size() < n) {
        int64_t left = until - NowMs();
        if (left <= 0) break;
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        ssize_t r = read(master_, buffer, std::min(sizeof buffer, n - got.size()));
        if (r > 0) {
            got.append(buffer, static_cast<size_t>(r));
        } else if (r < 0 && errno != EAGAIN && errno != EINTR) {
            // EIO: no slave is open at the moment; wait for the library to open it.
            poll(nullptr, 0, 5);
        }
    }
    return got;
}

void PtyPeer::StartReading() {
    if (reading_.exchange(true)) return;
    reader_ = std::thread([this] { ReaderLoop(); });
}

void PtyPeer::StopReading() {
    if (!reading_.exchange(false)) return;
    if (reader_.joinable()) reader_.join();
}

void PtyPeer::ReaderLoop() {
    char buffer[4096];
    while (reading_) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, 10) <= 0) continue;
        ssize_t r = read(master_, buffer, sizeof buffer);
        if (r > 0) {
            std::lock_guard<std::mutex> guard(lock_);
            collected_.append(buffer, static_cast<size_t>(r));
            arrived_.notify_all();
        } else if (r < 0 && errno != EAGAIN && errno != EINTR) {
            poll(nullptr, 0, 5);
        }
    }
}

std::string PtyPeer::WaitCollected(size_t n, int timeout_ms) {
    std::unique_lock<std::mutex> guard(lock_);
    arrived_.wait_for(guard, std::chrono::milliseconds(timeout_ms),
                      [&] { return collected_.size() >= n; });
    return collected_;
}

std::string PtyPeer::Collected() {
    std::lock_guard<std::mutex> guard(lock_);
    return collected_;
}

}  // namespace korvat::test
