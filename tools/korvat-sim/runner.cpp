// The runner of a simulated device: the pseudo-terminal, pacing at the baud rate, the trace and
// log files, and the line faults.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>

#include "tools/korvat-sim/sim.h"

namespace korvat::sim {

namespace {

volatile sig_atomic_t stopRequested = 0;
void OnStopSignal(int) { stopRequested = 1; }

double NowMs() {
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return duration<double, std::milli>(steady_clock::now() - start).count();
}

// Bytes a paced direction may move: baud / 10 a second, with a burst of at most 16 bytes or
// 2 ms of line, whichever is more, so that a quiet line does not save up credit.
class Pace {
  public:
    explicit Pace(int32_t baud) : perMs_(baud / 10000.0), cap_(std::max(16.0, perMs_ * 2)) {}
    size_t Allowed(double now) {
        if (perMs_ <= 0) return 4096;
        credit_ = std::min(cap_, credit_ + (now - last_) * perMs_);
        last_ = now;
        return credit_ >= 1 ? static_cast<size_t>(credit_) : 0;
    }
    void Used(size_t n) {
        if (perMs_ > 0) credit_ -= static_cast<double>(n);
    }
    // True when a byte may go now (as of the last Allowed).
    bool HasCredit() const { return perMs_ <= 0 || credit_ >= 1; }

  private:
    double perMs_;
    double cap_;
    double credit_ = 0;
    double last_ = 0;
};

}  // namespace

class Runner {
  public:
    explicit Runner(const Options& o) : options_(o), in_(o.baud), out_(o.baud) {}
    ~Runner() {
        if (trace_) std::fclose(trace_);
        if (log_) std::fclose(log_);
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }

    int Main(const Entry& entry);

    void Send(std::string_view bytes) {
        if (options_.silent) return;
        if (options_.garbage) {
            // Printable junk without a line end: the host's answer never ends.
            for (int i = 0; i < 120; ++i) {
                junk_ = junk_ * 1103515245u + 12345u;
                out_queue_.push_back(static_cast<char>('!' + (junk_ >> 16) % 90));
            }
            return;
        }
        out_queue_.insert(out_queue_.end(), bytes.begin(), bytes.end());
    }
    void Trace(const char* line) {
        if (trace_) std::fputs(line, trace_);
    }
    void Command() { ++commands_; }
    int64_t Commands() const { return commands_; }
    void Problem(const std::string& what) {
        ++problems_;
        std::fprintf(stderr, "korvat sim: %s\n", what.c_str());
    }
    double MachineMs() const { return NowMs() * options_.speed; }
    bool LineSetUp() const {
        termios t;
        return master_ >= 0 && tcgetattr(master_, &t) == 0 &&
               (t.c_cflag != rawFlags_ || cfgetospeed(&t) != rawSpeed_);
    }
    const Options& options() const { return options_; }

  private:
    bool Open();
    // False once the line is held: nothing more is taken from it.
    bool Reading() const {
        return options_.holdAfterBytes < 0 || received_ < options_.holdAfterBytes;
    }
    bool HangupDue() const {
        return (options_.hangupAfterBytes >= 0 && received_ >= options_.hangupAfterBytes) ||
               (options_.hangupAfterCommands >= 0 && commands_ >= options_.hangupAfterCommands);
    }

    const Options& options_;
    Pace in_, out_;
    int master_ = -1;
    int slave_ = -1;         // kept open: the line keeps its raw settings between the host's opens
    tcflag_t rawFlags_ = 0;  // the line's control flags and speed as the runner opened it
    speed_t rawSpeed_ = 0;
    std::FILE* trace_ = nullptr;
    std::FILE* log_ = nullptr;
    // Stops (or resumes) what the host writes, at the terminal itself: its output is held as a
    // UART's is while the far end signals "not ready", whatever handshake the host set up.
    bool Hold(bool stop) { return tcflow(slave_, stop ? TCOOFF : TCOON) == 0; }

    static constexpr size_t kXoffAt = 256;
    static constexpr size_t kXonAt = 64;
    static constexpr size_t kReadAhead = 512;
    std::deque<unsigned char> arrived_;  // taken off the terminal, not yet passed to the device
    std::deque<char> out_queue_;
    uint32_t junk_ = 1;
    int64_t received_ = 0;
    int64_t sent_ = 0;
    int64_t commands_ = 0;
    int64_t problems_ = 0;
};

bool Runner::Open() {
    if (!options_.trace.empty() && !(trace_ = std::fopen(options_.trace.c_str(), "w"))) {
        std::fprintf(stderr, "korvat sim: %s: cannot create the trace file: %s\n",
                     options_.trace.c_str(), std::strerror(errno));
        return false;
    }
    // A move at a time, so that whoever watches the trace sees the machine's progress.
    if (trace_) std::setvbuf(trace_, nullptr, _IOLBF, 0);
    if (!options_.log.empty() && !(log_ = std::fopen(options_.log.c_str(), "wb"))) {
        std::fprintf(stderr, "korvat sim: %s: cannot create the log file: %s\n",
                     options_.log.c_str(), std::strerror(errno));
        return false;
    }
    termios raw;
    std::memset(&raw, 0, sizeof raw);
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    char name[256];
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        std::fprintf(stderr, "korvat sim: cannot open a pseudo-terminal: %s\n",
                     std::strerror(errno));
        return false;
    }
    termios opened;
    if (tcgetattr(master_, &opened) == 0) {
        rawFlags_ = opened.c_cflag;
        rawSpeed_ = cfgetospeed(&opened);
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    std::printf("%s\n", name);
    std::fflush(stdout);
    return true;
}

int Runner::Main(const Entry& entry) {
    if (!Open()) return 1;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnStopSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    Link link(*this);
    std::unique_ptr<Simulator> device = entry.make(link, options_);
    bool hungUp = false;
    // The host's writes are held from the start, so that a host that opens the line and writes
    // at once cannot run ahead before the first look at the backlog.
    bool xoff = options_.flow && Hold(true);
    unsigned char buffer[4096];
    while (!stopRequested && !hungUp) {
        double now = NowMs();
        // The line: what the host wrote is taken off the terminal a little ahead (kReadAhead
        // bytes) and passed on at the baud rate, as a UART would. While the terminal still
        // holds more, or more than kXoffAt bytes wait here, the host's writes are held until
        // the backlog has shrunk to kXonAt, so the host cannot write far ahead of the line, as
        // it cannot on a real port with a small transmit queue; what it did write ahead stays
        // in the terminal, where the host can still discard it (as after an abort).
        bool more = false;  // the terminal may hold more than was taken
        if (Reading() && arrived_.size() < kReadAhead) {
            size_t want = kReadAhead - arrived_.size();
            ssize_t r = read(master_, buffer, std::min(want, sizeof buffer));
            if (r > 0) arrived_.insert(arrived_.end(), buffer, buffer + r);
            more = r > 0 && static_cast<size_t>(r) == want;
        } else {
            more = Reading();
        }
        size_t backlog = arrived_.size();
        if (options_.flow) {
            bool wantStop = backlog > kXoffAt || more || !Reading();
            if (wantStop && !xoff)
                xoff = Hold(true);
            else if (!wantStop && xoff && backlog <= kXonAt)
                xoff = !Hold(false);
        }
        size_t n = Reading() ? std::min(in_.Allowed(now), arrived_.size()) : 0;
        if (options_.holdAfterBytes >= 0)
            n = std::min<size_t>(n, static_cast<size_t>(options_.holdAfterBytes - received_));
        for (size_t i = 0; i < n && !hungUp; ++i) {
            unsigned char b = arrived_.front();
            arrived_.pop_front();
            in_.Used(1);
            if (log_) std::fputc(b, log_);
            ++received_;
            device->Receive(b);
            hungUp = HangupDue();
        }
        device->Advance();
        hungUp = hungUp || HangupDue();
        if (!out_queue_.empty() && !hungUp) {
            size_t m = std::min(out_.Allowed(now), out_queue_.size());
            char chunk[4096];
            m = std::min(m, sizeof chunk);
            std::copy(out_queue_.begin(), out_queue_.begin() + static_cast<long>(m), chunk);
            ssize_t w = m > 0 ? write(master_, chunk, m) : 0;
            if (w > 0) {
                out_.Used(static_cast<size_t>(w));
                out_queue_.erase(out_queue_.begin(), out_queue_.begin() + w);
                sent_ += w;
            }
        }
        pollfd p{master_, 0, 0};
        // Every wait is bounded by a millisecond so that machine time goes on; a backlog is
        // worked off on the next turn without waiting for more.
        if (Reading() && arrived_.size() < kReadAhead) p.events |= POLLIN;
        if (!out_queue_.empty() && out_.HasCredit()) p.events |= POLLOUT;
        poll(&p, 1, 1);
    }
    std::string summary = device->Finish();
    if (hungUp) {
        close(master_);
        close(slave_);
        master_ = slave_ = -1;
    }
    std::fprintf(stderr, "korvat sim %s: %s; received %lld bytes, sent %lld, %lld commands%s%s\n",
                 entry.name, hungUp ? "hung up" : "stopped", static_cast<long long>(received_),
                 static_cast<long long>(sent_), static_cast<long long>(commands_),
                 summary.empty() ? "" : ", ", summary.c_str());
    if (trace_) std::fflush(trace_);
    if (log_) std::fflush(log_);
    return 0;
}

void Link::Send(std::string_view bytes) { runner_.Send(bytes); }
void Link::Move(const char* kind, double x, double y, double z) {
    char line[160];
    std::snprintf(line, sizeof line, "%s %.4f %.4f %.4f\n", kind, x, y, z);
    runner_.Trace(line);
}
void Link::Arc(double x, double y, double z, double cx, double cy, int turn) {
    char line[200];
    std::snprintf(line, sizeof line, "arc %.4f %.4f %.4f %.4f %.4f %d\n", x, y, z, cx, cy, turn);
    runner_.Trace(line);
}
void Link::Command() { runner_.Command(); }
int64_t Link::Commands() const { return runner_.Commands(); }
bool Link::FaultDue(std::string_view word) const {
    const Options& o = runner_.options();
    return o.fault == word && runner_.Commands() >= o.faultAfterCommands;
}
void Link::Problem(const std::string& what) { runner_.Problem(what); }
double Link::MachineMs() const { return runner_.MachineMs(); }
bool Link::LineSetUp() const { return runner_.LineSetUp(); }
const Options& Link::options() const { return runner_.options(); }

int Run(const Entry& entry, const Options& options) {
    Runner runner(options);
    return runner.Main(entry);
}

}  // namespace korvat::sim
