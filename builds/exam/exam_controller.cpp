#include "builds/exam/exam_controller.h"

#include "app/app_context.h"
#include "app/window_support.h"

namespace exam {

int32_t TControlForm::BuildCount() { return app::StrToInt(OnTest->text()); }

bool TControlForm::DrawEndedProgram() const { return app::Ctx().Test.NoQuestionsAvailable; }

}  // namespace exam
