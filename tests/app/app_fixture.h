// A test folder for the windows: a program path, an own profile folder, test services, a
// fresh engine, and helpers that write a test definition and a small question table.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "platform/gui/test_services.h"
#include "samples/demo_maker.h"
#include "tests/support/profile_env.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

// One record of a small question table: the objective and the question's text.
struct TestRecord {
  std::string objective;
  std::string question;
};

// Writes a question table with its memo file (the demo test's fields) at `path`.
void WriteQuestionTable(const std::string& path, const std::vector<TestRecord>& records);
void WriteQuestionTable(const std::string& path,
                        const std::vector<samples::QuestionRecord>& records);

// A question row: its objective (OEM), the letters of its correct answers ("BD") and its
// question text (one memo line, OEM).
samples::QuestionRecord QuestionRow(const std::string& objective, const std::string& correct = "",
                                    const std::string& question = "Question");
// `count` rows of `objective`.
std::vector<samples::QuestionRecord> QuestionRows(const std::string& objective, int count);

// A question row with answers A, B, ... (an empty text leaves its memo out), the letters of
// its correct answers, its select note and its exhibit (OEM texts).
samples::QuestionRecord QuestionItemRow(const std::vector<std::string>& answers,
                                        const std::string& correct = "AB",
                                        const std::string& note = "",
                                        const std::string& exhibit = "");
// Writes a question table with every field of the demo test's table, but checka ... checke as
// text fields C(5) holding the given texts; the objective of every row is `objective`.
void WriteQuestionTextFlagTable(const std::string& path, const std::string& objective,
                                const std::vector<std::array<std::string, 5>>& flags);

// A test definition with the given keys; a key given as "-" is left out.
struct TestDefinition {
  std::string name = "Demo Test";
  std::string questions = "10";
  std::string time_limit = "90";
  std::string passing_score = "700";
  std::string show_chapter = "1";
  std::string show_links = "1";
  std::string write_scores = "1";
  std::string format = "Acrobat";
  std::vector<std::string> objectives = {"Objective one", "Objective two"};
};
void WriteTestDefinition(const std::string& path, const TestDefinition& def);

// The windows as the context's slots hold them, in the study build's order.
std::vector<QWidget*> ContextSlots(const app::TAppContext& c);

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The build under test: a fresh context of its own class, and its program's name (the file
  // name of the program path the fixture sets).
  virtual std::unique_ptr<app::TAppContext> MakeContext();
  virtual std::string ProgramName() const { return "Velkorin"; }

  // The program's folder (ends with "/").
  const std::string& folder() const { return folder_; }
  // Creates the windows of the build under test in a fresh context.
  void CreateWindows();
  // Shows `window` and waits until its show handler and activation have run (expected).
  bool ShowAndActivate(QWidget* window);
  // Writes the test "t" (definition and question table), creates the windows and shows the
  // start window, which opens the table.
  void OpenTest(const TestDefinition& def, const std::vector<samples::QuestionRecord>& rows);
  // The start window's Next: the objective window shown and activated.
  void OpenObjectiveWindow();
  // Writes the test "t" with `rows`, opens it and starts a test of `items` questions (all rows
  // when -1) without the draw: item k is record k, the lists hold their placeholder, OnTest
  // and the question count are `items`; the question window is shown on item 1.
  void QuestionStart(const std::vector<samples::QuestionRecord>& rows, int items = -1);
  // References and the book jump: QuestionStart on the test `base` (`base`.ini with `def`,
  // `base`.dbf with `rows`), so that the book is `base` with the format's extension.
  void RefsStart(const std::string& base, const TestDefinition& def,
                 const std::vector<samples::QuestionRecord>& rows);

  // Exhibits: writes the test "AB12345" (exhibit folder EX12345) with one record for each
  // exhibit name (ANSI) in `names`, in order, and opens it as OpenTest does.
  void ExhibitOpenTest(const std::vector<std::string>& names);
  // The first record of the open question table whose exhibit is `name`; 0 when none is.
  int32_t ExhibitRecordNamed(const std::string& name);
  // Moves the question table to `record` and shows the exhibit window (again, when it is
  // visible); true once its activation has run.
  bool ExhibitShow(int32_t record);
  // The item review's test: `rows` (and a filler record after them) as the question table, a
  // test of `count` questions started from the objective window, and every item stored as not
  // marked, incomplete and unanswered.
  void ReviewStartTest(const std::vector<samples::QuestionRecord>& rows, int count);
  // Stores item `item` as the question window leaves it: "M" or "o", "I" or "o", the letters
  // padded with blanks to five characters, the display line of its question and its objective.
  void ReviewStoreItem(int item, bool marked, bool incomplete, const std::string& letters);
  // The record number of item `item` of the running test.
  int ReviewRecordOf(int item) const;
  // Grading: OpenTest with the test definition `base`.ini and the question table `base`.dbf of
  // `rows` and, since the walk of the draw ends before the table's last record, one row more
  // of an objective no test names.
  void GradingOpenTest(const std::string& base, const TestDefinition& def,
                       const std::vector<samples::QuestionRecord>& rows);
  // From the start window: the objective window's Start Test with every objective and a test of
  // `questions` questions.
  void GradingStartTest(int questions);
  // Stores questions 1 ... `reached` as the question window does when the user leaves each:
  // the objective of its record, the letters `answer` gives padded with blanks to five, "o" as
  // mark and the incomplete flag. `answer` gets the question's objective and correct letters.
  using GradingAnswer =
      std::function<std::string(const std::string& objective, const std::string& correct)>;
  void GradingStoreAnswers(int reached, const GradingAnswer& answer);

  // QuestionStart's part after the start window has opened the table.
  void RefsBeginItems(const std::vector<samples::QuestionRecord>& rows, int items);

  TempDir dir_;
  std::string folder_;
  std::string saved_cwd_;
  std::unique_ptr<ProfileEnv> profile_;
  std::unique_ptr<platform::gui::TestServices> services_;
  std::unique_ptr<app::TAppContext> context_;
  // The question rows of ReviewStartTest.
  std::vector<samples::QuestionRecord> review_rows_;
};

}  // namespace testing_support
