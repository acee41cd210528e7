// The drill build's card window: its layout and menus, the walk from card to card with the end
// message, Show Answers in the pad, the countdown that never grades, the pad's clipboard,
// Start Over, and screenshots of a card under Xvfb.
#include "builds/drill/drill_questions.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QKeySequence>
#include <QTest>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app/item_review_window.h"
#include "app/results_window.h"
#include "app/test_controller.h"
#include "platform/core/paths.h"
#include "platform/gui/application.h"
#include "tests/builds/drill_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

constexpr const char* kCompleted = "You have completed this all questions in this Drumel set.";
constexpr const char* kExpired = "The time allocated for this test has expired.";
const QColor kPaleYellow(255, 255, 128);

// A card: four answers, the correct ones B and D, a select note, a chapter and an explanation.
samples::QuestionRecord CardRow(const std::string& question,
                                const std::string& feedback = "Both stop the traffic.") {
  samples::QuestionRecord row = QuestionItemRow(
      {"A green light", "A red light", "A flashing amber light", "<b>A raised hand</b>"}, "BD",
      "Choose two.");
  row.memos["QUESTION"] = {question};
  row.texts["CHAPTER"] = "Chapter 2: Signals at crossings and what each asks of you";
  if (!feedback.empty()) row.memos["FEEDBACK"] = {feedback};
  row.flags["DRUMEL"] = true;
  return row;
}

std::vector<samples::QuestionRecord> Cards(int n) {
  std::vector<samples::QuestionRecord> rows;
  for (int i = 1; i <= n; ++i) rows.push_back(CardRow("Card " + std::to_string(i)));
  return rows;
}

class DrillQuestionsTest : public DrillTest {
 protected:
  drill::TQuestions& W() { return static_cast<drill::TQuestions&>(*context_->Questions); }
  app::TControlForm& Control() { return *context_->ControlForm; }
  QString Status() { return W().StatusBar1->SimpleText(); }
  QString TimeLabel() { return context_->ItemReview->TimeLabel->text(); }
  // Every text the controller's per-question lists hold.
  std::vector<std::string> StoredTexts() {
    std::vector<std::string> texts;
    for (const app::TTestList* list :
         {&Control().marked, &Control().userAnswers, &Control().incompletes,
          &Control().QuestionList, &Control().Objective}) {
      for (int32_t k = 0; k < list->Count(); ++k) texts.push_back((*list)[k]);
    }
    return texts;
  }
};

TEST_F(DrillQuestionsTest, TheCardShowsTheQuestionAndThePadInPlaceOfTheAnswerRows) {
  QuestionStart(Cards(2));
  drill::TQuestions& w = W();
  EXPECT_EQ(w.ClientArea->size(), QSize(629, 412));
  EXPECT_EQ(w.size(), QSize(629, 412 + w.MainMenu1->height()));
  EXPECT_EQ(w.StatusBar1->geometry(), QRect(0, 393, 629, 19));
  EXPECT_EQ(w.Panel3->width(), 610);
  EXPECT_EQ(w.Shape1->size(), QSize(610, 106));
  EXPECT_EQ(w.RichEdit6->geometry(), QRect(22, 15, 577, 90));
  EXPECT_EQ(w.RichEdit6->toPlainText(), "Card 1");

  // The pad: editable plain text inside the item's panel, focused and empty on arrival.
  EXPECT_EQ(w.RichEdit8->parentWidget(), w.Panel3);
  EXPECT_EQ(w.RichEdit8->geometry(), QRect(0, 104, 617, 161));
  EXPECT_TRUE(w.RichEdit8->isVisible());
  EXPECT_FALSE(w.RichEdit8->isReadOnly());
  EXPECT_FALSE(w.RichEdit8->acceptRichText());
  EXPECT_EQ(w.focusWidget(), w.RichEdit8);
  EXPECT_TRUE(w.RichEdit8->toPlainText().isEmpty());

  // Hidden, but the answer edits still get the answers.
  for (QWidget* hidden : std::initializer_list<QWidget*>{
           w.MarkCheckBox,   w.rsSuperCheck1,     w.rsSuperCheck2,     w.rsSuperCheck3,
           w.rsSuperCheck4,  w.rsSuperCheck5,     w.RichEdit1,         w.RichEdit2,
           w.RichEdit3,      w.RichEdit4,         w.RichEdit5,         w.NextMarkedBtn,
           w.PrevMarkedBtn,  w.NextIncompleteBtn, w.PrevIncompleteBtn, w.markedList,
           w.incompleteList, w.RichEdit7,         w.ItemReviewBtn,     w.Drumel}) {
    EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
  }
  EXPECT_EQ(w.RichEdit2->toPlainText(), "A red light");
  EXPECT_EQ(w.RichEdit4->toPlainText(), "<b>A raised hand</b>");
  EXPECT_TRUE(w.Drumel->isChecked()) << "the card flag follows the record";
  EXPECT_EQ(w.Drumel->text(), "Drumel");

  // No select note in the status line.
  EXPECT_EQ(Status(), "Time remaining: 90 minutes");
  ASSERT_TRUE(ShowAndActivate(&w));
  EXPECT_EQ(Status(), "Time remaining: 90 minutes");

  // The chapter: a word-wrapped label in the reference box, shown by References.
  EXPECT_EQ(w.ChapterRefControl(), w.ChapterRef);
  EXPECT_EQ(w.ChapterRef->parentWidget(), w.ReferenceBox);
  EXPECT_EQ(w.ChapterRef->geometry(), QRect(8, 13, 482, 52));
  EXPECT_TRUE(w.ChapterRef->wordWrap());
  context_->Values.ShowChapter = "1";
  context_->Values.ShowLinks = "0";
  w.ShowRefsBtn->click();
  EXPECT_TRUE(w.ChapterRef->isVisible());
  EXPECT_EQ(w.ChapterRef->text(), "Chapter 2: Signals at crossings and what each asks of you");
  w.NewNextBtn->click();
  EXPECT_TRUE(w.ChapterRef->isHidden()) << "a move hides the references";

  // The item review's button has no handler.
  const std::vector<std::string> stored = StoredTexts();
  w.ItemReviewBtn->click();
  EXPECT_EQ(StoredTexts(), stored);
  EXPECT_FALSE(context_->ItemReview->isVisible());
  EXPECT_TRUE(w.isVisible());
}

TEST_F(DrillQuestionsTest, TheMenusHaveCopyAndPasteButNoCopyQuestion) {
  QuestionStart(Cards(1));
  drill::TQuestions& w = W();
  const std::vector<std::pair<QString, QString>> menus = {{"&File", "E&xit"},
                                                          {"&Edit", "Copy"},
                                                          {"&Edit", "Paste"},
                                                          {"&Options", "&Open Notes"},
                                                          {"&Options", "Start Over"}};
  std::vector<std::pair<QString, QString>> found;
  std::vector<QKeySequence> shortcuts;
  for (QAction* menu : w.MainMenu1->actions()) {
    for (QAction* item : menu->menu()->actions()) {
      found.emplace_back(menu->text(), item->text());
      shortcuts.push_back(item->shortcut());
    }
  }
  EXPECT_EQ(found, menus);
  EXPECT_EQ(shortcuts,
            (std::vector<QKeySequence>{QKeySequence(), QKeySequence("Ctrl+C"),
                                       QKeySequence("Ctrl+V"), QKeySequence(), QKeySequence()}));
  EXPECT_EQ(w.CopyQuestiontoClipboard1, nullptr);
  // Ctrl+B copies nothing.
  w.RichEdit6->setFocus();
  QTest::keyClick(w.RichEdit6, Qt::Key_B, Qt::ControlModifier);
  EXPECT_TRUE(services_->CallsOf("SetClipboard").empty());
}

TEST_F(DrillQuestionsTest, TheDrillWalksItsCardsAndEndsWithAMessageOnTheLastOne) {
  struct Step {
    const char* action;  // "next" or "prev"; "" for the start
    bool end_message;
    int item;
    bool prev_enabled;
    bool next_enabled;
  };
  const struct Drill {
    int cards;
    std::vector<Step> steps;
  } drills[] = {
      {3,
       {{"", false, 1, false, true},
        {"next", false, 2, true, true},
        {"next", false, 3, true, true},  // arriving on the last card leaves Next on
        {"next", true, 3, true, false},
        {"prev", false, 2, true, true},
        {"prev", false, 1, false, true}}},
      {1,
       {{"", false, 1, false, true},
        {"next", true, 1, true, false},
        // No move: Previous stays on as Next left it, and switches Next on again.
        {"prev", false, 1, true, true},
        {"next", true, 1, true, false}}},
  };
  for (const Drill& drill : drills) {
    SCOPED_TRACE(std::to_string(drill.cards) + " cards");
    TearDown();
    SetUp();
    QuestionStart(Cards(drill.cards));
    drill::TQuestions& w = W();
    int boxes = 0;
    for (size_t s = 0; s < drill.steps.size(); ++s) {
      const Step& step = drill.steps[s];
      SCOPED_TRACE("step " + std::to_string(s));
      w.RichEdit8->setPlainText("typed on the way");
      if (step.end_message) services_->AnswerBox(platform::kResultOk, kCompleted);
      if (std::string(step.action) == "next") w.NewNextBtn->click();
      if (std::string(step.action) == "prev") w.newPrevBtn->click();
      boxes += step.end_message ? 1 : 0;
      EXPECT_EQ(services_->CallsOf("MessageBox").size(), static_cast<size_t>(boxes));
      EXPECT_EQ(context_->Test.CurrentItem, step.item);
      EXPECT_EQ(w.newPrevBtn->isEnabled(), step.prev_enabled);
      EXPECT_EQ(w.NewNextBtn->isEnabled(), step.next_enabled);
      EXPECT_EQ(w.windowTitle(), QString("Item %1 of %2").arg(step.item).arg(drill.cards));
      EXPECT_TRUE(w.isVisible());
    }
    // Every card stored as never marked, with no letters and incomplete.
    for (int k = 1; k <= drill.cards; ++k) {
      EXPECT_EQ(Control().marked[k], "o");
      EXPECT_EQ(Control().userAnswers[k], "     ");
      EXPECT_EQ(Control().incompletes[k], "I");
    }
    EXPECT_EQ(Control().marked.Count(), drill.cards + 1);
    EXPECT_FALSE(context_->ItemReview->isVisible());
    for (const std::string& text : StoredTexts()) EXPECT_EQ(text.find("typed"), std::string::npos);
  }
}

TEST_F(DrillQuestionsTest, ShowAnswersPutsTheCorrectAnswersInThePadUntilTheNextMove) {
  QuestionStart({CardRow("Which signals stop you?"), CardRow("Card 2", "")});
  drill::TQuestions& w = W();
  const QColor standard = QApplication::palette(w.RichEdit8).color(QPalette::Base);
  ASSERT_NE(standard, kPaleYellow);
  EXPECT_EQ(w.RichEdit8->palette().color(QPalette::Base), standard);
  w.RichEdit8->setFocus();
  QTest::keyClicks(w.RichEdit8, "my own answer");
  EXPECT_EQ(w.RichEdit8->toPlainText(), "my own answer");

  w.ShowAnswersBtn->click();
  // B's text, then D's, each a line of its own, as plain text.
  EXPECT_EQ(w.RichEdit8->toPlainText(), "A red light\n<b>A raised hand</b>");
  EXPECT_EQ(w.RichEdit8->document()->blockCount(), 2);
  EXPECT_EQ(w.RichEdit8->palette().color(QPalette::Base), kPaleYellow);
  EXPECT_TRUE(w.FeedBackEdit->isVisible());
  EXPECT_EQ(w.FeedBackEdit->toPlainText(), "Both stop the traffic.");
  EXPECT_TRUE(w.ChapterRef->isHidden());
  EXPECT_TRUE(w.ListBox2->isHidden());
  EXPECT_TRUE(w.GoToBtn->isHidden());

  w.NewNextBtn->click();
  EXPECT_EQ(w.RichEdit8->palette().color(QPalette::Base), standard);
  EXPECT_TRUE(w.RichEdit8->toPlainText().isEmpty());
  EXPECT_TRUE(w.FeedBackEdit->isHidden());
  w.ShowAnswersBtn->click();
  EXPECT_TRUE(w.FeedBackEdit->isHidden()) << "no explanation on this card";
  for (const std::string& text : StoredTexts()) EXPECT_EQ(text.find("my own"), std::string::npos);
}

TEST_F(DrillQuestionsTest, TheCountdownTellsTheTimeIsUpOnceAndNeverGrades) {
  QuestionStart(Cards(2));
  drill::TQuestions& w = W();
  // No tick counts before the drill runs.
  context_->Values.MinutesLeft = 3;
  w.Timer1Timer();
  EXPECT_EQ(context_->Values.MinutesLeft, 3);
  EXPECT_EQ(Status(), "Time remaining: 90 minutes");

  context_->Test.TestRunning = true;
  const struct {
    int before;
    const char* text;
  } ticks[] = {{3, "Time remaining: 2 minutes"}, {2, "Time remaining: 1 minute"}};
  for (const auto& tick : ticks) {
    context_->Values.MinutesLeft = tick.before;
    w.Timer1Timer();
    EXPECT_EQ(Status(), tick.text) << tick.before;
    EXPECT_EQ(TimeLabel(), tick.text) << tick.before;
    EXPECT_EQ(context_->Values.MinutesLeft, tick.before - 1);
  }

  int boxes = 0;
  services_->AnswerBox(platform::kResultOk, kExpired);
  services_->set_box_observer([&](const QString& text, QWidget*) {
    ++boxes;
    EXPECT_EQ(text, kExpired);
    EXPECT_EQ(Status(), "Time Expired");
    EXPECT_FALSE(w.Timer1->isActive()) << "off before the box";
    w.Timer1Timer();  // a tick while the box is open
  });
  w.Timer1Timer();
  services_->set_box_observer(nullptr);
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(context_->Values.MinutesLeft, 0);
  EXPECT_EQ(TimeLabel(), "Time remaining: 0 minutes");
  EXPECT_FALSE(w.Timer1->isActive());
  w.Timer1Timer();
  EXPECT_EQ(context_->Values.MinutesLeft, 0);

  // Nothing graded, no score file; the drill goes on.
  EXPECT_EQ(Control().ObjectiveNo.Count(), 1);
  EXPECT_FALSE(context_->Results->isVisible());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "config/practice-exam"));
  w.NewNextBtn->click();
  EXPECT_EQ(context_->Test.CurrentItem, 2);
  EXPECT_EQ(services_->CallsOf("MessageBox").size(), 1u);
}

TEST_F(DrillQuestionsTest, PasteFillsOnlyThePadAndCopyTakesThePadsSelection) {
  QuestionStart(Cards(1));
  drill::TQuestions& w = W();
  services_->SetClipboardText("pasted");
  struct Way {
    const char* name;
    std::function<void()> paste;
  };
  const Way ways[] = {
      {"the menu", [&] { w.Paste1->trigger(); }},
      {"the pad's Ctrl+V",
       [&] { QTest::keyClick(w.focusWidget(), Qt::Key_V, Qt::ControlModifier); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    w.RichEdit8->setPlainText("typed: ");
    w.RichEdit8->moveCursor(QTextCursor::End);
    w.RichEdit8->setFocus();
    way.paste();
    EXPECT_EQ(w.RichEdit8->toPlainText(), "typed: pasted");
    // The question is read-only: it takes nothing.
    w.RichEdit6->setFocus();
    way.paste();
    EXPECT_EQ(w.RichEdit6->toPlainText(), "Card 1");
    EXPECT_EQ(w.RichEdit8->toPlainText(), "typed: pasted");
  }
  w.NewNextBtn->setFocus();
  w.Paste1->trigger();
  EXPECT_EQ(w.RichEdit8->toPlainText(), "typed: pasted");
  // Rich text on the clipboard arrives as its plain text.
  services_->SetClipboardText("<b>bold</b>", "<b>bold</b>");
  w.RichEdit8->clear();
  w.RichEdit8->setFocus();
  w.Paste1->trigger();
  EXPECT_EQ(w.RichEdit8->toPlainText(), "<b>bold</b>");

  // Copy: the pad's selection, by the menu and by the pad's own key.
  const std::function<void()> copies[] = {
      [&] { w.Copy1->trigger(); },
      [&] { QTest::keyClick(w.RichEdit8, Qt::Key_C, Qt::ControlModifier); }};
  for (const auto& copy : copies) {
    const size_t before = services_->CallsOf("SetClipboard").size();
    w.RichEdit8->setPlainText("my answer");
    QTextCursor cursor = w.RichEdit8->textCursor();
    cursor.setPosition(3);
    cursor.setPosition(9, QTextCursor::KeepAnchor);
    w.RichEdit8->setTextCursor(cursor);
    w.RichEdit8->setFocus();
    copy();
    const auto calls = services_->CallsOf("SetClipboard");
    ASSERT_EQ(calls.size(), before + 1);
    EXPECT_EQ(calls.back().args[0], "answer");
  }
  // The question's selection still copies.
  QTextCursor cursor = w.RichEdit6->textCursor();
  cursor.setPosition(0);
  cursor.setPosition(4, QTextCursor::KeepAnchor);
  w.RichEdit6->setTextCursor(cursor);
  w.RichEdit6->setFocus();
  w.Copy1->trigger();
  EXPECT_EQ(services_->CallsOf("SetClipboard").back().args[0], "Card");
}

TEST_F(DrillQuestionsTest, StartOverRestartsTheDrillProgram) {
  QuestionStart(Cards(1));
  W().StartOver1->trigger();
  std::vector<std::string> kinds;
  for (const std::string& kind : services_->CallKinds()) {
    if (kind == "Restart" || kind == "Quit") kinds.push_back(kind);
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"Restart", "Quit"}));
  EXPECT_TRUE(services_->CallsOf("Restart")[0].args.isEmpty());
  EXPECT_EQ(platform::ProgramPath(), folder() + "Drumelle") << "the path the restart starts";
  EXPECT_TRUE(platform::gui::TerminateRequested());
}

class X11DrillCardTest : public DrillTest {};

TEST_F(X11DrillCardTest, ACardBeforeAndAfterShowAnswers) {
  samples::QuestionRecord card = CardRow("Which two of these signals tell you to stop?");
  card.memos["ANSWERD"] = {"A raised hand"};
  QuestionStart({card, CardRow("Card 2")});
  auto& w = static_cast<drill::TQuestions&>(*context_->Questions);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QTest::keyClicks(w.RichEdit8, "The red one, I think");
  auto shoot = [&](const char* name) {
    QCoreApplication::processEvents();
    const QImage shot = w.grab().toImage();
    EXPECT_TRUE(shot.save(QString::fromStdString(ArtefactDir() + name)));
    return shot;
  };
  // The colour near the pad's right end, where no text is, and inside the teal band.
  const QPoint pad = w.RichEdit8->mapTo(&w, QPoint(w.Panel3->width() - 30, 140));
  const QPoint band = w.Shape1->mapTo(&w, QPoint(600, 100));
  const QImage before = shoot("drill_card.png");
  EXPECT_EQ(before.pixelColor(pad), QColor(Qt::white));
  EXPECT_EQ(before.pixelColor(band), QColor(0, 128, 128));
  w.ShowAnswersBtn->click();
  const QImage after = shoot("drill_card_answers.png");
  EXPECT_EQ(after.pixelColor(pad), kPaleYellow);
  EXPECT_EQ(after.pixelColor(band), QColor(0, 128, 128));
}

}  // namespace
}  // namespace testing_support
