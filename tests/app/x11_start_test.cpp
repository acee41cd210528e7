// Under the Xvfb fixture: screenshots of the splash and the start window on the demo test, and
// a smoke test that starts the program itself in a folder of its own.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include "app/building_test_dlg.h"
#include "app/objective_window.h"
#include "app/splash.h"
#include "app/start_window.h"
#include "tests/app/app_fixture.h"
#include "tests/app/x11_helpers.h"
#include "tests/support/qt_test_main.h"

// After Qt: the X headers define macros that Qt uses as names.
#include <X11/Xlib.h>

namespace testing_support {
namespace {

class X11StartTest : public AppTest {};

TEST_F(X11StartTest, SplashThenTheStartWindowOnTheDemoTest) {
  CopyDemo(folder());
  CreateWindows();
  context_->Splash->show();
  SaveScreenshot(context_->Splash, "app_splash.png");
  EXPECT_EQ(context_->Splash->size(), QSize(257, 98));

  context_->Splash->Timer1Timer();
  EXPECT_TRUE(context_->Splash->isHidden());
  app::TStartUp* start = context_->StartUp;
  SaveScreenshot(start, "app_start_window.png");
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
  app::TDisclaimer* window = context_->ObjectiveWindow();
  ASSERT_TRUE(WaitForActivation(window));
  SaveScreenshot(window, "app_objective_window.png");
  EXPECT_EQ(window->size(), QSize(629, 431));
  EXPECT_GT(window->rsListBox1->Count(), 0) << "the demo test's objectives were listed";
  for (int line = 0; line < window->rsListBox1->Count(); ++line)
    EXPECT_TRUE(window->rsListBox1->Checked(line));
  app::TBuildingTestDlg* dialog = context_->BuildingTestDlg;
  dialog->show();
  SaveScreenshot(dialog, "app_please_wait.png");
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

TEST_F(X11StartTest, TheProgramStartsInItsOwnFolderAndShowsTheStartWindow) {
  CopyDemo(folder());
  // The build's identity: the program's file name and its start window's title.
  const std::unique_ptr<app::TAppContext> build = MakeContext();
  ExpectProgramShowsStartWindow(PX_VELKORIN, folder(), build->ProgramName(),
                                build->Title().toStdString(), dir_ / "config");
}

}  // namespace
}  // namespace testing_support
