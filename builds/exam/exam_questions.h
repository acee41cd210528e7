// The practice-exam build's question window: a bare exam sheet. It shows the question, the
// answer boxes, the mark box, the exhibit button, Next, Previous and Exit; the time left stands
// in a label at the top right and the record's select note in a label at the bottom. There is
// no menu, no status bar, no answer or reference display and no clipboard command: the study's
// controls for them stay, hidden. The countdown grades the test when it passes through 0.
#pragma once

#include <QEvent>
#include <QLabel>
#include <QObject>
#include <QPushButton>

#include "app/question_window.h"
#include "components/gui/wen_text.h"

namespace exam {

class TQuestions : public app::TQuestions {
 public:
  TQuestions();

  // Lays out the sheet after every record move, once the window has been shown: the texts,
  // the widths, the exhibit button by the record's exhibit; then the study's steps from the
  // focus on answer A on. The designed answer rows stay.
  void WenDbf1DataChange(components::TWenDataSource* sender, components::TWenField* field) override;
  // The countdown's tick: the minutes left in Label1 and the item review's time label; when
  // the label reads 0 minutes, the expiry message and the grading, then the timer stops. A
  // tick that comes while the message stands shows -1 minutes and does not grade again.
  void Timer1Timer() override;
  // Exit: ends the program.
  virtual void HelpBtnClick();
  // The question's resize request does nothing.
  void RichEdit6ResizeRequest() override {}
  // The sheet has no clipboard commands: the copy keys of its edits do nothing.
  void Copy1Click() override {}

  // The time left, at the top right; the start window writes its first text.
  QLabel* Label1;
  // The record's select note, always shown.
  components::TWenText* WenText1;
  QPushButton* HelpBtn;  // Exit

 protected:
  void ShowItem() override;
  // The sheet has no activation handler.
  void FormActivate() override {}

 private:
  // The sheet's steps of a record move before the study's shared ones.
  void ShowSheetRecord();
};

}  // namespace exam
