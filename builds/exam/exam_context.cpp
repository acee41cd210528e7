#include "builds/exam/exam_context.h"

#include <cassert>

#include "builds/exam/exam_controller.h"
#include "builds/exam/exam_disclaimer.h"
#include "builds/exam/exam_item_review.h"
#include "builds/exam/exam_questions.h"
#include "builds/exam/exam_results.h"
#include "builds/exam/exam_selector.h"
#include "builds/exam/exam_start_window.h"

namespace exam {

TExamContext& ExamCtx() {
  auto* context = dynamic_cast<TExamContext*>(&app::Ctx());
  assert(context != nullptr);
  return *context;
}

// The slots hold only the exam's own classes (they are made below), so the casts are exact.
TStartUp* TExamContext::ExamStartUp() const { return static_cast<TStartUp*>(StartUp); }
TDisclaimer* TExamContext::ExamDisclaimer() const { return static_cast<TDisclaimer*>(Disclaimer); }
TQuestions* TExamContext::ExamQuestions() const { return static_cast<TQuestions*>(Questions); }
TItemReview* TExamContext::ExamItemReview() const { return static_cast<TItemReview*>(ItemReview); }
TControlForm* TExamContext::ExamControlForm() const {
  return static_cast<TControlForm*>(ControlForm);
}
TResults* TExamContext::ExamResults() const { return static_cast<TResults*>(Results); }
TQSelector* TExamContext::ExamQSelector() const { return static_cast<TQSelector*>(QSelector); }

app::TStartUp* TExamContext::MakeStartUp() { return new TStartUp; }
app::TDisclaimerBase* TExamContext::MakeDisclaimer() { return new TDisclaimer; }
app::TQuestions* TExamContext::MakeQuestions() { return new TQuestions; }
app::TItemReview* TExamContext::MakeItemReview() { return new TItemReview; }
app::TControlForm* TExamContext::MakeControlForm() { return new TControlForm; }
app::TResults* TExamContext::MakeResults() { return new TResults; }
app::TQSelector* TExamContext::MakeQSelector() { return new TQSelector; }

}  // namespace exam
