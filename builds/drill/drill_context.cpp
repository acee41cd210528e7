#include "builds/drill/drill_context.h"

#include <cassert>

#include "builds/drill/drill_controller.h"
#include "builds/drill/drill_objective_window.h"
#include "builds/drill/drill_questions.h"
#include "builds/drill/drill_results.h"
#include "builds/drill/drill_selector.h"
#include "builds/drill/drill_start_window.h"

namespace drill {

TDrillContext& DrillCtx() {
  auto* context = dynamic_cast<TDrillContext*>(&app::Ctx());
  assert(context != nullptr);
  return *context;
}

// The slots hold only the drill's own classes (they are made below), so the casts are exact.
TStartUp* TDrillContext::DrillStartUp() const { return static_cast<TStartUp*>(StartUp); }
TDisclaimer* TDrillContext::DrillDisclaimer() const {
  return static_cast<TDisclaimer*>(Disclaimer);
}
TQuestions* TDrillContext::DrillQuestions() const { return static_cast<TQuestions*>(Questions); }
TControlForm* TDrillContext::DrillControlForm() const {
  return static_cast<TControlForm*>(ControlForm);
}
TResults* TDrillContext::DrillResults() const { return static_cast<TResults*>(Results); }
TQSelector* TDrillContext::DrillQSelector() const { return static_cast<TQSelector*>(QSelector); }

app::TStartUp* TDrillContext::MakeStartUp() { return new TStartUp; }
app::TDisclaimerBase* TDrillContext::MakeDisclaimer() { return new TDisclaimer; }
app::TQuestions* TDrillContext::MakeQuestions() { return new TQuestions; }
app::TControlForm* TDrillContext::MakeControlForm() { return new TControlForm; }
app::TResults* TDrillContext::MakeResults() { return new TResults; }
app::TQSelector* TDrillContext::MakeQSelector() { return new TQSelector; }

}  // namespace drill
