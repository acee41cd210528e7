// The start window's hidden file and folder lists: the "*.ini" files of the current folder as
// they were when the window was created, and that folder.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <string>
#include <vector>

namespace app {

// A list of the files of Directory matching "*.ini", read by Update.
class TFileListBox : public QListWidget {
 public:
  explicit TFileListBox(QWidget* parent = nullptr);

  // The folder listed, without a trailing "/".
  std::string Directory;
  // Reads the list: the test definitions of Directory in the Windows list's order.
  void Update();
  const std::vector<std::string>& Files() const { return files_; }

 private:
  std::vector<std::string> files_;
};

// The folder the program works in: the current folder when the window was created.
class TDirectoryListBox : public QListWidget {
 public:
  explicit TDirectoryListBox(QWidget* parent = nullptr);
  // Without a trailing "/".
  std::string Directory;
};

// The drive list of the start window. Linux has no drives: it holds the root only.
class TDriveComboBox : public QComboBox {
 public:
  explicit TDriveComboBox(QWidget* parent = nullptr);
};

}  // namespace app
