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

// The arc kind that makes Kreis helical.
inline constexpr int kHelical = 83;

}  // namespace korvat::tool
