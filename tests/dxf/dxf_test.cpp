// CDXF_TEXT: whole drawings against hand-written golden files, the file-name dialog, the header
// sizing, bad values, and ezdxf reading every golden drawing.
#include <unistd.h>

#include <cmath>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "hpgl/plot_test_support.h"
#include "writers/dxf/cdxf_text.h"

namespace {

using namespace korvat::test;
using namespace korvat::test::plot;

constexpr float kPi = 3.14159265f;

// One entity as ezdxf reports it: kind, layer, and its numbers (LINE: start and end; ARC:
// centre, radius, start and end angle in degrees; CIRCLE: centre and radius).
struct Entity {
    std::string kind;
    std::string layer;
    std::vector<double> v;
};

// ezdxf (Debian's python3-ezdxf, with Debian's own interpreter) opens the file; its audit must
// find no error. Returns the entities of the model space.
std::vector<Entity> ReadWithEzdxf(const std::string& path) {
    int status = 0;
    std::string out =
        RunCommand("/usr/bin/python3 " KORVAT_TEST_DIR "/read_dxf.py '" + path + "'", &status);
    EXPECT_EQ(0, status) << out;
    std::istringstream in(out);
    std::string word;
    int errors = -1;
    in >> word >> errors;
    EXPECT_EQ("errors", word) << out;
    EXPECT_EQ(0, errors) << out;
    std::vector<Entity> entities;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream l(line);
        Entity e;
        l >> e.kind >> e.layer;
        for (double d; l >> d;) e.v.push_back(d);
        entities.push_back(e);
    }
    return entities;
}

// Angles are compared as directions: ezdxf may report -90 as 270.
double AngleDifference(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180 ? 360 - d : d;
}

void ExpectSameEntities(const std::vector<Entity>& expected, const std::vector<Entity>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("entity " + std::to_string(i) + " " + expected[i].kind);
        EXPECT_EQ(expected[i].kind, actual[i].kind);
        EXPECT_EQ(expected[i].layer, actual[i].layer);
        ASSERT_EQ(expected[i].v.size(), actual[i].v.size());
        for (size_t k = 0; k < expected[i].v.size(); ++k) {
            bool angle = expected[i].kind == "ARC" && k >= 3;
            double d = angle ? AngleDifference(expected[i].v[k], actual[i].v[k])
                             : std::fabs(expected[i].v[k] - actual[i].v[k]);
            EXPECT_LE(d, 0.0001) << "value " << k << ": " << expected[i].v[k] << " vs "
                                 << actual[i].v[k];
        }
    }
}

// The golden file up to and including the start of the entities section.
std::string HeaderOf(const std::string& golden) {
    std::string g = Golden(golden);
    return g.substr(0, g.find("ENTITIES\n") + 9);
}
const char kEnd[] = "  0\nENDSEC\n  0\nEOF\n";

class DxfTest : public WriterTest {
  protected:
    DxfTest() : WriterTest("dxf") {}

    // Opens w on tmp/<name>.dxf, the dialog keeping the proposed name.
    void Open(CDXF_TEXT& w, const char* name) {
        ScriptedDialogs dialogs;
        std::snprintf(path, sizeof path, "%s/%s", tmp.path().c_str(), name);
        int openedBefore = 0;
        ASSERT_EQ(0, w.Open(0, &settings, path, &openedBefore, 0, nullptr));
    }

    char path[CDXF_TEXT::kPfadLaenge] = {};
};

TEST_F(DxfTest, DrawingOfLinesArcsAndCirclesOnLayerOne) {
    ScriptedDialogs dialogs;
    dialogs.InputText("platte");
    std::snprintf(path, sizeof path, "%s/teil.nc", tmp.path().c_str());
    CDXF_TEXT w;
    w.SetzeSpezial(0, nullptr);
    int openedBefore = 0;
    ASSERT_EQ(0, w.Open(0, &settings, path, &openedBefore, 0, nullptr));
    EXPECT_EQ(tmp.File("platte"), path);  // folder kept, extension dropped, name edited
    EXPECT_EQ(1, openedBefore);
    ASSERT_EQ(1u, dialogs.boxes().size());
    EXPECT_EQ("input", dialogs.boxes()[0].kind);

    w.SetzePosInfos(120, 80, 0, 0, 0, 0, 0, 0, 0);
    w.SetzePosInfos(300, 300, 0, 0, 0, 0, 0, 0, 0);  // the header is written once
    w.Move3(10, 10, 5);
    w.WkzW(0, 1, 0, 0);  // nothing of a tool, speed or Z is drawn
    w.MoveZ(-1);
    w.SetzeVorschuebe(1, 1);
    w.Draw(50, 10);
    w.Draw3(50, 30, -1, 0);
    w.Kreis(40, 30, 10, 0, kPi / 2, 40, 40);
    w.Draw(10, 40);
    w.Kreis(0, 40, 10, 0, -kPi / 2, 0, 30);  // clockwise: written from -90 to 0 degrees
    w.Kreis(30, 20, 5, 0, 6.2836f, 35, 20);  // within 0.001 of a full turn: CIRCLE
    w.Kreis(30, 20, 3, 0, 6.281f, 33, 20);   // 0.0022 short of it: ARC
    w.Move_abs(0, 0);
    EXPECT_EQ(0, w.Close(0, 1));
    EXPECT_TRUE(SameBytes(Crlf(Golden("platte.dxf")), ReadFile(tmp.File("platte.dxf"))));

    ExpectSameEntities({{"LINE", "1", {10, 10, 50, 10}},
                        {"LINE", "1", {50, 10, 50, 30}},
                        {"ARC", "1", {40, 30, 10, 0, 90}},
                        {"LINE", "1", {40, 40, 10, 40}},
                        {"ARC", "1", {0, 40, 10, -90, 0}},
                        {"CIRCLE", "1", {30, 20, 5}},
                        {"ARC", "1", {30, 20, 3, 0, 6.281 * 180 / M_PI}}},
                       ReadWithEzdxf(KORVAT_TEST_DIR "/golden/platte.dxf"));
}

// The view is centred on the workpiece and as high as its larger side; the size is the
// alternative pair for a multiple plate, the exchanged pair for an axis exchange.
TEST_F(DxfTest, HeaderSizedToTheWorkpieceOnce) {
    struct Case {
        const char* name;
        void (*call)(CDXF_TEXT&);
        std::string expected;
    };
    const Case cases[] = {
        {"square twice",
         [](CDXF_TEXT& w) {
             w.Start(100, 100);
             w.Start(100, 100);
         },
         Golden("square.dxf")},
        {"multiple plate", [](CDXF_TEXT& w) { w.SetzePosInfos(30, 20, 100, 100, 1, 1, 5, 5, 1); },
         Golden("square.dxf")},
        {"axis exchange", [](CDXF_TEXT& w) { w.SetzePosInfos(80, 120, 0, 0, 1, 0, 0, 0, 0); },
         HeaderOf("platte.dxf") + kEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChannelReset();
        CDXF_TEXT w;
        Open(w, "leer");
        c.call(w);
        w.Close(0, 1);
        EXPECT_TRUE(SameBytes(Crlf(c.expected), ReadFile(tmp.File("leer.dxf"))));
    }
    EXPECT_TRUE(ReadWithEzdxf(KORVAT_TEST_DIR "/golden/square.dxf").empty());
}

TEST_F(DxfTest, CancelledNameDialogTouchesNothing) {
    ScriptedDialogs dialogs;
    dialogs.InputText("\x1b");
    std::snprintf(path, sizeof path, "%s/teil.nc", tmp.path().c_str());
    CDXF_TEXT w;
    int openedBefore = 0;
    EXPECT_EQ(1, w.Open(0, &settings, path, &openedBefore, 0, nullptr));
    EXPECT_EQ(tmp.File("teil.nc"), path);
    EXPECT_EQ(0, openedBefore);
    EXPECT_EQ(0, cx268io.DateiOffen);
    EXPECT_EQ(0, cx268io.Fehlerflag);
}

// A folder and an edited name that together pass the host's path buffer are refused before
// anything is opened.
TEST_F(DxfTest, RefusesAnEditedPathLongerThanTheBuffer) {
    ScriptedDialogs dialogs;
    dialogs.InputText(std::string(CDXF_TEXT::kNameLaenge, 'n'));
    std::string folder = tmp.path() + "/" + std::string(220, 'd');
    std::snprintf(path, sizeof path, "%s/x", folder.c_str());
    CDXF_TEXT w;
    int openedBefore = 0;
    EXPECT_EQ(1, w.Open(0, &settings, path, &openedBefore, 0, nullptr));
    EXPECT_EQ(folder + "/x", path);
    EXPECT_EQ(0, cx268io.DateiOffen);
    EXPECT_EQ(1005, cx268io.Fehlernummer);
}

// A huge coordinate is still a number and is written as one; NaN is refused with a named error,
// and what was written before it stays in the file.
TEST_F(DxfTest, HugeValuesAreWrittenNaNIsRefused) {
    const std::string hugeLine =
        "  0\nLINE\n  8\n1\n 10\n0.0000\n 20\n0.0000\n 30\n0.0\n"
        " 11\n1000000015047466219876688855040.0000\n 21\n0.0000\n 31\n0.0\n";
    {
        CDXF_TEXT w;
        Open(w, "gross");
        w.Start(100, 100);
        w.Move3(0, 0, 0);
        w.Draw(1e30f, 0);
        w.Close(0, 1);
        std::string out = ReadFile(tmp.File("gross.dxf"));
        EXPECT_TRUE(SameBytes(Crlf(HeaderOf("square.dxf") + hugeLine + kEnd), out));
        ExpectSameEntities({{"LINE", "1", {0, 0, 1e30f, 0}}}, ReadWithEzdxf(tmp.File("gross.dxf")));
    }
    for (int bad = 0; bad < 3; ++bad) {
        SCOPED_TRACE(bad);
        ChannelReset();
        CDXF_TEXT w;
        Open(w, "nan");
        w.Start(100, 100);
        w.Move3(0, 0, 0);
        w.Draw(1e30f, 0);
        if (bad == 0) w.Draw(NAN, 1);
        if (bad == 1) w.Kreis(0, 0, 1, 0, INFINITY, 1, 0);
        if (bad == 2) w.Move3(0, NAN, 0);
        w.Draw(5, 5);
        w.Close(0, 1);
        EXPECT_TRUE(
            SameBytes(Crlf(HeaderOf("square.dxf") + hugeLine), ReadFile(tmp.File("nan.dxf"))));
        EXPECT_EQ(2103, cx268io.Fehlernummer);
    }
}

// The same G-code job posted by korvat as a DXF drawing and as plain HPGL: ezdxf and hp2xx see
// the same drawing (every point of one within 0.05 mm of the other; the plotter has 40 units/mm).
TEST(KorvatDrawing, DxfAndPlainHpglOfOneJobAgree) {
    const std::string korvat = KORVAT_BINARY_DIR "/tools/korvat/korvat";
    if (access(korvat.c_str(), X_OK) != 0) GTEST_SKIP() << "korvat program not built";
    TempDir tmp;
    const std::string job = KORVAT_SOURCE_DIR "/examples/jobs/example.ngc";
    const std::string machines = KORVAT_SOURCE_DIR "/examples/machines/";
    int status = 0;
    for (const char* m : {"dxf", "hpgl-plotter"}) {
        std::string log = RunCommand(
            korvat + " post " + job + " --machine " + machines + m + ".ini -o " + tmp.File(m),
            &status);
        ASSERT_EQ(0, status) << log;
    }
    std::string out = RunCommand("/usr/bin/python3 " KORVAT_TEST_DIR "/same_drawing.py " +
                                     tmp.File("dxf") + " " + tmp.File("hpgl-plotter") + " 40 0.05",
                                 &status);
    ASSERT_EQ(0, status) << out;
    for (const char* finding : {"audit_errors 0\n", "hp2xx_ignored 0\n", "hp2xx_unexpected 0\n",
                                "dxf_off_hpgl 0 ", "hpgl_off_dxf 0 "}) {
        EXPECT_NE(std::string::npos, out.find(finding)) << finding << "\n" << out;
    }
    EXPECT_EQ(std::string::npos, out.find("dxf_entities 0\n")) << out;
}

}  // namespace
