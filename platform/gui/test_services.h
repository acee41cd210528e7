// The test services: every call is recorded in order, message boxes and dialogs are answered
// from a script the test gives, and nothing reaches the desktop. A box or dialog the test did
// not script is a failure reported at once through the failure handler, and is answered
// Cancel; no window ever opens. Print jobs are kept in memory and, when a folder is given,
// also printed into PDF files there.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/gui/services.h"

namespace platform::gui {

class TestServices : public Services {
 public:
  // One recorded call: its kind ("MessageBox", "OpenDialog", "SaveDialog", "Print",
  // "ShellOpen", "Help", "SetClipboard", "Clipboard", "Selection", "Beep", "Quit", "Restart",
  // "RandomSeed"), its arguments as texts, and the answer it got as text.
  //   MessageBox: caption, text, icon number, buttons number; result: the button's number.
  //   OpenDialog, SaveDialog: title, filter, default extension, folder, file name; result:
  //     the name chosen, empty when cancelled.
  //   Print: title, text; result "ok" or the error. ShellOpen: file, parameters, folder,
  //   show command; result: the code. Help: file, context; result "ok" or the error.
  //   SetClipboard: text, html.
  //   Selection: result: the primary selection's text, "(none)" without one.
  struct Call {
    std::string kind;
    QStringList args;
    QString result;
  };

  using FailureHandler = std::function<void(const std::string& message)>;
  // The process-wide handler for failures (an unscripted box or dialog, a scripted answer
  // that did not fit or was never used). The default prints the message and aborts; the Qt
  // test main installs one that fails the running test.
  static void SetFailureHandler(FailureHandler handler);

  // Makes itself Services::Current(); the destructor restores the one current before and
  // reports scripted answers that were never used.
  TestServices();
  ~TestServices() override;

  // Script: the next message box is answered `answer` (platform::MessageResult). When
  // `expected_text` is not empty, the box's text must contain it.
  void AnswerBox(int answer, const QString& expected_text = QString());
  // Script: the next open (save) dialog chooses `name`, or is cancelled with std::nullopt.
  void AnswerOpenDialog(std::optional<QString> name);
  // Called with each message box's text and owner window (nullptr: none) as the box is shown,
  // before it is answered; lets a test look at the screen while the box stands.
  void set_box_observer(std::function<void(const QString& text, QWidget* owner)> observer) {
    box_observer_ = std::move(observer);
  }
  void AnswerSaveDialog(std::optional<QString> name);
  // Results of the calls that need no script.
  void set_shell_open_result(int code) { shell_open_result_ = code; }
  void set_print_result(ServiceResult result) { print_result_ = std::move(result); }
  void set_restart_result(ServiceResult result) { restart_result_ = std::move(result); }
  void set_help_result(ServiceResult result) { help_result_ = std::move(result); }
  void set_random_seed(uint32_t seed) { random_seed_ = seed; }
  // The primary selection the middle button pastes; nothing (the default) is a platform
  // without one.
  void set_selection_text(std::optional<QString> text) { selection_text_ = std::move(text); }
  // Print jobs also go into PDF files "<n>.pdf" (1, 2, ...) in `folder`.
  void set_pdf_folder(const QString& folder) { pdf_folder_ = folder; }

  const std::vector<Call>& calls() const { return calls_; }
  // The kinds of the recorded calls, in order.
  std::vector<std::string> CallKinds() const;
  // The calls of one kind, in order.
  std::vector<Call> CallsOf(const std::string& kind) const;
  const std::vector<PrintJob>& printed() const { return printed_; }
  const std::vector<QString>& pdf_files() const { return pdf_files_; }
  // The clipboard's text and HTML as last set.
  const QString& clipboard_html() const { return clipboard_html_; }
  // True when every scripted answer has been used.
  bool ScriptDone() const { return boxes_.empty() && open_.empty() && save_.empty(); }

  std::optional<QString> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<QString> SaveFileDialog(const FileDialogRequest& request) override;
  ServiceResult Print(const PrintJob& job) override;
  int ShellOpen(const QString& file, const QString& parameters, const QString& folder,
                int show_command) override;
  ServiceResult ShowHelp(const QString& file, int context) override;
  void SetClipboardText(const QString& text, const QString& html = QString()) override;
  QString ClipboardText() override;
  std::optional<QString> SelectionText() override;
  void Beep() override;
  void Quit() override;
  ServiceResult Restart() override;
  uint32_t RandomSeed() override;

 protected:
  int DoMessageBox(const QString& text, const QString& caption, MessageIcon icon,
                   MessageButtons buttons, QWidget* owner) override;

 private:
  struct BoxAnswer {
    int answer;
    QString expected_text;
  };
  std::optional<QString> Dialog(const char* kind, const FileDialogRequest& request,
                                std::deque<std::optional<QString>>* script);
  static void Fail(const std::string& message);

  Services* previous_;
  std::function<void(const QString&, QWidget*)> box_observer_;
  std::vector<Call> calls_;
  std::deque<BoxAnswer> boxes_;
  std::deque<std::optional<QString>> open_;
  std::deque<std::optional<QString>> save_;
  std::vector<PrintJob> printed_;
  std::vector<QString> pdf_files_;
  QString pdf_folder_;
  QString clipboard_text_;
  QString clipboard_html_;
  std::optional<QString> selection_text_;
  int shell_open_result_ = kShellOk;
  ServiceResult print_result_{true, QString()};
  ServiceResult restart_result_{true, QString()};
  ServiceResult help_result_{true, QString()};
  uint32_t random_seed_ = 1;
};

}  // namespace platform::gui
