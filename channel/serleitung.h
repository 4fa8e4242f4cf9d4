// The digitizers' serial line: a trimmed twin of the output channel (CCX268IO) with fixed line
// parameters (9600 baud, no parity, 8 data bits, 2 stop bits, hardware handshake), no file side
// and no parallel-port byte mode. It shares the channel's device naming, question box, fault
// codes, time-out supervision and keyboard poll (channel/line_common.h).
//
// Differences from the channel: Schreibzeit is 2000 ms; Antwortmodus is on in every mode; a short
// write always asks question 1019 (no CTS test); an answer ends at CR or LF as the caller
// chooses and knows no ETX, EOT or "!"; other keys do not end the keyboard poll; Fehlerflag is
// cleared by every first open.
//
// The library holds one object, `serleitung`, zero-filled at load, shared by both tablet readers.
// The twins of psfehler, SetzeAbbruchTaste and SetzeTimeout are here; those of poutchar,
// poutcrlf, poutstrln and pinchr are left out, as no tablet reader uses them.
#pragma once

#include <cstdint>

#include "platform/serial_line.h"

class CSERLEITUNG {
  public:
    // Opens port (0 none, 1-10 COMn, 11 and above LPT(n-10)). openedBefore 0 resets the status
    // (Fehlerflag included); with port 0, or openedBefore 1 and the port open, nothing is opened.
    // Returns 0 (openedBefore set to 1), or 1 with Fehlerflag, code 1001 (1023 when another program
    // has the device), the device name in Fehlertext1 and its path in Fehlertext2. A hang-up on
    // the line stops it with 1022 and the path in Fehlertext1.
    short popen(short port, short* openedBefore, short mode);
    // Closes the port when closePort is not 0. Always 0.
    short pclose(short closePort);
    // Drops what is still arriving and discards both queues. Always 0.
    short pflush();
    // Discards the received data.
    void pflush_input();
    // Sends text as one block. 0 when all of it went out, else 1.
    short poutstr(const char* text);
    // One character if one is waiting: 1 and the character in out[0], else 0 and out[0] = 0.
    short pinchr_sofort(char* out);
    // Reads one answer into out (at least 100 bytes, zero-terminated). crEndsAnswer 1: CR ends
    // the answer and LF is skipped; 0: LF ends it (not in mode 3) and CR is skipped. Bytes after
    // the end stay queued for the next read. Result codes as CCX268IO::pinstr.
    short pinstr(char* out, short crEndsAnswer);
    // The keyboard poll; Escape sets Fehlerflag and Tastenabbruch. Always 0.
    short tastaturabfrage();
    // Asks "go on?" for code; Yes restarts the time, No sets Fehlerflag and Abgelehnt.
    void FortsetzenFragen(int code);
    // Turns line-fault bits into codes 1011-1016 as the channel does.
    void anacommerror(unsigned long bits);
    // Fills the error record and sets Fehlerflag.
    void psfehler(int code, int number1, int32_t number2, const char* text1, const char* text2);
    // Sets Fehlerflag and Tastenabbruch. Always 1.
    short SetzeAbbruchTaste();
    // As CCX268IO::SetzeTimeout, restoring 5500 and 2000 ms.
    int SetzeTimeout(int on, int ms);
    // Always 1: the line has no CTS test before question 1019.
    int pcheckser() { return 1; }

    korvat::platform::SerialLine Port;
    // Status part, cleared by a first open.
    int32_t PortOffen;
    int32_t Zustand[2];  // cleared on first open, read by nobody
    int32_t Fehlerflag;
    int32_t Abgelehnt;
    int32_t Tastenabbruch;
    int32_t Fehlernummer;
    int32_t Fehlerzahl1;
    int32_t Fehlerzahl2;
    char Fehlertext1[256];
    char Fehlertext2[256];
    uint8_t LetzteTaste;
    // Set up by open.
    int32_t NieGeaendert;  // -1 after the first open; line-fault records carry it plus one
    int32_t AntwortmodusVorgabe;
    int32_t Antwortmodus;
    int32_t Stillzeitablauf;
    int32_t Lesezeit;     // ms
    int32_t Schreibzeit;  // ms
    int32_t Startzeit;    // process clock in ms, low 24 bits
    int32_t SeriellerPort;
    int32_t Handshake;  // never set: always 0, hardware handshake
    int32_t Geraeteart;
};

// The library's one serial line for the digitizers.
extern CSERLEITUNG serleitung;
