// The test controller: the build of the test (correct answers, the "Please Wait" dialog and the
// hourglass meanwhile), the display line of a question and the per-question lists.
#include "app/test_controller.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWindow>
#include <map>

#include "app/building_test_dlg.h"
#include "app/objective_window.h"
#include "app/question_window.h"
#include "app/start_window.h"
#include "components/core/wen_dataset.h"
#include "engine/dbf_file.h"
#include "engine/engine.h"
#include "engine/work_area.h"
#include "platform/gui/guarded.h"
#include "tests/app/app_fixture.h"

namespace testing_support {
namespace {

// A data link on the question table that notes, at every record move, whether the "Please Wait"
// dialog stands exposed and the hourglass is up.
class WatchingLink : public components::TWenDataLink {
 public:
  int moves = 0;
  int waiting = 0;  // moves seen with the dialog exposed and the hourglass up

 protected:
  void RecordChanged(components::TWenField*) override {
    ++moves;
    app::TBuildingTestDlg* dialog = app::Ctx().BuildingTestDlg;
    const QCursor* cursor = QApplication::overrideCursor();
    if (dialog->isVisible() && dialog->windowHandle() && dialog->windowHandle()->isExposed() &&
        cursor && cursor->shape() == Qt::WaitCursor) {
      ++waiting;
    }
  }
};

// A question table whose check fields are text, C(5).
void WriteTextFlagTable(const std::string& path,
                        const std::vector<std::array<std::string, 5>>& flags) {
  WriteQuestionTextFlagTable(path, "Objective one", flags);
}

class TestControllerTest : public AppTest {
 protected:
  app::TControlForm& Control() { return *context_->ControlForm; }
  // Starts a test of every record but the last from the objective window.
  void StartAll(int questions) {
    OpenObjectiveWindow();
    context_->ObjectiveWindow()->NumberOfQuestions->setText(QString::number(questions));
    context_->ObjectiveWindow()->NextBtn->click();
  }
  // The correct answers by record number.
  std::map<std::string, std::string> AnswersByRecord() {
    std::map<std::string, std::string> answers;
    for (int i = 1; i < Control().RecordNo.Count(); ++i)
      answers[Control().RecordNo[i]] = Control().correctAnswers[i];
    return answers;
  }
};

TEST_F(TestControllerTest, TheCorrectAnswersAreTheTickedLettersInOrder) {
  OpenTest({}, {QuestionRow("Objective one", ""), QuestionRow("Objective one", "BD"),
                QuestionRow("Objective one", "EA"), QuestionRow("Objective one", "ABCDE"),
                QuestionRow("Filler")});
  StartAll(4);
  EXPECT_EQ(AnswersByRecord(), (std::map<std::string, std::string>{
                                   {"1", ""}, {"2", "BD"}, {"3", "AE"}, {"4", "ABCDE"}}));
  EXPECT_EQ(Control().correctAnswers[0], "0");
}

TEST_F(TestControllerTest, TrueInATextFieldCountsInAnyCase) {
  WriteTestDefinition(folder() + "t.ini", {});
  WriteTextFlagTable(
      folder() + "t.dbf",
      {{"TRUE", "false", "true", "", "yes"}, {"False", "True", "", "", ""}, {"", "", "", "", ""}});
  CreateWindows();
  ShowAndActivate(context_->StartUp);
  StartAll(2);
  EXPECT_EQ(AnswersByRecord(), (std::map<std::string, std::string>{{"1", "AC"}, {"2", "B"}}));
}

TEST_F(TestControllerTest, ThePleaseWaitDialogAndTheHourglassStandDuringTheWalk) {
  OpenTest({}, QuestionRows("Objective one", 6));
  WatchingLink link;
  link.SetDataSource(context_->Questions->WenDbf1.get());
  StartAll(3);
  EXPECT_GE(link.moves, 5 + 3) << "the walk and the build's moves";
  EXPECT_EQ(link.waiting, link.moves - 1) << "all but the first item's move after the build";
  EXPECT_TRUE(context_->BuildingTestDlg->isHidden());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(context_->Questions->isVisible());
  link.SetDataSource(nullptr);
}

TEST(DisplayLineTest, TheFirstLineCutToItsPlace) {
  const std::string ten = "ABCDEFGHIJ";
  const std::string s61(61, 'x'), s62(62, 'y'), s64(64, 'z'), s65(65, 'w');
  struct Case {
    std::string question, line;
    const char* what;
  } cases[] = {
      {ten + "\r\nsecond line", ten + "...", "two lines"},
      {s64, s64, "one line of 64"},
      {s65, s65.substr(0, 64) + "...", "one line of 65"},
      {s61 + "\r\nmore", s61 + "...", "first line of 61"},
      {s62 + "\r\nmore", s62 + "\r\n...", "first line of 62 keeps its line end"},
      {"  " + ten + "\r\nmore", "ABCDEFGH...", "two leading blanks count in the cut"},
      {"Caf\xe9", "Caf\xe9", "an accented letter at the end stays"},
      {"\t Question \r\n", "Question", "blanks and control characters trimmed"},
      {"", "", "empty"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(app::TControlForm::DisplayLine(c.question), c.line) << c.what;
  }
}

TEST_F(TestControllerTest, AnIndexOutsideAListIsShownByTheHandler) {
  app::TTestList list;
  list.ResetToPlaceholder();
  EXPECT_EQ(list.Add("12"), 1);
  list.Set(1, "13");
  list.Insert(2, "14");
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"0", "13", "14"}));
  EXPECT_THROW(list.Insert(4, "x"), std::out_of_range);
  EXPECT_THROW(list.Set(-1, "x"), std::out_of_range);
  services_->AnswerBox(platform::kResultOk, "List index out of bounds (5)");
  platform::gui::RunGuarded([&] { (void)list[5]; });
  EXPECT_TRUE(services_->ScriptDone());
}

}  // namespace
}  // namespace testing_support
