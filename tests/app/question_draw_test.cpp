// The question pool and the random draw: pools filed from the question table by objective, the
// even share, the first pass, the top-up and the final order, with scripted seeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "app/objective_window.h"
#include "app/question_selector.h"
#include "app/question_window.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "engine/engine.h"
#include "tests/app/app_fixture.h"

namespace testing_support {
namespace {

using app::TRecordList;

// A selector of its own, beside the context's, that keeps what its first pass drew.
class WatchedSelector : public app::TQSelector {
 public:
  TRecordList first_pass;
  using TQSelector::Share;

 protected:
  void FirstPass() override {
    TQSelector::FirstPass();
    first_pass = MasterList;
  }
};

// Services that keep the question window's status line at the moment a box shows.
class StatusAtBoxServices : public platform::gui::TestServices {
 public:
  std::vector<QString> status_at_box;

 protected:
  int DoMessageBox(const QString& text, const QString& caption, platform::MessageIcon icon,
                   platform::MessageButtons buttons, QWidget* owner) override {
    status_at_box.push_back(app::Ctx().Questions->StatusBar1->SimpleText());
    return TestServices::DoMessageBox(text, caption, icon, buttons, owner);
  }
};

const char kShortfall30[] =
    "A total of 30 questions are available for the objectives that you have selected.";

class QuestionDrawTest : public AppTest {
 protected:
  // The test with `objectives`, the rows, and a filler record at the end; the objective window
  // shown with every objective checked.
  void Open(const std::vector<std::string>& objectives, std::vector<samples::QuestionRecord> rows) {
    TestDefinition def;
    def.objectives = objectives;
    rows.push_back(QuestionRow("Filler"));
    OpenTest(def, rows);
    OpenObjectiveWindow();
    selector_ = std::make_unique<WatchedSelector>();
    selector_->FormCreate();
  }
  // Checks exactly the objectives in `checked` (1-based) and requests `request` questions.
  void Select(const std::set<int>& checked, int request) {
    app::TDisclaimer& window = *context_->ObjectiveWindow();
    for (int line = 0; line < window.rsListBox1->Count(); ++line) {
      window.rsListBox1->SetChecked(line, checked.count(line + 1) > 0);
    }
    window.NumberOfQuestions->setText(QString::number(request));
  }
  // The same, then the pools loaded and the test drawn with `seed`.
  void Draw(const std::set<int>& checked, int request, uint32_t seed) {
    Select(checked, request);
    services_->set_random_seed(seed);
    selector_->LoadQuestions();
    selector_->PickQuestions();
  }
  static std::vector<samples::QuestionRecord> Concat(
      std::initializer_list<std::vector<samples::QuestionRecord>> parts) {
    std::vector<samples::QuestionRecord> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  }

  std::unique_ptr<WatchedSelector> selector_;
};

TEST_F(QuestionDrawTest, ScriptedSeedsGiveTheKnownDraws) {
  Open({"One", "Two", "Three"}, Concat({QuestionRows("One", 10), QuestionRows("Two", 1)}));
  Draw({1, 2, 3}, 4, 12345);
  EXPECT_EQ(selector_->AvailableCount[0], 10);
  EXPECT_EQ(selector_->AvailableCount[1], 1);
  EXPECT_EQ(selector_->AvailableCount[2], 0);
  EXPECT_EQ(selector_->ActiveObjectives, 2);
  EXPECT_EQ(selector_->QuestionsPerObjective, 2);
  EXPECT_EQ(selector_->first_pass, (TRecordList{4, 3}));
  EXPECT_EQ(selector_->Master2, (TRecordList{3, 4, 6, 11}));
  EXPECT_EQ(context_->Test.QuestionCount, 4);
  EXPECT_EQ(context_->ControlForm->OnTest->text(), "4");
  EXPECT_EQ(services_->CallsOf("RandomSeed").size(), 1u);
}

TEST_F(QuestionDrawTest, ALongerFirstPassIsCutByTheFinalOrder) {
  Open({"One", "Two"}, Concat({QuestionRows("One", 20), QuestionRows("Two", 20)}));
  Draw({1, 2}, 11, 3);
  EXPECT_EQ(selector_->first_pass.size(), 12u);
  EXPECT_EQ(selector_->Master2, (TRecordList{10, 13, 30, 11, 18, 35, 37, 8, 2, 27, 24}));
  EXPECT_EQ(selector_->MasterList.size(), 1u) << "the draw beyond the count is dropped";
}

TEST_F(QuestionDrawTest, ShortRequestsAndShortfalls) {
  Open({"One", "Two", "Three"},
       Concat({QuestionRows("One", 10), QuestionRows("Two", 10), QuestionRows("Three", 10)}));
  // One question over three active objectives: no share, the top-up takes objective 1's.
  Draw({1, 2, 3}, 1, 77);
  EXPECT_EQ(selector_->QuestionsPerObjective, 0);
  EXPECT_TRUE(selector_->first_pass.empty());
  ASSERT_EQ(selector_->Master2.size(), 1u);
  EXPECT_LE(selector_->Master2[0], 10);

  // Nothing requested: nothing drawn.
  Draw({1, 2, 3}, 0, 77);
  EXPECT_TRUE(selector_->Master2.empty());
  EXPECT_EQ(context_->ControlForm->OnTest->text(), "0");

  // More than the objectives hold: every one of them, the status line and one box.
  services_.reset();
  services_ = std::make_unique<StatusAtBoxServices>();
  auto* services = static_cast<StatusAtBoxServices*>(services_.get());
  services->AnswerBox(platform::kResultOk, kShortfall30);
  Draw({1, 2, 3}, 50, 5);
  EXPECT_EQ(context_->Test.QuestionCount, 30);
  EXPECT_EQ(selector_->Master2.size(), 30u);
  EXPECT_EQ(context_->ControlForm->OnTest->text(), "30");
  EXPECT_EQ(services->status_at_box, std::vector<QString>{kShortfall30});
  EXPECT_EQ(services->CallsOf("MessageBox").size(), 1u);
}

TEST_F(QuestionDrawTest, TheEvenShareRoundsHalvesToEvenAndNeverDividesByZero) {
  Open({"One"}, QuestionRows("One", 2));
  struct Case {
    int count, active, share;
  } cases[] = {{10, 4, 2}, {11, 2, 6}, {1, 3, 0}, {5, 2, 2}, {7, 2, 4}, {5, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(selector_->Share(c.count, c.active), c.share) << c.count << "/" << c.active;
  }
}

TEST_F(QuestionDrawTest, NothingToDrawGivesAnEmptyTestAndOneBox) {
  // The only selected objective has no record; the other one's single record is the last.
  Open({"One", "Two"}, QuestionRows("Two", 3));
  services_->AnswerBox(platform::kResultOk,
                       "A total of 0 questions are available for the objectives that you "
                       "have selected.");
  Draw({1}, 5, 9);
  EXPECT_EQ(selector_->ActiveObjectives, 0);
  EXPECT_EQ(selector_->QuestionsPerObjective, 0);
  EXPECT_EQ(context_->Test.QuestionCount, 0);
  EXPECT_TRUE(selector_->Master2.empty());
}

TEST_F(QuestionDrawTest, PoolsMatchNamesExactlyWithinTheFirstThirtyObjectives) {
  std::vector<std::string> objectives;
  for (int k = 1; k <= 31; ++k) objectives.push_back("Objective " + std::to_string(k));
  objectives[1] = "Caf\xe9";  // ANSI in the test definition
  auto rows = Concat({QuestionRows("Objective 1", 2), QuestionRows("objective 1", 2),
                      QuestionRows("Caf\x82", 2),  // OEM in the table
                      QuestionRows("Objective 31", 2)});
  Open(objectives, rows);
  std::set<int> all;
  for (int k = 1; k <= 31; ++k) all.insert(k);
  Select(all, 1);
  selector_->LoadQuestions();
  EXPECT_EQ(selector_->Pools[0], (TRecordList{1, 2})) << "the case-different records stay out";
  EXPECT_EQ(selector_->Pools[1], (TRecordList{5, 6})) << "the accented name matches";
  EXPECT_EQ(selector_->TotalAvailable, 4) << "objective 31 takes no part";
  EXPECT_EQ(selector_->ObjectiveNames[1], "Caf\xe9");
}

// Random tables and selections: every draw is of distinct records of checked objectives, never
// the table's last record, never a pool's first entry in the first pass, and as long as the
// request or what the objectives hold.
TEST_F(QuestionDrawTest, AThousandSeedsKeepTheDrawsRules) {
  std::mt19937 random(20260504);
  const int kTables = 4;
  for (int table = 0; table < kTables; ++table) {
    const std::vector<std::string> names = {"A", "B", "C", "D", "E", "F"};
    std::vector<samples::QuestionRecord> rows;
    for (int k = 0; k < 6; ++k) {
      const int size = std::uniform_int_distribution<int>(0, 12)(random);
      for (int i = 0; i < size; ++i) rows.push_back(QuestionRow(names[k]));
    }
    std::shuffle(rows.begin(), rows.end(), random);
    rows.push_back(QuestionRow(names[random() % 6]));  // a last record that would count
    TestDefinition def;
    def.objectives = names;
    WriteTestDefinition(folder() + "t.ini", def);
    WriteQuestionTable(folder() + "t.dbf", rows);
    selector_.reset();
    context_.reset();
    engine::ResetEngine();
    CreateWindows();
    ShowAndActivate(context_->StartUp);
    OpenObjectiveWindow();
    selector_ = std::make_unique<WatchedSelector>();
    selector_->FormCreate();
    const int last = static_cast<int>(rows.size());

    for (int run = 0; run < 250; ++run) {
      std::set<int> checked;
      for (int k = 1; k <= 6; ++k) {
        if (random() % 2) checked.insert(k);
      }
      const int request = std::uniform_int_distribution<int>(1, 40)(random);
      int available = 0;
      for (int i = 0; i + 1 < last; ++i) {
        const int k =
            static_cast<int>(std::find(names.begin(), names.end(), rows[i].texts.at("OBJECTIVE")) -
                             names.begin()) +
            1;
        available += checked.count(k) ? 1 : 0;
      }
      if (request > available) services_->AnswerBox(platform::kResultOk, "A total of ");
      Draw(checked, request, static_cast<uint32_t>(table * 1000 + run));
      const std::string what = "table " + std::to_string(table) + " run " + std::to_string(run);
      const TRecordList& drawn = selector_->Master2;
      ASSERT_EQ(static_cast<int>(drawn.size()), std::min(request, available)) << what;
      EXPECT_EQ(std::set<int32_t>(drawn.begin(), drawn.end()).size(), drawn.size()) << what;
      for (int32_t record : drawn) {
        ASSERT_GE(record, 1) << what;
        ASSERT_LT(record, last) << what;
        const int k = static_cast<int>(std::find(names.begin(), names.end(),
                                                 rows[record - 1].texts.at("OBJECTIVE")) -
                                       names.begin()) +
                      1;
        EXPECT_TRUE(checked.count(k)) << what << " record " << record;
      }
      // A pool's first entry is its earliest record of that objective.
      for (int32_t record : selector_->first_pass) {
        const std::string& name = rows[record - 1].texts.at("OBJECTIVE");
        bool earlier = false;
        for (int i = 0; i + 1 < record; ++i) earlier |= rows[i].texts.at("OBJECTIVE") == name;
        EXPECT_TRUE(earlier) << what << " first pass took the first entry " << record;
      }
    }
  }
}

}  // namespace
}  // namespace testing_support
