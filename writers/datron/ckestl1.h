// CKESTL1: the Datron program writer. One command a line: a command word, comma-separated
// numbers formatted by their magnitude, an optional comment after ";"; lines starting with "!"
// are remarks. Writes through the library's channel (cx268io), counts the bytes written and
// warns before the machine's program memory is full. Texts are Windows code page 1252 bytes.
//
// Units and signs: coordinates arrive in millimetres and are written in machine units
// ((offset + value) x resolution from InitStruct); angles arrive in radians and are written in
// degrees, positive counter-clockwise; feeds (m/min) and speeds (rpm) are written as given.
//
// Error model: members return small status values and never throw. A NaN or infinite value is
// refused (code 2103 in the channel's error record, naming the file, the line and the member),
// which stops all further output and keeps what was written. A text that would make a line
// 300 characters or longer is dropped with the "Ausgabestring zu lang" box; the rest of the line
// is still written.
//
// The class has no virtual members and no behaviour in construction; the host copies it whole.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "common/records.h"
#include "common/wintypes.h"

class CKESTL1 {
  public:
    // ---- Common writer calls -------------------------------------------------------------
    // Takes the X, Y, Z resolution (machine units per mm; 0 or less reads as 1). Returns 0.
    int Init(InitStruct* init, int a, int32_t b);
    // Reads "Rueckfahrmodus" of section "DATRON" from `profile`, opens the channel and writes
    // the program head. Sets *openedBefore to 1. Returns popen's result (0 ok).
    short Open(short portWanted, const MaschEinstellung* settings, const char* basePath,
               int* openedBefore, int geraeteart, const char* profile);
    int Close(int closePort, int closeFile);  // tail line, then pclose; returns 0
    // Program memory of the machine in bytes (below 1: 134217727) and the owner of the boxes;
    // restarts the byte count.
    void SetzeSpezial(int32_t limit, HWND owner);

    // ---- Moves and arcs ------------------------------------------------------------------
    void Move3(double x, double y, double z);  // "Axyz 1, ..." unless already there
    void Draw(double x, double y);             // "Axyz 0, x, y, Zp, ..." always
    void Draw3(double x, double y, double z, short unused = 0);
    // Arc around (cx, cy) of radius r from `start` by `sweep` (radians) to (ex, ey).
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey);
    // Helix: the same, rising or falling to ez with the pitch per turn as last number.
    void CB_KreisZ(double cx, double cy, double r, double start, double sweep, double ex, double ey,
                   double ez);
    void Move_abs(double x, double y, double z);  // to the park position ("Park")
    void MoveZ(double z);                         // nothing (Z moves come with Axyz)
    void Zustellachse(char axis, float value);    // nothing
    void Actuator(int a, char ch);                // nothing

    // ---- Feeds, spindle, tools, workpiece ------------------------------------------------
    void SetzeVorschuebe(float xy, float z);       // "Vorschub" line (m/min)
    void KestlDrehzahl(int spindle, float speed);  // stores both
    void Spindea(int on);                          // "Drehzahl" line
    // Tool change: description, then the automatic (mode bit 0) or manual dialogue.
    void WkzW(int mode, int tool, float unused, float radius, float angle, float tipRadius,
              float ballRadius, char type);
    void WZWPplusB(const WZW_PB_STRUCT* magazin, short count);
    void SetzePosInfos(float width, float height, float altWidth, float altHeight, int axisExchange,
                       int multiplePlate, float viceX, float viceY, int vice, float thickness);
    void SetzeGTiefe(float depth, short unused);         // stored only
    void SetzeFlughAbsolut(float height, float second);  // stored only
    void Wait(float seconds);                            // comment line
    void Stop();                                         // park and message
    void ToolCheck();                                    // remark line
    void SStringln(const char* text);                    // one line as given
    int SendeBefehl(const char* text);                   // straight to the channel; 0
    void FBStInfo(BSTINFO* info);
    int32_t RundeL(float value);  // halves away from zero

    // ---- Line assembly -------------------------------------------------------------------
    void Out_Str(const char* text);  // appends text; a ";" marks the comment
    void Out_R(double value);        // appends separator and number (at most 4 decimals)
    // Writes the line and tests the memory: check > 0 with a 4096-byte margin, 0 with 128,
    // negative not at all.
    void Ausgabe(int check);

    // ---- State (fields in the host's order) ---------------------------------------------
    int32_t Geraeteart{};
    int32_t Optionen{};
    int32_t Spuelzaehler{5};  // lines left until the channel's input is flushed
    float Flughoehe{}, FlugZweiter{};
    float Tiefe{}, LetzteTiefe{-10.0f};
    float OffsetX{}, OffsetY{};
    double LetztesX{-10000.0}, LetztesY{-10000.0}, LetztesZ{};  // machine units
    uint8_t ZahlGeschrieben{};
    uint8_t Kommentar{};
    int32_t Spindel{1};
    float Drehzahl{};
    uint8_t AutomatikVorher{1};
    char Zeile[300]{};  // at most 299 characters
    float Aufloesung[3]{1.0f, 1.0f, 1.0f};
    float Weitere{};
    HWND Besitzer{};
    // Without SetzeSpezial: the same as SetzeSpezial(0), a 128 MiB memory and a count from 0.
    int32_t Speichergrenze{134217727};
    int32_t Bytes{};
    const WZW_PB_STRUCT* Magazin{};
    int16_t MagazinAnzahl{};
    int32_t Zeilen{};  // lines written since Open, for error reports

  private:
    bool Gueltig(const char* member, std::initializer_list<double> values);
    void Achsen(double x, double y, double z, bool withZ);
    void KreisZeile(double r, double start, double sweep, double last, const char* text);
    void Meldung(const char* text);
    void Melde();
};
