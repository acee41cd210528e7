#include "app/file_list_box.h"

#include "app/test_discovery.h"

namespace app {

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {}

void TFileListBox::Update() {
  files_ = ListTestDefinitions(Directory);
  clear();
  for (const std::string& name : files_) addItem(QString::fromLocal8Bit(name));
}

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent) {}

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) { addItem("/"); }

}  // namespace app
