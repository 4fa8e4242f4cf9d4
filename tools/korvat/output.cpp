#include "tools/korvat/output.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "tools/korvat/errors.h"

namespace korvat::tool {
namespace {

std::string Folder(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The work folders alive now, as fixed buffers a signal handler can read. A slot is in use
// while its first byte is not 0; it is filled before and cleared after the folder exists.
constexpr int kSlots = 4;
char liveFolders[kSlots][PATH_MAX];

// Removes the files of a folder and the folder, with system calls only (a signal handler may
// call it).
void RemoveFolder(const char* path) {
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        alignas(8) char buffer[4096];
        long n;
        while ((n = syscall(SYS_getdents64, fd, buffer, sizeof buffer)) > 0) {
            for (long at = 0; at < n;) {
                // struct linux_dirent64: inode (8), offset (8), record length (2), type (1), name
                const char* entry = buffer + at;
                unsigned short length;
                std::memcpy(&length, entry + 16, sizeof length);
                const char* name = entry + 19;
                if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
                    unlinkat(fd, name, 0);
                at += length;
            }
        }
        close(fd);
    }
    rmdir(path);
}

void OnSignal(int signal) {
    for (char* folder : liveFolders)
        if (folder[0] != 0) RemoveFolder(folder);
    _exit(128 + signal);
}

}  // namespace

void InstallSignalCleanup() {
    struct sigaction a {};
    a.sa_handler = OnSignal;
    sigemptyset(&a.sa_mask);
    // SIGPIPE: the reader of standard output (-o -) went away; the run ends as it would
    // without the handler, only without its work folder.
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&a.sa_mask, s);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(s, &a, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
}

WorkFolder::WorkFolder(const std::string& output, const char* tag)
    : output_(output), path_(TemporaryBeside(output) + tag) {
    for (int i = 0; i < kSlots && slot_ < 0; ++i)
        if (liveFolders[i][0] == 0 && path_.size() < sizeof liveFolders[i]) slot_ = i;
    if (slot_ >= 0) std::memcpy(liveFolders[slot_], path_.c_str(), path_.size() + 1);
    if (mkdir(path_.c_str(), 0700) != 0) {
        int error = errno;
        if (slot_ >= 0) liveFolders[slot_][0] = 0;
        throw JobError(
            output, 0, 0,
            std::string("cannot create a work folder beside it: ") + std::strerror(error));
    }
    // No change of the working folder: relative paths elsewhere in the run keep their meaning.
    fd_ = open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::string viaFd = "/proc/self/fd/" + std::to_string(fd_);
    struct stat a, b;
    bool same = fd_ >= 0 && stat(viaFd.c_str(), &a) == 0 && fstat(fd_, &b) == 0 &&
                a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    short_ = same && viaFd.size() < path_.size() ? viaFd : path_;
}

WorkFolder::~WorkFolder() {
    if (fd_ >= 0) close(fd_);
    RemoveFolder(path_.c_str());
    if (slot_ >= 0) liveFolders[slot_][0] = 0;
}

std::vector<std::string> WorkFolder::Files() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(path_.c_str())) {
        while (const dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

std::string WorkFolder::ForUser(const std::string& text) const {
    std::string result = text;
    for (const std::string* name : {&path_, &short_}) {
        std::string replaced;
        size_t from = 0;
        for (size_t at; (at = result.find(*name, from)) != std::string::npos;) {
            // Only the folder itself or a name inside it ("/proc/self/fd/3" is not "…/fd/31").
            size_t after = at + name->size();
            if (after < result.size() && result[after] != '/' && result[after] != ' ' &&
                result[after] != ':' && result[after] != ')') {
                replaced += result.substr(from, after - from);
                from = after;
                continue;
            }
            replaced += result.substr(from, at - from) + output_;
            // The file name after the folder goes with it.
            from = after;
            if (from < result.size() && result[from] == '/')
                while (from < result.size() && result[from] != ' ' && result[from] != ':' &&
                       result[from] != ')')
                    ++from;
        }
        result = replaced + result.substr(from);
    }
    return result;
}

namespace {
// Device and inode of every file the run reads.
std::vector<std::pair<dev_t, ino_t>> inputs;
}  // namespace

void NoteInput(const std::string& path) {
    struct stat st;
    if (path != "-" && stat(path.c_str(), &st) == 0) inputs.emplace_back(st.st_dev, st.st_ino);
}

std::string OutputTarget(const std::string& path) {
    if (path == "-") return path;
    std::string target = path;
    struct stat st;
    // The link's target is written (through a chain of links, as the kernel follows them); a
    // dangling link's target is created. /dev/stdout and its kind lead through /proc to a
    // process's open file, which a rename would not reach: refused.
    for (int links = 0; lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode); ++links) {
        if (target.rfind("/proc/", 0) == 0)
            throw JobError(path, 0, 0,
                           "is an open file of a process, not a program file; use - for "
                           "standard output");
        char buffer[PATH_MAX];
        ssize_t n = readlink(target.c_str(), buffer, sizeof buffer - 1);
        if (n <= 0 || links == 40) throw JobError(path, 0, 0, "is a link that cannot be followed");
        buffer[n] = 0;
        std::string next = buffer;
        if (next[0] != '/' && target.find('/') != std::string::npos)
            next = Folder(target) + "/" + next;
        target = next;
    }
    if (stat(target.c_str(), &st) != 0) return target;
    if (S_ISDIR(st.st_mode)) return target;  // CheckOutputFolder names it
    if (!S_ISREG(st.st_mode))
        throw JobError(path, 0, 0,
                       "is not a regular file; name a program file (or - for standard output)");
    for (const auto& [device, inode] : inputs)
        if (st.st_dev == device && st.st_ino == inode)
            throw JobError(path, 0, 0, "is a file this run reads; name another output");
    return target;
}

void CheckOutputFolder(const std::string& path) {
    if (path == "-") return;
    std::string folder = Folder(path);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw JobError(path, 0, 0, "output folder " + folder + " does not exist");
    if (access(folder.c_str(), W_OK) != 0)
        throw JobError(path, 0, 0, "output folder " + folder + " is not writable");
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw JobError(path, 0, 0, "is a folder; name the output file");
}

std::string TemporaryBeside(const std::string& path) {
    if (path == "-") {
        // Standard output has no folder: the system's folder for temporary files, so that a
        // run in a folder it may not write to can still write to a pipe.
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/.-.korvat" +
               std::to_string(getpid());
    }
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".korvat" + std::to_string(getpid());
}

void Publish(const std::string& temporary, const std::string& path) {
    if (path == "-") {
        // Copied in pieces, so that memory stays flat whatever the program's size.
        std::FILE* in = std::fopen(temporary.c_str(), "rb");
        bool written = in != nullptr;
        static char piece[1 << 16];
        for (size_t n; written && (n = std::fread(piece, 1, sizeof piece, in)) > 0;)
            written = std::fwrite(piece, 1, n, stdout) == n;
        written = written && !std::ferror(in);
        if (in != nullptr) std::fclose(in);
        written = std::fflush(stdout) == 0 && written;
        std::remove(temporary.c_str());
        if (!written) throw JobError("-", 0, 0, "standard output cannot be written");
        return;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        std::remove(temporary.c_str());
        throw JobError(path, 0, 0, std::string("cannot be written: ") + std::strerror(error));
    }
}

void WriteWhole(const std::string& output, const std::string& bytes) {
    WriteStreamed(output, [&](std::FILE* out) {
        return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    });
}

void WriteStreamed(const std::string& output, const std::function<bool(std::FILE*)>& write) {
    if (output == "-") {
        if (!write(stdout) || std::fflush(stdout) != 0)
            throw JobError("-", 0, 0, "standard output cannot be written");
        return;
    }
    std::string path = OutputTarget(output);
    CheckOutputFolder(path);
    std::string temporary = TemporaryBeside(path);
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) throw JobError(path, 0, 0, "cannot be written");
    bool ok;
    try {
        ok = write(out);
    } catch (...) {
        std::fclose(out);
        std::remove(temporary.c_str());
        throw;
    }
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::remove(temporary.c_str());
        throw JobError(path, 0, 0, "cannot be written");
    }
    Publish(temporary, path);
}

// The bar shows once a job has run this long; KORVAT_PROGRESS_AFTER_MS sets it for the
// program's own tests.
long long ProgressDelayMs() {
    const char* ms = std::getenv("KORVAT_PROGRESS_AFTER_MS");
    return ms != nullptr && *ms != 0 ? std::atoll(ms) : 1000;
}

ProgressBar::ProgressBar()
    : terminal_(isatty(STDERR_FILENO) != 0), startMs_(NowMs()), delayMs_(ProgressDelayMs()) {}

void ProgressBar::Update(size_t done, size_t total) {
    if (!terminal_ || total == 0) return;
    long long now = NowMs();
    if (now - startMs_ < delayMs_ || now - lastMs_ < 100) return;
    lastMs_ = now;
    constexpr int kWidth = 40;
    int filled = static_cast<int>(kWidth * done / total);
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = 0;
    std::fprintf(stderr, "\r[%s] %3d%%", bar, static_cast<int>(100 * done / total));
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (drawn_) std::fprintf(stderr, "\r\033[K");
    drawn_ = false;
}

}  // namespace korvat::tool
