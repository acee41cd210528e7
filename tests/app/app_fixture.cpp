#include "tests/app/app_fixture.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QTest>
#include <filesystem>
#include <fstream>

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
#include "app/window_support.h"
#include "components/core/wen_common.h"
#include "components/core/wen_field.h"
#include "engine/dbf_file.h"
#include "engine/engine.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/clock.h"
#include "platform/gui/application.h"
#include "platform/gui/text.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {

std::vector<QWidget*> ContextSlots(const app::TAppContext& c) {
  return {c.Splash,      c.StartUp, c.Disclaimer,     c.Questions,       c.ItemReview,
          c.ControlForm, c.Results, c.ObjectiveBreak, c.BuildingTestDlg, c.QSelector,
          c.ExhibitWnd,  c.Notes,   c.MissedItemsWnd};
}

void WriteQuestionTable(const std::string& path, const std::vector<TestRecord>& records) {
  std::vector<samples::QuestionRecord> rows;
  for (const TestRecord& r : records) rows.push_back(QuestionRow(r.objective, "", r.question));
  WriteQuestionTable(path, rows);
}

samples::QuestionRecord QuestionRow(const std::string& objective, const std::string& correct,
                                    const std::string& question) {
  samples::QuestionRecord row;
  row.texts["OBJECTIVE"] = objective;
  row.memos["QUESTION"] = {question};
  for (char letter = 'A'; letter <= 'E'; ++letter) {
    row.flags[std::string("CHECK") + letter] = correct.find(letter) != std::string::npos;
  }
  return row;
}

std::vector<samples::QuestionRecord> QuestionRows(const std::string& objective, int count) {
  return std::vector<samples::QuestionRecord>(static_cast<size_t>(count), QuestionRow(objective));
}

void WriteQuestionTable(const std::string& path, const std::vector<samples::QuestionRecord>& rows) {
  // The start settings open tables read-only; the table is written before the program starts.
  const uint16_t saved_mode = engine::OpenModeOverride;
  engine::OpenModeOverride = 65535;
  samples::WriteQuestionTable(rows, path);
  engine::OpenModeOverride = saved_mode;
}

samples::QuestionRecord QuestionItemRow(const std::vector<std::string>& answers,
                                        const std::string& correct, const std::string& note,
                                        const std::string& exhibit) {
  samples::QuestionRecord row = QuestionRow("Objective one", correct);
  for (size_t i = 0; i < answers.size() && i < 5; ++i) {
    if (!answers[i].empty())
      row.memos[std::string("ANSWER") + static_cast<char>('A' + i)] = {answers[i]};
  }
  if (!note.empty()) row.texts["SELECTNOTE"] = note;
  if (!exhibit.empty()) row.texts["EXHIBFILE"] = exhibit;
  return row;
}

void WriteQuestionTextFlagTable(const std::string& path, const std::string& objective,
                                const std::vector<std::array<std::string, 5>>& flags) {
  std::vector<engine::TFieldDef> fields = samples::QuestionFields();
  for (engine::TFieldDef& f : fields) {
    if (f.Name.rfind("CHECK", 0) == 0) {
      f.FieldType = 'C';
      f.Len = 5;
    }
  }
  const uint16_t saved_mode = engine::OpenModeOverride;
  const bool saved_shared = engine::SharedAccess;
  engine::OpenModeOverride = 65535;
  engine::SharedAccess = false;  // the table to itself: appends need no lock
  engine::TDbfFileRec table;
  engine::CreateDBF(table, path, static_cast<uint8_t>(fields.size()), fields);
  engine::USE(path, nullptr, 0);
  auto put = [](const std::string& field, const std::string& text) {
    uint8_t* slot = engine::FieldAddress(engine::FieldNo(field));
    slot[0] = static_cast<uint8_t>(text.size());
    std::copy(text.begin(), text.end(), slot + 1);
  };
  for (const auto& row : flags) {
    engine::ClearRecord();  // memo and number fields stay blank
    put("OBJECTIVE", objective);
    for (size_t i = 0; i < 5; ++i) put(std::string("CHECK") + static_cast<char>('A' + i), row[i]);
    engine::Append();
  }
  engine::CloseArea();
  engine::OpenModeOverride = saved_mode;
  engine::SharedAccess = saved_shared;
  EXPECT_EQ(engine::ErrorCode, 0);
}

void WriteTestDefinition(const std::string& path, const TestDefinition& def) {
  std::string text;
  auto key = [&](const char* name, const std::string& value) {
    if (value != "-") text += std::string(name) + "=" + value + "\r\n";
  };
  text += "[TestInfo]\r\n";
  key("Test Name", def.name);
  key("Number of Questions", def.questions);
  key("Time Limit", def.time_limit);
  key("Passing Score", def.passing_score);
  text += "[Menu Options]\r\n";
  key("Show Chapter", def.show_chapter);
  key("Show Links", def.show_links);
  key("Write Scores", def.write_scores);
  text += "[BookFormat]\r\n";
  key("Format", def.format);
  text += "[Objectives]\r\n";
  text += "ObjectiveCount=" + std::to_string(def.objectives.size()) + "\r\n";
  for (size_t i = 0; i < def.objectives.size(); ++i) {
    text += "Objective" + std::to_string(i) + "=" + def.objectives[i] + "\r\n";
  }
  std::ofstream(path, std::ios::binary) << text;
}

void AppTest::SetUp() {
  folder_ = dir_ / "test/";
  std::filesystem::create_directories(folder_);
  std::filesystem::create_directories(dir_ / "config");
  profile_ = std::make_unique<ProfileEnv>(dir_ / "config", folder_ + ProgramName());
  char cwd[4096];
  saved_cwd_ = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
  engine::ResetEngine();
  components::InitClassLayer();
  app::SetStartSettings();
  platform::gui::ResetTerminateRequest();
  services_ = std::make_unique<platform::gui::TestServices>();
}

void AppTest::TearDown() {
  // Windows released by the context go first, as they would at the next pass of the loop.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  app::THourglass::Restore();
  context_.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  services_.reset();
  engine::ResetEngine();
  platform::gui::ResetTerminateRequest();
  profile_.reset();
  platform::ClearTestNow();
  platform::ClearTestUtcNow();
  [[maybe_unused]] const int rc = ::chdir(saved_cwd_.c_str());
}

std::unique_ptr<app::TAppContext> AppTest::MakeContext() {
  return std::make_unique<app::TAppContext>();
}

void AppTest::CreateWindows() {
  context_ = MakeContext();
  context_->CreateWindows();
}

bool AppTest::ShowAndActivate(QWidget* window) {
  const bool activated = testing_support::ShowAndActivate(window);
  EXPECT_TRUE(activated) << window->objectName().toStdString();
  return activated;
}

void AppTest::OpenTest(const TestDefinition& def,
                       const std::vector<samples::QuestionRecord>& rows) {
  WriteTestDefinition(folder() + "t.ini", def);
  WriteQuestionTable(folder() + "t.dbf", rows);
  CreateWindows();
  ShowAndActivate(context_->StartUp);
}

void AppTest::OpenObjectiveWindow() {
  context_->StartUp->NextBtnClick();
  EXPECT_TRUE(WaitForActivation(context_->Disclaimer));
}

void AppTest::ExhibitOpenTest(const std::vector<std::string>& names) {
  std::vector<samples::QuestionRecord> rows;
  for (const std::string& name : names) {
    samples::QuestionRecord row = QuestionRow("Objective one");
    if (!name.empty()) row.texts["EXHIBFILE"] = engine::AnsiToOemStr(name);
    rows.push_back(row);
  }
  WriteTestDefinition(folder() + "AB12345.ini", {});
  WriteQuestionTable(folder() + "AB12345.dbf", rows);
  CreateWindows();
  ShowAndActivate(context_->StartUp);
}

void AppTest::GradingOpenTest(const std::string& base, const TestDefinition& def,
                              const std::vector<samples::QuestionRecord>& rows) {
  WriteTestDefinition(folder() + base + ".ini", def);
  std::vector<samples::QuestionRecord> table = rows;
  table.push_back(QuestionRow("Filler"));
  WriteQuestionTable(folder() + base + ".dbf", table);
  CreateWindows();
  ShowAndActivate(context_->StartUp);
}

int32_t AppTest::ExhibitRecordNamed(const std::string& name) {
  components::TWenDbf& table = *context_->Questions->WenDbf1;
  components::TWenField* field = table.DataSet()->FieldByName("exhibfile");
  for (int32_t record = 1; record <= table.RecCount(); ++record) {
    table.Go(record);
    if (field->GetText() == name) return record;
  }
  return 0;
}

bool AppTest::ExhibitShow(int32_t record) {
  context_->Questions->WenDbf1->Go(record);
  return ShowAndActivate(context_->ExhibitWnd);
}

void AppTest::ReviewStartTest(const std::vector<samples::QuestionRecord>& rows, int count) {
  review_rows_ = rows;
  std::vector<samples::QuestionRecord> table = rows;
  table.push_back(QuestionRow("Filler"));
  TestDefinition def;
  def.questions = std::to_string(count);
  OpenTest(def, table);
  OpenObjectiveWindow();
  context_->ObjectiveWindow()->NumberOfQuestions->setText(QString::number(count));
  context_->ObjectiveWindow()->NextBtn->click();
  ASSERT_EQ(context_->Test.QuestionCount, count);
  for (int item = 1; item <= count; ++item) ReviewStoreItem(item, false, true, "");
}

void AppTest::ReviewStoreItem(int item, bool marked, bool incomplete, const std::string& letters) {
  app::TControlForm& control = *context_->ControlForm;
  std::string question;
  samples::QuestionRecord& row = review_rows_.at(ReviewRecordOf(item) - 1);
  for (const std::string& line : row.memos["QUESTION"]) {
    question += (question.empty() ? "" : "\r\n") + line;
  }
  const std::pair<app::TTestList*, std::string> entries[] = {
      {&control.marked, marked ? "M" : "o"},
      {&control.incompletes, incomplete ? "I" : "o"},
      {&control.userAnswers, (letters + "     ").substr(0, 5)},
      {&control.QuestionList, app::TControlForm::DisplayLine(question)},
      {&control.Objective, engine::OemToAnsiStr(row.texts["OBJECTIVE"])},
  };
  for (const auto& [list, text] : entries) {
    if (list->Count() <= item) {
      ASSERT_EQ(list->Count(), item) << "items are stored in order the first time";
      list->Add(text);
    } else {
      list->Set(item, text);
    }
  }
}

int AppTest::ReviewRecordOf(int item) const {
  return std::stoi(context_->ControlForm->RecordNo[item]);
}

void AppTest::GradingStartTest(int questions) {
  OpenObjectiveWindow();
  context_->ObjectiveWindow()->NumberOfQuestions->setText(QString::number(questions));
  context_->ObjectiveWindow()->NextBtn->click();
  ASSERT_TRUE(context_->Test.TestRunning) << "no test was built";
}

void AppTest::GradingStoreAnswers(int reached, const GradingAnswer& answer) {
  app::TControlForm& control = *context_->ControlForm;
  components::TWenDbf& table = *context_->Questions->WenDbf1;
  for (int i = 1; i <= reached; ++i) {
    table.Go(app::StrToInt(control.RecordNo[i]));
    const std::string objective =
        platform::gui::QStringToAnsi(context_->Questions->Objective->text());
    std::string letters = answer(objective, control.correctAnswers[i]);
    const bool incomplete = letters.empty();
    letters.resize(5, ' ');
    control.Objective.Add(objective);
    control.userAnswers.Add(letters);
    control.marked.Add("o");
    control.incompletes.Add(incomplete ? "I" : "o");
  }
  context_->Test.CurrentItem = reached;
}

void AppTest::QuestionStart(const std::vector<samples::QuestionRecord>& rows, int items) {
  OpenTest({}, rows);
  RefsBeginItems(rows, items);
}

void AppTest::RefsStart(const std::string& base, const TestDefinition& def,
                        const std::vector<samples::QuestionRecord>& rows) {
  WriteTestDefinition(folder() + base + ".ini", def);
  WriteQuestionTable(folder() + base + ".dbf", rows);
  CreateWindows();
  ShowAndActivate(context_->StartUp);
  RefsBeginItems(rows, -1);
}

void AppTest::RefsBeginItems(const std::vector<samples::QuestionRecord>& rows, int items) {
  if (items < 0) items = static_cast<int>(rows.size());
  app::TControlForm& c = *context_->ControlForm;
  for (app::TTestList* list : {&c.userAnswers, &c.QuestionList, &c.marked, &c.incompletes,
                               &c.Objective, &c.ObjectiveNo, &c.RecordNo, &c.correctAnswers}) {
    list->ResetToPlaceholder();
  }
  for (int i = 1; i <= items; ++i) {
    c.RecordNo.Add(std::to_string(i));
    std::string correct;
    for (char letter = 'A'; letter <= 'E'; ++letter) {
      const auto& flags = rows[static_cast<size_t>(i - 1)].flags;
      const auto flag = flags.find(std::string("CHECK") + letter);
      if (flag != flags.end() && flag->second) correct += letter;
    }
    c.correctAnswers.Add(correct);
  }
  c.OnTest->setText(QString::number(items));
  context_->Test.QuestionCount = items;
  ShowAndActivate(context_->Questions);
  context_->Test.CurrentItem = 1;
  context_->Questions->WenDbf1->Go(1);
}

}  // namespace testing_support
