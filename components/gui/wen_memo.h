// TWenMemo: the data-bound memo. It shows the memo lines of one field of the current record
// (a memo field's text, loaded from the memo file), "(Memo)" while the memo is not loaded yet
// (AutoDisplay off: a double-click or Enter loads it) and "(Blob)" for a blob it cannot show.
// Once loaded, the user's first change asks the data link into edit mode, and the lines are
// stored back into the field when the record is posted or the focus leaves.
//
// The text as the application reads it (Text()) is the lines joined by CR LF, with no line end
// after the last one; both are ANSI bytes. The memo is read-only unless the link is editing
// and the memo is loaded: a table opened read-only is never changed through it. Clipboard and
// beeps go through the services of platform/gui. When its data source is destroyed, the link
// leaves it: DataSource() becomes nullptr and the memo shows no field.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <string>
#include <vector>

#include "components/gui/caption_label.h"
#include "components/gui/wen_bound_control.h"

class QLabel;

namespace components {

class TWenMemo : public QPlainTextEdit, public TWenBoundControl {
 public:
  explicit TWenMemo(QWidget* parent = nullptr);

  bool AutoDisplay() const { return auto_display_; }
  // Turning it on loads the memo.
  void SetAutoDisplay(bool auto_display);
  bool WritableBlobs() const { return writable_blobs_; }
  void SetWritableBlobs(bool writable_blobs) { writable_blobs_ = writable_blobs; }
  bool MemoLoaded() const { return memo_loaded_; }
  // A field is bound and it is not a blob, or blobs are writable.
  bool CanDisplay() const;
  // Loads the field's memo lines when it is not loaded yet and can be shown.
  void LoadMemo();

  // The lines shown (ANSI); a last empty line does not count.
  std::vector<std::string> Lines() const;
  // The lines joined by CR LF, no line end after the last (ANSI).
  std::string Text() const;

  QString Caption() const { return caption_.Caption(); }
  void SetCaption(const QString& caption) { caption_.SetCaption(caption); }
  TWenCaptionPosType CaptionPos() const { return caption_.Pos(); }
  void SetCaptionPos(TWenCaptionPosType pos) { caption_.SetPos(pos); }
  QLabel* CaptionLabel() const { return caption_.Label(); }
  // Sets the object name; the caption label follows as name + "Caption".
  void SetName(const QString& name) { setObjectName(name); }

 protected:
  void DataChange();
  void EditingChange();
  void UpdateData();

  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // Shows `text` without marking the link modified.
  void ShowText(const QString& text);
  void OnTextChanged();
  void CopyText();
  void CutText();
  void PasteText(const QString& text);
  void DeleteText();

  bool auto_display_ = true;
  bool memo_loaded_ = false;
  bool writable_blobs_ = false;
  bool showing_ = false;  // the text is being set by this control
  TCaptionLabel caption_{this};
};

}  // namespace components
