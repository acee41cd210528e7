#include "components/core/wen_field.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "components/core/date_text.h"
#include "components/core/wen_dataset.h"
#include "engine/bytes.h"
#include "engine/numerics.h"
#include "engine/utils.h"
#include "platform/core/locale_settings.h"

namespace components {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value with `dec` decimals, as the format "0.00..." gives it: the value's 15 significant
// digits rounded at the last decimal with halves away from zero; no sign when the result is 0.
std::string FormatFixed(double value, int dec) {
  if (!std::isfinite(value)) value = 0;
  char buf[64];
  auto res =
      std::to_chars(buf, buf + sizeof(buf), std::fabs(value), std::chars_format::scientific, 14);
  std::string sci(buf, res.ptr);
  // d.dddddddddddddde[+-]xx -> the digits and the exponent of the first one.
  const size_t e = sci.find('e');
  std::string digits = sci.substr(0, 1) + sci.substr(2, e - 2);
  int exp10 = 0;
  std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exp10);
  if (value == 0) digits = "0", exp10 = 0;
  // Place the digits: integer part has exp10 + 1 digits (at least one "0").
  std::string int_part, frac_part;
  const int int_len = exp10 + 1;
  if (int_len <= 0) {
    int_part = "0";
    frac_part = std::string(static_cast<size_t>(-int_len), '0') + digits;
  } else if (static_cast<size_t>(int_len) >= digits.size()) {
    int_part = digits + std::string(int_len - digits.size(), '0');
  } else {
    int_part = digits.substr(0, int_len);
    frac_part = digits.substr(int_len);
  }
  // Round half away from zero at `dec` decimals (the magnitude is rounded).
  bool round_up = frac_part.size() > static_cast<size_t>(dec) && frac_part[dec] >= '5';
  frac_part.resize(dec, '0');
  std::string all = int_part + frac_part;
  if (round_up) {
    int i = static_cast<int>(all.size()) - 1;
    while (i >= 0 && all[i] == '9') all[i--] = '0';
    if (i < 0) {
      all.insert(all.begin(), '1');
    } else {
      ++all[i];
    }
  }
  std::string out = all.substr(0, all.size() - dec);
  if (dec > 0) out += '.' + all.substr(all.size() - dec);
  const bool zero = std::all_of(all.begin(), all.end(), [](char c) { return c == '0'; });
  if (value < 0 && !zero) out.insert(out.begin(), '-');
  return out;
}

// A number text as the field shows it: the value with `dec` decimals and the class layer's
// decimal separator.
std::string NumberText(double value, int dec) {
  std::string text = engine::AllTrim(FormatFixed(value, dec));
  const char decimal = platform::Locale().DecimalSeparator;
  if (decimal != '.') std::replace(text.begin(), text.end(), '.', decimal);
  return text;
}

// The engine's conversions read engine::DecimalSep and engine::GroupSep; a field reads its
// text with the class layer's separators, so that it takes back the text it shows whatever the
// engine was set to. A thousands separator equal to the decimal one would swallow the decimal
// separator: it then groups nothing.
class TFieldNumberSeparators {
 public:
  TFieldNumberSeparators()
      : decimal_(engine::DecimalSep, platform::Locale().DecimalSeparator),
        group_(engine::GroupSep, GroupOf(platform::Locale())) {}

 private:
  static char GroupOf(const platform::LocaleSettings& locale) {
    return locale.ThousandSeparator == locale.DecimalSeparator ? '\0' : locale.ThousandSeparator;
  }

  TScopedValue<char> decimal_;
  TScopedValue<char> group_;
};

}  // namespace

TWenField::TWenField(TWenDataSet* data_set) : TComponent(nullptr), DataSet(data_set) {}

TWenField::~TWenField() { MarkDestroying(); }

uint16_t TWenField::NativeSizeOf(char type, uint8_t len, uint8_t dec) {
  switch (type) {
    case 'C':
      return static_cast<uint16_t>(len + 1);
    case 'D':
      return 11;
    case 'F':
    case 'N':
      return dec > 0 ? 6 : 4;
    case 'L':
      return 1;
    case 'M':
      return 4;
    default:
      return 0;
  }
}

uint8_t* TWenField::ActiveValue() const {
  return DataSet != nullptr ? DataSet->FieldValue(this) : nullptr;
}

std::string TWenField::GetText() const {
  const uint8_t* v = ActiveValue();
  if (v == nullptr) return std::string();
  switch (FieldType) {
    case 'C': {
      const size_t n = std::min<size_t>(v[0], Len);
      std::string s(reinterpret_cast<const char*>(v + 1), n);
      return engine::RTrim(engine::OemToAnsiStr(s));
    }
    case 'D':
      return std::string(reinterpret_cast<const char*>(v + 1), std::min<size_t>(v[0], 10));
    case 'L':
      return v[0] != 0 ? TrueText : FalseText;
    case 'F':
    case 'N':
      if (Dec == 0) return std::to_string(engine::GetI32LE(v));
      {
        engine::Real48 r;
        std::memcpy(r.data(), v, r.size());
        return NumberText(engine::Real48Decode(r), Dec);
      }
    case 'M': {
      const int32_t block = engine::GetI32LE(v);
      return block == 0 ? "none" : block > 0 ? "MEMO" : "BLOB";
    }
    default:
      return std::string();
  }
}

uint8_t* TWenField::WritableValue() const {
  uint8_t* v = ActiveValue();
  if (v != nullptr) return v;
  // Open but without a record: nothing to write to.
  if (DataSet != nullptr && DataSet->Active()) RaiseMsg(kMsgNotEditing);
  RaiseMsg(kMsgDataSetClosed);
}

bool TWenField::CheckDate(const std::string& value) const {
  std::string text = value.substr(0, 10);
  if (std::none_of(text.begin(), text.end(), IsDigit)) {
    std::replace(text.begin(), text.end(), ' ', '1');
  }
  if (TextToDate(text, platform::Locale(), nullptr)) return true;
  ShowMsgFmt(kMsgInvalidDate, {value, FieldName});
  return false;
}

void TWenField::SetText(const std::string& value) {
  uint8_t* v = WritableValue();
  switch (FieldType) {
    case 'C': {
      const std::string oem = engine::AnsiToOemStr(value.substr(0, Len));
      v[0] = static_cast<uint8_t>(oem.size());
      std::memcpy(v + 1, oem.data(), oem.size());
      std::memset(v + 1 + oem.size(), ' ', Len - oem.size());
      break;
    }
    case 'D': {
      if (!CheckDate(value)) return;
      std::string text = value;
      if (engine::AllTrim(text).size() > 4) std::replace(text.begin(), text.end(), ' ', '0');
      text = text.substr(0, 10);
      v[0] = static_cast<uint8_t>(text.size());
      std::memset(v + 1, ' ', 10);
      std::memcpy(v + 1, text.data(), text.size());
      break;
    }
    case 'F':
    case 'N': {
      const TFieldNumberSeparators separators;
      if (Dec > 0) {
        const engine::Real48 r = engine::Real48Encode(engine::TextToReal(value));
        std::memcpy(v, r.data(), r.size());
      } else {
        engine::PutI32LE(v, engine::TextToLong(value));
      }
      break;
    }
    case 'L': {
      const std::string lower = LowerStr(value);
      auto holds = [&](const std::string& text) {
        const std::string t = LowerStr(text);
        return !t.empty() && lower.find(t) != std::string::npos;
      };
      v[0] = (holds(TrueText) || holds(YesText) || holds(".t.")) ? 1 : 0;
      break;
    }
    default:
      return;  // memo and unknown types take no text
  }
  ValueWritten(v);
}

void TWenField::ValueWritten(uint8_t* value) {
  if (UserVar != nullptr) std::memcpy(UserVar, value, NativeSize);
  if (DataSet != nullptr && DataSet->State() != stCalcFields) {
    TWenDataEventInfo info;
    info.Field = this;
    DataSet->DataEvent(evFieldChanged, info);
  }
}

bool TWenField::GetAsBoolean() const {
  if (FieldType != 'L') RaiseMsgFmt(kMsgFieldWrongType, {FieldName});
  const uint8_t* v = ActiveValue();
  return v != nullptr && v[0] != 0;
}

void TWenField::SetAsBoolean(bool value) {
  if (FieldType != 'L') RaiseMsgFmt(kMsgFieldWrongType, {FieldName});
  uint8_t* v = WritableValue();
  v[0] = value ? 1 : 0;
  ValueWritten(v);
}

const std::vector<std::string>& TWenField::GetLines() {
  lines_.clear();
  if (FieldType != 'M') RaiseMsgFmt(kMsgFieldWrongType, {FieldName});
  const uint8_t* v = ActiveValue();
  if (v == nullptr || DataSet == nullptr || DataSet->DataSource() == nullptr) return lines_;
  DataSet->DataSource()->GetMemo(engine::GetI32LE(v), lines_);
  for (std::string& line : lines_) line = engine::OemToAnsiStr(line);
  return lines_;
}

void TWenField::SetLines(const std::vector<std::string>& lines) {
  if (FieldType != 'M') RaiseMsgFmt(kMsgFieldWrongType, {FieldName});
  uint8_t* v = WritableValue();
  if (DataSet->DataSource() == nullptr) RaiseMsg(kMsgDataSetClosed);
  std::vector<std::string> oem;
  oem.reserve(lines.size());
  for (const std::string& line : lines) oem.push_back(engine::AnsiToOemStr(line));
  DataSet->DataSource()->PutMemo(FieldName, oem);
  // The data source stores the memo's new block number in the native buffer (UserVar); the
  // active buffer takes it from there, so that posting the record keeps the new memo.
  if (UserVar != nullptr) std::memcpy(v, UserVar, NativeSize);
  ValueWritten(v);
}

bool TWenField::IsBlob() const {
  if (FieldType != 'M') return false;
  const uint8_t* v = ActiveValue();
  return v != nullptr && engine::GetI32LE(v) < 0;
}

int TWenField::DisplayWidth() const {
  switch (FieldType) {
    case 'L':
      return static_cast<int>(
          std::max({TrueText.size(), FalseText.size(), YesText.size(), NoText.size()}));
    case 'M':
      return 5;
    default:
      return Len;
  }
}

bool TWenField::IsValidChar(char key) const {
  const platform::LocaleSettings& locale = platform::Locale();
  switch (FieldType) {
    case 'F':
    case 'N':
      if (key == '+' || key == '-' || IsDigit(key)) return true;
      return Dec > 0 && key == locale.DecimalSeparator;
    case 'D':
      return IsDigit(key) || key == locale.DateSeparator;
    default:
      return true;
  }
}

void TWenField::Change() {
  if (OnChange) OnChange(this);
}

}  // namespace components
