// The one interface between the job front ends (G-code, call scripts) and whatever takes their
// calls: a writer adapter, the preview, the call recorder. The calls are the library's own path
// calls with the library's conventions:
//   - lengths in millimetres, absolute, in the machine's coordinate system;
//   - feeds in the unit the machine's writer takes (the profile says which; the G-code front end
//     converts to it, call scripts pass values through untouched);
//   - angles in radians; a positive sweep runs counter-clockwise (seen from +Z);
//   - speeds in revolutions per minute, dwells in seconds.
#pragma once

#include <cstdint>

namespace korvat::tool {

class Sink {
  public:
    virtual ~Sink() = default;

    // XY feed and Z (plunge) feed; the writer keeps both.
    virtual void SetzeVorschuebe(float xy, float z) = 0;
    // The current feed; the next feed block carries it.
    virtual void SetzeVorschub(float feed) = 0;
    // Spindle speed for the next spindle-on or speed word.
    virtual void Spinddreh(int32_t rpm) = 0;
    // Spindle on (1, clockwise) or off (0); dwell after switching on, in seconds.
    virtual void Spindea(int on, float dwell) = 0;
    // Tool change to `tool`; bit 0 of flags selects the machine's tool-change M word. The writer
    // adapter fills the tool's description from the machine's tool table.
    virtual void WkzW(int flags, int tool) = 0;
    // Rapid moves.
    virtual void Move(double x, double y) = 0;
    virtual void Move3(double x, double y, double z) = 0;
    virtual void MoveZ(double z) = 0;
    // Feed moves.
    virtual void Draw(double x, double y) = 0;
    virtual void Draw3(double x, double y, double z) = 0;
    // Arc from the current point around (cx, cy) with radius r, starting at angle `start`,
    // sweeping `sweep` radians, ending at (ex, ey). kind 83 ('S') makes it helical: Z goes
    // linearly to ez on the way; other kinds keep Z.
    virtual void Kreis(double cx, double cy, double r, double start, double sweep, double ex,
                       double ey, double ez, int kind) = 0;
    // Dwell in seconds.
    virtual void Wait(float seconds) = 0;
    // Programmed stop.
    virtual void Stop() = 0;
    // A raw line, with a block number when `numbered` is not 0 and the machine numbers blocks.
    virtual void SStringln(int numbered, const char* text) = 0;
    // The calls that follow come from this line of the job's source (from 1). Front ends that
    // read lines say so before each line; sinks that do not need it ignore it.
    virtual void SourceLine(int /*line*/) {}
    // The job ends the program here (M2 or M30, given as 2 or 30): a writer ends the program
    // the way its dialect does. Sinks that do not need it ignore it.
    virtual void ProgramEnd(int /*m*/) {}
};

// Takes every call and does nothing with it.
class NullSink : public Sink {
  public:
    void SetzeVorschuebe(float, float) override {}
    void SetzeVorschub(float) override {}
    void Spinddreh(int32_t) override {}
    void Spindea(int, float) override {}
    void WkzW(int, int) override {}
    void Move(double, double) override {}
    void Move3(double, double, double) override {}
    void MoveZ(double) override {}
    void Draw(double, double) override {}
    void Draw3(double, double, double) override {}
    void Kreis(double, double, double, double, double, double, double, double, int) override {}
    void Wait(float) override {}
    void Stop() override {}
    void SStringln(int, const char*) override {}
};

// Passes every call on to another sink. A sink that looks at some calls on their way derives
// from it and overrides only those, calling the relay's own member to pass the call on.
class Relay : public Sink {
  public:
    explicit Relay(Sink& to) : to_(to) {}
    void SetzeVorschuebe(float xy, float z) override { to_.SetzeVorschuebe(xy, z); }
    void SetzeVorschub(float feed) override { to_.SetzeVorschub(feed); }
    void Spinddreh(int32_t rpm) override { to_.Spinddreh(rpm); }
    void Spindea(int on, float dwell) override { to_.Spindea(on, dwell); }
    void WkzW(int flags, int tool) override { to_.WkzW(flags, tool); }
    void Move(double x, double y) override { to_.Move(x, y); }
    void Move3(double x, double y, double z) override { to_.Move3(x, y, z); }
    void MoveZ(double z) override { to_.MoveZ(z); }
    void Draw(double x, double y) override { to_.Draw(x, y); }
    void Draw3(double x, double y, double z) override { to_.Draw3(x, y, z); }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        to_.Kreis(cx, cy, r, start, sweep, ex, ey, ez, kind);
    }
    void Wait(float seconds) override { to_.Wait(seconds); }
    void Stop() override { to_.Stop(); }
    void SStringln(int numbered, const char* text) override { to_.SStringln(numbered, text); }
    void SourceLine(int line) override { to_.SourceLine(line); }
    void ProgramEnd(int m) override { to_.ProgramEnd(m); }

  private:
    Sink& to_;
};

// The arc kind that makes Kreis helical.
inline constexpr int kHelical = 83;

}  // namespace korvat::tool
