// The drill build's question window: the study build's window used as a card drill. The card
// flag Drumel marks the records that belong to the drill set.
#pragma once

#include "app/question_window.h"
#include "components/gui/wen_check_box.h"

namespace drill {

class TQuestions : public app::TQuestions {
 public:
  TQuestions();

  // The card flag (hidden), bound to the field Drumel of the window's table: checked for a
  // record of the drill set.
  components::TWenCheckBox* Drumel;
};

}  // namespace drill
