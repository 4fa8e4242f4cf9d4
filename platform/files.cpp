// Files over POSIX descriptors with the host's conventions, and the fault countdowns tests use.
#include "platform/files.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace korvat::platform {

namespace {
int writeCountdown = 0;  // 0: off; n: the n-th following write fails
int readCountdown = 0;
int lastWriteError = 0;
WriteTally* tally = nullptr;

// True when this call is the one the countdown picked.
bool Injected(int* countdown) {
    if (*countdown <= 0) return false;
    return --*countdown == 0;
}

// Host handles are the descriptors themselves: they fit in 32 bits and are never -1.
int Fd(int32_t h) { return static_cast<int>(h); }
}  // namespace

bool HostPath(const char* path, char* out, size_t size) {
    if (!path || !out || size == 0) return false;
    size_t i = 0;
    for (; path[i]; ++i) {
        if (i + 1 >= size) {
            out[0] = '\0';
            return false;
        }
        out[i] = path[i] == '\\' ? '/' : path[i];
    }
    out[i] = '\0';
    return true;
}

int32_t FileCreate(const char* path) {
    char p[PATH_MAX];
    if (!HostPath(path, p, sizeof p)) return -1;
    int fd;
    do fd = open(p, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int32_t FileOpen(const char* path, int mode) {
    char p[PATH_MAX];
    if (!HostPath(path, p, sizeof p)) return -1;
    int flags = mode == 1 ? O_WRONLY : mode == 2 ? O_RDWR : O_RDONLY;
    int fd;
    do fd = open(p, flags | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int32_t FileRead(int32_t h, void* buffer, uint32_t n) {
    if (Injected(&readCountdown)) return -1;
    if (h < 0 || (!buffer && n)) return -1;
    uint32_t done = 0;
    while (done < n) {
        ssize_t r = read(Fd(h), static_cast<char*>(buffer) + done, n - done);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return done ? static_cast<int32_t>(done) : -1;
        if (r == 0) break;
        done += static_cast<uint32_t>(r);
    }
    return static_cast<int32_t>(done);
}

int32_t FileWrite(int32_t h, const void* buffer, uint32_t n) {
    if (Injected(&writeCountdown)) {
        lastWriteError = ENOSPC;
        return 0;
    }
    if (h < 0 || (!buffer && n)) {
        lastWriteError = EBADF;
        return 0;
    }
    uint32_t done = 0;
    while (done < n) {
        ssize_t w = write(Fd(h), static_cast<const char*>(buffer) + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {  // disk full or another error: report what went out
            lastWriteError = w < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<uint32_t>(w);
    }
    if (tally != nullptr && done > 0) {
        const char* b = static_cast<const char*>(buffer);
        tally->bytes += done;
        for (const char* p = b; (p = static_cast<const char*>(std::memchr(p, '\n', b + done - p)));
             ++p)
            ++tally->lines;
        tally->last = b[done - 1];
        if (tally->onWrite != nullptr) tally->onWrite(*tally, tally->context);
    }
    return static_cast<int32_t>(done);
}

int32_t FileSeek(int32_t h, int32_t position, int origin) {
    if (h < 0) return -1;
    int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    off_t r = lseek(Fd(h), position, whence);
    if (r < 0 || r > INT32_MAX) return -1;
    return static_cast<int32_t>(r);
}

int FileClose(int32_t h) {
    if (h < 0) return -1;
    // After EINTR the descriptor is already released on Linux: do not close it twice.
    return close(Fd(h)) == 0 || errno == EINTR ? 0 : -1;
}

int FileDelete(const char* path) {
    char p[PATH_MAX];
    if (!HostPath(path, p, sizeof p)) return -1;
    return unlink(p) == 0 ? 0 : -1;
}

int LastWriteError() { return lastWriteError; }

void TallyWrites(WriteTally* t) { tally = t; }
void FailWriteAfter(int n) { writeCountdown = n > 0 ? n : 0; }
void FailReadAfter(int n) { readCountdown = n > 0 ? n : 0; }

}  // namespace korvat::platform
