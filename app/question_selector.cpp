#include "app/question_selector.h"

#include <algorithm>

#include "app/app_context.h"
#include "app/objective_window.h"
#include "app/question_window.h"
#include "app/random.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "app/window_support.h"
#include "engine/numerics.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace app {

using platform::gui::AnsiToQString;
using platform::gui::QStringToAnsi;

TQSelector::TQSelector() : FormActivation(this) {
  setObjectName("QSelector");
  VexaSource1.SetUseAppDir(true);
  VexaListBox1 = new components::TVexaListBox(this);
  VexaListBox1->setObjectName("VexaListBox1");
  VexaListBox1->SetINISection("Objectives");
  VexaListBox1->SetINIItem("Objective");
  VexaListBox1->SetINISaveItems(true);
  VexaListBox1->hide();
  VexaEdit1 = new components::TVexaEdit(this);
  VexaEdit1->setObjectName("VexaEdit1");
  VexaEdit1->setText("VexaEdit1");
  VexaEdit1->SetINISource(&VexaSource1);
  VexaEdit1->SetINISection(kTestInfo);
  VexaEdit1->SetINIItem("Number of Questions");
  VexaEdit1->hide();
}

void TQSelector::FormCreate() { VexaListBox1->SetINISource(&Ctx().StartUp->VexaSource1); }

void TQSelector::LoadQuestions() {
  VexaSource1.SetFileName(Ctx().StartUp->VexaSource1.FileName());
  for (TRecordList& pool : Pools) pool.clear();
  MasterList.clear();
  Master2.clear();
  VexaListBox1->ReadINI();
  VexaEdit1->ReadINI();
  const QStringList lines = VexaListBox1->Items();
  for (int k = 0; k < kObjectives; ++k) {
    if (lines.size() > k) ObjectiveNames[k] = QStringToAnsi(lines[k]);
  }
  FilePoolsFromTable();
  TotalAvailable = 0;
  ActiveObjectives = 0;
  for (int k = 0; k < kObjectives; ++k) {
    AvailableCount[k] = ObjectiveSelected(k + 1) ? static_cast<int32_t>(Pools[k].size()) : 0;
    TotalAvailable += AvailableCount[k];
    if (AvailableCount[k] > 0) ++ActiveObjectives;
  }
}

void TQSelector::FilePoolsFromTable() {
  components::TWenDbf& table = *Ctx().Questions->WenDbf1;
  const components::TWenEdit& objective = *Ctx().Questions->Objective;
  // Nothing runs between two records, so the selection is read once for the walk.
  std::array<bool, kObjectives> selected{};
  for (int k = 0; k < kObjectives; ++k) selected[k] = ObjectiveSelected(k + 1);
  table.GoTop();
  const int32_t records = table.RecCount() - 1;
  for (int32_t i = 0; i < records; ++i) {
    // The bound edit shows the field's text without its trailing blanks, in ANSI.
    const std::string text = QStringToAnsi(objective.text());
    const bool takes_part = RecordTakesPart();
    for (int k = 0; k < kObjectives; ++k) {
      if (takes_part && selected[k] && text == ObjectiveNames[k]) {
        Pools[k].push_back(table.RecNo());
      }
    }
    table.Next();
  }
}

bool TQSelector::ObjectiveSelected(int k) {
  return Ctx().ObjectiveWindow()->rsListBox1->Checked(k - 1);
}

int32_t TQSelector::RequestedCount() {
  return StrToInt(Ctx().ObjectiveWindow()->NumberOfQuestions->text());
}

int32_t TQSelector::Share(int32_t count, int32_t active) {
  if (active == 0) return 0;
  return static_cast<int32_t>(
      engine::RoundHalfToEven(static_cast<engine::Extended>(count) / active));
}

std::string TQSelector::ShortfallText(int32_t available) {
  return "A total of " + std::to_string(available) +
         " questions are available for the objectives that you have selected.";
}

void TQSelector::ShowShortfallStatus(int32_t available) {
  Ctx().Questions->StatusBar1->SetSimpleText(AnsiToQString(ShortfallText(available)));
}

void TQSelector::ShowShortfallBox(int32_t available) {
  platform::gui::Services::Current().ShowMessage(AnsiToQString(ShortfallText(available)));
}

void TQSelector::FirstPassDraw(TRecordList& pool) {
  if (pool.empty()) return;
  const int32_t d = Random(static_cast<uint32_t>(pool.size() - 1));
  if (d <= 0) return;  // the draw is spent
  MasterList.push_back(pool[static_cast<size_t>(d)]);
  pool.erase(pool.begin() + d);
}

int32_t TQSelector::TakeRandomEntry(TRecordList& list) {
  const int32_t d = std::max(Random(static_cast<uint32_t>(list.size() - 1)), 0);
  const int32_t record = list[static_cast<size_t>(d)];
  list.erase(list.begin() + d);
  return record;
}

void TQSelector::PickQuestions() {
  if (!DrawPossible()) return;
  TTestState& test = Ctx().Test;
  const int32_t requested = RequestedCount();
  if (requested <= TotalAvailable) {
    test.QuestionCount = requested;
  } else {
    test.QuestionCount = TotalAvailable;
    ReportShortfallBeforeDraw(TotalAvailable);
  }
  QuestionsPerObjective = Share(test.QuestionCount, ActiveObjectives);
  Randomize();

  FirstPass();

  if (requested <= TotalAvailable) {
    test.QuestionCount = requested;
  } else {
    test.QuestionCount = TotalAvailable;
    ReportShortfallAfterFirstPass(TotalAvailable);
  }
  Ctx().ControlForm->OnTest->setText(QString::number(test.QuestionCount));
  QuestionsPerObjective = Share(test.QuestionCount, ActiveObjectives);

  TopUp();
  FinalOrder();
}

void TQSelector::FirstPass() {
  for (int k = 0; k < kObjectives; ++k) {
    TRecordList& pool = Pools[k];
    const int32_t available = AvailableCount[k];
    int32_t draws = 0;
    if (available >= QuestionsPerObjective && available > 0) {
      draws = QuestionsPerObjective;
    } else if (!pool.empty() && available > 0 && available < QuestionsPerObjective) {
      draws = available;
    }
    for (int32_t i = 0; i < draws; ++i) FirstPassDraw(pool);
  }
}

void TQSelector::TopUp() {
  const TTestState& test = Ctx().Test;
  auto drawn = [this] { return static_cast<int32_t>(MasterList.size()); };
  while (drawn() < test.QuestionCount) {
    bool took = false;
    for (int k = 0; k < kObjectives; ++k) {
      if (drawn() < test.QuestionCount && AvailableCount[k] > 0 && !Pools[k].empty()) {
        MasterList.push_back(TakeRandomEntry(Pools[k]));
        took = true;
      }
    }
    if (!took) break;  // every pool is spent
  }
}

void TQSelector::FinalOrder() {
  // Entries drawn beyond the count stay behind in MasterList.
  const TTestState& test = Ctx().Test;
  for (int32_t i = 0; i < test.QuestionCount && !MasterList.empty(); ++i) {
    Master2.push_back(TakeRandomEntry(MasterList));
  }
}

}  // namespace app
