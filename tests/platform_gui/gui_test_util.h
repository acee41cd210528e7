// Helpers of the platform_gui tests.
#pragma once

#include <gtest/gtest.h>
#include <stdio.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/test_services.h"

namespace testing_support {

// Runs a command line and returns what it wrote to stdout.
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

// Quotes a text for the shell's command line.
inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

// Collects the failures TestServices reports while it lives, instead of failing the test.
class CollectServiceFailures {
 public:
  CollectServiceFailures() {
    platform::gui::TestServices::SetFailureHandler(
        [this](const std::string& message) { messages_.push_back(message); });
  }
  ~CollectServiceFailures() {
    platform::gui::TestServices::SetFailureHandler(
        [](const std::string& message) { ADD_FAILURE() << message; });
  }
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  std::vector<std::string> messages_;
};

// Calls `fn` with the active modal widget once a nested event loop shows one.
inline void WithModalWidget(std::function<void(QWidget*)> fn, int tries = 200) {
  QTimer::singleShot(10, [fn, tries] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal) {
      fn(modal);
    } else if (tries > 0) {
      WithModalWidget(fn, tries - 1);
    } else {
      ADD_FAILURE() << "no modal window appeared";
    }
  });
}

}  // namespace testing_support
