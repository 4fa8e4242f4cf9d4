// What the HPGL-A family of online drivers shares: CHPGLA speaks the dialect itself, CSMS68A
// speaks it with a few differences, and CEUROBOX takes over its start-up files, its flush
// countdown and its status record.
//
// The dialect: short statements ended by ';' ("PA", "PR", "ZA", "MA", "AA" and the controller's
// own words), one or a few a line, each line ended by CR LF. Coordinates are whole machine steps:
// millimetres times the steps per millimetre, rounded half away from zero. Angles go out in whole
// degrees and thousandths; a positive sweep runs counter-clockwise. The controller answers each
// line with "!" once it has carried it out ("F" when it could not); the drivers read those answers
// only in single-step mode and otherwise throw them away every ten lines.
//
// Error model: members never throw. A coordinate that is NaN, infinite or beyond 2^30 - 1 steps is
// refused: nothing of that call is sent, and the channel's error record names the member and the
// value (2103, 2111), which stops all further output. Driver errors: 1035 start-up file not sent,
// 1037 spindle output range invalid, 1038 speed outside the spindle range.
//
// Everything runs on the host's one thread and writes through the library's channel (cx268io).
#pragma once

#include <cstddef>
#include <cstdint>

#include "channel/cx268io.h"
#include "common/grundfkt.h"
#include "common/records.h"
#include "common/wintypes.h"

// The host's spindle record: the speed range and the output values at its two ends.
#pragma pack(push, 2)
struct SpindelInfo {
    float MinDrehzahl;  // lowest speed, 1/min
    float MaxDrehzahl;  // highest speed, 1/min
    float MinAusgabe;   // output value at the lowest speed
    float MaxAusgabe;   // output value at the highest speed
};
#pragma pack(pop)
static_assert(sizeof(SpindelInfo) == 16);

namespace korvat::hpgla {

inline constexpr int kFehlerStartdatei = 1035;      // the start-up file could not be sent
inline constexpr int kFehlerSpindelwerte = 1037;    // spindle output values outside 0..2.5505
inline constexpr int kFehlerSpindelbereich = 1038;  // speed outside the spindle's range

// The position query: answered by the controller with one line of hexadecimal steps.
inline constexpr const char* kPositionsfrage = "EF%;OD;";

// Directory part of a profile path: everything up to and including its last '\' or '/', or, when
// it has none, its last ':'; empty when it has neither. Written into out (size bytes); a directory
// that does not fit leaves out empty and returns false.
bool Initverzeichnis(const char* profile, char* out, size_t size);

// Sends a text file line by line, each line as it stands with CR LF. The file is dir + name when
// mitPfad != 0, else name alone. Returns 0 when the file was opened and read to its end, -1 when it
// could not be opened (nothing is sent) or could not be read to its end (a line longer than 511
// characters or a read error: what came before it was sent).
int SendeTextdatei(const char* dir, const char* name, int mitPfad);

// The flush countdown of normal output: at 0 or below the controller's answers that piled up are
// discarded and the countdown restarts at 10; otherwise it counts down.
template <class T>
void Flushzaehler(T* countdown) {
    if (*countdown < 1) {
        cx268io.pflush_input();
        *countdown = 10;
    } else {
        --*countdown;
    }
}

// The fixed status record of these drivers: values 0, 0, 99, 0, 10; bytes first, 0, 1, 1, 2, 10;
// the axis letters given.
void FuelleStatus(BSTINFO* b, uint8_t first, const char* axes);

// The shared state and members of CHPGLA and CSMS68A, in the order the host knows them. Members
// that the two drivers send alike live here; each driver adds what differs.
class Kern {
  public:
    Kern() = default;

    // ---- Moves (millimetres) --------------------------------------------------------------
    // Pen-down prefix and a relative move "PR dx,dy" from the last point.
    void Draw(float x, float y);
    // Arc about (mx, my) through `sweep` radians to (ex, ey): "AA cx,cy,degrees,thousandths".
    // The radius is not sent.
    void Kreis(float mx, float my, float r, float sweep, float ex, float ey);
    // Single-axis positionings: "XA", "YA".
    void BPosit_X(float x);
    void BPosit_Y(float y);
    // Sets the controller's position to (x, y) without moving: "CX x; CY y;". Returns 0.
    int SetzXY(float x, float y);

    // ---- Machine functions -----------------------------------------------------------------
    void Spindea(int ein);  // "SE;" / "SA;"
    // Clears the controller's buffer: "*;CB;RS;". Returns 0.
    int BPuffClear();
    // Sends the text file at path line by line (no status update). Returns 0, or -1 when it
    // could not be opened or read to its end.
    int SendeDatei(const char* path);
    // Sends the file name from the start-up directory (mitPfad != 0) or name alone.
    int SendeInitDatei(const char* name, int mitPfad);

    // ---- Read-back -------------------------------------------------------------------------
    // Asks the position ("EF%;OD;") and reads one reply line of three hexadecimal step counts.
    // Clears the first four flags; on a reply that parses, pos X, Y, Z := steps / scale, their
    // flags 1, result 3; otherwise 0 (nothing set). The integer argument is not used.
    int LeseIst(int, FLAGPOS* pos);
    // The same query under a silent 1000 ms time-out (a silent controller gives a failed read
    // after about a second, without a question). 0 when a reply was read and parsed, else 1.
    int LeseIst_Check();
    // The six values that follow the coordinates in the last reply, each minus 48 (the digit
    // '0'), weighted 0x4000, 0x2000, 0x1000, 0x800, 0x400, 0x200 and summed. -1 when the reply
    // has no six further values.
    int LeseTamelWert();

    // ---- Fixed answers and members this controller does not need ---------------------------
    void SetzeTest(int test, HWND hwnd) {
        Fenster = hwnd;
        Testflag = test;
    }
    float ZBegrenz(float z) { return z; }
    int MFStatus() { return 0; }
    int FRFahrt(int) { return 0; }
    int LeseWBK(FLAGPOS*) { return MFStatus(); }
    int32_t FRestBuffer() { return 50000; }
    int xxx() { return 1; }
    CCX268IO* Gebe_cxio_Zeiger() { return &cx268io; }
    void InitMft() {}
    void ToolCheck() {}
    void BStart() {}
    void BStop() {}
    void BAbbruch() {}
    void WzkAblegen() {}
    void SetzeWzkTast() {}
    void WZWSenAct() {}
    void WZWPplusB() {}
    void SetzeZVorschub(float) {}

    // The pen prefixes (buffer of at least 12 bytes). SetzePD: when the pen is up, "PD;" or,
    // with pen number 2 or more, "GF<n>;PD;", and the pen is marked down; else "". SetzePU: when
    // the pen is down, "PU;" or, with pen number 2 or more, "GF1;PU;", and the pen is marked up.
    void SetzePD(char* buffer);
    void SetzePU(char* buffer);

    // ---- State, in the order the host knows it ---------------------------------------------
    HWND Fenster = nullptr;
    int32_t Testflag = 0;
    int32_t Startzeit = 0;       // clock at Init, ms
    int32_t FlushCountdown = 0;  // lines until the next discard of the controller's answers
    int32_t ExtraKopf = 0;       // 1 when Init's machine type letter is 'Z'
    int32_t StiftOben = 1;       // 1 while the tool is lifted
    float SkalaX = 1000.0f, SkalaY = 1000.0f, SkalaZ = 1000.0f;  // steps per millimetre
    float InitWert = 0.0f;    // fourth float of the unit record; kept, not read
    int32_t Stiftnummer = 0;  // 2 or more selects "GF" pen statements
    int32_t PTFlag = 0;       // "PT1;" after Open instead of "PT0;"
    int32_t LetzteX = 0, LetzteY = 0, LetzteZ = 0, Vierte = 0;  // last commanded point, steps
    char Achsbuchstabe = ' ';
    int32_t Ausstehend = 0;          // lines sent in single-step mode and not yet acknowledged
    int32_t Einzelschritt = 0;       // 1 in single-step mode (CHPGLA only)
    char Initverzeichnis[260] = {};  // directory of the profile, with its separator
    ZEAW Leser;                      // parses the position replies

  protected:
    // Counts one statement line: in single-step mode as outstanding, else in the flush countdown.
    void Zaehle();
    // Formats a statement into Satz and sends it as one line; with mitStatus it is counted.
    void Sende(bool mitStatus, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Millimetres to steps on one axis; false (after reporting it for wo) when it cannot be sent.
    bool Schritte(const char* wo, const char* name, float mm, float scale, int32_t* out);
    bool Punkt(const char* wo, float x, float y, int32_t* px, int32_t* py);

    // The set-up shared by both drivers' Init: the type letter, the clock, the stored point.
    void InitGemeinsam(const InitStruct* init);
    // Steps 1 to 4 of Open: first-open state, popen, the ';' and, on a first open that
    // succeeded, the start-up file (1035 when it cannot be sent). Returns the result.
    int OeffneKanal(short port, const MaschEinstellung* settings, const char* name, int* opened,
                    int protocol, const char* profile, int schnell);
    // The rapid move: lift first when z lies above the last Z, then XY when it changed, then the
    // closing Z statement, when immerSchlussZ always, else only when z lies below the last Z.
    // z is in steps already (signed). *positioned (when given) receives every XY sent.
    void Eilgang(int32_t px, int32_t py, int32_t pz, bool immerSchlussZ, int32_t* positioned);
    // "EDX%1ld,\tY%1ld, Z%1ld;" with the feeds in mm/min (m/min times 1000, truncated).
    void SendeVorschuebe(float fxy, float fz, bool mitStatus);
    // The spindle output "DA\t%1d;" (errors 1037, 1038).
    void SendeDrehzahl(int n, const SpindelInfo* info, bool mitStatus);
    // "WA %ld;" with seconds as milliseconds.
    void SendeWartezeit(float seconds, bool mitStatus);
    // The direct positionings of both drivers: pen up, then "ZA %1ld;" with z in steps, or
    // "PA %1ld,%1ld;" with the point (reported for BPosit_XY when it cannot be sent); each
    // becomes the last commanded position.
    void PositZ(int32_t pz, bool mitStatus);
    void PositXY(float x, float y, bool mitStatus);
    // Sends the position query, reads the reply and starts the reader on it. True when a reply
    // was read and its three coordinates parsed into steps.
    bool Positionsantwort(int32_t steps[3], bool silent);

    char Satz[128] = {};  // the statement line being sent
};

}  // namespace korvat::hpgla
