// CSMS68A: whole statement streams against hand-written golden files, with the Z sign reversed by
// the machine profile and with extended functions and 3-D drawing, and its fixed answers.
#include "hpgla/online_fixture.h"
#include "online/sms68a/csms68a.h"

namespace korvat::test::online {
namespace {

class Sms68aTest : public OnlineTest {
  protected:
    // 100 steps per millimetre on every axis, Z limit 2.5 mm.
    void Init(CSMS68A& d) {
        InitStruct u = Units('F', 100, 100, 100);
        u.Weitere[3] = 2.5f;
        d.Init(&u, 0);
    }
};

TEST_F(Sms68aTest, ReversedZWithoutExtendedFunctionsOr3D) {
    WriteFile(profile, "[Maschinentyp]\nzumgekehrt = 1\n");
    CSMS68A d;
    Init(d);
    d.SetzeSpezial(3, 1);  // no extended functions: pen 0, no PT
    ASSERT_EQ(0, d.Open(0, &settings, base.c_str(), &opened, 0, profile.c_str(), 0, 0, 0));
    EXPECT_EQ(-1.0f, korvat::sms68a::ZVorzeichen);
    d.Move3(0, 0, 5);    // Z -500, downwards from 0: the closing Z alone
    d.Move3(0, 0, 4);    // -400 lies above -500: upwards
    d.Move3(10, 0, 4);   // level: PA alone
    d.Move3(20, 0, 3);   // upwards: ZA before PA, none after
    d.Move3(30, 0, 6);   // downwards: PA, then ZA
    d.Draw3(40, 0, -1);  // a lifted positioning, then the plunge (blanks, not tabs)
    d.Draw3(40, 0, -2);  // the same XY: ZA alone
    d.Draw(50, 0);       // the last positioned XY is no longer known...
    d.Draw3(40, 0, -1);  // ...so the PA goes out again
    d.MoveZ(2);          // with the Z sign
    d.BPosit_Z(3);
    d.BPosit_XY(1, 1);
    d.Kreis(0, 0, 1, Sweep(90), 1, 1);
    SpindelInfo s{1000, 24000, 0, 2.55f};
    d.Spinddreh(24000, &s);  // silent without extended functions
    d.Spindea(1);            // silent
    d.SetzeMat(1);
    d.ZReffahrt(1, 2);
    EXPECT_EQ(0, d.RefBohr(1));
    d.Stop();
    d.WkzW(1, 2, 0, 0);
    d.Actuator(7, '1');  // always "S<nr><c>;"
    d.SetzeVorschuebe(1, 0.5f);
    d.Wait(1);
    EXPECT_EQ(0, d.SendeBefehl("XY;"));  // reads no answer
    EXPECT_EQ(0, d.LeseIst_Check());     // without extended functions: 0 at once
    EXPECT_TRUE(SameBytes(Crlf(Golden("reversed_z.txt")), Output()));
    EXPECT_EQ(0, cx268io.Fehlerflag);
    EXPECT_EQ(2.5f, d.ZBegrenz(3));
    EXPECT_EQ(2.0f, d.ZBegrenz(2));
}

TEST_F(Sms68aTest, ExtendedFunctionsAnd3DDrawing) {
    WriteFile(profile, "[maschinentyp]\n");  // no key: Z counts upwards
    CSMS68A d;
    Init(d);
    ASSERT_EQ(0, d.Open(0, &settings, base.c_str(), &opened, 0, profile.c_str(), 1, 1, 1));
    d.SetzeSpezial(3, 1);
    cx268io.pclose(0, 1);
    // Opened again: no start-up file, the PT statement as set now.
    ASSERT_EQ(0,
              d.Open(0, &settings, dir.File("job2").c_str(), &opened, 0, profile.c_str(), 1, 1, 1));
    d.Draw3(10, 0, -1);  // one MA
    d.Draw3(20, 0, -2);
    d.Draw3(20, 0, -3);  // the same XY: ZA
    SpindelInfo s{1000, 24000, 0, 2.55f};
    d.Spinddreh(24000, &s);
    d.MoveZ(5);
    std::string first = ReadFile(base + ".txt");  // the first open's file, closed above
    EXPECT_TRUE(SameBytes(
        Crlf(Golden("extended_3d.txt")), first + [&] {
            cx268io.pclose(0, 1);
            return ReadFile(dir.File("job2.txt"));
        }()));
    BSTINFO b{};
    d.FBStInfo(&b);
    const uint8_t bytes[6] = {6, 0, 1, 1, 2, 10};
    EXPECT_EQ(0, std::memcmp(bytes, b.Klein, 6));
    EXPECT_EQ(99, b.Bereich1Bis);
}

TEST_F(Sms68aTest, TheZSignAndTheLastPositioningAreSharedByAllObjects) {
    WriteFile(profile, "[maschinentyp]\nzumgekehrt=1\n");
    CSMS68A a, b;
    Init(a);
    Init(b);
    ASSERT_EQ(0, a.Open(0, &settings, base.c_str(), &opened, 0, profile.c_str(), 0, 0, 0));
    a.Move3(1, 1, 1);   // PA 100,100; ZA -100
    b.Draw3(1, 1, -1);  // b has its own last point (0, 0) but the shared positioning is 1,1
    EXPECT_TRUE(SameBytes(Crlf(";IN;\nSP1;\nPA\t100,100;\nZA\t-100;\nPD;ZA 100;\n"), Output()));
}

TEST_F(Sms68aTest, ScalesComeFromTheUnitRecord) {
    CSMS68A d;
    InitStruct u = Units('F', 40, 50, 0);  // Z 0: unfilled, keeps 1000
    d.Init(&u, 0);
    EXPECT_EQ(40.0f, d.SkalaX);
    EXPECT_EQ(50.0f, d.SkalaY);
    EXPECT_EQ(1000.0f, d.SkalaZ);
}

}  // namespace
}  // namespace korvat::test::online
