#include "components/core/wen_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "components/core/wen_dataset.h"
#include "engine/bytes.h"
#include "engine/engine.h"
#include "engine/numerics.h"
#include "engine/utils.h"
#include "platform/core/clock.h"
#include "platform/core/halt.h"
#include "platform/core/locale_settings.h"

namespace components {
namespace {

// The base data source serves one record: the values in the fields' outside copies. This one
// also keeps memos.
class TMemoSource : public TWenDataSource {
 public:
  void GetMemo(int32_t block, std::vector<std::string>& lines) override {
    lines = {"block " + std::to_string(block), "M\x81ller"};  // OEM u-umlaut
  }
  void PutMemo(const std::string& field_name, const std::vector<std::string>& lines) override {
    stored_field = field_name;
    stored_lines = lines;
    if (memo_slot != nullptr) engine::PutI32LE(memo_slot, 77);  // the memo's new block
  }
  std::string stored_field;
  std::vector<std::string> stored_lines;
  uint8_t* memo_slot = nullptr;
};

class WenFieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine::ResetEngine();
    platform::ResetLocaleSettings();
    platform::SetTestNow({2024, 6, 15});
    platform::SetMessageHook([this](const std::string& text, const std::string&,
                                    platform::MessageIcon, platform::MessageButtons) {
      shown_.push_back(text);
      return platform::kResultOk;
    });
    std::memset(native_, 0, sizeof(native_));
  }
  void TearDown() override {
    platform::SetMessageHook(nullptr);
    platform::ClearTestNow();
    platform::ResetLocaleSettings();
    MessageMode(2);
  }

  // One field over the start of the native buffer, the dataset opened.
  TWenField* OpenField(char type, int len, int dec) {
    TWenField* f = source_.DataSet()->AddField("value", type, len, dec, native_);
    source_.DataSet()->Open();
    return f;
  }

  TMemoSource source_;
  uint8_t native_[64];
  std::vector<std::string> shown_;
};

TEST_F(WenFieldTest, TextsReadBackByType) {
  struct {
    char Type;
    int Len, Dec;
    const char* Input;
    const char* Text;
  } const cases[] = {
      {'C', 30, 0, "Hello World                   ", "Hello World"},
      {'C', 30, 0, "  ab  ", "  ab"},  // leading blanks stay
      {'C', 5, 0, "abcdefg", "abcde"},
      {'C', 10, 0, "tab\t\x01", "tab"},  // control characters trimmed at the end
      {'N', 5, 0, "42", "42"},
      {'N', 5, 0, "-17", "-17"},
      {'N', 8, 2, "3.5", "3.50"},
      {'N', 8, 2, "-3.456", "-3.46"},
      {'N', 8, 2, "-0.001", "0.00"},
      {'F', 12, 3, "1234.5678", "1234.568"},
      {'N', 8, 2, "", "0.00"},
      {'L', 1, 0, "Yes", "true"},
      {'L', 1, 0, "TRUE", "true"},
      {'L', 1, 0, "is .t. here", "true"},
      {'L', 1, 0, "no", "false"},
      {'L', 1, 0, "", "false"},
      {'D', 8, 0, "12/31/99", "12/31/99"},
      {'D', 8, 0, " 1/05/99", "01/05/99"},  // a blank for a leading zero
      {'D', 8, 0, "  /  /  ", "  /  /  "},  // no digit: stored unchanged
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(1, c.Type) + " '" + c.Input + "'");
    TMemoSource source;
    uint8_t native[32] = {};
    TWenField* f = source.DataSet()->AddField("v", c.Type, c.Len, c.Dec, native);
    source.DataSet()->Open();
    f->SetText(c.Input);
    EXPECT_EQ(f->GetText(), c.Text);
    // The outside copy holds the value too.
    EXPECT_EQ(std::memcmp(native, f->ActiveValue(), f->NativeSize), 0);
  }
}

// Each decimal separator with each thousands separator (none: '\0'): the field shows its
// value with the decimal separator, accepts that separator as a key and no other, and takes
// back the text it shows, also with grouping typed in.
TEST_F(WenFieldTest, NumberTextsRoundTripUnderEverySeparatorSetting) {
  struct Value {
    int Len, Dec;
    double Stored;
    const char* Shown;  // with "." for the decimal separator
  };
  const Value values[] = {
      {8, 2, 3.5, "3.50"}, {8, 2, -1234.25, "-1234.25"}, {12, 3, 1234567.125, "1234567.125"},
      {8, 2, 0, "0.00"},   {8, 1, 0.1, "0.1"},           {10, 4, -0.0005, "-0.0005"},
      {5, 0, 42, "42"},    {9, 0, -1234567, "-1234567"},
  };
  for (const char decimal : {'.', ','}) {
    for (const char thousands : {'.', ',', ' ', '\0'}) {
      if (thousands == decimal) continue;
      platform::Locale().DecimalSeparator = decimal;
      platform::Locale().ThousandSeparator = thousands;
      for (const Value& v : values) {
        SCOPED_TRACE(std::string("decimal '") + decimal + "' thousands '" +
                     (thousands ? std::string(1, thousands) : "none") + "' " + v.Shown);
        std::string shown = v.Shown;
        std::replace(shown.begin(), shown.end(), '.', decimal);
        TMemoSource source;
        uint8_t native[16] = {};
        TWenField* f = source.DataSet()->AddField("v", 'N', v.Len, v.Dec, native);
        source.DataSet()->Open();
        f->SetText(shown);
        EXPECT_EQ(f->GetText(), shown);
        for (char key : f->GetText()) EXPECT_TRUE(f->IsValidChar(key)) << key;
        if (v.Dec > 0) {
          EXPECT_FALSE(f->IsValidChar(decimal == '.' ? ',' : '.'));
          engine::Real48 r;
          std::memcpy(r.data(), native, r.size());
          EXPECT_NEAR(engine::Real48Decode(r), v.Stored, 1e-9 * std::max(1.0, std::abs(v.Stored)));
        } else {
          EXPECT_EQ(engine::GetI32LE(native), static_cast<int32_t>(v.Stored));
        }
        f->SetText(f->GetText());
        EXPECT_EQ(f->GetText(), shown) << "the text shown is taken back";
        if (thousands != '\0' && std::abs(v.Stored) >= 1000) {
          // The same value typed with grouping: "1.234,25" beside "1234,25".
          std::string grouped = shown;
          const size_t digits_end =
              grouped.find(decimal) == std::string::npos ? grouped.size() : grouped.find(decimal);
          grouped.insert(digits_end - 3, 1, thousands);
          f->SetText(grouped);
          EXPECT_EQ(f->GetText(), shown) << grouped;
        }
      }
    }
  }
}

// The engine's separators do not decide what a field reads: the class layer's do.
TEST_F(WenFieldTest, NumberTextsFollowTheClassLayerNotTheEngine) {
  TWenField* f = OpenField('N', 8, 2);
  platform::Locale().DecimalSeparator = ',';
  platform::Locale().ThousandSeparator = '.';
  engine::DecimalSep = '.';
  engine::GroupSep = ',';
  f->SetText("3,5");
  EXPECT_EQ(f->GetText(), "3,50");
  EXPECT_EQ(engine::DecimalSep, '.') << "the engine's settings are left as they were";
  EXPECT_EQ(engine::GroupSep, ',');
  // Separators set equal: the decimal one wins, nothing is grouped.
  platform::Locale().ThousandSeparator = ',';
  f->SetText("3,5");
  EXPECT_EQ(f->GetText(), "3,50");
}

// glibc's fr_FR groups with U+202F, which has no ANSI byte: the start settings then group
// with "." beside the decimal ",", and "3,5" is three and a half, in the field and the engine.
TEST_F(WenFieldTest, AFrenchLocaleReadsThreeCommaFiveAsThreeAndAHalf) {
  ApplyLocaleTexts({"%d/%m/%Y", "%H:%M:%S", ",", "\xE2\x80\xAF", "UTF-8"});
  ApplyEngineSettingsFromLocale();
  TWenField* f = OpenField('N', 8, 2);
  f->SetText("3,5");
  EXPECT_EQ(f->GetText(), "3,50");
  EXPECT_DOUBLE_EQ(engine::TextToReal("3,5"), 3.5);
  EXPECT_DOUBLE_EQ(engine::TextToReal("1.234,5"), 1234.5);
}

TEST_F(WenFieldTest, MemoTextsFollowTheBlockNumber) {
  TWenField* f = OpenField('M', 10, 0);
  for (auto [block, text] : {std::pair{0, "none"}, {5, "MEMO"}, {-3, "BLOB"}}) {
    engine::PutI32LE(native_, block);
    source_.DataSet()->Resync(true);  // re-read the record from the outside copy
    EXPECT_EQ(f->GetText(), text);
    EXPECT_EQ(f->IsBlob(), block < 0);
  }
}

TEST_F(WenFieldTest, AccentedLettersRoundTripThroughOem) {
  TWenField* f = OpenField('C', 10, 0);
  f->SetText("M\xFCller");  // ANSI u-umlaut
  EXPECT_EQ(native_[0], 6);
  EXPECT_EQ(native_[2], 0x81);  // stored as OEM
  EXPECT_EQ(f->GetText(), "M\xFCller");
}

TEST_F(WenFieldTest, DateTextsAreCheckedUnderTheLocale) {
  struct {
    const char* Format;
    char Separator;
    const char* Input;
    const char* Stored;  // nullptr: refused with the message, value unchanged
  } const cases[] = {
      {"MM/dd/yy", '/', "12/31/99", "12/31/99"},
      {"MM/dd/yy", '/', " 2/ 3/24", "02/03/24"},
      {"MM/dd/yy", '/', "13/01/99", nullptr},
      {"MM/dd/yy", '/', "02/30/24", nullptr},
      {"MM/dd/yy", '/', "31.12.2023", nullptr},
      {"dd.MM.yyyy", '.', "31.12.2023", "31.12.2023"},
      {"dd.MM.yyyy", '.', " 1.02.2024", "01.02.2024"},
      {"dd.MM.yyyy", '.', "  .  .    ", "  .  .    "},
      {"dd.MM.yyyy", '.', "12/31/99", nullptr},
      {"dd.MM.yyyy", '.', "29.02.2023", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Format) + " '" + c.Input + "'");
    platform::Locale().ShortDateFormat = c.Format;
    platform::Locale().DateSeparator = c.Separator;
    TMemoSource source;
    uint8_t native[16] = {};
    TWenField* f = source.DataSet()->AddField("when", 'D', 8, 0, native);
    source.DataSet()->Open();
    f->SetText("before");  // refused too: no date
    shown_.clear();
    uint8_t* v = f->ActiveValue();
    v[0] = 3, std::memcpy(v + 1, "old", 3);
    f->SetText(c.Input);
    if (c.Stored != nullptr) {
      EXPECT_EQ(f->GetText(), c.Stored);
      EXPECT_TRUE(shown_.empty());
      EXPECT_TRUE(source.DataSet()->Modified());
    } else {
      EXPECT_EQ(f->GetText(), "old");
      ASSERT_EQ(shown_.size(), 1u);
      EXPECT_EQ(shown_[0], std::string("Invalid Date '") + c.Input + "' specified (Field: when)");
      EXPECT_FALSE(source.DataSet()->Modified());
    }
  }
  // The message is shown in message mode 2 only; the value stays unchanged either way.
  MessageMode(1);
  shown_.clear();
  platform::Locale() = platform::LocaleSettings{};
  TWenField* f = OpenField('D', 8, 0);
  f->SetText("99/99/99");
  EXPECT_TRUE(shown_.empty());
  EXPECT_EQ(f->GetText(), "");
}

TEST_F(WenFieldTest, TypedAccessIsCheckedAgainstTheType) {
  TWenField* c = source_.DataSet()->AddField("name", 'C', 10, 0, native_);
  TWenField* l = source_.DataSet()->AddField("flag", 'L', 1, 0, native_ + 11);
  TWenField* m = source_.DataSet()->AddField("notes", 'M', 10, 0, native_ + 12);
  source_.memo_slot = native_ + 12;
  source_.DataSet()->Open();
  auto message = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const EWendalError& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message([&] { c->GetAsBoolean(); }), "Field 'name' is not of the expected type");
  EXPECT_EQ(message([&] { c->SetAsBoolean(true); }), "Field 'name' is not of the expected type");
  EXPECT_EQ(message([&] { l->GetLines(); }), "Field 'flag' is not of the expected type");
  EXPECT_EQ(message([&] { c->SetLines({}); }), "Field 'name' is not of the expected type");

  l->SetAsBoolean(true);
  EXPECT_TRUE(l->GetAsBoolean());
  EXPECT_EQ(native_[11], 1);

  engine::PutI32LE(native_ + 12, 9);
  source_.DataSet()->Resync(true);
  EXPECT_EQ(m->GetLines(), (std::vector<std::string>{"block 9", "M\xFCller"}));
  // Stored in OEM; the new block number reaches the record buffer and stays in the outside copy.
  std::vector<std::string> lines = {
      "Gr\xFC\xDF"
      "e"};
  m->SetLines(lines);
  EXPECT_EQ(lines[0],
            "Gr\xFC\xDF"
            "e");  // the caller's list is left as it is
  EXPECT_EQ(source_.stored_field, "notes");
  EXPECT_EQ(source_.stored_lines, (std::vector<std::string>{"Gr\x81\xE1"
                                                            "e"}));
  EXPECT_EQ(engine::GetI32LE(m->ActiveValue()), 77);
  EXPECT_EQ(engine::GetI32LE(native_ + 12), 77);
  EXPECT_EQ(m->GetText(), "MEMO");
}

TEST_F(WenFieldTest, WritingWithoutARecordRaises) {
  TWenField* f = source_.DataSet()->AddField("name", 'C', 10, 0, native_);
  EXPECT_EQ(f->GetText(), "");
  EXPECT_THROW(f->SetText("x"), EWendalError);  // closed dataset
}

TEST_F(WenFieldTest, ChangesNotifyTheFieldAndTheDataSource) {
  TWenField* f = OpenField('C', 10, 0);
  int changes = 0;
  f->OnChange = [&](TWenField* sender) {
    EXPECT_EQ(sender, f);
    ++changes;
  };
  std::vector<TWenField*> seen;
  source_.OnDataChange = [&](TWenDataSource*, TWenField* field) { seen.push_back(field); };
  f->SetText("abc");
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(source_.DataSet()->Modified());
  EXPECT_EQ(seen, (std::vector<TWenField*>{f}));

  f->Calculated = true;  // a calculated field does not mark the record modified
  source_.DataSet()->Close();
  source_.DataSet()->Open();
  f->SetText("def");
  EXPECT_FALSE(source_.DataSet()->Modified());
  EXPECT_EQ(changes, 2);
}

TEST_F(WenFieldTest, WidthsAndValidKeysByType) {
  TMemoSource source;
  TWenDataSet* ds = source.DataSet();
  TWenField* c = ds->AddField("c", 'C', 12, 0, nullptr);
  TWenField* n0 = ds->AddField("n0", 'N', 5, 0, nullptr);
  TWenField* n2 = ds->AddField("n2", 'N', 8, 2, nullptr);
  TWenField* d = ds->AddField("d", 'D', 8, 0, nullptr);
  TWenField* l = ds->AddField("l", 'L', 1, 0, nullptr);
  TWenField* m = ds->AddField("m", 'M', 10, 0, nullptr);
  EXPECT_EQ(c->DisplayWidth(), 12);
  EXPECT_EQ(n2->DisplayWidth(), 8);
  EXPECT_EQ(l->DisplayWidth(), 5);  // "false"
  EXPECT_EQ(m->DisplayWidth(), 5);

  platform::Locale().DecimalSeparator = ',';
  platform::Locale().DateSeparator = '.';
  struct {
    TWenField* Field;
    const char* Valid;
    const char* Invalid;
  } const cases[] = {
      {n2, "+-09,", ".ae/"}, {n0, "+-09", ",.a"}, {d, "09.", "/-a"}, {c, "a.,/ ", ""}, {l, "x", ""},
  };
  for (const auto& k : cases) {
    for (const char* p = k.Valid; *p; ++p) EXPECT_TRUE(k.Field->IsValidChar(*p)) << *p;
    for (const char* p = k.Invalid; *p; ++p) EXPECT_FALSE(k.Field->IsValidChar(*p)) << *p;
  }
}

}  // namespace
}  // namespace components
