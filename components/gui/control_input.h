// Small tests on the toolkit's input events that the data-aware and masked controls share.
#pragma once

#include <QString>
#include <Qt>
#include <cstdint>

class QFocusEvent;
class QKeyEvent;
class QPoint;
class QWidget;

namespace components {

// The shift state of a key or mouse event: the modifier keys held and the mouse buttons down
// (a button that is being released is no longer down), and whether the press is the second of
// a double click.
enum TShiftStateFlag : uint8_t {
  ssShift = 0x01,
  ssAlt = 0x02,
  ssCtrl = 0x04,
  ssLeft = 0x08,
  ssRight = 0x10,
  ssMiddle = 0x20,
  ssDouble = 0x40,
};
using TShiftState = uint8_t;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = {});
// The button of a press or release; false for a button that is none of the three.
bool MouseButtonOf(Qt::MouseButton button, TMouseButton* out);

// True when `text` is not empty and holds no control character: the key types it.
bool IsPrintableText(const QString& text);

// True for the keys that paste: the platform's paste shortcut and Shift+Insert.
bool IsPasteKey(const QKeyEvent* event);

// True for a focus change that is no entry into or exit from a control: the window was left
// or came back, or a menu or popup took the keyboard for a while.
bool IsPassingFocus(const QFocusEvent* event);

// The edit controls' context menu: which entries are enabled, and the one chosen.
struct TEditMenuState {
  bool Undo = false;
  bool Cut = false;
  bool Copy = false;
  bool Paste = false;
  bool Delete = false;
  bool SelectAll = false;
};
enum class TEditMenuChoice { None, Undo, Cut, Copy, Paste, Delete, SelectAll };

// Shows the menu (Undo, Cut, Copy, Paste, Delete, Select All) at `global_pos` over `parent`
// and returns the entry chosen, None when the menu was closed without a choice.
TEditMenuChoice RunEditMenu(QWidget* parent, const QPoint& global_pos, const TEditMenuState& state);

}  // namespace components
