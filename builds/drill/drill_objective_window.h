// The drill build's objective window: the number of questions comes from the start window's
// reading of the test definition, and the header picture is the drill's.
#pragma once

#include <QLabel>

#include "app/objective_window.h"

namespace drill {

class TDisclaimer : public app::TDisclaimer {
 public:
  TDisclaimer();

  // The drill's header picture, in the place of the study's banner (Image1, hidden).
  QLabel* Image3;

 protected:
  // NumberOfQuestions takes the start window's Number of Questions (read at its activation);
  // TotalTime the test definition's Time Limit, as in the study.
  void ReadOptions() override;
};

}  // namespace drill
