// The splash window: shown first, for four seconds, before the start window. Creating it makes
// the program's own folder the current folder, where the test is looked for.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "platform/gui/activation.h"

namespace app {

class TSplash : public QWidget, public platform::gui::FormActivation {
 public:
  TSplash();
  // Makes the folder of the program's executable the current folder and centres the window.
  virtual void FormCreate();
  // The timer's handler (it fires once): hides the splash and shows the start window.
  virtual void Timer1Timer();

  QFrame* Shape1;
  QLabel* Image2;
  QTimer* Timer1;
};

}  // namespace app
