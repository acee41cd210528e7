// The question window's countdown, tick by tick through its handler: the status line, the item
// review's time label, the expiry box and the one grading it leads to.
#include <gtest/gtest.h>

#include "app/item_review_window.h"
#include "app/question_window.h"
#include "app/results_window.h"
#include "app/test_controller.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

constexpr const char* kExpired =
    "The time allocated for this test has expired. Your test will now be graded.";

class CountdownTest : public AppTest {
 protected:
  // A built test of three questions whose select note is "Choose two.", standing on item 1.
  void StartTest() {
    TestDefinition def;
    def.questions = "3";
    def.write_scores = "0";
    samples::QuestionRecord row = QuestionRow("Objective one", "A");
    row.texts["SELECTNOTE"] = "Choose two.";
    GradingOpenTest("t", def, std::vector(3, row));
    GradingStartTest(3);
    GradingStoreAnswers(3, [](const std::string&, const std::string&) { return "A"; });
  }
  app::TQuestions& Questions() { return *context_->Questions; }
  QString Status() { return Questions().StatusBar1->SimpleText(); }
  QString TimeLabel() { return context_->ItemReview->TimeLabel->text(); }
  // How many times the test was graded: each grading appends one objective number per
  // stored question.
  int Gradings() { return (context_->ControlForm->ObjectiveNo.Count() - 1) / 3; }
};

TEST_F(CountdownTest, EachTickLowersTheMinutesAndWritesBothDisplays) {
  StartTest();
  ASSERT_TRUE(Questions().Timer1->isActive());
  EXPECT_EQ(Questions().Timer1->interval(), 60000);
  const struct {
    int before;
    const char* status;
    const char* label;
  } cases[] = {
      {45, "Choose two.  Time remaining: 44 minutes", "Time remaining: 44 minutes"},
      {3, "Choose two.  Time remaining: 2 minutes", "Time remaining: 2 minutes"},
      {2, "Choose two.  Time remaining: 1 minute", "Time remaining: 1 minute"},
  };
  for (const auto& c : cases) {
    context_->Values.MinutesLeft = c.before;
    Questions().Timer1Timer();
    EXPECT_EQ(Status(), c.status) << c.before;
    EXPECT_EQ(TimeLabel(), c.label) << c.before;
    EXPECT_EQ(context_->Values.MinutesLeft, c.before - 1);
  }
  EXPECT_EQ(Gradings(), 0);
  EXPECT_TRUE(Questions().Timer1->isActive());
}

TEST_F(CountdownTest, TheLastMinuteExpiresTheTestAndGradesItOnce) {
  for (const int before : {1, 0}) {
    context_.reset();
    StartTest();
    context_->Values.MinutesLeft = before;
    int boxes = 0;
    services_->AnswerBox(platform::kResultOk, kExpired);
    services_->set_box_observer([&](const QString&, QWidget*) {
      ++boxes;
      EXPECT_EQ(Status(), "Time Expired");
      EXPECT_EQ(Gradings(), 0) << "graded after the box is closed";
      // A tick that arrives while the box is open does nothing.
      Questions().Timer1Timer();
    });
    Questions().Timer1Timer();
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(TimeLabel(), QString("Time remaining: %1 minutes").arg(before - 1));
    EXPECT_EQ(context_->Values.MinutesLeft, before - 1);
    EXPECT_EQ(Gradings(), 1);
    EXPECT_FALSE(Questions().Timer1->isActive());
    EXPECT_TRUE(context_->Results->isVisible());
    services_->set_box_observer(nullptr);
    // Once graded, a tick changes nothing.
    Questions().Timer1Timer();
    EXPECT_EQ(Gradings(), 1);
    EXPECT_EQ(context_->Values.MinutesLeft, before - 1);
  }
}

TEST_F(CountdownTest, GradingStopsTheCountdown) {
  StartTest();
  context_->ControlForm->GradeTest();
  EXPECT_FALSE(Questions().Timer1->isActive());
  context_->Values.MinutesLeft = 1;
  Questions().Timer1Timer();
  EXPECT_EQ(context_->Values.MinutesLeft, 1);
  EXPECT_EQ(Gradings(), 1);
}

TEST_F(CountdownTest, NoTickCountsBeforeTheTestIsBuilt) {
  GradingOpenTest("t", {}, {QuestionRow("Objective one", "A")});
  context_->Values.MinutesLeft = 1;
  const QString status = Status();
  context_->Questions->Timer1Timer();
  EXPECT_EQ(context_->Values.MinutesLeft, 1);
  EXPECT_EQ(Status(), status);
  EXPECT_FALSE(context_->Results->isVisible());
}

}  // namespace
}  // namespace testing_support
