// The machine parameter set: read once per process from the folder's parameter file, checked
// for size and magic words, converted; defaults otherwise; replaced by NeuerParametersatz.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/golden.h"
#include "tests/supervision/supervision_fixture.h"

namespace korvat::test {
namespace {

std::string Bytes(const P_SATZ& p, size_t n) {
    std::string b(reinterpret_cast<const char*>(&p), sizeof p);
    b.resize(n, '\x7f');
    return b;
}

// A block that differs from the defaults in every value the estimator reads.
P_SATZ Anderer() {
    P_SATZ p = HandBlock(4);
    p.Wert[2592 / 4] = 0.5f;   // v_min 30
    p.Wert[2596 / 4] = 0.5f;   // a 1,800,000
    p.Wert[2720 / 4] = 0.25f;  // k 900,000
    p.Wert[2584 / 4] = 12.0f;
    p.Wert[104 / 4] = 8.0f;
    p.Wert[2604 / 4] = 2.0f;
    p.Wert[2708 / 4] = 0.5f;
    return p;
}

void ErwarteVorgaben() {
    EXPECT_FLOAT_EQ(bahnplan.VMin, 18.0f);
    EXPECT_FLOAT_EQ(bahnplan.A, 1080000.0f);
    EXPECT_FLOAT_EQ(bahnplan.AKreis, 1080000.0f);
    EXPECT_FLOAT_EQ(bahnplan.Umgerechnet.Wert[2584 / 4], 9000.0f);
    EXPECT_FLOAT_EQ(bahnplan.Umgerechnet.Wert[104 / 4], 6000.0f);
    EXPECT_FLOAT_EQ(bahnplan.Umgerechnet.Wert[(7 * 200 + 104) / 4], 6000.0f);
    EXPECT_FLOAT_EQ(bahnplan.Kurzstrecke, 0.0003f);
    EXPECT_EQ(bahnplan.Vorschaugrenze, 1);
    EXPECT_EQ(bahnplan.Roh.Byte[28], 'X');
    EXPECT_EQ(bahnplan.Roh.Byte[228], 'Y');
    EXPECT_EQ(bahnplan.Roh.Byte[428], 'Z');
    EXPECT_EQ(bahnplan.Roh.Byte[628], 0);
    EXPECT_EQ(bahnplan.Roh.Wort[0], 0u);
}

void ErwarteAnderen() {
    EXPECT_FLOAT_EQ(bahnplan.VMin, 30.0f);
    EXPECT_FLOAT_EQ(bahnplan.A, 1800000.0f);
    EXPECT_FLOAT_EQ(bahnplan.AKreis, 900000.0f);
    EXPECT_FLOAT_EQ(bahnplan.Umgerechnet.Wert[2584 / 4], 12000.0f);
    EXPECT_FLOAT_EQ(bahnplan.Umgerechnet.Wert[104 / 4], 8000.0f);
    EXPECT_FLOAT_EQ(bahnplan.Kurzstrecke, 0.001f);
    EXPECT_EQ(bahnplan.Vorschaugrenze, 5);
}

TEST(Parametersatz, MissingFileGivesTheDefaultsAndTheSupervisorTakesThem) {
    TempDir dir;
    Auftrag a(false, dir.path());
    ErwarteVorgaben();
    EXPECT_FLOAT_EQ(a.satz.StartGeschwindigkeit, 18.0f);
    EXPECT_FLOAT_EQ(a.satz.EndGeschwindigkeit, 18.0f);
    EXPECT_FLOAT_EQ(a.satz.Bahnbeschleunigung, 1080000.0f);
}

TEST(Parametersatz, FileSizesAndMagicWords) {
    struct Fall {
        const char* name;
        std::string bytes;
        bool angenommen;
    };
    P_SATZ vertauscht = Anderer();
    vertauscht.Wort[0] = 0x44332211u;
    vertauscht.Wort[1] = 0xAA55AA55u;
    const Fall faelle[] = {
        {"3072 bytes", Bytes(Anderer(), 3072), true},
        {"3073 bytes (only 3072 read)", Bytes(Anderer(), 3073), true},
        {"3071 bytes (short read)", Bytes(Anderer(), 3071), false},
        {"magic words out of order", Bytes(vertauscht, 3072), false},
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.name);
        TempDir dir;
        WriteFile(dir.File("DummyPara.bin"), f.bytes);
        Auftrag a(false, dir.path());
        if (f.angenommen) {
            ErwarteAnderen();
            EXPECT_FLOAT_EQ(a.satz.Bahnbeschleunigung, 900000.0f);
            EXPECT_FLOAT_EQ(a.satz.StartGeschwindigkeit, 30.0f);
        } else {
            ErwarteVorgaben();
        }
    }
}

TEST(Parametersatz, FileIsReadOncePerProcess) {
    TempDir dir;
    WriteFile(dir.File("DummyPara.bin"), Bytes(Anderer(), 3072));
    Auftrag a(false, dir.path());
    ErwarteAnderen();
    WriteFile(dir.File("DummyPara.bin"), "");
    int flag = 0;
    char pfad[] = "/nonexistent";
    a.satz.Start(&a.fenster, 5, &flag, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                 nullptr, nullptr, pfad);
    ErwarteAnderen();
}

TEST(Parametersatz, NeuerParametersatzOnlyWithLookAheadAndDerivedValuesFollowAtTheNextReset) {
    TempDir dir;
    Auftrag aus(false, dir.path());
    P_SATZ p = Anderer();
    EXPECT_EQ(aus.satz.NeuerParametersatz(&p), 0);
    ErwarteVorgaben();
    EXPECT_FLOAT_EQ(aus.satz.Bahnbeschleunigung, 1080000.0f);

    Auftrag ein(true, dir.path());
    EXPECT_EQ(ein.satz.NeuerParametersatz(&p), 0);
    // Taken over: the converted copy and the short-segment threshold; v_min, a and the depth
    // as derived at the last reset.
    EXPECT_FLOAT_EQ(bahnplan.Umgerechnet.Wert[2584 / 4], 12000.0f);
    EXPECT_FLOAT_EQ(bahnplan.Kurzstrecke, 0.001f);
    EXPECT_FLOAT_EQ(bahnplan.VMin, 18.0f);
    EXPECT_FLOAT_EQ(bahnplan.A, 1080000.0f);
    EXPECT_EQ(bahnplan.Vorschaugrenze, 1);
    EXPECT_FLOAT_EQ(ein.satz.StartGeschwindigkeit, 18.0f);
    EXPECT_FLOAT_EQ(ein.satz.Bahnbeschleunigung, 900000.0f);
    ein.satz.Satz_WST_Ende(0);  // a take resets the estimator
    ErwarteAnderen();
}

}  // namespace
}  // namespace korvat::test
