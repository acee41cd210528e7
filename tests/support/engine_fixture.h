// Base fixture for engine tests: a fresh temporary folder, the engine reset to its start
// values, and halting switched off so that failures leave the error state for the test.
#pragma once

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/error.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine::ResetEngine();
    engine::AbortOnError = false;
  }
  void TearDown() override { engine::ResetEngine(); }

  TempDir dir_;
};

}  // namespace testing_support
