// TWenCustomMaskEdit: the single-line edit under the data-bound edit. With an edit mask it
// keeps the mask's literals in place, formats and checks input, and validates the value when
// the focus leaves or Enter is pressed; without one it is a plain edit whose MaxLength limits
// what the user types. It can carry a caption label beside it.
//
// The mask logic is TWenMask's (wen_mask.h). This widget mirrors the model's text and
// selection and routes every way the user can change the text through it: typing, Delete and
// Backspace, paste (keys, context menu, middle button), cut, undo, drops and input methods.
// Qt's own input mask is not used: its language is a different one. Texts written by code
// (SetText, or QLineEdit::setText) are formatted through the mask and never cut to MaxLength.
// The clipboard and beeps go through the services of platform/gui.
#pragma once

#include <QLineEdit>
#include <QString>
#include <string>

#include "components/core/wen_mask.h"
#include "components/gui/caption_label.h"

class QLabel;

namespace components {

class TWenCustomMaskEdit : public QLineEdit, private TWenMaskHost {
 public:
  explicit TWenCustomMaskEdit(QWidget* parent = nullptr);
  ~TWenCustomMaskEdit() override;

  QString EditMask() const;
  void SetEditMask(const QString& mask);
  TWenMaskStyle EditMaskStyle() const { return mask_.EditMaskStyle(); }
  // A different style clears EditMask.
  void SetEditMaskStyle(TWenMaskStyle style);
  QString EditMaskUserSet() const;
  void SetEditMaskUserSet(const QString& chars);
  // Without a mask: the most characters the user may enter (0: no limit). With a mask: the
  // mask length (a dBASE function without template takes its length from here).
  int MaxLength() const { return mask_.MaxLength(); }
  void SetMaxLength(int length);

  QString Caption() const { return caption_.Caption(); }
  void SetCaption(const QString& caption) { caption_.SetCaption(caption); }
  TWenCaptionPosType CaptionPos() const { return caption_.Pos(); }
  void SetCaptionPos(TWenCaptionPosType pos) { caption_.SetPos(pos); }
  QLabel* CaptionLabel() const { return caption_.Label(); }
  // Sets the object name; the caption label follows as name + "Caption".
  void SetName(const QString& name) { setObjectName(name); }

  // The value without mask formatting.
  QString GetText() const;
  // Writes the value: formatted through the mask, it becomes the old value Escape restores.
  void SetText(const QString& value);
  // The text as shown, literals and blanks included, and its raw write.
  QString EditText() const { return text(); }
  void SetEditText(const QString& text);

  // Validates a masked, modified text. On failure the caret goes to the first failing
  // position, the platform beeps, the message "Invalid input value. Use Escape key to abandon
  // changes" is shown and, when the control does not have the focus, a queued call takes it
  // back (the next entry then keeps the old value). Returns false on failure.
  bool ValidateEdit();

  bool IsMasked() const { return mask_.IsMasked(); }
  bool Modified() const { return IsMasked() ? mask_.Modified() : isModified(); }
  void SetModified(bool modified);
  // The data-bound mark, set by the data-bound edit.
  void SetDataBound() { mask_.SetDataBound(); }
  const TWenMask& Mask() const { return mask_; }

 protected:
  // Asked right before the user's input changes the text; false leaves the text as it is,
  // without a beep. True here; the data-bound edit asks its data link.
  bool EditCanModify() override { return true; }
  // Escape with a modified text: restores the old value.
  virtual void Reset();
  // After every change of the text, by the user or by code.
  virtual void Change() {}
  // Pastes the primary selection at `pos` (the middle button), through the same checks as any
  // paste.
  virtual void PasteSelection(const QString& text, const QPoint& pos);

  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // TWenMaskHost
  bool ReadOnly() const override { return isReadOnly(); }
  bool Focused() const override { return hasFocus(); }
  void Beep() override;

  void OnTextChanged();
  void PlainKeyPress(QKeyEvent* event);
  // Shows the model's text and selection (masked) and reports a change of the text.
  void SyncToQt();
  void Sync(const std::string& before);
  void SyncSelectionFromQt();
  // After a change of the mask: the text of the new state.
  void AfterMaskChange(bool was_masked, const std::string& before);
  // Runs Qt's own handling of a key that must not change a masked text.
  void DefaultKey(QKeyEvent* event);

  void CopyText();
  void CutText();
  void PasteText(const QString& clip);
  void DeleteText();
  // User text into the plain edit, within MaxLength.
  void InsertPlain(QString text);
  void TakeFocusBack();

  TWenMask mask_{this};
  TCaptionLabel caption_{this};
  bool updating_ = false;  // the text is being set by this control
};

}  // namespace components
