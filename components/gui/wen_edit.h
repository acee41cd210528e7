// TWenEdit: the data-bound masked edit. It shows one field of the current record of its data
// source, asks the data link into edit mode as soon as the user starts to change the text,
// and writes the unmasked text back into the field when the record is posted or the focus
// leaves. MaxLength follows the field's display width, and a date field gets a date mask from
// the engine's date mode and century switch. A right- or centre-aligned edit shows its text
// so while it does not have the focus, and left-aligned while the user edits it.
//
// The edit is read-only whenever the link is not editing: a table opened read-only is never
// changed through it (typing, paste, cut and Delete change nothing, and nothing beeps).
// When its data source is destroyed, the link leaves it: DataSource() becomes nullptr and the
// edit shows no field.
#pragma once

#include <string>

#include "components/gui/wen_bound_control.h"
#include "components/gui/wen_mask_edit.h"

namespace components {

// The alignment of a control's text.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TWenEdit : public TWenCustomMaskEdit, public TWenBoundControl {
 public:
  explicit TWenEdit(QWidget* parent = nullptr);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  // Whether the edit has been entered (and not left since).
  bool IsFocused() const { return focused_; }

  // The date mask for a date field under the engine's date mode and century switch (dBASE
  // style): "@D" + year + "/99/99;1;_" in date mode 1, "@D99/99/" + year + ";1;_" in the
  // others, the year "9999" with the century on and "99" without.
  static std::string DateMask(int date_mode, bool century);

 protected:
  // Asks the data link into edit mode: the text changes only when the link is editing.
  bool EditCanModify() override;
  void Change() override;
  // Shows the field's text: MaxLength from the field's display width, the date mask for a
  // date field. Without a field: MaxLength 0, the text empty.
  virtual void DataChange();
  // Read-only exactly while the link is not editing.
  virtual void EditingChange();
  // Validates the masked text and stores the unmasked text into the field. An invalid text
  // is reported by the validation and not stored; leaving the edit then keeps it as typed.
  virtual void UpdateData();

  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // The middle button's paste asks for edit mode first, as every paste does.
  void PasteSelection(const QString& text, const QPoint& pos) override;
  void dropEvent(QDropEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  void SetFocused(bool focused);
  // The alignment shown now: left while focused or masked, else the edit's own.
  void ApplyShownAlignment();

  TAlignment alignment_ = taLeftJustify;
  bool focused_ = false;
  bool store_refused_ = false;  // UpdateData found the masked text invalid
};

}  // namespace components
