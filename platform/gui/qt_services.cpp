#include "platform/gui/qt_services.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <cstring>
#include <vector>

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

namespace {

// The watched start of StartDetachedProcess. Everything the processes after the fork need is
// prepared before it: between fork and exec only async-signal-safe calls are made (the program
// has other threads). The intermediate child starts the program, polls it for the wait and
// ends with 0 when it still runs or ended successfully, else with its status (128 + the
// signal for one that was killed); the program is then reparented and reaped by init. A
// close-on-exec pipe brings an exec failure's errno back.
bool StartWatched(const QString& program, const QStringList& arguments, const QString& folder,
                  int wait_ms, QString* error) {
  const QString path = program.contains('/') ? program : QStandardPaths::findExecutable(program);
  if (path.isEmpty()) {
    if (error) *error = QStringLiteral("No such program: ") + program;
    return false;
  }
  std::vector<QByteArray> texts;
  texts.push_back(QFile::encodeName(path));
  for (const QString& argument : arguments) texts.push_back(QFile::encodeName(argument));
  std::vector<char*> argv;
  for (QByteArray& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  const QByteArray dir = QFile::encodeName(folder);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    if (error) *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  const pid_t watcher = ::fork();
  if (watcher < 0) {
    const int e = errno;
    ::close(report[0]);
    ::close(report[1]);
    if (error) *error = QString::fromLocal8Bit(std::strerror(e));
    return false;
  }
  if (watcher == 0) {
    ::close(report[0]);
    const pid_t child = ::fork();
    if (child < 0) ::_exit(127);
    if (child == 0) {
      ::setsid();
      const int null_fd = ::open("/dev/null", O_RDONLY);
      if (null_fd >= 0) ::dup2(null_fd, STDIN_FILENO);
      int e = 0;
      if (!dir.isEmpty() && ::chdir(dir.constData()) != 0) {
        e = errno;
      } else {
        ::execv(argv[0], argv.data());
        e = errno;
      }
      [[maybe_unused]] const ssize_t n = ::write(report[1], &e, sizeof e);
      ::_exit(127);
    }
    ::close(report[1]);
    struct timespec now, deadline;
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += wait_ms / 1000;
    deadline.tv_nsec += (wait_ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    const struct timespec pause = {0, 10000000L};
    while (true) {
      int status = 0;
      const pid_t done = ::waitpid(child, &status, WNOHANG);
      if (done == child) {
        if (WIFEXITED(status)) ::_exit(WEXITSTATUS(status));
        ::_exit(WIFSIGNALED(status) ? (128 + WTERMSIG(status)) & 0xFF : 1);
      }
      if (done < 0) ::_exit(0);
      ::clock_gettime(CLOCK_MONOTONIC, &now);
      if (now.tv_sec > deadline.tv_sec ||
          (now.tv_sec == deadline.tv_sec && now.tv_nsec >= deadline.tv_nsec))
        ::_exit(0);
      ::nanosleep(&pause, nullptr);
    }
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(watcher, &status, 0) < 0 && errno == EINTR) {
  }
  int exec_errno = 0;
  const bool exec_failed = ::read(report[0], &exec_errno, sizeof exec_errno) == sizeof exec_errno;
  ::close(report[0]);
  if (exec_failed) {
    if (error) *error = QString::fromLocal8Bit(std::strerror(exec_errno));
    return false;
  }
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
  if (code != 0) {
    if (error) *error = program + QStringLiteral(" ended with status ") + QString::number(code);
    return false;
  }
  return true;
}

}  // namespace

namespace {

// A descriptor of `fd`'s pipe above the range a child's standard and report descriptors take,
// close-on-exec; `fd` itself is closed.
int MoveHigh(int fd) {
  const int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
  ::close(fd);
  return high;
}

void SetError(QString* error, int e) {
  if (error) *error = QString::fromLocal8Bit(std::strerror(e));
}

}  // namespace

int StartWithReportPipe(const QString& program, const QStringList& arguments, const QString& folder,
                        QString* error) {
  const QString path = program.contains('/') ? program : QStandardPaths::findExecutable(program);
  if (path.isEmpty()) {
    if (error) *error = QStringLiteral("No such program: ") + program;
    return -1;
  }
  std::vector<QByteArray> texts;
  texts.push_back(QFile::encodeName(path));
  for (const QString& argument : arguments) texts.push_back(QFile::encodeName(argument));
  std::vector<char*> argv;
  for (QByteArray& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  const QByteArray dir = QFile::encodeName(folder);
  // The report pipe, and a pipe that brings an exec failure's errno back; all four ends lie
  // above the descriptors the child sets up, so none of them is overwritten there.
  int report[2], failure[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    SetError(error, errno);
    return -1;
  }
  if (::pipe2(failure, O_CLOEXEC) != 0) {
    const int e = errno;
    ::close(report[0]);
    ::close(report[1]);
    SetError(error, e);
    return -1;
  }
  for (int* fd : {&report[0], &report[1], &failure[0], &failure[1]}) *fd = MoveHigh(*fd);
  if (report[0] < 0 || report[1] < 0 || failure[0] < 0 || failure[1] < 0) {
    const int e = errno;
    for (int fd : {report[0], report[1], failure[0], failure[1]})
      if (fd >= 0) ::close(fd);
    SetError(error, e);
    return -1;
  }
  const pid_t intermediate = ::fork();
  if (intermediate < 0) {
    const int e = errno;
    for (int fd : {report[0], report[1], failure[0], failure[1]}) ::close(fd);
    SetError(error, e);
    return -1;
  }
  if (intermediate == 0) {
    // Only async-signal-safe calls from here on.
    const pid_t child = ::fork();
    if (child < 0) {
      const int e = errno;
      [[maybe_unused]] const ssize_t n = ::write(failure[1], &e, sizeof e);
      ::_exit(127);
    }
    if (child > 0) ::_exit(0);
    ::setsid();
    const int null_fd = ::open("/dev/null", O_RDONLY);
    if (null_fd >= 0 && null_fd != STDIN_FILENO) {
      ::dup2(null_fd, STDIN_FILENO);
      ::close(null_fd);
    }
    int e = 0;
    if (::dup2(report[1], QtServices::kReportFd) < 0) {
      e = errno;
    } else if (!dir.isEmpty() && ::chdir(dir.constData()) != 0) {
      e = errno;
    } else {
      ::execv(argv[0], argv.data());
      e = errno;
    }
    [[maybe_unused]] const ssize_t n = ::write(failure[1], &e, sizeof e);
    ::_exit(127);
  }
  ::close(report[1]);
  ::close(failure[1]);
  int status = 0;
  while (::waitpid(intermediate, &status, 0) < 0 && errno == EINTR) {
  }
  // The failure pipe closes without a word once the program's exec succeeded.
  int exec_errno = 0;
  ssize_t got;
  while ((got = ::read(failure[0], &exec_errno, sizeof exec_errno)) < 0 && errno == EINTR) {
  }
  ::close(failure[0]);
  if (got == sizeof exec_errno) {
    ::close(report[0]);
    SetError(error, exec_errno);
    return -1;
  }
  return report[0];
}

bool StartDetachedProcess(const QString& program, const QStringList& arguments,
                          const QString& folder, int wait_ms, QString* error) {
  if (wait_ms > 0) return StartWatched(program, arguments, folder, wait_ms, error);
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  if (!folder.isEmpty()) process.setWorkingDirectory(folder);
  process.setStandardInputFile(QProcess::nullDevice());
  if (process.startDetached()) return true;
  if (error) *error = process.errorString();
  return false;
}

QtServices::QtServices() : starter_(StartDetachedProcess), pipe_starter_(StartWithReportPipe) {}
QtServices::~QtServices() = default;

void QtServices::set_process_starter(ProcessStarter starter) {
  starter_ = starter ? std::move(starter) : ProcessStarter(StartDetachedProcess);
}

void QtServices::set_pipe_starter(PipeStarter starter) {
  pipe_starter_ = starter ? std::move(starter) : PipeStarter(StartWithReportPipe);
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

namespace {

// Reads the viewer's report line from `fd`, waiting at most `wait_ms` in all. Returns the
// line without its end; nullopt on silence; an empty text when the pipe closed first.
std::optional<QByteArray> ReadReportLine(int fd, int wait_ms) {
  QByteArray line;
  QElapsedTimer timer;
  timer.start();
  while (true) {
    const qint64 left = wait_ms - timer.elapsed();
    if (left <= 0) return std::nullopt;
    struct pollfd p = {fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return ready == 0 ? std::nullopt : std::optional<QByteArray>(QByteArray());
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return QByteArray();
    line.append(buffer, n);
    const qsizetype end = line.indexOf('\n');
    if (end >= 0) return line.left(end);
    if (line.size() > 4096) return QByteArray();
  }
}

bool IsPdfName(const QString& file) {
  return file.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive);
}

}  // namespace

int QtServices::OpenInViewer(const QString& viewer, const QString& file, const QString& folder) {
  viewer_pid_ = 0;
  const QFileInfo info(file);
  const QStringList arguments = {QStringLiteral("--report-fd"), QString::number(kReportFd),
                                 info.absoluteFilePath(), info.fileName()};
  QString error;
  const int fd = pipe_starter_(viewer, arguments, folder, &error);
  if (fd < 0) return kShellAccessDenied;
  const std::optional<QByteArray> line = ReadReportLine(fd, viewer_wait_ms_);
  ::close(fd);
  if (!line) return kShellTimeout;
  int code = kShellNoAssociation;
  QByteArray rest;
  for (const auto& [word, result] : {std::pair<QByteArray, int>{"shown", kShellOk},
                                     {"taken over", kShellOk},
                                     {"cannot open", kShellBadFormat}}) {
    if (line->startsWith(word + ' ') || *line == word) {
      code = result;
      rest = line->mid(word.size()).trimmed();
      break;
    }
  }
  bool number = false;
  const qint64 pid = rest.toLongLong(&number);
  if (number && pid > 0) viewer_pid_ = pid;
  return code;
}

int QtServices::ShellOpen(const QString& file, const QString& parameters, const QString& folder,
                          int /*show_command*/) {
  QFileInfo info(file);
  if (!info.exists()) return info.dir().exists() ? kShellFileNotFound : kShellPathNotFound;
  QString error;
  if (info.isFile() && IsPdfName(file)) {
    // Our own viewer, which the book jump can steer; the desktop's opener without it.
    const QFileInfo viewer(QFile::decodeName(platform::ProgramDir().c_str()) + kViewerName);
    if (viewer.isFile() && viewer.isExecutable())
      return OpenInViewer(viewer.absoluteFilePath(), file, folder);
  } else if (info.isFile() && info.isExecutable()) {
    if (!starter_(info.absoluteFilePath(), QProcess::splitCommand(parameters), folder, 0, &error))
      return kShellAccessDenied;
    return kShellOk;
  }
  // The opener runs in `folder`: give it the name as this process resolves it.
  if (!starter_(opener_, QStringList{info.absoluteFilePath()}, folder, kOpenerWaitMs, &error))
    return kShellNoAssociation;
  return kShellOk;
}

ServiceResult QtServices::ShowHelp(const QString& file, int /*context*/) {
  return {false, QStringLiteral("Cannot show the help file ") + file +
                     QStringLiteral(": help files cannot be shown on this system.")};
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
  QString error;
  if (!starter_(program, QStringList(), QDir::currentPath(), 0, &error)) return {false, error};
  return {true, QString()};
}

uint32_t QtServices::RandomSeed() { return ClockRandomSeed(); }

}  // namespace platform::gui
