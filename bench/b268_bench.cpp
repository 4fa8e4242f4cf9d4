// The B268 driver on a line: how much of a 9600 baud line a job uses when the controller never
// makes it wait (line use = bytes sent / (elapsed seconds × 960 bytes a second); the rest is
// the status polls' turnaround), against the simulated controller of `korvat sim b268`; and the
// time the driver spends per command, writing to a file, against a plain snprintf of the line.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_folder.h"
#include "channel/cx268io.h"
#include "online/b268/b268.h"

extern char** environ;

namespace {

// `korvat sim b268` at 9600 baud with a buffer that never fills; returns its line's path.
std::string StartSim(pid_t* pid) {
    int out[2];
    if (pipe(out) != 0) return "";
    const char* argv[] = {KORVAT_PROGRAM, "sim",    "b268",  "--baud",          "9600",
                          "--set",        "cold=0", "--set", "buffer=10000000", "--speed",
                          "1000",         nullptr};
    posix_spawn_file_actions_t a;
    posix_spawn_file_actions_init(&a);
    posix_spawn_file_actions_adddup2(&a, out[1], 1);
    posix_spawn_file_actions_addopen(&a, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(pid, KORVAT_PROGRAM, &a, nullptr, const_cast<char* const*>(argv), environ))
        return "";
    close(out[1]);
    std::string path;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') path += c;
    close(out[0]);
    return path;
}

void LineUse(benchmark::State& state) {
    pid_t pid;
    std::string path = StartSim(&pid);
    if (path.empty()) {
        state.SkipWithError("korvat sim did not start");
        return;
    }
    setenv("KORVAT_COM3", path.c_str(), 1);
    BenchFolder folder;
    std::string base = folder.path() + "/sent";
    double bytes = 0, seconds = 0;
    for (auto _ : state) {
        MaschEinstellung s{};
        s.Schnittstelle = 3;
        s.Handshake = 1;
        s.Baudrate = 9600;
        s.Datenbits = 8;
        std::strcpy(s.Dateiendung, "bin");
        int opened = 0;
        cx268io = CCX268IO{};
        // Port and file: the file keeps every byte sent, queries included.
        cx268io.popen(1, 1, &s, base.c_str(), &opened, 1);
        B268 b;
        b.LetzteAbfrage = -5000;
        auto start = std::chrono::steady_clock::now();
        b.Move3(0, 0, 5);
        for (int i = 0; i < 400; ++i) b.Draw((i % 40) * 1.5, (i / 40) * 2.25);
        // One more status poll: its answer comes once the controller has read everything.
        b.MFStatus();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (cx268io.Fehlerflag) state.SkipWithError("the line stopped");
        bytes += static_cast<double>(cx268io.GebeDateiZeiger());
        cx268io.pclose(2, 1);
    }
    state.counters["line_use_percent"] = 100.0 * bytes / (seconds * 960.0);
    state.counters["bytes"] = bytes / static_cast<double>(state.iterations());
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}
BENCHMARK(LineUse)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// Time per command: Draw through the driver into the channel's file buffer.
void DriverPerCommand(benchmark::State& state) {
    BenchFolder folder;
    std::string base = folder.path() + "/draw";
    MaschEinstellung s{};
    std::strcpy(s.Dateiendung, "bin");
    int opened = 0;
    cx268io = CCX268IO{};
    cx268io.popen(1, 0, &s, base.c_str(), &opened, 1);
    B268 b;
    int i = 0;
    for (auto _ : state) {
        b.Draw((i % 40) * 1.5, (i / 40 % 1000) * 2.25);
        ++i;
    }
    cx268io.pclose(2, 1);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DriverPerCommand);

// The reference: formatting the same line with snprintf.
void SnprintfPerCommand(benchmark::State& state) {
    char line[64];
    int i = 0;
    for (auto _ : state) {
        std::snprintf(line, sizeof line, "D %1.3f %1.3f\r\n", (i % 40) * 1.5,
                      (i / 40 % 1000) * 2.25);
        benchmark::DoNotOptimize(line);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SnprintfPerCommand);

}  // namespace
