#include "platform/gui/qt_services.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>

#include "platform/core/paths.h"
#include "platform/gui/activation.h"
#include "platform/gui/application.h"

namespace platform::gui {
namespace {

QMessageBox::Icon QtIcon(MessageIcon icon) {
  switch (icon) {
    case kIconStop:
      return QMessageBox::Critical;
    case kIconWarning:
      return QMessageBox::Warning;
    case kIconInformation:
      return QMessageBox::Information;
    case kIconQuestion:
      return QMessageBox::Question;
    case kIconNone:
      break;
  }
  return QMessageBox::NoIcon;
}

QString PdfFileFor(const QString& folder, const QString& title) {
  QString base = title;
  for (QChar& c : base) {
    if (c == '/' || c == '\\' || c.unicode() < 32) c = '_';
  }
  if (base.isEmpty()) base = QStringLiteral("print");
  QDir dir(folder);
  QString path = dir.filePath(base + ".pdf");
  for (int n = 2; QFileInfo::exists(path); ++n)
    path = dir.filePath(base + "-" + QString::number(n) + ".pdf");
  return path;
}

}  // namespace

bool StartDetachedProcess(const QString& program, const QStringList& arguments,
                          const QString& folder, QString* error) {
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  if (!folder.isEmpty()) process.setWorkingDirectory(folder);
  process.setStandardInputFile(QProcess::nullDevice());
  if (process.startDetached()) return true;
  if (error) *error = process.errorString();
  return false;
}

QtServices::QtServices() : starter_(StartDetachedProcess) {}
QtServices::~QtServices() = default;

void QtServices::set_process_starter(ProcessStarter starter) {
  starter_ = starter ? std::move(starter) : ProcessStarter(StartDetachedProcess);
}

int QtServices::DoMessageBox(const QString& text, const QString& caption, MessageIcon icon,
                             MessageButtons buttons, QWidget* owner) {
  QMessageBox::StandardButtons qt_buttons = QMessageBox::Ok;
  QMessageBox::StandardButton first = QMessageBox::Ok;
  switch (buttons) {
    case kButtonsOk:
      break;
    case kButtonsOkCancel:
      qt_buttons = QMessageBox::Ok | QMessageBox::Cancel;
      break;
    case kButtonsYesNo:
      qt_buttons = QMessageBox::Yes | QMessageBox::No;
      first = QMessageBox::Yes;
      break;
    case kButtonsYesNoCancel:
      qt_buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      first = QMessageBox::Yes;
      break;
  }
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QtIcon(icon), caption, shown, qt_buttons, owner);
  box.setDefaultButton(first);
  box.exec();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
      return kResultOk;
    case QMessageBox::Yes:
      return kResultYes;
    case QMessageBox::No:
      return kResultNo;
    default:
      // Closed without a button: Cancel where the box has one (or is OK only), else No.
      if (buttons == kButtonsOk) return kResultOk;
      return buttons == kButtonsYesNo ? kResultNo : kResultCancel;
  }
}

QString QtServices::QtFilter(const QString& filter) {
  QStringList parts = filter.split('|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1].split(';', Qt::SkipEmptyParts).join(' ');
    entries << parts[i] + " (" + patterns + ")";
  }
  return entries.join(QStringLiteral(";;"));
}

std::optional<QString> QtServices::RunFileDialog(const FileDialogRequest& request, bool save) {
  QString dir = QFileInfo(request.initial_dir).isDir() ? request.initial_dir : QDir::currentPath();
  QFileDialog dialog(LastActivatedWindow(), request.title, dir, QtFilter(request.filter));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QString ext = request.default_ext;
  if (ext.startsWith('.')) ext.remove(0, 1);
  if (!ext.isEmpty()) dialog.setDefaultSuffix(ext);
  if (!request.file_name.isEmpty()) dialog.selectFile(request.file_name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

std::optional<QString> QtServices::OpenFileDialog(const FileDialogRequest& request) {
  return RunFileDialog(request, false);
}

std::optional<QString> QtServices::SaveFileDialog(const FileDialogRequest& request) {
  return RunFileDialog(request, true);
}

ServiceResult QtServices::Print(const PrintJob& job) {
  if (!pdf_folder_.isEmpty()) return PrintToPdf(job, PdfFileFor(pdf_folder_, job.title));
  QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return {false, QStringLiteral("There is no default printer.")};
  QPrinter printer(info, QPrinter::HighResolution);
  printer.setDocName(job.title);
  printer.setCreator(ApplicationTitle());
  return PrintOn(job, &printer);
}

int QtServices::ShellOpen(const QString& file, const QString& parameters, const QString& folder,
                          int /*show_command*/) {
  QFileInfo info(file);
  if (!info.exists()) return info.dir().exists() ? kShellFileNotFound : kShellPathNotFound;
  QString error;
  if (info.isFile() && info.isExecutable()) {
    if (!starter_(info.absoluteFilePath(), QProcess::splitCommand(parameters), folder, &error))
      return kShellAccessDenied;
    return kShellOk;
  }
  // The opener runs in `folder`: give it the name as this process resolves it.
  if (!starter_(opener_, QStringList{info.absoluteFilePath()}, folder, &error))
    return kShellNoAssociation;
  return kShellOk;
}

ServiceResult QtServices::ShowHelp(const QString& file, int /*context*/) {
  int code = ShellOpen(file, QString(), QString(), 5);
  if (code > 32) return {true, QString()};
  return {false, QStringLiteral("Cannot open the help file ") + file};
}

void QtServices::SetClipboardText(const QString& text, const QString& html) {
  auto* data = new QMimeData;
  data->setText(text);
  if (!html.isEmpty()) data->setHtml(html);
  QGuiApplication::clipboard()->setMimeData(data);
}

QString QtServices::ClipboardText() { return QGuiApplication::clipboard()->text(); }

std::optional<QString> QtServices::SelectionText() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard->supportsSelection()) return std::nullopt;
  return clipboard->text(QClipboard::Selection);
}

void QtServices::Beep() { QApplication::beep(); }

void QtServices::Quit() { RequestTerminate(); }

ServiceResult QtServices::Restart() {
  QString program = QFile::decodeName(platform::ProgramPath().c_str());
  QStringList arguments = QCoreApplication::arguments().mid(1);
  QString error;
  if (!starter_(program, arguments, QDir::currentPath(), &error)) return {false, error};
  return {true, QString()};
}

uint32_t QtServices::RandomSeed() { return ClockRandomSeed(); }

}  // namespace platform::gui
