// The serial line over termios. The descriptor stays non-blocking; every wait is a poll() against
// a deadline on the monotonic clock, which is how the Windows time-out model (total = multiplier
// times bytes + constant, and a limit on the gap between received bytes) is kept exactly.
#include "platform/serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"

namespace korvat::platform {

namespace {

constexpr uint32_t kForever = UINT32_MAX;

// Waits for the descriptor to become ready for events, at most ms (0: a look without waiting;
// kForever: no limit). Returns the revents, 0 on time-out.
short Wait(int fd, short events, uint32_t ms) {
    pollfd p{fd, events, 0};
    uint32_t start = NowMs();
    for (;;) {
        int timeout = -1;
        if (ms != kForever) {
            uint32_t spent = NowMs() - start;
            timeout = spent >= ms ? 0 : static_cast<int>(ms - spent);
        }
        int r = poll(&p, 1, timeout);
        if (r > 0) return p.revents;
        if (r == 0) return 0;
        if (errno != EINTR) return POLLERR;
    }
}

// The line's far end is gone: poll says so, whatever else it says.
bool Gone(short revents) { return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0; }

// A read or write error that is not "try again" means the device is gone (EIO from a hung-up
// terminal, ENXIO or ENODEV from an unplugged adapter).
bool Failed(ssize_t r) {
    return r < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
}

// Milliseconds left until start + limit, 0 when passed; kForever for no limit.
uint32_t Left(uint32_t start, uint64_t limit) {
    if (limit == kForever) return kForever;
    uint64_t spent = NowMs() - start;
    return spent >= limit ? 0 : static_cast<uint32_t>(limit - spent);
}

speed_t BaudConstant(int32_t baud) {
    switch (baud) {
        case 50:
            return B50;
        case 75:
            return B75;
        case 110:
            return B110;
        case 134:
            return B134;
        case 150:
            return B150;
        case 200:
            return B200;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 1800:
            return B1800;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return B0;
    }
}

struct FaultCounters {
    int32_t frame, overrun, parity, bufOverrun;
};

// The driver's fault counters; false when the driver keeps none (pseudo-terminals, USB adapters
// without them).
bool ReadFaultCounters(int fd, FaultCounters* c) {
#if defined(__linux__) && defined(TIOCGICOUNT)
    serial_icounter_struct ic;
    std::memset(&ic, 0, sizeof ic);
    if (ioctl(fd, TIOCGICOUNT, &ic) != 0) return false;
    c->frame = ic.frame;
    c->overrun = ic.overrun;
    c->parity = ic.parity;
    c->bufOverrun = ic.buf_overrun;
    return true;
#else
    (void)fd;
    (void)c;
    return false;
#endif
}

// Reads "key=value" for key from a line description into out; false when missing.
bool Word(const char* text, const char* key, char* out, size_t size) {
    size_t klen = std::strlen(key);
    for (const char* p = text; *p;) {
        while (*p == ' ' || *p == '\t' || *p == ',') ++p;
        const char* w = p;
        while (*p && *p != ' ' && *p != '\t' && *p != ',') ++p;
        if (static_cast<size_t>(p - w) > klen && strncasecmp(w, key, klen) == 0 && w[klen] == '=') {
            size_t n = static_cast<size_t>(p - w) - klen - 1;
            if (n == 0 || n >= size) return false;
            std::memcpy(out, w + klen + 1, n);
            out[n] = '\0';
            return true;
        }
    }
    return false;
}

bool Number(const char* s, int32_t* v) {
    char* end;
    long n = std::strtol(s, &end, 10);
    if (end == s || *end || n <= 0 || n > 4000000) return false;
    *v = static_cast<int32_t>(n);
    return true;
}

}  // namespace

bool ParseLineDescription(const char* text, LineDescription* d) {
    if (!text || !d) return false;
    char baud[16], parity[8], data[8], stop[8];
    if (!Word(text, "baud", baud, sizeof baud) || !Word(text, "parity", parity, sizeof parity) ||
        !Word(text, "data", data, sizeof data) || !Word(text, "stop", stop, sizeof stop))
        return false;
    int32_t b, dbits;
    if (!Number(baud, &b) || !Number(data, &dbits) || dbits < 5 || dbits > 8) return false;
    char p = static_cast<char>(std::tolower(static_cast<unsigned char>(parity[0])));
    if (parity[1] || !std::strchr("noems", p)) return false;
    int32_t s;
    if (std::strcmp(stop, "1") == 0) {
        s = 1;
    } else if (std::strcmp(stop, "2") == 0 || std::strcmp(stop, "1.5") == 0) {
        s = 2;  // 1.5 stop bits exist only with 5 data bits, where the driver uses them for 2
    } else {
        return false;
    }
    d->baud = b;
    d->parity = p;
    d->dataBits = dbits;
    d->stopBits = s;
    return true;
}

bool SerialLine::Open(const char* path) {
    if (IsOpen() || !path) return false;
    std::snprintf(path_, sizeof path_, "%s", path);
    hungUp_ = 0;
    int fd;
    do fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        openError_ = errno;
        return false;
    }
    // Exclusive use: the advisory lock keeps a second user of this library (and other programs
    // that lock their line, as picocom does) away even when run as root; TIOCEXCL keeps other
    // terminal programs away, whose open then fails with EBUSY (root may open past it, as the
    // system allows, which also gets past a mode left behind by a program that was killed).
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        openError_ = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        return false;
    }
    openError_ = 0;
    isTerminal_ = isatty(fd) ? 1 : 0;
    if (isTerminal_) {
        ioctl(fd, TIOCEXCL);
        termios t;
        if (tcgetattr(fd, &t) == 0) {
            cfmakeraw(&t);
            t.c_cflag |= CLOCAL | CREAD;
            t.c_cc[VMIN] = 0;
            t.c_cc[VTIME] = 0;
            tcsetattr(fd, TCSANOW, &t);
        }
    }
    handle_ = fd + 1;
    timeouts_ = Timeouts{};
    FaultCounters c{};
    ReadFaultCounters(fd, &c);
    lastFrame_ = c.frame;
    lastOverrun_ = c.overrun;
    lastParity_ = c.parity;
    lastBufOverrun_ = c.bufOverrun;
    return true;
}

void SerialLine::Close() {
    if (!IsOpen()) return;
    int fd = Descriptor();
    if (isTerminal_) ioctl(fd, TIOCNXCL);
    close(fd);
    handle_ = 0;
    isTerminal_ = 0;
    hungUp_ = 0;
}

bool SerialLine::Configure(const LineDescription& d) {
    if (!IsOpen()) return false;
    if (!isTerminal_) return true;  // a printer port has no line settings
    int fd = Descriptor();
    termios t;
    if (tcgetattr(fd, &t) != 0) return false;
    speed_t speed = BaudConstant(d.baud);
    if (speed == B0) return false;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    t.c_cflag &= ~CMSPAR;
#endif
    switch (d.dataBits) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        default:
            t.c_cflag |= CS8;
            break;
    }
    switch (d.parity) {
        case 'o':
            t.c_cflag |= PARENB | PARODD;
            break;
        case 'e':
            t.c_cflag |= PARENB;
            break;
#ifdef CMSPAR
        case 'm':
            t.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case 's':
            t.c_cflag |= PARENB | CMSPAR;
            break;
#endif
        default:
            break;
    }
    if (d.stopBits == 2) t.c_cflag |= CSTOPB;
    // The driver has one switch for RTS/CTS in both directions; CTS output flow control is the
    // part that matters, as the machine holds CTS while its buffer is full.
    if (d.ctsOutFlow) t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (d.xonXoff) t.c_iflag |= IXON | IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(d.xonChar ? d.xonChar : 0x11);
    t.c_cc[VSTOP] = static_cast<cc_t>(d.xoffChar ? d.xoffChar : 0x13);
    t.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

void SerialLine::SetQueueSizes(uint32_t, uint32_t) {}

void SerialLine::SetTimeouts(const Timeouts& t) { timeouts_ = t; }

uint32_t SerialLine::Read(void* buffer, uint32_t n) {
    if (!IsOpen() || !buffer || n == 0 || hungUp_) return 0;
    const Timeouts& t = timeouts_;
    // Interval "forever" with no total: return at once with what is there.
    bool immediate = t.readInterval == UINT32_MAX && t.readMultiplier == 0 && t.readConstant == 0;
    uint64_t total = static_cast<uint64_t>(t.readMultiplier) * n + t.readConstant;
    if (total == 0 || total >= kForever) total = kForever;
    int fd = Descriptor();
    char* out = static_cast<char*>(buffer);
    uint32_t got = 0;
    uint32_t start = NowMs();
    uint32_t last = start;  // arrival of the last byte
    bool gone = false;      // poll said the far end is gone: one more read takes what is left
    while (got < n) {
        // A raw line without a minimum count reads 0 bytes when nothing is there, as a line
        // whose far end is gone does: only poll tells the two apart.
        ssize_t r = read(fd, out + got, n - got);
        if (r > 0) {
            got += static_cast<uint32_t>(r);
            last = NowMs();
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (gone || Failed(r)) {
            // A printer port that cannot be read has not hung up for that.
            if (isTerminal_) hungUp_ = 1;
            break;
        }
        uint32_t wait = immediate ? 0 : Left(start, total);
        if (got > 0 && t.readInterval > 0 && t.readInterval != UINT32_MAX) {
            uint32_t gap = Left(last, t.readInterval);
            if (gap < wait) wait = gap;
        }
        short ev = Wait(fd, POLLIN, wait);
        gone = Gone(ev);
        if (!gone && !(ev & POLLIN)) break;  // the time is up
    }
    return got;
}

uint32_t SerialLine::Write(const void* buffer, uint32_t n) {
    if (!IsOpen() || !buffer || hungUp_) return 0;
    uint64_t total = static_cast<uint64_t>(timeouts_.writeMultiplier) * n + timeouts_.writeConstant;
    if (total == 0 || total >= kForever) total = kForever;
    int fd = Descriptor();
    const char* in = static_cast<const char*>(buffer);
    uint32_t done = 0;
    uint32_t start = NowMs();
    bool saidReady = false;  // the last poll said "ready" (a printer port always says so)
    bool gone = false;       // poll said the far end is gone: the next write tells for sure
    while (done < n) {
        ssize_t w = write(fd, in + done, n - done);
        if (w > 0) {
            done += static_cast<uint32_t>(w);
            saidReady = false;
            gone = false;
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (gone || Failed(w)) {
            hungUp_ = 1;
            break;
        }
        uint32_t wait = Left(start, total);
        if (wait == 0) break;
        // A device whose poll says ready while it is still busy is retried every millisecond
        // instead of in a busy loop.
        if (saidReady) Sleep(1);
        short ev = Wait(fd, POLLOUT, wait);
        gone = Gone(ev);
        saidReady = ev & POLLOUT;
        if (ev == 0) break;
    }
    return done;
}

LineState SerialLine::ClearErrors() {
    LineState s{};
    if (!IsOpen()) return s;
    int fd = Descriptor();
    FaultCounters c;
    if (ReadFaultCounters(fd, &c)) {
        if (c.frame != lastFrame_) s.faults |= kFaultFraming;
        if (c.overrun != lastOverrun_) s.faults |= kFaultOverrun;
        if (c.parity != lastParity_) s.faults |= kFaultParity;
        if (c.bufOverrun != lastBufOverrun_) s.faults |= kFaultRxOverflow;
        lastFrame_ = c.frame;
        lastOverrun_ = c.overrun;
        lastParity_ = c.parity;
        lastBufOverrun_ = c.bufOverrun;
    }
    int q = 0;
    if (ioctl(fd, FIONREAD, &q) == 0 && q > 0) s.inQueue = static_cast<uint32_t>(q);
    q = 0;
    if (isTerminal_ && ioctl(fd, TIOCOUTQ, &q) == 0 && q > 0) s.outQueue = static_cast<uint32_t>(q);
    // Nothing left to read and the far end gone: the line hung up.
    if (isTerminal_ && s.inQueue == 0 && Gone(Wait(fd, POLLIN, 0))) hungUp_ = 1;
    return s;
}

void SerialLine::Purge(bool received, bool unsent) {
    if (!IsOpen() || !isTerminal_ || (!received && !unsent)) return;
    tcflush(Descriptor(), received && unsent ? TCIOFLUSH : received ? TCIFLUSH : TCOFLUSH);
}

bool SerialLine::CtsOn() const {
    if (!IsOpen()) return false;
    int bits = 0;
    if (!isTerminal_ || ioctl(Descriptor(), TIOCMGET, &bits) != 0) return true;
    return (bits & TIOCM_CTS) != 0;
}

bool ResolveDeviceName(const char* name, char* out, size_t size) {
    if (!name || !out || size == 0) return false;
    const char* n = name;
    if (std::strncmp(n, "\\\\.\\", 4) == 0) n += 4;
    const char* kind = nullptr;
    const char* dev = nullptr;
    if (strncasecmp(n, "COM", 3) == 0) {
        kind = "COM";
        dev = "/dev/ttyS";
    } else if (strncasecmp(n, "LPT", 3) == 0) {
        kind = "LPT";
        dev = "/dev/lp";
    }
    char* end = nullptr;
    long number = kind ? std::strtol(n + 3, &end, 10) : 0;
    int w;
    if (kind && end != n + 3 && *end == '\0' && number >= 1 && number <= 255) {
        char var[32];
        std::snprintf(var, sizeof var, "KORVAT_%s%ld", kind, number);
        const char* env = std::getenv(var);
        if (env && *env) {
            w = std::snprintf(out, size, "%s", env);
        } else {
            w = std::snprintf(out, size, "%s%ld", dev, number - 1);
        }
    } else {
        w = std::snprintf(out, size, "%s", name);
    }
    return w >= 0 && static_cast<size_t>(w) < size;
}

}  // namespace korvat::platform
