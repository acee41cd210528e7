#include "app/test_controller.h"

#include <QApplication>
#include <QEventLoop>
#include <algorithm>
#include <cassert>
#include <vector>

#include "app/app_context.h"
#include "app/building_test_dlg.h"
#include "app/item_review_window.h"
#include "app/question_selector.h"
#include "app/question_window.h"
#include "app/results_window.h"
#include "app/start_window.h"
#include "app/window_support.h"
#include "engine/numerics.h"
#include "engine/utils.h"
#include "platform/gui/activation.h"
#include "platform/gui/text.h"

namespace app {
namespace {

components::TWenCheckBox* HiddenCheckBox(QWidget* parent, const char* name) {
  auto* box = new components::TWenCheckBox(parent);
  box->setObjectName(name);
  box->SetValueChecked("true");
  box->SetValueUnChecked("false");
  box->hide();
  return box;
}

// The objective slot (1 ... 30) an ObjectiveNo entry names, exactly "1" to "30"; 0 otherwise.
int ObjectiveSlot(const std::string& entry) {
  for (int k = 1; k <= TControlForm::kObjectives; ++k) {
    if (entry == std::to_string(k)) return k;
  }
  return 0;
}

}  // namespace

TControlForm::TControlForm() : FormActivation(this) {
  setObjectName("ControlForm");
  VexaSource1.SetUseAppDir(true);
  AllObjectives = new components::TVexaListBox(this);
  AllObjectives->setObjectName("AllObjectives");
  AllObjectives->SetINISource(&VexaSource1);
  AllObjectives->SetINISection("Objectives");
  AllObjectives->SetINIItem("Objective");
  AllObjectives->SetINISaveItems(true);
  AllObjectives->hide();
  OnTest = new components::TVexaEdit(this);
  OnTest->setObjectName("OnTest");
  // The design-time text is no number: a missing key is caught when it is converted.
  OnTest->setText("OnTest");
  OnTest->SetINISource(&VexaSource1);
  OnTest->SetINISection(kTestInfo);
  OnTest->SetINIItem("Number of Questions");
  OnTest->hide();
  TotalQuestions = new QLineEdit(this);
  TotalQuestions->setObjectName("TotalQuestions");
  PointsPerQuestion = new QLineEdit(this);
  PointsPerQuestion->setObjectName("PointsPerQuestion");
  WenCheckBox1 = HiddenCheckBox(this, "WenCheckBox1");
  WenCheckBox2 = HiddenCheckBox(this, "WenCheckBox2");
  WenCheckBox3 = HiddenCheckBox(this, "WenCheckBox3");
  WenCheckBox4 = HiddenCheckBox(this, "WenCheckBox4");
  WenCheckBox5 = HiddenCheckBox(this, "WenCheckBox5");
}

void TControlForm::FormCreate() {
  components::TWenDbf* table = Ctx().Questions->WenDbf1.get();
  const std::pair<components::TWenCheckBox*, const char*> boxes[] = {{WenCheckBox1, "checka"},
                                                                     {WenCheckBox2, "checkb"},
                                                                     {WenCheckBox3, "checkc"},
                                                                     {WenCheckBox4, "checkd"},
                                                                     {WenCheckBox5, "checke"}};
  for (const auto& [box, field] : boxes) {
    box->SetDataSource(table);
    box->SetDataField(field);
  }
}

void TControlForm::ResetAnswerLists() {
  for (TTestList* list :
       {&userAnswers, &QuestionList, &marked, &incompletes, &Objective, &ObjectiveNo}) {
    list->ResetToPlaceholder();
  }
}

void TControlForm::SetPointsPerQuestion(int32_t length) {
  PointsPerQuestion->setText(length == 0 ? QString()
                                         : QString::fromStdString(engine::GeneralFloatText(
                                               engine::RoundToReal48HalfAway(1000.0L / length))));
}

int32_t TControlForm::BuildCount() { return Ctx().Test.QuestionCount; }

std::string TControlForm::CorrectAnswersOfRecord() const {
  std::string letters;
  const std::pair<components::TWenCheckBox*, char> boxes[] = {{WenCheckBox1, 'A'},
                                                              {WenCheckBox2, 'B'},
                                                              {WenCheckBox3, 'C'},
                                                              {WenCheckBox4, 'D'},
                                                              {WenCheckBox5, 'E'}};
  for (const auto& [box, letter] : boxes) {
    if (box->checkState() == Qt::Checked) letters += letter;
  }
  return letters;
}

bool TControlForm::BuildTest() {
  TAppContext& ctx = Ctx();
  TBuildingTestDlg* dialog = ctx.BuildingTestDlg;
  // The window under the dialog: when the build ends without a test, the activation goes back
  // to it once the handler has returned, as after a box of its own.
  QWidget* under = platform::gui::LastActivatedWindow();
  // Whatever ends the build, the dialog goes and the normal cursor comes back.
  auto end_wait = [dialog] {
    dialog->hide();
    THourglass::Restore();
  };
  auto stop = [&] {
    end_wait();
    if (under != nullptr && under != dialog) platform::gui::ScheduleActivation(under);
  };
  try {
    THourglass::Set();
    dialog->show();
    dialog->repaint();
    // One pass of the event loop maps and paints the dialog; the user's input waits.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    TQSelector* selector = ctx.QSelector;
    if (selector == nullptr) {  // released by an earlier build: the draw ran already
      stop();
      return false;
    }
    selector->LoadQuestions();
    selector->PickQuestions();
    if (DrawEndedProgram()) return false;
    if (ctx.Test.QuestionCount < 1) {
      stop();
      return false;
    }

    RecordNo.Clear();
    for (int32_t record : selector->Master2) RecordNo.Add(std::to_string(record));
    RecordNo.Insert(0, "0");
    correctAnswers.Clear();
    correctAnswers.Add("0");
    // The draw runs once per run: the selector goes once control is back in the event loop.
    ctx.Release(selector);

    components::TWenDbf& table = *ctx.Questions->WenDbf1;
    const int32_t count = BuildCount();
    for (int32_t i = 1; i <= count; ++i) {
      table.Go(StrToInt(RecordNo[i]));
      correctAnswers.Add(CorrectAnswersOfRecord());
    }
  } catch (...) {
    stop();
    throw;
  }
  end_wait();
  ctx.Test.TestRunning = true;
  ctx.Questions->show();
  return true;
}

int32_t TControlForm::ObjectivePercent(int k) const {
  const int32_t total = ObjectiveTotal[k - 1];
  if (total <= 0) return 0;
  // The quotient first, then the percentage, in extended precision.
  const engine::Extended quotient =
      static_cast<engine::Extended>(ObjectiveCorrect[k - 1]) / static_cast<engine::Extended>(total);
  return static_cast<int32_t>(engine::RoundHalfToEven(quotient * 100));
}

std::string TControlForm::ObjectiveName(int k) const {
  const QStringList names = AllObjectives->Items();
  if (k < 1 || k > names.size()) return {};
  return platform::gui::QStringToAnsi(names[k - 1]);
}

std::string TControlForm::AnalysisLine(int k, const std::string& name, int32_t percent) {
  const int width = percent == 100 ? 11 : percent >= 10 ? 10 : 9;
  const int fill = 79 - static_cast<int>(name.size()) - width;
  std::string line = k < 10 ? " " + std::to_string(k) + ". " : std::to_string(k) + ". ";
  line += name;
  if (fill > 0) line.append(static_cast<size_t>(fill), '.');
  return line + std::to_string(percent) + "% Correct";
}

void TControlForm::GradeTest() {
  TAppContext& ctx = Ctx();
  if (ctx.Questions != nullptr) ctx.Questions->Timer1->stop();
  ctx.Test.TestRunning = false;

  // Objective numbers: one entry for each stored question, the first objective of that name,
  // "0" when no name matches, so that entry i stays the number of question i.
  std::vector<std::string> names;
  for (const QString& name : AllObjectives->Items())
    names.push_back(platform::gui::QStringToAnsi(name));
  for (int32_t i = 1; i < Objective.Count(); ++i) {
    int32_t number = 0;
    for (size_t j = 0; j < names.size(); ++j) {
      if (Objective[i] == names[j]) {
        number = static_cast<int32_t>(j) + 1;
        break;
      }
    }
    ObjectiveNo.Add(std::to_string(number));
  }

  for (int32_t i = 1; i < ObjectiveNo.Count(); ++i) {
    if (const int k = ObjectiveSlot(ObjectiveNo[i])) ++ObjectiveTotal[k - 1];
  }
  // Only the stored questions are graded: the ones the user never reached count as wrong.
  const int32_t stored =
      std::min({marked.Count(), userAnswers.Count(), correctAnswers.Count(), ObjectiveNo.Count()});
  for (int32_t i = 1; i < stored; ++i) {
    if (engine::AllTrim(userAnswers[i]) != engine::AllTrim(correctAnswers[i])) continue;
    if (const int k = ObjectiveSlot(ObjectiveNo[i])) ++ObjectiveCorrect[k - 1];
  }

  TResults* results = ctx.Results;
  int32_t correct = 0;
  for (int k = 1; k <= kObjectives; ++k) {
    correct += ObjectiveCorrect[k - 1];
    if (ObjectiveTotal[k - 1] == 0 || results == nullptr) continue;
    results->ObjectiveAnalysisList->addItem(
        platform::gui::AnsiToQString(AnalysisLine(k, ObjectiveName(k), ObjectivePercent(k))));
  }

  // Points per question: 1000 / n as the 6-byte real keeps it, then the score in extended
  // precision.
  const int32_t n = StrToInt(OnTest->text());
  assert(n >= 1);
  const engine::Extended points =
      engine::RoundToReal48HalfAway(engine::Extended{1000} / static_cast<engine::Extended>(n));
  const int64_t score = engine::RoundHalfToEven(points * static_cast<engine::Extended>(correct));

  if (results != nullptr) {
    results->PassingScore->setText(ctx.StartUp->VexaEdit3->text());
    results->RequiredScoreGauge->SetPercent(ctx.Values.PassingPercent);
    results->UserScore->setText(QString::number(score));
    const engine::Extended shown = StrToInt(results->UserScore->text());
    results->UserScoreGauge->SetPercent(
        static_cast<int>(engine::RoundHalfToEven(shown * engine::Extended{0.1L})));
    results->Grade->setText(
        results->UserScoreGauge->Percent() >= results->RequiredScoreGauge->Percent() ? "Pass"
                                                                                     : "Fail");
    results->show();
  }
  if (ctx.Questions != nullptr) ctx.Questions->hide();
  if (ctx.ItemReview != nullptr) ctx.ItemReview->hide();
}

std::string TControlForm::DisplayLine(const std::string& question) {
  const std::string trimmed = engine::AllTrim(question);
  const size_t cr = trimmed.find('\r');
  const size_t p = cr == std::string::npos ? 0 : cr + 1;  // 1-based, 0 for none
  const size_t cut = (p >= 1 && p < 63) ? p - 1 : 64;
  std::string line = question.substr(0, cut);
  if (question.size() > cut) line += "...";
  return engine::AllTrim(line);
}

}  // namespace app
