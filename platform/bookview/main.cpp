// bookview: the viewer the programs open their PDF book in.
//   bookview [--report-fd N] <book> [<name>]
// <name> (by default the book's file name) makes the title "Acrobat Reader - [<name>]". With
// --report-fd the viewer writes one line on descriptor N and closes it: "shown <pid>" once its
// window is on the screen, "taken over <pid>" when the viewer of that pid already showed the
// book and came to the front (this one then ends), "cannot open <pid>" when the book cannot be
// read (a box then says why, and the viewer ends with status 1). With BOOKVIEW_PAGE_LOG naming
// a file or a fifo, every page shown is written to it as a line "page <n>" (1-based), for tests.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPdfDocument>
#include <QWindow>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/bookview/book_window.h"
#include "platform/bookview/viewer_instance.h"

namespace bookview {
namespace {

void WriteLine(int fd, const QByteArray& line) {
  const QByteArray text = line + '\n';
  qsizetype done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.constData() + done, static_cast<size_t>(text.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += n;
  }
}

// The one report line to the program that started the viewer.
class Report {
 public:
  explicit Report(int fd) : fd_(fd) {}
  // Sends "<what> <pid>"; by default the pid is this process's.
  void Send(const char* what, qint64 pid = QCoreApplication::applicationPid()) {
    if (fd_ < 0) return;
    WriteLine(fd_, QByteArray(what) + ' ' + QByteArray::number(pid));
    ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// The page log of BOOKVIEW_PAGE_LOG; nothing without it.
class PageLog {
 public:
  PageLog() {
    const QByteArray path = qgetenv("BOOKVIEW_PAGE_LOG");
    if (!path.isEmpty())
      fd_ = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
  }
  ~PageLog() {
    if (fd_ >= 0) ::close(fd_);
  }
  PageLog(const PageLog&) = delete;
  PageLog& operator=(const PageLog&) = delete;
  void Page(int page) {
    if (fd_ >= 0) WriteLine(fd_, "page " + QByteArray::number(page));
  }

 private:
  int fd_ = -1;
};

// Sends "shown" at the first expose of the window.
class ShownReporter : public QObject {
 public:
  explicit ShownReporter(Report* report) : report_(report) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose) {
      auto* window = qobject_cast<QWindow*>(watched);
      if (window && window->isExposed()) {
        report_->Send("shown");
        window->removeEventFilter(this);
      }
    }
    return false;
  }

 private:
  Report* report_;
};

int Usage() {
  std::fprintf(stderr, "usage: bookview [--report-fd N] <book> [<name>]\n");
  return 2;
}

int Run(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("bookview"));
  QStringList arguments = QCoreApplication::arguments().mid(1);
  int report_fd = -1;
  if (arguments.size() >= 2 && arguments[0] == QLatin1String("--report-fd")) {
    bool number = false;
    report_fd = arguments[1].toInt(&number);
    if (!number || report_fd < 0) return Usage();
    ::fcntl(report_fd, F_SETFD, FD_CLOEXEC);
    arguments = arguments.mid(2);
  }
  if (arguments.isEmpty() || arguments.size() > 2) return Usage();
  const QString book = arguments[0];
  const QString name = arguments.size() > 1 ? arguments[1] : QFileInfo(book).fileName();
  Report report(report_fd);
  PageLog log;

  ViewerInstance instance(book);
  const bool locked = instance.Lock();
  if (const qint64 pid = instance.HandOver()) {
    report.Send("taken over", pid);
    return 0;
  }

  QPdfDocument document;
  const QPdfDocument::Error error = document.load(book);
  if (error != QPdfDocument::Error::None || document.pageCount() < 1) {
    if (locked) instance.Unlock();
    report.Send("cannot open");
    QString reason;
    switch (error) {
      case QPdfDocument::Error::FileNotFound:
        reason = QStringLiteral("The file does not exist.");
        break;
      case QPdfDocument::Error::InvalidFileFormat:
        reason = QStringLiteral("The file is not a PDF document, or it is damaged.");
        break;
      case QPdfDocument::Error::IncorrectPassword:
        reason = QStringLiteral("The document is protected by a password.");
        break;
      case QPdfDocument::Error::UnsupportedSecurityScheme:
        reason = QStringLiteral("The document's protection is not supported.");
        break;
      default:
        reason = QStringLiteral("The document cannot be read.");
        break;
    }
    QMessageBox::critical(nullptr, BookWindow::TitleFor(name),
                          QStringLiteral("Cannot open %1.\n%2").arg(name, reason));
    return 1;
  }

  BookWindow window(&document, name);
  window.OnPageShown = [&log](int page) { log.Page(page); };
  instance.Listen([&window] { window.BringToFront(); });
  if (locked) instance.Unlock();
  ShownReporter shown(&report);
  window.winId();  // creates the platform window, so its exposure can be watched
  window.windowHandle()->installEventFilter(&shown);
  window.show();
  log.Page(window.CurrentPage() + 1);
  return application.exec();
}

}  // namespace
}  // namespace bookview

int main(int argc, char** argv) {
  // A report or log whose reader has gone is no reason to end.
  ::signal(SIGPIPE, SIG_IGN);
  return bookview::Run(argc, argv);
}
