// The study build's countdown: the question window's one-minute tick.
#include "app/app_context.h"
#include "app/item_review_window.h"
#include "app/question_window.h"
#include "app/test_controller.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace app {

bool TQuestions::TickCounts() const {
  // Only a built test counts down; a stopped timer (during the expiry box, after grading) makes
  // a queued tick do nothing.
  return Ctx().Test.TestRunning && Timer1->isActive();
}

void TQuestions::TickDisplays(const QString& prefix) {
  TAppContext& ctx = Ctx();
  const int m = ctx.Values.MinutesLeft;
  const QString lowered = QString("Time remaining: %1 minutes").arg(m - 1);
  StatusBar1->SetSimpleText(prefix + lowered);
  if (ctx.ItemReview != nullptr) ctx.ItemReview->TimeLabel->setText(lowered);
  ctx.Values.MinutesLeft = m - 1;
  if (ctx.Values.MinutesLeft == 1) {
    StatusBar1->SetSimpleText(prefix + QStringLiteral("Time remaining: 1 minute"));
    if (ctx.ItemReview != nullptr)
      ctx.ItemReview->TimeLabel->setText(QStringLiteral("Time remaining: 1 minute"));
  }
}

void TQuestions::Timer1Timer() {
  if (!TickCounts()) return;
  TickDisplays(platform::gui::AnsiToQString(WenSelectNote->Caption()) + "  ");
  TAppContext& ctx = Ctx();
  if (ctx.Values.MinutesLeft < 1) {
    StatusBar1->SetSimpleText(QStringLiteral("Time Expired"));
    Timer1->stop();
    platform::gui::Services::Current().ShowMessage(
        QStringLiteral(
            "The time allocated for this test has expired. Your test will now be graded."),
        this);
    if (ctx.ControlForm != nullptr) ctx.ControlForm->GradeTest();
  }
}

}  // namespace app
