// The DIN programs of the golden tests: each case is a settings change and a list of writer
// calls, with the moves a machine should make from them (for the interpreter read-back).
#pragma once

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "channel/cx268io.h"
#include "support/golden.h"
#include "support/rs274.h"
#include "writers/din/cdin.h"

namespace korvat::test::din {

struct Scenario {
    const char* golden;                   // tests/din/golden/<golden>
    void (*settings)(MaschEinstellung&);  // changes to the default settings
    void (*calls)(CDIN&, Expect&);        // the writer calls, and what they should do
    bool iso;                             // plain ISO: read back with rs274
    bool absoluteCentres;                 // I and J absolute (Optionen 2)
};

const std::vector<Scenario>& Scenarios();

// Test names show the golden file rather than the bytes of the case.
inline void PrintTo(const Scenario& s, std::ostream* os) { *os << s.golden; }

// Settings as a fresh host record: everything 0, file extension "ngc".
MaschEinstellung DefaultSettings();

struct Written {
    std::string bytes;  // the whole program file
    Expect expect;
};

// Opens a writer on TempDir/werkst.ngc with program name "PROG", runs the scenario, closes it
// and returns the file. The channel is reset before and after.
Written Write(const Scenario& s);

}  // namespace korvat::test::din
