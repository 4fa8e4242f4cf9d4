// The korvat program's approach and dump verbs, run as a user runs them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "support/golden.h"

namespace korvat::test {
namespace {

const std::string kKorvat = std::string(KORVAT_BINARY_DIR) + "/tools/korvat/korvat";

// Runs a shell command line; returns its exit status.
int Shell(const std::string& line) {
    int rc = std::system(line.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

class KorvatApproach : public ::testing::Test {
  protected:
    void SetUp() override {
        struct stat st;
        if (stat(kKorvat.c_str(), &st) != 0) GTEST_SKIP() << "korvat is not built";
    }
    TempDir dir;
};

TEST_F(KorvatApproach, GcodeSquareBecomesARampedElementFile) {
    // tan(2.862405226111748 degrees) = 0.05: the ramp reaches 0.75 halfway along side two.
    std::string eaw = dir.File("square.eaw");
    ASSERT_EQ(Shell(kKorvat + " approach " KORVAT_TEST_DIR "/golden/korvat_square.ngc " + eaw +
                    " --angle 2.862405226111748 --final-depth 0.75 2>/dev/null >/dev/null"),
              0);
    ASSERT_EQ(Shell(kKorvat + " dump " + eaw + " > " + dir.File("dump.txt")), 0);
    EXPECT_TRUE(SameBytes(Golden("korvat_square.dump"), ReadFile(dir.File("dump.txt"))));
}

TEST_F(KorvatApproach, ErrorsNameTheMessageAndTheFile) {
    std::string cut = dir.File("cut.eaw");
    WriteFile(cut, std::string(100, '\x02'));
    EXPECT_EQ(Shell(kKorvat + " approach " + cut + " " + dir.File("out.eaw") + " 2> " +
                    dir.File("err.txt")),
              1);
    std::string err = ReadFile(dir.File("err.txt"));
    EXPECT_NE(err.find(cut + ": message 4060"), std::string::npos) << err;
    EXPECT_NE(err.find("[code -431]"), std::string::npos) << err;
    EXPECT_EQ(ReadFile(cut).size(), 100u) << "the user's file stays as it was";
}

}  // namespace
}  // namespace korvat::test
