// The key-string code of the key sender, turned into key events. A key string holds one byte
// per key: control characters 0 ... 31 are keys of their own, 32 ... 227 are characters typed
// with the modifiers the keyboard layout needs, 228 ... 249 are the function and navigation
// keys and 250 ... 255 press and release Shift, Ctrl and Alt. Keys are named by keysym-like
// identifiers (the X11 keysym numbers), which the backend turns into key codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace components {

using TKeySym = uint32_t;

constexpr TKeySym kKeyBackSpace = 0xFF08;
constexpr TKeySym kKeyTab = 0xFF09;
constexpr TKeySym kKeyClear = 0xFF0B;
constexpr TKeySym kKeyReturn = 0xFF0D;
constexpr TKeySym kKeyPause = 0xFF13;
constexpr TKeySym kKeyEscape = 0xFF1B;
constexpr TKeySym kKeyHome = 0xFF50;
constexpr TKeySym kKeyLeft = 0xFF51;
constexpr TKeySym kKeyUp = 0xFF52;
constexpr TKeySym kKeyRight = 0xFF53;
constexpr TKeySym kKeyDown = 0xFF54;
constexpr TKeySym kKeyPageUp = 0xFF55;
constexpr TKeySym kKeyPageDown = 0xFF56;
constexpr TKeySym kKeyEnd = 0xFF57;
constexpr TKeySym kKeyInsert = 0xFF63;
constexpr TKeySym kKeyF1 = 0xFFBE;  // F2 ... F12 follow in order
constexpr TKeySym kKeyShift = 0xFFE1;
constexpr TKeySym kKeyControl = 0xFFE3;
constexpr TKeySym kKeyCapsLock = 0xFFE5;
constexpr TKeySym kKeyAlt = 0xFFE9;
constexpr TKeySym kKeyLevel3 = 0xFE03;  // the third-level shift (AltGr)
constexpr TKeySym kKeyDelete = 0xFFFF;

// Modifier bits of a key stroke.
constexpr uint8_t kShiftBit = 1;
constexpr uint8_t kCtrlBit = 2;
constexpr uint8_t kAltBit = 4;
constexpr uint8_t kLevel3Bit = 8;

struct TKeyEvent {
  bool Press;  // false: release
  TKeySym Key;

  bool operator==(const TKeyEvent&) const = default;
};

// The key that types a character and the modifiers it needs.
struct TKeyStroke {
  TKeySym Key;
  uint8_t Modifiers;  // kShiftBit | kCtrlBit | kAltBit | kLevel3Bit
};

// The keyboard layout's character-to-key mapping.
class TKeyboardLayout {
 public:
  virtual ~TKeyboardLayout() = default;
  // The key and modifiers that type the ANSI character ch (32 ... 227); nullopt when the layout
  // cannot produce it.
  virtual std::optional<TKeyStroke> KeyForChar(unsigned char ch) const = 0;
};

// The fixed key of a byte that is not a character: control characters (8 Backspace, 9 Tab,
// 13 Enter, 27 Esc, and the few other keys 0 ... 31 name), 228 ... 249 and the modifiers
// 250 ... 255. nullopt for characters 32 ... 227 and for control codes that name no key.
std::optional<TKeySym> KeyForCode(unsigned char byte);

// Translates a key string byte by byte. Between the bytes the sender lets the program process
// its pending events, so the translation is handed out one byte at a time.
class TKeyStringTranslator {
 public:
  explicit TKeyStringTranslator(const TKeyboardLayout& layout) : layout_(layout) {}

  // The events of one byte. 250/252/254 press a modifier and 251/253/255 release one; while
  // the last of these codes was a press, characters get no modifiers of their own (with Ctrl
  // held a capital A is Ctrl with the unshifted key). Otherwise a character's modifiers are
  // pressed Shift, Ctrl, Alt, Level3 and released in the reverse order. A byte that names no
  // key yields no events.
  std::vector<TKeyEvent> Translate(unsigned char byte);

  // Releases, Alt, Ctrl, Shift, the modifiers the string pressed and did not release, so that
  // no key stays down after the string.
  std::vector<TKeyEvent> Finish();

 private:
  const TKeyboardLayout& layout_;
  bool modifier_held_ = false;
  uint8_t down_ = 0;  // modifiers pressed by codes and not released yet
};

// All events of a key string, the releases of Finish included. An empty string gives none.
std::vector<TKeyEvent> TranslateKeyString(std::string_view keys, const TKeyboardLayout& layout);

}  // namespace components
