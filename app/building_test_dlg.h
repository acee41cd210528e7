// The "Please Wait" dialog shown while the test is built. It has no code of its own.
#pragma once

#include <QDialog>
#include <QLabel>

#include "platform/gui/activation.h"

namespace app {

class TBuildingTestDlg : public QDialog, public platform::gui::FormActivation {
 public:
  TBuildingTestDlg();
  // Centres the dialog on the screen.
  virtual void FormCreate();

  QLabel* Label1;
  QLabel* Label2;
};

}  // namespace app
