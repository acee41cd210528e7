// The application frame: releasing a window, the wait cursor, Escape and close in our dialogs,
// the random seed from the UTC clock and the program's generator.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTest>

#include "app/objective_window.h"
#include "app/question_selector.h"
#include "app/random.h"
#include "app/start_window.h"
#include "app/window_support.h"
#include "engine/engine.h"
#include "platform/core/clock.h"
#include "platform/gui/application.h"
#include "platform/gui/services.h"
#include "tests/app/app_fixture.h"

namespace testing_support {
namespace {

class FrameTest : public AppTest {};

TEST_F(FrameTest, AReleasedWindowLeavesItsSlotAtOnceAndIsDeletedOnceLater) {
  for (bool context_first : {false, true}) {
    CreateWindows();
    QPointer<QWidget> selector = context_->QSelector;
    context_->Release(selector);
    EXPECT_EQ(context_->QSelector, nullptr);
    EXPECT_FALSE(selector.isNull()) << "deleted only once control is back in the loop";
    context_->Release(selector);  // no longer the context's: nothing happens
    if (context_first) context_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(selector.isNull());
    context_.reset();  // the context does not delete it a second time
    engine::ResetEngine();
  }
}

TEST_F(FrameTest, TheHourglassSetTwiceIsRestoredOnce) {
  app::THourglass::Set();
  app::THourglass::Set();
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  app::THourglass::Restore();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(app::THourglass::IsSet());
  app::THourglass::Restore();  // nothing to restore
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FrameTest, EscapeClosesNoDialogAndClosingTheObjectiveWindowShowsTheStartWindow) {
  OpenTest({}, QuestionRows("Objective one", 3));
  QTest::keyClick(context_->StartUp, Qt::Key_Escape);
  EXPECT_TRUE(context_->StartUp->isVisible());
  OpenObjectiveWindow();
  EXPECT_TRUE(context_->StartUp->isHidden());
  QTest::keyClick(context_->ObjectiveWindow()->NumberOfQuestions, Qt::Key_Escape);
  QTest::keyClick(context_->Disclaimer, Qt::Key_Escape);
  EXPECT_TRUE(context_->Disclaimer->isVisible());
  context_->Disclaimer->close();
  EXPECT_TRUE(context_->Disclaimer->isHidden());
  EXPECT_TRUE(context_->StartUp->isVisible());
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

TEST(RandomSeedTest, TheSeedIsTheUtcTimeOfDayInMilliseconds) {
  platform::SetTestUtcNow({2026, 5, 4, 0, 13, 45, 30, 250});
  platform::SetTestNow({2026, 5, 4, 0, 15, 45, 30, 250});
  EXPECT_EQ(platform::gui::ClockRandomSeed(), 49530250u);
  platform::SetTestUtcNow({2026, 5, 4, 0, 23, 59, 59, 999});
  EXPECT_EQ(platform::gui::ClockRandomSeed(), 86399999u);
  platform::ClearTestUtcNow();
  platform::ClearTestNow();
}

TEST_F(FrameTest, TheGeneratorFollowsItsConstants) {
  app::TAppContext context;
  services_->set_random_seed(12345);
  app::Randomize();
  EXPECT_EQ(context.Test.Seed, 12345u);
  std::vector<int32_t> draws;
  for (int i = 0; i < 5; ++i) draws.push_back(app::Random(100));
  EXPECT_EQ(draws, (std::vector<int32_t>{38, 28, 7, 55, 63}));
  context.Test.Seed = 12345;
  EXPECT_EQ(app::Random(0), 0);
  EXPECT_EQ(context.Test.Seed, 1655067934u);
  EXPECT_EQ(services_->CallsOf("RandomSeed").size(), 1u);
}

}  // namespace
}  // namespace testing_support
