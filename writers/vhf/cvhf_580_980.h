// CVHF_580_980: the writer for VHF 580 and 980 engraving machines, in their HPGL-derived command
// set: absolute positioning with three coordinates (PA, GA, ZA), speed (VS), arcs (AA), tool
// (T), spindle speed (RVS) and outputs (OS), one command a line, integer machine units, through
// the library's channel (cx268io).
//
// Two positioning variants, chosen by the setting VhfPositionierModus: non-zero writes rapid
// moves as a VS speed and PA positions (variant PA), zero as GA commands (variant GA).
//
// Units and signs: coordinates are single-precision millimetres times the resolution of the
// InitStruct, rounded half away from zero; Z is written as it comes (up is positive). Feeds
// arrive in m/min and are kept in mm/s, capped at the axes' maximum speeds; VS writes
// micrometres per second. Angles are radians, a positive sweep counter-clockwise, written in
// degrees. For engraving on a rotary axis the X or Y resolution becomes units per degree of the
// cylinder (BerechneMasstab).
//
// Error model: members never throw. A coordinate that is NaN, infinite or beyond +-(2^30 - 1)
// machine units is refused: nothing is written for that call and the channel's error record
// names the member and the value (2103, 2111), which stops all further output.
//
// The class has no virtual members and no behaviour in construction; the host copies it whole.
#pragma once

#include <cstdint>

#include "common/records.h"
#include "common/wintypes.h"
#include "writers/plotcommon/plot_common.h"

// The resolution, the tool table, the stored workpiece data, SendeBefehl, ToolCheck and RundeL
// come from korvat::plot::Einheitenschreiber.
class CVHF_580_980 : public korvat::plot::Einheitenschreiber {
  public:
    // Keeps a copy of the record (the base of the rotary resolution) and takes its X, Y, Z
    // resolution. Returns 0.
    int Init(InitStruct* init, int a, int32_t b);
    // Reads the maximum speeds and the positioning variant, resets the writer and opens the
    // channel (popen); writes nothing. Sets *openedBefore to 1. Returns popen's result.
    int Open(short portWanted, const MaschEinstellung* settings, const char* basePath,
             int* openedBefore, int geraeteart, const char* profile);
    // Writes "T0;" (the tool is put away) and closes the channel. Returns 0.
    int Close(int closePort, int closeFile);

    // ---- Moves (millimetres) ------------------------------------------------------------
    // Rapid move. Going down: variant PA one PA in space, variant GA the Z first. Otherwise
    // variant PA moves X-Y only and sets the Z feed, variant GA X-Y first and then all three.
    void Move3(float x, float y, float z);
    // Rapid Z move; nothing when Z equals that of the last rapid move.
    void MoveZ(float z);
    // Rapid move at the current Z.
    void Move_abs(float x, float y);
    void Draw(float x, float y);                          // feed move at the current Z
    void Draw3(float x, float y, float z, short unused);  // feed move in space, at the Z feed
    // Arc about the centre through `sweep` radians to the end point; a sweep of 0.001 degree or
    // less is a Draw to the end point.
    void Kreis(float centreX, float centreY, float radius, float startAngle, float sweep,
               float endX, float endY);

    // ---- Speeds, spindle, tools, outputs -------------------------------------------------
    // XY feed, Z feed and rapid speed in m/min: kept in mm/s (0, negative or NaN: 1 mm/s),
    // capped, and sent again with the next move. Writes nothing.
    void SetzeVorschuebe(float xyFeed, float zFeed, float rapid);
    // Caps XY feed and rapid speed at the XY limit, the Z feed at the Z limit. Returns 0.
    int VorschuebeBegrenzen();
    void Spinddreh(int32_t speed);  // "RVS%1ld;"
    void Spindea(int on);           // off: "RVS0;"; on: nothing (the speed starts the spindle)
    void WkzW(int mode, int tool, float a, float b);  // "T%1d;" with the magazine place
    void Actuator(int output, char state);            // "OS%1d,1;" for 'E', else "OS%1d,0;"

    // ---- Rotary engraving ---------------------------------------------------------------
    // Rotary engraving on or off, the replaced axis ('X', else Y), then BerechneMasstab.
    void InitTeilk(short on, short axis, char c, float diameter, float a, float b);
    // Rotary on when state is 'E', else off; then BerechneMasstab. Returns 0.
    int AenderungDurchmesser(char state, float diameter);
    // Rotary on: the replaced axis gets (base resolution / diameter) x 114.59 units per degree
    // and the speed limits shrink by the ratio to the X base resolution when it is above 1.
    // Rotary off: the base resolutions and the full limits. Returns 0.
    int BerechneMasstab(float diameter);

    // ---- Lines and status ---------------------------------------------------------------
    void SStringln(const char* text);  // the text as one line
    // "PD;" when the pen flag (the rapid flag) is set (then cleared), "PU;" when clear (then
    // set); 4 bytes. The writer's own moves do not use them.
    void SetzePD(char* buffer);
    void SetzePU(char* buffer);
    void FBStInfo(BSTINFO* info);
    void Ausgabe(int unused);  // writes the line buffer
    void Zustellachse() {}
    void Stop() {}
    void Wait(float) {}

    // ---- State ---------------------------------------------------------------------------
    int32_t Geraeteart = 0;
    int32_t Optionen = 0;
    InitStruct Init_ = {};       // the record given to Init
    int32_t FlushCountdown = 0;  // lines left until the receiver's input is flushed
    int32_t Eilgang = 1;         // 1 after a rapid move (also the pen flag of SetzePD/PU)
    int32_t LetzteEilX = -10000, LetzteEilY = -10000, LetzteEilZ = -10000;  // machine units
    int32_t AktX = 0, AktY = 0, AktZ = 0;  // after the last command of any kind
    char Zeile[312] = {};
    // The resolutions of the base are units per degree for an axis replaced by the rotary one.
    int32_t Drehzahl = 0;  // last Spinddreh, rpm
    // mm/s; until SetzeVorschuebe the 1 mm/s a missing speed gets.
    float VorschubXY = 1.0f, VorschubZ = 1.0f, Eilgeschwindigkeit = 1.0f;
    int16_t Geschwindigkeit = -1;           // speed last sent: -1 unknown, 0 XY feed, 1 Z feed
    float MaxXY = 0.0f, MaxZ = 0.0f;        // mm/s from the settings; 0 or below: no cap
    float GrenzeXY = 0.0f, GrenzeZ = 0.0f;  // the maxima, reduced while rotary engraving
    int16_t VarianteVS = 0;                 // non-zero: variant PA, zero: variant GA
    int16_t Teilapparat = 0;                // rotary engraving on
    int16_t Ersetzt = 'Y';                  // the axis replaced by the rotary axis
    int32_t BytesGeschrieben = 0;
    int32_t LetzteEilZBekannt = 0;  // -10000 is a real Z too, so "unknown" is kept apart

  private:
    // Formats the line buffer and writes it.
    void Schreibe(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SendeVS(float mmPerS);  // "VS%1d;" in micrometres per second
};
