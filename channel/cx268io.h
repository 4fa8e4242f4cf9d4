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
// 1018 no answer in time, 1019 machine did not take the data in time; ours: 1001 device cannot
// be opened, 1020 text too long for the line buffer, 1022 the line hung up (device path in
// Fehlertext1), 1023 the device is busy (another program has it open).
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/records.h"
#include "platform/serial_line.h"

class CCX268IO {
  public:
    // Opens the port (when wanted: Schnittstelle 1-10 COMn, 11 and above LPT(n-10)) and/or the
    // file basePath + "." + Dateiendung (created empty; null path: no file). openedBefore is the
    // host's flag: 0 resets the state, 1 keeps it and an open port; popen sets it to 1 unless the
    // device fails. Returns 0, or 1 with Fehlerflag set: a device that cannot be opened (code
    // 1001, or 1023 when busy; device name in Fehlertext1, its path in Fehlertext2, errno in
    // Fehlerzahl1) or a file that cannot be created (1005).
    int popen(short pollSwitch, short portWanted, const MaschEinstellung* settings,
              const char* basePath, int* openedBefore, int geraeteart);
    // Sets the serial line from the settings ("baud=%1d parity=%c data=%1d stop=%c" and the
    // handshake). Always 0.
    int SetzeParameter(const MaschEinstellung* settings);
    // on != 0: Lesezeit = Schreibzeit = ms, Antwortmodus on, time-outs end reads with 6 without
    // asking; on = 0: back to 5500/3000 ms and popen's Antwortmodus. Returns popen's Antwortmodus.
    int SetzeTimeout(int on, int ms);
    // Closes the port (closePort != 0) and/or flushes and closes the file (closeFile != 0);
    // closePort 2 also clears all flags and the error record. Always 0.
    int pclose(int closePort, int closeFile);

    // Sends text (null: empty) to the port and appends it to the file. 0 only when the port took
    // all of it; 1 otherwise (also for a file-only channel). A port that stalls asks question
    // 1019 and resumes where it stopped.
    int poutstr(const char* text);
    // text (at most 309 characters) followed by CR LF, as one poutstr. A longer text is refused:
    // nothing is written, code 1020 (length, limit, start of the text) and Fehlerflag.
    int poutstrln(const char* text);
    // The same for a text of length bytes without a zero byte (no terminator needed). A file
    // alone takes the line straight into its buffer.
    int poutzeile(const char* text, size_t length);
    int poutchar(char c);
    int poutcrlf();

    // Reads one character into out[0] (result 1 when one came; ETX/EOT in mode 1: 3/4).
    int pinchr(char* out);
    // Reads one answer into out (at least 100 bytes, zero-terminated). Result codes above.
    int pinstr(char* out);
    // Sends ESC + command (command at most 104 characters) and reads the answer with pinstr.
    int pbfrage(const char* command, char* answer);
    // Sends ESC + command + CR LF (command at most 104 characters) and reads the answer.
    int pbfrageln(const char* command, char* answer);

    // Drops what is still arriving (up to 150 bytes) and discards both port queues. Always 0.
    int pflush();
    // Discards the port's received data.
    void pflush_input();
    // 0 when the machine holds the line (CTS off under hardware handshake), else 1.
    int pcheckser();

    // Appends length bytes to the 64 KiB file buffer; a buffer that would pass 65536 bytes is
    // filled to exactly 65536 and written first. Nothing while Fehlerflag is set.
    void SchreibeAufDatei(const char* data, int length);
    // Writes the buffer to the file (a short write records 1007). Always 0.
    int BufferWegschreiben();
    // Flushes the buffer and returns the file position, -1 without a file.
    int32_t GebeDateiZeiger();
    // Moves the file position to position from the start (no flush): 0, or -1.
    int SetzeDateiZeiger(int32_t position);
    // Writes length bytes directly at position (after GebeDateiZeiger); the position is left
    // behind them. 0, or -1 without a file or when the move fails; a short write records 1007.
    int NachtragenInDatei(int32_t position, int length, const char* data);

    // Turns line-fault bits into codes 1011-1016 and asks whether to go on (1016: stops).
    void anacommerror(unsigned long bits);
    // Fills the error record and sets Fehlerflag (null texts: empty; texts cut at 255).
    void psfehler(int code, int number1, int32_t number2, const char* text1, const char* text2,
                  float f1, float f2, float f3);
    // Asks "go on?" for code; Yes restarts the time, No sets Fehlerflag and Abgelehnt.
    void FortsetzenFragen(int code);
    // The keyboard poll (when enabled by popen): Escape sets Fehlerflag and Tastenabbruch.
    int tastaturabfrage();
    // Sets Fehlerflag, Tastenabbruch and Stoppanforderung. Always 1.
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

  private:
    int Frage(const char* command, char* answer, bool zeilenende);
    void Schreibfehler();  // records 1007 for the output file
};

// The library's one channel.
extern CCX268IO cx268io;
