// What a user of any command-line tool expects of korvat: --version, help for each verb, the
// verbs listed when one is mistyped, the program's own name in its usage, aligned columns.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/korvat/run_korvat.h"

namespace {

using korvat::test::Outcome;
using korvat::test::RunKorvat;
using korvat::test::TempDir;

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
    }
    EXPECT_GE(rows, 15);
}

}  // namespace
