// Ramped approach (lead-in) onto contours of the host's element file. The tool reaches its
// cutting depth while it moves along the contour instead of plunging straight down: around a
// closed contour as often as the ramp needs, or back and forth over an open one.
//
// Depths grow in +Z here: the ramp runs from the start depth to the final depth and every ramp
// piece raises Z by tan(ramp angle) per millimetre of path.
//
// Error model: nothing throws. Every step records its first failure as a negative code (the place)
// and a message number (the host's text, by number), with a file name where one belongs; every
// later step does nothing once a message number is set. The host reads the outcome with
// HoleAnfahrFehlerInfo after the run.
#pragma once

#include <cstdint>

#include "common/element.h"
#include "common/wintypes.h"

// Common base: parameters, file handles, record access with uniform error recording, arcs as
// short 3-D lines.
class CAnfahrenBasis {
  public:
    CAnfahrenBasis();

    // Reads the next record of the input. Returns 0, or -1 after recording -435 / 4060 (short
    // read) or -433 / 4130 (a coordinate that is not a finite number of at most 1e6 mm).
    int32_t Read_infile(ELE_EAW* rec);
    // Moves the input to byte 32 * k from origin (0 start, 1 current, 2 end). Returns the new
    // byte position, or -1 after recording -425 / 4068.
    int32_t Seek_infile(int32_t k, int16_t origin);
    // Seek_infile, then Read_infile. Returns 0 or -1.
    int32_t SeekRead_infile(int32_t k, int16_t origin, ELE_EAW* rec);
    // Appends one record to the output. Returns 0, or -1 after recording -460 / 4061.
    int32_t Write_outfile(ELE_EAW* rec);
    // Writes the arc (centre record zentrum, arc record bogen) to the file datei as 3-D lines
    // whose Z runs linearly from z0 to z1, each chord deviating at most toleranz from the arc
    // (steps of at most 45 degrees). zentrum receives the last record written (the end point).
    // Returns 0, or 4061 after a short write (-405 intermediate point, -410 end point).
    int16_t Bog2Vek3D(ELE_EAW* zentrum, ELE_ARC* bogen, double z0, double z1, double toleranz,
                      int32_t datei);
    // Copies the error code and the error text (260 bytes) out; returns the message number.
    int32_t HoleAnfahrFehlerInfo(int32_t* code, char* text);
    // Shows text in a message box owned by Besitzer, with an empty caption. Returns 0.
    int16_t MBR(char* text);

    // Paths, set by Anfahren_EAW_Kontur_Schraeg.
    const char* Eingabe;
    const char* Ausgabe;
    // Parameters the host fills before the run.
    double Rampenwinkel;      // ramp angle against the horizontal, radians
    double Sehnentoleranz;    // largest deviation of an arc's chords from the arc, mm
    double Sicherheitshoehe;  // Z of the start positioning; replaced by 'g'/'t' markers
    double Starttiefe;        // Z where the ramp begins
    double Endtiefe;          // Z where the ramp ends (cutting depth)
    int16_t Kopfwert[2];      // copied into the output's header record
    HWND Besitzer;            // owner of message boxes
    double Punkttoleranz;     // two points are the same when X and Y each differ by at most this
    // Files and error state.
    int32_t EinHandle;     // input, -1 when closed
    int32_t AusHandle;     // output, -1 when closed
    int32_t Satzzaehler;   // records read by the current pass
    int32_t Meldung;       // message number of the last error, 0 = none
    int32_t Fehlercode;    // negative code naming the place of the last error
    char Fehlertext[260];  // the file that belongs to the error
    int32_t Satzanzahl;    // records of the input
    double KonturStartX;   // X, Y of the contour's start positioning
    double KonturStartY;

  protected:
    // Reads the arc record that follows a centre record, like Read_infile; its three numbers
    // must be usable whatever its type byte says.
    int32_t LeseBogen(ELE_ARC* bogen);
    // Appends an arc record to the output, like Write_outfile.
    int32_t SchreibeBogen(const ELE_ARC* bogen);
    // Records error code / message number, with path as the error text when given.
    void Fehler(int32_t code, int32_t meldung, const char* pfad);
    // Clears code, message and text.
    void FehlerLoeschen();
};

// Approach to an open contour: a backward ramp from one ramp length along the contour to its
// start, or a zig-zag over the whole contour when it is shorter, always ending at the start at
// full depth; then the contour once at depth.
class CAnfahrenOffeneKontur : public CAnfahrenBasis {
  public:
    CAnfahrenOffeneKontur();

    // The whole open-contour approach. The files are open, Satzanzahl is known and Satzzaehler
    // stands on the record after the start positioning. Returns the message number.
    int32_t AnfahrenOffene();
    // Measures forwards from Satzzaehler until Ziellaenge is reached (within 0.05 mm).
    int32_t DateiVorwaertsStreckenlaenge();
    // Splits the element where the ramp begins so that rest mm of it lie on the ramp; modus 1:
    // the ramp leaves it forwards (its last share), 2: backwards (its first share).
    int32_t ElementTeilen(int32_t modus, double rest);
    // Writes the header record, the positioning at the split point and the plunge to the start
    // depth. Returns the message number.
    int32_t DateiStartRaus();
    // Writes the share of the split element as the first ramp piece. Returns the message number.
    int32_t EleSchraegRaus();
    // Writes the contour from Elementindex to the end of the file as a rising ramp.
    int32_t DateiVorwaertsSchraegRaus(int32_t letzte);
    // Writes the contour from Elementindex back to its start as a rising ramp; with letzte != 0
    // the last piece ends exactly at the final depth.
    int32_t DateiRueckwaertsSchraegRaus(int32_t letzte);
    // Copies the contour unchanged from the record after its start positioning to the end.
    int32_t DateiVorwaertsNormalRaus();

    double Ziellaenge;       // length to measure along the contour
    int32_t ZielErreicht;    // 1 when the measurement reached it
    double GemesseneLaenge;  // length measured
    double Rampenlaenge;     // L = (final - start depth) / tan(ramp angle)
    double Konturlaenge;     // S, the whole contour
    double Steigung;         // tan(ramp angle)
    int32_t Elementindex;    // record being worked on
    double AX, AY;           // start of the current element
    double VorherZ;          // ramp Z at its start
    double BX, BY;           // end of the current element
    double RampenZ;          // ramp Z at its end
    double Elementlaenge;    // planar length of a line, |radius * sweep| of an arc
    double TeilX, TeilY;     // where the ramp begins
    ELE_EAW TeilElement;     // the element in which it begins
    ELE_ARC TeilBogen;       // its arc record, when it is an arc
    double ZVersatz;         // own Z of the last 3-D line minus the final depth

  protected:
    // Writes one 3-D line record to (x, y, z).
    void Linie3DRaus(double x, double y, double z);
};

// The entry point: decides between open and closed contours and runs the matching approach.
class CAnfahrenKontur : public CAnfahrenOffeneKontur {
  public:
    CAnfahrenKontur();

    // Reads eingabe, writes the approached contour to ausgabe and deletes eingabe on success.
    // Returns the message number (0 = success).
    int32_t Anfahren_EAW_Kontur_Schraeg(const char* eingabe, const char* ausgabe);
    // The ramp around a closed contour. Returns 0; the outcome is the error state.
    int32_t AnfahrenAnGeschlosseneKontur();

    double KonturEndeX;
    double KonturEndeY;
    int32_t Dateigroesse;  // bytes of the input

  private:
    // Finds the end point of the contour's last movement element into KonturEndeX/Y.
    void KonturEndeSuchen();
};

// The end point of an arc given by its centre record and arc record.
void BogenEndpunkt(const ELE_EAW& zentrum, const ELE_ARC& bogen, double* x, double* y);
