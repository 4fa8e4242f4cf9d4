// The writers' printf: the conversions their formats use (%d %i %u %ld %f %lf %s %c %%, with
// flags, width and precision) are written here with std::to_chars, which gives exactly the
// digits printf gives (correct rounding of the binary value, halfway cases to even, the sign of
// a negative zero kept) without the locale and stream machinery of vsnprintf. Any other
// conversion, and the rare forms of these (an integer precision, '#', a non-finite value), are
// passed to vsnprintf one at a time, so the text is always what printf writes.
#include "writers/common/writer_common.h"

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

}  // namespace

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
                char* p = zahl;
                if (!std::signbit(v)) {
                    const char* s = Vorzeichen(a);
                    if (*s) *p++ = *s;
                }
                p = std::to_chars(p, zahl + sizeof zahl, v, std::chars_format::fixed, precision)
                        .ptr;
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
