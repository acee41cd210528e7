#include "builds/exam/exam_item_review.h"

#include <initializer_list>

#include "app/app_context.h"
#include "app/question_window.h"
#include "app/window_support.h"
#include "platform/gui/guarded.h"
#include "platform/gui/text.h"

namespace exam {

TItemReview::TItemReview() {
  // The system menu as well as the minimise box: the frame can close the window.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  Button2->setGeometry(123, 401, 105, 25);
  Button3->setGeometry(240, 401, 105, 25);
  Button4->setGeometry(475, 401, 105, 25);
  // The study's print button stays, hidden: PrintBtn takes its place.
  Button5->hide();
  PrintBtn = new QPushButton("&Print", this);
  PrintBtn->setObjectName("PrintBtn");
  PrintBtn->setGeometry(358, 401, 105, 25);
  platform::gui::GuardedConnect(PrintBtn, &QPushButton::clicked, this, &TItemReview::PrintBtnClick);
  RichEdit1->setGeometry(8, 352, 609, 17);
  RichEdit1->setFont(platform::gui::MonoFontPixels(11));
}

int32_t TItemReview::RowCount() const {
  const app::TAppContext& ctx = app::Ctx();
  return ctx.Questions != nullptr ? ctx.Questions->TestLength() : 0;
}

void TItemReview::ShowReviewedItem(int32_t n) {
  app::TQuestions& q = *app::Ctx().Questions;
  for (QWidget* walk : std::initializer_list<QWidget*>{q.NextMarkedBtn, q.PrevMarkedBtn,
                                                       q.NextIncompleteBtn, q.PrevIncompleteBtn}) {
    walk->hide();
  }
  ShowItemState(n);
  q.show();
  app::CloseWindow(this);
}

void TItemReview::PrintBtnClick() { PrintRows(kReviewPrintoutHeading); }

void TItemReview::FormClose() {
  // Closed from its frame, the review would otherwise leave no window of the test on the
  // screen while the countdown runs on.
  if (app::TQuestions* q = app::Ctx().Questions) q->show();
}

void TItemReview::closeEvent(QCloseEvent* event) {
  app::HandleCloseEvent(event, [this] { FormClose(); });
}

}  // namespace exam
