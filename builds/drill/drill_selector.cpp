#include "builds/drill/drill_selector.h"

#include "builds/drill/drill_context.h"
#include "builds/drill/drill_questions.h"
#include "platform/gui/services.h"

namespace drill {

const char kNoQuestionsMessage[] =
    "No questions are available for the selected topic(s). This application will now "
    "terminate.";

bool TQSelector::RecordTakesPart() {
  return DrillCtx().DrillQuestions()->Drumel->checkState() == Qt::Checked;
}

bool TQSelector::DrawPossible() {
  if (TotalAvailable >= 1) return true;
  platform::gui::Services& services = platform::gui::Services::Current();
  services.ShowMessage(QString::fromLatin1(kNoQuestionsMessage));
  DrillCtx().Test.NoQuestionsAvailable = true;
  services.Quit();
  return false;
}

}  // namespace drill
