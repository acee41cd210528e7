// The item review window: its layout, the rows of the items and their glyphs, the printout,
// the activation and the refused close.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <sstream>
#include <string>
#include <vector>

#include "app/item_review_rows.h"
#include "app/item_review_window.h"
#include "app/question_window.h"
#include "app/results_window.h"
#include "app/test_controller.h"
#include "app/window_support.h"
#include "platform/core/halt.h"
#include "tests/app/app_fixture.h"
#include "tests/platform_gui/gui_test_util.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

using app::TReviewRow;

TEST(ReviewRow, ThePiecesOfAnItemsRow) {
  struct Case {
    int item;
    const char* marked;
    const char* incomplete;
    const char* answer;
    std::string text;
    std::size_t markup_end;
    const char* name;
  };
  const std::string gap = "   ";
  const Case cases[] = {
      {7, "M", "o", "A    ", "  7." + std::string(" ^1 ") + "  ^3 " + gap + "A    Line", 13,
       "marked and complete"},
      {12, "o", "I", "     ", " 12." + std::string(" ^3 ") + "  ^2 " + gap + "     Line", 13,
       "unanswered and incomplete"},
      {1, "M", "I", "AB   ", "  1." + std::string(" ^1 ") + "  ^2 " + gap + "AB   Line", 13,
       "marked and incomplete"},
      {100, "o", "o", "ABCDE", " 100." + std::string(" ^3 ") + "  ^3 " + gap + "ABCDELine", 14,
       "three digits push the row"},
      {9, "m", "i", "     ", "  9." + std::string(" ^3 ") + "  ^3 " + gap + "     Line", 13,
       "lower case is neither"},
      {10, "M ", " I", "     ", " 10." + std::string(" ^3 ") + "  ^3 " + gap + "     Line", 13,
       "only an exact M or I counts"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TReviewRow row = app::ReviewRow(c.item, c.marked, c.incomplete, c.answer, "Line");
    EXPECT_EQ(row.Text, c.text);
    EXPECT_EQ(row.MarkupEnd, c.markup_end);
    EXPECT_EQ(row.Text.substr(row.MarkupEnd), std::string("   ") + c.answer + "Line");
  }
}

TEST(ReviewPrintout, GlyphPairsBecomeLettersOnlyInTheRowsOwnPieces) {
  const std::vector<TReviewRow> rows = {
      app::ReviewRow(1, "M", "o", "A    ", "One"),
      app::ReviewRow(2, "M", "I", "     ", "Two"),
      app::ReviewRow(3, "o", "I", "     ", "x^2 in ~/bin"),
      app::ReviewRow(4, "o", "o", "B    ", "a ^3   ^3 b"),
  };
  // Each 7-character pair gives way to its 6 letters and blanks; the rest of the row stays.
  const std::string after = " " + std::string(3, ' ');
  EXPECT_EQ(
      app::ReviewPrintout("Heading", rows),
      (std::vector<std::string>{"Heading", "", "  1. " + std::string(" M    ") + after + "A    One",
                                "  2. " + std::string(" M  I ") + after + "     Two",
                                "  3. " + std::string("    I ") + after + "     x^2 in ~/bin",
                                "  4. " + std::string(6, ' ') + after + "B    a ^3   ^3 b"}));
  // A row that is not marked up has nothing to put in letters.
  EXPECT_EQ(app::ReviewPrintout("H", {{"  5. ^1   ^3 ", 0}}).back(), "  5. ^1   ^3 ");
}

// A review that counts its FormClose runs.
class CountingReview : public app::TItemReview {
 public:
  int closes = 0;
  void FormClose() override {
    ++closes;
    TItemReview::FormClose();
  }
};

class ItemReviewTest : public AppTest {
 protected:
  app::TItemReview& Review() { return *context_->ItemReview; }
  // `count` questions "Question <record>", the one of record 3 "x^2 in ~/bin".
  static std::vector<samples::QuestionRecord> Rows(int count) {
    std::vector<samples::QuestionRecord> rows;
    for (int r = 1; r <= count; ++r) {
      rows.push_back(QuestionRow("Objective one", "A",
                                 r == 3 ? "x^2 in ~/bin" : "Question " + std::to_string(r)));
    }
    return rows;
  }
  // The item whose question is record `record`.
  int ItemOf(int record) const {
    for (int item = 1; item <= context_->Test.QuestionCount; ++item) {
      if (ReviewRecordOf(item) == record) return item;
    }
    return 0;
  }
  std::string Line(int item) const { return context_->ControlForm->QuestionList[item]; }
};

TEST_F(ItemReviewTest, TheWindowAndItsComponentsStandInPlace) {
  CreateWindows();
  app::TItemReview& w = Review();
  EXPECT_EQ(w.windowTitle(), "Item Review");
  EXPECT_EQ(w.size(), QSize(629, 431));
  EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "a single border: not sizeable";
  EXPECT_FALSE(w.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(w.palette().color(QPalette::Window), QColor(0xc0, 0xc0, 0xc0));
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(w.pos(), screen.topLeft() + app::CentredPosition(screen.size(), w.size()));

  struct Place {
    QWidget* widget;
    QRect rect;
    const char* text;
  };
  const Place places[] = {
      {w.rsListBox1, {8, 28, 616, 341}, nullptr},
      {w.TimeLabel, {435, 7, 185, 17}, nullptr},
      {w.Image1, {24, 376, 16, 16}, nullptr},
      {w.Image2, {136, 376, 16, 16}, nullptr},
      {w.Button1, {5, 401, 105, 25}, "Review &Marked"},
      {w.Button2, {117, 401, 105, 25}, "Review &Incomplete"},
      {w.Button3, {228, 401, 97, 25}, "Grade Now"},
      {w.Button5, {424, 401, 75, 25}, "Print"},
      {w.Button4, {504, 401, 75, 25}, "&Review Item"},
      {w.Edit1, {584, 402, 33, 21}, nullptr},
      {w.RichEdit1, {16, 344, 600, 17}, nullptr},
  };
  for (const Place& p : places) {
    SCOPED_TRACE(p.widget->objectName().toStdString());
    EXPECT_EQ(p.widget->geometry(), p.rect);
    if (p.text) {
      EXPECT_EQ(static_cast<QPushButton*>(p.widget)->text(), p.text);
    }
  }
  EXPECT_EQ(w.Label1->pos(), QPoint(41, 377));
  EXPECT_EQ(w.Label1->text(), "= Marked Items");
  EXPECT_EQ(w.Label2->pos(), QPoint(153, 377));
  EXPECT_EQ(w.Label2->text(), "= Incomplete Items");
  EXPECT_FALSE(w.Image1->pixmap().isNull());
  EXPECT_FALSE(w.Image2->pixmap().isNull());
  EXPECT_TRUE(w.TimeLabel->alignment() & Qt::AlignRight);
  EXPECT_TRUE(w.TimeLabel->font().bold());
  EXPECT_TRUE(w.RichEdit1->isHidden());
  EXPECT_EQ(w.RichEdit1->font().family(), "DejaVu Sans Mono");
  EXPECT_EQ(w.RichEdit1->font().pixelSize(), 13);

  const components::TrsListBox& list = *w.rsListBox1;
  EXPECT_EQ(list.font().family(), "DejaVu Sans Mono");
  EXPECT_EQ(list.font().pixelSize(), 11);
  EXPECT_EQ(list.ItemHeight(), 16);
  EXPECT_EQ(list.Separators(), components::TrsListBox::TSepStyle::spNone);
  EXPECT_FALSE(list.HorzScrollBar());
  EXPECT_FALSE(list.focusPolicy() & Qt::TabFocus);
  for (int slot = 1; slot <= 3; ++slot) EXPECT_TRUE(list.Glyphs().Stored(slot)) << slot;
  EXPECT_FALSE(list.Glyphs().Stored(4));
}

TEST_F(ItemReviewTest, TheRowsOfEveryItemAndTheirGlyphs) {
  ReviewStartTest(Rows(100), 100);
  ReviewStoreItem(7, true, false, "A");
  ReviewStoreItem(12, false, true, "");
  const int odd = ItemOf(3);  // the question "x^2 in ~/bin"
  ASSERT_NE(odd, 0);
  ReviewStoreItem(odd, false, false, "B");
  context_->Test.ReviewFlag = 0;
  ASSERT_TRUE(ShowAndActivate(&Review()));
  EXPECT_EQ(context_->Test.ReviewFlag, 1);

  components::TrsListBox& list = *Review().rsListBox1;
  ASSERT_EQ(list.Count(), 100);
  EXPECT_EQ(list.Item(6), "  7." + std::string(" ^1 ") + "  ^3 " + "   " + "A    " + Line(7));
  EXPECT_EQ(list.Item(11), " 12." + std::string(" ^3 ") + "  ^2 " + "   " + "     " + Line(12));
  EXPECT_EQ(list.Item(99).substr(0, 5), " 100.");
  EXPECT_EQ(Line(odd), "x^2 in ~/bin");

  // Only the row's own pieces are glyphs; the display line's marks are drawn as they stand.
  const components::TrsListModel::TLineLayout layout = list.Model().LayoutLine(odd - 1);
  ASSERT_EQ(layout.Glyphs.size(), 2u);
  EXPECT_EQ(layout.Glyphs[0].Slot, 3);
  EXPECT_EQ(layout.Glyphs[1].Slot, 3);
  ASSERT_EQ(layout.Runs.size(), 1u);
  EXPECT_TRUE(layout.Runs[0].Text.ends_with("   B    x^2 in ~/bin")) << layout.Runs[0].Text;

  // On screen: the flag's red in the marked row, the box's yellow in the incomplete one,
  // neither in a complete row without a mark.
  auto has = [&](int item, QRgb colour) {
    list.scrollToItem(list.item(item - 1));
    const QImage shot = list.viewport()->grab().toImage();
    const QRect row = list.visualItemRect(list.item(item - 1));
    for (int y = row.top(); y <= row.bottom(); ++y) {
      for (int x = 0; x < 120; ++x) {
        if (shot.pixel(x, y) == colour) return true;
      }
    }
    return false;
  };
  const QRgb red = qRgb(0xff, 0, 0), yellow = qRgb(0xff, 0xff, 0);
  EXPECT_TRUE(has(7, red));
  EXPECT_FALSE(has(7, yellow));
  EXPECT_TRUE(has(12, yellow));
  EXPECT_FALSE(has(12, red));
  EXPECT_FALSE(has(odd, red) || has(odd, yellow));
}

TEST_F(ItemReviewTest, PrintPutsTheGlyphsInLettersUnderTheHeading) {
  TempDir pdfs;
  services_->set_pdf_folder(QString::fromStdString(pdfs.path()));
  ReviewStartTest(Rows(4), 4);
  const int odd = ItemOf(3);
  ReviewStoreItem(odd, true, false, "AC");
  ASSERT_TRUE(ShowAndActivate(&Review()));
  Review().Button5->click();
  Review().Button5->click();

  std::vector<std::string> expected = {"Velkorin Item Review Printout", ""};
  for (int item = 1; item <= 4; ++item) {
    expected.push_back("  " + std::to_string(item) + ". " + (item == odd ? " M    " : "    I ") +
                       "    " + (item == odd ? "AC   " : "     ") + Line(item));
  }
  std::ostringstream text;
  for (std::size_t i = 0; i < expected.size(); ++i) text << (i ? "\n" : "") << expected[i];
  const auto& jobs = services_->printed();
  ASSERT_EQ(jobs.size(), 2u);
  for (const platform::gui::PrintJob& job : jobs) {
    EXPECT_EQ(job.title, "Item Review");
    EXPECT_EQ(job.text.toStdString(), text.str());
    EXPECT_EQ(job.font.family(), "DejaVu Sans Mono");
  }
  EXPECT_EQ(Review().RichEdit1->toPlainText(), jobs[0].text);

  // Read back from the PDF (the text tool guesses the blanks from the glyph positions, so
  // runs of blanks count as one).
  auto words = [](const std::string& line) {
    std::string out;
    for (const char c : line) {
      if (c == '\f' || (c == ' ' && (out.empty() || out.back() == ' '))) continue;
      out += c;
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
  };
  ASSERT_EQ(services_->pdf_files().size(), 2u);
  std::istringstream pdf(CommandOutput("pdftotext -layout " +
                                       ShellQuote(services_->pdf_files()[0].toStdString()) + " -"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(pdf, line);) {
    if (!words(line).empty()) lines.push_back(words(line));
  }
  std::vector<std::string> printed;
  for (const std::string& line : expected) {
    if (!line.empty()) printed.push_back(words(line));
  }
  EXPECT_EQ(lines, printed);
}

TEST_F(ItemReviewTest, AFailedPrintShowsItsErrorInABox) {
  ReviewStartTest(Rows(2), 2);
  ASSERT_TRUE(ShowAndActivate(&Review()));
  services_->set_print_result({false, "No printer is installed"});
  services_->AnswerBox(platform::kResultOk, "No printer is installed");
  const std::size_t before = services_->calls().size();
  Review().Button5->click();
  EXPECT_TRUE(services_->ScriptDone());
  const std::vector<std::string> kinds = services_->CallKinds();
  EXPECT_EQ(std::vector<std::string>(kinds.begin() + static_cast<long>(before), kinds.end()),
            (std::vector<std::string>{"Print", "MessageBox"}));
}

TEST_F(ItemReviewTest, OnlyOurOwnCloseClosesTheWindowAndRunsFormClose) {
  CreateWindows();
  CountingReview review;
  review.FormCreate();
  ASSERT_TRUE(ShowAndActivate(&review));

  QCloseEvent from_outside;
  QCoreApplication::sendEvent(&review, &from_outside);
  EXPECT_FALSE(from_outside.isAccepted());
  EXPECT_FALSE(review.close());
  EXPECT_TRUE(review.isVisible());
  EXPECT_EQ(review.closes, 0);

  EXPECT_TRUE(app::CloseWindow(&review));
  EXPECT_TRUE(review.isHidden());
  EXPECT_EQ(review.closes, 1);
  EXPECT_FALSE(app::OwnCloseRunning(&review));
}

// The question window after the review sent the user to an item: which buttons it shows.
struct QuestionButtons {
  bool next_prev, marked_walk, incomplete_walk;
  bool operator==(const QuestionButtons&) const = default;
};
QuestionButtons ButtonsOf(const app::TQuestions& q) {
  return {!q.NewNextBtn->isHidden() && !q.newPrevBtn->isHidden(),
          !q.NextMarkedBtn->isHidden() && !q.PrevMarkedBtn->isHidden(),
          !q.NextIncompleteBtn->isHidden() && !q.PrevIncompleteBtn->isHidden()};
}

TEST_F(ItemReviewTest, ReviewItemRefusesWhatIsNoItemWithEdit1FocusedAndSelected) {
  ReviewStartTest(Rows(4), 4);
  ASSERT_TRUE(ShowAndActivate(&Review()));
  struct Case {
    const char* text;
    const char* box;
  };
  const Case cases[] = {
      {"", "You must enter a question number to review."},
      {"0", "Invalid question number"},
      {"5", "Invalid question number"},  // the test's length + 1
      {"-1", "Invalid question number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    Review().Edit1->setText(c.text);
    Review().Button3->setFocus();
    services_->AnswerBox(platform::kResultOk, c.box);
    Review().Button4->click();
    EXPECT_TRUE(services_->ScriptDone());
    EXPECT_EQ(services_->CallsOf("MessageBox").back().args[1].toStdString(), c.box);
    EXPECT_EQ(Review().focusWidget(), Review().Edit1);
    EXPECT_EQ(Review().Edit1->selectedText(), c.text);
    EXPECT_TRUE(Review().isVisible());
  }

  // Not a whole number: the conversion's error in a box, and nothing else.
  const int32_t item = context_->Test.CurrentItem;
  Review().Edit1->setText("x");
  Review().Edit1->deselect();
  Review().Button3->setFocus();
  services_->AnswerBox(platform::kResultOk, "'x' is not a valid integer value");
  Review().Button4->click();
  EXPECT_TRUE(services_->ScriptDone());
  EXPECT_TRUE(Review().isVisible());
  EXPECT_EQ(Review().focusWidget(), Review().Button3);
  EXPECT_EQ(context_->Test.CurrentItem, item);
}

TEST_F(ItemReviewTest, ReviewItemShowsTheItemWithItsStoredStateAndTheRightBoxes) {
  // Record 1: one correct letter and four answers; record 2: two correct letters and five.
  std::vector<samples::QuestionRecord> rows = {
      QuestionItemRow({"a", "b", "c", "d"}, "C"),
      QuestionItemRow({"a", "b", "c", "d", "e"}, "BD"),
      QuestionItemRow({"a", "b", "c", "d"}, "A"),
  };
  ReviewStartTest(rows, 3);
  const int single = ItemOf(1), multiple = ItemOf(2);
  ReviewStoreItem(single, false, false, "C");
  ReviewStoreItem(multiple, true, false, "BD");
  app::TQuestions& q = *context_->Questions;
  q.hide();
  struct Case {
    int item;
    components::TrsCheckModel::TCheckStyle style;
    int16_t group;
    bool marked;
    std::string ticked;
    bool fifth;
  };
  const Case cases[] = {
      {single, components::TrsCheckModel::csRound, 1, false, "C", false},
      {multiple, components::TrsCheckModel::csSquareCheck, 0, true, "BD", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    ASSERT_TRUE(ShowAndActivate(&Review()));
    q.ChapterRef->show();
    q.NextMarkedBtn->show();
    Review().Edit1->setText(QString::number(c.item));
    Review().Button4->click();

    EXPECT_TRUE(Review().isHidden());
    EXPECT_TRUE(q.isVisible());
    EXPECT_EQ(context_->Test.CurrentItem, c.item);
    EXPECT_EQ(q.WenDbf1->RecNo(), ReviewRecordOf(c.item));
    EXPECT_EQ(q.windowTitle(), QString("Item %1 of 3").arg(c.item));
    EXPECT_EQ(ButtonsOf(q), (QuestionButtons{true, false, false}));
    EXPECT_TRUE(q.ChapterRef->isHidden());
    std::string ticked;
    for (components::TrsSuperCheck* box :
         {q.rsSuperCheck1, q.rsSuperCheck2, q.rsSuperCheck3, q.rsSuperCheck4, q.rsSuperCheck5}) {
      EXPECT_EQ(box->CheckStyle(), c.style);
      EXPECT_EQ(box->GroupID(), c.group);
      if (box->Checked()) ticked += box->objectName().back().toLatin1() - '1' + 'A';
    }
    EXPECT_EQ(ticked, c.ticked);
    EXPECT_EQ(q.MarkCheckBox->isChecked(), c.marked);
    EXPECT_EQ(!q.rsSuperCheck5->isHidden(), c.fifth);
    EXPECT_EQ(Review().Label2->text(), "= Incomplete Items");
  }
}

TEST_F(ItemReviewTest, ADoubleClickShowsTheRowsItemAndOnNoRowDoesNothing) {
  ReviewStartTest(Rows(3), 3);
  app::TQuestions& q = *context_->Questions;
  q.hide();
  ASSERT_TRUE(ShowAndActivate(&Review()));
  components::TrsListBox& list = *Review().rsListBox1;
  const int32_t item = context_->Test.CurrentItem;

  // Below the rows, with no row selected.
  list.SetItemIndex(-1);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, 3 * 16 + 40));
  list.SetItemIndex(-1);
  if (list.OnDblClick) list.OnDblClick(&list);
  EXPECT_TRUE(Review().isVisible());
  EXPECT_TRUE(q.isHidden());
  EXPECT_EQ(context_->Test.CurrentItem, item);

  const QRect second = list.visualItemRect(list.item(1));
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, second.center());
  EXPECT_TRUE(Review().isHidden());
  EXPECT_TRUE(q.isVisible());
  EXPECT_EQ(context_->Test.CurrentItem, 2);
  EXPECT_EQ(q.WenDbf1->RecNo(), ReviewRecordOf(2));
  EXPECT_EQ(Review().Label2->text(), "= Incomplete Items");
}

TEST_F(ItemReviewTest, ReviewMarkedAndReviewIncompleteStartTheirWalks) {
  ReviewStartTest(Rows(10), 10);
  for (int item = 1; item <= 10; ++item) ReviewStoreItem(item, false, false, "A");
  for (int item : {2, 7, 9}) ReviewStoreItem(item, true, false, "A");
  for (int item : {4, 6}) ReviewStoreItem(item, false, true, "");
  app::TQuestions& q = *context_->Questions;

  struct Case {
    const char* name;
    QPushButton* app::TItemReview::*button;
    int first;
    QPushButton* next;
    QPushButton* prev;
    QuestionButtons shown;
  };
  const Case cases[] = {
      {"marked",
       &app::TItemReview::Button1,
       2,
       q.NextMarkedBtn,
       q.PrevMarkedBtn,
       {false, true, false}},
      {"incomplete",
       &app::TItemReview::Button2,
       4,
       q.NextIncompleteBtn,
       q.PrevIncompleteBtn,
       {false, false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CountingReview review;
    q.hide();
    ASSERT_TRUE(ShowAndActivate(&review));
    EXPECT_TRUE(review.Button1->isEnabled());
    EXPECT_TRUE(review.Button2->isEnabled());
    EXPECT_FALSE(q.ItemReviewBtn->isHidden());
    c.prev->setEnabled(true);
    c.next->setEnabled(false);
    (review.*c.button)->click();

    EXPECT_TRUE(review.isHidden());
    EXPECT_GE(review.closes, 1) << "the review's own close runs FormClose";
    EXPECT_TRUE(q.isVisible());
    EXPECT_EQ(context_->Test.CurrentItem, c.first);
    EXPECT_EQ(q.WenDbf1->RecNo(), ReviewRecordOf(c.first));
    EXPECT_EQ(q.windowTitle(), QString("Item %1 of 10").arg(c.first));
    EXPECT_TRUE(c.next->isEnabled());
    EXPECT_FALSE(c.prev->isEnabled());
    EXPECT_EQ(ButtonsOf(q), c.shown);
    EXPECT_EQ(q.MarkCheckBox->isChecked(), c.first == 2);
    EXPECT_EQ(q.rsSuperCheck1->Checked(), c.first == 2);
  }

  // A single marked or incomplete item leaves nothing to walk to.
  ReviewStoreItem(7, false, false, "A");
  ReviewStoreItem(9, false, false, "A");
  ReviewStoreItem(6, false, false, "A");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("one ") + c.name);
    q.hide();
    ASSERT_TRUE(ShowAndActivate(&Review()));
    (Review().*c.button)->click();
    EXPECT_EQ(context_->Test.CurrentItem, c.first);
    EXPECT_FALSE(c.next->isEnabled());
    EXPECT_FALSE(c.prev->isEnabled());
  }

  // Nothing marked and nothing incomplete: neither walk can start.
  ReviewStoreItem(2, false, false, "A");
  ReviewStoreItem(4, false, false, "A");
  q.hide();
  ASSERT_TRUE(ShowAndActivate(&Review()));
  EXPECT_FALSE(Review().Button1->isEnabled());
  EXPECT_FALSE(Review().Button2->isEnabled());
}

TEST_F(ItemReviewTest, OnlyTheLastItemMarkedStillEnablesReviewMarked) {
  ReviewStartTest(Rows(3), 3);
  for (int item = 1; item <= 3; ++item) ReviewStoreItem(item, false, false, "A");
  app::TQuestions& q = *context_->Questions;
  // The user is on the last item, marks it and presses Next: the number lists were built at
  // the move to it, before it was stored.
  context_->Test.CurrentItem = 3;
  q.WenDbf1->Go(ReviewRecordOf(3));
  q.MarkCheckBox->setChecked(true);
  q.NewNextBtn->click();
  ASSERT_TRUE(WaitForActivation(&Review()));
  ASSERT_TRUE(Review().isVisible());
  EXPECT_EQ(Review().rsListBox1->Item(2).substr(4, 4), " ^1 ");
  EXPECT_TRUE(Review().Button1->isEnabled());
  EXPECT_FALSE(Review().Button2->isEnabled());
  Review().Button1->click();
  EXPECT_EQ(context_->Test.CurrentItem, 3);
  EXPECT_TRUE(q.MarkCheckBox->isChecked());
}

TEST_F(ItemReviewTest, GradeNowShowsTheResultsInPlaceOfTheReview) {
  ReviewStartTest(Rows(2), 2);
  context_->Questions->hide();
  ASSERT_TRUE(ShowAndActivate(&Review()));
  Review().Button3->click();
  EXPECT_TRUE(context_->Results->isVisible());
  EXPECT_TRUE(Review().isHidden());
  EXPECT_TRUE(context_->Questions->isHidden());
}

}  // namespace
}  // namespace testing_support
