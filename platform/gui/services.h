// The services seam: every side effect of the windows that a test must see or answer goes
// through one interface, with a process-wide current instance. QtServices (qt_services.h) is
// the real implementation; TestServices (test_services.h) records every call and answers from
// a script. Windows reach the current instance through Services::Current().
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "platform/core/halt.h"

class QPrinter;
class QWidget;

namespace platform::gui {

// An open or save dialog as the windows describe it.
struct FileDialogRequest {
  QString title;        // caption; empty gives the toolkit's own
  QString filter;       // "description|pattern[;pattern]|description|pattern..."
  QString default_ext;  // appended to a chosen name without extension ("txt" or ".txt")
  QString initial_dir;  // folder shown first; a folder that does not exist is ignored
  QString file_name;    // name proposed in the dialog
};

// One print job: the text of a rich edit (lines separated by "\n"), printed in `font` under
// the job title `title`.
struct PrintJob {
  QString title;
  QString text;
  QFont font;
};

// The result of an operation that can fail without asking the user.
struct ServiceResult {
  bool ok = false;
  QString error;  // why it failed; empty on success
};

// Result codes of ShellOpen, in the numbering callers of the shell's open operation know:
// above 32 is success.
enum ShellOpenCode {
  kShellFileNotFound = 2,
  kShellPathNotFound = 3,
  kShellAccessDenied = 5,
  kShellBadFormat = 11,      // the program for the file could not read it
  kShellTimeout = 28,        // the program for the file did not answer in time
  kShellNoAssociation = 31,  // the desktop opener is missing or would not start
  kShellOk = 42,
};

class Services {
 public:
  Services() = default;
  Services(const Services&) = delete;
  Services& operator=(const Services&) = delete;
  virtual ~Services();

  // The current instance. Without one set, a process-wide QtServices is made on first use.
  static Services& Current();
  // Makes `services` current (nullptr: back to the process-wide QtServices) and returns the
  // one that was current before (nullptr when none was set).
  static Services* SetCurrent(Services* services);

  // Shows a modal message box and returns the button chosen (platform::MessageResult). An
  // empty caption gives ApplicationTitle(). `owner` is the window the box belongs to; nullptr
  // means the window of ours that was activated last. When the box closes, the owner's
  // activation runs again once the handler that showed the box has returned (activation.h).
  int MessageBox(const QString& text, const QString& caption, MessageIcon icon,
                 MessageButtons buttons, QWidget* owner = nullptr);
  // A plain box with the application title and one OK button.
  void ShowMessage(const QString& text, QWidget* owner = nullptr);

  // Modal open and save dialogs: the full name chosen, or nothing when cancelled.
  virtual std::optional<QString> OpenFileDialog(const FileDialogRequest& request) = 0;
  virtual std::optional<QString> SaveFileDialog(const FileDialogRequest& request) = 0;

  // Prints the job as one print job on the default printer (or where the implementation is
  // told to print, such as a PDF file). Fails when no printer is available.
  virtual ServiceResult Print(const PrintJob& job) = 0;

  // The shell's open operation behind LaunchFile: a regular file with an execute bit starts
  // directly with `parameters` (split at blanks, double quotes grouping) as its arguments; a
  // PDF book (a name ending ".pdf" in any case) opens in the program's own book viewer and
  // returns once the viewer shows it; anything else opens with the desktop's opener, the name
  // as its one argument. `folder` (when not empty) is the working folder of the started
  // program. No shell runs in between. `show_command` is passed through (the desktop decides
  // how windows appear). Returns a ShellOpenCode.
  virtual int ShellOpen(const QString& file, const QString& parameters, const QString& folder,
                        int show_command) = 0;

  // Shows the help file `file` at the help context `context`. Fails, with a text that names
  // the file, where it cannot be shown.
  virtual ServiceResult ShowHelp(const QString& file, int context) = 0;

  // The clipboard: plain text, with an HTML form for rich text when given.
  virtual void SetClipboardText(const QString& text, const QString& html = QString()) = 0;
  virtual QString ClipboardText() = 0;
  // The X primary selection (the text selected last, which the middle button pastes); nothing
  // where the platform has no such selection.
  virtual std::optional<QString> SelectionText() = 0;

  virtual void Beep() = 0;

  // Ends the program: RequestTerminate() (application.h).
  virtual void Quit() = 0;
  // Starts the running program again, detached, in the current folder: its own path, with no
  // arguments. Fails, with the reason, when it could not start.
  virtual ServiceResult Restart() = 0;

  // The seed of the program's random generator, taken from the clock.
  virtual uint32_t RandomSeed() = 0;

 protected:
  virtual int DoMessageBox(const QString& text, const QString& caption, MessageIcon icon,
                           MessageButtons buttons, QWidget* owner) = 0;
};

// The title boxes without a caption of their own carry: the application's display name (the
// program's file name unless the program sets one).
QString ApplicationTitle();

// Prints `job` into the PDF file `path` (its document title is the job title).
ServiceResult PrintToPdf(const PrintJob& job, const QString& path);
// Prints `job` on a set-up printer as one job: the text laid out in the job's font (a pixel
// size counts at 96 dpi), wrapped to the page and split into pages.
ServiceResult PrintOn(const PrintJob& job, QPrinter* printer);

// The random seed from the current UTC time of day:
// ((hour * 60 + minute) * 60 + second) * 1000 + millisecond.
uint32_t ClockRandomSeed();

}  // namespace platform::gui
