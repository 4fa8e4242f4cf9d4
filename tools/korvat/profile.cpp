// Machine profiles, read with inih. Each record field is described once in a table (name, place
// in the record, width, range) so that the profile sets it by its name with a checked value.
#include "tools/korvat/profile.h"

#include <ini.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <sstream>
#include <vector>

#include "tools/korvat/errors.h"
#include "tools/korvat/output.h"

namespace korvat::tool {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Text is zero-terminated within its array; Chars fills its array without a terminator.
enum class Kind { I8, U8, I16, I32, F32, Char, Text, Chars };

struct Field {
    std::string name;
    size_t offset;
    Kind kind;
    size_t size;  // bytes of a text field
    double min, max;
};

double KindMin(Kind k) {
    switch (k) {
        case Kind::I8:
            return -128;
        case Kind::U8:
            return 0;
        case Kind::I16:
            return -32768;
        case Kind::I32:
            return -2147483648.0;
        default:
            return -1e30;
    }
}
double KindMax(Kind k) {
    switch (k) {
        case Kind::I8:
            return 127;
        case Kind::U8:
            return 255;
        case Kind::I16:
            return 32767;
        case Kind::I32:
            return 2147483647.0;
        default:
            return 1e30;
    }
}

Field F(const std::string& name, size_t offset, Kind kind, size_t size = 0) {
    return {name, offset, kind, size, KindMin(kind), KindMax(kind)};
}
Field R(const std::string& name, size_t offset, Kind kind, double min, double max) {
    return {name, offset, kind, 0, min, max};
}

#define KV_OFF(member) offsetof(MaschEinstellung, member)
const std::vector<Field>& SettingsFields() {
    static const std::vector<Field> fields = [] {
        std::vector<Field> f = {
            R("MaschTyp", KV_OFF(MaschTyp), Kind::I16, 0, 99),
            F("Optionen", KV_OFF(Optionen), Kind::I32),
            F("Schnittstelle", KV_OFF(Schnittstelle), Kind::U8),
            F("Handshake", KV_OFF(Handshake), Kind::U8),
            R("Baudrate", KV_OFF(Baudrate), Kind::I32, 0, 4000000),
            R("Paritaet", KV_OFF(Paritaet), Kind::U8, 0, 2),
            R("Datenbits", KV_OFF(Datenbits), Kind::U8, 0, 8),
            R("Stopbits", KV_OFF(Stopbits), Kind::U8, 0, 1),
            F("Dateiendung", KV_OFF(Dateiendung), Kind::Text,
              sizeof(MaschEinstellung::Dateiendung)),
        };
        for (int a = 0; a < 4; ++a) {
            std::string p = "Achse[" + std::to_string(a) + "].";
            size_t base = KV_OFF(Achse) + a * sizeof(ACHSE);
            f.push_back(R(p + "MaxGeschwindigkeit", base + offsetof(ACHSE, MaxGeschwindigkeit),
                          Kind::F32, 0, 1000));
            f.push_back(F(p + "Adresse", base + offsetof(ACHSE, Adresse), Kind::Char));
            if (a < 3)
                f.push_back(F(p + "MittelpunktAdresse", base + offsetof(ACHSE, MittelpunktAdresse),
                              Kind::Char));
        }
        for (int a = 0; a < 3; ++a)
            f.push_back(F("Massstab[" + std::to_string(a) + "]",
                          KV_OFF(Massstab) + a * sizeof(float), Kind::F32));
        std::vector<Field> rest = {
            F("GModal", KV_OFF(GModal), Kind::Char),
            R("ErsteSatznummer", KV_OFF(ErsteSatznummer), Kind::I32, 0, 999999999),
            R("LetzteSatznummer", KV_OFF(LetzteSatznummer), Kind::I32, 0, 999999999),
            R("Nachkommastellen", KV_OFF(Nachkommastellen), Kind::I8, 0, 9),
            F("Drehzahlausgabe", KV_OFF(Drehzahlausgabe), Kind::I8),
            F("Vorschubausgabe", KV_OFF(Vorschubausgabe), Kind::I8),
            F("Spindelausgabe", KV_OFF(Spindelausgabe), Kind::I8),
            F("Eilgangausgabe", KV_OFF(Eilgangausgabe), Kind::I8),
            F("Wechselausgabe", KV_OFF(Wechselausgabe), Kind::I8),
            F("Anfahrlogik", KV_OFF(Anfahrlogik), Kind::I8),
            F("Eintauchvorschub", KV_OFF(Eintauchvorschub), Kind::I8),
            F("WechselMCode2", KV_OFF(WechselMCode2), Kind::I16),
            F("WechselMCode", KV_OFF(WechselMCode), Kind::I16),
            F("DrehzahlImEilgang", KV_OFF(DrehzahlImEilgang), Kind::I8),
            F("WechselZeile", KV_OFF(WechselZeile), Kind::Text,
              sizeof(MaschEinstellung::WechselZeile)),
            R("LptModus", KV_OFF(LptModus), Kind::U8, 0, 3),
            F("KommentarAuf", KV_OFF(KommentarAuf), Kind::Text,
              sizeof(MaschEinstellung::KommentarAuf)),
            F("KommentarZu", KV_OFF(KommentarZu), Kind::Text,
              sizeof(MaschEinstellung::KommentarZu)),
            F("VorschubFormat", KV_OFF(VorschubFormat), Kind::I8),
            R("MaxNachkommastellen", KV_OFF(MaxNachkommastellen), Kind::I8, 0, 9),
            F("KreisrichtungTauschen", KV_OFF(KreisrichtungTauschen), Kind::I8),
            F("MitRohteil", KV_OFF(MitRohteil), Kind::I8),
            F("HdhOptionen", KV_OFF(HdhOptionen), Kind::Chars,
              sizeof(MaschEinstellung::HdhOptionen)),
            F("QParameter", KV_OFF(QParameter), Kind::I8),
            F("VhfPositionierModus", KV_OFF(VhfPositionierModus), Kind::I8),
            F("EuroboxTAus", KV_OFF(EuroboxTAus), Kind::U8),
            F("EuroboxV2", KV_OFF(EuroboxV2), Kind::U8),
            F("EuroboxW2", KV_OFF(EuroboxW2), Kind::U8),
            F("EuroboxW1", KV_OFF(EuroboxW1), Kind::U8),
            F("EuroboxT2", KV_OFF(EuroboxT2), Kind::U8),
            F("EuroboxZ2", KV_OFF(EuroboxZ2), Kind::U8),
            F("EuroboxMitteX", KV_OFF(EuroboxMitteX), Kind::F32),
            F("EuroboxMitteY", KV_OFF(EuroboxMitteY), Kind::F32),
            F("EuroboxA2", KV_OFF(EuroboxA2), Kind::F32),
            F("EuroboxO1", KV_OFF(EuroboxO1), Kind::F32),
            F("EuroboxO2", KV_OFF(EuroboxO2), Kind::F32),
        };
        f.insert(f.end(), rest.begin(), rest.end());
        return f;
    }();
    return fields;
}
#undef KV_OFF

const std::vector<Field>& InitFields() {
    static const std::vector<Field> fields = [] {
        std::vector<Field> f = {
            F("MaschTypBuchstabe", offsetof(InitStruct, MaschTypBuchstabe), Kind::Char)};
        auto array = [&](const char* name, size_t offset, int n, Kind kind, size_t width) {
            for (int i = 0; i < n; ++i)
                f.push_back(
                    F(std::string(name) + "[" + std::to_string(i) + "]", offset + i * width, kind));
        };
        array("Aufloesung", offsetof(InitStruct, Aufloesung), 3, Kind::F32, 4);
        array("Weitere", offsetof(InitStruct, Weitere), 5, Kind::F32, 4);
        f.push_back(F("Ganzzahl", offsetof(InitStruct, Ganzzahl), Kind::I32));
        array("Bytes", offsetof(InitStruct, Bytes), 5, Kind::U8, 1);
        array("Schluss", offsetof(InitStruct, Schluss), 3, Kind::F32, 4);
        return f;
    }();
    return fields;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

// Profiles are written in UTF-8; the records hold Windows code page 1252. Latin-1 characters
// map one to one; anything else is refused rather than garbled.
bool ToCp1252(const std::string& in, std::string* out) {
    out->clear();
    for (size_t i = 0; i < in.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (c < 0x80) {
            out->push_back(static_cast<char>(c));
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < in.size() &&
                   (static_cast<unsigned char>(in[i + 1]) & 0xC0) == 0x80) {
            unsigned char n = static_cast<unsigned char>(in[++i]);
            out->push_back(static_cast<char>(((c & 0x03) << 6) | (n & 0x3F)));
        } else {
            return false;
        }
    }
    return true;
}

// The keys of single writer classes, each in a section of its own.
struct ClassKey {
    const char* section;  // lower case
    const char* key;
    const char* className;
    double min, max;
    std::optional<double> WriterSettings::*value;
};
const ClassKey kClassKeys[] = {
    {"chdh", "RueckzugHoehe", "CHDH", -100000, 100000, &WriterSettings::RueckzugHoehe},
    {"czorb", "ZSchwelle", "CZORB", -100000, 100000, &WriterSettings::ZSchwelle},
    {"czorb", "Gruppenwert", "CZORB", -1e30, 1e30, &WriterSettings::Gruppenwert},
    {"datron", "Rueckfahrmodus", "CKESTL1", -1e30, 1e30, &WriterSettings::Rueckfahrmodus},
    {"chpgla", "Schnellstart", "CHPGLA", 0, 1, &WriterSettings::Schnellstart},
    {"chpgla", "Stiftnummer", "CHPGLA", 0, 99, &WriterSettings::Stiftnummer},
    {"chpgla", "PT", "CHPGLA", 0, 1, &WriterSettings::PT},
    {"chpgla", "DrehzahlMin", "CHPGLA", 0, 1e6, &WriterSettings::DrehzahlMin},
    {"chpgla", "DrehzahlMax", "CHPGLA", 0, 1e6, &WriterSettings::DrehzahlMax},
    {"chpgla", "AusgabeMin", "CHPGLA", -1e6, 1e6, &WriterSettings::AusgabeMin},
    {"chpgla", "AusgabeMax", "CHPGLA", -1e6, 1e6, &WriterSettings::AusgabeMax},
    {"csms68a", "Schnellstart", "CSMS68A", 0, 1, &WriterSettings::Schnellstart},
    {"csms68a", "Stiftnummer", "CSMS68A", 0, 99, &WriterSettings::Stiftnummer},
    {"csms68a", "PT", "CSMS68A", 0, 1, &WriterSettings::PT},
    {"csms68a", "DrehzahlMin", "CSMS68A", 0, 1e6, &WriterSettings::DrehzahlMin},
    {"csms68a", "DrehzahlMax", "CSMS68A", 0, 1e6, &WriterSettings::DrehzahlMax},
    {"csms68a", "AusgabeMin", "CSMS68A", -1e6, 1e6, &WriterSettings::AusgabeMin},
    {"csms68a", "AusgabeMax", "CSMS68A", -1e6, 1e6, &WriterSettings::AusgabeMax},
    {"csms68a", "Erweitert", "CSMS68A", 0, 1, &WriterSettings::Erweitert},
    {"csms68a", "DreiD", "CSMS68A", 0, 1, &WriterSettings::DreiD},
    {"maschinentyp", "zumgekehrt", "CSMS68A", -1e9, 1e9, &WriterSettings::zumgekehrt},
    {"ceurobox", "Flughoehe", "CEUROBOX", -100000, 100000, &WriterSettings::Flughoehe},
    {"ceurobox", "ZweiteHoehe", "CEUROBOX", -100000, 100000, &WriterSettings::ZweiteHoehe},
    {"ceurobox", "Zentriert", "CEUROBOX", 0, 1, &WriterSettings::Zentriert},
};

// A class key seen, checked against the profile's class once the whole file is read (the class
// may be named after the section).
struct ClassKeyUse {
    int line;
    std::string key;
    const char* className;
};

struct Reader {
    Machine* m = nullptr;
    const std::string* text = nullptr;
    size_t pos = 0;
    int line = 0;
    std::string error;
    std::set<std::string> seen;
    std::set<int> toolsSeen;
    std::map<int, std::pair<int, int>> magazineTools;  // tool number: its place and line
    int errorLine = 0;                                 // the line of `error`
    std::vector<ClassKeyUse> classKeys;
};

// inih reads line by line through this, so the handler knows the line it is called for.
char* ReadLine(char* buffer, int size, void* stream) {
    Reader* r = static_cast<Reader*>(stream);
    if (r->pos >= r->text->size()) return nullptr;
    size_t end = r->text->find('\n', r->pos);
    size_t next = end == std::string::npos ? r->text->size() : end + 1;
    size_t n = std::min(next - r->pos, static_cast<size_t>(size - 1));
    std::memcpy(buffer, r->text->data() + r->pos, n);
    buffer[n] = 0;
    r->pos += n;
    if (r->pos == next) ++r->line;
    return buffer;
}

bool ParseNumber(const std::string& v, bool integer, double* out) {
    // Integers may be written as a sum of option bit values ("4 + 512") or in hex ("0x200").
    std::string s = Trim(v);
    if (s.empty()) return false;
    double total = 0;
    size_t pos = 0;
    while (true) {
        size_t plus = integer ? s.find('+', pos == 0 ? 1 : pos) : std::string::npos;
        std::string part = Trim(s.substr(pos, plus == std::string::npos ? plus : plus - pos));
        if (part.empty()) return false;
        char* stop = nullptr;
        errno = 0;
        double d = integer ? static_cast<double>(std::strtoll(part.c_str(), &stop, 0))
                           : std::strtod(part.c_str(), &stop);
        if (*stop != 0 || stop == part.c_str() || errno == ERANGE || !std::isfinite(d))
            return false;
        total += d;
        if (plus == std::string::npos) break;
        pos = plus + 1;
    }
    *out = total;
    return true;
}

// Stores a value into a record field; returns an error text or "".
std::string Store(void* record, const Field& f, const std::string& raw) {
    char* base = static_cast<char*>(record) + f.offset;
    std::string value = Trim(raw);
    if (f.kind == Kind::Text || f.kind == Kind::Char || f.kind == Kind::Chars) {
        std::string bytes;
        if (!ToCp1252(value, &bytes))
            return "'" + value + "' has characters outside code page 1252";
        if (f.kind == Kind::Char) {
            if (bytes.size() > 1) return "'" + value + "' is not a single character";
            *base = bytes.empty() ? 0 : bytes[0];
            return "";
        }
        size_t room = f.kind == Kind::Text ? f.size - 1 : f.size;
        if (bytes.size() > room)
            return "'" + value + "' is too long (at most " + std::to_string(room) + " characters)";
        std::memset(base, 0, f.size);
        std::memcpy(base, bytes.data(), bytes.size());
        return "";
    }
    bool integer = f.kind != Kind::F32;
    double v;
    if (!ParseNumber(value, integer, &v))
        return "'" + value + "' is not " + (integer ? "a whole number" : "a number");
    if (v < f.min || v > f.max) {
        char range[80];
        std::snprintf(range, sizeof range, " is out of range %.10g to %.10g", f.min, f.max);
        return "'" + value + "'" + range;
    }
    switch (f.kind) {
        case Kind::I8: {
            int8_t x = static_cast<int8_t>(v);
            std::memcpy(base, &x, 1);
            break;
        }
        case Kind::U8: {
            uint8_t x = static_cast<uint8_t>(v);
            std::memcpy(base, &x, 1);
            break;
        }
        case Kind::I16: {
            int16_t x = static_cast<int16_t>(v);
            std::memcpy(base, &x, 2);
            break;
        }
        case Kind::I32: {
            int32_t x = static_cast<int32_t>(v);
            std::memcpy(base, &x, 4);
            break;
        }
        case Kind::F32: {
            float x = static_cast<float>(v);
            std::memcpy(base, &x, 4);
            break;
        }
        default:
            break;
    }
    return "";
}

std::string Yes(const std::string& v, bool* out) {
    std::string s = Lower(Trim(v));
    if (s == "yes" || s == "true" || s == "1" || s == "on") return *out = true, "";
    if (s == "no" || s == "false" || s == "0" || s == "off") return *out = false, "";
    return "'" + Trim(v) + "' is not yes or no";
}

std::string MachineKey(Machine& m, const std::string& key, const std::string& value) {
    if (key == "class") return m.className = Trim(value), "";
    if (key == "description") return m.description = Trim(value), "";
    if (key == "output") return m.output = Trim(value), "";
    if (key == "port") return Yes(value, &m.port);
    if (key == "device") return m.device = Trim(value), "";
    if (key == "tool_changer") return Yes(value, &m.toolChanger);
    if (key == "rapid_xy" || key == "rapid_z") {
        double v;
        if (!ParseNumber(value, false, &v)) return "'" + Trim(value) + "' is not a number";
        if (v <= 0 || v > 1000) return "'" + Trim(value) + "' is out of range 0 (excluded) to 1000";
        (key == "rapid_xy" ? m.rapidXY : m.rapidZ) = v;
        return "";
    }
    if (key == "feed_unit") {
        m.feedUnit = Trim(value);
        m.feedUnitGiven = true;
        if (!FeedFactor(m.feedUnit, &m.feedFactor))
            return "'" + m.feedUnit + "' is not a feed unit (mm/min, m/min, mm/s, in/min)";
        return "";
    }
    return "unknown key";
}

std::string ToolKey(AWKZDAT& t, const std::string& key, const std::string& value) {
    if (key == "kind") {
        std::string k = Lower(Trim(value));
        if (k == "engraving" || k == "0")
            t.Art = 0;
        else if (k == "endmill" || k == "1")
            t.Art = 1;
        else if (k == "ballmill" || k == "2")
            t.Art = 2;
        else
            return "'" + Trim(value) + "' is not engraving, endmill or ballmill";
        return "";
    }
    double v;
    if (!ParseNumber(value, false, &v)) return "'" + Trim(value) + "' is not a number";
    if (key == "angle") {
        if (v < 0 || v > 180) return "'" + Trim(value) + "' is out of range 0 to 180";
        t.Winkel = static_cast<float>(v * kPi / 180.0);
        return "";
    }
    if (v < 0 || v > 1000) return "'" + Trim(value) + "' is out of range 0 to 1000";
    float half = static_cast<float>(v / 2);
    if (key == "diameter") {
        t.Durchmesser = static_cast<float>(v);
        t.Schaftradius = half;
    } else if (key == "tip_diameter") {
        t.Spitzenradius = half;
    } else if (key == "ball_diameter") {
        t.Kugelradius = half;
    } else if (key == "length") {
        t.Laenge = static_cast<float>(v);
    } else {
        return "unknown key";
    }
    return "";
}

bool IsClassSection(const std::string& lsec) {
    for (const ClassKey& k : kClassKeys)
        if (lsec == k.section) return true;
    return false;
}

std::string ClassKeyValue(Reader& r, const std::string& lsec, const std::string& key,
                          const std::string& value) {
    std::string known;
    for (const ClassKey& k : kClassKeys) {
        if (lsec != k.section) continue;
        if (key != Lower(k.key)) {
            known += std::string(known.empty() ? "" : ", ") + k.key;
            continue;
        }
        double v;
        if (!ParseNumber(value, false, &v)) return "'" + Trim(value) + "' is not a number";
        if (v < k.min || v > k.max) {
            char range[80];
            std::snprintf(range, sizeof range, " is out of range %.10g to %.10g", k.min, k.max);
            return "'" + Trim(value) + "'" + range;
        }
        r.m->writer.*k.value = v;
        r.classKeys.push_back({r.line, k.key, k.className});
        return "";
    }
    return "unknown key (known: " + known + ")";
}

// [magazine]: place = tool number. The count is the highest place given; places left out hold
// no tool (-1, which no tool number matches).
std::string MagazineKey(Reader& r, const std::string& key, const std::string& value) {
    Machine& m = *r.m;
    double place, tool;
    if (!ParseNumber(key, true, &place) || place < 1 || place > 60)
        return "is not a magazine place 1 to 60";
    if (!ParseNumber(value, true, &tool) || tool < 0 || tool > 32767)
        return "'" + Trim(value) + "' is not a tool number 0 to 32767";
    WZW_PB_STRUCT& t = m.magazine;
    if (t.Anzahl == 0)
        for (int16_t& w : t.Werkzeug) w = -1;
    int p = static_cast<int>(place);
    if (t.Platz[p] != 0) return "place " + std::to_string(p) + " is given twice";
    // One tool sits in one place: a second place for it leaves the changer guessing.
    auto [other, fresh] = r.magazineTools.emplace(static_cast<int>(tool), std::pair(p, r.line));
    if (!fresh)
        return "tool " + std::to_string(static_cast<int>(tool)) + " is in place " +
               std::to_string(other->second.first) + " already (line " +
               std::to_string(other->second.second) + ")";
    t.Platz[p] = static_cast<int16_t>(p);
    t.Werkzeug[p] = static_cast<int16_t>(tool);
    t.Anzahl = std::max<int16_t>(t.Anzahl, static_cast<int16_t>(p));
    return "";
}

std::string TravelKey(Machine& m, const std::string& key, const std::string& value) {
    Travel& t = m.travel;
    double* target = key == "min_x"   ? &t.minX
                     : key == "max_x" ? &t.maxX
                     : key == "min_y" ? &t.minY
                     : key == "max_y" ? &t.maxY
                     : key == "min_z" ? &t.minZ
                     : key == "max_z" ? &t.maxZ
                                      : nullptr;
    if (target == nullptr) return "unknown key (known: min_x, max_x, min_y, max_y, min_z, max_z)";
    double v;
    if (!ParseNumber(value, false, &v)) return "'" + Trim(value) + "' is not a number";
    if (std::fabs(v) > 100000) return "'" + Trim(value) + "' is out of range -100000 to 100000";
    *target = v;
    t.given = true;
    return "";
}

std::string WorkpieceKey(Machine& m, const std::string& key, const std::string& value) {
    Workpiece& w = m.workpiece;
    double* target = key == "width"       ? &w.width
                     : key == "length"    ? &w.length
                     : key == "thickness" ? &w.thickness
                     : key == "vice_x"    ? &w.viceX
                     : key == "vice_y"    ? &w.viceY
                     : key == "margin"    ? &w.margin
                                          : nullptr;
    if (target == nullptr)
        return "unknown key (known: width, length, thickness, vice_x, vice_y, margin)";
    double v;
    if (!ParseNumber(value, false, &v)) return "'" + Trim(value) + "' is not a number";
    bool size = target != &w.viceX && target != &w.viceY;
    if (size ? (v < 0 || v > 100000) : std::fabs(v) > 100000)
        return "'" + Trim(value) + "' is out of range " + (size ? "0" : "-100000") + " to 100000";
    *target = v;
    w.given = true;
    return "";
}

int Handler(void* user, const char* section, const char* name, const char* value) {
    Reader* r = static_cast<Reader*>(user);
    if (!r->error.empty()) return 1;
    // Section and key names are read without regard to case; messages name them as written.
    std::string sec = Trim(section), name_ = Trim(name);
    std::string lsec = Lower(sec), key = Lower(name_);
    std::string err;
    if (!r->seen.insert(lsec + "\n" + key).second) {
        err = "given twice";
    } else if (lsec == "machine") {
        err = MachineKey(*r->m, key, value);
    } else if (lsec == "mascheinstellung" || lsec == "initstruct") {
        bool settings = lsec == "mascheinstellung";
        const std::vector<Field>& fields = settings ? SettingsFields() : InitFields();
        void* record = settings ? static_cast<void*>(&r->m->settings) : &r->m->init;
        err = "unknown key";
        for (const Field& f : fields)
            if (Lower(f.name) == key) err = Store(record, f, value);
    } else if (lsec.rfind("tool ", 0) == 0) {
        char* stop = nullptr;
        long n = std::strtol(lsec.c_str() + 5, &stop, 10);
        if (*stop != 0 || n < 0 || n > 32767) {
            err = "section [" + sec + "] needs a tool number 0 to 32767";
        } else {
            if (r->toolsSeen.insert(static_cast<int>(n)).second) {
                AWKZDAT blank{};
                blank.Art = 1;
                r->m->tools[static_cast<int>(n)] = blank;
            }
            if (key == "life") {
                double v;
                if (!ParseNumber(value, false, &v))
                    err = "'" + Trim(value) + "' is not a number";
                else if (v <= 0 || v > 1e9)
                    err = "'" + Trim(value) + "' is out of range 0 (excluded) to 1000000000";
                else
                    r->m->toolLife[static_cast<int>(n)] = v;
            } else {
                err = ToolKey(r->m->tools[static_cast<int>(n)], key, value);
            }
        }
    } else if (lsec == "workpiece") {
        err = WorkpieceKey(*r->m, key, value);
        if (r->m->workpiece.line == 0) r->m->workpiece.line = r->line;
    } else if (lsec == "travel") {
        err = TravelKey(*r->m, key, value);
        if (r->m->travel.line == 0) r->m->travel.line = r->line;
    } else if (lsec == "magazine") {
        err = MagazineKey(*r, key, value);
        if (err.empty() && r->m->magazineLine == 0) r->m->magazineLine = r->line;
    } else if (IsClassSection(lsec)) {
        err = ClassKeyValue(*r, lsec, key, value);
    } else {
        err = sec.empty() ? "key before any section" : "unknown section [" + sec + "]";
    }
    if (!err.empty()) {
        r->error = r->m->file + ":" + std::to_string(r->line) + ": " + name_ + ": " + err;
        r->errorLine = r->line;
    }
    return 1;
}

}  // namespace

bool FeedFactor(const std::string& unit, double* factor) {
    if (unit == "mm/min") return *factor = 1.0, true;
    if (unit == "m/min") return *factor = 0.001, true;
    if (unit == "mm/s") return *factor = 1.0 / 60.0, true;
    if (unit == "in/min") return *factor = 1.0 / 25.4, true;
    return false;
}

Machine LoadMachineText(const std::string& text, const std::string& name) {
    Machine m;
    m.file = name;
    Reader r;
    r.m = &m;
    r.text = &text;
    int result = ini_parse_stream(ReadLine, &r, Handler, &r);
    // The first mistake is reported: a line that is no key, value or section comes before the
    // keys after it, which an unclosed section would put in the section before.
    if (result > 0 && (r.error.empty() || result <= r.errorLine)) {
        std::istringstream lines(text);
        std::string line;
        for (int n = 0; n < result && std::getline(lines, line); ++n) {
        }
        line = Trim(line);
        throw JobError(name, result, 0,
                       !line.empty() && line[0] == '[' && line.find(']') == std::string::npos
                           ? "section name is not closed with ']'"
                           : "not a key = value line or a [section]");
    }
    if (!r.error.empty()) throw JobError(r.error);
    if (result < 0) throw JobError(name, 0, 0, "cannot be read");
    if (m.className.empty()) throw JobError(name, 0, 0, "[machine] class is missing");
    const Workpiece& w = m.workpiece;
    if (w.given && (w.width <= 0 || w.length <= 0))
        throw JobError(name, w.line, 0, "[workpiece]: width and length must both be given");
    if (r.seen.count("workpiece\nvice_x") != r.seen.count("workpiece\nvice_y"))
        throw JobError(name, w.line, 0, "[workpiece]: vice_x and vice_y go together");
    m.workpiece.vice = r.seen.count("workpiece\nvice_x") > 0;
    const Travel& t = m.travel;
    if (t.given) {
        for (const char* k : {"min_x", "max_x", "min_y", "max_y", "min_z", "max_z"})
            if (!r.seen.count(std::string("travel\n") + k))
                throw JobError(name, t.line, 0, std::string("[travel]: ") + k + " is missing");
        if (t.minX >= t.maxX || t.minY >= t.maxY || t.minZ >= t.maxZ)
            throw JobError(name, t.line, 0, "[travel]: every min must lie below its max");
    }
    for (const ClassKeyUse& k : r.classKeys)
        if (m.className != k.className)
            throw JobError(name, k.line, 0,
                           k.key + ": only class " + k.className + " reads it, not " + m.className);
    // A ball mill described by its diameter alone has that ball.
    for (auto& [number, t] : m.tools)
        if (t.Art == 2 && t.Kugelradius == 0) t.Kugelradius = t.Schaftradius;
    return m;
}

Machine LoadMachine(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw JobError(path, 0, 0, "is a folder, not a machine profile");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw JobError(path, 0, 0, std::string("cannot read profile: ") + std::strerror(errno));
    // A profile is a few kilobytes of text: anything far longer (a device such as /dev/zero,
    // a wrong file) is refused instead of read without end.
    std::string text(kProfileLimit + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) throw JobError(path, 0, 0, "cannot read profile");
    text.resize(static_cast<size_t>(in.gcount()));
    if (text.size() > kProfileLimit)
        throw JobError(
            path, 0, 0,
            "is longer than a profile may be (" + std::to_string(kProfileLimit / 1024) + " KiB)");
    NoteInput(path);
    return LoadMachineText(text, path);
}

const AWKZDAT* ToolData(const Machine& machine, int tool) {
    auto it = machine.tools.find(tool);
    return it != machine.tools.end() ? &it->second : nullptr;
}

AWKZDAT DescribedTool(const Machine& machine, int tool) {
    auto it = machine.tools.find(tool);
    if (it == machine.tools.end())
        throw JobError(machine.file, 0, 0,
                       "the job uses tool " + std::to_string(tool) + ", which has no [tool " +
                           std::to_string(tool) + "] here; class " + machine.className +
                           " passes the tool's size on to the machine");
    return it->second;
}

}  // namespace korvat::tool
