// Under the Xvfb fixture: the item review with marked and incomplete rows on screen, and a close
// asked for the way a window manager asks, which the window refuses.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <string>

#include "app/item_review_window.h"
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

}  // namespace
}  // namespace testing_support
