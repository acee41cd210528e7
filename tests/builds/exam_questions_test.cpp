// The practice-exam build's question sheet: its components and places, the record moves with
// the exhibit button and the designed answer rows, the countdown in its two labels with the
// expiry that grades once, Exit, and screenshots of a four- and a five-answer item.
#include "builds/exam/exam_questions.h"

#include <gtest/gtest.h>

#include <QKeySequence>
#include <QTest>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/item_review_window.h"
#include "app/results_window.h"
#include "app/test_controller.h"
#include "builds/exam/exam_disclaimer.h"
#include "builds/exam/exam_start_window.h"
#include "platform/gui/application.h"
#include "tests/app/x11_helpers.h"
#include "tests/builds/exam_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

constexpr const char* kExpired =
    "The time allocated for this test has expired. Your test will now be graded.";

samples::QuestionRecord FiveAnswers(const std::string& exhibit = "") {
  samples::QuestionRecord row =
      QuestionItemRow({"Two pairs", "A straight", "A flush", "A full house", "Four of a kind"}, "C",
                      "Choose one.", exhibit);
  row.memos["QUESTION"] = {"Which hand beats a straight but loses to a full house?"};
  row.texts["CHAPTER"] = "Chapter 3";
  row.texts["TOPIC1"] = "Ranking of hands";
  return row;
}

samples::QuestionRecord FourAnswers(const std::string& exhibit = "") {
  samples::QuestionRecord row =
      QuestionItemRow({"North", "East", "South", "West"}, "BD", "Choose two.", exhibit);
  row.memos["QUESTION"] = {"Which two directions lie at right angles to north?"};
  return row;
}

class ExamQuestionsTest : public ExamTest {
 protected:
  exam::TQuestions& W() { return *exam_context().ExamQuestions(); }
  app::TControlForm& Control() { return *context_->ControlForm; }
  QString TimeLabel() { return context_->ItemReview->TimeLabel->text(); }
  // The sheet on item 1 of `rows`, with the test running.
  void SheetStart(const std::vector<samples::QuestionRecord>& rows) {
    QuestionStart(rows);
    context_->Test.TestRunning = true;
  }
  // The exam started as the user starts it: `rows` of "Objective one" (and a filler row, which
  // the draw never reaches) and a test of all of them.
  void ExamStart(std::vector<samples::QuestionRecord> rows) {
    TestDefinition def;
    def.questions = std::to_string(rows.size());
    def.objectives = {"Objective one"};
    rows.push_back(QuestionRow("Filler"));
    OpenTest(def, rows);
    exam_context().ExamStartUp()->NextBtn->click();
    ASSERT_TRUE(WaitForActivation(context_->Disclaimer));
    exam_context().ExamDisclaimer()->NextBtn->click();
    ASSERT_TRUE(context_->Test.TestRunning);
  }
};

TEST_F(ExamQuestionsTest, TheSheetHasItsComponentsInPlaceAndTheStudysExtrasHidden) {
  SheetStart({FiveAnswers("chart.bmp"), FourAnswers()});
  exam::TQuestions& w = W();
  EXPECT_EQ(w.size(), QSize(629, 431));
  EXPECT_EQ(w.ClientArea->geometry(), QRect(0, 0, 629, 431));
  EXPECT_EQ(w.windowTitle(), "Item 1 of 2");
  const struct {
    QWidget* control;
    QRect place;
    const char* caption;  // nullptr: no caption to check
  } visible[] = {
      {w.Label1, {435, 5, 185, 13}, nullptr},        {w.Panel1, {10, 22, 614, 356}, nullptr},
      {w.RichEdit6, {19, 32, 577, 80}, nullptr},     {w.rsSuperCheck1, {21, 139, 29, 15}, nullptr},
      {w.rsSuperCheck3, {21, 234, 29, 15}, nullptr}, {w.rsSuperCheck5, {21, 328, 29, 15}, nullptr},
      {w.RichEdit1, {55, 140, 537, 40}, nullptr},    {w.RichEdit2, {55, 187, 537, 40}, nullptr},
      {w.RichEdit3, {55, 235, 537, 41}, nullptr},    {w.RichEdit4, {55, 282, 537, 40}, nullptr},
      {w.RichEdit5, {55, 329, 537, 40}, nullptr},    {w.MarkCheckBox, {14, 3, 97, 17}, "&Mark"},
      {w.WenText1, {11, 383, 359, 17}, nullptr},     {w.newPrevBtn, {5, 401, 90, 25}, "&Previous"},
      {w.NewNextBtn, {105, 401, 90, 25}, "&Next"},   {w.ExhibitBtn, {203, 401, 90, 25}, "&Exhibit"},
      {w.HelpBtn, {534, 401, 90, 25}, "Exit"},
  };
  for (const auto& v : visible) {
    SCOPED_TRACE(v.control->objectName().toStdString());
    EXPECT_TRUE(v.control->isVisible());
    EXPECT_EQ(v.control->geometry(), v.place);
    if (v.caption != nullptr) {
      const auto* button = qobject_cast<QAbstractButton*>(v.control);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->text(), v.caption);
    }
  }
  EXPECT_EQ(w.Shape1->parentWidget(), w.Panel1);
  EXPECT_EQ(w.Shape1->geometry(), QRect(-1, -1, 616, 103));
  EXPECT_TRUE(w.Shape1->isVisible());
  EXPECT_EQ(w.Panel1->palette().color(QPalette::Window), QColor(Qt::white));
  const QColor band(0x40, 0x80, 0x80);
  EXPECT_EQ(w.Shape1->palette().color(QPalette::Window), band);
  EXPECT_EQ(w.RichEdit6->palette().color(QPalette::Base), band);
  EXPECT_EQ(w.RichEdit6->palette().color(QPalette::Text), QColor(Qt::white));
  EXPECT_TRUE(w.RichEdit6->font().bold());
  EXPECT_TRUE(w.Label1->font().bold());
  EXPECT_EQ(w.Label1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_TRUE(w.MarkCheckBox->font().bold());
  EXPECT_TRUE(w.MarkCheckBox->toolTip().isEmpty());
  for (app::TRichEdit* edit : {w.RichEdit1, w.RichEdit2, w.RichEdit3, w.RichEdit4, w.RichEdit5}) {
    EXPECT_TRUE(edit->isReadOnly()) << edit->objectName().toStdString();
  }
  EXPECT_EQ(w.RichEdit6->toPlainText(), "Which hand beats a straight but loses to a full house?");
  EXPECT_EQ(w.RichEdit5->toPlainText(), "Four of a kind");
  EXPECT_EQ(w.WenText1->Caption(), "Choose one.");

  // The study's controls stand hidden, its menu commands off.
  for (QWidget* hidden : std::initializer_list<QWidget*>{
           w.MainMenu1, w.StatusBar1, w.ReferenceBox, w.ShowAnswersBtn, w.ShowRefsBtn, w.RichEdit7,
           w.Panel3, w.ItemReviewBtn, w.NextMarkedBtn, w.PrevMarkedBtn, w.NextIncompleteBtn,
           w.PrevIncompleteBtn, w.WenSelectNote}) {
    EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
  }
  for (QAction* command :
       {w.Exit1, w.Copy1, w.CopyQuestiontoClipboard1, w.OpenNotes1, w.StartOver1}) {
    EXPECT_FALSE(command->isEnabled()) << command->objectName().toStdString();
  }
  // The walk buttons take the places of Previous and Next.
  EXPECT_EQ(w.NextMarkedBtn->geometry(), QRect(105, 401, 90, 25));
  EXPECT_EQ(w.NextIncompleteBtn->geometry(), QRect(105, 401, 90, 25));
  EXPECT_EQ(w.PrevMarkedBtn->geometry(), QRect(5, 401, 90, 25));
  EXPECT_EQ(w.PrevIncompleteBtn->geometry(), QRect(5, 401, 90, 25));
  EXPECT_EQ(w.ItemReviewBtn->geometry(), QRect(300, 401, 90, 25));

  // The hidden carriers the missed report reads follow the record; the help and page fields
  // carry nothing.
  EXPECT_EQ(w.ChapterRef->text(), "Chapter 3");
  EXPECT_EQ(w.Topic1->text(), "Ranking of hands");
  EXPECT_EQ(w.Objective->text(), "Objective one");
  for (components::TWenEdit* field :
       {w.top1help, w.top2help, w.top3help, w.top1acropg, w.top2acropg, w.top3acropg}) {
    EXPECT_EQ(field->DataSource(), nullptr) << field->objectName().toStdString();
  }

  // No clipboard command: the question's copy key copies nothing.
  w.RichEdit6->setFocus();
  w.RichEdit6->selectAll();
  QTest::keyClick(w.RichEdit6, Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(services_->CallsOf("SetClipboard").empty());

  // Activation leaves the labels alone.
  ASSERT_TRUE(ShowAndActivate(&w));
  EXPECT_EQ(w.Label1->text(), "Time Remaining: 90 minutes");
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

TEST_F(ExamQuestionsTest, RecordMovesShowTheExhibitButtonAndKeepTheDesignedRows) {
  samples::QuestionRecord one_letter_e = FourAnswers();
  one_letter_e.memos["ANSWERE"] = {"x"};
  SheetStart({FiveAnswers(), FourAnswers("map.bmp"), one_letter_e, FiveAnswers("deck.txt")});
  exam::TQuestions& w = W();
  const QRect rows[] = {{55, 140, 537, 40},
                        {55, 187, 537, 40},
                        {55, 235, 537, 41},
                        {55, 282, 537, 40},
                        {55, 329, 537, 40}};
  const struct {
    const char* name;
    bool exhibit;
    bool box_e;
  } items[] = {
      {"five answers, no exhibit", false, true},
      {"four answers and an exhibit: box E hidden, its row stays", true, false},
      {"a one-letter fifth answer shows box E", false, true},
      {"five answers and an exhibit", true, true},
  };
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(items[i].name);
    if (i > 0) w.NewNextBtn->click();
    ASSERT_EQ(context_->Test.CurrentItem, i + 1);
    EXPECT_EQ(w.ExhibitBtn->isVisible(), items[i].exhibit);
    EXPECT_TRUE(w.ExhibitBtn->isEnabled());
    EXPECT_EQ(w.rsSuperCheck5->isVisible(), items[i].box_e);
    EXPECT_TRUE(w.RichEdit5->isVisible());
    const app::TRichEdit* edits[] = {w.RichEdit1, w.RichEdit2, w.RichEdit3, w.RichEdit4,
                                     w.RichEdit5};
    for (int r = 0; r < 5; ++r) EXPECT_EQ(edits[r]->geometry(), rows[r]) << r;
    EXPECT_EQ(w.rsSuperCheck1->y(), 139);
    EXPECT_EQ(w.rsSuperCheck5->y(), 328);
  }
  EXPECT_EQ(w.RichEdit5->toPlainText(), "Four of a kind");
  w.newPrevBtn->click();
  EXPECT_TRUE(w.RichEdit5->toPlainText() == "x");
  EXPECT_FALSE(w.ExhibitBtn->isVisible());

  // The study's steps follow: box style from the correct answers, the stored answers back.
  w.newPrevBtn->click();
  EXPECT_EQ(w.rsSuperCheck1->CheckStyle(), components::TrsCheckModel::csSquareCheck);
  EXPECT_EQ(w.rsSuperCheck1->GroupID(), 0);
  w.rsSuperCheck2->SetChecked(true);
  w.MarkCheckBox->setChecked(true);
  w.NewNextBtn->click();
  w.newPrevBtn->click();
  EXPECT_TRUE(w.rsSuperCheck2->Checked());
  EXPECT_TRUE(w.MarkCheckBox->isChecked());
  EXPECT_EQ(w.windowTitle(), "Item 2 of 4");

  // Resize requests: the answers' widen until the next move, the question's does nothing.
  w.RichEdit1->OnResizeRequest();
  w.RichEdit6->OnResizeRequest();
  EXPECT_EQ(w.RichEdit1->width(), 554);
  EXPECT_EQ(w.RichEdit6->width(), 577);
  w.NewNextBtn->click();
  EXPECT_EQ(w.RichEdit1->width(), 537);
}

TEST_F(ExamQuestionsTest, TheCountdownShowsInBothLabels) {
  SheetStart({FourAnswers(), FourAnswers()});
  const struct {
    int before;
    const char* shown;
  } cases[] = {
      {45, "Time remaining: 44 minutes"}, {3, "Time remaining: 2 minutes"},
      {2, "Time remaining: 1 minute"},    {0, "Time remaining: -1 minutes"},
      {-1, "Time remaining: -2 minutes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    context_->Values.MinutesLeft = c.before;
    W().Timer1Timer();
    EXPECT_EQ(context_->Values.MinutesLeft, c.before - 1);
    EXPECT_EQ(W().Label1->text(), c.shown);
    EXPECT_EQ(TimeLabel(), c.shown);
  }
  EXPECT_TRUE(services_->calls().empty()) << "no expiry below zero";
  EXPECT_TRUE(W().Timer1->isActive());
  EXPECT_TRUE(context_->Test.TestRunning);
}

TEST_F(ExamQuestionsTest, ThePassThroughZeroGradesOnceAndStopsTheTimer) {
  ExamStart({FourAnswers(), FourAnswers()});
  GradingStoreAnswers(2, [](const std::string&, const std::string& correct) { return correct; });
  context_->Values.MinutesLeft = 1;
  QStringList during;
  services_->set_box_observer([&](const QString&, QWidget*) {
    during << W().Label1->text();
    // A tick while the message stands.
    W().Timer1Timer();
    during << W().Label1->text() << TimeLabel();
  });
  services_->AnswerBox(platform::kResultOk, kExpired);
  W().Timer1Timer();
  EXPECT_EQ(during, (QStringList{"Time remaining: 0 minutes", "Time remaining: -1 minutes",
                                 "Time remaining: -1 minutes"}));
  EXPECT_EQ(services_->CallsOf("MessageBox").size(), 1u);
  EXPECT_EQ(context_->Results->ObjectiveAnalysisList->count(), 1) << "graded once";
  EXPECT_EQ(context_->Results->UserScore->text(), "1000");
  EXPECT_TRUE(context_->Results->isVisible());
  EXPECT_TRUE(W().isHidden());
  EXPECT_FALSE(W().Timer1->isActive());
  EXPECT_FALSE(context_->Test.TestRunning);
  W().Timer1Timer();
  EXPECT_EQ(context_->Values.MinutesLeft, -1) << "a later tick does nothing";
}

TEST_F(ExamQuestionsTest, ExitEndsTheProgram) {
  SheetStart({FourAnswers()});
  W().HelpBtn->click();
  EXPECT_EQ(services_->CallKinds(), std::vector<std::string>{"Quit"});
  EXPECT_TRUE(platform::gui::TerminateRequested());
}

class X11ExamSheetTest : public ExamQuestionsTest {};

TEST_F(X11ExamSheetTest, AFiveAndAFourAnswerItem) {
  SheetStart({FiveAnswers("chart.bmp"), FourAnswers()});
  exam::TQuestions& w = W();
  context_->Values.MinutesLeft = 46;
  w.Timer1Timer();
  ASSERT_TRUE(ShowAndActivate(&w));
  w.rsSuperCheck3->SetChecked(true);
  SaveScreenshot(&w, "exam_sheet_five_answers.png");
  w.NewNextBtn->click();
  w.MarkCheckBox->setChecked(true);
  w.rsSuperCheck2->SetChecked(true);
  SaveScreenshot(&w, "exam_sheet_four_answers.png");
  EXPECT_EQ(w.windowTitle(), "Item 2 of 2");
  EXPECT_FALSE(w.rsSuperCheck5->isVisible());
}

}  // namespace
}  // namespace testing_support
