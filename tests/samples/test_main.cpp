// The generator draws the book and the pictures with Qt: the tests run with a QGuiApplication
// on the offscreen platform (none is made when only listing the tests).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QGuiApplication>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
  bool listing = false;
  for (int i = 1; i < argc; ++i) listing |= std::strcmp(argv[i], "--gtest_list_tests") == 0;
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
  std::unique_ptr<QGuiApplication> app;
  if (!listing) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  return RUN_ALL_TESTS();
}
