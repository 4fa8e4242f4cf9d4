#include "tools/korvat/estimate.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/dialogs.h"
#include "supervision/bahnplan.h"
#include "supervision/standzeit.h"
#include "tools/korvat/errors.h"

namespace korvat::tool {

// The supervisor reports a point outside the travel or the workpiece in a box; while the job is
// estimated, the boxes become violations instead.
class Estimate::Dialoge : public platform::DialogHandler {
  public:
    explicit Dialoge(Estimate& e) : e_(e), vorher_(&platform::Dialogs()) {
        platform::SetDialogHandler(this);
    }
    ~Dialoge() override { platform::SetDialogHandler(vorher_); }
    bool maschine = false;  // a machine check is running (else the workpiece check)

    int MessageBox(HWND, const char* text, const char*, unsigned style) override {
        double x = 0, y = 0;
        const char* p = std::strstr(text, "\nX = ");
        if (p && std::sscanf(p, "\nX = %lf Y = %lf", &x, &y) == 2) e_.ImRaus(maschine, x, y);
        return platform::DefaultAnswer(style);
    }
    void InfoBox(HWND, const char*, const char* text) override {
        // The first line ends with the Z value.
        const char* ende = std::strchr(text, '\n');
        std::string zeile(text, ende ? static_cast<size_t>(ende - text) : std::strlen(text));
        size_t leer = zeile.rfind(' ');
        if (leer != std::string::npos) e_.ZRaus(std::atof(zeile.c_str() + leer + 1));
    }
    int TextInput(HWND, const char*, const char*, char*, int) override { return IDCANCEL; }

  private:
    Estimate& e_;
    platform::DialogHandler* vorher_;
};

Estimate::Estimate(const Machine& machine, const std::string& paramFile, bool lookahead,
                   const std::string& jobFile, bool checks, const SupervisorStart& start)
    : machine_(machine), jobFile_(jobFile), lookahead_(lookahead), satz_(new CSATZ) {
    bahnplan.Vergessen();
    if (!bahnplan.LadeDatei(paramFile.empty() ? nullptr : paramFile.c_str()) && !paramFile.empty())
        throw JobError(paramFile, 0, 0,
                       "is not a machine parameter file (3072 bytes starting with its three "
                       "magic words)");
    if (checks) dialoge_ = std::make_unique<Dialoge>(*this);
    window_.VorausschauEin = lookahead ? 1 : 0;
    int anzeige = start.display;
    char ordner[] = "";
    satz_->Start(&window_, start.machineType, &anzeige, start.dialog, start.hpgla, start.b268,
                 nullptr, nullptr, nullptr, nullptr, nullptr, ordner);
    satz_->Parameter(0.0005f);
    satz_->Eil_V_Setz(static_cast<float>(machine.rapidXY), static_cast<float>(machine.rapidZ));
    if (checks && machine.travel.given) {
        const Travel& t = machine.travel;
        satz_->SetzeMaschgroesse(static_cast<float>(t.minX), static_cast<float>(t.maxX),
                                 static_cast<float>(t.minY), static_cast<float>(t.maxY),
                                 static_cast<float>(t.minZ), static_cast<float>(t.maxZ));
        satz_->MaschTesteEin();
    }
    if (checks && machine.workpiece.given) {
        const Workpiece& w = machine.workpiece;
        const double x0 = w.vice ? w.viceX - w.width / 2 : 0.0;
        const double y0 = w.vice ? w.viceY - w.length / 2 : 0.0;
        satz_->SetzeWerkstueckgroesse(static_cast<float>(x0), static_cast<float>(x0 + w.width),
                                      static_cast<float>(y0), static_cast<float>(y0 + w.length),
                                      static_cast<float>(w.thickness), 0.0f,
                                      static_cast<float>(w.margin));
        satz_->WSTTesteEin();
    }
    satz_->Satz_Andere(1013);
    tools_.push_back({});
}

Estimate::~Estimate() = default;

void Estimate::ImRaus(bool maschine, double x, double y) {
    Violation v;
    v.block = blocks_;
    v.line = line_;
    v.workpiece = !maschine;
    const CSATZ& s = *satz_;
    double minX = s.MaschMinX, maxX = s.MaschMaxX, minY = s.MaschMinY, maxY = s.MaschMaxY;
    if (!maschine) {
        const float w = s.WstRand * 1.12f;
        minX = s.WstMinX - w, maxX = s.WstMaxX + w, minY = s.WstMinY - w, maxY = s.WstMaxY + w;
    }
    if (x < minX || x > maxX) {
        v.axis = 'X', v.value = x;
        v.limit = x < minX ? "min X" : "max X";
        v.limitValue = x < minX ? minX : maxX;
    } else {
        v.axis = 'Y', v.value = y;
        v.limit = y < minY ? "min Y" : "max Y";
        v.limitValue = y < minY ? minY : maxY;
    }
    violations_.push_back(v);
}

void Estimate::ZRaus(double z) {
    Violation v;
    v.block = blocks_;
    v.line = line_;
    v.axis = 'Z';
    v.value = z;
    v.limit = z < satz_->MaschMinZ ? "min Z" : "max Z";
    v.limitValue = z < satz_->MaschMinZ ? satz_->MaschMinZ : satz_->MaschMaxZ;
    violations_.push_back(v);
}

void Estimate::SetzeVorschuebe(float xy, float z) {
    const double f = machine_.feedFactor;
    satz_->Satz_Vorschub_xy_z(static_cast<float>(xy / f / 1000.0),
                              static_cast<float>(z / f / 1000.0));
}

void Estimate::Spinddreh(int32_t rpm) { satz_->Satz_Spinddreh(0, static_cast<float>(rpm)); }
void Estimate::Spindea(int on, float) { satz_->Satz_Spindel(0, static_cast<short>(on != 0)); }
void Estimate::Wait(float seconds) { satz_->Satz_Wait(seconds); }
void Estimate::Stop() { satz_->Satz_Andere(6); }

void Estimate::SStringln(int, const char* text) {
    char zeile[256];
    std::snprintf(zeile, sizeof zeile, "%s", text ? text : "");
    satz_->Satz_String_Direkt(zeile);
}

void Estimate::CloseToolUse() {
    const double cut = static_cast<double>(satz_->WegVorschub) + satz_->WegVorschubZ;
    tools_.back().path += cut - cutMark_;
    cutMark_ = cut;
}

void Estimate::WkzW(int, int tool) {
    CloseToolUse();
    ToolUse u;
    u.tool = tool;
    u.line = line_;
    auto life = machine_.toolLife.find(tool);
    if (life != machine_.toolLife.end()) u.life = life->second;
    tools_.push_back(u);
    satz_->Satz_Wz(static_cast<short>(tool));
}

void Estimate::Maschinenpruefung(bool an) {
    if (dialoge_) dialoge_->maschine = an;
}

void Estimate::PruefeMaschine(double x, double y, double z) {
    Maschinenpruefung(true);
    satz_->MaschTesteKoordinate(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z),
                                0);
    Maschinenpruefung(false);
}

void Estimate::PruefeZ(double z) {
    Maschinenpruefung(true);
    satz_->MaschTesteZWert(static_cast<float>(z), 0);
    Maschinenpruefung(false);
}

// A straight move: the block the axes that change call for (XY, Z or both), rapid or feed.
void Estimate::Gerade(double x, double y, double z, bool eil) {
    const bool xy = static_cast<float>(x) != static_cast<float>(x_) ||
                    static_cast<float>(y) != static_cast<float>(y_);
    const bool zz = static_cast<float>(z) != static_cast<float>(z_);
    if (!xy && !zz) return;
    Block();
    const float fx = static_cast<float>(x), fy = static_cast<float>(y), fz = static_cast<float>(z);
    if (xy) {
        PruefeMaschine(x, y, z);
    } else {
        PruefeZ(z);
    }
    if (xy && zz)
        eil ? satz_->Satz_XYZ_E(fx, fy, fz) : satz_->Satz_XYZ_V(fx, fy, fz);
    else if (xy)
        eil ? satz_->Satz_XY_E(fx, fy) : satz_->Satz_XY_V(fx, fy);
    else
        eil ? satz_->Satz_Z_E(fz) : satz_->Satz_Z_V(fz);
    x_ = x, y_ = y, z_ = z;
}

void Estimate::Move3(double x, double y, double z) { Gerade(x, y, z, true); }

void Estimate::Draw3(double x, double y, double z) { Gerade(x, y, z, false); }

void Estimate::Kreis(double cx, double cy, double r, double start, double sweep, double ex,
                     double ey, double ez, int) {
    Block();
    // Every arc reports its first point outside the travel (the arc check stops at one).
    satz_->MaschGemeldet = 0;
    Maschinenpruefung(true);
    satz_->MaschTesteKreis(static_cast<float>(ex), static_cast<float>(ey), static_cast<float>(cx),
                           static_cast<float>(cy), static_cast<float>(r), static_cast<float>(start),
                           static_cast<float>(sweep));
    if (static_cast<float>(ez) != static_cast<float>(z_))
        satz_->MaschTesteZWert(static_cast<float>(ez), 0);
    Maschinenpruefung(false);
    // A helix: the arc in the plane, then its Z change as a Z feed move to the end Z. The
    // supervisor knows only plane arcs; timing the two one after the other errs on the long side
    // (a machine moves Z during the arc), and the Z distance, the Z extremes and the last
    // position come out as they are. The live display shows it as the one block it is: the
    // arc's line with the end Z in the position, the Z move with the display suppressed (no
    // line and no single step of its own).
    const bool helix = static_cast<float>(ez) != static_cast<float>(z_);
    if (helix && satz_->AnzeigeEin) satz_->IstPosAnz_Z(static_cast<float>(ez));
    satz_->Satz_Kreis(static_cast<float>(ex), static_cast<float>(ey), static_cast<float>(cx),
                      static_cast<float>(cy), static_cast<float>(r), static_cast<float>(start),
                      static_cast<float>(sweep));
    if (helix) {
        satz_->Satz_Andere(1015);
        satz_->Satz_Z_V(static_cast<float>(ez));
        satz_->Satz_Andere(1016);
    }
    x_ = ex, y_ = ey, z_ = ez;
}

void Estimate::Finish() {
    if (finished_) return;
    finished_ = true;
    satz_->Satz_WST_Ende(1);
    CloseToolUse();
    // The tool life accounting: the job's tool sequence in CSTANDZEIT, each use measured
    // against its own tool's life. Slot 0 holds what was cut before the first tool change.
    short folge[10] = {};
    const int uses = static_cast<int>(tools_.size()) - 1;
    for (int i = 0; i < uses && i < 10; ++i) folge[i] = static_cast<short>(tools_[i + 1].tool);
    CSTANDZEIT standzeit;
    standzeit.Laden(static_cast<short>(uses > 32767 ? 32767 : uses), folge, FLT_MAX);
    standzeit.Aufaddieren(static_cast<float>(tools_[0].path));
    bool verfolgt = true;
    for (size_t i = 1; i < tools_.size(); ++i) {
        ToolUse& u = tools_[i];
        if (verfolgt && standzeit.NaechstesWerkzeug() < 0) verfolgt = false;
        u.tracked = verfolgt;
        if (!verfolgt) continue;
        standzeit.Grenze = u.life > 0 ? static_cast<float>(u.life) : FLT_MAX;
        u.worn = standzeit.Aufaddieren(static_cast<float>(u.path)) != 0;
    }
}

double Estimate::Minutes() const {
    const CSATZ& s = *satz_;
    return static_cast<double>(s.ZeitEilXY) + s.ZeitVorschubZ + s.ZeitEilZ + s.ZeitVorschubXY;
}

std::string HoursMinutesSeconds(double minutes) {
    const long long sekunden = std::llround(minutes * 60.0);
    char t[48];
    std::snprintf(t, sizeof t, "%lld:%02lld:%02lld", sekunden / 3600, sekunden / 60 % 60,
                  sekunden % 60);
    return t;
}

std::string Estimate::Describe(const Violation& v) const {
    char t[400];
    std::snprintf(t, sizeof t, "block %d leaves %s: %c %.4f %s %s %.4f", v.block,
                  v.workpiece ? "the workpiece" : "the machine's travel", v.axis, v.value,
                  v.limit.compare(0, 3, "min") == 0 ? "below" : "above", v.limit.c_str(),
                  v.limitValue);
    return JobError(jobFile_, v.line, 0, t).what();
}

std::string Estimate::ToolWarnings() const {
    std::string out, untracked;
    for (size_t i = 1; i < tools_.size(); ++i) {
        const ToolUse& u = tools_[i];
        char t[300];
        if (!u.tracked) {
            std::snprintf(t, sizeof t, "%stool %d (line %d)", untracked.empty() ? "" : ", ", u.tool,
                          u.line);
            untracked += t;
        } else if (u.worn) {
            std::snprintf(t, sizeof t,
                          "warning: tool %d (from line %d) is worn: it cuts %.3f mm, its life is "
                          "%.3f mm\n",
                          u.tool, u.line, u.path, u.life);
            out += t;
        }
    }
    if (!untracked.empty())
        out += "warning: tool life is tracked for the first ten tool uses only; not tracked: " +
               untracked + "\n";
    return out;
}

std::string Estimate::Text() const {
    const CSATZ& s = *satz_;
    std::string out;
    char t[400];
    auto zeile = [&](const char* name, double minutes, double mm) {
        std::snprintf(t, sizeof t, "  %-10s %10s %14.3f mm\n", name,
                      HoursMinutesSeconds(minutes).c_str(), mm);
        out += t;
    };
    std::snprintf(t, sizeof t, "machining time %10s  (%s estimate)\n",
                  HoursMinutesSeconds(Minutes()).c_str(), lookahead_ ? "look-ahead" : "block");
    out += t;
    zeile("XY rapids", s.ZeitEilXY, s.WegEilXY);
    zeile("Z feeds", s.ZeitVorschubZ, s.WegVorschubZ);
    zeile("Z rapids", s.ZeitEilZ, s.WegEilZ);
    zeile("XY feeds", s.ZeitVorschubXY, s.WegVorschub);
    if (s.MinX <= s.MaxX) {
        std::snprintf(t, sizeof t, "path       X %.3f .. %.3f   Y %.3f .. %.3f", s.MinX, s.MaxX,
                      s.MinY, s.MaxY);
        out += t;
        if (s.MinZ <= s.MaxZ) {
            std::snprintf(t, sizeof t, "   Z %.3f .. %.3f", s.MinZ, s.MaxZ);
            out += t;
        }
        out += "\n";
    } else {
        out += "path       no feed moves\n";
    }
    for (const ToolUse& u : tools_) {
        if (u.tool < 0 && u.path == 0) continue;
        if (u.tool < 0)
            std::snprintf(t, sizeof t, "no tool    %14.3f mm\n", u.path);
        else
            std::snprintf(t, sizeof t, "tool %-5d %14.3f mm  from line %d\n", u.tool, u.path,
                          u.line);
        out += t;
    }
    return out;
}

namespace {
std::string Zahl(double v) {
    char t[40];
    std::snprintf(t, sizeof t, "%.9g", v);
    return t;
}
std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char t[8];
            std::snprintf(t, sizeof t, "\\u%04x", c);
            out += t;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
}  // namespace

std::string Estimate::Json() const {
    const CSATZ& s = *satz_;
    std::string o = "{\n";
    o += "  \"job\": " + Quote(jobFile_) + ",\n";
    o += "  \"machine\": " + Quote(machine_.file) + ",\n";
    o += std::string("  \"lookahead\": ") + (lookahead_ ? "true" : "false") + ",\n";
    o += "  \"blocks\": " + std::to_string(blocks_) + ",\n";
    o += "  \"minutes\": {\"xy_rapid\": " + Zahl(s.ZeitEilXY) +
         ", \"z_feed\": " + Zahl(s.ZeitVorschubZ) + ", \"z_rapid\": " + Zahl(s.ZeitEilZ) +
         ", \"xy_feed\": " + Zahl(s.ZeitVorschubXY) + ", \"total\": " + Zahl(Minutes()) + "},\n";
    o += "  \"mm\": {\"xy_rapid\": " + Zahl(s.WegEilXY) + ", \"z_feed\": " + Zahl(s.WegVorschubZ) +
         ", \"z_rapid\": " + Zahl(s.WegEilZ) + ", \"feed\": " + Zahl(s.WegVorschub) + "},\n";
    if (s.MinX <= s.MaxX)
        o += "  \"extremes\": {\"min_x\": " + Zahl(s.MinX) + ", \"max_x\": " + Zahl(s.MaxX) +
             ", \"min_y\": " + Zahl(s.MinY) + ", \"max_y\": " + Zahl(s.MaxY) +
             (s.MinZ <= s.MaxZ ? ", \"min_z\": " + Zahl(s.MinZ) + ", \"max_z\": " + Zahl(s.MaxZ)
                               : std::string()) +
             "},\n";
    else
        o += "  \"extremes\": null,\n";
    o += "  \"tools\": [";
    bool erst = true;
    for (const ToolUse& u : tools_) {
        if (u.tool < 0 && u.path == 0) continue;
        o += std::string(erst ? "" : ",") +
             "\n    {\"tool\": " + (u.tool < 0 ? std::string("null") : std::to_string(u.tool)) +
             ", \"line\": " + std::to_string(u.line) + ", \"mm\": " + Zahl(u.path) +
             ", \"life_mm\": " + (u.life > 0 ? Zahl(u.life) : std::string("null")) +
             ", \"tracked\": " + (u.tracked ? "true" : "false") +
             ", \"worn\": " + (u.worn ? "true" : "false") + "}";
        erst = false;
    }
    o += erst ? "],\n" : "\n  ],\n";
    o += "  \"violations\": [";
    erst = true;
    for (const Violation& v : violations_) {
        o += std::string(erst ? "" : ",") + "\n    {\"block\": " + std::to_string(v.block) +
             ", \"line\": " + std::to_string(v.line) +
             ", \"of\": " + (v.workpiece ? "\"workpiece\"" : "\"travel\"") + ", \"axis\": \"" +
             std::string(1, v.axis) + "\", \"value\": " + Zahl(v.value) +
             ", \"limit\": " + Quote(v.limit) + ", \"limit_value\": " + Zahl(v.limitValue) + "}";
        erst = false;
    }
    o += erst ? "]\n" : "\n  ]\n";
    return o + "}\n";
}

}  // namespace korvat::tool
