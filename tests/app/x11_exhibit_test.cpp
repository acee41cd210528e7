// Under the Xvfb fixture, on the demo test: screenshots of the exhibit window with its text and
// its picture exhibit, and the demo's program exhibit started by the real services.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/exhibit_window.h"
#include "app/start_window.h"
#include "platform/gui/qt_services.h"
#include "tests/app/app_fixture.h"
#include "tests/app/x11_helpers.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;

// The ids of the visible windows whose title matches the pattern `name`.
QStringList VisibleWindows(const char* name) {
  QProcess search;
  search.start("xdotool", {"search", "--onlyvisible", "--name", name});
  search.waitForFinished(5000);
  return QString(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

class X11ExhibitTest : public AppTest {
 protected:
  void OpenDemo() {
    CopyDemo(folder());
    CreateWindows();
    ASSERT_TRUE(ShowAndActivate(context_->StartUp));
  }
};

TEST_F(X11ExhibitTest, ShowsTheDemosTextAndPictureExhibits) {
  OpenDemo();
  app::TExhibitWnd* w = context_->ExhibitWnd;
  const int32_t text = ExhibitRecordNamed("routing_table.txt");
  const int32_t picture = ExhibitRecordNamed("office_network.bmp");
  ASSERT_GT(text, 0);
  ASSERT_GT(picture, 0);

  ASSERT_TRUE(ExhibitShow(text));
  EXPECT_TRUE(w->Memo1->isVisible());
  EXPECT_TRUE(w->Memo1->toPlainText().startsWith(
      "Routing table of router R1 \u2013 Z\u00FCrich branch office\n"));
  SaveScreenshot(w, "app_exhibit_text.png");

  w->hide();
  ASSERT_TRUE(ExhibitShow(picture));
  EXPECT_TRUE(w->Memo1->isHidden());
  EXPECT_TRUE(w->Image1->isVisible());
  EXPECT_EQ(w->Image1->size(), QSize(600, 440));
  SaveScreenshot(w, "app_exhibit_picture.png");
  EXPECT_TRUE(services_->calls().empty()) << "no box, nothing started";
}

TEST_F(X11ExhibitTest, StartsTheDemosProgramExhibitInTheExhibitFolder) {
  OpenDemo();
  const int32_t record = ExhibitRecordNamed("demo.exe");
  ASSERT_GT(record, 0);
  ASSERT_TRUE(VisibleWindows("^Help Desk Ticket$").isEmpty());
  platform::gui::QtServices real;
  platform::gui::Services* before = platform::gui::Services::SetCurrent(&real);
  const bool shown = ExhibitShow(record);
  platform::gui::Services::SetCurrent(before);
  ASSERT_TRUE(shown);

  QStringList windows;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while ((windows = VisibleWindows("^Help Desk Ticket$")).isEmpty() &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(windows.size(), 1) << "the program's window did not come up";
  QProcess query;
  query.start("xdotool", {"getwindowpid", windows[0]});
  query.waitForFinished(5000);
  const pid_t pid = QString(query.readAllStandardOutput()).trimmed().toInt();
  ASSERT_GT(pid, 1);
  std::error_code ec;
  EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd", ec).string(),
            folder() + "EX30125");
  ::kill(pid, SIGTERM);
  const auto end_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!VisibleWindows("^Help Desk Ticket$").isEmpty() &&
         std::chrono::steady_clock::now() < end_deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(VisibleWindows("^Help Desk Ticket$").isEmpty()) << "the program did not end";
}

}  // namespace
}  // namespace testing_support
