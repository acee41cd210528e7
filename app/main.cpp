// Velkorin, the study build: the main block.
#include "app/app_context.h"
#include "app/splash.h"
#include "components/core/wen_common.h"
#include "engine/engine.h"
#include "platform/core/halt.h"
#include "platform/gui/application.h"

int main(int argc, char** argv) {
  platform::gui::PreferXcbWhenXDisplay();
  engine::StartEngine();
  components::InitClassLayer();
  app::SetStartSettings();
  int status = 0;
  {
    platform::gui::Application application(argc, argv);
    app::TAppContext context;
    context.Arguments = QCoreApplication::arguments().mid(1);
    context.CreateWindows();
    context.Splash->show();
    status = platform::gui::RunApplication();
  }
  // The exit procedures (indexes before tables) run at a normal end too.
  platform::Halt(status);
}
