#include "components/gui/wen_mask_edit.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>

#include "components/core/wen_common.h"
#include "components/gui/control_input.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace components {

namespace {

using platform::gui::AnsiToQString;
using platform::gui::QStringToAnsi;
using platform::gui::Services;

// The ANSI byte of one character, -1 when ANSI cannot hold it.
int AnsiByte(char32_t cp) {
  const QString one = QString::fromUcs4(&cp, 1);
  const std::string ansi = QStringToAnsi(one);
  if (ansi.size() != 1 || (ansi[0] == '?' && cp != U'?')) return -1;
  return static_cast<unsigned char>(ansi[0]);
}

// Text for the mask, a character ANSI cannot hold turned into one no position accepts.
std::string AnsiForMask(const QString& text) {
  std::string out;
  for (char32_t cp : text.toUcs4()) {
    const int b = AnsiByte(cp);
    out += b < 0 ? '\x01' : static_cast<char>(b);
  }
  return out;
}

TMaskKey KeyOf(int key) {
  switch (key) {
    case Qt::Key_Left:
      return TMaskKey::Left;
    case Qt::Key_Right:
      return TMaskKey::Right;
    case Qt::Key_Up:
      return TMaskKey::Up;
    case Qt::Key_Down:
      return TMaskKey::Down;
    case Qt::Key_Home:
      return TMaskKey::Home;
    case Qt::Key_End:
      return TMaskKey::End;
    case Qt::Key_Delete:
      return TMaskKey::Delete;
    case Qt::Key_Backspace:
      return TMaskKey::Backspace;
    case Qt::Key_Space:
      return TMaskKey::Space;
    default:
      return TMaskKey::Other;
  }
}

// The keys with which Qt's own line edit changes its text.
bool IsEditingKey(QKeyEvent* event) {
  static const QKeySequence::StandardKey kEditing[] = {
      QKeySequence::Undo,
      QKeySequence::Redo,
      QKeySequence::DeleteEndOfWord,
      QKeySequence::DeleteStartOfWord,
      QKeySequence::DeleteEndOfLine,
      QKeySequence::DeleteCompleteLine,
      QKeySequence::Backspace,
      QKeySequence::Delete,
  };
  if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) return true;
  for (QKeySequence::StandardKey key : kEditing) {
    if (event->matches(key)) return true;
  }
  return false;
}

// A single-line edit takes a pasted text up to its first line break.
QString FirstLine(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) return text.left(i);
  }
  return text;
}

}  // namespace

TWenCustomMaskEdit::TWenCustomMaskEdit(QWidget* parent) : QLineEdit(parent) {
  setDragEnabled(false);
  connect(this, &QLineEdit::textChanged, this, [this] { OnTextChanged(); });
}

TWenCustomMaskEdit::~TWenCustomMaskEdit() = default;

// ---- Properties ----

QString TWenCustomMaskEdit::EditMask() const { return AnsiToQString(mask_.EditMask()); }

void TWenCustomMaskEdit::SetEditMask(const QString& mask) {
  const bool was_masked = IsMasked();
  const std::string before = mask_.EditText();
  mask_.SetEditMask(QStringToAnsi(mask));
  AfterMaskChange(was_masked, before);
}

void TWenCustomMaskEdit::SetEditMaskStyle(TWenMaskStyle style) {
  const bool was_masked = IsMasked();
  const std::string before = mask_.EditText();
  mask_.SetEditMaskStyle(style);
  AfterMaskChange(was_masked, before);
}

QString TWenCustomMaskEdit::EditMaskUserSet() const {
  return AnsiToQString(mask_.EditMaskUserSet());
}

void TWenCustomMaskEdit::SetEditMaskUserSet(const QString& chars) {
  const bool was_masked = IsMasked();
  const std::string before = mask_.EditText();
  mask_.SetEditMaskUserSet(QStringToAnsi(chars));
  AfterMaskChange(was_masked, before);
}

void TWenCustomMaskEdit::SetMaxLength(int length) {
  const bool was_masked = IsMasked();
  const std::string before = mask_.EditText();
  mask_.SetMaxLength(length);
  AfterMaskChange(was_masked, before);
}

void TWenCustomMaskEdit::AfterMaskChange(bool was_masked, const std::string& before) {
  if (IsMasked()) {
    Sync(before);
  } else if (was_masked) {
    // Back to a plain edit: the value as it stands.
    updating_ = true;
    setText(AnsiToQString(mask_.EditText()));
    updating_ = false;
    if (mask_.EditText() != before) Change();
  }
}

// ---- Text ----

QString TWenCustomMaskEdit::GetText() const {
  return IsMasked() ? AnsiToQString(mask_.GetText()) : text();
}

void TWenCustomMaskEdit::SetText(const QString& value) {
  if (!IsMasked()) {
    setText(value);
    return;
  }
  const std::string before = mask_.EditText();
  mask_.SetText(QStringToAnsi(value));
  Sync(before);
}

void TWenCustomMaskEdit::SetEditText(const QString& text) {
  if (!IsMasked()) {
    setText(text);
    return;
  }
  const std::string before = mask_.EditText();
  mask_.SetEditText(QStringToAnsi(text));
  Sync(before);
}

void TWenCustomMaskEdit::SetModified(bool modified) {
  mask_.SetModified(modified);
  setModified(modified);
}

void TWenCustomMaskEdit::OnTextChanged() {
  if (updating_) return;
  if (!IsMasked()) {
    mask_.SetPlainText(QStringToAnsi(text()));
    Change();
    return;
  }
  // Written from outside (QLineEdit::setText and the like): a text write through the mask.
  mask_.SetText(QStringToAnsi(text()));
  SyncToQt();
  Change();
}

void TWenCustomMaskEdit::SyncToQt() {
  updating_ = true;
  const QString shown = AnsiToQString(mask_.EditText());
  if (text() != shown) setText(shown);
  if (mask_.Anchor() == mask_.Caret()) {
    setCursorPosition(mask_.Caret());
  } else {
    setSelection(mask_.Anchor(), mask_.Caret() - mask_.Anchor());
  }
  setModified(mask_.Modified());
  updating_ = false;
}

void TWenCustomMaskEdit::Sync(const std::string& before) {
  SyncToQt();
  if (mask_.EditText() != before) Change();
}

void TWenCustomMaskEdit::SyncSelectionFromQt() {
  const int caret = cursorPosition();
  int anchor = caret;
  if (hasSelectedText()) {
    const int start = selectionStart();
    anchor = caret == start ? start + selectionLength() : start;
  }
  mask_.SetSelection(anchor, caret);
}

// ---- Keys ----

void TWenCustomMaskEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopyText();
    return;
  }
  if (!IsMasked()) {
    PlainKeyPress(event);
    return;
  }
  SyncSelectionFromQt();
  const std::string before = mask_.EditText();
  const Qt::KeyboardModifiers mods = event->modifiers();
  const bool shift = mods & Qt::ShiftModifier;
  const bool ctrl = mods & Qt::ControlModifier;
  if (!(mods & Qt::AltModifier) && mask_.KeyDown(KeyOf(event->key()), shift, ctrl)) {
    Sync(before);
    return;
  }
  if (IsPasteKey(event)) {
    PasteText(Services::Current().ClipboardText());
    return;
  }
  if (event->matches(QKeySequence::Cut)) {
    CutText();
    return;
  }
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Enter validates; a valid text lets the key on (the default button of a dialog).
      if (ValidateEdit()) QLineEdit::keyPressEvent(event);
      return;
    case Qt::Key_Escape:
      // Escape belongs to the edit only while there is a change to abandon.
      if (mask_.Modified()) {
        Reset();
      } else {
        event->ignore();
      }
      return;
    default:
      break;
  }
  if (IsPrintableText(event->text()) && !ctrl) {
    for (char32_t cp : event->text().toUcs4()) mask_.KeyPress(AnsiByte(cp));
    Sync(before);
    return;
  }
  DefaultKey(event);
  mask_.CheckCursor();
  Sync(before);
}

void TWenCustomMaskEdit::DefaultKey(QKeyEvent* event) {
  updating_ = true;
  QLineEdit::keyPressEvent(event);
  updating_ = false;
  if (text() != AnsiToQString(mask_.EditText())) {
    SyncToQt();  // a key of Qt's that edits: the model's text stands
  } else {
    SyncSelectionFromQt();
  }
}

void TWenCustomMaskEdit::PlainKeyPress(QKeyEvent* event) {
  if (isReadOnly()) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  if (IsPasteKey(event)) {
    PasteText(Services::Current().ClipboardText());
    return;
  }
  if (event->matches(QKeySequence::Cut)) {
    CutText();
    return;
  }
  const bool typing = IsPrintableText(event->text()) && !(event->modifiers() & Qt::ControlModifier);
  if (typing || IsEditingKey(event)) {
    if (!EditCanModify()) return;
    if (typing) {
      InsertPlain(event->text());
    } else {
      QLineEdit::keyPressEvent(event);
    }
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    QLineEdit::keyPressEvent(event);  // its handlers may set the text
    return;
  }
  // Any other key of Qt's that turns out to edit asks as well, after the fact.
  const QString before = text();
  updating_ = true;
  QLineEdit::keyPressEvent(event);
  updating_ = false;
  if (text() == before) return;
  const QString after = text();
  const int caret = cursorPosition();
  updating_ = true;
  setText(before);
  updating_ = false;
  if (!EditCanModify()) return;
  setText(after);
  setCursorPosition(caret);
  setModified(true);
}

void TWenCustomMaskEdit::InsertPlain(QString text) {
  const int limit = mask_.MaxLength();
  if (limit > 0) {
    const int room = limit - (static_cast<int>(this->text().size()) - selectionLength());
    if (room <= 0) return;
    text = text.left(room);
  }
  insert(text);
}

void TWenCustomMaskEdit::Reset() {
  const std::string before = mask_.EditText();
  if (mask_.Escape()) Sync(before);
}

void TWenCustomMaskEdit::inputMethodEvent(QInputMethodEvent* event) {
  if (IsMasked()) {
    // Composed text arrives as typed characters; no preedit text is shown.
    if (!event->commitString().isEmpty()) {
      SyncSelectionFromQt();
      const std::string before = mask_.EditText();
      for (char32_t cp : event->commitString().toUcs4()) mask_.KeyPress(AnsiByte(cp));
      Sync(before);
    }
    event->accept();
    return;
  }
  if (isReadOnly() || (event->commitString().isEmpty() && event->replacementLength() == 0)) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  if (!EditCanModify()) {
    event->accept();
    return;
  }
  const int limit = mask_.MaxLength();
  const int room = limit - (static_cast<int>(text().size()) - selectionLength());
  if (limit > 0 && event->commitString().size() > room) {
    QInputMethodEvent fitted(event->preeditString(), event->attributes());
    fitted.setCommitString(event->commitString().left(std::max(room, 0)), event->replacementStart(),
                           event->replacementLength());
    QLineEdit::inputMethodEvent(&fitted);
    return;
  }
  QLineEdit::inputMethodEvent(event);
}

// ---- Clipboard, drops, mouse ----

void TWenCustomMaskEdit::CopyText() {
  if (hasSelectedText()) Services::Current().SetClipboardText(selectedText());
}

void TWenCustomMaskEdit::CutText() {
  if (!hasSelectedText()) return;
  CopyText();
  DeleteText();
}

void TWenCustomMaskEdit::DeleteText() {
  if (!IsMasked()) {
    if (!isReadOnly() && hasSelectedText() && EditCanModify()) del();
    return;
  }
  SyncSelectionFromQt();
  const std::string before = mask_.EditText();
  mask_.DeleteSelection();
  Sync(before);
}

void TWenCustomMaskEdit::PasteText(const QString& clip) {
  if (isReadOnly()) return;
  if (!IsMasked()) {
    if (EditCanModify()) InsertPlain(FirstLine(clip));
    return;
  }
  SyncSelectionFromQt();
  const std::string before = mask_.EditText();
  mask_.Paste(AnsiForMask(clip));
  Sync(before);
}

void TWenCustomMaskEdit::dropEvent(QDropEvent* event) {
  if (isReadOnly() || !event->mimeData()->hasText()) {
    event->ignore();
    return;
  }
  const int pos = cursorPositionAt(event->position().toPoint());
  const QString dropped = event->mimeData()->text();
  if (IsMasked()) {
    mask_.SetSelection(pos, pos);
    const std::string before = mask_.EditText();
    mask_.Paste(AnsiForMask(dropped));
    Sync(before);
  } else {
    if (!EditCanModify()) {
      event->ignore();
      return;
    }
    setCursorPosition(pos);
    InsertPlain(FirstLine(dropped));
  }
  event->acceptProposedAction();
}

void TWenCustomMaskEdit::PasteSelection(const QString& text, const QPoint& pos) {
  if (isReadOnly()) return;
  setCursorPosition(cursorPositionAt(pos));
  PasteText(text);
}

void TWenCustomMaskEdit::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton) {
    // The X selection comes from the services, as the clipboard does; where the platform has
    // none, the middle button does what it does in any edit.
    if (const std::optional<QString> selection = Services::Current().SelectionText()) {
      PasteSelection(*selection, event->position().toPoint());
      event->accept();
      return;
    }
  }
  QLineEdit::mouseReleaseEvent(event);
  if (IsMasked()) {
    SyncSelectionFromQt();
    mask_.CheckCursor();
    SyncToQt();
  }
}

void TWenCustomMaskEdit::contextMenuEvent(QContextMenuEvent* event) {
  const bool writable = !isReadOnly();
  const bool selected = hasSelectedText();
  TEditMenuState state;
  state.Undo = writable && !IsMasked() && isUndoAvailable();
  state.Cut = writable && selected;
  state.Copy = selected;
  state.Paste = writable;
  state.Delete = writable && selected;
  state.SelectAll = !text().isEmpty();
  switch (RunEditMenu(this, event->globalPos(), state)) {
    case TEditMenuChoice::Undo:
      if (EditCanModify()) QLineEdit::undo();
      break;
    case TEditMenuChoice::Cut:
      CutText();
      break;
    case TEditMenuChoice::Copy:
      CopyText();
      break;
    case TEditMenuChoice::Paste:
      PasteText(Services::Current().ClipboardText());
      break;
    case TEditMenuChoice::Delete:
      DeleteText();
      break;
    case TEditMenuChoice::SelectAll:
      selectAll();
      break;
    case TEditMenuChoice::None:
      break;
  }
}

// ---- Focus and validation ----

void TWenCustomMaskEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (!IsMasked()) return;
  SyncSelectionFromQt();
  const std::string before = mask_.EditText();
  mask_.Enter();
  Sync(before);
}

void TWenCustomMaskEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // Leaving the window (or opening a menu or a box) is no exit from the control.
  if (IsPassingFocus(event)) return;
  if (isVisible()) ValidateEdit();
}

bool TWenCustomMaskEdit::ValidateEdit() {
  if (!IsMasked() || !mask_.Modified()) return true;
  const TWenMask::TValidation result = mask_.Validate();
  if (result.Ok) return true;
  if (!hasFocus()) {
    mask_.SetReEnter(true);
    QTimer::singleShot(0, this, [this] { TakeFocusBack(); });
  }
  mask_.SetCursor(result.Pos);
  SyncToQt();
  Beep();
  platform::gui::ShowHandlerException(LoadMsg(kMsgInvalidInput).c_str());
  return false;
}

void TWenCustomMaskEdit::TakeFocusBack() {
  if (!isVisible() || !isEnabled()) {
    mask_.SetReEnter(false);
    return;
  }
  setFocus(Qt::OtherFocusReason);
}

void TWenCustomMaskEdit::Beep() { Services::Current().Beep(); }

}  // namespace components
