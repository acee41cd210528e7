// The real services: Qt message boxes and file dialogs, printing through QPrinter on the
// default (CUPS) printer or into PDF files, the desktop's opener for documents and a direct
// start for programs, the clipboard through Qt.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/gui/services.h"

namespace platform::gui {

class QtServices : public Services {
 public:
  // Starts `program` with `arguments` in `folder` (empty: the current folder), detached, with
  // no shell in between. With `wait_ms` above 0 it waits up to that long for the program to
  // end: one that ends with a failure by then counts as not started; one still running then
  // counts as started. Returns false with a reason when it could not start.
  using ProcessStarter = std::function<bool(const QString& program, const QStringList& arguments,
                                            const QString& folder, int wait_ms, QString* error)>;

  // Starts `program` with `arguments` in `folder` (empty: the current folder), detached, with
  // no shell in between, and with the write end of a new pipe as the program's descriptor
  // kReportFd. Returns the pipe's read end (close-on-exec; the caller closes it), or -1 with
  // a reason when the program could not start.
  using PipeStarter = std::function<int(const QString& program, const QStringList& arguments,
                                        const QString& folder, QString* error)>;

  // How long ShellOpen waits for the desktop's opener to fail.
  static constexpr int kOpenerWaitMs = 2000;
  // The book viewer: its file name in the program's folder, the descriptor its report comes
  // on, and how long ShellOpen waits for the report.
  static constexpr const char* kViewerName = "bookview";
  static constexpr int kReportFd = 3;
  static constexpr int kViewerWaitMs = 10000;

  QtServices();
  ~QtServices() override;

  std::optional<QString> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<QString> SaveFileDialog(const FileDialogRequest& request) override;
  ServiceResult Print(const PrintJob& job) override;
  // The desktop's opener is watched for kOpenerWaitMs: one that ends with a failure by then
  // (it found no program for the file, or the program failed) gives kShellNoAssociation.
  // A PDF book goes to the viewer kViewerName of platform::ProgramDir() (to the opener when
  // there is none), started as
  //   bookview --report-fd 3 <the book's full path> <the book's name as given>
  // and ShellOpen returns on its report, a line on descriptor kReportFd: "shown <pid>" (it
  // shows the book) and "taken over <pid>" (a viewer already showing it, of that pid, came to
  // the front) give kShellOk, "cannot open <pid>" kShellBadFormat; a viewer that ends without
  // a report gives kShellNoAssociation, one that says nothing within the wait kShellTimeout.
  int ShellOpen(const QString& file, const QString& parameters, const QString& folder,
                int show_command) override;
  // Help files need an engine of their own, which this platform lacks: always fails, with a
  // text that names the file.
  ServiceResult ShowHelp(const QString& file, int context) override;
  void SetClipboardText(const QString& text, const QString& html = QString()) override;
  QString ClipboardText() override;
  std::optional<QString> SelectionText() override;
  void Beep() override;
  void Quit() override;
  ServiceResult Restart() override;
  uint32_t RandomSeed() override;

  // When set, print jobs go into PDF files in `folder` ("<title>.pdf", numbered when that
  // exists) instead of the printer. Empty: the default printer.
  void set_pdf_folder(const QString& folder) { pdf_folder_ = folder; }
  // The desktop's opener (default "xdg-open", looked up in PATH).
  void set_opener(const QString& program) { opener_ = program; }
  // Replaces the way programs are started (default: QProcess::startDetached).
  void set_process_starter(ProcessStarter starter);
  // Replaces the way the book viewer is started with its report pipe (default:
  // StartWithReportPipe).
  void set_pipe_starter(PipeStarter starter);
  // How long ShellOpen waits for the viewer's report (default kViewerWaitMs).
  void set_viewer_wait_ms(int wait_ms) { viewer_wait_ms_ = wait_ms; }
  // The pid the viewer's last report carried; 0 before one, or when it carried none.
  qint64 viewer_pid() const { return viewer_pid_; }

  // "description|pattern;pattern|..." in Qt's form "description (pattern pattern);;...".
  static QString QtFilter(const QString& filter);

 protected:
  int DoMessageBox(const QString& text, const QString& caption, MessageIcon icon,
                   MessageButtons buttons, QWidget* owner) override;

 private:
  std::optional<QString> RunFileDialog(const FileDialogRequest& request, bool save);
  // Opens the book `info` (given as `file`) in `viewer` and waits for the report.
  int OpenInViewer(const QString& viewer, const QString& file, const QString& folder);

  QString pdf_folder_;
  QString opener_ = QStringLiteral("xdg-open");
  ProcessStarter starter_;
  PipeStarter pipe_starter_;
  int viewer_wait_ms_ = kViewerWaitMs;
  qint64 viewer_pid_ = 0;
};

// Starts a program detached (the default ProcessStarter). Without a wait through QProcess;
// with one through an intermediate process that watches the program for the wait and then
// leaves it running on its own, so that a program still running is never ended by us or left
// unreaped.
bool StartDetachedProcess(const QString& program, const QStringList& arguments,
                          const QString& folder, int wait_ms, QString* error);

// Starts a program detached with a report pipe (the default PipeStarter): through an
// intermediate process that ends at once, so the program is nobody's child of ours; the
// pipe's write end becomes its descriptor QtServices::kReportFd.
int StartWithReportPipe(const QString& program, const QStringList& arguments, const QString& folder,
                        QString* error);

}  // namespace platform::gui
