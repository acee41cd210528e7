// The notes window: a plain-text editor for the user's own notes on the test, kept in text
// files (ANSI, lines separated by CR LF). The save dialog proposes a default name made from
// the question table's name, so each test has its own notes file, until the user confirms a
// name of their own; once the notes were saved, Save and leaving the window write to the last
// name confirmed without asking.
#pragma once

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "platform/gui/activation.h"
#include "platform/gui/services.h"

namespace app {

// The editor: its own cut, copy and paste keys run the window's Edit commands, so every
// clipboard use goes through the services.
class TNotesEdit : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;
  std::function<void()> OnCut;
  std::function<void()> OnCopy;
  std::function<void()> OnPaste;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class TNotes : public QWidget, public platform::gui::FormActivation {
 public:
  TNotes();
  // Centres the window.
  virtual void FormCreate();

  QMenuBar* MainMenu1;
  QMenu* File1;
  QAction* New;
  QAction* Open;
  QAction* Save1;
  QAction* ExitNotes1;  // "Save &As"
  QAction* ExitNotes2;  // "E&xit Notes"
  QMenu* Edit1;
  QAction* Cut1;
  QAction* Copy1;
  QAction* Paste1;
  TNotesEdit* RichEdit1;
  platform::gui::FileDialogRequest SaveDialog1;
  platform::gui::FileDialogRequest OpenDialog1;

  // Saves the text to a file the user confirms, then empties the editor.
  virtual void NewClick();
  // Replaces the text with a file's lines.
  virtual void OpenClick();
  // Saves without asking once the notes were saved; else asks for the file first.
  virtual void Save1Click();
  // Asks for the file and saves.
  virtual void ExitNotes1Click();
  // Saves as on leaving (asking when never saved and there is text), then hides the window.
  virtual void ExitNotes2Click();
  // The leaving of ExitNotes2Click without the hiding: the window closes anyway.
  virtual void FormClose();
  virtual void Cut1Click();
  virtual void Copy1Click();
  virtual void Paste1Click();

  // "notes" + five characters of the question table's name from the third + ".txt" (ANSI):
  // AB12345.dbf gives notes12345.txt.
  static std::string DefaultNotesName(const std::string& dbf_name);

 protected:
  // Puts the default name into the save dialog until the user confirmed a name.
  void FormActivate() override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Offers the save dialog: the file confirmed (now the dialog's name), or nothing.
  std::optional<QString> AskFileName();
  // Writes the editor's lines to `file`. False, after a box that names the file, when a
  // character cannot be written in ANSI or the file cannot be written.
  bool SaveTo(const QString& file);
  // Asks for the file and saves; true once saved.
  bool AskAndSave();
  void LeaveNotes();
  void ShowError(const QString& text);

  bool name_confirmed_ = false;
};

}  // namespace app
