// The practice-exam build's frame: its windows and its identity.
#include <gtest/gtest.h>

#include <vector>

#include "app/building_test_dlg.h"
#include "app/exhibit_window.h"
#include "app/missed_items_window.h"
#include "app/notes_window.h"
#include "app/objective_break.h"
#include "app/splash.h"
#include "builds/exam/exam_controller.h"
#include "builds/exam/exam_disclaimer.h"
#include "builds/exam/exam_item_review.h"
#include "builds/exam/exam_questions.h"
#include "builds/exam/exam_results.h"
#include "builds/exam/exam_selector.h"
#include "builds/exam/exam_start_window.h"
#include "tests/builds/exam_fixture.h"

namespace testing_support {
namespace {

class ExamFrameTest : public ExamTest {};

TEST_F(ExamFrameTest, TheExamMakesTwelveWindowsWithoutNotesAndItsOwnClasses) {
  CreateWindows();
  const std::vector<QWidget*> windows = ContextSlots(*context_);
  for (size_t i = 0; i < windows.size(); ++i) {
    if (i == 11) continue;
    EXPECT_NE(windows[i], nullptr) << i;
  }
  EXPECT_EQ(context_->Notes, nullptr);
  ASSERT_NE(context_->MissedItemsWnd, nullptr);
  EXPECT_EQ(context_->MissedItemsWnd->objectName(), "MissedItemsWnd");

  exam::TExamContext& ctx = exam_context();
  EXPECT_EQ(dynamic_cast<exam::TStartUp*>(ctx.StartUp), ctx.ExamStartUp());
  EXPECT_EQ(dynamic_cast<exam::TDisclaimer*>(ctx.Disclaimer), ctx.ExamDisclaimer());
  EXPECT_EQ(dynamic_cast<exam::TQuestions*>(ctx.Questions), ctx.ExamQuestions());
  EXPECT_EQ(dynamic_cast<exam::TItemReview*>(ctx.ItemReview), ctx.ExamItemReview());
  EXPECT_EQ(dynamic_cast<exam::TControlForm*>(ctx.ControlForm), ctx.ExamControlForm());
  EXPECT_EQ(dynamic_cast<exam::TResults*>(ctx.Results), ctx.ExamResults());
  EXPECT_EQ(dynamic_cast<exam::TQSelector*>(ctx.QSelector), ctx.ExamQSelector());
  EXPECT_NE(ctx.ExamDisclaimer(), nullptr);
  // The confirmation is no objective window: study code asking for one gets none.
  EXPECT_EQ(ctx.ObjectiveWindow(), nullptr);

  EXPECT_EQ(ctx.Title(), "Tarvo Oskavane");
  EXPECT_EQ(ctx.ProgramName(), "Oskavane");
  EXPECT_EQ(ctx.StartUp->windowTitle(), "Tarvo Oskavane");
  EXPECT_EQ(ctx.Disclaimer->windowTitle(), "Tarvo Oskavane");
}

TEST_F(ExamFrameTest, TheStudyContextStillMakesThirteenWindows) {
  context_ = AppTest::MakeContext();
  context_->CreateWindows();
  for (QWidget* window : ContextSlots(*context_)) EXPECT_NE(window, nullptr);
  EXPECT_NE(context_->ObjectiveWindow(), nullptr);
  EXPECT_EQ(context_->Title(), "Velkorin");
}

}  // namespace
}  // namespace testing_support
