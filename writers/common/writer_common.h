// Logic that every NC program writer shares: number formats from the decimals setting, block
// numbering with its wrap, tool recoding through the host's magazine table, the 5 % feed rule,
// rounding to machine units, bounded block formatting, the block-info record and the writers'
// own keyboard poll.
//
// Most of it is plain functions on the caller's own fields: a writer keeps its state in its own
// object (the host copies writer objects whole) and calls these to act on it. Two small bases
// without virtual members carry what several writers hold alike: the state the host reads back
// (Schreiberstatus) and the file-position calls passed on to the channel (KanalDateizeiger).
// Nothing allocates; every text goes into a buffer of a size the caller names.
#pragma once

#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "common/records.h"

namespace korvat::writer {

// Size of a writer's block text, terminator included.
inline constexpr size_t kSatzLaenge = 128;

// Error codes a writer puts into the channel's error record (psfehler). Both stop the output:
// what was written before stays in the file, nothing after it is written.
inline constexpr int kFehlerToolCheck = 2101;      // the host asked for a tool check
inline constexpr int kFehlerSatzZuLang = 2102;     // a block would not fit its buffer: refused
inline constexpr int kFehlerZahlUngueltig = 2103;  // a NaN or infinite value reached a writer

// Decimals of the linear axes: the setting, 3 when 0, at most the maximum (see
// MaxNachkommastellen). A negative setting counts as 0; the result is never above 9.
int16_t Nachkommastellen(int setting, int maxSetting);
// Maximum decimals: the setting, 5 when 0 or negative, never above 9.
int16_t MaxNachkommastellen(int maxSetting);
// Writes the number format "%1.<d>lf" (fixed point, width 1, d decimals) into out; d is clamped
// to 0..12. out must hold at least 8 bytes (20 are usual).
void ZahlFormat(char* out, size_t size, int decimals);

// First block number of the DIN writer: the setting, 0 read as 1, 999999999 read as 0.
int32_t ErsteSatznummer(int32_t setting);
// Last block number before the wrap: the setting, 0 read as 999999999.
int32_t LetzteSatznummer(int32_t setting);
// The number after `current`: current + 1, or `first` once that passes `last`. Never overflows.
int32_t NaechsteSatznummer(int32_t current, int32_t first, int32_t last);

// The number written for `tool`: the first magazine place i in 1..n whose Werkzeug[i] equals
// the tool, else the tool itself. A null table (none set, or its use flag off) returns the tool;
// a count outside 1..60 is clamped to it.
int WzUmcodieren(const WZW_PB_STRUCT* magazin, int tool);

// The 5 % rule of feed words: true when |feed / lastWritten - 1| > 0.05, computed in float as
// the writers keep their feeds. A lastWritten of -1 (reset) or 0 always counts as a change
// unless feed is 0 as well.
bool VorschubGeaendert(float feed, float lastWritten);

// A length in machine units: value rounded to the nearest integer, halves away from zero.
// NaN gives 0; values beyond the 32-bit range are clamped to it.
int32_t RundeL(double value);

// value truncated toward zero, as a C cast to a 32-bit integer does, but defined for every
// input: NaN gives 0; values beyond the 32-bit range are clamped to it.
int32_t Ganzzahl(double value);

// True when every value is finite (no NaN, no infinity). Inline: every move asks it.
inline bool Endlich(std::initializer_list<double> values) {
    for (double v : values) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

// printf into out (size bytes, terminator included). True when the whole text fit; when it did
// not, out holds the text cut at size - 1 characters and the result is false. The text is
// printf's byte for byte; the conversions the writers use (%d, %ld, %u, %f, %lf, %s, %c) are
// written with std::to_chars, without vsnprintf (text_format.cpp).
bool Formatiere(char* out, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
bool FormatiereV(char* out, size_t size, const char* format, va_list args);
// printf appended behind the text already in out, with the same rule.
bool Anhaengen(char* out, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// One number printed with a number format such as "%1.3lf" (see ZahlFormat), as printf prints
// it: a negative value that rounds to zero keeps its sign ("-0.000"). Result as Formatiere.
bool FormatiereZahl(char* out, size_t size, const char* numberFormat, double value);

// A number conversion decided once, written without reading a format each time: fixed point
// with `decimals` decimals ("%<width>.<decimals>lf"), or an integer ("%<width>ld") when decimals
// is negative; padded to width with blanks in front, behind (left) or zeros after the sign; a
// non-negative number led by '+' or ' ' when sign says so.
struct Zahlformat {
    int8_t decimals = 3;
    uint8_t width = 1;
    char sign = 0;  // 0, '+' or ' '
    bool left = false, zeros = false;
};
// The Zahlformat of a number format made of one %f, %lf, %d or %ld conversion and nothing
// else ("%1.3lf", "%+08.2f", "%1ld"). False for anything else (the caller keeps Formatiere).
bool LiesZahlformat(const char* format, Zahlformat* out);
// value as printf writes it with that conversion, into [out, end): returns the byte behind the
// text, or null when it does not fit (the bytes up to end are then undefined). Nothing is
// terminated. An integer conversion takes the value truncated as Ganzzahl does.
char* SchreibeZahl(char* out, char* end, double value, Zahlformat format);
char* SchreibeGanzzahl(char* out, char* end, int64_t value, Zahlformat format);

// value as printf's "%.<precision>g" writes it (precision 1 to 17), into [out, end): the
// shortest of fixed point and exponent form with that many significant digits, trailing zeros
// dropped. std::to_chars in its general form with a precision is that printf conversion in the C
// locale. Returns the byte behind the text, or null when it does not fit.
char* SchreibeG(char* out, char* end, double value, int precision);

// A text built in a fixed buffer of the caller's: text, characters and numbers appended at the
// end without measuring what is already there. Whatever does not fit marks it as overflowed and
// leaves it as it was before that piece; the text stays terminated.
class Satzbau {
  public:
    Satzbau(char* buffer, size_t size) : anfang_(buffer), p_(buffer), ende_(buffer + size - 1) {
        *p_ = 0;
    }
    Satzbau& Text(const char* text, size_t length) {
        if (!ok_) return *this;
        if (length > static_cast<size_t>(ende_ - p_)) return Bis(nullptr);
        // Block pieces are a few bytes: copied here rather than through a call.
        for (size_t i = 0; i < length; ++i) p_[i] = text[i];
        return Bis(p_ + length);
    }
    // A terminated text, copied as it is measured.
    Satzbau& Text(const char* text) {
        if (!ok_) return *this;
        char* p = p_;
        for (; *text != 0; ++text, ++p) {
            if (p == ende_) return Bis(nullptr);
            *p = *text;
        }
        return Bis(p);
    }
    Satzbau& Zeichen(char c) { return Text(&c, 1); }
    Satzbau& Zahl(double value, Zahlformat format);
    Satzbau& Ganzzahl(int64_t value, Zahlformat format);
    bool ok() const { return ok_; }
    size_t size() const { return static_cast<size_t>(p_ - anfang_); }
    const char* text() const { return anfang_; }

  private:
    Satzbau& Bis(char* behind) {
        if (behind == nullptr)
            ok_ = false;
        else
            p_ = behind;
        *p_ = 0;
        return *this;
    }
    char* anfang_;
    char* p_;
    char* ende_;  // the terminator's byte
    bool ok_ = true;
};

// Fills the block-info record with a writer's fixed values: the value and the two ranges
// (values: Wert, Bereich1Von, Bereich1Bis, Bereich2Von, Bereich2Bis), the six small bytes and
// the axis letters, cut to the record's 15 characters with the rest of the field zero. A null
// record is left alone.
void FuelleBStInfo(BSTINFO* info, const int32_t (&values)[5], const uint8_t (&bytes)[6],
                   const char* axes);

// The writers' own keyboard poll, run on every tenth call: counts *countdown down; when it
// reaches 0 (or was not positive), removes every waiting message of the host's queue, sets
// *escape1 and *escape2 to 1 on a key-down of Escape, passes paint messages on to their windows,
// and sets *countdown back to 10. Returns 0.
int SchreiberTastaturabfrage(int16_t* countdown, int32_t* escape1, int32_t* escape2);

// What the host reads back from a writer besides its output: the Escape flags of the writer's
// own keyboard poll and the writer's own error record. A writer takes it as a public base, so
// the host reads Escape1, FehlerCode, FehlerText1... on the writer itself.
struct Schreiberstatus {
    int16_t Abfragezaehler{10};    // keyboard-poll countdown
    int32_t Escape1{}, Escape2{};  // set by the poll on Escape; read by the host
    int32_t FehlerCode{}, FehlerZahl{};
    int32_t FehlerZahlL{};
    char FehlerText1[256]{}, FehlerText2[256]{};

    // Fills the error record; only records (the channel's record is the writer's to fill). A
    // null text is stored as "", a longer one cut at 255 characters.
    void SetzeFehler(int code, int number, int32_t longNumber, const char* text1,
                     const char* text2);
    // The keyboard poll (SchreiberTastaturabfrage on the fields above). Returns 0.
    int tastaturabfrage();
};

// The file-position calls of a writer that writes through the channel, passed on to cx268io.
struct KanalDateizeiger {
    int BufferWegschreiben();  // writes the channel's buffer out; returns 0
    int32_t GebeDateiZeiger();
    int SetzeDateiZeiger(int32_t position);
    int NachtragenInDatei(int32_t position, int length, const char* data);
};

}  // namespace korvat::writer
