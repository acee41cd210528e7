#include "builds/exam/exam_selector.h"

#include <algorithm>

#include "app/app_context.h"
#include "app/random.h"
#include "app/test_controller.h"
#include "app/window_support.h"
#include "builds/exam/exam_disclaimer.h"

namespace exam {

using app::StrToInt;

void TQSelector::LoadQuestions() {
  app::TQSelector::LoadQuestions();
  QuestionsPerObjective = Share(StrToInt(VexaEdit1->text()), ActiveObjectives);
}

void TQSelector::PickQuestions() {
  app::TAppContext& ctx = app::Ctx();
  app::Randomize();

  // The even share from every objective; a pool that holds fewer gives all it holds.
  for (int k = 0; k < kObjectives; ++k) {
    app::TRecordList& pool = Pools[k];
    int32_t draws = 0;
    if (AvailableCount[k] >= QuestionsPerObjective) {
      draws = QuestionsPerObjective;
    } else if (!pool.empty()) {
      draws = AvailableCount[k];
    }
    for (int32_t i = 0; i < draws && !pool.empty(); ++i)
      MasterList.push_back(TakeRandomEntry(pool));
  }

  const int32_t wanted = StrToInt(VexaEdit1->text());
  ctx.Test.QuestionCount = wanted;
  auto short_of = [&] { return static_cast<int32_t>(MasterList.size()) < wanted; };
  while (short_of()) {
    bool took = false;
    for (int k = 0; k < kTopUpObjectives; ++k) {
      if (short_of() && !Pools[k].empty()) {
        MasterList.push_back(TakeRandomEntry(Pools[k]));
        took = true;
      }
    }
    if (!took) break;  // pools 1 to 12 are spent
  }

  // Every drawn entry, in random order.
  while (!MasterList.empty()) Master2.push_back(TakeRandomEntry(MasterList));

  // The test is as long as the test definition asks, but never longer than the draw.
  app::TControlForm& control = *ctx.ControlForm;
  const int32_t length =
      std::min(StrToInt(control.OnTest->text()), static_cast<int32_t>(Master2.size()));
  control.OnTest->setText(QString::number(length));
  control.SetPointsPerQuestion(length);
  ctx.Test.QuestionCount = length;
  if (length < 1) EndForNoQuestions();
}

}  // namespace exam
