// The simulators and the runner's line faults, seen from the host's end of the line: a plain
// terminal opened on the path the simulator printed.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "support/golden.h"
#include "support/sim.h"

namespace {

using korvat::test::SimProcess;
using korvat::test::TempDir;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The host's end of the line.
class Host {
  public:
    explicit Host(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd_, 0) << path;
        termios t;
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~Host() {
        if (fd_ >= 0) close(fd_);
    }
    // Writes everything (at most 5 s); returns the number of bytes the line took.
    size_t Write(const std::string& bytes, int timeout_ms = 5000) {
        size_t done = 0;
        auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (done < bytes.size() && Clock::now() < until) {
            ssize_t w = write(fd_, bytes.data() + done, bytes.size() - done);
            if (w > 0)
                done += static_cast<size_t>(w);
            else
                poll(nullptr, 0, 2);
        }
        return done;
    }
    // Reads until the text ends with a line end, n bytes came, or timeout_ms passed.
    std::string Read(int timeout_ms, size_t n = 4096) {
        std::string got;
        auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (got.size() < n && Clock::now() < until) {
            if (!got.empty() && got.back() == '\n') break;
            char c[256];
            ssize_t r = read(fd_, c, std::min(sizeof c, n - got.size()));
            if (r > 0)
                got.append(c, static_cast<size_t>(r));
            else if (r < 0 && errno == EIO)
                break;  // hung up
            else
                poll(nullptr, 0, 2);
        }
        return got;
    }
    std::string Ask(const std::string& query) {
        Write(query);
        return Read(2000);
    }
    bool HungUp() {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, 100) == 1 && (p.revents & POLLHUP) != 0;
    }

  private:
    int fd_ = -1;
};

const std::string kEsc = "\x1b";

// The start-up of a cold controller as the driver runs it: header, reference run, axis constant.
void StartUp(Host& host) {
    EXPECT_EQ("OSC0\r\n", host.Ask(kEsc + "OS"));
    host.Write(std::string(39, '\x04') + "GX 1000.000 1000.000 1000.000 0.000\r\n" +
               " 0.000 0.000 0.000 0.000\r\n\x03\r\n!V--\r\n");
    EXPECT_EQ("OE\r\n", host.Ask(kEsc + "OE"));
    EXPECT_EQ("OX 1500.000\r\n", host.Ask("\rOX "));
    host.Write("500.000\r\n111111111111111 0\r\n VJ 1.000 2.000 3.00\r\n\x0f");
}

TEST(B268Simulator, AnswersQueriesFollowsCommandsAndTracesMoves) {
    TempDir dir;
    std::string trace = dir.File("trace1.txt");
    SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0", "--speed", "1000", "--trace", trace});
    Host host(sim.Path());
    StartUp(host);
    host.Write(
        "V 6.000 1.000 1.000 1.000 1.000\r\n"
        "ZE 10.000 10.000 5.000\r\n\x0e"
        "Z 10.000 10.000 -1.000\r\n"
        "D 20.000 10.000\r\n"
        "AM 10.000 10.000 90.000000 10.0000\r\n"
        "LW 1 1 0.500\r\n"
        "AM 10.000 10.000 -90.000000 10.0000\r\n"
        "MZ 5.000\r\n"
        "ZS 45.000\r\n\x0f");
    // Let the machine catch up: it is idle when the status has no B.
    std::string status;
    for (int i = 0; i < 200 && (status = host.Ask(kEsc + "OS")) != "OS0N\r\n"; ++i)
        poll(nullptr, 0, 10);
    EXPECT_EQ("OS0N\r\n", status) << "a measured point waits";
    EXPECT_EQ("On7 10.000 20.000 1.000\r\n", host.Ask(kEsc + "On"));
    EXPECT_EQ("OS0\r\n", host.Ask(kEsc + "OS"));
    EXPECT_EQ("OB16000\r\n", host.Ask(kEsc + "OB"));
    EXPECT_EQ("Op7 20.000 10.000 5.000\r\n", host.Ask(kEsc + "Op"));
    EXPECT_EQ("Oo? 20.000 10.000 5.000 45.000\r\n", host.Ask(kEsc + "Oo"));
    EXPECT_EQ("Or@\r\n", host.Ask(kEsc + "Or"));
    EXPECT_EQ("O*\r\n", host.Ask(kEsc + "O*H\r\n"));
    EXPECT_EQ("OS0h\r\n", host.Ask(kEsc + "OS"));
    EXPECT_EQ("OrH\r\n", host.Ask(kEsc + "Or"));
    std::string err = sim.Stop();
    EXPECT_NE(std::string::npos,
              err.find("2 blocks, longest run without a block close 8 commands, buffer overruns "
                       "0, aborts 0, 0 commands not carried out"))
        << err;
    EXPECT_EQ(std::string::npos, err.find("korvat sim: ")) << "no problems noticed: " << err;
    EXPECT_EQ(
        "rapid 10.0000 10.0000 5.0000\n"
        "feed 10.0000 10.0000 -1.0000\n"
        "feed 20.0000 10.0000 -1.0000\n"
        "arc 10.0000 20.0000 -1.0000 10.0000 10.0000 1\n"
        "arc 20.0000 10.0000 -1.0000 10.0000 10.0000 -1\n"
        "rapid 20.0000 10.0000 5.0000\n"
        "rotary 45.0000 0.0000 0.0000\n",
        korvat::test::ReadFile(trace));
}

TEST(B268Simulator, BufferFillsAtMachineSpeedAndAbortEmptiesIt) {
    // 10 mm at 0.06 m/min takes 10 s: the commands stay in the buffer.
    SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0", "--set", "buffer=100", "--set",
                                    "wait=60", "--set", "cold=0"});
    Host host(sim.Path());
    EXPECT_EQ("OS0\r\n", host.Ask(kEsc + "OS"));
    host.Write(
        "V 0.060 0.060 0.060 0.060 0.060\r\n\x0e"
        "D 10.000 0.000\r\nD 0.000 0.000\r\n");
    EXPECT_EQ("OB69\r\n", host.Ask(kEsc + "OB"))
        << "lines of 14 and 13 characters with their line ends";
    host.Write("D 10.000 0.000\r\nD 0.000 0.000\r\nD 10.000 0.000\r\n");
    EXPECT_EQ("OSBb\r\n", host.Ask(kEsc + "OS"));
    EXPECT_EQ("OB22\r\n", host.Ask(kEsc + "OB"));
    host.Write("D 10.000 0.000\r\nD 0.000 0.000\r\n");
    EXPECT_EQ("OB-9\r\n", host.Ask(kEsc + "OB"));
    EXPECT_EQ("O*\r\n", host.Ask(kEsc + "O*A\r\n"));
    EXPECT_EQ("OB100\r\n", host.Ask(kEsc + "OB"));
    EXPECT_EQ("OS0\r\n", host.Ask(kEsc + "OS"));
    std::string err = sim.Stop();
    EXPECT_NE(std::string::npos, err.find("korvat sim: buffer overrun: 15 bytes with 6 free\n"))
        << err;
    EXPECT_NE(std::string::npos, err.find("buffer overruns 1, aborts 1, 0 commands not carried"))
        << err;
}

TEST(B268Simulator, DeviceFaultsShowInTheStatus) {
    {
        SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0", "--set", "cold=0", "--fault", "A",
                                        "--fault-after", "2"});
        Host host(sim.Path());
        EXPECT_EQ("OS0\r\n", host.Ask(kEsc + "OS"));
        host.Write("V 1.000\r\nV 1.000\r\n");
        EXPECT_EQ("OSA0\r\n", host.Ask(kEsc + "OS"));
    }
    {
        SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0", "--set", "cold=0", "--fault", "C"});
        Host host(sim.Path());
        EXPECT_EQ("OSC0\r\n", host.Ask(kEsc + "OS"));
    }
    {
        // A reference run that never ends.
        SimProcess sim(KORVAT_PROGRAM,
                       {"b268", "--baud", "0", "--fault", "busy", "--speed", "100"});
        Host host(sim.Path());
        host.Write(std::string(39, '\x04') +
                   "GX 1.000 1.000 1.000 0.000\r\n 0 0 0 0\r\n\x03\r\n"
                   "!V--\r\n");
        EXPECT_EQ("OE\r\n", host.Ask(kEsc + "OE"));
        poll(nullptr, 0, 100);
        EXPECT_EQ("OSCB\r\n", host.Ask(kEsc + "OS"));
        EXPECT_EQ("Or@\r\n", host.Ask(kEsc + "Or"));
    }
}

TEST(SimulatorLine, FaultFlagsActOnTheLine) {
    {
        SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0", "--silent"});
        Host host(sim.Path());
        host.Write(kEsc + "OS");
        EXPECT_EQ("", host.Read(500));
    }
    {
        SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0", "--garbage"});
        Host host(sim.Path());
        host.Write(kEsc + "OS");
        std::string junk = host.Read(2000, 120);
        EXPECT_EQ("", host.Read(200)) << "nothing more";
        EXPECT_EQ(120u, junk.size());
        EXPECT_EQ(std::string::npos, junk.find_first_of("\r\n\x03\x04"));
    }
    {
        SimProcess sim(KORVAT_PROGRAM,
                       {"b268", "--baud", "0", "--set", "cold=0", "--hangup-after-commands", "2"});
        Host host(sim.Path());
        host.Write("V 1.000\r\nV 2.000\r\n");
        EXPECT_TRUE(sim.WaitExit(5000)) << "the simulator ends when it hangs up";
        EXPECT_TRUE(host.HungUp());
        EXPECT_NE(std::string::npos,
                  sim.Stop().find("hung up; received 18 bytes, sent 0, 2 commands"))
            << sim.Stop();
    }
    {
        // A line that is never read fills up: the host's writes stop being taken.
        SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "0", "--hold-after-bytes", "0"});
        Host host(sim.Path());
        std::string lots(1 << 20, 'x');
        EXPECT_LT(host.Write(lots, 1000), lots.size());
    }
}

TEST(SimulatorLine, BaudRatePacesBothDirections) {
    TempDir dir;
    std::string log = dir.File("log.bin");
    SimProcess sim(KORVAT_PROGRAM, {"b268", "--baud", "2400", "--set", "cold=0", "--log", log});
    Host host(sim.Path());
    // 240 bytes at 240 bytes a second: about a second (generous bounds).
    std::string lines;
    for (int i = 0; i < 24; ++i) lines += "V 1.0000\r\n";
    auto start = Clock::now();
    host.Write(lines);
    EXPECT_EQ("OS0\r\n", host.Ask(kEsc + "OS"));
    EXPECT_GT(Seconds(start), 0.8);
    EXPECT_EQ(lines + kEsc + "OS", (sim.Stop(), korvat::test::ReadFile(log)));
}

}  // namespace
