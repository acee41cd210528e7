#include "app/exhibit_window.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QScrollBar>

#include "app/app_context.h"
#include "app/question_window.h"
#include "app/window_support.h"
#include "components/core/wen_dataset.h"
#include "components/core/wen_field.h"
#include "platform/core/paths.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace app {
namespace {

using platform::gui::AnsiToQString;

// Delphi's Copy on a text: `count` characters from the 1-based `index`, clamped to the text
// (nothing for a count below one or a start past the end).
std::string Copy(const std::string& text, int index, int count) {
  if (index < 1) index = 1;
  const size_t start = static_cast<size_t>(index - 1);
  if (count < 1 || start >= text.size()) return std::string();
  return text.substr(start, static_cast<size_t>(count));
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// An ANSI exhibit name as a path below the exhibit folder: its characters in the file system's
// encoding, "\" made "/".
std::string PathPart(const std::string& ansi) {
  std::string path = QFile::encodeName(AnsiToQString(ansi)).toStdString();
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

QString PathText(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

// The lines of an ANSI text as a text list loads them: lines end at CR LF, LF or CR, and a
// line end at the very end starts no further line.
QString TextLines(const std::string& ansi) {
  std::string text;
  text.reserve(ansi.size());
  for (size_t i = 0; i < ansi.size(); ++i) {
    if (ansi[i] == '\r') {
      text += '\n';
      if (i + 1 < ansi.size() && ansi[i + 1] == '\n') ++i;
    } else {
      text += ansi[i];
    }
  }
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return AnsiToQString(text);
}

}  // namespace

TExhibitWnd::TExhibitWnd() : FormActivation(this) {
  setObjectName("ExhibitWnd");
  setWindowTitle("Exhibit");
  setFixedSize(628, 429);

  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(1);
  Panel1->setGeometry(8, 8, 612, 387);
  const QRect inside = Panel1->contentsRect();

  Memo1 = new QPlainTextEdit(Panel1);
  Memo1->setObjectName("Memo1");
  Memo1->setGeometry(inside);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // Text exhibits are listings (tables, command output) laid out in columns: fixed pitch.
  Memo1->setFont(platform::gui::MonoFont(10));

  ScrollBox1 = new QScrollArea(Panel1);
  ScrollBox1->setObjectName("ScrollBox1");
  ScrollBox1->setGeometry(inside);
  ScrollBox1->setAlignment(Qt::AlignCenter);
  ScrollBox1->setWidgetResizable(false);
  Image1 = new QLabel;
  Image1->setObjectName("Image1");
  ScrollBox1->setWidget(Image1);

  Button1 = new QPushButton("Close Exhibit", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(266, 400, 96, 25);
  platform::gui::GuardedConnect(Button1, &QPushButton::clicked, this, &TExhibitWnd::Button1Click);

  DirectoryListBox1 = new TDirectoryListBox(this);
  DirectoryListBox1->setObjectName("DirectoryListBox1");
  DirectoryListBox1->hide();
}

void TExhibitWnd::FormCreate() {
  CentreOnScreen(this);
  // A folder list names its folder without the final separator (the root excepted).
  std::string here = platform::CurrentDir();
  if (here.size() > 1) here.pop_back();
  DirectoryListBox1->Directory = here;
}

void TExhibitWnd::Button1Click() { close(); }

std::string TExhibitWnd::ExhibitFolderName(const std::string& dbf_name) {
  return "EX" + Copy(dbf_name, 3, static_cast<int>(dbf_name.size()) - 6);
}

std::string TExhibitWnd::ExhibitKind(const std::string& name) {
  const int length = static_cast<int>(name.size());
  std::string kind = Copy(name, length - 3, 4);
  for (char& c : kind) c = AsciiLower(c);
  return kind;
}

bool TExhibitWnd::LeavesFolder(const std::string& name) {
  if (name.empty()) return false;
  if (name[0] == '/' || name[0] == '\\') return true;
  const char first = AsciiLower(name[0]);
  if (name.size() >= 2 && first >= 'a' && first <= 'z' && name[1] == ':') return true;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

void TExhibitWnd::setVisible(bool visible) {
  if (visible && isVisible()) {
    platform::gui::RunGuarded([this] { FormShow(); });
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    platform::gui::ScheduleActivation(this);
    return;
  }
  QWidget::setVisible(visible);
}

std::string TExhibitWnd::CurrentExhibitName() const {
  TQuestions* questions = Ctx().Questions;
  if (questions == nullptr || !questions->WenDbf1 || !questions->WenDbf1->Active()) return {};
  components::TWenDataSet* data_set = questions->WenDbf1->DataSet();
  if (data_set == nullptr) return {};
  for (components::TWenField* field : data_set->Fields()) {
    std::string name = field->FieldName;
    for (char& c : name) c = AsciiLower(c);
    if (name == "exhibfile") return field->GetText();
  }
  return {};
}

void TExhibitWnd::Fail(const QString& message) {
  pending_message_ = message;
  EmptyViewers();
}

void TExhibitWnd::EmptyViewers() {
  Memo1->clear();
  Memo1->hide();
  Image1->clear();
  Image1->hide();
}

void TExhibitWnd::ShowText(const std::string& ansi) {
  Memo1->setPlainText(TextLines(ansi));
  Memo1->show();
  ScrollBox1->hide();
  Image1->clear();
  Image1->hide();
}

void TExhibitWnd::ShowPicture(const QPixmap& picture) {
  ScrollBox1->show();
  Image1->setPixmap(picture);
  Image1->resize(picture.size());
  Memo1->clear();
  Memo1->hide();
  Image1->show();
}

// The exhibit folder lies in the program's folder; the folder and the exhibit are found
// regardless of letter case. A name that leaves the folder, a file that is missing or cannot be
// read, or a program that does not start empties the panel and is reported once the window is
// on screen; a kind the window does not show empties the panel too.
void TExhibitWnd::FormShow() {
  pending_message_.clear();
  const std::string& app_dir = Ctx().Values.AppDir;
  if (!app_dir.empty()) {
    DirectoryListBox1->Directory =
        app_dir.size() > 1 ? app_dir.substr(0, app_dir.size() - 1) : app_dir;
  }
  std::string parent = DirectoryListBox1->Directory;
  if (parent.empty() || parent.back() != '/') parent += '/';
  const std::string folder =
      platform::ResolveCase(parent + ExhibitFolderName(Ctx().Values.DbfName));

  const std::string name = CurrentExhibitName();
  const std::string kind = ExhibitKind(name);
  if (LeavesFolder(name)) {
    Fail(QString("The exhibit %1 lies outside the exhibit folder.").arg(AnsiToQString(name)));
    return;
  }
  if (kind != ".exe" && kind != ".txt" && kind != ".bmp") {
    EmptyViewers();
    return;
  }
  const std::string path = platform::ResolveCase(folder + "/" + PathPart(name));
  const QFileInfo info(PathText(path));
  if (!info.exists()) {
    Fail(QString("The exhibit file %1 cannot be found.").arg(PathText(path)));
    return;
  }

  if (kind == ".exe") {
    EmptyViewers();
    const int code = platform::gui::Services::Current().ShellOpen(PathText(path), QString(),
                                                                  PathText(folder), 5);
    if (code <= 32) {
      pending_message_ = QString("The exhibit program %1 cannot be started.").arg(PathText(path));
    }
    return;
  }

  QFile file(PathText(path));
  QByteArray bytes;
  if (info.isFile() && file.open(QIODevice::ReadOnly)) bytes = file.readAll();
  if (!file.isOpen() || file.error() != QFileDevice::NoError) {
    Fail(QString("The exhibit file %1 cannot be read.").arg(PathText(path)));
    return;
  }
  if (kind == ".txt") {
    ShowText(bytes.toStdString());
    return;
  }
  QPixmap picture;
  if (!picture.loadFromData(bytes, "BMP")) {
    Fail(QString("The exhibit file %1 is no picture this window can show.").arg(PathText(path)));
    return;
  }
  ShowPicture(picture);
}

void TExhibitWnd::FormActivate() {
  if (pending_message_.isEmpty()) return;
  const QString message = pending_message_;
  pending_message_.clear();
  platform::gui::Services::Current().ShowMessage(message, this);
}

}  // namespace app
