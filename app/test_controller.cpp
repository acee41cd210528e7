#include "app/test_controller.h"

namespace app {

TControlForm::TControlForm() : FormActivation(this) {
  setObjectName("ControlForm");
  TotalQuestions = new QLineEdit(this);
  TotalQuestions->setObjectName("TotalQuestions");
}

}  // namespace app
