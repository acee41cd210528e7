#include "builds/exam/exam_disclaimer.h"

#include "app/app_context.h"
#include "app/window_support.h"

namespace exam {

TDisclaimer::TDisclaimer() {
  setObjectName("Disclaimer");
  setWindowTitle(app::Ctx().Title());
  setFixedSize(629, 431);
}

void TDisclaimer::FormCreate() { app::CentreOnScreen(this); }

}  // namespace exam
