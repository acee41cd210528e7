#include "app/splash.h"

#include <unistd.h>

#include "app/app_context.h"
#include "app/artwork.h"
#include "app/start_window.h"
#include "app/window_support.h"
#include "platform/core/paths.h"
#include "platform/gui/guarded.h"

namespace app {

TSplash::TSplash() : FormActivation(this) {
  setObjectName("Splash");
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setFixedSize(257, 98);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  Shape1 = new QFrame(this);
  Shape1->setFrameShape(QFrame::Box);
  Shape1->setLineWidth(1);
  Shape1->setGeometry(0, 0, 257, 98);
  Image2 = new QLabel(this);
  Image2->setGeometry(8, 9, 241, 80);
  Image2->setPixmap(ProgramLogo(Image2->size(), Ctx().Title()));
  Timer1 = new QTimer(this);
  Timer1->setInterval(4000);
  platform::gui::GuardedConnect(Timer1, &QTimer::timeout, this, &TSplash::Timer1Timer);
  Timer1->start();
}

void TSplash::FormCreate() {
  const std::string folder = platform::ProgramDir();
  // A folder that cannot be entered leaves the current one; the start window then finds no
  // test there and says so.
  if (!folder.empty()) {
    [[maybe_unused]] const int rc = ::chdir(folder.c_str());
  }
  CentreOnScreen(this);
}

void TSplash::Timer1Timer() {
  hide();
  Ctx().StartUp->show();
  Timer1->stop();
}

}  // namespace app
