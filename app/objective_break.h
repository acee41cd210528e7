// A hidden window holding thirty empty list boxes, ListBox1 to ListBox30, kept for the
// objectives' breakdown; no code of the program fills them.
#pragma once

#include <QListWidget>
#include <QWidget>
#include <array>

#include "platform/gui/activation.h"

namespace app {

class TObjectiveBreak : public QWidget, public platform::gui::FormActivation {
 public:
  TObjectiveBreak();
  virtual void FormCreate() {}

  std::array<QListWidget*, 30> ListBoxes;  // ListBox1 .. ListBox30
};

}  // namespace app
