// CSMS68A: drives a machine with an SMS68A controller online. It speaks the HPGL-A dialect (see
// online/hpgla) with these differences:
// - the steps per millimetre come from the unit record, and a Z limit with them;
// - every Z that goes out is multiplied by the Z sign, -1 when the machine profile has
//   "zumgekehrt" = 1 in section "maschinentyp" (a machine whose Z counts downwards), else 1;
// - without 3-D drawing a drawn point becomes a lifted positioning to its XY and a plunge to its Z,
//   and the positioning is left out while the tool already stands at that XY;
// - spindle output, the PT statement, the pen number and the position check need the extended
//   functions, switched on by Open;
// - there is no single-step mode, and the machine stops with "HS;".
// The Z sign and the XY of the last positioning are held once for the whole library (the
// controller is one, whatever number of driver objects the host makes).
//
// The class has no virtual members and no behaviour in construction; the host copies it whole.
#pragma once

#include <cstdint>

#include "online/hpgla/hpgla_kern.h"

namespace korvat::sms68a {
// The Z sign of every CSMS68A object: set by each Open from the profile.
extern float ZVorzeichen;
// XY of the last "PA" of Move3 or Draw3, in steps; -1000000 after Open, -100000 after a Draw
// or Kreis (both mean: not known).
extern int32_t PositioniertX, PositioniertY;
}  // namespace korvat::sms68a

class CSMS68A : public korvat::hpgla::Kern {
  public:
    // ---- Set-up ------------------------------------------------------------------------------
    // As CHPGLA::Open, with the extended functions and 3-D drawing switched by erweitert and
    // dreiD; "PT0;"/"PT1;" only with extended functions. Reads the Z sign from the profile,
    // whether or not the channel opened.
    int Open(short port, const MaschEinstellung* settings, const char* name, int* opened,
             int protocol, const char* profile, int schnell, int erweitert, int dreiD);
    // Steps per millimetre: the first three floats of the record (0 or less: 1000); the next four
    // floats are kept, the last of them is the Z limit. Returns 0.
    int Init(InitStruct* init, int);
    // Pen number and PT flag, with extended functions only (otherwise both 0).
    void SetzeSpezial(int gf, int pt);
    // The flush countdown (the argument is not used). Returns 0.
    int UpdateStatus(int = 0) {
        korvat::hpgla::Flushzaehler(&FlushCountdown);
        return 0;
    }
    void FBStInfo(BSTINFO* b);  // bytes 6, 0, 1, 1, 2, 10
    // z, or the Z limit when z lies above it.
    float ZBegrenz(float z) { return z <= Weitere[3] ? z : Weitere[3]; }
    // 0 at once without extended functions; otherwise as CHPGLA.
    int LeseIst_Check();

    // ---- Moves (millimetres; Z with the Z sign) ----------------------------------------------
    // Upwards: "ZA" then "PA"; level: "PA"; downwards: "PA" then "ZA". "PA" only when XY changed.
    void Move3(float x, float y, float z);
    void Draw3(float x, float y, float z);
    void MoveZ(float z);
    void BPosit_Z(float z);
    void BPosit_XY(float x, float y);
    void Draw(float x, float y);
    void Kreis(float mx, float my, float r, float sweep, float ex, float ey);

    // ---- Machine functions -------------------------------------------------------------------
    void SetzeVorschuebe(float fxy, float fz);
    void Spinddreh(int n, const SpindelInfo* info);  // with extended functions only
    void Actuator(int nr, char c);                   // "S<nr><c>;"
    void Wait(float seconds);
    void Stop();  // "HS;"
    void WkzW(int, int, float, float) { Stop(); }
    // Sends text as one line; no answer is read. Returns 0.
    int SendeBefehl(const char* text);
    void Spindea(int) {}
    void SetzeMat(float) {}
    void ZReffahrt(float, float) {}
    void BStop() {}
    int RefBohr(float) { return 0; }

    // ---- State beyond the shared one ---------------------------------------------------------
    float Weitere[4] = {};  // fourth to seventh float of the unit record; [3] is the Z limit
    int32_t Erweitert = 0;  // extended functions
    int32_t DreiD = 0;      // 3-D drawing: Draw3 sends one "MA"

  private:
    bool ZSchritte(const char* wo, float z, int32_t* out);
};
