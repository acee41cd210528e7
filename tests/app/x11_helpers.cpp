#include "tests/app/x11_helpers.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/support/demo_copy.h"
#include "tests/support/processes.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/x_desktop.h"

namespace testing_support {

void CopyDemo(const std::string& folder) { CopyDemoFolder(PX_DEMO_DIR, folder); }

void SaveScreenshot(QWidget* window, const char* name) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  QCoreApplication::processEvents();
  const QImage shot = window->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ArtefactDir() + name)));
}

std::vector<std::string> VisibleWindowSizes(const std::string& name) {
  QProcess search;
  search.start("xdotool", {"search", "--onlyvisible", "--name", QString::fromStdString(name)});
  search.waitForFinished(5000);
  std::vector<std::string> sizes;
  for (const QString& id :
       QString(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
    QProcess geometry;
    geometry.start("xdotool", {"getwindowgeometry", id});
    geometry.waitForFinished(5000);
    const QString out = geometry.readAllStandardOutput();
    const qsizetype at = out.indexOf("Geometry: ");
    if (at >= 0) sizes.push_back(out.mid(at + 10).section('\n', 0, 0).trimmed().toStdString());
  }
  return sizes;
}

pid_t StartProgram(ChildProcesses& children, const std::string& program, const std::string& config,
                   unsigned alarm_seconds) {
  return children.Start(
      [&] {
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        // From another folder: the program finds its test through its own path.
        if (::chdir("/") != 0) return 126;
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        return 127;
      },
      alarm_seconds);
}

void ExpectProgramShowsStartWindow(const std::string& built, const std::string& folder,
                                   const std::string& program_name, const std::string& title,
                                   const std::string& config) {
  const std::string program = folder + program_name;
  std::filesystem::copy_file(built, program);
  ChildProcesses children;
  const pid_t pid = StartProgram(children, program, config, 60);
  ASSERT_GT(pid, 0);
  bool shown = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
  while (!shown && std::chrono::steady_clock::now() < deadline) {
    for (const std::string& size : VisibleWindowSizes("^" + title + "$")) {
      shown |= size == "629x431";
    }
    if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  EXPECT_TRUE(shown) << "no visible start window of " << program_name << " within the deadline";
  children.Kill(pid);
  EXPECT_EQ(children.Wait(pid), -1) << "the program ended on its own";
}

ProgramRun::ProgramRun(const std::string& built, const std::string& test_folder,
                       const std::string& name, const std::string& config)
    : folder(test_folder) {
  CopyDemo(folder);
  const std::string program = folder + name;
  std::filesystem::copy_file(built, program);
  before = Snapshot(folder);
  pid = StartProgram(children, program, config, 110);
}

std::string ProgramRun::FolderChanges() const { return SnapshotChanges(before, Snapshot(folder)); }

std::string ScoreFileText(const std::string& config) {
  std::string text;
  if (!std::filesystem::exists(config)) return text;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(config)) {
    if (entry.path().extension() != ".ini") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    text.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  return text;
}

std::string StartTestThroughX(const std::string& title, const std::vector<int>& rows, int questions,
                              const std::function<void(const char*)>& shot) {
  const std::string start = WaitForWindow(title);
  if (start.empty()) {
    ADD_FAILURE() << "no start window";
    return "";
  }
  shot("start");
  ClickAt(start, 576, 408);  // Next
  const std::string objectives = WaitForWindow(title, start);
  if (objectives.empty()) {
    ADD_FAILURE() << "no objective window";
    return "";
  }
  ClickAt(objectives, 174, 379);                                 // Select None
  for (int row : rows) ClickAt(objectives, 24, 140 + 16 * row);  // the row's box
  ClickAt(objectives, 571, 143);                                 // Number of Questions
  PressKeys({"ctrl+a", "BackSpace"});
  TypeText(std::to_string(questions));
  shot("objectives");
  ClickAt(objectives, 566, 387);  // Start Test
  const std::string first = WaitForWindow("Item 1 of " + std::to_string(questions));
  if (first.empty()) {
    ADD_FAILURE() << "Start Test showed no first item";
    return "";
  }
  if (!WaitUntilGone("Please Wait")) ADD_FAILURE() << "the wait dialog stays";
  return first;
}

}  // namespace testing_support
