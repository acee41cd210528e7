// Under the Xvfb fixture: the practice exam's start window and confirmation on the demo test,
// and a smoke test that starts Oskavane itself.
#include <gtest/gtest.h>

#include "builds/exam/exam_disclaimer.h"
#include "builds/exam/exam_start_window.h"
#include "tests/app/x11_helpers.h"
#include "tests/builds/exam_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

class X11ExamStartTest : public ExamTest {};

TEST_F(X11ExamStartTest, TheStartWindowAndTheConfirmationOnTheDemoTest) {
  CopyDemo(folder());
  CreateWindows();
  exam::TStartUp& start = *exam_context().ExamStartUp();
  ASSERT_TRUE(ShowAndActivate(&start));
  SaveScreenshot(&start, "exam_start_window.png");
  EXPECT_EQ(start.size(), QSize(629, 431));
  EXPECT_EQ(start.windowTitle(), "Tarvo Oskavane");
  EXPECT_NE(start.VexaLabel1->Caption(), "VexaLabel1") << "the test name was not read";
  EXPECT_TRUE(start.Memo2->toPlainText().startsWith("This exam will present "));
  EXPECT_FALSE(start.Logo1->pixmap().isNull());

  start.NextBtn->click();
  exam::TDisclaimer& confirmation = *exam_context().ExamDisclaimer();
  ASSERT_TRUE(WaitForActivation(&confirmation));
  SaveScreenshot(&confirmation, "exam_confirmation.png");
  EXPECT_EQ(confirmation.size(), QSize(629, 431));
  EXPECT_EQ(confirmation.Label2->text(), start.VexaLabel1->Caption());
  EXPECT_FALSE(confirmation.Logo1->pixmap().isNull()) << "the logos are loaded on show";
  EXPECT_TRUE(start.isVisible());
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

TEST_F(X11ExamStartTest, OskavaneStartsInItsOwnFolderAndShowsTheStartWindow) {
  CopyDemo(folder());
  const std::unique_ptr<app::TAppContext> build = MakeContext();
  ExpectProgramShowsStartWindow(PX_OSKAVANE, folder(), build->ProgramName(),
                                build->Title().toStdString(), dir_ / "config");
}

}  // namespace
}  // namespace testing_support
