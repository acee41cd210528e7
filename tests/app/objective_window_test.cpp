// The objective window: its parts, the selection from the program's arguments, the start of the
// test with the controller's lists, and the refusals in place of a broken start.
#include "app/objective_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTest>

#include "app/building_test_dlg.h"
#include "app/question_selector.h"
#include "app/question_window.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "engine/engine.h"
#include "platform/gui/application.h"
#include "tests/app/app_fixture.h"

namespace testing_support {
namespace {

class ObjectiveWindowTest : public AppTest {
 protected:
  app::TDisclaimer& Window() { return *context_->ObjectiveWindow(); }
  app::TControlForm& Control() { return *context_->ControlForm; }
  std::vector<bool> Checks() {
    std::vector<bool> checks;
    for (int line = 0; line < Window().rsListBox1->Count(); ++line)
      checks.push_back(Window().rsListBox1->Checked(line));
    return checks;
  }
  // Start Test pressed as the user does: the handler runs guarded, and a box it shows brings
  // the activation back once control is in the loop again.
  void PressStart() {
    Window().NextBtn->click();
    QCoreApplication::processEvents();
  }
  // Nothing of a start is left behind: no dialog, the normal cursor, the window still there.
  void ExpectNoStart(const std::string& what) {
    EXPECT_TRUE(Window().isVisible()) << what;
    EXPECT_TRUE(context_->BuildingTestDlg->isHidden()) << what;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << what;
    EXPECT_TRUE(context_->Questions->isHidden()) << what;
    EXPECT_NE(context_->QSelector, nullptr) << what;
    EXPECT_FALSE(context_->Test.TestRunning) << what;
  }
};

TEST_F(ObjectiveWindowTest, ThePartsOfTheWindow) {
  TestDefinition def;
  def.name = "Network Basics";
  def.questions = "25";
  def.time_limit = "45";
  def.objectives = {"Cabling", "Routing", "Security"};
  OpenTest(def, QuestionRows("Cabling", 3));
  app::TDisclaimer& w = Window();
  EXPECT_EQ(w.NumberOfQuestions->text(), "100") << "the design text before the activation";
  EXPECT_EQ(w.TotalTime->text(), "120");
  OpenObjectiveWindow();
  EXPECT_EQ(w.windowTitle(), "Velkorin");
  EXPECT_EQ(w.size(), QSize(629, 431));
  EXPECT_TRUE(w.NextBtn->isDefault());
  EXPECT_EQ(w.NextBtn->text(), "&Start Test");
  EXPECT_EQ(w.SelectAllBtn->text(), "Select &All");
  EXPECT_EQ(w.SelectNoneBtn->text(), "Select &None");
  EXPECT_EQ(w.GroupBox1->title(), "Select objectives to be covered by this practice exam: ");
  EXPECT_EQ(w.GroupBox2->title(), "Options");
  EXPECT_EQ(w.GroupBox3->title(), "Instructions");
  EXPECT_EQ(w.Label1->text(), "Number of Questions:");
  EXPECT_EQ(w.Label3->text(), "Time Limit (minutes):");
  EXPECT_EQ(w.RichEdit1->toPlainText(),
            "Select the objectives you wish to \ncover by checking or unchecking \nitems in the "
            "list at left. \n\nOptionally, you can override the \ndefault time limit and number "
            "of \nquestions by entering new values \nin the fields above. To start the \ntest "
            "press the button below.");
  EXPECT_TRUE(w.RichEdit1->isReadOnly());
  EXPECT_EQ(w.rsListBox1->ListStyle(), components::TrsListModel::lsCheckbox);
  EXPECT_TRUE(w.rsListBox1->AutoCheck());
  EXPECT_EQ(w.rsListBox1->Separators(), components::TrsListModel::spNone);
  EXPECT_EQ(w.rsListBox1->ItemHeight(), 16);
  EXPECT_FALSE(w.rsListBox1->HorzScrollBar());
  EXPECT_TRUE(w.VexaListBox1->isHidden());
  // The activation: the objectives all checked, the entries and the name from the definition.
  EXPECT_EQ(w.rsListBox1->Items(), (std::vector<std::string>{"Cabling", "Routing", "Security"}));
  EXPECT_EQ(Checks(), (std::vector<bool>{true, true, true}));
  EXPECT_EQ(w.NumberOfQuestions->text(), "25");
  EXPECT_EQ(w.TotalTime->text(), "45");
  EXPECT_EQ(w.Label2->text(), "Network Basics");
}

TEST_F(ObjectiveWindowTest, ClicksSelectAndClearTheMarksAndTheEntries) {
  TestDefinition def;
  def.objectives = {"One", "Two", "Three"};
  OpenTest(def, QuestionRows("One", 3));
  OpenObjectiveWindow();
  app::TDisclaimer& w = Window();
  w.SelectNoneBtn->click();
  EXPECT_EQ(Checks(), (std::vector<bool>{false, false, false}));
  w.SelectAllBtn->click();
  EXPECT_EQ(Checks(), (std::vector<bool>{true, true, true}));
  // A click toggles the line's mark and leaves no line highlighted.
  const QRect line = w.rsListBox1->visualItemRect(w.rsListBox1->item(1));
  QTest::mouseClick(w.rsListBox1->viewport(), Qt::LeftButton, {}, line.center());
  EXPECT_EQ(Checks(), (std::vector<bool>{true, false, true}));
  EXPECT_EQ(w.rsListBox1->ItemIndex(), -1);
  // A click into an entry selects its whole text, after the caret was placed.
  for (QLineEdit* edit :
       {static_cast<QLineEdit*>(w.NumberOfQuestions), static_cast<QLineEdit*>(w.TotalTime)}) {
    edit->deselect();
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(3, edit->height() / 2));
    EXPECT_EQ(edit->selectedText(), edit->text()) << edit->objectName().toStdString();
  }
}

TEST_F(ObjectiveWindowTest, TheArgumentsSelectTheirObjectivesOnEveryActivation) {
  struct Case {
    QStringList arguments;
    std::vector<bool> checks;
    const char* what;
  } cases[] = {
      {{"2", "5"}, {false, true, false, false, true}, "two objectives"},
      {{"0", "-1", "x", "9"}, {false, false, false, false, false}, "none names a line"},
      {{}, {true, true, true, true, true}, "no arguments: all"},
  };
  TestDefinition def;
  def.objectives = {"A", "B", "C", "D", "E"};
  for (const Case& c : cases) {
    OpenTest(def, QuestionRows("A", 3));
    context_->Arguments = c.arguments;
    OpenObjectiveWindow();
    EXPECT_EQ(Checks(), c.checks) << c.what;
    Window().SelectAllBtn->click();
    Window().RunActivation();
    EXPECT_EQ(Checks(), c.checks) << c.what << ", again";
    EXPECT_TRUE(services_->CallsOf("MessageBox").empty()) << c.what;
    context_.reset();
    engine::ResetEngine();
  }
}

TEST_F(ObjectiveWindowTest, OnlyTheFirstThirtyObjectivesCount) {
  TestDefinition def;
  def.objectives.clear();
  for (int k = 1; k <= 32; ++k) def.objectives.push_back("Objective " + std::to_string(k));
  OpenTest(def, QuestionRows("Objective 31", 3));
  OpenObjectiveWindow();
  Window().SelectNoneBtn->click();
  Window().rsListBox1->SetChecked(30, true);
  services_->AnswerBox(platform::kResultOk, "You must select at least one objective to test on.");
  PressStart();
  ExpectNoStart("objective 31 only");
  EXPECT_EQ(Control().userAnswers.Count(), 0) << "nothing seeded";
  EXPECT_TRUE(services_->CallsOf("RandomSeed").empty());
  EXPECT_EQ(Checks().size(), 32u);
  EXPECT_TRUE(Checks()[0]) << "the activation after the box restored the selection";
}

TEST_F(ObjectiveWindowTest, AStartAfterAStoppedOneBuildsTheTest) {
  TestDefinition def;
  def.questions = "10";
  def.time_limit = "60";
  def.objectives = {"One", "Two"};
  auto rows = QuestionRows("One", 3);
  rows.push_back(QuestionRow("Two"));  // the last record: never drawn
  OpenTest(def, rows);
  OpenObjectiveWindow();

  // Objective two alone has nothing to draw.
  Window().rsListBox1->SetChecked(0, false);
  Window().NumberOfQuestions->setText("3");
  Window().TotalTime->setText("30");
  services_->AnswerBox(platform::kResultOk,
                       "A total of 0 questions are available for the objectives that you have "
                       "selected.");
  PressStart();
  ExpectNoStart("nothing to draw");
  EXPECT_EQ(context_->Values.MinutesLeft, 30);
  EXPECT_EQ(Checks(), (std::vector<bool>{true, true})) << "the activation ran after the box";
  EXPECT_EQ(Window().NumberOfQuestions->text(), "10");

  QPointer<QWidget> selector = context_->QSelector;
  Window().NumberOfQuestions->setText("3");
  services_->set_random_seed(4242);
  PressStart();
  EXPECT_TRUE(Window().isHidden());
  EXPECT_TRUE(context_->Questions->isVisible());
  EXPECT_TRUE(context_->BuildingTestDlg->isHidden());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(context_->Test.TestRunning);
  EXPECT_EQ(context_->Test.QuestionCount, 3);
  EXPECT_EQ(context_->Test.CurrentItem, 1);
  EXPECT_EQ(context_->QSelector, nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(selector.isNull());
  for (const app::TTestList* list :
       {&Control().userAnswers, &Control().QuestionList, &Control().marked, &Control().incompletes,
        &Control().Objective, &Control().ObjectiveNo}) {
    EXPECT_EQ(list->Entries(), std::vector<std::string>{"0"});
  }
  ASSERT_EQ(Control().RecordNo.Count(), 4);
  EXPECT_EQ(Control().correctAnswers.Count(), 4);
  EXPECT_EQ(Control().RecordNo[0], "0");
  std::set<std::string> drawn(Control().RecordNo.Entries().begin() + 1,
                              Control().RecordNo.Entries().end());
  EXPECT_EQ(drawn, (std::set<std::string>{"1", "2", "3"}));
  EXPECT_EQ(std::to_string(context_->Questions->WenDbf1->RecNo()), Control().RecordNo[1]);
  EXPECT_EQ(Control().OnTest->text(), "3");
  EXPECT_EQ(Control().TotalQuestions->text(), "4");
  EXPECT_EQ(Control().PointsPerQuestion->text(), "250") << "10 capped to the 4 records";
  EXPECT_EQ(Control().AllObjectives->Items(), (QStringList{"One", "Two"}));
}

TEST_F(ObjectiveWindowTest, ThePointsFollowTheDefinitionsCount) {
  struct Case {
    std::string questions;
    int records;
    QString points;
  } cases[] = {{"3", 5, "333.333333333489"},  {"8", 9, "125"},  {"16", 17, "62.5"},
               {"48", 49, "20.833333333343"}, {"40", 25, "40"}, {"0", 3, ""}};
  for (const Case& c : cases) {
    TestDefinition def;
    def.questions = c.questions;
    OpenTest(def, QuestionRows("Objective one", c.records));
    OpenObjectiveWindow();
    Window().NumberOfQuestions->setText("2");  // the draw takes the entry
    PressStart();
    EXPECT_EQ(Control().PointsPerQuestion->text(), c.points) << c.questions;
    EXPECT_EQ(context_->Test.QuestionCount, 2) << c.questions;
    context_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    engine::ResetEngine();
  }
}

TEST_F(ObjectiveWindowTest, EntriesThatCannotStartATestAreRefused) {
  struct Case {
    std::string ini_questions;
    QString number, time;
    QString box;
  } cases[] = {
      {"10", "0", "60", "The number of questions must be at least 1."},
      {"10", "-4", "60", "The number of questions must be at least 1."},
      {"10", "many", "60", "'many' is not a valid integer value."},
      {"10", "5", "1.5", "'1.5' is not a valid integer value."},
      {"ten", "5", "60", "'ten' is not a valid integer value."},
  };
  for (const Case& c : cases) {
    TestDefinition def;
    def.questions = c.ini_questions;
    OpenTest(def, QuestionRows("Objective one", 6));
    OpenObjectiveWindow();
    Window().NumberOfQuestions->setText(c.number);
    Window().TotalTime->setText(c.time);
    const int minutes = context_->Values.MinutesLeft;
    services_->AnswerBox(platform::kResultOk, c.box);
    PressStart();
    const std::string what = c.box.toStdString();
    ExpectNoStart(what);
    EXPECT_EQ(services_->CallsOf("MessageBox").back().args[1], c.box) << what;
    EXPECT_TRUE(services_->CallsOf("RandomSeed").empty()) << what;
    if (c.ini_questions == "10") {
      EXPECT_EQ(Control().userAnswers.Count(), 0) << what << ": converted before any change";
      EXPECT_EQ(context_->Values.MinutesLeft, minutes) << what;
    }
    context_.reset();
    engine::ResetEngine();
  }
}

}  // namespace
}  // namespace testing_support
