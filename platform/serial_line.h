// A serial (or parallel) line over termios, with the Windows communications model kept exactly:
// a line description parsed from "baud=%1d parity=%c data=%1d stop=%c" plus flow-control fields,
// time-outs as five numbers, fault bits, queue sizes, purge and the CTS state.
//
// The object is a plain record: all zero means closed, so it may live inside a zero-filled
// object. Every call on a closed line fails quietly (returns 0 or false).
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvat::platform {

// The device control block: what the line is set to.
struct LineDescription {
    int32_t baud;
    char parity;  // 'n', 'o', 'e', 'm', 's'
    int32_t dataBits;
    int32_t stopBits;  // 1 or 2
    bool ctsOutFlow;   // hardware output flow control (CTS)
    bool xonXoff;      // software flow control in both directions
    uint16_t xonLimit, xoffLimit;
    char xonChar, xoffChar;
};

// Parses "baud=9600 parity=e data=8 stop=2" into d (other fields untouched). False when a word
// is missing or malformed.
bool ParseLineDescription(const char* text, LineDescription* d);

// Time-outs in milliseconds, as Windows keeps them. A read waits at most
// readMultiplier * bytes + readConstant and ends early, once a byte has come, when the gap to the
// next byte exceeds readInterval (0: no interval limit). All zero with readInterval 0 means a read
// waits until all bytes came. A write waits at most writeMultiplier * bytes + writeConstant
// (both 0: no limit).
struct Timeouts {
    uint32_t readInterval;
    uint32_t readMultiplier;
    uint32_t readConstant;
    uint32_t writeMultiplier;
    uint32_t writeConstant;
};

// Line-fault bits, as ClearCommError reports them.
enum : uint32_t {
    kFaultRxOverflow = 1,
    kFaultOverrun = 2,
    kFaultParity = 4,
    kFaultFraming = 8,
};

struct LineState {
    uint32_t faults;    // fault bits since the last call
    uint32_t inQueue;   // bytes received and not yet read
    uint32_t outQueue;  // bytes written and not yet sent
};

class SerialLine {
  public:
    // Opens the device at path for exclusive reading and writing, in raw mode. A character
    // device that is not a terminal (a printer port) is opened without termios. Exclusive means
    // an advisory lock (flock), which another user of this library holds too, and the
    // terminal's exclusive mode (TIOCEXCL), which keeps other programs out. A device held by
    // someone else either way is busy: Open fails with OpenError() EBUSY.
    bool Open(const char* path);
    // The system's error number of the last failed Open (EBUSY: another program has the line).
    int OpenError() const { return openError_; }
    // The path of the last Open, failed or not (cut at 255 characters).
    const char* Path() const { return path_; }
    // True once the far end is gone (a closed pseudo-terminal, an unplugged adapter, a modem
    // line that dropped): the line said so on a read, a write, or ClearErrors. From then on
    // Read and Write return at once with nothing; it stays so until the line is opened again.
    bool HungUp() const { return hungUp_ != 0; }
    void Close();
    bool IsOpen() const { return handle_ != 0; }

    // Sets speed, framing and flow control. False when the device refused it.
    bool Configure(const LineDescription& d);
    // Queue sizes are fixed by the driver on this platform; kept for the record.
    void SetQueueSizes(uint32_t in, uint32_t out);
    void SetTimeouts(const Timeouts& t);
    const Timeouts& GetTimeouts() const { return timeouts_; }

    // Reads up to n bytes under the time-outs. Returns the bytes read (0 on time-out or error;
    // a hang-up ends the read at once).
    uint32_t Read(void* buffer, uint32_t n);
    // Writes n bytes under the time-outs. Returns the bytes written: fewer than n means the time
    // ran out (the peer stopped reading or held CTS) or the line hung up (HungUp()).
    uint32_t Write(const void* buffer, uint32_t n);

    // Reads and clears the fault bits and reports the queues; also notices a hang-up.
    LineState ClearErrors();
    // Discards received and/or unsent data.
    void Purge(bool received, bool unsent);
    // True when the peer allows sending (CTS on). A line without modem signals (a
    // pseudo-terminal) reports true.
    bool CtsOn() const;

    int Descriptor() const { return handle_ - 1; }

  private:
    int32_t handle_;  // descriptor + 1; 0 = closed
    int32_t isTerminal_;
    Timeouts timeouts_;
    int32_t lastFrame_, lastOverrun_, lastParity_, lastBufOverrun_;  // fault counters last seen
    int32_t hungUp_;
    int32_t openError_;
    char path_[256];
};

// Resolves a Windows device name ("\\.\COM3", "\\.\LPT2") into a path: the value of KORVAT_COM3
// or KORVAT_LPT2 when set, else /dev/ttyS2 or /dev/lp1. Other names are copied as they are.
// False when the result does not fit.
bool ResolveDeviceName(const char* name, char* out, size_t size);

}  // namespace korvat::platform
