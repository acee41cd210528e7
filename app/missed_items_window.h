// The missed-questions report: the text of every question answered wrongly, with its answers,
// the user's answer, the correct answer, the explanation and the references, which the results
// window writes into Memo1. It prints as one job; closing it goes back to the results window.
#pragma once

#include <QCloseEvent>
#include <QPushButton>
#include <QTextEdit>
#include <QWidget>

#include "platform/gui/activation.h"

namespace app {

class TMissedItemsWnd : public QWidget, public platform::gui::FormActivation {
 public:
  TMissedItemsWnd();
  // Centres the window; runs once, after every window constructed before it.
  virtual void FormCreate();

  // "Print": Memo1's text as one job titled "Missed Items Report".
  virtual void Button1Click();
  // "Close Window": closes this window; the results window stays.
  virtual void CloseWndBtnClick();
  // "Exit": ends the program.
  virtual void Button2Click();
  // Any close of the window: the results window is activated again.
  virtual void FormClose();

  QTextEdit* Memo1;  // the report, plain text
  QPushButton* Button1;
  QPushButton* CloseWndBtn;
  QPushButton* Button2;

 protected:
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace app
