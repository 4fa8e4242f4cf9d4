// The job supervisor. The host calls one Satz_* member beside every block it sends to a machine
// or writes to a program. The supervisor sends nothing itself; for each block it checks the
// target against the workpiece and the machine's travel, keeps the extremes of the path, adds
// the block's estimated time to the job totals and, with the live display on, shows the last
// three blocks and the position in the host's block display dialog (items 107 to 177) and
// synchronises with the machine and the operator (single step, automatic, abort).
//
// Units: lengths mm (A degrees), feeds given in m/min and kept in mm/min, times kept in minutes
// and returned by the motion members in seconds, angles in radians (a positive sweep runs
// counter-clockwise). Nothing reports an error to the caller; members return 0 unless said.
#pragma once

#include <cstdint>

#include "common/maschcommand.h"
#include "common/psatz.h"
#include "common/records.h"
#include "common/wintypes.h"

class CHPGLA;
class B268;
class CDIN;
class CHPGLB;

class CSATZ {
  public:
    // Starts a job (see the member table below for what is reset). The machine type decides
    // what the supervisor waits for and whom it tells of an abort; types 1, 4, 9, 22, 25 and 30
    // run without display and set *displayFlag to 0. directory holds "DummyPara.bin".
    int16_t Start(CMainWindow* window, int machineType, int* displayFlag, HWND dialog,
                  CHPGLA* hpgla, B268* b268, CDIN* din, CHPGLB* hpglb, MaschCommand* command,
                  MaschCommand_P* commandP, MaschCommand_C* commandC, char* directory);
    // Coordinate tolerance of TestGleich (mm).
    void Parameter(float tolerance);
    // Fills the block/status record with the supervisor's defaults.
    int16_t InitInfo(BSTINFO* info);
    // Takes a machine parameter block over (only while the look-ahead estimate is on). Returns 0.
    int NeuerParametersatz(P_SATZ* block);

    // Blocks. The motion members return the block's estimated time in seconds.
    float Satz_XY_E(float x, float y);
    float Satz_XYZ_E(float x, float y, float z);
    float Satz_Z_E(float z);
    float Satz_Z_E_H(float z);  // a retract: the line carries the retract remark
    float Satz_XY_V(float x, float y);
    float Satz_XYZ_V(float x, float y, float z);
    float Satz_Z_V(float z);
    float Satz_Kreis(float endX, float endY, float centreX, float centreY, float radius,
                     float startAngle, float sweep);
    int16_t Satz_A(float a);
    int16_t Satz_Wz(short tool);
    int16_t Satz_Spindel(short ignored, short on);
    int16_t Satz_Spinddreh(short ignored, float speed);
    int16_t Satz_Wait(float seconds);
    int16_t Satz_Actuator(short number, short state);
    int16_t Satz_Sensor(short a, short b, float value);
    int16_t Satz_String_Direkt(char* text);
    // 1013 starts the job's totals; 1015/1016 suppress / resume the display; 1 tool change (clears
    // the path since the last tool), 2..5 the host's events, 6 programmed stop.
    int16_t Satz_Andere(short code);
    // 1 a workpiece finished, 10 restart the time; then the pending look-ahead time is taken.
    int16_t Satz_WST_Ende(short code);
    // Feeds in m/min.
    int16_t Satz_Vorschub_xy(float xy);
    int16_t Satz_Vorschub_xy_z(float xy, float z);
    int16_t Eil_V_Setz(float xy, float z);

    // Display: scroll the three lines; show them and synchronise (single step waits here).
    int16_t SatzVerschieben();
    int16_t Satz();
    void IstPosAnz_X(float value);
    void IstPosAnz_Y(float value);
    void IstPosAnz_Z(float value);
    void IstPosAnz_A(float value);
    // Raises the abort on the machine side (by machine type).
    void SetzeFehlerInSteuerung();
    int16_t Ende();

    // Range checks. The workpiece rectangle is widened by 1.12 x (margin + 2); the machine's
    // upper Z allows 0.01. The first workpiece violation of a job is reported and aborts the
    // machine; a machine violation is reported every time with abort 0, and once a job (with
    // an abort) otherwise. Results: 0 inside, 1 XY outside, 4 Z outside (reported violations).
    int16_t SetzeWerkstueckgroesse(float minX, float maxX, float minY, float maxY, float fifth,
                                   float ignored, float margin);
    int16_t SetzeMaschgroesse(float minX, float maxX, float minY, float maxY, float minZ,
                              float maxZ);
    int16_t Setze_Z_Wbp_Einzelwerte(float c1, float c2, float c3, float c4, float c5, float c6,
                                    float c7);
    int16_t WSTTesteEin();  // these four return the switch's previous value
    int16_t WSTTesteAus();
    int16_t MaschTesteEin();
    int16_t MaschTesteAus();
    int16_t WSTTesteKoordinate(float x, float y);
    int16_t WSTTesteKreis(float endX, float endY, float centreX, float centreY, float radius,
                          float startAngle, float sweep);
    int16_t MaschTesteKoordinate(float x, float y, float z, int abort);
    int16_t MaschTesteZWert(float z, int abort);
    int16_t MaschTesteKreis(float endX, float endY, float centreX, float centreY, float radius,
                            float startAngle, float sweep);
    void MaxMinXY(float x, float y);
    void MaxMinZ(float z);
    int16_t TestGleich(float a, float b);
    int16_t TestPunkt(float x1, float x2, float y1, float y2);
    int16_t TestPunkt3(float x1, float x2, float y1, float y2, float z1, float z2);
    void MeldeXYUeberschreitung(char* text, float x, float y, int abort);
    void MeldeZUeberschreitung(char* text, float z, int abort);

    // Block time estimate (minutes unless said).
    float ZeitMit(float* total, float length, float speed);
    float v_trapez(float length, float* startSpeed, float* peakSpeed, float* endSpeed, float k);
    float v_minus(float v, float s, float k);
    float ZeitAusWeg(float length, float feed);  // seconds; feed in m/min
    float Wegstrecke(float x, float y);          // from the last XY position
    int16_t BerechneZeit(short flag);

    // Members in the order the host knows them.
    CMainWindow* Hauptfenster{};
    int32_t MaschinenTyp{};
    int32_t AnzeigeEin{};
    HWND Dialog{};
    CHPGLA* Hpgla{};
    B268* B268Treiber{};
    CDIN* Din{};
    CHPGLB* Hpglb{};
    MaschCommand* Kommando{};
    MaschCommand_P* KommandoP{};
    MaschCommand_C* KommandoC{};
    float StartGeschwindigkeit{}, EndGeschwindigkeit{};  // mm/min
    float Bahnbeschleunigung{};                          // k, mm/min^2
    int32_t VorausschauEin{};
    float Toleranz{};
    int16_t Automatik{};  // 0 single step, 1 automatic
    int16_t AutomatikGemeldet{};
    char Zeile1[150]{}, Zeile2[150]{}, Zeile3[150]{};  // line 1 oldest
    int16_t AnzeigeUnterdrueckt{};
    float WstRand{};  // margin + 2
    float LetztesX{}, LetztesY{}, LetztesZ{}, LetztesA{};
    float VorschubZ{}, VorschubXY{}, EilXY{}, EilZ{};  // mm/min
    int16_t XYVorschubGeaendert{};
    int16_t ZVorschubGesetzt{};
    float WstMaxX{}, WstMaxY{}, WstMinX{}, WstMinY{}, WstFuenfter{};
    int16_t WstTestEin{};
    int16_t WstGemeldet{};
    float MaschMinX{}, MaschMinY{}, MaschMinZ{}, MaschMaxX{}, MaschMaxY{}, MaschMaxZ{};
    float ZAnteil[7]{};  // c2, c1, c3, c4, c5, c6, c7
    int16_t MaschTestEin{};
    int16_t MaschGemeldet{};
    int16_t AuftragBegonnen{};
    float ZeitEilXY{}, ZeitVorschubZ{}, ZeitEilZ{}, ZeitVorschubXY{};  // minutes
    float ZeitFuenf{};
    int32_t Startzeit{};  // seconds since 1970
    int32_t FertigeWerkstuecke{};
    char Frei[202]{};
    float WegEilXY{}, WegVorschubZ{}, WegEilZ{}, WegVorschub{};  // mm
    float MinX{}, MaxX{}, MinY{}, MaxY{}, MinZ{}, MaxZ{};
    float WegSeitWerkzeug{};

  private:
    bool Zeigen(bool auchUnterdrueckt) const;
    void Vorschubzusatz(float feed);
    void ZeigeText(const char* text);
    void ZeigeWert(int item, float value);
    void NeueZeile(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void KonturEnde(const int (&achsen)[3], float x, float y, float z);
    float ZEilgang(float z, bool freifahren);
    float Vorschubweg(float l, float v);
    void Abbrechen();
    char LetzteTasteDerMaschine() const;
};
