// A pseudo-terminal peer for tests of serial code: the library opens the slave side by name (the
// peer exports it as KORVAT_COMn or KORVAT_LPTn), and the test plays the machine on the master
// side: it sends the machine's answers and reads what the library sent, either on demand or with
// a background reader that can be started and stopped (a machine that stops reading makes the
// library's writes time out once the pseudo-terminal's buffer is full).
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace korvat::test {

class PtyPeer {
  public:
    // Opens a pseudo-terminal with a raw slave. Fails the test when none can be had.
    PtyPeer();
    // Stops the reader, restores the environment variable and closes both sides.
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& SlavePath() const { return slave_path_; }
    // The test's own descriptor of the slave side (to look at the line settings).
    int Slave() const { return slave_; }
    // Sets the environment variable (e.g. "KORVAT_COM3") to the slave's path until destroyed.
    void ExportAs(const std::string& variable);

    // Sends bytes as the machine does (all of them; fails the test when they cannot be written).
    void Send(const std::string& bytes);
    // Reads what the library sent: waits until n bytes came or timeout_ms passed.
    std::string Receive(size_t n, int timeout_ms);

    // The machine hangs up: stops reading and closes the master side, so the line's far end is
    // gone for good (the slave reads end of file and writes fail with EIO).
    void HangUp();

    // Background reading: everything that arrives is collected until StopReading.
    void StartReading();
    void StopReading();
    // Waits until at least n bytes were collected or timeout_ms passed; returns what was collected.
    std::string WaitCollected(size_t n, int timeout_ms);
    std::string Collected();

  private:
    void ReaderLoop();

    int master_ = -1;
    int slave_ = -1;  // kept open so the line does not hang up between the library's opens
    std::string slave_path_;
    std::string variable_;
    std::thread reader_;
    std::atomic<bool> reading_{false};
    std::mutex lock_;
    std::condition_variable arrived_;
    std::string collected_;
};

}  // namespace korvat::test
