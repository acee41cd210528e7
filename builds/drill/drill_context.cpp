#include "builds/drill/drill_context.h"

#include <cassert>

#include "builds/drill/drill_questions.h"

namespace drill {

TDrillContext& DrillCtx() {
  auto* context = dynamic_cast<TDrillContext*>(&app::Ctx());
  assert(context != nullptr);
  return *context;
}

TQuestions* TDrillContext::DrillQuestions() const { return static_cast<TQuestions*>(Questions); }

app::TQuestions* TDrillContext::MakeQuestions() { return new TQuestions; }

}  // namespace drill
