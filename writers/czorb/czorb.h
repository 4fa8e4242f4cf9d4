// CZORB: writes the tool path as a binary ".LG1" file of 13-byte records, grouped into contour
// groups, one group per tool and cutting depth. The file is written directly with the platform's
// file calls, not through the channel.
//
// Record layout (no file header): byte 0 the type, then three 32-bit little-endian values
// (floats unless stated). A group is: 1 header (rewritten at the group's end as 10.0, 10.0 and
// the record count as an integer), 5 tool pair, 6, 7, 150 tool geometry, 151, 152 tool label,
// 153-155 reserved, 156 feed/depth/group value, 157 speed; then 11 rapid and 10 cutting records;
// then 9 group end. Lengths are millimetres as the host gives them.
//
// Moves are delayed: a rapid move or a plunge is recorded only when the next call shows what it
// leads to; a plunge followed by no cut becomes a dot (a cut of 0.01 mm in X).
//
// Records are collected in a buffer of just under 64 KiB (whole records) and written a buffer at
// a time; the buffer goes out before a group header is written back in place and at Close.
//
// Error model: members return small status values and never throw. A failed write records
// 1007 with the file path, a NaN or infinite coordinate 2103; both set the first Escape flag and
// stop all further writing, so the file holds the buffers written before the fault (whole
// records) and the open group keeps a zero count that marks it unfinished.
//
// The class has no virtual members and no behaviour in construction; the host copies it whole.
#pragma once

#include <cstdint>

#include "common/records.h"
#include "writers/common/writer_common.h"

// The Escape flags and the writer's own error record (Escape1, FehlerCode, FehlerText1...,
// SetzeFehler, tastaturabfrage) come from Schreiberstatus.
class CZORB : public korvat::writer::Schreiberstatus {
  public:
    int Init(InitStruct* init, int a, int32_t b);  // nothing; returns 0
    // Creates name + ".LG1". Without a name it stays closed and returns 0; 1 when the file
    // cannot be created. The first move starts a group even before any tool (tool 0).
    short Open(short a, const MaschEinstellung* settings, int value, const char* name);
    // Writes a pending plunge as a dot, ends the open group and closes the file. A rapid move
    // that no cut followed is dropped. Returns 0.
    int Close(int a);

    void Move(float x, float y);            // pending rapid move
    void Draw3(float x, float y, float z);  // pending rapid (z >= threshold) or plunge
    void Draw(float x, float y);            // cutting move
    // New tool (angle w3 in radians; w5 and w6 exchanged when `exchange`): new group next.
    void WkzW(int tool, float w1, float w2, float w3, float w4, float w5, float w6, short exchange);
    void SetzeGTiefe(float depth);  // new group when it changes by more than 0.005
    void SetzeVorschub(float feed);
    void SetzeVorschuebe(float xy, float z);  // the XY feed is the group's feed
    void Spinddreh(int32_t speed);
    void MoveRaus();           // writes the pending rapid move (and a due group header)
    void Rein();               // writes a pending plunge as a dot
    void KonturgruppenEnde();  // ends the open group and writes its count back
    // Writes one record (type, then three values as stored) into the buffer. Returns 0, or 1
    // when writing has stopped.
    int SchreibeDatei(char type, const int32_t* values);
    int TestGleich(float a, float b);  // 1 when |a - b| < 0.0001
    void FBStInfo(BSTINFO* info);
    void Ausheben();
    void Spindea(int on, float dwell);
    void SStringln(short numbered, const char* text);

    // Draw3 below this Z (mm) is a plunge, at or above it a rapid move. Default 0: the surface.
    void SetzeZSchwelle(float z);
    // The third value of record 156, passed through to the machine. Default 0.
    void SetzeGruppenwert(float value);

    // ---- State (fields in the host's order) ---------------------------------------------
    int32_t Wert{};  // the value given to Open, kept
    int32_t DateiOffen{};
    float LetztesX{}, LetztesY{}, LetztesZ{};
    float ZSchwelle{0.0f};
    float Gruppenwert{0.0f};
    char Dateipfad[260]{};
    int16_t NeueGruppe{};
    int16_t Werkzeug{};
    float Drehzahl{};
    float Vorschub{};
    float WzWerte[6]{};  // w1..w6, w3 in degrees, w5/w6 exchanged as asked
    float Tiefe{};
    int32_t Kopfposition{};
    int32_t Anzahl{};  // records of the open group
    int16_t GruppeOffen{};
    int16_t EilgangAnstehend{};
    float EilgangX{}, EilgangY{};
    int16_t EintauchenAnstehend{};
    float EintauchX{}, EintauchY{};
    int32_t Datei{-1};
    int16_t Abgebrochen{};  // a write failed or a value was refused: nothing more is written

  private:
    int Satz(char type, float a, float b, float c);
    // Writes the records waiting in the buffer. 0, or 1 when the write failed (recorded).
    int Wegschreiben();
    // Records error 1007 for `records` lost records and stops all further writing.
    void Schreibfehler(uint32_t records);
    bool Gueltig(const char* member, float x, float y, float z = 0.0f);
};
