// The serial line's Windows time-out model on a pseudo-terminal, its line descriptions and
// device names. Bounds on times are generous: they show that a time-out happened, not its speed.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/serial_line.h"
#include "support/golden.h"
#include "support/pty.h"

namespace korvat::test {
namespace {

using platform::SerialLine;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

TEST(LineDescription, ParsesTheChannelsText) {
    platform::LineDescription d{};
    ASSERT_TRUE(platform::ParseLineDescription("baud=9600 parity=e data=8 stop=2", &d));
    EXPECT_EQ(d.baud, 9600);
    EXPECT_EQ(d.parity, 'e');
    EXPECT_EQ(d.dataBits, 8);
    EXPECT_EQ(d.stopBits, 2);
    ASSERT_TRUE(platform::ParseLineDescription("BAUD=19200 PARITY=N DATA=7 STOP=1", &d));
    EXPECT_EQ(d.parity, 'n');
    EXPECT_EQ(d.stopBits, 1);
    EXPECT_FALSE(platform::ParseLineDescription("baud=0 parity=n data=8 stop=1", &d));
    EXPECT_FALSE(platform::ParseLineDescription("baud=9600 parity=x data=8 stop=1", &d));
    EXPECT_FALSE(platform::ParseLineDescription("baud=9600 parity=n data=9 stop=1", &d));
    EXPECT_FALSE(platform::ParseLineDescription("baud=9600 parity=n data=8", &d));
    EXPECT_FALSE(platform::ParseLineDescription(nullptr, &d));
}

TEST(DeviceNames, ComeFromTheEnvironmentOrTheSystemsDevices) {
    char out[64];
    setenv("KORVAT_COM7", "/dev/ttyUSB0", 1);
    EXPECT_TRUE(platform::ResolveDeviceName("\\\\.\\COM7", out, sizeof out));
    EXPECT_STREQ(out, "/dev/ttyUSB0");
    unsetenv("KORVAT_COM7");
    EXPECT_TRUE(platform::ResolveDeviceName("\\\\.\\COM7", out, sizeof out));
    EXPECT_STREQ(out, "/dev/ttyS6");
    unsetenv("KORVAT_LPT2");
    EXPECT_TRUE(platform::ResolveDeviceName("\\\\.\\LPT2", out, sizeof out));
    EXPECT_STREQ(out, "/dev/lp1");
    EXPECT_TRUE(platform::ResolveDeviceName("/dev/ttyACM0", out, sizeof out));
    EXPECT_STREQ(out, "/dev/ttyACM0");
    EXPECT_FALSE(platform::ResolveDeviceName("\\\\.\\COM7", out, 5));
}

class SerialLinePty : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(line.Open(peer.SlavePath().c_str())); }
    void TearDown() override { line.Close(); }
    PtyPeer peer;
    SerialLine line{};
};

TEST_F(SerialLinePty, ReadWaitsMultiplierTimesBytesPlusConstant) {
    line.SetTimeouts({0, 10, 100, 0, 0});  // 5 bytes: 150 ms
    char buf[8];
    auto start = Clock::now();
    EXPECT_EQ(line.Read(buf, 5), 0u);
    EXPECT_GE(MsSince(start), 140);
    EXPECT_LT(MsSince(start), 2000);

    peer.Send("abcde");
    EXPECT_EQ(line.Read(buf, 5), 5u);
    EXPECT_EQ(std::string(buf, 5), "abcde");
}

TEST_F(SerialLinePty, ReadEndsWhenTheGapAfterAByteExceedsTheInterval) {
    line.SetTimeouts({50, 0, 5000, 0, 0});
    peer.Send("AB");
    char buf[10];
    auto start = Clock::now();
    EXPECT_EQ(line.Read(buf, 10), 2u);
    EXPECT_LT(MsSince(start), 2500);

    // Interval "forever" with no total returns at once with what is there.
    line.SetTimeouts({UINT32_MAX, 0, 0, 0, 0});
    start = Clock::now();
    EXPECT_EQ(line.Read(buf, 10), 0u);
    EXPECT_LT(MsSince(start), 100);
}

TEST_F(SerialLinePty, WriteToAMachineThatDoesNotReadTimesOutWithWhatWentOut) {
    line.SetTimeouts({0, 0, 0, 0, 100});
    std::string block(200000, 'x');
    auto start = Clock::now();
    uint32_t n = line.Write(block.data(), static_cast<uint32_t>(block.size()));
    EXPECT_GT(n, 0u);
    EXPECT_LT(n, block.size());
    EXPECT_GE(MsSince(start), 90);
    EXPECT_EQ(peer.Receive(n + 1, 1000).size(), n);  // exactly what was reported went out
    platform::LineState s = line.ClearErrors();
    EXPECT_EQ(s.faults, 0u);    // a pseudo-terminal counts no faults
    EXPECT_TRUE(line.CtsOn());  // nor has it modem lines
}

TEST_F(SerialLinePty, PurgeDropsReceivedBytesAndQueuesAreReported) {
    peer.Send("xyz");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(line.ClearErrors().inQueue, 3u);
    line.Purge(true, true);
    EXPECT_EQ(line.ClearErrors().inQueue, 0u);
}

TEST_F(SerialLinePty, ClosedLinesFailQuietlyAndOpenIsExclusive) {
    SerialLine second{};
    EXPECT_FALSE(second.Open(peer.SlavePath().c_str()));
    char c;
    EXPECT_EQ(second.Read(&c, 1), 0u);
    EXPECT_EQ(second.Write("x", 1), 0u);
    EXPECT_FALSE(second.CtsOn());
    line.Close();
    EXPECT_TRUE(second.Open(peer.SlavePath().c_str()));
    second.Close();
    EXPECT_FALSE(second.Open("/nonexistent/tty"));
}

TEST_F(SerialLinePty, AHangUpEndsReadsAndWritesAtOnceUntilTheLineIsOpenedAgain) {
    line.SetTimeouts({0, 0, 5000, 0, 5000});
    peer.HangUp();
    char buf[8];
    auto start = Clock::now();
    EXPECT_EQ(line.Read(buf, 8), 0u);
    EXPECT_TRUE(line.HungUp());
    EXPECT_EQ(line.Write("xyz", 3), 0u);
    EXPECT_EQ(line.Read(buf, 1), 0u);
    EXPECT_LT(MsSince(start), 1000);  // not the 5 s the time-outs allow
    line.Close();
    EXPECT_FALSE(line.HungUp());
}

TEST_F(SerialLinePty, AWriteThatIsWaitingNoticesTheHangUp) {
    line.SetTimeouts({0, 0, 0, 0, 10000});
    std::thread machine([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        peer.HangUp();
    });
    std::string block(200000, 'x');  // more than the pseudo-terminal holds
    auto start = Clock::now();
    uint32_t n = line.Write(block.data(), static_cast<uint32_t>(block.size()));
    machine.join();
    EXPECT_LT(n, block.size());
    EXPECT_TRUE(line.HungUp());
    EXPECT_LT(MsSince(start), 5000);
}

TEST_F(SerialLinePty, ALineHeldByAnotherProgramIsBusyWithItsPath) {
    // Held by this library elsewhere, even when run as root.
    SerialLine second{};
    EXPECT_FALSE(second.Open(peer.SlavePath().c_str()));
    EXPECT_EQ(second.OpenError(), EBUSY);
    EXPECT_EQ(std::string(second.Path()), peer.SlavePath());
    line.Close();
    // Held by another program that locks its line.
    int other = open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(second.Open(peer.SlavePath().c_str()));
    EXPECT_EQ(second.OpenError(), EBUSY);
    close(other);
    // Missing is not busy.
    EXPECT_FALSE(second.Open("/nonexistent/tty"));
    EXPECT_EQ(second.OpenError(), ENOENT);
    EXPECT_TRUE(line.Open(peer.SlavePath().c_str()));
}

}  // namespace
}  // namespace korvat::test
