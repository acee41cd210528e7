// The hidden question selector: the pool of questions per objective and the random draw.
#pragma once

#include <QWidget>

#include "platform/gui/activation.h"

namespace app {

class TQSelector : public QWidget, public platform::gui::FormActivation {
 public:
  TQSelector();
  // Runs once, after every window of the program was constructed before it.
  virtual void FormCreate() {}
};

}  // namespace app
