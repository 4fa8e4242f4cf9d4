// The live block display and single step, driven by key events in the platform's queue: the
// lines each block shows, the feed suffixes, repeated points, suppression, and what Return, A,
// S and Escape do for each machine type.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "channel/cx268io.h"
#include "platform/events.h"
#include "tests/support/golden.h"
#include "tests/supervision/supervision_fixture.h"
#include "tests/supervision/texte.h"
#include "online/hpgla/chpgla.h"
#include "writers/din/cdin.h"

namespace korvat::test {
namespace {

const auto* const kTexte = ::testing::AddGlobalTestEnvironment(new Texte);

constexpr double kPi = 3.14159265358979323846;

// Records every dialog item change as "<item> <text>|", tabs written as \t.
class Items : public ScriptedDialogs {
  public:
    std::string log;
    void ItemChanged(HWND, int item, const char* text) override {
        log += std::to_string(item) + " ";
        for (const char* p = text; *p; ++p) {
            if (*p == '\t')
                log += "\\t";
            else
                log += *p;
        }
        log += "|\n";
    }
};

void Taste(int key) { platform::PostEvent({platform::Event::KeyDown, key, nullptr}); }

int gemalt = 0;
void Malen(HWND) { ++gemalt; }

struct Anzeige : ::testing::Test {
    TempDir dir;
    Items items;
    void SetUp() override {
        platform::ClearEvents();
        platform::SetPaintHandler(Malen);
        gemalt = 0;
        cx268io.Fehlerflag = cx268io.Tastenabbruch = cx268io.Stoppanforderung = 0;
        cx268io.LetzteTaste = 0;
    }
    void TearDown() override {
        platform::ClearEvents();
        platform::SetPaintHandler(nullptr);
        cx268io.Fehlerflag = cx268io.Tastenabbruch = cx268io.Stoppanforderung = 0;
        cx268io.LetzteTaste = 0;
    }
};

TEST_F(Anzeige, EveryBlockLineWithFeedSuffixesRepeatsAndSuppression) {
    Auftrag a(false, dir.path(), 5, 1);
    EXPECT_EQ(a.anzeige, 1);
    a.satz.Parameter(0.001f);
    a.satz.Satz_Vorschub_xy_z(1.5f, 0.3f);
    Taste(VK_RETURN);
    a.satz.Satz_XY_E(10.0f, 20.0f);
    Taste('a');
    a.satz.Satz_Z_V(-1.0f);  // the Z feed shows, and the next XY line shows its feed again
    a.satz.Satz_XY_V(30.0f, 20.0f);
    a.satz.Satz_XY_V(30.0005f, 20.0f);  // the same point within the tolerance
    a.satz.Satz_Kreis(30.0f, 20.0f, 25.0f, 20.0f, 5.0f, 0.0f, static_cast<float>(-2 * kPi));
    a.satz.Satz_Vorschub_xy(2.0f);
    a.satz.Satz_Kreis(30.0f, 20.0f, 25.0f, 20.0f, 5.0f, 0.0f, 0.0f);  // no sweep: G2
    a.satz.Satz_Wz(3);
    a.satz.Satz_Spindel(0, 1);
    a.satz.Satz_Spinddreh(0, 12000.0f);
    a.satz.Satz_Wait(1.5f);
    a.satz.Satz_Actuator(2, 69);
    a.satz.Satz_Actuator(2, 0);
    a.satz.Satz_Sensor(1, 2, 0.25f);
    char direkt[] = "M8";
    a.satz.Satz_String_Direkt(direkt);
    a.satz.Satz_Z_E_H(5.0f);
    a.satz.Satz_A(90.0f);
    a.satz.Satz_A(90.0f);
    a.satz.Satz_Andere(1);  // scrolled in, shown at the next Satz
    a.satz.Satz_Andere(6);
    a.satz.Satz_Andere(1015);
    a.satz.Satz_Vorschub_xy(3.0f);  // ignored while suppressed
    a.satz.Satz_XY_V(50.0f, 50.0f);
    a.satz.Satz_XYZ_V(50.0f, 50.0f, -2.0f);  // shows even while suppressed
    a.satz.Satz_Andere(1016);
    a.satz.Satz_Andere(7);
    a.satz.Satz_Andere(1013);
    EXPECT_TRUE(SameBytes(Golden("anzeige.txt"), items.log));
    EXPECT_FLOAT_EQ(a.satz.VorschubXY, 2000.0f);
    EXPECT_FALSE(platform::HasEvent());
}

TEST_F(Anzeige, DisplayFlagZeroTouchesNoItemButTotalsGrow) {
    Auftrag a(false, dir.path(), 5, 0);
    Taste(VK_ESCAPE);
    a.satz.Satz_Vorschub_xy_z(1.0f, 1.0f);
    a.satz.Satz_XY_V(10.0f, 0.0f);
    a.satz.Satz_Z_V(-1.0f);
    a.satz.Satz_Wz(1);
    a.satz.Satz_Andere(2);
    EXPECT_EQ(items.log, "");
    EXPECT_TRUE(platform::HasEvent());  // nobody looked at the queue
    EXPECT_GT(a.satz.ZeitVorschubXY, 0.0f);
    EXPECT_FLOAT_EQ(a.satz.WegVorschub, 10.0f);
    EXPECT_FLOAT_EQ(a.satz.MaxX, 10.0f);
}

TEST_F(Anzeige, TypesWithoutDisplayClearTheHostFlag) {
    for (int typ : {1, 4, 9, 22, 25, 30}) {
        Auftrag a(false, dir.path(), typ, 1);
        EXPECT_EQ(a.anzeige, 0) << typ;
        EXPECT_EQ(a.satz.AnzeigeEin, 0) << typ;
    }
    Auftrag zwei(false, dir.path(), 2, 1);
    EXPECT_EQ(zwei.anzeige, 1);
    EXPECT_EQ(zwei.kommando.Zustand, -1);
}

TEST_F(Anzeige, SingleStepWaitsForReturnPassingPaintAndDroppingOtherKeys) {
    Auftrag a(false, dir.path(), 5, 1);
    platform::PostEvent({platform::Event::Paint, 0, nullptr});
    Taste('X');
    Taste(VK_RETURN);
    Taste(VK_RETURN);
    a.satz.Satz_XY_E(1.0f, 1.0f);
    EXPECT_EQ(gemalt, 1);
    EXPECT_EQ(a.satz.Automatik, 0);
    a.satz.Satz_XY_E(2.0f, 1.0f);
    EXPECT_FALSE(platform::HasEvent());
    EXPECT_STREQ(platform::ItemText(a.satz.Dialog, 137), "step: running");
}

// The machine sees S through the shared channel's last key (types 1, 3, 4, 9, 30) or the host
// object's (2, 11, 12); A clears it.
TEST_F(Anzeige, AutomaticThenSFromTheMachineSideBringsSingleStepBack) {
    {
        Auftrag a(false, dir.path(), 3, 1);
        cx268io.LetzteTaste = 'S';
        Taste('A');
        a.satz.Satz();
        EXPECT_EQ(a.satz.Automatik, 0);  // the stale S is read at once
        cx268io.LetzteTaste = 0;
        Taste('A');
        a.satz.Satz();
        EXPECT_EQ(a.satz.Automatik, 1);
        a.satz.Satz();
        EXPECT_EQ(a.satz.Automatik, 1);
        cx268io.LetzteTaste = 's';
        a.satz.Satz();
        EXPECT_EQ(a.satz.Automatik, 0);
    }
    {
        Auftrag a(false, dir.path(), 1, 0);
        cx268io.LetzteTaste = 'S';
        Taste('a');
        a.satz.Satz();
        EXPECT_EQ(cx268io.LetzteTaste, 0);  // type 1: A clears the channel's last key
        EXPECT_EQ(a.satz.Automatik, 1);
    }
    {
        Auftrag a(false, dir.path(), 11, 1);
        a.kommandoP.LetzteTaste = 'S';
        Taste('A');
        a.satz.Satz();
        EXPECT_EQ(a.kommandoP.LetzteTaste, 0);
        EXPECT_EQ(a.satz.Automatik, 1);
        a.kommandoP.LetzteTaste = 's';
        a.satz.Satz();
        EXPECT_EQ(a.satz.Automatik, 0);
    }
    {
        Auftrag a(false, dir.path(), 5, 1);  // no machine side: S is never seen
        cx268io.LetzteTaste = 'S';
        Taste('A');
        a.satz.Satz();
        a.satz.Satz();
        EXPECT_EQ(a.satz.Automatik, 1);
        EXPECT_EQ(a.satz.AutomatikGemeldet, 1);
    }
}

// Escape in single step raises the machine side's abort flags, switches to automatic mode and
// passes on at most one queued paint message.
TEST_F(Anzeige, EscapeRaisesTheAbortFlagsOfEachMachineType) {
    for (int typ : {1, 3, 4, 9, 25, 30}) {
        SCOPED_TRACE(typ);
        cx268io.Fehlerflag = cx268io.Tastenabbruch = 0;
        Auftrag a(false, dir.path(), typ, 1);
        Taste(VK_ESCAPE);
        a.satz.Satz();
        EXPECT_EQ(cx268io.Fehlerflag, 1);
        EXPECT_EQ(cx268io.Tastenabbruch, 1);
        EXPECT_EQ(cx268io.Stoppanforderung, 0);
        EXPECT_EQ(a.satz.Automatik, 1);
    }
    cx268io.Fehlerflag = cx268io.Tastenabbruch = 0;
    {
        Auftrag a(false, dir.path(), 2, 1);
        Taste(VK_ESCAPE);
        platform::PostEvent({platform::Event::Paint, 0, nullptr});
        platform::PostEvent({platform::Event::Paint, 0, nullptr});
        a.satz.Satz();
        EXPECT_EQ(gemalt, 1);
        EXPECT_TRUE(platform::HasEvent());
        EXPECT_EQ(a.kommando.Abbruch[0] + a.kommando.Abbruch[1], 2);
        platform::ClearEvents();
    }
    {
        Auftrag a(false, dir.path(), 11, 1);
        Taste(VK_ESCAPE);
        a.satz.Satz();
        EXPECT_EQ(a.kommandoP.Abbruch[0] + a.kommandoP.Abbruch[1] + a.kommandoP.Abbruch[2], 3);
    }
    {
        Auftrag a(false, dir.path(), 12, 1);
        Taste(VK_ESCAPE);
        a.satz.Satz();
        EXPECT_EQ(a.kommandoC.Abbruch[0] + a.kommandoC.Abbruch[1], 2);
    }
    {
        CDIN din;
        Auftrag a(false, dir.path(), 22, 1, &din);
        Taste(VK_ESCAPE);
        a.satz.Satz();
        EXPECT_EQ(din.Escape1 + din.Escape2, 2);
    }
    {
        Auftrag a(false, dir.path(), 7, 1);  // other types: nobody to tell
        Taste(VK_ESCAPE);
        a.satz.Satz();
        EXPECT_EQ(a.satz.Automatik, 1);
    }
    EXPECT_EQ(cx268io.Fehlerflag, 0);
}

// A host that counts the waits and the faults of its machine objects.
struct ZaehlKommando : MaschCommand {
    int warten = 0, fehler = 0;
    void WarteFertig() override { ++warten; }
    void FehlerInSteuerung() override { ++fehler; }
};
struct ZaehlKommandoC : MaschCommand_C {
    int warten = 0;
    void WarteFertig() override { ++warten; }
};

TEST_F(Anzeige, WaitsAndFaultsGoToTheMachineTypesObjects) {
    CMainWindow fenster;
    ZaehlKommando k;
    MaschCommand_P p;
    ZaehlKommandoC c;
    CSATZ s;
    int flag = 1;
    char ordner[] = "/nonexistent";
    s.Start(&fenster, 2, &flag, nullptr, nullptr, nullptr, nullptr, nullptr, &k, &p, &c, ordner);
    Taste(VK_RETURN);
    s.Satz();
    s.SetzeFehlerInSteuerung();
    EXPECT_EQ(k.warten, 1);
    EXPECT_EQ(k.fehler, 1);
    s.Start(&fenster, 12, &flag, nullptr, nullptr, nullptr, nullptr, nullptr, &k, &p, &c, ordner);
    Taste(VK_RETURN);
    s.Satz();
    s.SetzeFehlerInSteuerung();
    EXPECT_EQ(c.warten, 1);
    EXPECT_EQ(c.Abbruch[0] + c.Abbruch[1], 2);
    s.Start(&fenster, 11, &flag, nullptr, nullptr, nullptr, nullptr, nullptr, &k, &p, &c, ordner);
    s.SetzeFehlerInSteuerung();
    EXPECT_EQ(p.Abbruch[0] + p.Abbruch[1] + p.Abbruch[2], 2);
    s.Start(&fenster, 15, &flag, nullptr, nullptr, nullptr, nullptr, nullptr, &k, &p, &c, ordner);
    s.SetzeFehlerInSteuerung();
    EXPECT_EQ(cx268io.Stoppanforderung, 1);
    cx268io.Stoppanforderung = 0;
    cx268io.Fehlerflag = cx268io.Tastenabbruch = 0;
    s.Start(&fenster, 7, &flag, nullptr, nullptr, nullptr, nullptr, nullptr, &k, &p, &c, ordner);
    s.SetzeFehlerInSteuerung();
    EXPECT_EQ(cx268io.Fehlerflag, 0);
}

// Type 3: the HPGL-A driver goes to single step at the start, is waited for at every block and
// back to normal output at the end.
TEST_F(Anzeige, HpglaDriverStepsWaitsAndEnds) {
    CHPGLA hpgla;
    CMainWindow fenster;
    CSATZ s;
    int flag = 1;
    char ordner[] = "/nonexistent";
    s.Start(&fenster, 3, &flag, nullptr, &hpgla, nullptr, nullptr, nullptr, nullptr, nullptr,
            nullptr, ordner);
    EXPECT_EQ(hpgla.Einzelschritt, 1);
    EXPECT_EQ(flag, 1);
    Taste(VK_RETURN);
    s.Satz_XY_E(1.0f, 2.0f);
    EXPECT_STREQ(platform::ItemText(nullptr, 127), "G0\tX1.000      Y2.000     ");
    s.Ende();
    EXPECT_EQ(hpgla.Einzelschritt, 0);
}

}  // namespace
}  // namespace korvat::test
