// TSendKeys drives another program's window by synthesised keystrokes: it finds a top-level
// window by its exact title, brings it to the front and types a key string into whatever
// window then has the keyboard focus. The key-string code (characters, control keys, F1 ...
// F12, navigation keys, Shift/Ctrl/Alt down and up) is translated by TKeyStringTranslator
// (send_keys_core.h); the keys go to the desktop through a KeySenderBackend, the X server's by
// default.
//
// Titles and key strings are ANSI bytes. A key string never reaches a window that was not
// asked for: when no window has the title, nothing is sent and SendKeysTo reports failure.
#pragma once

#include <memory>
#include <string>

#include "components/core/send_keys_core.h"
#include "platform/gui/x11_keys.h"

namespace components {

class TSendKeys {
 public:
  using THandle = platform::gui::XWindowHandle;

  // Sends through backend, which must outlive the sender; nullptr gives the sender its own
  // connection to the X server (opened on first use).
  explicit TSendKeys(platform::gui::KeySenderBackend* backend = nullptr);
  ~TSendKeys();
  TSendKeys(const TSendKeys&) = delete;
  TSendKeys& operator=(const TSendKeys&) = delete;

  // The top-level window whose title equals Title exactly; 0 when there is none.
  THandle FindWindowByTitle(const std::string& Title);

  // Restores Handle when it is minimised, then gives it the keyboard focus. False when it
  // could not (0 or a window that went away, no display).
  bool ActivateWindow(THandle Handle);

  // Types Keys into the window that has the focus, letting the program process its pending
  // events after each byte. A character the keyboard layout cannot produce is skipped; keys
  // still held by Shift/Ctrl/Alt-down codes at the end are released. True when every key
  // event was sent (an empty string sends nothing and succeeds); false when keys cannot be
  // sent or sending failed part way (the keys held by then are released).
  bool SendKeyString(const std::string& Keys);

  // FindWindowByTitle, ActivateWindow, then SendKeyString. Sends nothing and returns false
  // when no window has the title or it cannot be activated.
  bool SendKeysTo(const std::string& Title, const std::string& Keys);

 private:
  std::unique_ptr<platform::gui::KeySenderBackend> own_backend_;
  platform::gui::KeySenderBackend* backend_;
};

// The keyboard layout as the backend reads it: an ANSI character becomes its Unicode
// character (in the ANSI code page in use), then a keysym of the layout with the modifiers of
// its level.
class TBackendKeyboardLayout : public TKeyboardLayout {
 public:
  explicit TBackendKeyboardLayout(platform::gui::KeySenderBackend& backend) : backend_(backend) {}
  std::optional<TKeyStroke> KeyForChar(unsigned char ch) const override;

 private:
  platform::gui::KeySenderBackend& backend_;
};

}  // namespace components
