// TWenCheckBox: the data-bound check box. It shows a logical field (checked for True) or any
// other field whose text equals ValueChecked (ignoring case), and the grey state
// (Qt::PartiallyChecked) while it has no field. A click, Space or Backspace toggles it only
// when the data link goes into edit mode: a table opened read-only is never changed through
// it. The state is stored into the field when the record is posted or the focus leaves.
// When its data source is destroyed, the link leaves it: DataSource() becomes nullptr.
#pragma once

#include <QCheckBox>
#include <string>

#include "components/gui/wen_bound_control.h"

namespace components {

class TWenCheckBox : public QCheckBox, public TWenBoundControl {
 public:
  explicit TWenCheckBox(QWidget* parent = nullptr);

  // The texts stored for the two states in a field that is not logical (ANSI); "true" and
  // "false" (TrueText and FalseText) after creation. Setting one redisplays.
  const std::string& ValueChecked() const { return value_checked_; }
  void SetValueChecked(const std::string& value);
  const std::string& ValueUnChecked() const { return value_unchecked_; }
  void SetValueUnChecked(const std::string& value);

  // Whether a toggle passes through the grey state (unchecked, grey, checked).
  bool AllowGrayed() const { return allow_grayed_; }
  void SetAllowGrayed(bool allow_grayed);

  // The user's toggle: only when the link goes into edit mode; it then marks the link
  // modified. Unchecked goes to grey (AllowGrayed) or checked, checked to unchecked, grey
  // to checked.
  virtual void Toggle();

 protected:
  void DataChange();
  void UpdateData();

  void nextCheckState() override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // Shows a state (the grey one included, whatever AllowGrayed says).
  void ShowState(Qt::CheckState state);

  std::string value_checked_;
  std::string value_unchecked_;
  bool allow_grayed_ = false;
};

}  // namespace components
