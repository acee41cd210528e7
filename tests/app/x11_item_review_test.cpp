// Under the Xvfb fixture: the item review with marked and incomplete rows on screen, and a close
// asked for the way a window manager asks, which the window refuses.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <string>

#include "app/item_review_window.h"
#include "app/missed_items_window.h"
#include "app/results_window.h"
#include "app/test_controller.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qt_test_main.h"

// After Qt: the X headers define macros that Qt uses as names.
#include <X11/Xlib.h>

namespace testing_support {
namespace {

class X11ItemReviewTest : public AppTest {};

// Counts the close events a window receives.
class CloseCounter : public QObject {
 public:
  int closes = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Close) ++closes;
    return false;
  }
};

// Sends `window` the window manager's close request (WM_DELETE_WINDOW).
void SendDeleteWindow(WId window) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = static_cast<Window>(window);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, static_cast<Window>(window), False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
}

TEST_F(X11ItemReviewTest, TheReviewWithMarkedAndIncompleteRows) {
  std::vector<samples::QuestionRecord> rows;
  for (int r = 1; r <= 12; ++r) {
    rows.push_back(QuestionRow(
        "Objective one", "A",
        r == 5 ? "Which command lists x^2 in ~/bin?"
               : "Question number " + std::to_string(r) + " of the demonstration test"));
  }
  ReviewStartTest(rows, 12);
  const char* const answers[] = {"A", "BD", "", "C", "A", "", "E", "AB", "", "D", "B", "C"};
  for (int item = 1; item <= 12; ++item) {
    const std::string letters = answers[item - 1];
    ReviewStoreItem(item, item % 4 == 2, letters.empty(), letters);
  }
  app::TItemReview* review = context_->ItemReview;
  ASSERT_TRUE(ShowAndActivate(review));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(review));
  QCoreApplication::processEvents();
  const QImage shot = review->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ArtefactDir() + "app_item_review.png")));
  EXPECT_EQ(shot.size(), QSize(629, 431));

  CloseCounter counter;
  review->installEventFilter(&counter);
  SendDeleteWindow(review->winId());
  EXPECT_TRUE(QTest::qWaitFor([&] { return counter.closes > 0; }, 5000));
  QCoreApplication::processEvents();
  EXPECT_TRUE(review->isVisible()) << "the frame's close is refused";
  review->removeEventFilter(&counter);
}

TEST_F(X11ItemReviewTest, TheMissedQuestionsReport) {
  std::vector<samples::QuestionRecord> rows;
  for (int r = 1; r <= 3; ++r) {
    samples::QuestionRecord row =
        QuestionItemRow({"The first answer", "The second answer", "The third answer",
                         "The fourth answer", r == 2 ? "The fifth answer" : ""},
                        r == 2 ? "BD" : "C");
    row.memos["QUESTION"] = {"Which of these is question number " + std::to_string(r) + "?"};
    row.memos["FEEDBACK"] = {"The explanation of question " + std::to_string(r) + ",",
                             "on two lines."};
    row.texts["CHAPTER"] = "Chapter " + std::to_string(r + 2);
    row.texts["TOPIC1"] = "Working with the first topic";
    if (r == 2) row.texts["TOPIC3"] = "The third topic";
    rows.push_back(row);
  }
  QuestionStart(rows);
  app::TControlForm& control = *context_->ControlForm;
  for (const char* letters : {"A    ", "B    ", "C    "}) {
    control.userAnswers.Add(letters);
    control.marked.Add("o");
    control.incompletes.Add("o");
    control.Objective.Add("Objective one");
  }
  control.GradeTest();
  ASSERT_TRUE(WaitForActivation(context_->Results));
  context_->Results->ShowMeWhatIMissedBtn->click();
  app::TMissedItemsWnd* missed = context_->MissedItemsWnd;
  ASSERT_TRUE(WaitForActivation(missed));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(missed));
  QCoreApplication::processEvents();
  const QImage shot = missed->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ArtefactDir() + "app_missed_report.png")));
  EXPECT_EQ(shot.size(), QSize(629, 431));
  EXPECT_TRUE(missed->Memo1->toPlainText().startsWith("Missed Questions Report\n\nWhich of"));
}

}  // namespace
}  // namespace testing_support
