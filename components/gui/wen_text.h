// TWenText: the data-bound label. It shows the display text of one field of the current
// record, always as plain text (never rich text or HTML, and "&" is no accelerator), and does
// not size itself to its text. When its data source is destroyed, the link leaves it:
// DataSource() becomes nullptr and the label shows no text.
#pragma once

#include <QLabel>
#include <string>

#include "components/gui/wen_bound_control.h"

namespace components {

class TWenText : public QLabel, public TWenBoundControl {
 public:
  explicit TWenText(QWidget* parent = nullptr);

  // The caption shown (ANSI).
  std::string Caption() const;

 protected:
  void DataChange();
};

}  // namespace components
