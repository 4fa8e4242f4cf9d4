// The writers' printf: the conversions their formats use (%d %i %u %ld %f %lf %s %c %%, with
// flags, width and precision) are written here with std::to_chars, which gives exactly the
// digits printf gives (correct rounding of the binary value, halfway cases to even, the sign of
// a negative zero kept) without the locale and stream machinery of vsnprintf. Any other
// conversion, and the rare forms of these (an integer precision, '#', a non-finite value), are
// passed to vsnprintf one at a time, so the text is always what printf writes.
//
// Fixed-point numbers of up to 19 decimals whose digits fit 64 bits (every coordinate, feed and
// speed) are rounded here in integer arithmetic: the binary value times 10^decimals, exact in
// 128 bits, rounded to the nearest integer with ties to even, which is printf's rounding of the
// exact binary value. Larger ones go through std::to_chars.
#include "writers/common/writer_common.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace korvat::writer {
namespace {

// The text being built in the caller's buffer: whatever does not fit is counted, not written.
struct Ausgabe {
    char* p;
    char* end;  // the last byte, kept for the terminator
    size_t wanted = 0;

    void Zeichen(char c, size_t n = 1) {
        wanted += n;
        for (; n > 0 && p < end; --n) *p++ = c;
    }
    void Text(const char* s, size_t n) {
        wanted += n;
        size_t room = static_cast<size_t>(end - p);
        size_t take = n < room ? n : room;
        std::memcpy(p, s, take);
        p += take;
    }
    // s (with its sign first, if any) padded to width: left-aligned with blanks, or right-aligned
    // with blanks or with zeros between the sign and the digits.
    void Feld(const char* s, size_t n, int width, bool left, bool zeros) {
        size_t pad = width > 0 && static_cast<size_t>(width) > n ? width - n : 0;
        if (left) {
            Text(s, n);
            Zeichen(' ', pad);
        } else if (zeros) {
            size_t sign = n > 0 && (s[0] == '-' || s[0] == '+' || s[0] == ' ') ? 1 : 0;
            Text(s, sign);
            Zeichen('0', pad);
            Text(s + sign, n - sign);
        } else {
            Zeichen(' ', pad);
            Text(s, n);
        }
    }
};

struct Angabe {
    bool left = false, plus = false, space = false, zeros = false, alternate = false;
    int width = 0;
    int precision = -1;
    char length = 0;  // 'H' hh, 'h', 'l', 'L' (ll), 'D' (L), 'z', 'j', 't'
    char conversion = 0;
};

// Parses the conversion behind '%' (format points after it); returns the first byte after it.
const char* Lies(const char* f, Angabe& a, va_list& args) {
    for (;; ++f) {
        if (*f == '-')
            a.left = true;
        else if (*f == '+')
            a.plus = true;
        else if (*f == ' ')
            a.space = true;
        else if (*f == '0')
            a.zeros = true;
        else if (*f == '#')
            a.alternate = true;
        else
            break;
    }
    if (*f == '*') {
        a.width = va_arg(args, int);
        if (a.width < 0) a.left = true, a.width = -a.width;
        ++f;
    } else {
        while (*f >= '0' && *f <= '9') a.width = a.width * 10 + (*f++ - '0');
    }
    if (*f == '.') {
        ++f;
        a.precision = 0;
        if (*f == '*') {
            a.precision = va_arg(args, int);
            ++f;
        } else {
            while (*f >= '0' && *f <= '9') a.precision = a.precision * 10 + (*f++ - '0');
        }
    }
    if (f[0] == 'h' && f[1] == 'h') {
        a.length = 'H', f += 2;
    } else if (f[0] == 'l' && f[1] == 'l') {
        a.length = 'L', f += 2;
    } else if (*f == 'h' || *f == 'l' || *f == 'z' || *f == 'j' || *f == 't') {
        a.length = *f++;
    } else if (*f == 'L') {
        a.length = 'D', ++f;
    }
    a.conversion = *f;
    return *f ? f + 1 : f;
}

// The sign printf puts before a non-negative number.
const char* Vorzeichen(const Angabe& a) { return a.plus ? "+" : a.space ? " " : ""; }

constexpr uint64_t kZehner[20] = {1ull,
                                  10ull,
                                  100ull,
                                  1000ull,
                                  10000ull,
                                  100000ull,
                                  1000000ull,
                                  10000000ull,
                                  100000000ull,
                                  1000000000ull,
                                  10000000000ull,
                                  100000000000ull,
                                  1000000000000ull,
                                  10000000000000ull,
                                  100000000000000ull,
                                  1000000000000000ull,
                                  10000000000000000ull,
                                  100000000000000000ull,
                                  1000000000000000000ull,
                                  10000000000000000000ull};

// |value| * 10^decimals (decimals 0..19) rounded to the nearest integer, ties to even, into q;
// false for a non-finite value or a result of 2^64 or more. A finite double is m * 2^e with an
// integer m below 2^53, so m * 10^decimals (below 2^117) and the shift by e are exact.
bool Skaliert(double value, int decimals, uint64_t* q) {
    using u128 = unsigned __int128;
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    uint64_t m = bits & ((uint64_t{1} << 52) - 1);
    if (biased == 0x7ff) return false;
    if (biased != 0) m |= uint64_t{1} << 52;
    const int e = biased == 0 ? -1074 : biased - 1075;
    if (m == 0) {
        *q = 0;
        return true;
    }
    if (decimals <= 3 && e < 0 && e > -64) {
        // The usual coordinate: m * 10^decimals is below 2^63, and the shift below 64 bits,
        // so the same rounding takes 64-bit words alone.
        const uint64_t t = m * kZehner[decimals];
        const int s = -e;
        uint64_t ganz = t >> s;
        const uint64_t rest = t & ((uint64_t{1} << s) - 1);
        const uint64_t halb = uint64_t{1} << (s - 1);
        if (rest > halb || (rest == halb && (ganz & 1))) ++ganz;
        *q = ganz;
        return true;
    }
    if (e >= 0) {
        if (e > 10) return false;  // |value| of 2^63 or more
        const u128 t = static_cast<u128>(m << e) * kZehner[decimals];
        if (t >> 64) return false;
        *q = static_cast<uint64_t>(t);
        return true;
    }
    const u128 t = static_cast<u128>(m) * kZehner[decimals];
    const int s = -e;
    if (s >= 120) {  // t is below 2^117, less than half a unit: rounds to 0
        *q = 0;
        return true;
    }
    u128 ganz = t >> s;
    const u128 rest = t - (ganz << s);
    const u128 halb = u128{1} << (s - 1);
    if (rest > halb || (rest == halb && (ganz & 1))) ++ganz;
    if (ganz >> 64) return false;
    *q = static_cast<uint64_t>(ganz);
    return true;
}

// "00" to "99", for writing two digits at once.
constexpr auto kPaareTabelle = [] {
    std::array<char, 200> t{};
    for (int i = 0; i < 100; ++i) {
        t[2 * i] = static_cast<char>('0' + i / 10);
        t[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return t;
}();
constexpr const char* kPaare = kPaareTabelle.data();

// The longest text Ziffern writes: a sign, 20 digits, the point and 19 decimals.
constexpr ptrdiff_t kZiffernLaenge = 41;

// The sign (when negative, or `sign` when not 0) and the digits of q / 10^decimals, q being a
// value scaled by Skaliert, into z (room for kZiffernLaenge bytes).
inline char* Ziffern(char* z, bool negative, char sign, uint64_t q, int decimals) {
    if (negative)
        *z++ = '-';
    else if (sign != 0)
        *z++ = sign;
    // The usual decimals divide by a constant (a multiplication), the rest by the table.
    uint64_t ganz, bruch;
    switch (decimals) {
        case 3:
            ganz = q / 1000, bruch = q % 1000;
            break;
        case 4:
            ganz = q / 10000, bruch = q % 10000;
            break;
        case 2:
            ganz = q / 100, bruch = q % 100;
            break;
        default:
            ganz = q / kZehner[decimals], bruch = q % kZehner[decimals];
            break;
    }
    z = std::to_chars(z, z + 20, ganz).ptr;
    if (decimals > 0) {
        // The decimals from the last, two at a time.
        *z = '.';
        z += decimals + 1;
        char* p = z;
        int n = decimals;
        for (; n >= 2; n -= 2) {
            p -= 2;
            std::memcpy(p, kPaare + 2 * (bruch % 100), 2);
            bruch /= 100;
        }
        if (n > 0) p[-1] = static_cast<char>('0' + bruch);
    }
    return z;
}

// The sign (when negative, or `sign` when not 0) and the digits of a finite value with
// `decimals` decimals, as printf's %.<decimals>f, into z (room for 330 + decimals bytes).
char* Festkomma(char* z, char* end, double value, int decimals, char sign) {
    uint64_t q;
    if (decimals <= 19 && Skaliert(value, decimals, &q))
        return Ziffern(z, std::signbit(value), sign, q, decimals);
    if (std::signbit(value))
        *z++ = '-';
    else if (sign != 0)
        *z++ = sign;
    return std::to_chars(z, end, std::fabs(value), std::chars_format::fixed, decimals).ptr;
}

// s padded to the format's width into [out, end); null when it does not fit.
char* Feld(char* out, char* end, const char* s, size_t n, const Zahlformat& f) {
    const size_t pad = f.width > n ? f.width - n : 0;
    if (static_cast<size_t>(end - out) < n + pad) return nullptr;
    if (pad == 0) {
        std::memcpy(out, s, n);
        return out + n;
    }
    if (f.left) {
        std::memcpy(out, s, n);
        std::memset(out + n, ' ', pad);
    } else if (f.zeros) {
        size_t sign = n > 0 && (s[0] == '-' || s[0] == '+' || s[0] == ' ') ? 1 : 0;
        std::memcpy(out, s, sign);
        std::memset(out + sign, '0', pad);
        std::memcpy(out + sign + pad, s + sign, n - sign);
    } else {
        std::memset(out, ' ', pad);
        std::memcpy(out + pad, s, n);
    }
    return out + n + pad;
}

}  // namespace

bool LiesZahlformat(const char* format, Zahlformat* out) {
    // A '*' would read an argument: not a format decided once.
    if (format == nullptr || format[0] != '%' || std::strchr(format, '*') != nullptr) return false;
    Angabe a;
    va_list unused{};
    const char* f = Lies(format + 1, a, unused);
    if (*f != 0 || a.alternate || a.width > 255) return false;
    Zahlformat z;
    z.width = static_cast<uint8_t>(a.width);
    z.sign = a.plus ? '+' : a.space ? ' ' : 0;
    z.left = a.left;
    z.zeros = a.zeros && !a.left;
    if (a.conversion == 'f' && (a.length == 0 || a.length == 'l')) {
        int precision = a.precision < 0 ? 6 : a.precision;
        if (precision > 60) return false;
        z.decimals = static_cast<int8_t>(precision);
    } else if (a.conversion == 'd' && (a.length == 0 || a.length == 'l') && a.precision < 0) {
        z.decimals = -1;
    } else {
        return false;
    }
    *out = z;
    return true;
}

char* SchreibeZahl(char* out, char* end, double value, Zahlformat format) {
    if (format.decimals < 0) return SchreibeGanzzahl(out, end, Ganzzahl(value), format);
    // The usual number: no padding (a text is never shorter than one byte), room for the
    // longest text of digits, and a value that Skaliert takes: written in place.
    uint64_t q;
    if (format.width <= 1 && end - out >= kZiffernLaenge && format.decimals <= 19 &&
        Skaliert(value, format.decimals, &q))
        return Ziffern(out, std::signbit(value), format.sign, q, format.decimals);
    char zahl[400];
    int n;
    if (std::isfinite(value) && format.decimals <= 60) {
        n = static_cast<int>(
            Festkomma(zahl, zahl + sizeof zahl, value, format.decimals, format.sign) - zahl);
    } else {
        // inf and nan as printf writes them, blanks for padding included.
        char umwandlung[32];
        std::snprintf(umwandlung, sizeof umwandlung, "%%%s%s%s%d.%dlf", format.left ? "-" : "",
                      format.sign == '+'   ? "+"
                      : format.sign == ' ' ? " "
                                           : "",
                      format.zeros ? "0" : "", format.width, format.decimals);
        n = std::snprintf(zahl, sizeof zahl, umwandlung, value);
        if (n < 0 || n >= static_cast<int>(sizeof zahl)) return nullptr;
        if (end - out < n) return nullptr;
        std::memcpy(out, zahl, static_cast<size_t>(n));
        return out + n;
    }
    return Feld(out, end, zahl, static_cast<size_t>(n), format);
}

char* SchreibeG(char* out, char* end, double value, int precision) {
    auto [p, ec] = std::to_chars(out, end, value, std::chars_format::general, precision);
    return ec == std::errc() ? p : nullptr;
}

char* SchreibeGanzzahl(char* out, char* end, int64_t value, Zahlformat format) {
    char zahl[24];
    char* p = zahl;
    uint64_t u;
    if (value < 0) {
        *p++ = '-';
        u = 0ull - static_cast<uint64_t>(value);
    } else {
        if (format.sign != 0) *p++ = format.sign;
        u = static_cast<uint64_t>(value);
    }
    p = std::to_chars(p, zahl + sizeof zahl, u).ptr;
    return Feld(out, end, zahl, static_cast<size_t>(p - zahl), format);
}

Satzbau& Satzbau::Zahl(double value, Zahlformat format) {
    if (!ok_) return *this;
    return Bis(SchreibeZahl(p_, ende_, value, format));
}

Satzbau& Satzbau::Ganzzahl(int64_t value, Zahlformat format) {
    if (!ok_) return *this;
    return Bis(SchreibeGanzzahl(p_, ende_, value, format));
}

bool FormatiereV(char* out, size_t size, const char* format, va_list args) {
    if (size == 0) return false;
    Ausgabe o{out, out + size - 1};
    va_list ap;
    va_copy(ap, args);
    char zahl[400];  // the longest fixed-point double (309 digits) with its decimals
    for (const char* f = format; *f;) {
        if (*f != '%') {
            const char* next = std::strchr(f, '%');
            size_t n = next ? static_cast<size_t>(next - f) : std::strlen(f);
            o.Text(f, n);
            f += n;
            continue;
        }
        const char* start = f;
        Angabe a;
        f = Lies(f + 1, a, ap);
        switch (a.conversion) {
            case '%':
                o.Zeichen('%');
                continue;
            case 'd':
            case 'i':
            case 'u': {
                if (a.precision >= 0 || a.alternate || a.length == 'D') break;
                bool sign = a.conversion != 'u';
                long long v = 0;
                unsigned long long u = 0;
                switch (a.length) {
                    case 'l':
                        sign ? v = va_arg(ap, long) : u = va_arg(ap, unsigned long);
                        break;
                    case 'L':
                        sign ? v = va_arg(ap, long long) : u = va_arg(ap, unsigned long long);
                        break;
                    case 'z':
                    case 'j':
                    case 't':
                        sign ? v = va_arg(ap, long long) : u = va_arg(ap, unsigned long long);
                        break;
                    default:
                        sign ? v = va_arg(ap, int) : u = va_arg(ap, unsigned);
                        if (a.length == 'h')
                            sign ? v = short(v) : u = static_cast<unsigned short>(u);
                        if (a.length == 'H')
                            sign ? v = static_cast<signed char>(v)
                                 : u = static_cast<unsigned char>(u);
                        break;
                }
                char* p = zahl;
                if (sign) {
                    if (v < 0) {
                        *p++ = '-';
                        u = 0ull - static_cast<unsigned long long>(v);
                    } else {
                        const char* s = Vorzeichen(a);
                        if (*s) *p++ = *s;
                        u = static_cast<unsigned long long>(v);
                    }
                }
                p = std::to_chars(p, zahl + sizeof zahl, u).ptr;
                o.Feld(zahl, static_cast<size_t>(p - zahl), a.width, a.left, a.zeros);
                continue;
            }
            case 'f': {
                if (a.alternate || a.length == 'D') break;
                double v = va_arg(ap, double);
                int precision = a.precision < 0 ? 6 : a.precision;
                if (!std::isfinite(v) || precision > 60) {
                    // Handed on as it came: printf writes it.
                    char umwandlung[32];
                    int n = static_cast<int>(f - start);
                    if (n >= static_cast<int>(sizeof umwandlung)) n = sizeof umwandlung - 1;
                    std::memcpy(umwandlung, start, n);
                    umwandlung[n] = 0;
                    int len = std::snprintf(zahl, sizeof zahl, umwandlung, v);
                    if (len > 0) o.Text(zahl, static_cast<size_t>(len));
                    continue;
                }
                char* p = Festkomma(zahl, zahl + sizeof zahl, v, precision, *Vorzeichen(a));
                o.Feld(zahl, static_cast<size_t>(p - zahl), a.width, a.left, a.zeros);
                continue;
            }
            case 's': {
                if (a.length != 0) break;
                const char* s = va_arg(ap, const char*);
                if (s == nullptr) s = "(null)";
                size_t n = a.precision >= 0 ? strnlen(s, static_cast<size_t>(a.precision))
                                            : std::strlen(s);
                o.Feld(s, n, a.width, a.left, false);
                continue;
            }
            case 'c': {
                if (a.length != 0) break;
                char c = static_cast<char>(va_arg(ap, int));
                o.Feld(&c, 1, a.width, a.left, false);
                continue;
            }
            default:
                break;
        }
        // Every other conversion: printf itself, for this one argument (the argument is read
        // by its type, as printf would read it).
        char umwandlung[32];
        int n = static_cast<int>(f - start);
        if (n >= static_cast<int>(sizeof umwandlung)) n = sizeof umwandlung - 1;
        std::memcpy(umwandlung, start, n);
        umwandlung[n] = 0;
        int len = -1;
        switch (a.conversion) {
            case 'd':
            case 'i':
            case 'u':
            case 'o':
            case 'x':
            case 'X':
            case 'c':
                if (a.length == 'l' || a.length == 'z' || a.length == 'j' || a.length == 't')
                    len = std::snprintf(zahl, sizeof zahl, umwandlung, va_arg(ap, long));
                else if (a.length == 'L' || a.length == 'D')
                    len = std::snprintf(zahl, sizeof zahl, umwandlung, va_arg(ap, long long));
                else
                    len = std::snprintf(zahl, sizeof zahl, umwandlung, va_arg(ap, int));
                break;
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                if (a.length == 'D')
                    len = std::snprintf(zahl, sizeof zahl, umwandlung, va_arg(ap, long double));
                else
                    len = std::snprintf(zahl, sizeof zahl, umwandlung, va_arg(ap, double));
                break;
            case 's':
            case 'p':
                len = std::snprintf(zahl, sizeof zahl, umwandlung, va_arg(ap, void*));
                break;
            default:
                o.Text(start, static_cast<size_t>(f - start));  // not a conversion: as written
                continue;
        }
        if (len > 0) o.Text(zahl, static_cast<size_t>(len) < sizeof zahl ? len : sizeof zahl - 1);
    }
    va_end(ap);
    *o.p = 0;
    return o.wanted < size;
}

}  // namespace korvat::writer
