#include "tools/korvat/output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

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

}  // namespace

void CheckOutputFolder(const std::string& path) {
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
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".korvat" + std::to_string(getpid());
}

void Publish(const std::string& temporary, const std::string& path) {
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        std::remove(temporary.c_str());
        throw JobError(path, 0, 0, std::string("cannot be written: ") + std::strerror(error));
    }
}

void WriteWhole(const std::string& path, const std::string& bytes) {
    CheckOutputFolder(path);
    std::string temporary = TemporaryBeside(path);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            throw JobError(path, 0, 0, "cannot be written");
        }
    }
    Publish(temporary, path);
}

ProgressBar::ProgressBar() : terminal_(isatty(STDERR_FILENO) != 0), startMs_(NowMs()) {}

void ProgressBar::Update(size_t done, size_t total) {
    if (!terminal_ || total == 0) return;
    long long now = NowMs();
    if (now - startMs_ < 1000 || now - lastMs_ < 100) return;
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
