// The exhibit window: the text, the picture or the program that the current question refers
// to, found in the test's exhibit folder. Text and pictures are shown in the window's panel;
// a program is started in the exhibit folder and leaves the panel empty.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QString>
#include <QWidget>
#include <string>

#include "app/file_list_box.h"
#include "platform/gui/activation.h"

namespace app {

class TExhibitWnd : public QWidget, public platform::gui::FormActivation {
 public:
  TExhibitWnd();
  // Runs once, after every window of the program was constructed before it: centres the
  // window and takes the current folder (the program's) as the folder of DirectoryListBox1.
  virtual void FormCreate();
  // "Close Exhibit": closes the window.
  void Button1Click();

  // The exhibit folder's name for the question table `dbf_name`: "EX" and its characters from
  // the third up to the fifth from the end (none when the name is shorter): AB12345.dbf gives
  // EX12345.
  static std::string ExhibitFolderName(const std::string& dbf_name);
  // The kind of an exhibit: the last four characters of its name (all of a shorter one) in
  // ASCII lower case (".txt", ".bmp", ".exe" are shown or started).
  static std::string ExhibitKind(const std::string& name);
  // True when the exhibit name `name` (ANSI, "\" or "/" between folders) leaves the exhibit
  // folder: an absolute name, one with a drive ("X:") or with a ".." part.
  static bool LeavesFolder(const std::string& name);

  // Showing the window while it is on screen loads the current exhibit again and brings the
  // window to the front; anything else is the widget's own.
  void setVisible(bool visible) override;

  QFrame* Panel1;
  QPlainTextEdit* Memo1;
  QScrollArea* ScrollBox1;
  QLabel* Image1;
  QPushButton* Button1;
  // Its Directory is the program's folder, the exhibit folder's parent.
  TDirectoryListBox* DirectoryListBox1;

 protected:
  // Loads the current question's exhibit, or starts it.
  void FormShow() override;
  // Shows the box about an exhibit that could not be shown, once the window is on screen.
  void FormActivate() override;

 private:
  // The exhibit name of the question table's current record (ANSI), empty without one.
  std::string CurrentExhibitName() const;
  // Empties and hides both viewers, so that no earlier exhibit stays in the panel.
  void EmptyViewers();
  // Empties the viewers and keeps `message` for the activation's box.
  void Fail(const QString& message);
  void ShowText(const std::string& ansi);
  void ShowPicture(const QPixmap& picture);

  // The message about the last load, shown by the next activation.
  QString pending_message_;
};

}  // namespace app
