#include "platform/gui/test_services.h"

#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "platform/gui/application.h"

namespace platform::gui {
namespace {

TestServices::FailureHandler& Handler() {
  static TestServices::FailureHandler handler;
  return handler;
}

QString Describe(const QString& text) { return text.size() > 200 ? text.left(200) + "..." : text; }

}  // namespace

void TestServices::SetFailureHandler(FailureHandler handler) { Handler() = std::move(handler); }

void TestServices::Fail(const std::string& message) {
  if (Handler()) {
    Handler()(message);
    return;
  }
  std::fprintf(stderr, "TestServices: %s\n", message.c_str());
  std::abort();
}

TestServices::TestServices() : previous_(Services::SetCurrent(this)) {}

TestServices::~TestServices() {
  Services::SetCurrent(previous_);
  if (!ScriptDone()) {
    Fail(std::to_string(boxes_.size()) + " scripted box answer(s), " +
         std::to_string(open_.size()) + " open and " + std::to_string(save_.size()) +
         " save dialog answer(s) were never used");
  }
}

void TestServices::AnswerBox(int answer, const QString& expected_text) {
  boxes_.push_back({answer, expected_text});
}

void TestServices::AnswerOpenDialog(std::optional<QString> name) {
  open_.push_back(std::move(name));
}

void TestServices::AnswerSaveDialog(std::optional<QString> name) {
  save_.push_back(std::move(name));
}

std::vector<std::string> TestServices::CallKinds() const {
  std::vector<std::string> kinds;
  for (const Call& call : calls_) kinds.push_back(call.kind);
  return kinds;
}

std::vector<TestServices::Call> TestServices::CallsOf(const std::string& kind) const {
  std::vector<Call> result;
  for (const Call& call : calls_) {
    if (call.kind == kind) result.push_back(call);
  }
  return result;
}

int TestServices::DoMessageBox(const QString& text, const QString& caption, MessageIcon icon,
                               MessageButtons buttons, QWidget* owner) {
  if (box_observer_) box_observer_(text, owner);
  int answer = kResultCancel;
  if (boxes_.empty()) {
    Fail("unscripted message box \"" + Describe(caption).toStdString() + "\": \"" +
         Describe(text).toStdString() + "\"");
  } else {
    BoxAnswer scripted = boxes_.front();
    boxes_.pop_front();
    answer = scripted.answer;
    if (!scripted.expected_text.isEmpty() && !text.contains(scripted.expected_text)) {
      Fail("message box \"" + Describe(text).toStdString() + "\" does not contain \"" +
           scripted.expected_text.toStdString() + "\"");
    }
  }
  calls_.push_back({"MessageBox",
                    {caption, text, QString::number(icon), QString::number(buttons)},
                    QString::number(answer)});
  return answer;
}

std::optional<QString> TestServices::Dialog(const char* kind, const FileDialogRequest& request,
                                            std::deque<std::optional<QString>>* script) {
  std::optional<QString> answer;
  if (script->empty()) {
    Fail(std::string("unscripted ") + kind + " \"" + request.title.toStdString() + "\"");
  } else {
    answer = script->front();
    script->pop_front();
  }
  calls_.push_back(
      {kind,
       {request.title, request.filter, request.default_ext, request.initial_dir, request.file_name},
       answer.value_or(QString())});
  return answer;
}

std::optional<QString> TestServices::OpenFileDialog(const FileDialogRequest& request) {
  return Dialog("OpenDialog", request, &open_);
}

std::optional<QString> TestServices::SaveFileDialog(const FileDialogRequest& request) {
  return Dialog("SaveDialog", request, &save_);
}

ServiceResult TestServices::Print(const PrintJob& job) {
  ServiceResult result = print_result_;
  if (result.ok) {
    printed_.push_back(job);
    if (!pdf_folder_.isEmpty()) {
      QString path = QDir(pdf_folder_).filePath(QString::number(printed_.size()) + ".pdf");
      result = PrintToPdf(job, path);
      if (result.ok) pdf_files_.push_back(path);
    }
  }
  calls_.push_back({"Print", {job.title, job.text}, result.ok ? QString("ok") : result.error});
  return result;
}

int TestServices::ShellOpen(const QString& file, const QString& parameters, const QString& folder,
                            int show_command) {
  calls_.push_back({"ShellOpen",
                    {file, parameters, folder, QString::number(show_command)},
                    QString::number(shell_open_result_)});
  return shell_open_result_;
}

ServiceResult TestServices::ShowHelp(const QString& file, int context) {
  calls_.push_back({"Help",
                    {file, QString::number(context)},
                    help_result_.ok ? QString("ok") : help_result_.error});
  return help_result_;
}

void TestServices::SetClipboardText(const QString& text, const QString& html) {
  clipboard_text_ = text;
  clipboard_html_ = html;
  calls_.push_back({"SetClipboard", {text, html}, QString()});
}

QString TestServices::ClipboardText() {
  calls_.push_back({"Clipboard", {}, clipboard_text_});
  return clipboard_text_;
}

std::optional<QString> TestServices::SelectionText() {
  calls_.push_back({"Selection", {}, selection_text_.value_or(QStringLiteral("(none)"))});
  return selection_text_;
}

void TestServices::Beep() { calls_.push_back({"Beep", {}, QString()}); }

void TestServices::Quit() {
  calls_.push_back({"Quit", {}, QString()});
  RequestTerminate();
}

ServiceResult TestServices::Restart() {
  calls_.push_back({"Restart", {}, restart_result_.ok ? QString("ok") : restart_result_.error});
  return restart_result_;
}

uint32_t TestServices::RandomSeed() {
  calls_.push_back({"RandomSeed", {}, QString::number(random_seed_)});
  return random_seed_;
}

}  // namespace platform::gui
