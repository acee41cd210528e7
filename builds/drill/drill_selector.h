// The drill build's question selector: only the records flagged for drilling (the question
// window's Drumel box checked) are filed, a draw with nothing available ends the program, and
// the two shortfall reports change places (a box before the draw, the status line after).
#pragma once

#include "app/question_selector.h"

namespace drill {

class TQSelector : public app::TQSelector {
 protected:
  // The record the walk stands on is flagged for drilling.
  bool RecordTakesPart() override;
  // With no question available: the message, NoQuestionsAvailable set, the program asked to
  // end, and nothing drawn.
  bool DrawPossible() override;
  void ReportShortfallBeforeDraw(int32_t available) override { ShowShortfallBox(available); }
  void ReportShortfallAfterFirstPass(int32_t available) override { ShowShortfallStatus(available); }
};

// "No questions are available for the selected topic(s). This application will now terminate."
extern const char kNoQuestionsMessage[];

}  // namespace drill
