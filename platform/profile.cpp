// Profile (INI) files read the way GetPrivateProfileString reads them: the first matching section
// and key win, names are compared without regard to case, blanks around names and values are
// dropped, and one pair of matching quotes around a value is removed. A null section lists the
// section names, a null key the keys of the section, each terminated, the list ended by an extra
// zero byte.
#include "platform/profile.h"

#include <limits.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace korvat::platform {

namespace {

constexpr size_t kLine = 1024;  // longer lines are cut here; the rest of such a line is skipped

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Trims [*b, *e) in place.
void Trim(const char** b, const char** e) {
    while (*b < *e && IsBlank(**b)) ++*b;
    while (*e > *b && IsBlank((*e)[-1])) --*e;
}

bool SameName(const char* a, const char* ae, const char* b) {
    size_t n = static_cast<size_t>(ae - a);
    if (std::strlen(b) != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Copies [b, e) into out as a plain value: cut to size - 1, always terminated.
uint32_t CopyValue(const char* b, const char* e, char* out, uint32_t size) {
    size_t n = static_cast<size_t>(e - b);
    if (n > size - 1) n = size - 1;
    std::memcpy(out, b, n);
    out[n] = '\0';
    return static_cast<uint32_t>(n);
}

// Appends one name to a zero-separated list. Returns false once the list is full; the list then
// ends with two zero bytes and *used is size - 2, as Windows reports a cut list.
bool AppendName(const char* b, const char* e, char* out, uint32_t size, uint32_t* used) {
    size_t n = static_cast<size_t>(e - b);
    if (*used + n + 2 > size) {
        uint32_t room = size >= 2 ? size - 2 : 0;
        if (room > *used) {
            std::memcpy(out + *used, b, room - *used);
        }
        if (size >= 2) {
            out[size - 2] = '\0';
            out[size - 1] = '\0';
        } else {
            out[0] = '\0';
        }
        *used = room;
        return false;
    }
    std::memcpy(out + *used, b, n);
    *used += static_cast<uint32_t>(n);
    out[(*used)++] = '\0';
    out[*used] = '\0';
    return true;
}

// Reads one line into buf, dropping what does not fit. False at the end of the file.
bool ReadLine(std::FILE* f, char* buf, size_t size) {
    if (!std::fgets(buf, static_cast<int>(size), f)) return false;
    size_t n = std::strlen(buf);
    if (n > 0 && buf[n - 1] != '\n' && !std::feof(f)) {
        int c;
        while ((c = std::fgetc(f)) != EOF && c != '\n') {
        }
    }
    return true;
}

uint32_t UseDefault(const char* def, char* out, uint32_t size) {
    if (!def) def = "";
    const char* b = def;
    const char* e = def + std::strlen(def);
    while (e > b && IsBlank(e[-1])) --e;  // Windows drops trailing blanks of the default
    return CopyValue(b, e, out, size);
}

}  // namespace

uint32_t GetProfileString(const char* section, const char* key, const char* def, char* out,
                          uint32_t size, const char* file) {
    if (!out || size == 0) return 0;
    out[0] = '\0';
    if (size > 1) out[1] = '\0';
    char path[PATH_MAX];
    std::FILE* f = nullptr;
    if (file && HostPath(file, path, sizeof path)) f = std::fopen(path, "rb");
    if (!f) return section && key ? UseDefault(def, out, size) : 0;

    char line[kLine];
    bool inSection = false;
    bool sectionSeen = false;
    uint32_t used = 0;
    bool listing = !section || !key;
    bool first = true;
    bool found = false;
    uint32_t result = 0;
    while (ReadLine(f, line, sizeof line)) {
        const char* b = line;
        if (first && std::strncmp(b, "\xEF\xBB\xBF", 3) == 0) b += 3;  // UTF-8 mark
        first = false;
        const char* e = b + std::strlen(b);
        Trim(&b, &e);
        if (b == e || *b == ';') continue;
        if (*b == '[') {
            const char* close = static_cast<const char*>(std::memchr(b, ']', e - b));
            const char* nb = b + 1;
            const char* ne = close ? close : e;
            Trim(&nb, &ne);
            if (!section) {
                if (!AppendName(nb, ne, out, size, &used)) break;
                continue;
            }
            if (sectionSeen && inSection) break;  // only the first matching section counts
            inSection = SameName(nb, ne, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection || !section) continue;
        const char* eq = static_cast<const char*>(std::memchr(b, '=', e - b));
        const char* kb = b;
        const char* ke = eq ? eq : e;
        Trim(&kb, &ke);
        if (!key) {
            if (!AppendName(kb, ke, out, size, &used)) break;
            continue;
        }
        if (!SameName(kb, ke, key)) continue;
        const char* vb = eq ? eq + 1 : e;
        const char* ve = e;
        Trim(&vb, &ve);
        if (ve - vb >= 2 && (*vb == '"' || *vb == '\'') && ve[-1] == *vb) {
            ++vb;
            --ve;
        }
        result = CopyValue(vb, ve, out, size);
        found = true;
        break;
    }
    std::fclose(f);
    if (listing) return used;
    return found ? result : UseDefault(def, out, size);
}

}  // namespace korvat::platform
