// The keyboard of the terminal read key by key, for the programs' interactive sessions (the
// tablet simulator's cursor, korvat digitize's Escape): once started, a terminal on standard
// input gives every key at once and shows none of them, until the object is destroyed. Ctrl-C
// still raises SIGINT.
#pragma once

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace korvat {

class RawKeys {
  public:
    RawKeys() = default;
    RawKeys(const RawKeys&) = delete;
    RawKeys& operator=(const RawKeys&) = delete;
    // Gives the terminal its own settings back.
    ~RawKeys() {
        if (terminal_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }

    // Sets a terminal on standard input to give keys one by one, without echo and without
    // waiting for them; anything else on standard input is left as it is.
    void Start() {
        terminal_ = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_) == 0;
        if (!terminal_) return;
        termios raw = saved_;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    // True when standard input is a terminal set up by Start.
    bool terminal() const { return terminal_; }
    // The next byte waiting on standard input, or -1 when none is (never waits). An arrow key
    // comes as 27 '[' and 'A' (up), 'B' (down), 'C' (right) or 'D' (left).
    int Next() const {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, 0) != 1 || !(p.revents & POLLIN)) return -1;
        unsigned char c;
        return read(STDIN_FILENO, &c, 1) == 1 ? c : -1;
    }

  private:
    bool terminal_ = false;
    termios saved_{};
};

}  // namespace korvat
