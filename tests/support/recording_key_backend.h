// A key-sender backend for tests: it records every call and every key event, knows a few
// windows by title (UTF-8), and types through a small layout: letters, digits, blank and
// Enter, capitals with Shift, the euro sign on the third level, the Russian letters as Unicode
// keysyms; no micro sign, no F12 key.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "components/core/send_keys_core.h"
#include "platform/gui/x11_keys.h"

namespace testing_support {

class RecordingBackend : public platform::gui::KeySenderBackend {
 public:
  using XWindowHandle = platform::gui::XWindowHandle;

  XWindowHandle FindWindowByTitle(const std::string& title) override {
    calls.push_back("find " + title);
    if (title == window_title) return 42;
    const auto other = windows.find(title);
    return other != windows.end() ? other->second : 0;
  }
  bool ActivateWindow(XWindowHandle window) override {
    calls.push_back("activate " + std::to_string(window));
    if (activates) active = window;
    return activates;
  }
  bool BeginKeys() override {
    calls.push_back("begin");
    return true;
  }
  std::optional<platform::gui::XKeyLevel> KeyForCharacter(char32_t ch) override {
    using platform::gui::XKeyLevel;
    if ((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == ' ')
      return XKeyLevel{static_cast<uint32_t>(ch), false, false};
    if (ch >= 'A' && ch <= 'Z') return XKeyLevel{static_cast<uint32_t>(ch), true, false};
    if (ch == 0x20AC) return XKeyLevel{0x20AC, false, true};
    if (ch >= 0x410 && ch <= 0x44F) return XKeyLevel{0x1000000 + ch, false, false};
    return std::nullopt;
  }
  bool HasKey(uint32_t keysym) override { return keysym != components::kKeyF1 + 11; }
  bool SendKey(uint32_t keysym, bool press) override {
    events.push_back({press, keysym});
    sent.emplace_back(active, components::TKeyEvent{press, keysym});
    if (on_key) on_key(keysym, press);
    return keysym != fail_on;
  }

  // The window of handle 42, and others by title with their handles.
  std::string window_title = "Target";
  std::map<std::string, XWindowHandle> windows;
  bool activates = true;
  uint32_t fail_on = 0;  // a keysym whose sending fails
  // Called after each key event, as a program reacting to the keys would (opening a window).
  std::function<void(uint32_t keysym, bool press)> on_key;

  std::vector<std::string> calls;
  std::vector<components::TKeyEvent> events;
  // Each key event with the window activated last before it (0: none).
  std::vector<std::pair<XWindowHandle, components::TKeyEvent>> sent;
  XWindowHandle active = 0;
};

}  // namespace testing_support
