// B268: drives a machine with a B268 controller online, through the library's one channel.
//
// Every host call becomes one command line in the controller's language (a straight line is
// "D x y"); motion commands are collected into blocks framed by the bytes 14 (open) and 15
// (close), closed at the latest after 250 commands. The driver polls the controller's status at
// most once a second, reads its free buffer and waits while the controller asks it to, reads
// positions back, and maps spindle speeds onto the steps of the spindle table.
//
// The driver has no Open and no Close: the host opens the channel (Gebe_cxio_Zeiger) and then
// runs the set-up: HoleSTabelle, InitKlasse, Init, InitEinheit, InitGeschw, InitTeilk and the
// tool set-up. Errors go to the channel's record (psfehler): 1021 the controller does not come
// ready, 3110-3113 the spindle table cannot be loaded, 3111 table missing, 3114/3115 a speed
// below/above the table, 3166 an unknown tool-change kind. Controller faults 'A' and 'C' set
// the channel's Fehlerflag, after which every call falls silent.
//
// Lengths are millimetres, angles radians (sent in degrees), feeds as the controller takes them.
#pragma once

#include <cstdint>

#include "channel/cx268io.h"
#include "common/records.h"
#include "common/wintypes.h"

#pragma pack(push, 2)
// The tool-length probe: leading host members this driver does not read, then seven floats.
struct WzkTastStruct {
    int16_t Kopf[4];  // not read here; their layout is the host's
    float P[7];       // p1..p7
};
// The tool-changer's sensor/actuator words: members 0, 1, 12 and 13 are read here.
struct WZW_SA_STRUCT {
    int16_t Wert[16];
};
#pragma pack(pop)

class B268 {
  public:
    // Motion. Members marked † poll the status (at most once a second) and then run Cx268Buffer.
    // Rapid move "ZE x y z"; closes a pending block (15) and always opens one (14).
    void Move3(double x, double y, double z);
    void Draw(double x, double y);             // † "D x y"
    void Draw3(double x, double y, double z);  // † "Z x y z"
    void MoveZ(double z);                      // † "MZ z"
    // † Arc "AM a b w c": a, b the centre, w the sweep in radians (sent in degrees, positive
    // counter-clockwise), c the radius.
    void Kreis(double a, double b, double c, double w);
    // † "AB w1 w2 c d" with the two angles in degrees.
    void KreisZ(double w1, double w2, double c, double d);
    void A4A(double a);  // "ZS a": the rotary axis
    void Grund();        // "KM"
    void Grund(double z);
    void Grund(double x, double y);
    void Grund(double x, double y, double z);                           // Z sent negated
    void SetzeVorschub(float f);                                        // "V f"; the XY feed
    void InitGeschw(float f1, float f2, float f3, float f4, float f5);  // XY feed f1, Z feed f2
    void SetzeZVorschub(float fz);  // "V xy z fz" with the stored feeds
    void Wait(float t);             // "FW t"
    void Stop();                    // "STOP"
    void Spindea(int ein);          // "FKSE" / "FKSA"
    // " FD step": the step whose speed is nearest n (the lower one exactly halfway). Needs the
    // spindle table: 3111 without one, 3114/3115 below/above it.
    void Spinddreh(int32_t n);
    void Actuator(int nr, char c);                           // "FK<nr><c>"
    void Sensor(int a, int b, float t);                      // "LW a b t"
    void SetzeFlughAbsolut(float h, float h2, int absolut);  // "GT abs 0 -h"
    void Schildtrenner();  // the byte 16; the next buffer check closes the block

    // Tools.
    // "WZ|WZA|WZT|WZTA nr a b" for art 0..3 (other art: 3166 and "STOP"); closes the block after.
    void WkzW(int art, int nr, float a, float b);
    void WzkAblegen();                                     // "WZA 0"
    void ToolCheck(int art, int nr);                       // "WZB nr" (art >= 1) or "KOB"
    void InitWzkTast(const WzkTastStruct* p);              // "KYB p1 p2 -p4 p5 p6 p7"
    void SetzeWzkTast(const char* s);                      // "KYA" + s, at most 10 characters
    void WZWSenAct(const WZW_SA_STRUCT* s);                // "KOF m0 m1 m12 m13 0 0"
    void WZWPplusB(const WZW_PB_STRUCT* s, int16_t mode);  // magazine places "KOM", "KOW", "KOZ"

    // Set-up.
    // The start-up dialogue; a cold controller is set up and waited for (warteRef: a reference
    // run still under way keeps the wait going). 0, or 1 after error 1021.
    int Init(const InitStruct* s, int warteRef);
    void InitKlasse();  // clears the absolute flag
    void InitMft() {}
    // Loads SPIND.TAB from the folder of path. 0, or the error number (also recorded).
    int HoleSTabelle(const char* path);
    // "KD rx ry rz r4 3 1000" (millimetres) or "KD ... 4 10000" with the values × 25.4 (inch).
    void InitEinheit(int zoll, int teilk, int vierte, char achse, float rx, float ry, float rz,
                     float r4);
    // The rotary axis: "KT<axis> factor" (or "KT  factor" for modus != 0) when aktiv.
    void InitTeilk(int aktiv, int modus, char achse, float d, float k1, float k2, float sx,
                   float sy, float sz);
    void SetzeTest(int test, HWND hwnd);
    int xxx() { return 1; }
    float ZBegrenz(float z) { return z <= 0 ? z : 0.0f; }
    CCX268IO* Gebe_cxio_Zeiger();

    // Block control: line queries whose answers are ignored.
    void BStart();    // "O*S"
    void BStop();     // "O*H"
    void BAbbruch();  // "O*A"
    void BWstSetz();  // "O*N"
    // "O*P x y z a" in machine units (x·fx·scale X, y·fy·scale Y, -z·fz·scale Z, a·fa, each
    // rounded half away from zero).
    void BPositionieren(float x, float y, float z, float a, float fx, float fy, float fz, float fa);

    // Status and position.
    // Polls the status at most once a second; with mitPuffer also the free buffer (else 0).
    int32_t UpdateStatus(int mitPuffer);
    // "OS": sets busy, hold, position pending, must-wait; 'A' and 'C' set Fehlerflag. 1 when
    // Fehlerflag is set, else 0.
    int MFStatus();
    // "OB": the free buffer (50000 for an empty answer, 0 for one that cannot be read).
    int32_t FRestBuffer();
    // "Or": 1 when the answer is empty, holds '@', or 'H' with h = 0; else 0.
    int FRFahrt(int h);
    // The actual position ("Op" with its mask, or all four with "Oo"). Returns the count read.
    int LeseIst(int alle, int dreh, FLAGPOS* pos);
    // The measured position ("On", Z negated) when the status says one is pending.
    int LeseWBK(FLAGPOS* pos);
    // Counts a buffered command, closes blocks, waits while the controller asks for it.
    void Cx268Buffer();
    void FBStInfo(BSTINFO* b);

    // The status words this driver keeps in the channel.
    static int32_t& Beschaeftigt() { return cx268io.B268Status[0]; }
    static int32_t& Halt() { return cx268io.B268Status[1]; }
    static int32_t& PositionWartet() { return cx268io.B268Status[2]; }

    // Members, in the host's order (all zero until set, the scales 1).
    HWND Fenster{};
    int32_t Test{};
    int32_t LetzteAbfrage{};    // ms clock (low 24 bits) of the last status poll
    int32_t BlockSchliessen{};  // 1: the next buffer check closes the block
    int32_t Befehle{};          // buffered commands since the last block close
    float STabelle[128]{};      // speed of each step, not decreasing
    int32_t STabelleFehlt{};    // 1 when the last HoleSTabelle failed
    int32_t Zusatzkopf{};       // 1 when the machine type letter is 'Z'
    float VorschubXY{}, VorschubZ{};
    float Drehfaktor{};  // sent with "KT"
    int32_t Drehmodus{};
    char Drehachse{' '};  // ' ', 'X' or 'Y': the linear axis the rotary axis replaces
    float Flughoehe{};
    float Hoehe2{};
    int32_t Absolut{};
    int32_t Info{};
    int16_t Magazinmodus{};
    float SkalaX{1}, SkalaY{1}, SkalaZ{1};  // factors of BPositionieren

  private:
    void Zeile(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void NachBewegung();  // UpdateStatus(0), then Cx268Buffer
    int LiesWerte(const char* antwort, int maske, FLAGPOS* pos, bool zNegativ);
};
