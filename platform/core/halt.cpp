#include "platform/core/halt.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace platform {
namespace {

struct ExitEntry {
  int id;
  std::function<void()> proc;
};

std::vector<ExitEntry>& ExitList() {
  static std::vector<ExitEntry> list;
  return list;
}

MessageHook& Hook() {
  static MessageHook hook;
  return hook;
}

int DefaultMessage(const std::string& text, const std::string& caption, MessageIcon,
                   MessageButtons buttons) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  return (buttons == kButtonsYesNo || buttons == kButtonsYesNoCancel) ? kResultYes : kResultOk;
}

}  // namespace

void SetMessageHook(MessageHook hook) { Hook() = std::move(hook); }

int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                MessageButtons buttons) {
  if (Hook()) return Hook()(text, caption, icon, buttons);
  return DefaultMessage(text, caption, icon, buttons);
}

int AddExitProc(std::function<void()> proc) {
  static int next_id = 0;
  ExitList().push_back({++next_id, std::move(proc)});
  return next_id;
}

void RemoveExitProc(int id) {
  auto& list = ExitList();
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->id == id) {
      list.erase(it);
      return;
    }
  }
}

void RunExitProcs() {
  auto& list = ExitList();
  while (!list.empty()) {
    std::function<void()> proc = std::move(list.back().proc);
    list.pop_back();
    if (proc) proc();
  }
}

int ExitStatusFor(int code) {
  if (code <= 0) return 0;
  return code > 255 ? 255 : code;
}

void Halt(int code) {
  RunExitProcs();
  std::fflush(nullptr);
  std::_Exit(ExitStatusFor(code));
}

}  // namespace platform
