// The number of a G-code word as written: an optional sign, digits and points, read in one pass
// to the double nearest the decimal value, which is what strtod and std::from_chars give for the
// same text, without a locale.
//
// The usual numbers take the short exact way: at most 19 digits collected as an integer of at
// most 2^53, and at most 22 decimals, make the value integer / 10^decimals, where both are exact
// doubles, so the one division rounds correctly. Other numbers go to std::from_chars.
#pragma once

#include <charconv>
#include <cstdint>
#include <system_error>

namespace korvat::tool {

struct WordNumber {
    const char* end = nullptr;  // the byte behind the sign, digits and points read
    int digits = 0;             // all digits, leading zeros included
    int points = 0;
    // Only for a well-formed number (digits > 0, points <= 1): false when it lies beyond the
    // range of a double.
    bool inRange = false;
    double value = 0;
    // The value when it was written as digits alone (no sign, no point) that the short way
    // read; else -1. Known before the division that makes value.
    int64_t whole = -1;
};

// Reads [sign] {digit | '.'} from p (up to end).
inline WordNumber ReadWordNumber(const char* p, const char* end) {
    static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* start = p;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-')) ++p;
    const char* first = p;
    const char* point = nullptr;  // the last point
    int points = 0;
    // Up to 19 digits the integer holds them all; beyond, it is not used (it may wrap).
    uint64_t mantissa = 0;
    for (; p < end; ++p) {
        const unsigned d = static_cast<unsigned char>(*p) - '0';
        if (d < 10) {
            mantissa = mantissa * 10 + d;
        } else if (*p == '.') {
            point = p, ++points;
        } else {
            break;
        }
    }
    WordNumber n;
    n.end = p;
    n.points = points;
    n.digits = static_cast<int>(p - first) - points;
    if (n.digits == 0 || points > 1) return n;
    n.inRange = true;
    const int decimals = point ? static_cast<int>(p - point) - 1 : 0;
    if (n.digits <= 19 && mantissa <= (uint64_t{1} << 53) && decimals <= 22) {
        if (point == nullptr && first == start) n.whole = static_cast<int64_t>(mantissa);
        // A whole number needs no division (the conversion of the integer is exact).
        const double v = decimals == 0 ? static_cast<double>(mantissa)
                                       : static_cast<double>(mantissa) / kTens[decimals];
        n.value = negative ? -v : v;
        return n;
    }
    // from_chars takes no '+'; the text is well formed, so only the range can fail.
    n.inRange = std::from_chars(negative ? start : first, p, n.value).ec == std::errc();
    return n;
}

}  // namespace korvat::tool
