// The hidden question selector: it files the record numbers of the question table under the
// test's objectives (LoadQuestions) and draws the test (PickQuestions): an even share per
// selected objective first, then a top-up that takes one question from each active objective
// in turn up to the requested length, then a random order. The controller's build runs both
// once per run and takes the test from Master2. The window is never shown.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "components/core/vexa_source.h"
#include "components/gui/vexa_controls.h"
#include "platform/gui/activation.h"

namespace app {

// An ordered list of record numbers.
using TRecordList = std::vector<int32_t>;

class TQSelector : public QWidget, public platform::gui::FormActivation {
 public:
  static constexpr int kObjectives = 30;

  TQSelector();
  // Binds the objective list to the start window's INI source.
  virtual void FormCreate();

  // Fills the pools and the counts from the question table.
  virtual void LoadQuestions();
  // Draws the test into Master2, sets Ctx().Test.QuestionCount and the controller's OnTest.
  virtual void PickQuestions();

  components::TVexaSource VexaSource1;
  components::TVexaListBox* VexaListBox1;  // the objective list (start window's source)
  components::TVexaEdit* VexaEdit1;        // Number of Questions: read, not used

  // Objective k (1 to 30) is slot k - 1 of each array and list below.
  std::array<std::string, kObjectives> ObjectiveNames;  // ANSI; kept beyond the list's length
  std::array<int32_t, kObjectives> AvailableCount{};
  int32_t TotalAvailable = 0;
  int32_t ActiveObjectives = 0;
  int32_t QuestionsPerObjective = 0;

  // ListBox1 ... ListBox30: the pools, in table order; draws remove entries.
  std::array<TRecordList, kObjectives> Pools;
  TRecordList MasterList;  // drawn record numbers in draw order
  TRecordList Master2;     // the test: record numbers in question order

 protected:
  // The walk over the question table: from the first record, RecCount - 1 records (the last
  // record is never examined), each that takes part filed under every selected objective whose
  // name its objective text equals.
  virtual void FilePoolsFromTable();
  // Whether objective k (1 to 30) takes part: its line of the objective window is checked.
  virtual bool ObjectiveSelected(int k);
  // The requested number of questions: the objective window's entry.
  virtual int32_t RequestedCount();
  // The even share of `count` questions over `active` objectives, halves to the even
  // neighbour; 0 when no objective is active.
  virtual int32_t Share(int32_t count, int32_t active);
  // Whether the record the walk stands on may be filed at all (every record can).
  virtual bool RecordTakesPart() { return true; }
  // Runs before the draw reads anything; false ends the draw there (nothing is drawn).
  virtual bool DrawPossible() { return true; }
  // The shortfall reports when fewer questions are available than requested: before the first
  // pass (the question window's status line) and after it (a message box).
  virtual void ReportShortfallBeforeDraw(int32_t available) { ShowShortfallStatus(available); }
  virtual void ReportShortfallAfterFirstPass(int32_t available) { ShowShortfallBox(available); }
  // The shortfall text in the question window's status line, and in a message box.
  void ShowShortfallStatus(int32_t available);
  void ShowShortfallBox(int32_t available);

  // The steps of the draw: the even share from each objective (a draw never takes a pool's
  // first entry), the top-up from each active objective in turn up to QuestionCount, and the
  // random order into Master2.
  virtual void FirstPass();
  virtual void TopUp();
  virtual void FinalOrder();

  // "A total of <n> questions are available for the objectives that you have selected."
  static std::string ShortfallText(int32_t available);
  // A draw that takes entry Random(size - 1) of `list` (a negative result counts as 0) and
  // returns it; `list` must not be empty.
  static int32_t TakeRandomEntry(TRecordList& list);

 private:
  // A first-pass draw from pool `p`: Random(size - 1); a result above 0 takes that entry.
  void FirstPassDraw(TRecordList& pool);
};

}  // namespace app
