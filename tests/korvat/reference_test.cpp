// Every job posted to every example profile gives the same bytes as the reference files beside
// this test (see reference/README): whatever changes in how the program reads jobs, formats
// numbers or buffers its output, the programs a machinist gets stay what they were.
#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace korvat::test {
namespace {

const std::string kReference = std::string(KORVAT_TEST_DIR) + "/reference/";

// The jobs and where they are.
const std::vector<std::pair<std::string, std::string>> kJobs = {
    {"example", "/examples/jobs/example.ngc"},
    {"plate", "/examples/jobs/plate.ngc"},
    {"pocket", "/examples/jobs/pocket.ngc"},
    {"square", "/examples/jobs/square.calls"},
    {"dialects", "/tests/korvat/jobs/dialects.ngc"},
    {"helix", "/tests/korvat/jobs/helix.ngc"},
    {"slot", "/tests/korvat/jobs/slot.ngc"},
    {"inch", "/tests/korvat/jobs/inch.ngc"},
    {"incremental", "/tests/korvat/jobs/incremental.ngc"},
    {"workpiece", "/tests/korvat/jobs/workpiece.ngc"},
};

// The example profiles' names, sorted.
std::vector<std::string> Profiles() {
    std::vector<std::string> names;
    if (DIR* d = opendir(KORVAT_SOURCE_DIR "/examples/machines")) {
        while (const dirent* e = readdir(d)) {
            std::string n = e->d_name;
            // Machines driven online (their profile names the line, `device`) take no post.
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".ini") == 0 &&
                ReadFile(KORVAT_SOURCE_DIR "/examples/machines/" + n).find("\ndevice =") ==
                    std::string::npos)
                names.push_back(n.substr(0, n.size() - 4));
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Reference : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(Reference, EveryProfileGivesTheReferenceProgram) {
    const auto& [job, path] = GetParam();
    std::vector<std::string> profiles = Profiles();
    ASSERT_EQ(15u, profiles.size());
    TempDir dir;
    // The program's name is part of some dialects' heads: each is written as <job>.<profile>.out.
    // The run is made under an English locale: the operator messages some dialects write into
    // the program are the same in every locale.
    for (const std::string& profile : profiles) {
        SCOPED_TRACE(job + " on " + profile);
        Outcome r = RunKorvat(dir.path(),
                              "post '" KORVAT_SOURCE_DIR + path + "' --machine " + profile +
                                  " -o " + job + "." + profile + ".out",
                              "LC_ALL=C");
        ASSERT_EQ(0, r.exit) << r.err;
        EXPECT_TRUE(SameBytes(ReadFile(kReference + job + "." + profile),
                              ReadFile(dir.File(job + "." + profile + ".out"))));
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, Reference, ::testing::ValuesIn(kJobs),
                         [](const auto& info) { return info.param.first; });

}  // namespace
}  // namespace korvat::test
