// The drill build's context: the study build's windows without the missed-questions window,
// with the drill's own classes where the drill changes a window.
#pragma once

#include "app/app_context.h"

namespace drill {

class TQuestions;

class TDrillContext : public app::TAppContext {
 public:
  QString Title() const override { return QStringLiteral("Drumelle"); }
  std::string ProgramName() const override { return "Drumelle"; }

  // The drill's own windows, typed; null once a window is released.
  TQuestions* DrillQuestions() const;

 protected:
  app::TQuestions* MakeQuestions() override;
  // The drill has no missed-questions window.
  app::TMissedItemsWnd* MakeMissedItemsWnd() override { return nullptr; }
};

// The current context, which must be a drill context.
TDrillContext& DrillCtx();

}  // namespace drill
