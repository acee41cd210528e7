// The missed-questions report: the window, the report's text for the questions answered
// wrongly or never reached, its print, and the way back to the results window.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "app/missed_items_window.h"
#include "app/question_window.h"
#include "app/results_window.h"
#include "app/test_controller.h"
#include "app/window_support.h"
#include "platform/core/halt.h"
#include "platform/core/profile.h"
#include "platform/gui/application.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

using Lines = std::vector<std::string>;

class MissedReportTest : public AppTest {
 protected:
  app::TMissedItemsWnd& Missed() { return *context_->MissedItemsWnd; }

  // A test of `rows` in table order, answered `answers` (item 1 first; fewer entries than rows
  // leave the last questions unreached).
  void MissedStart(const std::vector<samples::QuestionRecord>& rows, const Lines& answers) {
    QuestionStart(rows);
    app::TControlForm& control = *context_->ControlForm;
    for (const std::string& letters : answers) {
      control.userAnswers.Add((letters + "     ").substr(0, 5));
      control.marked.Add("o");
      control.incompletes.Add(letters.empty() ? "I" : "o");
      control.Objective.Add("Objective one");
    }
  }

  // Presses "Show Me What I Missed" and returns the report's lines.
  Lines MissedReport() {
    context_->Results->ShowMeWhatIMissedBtn->click();
    Lines lines;
    for (const QString& line : Missed().Memo1->toPlainText().split('\n'))
      lines.push_back(line.toStdString());
    return lines;
  }

  std::string MissedScorePath() const {
    return platform::ProfilePath(app::TResults::ScoreFileName(context_->Values.DbfName));
  }
};

samples::QuestionRecord Row(const std::string& question, const Lines& answers,
                            const std::string& correct) {
  samples::QuestionRecord row = QuestionItemRow(answers, correct);
  row.memos["QUESTION"] = {question};
  return row;
}

TEST_F(MissedReportTest, TheWindowAndItsComponents) {
  CreateWindows();
  app::TMissedItemsWnd& w = Missed();
  EXPECT_EQ(w.windowTitle(), "Missed Items");
  EXPECT_EQ(w.size(), QSize(629, 431));
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(w.pos(), screen.topLeft() + app::CentredPosition(screen.size(), w.size()));
  EXPECT_EQ(w.Memo1->size(), QSize(628, 393));
  EXPECT_EQ(w.Memo1->lineWrapMode(), QTextEdit::NoWrap);
  EXPECT_EQ(w.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_FALSE(w.Memo1->acceptRichText());
  EXPECT_EQ(w.Button1->text(), "&Print");
  EXPECT_EQ(w.CloseWndBtn->text(), "Close Window");
  EXPECT_EQ(w.Button2->text(), "E&xit");
}

TEST_F(MissedReportTest, AllCorrectGivesTheHeadingAndAnEmptyLineOnly) {
  MissedStart({Row("One", {"a", "b"}, "A"), Row("Two", {"a", "b", "c"}, "BC")}, {"A", "BC"});
  EXPECT_EQ(MissedReport(), (Lines{"Missed Questions Report", ""}));
  EXPECT_TRUE(Missed().isVisible());

  // A build without the window: the button does nothing.
  app::TMissedItemsWnd* window = context_->MissedItemsWnd;
  window->hide();
  window->Memo1->setPlainText("kept");
  context_->MissedItemsWnd = nullptr;
  context_->Results->ShowMeWhatIMissedBtn->click();
  EXPECT_EQ(window->Memo1->toPlainText(), "kept");
  EXPECT_TRUE(window->isHidden());
  context_->MissedItemsWnd = window;
}

TEST_F(MissedReportTest, EveryMissedQuestionWithItsAnswersExplanationAndReferences) {
  samples::QuestionRecord first = Row("<b>x</b>", {"a", "b", "c", "d"}, "A");
  first.memos["FEEDBACK"] = {"Because one", "and because two"};
  first.texts["CHAPTER"] = "Chapter 3";
  first.texts["TOPIC1"] = "Alpha";
  first.texts["TOPIC3"] = "Gamma";
  samples::QuestionRecord second = Row("Second", {"", "b", "c", "d", "e"}, "ABC");
  second.texts["TOPIC1"] = "Only when missed";
  samples::QuestionRecord right = Row("Right", {"a", "b", "c"}, "C");
  right.texts["TOPIC2"] = "Never shown";
  samples::QuestionRecord unreached = Row("Two\r\nlines", {"a", "b"}, "B");
  MissedStart({first, right, second, unreached}, {"B", "C", "AB"});
  context_->Values.ShowChapter = "1";
  context_->Values.ShowLinks = "1";

  const Lines expected = {
      "Missed Questions Report", "",
      // The question text as written, never taken for markup.
      "<b>x</b>", "A. a", "B. b", "C. c", "D. d", "You answered: B    ", "The correct answer is: A",
      "", "Because one", "and because two", "Chapter 3", "Associated Topics:", "Alpha", "Gamma", "",
      "",
      // Answer A even when empty; E when it has a text; no explanation gives an empty line.
      "Second", "A. ", "B. b", "C. c", "D. d", "E. e", "You answered: AB   ",
      "The correct answer is: ABC", "", "", "Associated Topics:", "Only when missed", "", "",
      // Never reached: no answer stored, five blanks.
      "Two", "lines", "A. a", "B. b", "You answered:      ", "The correct answer is: B", "", "", "",
      ""};
  EXPECT_EQ(MissedReport(), expected);
  EXPECT_EQ(context_->Questions->WenDbf1->RecNo(), 4) << "left on the last missed question";
  // A second press writes the report afresh.
  EXPECT_EQ(MissedReport(), expected);
}

TEST_F(MissedReportTest, ChapterAndTopicsOnlyWhenSwitchedOnAndNotEmpty) {
  samples::QuestionRecord row = Row("Q", {"a", "b"}, "A");
  row.memos["FEEDBACK"] = {"Why"};
  row.texts["CHAPTER"] = "Chapter 9";
  row.texts["TOPIC2"] = "Beta";
  samples::QuestionRecord bare = Row("Bare", {"a", "b"}, "A");
  MissedStart({row, bare}, {"B", "B"});
  const Lines head = {"Missed Questions Report",  "", "Q",  "A. a", "B. b", "You answered: B    ",
                      "The correct answer is: A", "", "Why"};
  const Lines bare_lines = {
      "Bare", "A. a", "B. b", "You answered: B    ", "The correct answer is: A", "", "", "", ""};
  struct Case {
    const char* chapter;
    const char* links;
    Lines refs;
  };
  const Case cases[] = {
      {"1", "1", {"Chapter 9", "Associated Topics:", "Beta"}},
      {"0", "1", {"Associated Topics:", "Beta"}},
      {"1", "0", {"Chapter 9"}},
      {"", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.chapter) + "/" + c.links);
    context_->Values.ShowChapter = c.chapter;
    context_->Values.ShowLinks = c.links;
    Lines expected = head;
    expected.insert(expected.end(), c.refs.begin(), c.refs.end());
    expected.insert(expected.end(), {"", ""});
    expected.insert(expected.end(), bare_lines.begin(), bare_lines.end());
    EXPECT_EQ(MissedReport(), expected);
  }
}

TEST_F(MissedReportTest, PrintExitAndAFailedPrint) {
  MissedStart({Row("Q", {"a", "b"}, "A")}, {"B"});
  MissedReport();
  Missed().Button1->click();
  ASSERT_EQ(services_->printed().size(), 1u);
  EXPECT_EQ(services_->printed()[0].title, "Missed Items Report");
  EXPECT_EQ(services_->printed()[0].text, Missed().Memo1->toPlainText());

  services_->set_print_result({false, "No printer is installed"});
  services_->AnswerBox(platform::kResultOk, "No printer is installed");
  Missed().Button1->click();
  EXPECT_TRUE(services_->ScriptDone());
  EXPECT_FALSE(platform::gui::TerminateRequested());

  Missed().Button2->click();
  EXPECT_TRUE(platform::gui::TerminateRequested());
  EXPECT_EQ(services_->CallKinds().back(), "Quit");
}

TEST_F(MissedReportTest, ClosingTheReportGoesBackToTheResultsWhichWriteTheScoreFileAgain) {
  MissedStart({Row("Q", {"a", "b"}, "A"), Row("R", {"a", "b"}, "B")}, {"B", "B"});
  ASSERT_EQ(context_->Values.WriteScores, "1");
  context_->ControlForm->GradeTest();
  ASSERT_TRUE(WaitForActivation(context_->Results));
  const std::string score = MissedScorePath();
  ASSERT_TRUE(std::filesystem::exists(score));

  for (const char* how : {"Close Window", "frame"}) {
    SCOPED_TRACE(how);
    MissedReport();
    ASSERT_TRUE(WaitForActivation(&Missed()));
    std::filesystem::remove(score);
    if (std::string(how) == "frame") {
      QCloseEvent event;
      QCoreApplication::sendEvent(&Missed(), &event);
      EXPECT_TRUE(event.isAccepted());
      Missed().hide();
    } else {
      Missed().CloseWndBtn->click();
    }
    EXPECT_TRUE(Missed().isHidden());
    EXPECT_TRUE(context_->Results->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(score); }, 5000));
  }
}

}  // namespace
}  // namespace testing_support
