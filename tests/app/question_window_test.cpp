// The question window: the layout of an item, the check styles, the number lists, the status
// line and caption, what a move resets, storing an item, Next and Previous, the walks through
// the marked items, a test length that is no number, and the window's frame.
#include "app/question_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "app/item_review_window.h"
#include "app/objective_window.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "engine/engine.h"
#include "platform/gui/application.h"
#include "platform/gui/services.h"
#include "tests/app/app_fixture.h"

namespace testing_support {
namespace {

using components::TrsCheckModel;

const std::vector<std::string> kFour = {"Answer A", "Answer B", "Answer C", "Answer D"};
const std::vector<std::string> kFive = {"Answer A", "Answer B", "Answer C", "Answer D", "Answer E"};

class QuestionWindowTest : public AppTest {
 protected:
  app::TQuestions& Window() { return *context_->Questions; }
  app::TControlForm& Control() { return *context_->ControlForm; }
  components::TrsSuperCheck* Box(int i) {
    components::TrsSuperCheck* boxes[] = {Window().rsSuperCheck1, Window().rsSuperCheck2,
                                          Window().rsSuperCheck3, Window().rsSuperCheck4,
                                          Window().rsSuperCheck5};
    return boxes[i];
  }
  QTextEdit* Edit(int i) {
    QTextEdit* edits[] = {Window().RichEdit1, Window().RichEdit2, Window().RichEdit3,
                          Window().RichEdit4, Window().RichEdit5};
    return edits[i];
  }
  // The letters of the ticked boxes.
  std::string Ticked() {
    std::string letters;
    for (int i = 0; i < 5; ++i) {
      if (Box(i)->Checked()) letters += static_cast<char>('A' + i);
    }
    return letters;
  }
  void Tick(const std::string& letters) {
    for (char letter : letters) Box(letter - 'A')->SetChecked(true);
  }
  // Moves to item `item` as the walks do.
  void GoTo(int item) {
    context_->Test.CurrentItem = item;
    Window().WenDbf1->Go(item);
  }
  // Every list entry from 1 to `items`: marked "M" at the given items, else "o"; the others
  // as if each item had been visited without an answer.
  void StoreVisited(int items, const std::vector<int>& marked) {
    for (int k = 1; k <= items; ++k) {
      const bool m = std::find(marked.begin(), marked.end(), k) != marked.end();
      Control().marked.Add(m ? "M" : "o");
      Control().incompletes.Add("I");
      Control().userAnswers.Add("     ");
      Control().Objective.Add("Objective one");
      Control().QuestionList.Add("Question");
    }
  }
  std::vector<std::string> Lines(QListWidget* list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
    return lines;
  }
};

TEST(SetEntryTest, ReplacesAnEntryAppendsAtTheEndAndRefusesBeyondIt) {
  app::TTestList list;
  for (const char* entry : {"0", "a", "b"}) list.Add(entry);
  app::SetEntry(list, 1, "x");
  app::SetEntry(list, 3, "c");
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"0", "x", "b", "c"}));
  EXPECT_THROW(app::SetEntry(list, 5, "e"), std::out_of_range);
  EXPECT_EQ(list.Count(), 4);
}

TEST_F(QuestionWindowTest, TheAnswerRowsFollowTheFifthAnswer) {
  std::vector<std::string> no_c = kFour;
  no_c[2] = "";
  std::vector<std::string> short_e = kFour;
  short_e.push_back("x");
  QuestionStart({QuestionItemRow(kFour), QuestionItemRow(kFive), QuestionItemRow(kFour),
                 QuestionItemRow(short_e), QuestionItemRow(no_c)});
  struct Row {
    const char* what;
    int height;
    std::vector<int> edit_tops;  // A to D, or A to E
    std::vector<int> box_tops;
    bool row_e;  // RichEdit5 shown
    bool box_e;
  } rows[] = {
      {"the design", 41, {84, 127, 171, 214}, {83, 126, 169, 212}, false, false},
      {"five answers", 27, {85, 119, 156, 189, 222}, {84, 118, 155, 188, 221}, true, true},
      {"four again", 42, {84, 127, 170, 213}, {84, 126, 169, 212}, false, false},
      {"a one-character E", 42, {84, 127, 170, 213}, {84, 126, 169, 212}, false, true},
      {"an empty C", 42, {84, 127, 170, 213}, {84, 126, 169, 212}, false, false},
  };
  for (int item = 1; item <= 5; ++item) {
    const Row& r = rows[item - 1];
    if (item > 1) Window().NewNextBtn->click();
    ASSERT_EQ(context_->Test.CurrentItem, item);
    for (size_t i = 0; i < r.edit_tops.size(); ++i) {
      EXPECT_EQ(Edit(static_cast<int>(i))->geometry(), QRect(54, r.edit_tops[i], 537, r.height))
          << r.what << ", answer " << i;
      EXPECT_EQ(Box(static_cast<int>(i))->geometry().topLeft(), QPoint(19, r.box_tops[i]))
          << r.what << ", box " << i;
    }
    EXPECT_EQ(Window().RichEdit5->isVisible(), r.row_e) << r.what;
    EXPECT_EQ(Window().rsSuperCheck5->isVisible(), r.box_e) << r.what;
    EXPECT_EQ(Window().rsSuperCheck3->isVisible(), item != 5) << r.what;
  }
  EXPECT_TRUE(Window().RichEdit3->isVisible()) << "an empty answer keeps its row";
  EXPECT_TRUE(Window().RichEdit3->toPlainText().isEmpty());
  EXPECT_EQ(Window().RichEdit2->toPlainText(), "Answer B");
}

TEST_F(QuestionWindowTest, TheCorrectFlagsChooseTheCheckStyle) {
  QuestionStart({QuestionItemRow(kFour, "AC"), QuestionItemRow(kFour, "B"),
                 QuestionItemRow(kFour, ""), QuestionItemRow(kFour, "AC")});
  struct Case {
    const char* what;
    TrsCheckModel::TCheckStyle style;
    int group;
  } cases[] = {{"A and C", TrsCheckModel::csSquareCheck, 0},
               {"B only", TrsCheckModel::csRound, 1},
               {"none: the previous style", TrsCheckModel::csRound, 1},
               {"A and C again", TrsCheckModel::csSquareCheck, 0}};
  for (int item = 1; item <= 4; ++item) {
    if (item > 1) Window().NewNextBtn->click();
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(Box(i)->CheckStyle(), cases[item - 1].style) << cases[item - 1].what;
      EXPECT_EQ(Box(i)->GroupID(), cases[item - 1].group) << cases[item - 1].what;
    }
  }
  // Group 1 lets one box be ticked.
  GoTo(2);
  Tick("AC");
  EXPECT_EQ(Ticked(), "C");
}

TEST_F(QuestionWindowTest, TrueInATextFlagFieldCounts) {
  WriteTestDefinition(folder() + "t.ini", {});
  WriteQuestionTextFlagTable(folder() + "t.dbf", "Objective one",
                             {{"TRUE", "", "", "", ""}, {"TRUE", "true", "", "", ""}, {}});
  CreateWindows();
  ShowAndActivate(context_->StartUp);
  ShowAndActivate(context_->Questions);
  GoTo(1);
  EXPECT_EQ(Box(1)->CheckStyle(), TrsCheckModel::csRound);
  GoTo(2);
  EXPECT_EQ(Box(1)->CheckStyle(), TrsCheckModel::csSquareCheck);
  EXPECT_EQ(Box(1)->GroupID(), 0);
}

TEST_F(QuestionWindowTest, EveryMoveRebuildsTheNumberLists) {
  QuestionStart({QuestionItemRow(kFour), QuestionItemRow(kFour)});
  for (const char* entry : {"o", "I", "I", "i"}) Control().incompletes.Add(entry);
  for (const char* entry : {"M", "o", "M", "m"}) {
    Control().marked.Add(entry);
    Control().userAnswers.Add("     ");
  }
  GoTo(2);
  EXPECT_EQ(Lines(Window().incompleteList), (std::vector<std::string>{"2", "3"}));
  EXPECT_EQ(Lines(Window().incompleteListP), (std::vector<std::string>{"3", "2"}));
  EXPECT_EQ(Lines(Window().markedList), (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(Lines(Window().markedListP), (std::vector<std::string>{"3", "1"}));
}

TEST_F(QuestionWindowTest, CaptionStatusLineExhibitAndWhatAMoveResets) {
  QuestionStart({QuestionItemRow({"<b>bold</b>", "B"}, "A", "Choose two.", "ex1.txt"),
                 QuestionItemRow(kFour, "A")});
  context_->Values.MinutesLeft = 45;
  app::TQuestions& w = Window();
  context_->Test.QuestionCount = 20;
  GoTo(1);
  context_->Test.CurrentItem = 3;
  w.RestoreItemState();
  EXPECT_EQ(w.windowTitle(), "Item 3 of 20");
  EXPECT_EQ(w.StatusBar1->SimpleText(), "Choose two.  Time remaining: 45 minutes");
  EXPECT_TRUE(w.ExhibitBtn->isEnabled());
  EXPECT_EQ(w.RichEdit1->toPlainText(), "<b>bold</b>") << "answers are plain text";

  // What the references and the answers of an item change, the next move puts back.
  for (QWidget* reference :
       {static_cast<QWidget*>(w.ChapterRef), static_cast<QWidget*>(w.FeedBackEdit),
        static_cast<QWidget*>(w.ListBox2), static_cast<QWidget*>(w.GoToBtn)})
    reference->show();
  app::TQuestions::SetEditColor(w.RichEdit2, Qt::yellow);
  w.RichEdit2ResizeRequest();
  w.RichEdit6ResizeRequest();
  EXPECT_EQ(w.RichEdit2->width(), 554);
  EXPECT_EQ(w.RichEdit6->width(), 594);
  GoTo(2);
  QCoreApplication::processEvents();
  EXPECT_TRUE(w.ChapterRef->isHidden());
  EXPECT_TRUE(w.FeedBackEdit->isHidden());
  EXPECT_TRUE(w.ListBox2->isHidden());
  EXPECT_TRUE(w.GoToBtn->isHidden());
  EXPECT_EQ(w.RichEdit2->palette().color(QPalette::Base), QColor(Qt::white));
  EXPECT_EQ(w.RichEdit2->width(), 537);
  EXPECT_EQ(w.RichEdit6->width(), 577);
  EXPECT_EQ(w.StatusBar1->SimpleText(), "  Time remaining: 45 minutes");
  EXPECT_FALSE(w.ExhibitBtn->isEnabled());
  EXPECT_EQ(w.windowTitle(), "Item 2 of 20");

  // An edit's own change of content asks for the wider size.
  w.RichEdit1->setPlainText("A longer answer\nover\nseveral\nlines\nthat needs more room");
  EXPECT_EQ(w.RichEdit1->width(), 554);
}

TEST_F(QuestionWindowTest, TheWalkBeforeTheFirstShowKeepsOnlyTheItemState) {
  for (bool five_met : {true, false}) {
    TestDefinition def;
    def.objectives = {"Objective one"};
    // Only the first record can be drawn, and it has no correct flag; the walk meets the
    // second one too, with five answers and one flag or four answers and none.
    OpenTest(def, {QuestionItemRow(kFour, ""),
                   [&] {
                     samples::QuestionRecord row =
                         QuestionItemRow(five_met ? kFive : kFour, five_met ? "C" : "");
                     row.texts["OBJECTIVE"] = "Elsewhere";
                     return row;
                   }(),
                   QuestionItemRow(kFour, "")});
    app::TQuestions& w = Window();
    EXPECT_TRUE(w.RichEdit6->toPlainText().isEmpty()) << "no text set before the show";
    EXPECT_EQ(w.windowTitle(), "Item 1");
    OpenObjectiveWindow();
    context_->ObjectiveWindow()->NumberOfQuestions->setText("1");
    context_->ObjectiveWindow()->NextBtnClick();
    ASSERT_TRUE(w.isVisible());
    ASSERT_EQ(Control().RecordNo[1], "1");
    EXPECT_EQ(w.RichEdit1->height(), five_met ? 42 : 41) << five_met;
    EXPECT_EQ(Box(1)->CheckStyle(), five_met ? TrsCheckModel::csRound : TrsCheckModel::csSquareX)
        << five_met;
    EXPECT_EQ(Box(1)->GroupID(), five_met ? 1 : 0) << five_met;
    EXPECT_EQ(w.RichEdit6->toPlainText(), "Question");
    EXPECT_EQ(w.RichEdit4->toPlainText(), "Answer D");
    EXPECT_EQ(w.windowTitle(), "Item 1 of 1");
    context_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    engine::ResetEngine();
  }
}

TEST_F(QuestionWindowTest, NextStoresTheTickedLettersAndTheMark) {
  struct Case {
    std::string ticked;
    bool mark;
    std::string answers, incomplete, marked;
  } cases[] = {{"BD", true, "BD   ", "o", "M"},
               {"", false, "     ", "I", "o"},
               {"ABCDE", false, "ABCDE", "o", "o"}};
  for (const Case& c : cases) {
    QuestionStart({QuestionItemRow(kFive), QuestionItemRow(kFive)});
    Tick(c.ticked);
    Window().MarkCheckBox->setChecked(c.mark);
    Window().NewNextBtn->click();
    EXPECT_EQ(Control().userAnswers[1], c.answers) << c.ticked;
    EXPECT_EQ(Control().incompletes[1], c.incomplete) << c.ticked;
    EXPECT_EQ(Control().marked[1], c.marked) << c.ticked;
    EXPECT_EQ(Control().Objective[1], "Objective one") << c.ticked;
    EXPECT_EQ(Control().QuestionList[1], "Question") << c.ticked;
    context_.reset();
    engine::ResetEngine();
  }
}

TEST_F(QuestionWindowTest, NextAndPreviousOverTwentyItems) {
  std::vector<samples::QuestionRecord> rows(20, QuestionItemRow(kFour, "BD"));
  QuestionStart(rows);
  app::TQuestions& w = Window();
  for (int k = 1; k <= 4; ++k) {
    w.NewNextBtn->click();
    for (const app::TTestList* list :
         {&Control().QuestionList, &Control().marked, &Control().incompletes,
          &Control().userAnswers, &Control().Objective}) {
      EXPECT_EQ(list->Count(), k + 1) << "after storing " << k;
    }
  }
  ASSERT_EQ(context_->Test.CurrentItem, 5);
  Tick("BD");
  w.MarkCheckBox->setChecked(true);
  w.NewNextBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 6);
  EXPECT_EQ(Ticked(), "") << "item 6 was never visited";
  EXPECT_FALSE(w.MarkCheckBox->isChecked());
  EXPECT_EQ(Control().userAnswers.Count(), 6);
  w.newPrevBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 5);
  EXPECT_EQ(Ticked(), "BD");
  EXPECT_TRUE(w.MarkCheckBox->isChecked());
  EXPECT_EQ(w.windowTitle(), "Item 5 of 20");

  while (context_->Test.CurrentItem < 20) w.NewNextBtn->click();
  EXPECT_EQ(Control().QuestionList.Count(), 20) << "the last item is not stored yet";
  w.newPrevBtn->click();
  EXPECT_EQ(Control().QuestionList.Count(), 21) << "Previous on the last item stores its line";
  EXPECT_EQ(context_->Test.CurrentItem, 19);
  w.NewNextBtn->click();
  EXPECT_TRUE(context_->ItemReview->isHidden());
  w.NewNextBtn->click();
  EXPECT_TRUE(context_->ItemReview->isVisible());
  EXPECT_TRUE(w.isHidden());
  EXPECT_EQ(context_->Test.CurrentItem, 20);
  EXPECT_EQ(context_->Test.ReviewFlag, 0);
}

TEST_F(QuestionWindowTest, PreviousOnTheFirstItemStoresItAndStays) {
  QuestionStart({QuestionItemRow(kFour), QuestionItemRow(kFour)});
  Tick("A");
  Window().newPrevBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 1);
  EXPECT_EQ(Control().userAnswers[1], "A    ");
  EXPECT_EQ(Ticked(), "A");
  EXPECT_EQ(Control().incompletes[1], "o");
  EXPECT_EQ(context_->Test.ReviewFlag, 1);
}

TEST_F(QuestionWindowTest, ItemReviewStoresTheItemWithItsLongLine) {
  const std::string long_question(100, 'q');
  samples::QuestionRecord row = QuestionItemRow(kFour);
  row.memos["QUESTION"] = {"First line", long_question};
  QuestionStart({row, QuestionItemRow(kFour)});
  app::TQuestions& w = Window();
  w.NextMarkedBtn->show();
  w.ItemReviewBtn->click();
  EXPECT_EQ(Control().QuestionList[1], "First line\r\n" + std::string(51, 'q') + "...")
      << "cut at 63 characters, not at the first line";
  EXPECT_EQ(Control().incompletes[1], "I");
  EXPECT_TRUE(context_->ItemReview->isVisible());
  EXPECT_TRUE(w.isHidden());
  EXPECT_TRUE(w.NextMarkedBtn->isHidden());
}

TEST_F(QuestionWindowTest, TheWalkThroughTheMarkedItems) {
  std::vector<samples::QuestionRecord> rows(10, QuestionItemRow(kFour));
  QuestionStart(rows);
  StoreVisited(10, {2, 7, 9});
  app::TQuestions& w = Window();
  GoTo(2);
  w.NextMarkedBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 7);
  EXPECT_TRUE(w.NextMarkedBtn->isEnabled());
  w.NextMarkedBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 9);
  EXPECT_FALSE(w.NextMarkedBtn->isEnabled());
  EXPECT_TRUE(w.MarkCheckBox->isChecked());
  w.PrevMarkedBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 7);
  EXPECT_TRUE(w.NextMarkedBtn->isEnabled());
  w.PrevMarkedBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 2);
  EXPECT_FALSE(w.PrevMarkedBtn->isEnabled());

  // The incomplete walk goes over its own lists.
  Control().incompletes.Set(4, "o");
  GoTo(3);
  w.NextIncompleteBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 5);
  w.PrevIncompleteBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 3);
}

TEST_F(QuestionWindowTest, AnItemUnmarkedOnTheWayStaysInTheWalkUntilTheMove) {
  std::vector<samples::QuestionRecord> rows(10, QuestionItemRow(kFour));
  QuestionStart(rows);
  StoreVisited(10, {2, 7});
  app::TQuestions& w = Window();
  GoTo(2);
  w.MarkCheckBox->setChecked(false);
  w.NextMarkedBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 7);
  EXPECT_EQ(Lines(w.markedList), (std::vector<std::string>{"7"}));
  EXPECT_FALSE(w.NextMarkedBtn->isEnabled());
  w.PrevMarkedBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 7);
  EXPECT_FALSE(w.PrevMarkedBtn->isEnabled());
  EXPECT_FALSE(w.NextMarkedBtn->isEnabled());
}

TEST_F(QuestionWindowTest, ATestLengthThatIsNoNumberStopsTheMoveBeforeAnythingIsStored) {
  QuestionStart({QuestionItemRow(kFour), QuestionItemRow(kFour), QuestionItemRow(kFour)});
  app::TQuestions& w = Window();
  w.NewNextBtn->click();
  Control().OnTest->setText("x");
  for (QPushButton* button : {w.NewNextBtn, w.newPrevBtn, w.ItemReviewBtn}) {
    const int stored = Control().marked.Count();
    services_->AnswerBox(platform::kResultOk, "'x' is not a valid integer value.");
    Tick("A");
    button->click();
    EXPECT_EQ(Control().marked.Count(), stored) << button->objectName().toStdString();
    EXPECT_EQ(context_->Test.CurrentItem, 2) << button->objectName().toStdString();
  }
  EXPECT_TRUE(w.isVisible());
}

TEST_F(QuestionWindowTest, TheFrame) {
  TestDefinition def;
  def.show_chapter = "0";
  def.show_links = "0";
  OpenTest(def, {QuestionItemRow(kFour)});
  app::TQuestions& w = Window();
  EXPECT_EQ(w.size(), QSize(628, 412 + w.MainMenu1->height()));
  EXPECT_GT(w.MainMenu1->height(), 0);
  EXPECT_EQ(w.ShowRefsBtn->parentWidget(), w.Panel1);
  EXPECT_EQ(w.ShowRefsBtn->geometry(), QRect(512, 307, 105, 30));
  EXPECT_TRUE(w.ShowRefsBtn->isHidden());
  def.show_links = "1";
  WriteTestDefinition(folder() + "t.ini", def);
  context_->StartUp->RunActivation();
  EXPECT_FALSE(w.ShowRefsBtn->isHidden());
  EXPECT_EQ(w.ShowRefsBtn->parentWidget(), w.Panel1);
  def.show_links = "0";
  WriteTestDefinition(folder() + "t.ini", def);
  context_->StartUp->RunActivation();
  EXPECT_TRUE(w.ShowRefsBtn->isHidden());

  ShowAndActivate(&w);
  w.close();
  EXPECT_EQ(services_->CallsOf("Quit").size(), 1u);
  w.Exit1->trigger();
  EXPECT_EQ(services_->CallsOf("Quit").size(), 2u);
}

}  // namespace
}  // namespace testing_support
