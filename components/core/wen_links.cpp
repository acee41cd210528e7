#include "components/core/wen_links.h"

namespace components {

void TWenFieldDataLink::SetFieldName(const std::string& name) {
  if (field_name_ == name) return;
  field_name_ = name;
  UpdateField();
}

void TWenFieldDataLink::UpdateField() {
  SetField(nullptr);
  TWenDataSet* ds = DataSet();
  if (Active() && ds != nullptr && !field_name_.empty()) SetField(ds->FieldByName(field_name_));
}

void TWenFieldDataLink::SetField(TWenField* field) {
  if (field_ == field) return;
  field_ = field;
  EditingChanged();
  RecordChanged(nullptr);
}

bool TWenFieldDataLink::CanModify() const {
  return !ReadOnly() && field_ != nullptr && TWenDataLink::CanModify();
}

bool TWenFieldDataLink::Edit() {
  if (CanModify()) TWenDataLink::Edit();
  return field_editing_;
}

void TWenFieldDataLink::ClearEvents() {
  OnDataChange = nullptr;
  OnEditingChange = nullptr;
  OnUpdateData = nullptr;
  OnActiveChange = nullptr;
}

void TWenFieldDataLink::ActiveChanged() {
  UpdateField();
  Fire(OnActiveChange, this);
}

void TWenFieldDataLink::EditingChanged() {
  SetFieldEditing(TWenDataLink::Editing() && CanModify());
}

void TWenFieldDataLink::SetFieldEditing(bool editing) {
  if (field_editing_ == editing) return;
  field_editing_ = editing;
  modified_ = false;
  Fire(OnEditingChange, this);
}

void TWenFieldDataLink::FocusControl(TWenField*& field) {
  if (field == nullptr || field != field_ || control_ == nullptr) return;
  if (!control_->CanFocus()) return;
  field = nullptr;
  control_->SetFocus();
}

void TWenFieldDataLink::LayoutChanged() { UpdateField(); }

void TWenFieldDataLink::RecordChanged(TWenField* field) {
  if (field != nullptr && field != field_) return;
  Fire(OnDataChange, this);
  modified_ = false;
}

void TWenFieldDataLink::UpdateData() {
  if (modified_ && field_ != nullptr) Fire(OnUpdateData, this);
  modified_ = false;
}

}  // namespace components
