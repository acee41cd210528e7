// The question window: it shows one item of the test at a time from the question table, which
// its table component WenDbf1 holds open.
#pragma once

#include <QPushButton>
#include <QWidget>
#include <memory>

#include "app/window_support.h"
#include "components/core/wen_dbf.h"
#include "components/gui/wen_edit.h"
#include "platform/gui/activation.h"

namespace app {

class TQuestions : public QWidget, public platform::gui::FormActivation {
 public:
  TQuestions();
  ~TQuestions() override;
  virtual void FormCreate() {}

  // The question table.
  std::unique_ptr<components::TWenDbf> WenDbf1;
  // Shows the item's references; visible when the test shows chapters or links.
  QPushButton* ShowRefsBtn;
  // The record's objective (hidden), bound to the field objective of WenDbf1.
  components::TWenEdit* Objective;
  // The status line.
  TStatusBar* StatusBar1;
};

}  // namespace app
