// The practice-exam build's start window: a welcome, the test's name and a summary of the exam
// (its length, time limit and passing score from the test definition), and Next to the
// confirmation. The keys are numbered differently from the study's (Write Scores, Show Chapter
// and Show Links in VexaEdit4 to VexaEdit6), there is no book and no references button.
#pragma once

#include <QLabel>
#include <QString>
#include <QTextEdit>
#include <vector>

#include "app/start_window.h"

namespace exam {

class TStartUp : public app::TStartUp {
 public:
  TStartUp();

  QLabel* Label2;    // "Welcome!"
  QTextEdit* Memo2;  // the summary of the exam

  // Shows the confirmation; the start window stays shown.
  void NextBtnClick() override;

  // The summary of an exam of `questions` questions, `minutes` minutes and a passing score of
  // `passing`, the three texts as the test definition writes them.
  static QString SummaryText(const QString& questions, const QString& minutes,
                             const QString& passing);

 protected:
  // The study's reading, then the summary into Memo2.
  bool ReadTestDefinition() override;
  // The test name only: it is shown by VexaLabel1 itself.
  void ReadTestName() override;
  // VexaEdit1 to VexaEdit6 in order.
  void RereadKeys() override;
  // Number of Questions, Time Limit and Passing Score.
  std::vector<components::TVexaEdit*> RequiredNumberEdits() override;
  // Write Scores, Show Chapter and Show Links from VexaEdit4, VexaEdit5 and VexaEdit6.
  void StoreOptions() override;
  // The exam sheet has no references button.
  void ShowReferencesButton() override {}
  // The exam sheet's time label: "Time Remaining: <minutes> minutes".
  void BeforeTimeLabel() override;
};

}  // namespace exam
