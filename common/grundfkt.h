// The host's basic services: the line reader ZEAW, record files and numeric functions.
// Implemented in host/.
#pragma once

#include <cstdint>
#include <cstdio>

// Line reader: reads a text file line by line, and scans one line for numbers.
class ZEAW {
public:
    ZEAW();
    ~ZEAW();
    ZEAW(const ZEAW&) = delete;
    ZEAW& operator=(const ZEAW&) = delete;

    // Opens a text file for line reading; sets Fehler on failure.
    void TOeffne(const char* path);
    // Non-zero once no line is left (or no file is open).
    int TLeseEOF();
    // Reads the next line into Zeile (without CR/LF; a longer line is cut at 511 characters and
    // the rest skipped). Returns 0, or -1 at the end of the file.
    int TLeseZeile();
    void TSchliesse();

    // Starts scanning text (copied into Zeile); name is kept for messages.
    void Beginn(const char* text, const char* name);
    // The next decimal integer, decimal number or hexadecimal integer of the text. Blanks,
    // tabs, commas and semicolons before a number are skipped. Fehler is set and 0 returned when
    // none can be read.
    int32_t WNummer();
    double WFloat();
    int32_t WHex();
    // Skips one character.
    void Inc();
    // The character n places ahead of the scan position, 0 beyond the end.
    char Hz(int16_t n);

    char Zeile[512];  // the current line
    int Fehler;       // error flag, set by a failed open or a failed number
    int Pos;          // scan position in Zeile
    int ZeilenNummer; // number of the last line read, from 1
    char Name[64];

private:
    std::FILE* datei_;
    int eof_;
};

// Record files; handles are 32-bit, -1 means failure.
int32_t rd_open(const char* path, int16_t mode);      // mode 0 read, 1 write, 2 both
int32_t rd_creat(const char* path, int16_t attribute);  // a new, empty file
int32_t rd_read(int32_t h, void* buffer, int32_t n);    // bytes read
int32_t rd_write(int32_t h, const void* buffer, int32_t n);  // bytes written
int32_t rd_seek(int32_t h, int32_t position, int16_t origin);  // origin 0 start, 1 current, 2 end
int16_t rd_close(int32_t h);
int rd_loesche(const char* path);  // 0 when deleted

// Numeric functions.
double SQR(double x);
// The angle of the vector (dx, dy) in radians, in -pi..pi.
double KFARCT(double dy, double dx);
// a brought into 0 <= a < 2 pi by whole turns.
double KFWKORREKTUR(double a);
// Non-zero when |x| <= tolerance.
int KFTESTNULL(double x, double tolerance);
// Not negative when the fraction f lies within 0..1 (with a small tolerance), else -1.
int kfgueltig(double f);
