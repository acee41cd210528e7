// The objective selection window: the test's objectives with check marks, the number of
// questions and the time limit, and the start of the test. Every activation restores the
// objectives, the selection (all, or the objectives the program's arguments name) and the two
// entries from the test definition.
#pragma once

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <functional>

#include "app/disclaimer_base.h"
#include "app/window_support.h"
#include "components/gui/rs_list_box.h"
#include "components/gui/vexa_controls.h"

class QMouseEvent;

namespace app {

// An edit with a click event, raised (guarded) once a left click has placed the caret.
class TClickEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  std::function<void()> OnClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

class TDisclaimer : public TDisclaimerBase {
 public:
  TDisclaimer();
  // Centres the window and binds the INI controls to the start window's INI source.
  void FormCreate() override;

  QLabel* Image1;
  QFrame* Panel1;
  QFrame* Shape1;
  QLabel* Image2;
  QLabel* Logo1;  // hidden
  QLabel* Logo2;  // hidden
  QLabel* Logo3;  // hidden
  QGroupBox* GroupBox1;
  components::TrsListBox* rsListBox1;  // line k - 1 is objective k
  QPushButton* SelectAllBtn;
  QPushButton* SelectNoneBtn;
  QGroupBox* GroupBox2;
  QLabel* Label1;  // "Number of Questions:"
  QLabel* Label3;  // "Time Limit (minutes):"
  TClickEdit* NumberOfQuestions;
  TClickEdit* TotalTime;
  QGroupBox* GroupBox3;
  QTextEdit* RichEdit1;
  QPushButton* NextBtn;
  TStatusBar* StatusBar1;
  // Hidden parts.
  components::TVexaListBox* VexaListBox1;
  components::TVexaEdit* VexaEdit1;  // Number of Questions
  components::TVexaEdit* VexaEdit2;  // Time Limit
  QLabel* Label2;                    // the test's name

  virtual void SelectAllBtnClick();
  virtual void SelectNoneBtnClick();
  virtual void rsListBox1Click();
  virtual void NumberOfQuestionsClick();
  virtual void TotalTimeClick();
  // Starts the test: checks the selection and the entries, seeds the controller's lists, has
  // the controller build the test and moves the question window to the first item.
  virtual void NextBtnClick();
  // Closing the window shows the start window again.
  virtual void FormClose();

 protected:
  void FormActivate() override;
  // The two entries from the test definition (activation step 3).
  virtual void ReadOptions();
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace app
