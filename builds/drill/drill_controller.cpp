#include "builds/drill/drill_controller.h"

#include "app/app_context.h"

namespace drill {

bool TControlForm::DrawEndedProgram() const { return app::Ctx().Test.NoQuestionsAvailable; }

}  // namespace drill
