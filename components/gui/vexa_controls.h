// The INI-bound Qt controls: an edit, a label and a list box, each bound to one key of a
// TVexaSource through the link of its TVexaControl base (components/vexa_source.h), which
// holds the read and write logic. Texts in the INI file are ANSI bytes; they become QString
// only here.
//
// A control's INISource is cleared when its source is destroyed (the source clears every link
// still bound to it), and a control leaves its source when it is destroyed itself.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "components/core/vexa_source.h"

class QWidget;

namespace components {

// An edit bound to a key: ReadINI loads Text (a missing key leaves it), WriteINI stores it.
class TVexaEdit : public QLineEdit, public TVexaTextControl {
 public:
  explicit TVexaEdit(QWidget* parent = nullptr);

  // The property accessors as methods, so one edit can be aimed at several keys in turn.
  TVexaSource* GetSource() const { return INISource(); }
  void SetSource(TVexaSource* source) { SetINISource(source); }
  const TString40& GetSection() const { return INISection(); }
  void SetSection(std::string_view section) { SetINISection(section); }
  const TString40& GetItem() const { return INIItem(); }
  void SetItem(std::string_view item) { SetINIItem(item); }

 protected:
  std::string INIText() const override;
  void SetINIText(const std::string& text) override;
};

// A label bound to a key: its Caption is read and written as the edit's Text is.
class TVexaLabel : public QLabel, public TVexaTextControl {
 public:
  explicit TVexaLabel(QWidget* parent = nullptr);

  QString Caption() const { return text(); }
  void SetCaption(const QString& caption) { setText(caption); }

 protected:
  std::string INIText() const override;
  void SetINIText(const std::string& text) override;
};

// A single-selection list box bound to a key: ReadINI and WriteINI handle the selection under
// Item + "Sel" and, with INISaveItems, the lines under Item + "Count", Item + "0" ...
class TVexaListBox : public QListWidget, public TVexaListControl {
 public:
  explicit TVexaListBox(QWidget* parent = nullptr);

  // The lines of the list, in order.
  QStringList Items() const;
  // Replaces every line (the selection is cleared).
  void SetItems(const QStringList& items);
  // The selected line, -1 for none.
  int ItemIndex() const { return currentRow(); }
  // Selects line `index`; -1, or an index with no line, selects none.
  void SetItemIndex(int index);

 protected:
  std::vector<std::string> INIItems() const override;
  void SetINIItems(const std::vector<std::string>& items) override;
  int INIItemIndex() const override { return ItemIndex(); }
  void SetINIItemIndex(int index) override { SetItemIndex(index); }
};

}  // namespace components
