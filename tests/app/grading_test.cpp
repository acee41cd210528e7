// Grading through the program's own windows: a test built by the draw, the user's answers
// stored as the question window stores them, then GradeTest: the score on the scale of 0 to
// 1000, the meters, the grade, the objective analysis, and the windows shown and hidden.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <map>

#include "app/item_review_window.h"
#include "app/question_window.h"
#include "app/results_window.h"
#include "app/test_controller.h"
#include "platform/gui/text.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

using platform::gui::QStringToAnsi;

class GradingTest : public AppTest {
 protected:
  app::TControlForm& Control() { return *context_->ControlForm; }
  app::TResults& Results() { return *context_->Results; }

  // A program of its own (the one before gone) on a test of `n` questions of one objective,
  // each with the correct answer "A"; the first `right` answered "A", the others "B"; graded.
  void GradeOneObjective(int n, int right) {
    context_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TestDefinition def;
    def.questions = std::to_string(n);
    def.write_scores = "0";
    GradingOpenTest("t", def,
                    std::vector(static_cast<size_t>(n), QuestionRow("Objective one", "A")));
    GradingStartTest(n);
    int given = 0;
    GradingStoreAnswers(
        n, [&](const std::string&, const std::string&) { return given++ < right ? "A" : "B"; });
    Control().GradeTest();
  }

  std::vector<std::string> AnalysisLines() {
    std::vector<std::string> lines;
    for (int i = 0; i < Results().ObjectiveAnalysisList->count(); ++i)
      lines.push_back(QStringToAnsi(Results().ObjectiveAnalysisList->item(i)->text()));
    return lines;
  }
};

TEST_F(GradingTest, TheScoreMetersAndGradeFollowTheSixByteRealPoints) {
  // The points per question are 1000 / n as a 6-byte real keeps it, the product is taken in
  // extended precision and both roundings go to the even neighbour.
  const struct {
    int n, right;
    const char* score;
    int meter;
    const char* grade;
    const char* what;
  } cases[] = {
      {16, 1, "62", 6, "Fail", "62.5 goes to the even neighbour"},
      {16, 3, "188", 19, "Fail", "187.5 goes to the even neighbour"},
      {48, 3, "63", 6, "Fail", "the stored points make 62.5 slightly larger"},
      {48, 15, "313", 31, "Fail", "a double quotient gives 312"},
      {112, 21, "187", 19, "Fail", "a double quotient gives 188"},
      {200, 149, "745", 74, "Pass", "74.5 goes to 74"},
      {200, 151, "755", 76, "Pass", "75.5 goes to 76"},
      {200, 141, "705", 70, "Pass", "70.5 goes to 70: the pass mark in whole percentages"},
      {200, 139, "695", 70, "Pass", "695 passes a pass mark of 700"},
      {500, 347, "694", 69, "Fail", "694 fails it"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    GradeOneObjective(c.n, c.right);
    EXPECT_EQ(Results().UserScore->text(), c.score);
    EXPECT_EQ(Results().UserScoreGauge->Percent(), c.meter);
    EXPECT_EQ(Results().RequiredScoreGauge->Percent(), 70);
    EXPECT_EQ(Results().PassingScore->text(), "700");
    EXPECT_EQ(Results().Grade->text(), c.grade);
  }
}

TEST_F(GradingTest, EachTestedObjectiveGetsOneAlignedAnalysisLine) {
  const std::string ten = "Objective3";
  const std::string sixty(60, 'N');  // the longest objective text the table holds
  // name, questions, right, the expected line
  const struct {
    std::string name;
    int questions, right;
    std::string line;
  } objectives[] = {
      {"Obj A", 8, 1, " 1. Obj A" + std::string(64, '.') + "12% Correct"},
      {"Obj B", 8, 3, " 2. Obj B" + std::string(64, '.') + "38% Correct"},
      {ten, 3, 1, " 3. " + ten + std::string(59, '.') + "33% Correct"},
      {"Obj D", 3, 2, " 4. Obj D" + std::string(64, '.') + "67% Correct"},
      {"Obj E", 200, 199, " 5. Obj E" + std::string(63, '.') + "100% Correct"},
      {"Obj F", 40, 23, " 6. Obj F" + std::string(64, '.') + "58% Correct"},
      {"Obj G", 200, 59, " 7. Obj G" + std::string(64, '.') + "29% Correct"},
      {"Obj H", 200, 109, " 8. Obj H" + std::string(64, '.') + "54% Correct"},
      {"Obj I", 0, 0, ""},  // no questions: no line
      {"Obj J", 20, 1, "10. Obj J" + std::string(65, '.') + "5% Correct"},
      {sixty, 2, 2, "11. " + sixty + std::string(8, '.') + "100% Correct"},
  };
  TestDefinition def;
  std::vector<samples::QuestionRecord> rows;
  std::map<std::string, int> wanted;
  def.objectives.clear();
  for (const auto& o : objectives) {
    def.objectives.push_back(o.name);
    for (int i = 0; i < o.questions; ++i) rows.push_back(QuestionRow(o.name, "C"));
    wanted[o.name] = o.right;
  }
  def.questions = std::to_string(rows.size());
  def.write_scores = "0";
  GradingOpenTest("t", def, rows);
  GradingStartTest(static_cast<int>(rows.size()));
  GradingStoreAnswers(static_cast<int>(rows.size()),
                      [&](const std::string& objective, const std::string&) {
                        return wanted[objective]-- > 0 ? "C" : "";
                      });
  Control().GradeTest();

  std::vector<std::string> expected;
  for (const auto& o : objectives) {
    if (!o.line.empty()) expected.push_back(o.line);
  }
  EXPECT_EQ(AnalysisLines(), expected);
  for (const std::string& line : AnalysisLines()) EXPECT_EQ(line.size(), 84u) << line;
  EXPECT_EQ(Control().ObjectiveTotal[2], 3);
  EXPECT_EQ(Control().ObjectiveCorrect[2], 1);
  EXPECT_EQ(Control().ObjectiveTotal[8], 0);
  EXPECT_EQ(Control().ObjectivePercent(9), 0);
}

TEST(AnalysisLineTest, TheFillKeepsThePercentagesInOneColumn) {
  const std::string ten = "Objective3";
  const struct {
    int k;
    std::string name;
    int percent;
    std::string line;
  } cases[] = {
      {3, ten, 5, " 3. " + ten + std::string(60, '.') + "5% Correct"},
      {3, ten, 33, " 3. " + ten + std::string(59, '.') + "33% Correct"},
      {3, ten, 100, " 3. " + ten + std::string(58, '.') + "100% Correct"},
      {30, ten, 0, "30. " + ten + std::string(60, '.') + "0% Correct"},
      {1, std::string(69, 'x'), 50, " 1. " + std::string(69, 'x') + "50% Correct"},
      {1, std::string(68, 'x'), 100, " 1. " + std::string(68, 'x') + "100% Correct"},
      {1, std::string(70, 'x'), 100, " 1. " + std::string(70, 'x') + "100% Correct"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(app::TControlForm::AnalysisLine(c.k, c.name, c.percent), c.line) << c.line;
}

TEST_F(GradingTest, OnlyReachedQuestionsAreGradedAndTheScoreDividesByTheTestLength) {
  // Half of the questions have no correct answer: left blank, they are correct.
  std::vector<samples::QuestionRecord> rows;
  for (int i = 0; i < 30; ++i) rows.push_back(QuestionRow("Objective one", i % 2 ? "BD" : ""));
  TestDefinition def;
  def.questions = "30";
  def.write_scores = "0";
  GradingOpenTest("t", def, rows);
  GradingStartTest(30);
  int stored = 0;
  // Question 1 wrong; the rest of the 20 reached ones right ("BD" padded to "BD   ").
  GradingStoreAnswers(20, [&](const std::string&, const std::string& correct) {
    return ++stored == 1 ? std::string("A") : correct;
  });
  ASSERT_EQ(Control().userAnswers.Count(), 21);

  context_->ItemReview->show();
  ASSERT_TRUE(context_->Questions->isVisible());
  ASSERT_TRUE(context_->Questions->Timer1->isActive());
  Control().GradeTest();
  EXPECT_FALSE(context_->Questions->Timer1->isActive());
  EXPECT_FALSE(context_->Test.TestRunning);
  EXPECT_EQ(Control().ObjectiveTotal[0], 20);
  EXPECT_EQ(Control().ObjectiveCorrect[0], 19);
  // 19 x 1000 / 30 = 633.3
  EXPECT_EQ(Results().UserScore->text(), "633");
  EXPECT_EQ(Results().Grade->text(), "Fail");
  EXPECT_TRUE(Results().isVisible());
  EXPECT_FALSE(context_->Questions->isVisible());
  EXPECT_FALSE(context_->ItemReview->isVisible());
  EXPECT_TRUE(WaitForActivation(context_->Results));
}

TEST_F(GradingTest, ADuplicateObjectiveNameKeepsTheNumbersAlignedWithTheQuestions) {
  TestDefinition def;
  def.objectives = {"Twice", "Once", "Twice"};
  def.questions = "4";
  def.write_scores = "0";
  GradingOpenTest("t", def, std::vector(4, QuestionRow("Twice", "A")));
  GradingStartTest(4);
  // Every question right; the last one's objective text names no objective.
  GradingStoreAnswers(4, [](const std::string&, const std::string&) { return "A"; });
  const char* texts[] = {"Twice", "Once", "Twice", "Nowhere"};
  for (int i = 1; i <= 4; ++i) Control().Objective.Set(i, texts[i - 1]);
  Control().GradeTest();
  EXPECT_EQ(Control().ObjectiveNo.Entries(), (std::vector<std::string>{"0", "1", "2", "1", "0"}));
  EXPECT_EQ(Control().ObjectiveTotal[0], 2);
  EXPECT_EQ(Control().ObjectiveTotal[1], 1);
  EXPECT_EQ(Control().ObjectiveTotal[2], 0);
  EXPECT_EQ(Control().ObjectiveCorrect[0], 2);
  EXPECT_EQ(Control().ObjectiveCorrect[1], 1);
  EXPECT_EQ(Results().UserScore->text(), "750") << "the unmatched question counts as wrong";
}

}  // namespace
}  // namespace testing_support
