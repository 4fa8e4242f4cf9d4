// What the plotter-style writers (CHPGLB, CDXF_TEXT, CVHF_580_980, CTORVE) share beyond the
// helpers of writers/common: conversion of millimetres to integer machine units with a range
// check, the pen prefixes "PD;" / "PU;", the line output with its flush countdown and byte count,
// the m/min to mm/s speed conversion, angles in degrees and the workpiece size choice.
//
// Error model: a value that cannot be written (NaN, infinite, or beyond the integer range the
// receivers take) is refused: the command is not written, the channel's error record names the
// member and the value, and the channel's Fehlerflag stops all further output. What was written
// before stays intact.
//
// Everything here acts on fields the caller owns (the host copies writer objects whole) and
// allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/records.h"
#include "writers/common/writer_common.h"

namespace korvat::plot {

// Largest magnitude of an integer machine coordinate: the HP-GL/2 integer range 2^30 - 1, so
// the step between any two coordinates still fits in a 32-bit long.
inline constexpr int32_t kGrenzeEinheiten = 1073741823;

// Error code of a coordinate beyond kGrenzeEinheiten (NaN and infinity carry 2103 of
// writers/common).
inline constexpr int kFehlerAusserhalb = 2111;

// Receiver memory when the host gives none (or a value below 1): 0x7ffffff bytes.
inline constexpr int32_t kOhneSpeichergrenze = 134217727;

// Longest text the channel's poutstrln takes.
inline constexpr size_t kZeileMax = 309;

// `units`, the millimetre value `mm` already multiplied by its resolution, rounded to machine
// units, halves away from zero. False, with *out untouched and the error reported for `wo`
// ("CLASS::Member") and `name` ("x"), when it is NaN, infinite or beyond kGrenzeEinheiten.
bool Einheiten(const char* wo, const char* name, float mm, float units, int32_t* out);

// Reports a refused value through the channel: code 2103 when `value` is NaN or infinite, else
// 2111 (beyond the machine's range); text1 = wo, text2 = "<name> = <value> <unit>: <why>".
// Sets the channel's Fehlerflag.
void MeldeWert(const char* wo, const char* name, double value, const char* unit);

// The channel error 2101 of a tool check request.
void MeldeToolCheck();

// The pen prefix of a motion line. penUp is the writer's pen state (1 up, 0 down); buffer holds
// at least 4 bytes. SetzePD puts "PD;" and marks the pen down when it is up, else an empty text;
// SetzePU puts "PU;" and marks it up when it is down, else an empty text.
void SetzePD(int32_t* penUp, char* buffer);
void SetzePU(int32_t* penUp, char* buffer);

// Writes one line the way these writers do: a non-empty line goes to the channel with CR LF;
// then the flush countdown: at 0 or below the channel's received data is discarded (the
// receiver's answers are not read) and the countdown restarts at 10, else it counts down; the
// byte count grows by the length plus 2 (also for an empty line; it stops at the 32-bit
// maximum). A line longer than kZeileMax is refused (code 2102 for `wo`) and not counted.
// Returns false when the line was refused.
bool SchreibeZeile(const char* wo, const char* line, int32_t* countdown, int32_t* bytes);

// m/min to mm/s as the HPGL and CTORVE receivers take it: feed * 16.666 + 0.5, truncated toward
// zero; NaN gives 0 and values beyond the 32-bit range stop at its ends.
int32_t MmProSekunde(float feedMPerMin);

// A value truncated toward zero as a C cast does, but defined for every input (writers/common).
using writer::Ganzzahl;

// A dwell the receivers can be given: false, after reporting it for `wo`, when it is NaN,
// infinite or longer than a day (already 34286 lines of HPGL dwell).
bool VerweilzeitPasst(const char* wo, float seconds);

// Radians to degrees with the plotters' factor 57.29578.
double Grad(float radians);

// Workpiece size as the host describes it: the alternative pair for a multiple plate, else the
// pair exchanged for an axis exchange, else as given.
void Werkstueckgroesse(float width, float height, float altWidth, float altHeight, int axisExchange,
                       int multiplePlate, float* outWidth, float* outHeight);

// The receiver memory for SetzeSpezial: values below 1 mean kOhneSpeichergrenze.
int32_t Speichergrenze(int32_t limit);

// What CTORVE and CVHF_580_980 hold alike, as a public base without virtual members: the X, Y,
// Z resolution of the InitStruct (machine units per millimetre) and the conversion with it, the
// host's tool table for the recoding, the workpiece data the host gives and neither writes, and
// the members that pass a text straight on or only forward.
struct Einheitenschreiber {
    float XAufloesung = 0.0f, YAufloesung = 0.0f, ZAufloesung = 0.0f;  // units per mm
    WZW_PB_STRUCT* Werkzeugtabelle = nullptr;
    int16_t WerkzeugAnzahl = 0;
    // Stored, not written.
    float Breite = 0, Hoehe = 0, Tiefe = 0, Flughoehe = 0, Abhebewert = 0;

    void WZWPplusB(WZW_PB_STRUCT* table, short count);  // tool table for the recoding
    // Stored for the host; no output uses them.
    void SetzePosInfos(float width, float height, float altWidth, float altHeight, int axisExchange,
                       int multiplePlate, float viceCentreX, float viceCentreY, int vice);
    void SetzeGTiefe(float depth, short penDown);
    void SetzeFlughAbsolut(float height, float lift);  // fly height is kept 0.001 below
    int SendeBefehl(const char* text);                 // straight to the channel; returns 0
    void ToolCheck();                                  // channel error 2101
    int32_t RundeL(float value);  // half away from zero; NaN 0, the 32-bit range clamps

  protected:
    // Takes the X, Y, Z resolution of the record; a null record leaves them.
    void NimmAufloesung(const InitStruct* init);
    // Machine units of x and y (and of z); false after reporting the first bad value for `wo`.
    bool Punkt(const char* wo, float x, float y, int32_t* px, int32_t* py) const;
    bool ZEinheit(const char* wo, float z, int32_t* pz) const;

    // What Kreis writes for an arc of `grad` degrees (sweep in radians, for the report):
    // Gerade for a sweep of 0.001 degrees or less (the caller draws a line to the end instead),
    // Fehler after reporting a sweep that is not finite or a centre or end beyond the range,
    // else Bogen with the centre and the end in machine units.
    enum class Bogenart { Gerade, Fehler, Bogen };
    Bogenart BogenEinheiten(const char* wo, double grad, float sweep, float centreX, float centreY,
                            float endX, float endY, int32_t* cx, int32_t* cy, int32_t* ex,
                            int32_t* ey) const;
};

}  // namespace korvat::plot
