#include "components/gui/wen_check_box.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "components/core/wen_common.h"
#include "components/core/wen_dataset.h"
#include "components/gui/control_input.h"
#include "platform/gui/guarded.h"

namespace components {

TWenCheckBox::TWenCheckBox(QWidget* parent)
    : QCheckBox(parent),
      TWenBoundControl(this),
      value_checked_(TrueText),
      value_unchecked_(FalseText) {
  setTristate(false);
  setCheckState(Qt::Unchecked);
  data_link_.OnDataChange = [this](TWenFieldDataLink*) { DataChange(); };
  data_link_.OnUpdateData = [this](TWenFieldDataLink*) { UpdateData(); };
}

void TWenCheckBox::SetValueChecked(const std::string& value) {
  value_checked_ = value;
  DataChange();
}

void TWenCheckBox::SetValueUnChecked(const std::string& value) {
  value_unchecked_ = value;
  DataChange();
}

void TWenCheckBox::SetAllowGrayed(bool allow_grayed) {
  allow_grayed_ = allow_grayed;
  if (checkState() != Qt::PartiallyChecked) setTristate(allow_grayed_);
}

void TWenCheckBox::ShowState(Qt::CheckState state) {
  // Qt shows the grey state only on a tristate box; the toggle rules are Toggle's own.
  setCheckState(state);
  if (state != Qt::PartiallyChecked) setTristate(allow_grayed_);
}

// ---- Data link callbacks ----

void TWenCheckBox::DataChange() {
  TWenField* field = data_link_.Field();
  if (field == nullptr) {
    ShowState(Qt::PartiallyChecked);
  } else if (field->FieldType == 'L') {
    ShowState(field->GetAsBoolean() ? Qt::Checked : Qt::Unchecked);
  } else {
    ShowState(LowerStr(field->GetText()) == LowerStr(value_checked_) ? Qt::Checked : Qt::Unchecked);
  }
}

void TWenCheckBox::UpdateData() {
  TWenField* field = data_link_.Field();
  if (field == nullptr || checkState() == Qt::PartiallyChecked) return;
  const bool checked = checkState() == Qt::Checked;
  if (field->FieldType == 'L') {
    field->SetAsBoolean(checked);
  } else {
    field->SetText(checked ? value_checked_ : value_unchecked_);
  }
}

// ---- Toggle, keys, focus ----

void TWenCheckBox::Toggle() {
  if (!data_link_.Edit()) return;
  switch (checkState()) {
    case Qt::Unchecked:
      ShowState(allow_grayed_ ? Qt::PartiallyChecked : Qt::Checked);
      break;
    case Qt::Checked:
      ShowState(Qt::Unchecked);
      break;
    case Qt::PartiallyChecked:
      ShowState(Qt::Checked);
      break;
  }
  data_link_.Modified();
}

void TWenCheckBox::nextCheckState() {
  platform::gui::RunGuarded([&] { Toggle(); });
}

void TWenCheckBox::keyPressEvent(QKeyEvent* event) {
  platform::gui::RunGuarded([&] {
    switch (event->key()) {
      case Qt::Key_Backspace:
      case Qt::Key_Space:
        data_link_.Edit();
        break;
      case Qt::Key_Escape:
        data_link_.Reset();
        event->accept();
        return;
      default:
        break;
    }
    QCheckBox::keyPressEvent(event);
  });
}

void TWenCheckBox::focusOutEvent(QFocusEvent* event) {
  QCheckBox::focusOutEvent(event);
  if (!IsPassingFocus(event)) StoreOnExit();
}

}  // namespace components
