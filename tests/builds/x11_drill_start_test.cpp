// Under the Xvfb fixture: the drill's start window on the demo test, the main routine's
// arguments with Qt's own options, and a smoke test that starts Drumelle itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QStyle>
#include <cstdio>

#include "app/artwork.h"
#include "app/objective_window.h"
#include "app/program_main.h"
#include "app/splash.h"
#include "app/start_window.h"
#include "builds/drill/drill_start_window.h"
#include "platform/gui/application.h"
#include "tests/app/x11_helpers.h"
#include "tests/builds/drill_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

class X11DrillStartTest : public DrillTest {};

TEST_F(X11DrillStartTest, TheStartWindowOnTheDemoTest) {
  CopyDemo(folder());
  CreateWindows();
  auto& start = static_cast<drill::TStartUp&>(*context_->StartUp);
  ASSERT_TRUE(ShowAndActivate(&start));
  SaveScreenshot(&start, "drill_start_window.png");
  EXPECT_EQ(start.size(), QSize(629, 431));
  EXPECT_EQ(start.windowTitle(), "Drumelle");
  EXPECT_NE(start.GroupBox1->title(), "VexaLabel1") << "the test name was not read";
  EXPECT_TRUE(start.Image3->isVisible());
  EXPECT_FALSE(start.Image1->isVisible());
  // The splash's and the start panel's logos carry the drill's name.
  const QImage drumelle = app::ProgramLogo(start.Image2->size(), "Drumelle").toImage();
  EXPECT_EQ(start.Image2->pixmap().toImage(), drumelle);
  EXPECT_NE(app::ProgramLogo(start.Image2->size(), "Velkorin").toImage(), drumelle);
  const QSize splash_logo = context_->Splash->Image2->size();
  EXPECT_EQ(context_->Splash->Image2->pixmap().toImage(),
            app::ProgramLogo(splash_logo, "Drumelle").toImage());
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

// The program's own start: the application object takes -platform and -style, and the one
// objective number left checks only that objective. Runs in a child, which makes its own
// application object from these arguments.
TEST_F(X11DrillStartTest, QtOptionsAreNoArgumentsAndOneNumberChecksOnlyItsObjective) {
  TestDefinition def;
  def.objectives = {"One", "Two", "Three"};
  WriteTestDefinition(folder() + "t.ini", def);
  WriteQuestionTable(folder() + "t.dbf", QuestionRows("Two", 3));
  auto start = [this] {
    static char a0[] = "Drumelle", a1[] = "-platform", a2[] = "xcb", a3[] = "-style",
                a4[] = "fusion", a5[] = "2";
    static char* argv[] = {a0, a1, a2, a3, a4, a5, nullptr};
    static int argc = 6;
    platform::gui::Application application(argc, argv);
    context_ = app::MakeProgramContext([this] { return MakeContext(); });
    std::fprintf(stderr, "arguments [%s] style %s\n",
                 context_->Arguments.join(',').toUtf8().constData(),
                 QApplication::style()->name().toUtf8().constData());
    ShowAndActivate(context_->StartUp);
    OpenObjectiveWindow();
    const components::TrsListBox& list = *context_->ObjectiveWindow()->rsListBox1;
    std::fprintf(stderr, "checked %d%d%d title %s\n", list.Checked(0), list.Checked(1),
                 list.Checked(2), context_->Disclaimer->windowTitle().toUtf8().constData());
    std::fflush(stderr);
    ::_exit(0);
  };
  EXPECT_EXIT(start(), ::testing::ExitedWithCode(0),
              "arguments \\[2\\] style fusion\nchecked 010 title Drumelle");
}

TEST_F(X11DrillStartTest, DrumelleStartsInItsOwnFolderAndShowsTheStartWindow) {
  CopyDemo(folder());
  const std::unique_ptr<app::TAppContext> build = MakeContext();
  ExpectProgramShowsStartWindow(PX_DRUMELLE, folder(), build->ProgramName(),
                                build->Title().toStdString(), dir_ / "config");
}

}  // namespace
}  // namespace testing_support
