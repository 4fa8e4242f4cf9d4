// What the tests of the plotter-style writers (HPGL, DXF, VHF, CTORVE) share: a clean channel
// for every test, settings and unit records, and running the external readers of our output.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "channel/cx268io.h"
#include "common/records.h"
#include "support/golden.h"

namespace korvat::test::plot {

// Clears whatever an earlier test left in the library's one channel (error flag, open file).
inline void ChannelReset() { cx268io.pclose(2, 1); }

// A settings record that writes files with the extension `ext`, everything else zero.
inline MaschEinstellung Settings(const char* ext) {
    MaschEinstellung s{};
    std::snprintf(s.Dateiendung, sizeof s.Dateiendung, "%s", ext);
    return s;
}

// A unit record with the X, Y, Z resolution in units per millimetre.
inline InitStruct Units(float x, float y, float z) {
    InitStruct u{};
    u.Aufloesung[0] = x;
    u.Aufloesung[1] = y;
    u.Aufloesung[2] = z;
    return u;
}

// Runs a shell command; returns what it printed on stdout and stderr, its exit status in
// *status.
inline std::string RunCommand(const std::string& command, int* status) {
    std::string out;
    FILE* p = popen((command + " 2>&1 </dev/null").c_str(), "r");
    if (p == nullptr) {
        *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    *status = pclose(p);
    return out;
}

}  // namespace korvat::test::plot
