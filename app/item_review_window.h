// The item review window: every item of the test with its state, and the time remaining.
#pragma once

#include <QLabel>
#include <QWidget>

#include "platform/gui/activation.h"

namespace app {

class TItemReview : public QWidget, public platform::gui::FormActivation {
 public:
  TItemReview();
  // Runs once, after every window of the program was constructed before it.
  virtual void FormCreate() {}

  // The time remaining, shown while the test runs.
  QLabel* TimeLabel;
};

}  // namespace app
