// korvat send: drives a machine online. Opens the library's channel on the machine's line, runs
// the driver's set-up in the host's order, streams the job through the driver, shows the
// progress and the controller's state on a terminal, and stops cleanly on Escape or Ctrl-C.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "channel/cx268io.h"
#include "common/fxtexte.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "tools/korvat/drivers/driver.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/program.h"
#include "tools/korvat/recorder.h"
#include "tools/korvat/unattended_dialogs.h"
#include "tools/korvat/verbs/verb.h"

namespace korvat::tool {
namespace {

struct SendOptions {
    std::string job;
    std::string machine;
    std::string port;
    std::string onTimeout;  // empty: the program's --on-timeout
    int fromLine = 0;
    bool step = false;  // single step: one acknowledged block a line
    bool yes = false;   // confirm the operator's boxes without a terminal
};

// Code page 1252 text (the library's messages) for a UTF-8 terminal; the few characters of
// 0x80-0x9F that have no Latin-1 place show as '?'.
std::string Utf8(const char* text) {
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        unsigned c = *p;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0xA0) {
            out += '?';
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// "error 1021: <text>" for a library error number.
std::string ErrorText(int code) {
    char text[256] = "";
    LadeRcString(static_cast<int16_t>(code), text, 255);
    return "error " + std::to_string(code) + (text[0] ? ": " + Utf8(text) : "");
}

// The operator's questions (go on after a time-out, 1018/1019) go to the handler the program
// installed (the terminal, or --on-timeout without one); --on-timeout given to send itself
// takes the place of the program's. Remembers the last question's number, which the channel
// does not keep once it was declined, and hands the terminal to the question meanwhile.
class SendDialogs : public platform::DialogHandler {
  public:
    SendDialogs(bool terminal, const std::string& onTimeout, bool yes)
        : inner_(&platform::Dialogs()), terminal_(terminal), yes_(yes) {
        if (!terminal && !onTimeout.empty()) {
            own_ = std::make_unique<UnattendedDialogs>(onTimeout == "wait" ? OnTimeout::Wait
                                                                           : OnTimeout::Abort);
            inner_ = own_.get();
        }
    }
    int MessageBox(HWND owner, const char* text, const char* caption, unsigned style) override {
        int code = 0;
        bool question = caption && std::sscanf(caption, "Fehlernummer %d", &code) == 1;
        if (question) lastQuestion = code;
        if (!question && !terminal_) {
            // The machine asks the operator to act (clamp a tool, a new workpiece): confirmed
            // only by --yes, never silently; otherwise the job stops here.
            std::string t = Utf8(text ? text : "");
            std::replace(t.begin(), t.end(), '\n', ' ');
            std::replace(t.begin(), t.end(), '\t', ' ');
            if (yes_) {
                std::fprintf(stderr, "korvat: the machine asks: %s - confirmed (--yes)\n",
                             t.c_str());
                return platform::DefaultAnswer(style);
            }
            unanswered = "the machine asks the operator: " + t +
                         " - there is no terminal to confirm it (--yes confirms such boxes)";
            cx268io.SetzeAbbruchTaste();
            return platform::DefaultAnswer(style);
        }
        if (pause) pause(true);
        int answer = inner_->MessageBox(owner, text, caption, style);
        if (pause) pause(false);
        return answer;
    }
    void InfoBox(HWND owner, const char* title, const char* text) override {
        inner_->InfoBox(owner, title, text);
    }
    int TextInput(HWND owner, const char* title, const char* prompt, char* text,
                  int maxLength) override {
        return inner_->TextInput(owner, title, prompt, text, maxLength);
    }
    int lastQuestion = 0;
    std::string unanswered;  // an operator's box that could not be asked: why the job stopped
    // Hands the terminal to a question and back (the abort keys leave it alone meanwhile).
    std::function<void(bool)> pause;

  private:
    platform::DialogHandler* inner_;
    std::unique_ptr<UnattendedDialogs> own_;
    bool terminal_, yes_;
};

// Escape on the terminal and Ctrl-C (SIGINT, also SIGTERM) become the Escape key event that the
// library's keyboard poll looks for, so an abort is seen inside the library's waits too.
int signalPipe[2] = {-1, -1};
void OnSignal(int) {
    char c = 1;
    (void)!write(signalPipe[1], &c, 1);
}

class AbortKeys {
  public:
    explicit AbortKeys(bool terminal) : terminal_(terminal) {
        if (pipe(signalPipe) != 0) signalPipe[0] = signalPipe[1] = -1;
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = OnSignal;
        sigaction(SIGINT, &sa, &oldInt_);
        sigaction(SIGTERM, &sa, &oldTerm_);
        if (terminal_ && tcgetattr(STDIN_FILENO, &saved_) == 0) {
            keys_ = saved_;
            keys_.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
            keys_.c_cc[VMIN] = 1;
            keys_.c_cc[VTIME] = 0;
            tcsetattr(STDIN_FILENO, TCSANOW, &keys_);
            restore_ = true;
        }
        watcher_ = std::thread([this] { Watch(); });
    }
    ~AbortKeys() {
        running_ = false;
        watcher_.join();
        if (restore_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
        close(signalPipe[0]);
        close(signalPipe[1]);
    }
    bool requested() const { return requested_; }
    // The terminal's keys are the dialogs' while a question is asked: its own settings back,
    // and no watching.
    void Pause(bool pause) {
        paused_ = pause;
        if (restore_) tcsetattr(STDIN_FILENO, TCSANOW, pause ? &saved_ : &keys_);
    }

  private:
    void Watch() {
        while (running_) {
            pollfd p[2] = {{signalPipe[0], POLLIN, 0},
                           {terminal_ && !paused_ ? STDIN_FILENO : -1, POLLIN, 0}};
            if (poll(p, 2, 50) <= 0) continue;
            char c = 0;
            bool abort = false;
            if (p[0].revents & POLLIN) abort = read(signalPipe[0], &c, 1) == 1;
            if ((p[1].revents & POLLIN) && read(STDIN_FILENO, &c, 1) == 1 && c == 27) abort = true;
            if (abort) {
                requested_ = true;
                platform::PostEvent({platform::Event::KeyDown, VK_ESCAPE, nullptr});
            }
        }
    }
    bool terminal_;
    bool restore_ = false;
    termios saved_{}, keys_{};
    struct sigaction oldInt_ {
    }, oldTerm_{};
    std::thread watcher_;
    std::atomic<bool> running_{true}, paused_{false}, requested_{false};
};

std::string Clock(double seconds) {
    char t[32];
    int s = static_cast<int>(seconds);
    std::snprintf(t, sizeof t, "%d:%02d", s / 60, s % 60);
    return t;
}

// The safe way back into a job at call `from`: the state in force there (feeds, tool, spindle),
// a rapid to the job's highest Z, to the XY where the call starts, then down at the plunge feed.
void Reenter(const std::vector<Call>& calls, size_t from, Sink& sink) {
    double x = 0, y = 0, z = 0, safe = -1e300;
    const Call* feeds = nullptr;
    const Call* feed = nullptr;
    const Call* tool = nullptr;
    const Call* speed = nullptr;
    const Call* spindle = nullptr;
    for (size_t i = 0; i < calls.size(); ++i) {
        const Call& c = calls[i];
        bool before = i < from;
        switch (c.op) {
            case Op::Move3:
            case Op::Draw3:
                safe = std::max(safe, c.v[2]);
                break;
            case Op::MoveZ:
                safe = std::max(safe, c.v[0]);
                break;
            case Op::Kreis:
                safe = std::max(safe, c.v[7]);
                break;
            default:
                break;
        }
        if (!before) continue;
        switch (c.op) {
            case Op::SetzeVorschuebe:
                feeds = &c;
                break;
            case Op::SetzeVorschub:
                feed = &c;
                break;
            case Op::WkzW:
                tool = &c;
                break;
            case Op::Spinddreh:
                speed = &c;
                break;
            case Op::Spindea:
                spindle = &c;
                break;
            case Op::Move:
            case Op::Draw:
                x = c.v[0], y = c.v[1];
                break;
            case Op::Move3:
            case Op::Draw3:
                x = c.v[0], y = c.v[1], z = c.v[2];
                break;
            case Op::MoveZ:
                z = c.v[0];
                break;
            case Op::Kreis:
                x = c.v[5], y = c.v[6], z = c.v[7];
                break;
            default:
                break;
        }
    }
    if (safe < z) safe = z;
    if (feeds) Dispatch(*feeds, sink);
    sink.MoveZ(safe);
    if (tool) Dispatch(*tool, sink);
    if (speed) Dispatch(*speed, sink);
    if (spindle) Dispatch(*spindle, sink);
    sink.Move3(x, y, safe);
    float xy = feeds ? static_cast<float>(feeds->v[0]) : 0;
    float plunge = feeds ? static_cast<float>(feeds->v[1]) : 0;
    if (feed) xy = static_cast<float>(feed->v[0]);
    if (plunge > 0) sink.SetzeVorschub(plunge);
    sink.Draw3(x, y, z);
    if (xy > 0) sink.SetzeVorschub(xy);
}

int Send(const SendOptions& o) {
    Machine machine = ResolveMachine(o.machine, true);
    const DriverClass* driverClass = FindDriver(machine.className);
    if (driverClass == nullptr)
        throw JobError(machine.file, 0, 0,
                       "class " + machine.className +
                           " writes programs; korvat send needs an online driver (B268, CHPGLA, "
                           "CSMS68A, CEUROBOX)");
    // The whole job is read first: a mistake anywhere in it stops send before the machine
    // moves, and --from-line needs what came before the line.
    std::unique_ptr<JobInput> input = OpenJob(o.job);
    const std::string jobFile = input->file();
    CallRecorder recorded;
    RunJob(*input, machine, recorded);
    const std::vector<Call>& calls = recorded.calls();
    size_t first = 0;
    if (o.fromLine > 0) {
        while (first < calls.size() && calls[first].line < o.fromLine) ++first;
        if (first == calls.size())
            throw JobError(jobFile, o.fromLine, 0, "no machine call from this line on");
    }

    // The line: --port, else the profile's device; the channel finds it as COMn.
    std::string device = !o.port.empty() ? o.port : machine.device;
    if (device.empty())
        throw JobError(machine.file, 0, 0,
                       "no line to the machine: give --port or [machine] device");
    int com = machine.settings.Schnittstelle;
    if (com < 1 || com > 10) com = machine.settings.Schnittstelle = 1;
    setenv(("KORVAT_COM" + std::to_string(com)).c_str(), device.c_str(), 1);

    bool terminal = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
    SendDialogs dialogs(terminal, o.onTimeout, o.yes);
    // The program's handler comes back however send ends.
    struct Restore {
        platform::DialogHandler* handler;
        ~Restore() { platform::SetDialogHandler(handler); }
    } restore{&platform::Dialogs()};
    platform::SetDialogHandler(&dialogs);
    AbortKeys keys(terminal);
    dialogs.pause = [&keys](bool p) { keys.Pause(p); };
    auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };

    cx268io = CCX268IO{};
    int openedBefore = 0;
    std::unique_ptr<Driver> driver = driverClass->make();
    size_t done = first;
    // One line for what went wrong, with the place the job stopped.
    auto fail = [&](const std::string& what) {
        std::string where;
        if (done < calls.size()) {
            where = "; stopped at block " + std::to_string(done + 1) + " of " +
                    std::to_string(calls.size());
            if (calls[done].line > 0)
                where += " (" + jobFile + " line " + std::to_string(calls[done].line) + ")";
        }
        if (terminal) std::fputc('\n', stderr);
        std::fprintf(stderr, "korvat: %s%s\n", what.c_str(), where.c_str());
        return kExitJob;
    };
    // What the channel's record and flags say went wrong.
    auto why = [&]() -> std::string {
        if (!dialogs.unanswered.empty()) return dialogs.unanswered;
        if (keys.requested() || cx268io.Tastenabbruch) return "aborted by the operator";
        int code = cx268io.Fehlernummer;
        if (code == 0 && cx268io.Abgelehnt && dialogs.lastQuestion) code = dialogs.lastQuestion;
        if (code != 0) {
            std::string t = ErrorText(code);
            if (cx268io.Fehlertext1[0]) t += std::string(" (") + Utf8(cx268io.Fehlertext1) + ")";
            return t;
        }
        if (cx268io.Stoppanforderung) return "the controller reported fault A (stop)";
        if (cx268io.Abgelehnt) return "the controller reported fault C (refused)";
        return "the line stopped";
    };

    if (cx268io.popen(1, 1, &machine.settings, nullptr, &openedBefore, 1) != 0) {
        done = calls.size();
        return fail(device + ": cannot open the line to the machine (" + ErrorText(1001) + ")");
    }
    auto closeLine = [&] { cx268io.pclose(2, 0); };
    if (driver->SetUp(machine) != 0 || cx268io.Fehlerflag) {
        done = calls.size();
        std::string what = why();
        closeLine();
        return fail(machine.className + " set-up failed: " + what);
    }
    if (o.step && !driver->SetStep(true)) {
        done = calls.size();
        closeLine();
        return fail("--step: " + machine.className + " has no single-step mode (CHPGLA has)");
    }
    if (first > 0) Reenter(calls, first, *driver);

    // The job, call by call; the terminal shows progress and the controller's state.
    double lastShown = -10, lastState = -10;
    DriverState state;
    auto show = [&](bool force) {
        if (!terminal) return;
        double now = elapsed();
        if (!force && now - lastShown < 0.25) return;
        lastShown = now;
        if (now - lastState >= 2 && !cx268io.Fehlerflag) {
            lastState = now;
            state = driver->State();
        }
        char line[200];
        int n = std::snprintf(line, sizeof line, "\r%zu/%zu blocks  %s  %s%s", done, calls.size(),
                              Clock(now).c_str(), state.busy ? "busy" : "idle",
                              state.hold ? ", hold" : "");
        if (state.freeBuffer >= 0)
            n += std::snprintf(line + n, sizeof line - n, ", %ld bytes free", state.freeBuffer);
        if (state.havePosition)
            std::snprintf(line + n, sizeof line - n, "  X%.3f Y%.3f Z%.3f ", state.x, state.y,
                          state.z);
        std::fputs(line, stderr);
        std::fflush(stderr);
    };
    while (done < calls.size()) {
        if (keys.requested()) cx268io.SetzeAbbruchTaste();
        if (cx268io.Fehlerflag) break;
        driver->SourceLine(calls[done].line);
        Dispatch(calls[done], *driver);
        if (cx268io.Fehlerflag) break;
        ++done;
        show(false);
    }
    // The controller carries out what it holds; wait until it is idle. A controller that
    // reports busy without its free buffer or position changing for a minute is given up on.
    DriverState seen;
    double since = elapsed(), stuckSince = elapsed();
    while (!cx268io.Fehlerflag && !keys.requested() && driver->Busy()) {
        show(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cx268io.tastaturabfrage();
        if (elapsed() - since > 5) {
            DriverState now = driver->State();
            bool moved = now.freeBuffer != seen.freeBuffer || now.x != seen.x || now.y != seen.y ||
                         now.z != seen.z;
            if (moved) seen = now, stuckSince = elapsed();
            if (elapsed() - stuckSince > 60) {
                closeLine();
                return fail("the controller reports busy but has not moved for a minute");
            }
            since = elapsed();
        }
    }
    if (keys.requested()) cx268io.SetzeAbbruchTaste();
    if (cx268io.Fehlerflag) {
        std::string what = why();
        bool aborted = keys.requested() || cx268io.Tastenabbruch;
        if (aborted) {
            // The machine must stop too: tell the controller, with the channel working again.
            // The machine must stop too: what is still queued for the line is dropped, then
            // the controller is told, with the channel working again and a generous time-out
            // (the line may still be working off what it took before).
            platform::ClearEvents();
            cx268io.Fehlerflag = 0;
            cx268io.Tastenabbruch = 0;
            cx268io.pflush();
            cx268io.SetzeTimeout(1, 10000);
            driver->Abort();
            what += ", the controller was told to stop";
        }
        closeLine();
        return fail(what);
    }
    show(true);
    closeLine();
    if (terminal) std::fputc('\n', stderr);
    std::fprintf(stderr, "korvat: %s sent to %s (%s) on %s: %zu blocks in %s\n", jobFile.c_str(),
                 machine.file.c_str(), machine.className.c_str(), device.c_str(),
                 calls.size() - first, Clock(elapsed()).c_str());
    return kExitOk;
}

std::function<int()> Setup(CLI::App& c) {
    auto o = std::make_shared<SendOptions>();
    c.add_option("job", o->job, "G-code (.ngc, .nc) or call script (.calls)")->required();
    c.add_option("--machine,-m", o->machine,
                 "online machine profile (file, or a name from "
                 "korvat machines)")
        ->required();
    c.add_option("--port,-p", o->port, "the line to the controller (else the profile's device)");
    c.add_option("--on-timeout", o->onTimeout,
                 "without a terminal, when the machine stops taking or sending data: abort the "
                 "job (default) or wait again")
        ->check(CLI::IsMember({"abort", "wait"}))
        ->option_text("abort|wait");
    c.add_option("--from-line", o->fromLine,
                 "resume at this line of the job: safe height, the line's XY, down at the plunge "
                 "feed, with the tool, spindle and feed in force there")
        ->check(CLI::PositiveNumber);
    c.add_flag("--step", o->step,
               "single step (CHPGLA): each block waits for the controller's acknowledgement; one "
               "line is printed per acknowledged block");
    c.add_flag("--yes", o->yes,
               "without a terminal: confirm the machine's requests to the operator (clamp a tool, "
               "a new workpiece); otherwise the job stops there with exit 1");
    c.footer(
        "Escape or Ctrl-C stops the job and the controller.\n"
        "Example (a simulated controller in another terminal):\n"
        "  korvat sim b268\n"
        "  korvat send examples/jobs/plate.ngc --machine b268 --port /dev/pts/5");
    return [o] { return Send(*o); };
}

}  // namespace

extern const Verb kSend = {"send", "drive a machine online with a job", Setup};

}  // namespace korvat::tool
