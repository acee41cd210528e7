#include "app/app_context.h"

#include <QWidget>
#include <algorithm>
#include <cassert>

#include "app/building_test_dlg.h"
#include "app/exhibit_window.h"
#include "app/item_review_window.h"
#include "app/missed_items_window.h"
#include "app/notes_window.h"
#include "app/objective_break.h"
#include "app/objective_window.h"
#include "app/question_selector.h"
#include "app/question_window.h"
#include "app/results_window.h"
#include "app/splash.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "engine/work_area.h"

namespace app {
namespace {
TAppContext* current = nullptr;
}  // namespace

TAppContext::TAppContext() { current = this; }

TAppContext::~TAppContext() {
  while (!windows_.empty()) windows_.pop_back();
  if (current == this) current = nullptr;
}

TAppContext& Ctx() {
  assert(current != nullptr);
  return *current;
}

void SetStartSettings() { engine::OpenModeOverride = 0; }

TDisclaimer* TAppContext::ObjectiveWindow() const { return dynamic_cast<TDisclaimer*>(Disclaimer); }

void TAppContext::Release(QWidget* window) {
  auto it = std::find_if(windows_.begin(), windows_.end(),
                         [window](const std::unique_ptr<QWidget>& w) { return w.get() == window; });
  if (window == nullptr || it == windows_.end()) return;
  QWidget* released = it->release();
  windows_.erase(it);
  auto clear = [window](auto*& slot) {
    if (slot != nullptr && static_cast<QWidget*>(slot) == window) slot = nullptr;
  };
  clear(Splash);
  clear(StartUp);
  clear(Disclaimer);
  clear(Questions);
  clear(ItemReview);
  clear(ControlForm);
  clear(Results);
  clear(ObjectiveBreak);
  clear(BuildingTestDlg);
  clear(QSelector);
  clear(ExhibitWnd);
  clear(Notes);
  clear(MissedItemsWnd);
  released->deleteLater();
}

template <typename Window>
void TAppContext::Create(Window*& slot, Window* window) {
  slot = nullptr;
  if (window == nullptr) return;
  windows_.emplace_back(window);
  slot = window;
  window->FormCreate();
}

void TAppContext::CreateWindows() {
  Create(Splash, MakeSplash());
  Create(StartUp, MakeStartUp());
  Create(Disclaimer, MakeDisclaimer());
  Create(Questions, MakeQuestions());
  Create(ItemReview, MakeItemReview());
  Create(ControlForm, MakeControlForm());
  Create(Results, MakeResults());
  Create(ObjectiveBreak, MakeObjectiveBreak());
  Create(BuildingTestDlg, MakeBuildingTestDlg());
  Create(QSelector, MakeQSelector());
  Create(ExhibitWnd, MakeExhibitWnd());
  Create(Notes, MakeNotes());
  Create(MissedItemsWnd, MakeMissedItemsWnd());
}

TSplash* TAppContext::MakeSplash() { return new TSplash; }
TStartUp* TAppContext::MakeStartUp() { return new TStartUp; }
TDisclaimerBase* TAppContext::MakeDisclaimer() { return new TDisclaimer; }
TQuestions* TAppContext::MakeQuestions() { return new TQuestions; }
TItemReview* TAppContext::MakeItemReview() { return new TItemReview; }
TControlForm* TAppContext::MakeControlForm() { return new TControlForm; }
TResults* TAppContext::MakeResults() { return new TResults; }
TObjectiveBreak* TAppContext::MakeObjectiveBreak() { return new TObjectiveBreak; }
TBuildingTestDlg* TAppContext::MakeBuildingTestDlg() { return new TBuildingTestDlg; }
TQSelector* TAppContext::MakeQSelector() { return new TQSelector; }
TExhibitWnd* TAppContext::MakeExhibitWnd() { return new TExhibitWnd; }
TNotes* TAppContext::MakeNotes() { return new TNotes; }
TMissedItemsWnd* TAppContext::MakeMissedItemsWnd() { return new TMissedItemsWnd; }

}  // namespace app
