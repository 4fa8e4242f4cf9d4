// CEUROBOX: drives a machine with an EUROBOX controller. The controller knows no Z per move: the
// tool is either up ("U x,y;") or down at a set depth ("D x,y;"). Depth, feeds and a few machine
// settings are parameter statements ("W", "T", "O", "A", "V", "B", "Z") that the driver sends
// before a move whenever they changed. Statements are sent back to back without line ends.
//
// Coordinates: drawing coordinates (millimetres) are mirrored in Y about the drawing's height
// (SetzePosInfos), optionally centred on a point of the machine, and go out in steps of 0.0158 mm
// in X and Y; Z values in steps of 1/30 mm. Feeds in mm/s.
//
// A drawn point below the flight threshold (a plunge) is held back until the next move shows
// whether the tool cuts from it (then it is lifted there and goes down along the next line) or
// leaves it (then it plunges there). Tool changes and new workpieces stop the job with a message
// box that the operator confirms.
//
// The drawing flag (tool down), the feeds-changed and depth-changed flags are held once for the
// whole library. The class has no virtual members; the host copies it whole.
#pragma once

#include <cstdint>

#include "channel/cx268io.h"
#include "common/records.h"
#include "common/wintypes.h"

namespace korvat::eurobox {
// The tool is down (the last move was "D"). Read and set by every CEUROBOX member that moves.
extern int16_t Zeichnen;
// The feeds or the depth changed since their statements were last sent; set by the setters,
// cleared when the statements go out.
extern int16_t VorschuebeGeaendert;
extern int16_t TiefeGeaendert;
}  // namespace korvat::eurobox

class CEUROBOX {
  public:
    // ---- Set-up ------------------------------------------------------------------------------
    // Opens the channel (as CHPGLA::Open; no start-up file) and sends "I0;". Every parameter
    // statement goes out before the first move. Returns popen's result.
    int Open(short port, const MaschEinstellung* settings, const char* name, int* opened,
             int protocol, const char* profile);
    // Sends a held-back plunge; with art 1 the lift to the origin "U0,0;"; closes the channel
    // (pclose(art, b)). Returns 0.
    int Close(int art, int b);
    // Steps: 0.0158 mm in X and Y, 1/30 mm in Z; the fifth to seventh floats of the record are
    // kept as limits, the last is the Z limit. Returns 0.
    int Init(InitStruct* init, int);
    void SetzeSpezial(HWND owner) { Besitzer = owner; }
    // The drawing's size (w, h): (c, d) for a multiple plate (f != 0), else (a, b), or (b, a)
    // with exchanged axes (e != 0). Y is mirrored about h; with zentriert the drawing is centred
    // on the settings' EuroboxMitteX/Y. Keeps a copy of the settings for the parameter values.
    void SetzePosInfos(float a, float b, float c, float d, int e, int f, const MaschEinstellung* m,
                       short zentriert);
    void SetzeVorschub(float f);                       // XY feed, mm/s
    void SetzeVorschuebe(float fxy, float fz);         // mm/s
    void SetzeZVorschub(float fz) { VorschubZ = fz; }  // kept; sent with the next XY feed change
    // Engraving depth (mm; its magnitude is sent): "Z" goes out before the next move when it
    // differs from the depth last sent by more than 0.005 mm.
    void SetzeGTiefe(float t);
    // Points drawn below h - 0.01 are plunges; h2 is sent with "A".
    void SetzeFlughAbsolut(float h, float h2);

    // ---- Moves (drawing millimetres) ---------------------------------------------------------
    // Below the flight threshold a plunge to (x, y); at or above it a Move3. While the tool is
    // down (or a plunge waits) a point below the threshold is drawn to, as the tool cuts there.
    void Draw3(float x, float y, float z);
    // Tool down to the held-back point.
    void Rein();
    // Cuts to (x, y): a held-back plunge is lifted to first ("U" there, then "D").
    void Draw(float x, float y);
    // Lifted move to (x, y); nothing when the tool stands there. z is not used.
    void Move3(float x, float y, float z);
    // Lifted move in machine millimetres (no mirroring, origin or centring).
    void Move_abs(float x, float y);
    // Lift to the origin: "U0,0;".
    void Ende(float);
    // Tool change: stops with the box asking for tool nr with radius r.
    void WkzW(int art, int nr, float a, float r);
    // Stops the job (except right after Open): lift to the origin and re-initialise ("U0,0;I0;"),
    // the settings are sent again before the next move. Then asks the operator by art: 1 clamp
    // the tool, 2 a new workpiece, 3 a new plate, 5 new material (others: no box).
    void Stop(short art);

    // ---- Lines, positionings, status ---------------------------------------------------------
    void SStringln(const char* text);   // sends text as it stands
    int SendeBefehl(const char* text);  // text as a line; 0
    int SendeInitDatei(const char* name, int mitPfad);
    int SendeDatei(const char* path);
    void BPosit_X(float x);            // ";;XA\t<x>;"
    void BPosit_Y(float y);            // ";;YA\t<y>;"
    void BPosit_Z(float z);            // ";;ZA <z>;"
    void BPosit_XY(float x, float y);  // ";;PA <x>,<y>;"
    int SetzXY(float x, float y);      // ";;CX <x>; CY\t<y>;"; 0
    int BPuffClear();                  // "*;CB;RS;"; 0
    int UpdateStatus(int = 0);         // the flush countdown; 0
    float ZBegrenz(float z) { return z <= Grenzen[2] ? z : Grenzen[2]; }
    void FBStInfo(BSTINFO* b);  // bytes 6, 0, 1, 1, 2, 10; no axis letters
    int32_t FRestBuffer() { return 50000; }
    int MFStatus() { return 0; }
    int FRFahrt(int) { return 0; }
    int RefBohr(float) { return 0; }
    int xxx() { return 1; }
    void SetzeMat(float) {}
    void InitMft() {}
    CCX268IO* Gebe_cxio_Zeiger() { return &cx268io; }
    // Sends the statement buffer (nothing when empty); the argument is not used.
    void Ausgabe(short = 0);

    // ---- State, in the order the host knows it -----------------------------------------------
    HWND Besitzer = nullptr;  // owner of the operator's boxes
    int32_t Startzeit = 0;
    int16_t FlushCountdown = 0;
    float VorschubXY = 0.0f, VorschubZ = 0.0f;  // mm/s
    float OffsetX = 0.0f, OffsetY = 0.0f;       // centring, mm
    float UrsprungX = 0.0f, UrsprungY = 0.0f;   // added after the factors, mm
    // Until SetzePosInfos gives the drawing's height, drawing coordinates go out unmirrored.
    float FaktorX = 1.0f, FaktorY = 1.0f;
    float Flugschwelle = -0.01f;  // points drawn below it are plunges (flight height - 0.01)
    float ZweiteHoehe = 0.0f;     // sent with "A", mm
    float Tiefe = 0.0f;           // engraving depth, mm
    float TiefeGesendet = -10.0f;
    int16_t GeradeGeoeffnet = 0;   // 1 after Open, until the first Stop
    int16_t ParameterFaellig = 0;  // "W", "T", "O", "A" must be sent
    int16_t ErstesOeffnen = 0;
    float SkalaX = 0.0f, SkalaY = 0.0f, SkalaZ = 0.0f;  // steps per millimetre
    float EinFaktor = 1.0f;
    float Grenzen[3] = {};                           // [2] is the Z limit
    int32_t AktX = 0, AktY = 0, AktZ = 0;            // steps
    int32_t LetzteX = -1000000, LetzteY = -1000000;  // last "U"/"D" point, steps
    int16_t EintauchenFaellig = 0;                   // a plunge is held back
    float FaelligX = 0.0f, FaelligY = 0.0f;          // its point, drawing mm
    int16_t Werkzeugnummer = 0;
    float Werkzeugradius = 0.0f;
    char Satz[128] = {};
    MaschEinstellung Einstellungen{};
    char Initverzeichnis[260] = {};

  private:
    // Sends the parameter statements that are due (lifting the tool first when it is down).
    void InitParameter();
    void ParameterFallsNoetig();
    // Drawing millimetres to steps; false (reported) when the point cannot be sent.
    bool Punkt(const char* wo, float x, float y, int32_t* px, int32_t* py);
    // Builds "U"/"D" with the point into Satz and sends it.
    void Bewegung(const char* art, int32_t px, int32_t py);
    void Baue(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Sends a held-back plunge and clears it.
    void ReinFallsFaellig();
};
