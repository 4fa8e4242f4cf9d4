// Files over POSIX descriptors, with the host's conventions: "\" in a host path is read as "/",
// handles are 32-bit and -1 means failure. Every call can be made to fail on a countdown, so
// tests can inject a full disk or a failed read at the N-th call.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvat::platform {

// Copies a host path into out (size bytes), turning "\" into "/". False when it does not fit.
bool HostPath(const char* path, char* out, size_t size);

// Creates (or empties) a file for reading and writing. Returns a handle, -1 on failure.
int32_t FileCreate(const char* path);
// Opens an existing file: mode 0 read, 1 write, 2 read and write. Returns a handle or -1.
int32_t FileOpen(const char* path, int mode);
// Reads up to n bytes; returns the bytes read (fewer at the end of the file), -1 on failure.
int32_t FileRead(int32_t h, void* buffer, uint32_t n);
// Writes n bytes; returns the bytes written: fewer than n means the write failed (disk full).
int32_t FileWrite(int32_t h, const void* buffer, uint32_t n);
// Moves the position: origin 0 from the start, 1 from the current position, 2 from the end.
// Returns the new position, -1 on failure.
int32_t FileSeek(int32_t h, int32_t position, int origin);
// Closes the handle. Returns 0, -1 on failure.
int FileClose(int32_t h);
// Deletes a file. Returns 0 when it was deleted.
int FileDelete(const char* path);

// The reason (an errno value) of the last write that wrote less than it was given: ENOSPC for a
// full disk, EFBIG beyond the file-size limit, ENOSPC also for an injected fault. 0 before any.
int LastWriteError();
// What FileWrite wrote while a tally was set: bytes, line ends (LF) and the last byte, so that a
// program's size and lines are known without reading it back. Rewrites in place count again.
struct WriteTally {
    uint64_t bytes = 0;
    uint64_t lines = 0;
    char last = '\n';
    // Called after every counted write with the tally and `context` (a progress display, say);
    // none when null.
    void (*onWrite)(const WriteTally& tally, void* context) = nullptr;
    void* context = nullptr;
};
// Counts every following FileWrite into tally; null stops counting.
void TallyWrites(WriteTally* tally);

// Fault injection for tests: the n-th following write (1 = the next) writes nothing and fails;
// 0 switches it off. Likewise for reads.
void FailWriteAfter(int n);
void FailReadAfter(int n);

}  // namespace korvat::platform
