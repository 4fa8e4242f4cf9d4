// CDIN: the DIN 66025 / ISO G-code program writer. One call of the host, one or a few program
// lines ("blocks"), written through the library's channel (cx268io) to a file, a port or both.
//
// Units and signs: coordinates are millimetres, feeds are written as given (the host's unit,
// mm/min for the usual " F%1d"), speeds in revolutions per minute, dwell in seconds (negative:
// milliseconds with "G4 P"), angles in radians with a positive sweep counter-clockwise.
//
// Error model: members return small status values and never throw. A block that would not fit
// its 128-character buffer, or a NaN or infinite value, is refused: the block is not written,
// the writer's own record and the channel's error record get the code (2102, 2103) and the
// channel stops all further output, so what was written before stays intact. ToolCheck reports
// 2101 the same way.
//
// The class has no virtual members and no behaviour in construction; the host copies it whole.
// Fields are public because the host reads and sets some of them (Escape flags, the direction
// supervision switch, the upper Z limit).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>

#include "common/records.h"
#include "writers/common/writer_common.h"

// The Escape flags and the writer's own error record (Escape1, FehlerCode, FehlerText1...,
// SetzeFehler, tastaturabfrage) come from Schreiberstatus, the file-position forwarders from
// KanalDateizeiger.
class CDIN : public korvat::writer::Schreiberstatus, public korvat::writer::KanalDateizeiger {
  public:
    // ---- Common writer calls -------------------------------------------------------------
    // Ignores its arguments. Returns 0.
    int Init(InitStruct* init, int a, int32_t b);
    // Do nothing (members of the common writer vocabulary this machine has no use for).
    void InitEinheit(int a, int b, int c, char d, float e, float f, float g, float h, int32_t i);
    void MZuordnung();
    void SetzeWzkTast(const char* text);
    // Reads the settings, resets the writer, opens the channel (popen) and writes the head
    // lines. Sets *openedBefore to 1. Returns popen's result (0 ok), 1 for a null settings record.
    short Open(short portWanted, const MaschEinstellung* settings, short geraeteart,
               const char* basePath, int* openedBefore, const char* programName);
    // Writes the tail ("G115", "M30", EOT as the dialect asks) and closes the channel. Returns 0.
    int Close(int closePort, int closeFile);

    // ---- Rapid and feed moves (millimetres) ---------------------------------------------
    void Move(double x, double y);
    void Move_abs(double x, double y);  // without the X and Y offsets, no speed word
    void Move3(double x, double y, double z);
    void Move3_abs(double x, double y, double z);
    // Rapid move that keeps clear of the work: going down, X-Y first and then Z; going up, Z
    // first. One block when only X-Y or only Z changes. withOffsets 0 leaves the offsets out.
    void Move3_mit_Anfahrlogik(double x, double y, double z, short withOffsets);
    void MoveZ(double z);
    void Movez_abs(double z);
    void Draw(double x, double y);
    // Feed move; going down it uses the plunge feed (ramp feed capped at the XY feed).
    void Draw3(double x, double y, double z);

    // ---- Feed and speed words -----------------------------------------------------------
    void SetzeVorschuebe(float xy, float z);  // XY and Z feed
    void SetzeVorschub(float f);              // current feed f, pending
    void SetzeVorschubDIN(float f);           // current feed f, explicit (no plunge adaption)
    void AddVorschub();                       // appends " F..." when due (5 % rule)
    void AddDrehzahl();                       // appends " S..." / " E..." when due

    // ---- Block output -------------------------------------------------------------------
    // Writes the block text (numbered with Optionen bit 512) and empties it.
    void Dateiausgabe();
    // Writes a raw line; numbered (as "N%-8ld%s") when `numbered` and Optionen bit 512.
    void SStringln(short numbered, const char* text);
    int32_t GebeDINSatznummer();  // the current block number
    void Stop();                  // block "M0"
    // The smaller of z and the upper Z limit (no limit until SetzeZBegrenzung).
    float ZBegrenz(float z);
    void SetzeZBegrenzung(double limit);
    void FBStInfo(BSTINFO* info);  // the fixed block-info values of this writer
    // Reports 2101 into the channel's error record, which stops further output.
    void ToolCheck();

    // ---- Arcs, five axes, rotary engraving ----------------------------------------------
    // Arc around (cx, cy) with radius r from angle `start` by `sweep` (radians, positive
    // counter-clockwise) to (ex, ey); kind 83 ('S') makes it helical down/up to ez.
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind);
    // Radius form ("R"): arcs of a quarter turn or more are split at quarter points.
    short KreisMitRadius(double cx, double cy, double r, double start, double sweep, int word,
                         double ex, double ey, double ez, int kind);
    short KreisMitRadiusRaus(double ex, double ey, double r, int word, double ez, int kind);
    void Move5(int32_t n, double x, double y, double z, double a, double b);
    void Draw5(int32_t n, double x, double y, double z, double a, double b);
    void Zustellachse(char axis, float value);  // "G0 <axis><value>", unscaled
    // Replaces the linear axis `axis` ('X' or 'Y') by the rotary axis for a cylinder of
    // `diameter` mm: values of that axis are then written in degrees.
    void InitTeilk(short on, short axis, char c, float diameter, float p, float q);
    short AenderungDurchmesser(char mode, float diameter);
    int FreieAchse(double value);
    int M15M16Ausgabe(double x, double y);

    // ---- Tool change, spindle, dwell, probing -------------------------------------------
    void WkzW(int flags, int tool, const AWKZDAT* data);
    void AktionenVorWkzW();
    int WzUmcodieren(int tool);
    // Fills the tool-change line from the template: "$X"/"$x" becomes the place, "$$" one "$",
    // "$" with any other character drops both. Returns 0, or -1 when the line did not fit in
    // outSize bytes (out then holds nothing).
    int WzWZeileAuswerten(const char* templ, int place, char* out,
                          size_t outSize = korvat::writer::kSatzLaenge);
    void WZWPplusB(const WZW_PB_STRUCT* magazin, short use);
    void WzlEinAus(short on);
    void Spindea(int on, float dwell);
    void Spinddreh(int32_t speed);
    void InfoSpinddreh(int32_t speed);
    void InfoSpindea(int on, float dwell);
    void Wait(float seconds);
    int Abtasten(double x, double y, double z, int32_t n, float* result, short* valid);
    void Sensor(int a, int b, float c);
    void Actuator(int a, char ch);
    void NeuerZWbk(short v);
    void SetzePosInfos(float a, float b, float c, float d, float e, short f, short g, float h,
                       float i, short j);

    // ---- State (fields in the host's order) ---------------------------------------------
    int16_t Geraeteart{};
    int32_t Optionen{};
    double MassstabX{1.0}, MassstabY{1.0}, MassstabZ{1.0};
    int32_t ErsteNummer{1}, LetzteNummer{999999999}, Satznummer{1};
    // Output switches (1 on).
    int16_t Drehzahlausgabe{}, Vorschubausgabe{}, Spindelausgabe{}, Eilgangausgabe{},
        Wechselausgabe{};
    int16_t Nachkommastellen{3}, MaxNachkommastellen{5};
    int16_t Anfahrlogik{}, Eintauchvorschub{};
    const char* Programmname{};
    int16_t KanalOffen{};
    float VorschubXY{}, VorschubZ{};
    float LetzterVorschub{-1.0f};  // last written feed, -1 none
    float Vorschub{100.0f};        // current feed
    int16_t VorschubAnstehend{}, VorschubExplizit{};
    int16_t LetzterSatzEilgang{};  // last block was a rapid move
    int16_t LetztesGWort{-1};      // -1 none, 0 G0, 1 G1, 2/3 arcs
    int16_t BogenFlag{};
    int32_t Drehzahl{}, LetzteDrehzahl{-1};
    int16_t DrehzahlAnstehend{};
    double OffsetX{}, OffsetY{};
    double LetztesX{-10000000.0}, LetztesY{-10000000.0}, LetztesZ{1000.0};
    char Satz[korvat::writer::kSatzLaenge]{};                 // the block being built
    double ZGrenze{std::numeric_limits<double>::infinity()};  // upper Z limit of ZBegrenz
    int16_t Dialekt1314{}, Dialekt19{}, Dialekt20{};
    char KommentarAuf[20]{}, KommentarZu[20]{};
    int16_t Dialekt15{};
    char Adresse[5]{'X', 'Y', 'Z', 'A', 'B'};  // axis letters 1..5
    char MittelpunktAdresse[3]{'I', 'J', 'K'};
    int16_t BewegungGeschrieben{};  // a motion block has been written since Open
    int16_t WechselMCode2{}, WechselMCode{6};
    // Tool change.
    int16_t Werkzeugwechsler{};  // tool-changer flag (WzlEinAus)
    int16_t ErsterWechsel{};     // a tool change has been made
    const WZW_PB_STRUCT* Magazin{};
    int16_t MagazinBenutzen{};
    int16_t AnstehenderPlatz{-1};                      // pending tool place (Optionen 16384)
    char Werkzeugtext[korvat::writer::kSatzLaenge]{};  // pending tool description
    double Werkstueck[3]{};                            // width, length, Z of SetzePosInfos
    int16_t ErstePosInfo{1};
    // Rotary engraving.
    int16_t Rundachse{};         // 0 off, 1 on, 2 on and switched on in the program (13/14)
    int16_t ErsetzteAchse{'X'};  // 'X' or 'Y'
    char RundachsBuchstabe{'A'};
    float Radius{};
    float TeilkP{1.0f}, TeilkQ{1000.0f};
    int16_t RundNachkommastellen{3};
    int16_t FreieAchseMarke{};        // 819: the next rapid move first brings the free axis to 0
    int32_t Richtungsueberwachung{};  // direction supervision switch; set by the host
    int32_t Richtung{};               // -1, 0, 1
    int32_t UeberwachungX{}, UeberwachungY{};
    char Wendel[32]{};  // helical Z word of the arc being written
    // Number formats: X, Y, Z, fourth and fifth axis, and a work format.
    char FormatX[20]{}, FormatY[20]{}, FormatZ[20]{}, FormatA[20]{}, FormatB[20]{};
    char Arbeitsformat[20]{};
    // The same five formats read once, as the blocks write their numbers.
    korvat::writer::Zahlformat ZahlX{}, ZahlY{}, ZahlZ{}, ZahlA{}, ZahlB{};

  private:
    // One axis of a motion block: letter, number format and the value to print.
    struct Achswert {
        char letter;
        korvat::writer::Zahlformat format;
        double value;
    };
    // Builds the block "<gwort><letter><value> <letter><value>...<suffix>" in Satz. Refuses
    // (false, error 2103 or 2102, Satz empty) a non-finite value or a block that does not fit.
    bool Koordinaten(const char* gwort, std::initializer_list<Achswert> axes,
                     const char* suffix = "");
    // The motion word "G<word> " to put before a block, or "" when GModal is 'z' and the last
    // motion word was the same. Remembers word as the last motion word.
    const char* GWort(int word);
    // Satz = printf(format, ...); false (error 2102, Satz empty) when it does not fit.
    bool SatzSetzen(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool SatzAnhaengen(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool SatzAnhaengenV(const char* format, va_list args);
    // A block of its own: SatzSetzen, then Dateiausgabe.
    void Block(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Writes one line (length bytes) through the channel, numbered with "N%1ld " when number
    // is true.
    void Zeile(const char* text, size_t length, bool number);
    // Reads the five number formats into ZahlX..ZahlB, after they were set.
    void ZahlformateLesen();
    // Records code and text in the writer's record and the channel's (which stops output).
    void Fehler(int code, const char* text);
    // False (error 2103 naming the member) when a value is NaN or infinite.
    bool Endlich(const char* member, std::initializer_list<double> values);
    double WertX(double x, bool offsets) const { return x * MassstabX + (offsets ? OffsetX : 0.0); }
    double WertY(double y, bool offsets) const { return y * MassstabY + (offsets ? OffsetY : 0.0); }
    double WertZ(double z) const { return z * MassstabZ; }
    // The blocks every rapid move starts with: free axis, direction words, "M22".
    void VorEilgang(bool freeAxis, bool direction, double x, double y);
    // Remembers the position after a rapid move and polls the keyboard.
    void NachEilgang();
    // A rapid block of X and Y, Z alone, or X, Y and Z (speed word when speedWord).
    void EilgangXY(double x, double y, bool offsets, bool speedWord);
    void EilgangZ(double z, bool alwaysWord, bool speedWord);
    void EilgangXYZ(double x, double y, double z, bool offsets, bool speedWord);
    // Move3 and Move3_abs (named `member` in an error): with Optionen 32768 a move that changes
    // X-Y takes the approach logic and one that does not is a Z move; else the approach logic
    // when it is on, else one X-Y-Z block.
    void Eilgang3(const char* member, double x, double y, double z, bool offsets, bool speedWord);
    // The arc block in centre form to (x, y) with I and J, and the helical suffix.
    bool Bogensatz(const char* gwort, double x, double y, double i, double j);
    // Fills Wendel with the helical Z word for kind 83, else empties it.
    void WendelSetzen(double z, int kind);

    // The settings of the last Open, or a zero-filled record before the first one.
    const MaschEinstellung& E() const;

    const MaschEinstellung* settings_{};
};
