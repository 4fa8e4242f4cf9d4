// CHPGLB: the HPGL plot-file writer. Pen up and down (PU, PD), absolute and relative pen moves
// (PA, PR) and arcs (AA) in integer plotter units, one command group a line, through the
// library's channel (cx268io).
//
// Two dialects, chosen by the mode number given to Open: 4 selects the extended dialect of
// engraving machines ("!"-commands for pen depth !PZ, spindle !MC, speeds VS/!VZ, dwell DR and
// operator messages !LR/!NR); any other value writes plain HPGL for a plotter, where those
// commands are left out and a tool change selects a pen (SP).
//
// Units and signs: coordinates are single-precision millimetres, converted with the resolution
// of the InitStruct (plotter units per millimetre) and rounded half away from zero; angles are
// radians, a positive sweep runs counter-clockwise (as HPGL's AA); feeds are m/min, written as
// mm/s; dwell in seconds.
//
// Error model: members never throw. A coordinate that is NaN, infinite or beyond +-(2^30 - 1)
// plotter units is refused: nothing is written for that call and the channel's error record
// names the member and the value (2103, 2111), which stops all further output. In the extended
// dialect the writer counts the bytes written and warns before the receiver's memory is full.
//
// The class has no virtual members and no behaviour in construction; the host copies it whole.
#pragma once

#include <cstdint>

#include "common/records.h"
#include "common/wintypes.h"
#include "writers/plotcommon/plot_common.h"

class CHPGLB {
  public:
    // ---- Common writer calls -------------------------------------------------------------
    // Takes the X, Y, Z resolution and the top edge of the workpiece (third further value).
    // Returns 0.
    int Init(InitStruct* init, int a, int32_t b);
    // Opens the channel (popen) and writes the head: "IN;SC;PU;SP1;" in the extended dialect,
    // "PU;" otherwise. Sets *openedBefore to 1. Returns popen's result (0 ok). The profile file
    // is not read.
    int Open(short portWanted, const MaschEinstellung* settings, const char* basePath,
             int* openedBefore, int geraeteart, const char* profile);
    // Closes the channel with both arguments; writes nothing. Returns 0.
    int Close(int closePort, int closeFile);
    // Receiver memory in bytes (below 1: none given) and the owner of the warning box; restarts
    // the byte count.
    void SetzeSpezial(int32_t memoryLimit, HWND owner);

    // ---- Moves (millimetres) ------------------------------------------------------------
    // Pen-up move to (x, y), written only when the plotter point differs from the last one
    // reached by a positioning; z is not used.
    void Move3(float x, float y, float z);
    // Pen-up move without the workpiece offsets, always written.
    void Move_abs(float x, float y);
    // Lifts the pen (writes "PU;" when it is down).
    void MoveZ(float z);
    // Pen-down move: relative from the pen position, absolute after an arc.
    void Draw(float x, float y);
    // Move at depth z: at or above the fly height a pen-up move; below it, with depthMode 0 the
    // pen goes up to the point, otherwise down to it and the pen depth follows.
    void Draw3(float x, float y, float z, short depthMode);
    // Arc about the centre through `sweep` radians (positive counter-clockwise) to the end
    // point; the radius and start angle are not written. A sweep of 0.001 degree or less is a
    // Draw to the end point.
    void Kreis(float centreX, float centreY, float radius, float startAngle, float sweep,
               float endX, float endY);

    // ---- Extended dialect commands (nothing in plain HPGL) -------------------------------
    // Pen depth "!PZ" when it changed by more than 0.005 mm.
    void SetzeGTiefe(float depth, short penDown);
    // Fly height: Z values at or above height - 0.001 are travel moves; lift is the second
    // number of the pen-depth command.
    void SetzeFlughAbsolut(float height, float lift);
    // Speeds "VS%1d;!VZ%1d;" in mm/s, when they changed.
    void SetzeVorschuebe(float xyFeed, float zFeed);
    void Spindea(int on);  // "!MC1;" / "!MC0;"
    // Extended: operator message 8236 with the tool number; plain HPGL: pen select "SP".
    void WkzW(int mode, int tool, float a, float b);
    void Stop();               // operator message 8237
    void Wait(float seconds);  // dwell in 2.52 s pieces and a rest in 20 ms units

    // ---- Workpiece, lines, status --------------------------------------------------------
    // Workpiece offsets (extended dialect only): centred in the vice, or against the top edge.
    void SetzePosInfos(float width, float height, float altWidth, float altHeight, int axisExchange,
                       int multiplePlate, float viceCentreX, float viceCentreY, int vice);
    void SetzePD(char* buffer);  // "PD;" when the pen is up (then down), else ""; 4 bytes
    void SetzePU(char* buffer);  // "PU;" when the pen is down (then up), else ""; 4 bytes
    // Writes the text as one line (with the memory test of a pen-down line).
    void SStringln(const char* text);
    // Passes the text straight to the channel. Returns 0.
    int SendeBefehl(const char* text);
    void ToolCheck();  // channel error 2101
    void FBStInfo(BSTINFO* info);
    // Rounds half away from zero; NaN gives 0, the 32-bit range clamps.
    int32_t RundeL(float value);
    // Writes the line buffer: check < 0 no memory test, 0 with a 128-byte margin (pen-down
    // lines: the warning lifts the pen and puts it back), > 0 with a 4096-byte margin (the line
    // is repeated after the warning).
    void Ausgabe(int check);
    void Zustellachse() {}
    void Actuator() {}

    // ---- State, in the order the host knows it -------------------------------------------
    int32_t Geraeteart = 0;
    int32_t Optionen = 0;
    int32_t FlushCountdown = 0;  // lines left until the receiver's input is flushed
    int32_t StiftOben = 1;       // 1 while the pen is up
    float Flughoehe = -0.001f;   // Z at or above is a travel move (as if the surface were 0)
    float Abhebewert = 0.0f;     // lift value of the pen-depth command, mm
    float Tiefe = 0.0f;          // current pen depth, mm
    float LetzteTiefe = -10.0f;  // last written pen depth, mm
    float XOffset = 0.0f, YOffset = 0.0f;        // workpiece offsets, mm
    int32_t LetzteX = -10000, LetzteY = -10000;  // last positioning, plotter units; -10000 unknown
    int32_t LetzteVZ = -1, LetzteVXY = -1;       // last speeds written, mm/s
    int32_t AbsolutNaechste = 0;                 // 1 after an arc: the next Draw is absolute
    int32_t AktX = 0, AktY = 0;                  // pen position as the receiver knows it
    char Zeile[312] = {};                        // the command line being written
    float XAufloesung = 0.0f, YAufloesung = 0.0f, ZAufloesung = 0.0f;  // units per mm
    float Oberkante = 0.0f;   // Y of the workpiece's top edge, mm
    HWND Besitzer = nullptr;  // owner of the memory warning
    int32_t Speichergrenze = korvat::plot::kOhneSpeichergrenze;  // receiver memory, bytes
    int32_t BytesGeschrieben = 0;  // since SetzeSpezial or the last warning
    // The last position is known (-10000 is also a real plotter coordinate, so it is not used
    // alone to mean "unknown").
    int32_t LetzteBekannt = 0;

  private:
    bool Erweitert() const { return Geraeteart == 4; }
    // Plotter point of (x, y) with or without the offsets; false after reporting a bad value.
    bool Punkt(const char* wo, float x, float y, bool offsets, int32_t* px, int32_t* py);
    bool IstLetzte(int32_t px, int32_t py) const;
    // Formats the line buffer.
    void Baue(const char* format, ...) __attribute__((format(printf, 2, 3)));
};
