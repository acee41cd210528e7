#include "components/core/send_keys_core.h"

#include <iterator>

namespace components {

namespace {

struct TModifier {
  uint8_t Bit;
  TKeySym Key;
};

// Press order; releases run backwards.
constexpr TModifier kModifiers[] = {
    {kShiftBit, kKeyShift}, {kCtrlBit, kKeyControl}, {kAltBit, kKeyAlt}, {kLevel3Bit, kKeyLevel3}};

constexpr TKeySym kNavigation[] = {kKeyHome,  kKeyEnd,    kKeyUp,       kKeyDown,   kKeyLeft,
                                   kKeyRight, kKeyPageUp, kKeyPageDown, kKeyInsert, kKeyDelete};

uint8_t ModifierBitOfCode(unsigned char byte) {
  switch (byte) {
    case 250:
    case 251:
      return kShiftBit;
    case 252:
    case 253:
      return kCtrlBit;
    default:
      return kAltBit;
  }
}

}  // namespace

std::optional<TKeySym> KeyForCode(unsigned char byte) {
  switch (byte) {
    case 8:
      return kKeyBackSpace;
    case 9:
      return kKeyTab;
    case 12:
      return kKeyClear;
    case 13:
      return kKeyReturn;
    case 16:
      return kKeyShift;
    case 17:
      return kKeyControl;
    case 18:
      return kKeyAlt;
    case 19:
      return kKeyPause;
    case 20:
      return kKeyCapsLock;
    case 27:
      return kKeyEscape;
    default:
      break;
  }
  if (byte >= 228 && byte <= 239) return kKeyF1 + (byte - 228);
  if (byte >= 240 && byte <= 249) return kNavigation[byte - 240];
  if (byte >= 250) {
    const uint8_t bit = ModifierBitOfCode(byte);
    return bit == kShiftBit ? kKeyShift : bit == kCtrlBit ? kKeyControl : kKeyAlt;
  }
  return std::nullopt;
}

std::vector<TKeyEvent> TKeyStringTranslator::Translate(unsigned char byte) {
  std::vector<TKeyEvent> events;
  if (byte >= 250) {
    const bool press = byte % 2 == 0;
    const uint8_t bit = ModifierBitOfCode(byte);
    events.push_back({press, *KeyForCode(byte)});
    modifier_held_ = press;
    down_ = press ? static_cast<uint8_t>(down_ | bit) : static_cast<uint8_t>(down_ & ~bit);
    return events;
  }
  TKeyStroke stroke{0, 0};
  if (byte >= 32 && byte <= 227) {
    const std::optional<TKeyStroke> mapped = layout_.KeyForChar(byte);
    if (!mapped) return events;  // the layout cannot type it: skipped
    stroke = *mapped;
  } else if (const std::optional<TKeySym> key = KeyForCode(byte)) {
    stroke.Key = *key;
  } else {
    return events;
  }
  const uint8_t modifiers = modifier_held_ ? 0 : stroke.Modifiers;
  for (const TModifier& m : kModifiers) {
    if (modifiers & m.Bit) events.push_back({true, m.Key});
  }
  events.push_back({true, stroke.Key});
  events.push_back({false, stroke.Key});
  for (auto it = std::rbegin(kModifiers); it != std::rend(kModifiers); ++it) {
    if (modifiers & it->Bit) events.push_back({false, it->Key});
  }
  return events;
}

std::vector<TKeyEvent> TKeyStringTranslator::Finish() {
  std::vector<TKeyEvent> events;
  for (auto it = std::rbegin(kModifiers); it != std::rend(kModifiers); ++it) {
    if (down_ & it->Bit) events.push_back({false, it->Key});
  }
  down_ = 0;
  modifier_held_ = false;
  return events;
}

std::vector<TKeyEvent> TranslateKeyString(std::string_view keys, const TKeyboardLayout& layout) {
  TKeyStringTranslator translator(layout);
  std::vector<TKeyEvent> events;
  for (const char c : keys) {
    const std::vector<TKeyEvent> part = translator.Translate(static_cast<unsigned char>(c));
    events.insert(events.end(), part.begin(), part.end());
  }
  const std::vector<TKeyEvent> rest = translator.Finish();
  events.insert(events.end(), rest.begin(), rest.end());
  return events;
}

}  // namespace components
