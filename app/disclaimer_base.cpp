#include "app/disclaimer_base.h"

#include <QKeyEvent>

#include "app/window_support.h"

namespace app {

void TDisclaimerBase::keyPressEvent(QKeyEvent* event) {
  if (RefuseEscape(event)) return;
  QDialog::keyPressEvent(event);
}

}  // namespace app
