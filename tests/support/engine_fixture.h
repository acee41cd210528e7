// Base fixture for engine tests: a fresh temporary folder, the engine reset to its start
// values, the real free-space reading, and halting switched off so that failures leave the
// error state for the test.
#pragma once

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/error.h"
#include "platform/core/paths.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearTestDiskFreeBytes();
    engine::ResetEngine();
    engine::AbortOnError = false;
  }
  void TearDown() override {
    engine::ResetEngine();
    platform::ClearTestDiskFreeBytes();
  }

  TempDir dir_;
};

}  // namespace testing_support
