// The practice-exam build's results window: its score report's lines and its score-file keys.
#pragma once

#include "app/results_window.h"

namespace exam {

class TResults : public app::TResults {
 protected:
  // An empty line, "Examination Score Report for <test> for <date and time>", an empty line,
  // the score, the passing score, the grade, an empty line, "Objective Analysis:" and the
  // analysis lines.
  QStringList ReportLines() override;
  std::string ScoreKey() const override { return "OskavaneScore"; }
  std::string PassFailKey() const override { return "OskavanePassFail"; }
  std::string ObjectiveScoreKey() const override { return "OskavaneScore"; }
};

}  // namespace exam
