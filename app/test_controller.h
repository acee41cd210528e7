// The hidden test controller: the running test's per-question lists, its length, the size of
// the question table, the points per question and the objective table, the build of the test
// from the random draw, and its grading. The window is never shown.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>

#include "app/test_list.h"
#include "components/core/vexa_source.h"
#include "components/gui/vexa_controls.h"
#include "components/gui/wen_check_box.h"
#include "platform/gui/activation.h"

namespace app {

class TControlForm : public QWidget, public platform::gui::FormActivation {
 public:
  static constexpr int kObjectives = 30;

  TControlForm();
  // Binds the hidden check boxes to the question window's table.
  virtual void FormCreate();

  // Builds the test: the "Please Wait" dialog and the hourglass during the draw, then the
  // record number and the correct answers of every drawn question, and the question window
  // shown. False when the draw gave no question: the dialog is hidden, the cursor is back, the
  // selector is kept for another attempt and no question window is shown. False also when the
  // draw ended the program (DrawEndedProgram): then nothing after the draw runs.
  virtual bool BuildTest();

  // The one-line summary of a question for the item review: its first line (at most 64
  // characters), with "..." when the question goes on, blanks and control characters trimmed
  // at both ends. ANSI text.
  static std::string DisplayLine(const std::string& question);

  // Grades the test: the objective numbers, the objective table and the analysis lines, the
  // score on the scale of 0 to 1000 and the grade, all on the results window, which is then
  // shown in place of the question and item review windows. The countdown is stopped first and
  // the test no longer counts as running. Runs once per test; the test length (OnTest) is at
  // least 1.
  virtual void GradeTest();

  // Empties the per-question lists the user's work fills (userAnswers, QuestionList, marked,
  // incompletes, Objective, ObjectiveNo) down to their placeholder "0".
  void ResetAnswerLists();
  // PointsPerQuestion for a test of `length` questions: 1000 / length as the 6-byte real holds
  // it; empty for a length of 0, which has none.
  void SetPointsPerQuestion(int32_t length);

  // The percentage of the questions of objective k (1 ... kObjectives) answered correctly,
  // rounded with halves to even; 0 for an objective without questions.
  int32_t ObjectivePercent(int k) const;
  // The name of objective k (1 ... kObjectives), entry k - 1 of AllObjectives (ANSI); empty
  // when the list is shorter.
  std::string ObjectiveName(int k) const;
  // The analysis line of objective k with `name` and `percent`: the number (" 3. ", "10. "),
  // the name, full stops up to a width of 84 characters, the percentage and "% Correct".
  static std::string AnalysisLine(int k, const std::string& name, int32_t percent);

  // The per-question lists; entry 0 of each is the placeholder "0".
  TTestList RecordNo;        // record numbers
  TTestList correctAnswers;  // the letters of the correct answers ("AC"), or empty
  TTestList userAnswers;     // the user's letters padded with blanks to five characters
  TTestList marked;          // "M" or "o"
  TTestList incompletes;     // "I" or "o"
  TTestList Objective;       // objective texts
  TTestList ObjectiveNo;     // objective numbers
  TTestList QuestionList;    // display lines

  components::TVexaSource VexaSource1;      // the test definition
  components::TVexaListBox* AllObjectives;  // the test's objective names (hidden)
  components::TVexaEdit* OnTest;            // the test length n (hidden)
  // The number of records in the question table.
  QLineEdit* TotalQuestions;
  // 1000 / n as the 6-byte real holds it, in general decimal text.
  QLineEdit* PointsPerQuestion;
  // checka ... checke of the question table (hidden).
  components::TWenCheckBox* WenCheckBox1;
  components::TWenCheckBox* WenCheckBox2;
  components::TWenCheckBox* WenCheckBox3;
  components::TWenCheckBox* WenCheckBox4;
  components::TWenCheckBox* WenCheckBox5;

  // The objective table: slot k - 1 belongs to objective k (entry k - 1 of AllObjectives).
  std::array<int32_t, kObjectives> ObjectiveTotal{};
  std::array<int32_t, kObjectives> ObjectiveCorrect{};

 protected:
  // The number of questions whose correct answers the build records.
  virtual int32_t BuildCount();
  // True when the draw has asked the program to end: the build then stops at once, leaving
  // the "Please Wait" dialog and the wait cursor up to the end.
  virtual bool DrawEndedProgram() const { return false; }
  // The correct answer letters of the record the question table stands on.
  std::string CorrectAnswersOfRecord() const;
};

}  // namespace app
