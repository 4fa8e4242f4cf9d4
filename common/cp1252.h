// Windows code page 1252, the character set of every text the library reads and writes, and its
// conversion to and from the Unicode characters of a terminal or an editor (UTF-8).
#pragma once

#include <cstdint>

namespace korvat {

// The Unicode characters of bytes 0x80..0x9F, where the code page differs from Latin-1; 0 marks
// the five bytes it leaves unused (0x81, 0x8D, 0x8F, 0x90, 0x9D).
inline constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Unicode character byte stands for; '?' for an unused byte.
constexpr uint32_t Cp1252ToUnicode(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    return kCp1252High[byte - 0x80] != 0 ? kCp1252High[byte - 0x80] : '?';
}

// The byte that stands for the Unicode character c; '?' when the code page has none.
constexpr unsigned char UnicodeToCp1252(uint32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c) return static_cast<unsigned char>(0x80 + i);
    return '?';
}

// Writes byte as UTF-8 into out (room for 3 bytes; no terminator); returns the bytes written.
constexpr int Cp1252ToUtf8(unsigned char byte, char* out) {
    const uint32_t c = Cp1252ToUnicode(byte);
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
}

}  // namespace korvat
