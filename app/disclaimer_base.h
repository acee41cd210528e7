// The window in the context's Disclaimer slot, which every build fills with its own class: the
// study's objective window, or the practice exam's confirmation. What the other windows need of
// it is only this: it is created, shown and hidden, and it has no cancel button.
#pragma once

#include <QDialog>

#include "platform/gui/activation.h"

class QKeyEvent;

namespace app {

class TDisclaimerBase : public QDialog, public platform::gui::FormActivation {
 public:
  TDisclaimerBase() : FormActivation(this) {}
  // Runs once, right after the window is constructed (see TAppContext::CreateWindows).
  virtual void FormCreate() = 0;

 protected:
  // Escape does not reject the window: it has no cancel button.
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace app
