// What the tests of the HPGL-A family of drivers share: a clean channel for every test, a folder
// holding the machine profile and its start-up files, the output file the statements go to, and
// sweeps given in degrees.
#pragma once

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "channel/cx268io.h"
#include "common/records.h"
#include "platform/events.h"
#include "support/golden.h"

namespace korvat::test::online {

class OnlineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        cx268io.pclose(2, 1);
        cx268io = CCX268IO{};
        platform::ClearEvents();
        std::snprintf(settings.Dateiendung, sizeof settings.Dateiendung, "txt");
        WriteFile(dir.File("INITSV.DAT"), "IN;\nSP1;\n");
        WriteFile(dir.File("INITSK.DAT"), "IN;\nVS50;\n");
        WriteFile(profile, "[maschinentyp]\nzumgekehrt = 0\n");
    }
    void TearDown() override {
        cx268io.pclose(2, 1);
        platform::ClearEvents();
    }
    // Everything the driver sent to the output file (closes the channel's file).
    std::string Output() {
        cx268io.pclose(0, 1);
        return ReadFile(dir.File("job.txt"));
    }

    TempDir dir;
    MaschEinstellung settings{};
    std::string base = dir.File("job");
    std::string profile = dir.File("machine.ini");
    int opened = 0;
};

// A unit record with the machine type letter and the X, Y, Z steps per millimetre.
inline InitStruct Units(char letter, float x, float y, float z) {
    InitStruct u{};
    u.MaschTypBuchstabe = letter;
    u.Aufloesung[0] = x;
    u.Aufloesung[1] = y;
    u.Aufloesung[2] = z;
    return u;
}

// A sweep of `degrees` as the host passes it: radians in a 32-bit float.
inline float Sweep(double degrees) { return static_cast<float>(degrees / 57.29577951); }

}  // namespace korvat::test::online
