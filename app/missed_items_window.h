// The missed-questions report.
#pragma once

#include <QWidget>

#include "platform/gui/activation.h"

namespace app {

class TMissedItemsWnd : public QWidget, public platform::gui::FormActivation {
 public:
  TMissedItemsWnd();
  // Runs once, after every window of the program was constructed before it.
  virtual void FormCreate() {}
};

}  // namespace app
