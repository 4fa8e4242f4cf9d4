// Machine profiles: INI files that say which library class serves a machine and fill the host's
// records for it.
//
//   [machine]          class (e.g. CDIN), description, feed_unit (mm/min, m/min, mm/s, in/min),
//                      output (base path of the program; the extension comes from Dateiendung),
//                      port (yes: also send to the port of Schnittstelle), tool_changer (yes/no)
//   [MaschEinstellung] any field of the record by its name; array members as in C:
//                      Massstab[0], Achse[2].MittelpunktAdresse
//   [InitStruct]       likewise (Aufloesung[0], Weitere[4], Bytes[1], ...)
//   [tool N]           kind (engraving, endmill, ballmill), diameter, tip_diameter,
//                      ball_diameter (mm), angle (degrees), length (mm)
//
// Every problem (unknown section or key, wrong type, value out of range, a key given twice) is a
// JobError naming the file, the line and the key.
#pragma once

#include <map>
#include <string>

#include "common/records.h"

namespace korvat::tool {

struct Machine {
    std::string file;  // the profile's path, for messages
    std::string className;
    std::string description;
    std::string feedUnit = "mm/min";
    double feedFactor = 1.0;  // writer feed units per mm/min
    bool feedUnitGiven = false;
    std::string output;  // base path without extension; empty: beside the job
    bool port = false;
    bool toolChanger = false;
    MaschEinstellung settings{};
    InitStruct init{};
    std::map<int, AWKZDAT> tools;  // by tool number
};

// Reads a profile file. Throws JobError.
Machine LoadMachine(const std::string& path);
// Reads a profile from text; `name` stands for the file in messages.
Machine LoadMachineText(const std::string& text, const std::string& name);

// The tool record for a tool number: the table's entry, or an end mill of diameter 0 when the
// table has none.
AWKZDAT ToolData(const Machine& machine, int tool);

// Writer feed units per mm/min for a unit name; false when the name is unknown.
bool FeedFactor(const std::string& unit, double* factor);

}  // namespace korvat::tool
