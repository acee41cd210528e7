// TWenFieldDataLink: the data link a data-bound control owns to show and edit one field of the
// current record. It finds the field by name in the data source's dataset, and turns the data
// events into four callbacks of the control: the record (or the bound field) changed, editing
// started or ended, the record is about to be written, the link became active or inactive.
//
// The link knows its control only through TWenLinkControl, so that it stays free of any
// toolkit; the control is asked for the focus when the dataset wants its field focused.
#pragma once

#include <functional>
#include <string>

#include "components/core/wen_dataset.h"
#include "components/core/wen_field.h"

namespace components {

// What a field link asks of its control.
class TWenLinkControl {
 public:
  virtual ~TWenLinkControl() = default;
  // Whether the control can take the focus now (shown and enabled).
  virtual bool CanFocus() const = 0;
  // Gives the control the focus.
  virtual void SetFocus() = 0;
};

class TWenFieldDataLink;
using TWenFieldLinkEvent = std::function<void(TWenFieldDataLink* sender)>;

class TWenFieldDataLink : public TWenDataLink {
 public:
  // `control` may be null: then the link never takes the focus.
  explicit TWenFieldDataLink(TWenLinkControl* control = nullptr) : control_(control) {}

  TWenLinkControl* Control() const { return control_; }
  void SetControl(TWenLinkControl* control) { control_ = control; }

  // The bound field; nullptr while the link is inactive, its field name is empty, or the
  // name was not found.
  TWenField* Field() const { return field_; }
  const std::string& FieldName() const { return field_name_; }
  // A different name rebinds (UpdateField); a name the dataset lacks raises 57348.
  void SetFieldName(const std::string& name);
  // Rebinds: Field := nullptr, then, when the link is active and the field name is not
  // empty, the dataset's FieldByName (raises 57348 when the dataset lacks the field). Each
  // change of Field runs EditingChanged and RecordChanged(nullptr).
  void UpdateField();

  // The control may change the field: not read-only, a field bound, and the dataset can be
  // modified (a table opened read-only never can).
  bool CanModify() const;
  // The dataset is in edit or insert mode and the control may change the field. Hides the
  // data link's own Editing, which tells only the dataset's mode.
  bool Editing() const { return field_editing_; }
  // Asks the dataset into edit mode when the control may change the field (never raising
  // for a read-only dataset); returns Editing.
  bool Edit();
  // Marks the control's value as changed, so that UpdateData stores it.
  void Modified() { modified_ = true; }
  bool IsModified() const { return modified_; }
  // Redisplays the stored value (RecordChanged(nullptr)), dropping the control's change.
  void Reset() { RecordChanged(nullptr); }

  TWenFieldLinkEvent OnDataChange;     // show the field's value
  TWenFieldLinkEvent OnEditingChange;  // Editing changed
  TWenFieldLinkEvent OnUpdateData;     // store the control's value into the field
  TWenFieldLinkEvent OnActiveChange;   // the link became active or inactive
  // Drops all four callbacks (a control that is being destroyed).
  void ClearEvents();

 protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  void FocusControl(TWenField*& field) override;
  void LayoutChanged() override;
  void RecordChanged(TWenField* field) override;
  void UpdateData() override;

 private:
  void SetField(TWenField* field);
  void SetFieldEditing(bool editing);
  static void Fire(const TWenFieldLinkEvent& event, TWenFieldDataLink* sender) {
    if (event) event(sender);
  }

  TWenField* field_ = nullptr;
  std::string field_name_;
  TWenLinkControl* control_ = nullptr;
  bool field_editing_ = false;
  bool modified_ = false;
};

}  // namespace components
