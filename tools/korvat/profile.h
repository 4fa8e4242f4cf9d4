// Machine profiles: INI files that say which library class serves a machine and fill the host's
// records for it.
//
//   [machine]          class (e.g. CDIN), description, feed_unit (mm/min, m/min, mm/s, in/min),
//                      output (base path of the program; the extension comes from Dateiendung),
//                      port (yes: also send to the port of Schnittstelle), tool_changer (yes/no),
//                      device (online machines: the line's path, e.g. /dev/ttyUSB0 or the path
//                      `korvat sim` printed),
//                      rapid_xy, rapid_z (rapid speeds in m/min for the time estimate; 5 and 2)
//   [travel]           min_x, max_x, min_y, max_y, min_z, max_z (mm): the machine's travel,
//                      all six together; the time estimate and `post --check` test the path
//   [MaschEinstellung] any field of the record by its name; array members as in C:
//                      Massstab[0], Achse[2].MittelpunktAdresse
//   [InitStruct]       likewise (Aufloesung[0], Weitere[4], Bytes[1], ...)
//   [tool N]           kind (engraving, endmill, ballmill), diameter, tip_diameter,
//                      ball_diameter (mm), angle (degrees), length (mm), life (path in mm the
//                      tool cuts before it is worn; the time estimate warns beyond it)
//   [magazine]         place = tool number, places 1 to 60: tool numbers are written as the
//                      place that holds the tool (classes with tool recoding only)
//   [workpiece]        width, length (X and Y extent, mm), thickness (mm, the top face is Z 0),
//                      vice_x, vice_y (the vice centre the workpiece is centred on; both or
//                      none): given to the writer's SetzePosInfos; margin (mm, 0 if not given):
//                      how far the path may leave the workpiece (widened by 1.12 x (margin + 2))
//   [CHDH]             RueckzugHoehe: Z of the retract before a tool call (mm)
//   [CZORB]            ZSchwelle: Z at or above which a feed move is a rapid move (mm);
//                      Gruppenwert: third value of each group's feed/depth record
//   [DATRON]           Rueckfahrmodus (class CKESTL1): 0 changes tools without the return
//                      move; the writer reads it from the profile file itself
//
// Every problem (unknown section or key, wrong type, value out of range, a key given twice, a
// class section in another class's profile) is a JobError naming the file, the line and the key.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "common/records.h"

namespace korvat::tool {

// Settings of single writer classes that the records do not hold; each is set through the
// writer's own member (or read by the writer from the profile) when the profile gives it, and
// left at the writer's default otherwise.
struct WriterSettings {
    std::optional<double> RueckzugHoehe;   // CHDH::SetzeRueckzugHoehe
    std::optional<double> ZSchwelle;       // CZORB::SetzeZSchwelle
    std::optional<double> Gruppenwert;     // CZORB::SetzeGruppenwert
    std::optional<double> Rueckfahrmodus;  // CKESTL1, section DATRON of the profile file
    // Online drivers of the HPGL-A family (sections CHPGLA, CSMS68A, CEUROBOX).
    std::optional<double> Schnellstart;  // CHPGLA/CSMS68A Open: 1 sends INITSK.DAT, else INITSV.DAT
    std::optional<double> Stiftnummer;   // SetzeSpezial: pen number (2 or more: "GF" statements)
    std::optional<double> PT;            // SetzeSpezial: 1 sends "PT1;" after Open
    std::optional<double> DrehzahlMin, DrehzahlMax;  // Spinddreh: the spindle's speed range
    std::optional<double> AusgabeMin, AusgabeMax;    // Spinddreh: output values at its two ends
    std::optional<double> Erweitert;                 // CSMS68A Open: extended functions
    std::optional<double> DreiD;                     // CSMS68A Open: 3-D drawing
    std::optional<double> zumgekehrt;   // CSMS68A, section maschinentyp: read by the driver
    std::optional<double> Flughoehe;    // CEUROBOX SetzeFlughAbsolut: below it points are cut
    std::optional<double> ZweiteHoehe;  // CEUROBOX SetzeFlughAbsolut: the tool-up height
    std::optional<double> Zentriert;    // CEUROBOX SetzePosInfos: centre on EuroboxMitteX/Y
};

// The workpiece of [workpiece]; `given` is false when the profile has none.
struct Workpiece {
    bool given = false;
    int line = 0;  // the section's first line, for messages
    double width = 0, length = 0, thickness = 0;
    bool vice = false;
    double viceX = 0, viceY = 0;
    double margin = 0;
};

// The machine's travel of [travel]; `given` is false when the profile has none.
struct Travel {
    bool given = false;
    int line = 0;
    double minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
};

// The longest profile read, in bytes.
inline constexpr size_t kProfileLimit = 1024 * 1024;

struct Machine {
    std::string file;  // the profile's path, for messages
    std::string className;
    std::string description;
    std::string feedUnit = "mm/min";
    double feedFactor = 1.0;  // writer feed units per mm/min
    bool feedUnitGiven = false;
    std::string output;  // base path without extension; empty: beside the job
    bool port = false;
    std::string device;  // online machines: the path of the line to the controller
    bool toolChanger = false;
    MaschEinstellung settings{};
    InitStruct init{};
    std::map<int, AWKZDAT> tools;        // by tool number
    std::map<int, double> toolLife;      // path in mm a tool cuts before it is worn, by tool number
    double rapidXY = 5.0, rapidZ = 2.0;  // rapid speeds, m/min
    Travel travel;
    WriterSettings writer;
    Workpiece workpiece;
    // The tool magazine: Anzahl 0 when the profile has none; places without a tool hold -1.
    WZW_PB_STRUCT magazine{};
    int magazineLine = 0;  // the line of the first [magazine] entry, for messages
};

// Reads a profile file. Throws JobError.
Machine LoadMachine(const std::string& path);
// Reads a profile from text; `name` stands for the file in messages.
Machine LoadMachineText(const std::string& text, const std::string& name);

// The table's entry for a tool number, or null when the profile does not describe the tool.
const AWKZDAT* ToolData(const Machine& machine, int tool);
// The table's entry for a tool whose size the writer writes into the program (a tool
// definition, a group header) or the driver sends with the change: a tool the profile does not
// describe is refused, naming the tool and the profile (JobError), since a machine given a tool
// of size 0 breaks the tool.
AWKZDAT DescribedTool(const Machine& machine, int tool);

// Writer feed units per mm/min for a unit name; false when the name is unknown.
bool FeedFactor(const std::string& unit, double* factor);

}  // namespace korvat::tool
