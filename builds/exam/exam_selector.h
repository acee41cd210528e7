// The practice-exam build's question selector: every objective of the test definition takes
// part, the even share comes from the test definition's Number of Questions, and the draw takes
// every drawn entry into the test (the top-up only from the first twelve objectives). Right
// after the draw the test length follows what the draw delivered; a draw without a question
// ends the program.
#pragma once

#include "app/question_selector.h"

namespace exam {

class TQSelector : public app::TQSelector {
 public:
  // The study's walk with every objective taking part, then the share of Number of Questions
  // (VexaEdit1) over the active objectives, halves to the even neighbour (0 with none).
  void LoadQuestions() override;
  // The draw into Master2; then the test length N := min(OnTest, entries of Master2), which
  // OnTest, the question count and the points per question follow. N = 0 ends the program.
  void PickQuestions() override;

  // The pools the top-up takes from: objectives 1 to 12.
  static constexpr int kTopUpObjectives = 12;

 protected:
  bool ObjectiveSelected(int) override { return true; }
};

}  // namespace exam
