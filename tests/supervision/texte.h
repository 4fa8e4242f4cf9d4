// The supervisor's tests read their operator texts from golden/texte.txt (plain ASCII).
#pragma once

#include <gtest/gtest.h>

#include "common/fxtexte.h"

namespace korvat::test {

class Texte : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_GT(LadeTextDatei(KORVAT_TEST_DIR "/golden/texte.txt"), 0) << TextDateiMeldung();
    }
    void TearDown() override { LadeTextDatei(nullptr); }
};

}  // namespace korvat::test
