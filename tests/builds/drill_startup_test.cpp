// The drill build's start-up: the start window's options and status line, the objective
// window's number of questions, the pool of flagged records, the draw's reports, the end when
// nothing is available, and the results window without its missed-questions button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QStyle>
#include <set>

#include "app/building_test_dlg.h"
#include "app/item_review_window.h"
#include "app/objective_window.h"
#include "app/program_main.h"
#include "app/question_selector.h"
#include "app/question_window.h"
#include "app/results_window.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "app/window_support.h"
#include "builds/drill/drill_objective_window.h"
#include "builds/drill/drill_selector.h"
#include "builds/drill/drill_start_window.h"
#include "platform/gui/application.h"
#include "tests/builds/drill_fixture.h"

namespace testing_support {
namespace {

const char kShortfall30[] =
    "A total of 30 questions are available for the objectives that you have selected.";

// A question row of `objective`, flagged for drilling or not.
samples::QuestionRecord Card(const std::string& objective, bool flagged) {
  samples::QuestionRecord row = QuestionRow(objective);
  row.flags["DRUMEL"] = flagged;
  return row;
}

std::vector<samples::QuestionRecord> Cards(const std::string& objective, bool flagged, int n) {
  return std::vector<samples::QuestionRecord>(static_cast<size_t>(n), Card(objective, flagged));
}

// Services that keep the question window's status line at the moment a box shows.
class StatusAtBoxServices : public platform::gui::TestServices {
 public:
  std::vector<QString> status_at_box;

 protected:
  int DoMessageBox(const QString& text, const QString& caption, platform::MessageIcon icon,
                   platform::MessageButtons buttons, QWidget* owner) override {
    status_at_box.push_back(app::Ctx().Questions->StatusBar1->SimpleText());
    return TestServices::DoMessageBox(text, caption, icon, buttons, owner);
  }
};

class DrillStartTest : public DrillTest {
 protected:
  // The test "t" with the objectives "One" and "Two" and `rows`, a flagged filler record last
  // (the walk never reaches it), the objective window shown.
  void Open(std::vector<samples::QuestionRecord> rows, TestDefinition def = {}) {
    def.objectives = {"One", "Two"};
    rows.push_back(Card("One", true));
    OpenTest(def, rows);
    OpenObjectiveWindow();
  }
  // Checks exactly the objectives in `checked` (1-based) and requests `request` questions.
  void Select(const std::set<int>& checked, int request) {
    app::TDisclaimer& window = *context_->ObjectiveWindow();
    for (int line = 0; line < window.rsListBox1->Count(); ++line) {
      window.rsListBox1->SetChecked(line, checked.count(line + 1) > 0);
    }
    window.NumberOfQuestions->setText(QString::number(request));
  }
};

TEST_F(DrillStartTest, TheStartWindowReadsNoWriteScoresAndPreparesTheStatusLine) {
  TestDefinition def;
  def.write_scores = "1";
  def.show_chapter = "0";
  def.format = "Help";
  OpenTest(def, Cards("Objective one", true, 2));
  auto& start = static_cast<drill::TStartUp&>(*context_->StartUp);
  const app::TStartUpValues& v = context_->Values;
  EXPECT_EQ(v.WriteScores, "");
  EXPECT_EQ(start.VexaEdit6->text(), "VexaEdit6") << "Write Scores is never read";
  EXPECT_TRUE(start.VexaEdit6->isHidden());
  EXPECT_EQ(v.BookFormatValue, "Help");
  EXPECT_EQ(v.ShowChapter, "0");
  EXPECT_EQ(v.ShowLinks, "1");
  EXPECT_TRUE(context_->Questions->ShowRefsBtn->isVisibleTo(context_->Questions));
  EXPECT_EQ(v.MinutesLeft, 90);
  EXPECT_EQ(context_->Questions->StatusBar1->SimpleText(), "Time Remaining: 90 minutes");
  EXPECT_EQ(context_->ItemReview->TimeLabel->text(), "Time Remaining: 90 minutes");
  // The drill's header picture in the banner's place.
  EXPECT_TRUE(start.Image1->isHidden());
  EXPECT_TRUE(start.Image3->isVisible());
  EXPECT_EQ(start.Image3->geometry(), start.Image1->geometry());
  EXPECT_FALSE(start.Image3->pixmap().isNull());
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

TEST_F(DrillStartTest, NumberOfQuestionsKeepsTheStartWindowsValueWhenTheDefinitionChanges) {
  TestDefinition def;
  def.questions = "10";
  OpenTest(def, Cards("Objective one", true, 2));
  auto& window = static_cast<drill::TDisclaimer&>(*context_->Disclaimer);
  EXPECT_EQ(window.NumberOfQuestions->text(), "") << "no design-time text";
  // Edited after the start window's activation: only the time limit follows.
  def.questions = "25";
  def.time_limit = "45";
  WriteTestDefinition(folder() + "t.ini", def);
  OpenObjectiveWindow();
  EXPECT_EQ(window.NumberOfQuestions->text(), "10");
  EXPECT_EQ(window.TotalTime->text(), "45");
  EXPECT_TRUE(window.Image1->isHidden());
  EXPECT_FALSE(window.Image3->pixmap().isNull());
  EXPECT_EQ(window.windowTitle(), "Drumelle");
}

TEST_F(DrillStartTest, OnlyFlaggedRecordsOfSelectedObjectivesFillThePools) {
  // Records 1 and 4 are flagged of One, 2 unflagged of One, 3 flagged of Two, 5 unflagged of
  // Two; the flagged filler record 6 is never examined.
  Open({Card("One", true), Card("One", false), Card("Two", true), Card("One", true),
        Card("Two", false)});
  struct Case {
    const char* name;
    std::set<int> selected;
    app::TRecordList one, two;
  } cases[] = {
      {"objective one only", {1}, {1, 4}, {}},
      {"both objectives", {1, 2}, {1, 4}, {3}},
      {"objective two only", {2}, {}, {3}},
  };
  app::TQSelector& selector = *context_->QSelector;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Select(c.selected, 10);
    selector.LoadQuestions();
    EXPECT_EQ(selector.Pools[0], c.one);
    EXPECT_EQ(selector.Pools[1], c.two);
    EXPECT_EQ(selector.TotalAvailable, static_cast<int32_t>(c.one.size() + c.two.size()));
    EXPECT_EQ(selector.ActiveObjectives, (c.one.empty() ? 0 : 1) + (c.two.empty() ? 0 : 1));
  }
}

TEST_F(DrillStartTest, FiftyAskedOfThirtyFlaggedReportsInABoxThenInTheStatusLine) {
  std::vector<samples::QuestionRecord> rows = Cards("One", true, 30);
  const std::vector<samples::QuestionRecord> unflagged = Cards("One", false, 20);
  rows.insert(rows.begin() + 10, unflagged.begin(), unflagged.end());
  Open(rows);
  services_.reset();
  services_ = std::make_unique<StatusAtBoxServices>();
  auto* services = static_cast<StatusAtBoxServices*>(services_.get());
  Select({1, 2}, 50);
  services->AnswerBox(platform::kResultOk, kShortfall30);
  app::TQSelector& selector = *context_->QSelector;
  selector.LoadQuestions();
  selector.PickQuestions();
  EXPECT_EQ(services->CallsOf("MessageBox").size(), 1u);
  // The box comes before the status line has the text, which it gets after the first pass.
  EXPECT_EQ(services->status_at_box, std::vector<QString>{"Time Remaining: 90 minutes"});
  EXPECT_EQ(context_->Questions->StatusBar1->SimpleText(), kShortfall30);
  EXPECT_EQ(context_->Test.QuestionCount, 30);
  ASSERT_EQ(selector.Master2.size(), 30u);
  for (int32_t record : selector.Master2) {
    EXPECT_TRUE(record <= 10 || record > 30) << record << " is not flagged";
  }
}

TEST_F(DrillStartTest, TheWholeStartBuildsThirtyCardsOfTheFlaggedRecords) {
  std::vector<samples::QuestionRecord> rows = Cards("One", true, 30);
  const std::vector<samples::QuestionRecord> unflagged = Cards("Two", false, 5);
  rows.insert(rows.end(), unflagged.begin(), unflagged.end());
  Open(rows);
  Select({1, 2}, 50);
  services_->AnswerBox(platform::kResultOk, kShortfall30);
  context_->ObjectiveWindow()->NextBtn->click();
  EXPECT_EQ(context_->Test.QuestionCount, 30);
  app::TControlForm& control = *context_->ControlForm;
  ASSERT_EQ(control.RecordNo.Count(), 31);
  std::set<int> records;
  for (int i = 1; i <= 30; ++i) records.insert(std::stoi(control.RecordNo[i]));
  EXPECT_EQ(records.size(), 30u);
  EXPECT_EQ(*records.rbegin(), 30);
  EXPECT_TRUE(context_->Test.TestRunning);
  EXPECT_TRUE(context_->Disclaimer->isHidden());
  EXPECT_FALSE(context_->Test.NoQuestionsAvailable);
}

TEST_F(DrillStartTest, NoFlaggedQuestionEndsTheProgramWithOneMessageBeforeTheDraw) {
  Open({Card("One", false), Card("One", false), Card("Two", true)});
  Select({1}, 10);
  const int records_before = context_->ControlForm->RecordNo.Count();
  services_->AnswerBox(platform::kResultOk, drill::kNoQuestionsMessage);
  context_->ObjectiveWindow()->NextBtn->click();
  app::TAppContext& ctx = *context_;
  EXPECT_EQ(services_->CallKinds(), (std::vector<std::string>{"MessageBox", "Quit"}))
      << "one box, the end requested, and no seed taken";
  EXPECT_TRUE(ctx.Test.NoQuestionsAvailable);
  EXPECT_TRUE(platform::gui::TerminateRequested());
  EXPECT_EQ(ctx.Test.QuestionCount, 0);
  EXPECT_EQ(ctx.Test.CurrentItem, 0);
  EXPECT_FALSE(ctx.Test.TestRunning);
  ASSERT_NE(ctx.QSelector, nullptr) << "the selector is kept";
  EXPECT_TRUE(ctx.QSelector->MasterList.empty());
  EXPECT_TRUE(ctx.QSelector->Master2.empty());
  EXPECT_EQ(ctx.ControlForm->RecordNo.Count(), records_before);
  EXPECT_TRUE(ctx.Questions->isHidden());
  EXPECT_TRUE(ctx.Disclaimer->isVisible()) << "the window stays up until the end";
  // The wait stays to the end of the program.
  EXPECT_TRUE(ctx.BuildingTestDlg->isVisible());
  EXPECT_TRUE(app::THourglass::IsSet());
}

TEST_F(DrillStartTest, TheResultsWindowHasNoMissedQuestionsButton) {
  CreateWindows();
  EXPECT_FALSE(context_->Results->ShowMeWhatIMissedBtn->isVisibleTo(context_->Results));
  context_ = AppTest::MakeContext();
  context_->CreateWindows();
  EXPECT_TRUE(context_->Results->ShowMeWhatIMissedBtn->isVisibleTo(context_->Results));
}

}  // namespace
}  // namespace testing_support
