// The exhibit window: the picture or text that an item refers to.
#pragma once

#include <QWidget>

#include "platform/gui/activation.h"

namespace app {

class TExhibitWnd : public QWidget, public platform::gui::FormActivation {
 public:
  TExhibitWnd();
  // Runs once, after every window of the program was constructed before it.
  virtual void FormCreate() {}
};

}  // namespace app
