// korvat send: drives a machine online. Reads the whole job first and refuses it, before the
// machine moves, at a reader error or a point the driver cannot send or the machine's travel or
// the workpiece does not hold. Then opens the library's channel on the machine's line, runs
// the driver's set-up in the host's order, and streams the job block by block through the
// driver and, beside it, through the job supervisor (CSATZ) with the live block display on: the
// terminal shows the last three blocks, the position, the status and the progress. Single step
// (Return the next block, A automatic, S single step again, Escape abort) or automatic (--auto).
// Stops cleanly on Escape or Ctrl-C.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
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
#include <optional>
#include <string>
#include <thread>

#include "channel/cx268io.h"
#include "common/fxtexte.h"
#include "platform/dialogs.h"
#include "tools/korvat/adapters/adapter.h"
#include "platform/events.h"
#include "tools/korvat/block_display.h"
#include "tools/korvat/drivers/driver.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/estimate.h"
#include "tools/korvat/output.h"
#include "tools/korvat/program.h"
#include "tools/korvat/recorder.h"
#include "tools/korvat/terminal_dialogs.h"
#include "tools/korvat/unattended_dialogs.h"
#include "tools/korvat/verbs/verb.h"
#include "tools/korvat/verbs/wait_notice.h"

namespace korvat::tool {
namespace {

struct SendOptions {
    std::string job;
    std::string machine;
    std::string port;
    std::string onTimeout;  // empty: the program's --on-timeout
    int fromLine = 0;
    bool step = false;       // CHPGLA: one line printed per acknowledged call
    bool automatic = false;  // start in automatic mode (else single step)
    bool yes = false;        // confirm the operator's boxes without a terminal
};

// "error 1021: <text>" for a library error number.
std::string ErrorText(int code) {
    char text[256] = "";
    LadeRcString(static_cast<int16_t>(code), text, 255);
    return "error " + std::to_string(code) + (text[0] ? ": " + ToUtf8(text) : "");
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
            std::string t = ToUtf8(text ? text : "");
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
        if (display) display->Release();
        if (pause) pause(true);
        int answer = inner_->MessageBox(owner, text, caption, style);
        if (pause) pause(false);
        return answer;
    }
    void InfoBox(HWND owner, const char* title, const char* text) override {
        if (display) display->Release();
        inner_->InfoBox(owner, title, text);
    }
    // The supervisor's block display dialog: its items go to the terminal.
    void ItemChanged(HWND, int item, const char* text) override {
        if (display) display->Item(item, text);
    }
    int TextInput(HWND owner, const char* title, const char* prompt, char* text,
                  int maxLength) override {
        return inner_->TextInput(owner, title, prompt, text, maxLength);
    }
    int lastQuestion = 0;
    std::string unanswered;  // an operator's box that could not be asked: why the job stopped
    // Hands the terminal to a question and back (the abort keys leave it alone meanwhile).
    std::function<void(bool)> pause;
    BlockDisplay* display = nullptr;

  private:
    platform::DialogHandler* inner_;
    std::unique_ptr<UnattendedDialogs> own_;
    bool terminal_, yes_;
};

// The operator's keys. Every key typed on the terminal becomes a key-down event in the platform's
// queue, where the supervisor's single step (Return, A, Escape) and the channel's keyboard poll
// (S and Escape while the job runs) take them. Ctrl-C (SIGINT, also SIGTERM) and a terminal that
// goes away become Escape, so an abort is seen inside the library's waits too and no wait for a
// key outlives the terminal.
int signalPipe[2] = {-1, -1};
void OnSignal(int) {
    char c = 1;
    (void)!write(signalPipe[1], &c, 1);
}

class OperatorKeys {
  public:
    explicit OperatorKeys(bool terminal) : terminal_(terminal) {
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
    ~OperatorKeys() {
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
            if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
                if (read(STDIN_FILENO, &c, 1) != 1) {
                    abort = true;  // the terminal is gone: nobody is left to press a key
                    terminal_ = false;
                } else if (c == 27) {
                    abort = true;
                } else {
                    // The terminal sends Return as CR or (translated) LF.
                    const int key = c == '\r' || c == '\n' ? static_cast<int>(VK_RETURN)
                                                           : static_cast<unsigned char>(c);
                    platform::PostEvent({platform::Event::KeyDown, key, nullptr});
                }
            }
            if (abort) {
                requested_ = true;
                platform::PostEvent({platform::Event::KeyDown, VK_ESCAPE, nullptr});
            }
        }
    }
    std::atomic<bool> terminal_;
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

// Every call goes to the driver, which sends it, and then to the supervisor, which shows the
// block and, in single step, waits for the operator before the next call is sent. Once the
// channel has stopped (a fault, an abort) the supervisor is left out: nothing is shown of a block
// that was not sent, and no step waits for a key.
class Beside : public Sink {
  public:
    Beside(Driver& driver, Estimate& supervisor) : d_(driver), s_(supervisor) {}
    void SourceLine(int line) override {
        d_.SourceLine(line);
        s_.SourceLine(line);
    }
    void SetzeVorschuebe(float xy, float z) override {
        Both([&](Sink& k) { k.SetzeVorschuebe(xy, z); });
    }
    void SetzeVorschub(float feed) override {
        Both([&](Sink& k) { k.SetzeVorschub(feed); });
    }
    void Spinddreh(int32_t rpm) override {
        Both([&](Sink& k) { k.Spinddreh(rpm); });
    }
    void Spindea(int on, float dwell) override {
        Both([&](Sink& k) { k.Spindea(on, dwell); });
    }
    void WkzW(int flags, int tool) override {
        Both([&](Sink& k) { k.WkzW(flags, tool); });
    }
    void Move(double x, double y) override {
        Both([&](Sink& k) { k.Move(x, y); });
    }
    void Move3(double x, double y, double z) override {
        Both([&](Sink& k) { k.Move3(x, y, z); });
    }
    void MoveZ(double z) override {
        Both([&](Sink& k) { k.MoveZ(z); });
    }
    void Draw(double x, double y) override {
        Both([&](Sink& k) { k.Draw(x, y); });
    }
    void Draw3(double x, double y, double z) override {
        Both([&](Sink& k) { k.Draw3(x, y, z); });
    }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        Both([&](Sink& k) { k.Kreis(cx, cy, r, start, sweep, ex, ey, ez, kind); });
    }
    void Wait(float seconds) override {
        Both([&](Sink& k) { k.Wait(seconds); });
    }
    void Stop() override {
        Both([&](Sink& k) { k.Stop(); });
    }
    void SStringln(int numbered, const char* text) override {
        Both([&](Sink& k) { k.SStringln(numbered, text); });
    }

  private:
    template <class F>
    void Both(F call) {
        call(d_);
        if (!cx268io.Fehlerflag) call(s_);
    }
    Driver& d_;
    Estimate& s_;
};

// What a run from --from-line needs of the calls before its first call, gathered as the job is
// read the first time: the feeds, tool and spindle in force there, where the machine stands,
// and the job's highest Z (over the whole job), so the machine can go back in safely.
class Reentry {
  public:
    explicit Reentry(int fromLine) : fromLine_(fromLine) {}
    // Every call of the job in order; index counts them from 0.
    void Note(const Call& c, size_t index) {
        if (!reached_ && c.line >= fromLine_) reached_ = true, first_ = index;
        switch (c.op) {
            case Op::Move3:
            case Op::Draw3:
                safe_ = std::max(safe_, c.v[2]);
                break;
            case Op::MoveZ:
                safe_ = std::max(safe_, c.v[0]);
                break;
            case Op::Kreis:
                safe_ = std::max(safe_, c.v[7]);
                break;
            default:
                break;
        }
        if (reached_) return;
        switch (c.op) {
            case Op::SetzeVorschuebe:
                feeds_ = c;
                break;
            case Op::SetzeVorschub:
                feed_ = c;
                break;
            case Op::WkzW:
                tool_ = c;
                break;
            case Op::Spinddreh:
                speed_ = c;
                break;
            case Op::Spindea:
                spindle_ = c;
                break;
            case Op::Move:
            case Op::Draw:
                x_ = c.v[0], y_ = c.v[1];
                break;
            case Op::Move3:
            case Op::Draw3:
                x_ = c.v[0], y_ = c.v[1], z_ = c.v[2];
                break;
            case Op::MoveZ:
                z_ = c.v[0];
                break;
            case Op::Kreis:
                x_ = c.v[5], y_ = c.v[6], z_ = c.v[7];
                break;
            default:
                break;
        }
    }
    // A call at or after the line was found; the index of the first.
    bool reached() const { return reached_; }
    size_t first() const { return first_; }
    // The way back in: the state in force, a rapid to the job's highest Z, to the XY where the
    // first call starts, then down at the plunge feed.
    void Enter(Sink& sink) const {
        const double safe = std::max(safe_, z_);
        if (feeds_) Dispatch(*feeds_, sink);
        sink.MoveZ(safe);
        if (tool_) Dispatch(*tool_, sink);
        if (speed_) Dispatch(*speed_, sink);
        if (spindle_) Dispatch(*spindle_, sink);
        sink.Move3(x_, y_, safe);
        float xy = feeds_ ? static_cast<float>(feeds_->v[0]) : 0;
        const float plunge = feeds_ ? static_cast<float>(feeds_->v[1]) : 0;
        if (feed_) xy = static_cast<float>(feed_->v[0]);
        if (plunge > 0) sink.SetzeVorschub(plunge);
        sink.Draw3(x_, y_, z_);
        if (xy > 0) sink.SetzeVorschub(xy);
    }

  private:
    int fromLine_;
    bool reached_ = false;
    size_t first_ = 0;
    double x_ = 0, y_ = 0, z_ = 0, safe_ = -1e300;
    std::optional<Call> feeds_, feed_, tool_, speed_, spindle_;
};

// Hands every call of a job to a function, as a record.
class EachCall : public CallSink {
  public:
    explicit EachCall(std::function<void(const Call&)> take) : take_(std::move(take)) {}

  protected:
    void Take(Call&& call) override { take_(call); }

  private:
    std::function<void(const Call&)> take_;
};

// Thrown out of the job's front end once the channel has stopped: nothing more is read.
struct Stopped {};

// The job is read twice, once whole before the line is opened (so that a mistake anywhere in it
// stops send before the machine moves) and once to send it, and nothing of it is held in
// between: a file written to meanwhile is refused, or stops the machine, with this.
constexpr const char* kChanged =
    "was written to while korvat send read it: what is sent would not be what was checked";

int Send(const SendOptions& o) {
    if (o.job == "-") {
        // Standard input cannot be read twice, and it is the operator's keyboard besides.
        std::fprintf(stderr,
                     "korvat send: the job cannot come from standard input: send reads it twice, "
                     "once to check it whole before the machine moves and once to send it; give "
                     "the job's file\n");
        return kExitUsage;
    }
    Machine machine = ResolveMachine(o.machine, true);
    const DriverClass* driverClass = FindDriver(machine.className);
    if (driverClass == nullptr)
        throw JobError(machine.file, 0, 0,
                       "class " + machine.className +
                           " writes programs; korvat send needs an online driver (B268, CHPGLA, "
                           "CSMS68A, CEUROBOX)");
    // The first reading: the front end's errors, the coordinates the driver sends as they are
    // meant (RunJob), and the machine's travel and the workpiece as the job supervisor checks
    // them beside the machine, each call as it will be sent; the first point outside refuses
    // the job. It counts the calls and keeps what --from-line needs.
    std::unique_ptr<JobInput> input = OpenJob(o.job);
    const std::string jobFile = input->file();
    auto unchanged = [&input] {
        if (!input->Unchanged()) throw JobError(input->file(), 0, 0, kChanged);
    };
    Reentry reentry(o.fromLine);
    size_t total = 0;
    {
        ProgressBar checking;  // on a terminal, for a job that takes a while to read
        input->OnProgress([&](uint64_t done, uint64_t size) {
            unchanged();
            checking.Update(done, size);
        });
        Estimate checks(machine, "", false, jobFile);
        EachCall check([&](const Call& c) {
            reentry.Note(c, total);
            checks.SourceLine(c.line);
            Dispatch(c, checks);
            if (!checks.violations().empty())
                throw JobError(checks.Describe(checks.violations().front()) +
                               "; nothing was sent to the machine");
            ++total;
        });
        try {
            RunJob(*input, machine, check);
        } catch (...) {
            checking.Finish();
            throw;
        }
        checking.Finish();
        input->OnProgress([&](uint64_t, uint64_t) { unchanged(); });
    }
    if (!reentry.reached())
        throw JobError(jobFile, o.fromLine, 0, "no machine call from this line on");
    if (!input->Rewind()) throw JobError(jobFile, 0, 0, "cannot be read a second time");
    if (!input->Unchanged()) throw JobError(jobFile, 0, 0, kChanged);
    const size_t first = reentry.first();

    // The line: --port, else the profile's device; the channel finds it as COMn.
    std::string device = !o.port.empty() ? o.port : machine.device;
    if (device.empty())
        throw JobError(machine.file, 0, 0,
                       "no line to the machine: give --port or [machine] device");
    int com = machine.settings.Schnittstelle;
    if (com < 1 || com > 10) com = machine.settings.Schnittstelle = 1;
    setenv(("KORVAT_COM" + std::to_string(com)).c_str(), device.c_str(), 1);

    bool terminal = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
    if (!terminal && !o.automatic) {
        // Single step waits for Return at every block: without a terminal nobody could press
        // it, and the job would never end.
        std::fprintf(stderr,
                     "korvat: send starts in single step and waits for Return at every block; "
                     "there is no terminal to press it on (give --auto to run the job "
                     "automatically)\n");
        return kExitJob;
    }
    // The live block display: a panel on the terminal, else a log of the blocks on stdout.
    int width = 80;
    winsize ws{};
    if (terminal && ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) width = ws.ws_col;
    BlockDisplay display(terminal ? stderr : stdout, terminal, width);
    SendDialogs dialogs(terminal, o.onTimeout, o.yes);
    dialogs.display = &display;
    // The program's handler comes back however send ends.
    struct Restore {
        platform::DialogHandler* handler;
        ~Restore() { platform::SetDialogHandler(handler); }
    } restore{&platform::Dialogs()};
    platform::SetDialogHandler(&dialogs);
    OperatorKeys keys(terminal);
    dialogs.pause = [&keys](bool p) { keys.Pause(p); };
    auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };

    cx268io = CCX268IO{};
    int openedBefore = 0;
    std::unique_ptr<Driver> driver = driverClass->make();
    size_t done = first;  // the calls sent (counting those before --from-line)
    int doneLine = 0;     // the job's line of the call being sent
    // One line for what went wrong, with the place the job stopped.
    auto fail = [&](const std::string& what) {
        std::string where;
        if (done < total) {
            where =
                "; stopped at block " + std::to_string(done + 1) + " of " + std::to_string(total);
            if (doneLine > 0) where += " (" + jobFile + " line " + std::to_string(doneLine) + ")";
        }
        display.Release();
        std::fprintf(stderr, "korvat: %s%s\n", what.c_str(), where.c_str());
        return kExitJob;
    };
    // What the channel's record and flags say went wrong.
    auto why = [&]() -> std::string {
        if (!dialogs.unanswered.empty()) return dialogs.unanswered;
        if (keys.requested() || cx268io.Tastenabbruch) return "aborted by the operator";
        int code = cx268io.Fehlernummer;
        if (code == 0 && cx268io.Abgelehnt && dialogs.lastQuestion) code = dialogs.lastQuestion;
        std::string line =
            DescribeLineError(code, cx268io.Fehlerzahl1, cx268io.Fehlertext1, cx268io.Fehlertext2);
        if (!line.empty()) return line;
        if (code != 0) {
            std::string t = ErrorText(code);
            if (cx268io.Fehlertext1[0]) t += std::string(" (") + ToUtf8(cx268io.Fehlertext1) + ")";
            return t;
        }
        if (cx268io.Stoppanforderung) return "the controller reported fault A (stop)";
        if (cx268io.Abgelehnt) return "the controller reported fault C (refused)";
        return "the line stopped";
    };

    if (cx268io.popen(1, 1, &machine.settings, nullptr, &openedBefore, 1) != 0) {
        done = total;
        return fail(
            DescribeLineError(cx268io.Fehlernummer, cx268io.Fehlerzahl1, cx268io.Fehlertext2, ""));
    }
    auto closeLine = [&] { cx268io.pclose(2, 0); };
    WaitNotice notice;  // on a terminal: what a wait of a second or more waits for
    if (driver->SetUp(machine) != 0 || cx268io.Fehlerflag) {
        done = total;
        std::string what = why();
        closeLine();
        return fail(machine.className + " set-up failed: " + what);
    }
    // On a terminal the step lines scroll above the block display.
    if (terminal) driver->report = [&display](const std::string& line) { display.Above(line); };
    if (o.step && !driver->SetStep(true)) {
        done = total;
        closeLine();
        return fail("--step: " + machine.className + " has no single-step mode (CHPGLA has)");
    }
    // The job supervisor beside the driver, as the host starts it once the driver is set up:
    // the driver's machine type (B268 1, CHPGLA 3 waiting for the controller at every block,
    // CSMS68A and CEUROBOX 4), the display on. Types 1 and 4 switch the host's dialog display
    // off; here the terminal is that display and the operator steps through the job on it, so
    // send switches it back on. The keys of these types (S while the job runs, the abort) go
    // through the shared channel, as for type 3.
    SupervisorStart supervision;
    supervision.machineType = driver->MachineType();
    supervision.display = 1;
    supervision.hpgla = driver->Hpgla();
    supervision.b268 = driver->B268Object();
    Estimate supervisor(machine, "", false, jobFile, false, supervision);
    CSATZ& satz = supervisor.satz();
    satz.AnzeigeEin = 1;
    if (o.automatic) satz.Automatik = 1;
    Beside beside(*driver, supervisor);
    // S typed while the job runs reaches the supervisor as the channel's last key and brings
    // single step back; once it has, it is spent (only type 1 clears it when A is pressed, and
    // left standing it would undo every later A at once).
    auto spendS = [&] {
        const uint8_t taste = cx268io.LetzteTaste;
        if (!satz.Automatik && (taste == 'S' || taste == 's')) cx268io.LetzteTaste = 0;
    };

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
        int n = std::snprintf(line, sizeof line, "%zu/%zu blocks  %s  %s%s", done, total,
                              Clock(now).c_str(), state.busy ? "busy" : "idle",
                              state.hold ? ", hold" : "");
        if (state.freeBuffer >= 0)
            n += std::snprintf(line + n, sizeof line - n, ", %ld bytes free", state.freeBuffer);
        if (state.havePosition)
            std::snprintf(line + n, sizeof line - n, "  X%.3f Y%.3f Z%.3f ", state.x, state.y,
                          state.z);
        display.Progress(line);
    };
    // The second reading: the calls before --from-line are passed over, the way back in goes
    // before the first one sent.
    size_t index = 0;
    EachCall run([&](const Call& c) {
        if (index++ < first) return;
        if (index - 1 == first && first > 0) {
            reentry.Enter(beside);
            spendS();
        }
        doneLine = c.line;
        if (keys.requested()) satz.SetzeFehlerInSteuerung();
        if (cx268io.Fehlerflag) throw Stopped{};
        beside.SourceLine(c.line);
        Dispatch(c, beside);
        if (cx268io.Fehlerflag) throw Stopped{};
        spendS();
        ++done;
        show(false);
    });
    // A job that reads otherwise the second time (written to meanwhile) stops the machine.
    std::string changed;
    try {
        RunJob(*input, machine, run);
    } catch (const Stopped&) {
    } catch (const JobError& e) {
        changed = e.what();
        doneLine = 0;
    }
    // The controller carries out what it holds; wait until it is idle. A controller that
    // reports busy without its free buffer or position changing for a minute is given up on.
    DriverState seen;
    double since = elapsed(), stuckSince = elapsed();
    while (changed.empty() && !cx268io.Fehlerflag && !keys.requested() && driver->Busy()) {
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
    if (keys.requested()) satz.SetzeFehlerInSteuerung();
    if (cx268io.Fehlerflag || !changed.empty()) {
        std::string what = changed.empty() ? why() : changed;
        bool aborted = !changed.empty() || keys.requested() || cx268io.Tastenabbruch;
        if (aborted) {
            // The machine must stop too: what is still queued for the line is dropped, then
            // the controller is told, with the channel working again and a generous time-out
            // (the line may still be working off what it took before).
            platform::ClearEvents();
            cx268io.Fehlerflag = 0;
            cx268io.Tastenabbruch = 0;
            cx268io.pflush();
            cx268io.SetzeTimeout(1, 10000);
            driver->Abort();
            satz.Ende();
            what += ", the controller was told to stop";
        }
        closeLine();
        return fail(what);
    }
    supervisor.Finish();
    satz.Ende();
    show(true);
    closeLine();
    display.Release();
    std::fprintf(stderr, "korvat: %s sent to %s (%s) on %s: %zu blocks in %s\n", jobFile.c_str(),
                 machine.file.c_str(), machine.className.c_str(), device.c_str(), total - first,
                 Clock(elapsed()).c_str());
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
    c.add_flag("--auto", o->automatic,
               "run the job automatically from the start (S on the terminal goes to single step); "
               "without a terminal send runs only with --auto");
    c.add_flag("--step", o->step,
               "CHPGLA: print one line per call the controller acknowledged (the block display "
               "waits for each block's acknowledgement anyway)");
    c.add_flag("--yes", o->yes,
               "without a terminal: confirm the machine's requests to the operator (clamp a tool, "
               "a new workpiece); otherwise the job stops there with exit 1");
    c.footer(
        "The job is read whole first: a reader error, a coordinate beyond what the driver sends\n"
        "or a point outside the profile's [travel] or [workpiece] refuses it with its line\n"
        "before the line to the machine is opened. The job must be a file (it is read twice).\n"
        "The terminal shows the last three blocks, the position and the status. Single step:\n"
        "Return sends the next block, A runs on automatically, S goes back to single step.\n"
        "Escape or Ctrl-C stops the job and the controller. Without a terminal (--auto) the\n"
        "blocks are written to standard output, one a line.\n"
        "Example (a simulated controller in another terminal):\n"
        "  korvat sim b268\n"
        "  korvat send examples/jobs/plate.ngc --machine b268 --port /dev/pts/5");
    return [o] { return Send(*o); };
}

}  // namespace

extern const Verb kSend = {"send", "drive a machine online with a job", Setup};

}  // namespace korvat::tool
