// The drill build's question window: the study build's window used as a card drill. A card
// shows its question with a free-text answer pad below it in place of the answer rows; Show
// Answers fills the pad with the texts of the correct answers. There is no marking, no item
// review and no grading: Next on the last card ends the drill with a message, and the
// countdown only tells when the time is up. The card flag Drumel marks the records that belong
// to the drill set.
#pragma once

#include <QAction>
#include <QString>

#include "app/question_window.h"
#include "components/gui/wen_check_box.h"
#include "components/gui/wen_text.h"

namespace drill {

class TQuestions : public app::TQuestions {
 public:
  TQuestions();

  // Lays out the card after every record move, once the window has been shown: the pad on the
  // standard background, cleared and focused, Previous off on the first card.
  void WenDbf1DataChange(components::TWenDataSource* sender, components::TWenField* field) override;
  // Next stores the card and moves on; on the last card, once every card was stored, it ends
  // the drill with a message and switches itself off.
  void NewNextBtnClick() override;
  // Previous switches Next on again and moves back.
  void newPrevBtnClick() override;
  // The countdown's tick: the minutes left in the status line and the item review's time label;
  // when the time is up, one message, and the drill goes on without a countdown.
  void Timer1Timer() override;
  // The texts of the correct answers in the pad, one line each, on pale yellow, and the
  // explanation.
  void ShowAnswersBtnClick() override;
  // Edit, Copy: the pad's or the question's selection onto the clipboard.
  void Copy1Click() override;
  // Edit, Paste: the clipboard's text into the pad when it has the focus (the question, which
  // is read-only, takes nothing).
  void Paste1Click();

  // "Time remaining: " and the minutes left, without the select note.
  QString StatusText() const override;
  QWidget* ChapterRefControl() const override { return ChapterRef; }

  QAction* Paste1;  // Ctrl+V
  // The answer pad: editable plain text inside Panel3, the only visible answer area.
  app::TRichEdit* RichEdit8;
  // The record's chapter: a word-wrapped label in ReferenceBox in place of the study's edit.
  components::TWenText* ChapterRef;
  // The card flag (hidden), bound to the field Drumel of the window's table: checked for a
  // record of the drill set.
  components::TWenCheckBox* Drumel;

 protected:
  void ShowItem() override;
  // The pad's own paste keys run Paste1Click, as its copy keys run Copy1Click.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The controls' steps of a record move.
  void ShowCard();
};

}  // namespace drill
