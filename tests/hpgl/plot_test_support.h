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
#include "support/process.h"

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

// A test of one writer writing tmp/job.<extension>, with a clean channel before and after.
class WriterTest : public ::testing::Test {
  protected:
    explicit WriterTest(const char* extension) : settings(Settings(extension)), ext_(extension) {}
    void SetUp() override { ChannelReset(); }
    void TearDown() override { ChannelReset(); }
    // Gives w the units and opens it on tmp/job in the dialect geraeteart.
    template <class Writer>
    void Open(Writer& w, InitStruct units, int geraeteart = 0) {
        w.Init(&units, 0, 0);
        int openedBefore = 0;
        ASSERT_EQ(0, w.Open(0, &settings, (tmp.path() + "/job").c_str(), &openedBefore, geraeteart,
                            nullptr));
        EXPECT_EQ(1, openedBefore);
    }
    std::string Output() { return ReadFile(tmp.File("job." + ext_)); }

    TempDir tmp;
    MaschEinstellung settings;

  private:
    std::string ext_;
};

// Runs a shell command; returns what it printed on stdout and stderr, its exit code in *status.
inline std::string RunCommand(const std::string& command, int* status) {
    return Shell(command + " 2>&1", status);
}

}  // namespace korvat::test::plot
