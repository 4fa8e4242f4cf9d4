// CHDH: the Heidenhain conversational (plain-language) program writer. One "L" block per straight
// move, "CC"/"C" pairs for arcs, "TOOL DEF"/"TOOL CALL" for tool and speed changes, "BLK FORM"
// for the blank, optional Q-parameter feed and speed words and an optional block number in
// front of every line. Writes through the library's channel (cx268io); no head and no tail of
// its own: the file holds exactly the blocks the calls produce.
//
// Units and signs: coordinates are millimetres (double), feeds metres per minute (written in
// mm/min as " F%1ld", or m/min for rapid words with VorschubFormat), speeds revolutions per
// minute, arc angles in radians with a positive sweep counter-clockwise ("DR+"). A coordinate
// that prints as zero is written without a minus sign ("0.000", never "-0.000").
//
// Error model: members return small status values and never throw. A NaN or infinite value is
// refused (code 2103), a block that would not fit its 120-character buffer too (code 2102): the
// block is not written, the channel's error record names the file, the line and the value, and
// the channel stops all further output, so what was written before stays intact.
//
// The class has no virtual members and no behaviour in construction; the host copies it whole.
#pragma once

#include <cstdint>

#include "common/records.h"
#include "writers/common/writer_common.h"

// The Escape flags and the writer's own error record (Escape1, FehlerCode, FehlerText1...,
// SetzeFehler, tastaturabfrage) come from Schreiberstatus, the file-position forwarders from
// KanalDateizeiger.
class CHDH : public korvat::writer::Schreiberstatus, public korvat::writer::KanalDateizeiger {
  public:
    // ---- Common writer calls -------------------------------------------------------------
    int Init(InitStruct* init, int a, int32_t b);  // nothing; returns 0
    void InitEinheit(int a, int b, int c, char d, float e, float f, float g, float h, int32_t i);
    // Reads the settings, resets the writer and opens the channel; writes nothing. Sets
    // *openedBefore to 1. Returns popen's result (0 ok), 1 for a null settings record.
    short Open(short portWanted, const MaschEinstellung* settings, short geraeteart,
               const char* basePath, int* openedBefore, const char* text);
    int Close(int closePort, int closeFile);  // pclose with both; returns 0

    // ---- Rapid moves: "L" blocks with the rapid feed word --------------------------------
    void Move(double x, double y);             // starts a pending spindle with " R0 ... M3 "
    void Move3(double x, double y, double z);  // X-Y block, then Z block
    void MoveZ(double z);                      // only when Z changed by 0.001 or more
    void Move_abs(double x, double y);         // the same, unconditional, no spindle start
    void Move3_abs(double x, double y, double z);
    void Movez_abs(double z);

    // ---- Feed moves: "L" blocks with the cutting feed and speed words --------------------
    void Draw(double x, double y);
    // Going down it cuts at the plunge feed: 3D length / dz times the Z feed, at most the XY feed.
    void Draw3(double x, double y, double z);
    // Arc around (cx, cy) of radius r by `sweep` radians to (ex, ey); `start` is not used.
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey);

    // ---- Feeds and speeds (m/min, rpm) ----------------------------------------------------
    void SetzeVorschuebe(float xy, float z);  // stores both; writes nothing
    void SetzeVorschub(float f);              // current feed, pending; picks its Q number
    void SetzeVorschubDIN(float f);           // current feed, not pending; plunge feed off
    void SetzeEilgaenge(float rapid, float b, float c);  // the rapid feed (m/min)
    // Speed change: writes the pending tool call (retract, TOOL DEF, TOOL CALL, M13).
    void Spinddreh(int32_t speed);
    void InfoSpinddreh(int32_t speed);  // stores the speed only
    void Spindea(int on, float dwell);  // on: start with the next Move; off: "M5"
    void InfoSpindea(int on, float dwell);
    // Q parameter numbers of XY feed, Z feed and speed. Returns 0.
    int SetzeVarNummern(int32_t xy, int32_t z, int32_t speed);

    // ---- Tools ---------------------------------------------------------------------------
    // Records a tool change (radius = first float of the record, length = sixth); the blocks
    // follow with the next Spinddreh.
    void WkzW(int flags, int tool, const AWKZDAT* data);
    void AktionenVorWkzW();  // next feed word forced, speed pending
    int WzUmcodieren(int tool);
    void WZWPplusB(const WZW_PB_STRUCT* magazin, short count);
    void WzlEinAus(short on);

    // ---- Rotary axis, blank, free axis, infeed axis --------------------------------------
    // Rotary engraving on a cylinder of `diameter` mm replacing `axis` ('X', else Y); then the
    // BLK FORM pair once per Open from the workpiece data of SetzePosInfos.
    void InitTeilk(short on, short axis, char c, float diameter, float p, float q);
    // X origin, Y origin, X extent, Y extent, depth, alternative X and Y extent, exchange
    // switch, alternative switch; the rest is the host's.
    void SetzePosInfos(float x0, float y0, float dx, float dy, float depth, float altDx,
                       float altDy, short exchange, short alternative, float h, float i, short j);
    int FreieAchse(double position);  // "L <axis><pos>" when due; returns 0
    void Zustellachse(char axis, float value);

    // ---- Members with nothing to do on this control --------------------------------------
    // No probing: *status = 1, *result = -3.333. Returns 0.
    int Abtasten(double x, double y, double z, int32_t n, float* result, short* status);
    void ToolCheck();  // reports 2101 into the channel's error record
    void Wait(float seconds);
    void Stop();
    void Sensor(int a, int b, float c);
    void Actuator(int a, char ch);
    void MZuordnung();
    void SetzeWzkTast(const char* text);

    // ---- Block output --------------------------------------------------------------------
    // Writes the line buffer as one block ("%1ld %s" with block numbers) and empties it.
    void Dateiausgabe();
    // A line from the host; numbered when `numbered` and block numbers are on.
    void SStringln(short numbered, const char* text);
    // "%1ld " with the next block number into buffer (at least 16 bytes), "" without numbers.
    void MacheSatznummer(char* buffer);
    int32_t GebeDINSatznummer();  // the next block number
    void AddEilgang();            // rapid feed word (" FMAX", " F...")
    void AddVorschub();           // cutting feed word when due (5 % rule)
    void AddDrehzahl();           // speed word when due
    float ZBegrenz(float z);      // the smaller of z and the retract height
    // The Z height of the retract before a tool call (Optionen 0x40), in millimetres.
    void SetzeRueckzugHoehe(double z);
    void FBStInfo(BSTINFO* info);

    // ---- State (fields in the host's order) ---------------------------------------------
    int16_t Geraeteart{};
    int32_t Optionen{};  // 0x200 block numbers, 0x40 retract, 0x80000 TOOL DEF
    const MaschEinstellung* Einstellung{};
    double Faktor[3]{1.0, 1.0, 1.0};  // X, Y, Z
    int16_t KreisrichtungTauschen{};
    int32_t ErsteNummer{}, LetzteNummer{999999999};
    int16_t SWorte{}, FWorte{}, MWorte{};  // 1: speed, feed, spindle words on
    int16_t Nachkommastellen{3}, MaxNachkommastellen{5};
    int16_t Rohteil{};     // BLK FORM enabled
    int16_t Eintauchen{};  // plunge feed enabled
    int16_t Offen{};       // channel open
    float VorschubXY{}, VorschubZ{};
    float LetzterVorschub{-1.0f};  // last written feed; -1 forces the next word
    float Vorschub{0.1f};          // current feed
    int16_t VorschubAnstehend{};
    int16_t FesterVorschub{};  // SetzeVorschubDIN: no plunge feed until the next Open
    float Eilgang{1.0f};
    int16_t FreieAchseMarke{};  // 819 while the free-axis block is due
    int32_t Drehzahl{}, LetzteDrehzahl{-1};
    int16_t DrehzahlAnstehend{};
    int32_t Werkzeugereignis{};  // 0 none, 55 tool change, 66 speed change
    int16_t Werkzeug{};
    float WzLaenge{}, WzRadius{};
    int16_t SpindelStart{};
    double LetztesX{-100000.0}, LetztesY{-100000.0}, LetztesZ{1000.0};
    int32_t Satznummer{};
    char Zeile[120]{};
    // Retract height: no call of the host sets it, so it has a setter and a safe default high
    // above any workpiece.
    double Rueckzug{100.0};
    char KommentarAuf[20]{}, KommentarZu[20]{};
    char Adresse[4]{'X', 'Y', 'Z', 'A'};
    char Format[3][20]{};  // X, Y, Z
    float Werkstueck[7]{};
    int16_t Tausch{}, Alternativ{};
    const WZW_PB_STRUCT* Magazin{};
    int16_t MagazinAnzahl{};
    double RohteilMasse[3]{};  // width, height, depth as written
    int16_t RohteilGeschrieben{};
    int16_t Rundachse{};
    int16_t ErsetzteAchse{'X'};
    char RundachsBuchstabe{'A'};
    float RundRadius{1.0f}, TeilkP{1.0f}, TeilkQ{1000.0f};
    int16_t Laengenpruefung{};
    int16_t ToolCallGeschrieben{};
    int32_t QNummer[3]{-1, -1, -1};  // XY feed, Z feed, speed
    int32_t VorschubQ{-1};
    int32_t Zeilen{};  // lines written since Open, for error reports

  private:
    // Appends " <letter><number>" to the line, the number printed with numberFormat and never
    // as a negative zero; sets the overflow mark when it does not fit.
    void Wort(char letter, const char* numberFormat, double value);
    // Builds a block of the word ("L", "CC", "C") and n axis words: axes are indexes 0..2 (the
    // letter and number format of that axis), values are already scaled.
    void Baue(const char* word, int n, const int* axes, const double* values);
    void Schreibe(const char* line);
    bool Gueltig(const char* member, std::initializer_list<double> values);
    void Verweigere(int code, const char* text);
    void SchnellXY(double x, double y, bool spindleStart);
    void SchnellZ(double z);
    bool ueberlauf_{};  // an append did not fit the line buffer
};
