// The results window: the score, the pass or fail verdict and the objective analysis.
#pragma once

#include <QWidget>

#include "platform/gui/activation.h"

namespace app {

class TResults : public QWidget, public platform::gui::FormActivation {
 public:
  TResults();
  // Runs once, after every window of the program was constructed before it.
  virtual void FormCreate() {}
};

}  // namespace app
