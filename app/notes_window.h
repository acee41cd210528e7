// The notes window: the user's own notes on the test, kept in a text file.
#pragma once

#include <QWidget>

#include "platform/gui/activation.h"

namespace app {

class TNotes : public QWidget, public platform::gui::FormActivation {
 public:
  TNotes();
  // Runs once, after every window of the program was constructed before it.
  virtual void FormCreate() {}
};

}  // namespace app
