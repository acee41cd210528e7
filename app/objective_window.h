// The objective selection window: the test's objectives with check marks, the number of questions
// and the time limit, and the start of the test.
#pragma once

#include <QWidget>

#include "platform/gui/activation.h"

namespace app {

class TDisclaimer : public QWidget, public platform::gui::FormActivation {
 public:
  TDisclaimer();
  // Runs once, after every window of the program was constructed before it.
  virtual void FormCreate() {}
};

}  // namespace app
