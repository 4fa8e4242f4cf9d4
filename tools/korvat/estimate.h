// The time estimate of a job: a sink that runs the job's calls through the library's job
// supervisor (CSATZ) with the display off, as a host does beside program output, and checks the
// path against the machine's travel and the workpiece on the way. `korvat send` runs the same
// sink beside the online driver with the live display on (SupervisorStart), so a job maps onto
// the supervisor in one way only.
//
// How the calls map onto the supervisor (so that an estimate can be checked by hand):
//   - a feed (SetzeVorschuebe, mm/min) gives Satz_Vorschub_xy_z(xy / 1000, z / 1000);
//   - a rapid move that changes X or Y only gives Satz_XY_E, Z only Satz_Z_E, both Satz_XYZ_E;
//   - a feed move likewise Satz_XY_V, Satz_Z_V, Satz_XYZ_V; an arc Satz_Kreis, and a helix
//     (an arc that changes Z) Satz_Kreis followed by Satz_Z_V to its end Z, the latter with the
//     display suppressed (Satz_Andere 1015/1016), so the live display shows one block;
//   - a move that changes nothing gives no call;
//   - a programmed stop gives Satz_Andere(6), a raw line Satz_String_Direkt (display only);
//   - the job starts with Satz_Andere(1013) and ends with Satz_WST_Ende(1).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "supervision/csatz.h"
#include "tools/korvat/profile.h"
#include "tools/korvat/sink.h"

namespace korvat::tool {

// A point of the path outside the machine's travel or the workpiece.
struct Violation {
    int block = 0;           // the supervisor's motion block, from 1
    int line = 0;            // the job's source line, 0 when unknown
    bool workpiece = false;  // false: the machine's travel
    char axis = 'X';
    double value = 0;
    std::string limit;  // "min X", "max Z", ...
    double limitValue = 0;
};

// One use of a tool: from its tool change (or the job's start) to the next.
struct ToolUse {
    int tool = -1;        // -1: before the first tool change
    int line = 0;         // the line of the tool change
    double path = 0;      // feed path cut, mm
    double life = 0;      // the tool's life from the profile, 0 when it has none
    bool tracked = true;  // false: beyond the tool life accounting's ten slots
    bool worn = false;
};

// How the supervisor is started: by default as beside program output (machine type 0, display
// off). An online host gives the driver's machine type, the driver object the type needs, and
// its display dialog.
struct SupervisorStart {
    int machineType = 0;
    int display = 0;  // the host's display flag (Start clears it for the types without display)
    HWND dialog = nullptr;
    CHPGLA* hpgla = nullptr;
    B268* b268 = nullptr;
};

class Estimate : public Sink {
  public:
    // Starts the supervisor for machine. paramFile: a machine parameter file, "" for the
    // defaults. checks: test the travel and the workpiece (their reports are caught for the
    // estimate's lifetime); without, the estimate leaves the dialogs alone. Throws JobError when
    // the file is not a parameter file.
    Estimate(const Machine& machine, const std::string& paramFile, bool lookahead,
             const std::string& jobFile, bool checks = true, const SupervisorStart& start = {});
    ~Estimate() override;

    void SourceLine(int line) override { line_ = line; }
    void SetzeVorschuebe(float xy, float z) override;
    void SetzeVorschub(float) override {}
    void Spinddreh(int32_t rpm) override;
    void Spindea(int on, float dwell) override;
    void WkzW(int flags, int tool) override;
    void Move(double x, double y) override { Move3(x, y, z_); }
    void Move3(double x, double y, double z) override;
    void MoveZ(double z) override { Move3(x_, y_, z); }
    void Draw(double x, double y) override { Draw3(x, y, z_); }
    void Draw3(double x, double y, double z) override;
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override;
    void Wait(float seconds) override;
    void Stop() override;
    void SStringln(int, const char* text) override;

    // Ends the job (Satz_WST_Ende(1)) and accounts the tool uses. Call once, after the job.
    void Finish();

    const CSATZ& satz() const { return *satz_; }
    CSATZ& satz() { return *satz_; }
    const std::vector<Violation>& violations() const { return violations_; }
    const std::vector<ToolUse>& tools() const { return tools_; }
    int blocks() const { return blocks_; }
    // Total machining time in minutes.
    double Minutes() const;

    // The report: times as h:mm:ss, distances, extremes, tools, violations (text), or the same
    // values as numbers in minutes and millimetres (JSON).
    std::string Text() const;
    std::string Json() const;
    // One line naming a violation: "job:line: block n leaves the machine's travel: ...".
    std::string Describe(const Violation& v) const;
    // Warnings of the tool life accounting, one a line ("" when none).
    std::string ToolWarnings() const;

  private:
    class Dialoge;
    void PruefeMaschine(double x, double y, double z);
    void PruefeZ(double z);
    void Gerade(double x, double y, double z, bool eil);
    void Maschinenpruefung(bool an);
    void Block() { ++blocks_; }
    void ImRaus(bool maschine, double x, double y);  // a reported XY point
    void ZRaus(double z);                            // a reported Z value
    void CloseToolUse();

    const Machine& machine_;
    std::string jobFile_;
    bool lookahead_;
    CMainWindow window_;
    std::unique_ptr<CSATZ> satz_;
    std::unique_ptr<Dialoge> dialoge_;
    double x_ = 0, y_ = 0, z_ = 0;
    int line_ = 0;
    int blocks_ = 0;
    double cutMark_ = 0;
    std::vector<Violation> violations_;
    std::vector<ToolUse> tools_;
    bool finished_ = false;
};

// Formats minutes as h:mm:ss (rounded to the second).
std::string HoursMinutesSeconds(double minutes);

}  // namespace korvat::tool
