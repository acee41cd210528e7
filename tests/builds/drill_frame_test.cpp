// The drill build's frame: its windows, its identity and its main block's arguments.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <string>
#include <vector>

#include "app/building_test_dlg.h"
#include "app/exhibit_window.h"
#include "app/item_review_window.h"
#include "app/missed_items_window.h"
#include "app/notes_window.h"
#include "app/objective_break.h"
#include "app/objective_window.h"
#include "app/question_selector.h"
#include "app/results_window.h"
#include "app/splash.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "builds/drill/drill_questions.h"
#include "tests/builds/drill_fixture.h"

namespace testing_support {
namespace {

class DrillFrameTest : public DrillTest {};

// The drill context, recording the order in which its windows are made.
class RecordingDrillContext : public drill::TDrillContext {
 public:
  std::vector<std::string> made;

 protected:
  template <typename Window>
  Window* Note(Window* window) {
    made.push_back(window == nullptr ? "null" : window->objectName().toStdString());
    return window;
  }
  app::TSplash* MakeSplash() override { return Note(TDrillContext::MakeSplash()); }
  app::TStartUp* MakeStartUp() override { return Note(TDrillContext::MakeStartUp()); }
  app::TDisclaimerBase* MakeDisclaimer() override { return Note(TDrillContext::MakeDisclaimer()); }
  app::TQuestions* MakeQuestions() override { return Note(TDrillContext::MakeQuestions()); }
  app::TItemReview* MakeItemReview() override { return Note(TDrillContext::MakeItemReview()); }
  app::TControlForm* MakeControlForm() override { return Note(TDrillContext::MakeControlForm()); }
  app::TResults* MakeResults() override { return Note(TDrillContext::MakeResults()); }
  app::TObjectiveBreak* MakeObjectiveBreak() override {
    return Note(TDrillContext::MakeObjectiveBreak());
  }
  app::TBuildingTestDlg* MakeBuildingTestDlg() override {
    return Note(TDrillContext::MakeBuildingTestDlg());
  }
  app::TQSelector* MakeQSelector() override { return Note(TDrillContext::MakeQSelector()); }
  app::TExhibitWnd* MakeExhibitWnd() override { return Note(TDrillContext::MakeExhibitWnd()); }
  app::TNotes* MakeNotes() override { return Note(TDrillContext::MakeNotes()); }
  app::TMissedItemsWnd* MakeMissedItemsWnd() override {
    return Note(TDrillContext::MakeMissedItemsWnd());
  }
};

TEST_F(DrillFrameTest, TheDrillMakesTwelveWindowsInOrderWithoutTheMissedItemsWindow) {
  auto* recording = new RecordingDrillContext;
  context_.reset(recording);
  context_->CreateWindows();
  const std::vector<std::string> order = {
      "Splash",  "StartUp",        "Disclaimer",      "Questions", "ItemReview", "ControlForm",
      "Results", "ObjectiveBreak", "BuildingTestDlg", "QSelector", "ExhibitWnd", "Notes",
      "null"};
  EXPECT_EQ(recording->made, order);
  const std::vector<QWidget*> windows = ContextSlots(*context_);
  for (size_t i = 0; i < 12; ++i) {
    ASSERT_NE(windows[i], nullptr) << order[i];
    EXPECT_EQ(windows[i]->objectName().toStdString(), order[i]);
  }
  EXPECT_EQ(context_->MissedItemsWnd, nullptr);
  ASSERT_NE(drill_context().DrillQuestions(), nullptr);
  EXPECT_EQ(drill_context().DrillQuestions()->Drumel->ValueChecked(), "true");
}

TEST_F(DrillFrameTest, TheStudyContextStillMakesThirteenWindows) {
  context_ = AppTest::MakeContext();
  context_->CreateWindows();
  for (QWidget* window : ContextSlots(*context_)) EXPECT_NE(window, nullptr);
  EXPECT_EQ(context_->MissedItemsWnd->objectName(), "MissedItemsWnd");
}

TEST_F(DrillFrameTest, TheTitlesAreTheDrillsName) {
  CreateWindows();
  EXPECT_EQ(context_->Title(), "Drumelle");
  EXPECT_EQ(context_->ProgramName(), "Drumelle");
  EXPECT_EQ(context_->StartUp->windowTitle(), "Drumelle");
  EXPECT_EQ(context_->Disclaimer->windowTitle(), "Drumelle");
}

}  // namespace
}  // namespace testing_support
