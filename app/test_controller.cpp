#include "app/test_controller.h"

#include <QApplication>
#include <QEventLoop>

#include "app/app_context.h"
#include "app/building_test_dlg.h"
#include "app/question_selector.h"
#include "app/question_window.h"
#include "app/start_window.h"
#include "app/window_support.h"
#include "platform/gui/activation.h"

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

// Blanks and control characters at both ends, compared as unsigned bytes: characters from
// 0x80 (accented letters) stay.
std::string TrimBlanks(const std::string& text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
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

std::string TControlForm::DisplayLine(const std::string& question) {
  const std::string trimmed = TrimBlanks(question);
  const size_t cr = trimmed.find('\r');
  const size_t p = cr == std::string::npos ? 0 : cr + 1;  // 1-based, 0 for none
  const size_t cut = (p >= 1 && p < 63) ? p - 1 : 64;
  std::string line = question.substr(0, cut);
  if (question.size() > cut) line += "...";
  return TrimBlanks(line);
}

}  // namespace app
