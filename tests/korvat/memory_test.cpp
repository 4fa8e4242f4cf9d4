// Memory of the post path: the front end, the writer and the time estimate allocate nothing per
// line (counted with this program's own operator new), and the korvat program posts a job of
// five million lines fed through a pipe in the same small memory as a short one, measured as
// the child's peak resident size. A job that fails in its last line leaves nothing behind.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/process.h"
#include "tools/korvat/adapters/adapter.h"
#include "tools/korvat/estimate.h"
#include "tools/korvat/frontends.h"
#include "tools/korvat/profile.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

void* operator new(std::size_t n) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n != 0 ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using korvat::test::AllFiles;
using korvat::test::TempDir;
using korvat::test::WriteFile;
using korvat::tool::Estimate;
using korvat::tool::JobInput;
using korvat::tool::Machine;

// A plain G-code job of exactly n lines, as bench/make_job.sh writes it: pockets of short feed
// moves and half circles, each entered by a rapid move and a plunge. Calls put(text) with the
// job in pieces of about 64 KiB.
template <class Put>
void Job(long n, Put put) {
    std::string text;
    long count = 0;
    auto line = [&](const char* s) {
        if (count >= n - 1) return;
        text += s;
        text += '\n';
        ++count;
        if (text.size() > 65536) put(text), text.clear();
    };
    line("G21 G90");
    line("T1 M6");
    line("F1200");
    char s[64];
    for (long k = 0; count < n - 1; ++k) {
        double x0 = static_cast<double>(k % 100) * 5.0, y0 = static_cast<double>(k / 100 % 100) * 5;
        std::snprintf(s, sizeof s, "G0 X%.3f Y%.3f Z2", x0, y0);
        line(s);
        line("G1 Z-0.5");
        for (int i = 1; i <= 20; ++i) {
            if (i % 5 == 0)
                std::snprintf(s, sizeof s, "G3 X%.3f Y%.3f I0.1 J0", x0 + 0.2 * i,
                              y0 + ((i - 1) % 2) * 0.5);
            else
                std::snprintf(s, sizeof s, "G1 X%.3f Y%.3f", x0 + 0.2 * i, y0 + (i % 2) * 0.5);
            line(s);
        }
        line("G0 Z2");
    }
    text += "M30\n";
    put(text);
}

std::string JobText(long n) {
    std::string all;
    Job(n, [&](const std::string& piece) { all += piece; });
    return all;
}

// Allocations made while a job of n lines runs through the plain ISO writer and, separately,
// through the time estimate (the two sinks of korvat post).
long AllocationsFor(long lines) {
    const Machine m = korvat::tool::LoadMachine(KORVAT_SOURCE_DIR "/examples/machines/iso.ini");
    const std::string text = JobText(lines);
    TempDir dir;
    std::unique_ptr<korvat::tool::Writer> writer = korvat::tool::FindWriter(m.className)->make();
    EXPECT_EQ(0, writer->Open(m, dir.File("prog").c_str(), "prog"));
    Estimate estimate(m, "", false, "job.ngc", false);
    JobInput forWriter(text, "job.ngc"), forEstimate(text, "job.ngc");

    long before = allocations.load();
    korvat::tool::RunGcode(forWriter, {m.feedFactor}, *writer);
    korvat::tool::RunGcode(forEstimate, {m.feedFactor}, estimate);
    long made = allocations.load() - before;

    writer->Close();
    EXPECT_FALSE(writer->Failed()) << writer->Failure();
    return made;
}

TEST(PostMemory, NoAllocationPerLineInTheFrontEndTheWriterOrTheEstimate) {
    long small = AllocationsFor(10000);
    long large = AllocationsFor(100000);
    EXPECT_EQ(small, large) << "allocations grow with the job's length";
}

struct Child {
    int exit = -1;
    long peakKb = 0;
};

// Runs `korvat post - ARGS...` in dir with the job fed through a pipe by feed(fd) and its
// standard error into errFile; the exit code and the child's own peak resident size.
template <class Feed>
Child PostFromPipe(const std::string& dir, const std::string& errFile,
                   std::initializer_list<const char*> args, Feed feed) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[0], STDIN_FILENO);
        close(fds[0]);
        close(fds[1]);
        if (std::freopen(errFile.c_str(), "w", stderr) == nullptr ||
            std::freopen("/dev/null", "w", stdout) == nullptr || chdir(dir.c_str()) != 0)
            _exit(126);
        setenv("KORVAT_MACHINES", KORVAT_SOURCE_DIR "/examples/machines", 1);
        const char* argv[16] = {KORVAT_PROGRAM, "post", "-"};
        int n = 3;
        for (const char* a : args) argv[n++] = a;
        argv[n] = nullptr;
        execv(KORVAT_PROGRAM, const_cast<char* const*>(argv));
        _exit(127);
    }
    close(fds[0]);
    feed(fds[1]);
    close(fds[1]);
    Child c;
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) == pid) {
        c.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        c.peakKb = usage.ru_maxrss;  // kilobytes on Linux
    }
    return c;
}

// Writes the whole text; false once the reader is gone.
bool WriteAll(int fd, const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        ssize_t n = write(fd, text.data() + at, text.size() - at);
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

constexpr long kPeakKb = 32 * 1024;

TEST(PostMemory, FiveMillionLinesFromAPipeInTheMemoryOfAShortJob) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory is no measure of the program's";
#endif
    signal(SIGPIPE, SIG_IGN);
    // Into a file, and to standard output (which the program reaches through its work folder).
    for (const char* output : {"big.nc", "-"}) {
        SCOPED_TRACE(output);
        TempDir dir, logs;
        Child c = PostFromPipe(
            dir.path(), logs.File("err"), {"--machine", "iso", "-o", output}, [](int fd) {
                bool open = true;
                Job(5000000, [&](const std::string& piece) { open = open && WriteAll(fd, piece); });
            });
        std::string err = korvat::test::ReadFile(logs.File("err"));
        EXPECT_EQ(0, c.exit) << err;
        EXPECT_NE(std::string::npos, err.find("posted for")) << err;
        EXPECT_LE(c.peakKb, kPeakKb) << "peak resident size in KiB";
        EXPECT_EQ(output[0] == '-' ? "" : "big.nc\n", AllFiles(dir.path()));
    }
}

TEST(PostMemory, AJobFailingInItsLastLineLeavesNoProgramAndNoWorkFolder) {
    // 200 000 good lines, then one the front end refuses: the writer has written most of the
    // program by then, into its work folder, which goes with it.
    TempDir dir, logs;
    signal(SIGPIPE, SIG_IGN);
    std::string job = JobText(200000);
    job.resize(job.size() - 4);  // without "M30\n"
    job += "G1 X1 Q5\n";
    Child c = PostFromPipe(dir.path(), logs.File("err"), {"--machine", "iso", "-o", "out.nc"},
                           [&](int fd) { WriteAll(fd, job); });
    EXPECT_EQ(1, c.exit);
    EXPECT_EQ("korvat: -:200000:7: unsupported word Q5\n",
              korvat::test::ReadFile(logs.File("err")));
    EXPECT_EQ("", AllFiles(dir.path()));
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LE(c.peakKb, kPeakKb) << "peak resident size in KiB";
#endif
}

}  // namespace
