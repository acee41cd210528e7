// The hidden test controller: the running test's per-question lists and the test's length.
#pragma once

#include <QLineEdit>
#include <QWidget>

#include "platform/gui/activation.h"

namespace app {

class TControlForm : public QWidget, public platform::gui::FormActivation {
 public:
  TControlForm();
  // Runs once, after every window of the program was constructed before it.
  virtual void FormCreate() {}

  // The number of records in the question table.
  QLineEdit* TotalQuestions;
};

}  // namespace app
