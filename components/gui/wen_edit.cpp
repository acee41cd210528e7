#include "components/gui/wen_edit.h"

#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <exception>

#include "components/core/wen_dataset.h"
#include "components/gui/control_input.h"
#include "engine/dates.h"
#include "platform/gui/guarded.h"
#include "platform/gui/text.h"

namespace components {

namespace {

using platform::gui::AnsiToQString;
using platform::gui::QStringToAnsi;

// The keys that start editing: Backspace, Delete, Shift+Insert, paste, cut and typing.
bool StartsEditing(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers();
  switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
      return true;
    case Qt::Key_Insert:
      return mods == Qt::ShiftModifier;
    default:
      break;
  }
  if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)) return true;
  return IsPrintableText(event->text()) && !(mods & Qt::ControlModifier);
}

}  // namespace

TWenEdit::TWenEdit(QWidget* parent) : TWenCustomMaskEdit(parent), TWenBoundControl(this) {
  QLineEdit::setReadOnly(true);
  data_link_.OnDataChange = [this](TWenFieldDataLink*) { DataChange(); };
  data_link_.OnEditingChange = [this](TWenFieldDataLink*) { EditingChange(); };
  data_link_.OnUpdateData = [this](TWenFieldDataLink*) { UpdateData(); };
}

void TWenEdit::SetAlignment(TAlignment alignment) {
  if (alignment_ == alignment) return;
  alignment_ = alignment;
  ApplyShownAlignment();
}

std::string TWenEdit::DateMask(int date_mode, bool century) {
  const std::string year = century ? "9999" : "99";
  if (date_mode == 1) return "@D" + year + "/99/99;1;_";
  return "@D99/99/" + year + ";1;_";
}

// ---- Data link callbacks ----

void TWenEdit::DataChange() {
  TWenField* field = data_link_.Field();
  if (field == nullptr) {
    SetMaxLength(0);
    SetText(QString());
  } else {
    SetMaxLength(field->DisplayWidth());
    if (field->FieldType == 'D') {
      SetEditMaskStyle(dBaseStyle);
      SetEditMask(AnsiToQString(DateMask(engine::DateMode, engine::Century)));
    }
    SetDataBound();
    SetText(AnsiToQString(field->GetText()));
  }
  ApplyShownAlignment();
}

void TWenEdit::EditingChange() { QLineEdit::setReadOnly(!data_link_.Editing()); }

void TWenEdit::UpdateData() {
  if (!ValidateEdit()) {
    store_refused_ = true;  // reported by the validation; the focus comes back
    return;
  }
  if (TWenField* field = data_link_.Field()) field->SetText(QStringToAnsi(GetText()));
}

bool TWenEdit::EditCanModify() {
  // Asked from inside the edit's own input handling: an exception is shown here and refuses
  // the change, so that it never unwinds through the toolkit.
  try {
    return data_link_.Edit();
  } catch (const std::exception& error) {
    platform::gui::ShowHandlerException(error);
    return false;
  }
}

void TWenEdit::Change() { data_link_.Modified(); }

// ---- Keys, clipboard, focus ----

void TWenEdit::keyPressEvent(QKeyEvent* event) {
  platform::gui::RunGuarded([&] {
    if (event->key() == Qt::Key_Escape && !(event->modifiers() & ~Qt::KeypadModifier)) {
      data_link_.Reset();
      selectAll();
      event->accept();
      return;
    }
    // The link goes into edit mode first, so that the edit is writable for the key.
    if (StartsEditing(event)) data_link_.Edit();
    TWenCustomMaskEdit::keyPressEvent(event);
  });
}

void TWenEdit::mouseReleaseEvent(QMouseEvent* event) {
  platform::gui::RunGuarded([&] { TWenCustomMaskEdit::mouseReleaseEvent(event); });
}

void TWenEdit::PasteSelection(const QString& text, const QPoint& pos) {
  data_link_.Edit();
  TWenCustomMaskEdit::PasteSelection(text, pos);
}

void TWenEdit::dropEvent(QDropEvent* event) {
  platform::gui::RunGuarded([&] {
    data_link_.Edit();
    TWenCustomMaskEdit::dropEvent(event);
  });
}

void TWenEdit::inputMethodEvent(QInputMethodEvent* event) {
  platform::gui::RunGuarded([&] {
    if (!event->commitString().isEmpty()) data_link_.Edit();
    TWenCustomMaskEdit::inputMethodEvent(event);
  });
}

void TWenEdit::focusInEvent(QFocusEvent* event) {
  // Every focus-in enters (the first focus of a window comes with its activation); coming
  // back to a window whose focus never left the edit changes nothing.
  platform::gui::RunGuarded([&] { SetFocused(true); });
  TWenCustomMaskEdit::focusInEvent(event);
}

void TWenEdit::focusOutEvent(QFocusEvent* event) {
  // The data-bound edit validates through UpdateData (when its value is stored), not on
  // every exit as the plain masked edit does.
  QLineEdit::focusOutEvent(event);
  if (IsPassingFocus(event)) return;
  store_refused_ = false;
  if (!StoreOnExit()) {
    selectAll();  // the value could not be stored: the focus stays in the edit
    return;
  }
  // An invalid masked text stays as typed; the validation takes the focus back.
  if (store_refused_) return;
  platform::gui::RunGuarded([&] { SetFocused(false); });
  if (IsMasked()) SetEditText(EditText());  // re-places the caret off the literals
}

void TWenEdit::SetFocused(bool focused) {
  if (focused_ == focused) return;
  focused_ = focused;
  ApplyShownAlignment();
  data_link_.Reset();
}

void TWenEdit::ApplyShownAlignment() {
  Qt::Alignment shown = Qt::AlignLeft;
  if (!focused_ && !IsMasked()) {
    if (alignment_ == taRightJustify) shown = Qt::AlignRight;
    if (alignment_ == taCenter) shown = Qt::AlignHCenter;
  }
  if ((alignment() & Qt::AlignHorizontal_Mask) != shown) setAlignment(shown | Qt::AlignVCenter);
}

}  // namespace components
