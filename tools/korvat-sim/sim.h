// Simulated controllers and tablets on pseudo-terminals, for tests and for machinists who want
// to try a job without the machine at hand.
//
// A simulator is a small state machine written from the device's side: it is handed every byte
// the host sends, answers through its Link, keeps its own position and buffer, and reports
// every move it carried out. It shares no formatting or parsing code with the library's driver
// for the same device, so a fault in the driver cannot hide behind the same fault here.
//
// The runner (Run) owns everything devices have in common: the pseudo-terminal, the pacing at
// the baud rate, the trace and log files, and the fault flags that act on the line itself
// (holding the line, silence, garbage, hanging up). Faults of the device itself (a status
// letter that reports a fault, a slow machine) are the simulator's, chosen with --fault and
// --set.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvat::sim {

struct Options {
    int32_t baud = 9600;  // bytes go both ways at baud / 10 per second; 0: unpaced
    std::string trace;    // file of the moves carried out, one a line, in millimetres
    std::string log;      // file of every byte received, as received
    // A backlog of more than 256 bytes on the line holds the host's writes until it is worked
    // off, as a real port's small transmit queue does. Off: the pseudo-terminal's own buffer
    // (tens of KiB) is all that holds the host back.
    bool flow = true;
    // Line faults, applied by the runner. -1: off.
    int64_t holdAfterBytes = -1;       // stop reading after this many bytes (0: never read)
    int64_t hangupAfterBytes = -1;     // close the line after this many bytes
    int64_t hangupAfterCommands = -1;  // close the line after this many commands
    bool silent = false;               // never answer
    bool garbage = false;              // every answer becomes 120 characters of junk, no line end
    // Device faults, read by the simulator: a word it knows (e.g. "A" for the B268's status
    // letter A), reported once this many commands have arrived.
    std::string fault;
    int64_t faultAfterCommands = 0;
    double speed = 1.0;  // the machine runs this many times faster than real time
    // What a tablet's operator does: a script file of button presses and points, or the
    // keyboard (--interactive).
    std::string script;
    bool interactive = false;
    // Device settings as name=value (e.g. "buffer=16000"); each simulator lists its own.
    std::vector<std::pair<std::string, std::string>> settings;
};

class Runner;

// What a simulator talks through. Every member is cheap and never blocks.
class Link {
  public:
    explicit Link(Runner& runner) : runner_(runner) {}
    // An answer of the device: queued and sent at the line's pace (--silent drops it,
    // --garbage replaces it).
    void Send(std::string_view bytes);
    // One move carried out, written to the trace as "<kind> X Y Z" in millimetres ("rapid",
    // "feed"; "rotary" with the angle in degrees as X).
    void Move(const char* kind, double x, double y, double z);
    // An arc carried out: end point, centre, and turn (1 counter-clockwise, -1 clockwise),
    // written as "arc X Y Z CX CY TURN".
    void Arc(double x, double y, double z, double cx, double cy, int turn);
    // A command arrived (counts toward --hangup-after-commands and --fault-after).
    void Command();
    // Number of commands so far.
    int64_t Commands() const;
    // True once the device fault named by --fault is due.
    bool FaultDue(std::string_view word) const;
    // A protocol problem the device noticed: printed to stderr, counted in the summary.
    void Problem(const std::string& what);
    // True once the host has set the line up (its speed or framing differs from the raw
    // settings the runner opened it with): a tablet starts playing only then.
    bool LineSetUp() const;
    // Milliseconds of machine time since start (real time × --speed).
    double MachineMs() const;
    const Options& options() const;

  private:
    Runner& runner_;
};

class Simulator {
  public:
    virtual ~Simulator() = default;
    // One byte from the host.
    virtual void Receive(unsigned char byte) = 0;
    // Machine time has passed (called every millisecond or so while the line is quiet, and
    // after every read).
    virtual void Advance() {}
    // The run ends (signal or hang-up): carry out nothing more. Returns the device's part of the
    // closing summary, e.g. "12 blocks, 300 commands, buffer overruns 0".
    virtual std::string Finish() { return ""; }
};

struct Entry {
    const char* name;      // the NAME of `korvat sim NAME`
    const char* summary;   // one line for --help
    const char* settings;  // the --set names it knows, with their defaults, for --help
    std::unique_ptr<Simulator> (*make)(Link& link, const Options& options);
};

// Every simulator, ending with a null entry (registry.cpp).
extern const Entry kSimulators[];
const Entry* FindSimulator(std::string_view name);

// Opens a pseudo-terminal, prints the path of its slave side on stdout (one line, flushed),
// and runs the simulator until SIGINT/SIGTERM/SIGHUP or a hang-up fault. Writes a one-line
// summary to stderr. Returns the exit code: 0, or 1 when the terminal or a file cannot be
// opened (message on stderr).
int Run(const Entry& entry, const Options& options);

}  // namespace korvat::sim
