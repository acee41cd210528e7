// The practice-exam build's confirmation window: the test's name, the disclaimer and the logos,
// and Start, which builds the exam and opens its first item. The window has no close handler:
// a close from its frame only hides it.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

#include "app/disclaimer_base.h"

namespace exam {

class TDisclaimer : public app::TDisclaimerBase {
 public:
  TDisclaimer();
  // Centres the window.
  void FormCreate() override;

  QLabel* Label2;        // the test's name
  QTextEdit* RichEdit1;  // the disclaimer
  QLabel* Logo1;
  QLabel* Logo2;
  QLabel* Logo3;
  QPushButton* NextBtn;  // "&Start"
  QPushButton* ExitBtn;  // "E&xit"
  QPushButton* Button1;  // "&Previous"

  // Start: the test length from the test definition (at most the table's records), the
  // controller's lists seeded, the test built, and the question window shown on item 1 in
  // place of this window and the start window; this window is released. A test without a
  // question ends the program with a box.
  virtual void NextBtnClick();
  // Ends the program.
  virtual void ExitBtnClick();
  // Back to the start window.
  virtual void Button1Click();

 protected:
  // The logos of the test's folder, as the start window loads them.
  void FormShow() override;
  // The test's name from the start window.
  void FormActivate() override;
};

// "No questions are available for this exam. This application will now terminate."
extern const char kNoQuestionsMessage[];

// Shows kNoQuestionsMessage, marks the test as having none and asks the program to end.
void EndForNoQuestions();

}  // namespace exam
