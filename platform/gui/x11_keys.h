// The key sender's way to the desktop: find a top-level window by its title, bring it to the
// front, and type keys into whatever window has the keyboard focus. KeySenderBackend is the
// narrow interface the key sender uses (tests record through it); X11KeySender is the real one,
// over Xlib and XTest on a connection of its own.
//
// Why a connection of its own, and why every request is trapped: Xlib reports a failed
// request through a process-wide error handler whose default ends the program. A window that
// closes while the window list is walked, or a focus change aimed at a window that was just
// unmapped, fails that way. The sender therefore sets its own handler around each request,
// waits for the server's answer (XSync) and treats any error as "no such window": nothing is
// sent and the operation reports failure. Qt talks to the server through xcb on its own
// connection and is not touched by the handler.
//
// Without an X display (a Wayland session without X, or no DISPLAY at all) nothing is found
// and nothing is sent.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::gui {

// An X window id; 0 is no window.
using XWindowHandle = unsigned long;

// How the keyboard types a character: the keysym found on a key and the modifiers that key's
// level needs (Shift for the second level, the third-level shift for the third, both for the
// fourth).
struct XKeyLevel {
  uint32_t Keysym;
  bool Shift;
  bool Level3;
};

// The keysyms that stand for the Unicode character ch, in the order to look for them on the
// keyboard: Latin-1 characters are their own keysym; other characters have the keysym of the
// X tables when there is one (Cyrillic, the typographic marks of the Windows code pages), then
// the Unicode keysym 0x01000000 + ch. Control characters have none.
std::vector<uint32_t> KeysymsForUnicode(char32_t ch);

class KeySenderBackend {
 public:
  KeySenderBackend() = default;
  KeySenderBackend(const KeySenderBackend&) = delete;
  KeySenderBackend& operator=(const KeySenderBackend&) = delete;
  virtual ~KeySenderBackend();

  // The front-most top-level window whose title (UTF-8) equals `title` exactly; 0 when there
  // is none, without a display, and on an X error. While a window manager runs (one whose
  // announcement on the root window is live), its clients are looked through in its stacking
  // order, those on other workspaces included; otherwise the windows on screen or iconic, in
  // the server's stacking order.
  virtual XWindowHandle FindWindowByTitle(const std::string& title) = 0;

  // Brings `window` to the front with the keyboard focus, restoring it first when it is
  // iconic; a window manager brings a window on another workspace to the user. True once the
  // focus is in the window; false when it did not get there in time, without a display, and
  // on an X error (the window went away).
  virtual bool ActivateWindow(XWindowHandle window) = 0;

  // Reads the keyboard's current layout for the keys that follow. False when keys cannot be
  // sent (no display, no XTest extension, an X error).
  virtual bool BeginKeys() = 0;

  // How the layout read by BeginKeys types the Unicode character ch; nullopt when no key of
  // the current group produces it with Shift and the third-level shift alone.
  virtual std::optional<XKeyLevel> KeyForCharacter(char32_t ch) = 0;

  // Whether a key of the layout carries keysym.
  virtual bool HasKey(uint32_t keysym) = 0;

  // Presses or releases the key that carries keysym, as if typed on the keyboard, and waits
  // until the server has taken the event. False for a keysym with no key and on an X error.
  virtual bool SendKey(uint32_t keysym, bool press) = 0;
};

class X11KeySender : public KeySenderBackend {
 public:
  // Connects to the display in DISPLAY on first use; the connection closes with the sender.
  X11KeySender();
  ~X11KeySender() override;

  XWindowHandle FindWindowByTitle(const std::string& title) override;
  bool ActivateWindow(XWindowHandle window) override;
  bool BeginKeys() override;
  std::optional<XKeyLevel> KeyForCharacter(char32_t ch) override;
  bool HasKey(uint32_t keysym) override;
  bool SendKey(uint32_t keysym, bool press) override;

  // True once a connection to an X server is open (made now when not tried before).
  bool Connected();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::gui
