// The practice-exam build's question window: a bare exam sheet with the time left in a label at
// the top right.
#pragma once

#include <QLabel>

#include "app/question_window.h"

namespace exam {

class TQuestions : public app::TQuestions {
 public:
  TQuestions();

  // The time left, at the top right; the start window writes its first text.
  QLabel* Label1;
};

}  // namespace exam
