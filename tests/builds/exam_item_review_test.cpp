// The practice-exam build's item review: its frame and places, the rows over the test's
// length, the printout under the exam's heading, the way back to one item without Next and
// Previous, the frame close that shows the question sheet again, and a screenshot.
#include "builds/exam/exam_item_review.h"

#include <gtest/gtest.h>

#include <QTest>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/results_window.h"
#include "app/test_controller.h"
#include "builds/exam/exam_questions.h"
#include "platform/gui/application.h"
#include "tests/app/x11_helpers.h"
#include "tests/builds/exam_fixture.h"
#include "tests/platform_gui/gui_test_util.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

std::vector<samples::QuestionRecord> Items(int count) {
  std::vector<samples::QuestionRecord> rows;
  for (int i = 1; i <= count; ++i) {
    samples::QuestionRecord row = QuestionItemRow({"Red", "Green", "Blue", "Yellow"}, "B");
    row.memos["QUESTION"] = {"Question number " + std::to_string(i)};
    rows.push_back(row);
  }
  return rows;
}

class ExamItemReviewTest : public ExamTest {
 protected:
  exam::TQuestions& Sheet() { return *exam_context().ExamQuestions(); }
  exam::TItemReview& Review() { return *exam_context().ExamItemReview(); }
  // The sheet on item 1 of `count` items, the test running; then Next on every item, which
  // ticks answer B on the items of `answered` and marks those of `marked`, and opens the review
  // after the last.
  void AnswerAll(int count, const std::set<int>& marked, const std::set<int>& answered) {
    QuestionStart(Items(count));
    context_->Test.TestRunning = true;
    for (int item = 1; item <= count; ++item) {
      ASSERT_EQ(context_->Test.CurrentItem, item);
      if (answered.count(item) != 0) Sheet().rsSuperCheck2->SetChecked(true);
      Sheet().MarkCheckBox->setChecked(marked.count(item) != 0);
      Sheet().NewNextBtn->click();
    }
    ASSERT_TRUE(WaitForActivation(&Review()));
    ASSERT_TRUE(Sheet().isHidden());
  }
  std::vector<std::string> RowTexts() {
    std::vector<std::string> rows;
    for (const app::TReviewRow& row : Review().Rows()) rows.push_back(row.Text);
    return rows;
  }
};

TEST_F(ExamItemReviewTest, TheFrameClosesAndTheButtonsStandInTheirPlaces) {
  AnswerAll(2, {}, {1, 2});
  exam::TItemReview& r = Review();
  EXPECT_TRUE(r.windowFlags().testFlag(Qt::WindowSystemMenuHint));
  EXPECT_TRUE(r.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(r.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_EQ(r.size(), QSize(629, 431));
  const struct {
    QPushButton* button;
    QRect place;
    const char* caption;
  } buttons[] = {
      {r.Button1, {5, 401, 105, 25}, "Review &Marked"},
      {r.Button2, {123, 401, 105, 25}, "Review &Incomplete"},
      {r.Button3, {240, 401, 105, 25}, "Grade Now"},
      {r.PrintBtn, {358, 401, 105, 25}, "&Print"},
      {r.Button4, {475, 401, 105, 25}, "&Review Item"},
  };
  for (const auto& b : buttons) {
    SCOPED_TRACE(b.caption);
    EXPECT_TRUE(b.button->isVisible());
    EXPECT_EQ(b.button->geometry(), b.place);
    EXPECT_EQ(b.button->text(), b.caption);
  }
  EXPECT_TRUE(r.Button5->isHidden());
  EXPECT_EQ(r.RichEdit1->geometry(), QRect(8, 352, 609, 17));
  EXPECT_EQ(r.RichEdit1->font().pixelSize(), 11);
  EXPECT_EQ(r.RichEdit1->font().family(), "DejaVu Sans Mono");
  EXPECT_TRUE(r.RichEdit1->isHidden());
}

TEST_F(ExamItemReviewTest, TheRowsRunOverTheTestsLength) {
  AnswerAll(4, {2}, {1, 2, 3});
  std::vector<std::string> rows = RowTexts();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1], "  2. ^1   ^3    B    Question number 2");
  EXPECT_EQ(rows[3], "  4. ^3   ^2         Question number 4");
  EXPECT_FALSE(Sheet().ItemReviewBtn->isHidden()) << "the way back, shown on the sheet";

  // T, not the question count, gives the rows.
  app::TControlForm& c = *context_->ControlForm;
  c.OnTest->setText("3");
  context_->Test.QuestionCount = 4;
  Review().hide();
  ASSERT_TRUE(ShowAndActivate(&Review()));
  rows = RowTexts();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2], "  3. ^3   ^3    B    Question number 3");
}

TEST_F(ExamItemReviewTest, PrintPutsTheExamsHeadingAndAnEmptyLineFirst) {
  TempDir pdfs;
  services_->set_pdf_folder(QString::fromStdString(pdfs.path()));
  AnswerAll(3, {2}, {2, 3});
  Review().PrintBtn->click();
  // Each glyph pair (7 characters) becomes its letters (6).
  const std::string gap = " " + std::string(3, ' ');
  const std::vector<std::string> expected = {
      "Oskavane Item Review Printout", "",
      "  1. " + std::string("    I ") + gap + "     " + "Question number 1",
      "  2. " + std::string(" M    ") + gap + "B    " + "Question number 2",
      "  3. " + std::string("      ") + gap + "B    " + "Question number 3"};
  ASSERT_EQ(services_->printed().size(), 1u);
  const platform::gui::PrintJob& job = services_->printed()[0];
  EXPECT_EQ(job.title, "Item Review");
  std::vector<std::string> lines;
  for (const QString& line : job.text.split('\n')) lines.push_back(line.toStdString());
  EXPECT_EQ(lines, expected);

  // The PDF: the heading, then the rows after an empty line (the text tool reads a run of
  // blanks as it likes, so the blanks are compared as one).
  auto words = [](const std::string& line) {
    std::string out;
    for (const char ch : line) {
      if (ch == '\f' || (ch == ' ' && (out.empty() || out.back() == ' '))) continue;
      out += ch;
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
  };
  ASSERT_EQ(services_->pdf_files().size(), 1u);
  std::istringstream pdf(CommandOutput("pdftotext -layout " +
                                       ShellQuote(services_->pdf_files()[0].toStdString()) + " -"));
  std::vector<std::string> printed;
  for (std::string line; std::getline(pdf, line);) printed.push_back(words(line));
  while (!printed.empty() && printed.back().empty()) printed.pop_back();
  ASSERT_GE(printed.size(), 3u);
  EXPECT_EQ(printed[0], "Oskavane Item Review Printout");
  EXPECT_EQ(printed[1], "") << "the empty line";
  EXPECT_EQ(printed[2], words(expected[2]));
  EXPECT_EQ(printed.back(), words(expected.back()));
}

TEST_F(ExamItemReviewTest, ReviewingOneItemAfterAWalkShowsNeitherNextNorPrevious) {
  const struct {
    const char* name;
    bool double_click;
  } ways[] = {{"Review Item", false}, {"a double click", true}};
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    AnswerAll(6, {2, 5}, {5});
    exam::TItemReview& r = Review();
    exam::TQuestions& q = Sheet();
    r.Button1->click();  // Review Marked
    ASSERT_TRUE(q.isVisible());
    ASSERT_EQ(context_->Test.CurrentItem, 2);
    EXPECT_TRUE(q.NextMarkedBtn->isVisible());
    q.ItemReviewBtn->click();
    ASSERT_TRUE(WaitForActivation(&r));

    if (way.double_click) {
      components::TrsListBox& list = *r.rsListBox1;
      QTest::mouseDClick(list.viewport(), Qt::LeftButton, {},
                         list.visualItemRect(list.item(4)).center());
    } else {
      r.Edit1->setText("5");
      r.Button4->click();
    }
    EXPECT_TRUE(r.isHidden());
    ASSERT_TRUE(q.isVisible());
    EXPECT_EQ(context_->Test.CurrentItem, 5);
    EXPECT_EQ(q.windowTitle(), "Item 5 of 6");
    EXPECT_EQ(q.RichEdit6->toPlainText(), "Question number 5");
    EXPECT_TRUE(q.MarkCheckBox->isChecked());
    EXPECT_TRUE(q.rsSuperCheck2->Checked());
    for (QWidget* hidden :
         {static_cast<QWidget*>(q.NewNextBtn), static_cast<QWidget*>(q.newPrevBtn),
          static_cast<QWidget*>(q.NextMarkedBtn), static_cast<QWidget*>(q.PrevMarkedBtn),
          static_cast<QWidget*>(q.NextIncompleteBtn), static_cast<QWidget*>(q.PrevIncompleteBtn)}) {
      EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
    }
    EXPECT_TRUE(q.ItemReviewBtn->isVisible()) << "the way back to the review";
    q.hide();
  }
}

TEST_F(ExamItemReviewTest, AFrameCloseShowsTheSheetAsItWas) {
  AnswerAll(3, {}, {1});
  exam::TQuestions& q = Sheet();
  Review().close();  // as the frame's close box does
  EXPECT_TRUE(Review().isHidden());
  ASSERT_TRUE(q.isVisible());
  EXPECT_EQ(context_->Test.CurrentItem, 3);
  EXPECT_EQ(q.windowTitle(), "Item 3 of 3");
  EXPECT_TRUE(q.NewNextBtn->isVisible());
  EXPECT_TRUE(q.newPrevBtn->isVisible());
  EXPECT_TRUE(q.ItemReviewBtn->isVisible());
  EXPECT_TRUE(services_->calls().empty());
  EXPECT_FALSE(platform::gui::TerminateRequested());

  // Back to the review and Grade Now: the results alone.
  q.ItemReviewBtn->click();
  ASSERT_TRUE(WaitForActivation(&Review()));
  Review().Button3->click();
  EXPECT_TRUE(context_->Results->isVisible());
  EXPECT_TRUE(q.isHidden());
  EXPECT_TRUE(Review().isHidden());
}

class X11ExamReviewTest : public ExamItemReviewTest {};

TEST_F(X11ExamReviewTest, TheReviewOfAMarkedAndAnIncompleteItem) {
  AnswerAll(5, {2, 4}, {1, 2, 3, 5});
  context_->Values.MinutesLeft = 31;
  Sheet().Timer1Timer();
  SaveScreenshot(&Review(), "exam_item_review.png");
  EXPECT_EQ(Review().TimeLabel->text(), "Time remaining: 30 minutes");
  EXPECT_EQ(Review().rsListBox1->Count(), 5);
}

}  // namespace
}  // namespace testing_support
