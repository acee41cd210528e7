#include "components/gui/vexa_controls.h"

#include <QListWidgetItem>

#include "platform/gui/text.h"

namespace components {

using platform::gui::AnsiToQString;
using platform::gui::QStringToAnsi;

namespace {

// A text read back equal to the ANSI form of the current one leaves the widget's text alone:
// a missing key (whose default is that ANSI form) must not replace characters the code page
// cannot hold, nor signal a change.
bool SameAnsi(const QString& current, const std::string& ansi) {
  return QStringToAnsi(current) == ansi;
}

}  // namespace

// --- TVexaEdit ---------------------------------------------------------------------------

TVexaEdit::TVexaEdit(QWidget* parent) : QLineEdit(parent) {}

std::string TVexaEdit::INIText() const { return QStringToAnsi(text()); }

void TVexaEdit::SetINIText(const std::string& text) {
  if (!SameAnsi(this->text(), text)) setText(AnsiToQString(text));
}

// --- TVexaLabel --------------------------------------------------------------------------

TVexaLabel::TVexaLabel(QWidget* parent) : QLabel(parent) {}

std::string TVexaLabel::INIText() const { return QStringToAnsi(text()); }

void TVexaLabel::SetINIText(const std::string& text) {
  if (!SameAnsi(this->text(), text)) setText(AnsiToQString(text));
}

// --- TVexaListBox ------------------------------------------------------------------------

TVexaListBox::TVexaListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
}

QStringList TVexaListBox::Items() const {
  QStringList items;
  items.reserve(count());
  for (int i = 0; i < count(); ++i) items.append(item(i)->text());
  return items;
}

void TVexaListBox::SetItems(const QStringList& items) {
  clear();
  addItems(items);
}

void TVexaListBox::SetItemIndex(int index) {
  setCurrentRow(index >= 0 && index < count() ? index : -1);
}

std::vector<std::string> TVexaListBox::INIItems() const {
  std::vector<std::string> items;
  items.reserve(static_cast<size_t>(count()));
  for (int i = 0; i < count(); ++i) items.push_back(QStringToAnsi(item(i)->text()));
  return items;
}

void TVexaListBox::SetINIItems(const std::vector<std::string>& items) {
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& line : items) lines.append(AnsiToQString(line));
  SetItems(lines);
}

}  // namespace components
