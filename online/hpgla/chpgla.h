// CHPGLA: drives a machine online whose controller speaks the HPGL-A dialect (see hpgla_kern.h):
// HPGL with a Z axis, feeds, spindle, outputs and position read-back. 1000 steps per millimetre on
// every axis. On the first Open it sends the start-up file INITSV.DAT (or INITSK.DAT for a fast
// start) from the folder of the machine profile. In single-step mode every statement line is
// counted, and WarteFertig waits for the controller's acknowledgements.
//
// Units and signs: millimetres, feeds in m/min (sent as mm/min), dwell in seconds, sweeps in
// radians (positive counter-clockwise), speeds in 1/min.
//
// The class has no virtual members and no behaviour in construction; the host copies it whole.
#pragma once

#include "online/hpgla/hpgla_kern.h"

class CHPGLA : public korvat::hpgla::Kern {
  public:
    // ---- Set-up ------------------------------------------------------------------------------
    // Opens the channel (popen with the keyboard poll on, port wanted, settings, output file base
    // path, the host's opened-before flag and the channel mode), sends ';', on the first open the
    // start-up file (schnell != 0: INITSK.DAT, else INITSV.DAT) from the profile's folder, and
    // then "PT1;" or "PT0;". Returns 0, popen's 1, or -1 when the start-up file could not be sent
    // (error 1035 recorded, the file path in the record's first text).
    int Open(short port, const MaschEinstellung* settings, const char* name, int* opened,
             int protocol, const char* profile, int schnell);
    // 1000 steps per millimetre, the stored point 0, the clock, the extra head ('Z'). Returns 0.
    int Init(InitStruct* init, int);
    void SetzeSpezial(int gf, int pt) {
        Stiftnummer = gf;
        PTFlag = pt;
    }

    // ---- Single step -------------------------------------------------------------------------
    // From here on every statement line is counted; what the controller sent so far is
    // discarded. Returns 0.
    int SetzeSchrittweise();
    int SetzeNormalausgabe() {
        Einzelschritt = 0;
        return 0;
    }
    // Waits for the acknowledgements of the lines counted: "!" gives 0, "F" gives 2, other
    // characters and read time-outs are passed over. Returns 1 at once when nothing is
    // outstanding; ends early when the channel's Fehlerflag is set (then the last answer's
    // result, or 1 when none came). Afterwards nothing is outstanding and the rest is discarded.
    int WarteFertig();
    // Counts one statement line (see SetzeSchrittweise) or runs the flush countdown. Returns 0.
    int UpdateStatus() {
        Zaehle();
        return 0;
    }
    // The status record: bytes 8, 0, 1, 1, 2, 10; axis letters "A" with the extra head.
    void FBStInfo(BSTINFO* b);

    // ---- Moves (millimetres) -----------------------------------------------------------------
    // Rapid move: upwards Z first ("ZA"), then XY ("PA") when it changed, then "ZA" to z.
    void Move3(float x, float y, float z);
    // Pen down; "ZA" when XY stays, else "MA x,y,z".
    void Draw3(float x, float y, float z);
    // Pen up and "ZA" to z.
    void MoveZ(float z);
    void BPosit_Z(float z);            // pen up, "ZA z;"
    void BPosit_XY(float x, float y);  // pen up, "PA x,y;"
    void SetzeMat(float z);            // "CZ\tz;"
    // Reference move of Z: ";PD;RF-Z;CZ\ta;ZA\tb;" with a and b in Z steps.
    void ZReffahrt(float a, float b);
    // Centres X and Y on a bore: references both axes with feed f and moves each back by half of
    // the position read (whole millimetres). No statement is counted. Returns 0.
    int RefBohr(float f);

    // ---- Machine functions -------------------------------------------------------------------
    void SetzeVorschuebe(float fxy, float fz);  // m/min
    // Spindle output interpolated over the speed range (1038 outside it, 1037 when an output
    // value lies outside 0..2.5505): "DA\t<value * 100>;".
    void Spinddreh(int n, const SpindelInfo* info);
    // Output nr set to c: 7 "C<c>;", 8 "K<c>;", otherwise "S<nr><c>;".
    void Actuator(int nr, char c);
    void Wait(float seconds);  // "WA <ms>;"
    // "M1;M2;", and in single-step mode "EF!;" after it.
    void Stop();
    void WkzW(int art, int nr, float a, float b);
    // Sends text as one line after discarding what the controller sent, and reads one character:
    // 0 when it is "!", else 1.
    int SendeBefehl(const char* text);
};
