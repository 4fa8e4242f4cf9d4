// The output channel: the one path by which every driver sends text to a machine (serial port,
// parallel port, output file, or a port and a file together) and reads its answers.
//
// The library holds exactly one channel object, `cx268io`, zero-filled at load; every driver
// uses it. Results: output members return 0 on success and 1 otherwise. Input members
// (pinchr, pinstr, pbfrage, pbfrageln) return
//   0 complete answer (or no port but a file: empty answer), 1 nothing read (also when
//   Fehlerflag was set), 3 ETX (mode 1), 4 EOT (mode 1), 5 answer too long, 6 time-out.
// Fehlerflag is sticky: once set, nothing is written or read until pclose(2, ...).
//
// Error codes: 1005 file cannot be created, 1007 file write error, 1011 framing, 1013 overrun,
// 1014 receive queue overflow, 1015 parity, 1016 other line fault, 1017 answer too long,
// 1018 no answer in time, 1019 machine did not take the data in time.
#pragma once

#include <cstdint>

#include "common/records.h"
#include "platform/serial_line.h"

class CCX268IO {
public:
    int popen(short pollSwitch, short portWanted, const MaschEinstellung* settings,
              const char* basePath, int* openedBefore, int geraeteart);
    int SetzeParameter(const MaschEinstellung* settings);
    int SetzeTimeout(int on, int ms);
    int pclose(int closePort, int closeFile);

    int poutstr(const char* text);
    int poutstrln(const char* text);  // text of up to 309 characters, then CR LF
    int poutchar(char c);
    int poutcrlf();

    int pinchr(char* out);
    int pinstr(char* out);  // out: at least 100 bytes
    int pbfrage(const char* command, char* answer);
    int pbfrageln(const char* command, char* answer);

    int pflush();
    void pflush_input();
    int pcheckser();

    void SchreibeAufDatei(const char* data, int length);
    int BufferWegschreiben();
    int32_t GebeDateiZeiger();
    int SetzeDateiZeiger(int32_t position);
    int NachtragenInDatei(int32_t position, int length, const char* data);

    void anacommerror(unsigned long bits);
    void psfehler(int code, int number1, int32_t number2, const char* text1, const char* text2,
                  float f1, float f2, float f3);
    void FortsetzenFragen(int code);
    int tastaturabfrage();
    int SetzeAbbruchTaste();

    // Status part: pclose(2, ...) clears everything from here up to Port.
    int32_t PortOffen;
    int32_t DateiOffen;
    int32_t Unbenutzt;  // cleared on first open, read by nobody
    int32_t Fehlerflag;
    int32_t B268Status[5];  // owned by the B268 driver
    int32_t Abgelehnt;
    int32_t Stoppanforderung;
    int32_t Tastenabbruch;
    // Error record.
    int32_t Fehlernummer;
    int32_t Fehlerzahl1;
    int32_t Fehlerzahl2;
    char Fehlertext1[256];
    char Fehlertext2[256];
    float Fehlerwert[3];
    uint8_t LetzteTaste;
    int32_t B268Warten;  // wait flag of the B268 driver

    korvat::platform::SerialLine Port;
    int32_t NieGeaendert;  // -1 after the first open; line-fault records carry it plus one
    int32_t DateiHandle;   // -1 while no file is open
    char Dateipfad[100];
    int32_t AntwortmodusVorgabe;
    int32_t Antwortmodus;
    int32_t Stillzeitablauf;
    int32_t Lesezeit;     // ms
    int32_t Schreibzeit;  // ms
    int32_t Startzeit;    // process clock in ms, low 24 bits
    int32_t SeriellerPort;
    int32_t Handshake;
    int32_t Geraeteart;
    int16_t TastaturAbfrage;  // keyboard poll enabled
    int32_t PufferAnzahl;     // fill count of Dateipuffer
};

// The library's one channel.
extern CCX268IO cx268io;
