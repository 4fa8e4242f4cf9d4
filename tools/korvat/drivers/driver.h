// Online drivers behind the Sink interface, for `korvat send`: one small adapter per driver
// class (the classes have no virtual members), like the writer adapters of `post`.
//
// Adding one (say CHPGLA): write drivers/chpgla.cpp with a class derived from Driver and
//   extern const DriverClass kChpgla = {"CHPGLA", "mm/s", [] { return ...; }};
// then add it to the list in drivers/registry.cpp.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tools/korvat/profile.h"
#include "tools/korvat/sink.h"

class CHPGLA;
class B268;

namespace korvat::tool {

// What the terminal shows of the controller while a job runs.
struct DriverState {
    bool busy = false, hold = false;
    long freeBuffer = -1;  // bytes; -1 not known
    bool havePosition = false;
    double x = 0, y = 0, z = 0;
};

class Driver : public Sink {
  public:
    // The host's set-up, in its order, once the library's channel is open on the machine's
    // line. 0, or 1 with the channel's error record filled.
    virtual int SetUp(const Machine& machine) = 0;
    // Reads the controller's state (a few queries; call it at most every second or two).
    virtual DriverState State() = 0;
    // Tells the controller to drop what it holds and stop (the channel must be working again).
    virtual void Abort() = 0;
    // Waits are over: true while the controller still carries out commands it holds.
    virtual bool Busy() = 0;
    // Single step: every call waits for the controller's acknowledgement of what it sent and
    // prints one line for it. False when asked for single step and the driver has none.
    virtual bool SetStep(bool on) { return !on; }
    // Where single step's lines go (default: standard output).
    std::function<void(const std::string& line)> report;
    // The job supervisor's machine type for this driver, and the driver object that type
    // reaches (1: B268, 3: CHPGLA, which the supervisor waits for at every block).
    virtual int MachineType() const = 0;
    virtual CHPGLA* Hpgla() { return nullptr; }
    virtual B268* B268Object() { return nullptr; }
};

struct DriverClass {
    const char* name;      // the class name a profile gives as [machine] class
    const char* feedUnit;  // the unit in which the class takes feeds, unless the profile says
    std::unique_ptr<Driver> (*make)();
    // The largest coordinate (mm, either sign) the class sends as it is meant to a machine of
    // this profile, where the class has a tighter one than a machine's sane range (a class that
    // sends step counts at the profile's resolution); null: that range.
    double (*limit)(const Machine& machine) = nullptr;
    // The class sends the tool's size with a tool change, so every tool the job changes to must
    // be described in the profile (checked before the machine moves).
    bool sendsToolSize = false;
};

// The largest coordinate in mm (either sign) the class sends as it is meant: a machine's sane
// range (the writers' text range, 99999.999), or the class's own tighter limit.
double CoordinateLimit(const DriverClass& d, const Machine& machine);

// The registered driver of that name, or null.
const DriverClass* FindDriver(std::string_view name);
// Every registered driver, ending with a null entry.
extern const DriverClass* const kDrivers[];

}  // namespace korvat::tool
