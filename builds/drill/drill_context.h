// The drill build's context: the study build's windows without the missed-questions window,
// with the drill's own classes where the drill changes a window.
#pragma once

#include "app/app_context.h"

namespace drill {

class TStartUp;
class TDisclaimer;
class TQuestions;
class TControlForm;
class TResults;
class TQSelector;

class TDrillContext : public app::TAppContext {
 public:
  QString Title() const override { return QStringLiteral("Drumelle"); }
  std::string ProgramName() const override { return "Drumelle"; }

  // The drill's own windows, typed; null once a window is released.
  TStartUp* DrillStartUp() const;
  TDisclaimer* DrillDisclaimer() const;
  TQuestions* DrillQuestions() const;
  TControlForm* DrillControlForm() const;
  TResults* DrillResults() const;
  TQSelector* DrillQSelector() const;

 protected:
  app::TStartUp* MakeStartUp() override;
  app::TDisclaimerBase* MakeDisclaimer() override;
  app::TQuestions* MakeQuestions() override;
  app::TControlForm* MakeControlForm() override;
  app::TResults* MakeResults() override;
  app::TQSelector* MakeQSelector() override;
  // The drill has no missed-questions window.
  app::TMissedItemsWnd* MakeMissedItemsWnd() override { return nullptr; }
};

// The current context, which must be a drill context.
TDrillContext& DrillCtx();

}  // namespace drill
