#include "components/core/send_keys_core.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace components {
namespace {

// A small fixed layout: letters, digits and blank on their own keys, capitals and "!" with
// Shift, "@" on the third level of Q, and "~" needing every modifier. Nothing else.
class TestLayout : public TKeyboardLayout {
 public:
  std::optional<TKeyStroke> KeyForChar(unsigned char ch) const override {
    if ((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == ' ') return {{ch, 0}};
    if (ch >= 'A' && ch <= 'Z') return {{static_cast<TKeySym>(ch - 'A' + 'a'), kShiftBit}};
    if (ch == '!') return {{'1', kShiftBit}};
    if (ch == '@') return {{'q', kLevel3Bit}};
    if (ch == '~') return {{'`', kShiftBit | kCtrlBit | kAltBit}};
    return std::nullopt;
  }
};

TKeyEvent Down(TKeySym k) { return {true, k}; }
TKeyEvent Up(TKeySym k) { return {false, k}; }

TEST(KeyStringTranslation, EventsAgainstAFixedLayout) {
  struct Case {
    std::string keys;
    std::vector<TKeyEvent> events;
    const char* name;
  };
  const Case cases[] = {
      {"\xFC"
       "5\xFD",
       {Down(kKeyControl), Down('5'), Up('5'), Up(kKeyControl)},
       "Ctrl+5"},
      {"\xE4", {Down(kKeyF1), Up(kKeyF1)}, "228 is F1"},
      {"\xEF", {Down(kKeyF1 + 11), Up(kKeyF1 + 11)}, "239 is F12"},
      {"\xF0\xF7\xF9",
       {Down(kKeyHome), Up(kKeyHome), Down(kKeyPageDown), Up(kKeyPageDown), Down(kKeyDelete),
        Up(kKeyDelete)},
       "navigation keys"},
      {"A", {Down(kKeyShift), Down('a'), Up('a'), Up(kKeyShift)}, "capital needs Shift"},
      {"12\r",
       {Down('1'), Up('1'), Down('2'), Up('2'), Down(kKeyReturn), Up(kKeyReturn)},
       "digits and Enter"},
      {"\b\t\x1B",
       {Down(kKeyBackSpace), Up(kKeyBackSpace), Down(kKeyTab), Up(kKeyTab), Down(kKeyEscape),
        Up(kKeyEscape)},
       "control characters are keys"},
      {"~",
       {Down(kKeyShift), Down(kKeyControl), Down(kKeyAlt), Down('`'), Up('`'), Up(kKeyAlt),
        Up(kKeyControl), Up(kKeyShift)},
       "modifiers pressed Shift Ctrl Alt, released back"},
      {"@", {Down(kKeyLevel3), Down('q'), Up('q'), Up(kKeyLevel3)}, "third level"},
      {"\xFC"
       "A\xFD",
       {Down(kKeyControl), Down('a'), Up('a'), Up(kKeyControl)},
       "a held modifier replaces the character's own"},
      {"\xFA\xFC\xFD!",
       {Down(kKeyShift), Down(kKeyControl), Up(kKeyControl), Down(kKeyShift), Down('1'), Up('1'),
        Up(kKeyShift), Up(kKeyShift)},
       "the last code decides; Shift left down is released at the end"},
      {"a\x80"
       "b\x01",
       {Down('a'), Up('a'), Down('b'), Up('b')},
       "characters the layout cannot type and codes naming no key are skipped"},
      {"\xFE\xFF", {Down(kKeyAlt), Up(kKeyAlt)}, "Alt down and up"},
      {"", {}, "empty string sends nothing"},
  };
  const TestLayout layout;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TranslateKeyString(c.keys, layout), c.events);
  }
}

TEST(KeyStringTranslation, HeldModifierLastsFromByteToByte) {
  const TestLayout layout;
  TKeyStringTranslator t(layout);
  EXPECT_EQ(t.Translate(252), (std::vector<TKeyEvent>{Down(kKeyControl)}));
  EXPECT_EQ(t.Translate('A'), (std::vector<TKeyEvent>{Down('a'), Up('a')}));
  EXPECT_EQ(t.Finish(), (std::vector<TKeyEvent>{Up(kKeyControl)}));
  // After Finish the translator starts afresh.
  EXPECT_EQ(t.Translate('A'),
            (std::vector<TKeyEvent>{Down(kKeyShift), Down('a'), Up('a'), Up(kKeyShift)}));
  EXPECT_TRUE(t.Finish().empty());
}

TEST(KeyStringTranslation, FixedKeysOfTheCode) {
  for (int b = 228; b <= 239; ++b) EXPECT_EQ(KeyForCode(b), kKeyF1 + (b - 228));
  const TKeySym nav[] = {kKeyHome,  kKeyEnd,    kKeyUp,       kKeyDown,   kKeyLeft,
                         kKeyRight, kKeyPageUp, kKeyPageDown, kKeyInsert, kKeyDelete};
  for (int b = 240; b <= 249; ++b) EXPECT_EQ(KeyForCode(b), nav[b - 240]);
  EXPECT_EQ(KeyForCode(250), kKeyShift);
  EXPECT_EQ(KeyForCode(253), kKeyControl);
  EXPECT_EQ(KeyForCode(255), kKeyAlt);
  EXPECT_EQ(KeyForCode('a'), std::nullopt);
  EXPECT_EQ(KeyForCode(227), std::nullopt);
}

}  // namespace
}  // namespace components
