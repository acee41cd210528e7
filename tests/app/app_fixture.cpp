#include "tests/app/app_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "components/wen_common.h"
#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/memo_device.h"
#include "engine/work_area.h"
#include "platform/gui/application.h"

namespace testing_support {

namespace {

int32_t WriteMemo(const std::string& text) {
  int32_t ref = 0;
  engine::TMemoDevice f;
  EXPECT_TRUE(f.Assign(ref));
  EXPECT_EQ(f.Rewrite(), 0);
  EXPECT_EQ(f.WriteLn(text), 0);
  EXPECT_EQ(f.Close(), 0) << engine::ErrorMsg;
  return ref;
}

}  // namespace

void WriteQuestionTable(const std::string& path, const std::vector<TestRecord>& records) {
  using namespace engine;
  std::vector<TFieldDef> fields = {
      {"QUESTION", 'M', 10, 0}, {"ANSWERA", 'M', 10, 0},    {"ANSWERB", 'M', 10, 0},
      {"ANSWERC", 'M', 10, 0},  {"ANSWERD", 'M', 10, 0},    {"ANSWERE", 'M', 10, 0},
      {"FEEDBACK", 'M', 10, 0}, {"CHECKA", 'L', 1, 0},      {"CHECKB", 'L', 1, 0},
      {"CHECKC", 'L', 1, 0},    {"CHECKD", 'L', 1, 0},      {"CHECKE", 'L', 1, 0},
      {"DRUMEL", 'L', 1, 0},    {"OBJECTIVE", 'C', 60, 0},  {"EXHIBFILE", 'C', 20, 0},
      {"CHAPTER", 'C', 60, 0},  {"SELECTNOTE", 'C', 60, 0},
  };
  // The fixture has the table to itself: no shared locking, no halting while it writes.
  const bool saved_shared = SharedAccess, saved_abort = AbortOnError;
  SharedAccess = false;
  AbortOnError = false;
  TDbfFileRec t;
  CreateDBF(t, path, static_cast<uint8_t>(fields.size()), fields);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  const uint16_t saved_mode = OpenModeOverride;
  OpenModeOverride = 65535;
  USE(path, nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  for (const TestRecord& r : records) {
    ClearRecord();
    uint8_t* objective = FieldAddress(FieldNo("OBJECTIVE"));
    objective[0] = static_cast<uint8_t>(r.objective.size());
    std::copy(r.objective.begin(), r.objective.end(), objective + 1);
    PutI32LE(FieldAddress(FieldNo("QUESTION")), WriteMemo(r.question));
    Append();
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  }
  CloseArea();
  OpenModeOverride = saved_mode;
  SharedAccess = saved_shared;
  AbortOnError = saved_abort;
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
  profile_ = std::make_unique<ProfileEnv>(dir_ / "config", folder_ + "Velkorin");
  char cwd[4096];
  saved_cwd_ = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
  engine::ResetEngine();
  components::InitClassLayer();
  app::SetStartSettings();
  platform::gui::ResetTerminateRequest();
  services_ = std::make_unique<platform::gui::TestServices>();
}

void AppTest::TearDown() {
  context_.reset();
  services_.reset();
  engine::ResetEngine();
  platform::gui::ResetTerminateRequest();
  profile_.reset();
  [[maybe_unused]] const int rc = ::chdir(saved_cwd_.c_str());
}

void AppTest::CreateWindows() {
  context_ = std::make_unique<app::TAppContext>();
  context_->CreateWindows();
}

}  // namespace testing_support
