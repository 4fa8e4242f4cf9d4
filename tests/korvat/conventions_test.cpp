// What a user of any command-line tool expects of korvat: --version, help for each verb, the
// verbs listed when one is mistyped, the program's own name in its usage, aligned columns.
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace korvat::test {
namespace {

TEST(Conventions, VersionHelpAndUnknownVerbs) {
    TempDir dir;
    Outcome r = RunKorvat(dir.path(), "--version");
    EXPECT_EQ(0, r.exit);
    EXPECT_EQ("korvat 0.1.0\n", r.out);

    r = RunKorvat(dir.path(), "help machines");
    EXPECT_EQ(0, r.exit);
    EXPECT_EQ(0u,
              r.out.find("list the example machine profiles\nUsage: korvat machines [OPTIONS]\n"))
        << r.out;

    r = RunKorvat(dir.path(), "help");
    EXPECT_EQ(0, r.exit);
    EXPECT_NE(std::string::npos, r.out.find("Usage: korvat [OPTIONS] SUBCOMMAND")) << r.out;

    r = RunKorvat(dir.path(), "psot plate.ngc");
    EXPECT_EQ(2, r.exit);
    EXPECT_EQ(
        0u,
        r.err.find("korvat: unknown verb 'psot'; the verbs are post, preview, estimate, machines"))
        << r.err;

    r = RunKorvat(dir.path(), "help psot");
    EXPECT_EQ(2, r.exit);
    EXPECT_EQ(0u, r.err.find("korvat: unknown verb 'psot'; the verbs are post, ")) << r.err;
}

TEST(Conventions, MachinesListsNameClassAndDescriptionInAlignedColumns) {
    TempDir dir;
    Outcome r = RunKorvat(dir.path(), "machines");
    ASSERT_EQ(0, r.exit) << r.err;
    std::istringstream lines(r.out);
    size_t classColumn = 0, descriptionColumn = 0;
    int rows = 0;
    for (std::string line; std::getline(lines, line); ++rows) {
        // name, at least two spaces, class, at least two spaces, description
        size_t nameEnd = line.find("  ");
        ASSERT_NE(std::string::npos, nameEnd) << line;
        size_t c = line.find_first_not_of(' ', nameEnd);
        size_t d = line.find_first_not_of(' ', line.find("  ", c));
        if (rows == 0) classColumn = c, descriptionColumn = d;
        EXPECT_EQ(classColumn, c) << line;
        EXPECT_EQ(descriptionColumn, d) << line;
        // Each row is an example profile with its class.
        std::string profile =
            ReadFile(KORVAT_SOURCE_DIR "/examples/machines/" + line.substr(0, nameEnd) + ".ini");
        EXPECT_NE(std::string::npos,
                  profile.find("\nclass = " + line.substr(c, line.find(' ', c) - c) + "\n"))
            << line;
    }
    EXPECT_GE(rows, 15);
}

// The library's texts shown to the user (here the message of an element file that cannot be
// read) follow the locale: German for a German one, English for any other; korvat's own stay
// English. The texts a dialect writes into the program for the machine's display (the HPGL
// tool-change message) are the same in every locale, so a job gives the same program anywhere.
TEST(Conventions, TheLibrarysTextsFollowTheLocaleButProgramsDoNot) {
    TempDir dir;
    korvat::test::WriteFile(dir.File("cut.eaw"), std::string(100, '\x02'));
    const std::string post =
        "post " KORVAT_SOURCE_DIR "/examples/jobs/plate.ngc --machine hpgl-engraving -o -";
    const char* cases[][2] = {
        {"LC_ALL=de_DE.UTF-8", "Fehler beim Lesen der Elementdatei"},
        {"LC_ALL= LC_MESSAGES=de_AT LANG=en_GB.UTF-8", "Fehler beim Lesen der Elementdatei"},
        {"LC_ALL= LC_MESSAGES= LANG=de", "Fehler beim Lesen der Elementdatei"},
        {"LC_ALL=en_US.UTF-8 LANG=de_DE.UTF-8", "Error reading the element file"},
        {"LC_ALL=C", "Error reading the element file"},
        {"LC_ALL= LC_MESSAGES= LANG=", "Error reading the element file"},
        {"LC_ALL=dek_XX", "Error reading the element file"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c[0]);
        Outcome r = RunKorvat(dir.path(), "approach cut.eaw out.eaw", c[0]);
        EXPECT_EQ(1, r.exit) << r.err;
        EXPECT_EQ(0u, r.err.find("korvat: ")) << r.err;
        EXPECT_NE(std::string::npos, r.err.find(std::string("message 4060 (") + c[1] + ")"))
            << r.err;
        r = RunKorvat(dir.path(), post, c[0]);
        EXPECT_EQ(0, r.exit) << r.err;
        EXPECT_NE(std::string::npos, r.out.find("Werkzeugwechsel: Werkzeug Nr.")) << r.out;
        EXPECT_NE(std::string::npos, r.err.find(" posted for ")) << r.err;
    }
}

// Long work shows a bar on a terminal and clears it before the summary; without a terminal
// nothing but the summary is written. The bar's delay is set to 0 so that any job shows it.
TEST(Conventions, PreviewAndApproachShowAProgressBarOnATerminalOnly) {
    TempDir dir;
    std::string job = "G0 X0 Y0 Z1\nG1 Z-1 F500\n";
    for (int i = 0; i < 4000; ++i)
        job += i % 2 ? "G1 X0 Y0\nG1 X50 Y0\n" : "G1 X50 Y30\nG1 X0 Y30\n";
    korvat::test::WriteFile(dir.File("long.ngc"), job + "G1 X0 Y0\nG0 Z5\n");
    // The last reads an element file: its bar is the computation's alone.
    for (std::string verb : {"preview long.ngc -o long.svg", "approach long.ngc long.eaw",
                             "approach long.eaw again.eaw"}) {
        SCOPED_TRACE(verb);
        // On a terminal (script gives the program one; its output is the terminal's).
        std::string cmd = "cd '" + dir.path() + "' && KORVAT_PROGRESS_AFTER_MS=0 script -qec \"'" +
                          KORVAT_PROGRAM + "' " + verb + "\" /dev/null >terminal.txt";
        ASSERT_EQ(0, std::system(cmd.c_str()));
        std::string shown = korvat::test::ReadFile(dir.File("terminal.txt"));
        size_t bar = shown.find("\r[");
        ASSERT_NE(std::string::npos, bar) << shown;
        EXPECT_NE(std::string::npos, shown.find("%", bar)) << shown;
        size_t cleared = shown.find("\r\033[K", bar);
        EXPECT_NE(std::string::npos, cleared) << shown;
        EXPECT_NE(std::string::npos, shown.find("korvat: ", cleared)) << shown;
        // Without one.
        Outcome r = RunKorvat(dir.path(), verb, "KORVAT_PROGRESS_AFTER_MS=0");
        EXPECT_EQ(0, r.exit) << r.err;
        EXPECT_EQ(0u, r.err.find("korvat: ")) << r.err;
        EXPECT_EQ(std::string::npos, r.err.find('\r')) << r.err;
    }
}

}  // namespace
}  // namespace korvat::test
