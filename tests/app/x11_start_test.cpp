// Under the Xvfb fixture: screenshots of the splash and the start window on the demo test, and
// a smoke test that starts the program itself in a folder of its own.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/building_test_dlg.h"
#include "app/objective_window.h"
#include "app/splash.h"
#include "app/start_window.h"
#include "tests/app/app_fixture.h"
#include "tests/support/processes.h"
#include "tests/support/qt_test_main.h"

// After Qt: the X headers define macros that Qt uses as names.
#include <X11/Xlib.h>

namespace testing_support {
namespace {

// Copies the demo test's files into `folder`.
void CopyDemo(const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(PX_DEMO_DIR)) {
    std::filesystem::copy(entry.path(), folder + entry.path().filename().string(),
                          std::filesystem::copy_options::recursive);
  }
}

void Save(QWidget* window, const char* name) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  QCoreApplication::processEvents();
  const QImage shot = window->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ArtefactDir() + name)));
}

class X11StartTest : public AppTest {};

TEST_F(X11StartTest, SplashThenTheStartWindowOnTheDemoTest) {
  CopyDemo(folder());
  CreateWindows();
  context_->Splash->show();
  Save(context_->Splash, "app_splash.png");
  EXPECT_EQ(context_->Splash->size(), QSize(257, 98));

  context_->Splash->Timer1Timer();
  EXPECT_TRUE(context_->Splash->isHidden());
  app::TStartUp* start = context_->StartUp;
  Save(start, "app_start_window.png");
  EXPECT_EQ(start->size(), QSize(629, 431));
  EXPECT_FALSE(start->GroupBox1->title().isEmpty());
  EXPECT_NE(start->GroupBox1->title(), "VexaLabel1") << "the test name was not read";
  EXPECT_FALSE(start->Logo1->pixmap().isNull());
  EXPECT_TRUE(start->Logo3->pixmap().isNull()) << "the demo test has no third logo";
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

TEST_F(X11StartTest, TheObjectiveWindowAndThePleaseWaitDialogOnTheDemoTest) {
  CopyDemo(folder());
  CreateWindows();
  ASSERT_TRUE(ShowAndActivate(context_->StartUp));
  context_->StartUp->NextBtnClick();
  app::TDisclaimer* window = context_->Disclaimer;
  ASSERT_TRUE(WaitForActivation(window));
  Save(window, "app_objective_window.png");
  EXPECT_EQ(window->size(), QSize(629, 431));
  EXPECT_GT(window->rsListBox1->Count(), 0) << "the demo test's objectives were listed";
  for (int line = 0; line < window->rsListBox1->Count(); ++line)
    EXPECT_TRUE(window->rsListBox1->Checked(line));
  app::TBuildingTestDlg* dialog = context_->BuildingTestDlg;
  dialog->show();
  Save(dialog, "app_please_wait.png");
  EXPECT_EQ(dialog->windowTitle(), "Please Wait");
  dialog->hide();
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

// Under a window manager, which maps a window only once it has framed it: the start window's
// activation, and with it the box about a missing table, comes once the window is on screen,
// exactly once for each show.
class X11DesktopStartTest : public AppTest {};

TEST_F(X11DesktopStartTest, TheMissingTableBoxStandsOverTheMappedStartWindow) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  WriteTestDefinition(folder() + "t.ini", {});
  CreateWindows();
  app::TStartUp* start = context_->StartUp;
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  std::vector<int> map_states;
  services_->set_box_observer([&](const QString&, QWidget* owner) {
    EXPECT_EQ(owner, start);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, static_cast<Window>(start->winId()), &attributes);
    map_states.push_back(attributes.map_state);
  });
  const char kMissing[] = "Required files cannot be found. Quitting application.";
  for (int show = 1; show <= 2; ++show) {
    SCOPED_TRACE(show);
    services_->AnswerBox(platform::kResultOk, kMissing);
    start->show();
    EXPECT_TRUE(map_states.size() < static_cast<size_t>(show)) << "the box came inside show()";
    EXPECT_TRUE(WaitForActivation(start));
    QTest::qWait(300);  // more exposes and the box's own reactivation bring no second box
    ASSERT_EQ(map_states.size(), static_cast<size_t>(show));
    EXPECT_EQ(map_states.back(), IsViewable);
    EXPECT_TRUE(platform::gui::TerminateRequested());
    platform::gui::ResetTerminateRequest();
    start->hide();
    QTest::qWait(50);
  }
  XCloseDisplay(display);
}

// The geometry of the visible windows named `name`, as xdotool reports them ("WxH" each).
std::vector<std::string> VisibleWindowSizes(const char* name) {
  QProcess search;
  search.start("xdotool", {"search", "--onlyvisible", "--name", name});
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

TEST_F(X11StartTest, TheProgramStartsInItsOwnFolderAndShowsTheStartWindow) {
  CopyDemo(folder());
  const std::string program = folder() + "Velkorin";
  std::filesystem::copy_file(PX_VELKORIN, program);
  const std::string config = dir_ / "config";
  ChildProcesses children;
  const pid_t pid = children.Start(
      [&] {
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        // From another folder: the program finds its test through its own path.
        if (::chdir("/") != 0) return 126;
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        return 127;
      },
      60);
  ASSERT_GT(pid, 0);
  bool shown = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
  while (!shown && std::chrono::steady_clock::now() < deadline) {
    for (const std::string& size : VisibleWindowSizes("^Velkorin$")) shown |= size == "629x431";
    if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  EXPECT_TRUE(shown) << "no visible start window within the deadline";
  children.Kill(pid);
  EXPECT_EQ(children.Wait(pid), -1) << "the program ended on its own";
}

}  // namespace
}  // namespace testing_support
