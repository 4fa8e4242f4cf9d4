// korvat dump: prints a binary file of the library as text, one record a line, so a user can see
// what a binary program holds.
//
// Formats are found through kFormate below: each entry recognises its files (by extension or by
// their first bytes) and prints them. To add one (the host's tool-path element files, whose
// 32-byte records start with the marker "FRXBINWZB"), write its printing function and add one
// entry to kFormate; nothing else changes.
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/korvat/errors.h"
#include "tools/korvat/frontends.h"
#include "tools/korvat/program.h"
#include "tools/korvat/verbs/verb.h"

namespace korvat::tool {
namespace {

struct Options {
    std::string file;
};

// ---- .LG1: 13-byte records of CZORB --------------------------------------------------------

const char* Lg1Name(int type) {
    switch (type) {
        case 1:
            return "group header";
        case 5:
            return "tool pair";
        case 6:
        case 7:
            return "fixed";
        case 150:
            return "tool geometry";
        case 151:
            return "tool value";
        case 152:
            return "tool label";
        case 153:
        case 154:
        case 155:
            return "reserved";
        case 156:
            return "feed/depth";
        case 157:
            return "spindle";
        case 11:
            return "rapid";
        case 10:
            return "cut";
        case 9:
            return "group end";
        default:
            return "unknown";
    }
}

// By its name, or by its records: whole 13-byte records, the first a group header, every type
// one CZORB writes.
bool IsLg1(const std::string& path, const std::string& bytes) {
    if (EndsWithNoCase(path, ".LG1")) return true;
    if (EndsWithNoCase(path, ".EAW") || bytes.empty() || bytes.size() % 13 != 0 || bytes[0] != 1)
        return false;
    for (size_t at = 0; at < bytes.size(); at += 13)
        if (std::strcmp(Lg1Name(static_cast<unsigned char>(bytes[at])), "unknown") == 0)
            return false;
    return true;
}

// Record number, type, name, then the values: floats, the count of a group header, the label
// text of record 152 with control characters escaped.
int DumpLg1(const std::string& path, const std::string& bytes) {
    for (size_t at = 0; at + 13 <= bytes.size(); at += 13) {
        const auto* r = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        int type = r[0];
        uint32_t u[3];
        float f[3];
        for (int i = 0; i < 3; ++i) {
            u[i] = static_cast<uint32_t>(r[1 + 4 * i]) | static_cast<uint32_t>(r[2 + 4 * i]) << 8 |
                   static_cast<uint32_t>(r[3 + 4 * i]) << 16 |
                   static_cast<uint32_t>(r[4 + 4 * i]) << 24;
            std::memcpy(&f[i], &u[i], sizeof f[i]);
        }
        std::printf("%6zu %3d %-13s ", at / 13, type, Lg1Name(type));
        if (type == 152) {
            std::string text;
            size_t n = r[1] < 11 ? r[1] : 11;
            for (size_t i = 0; i < n; ++i) {
                unsigned char c = r[2 + i];
                char esc[8];
                if (c == '\t') {
                    text += "\\t";
                } else if (c < 32 || c == '"' || c == '\\' || c >= 127) {
                    std::snprintf(esc, sizeof esc, "\\x%02x", c);
                    text += esc;
                } else {
                    text += static_cast<char>(c);
                }
            }
            std::printf("length %d \"%s\"\n", r[1], text.c_str());
        } else if (type == 1 || type == 7) {
            std::printf("%g %g %ld\n", f[0], f[1], static_cast<long>(static_cast<int32_t>(u[2])));
        } else {
            std::printf("%g %g %g\n", f[0], f[1], f[2]);
        }
    }
    if (bytes.size() % 13 != 0)
        throw JobError(path, 0, 0,
                       "ends with an incomplete record of " + std::to_string(bytes.size() % 13) +
                           " bytes at byte " + std::to_string(bytes.size() / 13 * 13));
    return kExitOk;
}

// ---- Tool-path element files: 32-byte records -----------------------------------------------

const char* ElementName(int type, char art) {
    switch (type) {
        case 'U':
            return "header";
        case 1:
        case 6:
            return "positioning";
        case 2:
            return "line";
        case 3:
            return "line 3-D";
        case 4:
            return "arc centre";
        case 13:
            return art == 'g' || art == 't' ? "height mark" : "marker";
        default:
            return "other";
    }
}

// Record number, type, name, the sub-kind letter, then X Y Z (an arc's second record: start and
// sweep in degrees, radius), the host value and attributes where they are not zero.
int DumpElementFile(const std::string& path, const std::string& bytes) {
    bool arcRecord = false;
    for (size_t at = 0; at + 32 <= bytes.size(); at += 32) {
        const auto* r = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        int type = r[0];
        char art = static_cast<char>(r[1]);
        int16_t value;
        double v[3];
        std::memcpy(&value, r + 2, 2);
        std::memcpy(v, r + 8, sizeof v);
        std::printf("%6zu %3d ", at / 32, type);
        if (type == 'U') {
            int16_t second;
            std::memcpy(&second, r + 4, 2);
            std::printf("%-12s version %d values %d %d\n", "header", r[1], value, second);
            continue;
        }
        if (arcRecord) {
            std::printf("%-12s start %.6f sweep %.6f radius %.6f", "arc", v[0] * 180 / M_PI,
                        v[1] * 180 / M_PI, v[2]);
            arcRecord = false;
        } else {
            std::printf("%-12s", ElementName(type, art));
            if (art >= 0x21 && art < 0x7f) std::printf(" '%c'", art);
            std::printf(" %.6f %.6f %.6f", v[0], v[1], v[2]);
            arcRecord = type == 4;
        }
        if (value != 0) std::printf(" value %d", value);
        if (r[4] | r[5] | r[6] | r[7])
            std::printf(" attributes %d %d %d %d", r[4], r[5], r[6], r[7]);
        std::printf("\n");
    }
    if (bytes.size() % 32 != 0)
        throw JobError(path, 0, 0,
                       "ends with an incomplete record of " + std::to_string(bytes.size() % 32) +
                           " bytes at byte " + std::to_string(bytes.size() / 32 * 32));
    if (arcRecord) throw JobError(path, 0, 0, "ends inside an arc: its second record is missing");
    return kExitOk;
}

// ---- The table of formats ------------------------------------------------------------------

struct Format {
    const char* name;
    bool (*recognise)(const std::string& path, const std::string& bytes);
    int (*dump)(const std::string& path, const std::string& bytes);
};

const Format kFormate[] = {
    {".LG1 record file (CZORB)", IsLg1, DumpLg1},
    {"tool-path element file (.eaw)",
     [](const std::string& path, const std::string& bytes) { return IsElementFile(path, bytes); },
     DumpElementFile},
};

// ---- Text files: named, not listed -----------------------------------------------------------

// The first line of text that is not blank, without its line end and leading blanks.
std::string_view FirstLine(std::string_view text) {
    size_t from = text.find_first_not_of(" \t\r\n");
    if (from == std::string_view::npos) return {};
    text.remove_prefix(from);
    return text.substr(0, text.find_first_of("\r\n"));
}

bool IsText(std::string_view bytes) {
    if (bytes.empty()) return false;
    for (unsigned char c : bytes.substr(0, 4096))
        if (c < 0x09 || (c > 0x0D && c < 0x20 && c != 0x1B)) return false;
    return true;
}

// What a text file is, told by its first lines: a DXF drawing, an HPGL plot, an NC program.
const char* TextKind(std::string_view bytes) {
    std::string_view first = FirstLine(bytes);
    if (first == "0") {
        std::string_view rest = bytes.substr(bytes.find('0') + 1);
        if (FirstLine(rest) == "SECTION") return "a DXF drawing";
    }
    auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    // HPGL: two-letter instructions ended by ';' ("IN;SC;PU;", "GA,,500;").
    if (first.size() >= 3 && upper(first[0]) && upper(first[1]) &&
        first.find(';') != std::string_view::npos && first.find(' ') == std::string_view::npos)
        return "an HPGL plot";
    if (!first.empty() &&
        std::string_view("%NGMTOFSXYZL(;!").find(first[0]) != std::string_view::npos)
        return "an NC program (text)";
    return "a text file";
}

int Run(const Options& o) {
    struct stat st;
    if (stat(o.file.c_str(), &st) != 0)
        throw JobError(o.file, 0, 0, std::string("cannot be read: ") + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw JobError(o.file, 0, 0, "is a folder; name a file to list");
    if (!S_ISREG(st.st_mode))
        throw JobError(o.file, 0, 0, "is not a regular file; name a file to list");
    std::string bytes;
    {
        std::FILE* in = std::fopen(o.file.c_str(), "rb");
        if (in == nullptr)
            throw JobError(o.file, 0, 0, std::string("cannot be read: ") + std::strerror(errno));
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes.append(buffer, n);
        bool failed = std::ferror(in) != 0;
        int error = errno;
        std::fclose(in);
        if (failed)
            throw JobError(o.file, 0, 0, std::string("cannot be read: ") + std::strerror(error));
    }
    for (const Format& f : kFormate) {
        if (f.recognise(o.file, bytes)) return f.dump(o.file, bytes);
    }
    std::string known;
    for (const Format& f : kFormate) known += std::string(known.empty() ? "" : ", ") + f.name;
    if (IsText(bytes))
        throw JobError(o.file, 0, 0,
                       std::string("is ") + TextKind(bytes) +
                           ", to be read as it is; dump lists binary files (" + known + ")");
    throw JobError(o.file, 0, 0, "is no file that dump knows (" + known + ")");
}

std::function<int()> Setup(CLI::App& c) {
    auto o = std::make_shared<Options>();
    c.add_option("FILE", o->file, "binary file to list")->required();
    c.footer(
        "Prints one record a line: its number, type and values.\n"
        "Example:\n"
        "  korvat post examples/jobs/example.ngc --machine czorb -o plate.LG1\n"
        "  korvat dump plate.LG1");
    return [o] { return Run(*o); };
}

}  // namespace

extern const Verb kDump = {"dump", "print a binary program (.LG1) or element file (.eaw) as text",
                           Setup};

}  // namespace korvat::tool
