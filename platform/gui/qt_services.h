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

  // How long ShellOpen waits for the desktop's opener to fail.
  static constexpr int kOpenerWaitMs = 2000;

  QtServices();
  ~QtServices() override;

  std::optional<QString> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<QString> SaveFileDialog(const FileDialogRequest& request) override;
  ServiceResult Print(const PrintJob& job) override;
  // The desktop's opener is watched for kOpenerWaitMs: one that ends with a failure by then
  // (it found no program for the file, or the program failed) gives kShellNoAssociation.
  int ShellOpen(const QString& file, const QString& parameters, const QString& folder,
                int show_command) override;
  // No viewer for help files exists on this platform's desktop: the help file is opened with
  // the desktop's opener (the context is not passed on). Fails when the file is missing or
  // the opener does not start.
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

  // "description|pattern;pattern|..." in Qt's form "description (pattern pattern);;...".
  static QString QtFilter(const QString& filter);

 protected:
  int DoMessageBox(const QString& text, const QString& caption, MessageIcon icon,
                   MessageButtons buttons, QWidget* owner) override;

 private:
  std::optional<QString> RunFileDialog(const FileDialogRequest& request, bool save);

  QString pdf_folder_;
  QString opener_ = QStringLiteral("xdg-open");
  ProcessStarter starter_;
};

// Starts a program detached (the default ProcessStarter). Without a wait through QProcess;
// with one through an intermediate process that watches the program for the wait and then
// leaves it running on its own, so that a program still running is never ended by us or left
// unreaped.
bool StartDetachedProcess(const QString& program, const QStringList& arguments,
                          const QString& folder, int wait_ms, QString* error);

}  // namespace platform::gui
