#include "components/core/wen_mask.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/core/locale_settings.h"

namespace components {
namespace {

class FakeHost : public TWenMaskHost {
 public:
  bool ReadOnly() const override { return read_only; }
  bool EditCanModify() override {
    ++can_modify_calls;
    return can_modify;
  }
  bool Focused() const override { return focused; }
  void Beep() override { ++beeps; }

  bool read_only = false;
  bool can_modify = true;
  bool focused = true;
  int beeps = 0;
  int can_modify_calls = 0;
};

class WenMaskTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetLocaleSettings(); }
  void TearDown() override { platform::ResetLocaleSettings(); }

  // A mask applied to an empty value, the caret at the first position.
  void Apply(const std::string& mask, TWenMaskStyle style = MorvelStyle, int max_length = 0) {
    mask_.SetEditMask("");
    mask_.SetEditMaskStyle(style);
    mask_.SetMaxLength(max_length);
    mask_.SetEditMask(mask);
    if (mask_.FunctionCode() != kFnChoice) mask_.SetText("");
    mask_.SetCursor(0);
    host_.beeps = 0;
  }
  void Type(const std::string& keys) {
    for (unsigned char c : keys) mask_.KeyPress(c);
  }

  FakeHost host_;
  TWenMask mask_{&host_};
};

// ---- Mask structure ----

TEST_F(WenMaskTest, MaskFieldsAndPositions) {
  struct {
    const char* Mask;
    int Length;
    bool Save;
    char Blank;
    const char* EmptyText;
  } const cases[] = {
      {"!99;0;_", 2, false, '_', "__"},
      {"(999)000-0000;1;_", 13, true, '_', "(___)___-____"},
      {"99;0", 2, false, '_', "__"},  // save field without blank field
      {"99;1;*", 2, true, '*', "**"},
      {"CCC;1; ", 3, true, ' ', "   "},       // a blank that is a space
      {"9;9;0;_", 3, false, '_', "_;_"},      // ';' outside the last four is a literal
      {"ab;cd;0;*", 5, false, '*', "*b;*d"},  // 'b' and 'd' are literals of this language
      {"\\99", 2, true, '_', "9_"},           // an escaped picture character
      {"\\\\9", 2, true, '_', "\\_"},         // an escaped escape
      {"LL", 2, true, '_', "__"},
      {"", 0, true, '_', ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Mask);
    Apply(c.Mask);
    EXPECT_EQ(mask_.IsMasked(), *c.Mask != 0);
    EXPECT_EQ(mask_.MaskLength(), c.Length);
    EXPECT_EQ(mask_.MaskSave(), c.Save);
    EXPECT_EQ(mask_.MaskBlank(), c.Blank);
    EXPECT_EQ(mask_.EditText(), c.EmptyText);
    EXPECT_EQ(mask_.MaxLength(), c.Length);
  }
}

TEST_F(WenMaskTest, InternationalLiteralsShowTheLocaleSeparators) {
  platform::Locale().DateSeparator = '.';
  platform::Locale().TimeSeparator = '-';
  platform::Locale().DecimalSeparator = ',';
  Apply("99/99 00:00 9.9;0;_");
  EXPECT_EQ(mask_.EditText(), "__.__ __-__ _,_");
  mask_.SetText("1231093015");
  EXPECT_EQ(mask_.EditText(), "12.31 09-30 1,5");
  EXPECT_EQ(mask_.GetText(), "1231093015");
  Apply("99/99;1;_");  // saved literals are looked for as shown
  mask_.SetText("12.31");
  EXPECT_EQ(mask_.EditText(), "12.31");
}

// ---- Values in and out ----

TEST_F(WenMaskTest, TextWriteAndGetText) {
  struct {
    const char* Mask;
    const char* Value;
    const char* EditText;
    const char* Got;
  } const cases[] = {
      {"!99;0;_", "5", "_5", "5"},  // right-aligned
      {"!99;0;_", "", "__", ""},
      {"99/99/99;0;_", "123199", "12/31/99", "123199"},
      {"99/99/99;0;_", "1231", "12/31/__", "1231"},
      {"99/99/99;1;_", "12/31/99", "12/31/99", "12/31/99"},
      {"99/99/99;1;_", "1/2/3", "1_/2_/3_", "1 /2 /3 "},        // runs padded to their positions
      {"99/99/99;1;_", "123/4/56789", "12/4_/56", "12/4 /56"},  // and cut
      {"!99/99;1;_", "1/234", "_1/34", " 1/34"},                // '!' pads and cuts at the front
      {"99/99;1;_", "12", "12/__", "12/  "},                    // a missing literal is appended
      {"99;0;_", "12345", "12345", "12345"},                    // a longer text set by code is kept
      {"LLL", "a b", "a_b", "a b"},  // spaces at editable positions: blanks
      {"LLL;0;_", "a b", "a b", "a b"},
      {"(999);0;*", "12", "(12*)", "12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Mask) + " <- \"" + c.Value + "\"");
    Apply(c.Mask);
    mask_.SetText(c.Value);
    EXPECT_EQ(mask_.EditText(), c.EditText);
    EXPECT_EQ(mask_.GetText(), c.Got);
    EXPECT_FALSE(mask_.Modified());
    EXPECT_EQ(mask_.OldValue(), c.EditText);
  }
}

TEST_F(WenMaskTest, ApplyingAMaskKeepsTheValue) {
  mask_.SetText("1231");
  mask_.SetEditMask("99/99;0;_");
  EXPECT_EQ(mask_.EditText(), "12/31");
  mask_.SetEditMask("999-9;0;_");
  EXPECT_EQ(mask_.EditText(), "123-1");
  mask_.SetEditMask("");
  EXPECT_FALSE(mask_.IsMasked());
  EXPECT_EQ(mask_.EditText(), "1231");
  EXPECT_EQ(mask_.MaxLength(), 0);
}

TEST_F(WenMaskTest, MaxLengthAndStyle) {
  mask_.SetMaxLength(7);
  EXPECT_EQ(mask_.MaxLength(), 7);  // no mask: stored
  mask_.SetEditMask("999");
  EXPECT_EQ(mask_.MaxLength(), 3);
  mask_.SetMaxLength(10);
  EXPECT_EQ(mask_.MaxLength(), 3);  // a picture keeps its length

  mask_.SetEditMaskStyle(dBaseStyle);
  EXPECT_EQ(mask_.EditMask(), "");  // a new style clears the mask
  EXPECT_FALSE(mask_.IsMasked());

  // A function without template: MaxLength positions, 255 when none is set.
  mask_.SetMaxLength(0);
  mask_.SetEditMask("@!");
  EXPECT_EQ(mask_.MaskLength(), 255);
  EXPECT_EQ(mask_.MaxLength(), 255);
  mask_.SetText("ab");
  mask_.SetMaxLength(4);
  EXPECT_EQ(mask_.MaskLength(), 4);
  EXPECT_EQ(mask_.EditText(), "ab__");
  mask_.SetMaxLength(300);  // out of range: back to 255
  EXPECT_EQ(mask_.MaskLength(), 255);

  mask_.SetEditMaskStyle(dBaseStyle);  // the same style changes nothing
  EXPECT_EQ(mask_.EditMask(), "@!");
}

TEST_F(WenMaskTest, UserSet) {
  mask_.SetEditMaskUserSet(
      "zax\x01"
      "a");
  EXPECT_EQ(mask_.EditMaskUserSet(),
            "\x01"
            "axz");
  mask_.SetEditMaskUserSet("");
  EXPECT_EQ(mask_.EditMaskUserSet(), "");

  // "^" takes a member of the user set; without members it is a literal.
  mask_.SetEditMaskUserSet("xy");
  Apply("^^", dBaseStyle);
  EXPECT_EQ(mask_.EditText(), "__");
  Type("xzy");
  EXPECT_EQ(mask_.EditText(), "xy");
  EXPECT_EQ(host_.beeps, 1);
  mask_.SetEditMaskUserSet("");
  EXPECT_EQ(mask_.EditText(), "^^");
  EXPECT_EQ(mask_.MaskLength(), 2);
  EXPECT_TRUE(mask_.IsLiteral(0));
}

TEST_F(WenMaskTest, NumericPictures) {
  struct {
    const char* Mask;
    TWenMaskStyle Style;
    bool Numeric, Decimal;
  } const cases[] = {
      {"999.99", MorvelStyle, true, true},  {"#0", MorvelStyle, true, false},
      {"9", MorvelStyle, false, false},     {"9.9.9", MorvelStyle, false, false},
      {"99;0;_", MorvelStyle, true, false}, {"99-9", MorvelStyle, false, false},
      {"@Z999.99", dBaseStyle, true, true}, {"@Z 99", dBaseStyle, true, false},
      {"@!999", dBaseStyle, false, false},  {"999", dBaseStyle, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Mask);
    Apply(c.Mask, c.Style);
    EXPECT_EQ(mask_.Numeric(), c.Numeric);
    EXPECT_EQ(mask_.DecimalFlag(), c.Decimal);
  }
}

// ---- Typing ----

struct TTypeCase {
  const char* Mask;
  const char* Keys;
  const char* Text;
  int Beeps;
};

TEST_F(WenMaskTest, TypingInTheClassLibraryLanguage) {
  const TTypeCase cases[] = {
      {"99/99/99;1;_", "123199", "12/31/99", 0},  // the caret steps over literals
      {"99/99/99;1;_", "1/5", "1_/5_/__", 0},     // a separator jumps to the next one
      {"99/99/99;1;_", "1:5", "15/__/__", 1},     // any other is refused
      {"000", "1a2", "12_", 1},
      {"99", "123", "12", 1},  // nothing beyond the mask
      {"LL", "a1", "a_", 1},
      {">LL", "ab", "AB", 0},
      {">L<L", "Ab", "Ab", 0},
      {">L<L", "aB", "Ab", 0},
      {"<>LL", "aB", "aB", 0},  // "<>" turns case conversion off
      {">CC", "a?", "A?", 0},
      {"AAA", "a1-", "a1_", 1},
      {"##", "+-", "+-", 0},
      {"##", "a", "__", 1},
      {"(999)", "12", "(12_)", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Mask) + " typed \"" + c.Keys + "\"");
    Apply(c.Mask);
    Type(c.Keys);
    EXPECT_EQ(mask_.EditText(), c.Text);
    EXPECT_EQ(host_.beeps, c.Beeps);
  }
}

TEST_F(WenMaskTest, TypingInDBasePictures) {
  platform::Locale().DecimalSeparator = ',';
  const TTypeCase cases[] = {
      {"999", "1 2x", "1 2", 1},
      {"###", "1,5", "1,5", 0},       // the decimal separator at '#' of a picture without point
      {"##.##", "1,25", "1_,25", 0},  // not with a point position: it jumps there instead
      {"000", " 1", "1__", 1},
      {"AAA", "a b1", "A B", 1},
      {"aaa", "aB1", "aB_", 1},
      {"CCC", "a1?", "A1?", 0},
      {"ccc", "AB1", "ab_", 1},
      {"LLL", "tFx", "tF_", 1},
      {"YY", "yq", "y_", 1},
      {"XX", "a?", "a?", 0},
      {"!!", "ab", "AB", 0},
      {"@!", "ab1", "AB1", 0},
      {"@C", "AB", "ab_", 0},
      {"@A", "a1b", "AB_", 1},
      {"@a", "a1B", "aB_", 1},
      {"@c", "a b", "A B", 0},
      {"@!aaa", "aB", "AB_", 0},   // the function's rule first, then the template's
      {"@A XXX", "ab", "AB_", 0},  // blanks after the code are dropped
      {"\xE9XX", "x", "\xE9x_", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Mask) + " typed \"" + c.Keys + "\"");
    Apply(c.Mask, dBaseStyle, 3);
    Type(c.Keys);
    EXPECT_EQ(mask_.EditText(), c.Text);
    EXPECT_EQ(host_.beeps, c.Beeps);
  }
}

TEST_F(WenMaskTest, AnsiLettersAndTheirCase) {
  Apply(">LL");
  Type("\xE9\xFF");  // é, ÿ of code page 1252
  EXPECT_EQ(mask_.EditText(), "\xC9\x9F");
  Apply("LL");
  Type("\xD7\xB5");  // × is no letter, µ is
  EXPECT_EQ(mask_.EditText(), "\xB5_");
  EXPECT_EQ(host_.beeps, 1);
  Apply("C");
  mask_.KeyPress(-1);  // a character ANSI cannot hold
  EXPECT_EQ(mask_.EditText(), "_");
  EXPECT_EQ(host_.beeps, 1);
}

TEST_F(WenMaskTest, TypingReplacesTheSelection) {
  Apply("99/99/99;1;_");
  mask_.SetText("12/31/99");
  mask_.SetSelection(1, 7);  // "2/31/9"
  Type("5");
  EXPECT_EQ(mask_.EditText(), "15/__/_9");
  EXPECT_EQ(mask_.SelStart(), 3);
  EXPECT_TRUE(mask_.Modified());

  // A caret on a literal first moves to the next editable position.
  mask_.SetCursor(5);
  Type("7");
  EXPECT_EQ(mask_.EditText(), "15/__/79");
}

TEST_F(WenMaskTest, NoChangeWithoutPermission) {
  Apply("999;0;_");
  mask_.SetText("123");
  for (bool read_only : {true, false}) {
    SCOPED_TRACE(read_only ? "read-only" : "EditCanModify false");
    host_.read_only = read_only;
    host_.can_modify = false;
    host_.can_modify_calls = 0;
    mask_.SetCursor(1);
    EXPECT_FALSE(mask_.KeyPress('5'));
    EXPECT_TRUE(mask_.KeyDown(TMaskKey::Delete, false, false));
    EXPECT_TRUE(mask_.KeyDown(TMaskKey::Backspace, false, false));
    EXPECT_FALSE(mask_.Paste("99"));
    mask_.SetSelection(0, 3);
    EXPECT_FALSE(mask_.DeleteSelection());
    EXPECT_EQ(mask_.EditText(), "123");
    EXPECT_FALSE(mask_.Modified());
    EXPECT_EQ(host_.beeps, 0);
    EXPECT_EQ(host_.can_modify_calls, read_only ? 0 : 5);  // never asked when read-only
  }
}

// ---- Keys ----

TEST_F(WenMaskTest, CaretKeys) {
  Apply("99/99/99;1;_");
  mask_.SetText("12/3_/__");
  struct {
    int Anchor, Caret;
    TMaskKey Key;
    bool Shift;
    int NewAnchor, NewCaret;
  } const cases[] = {
      {4, 3, TMaskKey::Right, false, 5, 4},  // the caret selects one character
      {5, 4, TMaskKey::Right, false, 7, 6},  // over the literal
      {7, 6, TMaskKey::Left, false, 5, 4},
      {1, 0, TMaskKey::Left, false, 1, 0},   // nothing before the first position
      {8, 7, TMaskKey::Right, false, 8, 8},  // to the end
      {2, 6, TMaskKey::Left, false, 6, 5},   // a longer selection: its moving end
      {6, 2, TMaskKey::Right, false, 3, 2},
      {4, 3, TMaskKey::Right, true, 3, 5},  // Shift grows the caret selection
      {4, 3, TMaskKey::Left, true, 4, 2},
      {3, 5, TMaskKey::Right, true, 3, 6},
      {3, 5, TMaskKey::Left, true, 3, 4},
      {6, 5, TMaskKey::Home, false, 1, 0},
      {1, 0, TMaskKey::End, false, 5, 4},  // after the last non-blank
      {4, 3, TMaskKey::Home, true, 4, 0},
      {4, 3, TMaskKey::End, true, 3, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Anchor << "," << c.Caret << " key "
                                    << static_cast<int>(c.Key) << (c.Shift ? " shift" : ""));
    mask_.SetSelection(c.Anchor, c.Caret);
    EXPECT_TRUE(mask_.KeyDown(c.Key, c.Shift, false));
    EXPECT_EQ(mask_.Anchor(), c.NewAnchor);
    EXPECT_EQ(mask_.Caret(), c.NewCaret);
  }
  EXPECT_EQ(mask_.EditText(), "12/3_/__");
  EXPECT_TRUE(mask_.KeyDown(TMaskKey::Up, false, false));
  EXPECT_FALSE(mask_.KeyDown(TMaskKey::Left, false, true));  // Ctrl: the default handling
  EXPECT_FALSE(mask_.KeyDown(TMaskKey::Other, false, false));
  EXPECT_FALSE(mask_.KeyDown(TMaskKey::Delete, true, false));  // Shift+Delete is a cut
  EXPECT_FALSE(mask_.Modified());
}

TEST_F(WenMaskTest, DeleteAndBackspace) {
  struct {
    int Anchor, Caret;
    TMaskKey Key;
    const char* Text;
    int NewCaret;
  } const cases[] = {
      {4, 3, TMaskKey::Delete, "12/_1/99", 3},
      {3, 3, TMaskKey::Delete, "12/_1/99", 3},     // a bare caret takes the next character
      {4, 3, TMaskKey::Backspace, "1_/31/99", 1},  // steps back over the literal
      {1, 0, TMaskKey::Backspace, "12/31/99", 0},  // nothing before the first position
      {8, 8, TMaskKey::Backspace, "12/31/9_", 7},
      {8, 8, TMaskKey::Delete, "12/31/99", 8},
      {1, 7, TMaskKey::Delete, "1_/__/_9", 1},  // literals stay
      {7, 1, TMaskKey::Backspace, "1_/__/_9", 1},
      {2, 4, TMaskKey::Delete, "12/_1/99", 3},  // to the next editable position
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.Anchor << "," << c.Caret << " key " << static_cast<int>(c.Key));
    Apply("99/99/99;1;_");
    mask_.SetText("12/31/99");
    mask_.SetSelection(c.Anchor, c.Caret);
    EXPECT_TRUE(mask_.KeyDown(c.Key, false, false));
    EXPECT_EQ(mask_.EditText(), c.Text);
    EXPECT_EQ(mask_.SelStart(), c.NewCaret);
  }

  // Characters beyond the mask (set by code) are removed, not blanked.
  Apply("99;0;_");
  mask_.SetText("12345");
  mask_.SetSelection(1, 4);
  mask_.KeyDown(TMaskKey::Delete, false, false);
  EXPECT_EQ(mask_.EditText(), "1_5");
}

TEST_F(WenMaskTest, PasteAndCut) {
  struct {
    int Anchor, Caret;
    const char* Clip;
    const char* Text;
    int NewCaret;
  } const cases[] = {
      {0, 0, "12/31/99", "12/31/99", 8},
      {0, 0, "1a3", "1_/__/__", 3},    // an invalid character leaves a blank; the literal
      {0, 0, "12x45", "12/45/__", 6},  // position takes one pasted character as it stands
      {3, 5, "0", "__/0_/__", 4},      // the selection is blanked first
      {6, 6, "98765", "__/__/98", 8},  // up to the mask length
      {1, 0, "", "__/__/__", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Clip);
    Apply("99/99/99;1;_");
    mask_.SetSelection(c.Anchor, c.Caret);
    mask_.Paste(c.Clip);
    EXPECT_EQ(mask_.EditText(), c.Text);
    EXPECT_EQ(mask_.SelStart(), c.NewCaret);
    EXPECT_TRUE(mask_.Modified());
  }

  Apply("99/99/99;1;_");
  mask_.SetText("12/31/99");
  mask_.SetSelection(1, 4);
  EXPECT_EQ(mask_.SelectedText(), "2/3");
  EXPECT_TRUE(mask_.DeleteSelection());
  EXPECT_EQ(mask_.EditText(), "1_/_1/99");
}

TEST_F(WenMaskTest, EscapeRestoresTheOldValue) {
  Apply("999;0;_");
  mask_.SetText("123");
  mask_.Enter();
  EXPECT_FALSE(mask_.Escape());  // nothing modified
  mask_.SetCursor(0);
  Type("45");
  EXPECT_EQ(mask_.EditText(), "453");
  EXPECT_TRUE(mask_.Escape());
  EXPECT_EQ(mask_.EditText(), "123");
  EXPECT_FALSE(mask_.Modified());

  // A failed validation re-enters without taking a new old value.
  Type("9");
  mask_.SetReEnter(true);
  mask_.Enter();
  EXPECT_FALSE(mask_.ReEnter());
  EXPECT_EQ(mask_.OldValue(), "123");
  mask_.Enter();
  EXPECT_EQ(mask_.OldValue(), "923");
}

// ---- Validation and the dBASE functions ----

TEST_F(WenMaskTest, RequiredPositions) {
  struct {
    const char* Mask;
    const char* Text;
    bool Ok;
    int Pos;
  } const cases[] = {
      {"000", "1_3", false, 1},     {"000", "123", true, 0},  {"00;0; ", "1 ", false, 1},
      {"CCC", "a c", true, 0},      {"LLL", "a c", false, 1}, {"999", "___", true, 0},
      {"(000)", "(12_)", false, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Mask) + " \"" + c.Text + "\"");
    Apply(c.Mask);
    mask_.SetEditText(c.Text);
    const TWenMask::TValidation v = mask_.Validate();
    EXPECT_EQ(v.Ok, c.Ok);
    if (!c.Ok) {
      EXPECT_EQ(v.Pos, c.Pos);
    }
  }
}

TEST_F(WenMaskTest, DateAndTimeFunctions) {
  struct {
    const char* Format;
    char Separator;
    const char* Mask;
    const char* Value;
    const char* Shown;
    bool Ok;
  } const cases[] = {
      {"MM/dd/yy", '/', "@D", "12/31/99", "12/31/99", true},
      {"MM/dd/yy", '/', "@D", "13/01/99", "13/01/99", false},  // month 13
      {"dd/MM/yy", '/', "@D", "13/01/99", "13/01/99", true},
      {"MM/dd/yy", '/', "@D", "02/30/24", "02/30/24", false},
      {"MM/dd/yy", '/', "@D", "12/  /99", "12/__/99", false},  // partly filled
      {"MM/dd/yy", '/', "@D", "", "__/__/__", true},           // all blank
      {"dd.MM.yyyy", '.', "@D", "31.12.99", "31.12.99", true},
      {"MM/dd/yy", '/', "@D;1; ", "", "  /  /  ", true},
      {"MM/dd/yy", '/', "@D99/99/9999", "02/29/2024", "02/29/2024", true},
      {"MM/dd/yy", '/', "@D99/99/9999", "02/29/2023", "02/29/2023", false},
      {"MM/dd/yy", '/', "@T", "23:59:00", "23:59:00", true},
      {"MM/dd/yy", '/', "@T", "24:00:00", "24:00:00", false},
      {"MM/dd/yy", '/', "@T", "", "__:__:__", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Format) + " " + c.Mask + " \"" + c.Value + "\"");
    platform::Locale().ShortDateFormat = c.Format;
    platform::Locale().DateSeparator = c.Separator;
    Apply(c.Mask, dBaseStyle);
    mask_.SetText(c.Value);
    EXPECT_EQ(mask_.EditText(), c.Shown);
    EXPECT_EQ(mask_.Validate().Ok, c.Ok);
  }
}

TEST_F(WenMaskTest, RequiredFunctionRefusesAnAllBlankValue) {
  Apply("@R999", dBaseStyle);
  EXPECT_FALSE(mask_.Validate().Ok);
  Type("  ");
  EXPECT_FALSE(mask_.Validate().Ok);
  Type("1");
  EXPECT_TRUE(mask_.Validate().Ok);
  Apply("999", dBaseStyle);
  EXPECT_TRUE(mask_.Validate().Ok);
}

TEST_F(WenMaskTest, MultipleChoice) {
  Apply("@M Yes;No", dBaseStyle);
  EXPECT_EQ(mask_.FunctionCode(), kFnChoice);
  ASSERT_EQ(mask_.Choices(), (std::vector<std::string>{" Yes", "No"}));
  EXPECT_EQ(mask_.MaxLength(), 4);
  EXPECT_EQ(mask_.EditText(), " Yes");  // a value that is no choice shows the first

  mask_.SetText("No");
  EXPECT_EQ(mask_.ChoiceIndex(), 1);
  EXPECT_TRUE(mask_.KeyDown(TMaskKey::Space, false, false));
  EXPECT_EQ(mask_.GetText(), " Yes");
  EXPECT_TRUE(mask_.Modified());
  mask_.KeyDown(TMaskKey::Space, false, false);
  EXPECT_EQ(mask_.GetText(), "No");

  // Typing, deleting and pasting change nothing and do not beep.
  mask_.SetCursor(0);
  Type("Yx ");
  EXPECT_TRUE(mask_.KeyDown(TMaskKey::Delete, false, false));
  EXPECT_TRUE(mask_.KeyDown(TMaskKey::Backspace, false, false));
  EXPECT_FALSE(mask_.Paste("Yes"));
  mask_.SetSelection(0, 2);
  EXPECT_FALSE(mask_.DeleteSelection());
  EXPECT_EQ(mask_.EditText(), "No");
  EXPECT_EQ(host_.beeps, 0);
  EXPECT_TRUE(mask_.Validate().Ok);

  // Entering shows the current choice when the text is none of them.
  mask_.SetText("Maybe");
  mask_.Enter();
  EXPECT_EQ(mask_.EditText(), "No");
  EXPECT_EQ(mask_.Caret(), 0);

  // A read-only control does not step.
  host_.read_only = true;
  mask_.KeyDown(TMaskKey::Space, false, false);
  EXPECT_EQ(mask_.EditText(), "No");
  host_.read_only = false;

  Apply("@M  A;B;C ", dBaseStyle);
  EXPECT_EQ(mask_.Choices(), (std::vector<std::string>{"  A", "B", "C"}));
  Apply("@M", dBaseStyle);  // no choices: no function
  EXPECT_EQ(mask_.FunctionCode(), kFnNone);
  Apply("@M;", dBaseStyle);
  EXPECT_EQ(mask_.FunctionCode(), kFnNone);
}

TEST_F(WenMaskTest, ZeroFunctionBlanksAZeroOnEntry) {
  struct {
    const char* Value;
    const char* Shown;
  } const cases[] = {
      {"0", "___"}, {"  0", "___"}, {"-0", "___"}, {"", "___"}, {"5", "5__"}, {"10", "10_"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    Apply("@Z 999", dBaseStyle);
    mask_.SetText(c.Value);
    mask_.Enter();
    EXPECT_EQ(mask_.EditText(), c.Shown);
    EXPECT_FALSE(mask_.Modified());
  }
}

TEST_F(WenMaskTest, NumericValue) {
  Apply("@Z999", dBaseStyle);
  struct {
    const char* Text;
    double Value;
  } const cases[] = {
      {"", 0},     {"___", 0},    {"0", 0},  {"  -0 ", 0}, {"1.5", 1.5}, {"+5", 5},
      {"-2.", -2}, {".25", 0.25}, {".", 1},  {"+.", 1},    {"-.", 1},    {"-", 1},
      {"+", 1},    {"1 2", 1},    {"1-", 1}, {"1..2", 1},  {"a", 1},     {"_0_", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_DOUBLE_EQ(mask_.NumericValue(c.Text), c.Value);
  }
  platform::Locale().DecimalSeparator = ',';
  EXPECT_DOUBLE_EQ(mask_.NumericValue("1,5"), 1.5);
  EXPECT_DOUBLE_EQ(mask_.NumericValue("1.5"), 1);
}

TEST_F(WenMaskTest, CaretFunctionsOnEntry) {
  Apply("@E XXXXX", dBaseStyle);
  mask_.SetText("ab");
  mask_.Enter();
  EXPECT_EQ(mask_.Caret(), 2);
  Apply("@H XXXXX", dBaseStyle);
  mask_.SetText("ab");
  mask_.SetSelection(0, 5);
  mask_.Enter();
  EXPECT_EQ(mask_.Caret(), 0);
  EXPECT_EQ(mask_.SelLength(), 1);
}

}  // namespace
}  // namespace components
