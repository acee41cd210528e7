// Under the Xvfb fixture: a screenshot of the results window after a graded test of the demo
// test.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <filesystem>

#include "app/results_window.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "tests/app/app_fixture.h"
#include "tests/app/x11_helpers.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

class X11ResultsTest : public AppTest {};

TEST_F(X11ResultsTest, TheResultsWindowOfAGradedDemoTest) {
  CopyDemo(folder());
  CreateWindows();
  ASSERT_TRUE(ShowAndActivate(context_->StartUp));
  GradingStartTest(20);
  bool right = false;
  GradingStoreAnswers(20, [&](const std::string&, const std::string& correct) {
    right = !right;
    return right ? correct : std::string("E");
  });
  context_->ControlForm->GradeTest();
  app::TResults* results = context_->Results;
  ASSERT_TRUE(WaitForActivation(results));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(results));
  QCoreApplication::processEvents();
  const QImage shot = results->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ArtefactDir() + "app_results_window.png")));

  EXPECT_EQ(shot.size(), QSize(629, 431));
  EXPECT_GT(results->ObjectiveAnalysisList->count(), 0);
  EXPECT_NE(results->UserScore->text(), "0");
  EXPECT_FALSE(results->Label1->text().isEmpty());
  // The bars in their colours, just inside their frames.
  EXPECT_EQ(shot.pixelColor(112 + 3, 48 + 5), QColor(0, 0, 0x80));
  EXPECT_EQ(shot.pixelColor(112 + 3, 88 + 5), QColor(0x40, 0x80, 0x80));
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

}  // namespace
}  // namespace testing_support
