#include "app/start_window.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "app/artwork.h"
#include "app/item_review_window.h"
#include "app/question_window.h"
#include "app/splash.h"
#include "app/test_controller.h"
#include "engine/memo_file.h"
#include "engine/work_area.h"
#include "platform/gui/application.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

const char kMissing[] = "Required files cannot be found. Quitting application.";

class StartWindowTest : public AppTest {
 protected:
  // Shows the start window: its show handler, then, once it is on screen, its activation.
  void Activate() {
    app::TStartUp* start = context_->StartUp;
    start->hide();
    EXPECT_TRUE(ShowAndActivate(start));
  }
  void WriteTest(const std::string& base, const TestDefinition& def = {}, int records = 3) {
    WriteTestDefinition(folder() + base + ".ini", def);
    std::vector<TestRecord> r;
    for (int i = 0; i < records; ++i)
      r.push_back({"Objective one", "Question " + std::to_string(i)});
    WriteQuestionTable(folder() + base + ".dbf", r);
  }
  int OpenAreas() const {
    int n = 0;
    for (const auto& wa : engine::WorkAreas) n += wa != nullptr;
    return n;
  }
  app::TStartUpValues& Values() { return context_->Values; }
};

TEST_F(StartWindowTest, TheFirstDefinitionInNameOrderIsTheTest) {
  TestDefinition b;
  b.name = "Test B";
  WriteTest("b", b, 2);
  TestDefinition a;
  a.name = "Test A";
  WriteTest("a", a, 3);
  CreateWindows();
  Activate();
  EXPECT_EQ(context_->StartUp->GroupBox1->title(), "Test A");
  EXPECT_EQ(Values().DbfName, "a.dbf");
  EXPECT_EQ(Values().BookFile, "a.pdf");
  EXPECT_EQ(Values().AppDir, folder());
  EXPECT_TRUE(context_->Questions->WenDbf1->Active());
  EXPECT_EQ(context_->ControlForm->TotalQuestions->text(), "3");
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

TEST_F(StartWindowTest, UpperCaseNamesMatch) {
  WriteTest("EXAM01", {}, 4);
  std::filesystem::rename(folder() + "EXAM01.ini", folder() + "EXAM01.INI");
  std::filesystem::rename(folder() + "EXAM01.dbf", folder() + "EXAM01.DBF");
  CreateWindows();
  Activate();
  EXPECT_EQ(Values().DbfName, "EXAM01.dbf");
  EXPECT_TRUE(context_->Questions->WenDbf1->Active());
  EXPECT_EQ(context_->ControlForm->TotalQuestions->text(), "4");
}

TEST_F(StartWindowTest, ValuesReadFromTheDefinition) {
  struct Case {
    std::string chapter, links, format, score, time;
    bool refs_visible;
    std::string book;
    int percent;
    const char* what;
  } cases[] = {
      {"0", "1", "Acrobat", "750", "90", true, "t.pdf", 75, "links alone show the button"},
      {"1", "0", "Help", "705", "60", true, "t.hlp", 70, "chapters alone; 70.5 goes to 70"},
      {"0", "yes", "acrobat", "715", "5", false, "", 72, "only \"1\" is on; lower-case format"},
  };
  WriteTest("t");
  CreateWindows();
  for (const Case& c : cases) {
    TestDefinition def;
    def.show_chapter = c.chapter;
    def.show_links = c.links;
    def.format = c.format;
    def.passing_score = c.score;
    def.time_limit = c.time;
    // Each activation reads the definition again, so an edited file is picked up.
    WriteTestDefinition(folder() + "t.ini", def);
    Activate();
    EXPECT_EQ(!context_->Questions->ShowRefsBtn->isHidden(), c.refs_visible) << c.what;
    EXPECT_EQ(Values().BookFile, c.book) << c.what;
    EXPECT_EQ(Values().BookFormatValue, c.format) << c.what;
    EXPECT_EQ(Values().PassingPercent, c.percent) << c.what;
    EXPECT_EQ(Values().MinutesLeft, std::stoi(c.time)) << c.what;
    EXPECT_EQ(context_->ItemReview->TimeLabel->text(),
              QString::fromStdString("Time Remaining: " + c.time + " minutes"))
        << c.what;
    EXPECT_EQ(OpenAreas(), 1) << "each activation reopens the one table";
  }
}

TEST_F(StartWindowTest, AMissingTableEndsTheProgram) {
  WriteTestDefinition(folder() + "t.ini", {});
  CreateWindows();
  services_->AnswerBox(platform::kResultOk, kMissing);
  Activate();
  EXPECT_EQ(services_->CallKinds(), (std::vector<std::string>{"MessageBox", "Quit"}));
  EXPECT_TRUE(platform::gui::TerminateRequested());
  EXPECT_FALSE(context_->Questions->WenDbf1->Active());
  EXPECT_EQ(OpenAreas(), 0);
}

TEST_F(StartWindowTest, AFolderWithoutDefinitionEndsTheProgram) {
  WriteQuestionTable(folder() + "t.dbf", {{"Objective one", "Q"}});
  CreateWindows();
  services_->AnswerBox(platform::kResultOk, kMissing);
  Activate();
  EXPECT_EQ(services_->CallKinds(), (std::vector<std::string>{"MessageBox", "Quit"}));
  EXPECT_TRUE(platform::gui::TerminateRequested());
  EXPECT_EQ(OpenAreas(), 0);
}

// Exit and closing the window end the program through the services, and nothing else.
TEST_F(StartWindowTest, ExitAndClosingEndTheProgramThroughTheServices) {
  WriteTest("t");
  for (const bool exit_button : {true, false}) {
    SCOPED_TRACE(exit_button ? "Exit" : "close");
    CreateWindows();
    Activate();
    ASSERT_TRUE(services_->CallKinds().empty());
    if (exit_button)
      context_->StartUp->ExitBtn->click();
    else
      context_->StartUp->close();
    EXPECT_EQ(services_->CallKinds(), (std::vector<std::string>{"Quit"}));
    EXPECT_TRUE(platform::gui::TerminateRequested());
    context_.reset();
    services_.reset();
    services_ = std::make_unique<platform::gui::TestServices>();
    platform::gui::ResetTerminateRequest();
  }
}

TEST_F(StartWindowTest, ARequiredNumberThatIsNoNumberEndsTheProgramBeforeAnyValueIsStored) {
  struct Case {
    std::string time, score, key;
  } cases[] = {{"-", "700", "Time Limit"},
               {"ninety", "700", "Time Limit"},
               {"90", "-", "Passing Score"},
               {"90", "70.0", "Passing Score"}};
  for (const Case& c : cases) {
    WriteTest("t");
    TestDefinition def;
    def.time_limit = c.time;
    def.passing_score = c.score;
    WriteTestDefinition(folder() + "t.ini", def);
    CreateWindows();
    services_->AnswerBox(platform::kResultOk, QString::fromStdString("'" + c.key + "' in t.ini"));
    Activate();
    EXPECT_TRUE(platform::gui::TerminateRequested()) << c.key;
    EXPECT_EQ(Values().WriteScores, "") << c.key;
    EXPECT_EQ(Values().DbfName, "") << c.key;
    EXPECT_EQ(Values().MinutesLeft, 0) << c.key;
    EXPECT_EQ(OpenAreas(), 0) << c.key;
    context_.reset();
    platform::gui::ResetTerminateRequest();
  }
}

// The banner's rows of marks: open rings show the sky through them, every fifth mark is an
// accent dot.
TEST(StartBanner, OpenRingsShowTheSkyAndAccentMarksAreFilled) {
  const QImage banner = app::StartBanner(QSize(281, 178)).toImage();
  const double cell = 178 / 6.0;
  int open = 0, filled = 0;
  for (int row = 0; row < 6; ++row) {
    for (int col = 0; col * cell + cell < 281; ++col) {
      SCOPED_TRACE(testing::Message() << "row " << row << ", column " << col);
      const int y = static_cast<int>(row * cell + cell * 0.5);
      const QColor centre = banner.pixelColor(static_cast<int>(col * cell + cell * 0.5), y);
      const QColor sky = banner.pixelColor(static_cast<int>(col * cell + cell * 0.1), y);
      const int difference = std::abs(centre.red() - sky.red()) +
                             std::abs(centre.green() - sky.green()) +
                             std::abs(centre.blue() - sky.blue());
      if ((row * 7 + col * 3) % 5 == 0) {
        ++filled;
        EXPECT_GT(centre.red(), sky.red() + 40) << "an accent dot";
      } else {
        ++open;
        EXPECT_LE(difference, 6) << "an open ring";
      }
    }
  }
  EXPECT_GT(open, 30);
  EXPECT_GT(filled, 5);
}

// The state of every file of a folder: its bytes and its modification time.
std::map<std::string, std::pair<std::string, int64_t>> Snapshot(const std::string& folder) {
  std::map<std::string, std::pair<std::string, int64_t>> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    struct stat st;
    ::stat(entry.path().c_str(), &st);
    files[entry.path().filename()] = {ReadFileBytes(entry.path()),
                                      st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec};
  }
  return files;
}

TEST_F(StartWindowTest, AReadOnlyTestFolderStartsAndIsNotTouched) {
  WriteTest("t");
  for (const auto& entry : std::filesystem::directory_iterator(folder())) {
    ::chmod(entry.path().c_str(), 0444);
  }
  const auto before = Snapshot(folder());
  CreateWindows();
  Activate();
  Activate();
  ASSERT_TRUE(context_->Questions->WenDbf1->Active());
  EXPECT_FALSE(platform::gui::TerminateRequested());
  // The table and its memo file are open for reading only.
  ASSERT_EQ(OpenAreas(), 1);
  for (uint8_t a = 1; a <= engine::kMaxArea; ++a) {
    if (!engine::WorkAreas[a]) continue;
    engine::Select(a);
    EXPECT_EQ(::fcntl(engine::WorkAreas[a]->Dbf.DataFile.fd(), F_GETFL) & O_ACCMODE, O_RDONLY);
    ASSERT_NE(engine::CurrentMemoFile(), nullptr);
    EXPECT_EQ(::fcntl(engine::CurrentMemoFile()->MemoFile.fd(), F_GETFL) & O_ACCMODE, O_RDONLY);
  }
  context_.reset();
  EXPECT_EQ(Snapshot(folder()), before) << "a file of the test folder changed or appeared";
}

}  // namespace
}  // namespace testing_support
