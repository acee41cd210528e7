#include "app/program_main.h"

#include <QCoreApplication>

#include "app/splash.h"
#include "components/core/wen_common.h"
#include "engine/engine.h"
#include "platform/core/halt.h"
#include "platform/gui/application.h"

namespace app {

std::unique_ptr<TAppContext> MakeProgramContext(const TContextFactory& make_context) {
  std::unique_ptr<TAppContext> context = make_context();
  context->Arguments = QCoreApplication::arguments().mid(1);
  context->CreateWindows();
  return context;
}

void ProgramMain(int argc, char** argv, const TContextFactory& make_context) {
  platform::gui::PreferXcbWhenXDisplay();
  engine::StartEngine();
  components::InitClassLayer();
  SetStartSettings();
  int status = 0;
  {
    // The application object takes its own options out of argc and argv.
    platform::gui::Application application(argc, argv);
    std::unique_ptr<TAppContext> context = MakeProgramContext(make_context);
    context->Splash->show();
    status = platform::gui::RunApplication();
  }
  // The exit procedures (indexes before tables) run at a normal end too.
  platform::Halt(status);
}

}  // namespace app
