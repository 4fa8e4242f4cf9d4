// The host's basic services: the line reader ZEAW, record files and numeric functions.
// Implemented in host/.
#pragma once

#include <cstdint>
#include <cstdio>

// Line reader: reads a text file line by line, and scans one line for numbers.
//
// Scanning: a number is preceded by any blanks, tabs, commas, semicolons (and CR/LF); it ends at
// the first character that cannot continue it. A number that runs straight into a letter, a
// digit it cannot take, a '.' or a '_' ("12abc", "1.2.3", "12.5" read as an integer) is malformed.
// A missing or malformed number sets Fehler and gives 0; the scan position then stays in front
// of the bad text. Fehler stays set until the next Beginn or TOeffne.
class ZEAW {
  public:
    ZEAW();
    ~ZEAW();
    // A copy takes over the line and the scan state, never the open file: the copy has none, and
    // a file the target had open is closed (two readers must not share one file).
    ZEAW(const ZEAW& other);
    ZEAW& operator=(const ZEAW& other);

    // Opens a text file for line reading ("\" in the path reads as "/"). Returns 0, or -1 with
    // Fehler set when the file cannot be opened.
    int TOeffne(const char* path);
    // Non-zero once no line is left (or no file is open).
    int TLeseEOF();
    // Reads the next line into Zeile, without its LF or CR LF, and counts it in ZeilenNummer.
    // Returns 0, or -1 at the end of the file (Zeile is then empty). A line of more than 511
    // characters is cut there, the rest of it skipped, and Abgeschnitten and Fehler are set. A
    // read failure sets Fehler and returns -1.
    int TLeseZeile();
    void TSchliesse();

    // Starts scanning text (copied into Zeile; text may be Zeile itself or point into it). name,
    // when not empty, replaces Name for messages. Clears Fehler, unless the text is longer than
    // Zeile holds or is the reader's own cut line.
    void Beginn(const char* text, const char* name);
    // The next signed decimal integer ("-12", "+7"), 32-bit.
    int32_t WNummer();
    // The next signed decimal number ("12", "-0.5", ".5", "3.", "1.5e3"); the point is always '.'.
    double WFloat();
    // The next hexadecimal integer of up to 8 digits, with an optional sign and "0x" ("1A", "-ff",
    // "0x7FFF"); 8 digits give the 32-bit pattern ("FFFFFFFF" is -1).
    int32_t WHex();
    // Skips one character (not beyond the end of the text).
    void Inc();
    // The character n places ahead of the last one scanned: Hz(1) is the next unread character,
    // Hz(0) the last one read. 0 outside the text.
    char Hz(int16_t n);

    // What went wrong last, naming the file (or Name), the line, the column and the text, in the
    // host's language; "" while nothing went wrong.
    const char* Meldung() const { return meldung_; }

    char Zeile[512];    // the current line
    int Fehler;         // error flag, set by a failed open or read, a cut line or a failed number
    int Pos;            // scan position: index in Zeile of the next unread character
    int ZeilenNummer;   // number of the last line read from the file, from 1; 0 for other text
    int Abgeschnitten;  // the last line read was longer than Zeile holds and was cut
    char Name[260];     // file or text name for messages

  private:
    void Fehlermeldung(const char* was, int spalte);
    bool NummerAnfang();
    void UngueltigeZahl(const char* art);
    int FuellePuffer();

    int32_t datei_;  // platform file handle, -1 when none is open
    int pufferPos_, pufferLaenge_;
    int eof_;
    char puffer_[1024];
    char meldung_[400];
};

// Record files, thin wrappers of the platform's file calls; handles are 32-bit, -1 means failure.
int32_t rd_open(const char* path, int16_t mode);               // mode 0 read, 1 write, 2 both
int32_t rd_creat(const char* path, int16_t attribute);         // a new, empty file
int32_t rd_read(int32_t h, void* buffer, int32_t n);           // bytes read, fewer at the end
int32_t rd_write(int32_t h, const void* buffer, int32_t n);    // bytes written
int32_t rd_seek(int32_t h, int32_t position, int16_t origin);  // 0 start, 1 current, 2 end
int16_t rd_close(int32_t h);                                   // 0, or -1
int rd_loesche(const char* path);                              // 0 when deleted

// Numeric functions.
double SQR(double x);
// The angle of the vector (dx, dy) in radians, in -pi..pi, counter-clockwise from +X; 0 for
// (0, 0).
double KFARCT(double dy, double dx);
// a brought into 0 <= a < 2 pi by whole turns (-0 gives +0). NaN stays NaN, infinities give NaN.
double KFWKORREKTUR(double a);
// Non-zero when |x| <= tolerance.
int KFTESTNULL(double x, double tolerance);
// 0 when the fraction f lies within 0..1, allowing 1e-5 beyond either end for rounding; else -1.
int kfgueltig(double f);
