#include "tools/korvat/job_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

#include "tools/korvat/errors.h"

namespace korvat::tool {
namespace {

// The chunk buffer holds the longest line and a chunk behind it.
constexpr size_t kBuffer = 4 * JobInput::kMaxLine;

int64_t ModifiedNs(const struct stat& st) {
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace

JobInput::JobInput(const std::string& path) : name_(path) {
    // "-" is standard input.
    fd_ = path == "-" ? fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                      : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        throw JobError(path, 0, 0, std::string("cannot read job: ") + std::strerror(errno));
    struct stat st;
    if (fstat(fd_, &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            close(fd_);
            throw JobError(path, 0, 0, "is a folder, not a job file");
        }
        if (S_ISREG(st.st_mode)) {
            size_ = static_cast<uint64_t>(st.st_size);
            regular_ = true;
            modifiedNs_ = ModifiedNs(st);
        }
    }
    buffer_.reset(new char[kBuffer]);
    data_ = buffer_.get();
}

JobInput::JobInput(std::string_view text, std::string name)
    : name_(std::move(name)),
      data_(text.data()),
      end_(text.size()),
      eof_(true),
      size_(text.size()) {}

JobInput::~JobInput() {
    if (fd_ >= 0) close(fd_);
}

bool JobInput::Fill() {
    if (eof_) return false;
    char* b = buffer_.get();
    if (pos_ > 0) {
        std::memmove(b, b + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == kBuffer) return true;  // full: the caller decides what that means
    ssize_t n;
    do {
        n = read(fd_, b + end_, kBuffer - end_);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        throw JobError(name_, line_ + 1, 0,
                       std::string("cannot read job: ") + std::strerror(errno));
    if (n == 0) {
        eof_ = true;
        return false;
    }
    end_ += static_cast<size_t>(n);
    if (progress_) progress_(consumed_, size_);
    return true;
}

std::string_view JobInput::Head(size_t n) {
    while (end_ - pos_ < n && Fill()) {
    }
    return {data_ + pos_, std::min(n, end_ - pos_)};
}

size_t JobInput::Read(void* out, size_t n) {
    char* to = static_cast<char*>(out);
    size_t got = 0;
    while (got < n) {
        if (pos_ == end_ && !Fill()) break;
        size_t take = std::min(n - got, end_ - pos_);
        std::memcpy(to + got, data_ + pos_, take);
        pos_ += take, got += take, consumed_ += take;
    }
    return got;
}

bool JobInput::NextLine(std::string_view& line) {
    if (!started_) {
        started_ = true;
        if (Head(3) == "\xEF\xBB\xBF") pos_ += 3, consumed_ += 3;
    }
    for (;;) {
        const char* p = data_ + pos_;
        size_t n = end_ - pos_, i = 0;
        // Eight bytes at a time up to the eight that hold a line end, then byte by byte. A byte
        // of x is zero exactly when (x - 1) borrows into its top bit without it being set in x.
        constexpr uint64_t kEins = 0x0101010101010101, kOben = 0x8080808080808080;
        for (; i + 8 <= n; i += 8) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            const uint64_t lf = w ^ (kEins * '\n'), cr = w ^ (kEins * '\r');
            if ((((lf - kEins) & ~lf) | ((cr - kEins) & ~cr)) & kOben) break;
        }
        while (i < n && p[i] != '\n' && p[i] != '\r') ++i;
        if (i > kMaxLine)
            throw JobError(name_, line_ + 1, 0,
                           "line is longer than " + std::to_string(kMaxLine) +
                               " characters; a job is text in lines");
        size_t ending;
        if (i < n && p[i] == '\n') {
            ending = 1;
        } else if (i < n && i + 1 < n) {
            ending = p[i + 1] == '\n' ? 2 : 1;  // CR LF, or a CR alone
        } else if (i < n && eof_) {
            ending = 1;  // a CR as the job's last byte
        } else if (i == n && eof_) {
            if (n == 0) return false;
            ending = 0;  // a last line without a line end
        } else {
            // The line (or its CR LF) runs on past the bytes read: read more and look again.
            Fill();
            continue;
        }
        line = std::string_view(p, i);
        pos_ += i + ending;
        consumed_ += i + ending;
        ++line_;
        return true;
    }
}

bool JobInput::Rewind() {
    if (fd_ >= 0) {
        if (lseek(fd_, 0, SEEK_SET) != 0) return false;
        pos_ = end_ = 0;
        eof_ = false;
    } else {
        pos_ = 0;
    }
    started_ = false;
    line_ = 0;
    consumed_ = 0;
    return true;
}

bool JobInput::Unchanged() const {
    if (!regular_) return true;
    struct stat st;
    if (fstat(fd_, &st) != 0) return false;
    return static_cast<uint64_t>(st.st_size) == size_ && ModifiedNs(st) == modifiedNs_;
}

}  // namespace korvat::tool
