// The main of every test executable: death tests run in the threadsafe style.
#pragma once

#include <gtest/gtest.h>

#define PX_TEST_MAIN                                         \
  int main(int argc, char** argv) {                          \
    ::testing::InitGoogleTest(&argc, argv);                  \
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";  \
    return RUN_ALL_TESTS();                                  \
  }
