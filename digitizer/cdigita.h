// Digitizer tablets on a serial line: the host's front CDIGITA chooses a tablet model and
// forwards to that model's reader. Model 1 is read by CDIGIS, model 2 by CDIGIS2. Both readers
// talk through the digitizers' serial line (channel/serleitung.h) and parse the tablet's lines
// with the host's line reader ZEAW.
//
// The library holds one reader of each model and one open flag for the whole library (in
// cdigita.cpp); the host's CDIGITA objects only choose between them.
//
// Coordinates are delivered as the tablet sends them (tablet units, no scaling). Key codes
// (16-bit, -1 means none):
//
//   model 1 character | model 2 button bits | key code
//   "0"               | 1                   | 100
//   "1"               | 2                   | 1243
//   "2" or "3"        | 8                   | 1245
//   "4"               | 4                   | 1504
//   "5"               | -                   | 1249
//   "6"               | -                   | 1248
//   "8"               | 16                  | 1241
//   -                 | 0 (no button)       | 101
//
// FrageKoordinate never waits for the tablet: with nothing waiting on the line it returns at
// once (after the line's 10 ms look) with key -1 and no point. The host calls it repeatedly.
#pragma once

#include <cstdint>

#include "common/digi.h"
#include "common/grundfkt.h"

// Key codes the readers deliver.
enum : short {
    kDigiKeine = -1,
    kDigiPunkt = 100,      // model 1 "0", model 2 bits 1
    kDigiOhneTaste = 101,  // model 2: a report without a button
    kDigiTaste1 = 1243,    // model 1 "1", model 2 bits 2
    kDigiTaste2 = 1245,    // model 1 "2" or "3", model 2 bits 8
    kDigiTaste4 = 1504,    // model 1 "4", model 2 bits 4
    kDigiTaste5 = 1249,    // model 1 "5"
    kDigiTaste6 = 1248,    // model 1 "6"
    kDigiTaste8 = 1241,    // model 1 "8", model 2 bits 16
};

// Model 1. The tablet sends a button character on its own, or the at sign followed by a
// coordinate line ended by LF: two positions the reader skips, then X and Y.
class CDIGIS {
  public:
    // Opens the line on port (1 to 10: COM1 to COM10) with a fresh status. 0 ok, 1 failed (the
    // line's Fehlerflag is then set and every later call delivers nothing).
    short Open(short port);
    // Closes the port. Always 0.
    short Close();
    // pt = (0, 0), *key = -1; then looks at what is waiting: a button character gives its key
    // (result 0); the at sign reads the coordinate line and gives the point (result 1) when the
    // line holds it; other characters are dropped. Returns at once when nothing is waiting.
    short FrageKoordinate(short* key, RPOINT* pt);
    short Dummy() { return 0; }

    // The coordinate line after the at sign (without its line end): 1 and pt = (X, Y) when it
    // holds two numbers after its first two positions, else 0 and pt untouched.
    short Koordinatenzeile(const char* zeile, RPOINT* pt);
    // The key code of a model-1 button character, or -1 for any other character.
    static short Tastencode(char c);

    ZEAW Leser;
    // For the host's diagnostics: coordinate lines dropped as unreadable, and the last of them.
    int32_t Unlesbar;
    char UnleserlicheZeile[100];
};

// Model 2. The tablet answers the reader's request ESC "G" CR with a report "+X:Y,bits" ended
// by CR; ESC "A" CR acknowledges a button. A button held down over several reports counts once:
// the next button counts only after a report without a button.
class CDIGIS2 {
  public:
    // Clears both fields, opens the line with a fresh status and, when that succeeded, discards
    // both directions and sends ESC "M03" CR and three times ESC "A" CR. 0 ok, 1 failed.
    short Open(short port);
    // Discards both directions and closes the port. Always 0.
    short Close();
    // pt = (0, 0), *key = -1; reads one report when one is waiting (1 with the point when it
    // gives a key), drops the rest of any other line; always ends by sending ESC "G" CR.
    short FrageKoordinate(short* key, RPOINT* pt);
    short Dummy() { return 0; }

    // A report line after its "+" (without the CR): 1 with *key and pt set when the report
    // gives a key; 0 when it gives none (two buttons, a button still held); -1 when the line is
    // no report the reader can parse. pt and *key change only with 1. Keeps the held rule.
    short Bericht(const char* zeile, short* key, RPOINT* pt);

    ZEAW Leser;
    int16_t Geloescht;      // cleared at open and at each button press; nobody reads it
    int16_t TasteGehalten;  // a button was reported and has not been let go since
    // For the host's diagnostics: lines dropped as unreadable (a "+" report the reader cannot
    // parse, or any other line), and the last of them.
    int32_t Unlesbar;
    char UnleserlicheZeile[100];
};

// The host's front: one model number; Open, Close and FrageKoordinate go to that model's reader.
class CDIGITA {
  public:
    // Clears the library-wide open flag.
    CDIGITA();
    CDIGITA(const CDIGITA& other) = default;
    // Copies the model number.
    CDIGITA& operator=(const CDIGITA& other);

    // Stores the model and opens its reader on ds->Schnittstelle; sets the open flag for model 1
    // and 2 even when the line could not be opened. Other models do nothing. Always 0.
    short Open(short model, DIGI_STRUCT* ds);
    // Closes the model's reader when the open flag is set, and clears the flag. Always 0.
    short Close();
    // *key = -1, then the model's reader. 1 when a point was delivered, else 0.
    short FrageKoordinate(short* key, RPOINT* pt);
    // Close, then clear the open flag. Always 0.
    short Dummy();

    int16_t Modell = 0;
};

// The library's tablet readers and their open flag (defined in cdigita.cpp).
extern CDIGIS digis;
extern CDIGIS2 digis2;
extern int16_t digiOffen;
