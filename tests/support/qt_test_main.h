// The main of every Qt test executable. It creates the application object for the process
// (not in a death-test child, whose death-test statement makes its own with QtApp(), nor when
// only listing tests), installs strict test services as the process-wide default, and makes
// an unscripted box or dialog fail the running test. Under the Xvfb fixture it takes DISPLAY
// from the fixture's display file. Death tests run in the threadsafe style.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "platform/gui/activation.h"
#include "platform/gui/application.h"
#include "platform/gui/test_services.h"

namespace testing_support {

inline std::unique_ptr<platform::gui::Application>& QtAppHolder() {
  static std::unique_ptr<platform::gui::Application> app;
  return app;
}

// The process's application object, made on first use.
inline platform::gui::Application& QtApp() {
  auto& app = QtAppHolder();
  if (!app) {
    static int argc = 1;
    static char name[] = "qt_test";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<platform::gui::Application>(argc, argv);
  }
  return *app;
}

// The folder for files a test keeps for inspection (screenshots), ending with "/".
inline std::string ArtefactDir() {
  const char* dir = ::getenv("PX_ARTEFACT_DIR");
  std::string path = dir && *dir ? dir : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

// Processes events until the activation due for `window` (shown by the caller) has run; false
// when it has not within `milliseconds`.
inline bool WaitForActivation(QWidget* window, int milliseconds = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (platform::gui::ActivationPending(window)) {
    if (timer.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Shows `window` and waits for its activation (its show handler has run by then too).
inline bool ShowAndActivate(QWidget* window) {
  window->show();
  return WaitForActivation(window);
}

// Sets DISPLAY from the Xvfb fixture's display file when PX_XVFB_DISPLAY_FILE names one;
// makes offscreen the platform when none is set. False when the display file cannot be read.
inline bool SetUpQtPlatform() {
  const char* file = ::getenv("PX_XVFB_DISPLAY_FILE");
  if (file && *file) {
    std::ifstream in(file);
    std::string display;
    in >> display;
    if (display.empty()) {
      std::fprintf(stderr, "No Xvfb display in %s (is the xvfb fixture running?)\n", file);
      return false;
    }
    ::setenv("DISPLAY", display.c_str(), 1);
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  return true;
}

inline int RunQtTests(int argc, char** argv) {
  bool death_child = false;
  bool listing = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--gtest_internal_run_death_test", 31) == 0) death_child = true;
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) listing = true;
  }
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
  if (listing) return RUN_ALL_TESTS();
  if (!SetUpQtPlatform()) return 1;
  platform::gui::TestServices::SetFailureHandler(
      [](const std::string& message) { ADD_FAILURE() << message; });
  int result;
  {
    platform::gui::TestServices strict_default;
    if (!death_child) QtApp();
    result = RUN_ALL_TESTS();
    QtAppHolder().reset();
  }
  return result;
}

}  // namespace testing_support

#define PX_QT_TEST_MAIN \
  int main(int argc, char** argv) { return ::testing_support::RunQtTests(argc, argv); }
