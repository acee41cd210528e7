// The practice-exam build's context: the study build's windows without the notes window, with
// the exam's own classes where the exam changes a window, and its own confirmation window in
// the Disclaimer slot.
#pragma once

#include "app/app_context.h"

namespace exam {

class TStartUp;
class TDisclaimer;
class TQuestions;
class TItemReview;
class TControlForm;
class TResults;
class TQSelector;

class TExamContext : public app::TAppContext {
 public:
  QString Title() const override { return QStringLiteral("Tarvo Oskavane"); }
  std::string ProgramName() const override { return "Oskavane"; }

  // The exam's own windows, typed; null once a window is released.
  TStartUp* ExamStartUp() const;
  TDisclaimer* ExamDisclaimer() const;
  TQuestions* ExamQuestions() const;
  TItemReview* ExamItemReview() const;
  TControlForm* ExamControlForm() const;
  TResults* ExamResults() const;
  TQSelector* ExamQSelector() const;

 protected:
  app::TStartUp* MakeStartUp() override;
  app::TDisclaimerBase* MakeDisclaimer() override;
  app::TQuestions* MakeQuestions() override;
  app::TItemReview* MakeItemReview() override;
  app::TControlForm* MakeControlForm() override;
  app::TResults* MakeResults() override;
  app::TQSelector* MakeQSelector() override;
  // The practice exam has no notes window.
  app::TNotes* MakeNotes() override { return nullptr; }
};

// The current context, which must be a practice-exam context.
TExamContext& ExamCtx();

}  // namespace exam
