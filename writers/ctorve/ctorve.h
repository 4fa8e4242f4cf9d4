// CTORVE: the writer for engraving machines that take an HPGL-like command set with Z in the
// pen commands: "PU" moves with the tool lifted and "PD" moves with the tool down, each with X,
// Y and Z, plus ZA (Z alone), SF (speed), ZO (spindle speed), SC (dwell) and SP (tool). One
// command a line, integer machine units, through the library's channel (cx268io).
//
// Units and signs: coordinates are single-precision millimetres times the resolution of the
// InitStruct, rounded half away from zero. Z is written negated: a depth below the surface is a
// positive number. Feeds arrive in m/min and are written in mm/s (at least 1); angles are
// radians, a positive sweep counter-clockwise, written in degrees; dwell in milliseconds.
//
// Error model: members never throw. A coordinate that is NaN, infinite or beyond +-(2^30 - 1)
// machine units, or a dwell that is not finite or longer than a day, is refused: nothing is
// written for that call and the channel's error record names the member and the value (2103,
// 2111), which stops all further output.
//
// The class has no virtual members and no behaviour in construction; the host copies it whole.
#pragma once

#include <cstdint>

#include "common/records.h"
#include "common/wintypes.h"
#include "writers/plotcommon/plot_common.h"

// The resolution, the tool table, the stored workpiece data, SendeBefehl, ToolCheck and RundeL
// come from korvat::plot::Einheitenschreiber.
class CTORVE : public korvat::plot::Einheitenschreiber {
  public:
    int Init(InitStruct* init, int a, int32_t b);  // takes the X, Y, Z resolution; returns 0
    // Opens the channel (popen) and writes the head "IN;ZZ1;PA;". Sets *openedBefore to 1.
    // Returns popen's result (0 ok).
    int Open(short portWanted, const MaschEinstellung* settings, const char* basePath,
             int* openedBefore, int geraeteart, const char* profile);
    // Writes "SP0;" (no tool) and closes the channel. Returns 0.
    int Close(int closePort, int closeFile);
    // Receiver memory (below 1: none given) and owner window; restarts the byte count. No limit
    // is checked by this writer.
    void SetzeSpezial(int32_t memoryLimit, HWND owner);

    // ---- Moves (millimetres) ------------------------------------------------------------
    void Move3(float x, float y, float z);  // lifted move in space, always written
    void Move_abs(float x, float y);        // lifted move at the current Z
    // Z move: the tool is lifted first when it is down. Nothing when Z equals that of the last
    // lifted move.
    void MoveZ(float z);
    void Draw(float x, float y);                          // cutting move at the current Z
    void Draw3(float x, float y, float z, short unused);  // cutting move in space, at the Z speed
    // Arc about the centre through `sweep` radians to the end point; a sweep of 0.001 degree or
    // less is a Draw to the end point.
    void Kreis(float centreX, float centreY, float radius, float startAngle, float sweep,
               float endX, float endY);

    // ---- Speeds, spindle, dwell, tools ---------------------------------------------------
    // XY and Z feed in m/min to machine speeds in mm/s (at least 1), sent with the next move.
    void SetzeVorschuebe(float xyFeed, float zFeed);
    void Spinddreh(int32_t speed);  // "ZO100,%1d;"
    // "SC100, %1d;" in milliseconds (truncated); nothing for 0 or less.
    void Wait(float seconds);
    void WkzW(int mode, int tool, float a, float b);  // "SP%1d;" with the magazine place

    // ---- Lines and status ---------------------------------------------------------------
    void SetzePD(char* buffer);        // "PD;" when the tool is up (then down), else ""; 4 bytes
    void SetzePU(char* buffer);        // "PU;" when the tool is down (then up), else ""; 4 bytes
    void SStringln(const char* text);  // the text as one line
    void FBStInfo(BSTINFO* info);
    void Ausgabe(int unused);  // writes the line buffer
    void Spindea(int) {}
    void Stop() {}
    void Zustellachse() {}
    void Actuator() {}

    // ---- State ---------------------------------------------------------------------------
    int32_t Geraeteart = 0;
    int32_t Optionen = 0;
    int32_t FlushCountdown = 0;  // lines left until the receiver's input is flushed
    int32_t StiftOben = 1;       // 1 while the tool is lifted
    int32_t LetzteEilX = -10000, LetzteEilY = -10000, LetzteEilZ = -10000;  // machine units
    int32_t AktX = 0, AktY = 0, AktZ = 0;  // after the last command of any kind
    char Zeile[312] = {};
    int32_t Drehzahl = 0;               // last Spinddreh, rpm
    int16_t GeschwXY = 1, GeschwZ = 1;  // mm/s, at least 1
    int16_t Geschwindigkeit = -1;       // speed last sent: -1 unknown, 0 XY, 1 Z
    HWND Besitzer = nullptr;
    int32_t Speichergrenze = korvat::plot::kOhneSpeichergrenze;
    int32_t BytesGeschrieben = 0;
    int32_t LetzteEilZBekannt = 0;  // -10000 is a real Z too, so "unknown" is kept apart

  private:
    // Formats the line buffer and writes it.
    void Schreibe(const char* format, ...) __attribute__((format(printf, 2, 3)));
};
