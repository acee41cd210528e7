#include "app/notes_window.h"

#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QResizeEvent>
#include <QTextCursor>

#include "app/app_context.h"
#include "app/window_support.h"
#include "components/gui/control_input.h"
#include "platform/core/code_pages.h"
#include "platform/core/dos_error.h"
#include "platform/core/file.h"
#include "platform/core/paths.h"
#include "platform/gui/guarded.h"
#include "platform/gui/text.h"

namespace app {
namespace {

using platform::gui::Services;

// Text with every line break as "\n".
QString WithLineFeeds(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar('\r'), QChar('\n'));
  text.replace(QChar::ParagraphSeparator, QChar('\n'));
  text.replace(QChar::LineSeparator, QChar('\n'));
  return text;
}

// The text in the ANSI code page, or the first character the page lacks.
struct AnsiText {
  std::string bytes;
  std::optional<QString> missing;
};

AnsiText ToAnsiExactly(const QString& text) {
  const platform::CodePage page = platform::AnsiCodePage();
  AnsiText out;
  out.bytes.reserve(static_cast<size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      out.missing = text.mid(i, 2);
      return out;
    }
    const std::optional<unsigned char> b = platform::CodePageByte(page, c);
    if (!b) {
      out.missing = QString(text[i]);
      return out;
    }
    out.bytes.push_back(static_cast<char>(*b));
  }
  return out;
}

QString WriteFailure(int dos_code) {
  switch (dos_code) {
    case platform::kDosFileNotFound:
    case platform::kDosPathNotFound:
      return QStringLiteral("The folder does not exist.");
    case platform::kDosAccessDenied:
      return QStringLiteral("Access is denied.");
    case platform::kDosWriteError:
      return QStringLiteral("The disk is full.");
    default:
      return QStringLiteral("Error %1.").arg(dos_code);
  }
}

QString FolderText(const std::string& folder) { return QFile::decodeName(folder.c_str()); }

QAction* MenuItem(QMenu* menu, const char* name, const char* caption,
                  const QKeySequence& shortcut = QKeySequence()) {
  QAction* action = menu->addAction(QString::fromLatin1(caption));
  action->setObjectName(QString::fromLatin1(name));
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  return action;
}

}  // namespace

void TNotesEdit::keyPressEvent(QKeyEvent* event) {
  std::function<void()>* command = nullptr;
  if (event->matches(QKeySequence::Cut)) {
    command = &OnCut;
  } else if (event->matches(QKeySequence::Copy)) {
    command = &OnCopy;
  } else if (components::IsPasteKey(event)) {
    command = &OnPaste;
  }
  if (command == nullptr) {
    QPlainTextEdit::keyPressEvent(event);
    return;
  }
  if (*command) platform::gui::RunGuarded(*command);
  event->accept();
}

TNotes::TNotes() : FormActivation(this) {
  setObjectName("Notes");
  setWindowTitle("Notes");
  resize(637, 458);

  MainMenu1 = new QMenuBar(this);
  MainMenu1->setObjectName("MainMenu1");
  File1 = MainMenu1->addMenu("&File");
  New = MenuItem(File1, "New", "&New");
  Open = MenuItem(File1, "Open", "&Open");
  Save1 = MenuItem(File1, "Save1", "&Save");
  ExitNotes1 = MenuItem(File1, "ExitNotes1", "Save &As");
  ExitNotes2 = MenuItem(File1, "ExitNotes2", "E&xit Notes");
  Edit1 = MainMenu1->addMenu("&Edit");
  Cut1 = MenuItem(Edit1, "Cut1", "Cut", QKeySequence(Qt::CTRL | Qt::Key_X));
  Copy1 = MenuItem(Edit1, "Copy1", "Copy", QKeySequence(Qt::CTRL | Qt::Key_C));
  Paste1 = MenuItem(Edit1, "Paste1", "Paste", QKeySequence(Qt::CTRL | Qt::Key_V));

  RichEdit1 = new TNotesEdit(this);
  RichEdit1->setObjectName("RichEdit1");
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit1->setContextMenuPolicy(Qt::NoContextMenu);
  RichEdit1->OnCut = [this] { Cut1Click(); };
  RichEdit1->OnCopy = [this] { Copy1Click(); };
  RichEdit1->OnPaste = [this] { Paste1Click(); };

  SaveDialog1.title = "Velkor Notes";
  SaveDialog1.filter = "text files|*.txt";
  SaveDialog1.default_ext = ".txt";
  OpenDialog1.filter = "text files|*.txt";

  using platform::gui::GuardedConnect;
  GuardedConnect(New, &QAction::triggered, this, &TNotes::NewClick);
  GuardedConnect(Open, &QAction::triggered, this, &TNotes::OpenClick);
  GuardedConnect(Save1, &QAction::triggered, this, &TNotes::Save1Click);
  GuardedConnect(ExitNotes1, &QAction::triggered, this, &TNotes::ExitNotes1Click);
  GuardedConnect(ExitNotes2, &QAction::triggered, this, &TNotes::ExitNotes2Click);
  GuardedConnect(Cut1, &QAction::triggered, this, &TNotes::Cut1Click);
  GuardedConnect(Copy1, &QAction::triggered, this, &TNotes::Copy1Click);
  GuardedConnect(Paste1, &QAction::triggered, this, &TNotes::Paste1Click);
}

void TNotes::FormCreate() { CentreOnScreen(this); }

void TNotes::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int bar = MainMenu1->sizeHint().height();
  MainMenu1->setGeometry(0, 0, width(), bar);
  RichEdit1->setGeometry(0, bar, width(), height() - bar);
}

std::string TNotes::DefaultNotesName(const std::string& dbf_name) {
  return "notes" + (dbf_name.size() > 2 ? dbf_name.substr(2, 5) : std::string()) + ".txt";
}

void TNotes::FormActivate() {
  if (name_confirmed_) return;
  SaveDialog1.file_name = platform::gui::AnsiToQString(DefaultNotesName(Ctx().Values.DbfName));
}

void TNotes::closeEvent(QCloseEvent* event) {
  HandleCloseEvent(event, [this] { FormClose(); });
}

void TNotes::ShowError(const QString& text) {
  Services::Current().MessageBox(text, QString(), platform::kIconStop, platform::kButtonsOk, this);
}

std::optional<QString> TNotes::AskFileName() {
  SaveDialog1.initial_dir = FolderText(Ctx().Values.AppDir);
  std::optional<QString> name = Services::Current().SaveFileDialog(SaveDialog1);
  if (!name) return std::nullopt;
  SaveDialog1.file_name = *name;
  name_confirmed_ = true;
  return name;
}

bool TNotes::SaveTo(const QString& file) {
  const QStringList lines = WithLineFeeds(RichEdit1->toPlainText()).split(QChar('\n'));
  const AnsiText text = ToAnsiExactly(lines.join(QStringLiteral("\r\n")));
  if (text.missing) {
    ShowError(QStringLiteral("The notes cannot be saved to %1: the character \"%2\" cannot be "
                             "written in a text file of this system's code page.")
                  .arg(file, *text.missing));
    return false;
  }
  // A name that differs from an existing file's only in letter case is that file.
  const std::string path = platform::ResolveCase(QFile::encodeName(file).toStdString());
  const int rc = platform::ReplaceFile(path, text.bytes);
  if (rc != 0) {
    ShowError(QStringLiteral("The notes cannot be saved to %1. %2").arg(file, WriteFailure(rc)));
    return false;
  }
  return true;
}

bool TNotes::AskAndSave() {
  const std::optional<QString> file = AskFileName();
  if (!file || !SaveTo(*file)) return false;
  Ctx().Test.NotesSaved = true;
  return true;
}

void TNotes::NewClick() {
  const std::optional<QString> file = AskFileName();
  if (file && SaveTo(*file)) RichEdit1->clear();
}

void TNotes::OpenClick() {
  OpenDialog1.initial_dir = FolderText(Ctx().Values.AppDir);
  const std::optional<QString> file = Services::Current().OpenFileDialog(OpenDialog1);
  if (!file) return;
  QFile in(*file);
  QByteArray bytes;
  bool read = in.open(QIODevice::ReadOnly);
  if (read) {
    bytes = in.readAll();
    read = in.error() == QFileDevice::NoError;
  }
  if (!read) {
    ShowError(QStringLiteral("The notes cannot be read from %1. %2").arg(*file, in.errorString()));
    return;
  }
  RichEdit1->setPlainText(
      WithLineFeeds(platform::gui::AnsiToQString(std::string(bytes.constData(), bytes.size()))));
  RichEdit1->moveCursor(QTextCursor::Start);
}

void TNotes::Save1Click() {
  if (Ctx().Test.NotesSaved) {
    SaveTo(SaveDialog1.file_name);
    return;
  }
  AskAndSave();
}

void TNotes::ExitNotes1Click() { AskAndSave(); }

void TNotes::LeaveNotes() {
  if (Ctx().Test.NotesSaved) {
    SaveTo(SaveDialog1.file_name);
  } else if (!RichEdit1->document()->isEmpty()) {
    AskAndSave();
  }
}

void TNotes::ExitNotes2Click() {
  LeaveNotes();
  hide();
}

void TNotes::FormClose() { LeaveNotes(); }

void TNotes::Cut1Click() {
  if (!RichEdit1->textCursor().hasSelection()) return;
  Copy1Click();
  RichEdit1->textCursor().removeSelectedText();
}

void TNotes::Copy1Click() {
  const QString selected = RichEdit1->textCursor().selectedText();
  if (!selected.isEmpty()) Services::Current().SetClipboardText(WithLineFeeds(selected));
}

void TNotes::Paste1Click() {
  const QString text = Services::Current().ClipboardText();
  if (!text.isEmpty()) RichEdit1->insertPlainText(WithLineFeeds(text));
}

}  // namespace app
