#include "components/gui/wen_memo.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextCursor>
#include <QTextDocument>

#include "components/core/wen_dataset.h"
#include "components/gui/control_input.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace components {

namespace {

using platform::gui::AnsiToQString;
using platform::gui::QStringToAnsi;
using platform::gui::Services;

// Line breaks of a pasted text as the memo keeps them.
QString MemoLineBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

TWenMemo::TWenMemo(QWidget* parent) : QPlainTextEdit(parent), TWenBoundControl(this) {
  setTabChangesFocus(true);
  setUndoRedoEnabled(true);
  EditingChange();  // read-only until a loaded memo is edited
  data_link_.OnDataChange = [this](TWenFieldDataLink*) { DataChange(); };
  data_link_.OnEditingChange = [this](TWenFieldDataLink*) { EditingChange(); };
  data_link_.OnUpdateData = [this](TWenFieldDataLink*) { UpdateData(); };
  platform::gui::GuardedConnect(this, &QPlainTextEdit::textChanged, this, &TWenMemo::OnTextChanged);
}

void TWenMemo::SetAutoDisplay(bool auto_display) {
  if (auto_display_ == auto_display) return;
  auto_display_ = auto_display;
  if (auto_display_) LoadMemo();
}

bool TWenMemo::CanDisplay() const {
  const TWenField* field = data_link_.Field();
  return field != nullptr && (!field->IsBlob() || writable_blobs_);
}

// ---- Text ----

std::vector<std::string> TWenMemo::Lines() const {
  std::vector<std::string> lines;
  const QStringList parts = toPlainText().split(QLatin1Char('\n'));
  for (const QString& part : parts) lines.push_back(QStringToAnsi(part));
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

std::string TWenMemo::Text() const {
  std::string text;
  const std::vector<std::string> lines = Lines();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

void TWenMemo::ShowText(const QString& text) {
  showing_ = true;
  setPlainText(text);
  showing_ = false;
}

void TWenMemo::OnTextChanged() {
  if (!showing_ && memo_loaded_) data_link_.Modified();
}

// ---- Data link callbacks ----

void TWenMemo::DataChange() {
  if (data_link_.Field() == nullptr) {
    ShowText(QString());
    memo_loaded_ = false;
  } else if (!CanDisplay()) {
    ShowText(QStringLiteral("(Blob)"));
    memo_loaded_ = true;
  } else if (!auto_display_ && !(data_link_.Editing() && memo_loaded_)) {
    ShowText(QStringLiteral("(Memo)"));
    memo_loaded_ = false;
  } else {
    memo_loaded_ = false;
    LoadMemo();
  }
  EditingChange();
}

void TWenMemo::LoadMemo() {
  if (memo_loaded_ || !CanDisplay()) return;
  const std::vector<std::string>& lines = data_link_.Field()->GetLines();
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += lines[i];
  }
  ShowText(AnsiToQString(text));
  memo_loaded_ = true;
  EditingChange();
}

void TWenMemo::EditingChange() {
  const bool read_only = !(data_link_.Editing() && memo_loaded_);
  QPlainTextEdit::setReadOnly(read_only);
  // A read-only memo can still be read with the keyboard (caret and selection).
  if (read_only) setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void TWenMemo::UpdateData() {
  if (CanDisplay()) data_link_.Field()->SetLines(Lines());
}

// ---- Keys, mouse, clipboard ----

void TWenMemo::keyPressEvent(QKeyEvent* event) {
  platform::gui::RunGuarded([&] {
    if (event->matches(QKeySequence::Copy)) {
      CopyText();
      return;
    }
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!memo_loaded_) {
      // Enter loads the memo; any other key that types is swallowed; moving keys move.
      if (enter) {
        LoadMemo();
      } else if (event->text().isEmpty() && !IsPasteKey(event) && key != Qt::Key_Delete) {
        QPlainTextEdit::keyPressEvent(event);
      }
      return;
    }
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool printable = IsPrintableText(event->text()) && !ctrl;
    if (printable && data_link_.CanModify()) {
      if (TWenField* field = data_link_.Field()) {
        for (char c : QStringToAnsi(event->text())) {
          if (!field->IsValidChar(c)) {
            Services::Current().Beep();
            return;
          }
        }
      }
    }
    if (key == Qt::Key_Escape) {
      data_link_.Reset();
      return;
    }
    const bool paste = IsPasteKey(event);
    const bool cut = event->matches(QKeySequence::Cut);
    bool starts = printable || paste || cut || enter;
    switch (key) {
      case Qt::Key_Backspace:
      case Qt::Key_Tab:
      case Qt::Key_Delete:
        starts = true;
        break;
      case Qt::Key_J:
        starts = starts || ctrl;  // line feed
        break;
      default:
        break;
    }
    if (starts) data_link_.Edit();
    if (paste) {
      PasteText(Services::Current().ClipboardText());
      return;
    }
    if (cut) {
      CutText();
      return;
    }
    QPlainTextEdit::keyPressEvent(event);
  });
}

void TWenMemo::inputMethodEvent(QInputMethodEvent* event) {
  platform::gui::RunGuarded([&] {
    if (!event->commitString().isEmpty()) {
      if (!memo_loaded_) {
        event->accept();  // typing into an unloaded memo is swallowed
        return;
      }
      data_link_.Edit();
    }
    QPlainTextEdit::inputMethodEvent(event);
  });
}

void TWenMemo::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!memo_loaded_) {
    platform::gui::RunGuarded([&] { LoadMemo(); });
    event->accept();
    return;
  }
  QPlainTextEdit::mouseDoubleClickEvent(event);
}

void TWenMemo::CopyText() {
  const QString selected = textCursor().selectedText();
  if (!selected.isEmpty()) {
    QString text = selected;
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    Services::Current().SetClipboardText(text);
  }
}

void TWenMemo::CutText() {
  if (isReadOnly() || !textCursor().hasSelection()) return;
  CopyText();
  textCursor().removeSelectedText();
}

void TWenMemo::PasteText(const QString& text) {
  if (isReadOnly() || text.isEmpty()) return;
  insertPlainText(MemoLineBreaks(text));
}

void TWenMemo::DeleteText() {
  if (isReadOnly()) return;
  textCursor().removeSelectedText();
}

void TWenMemo::contextMenuEvent(QContextMenuEvent* event) {
  // The clipboard of the services; cut, paste and delete ask for edit mode first.
  const bool may_edit = memo_loaded_ && (!isReadOnly() || data_link_.CanModify());
  const bool selected = textCursor().hasSelection();
  TEditMenuState state;
  state.Undo = !isReadOnly() && document()->isUndoAvailable();
  state.Cut = may_edit && selected;
  state.Copy = selected;
  state.Paste = may_edit;
  state.Delete = may_edit && selected;
  state.SelectAll = !document()->isEmpty();
  const TEditMenuChoice choice = RunEditMenu(this, event->globalPos(), state);
  platform::gui::RunGuarded([&] {
    switch (choice) {
      case TEditMenuChoice::Undo:
        QPlainTextEdit::undo();
        break;
      case TEditMenuChoice::Cut:
        data_link_.Edit();
        CutText();
        break;
      case TEditMenuChoice::Copy:
        CopyText();
        break;
      case TEditMenuChoice::Paste:
        data_link_.Edit();
        PasteText(Services::Current().ClipboardText());
        break;
      case TEditMenuChoice::Delete:
        data_link_.Edit();
        DeleteText();
        break;
      case TEditMenuChoice::SelectAll:
        selectAll();
        break;
      case TEditMenuChoice::None:
        break;
    }
  });
}

// ---- Focus, caption ----

void TWenMemo::focusOutEvent(QFocusEvent* event) {
  QPlainTextEdit::focusOutEvent(event);
  if (!IsPassingFocus(event)) StoreOnExit();
}

}  // namespace components
