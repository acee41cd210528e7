#include "components/gui/control_input.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPoint>

namespace components {

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState state = 0;
  if (modifiers & Qt::ShiftModifier) state |= ssShift;
  if (modifiers & Qt::AltModifier) state |= ssAlt;
  if (modifiers & Qt::ControlModifier) state |= ssCtrl;
  if (buttons & Qt::LeftButton) state |= ssLeft;
  if (buttons & Qt::RightButton) state |= ssRight;
  if (buttons & Qt::MiddleButton) state |= ssMiddle;
  return state;
}

bool MouseButtonOf(Qt::MouseButton button, TMouseButton* out) {
  switch (button) {
    case Qt::LeftButton:
      *out = mbLeft;
      return true;
    case Qt::RightButton:
      *out = mbRight;
      return true;
    case Qt::MiddleButton:
      *out = mbMiddle;
      return true;
    default:
      return false;
  }
}

bool IsPrintableText(const QString& text) {
  if (text.isEmpty()) return false;
  for (QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
  }
  return true;
}

bool IsPasteKey(const QKeyEvent* event) {
  return event->matches(QKeySequence::Paste) ||
         (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ShiftModifier);
}

bool IsPassingFocus(const QFocusEvent* event) {
  switch (event->reason()) {
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
      return true;
    default:
      return false;
  }
}

TEditMenuChoice RunEditMenu(QWidget* parent, const QPoint& global_pos,
                            const TEditMenuState& state) {
  QMenu menu(parent);
  const auto add = [&menu](const char* text, bool enabled) {
    QAction* action = menu.addAction(QString::fromLatin1(text));
    action->setEnabled(enabled);
    return action;
  };
  QAction* undo = add("&Undo", state.Undo);
  menu.addSeparator();
  QAction* cut = add("Cu&t", state.Cut);
  QAction* copy = add("&Copy", state.Copy);
  QAction* paste = add("&Paste", state.Paste);
  QAction* erase = add("&Delete", state.Delete);
  menu.addSeparator();
  QAction* select_all = add("Select &All", state.SelectAll);
  const QAction* chosen = menu.exec(global_pos);
  if (chosen == nullptr) return TEditMenuChoice::None;
  if (chosen == undo) return TEditMenuChoice::Undo;
  if (chosen == cut) return TEditMenuChoice::Cut;
  if (chosen == copy) return TEditMenuChoice::Copy;
  if (chosen == paste) return TEditMenuChoice::Paste;
  if (chosen == erase) return TEditMenuChoice::Delete;
  if (chosen == select_all) return TEditMenuChoice::SelectAll;
  return TEditMenuChoice::None;
}

}  // namespace components
