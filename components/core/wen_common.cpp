#include "components/core/wen_common.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "components/core/wen_dataset.h"
#include "engine/dates.h"
#include "engine/utils.h"
#include "platform/core/code_pages.h"
#include "platform/core/halt.h"
#include "platform/core/locale_settings.h"

namespace components {

// ---- TComponent --------------------------------------------------------------------------

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->InsertComponent(this);
}

TComponent::~TComponent() {
  MarkDestroying();
  // Owned components go newest first; each one takes itself off the list as it goes.
  while (!components_.empty()) delete components_.back();
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::SetName(const std::string& new_name) { name_ = new_name; }

void TComponent::Loaded() {
  state_ &= static_cast<uint8_t>(~csLoading);
  // Copy: a component's Loaded may create or free components of its own.
  std::vector<TComponent*> children = components_;
  for (TComponent* child : children) {
    if (std::find(components_.begin(), components_.end(), child) != components_.end() &&
        child->Loading()) {
      child->Loaded();
    }
  }
}

void TComponent::BeginLoading() {
  state_ |= csLoading;
  for (TComponent* child : components_) child->BeginLoading();
}

void TComponent::InsertComponent(TComponent* child) { components_.push_back(child); }

void TComponent::RemoveComponent(TComponent* child) {
  auto it = std::find(components_.begin(), components_.end(), child);
  if (it != components_.end()) components_.erase(it);
}

// ---- Message texts -----------------------------------------------------------------------

namespace {

struct TMsgEntry {
  int id;
  const char* text;
};

// The library's string table.
constexpr TMsgEntry kStringTable[] = {
    {57347, "Field '%s' is not of the expected type"},
    {57348, "Field '%s' not found"},
    {57349, "Field name missing"},
    {57350, "Duplicate field name '%s'"},
    {57351, "Invalid field name '%s'"},
    {57352, "Invalid field type '%s' for '%s'"},
    {57354, "Dataset not in edit or insert mode"},
    {57355, "Cannot perform this operation on a closed dataset"},
    {57356, "Cannot modify a read-only dataset"},
    {57364, "Database is not open"},
    {57365, "Field '%s' not in '%s'"},
    {57366, "'%s()' expects field '%s' to be of type:\r\n'%s'.'%s' actually is: '%s'"},
    {57371,
     "Data for '%s' is invalid, there may be problems at runtime.\r\nPlease check if the data "
     "matches the mask you have specified."},
    {57601, "Could not create '%s'"},
    {57602, "This field cannot be left empty!"},
    {57603,
     "The first 10 characters of Name property\r\nmust be unique, since this part\r\nof the name "
     "is used as an ALIAS."},
    {57604, "DbfFieldList is Nil trying to create a database"},
    {57605, "FieldList.Count is <= 0 trying to create a database"},
    {57606, "Cannot open:\r\n'%s'\r\nError no: '%s'\r\n'%s'"},
    {57608, "Could not open the database and get field info:\r\n'%s'"},
    {57619, "Invalid Date '%s' specified (Field: %s)"},
    {57620, "Lock failed [%s]"},
    {57857, "true"},
    {57858, "false"},
    {57859, "yes"},
    {57860, "no"},
    {57862, "Restore Record ?"},
    {57863, "Delete Record ?"},
    {57864, "Go to first record"},
    {57865, "Go to prior record"},
    {57866, "Go to next record"},
    {57867, "Go to last record"},
    {57868, "Insert a record"},
    {57869, "Delete/Restore record"},
    {57870, "Edit record"},
    {57871, "Save changes"},
    {57872, "Cancel edit"},
    {57873, "Refresh record"},
    {57874, "Invalid input value. Use Escape key to abandon changes"},
};

uint8_t g_message_mode = 2;

}  // namespace

std::string FormatMsg(std::string_view fmt, TFmtArgs args) {
  std::string out;
  auto next = args.begin();
  for (size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] != '%' || i + 1 >= fmt.size()) {
      out += fmt[i];
      continue;
    }
    const char spec = fmt[i + 1];
    if (spec == '%') {
      out += '%';
      ++i;
    } else if (spec == 's' || spec == 'd') {
      if (next != args.end()) out += (next++)->Text();
      ++i;
    } else {
      out += fmt[i];
    }
  }
  return out;
}

std::string LoadMsg(int id) {
  for (const TMsgEntry& e : kStringTable) {
    if (e.id == id) return e.text;
  }
  return std::string();
}

std::string FmtLoadMsg(int id, TFmtArgs args) { return FormatMsg(LoadMsg(id), args); }

void RaiseMsg(int id) { throw EWendalError(LoadMsg(id)); }

void RaiseMsgFmt(int id, TFmtArgs args) { throw EWendalError(FmtLoadMsg(id, args)); }

uint8_t MessageMode(uint8_t new_mode) {
  const uint8_t old = g_message_mode;
  if (new_mode != 0) g_message_mode = new_mode;
  return old;
}

namespace {
void ShowText(const std::string& text) {
  if (g_message_mode != 2) return;
  platform::ShowMessage(text, std::string(), platform::kIconNone, platform::kButtonsOk);
}
}  // namespace

void ShowMsg(int id) { ShowText(LoadMsg(id)); }

void ShowMsgFmt(int id, TFmtArgs args) { ShowText(FmtLoadMsg(id, args)); }

bool SuspendHalt() {
  const bool old = engine::AbortOnError;
  engine::AbortOnError = false;
  return old;
}

bool ResumeHalt() {
  const bool old = engine::AbortOnError;
  engine::AbortOnError = true;
  return old;
}

std::string AllTrimStr(const std::string& s) { return engine::AllTrim(s); }

std::string LowerStr(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string TrueText = "true";
std::string FalseText = "false";
std::string YesText = "yes";
std::string NoText = "no";

// ---- TWenSession -------------------------------------------------------------------------

void TWenSession::AddDataSource(TWenDataSource* data_source) {
  if (data_source == nullptr) return;
  if (std::find(data_sources_.begin(), data_sources_.end(), data_source) == data_sources_.end())
    data_sources_.push_back(data_source);
}

void TWenSession::RemoveDataSource(TWenDataSource* data_source) {
  auto it = std::find(data_sources_.begin(), data_sources_.end(), data_source);
  if (it != data_sources_.end()) data_sources_.erase(it);
}

TWenDataSource* TWenSession::FindByName10(const std::string& name,
                                          const TWenDataSource* except) const {
  const std::string key = engine::UpperCopy(name.substr(0, 10));
  for (TWenDataSource* ds : data_sources_) {
    if (ds == except) continue;
    if (engine::UpperCopy(ds->GetName().substr(0, 10)) == key) return ds;
  }
  return nullptr;
}

TWenSession* WenSession = nullptr;

// ---- Start settings ----------------------------------------------------------------------

namespace {

int g_init_count = 0;
int g_exit_proc = -1;

platform::CodePage AnsiPage() { return platform::AnsiCodePage(); }

bool IsUtf8Codeset(std::string_view codeset) {
  std::string c;
  for (char ch : codeset) {
    if (ch != '-' && ch != '_') c += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
  }
  return c == "UTF8";
}

bool IsLatin1Codeset(std::string_view codeset) {
  std::string c;
  for (char ch : codeset) {
    if (ch != '-' && ch != '_') c += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
  }
  return c == "ISO88591" || c == "LATIN1";
}

// The characters of a text in the given codeset; nullopt when it cannot be decoded. UTF-8 and
// Latin-1 are decoded; in any other codeset only ASCII is accepted.
std::optional<std::u32string> DecodeText(std::string_view text, std::string_view codeset) {
  std::u32string out;
  if (IsUtf8Codeset(codeset)) {
    for (size_t i = 0; i < text.size();) {
      const auto b = static_cast<unsigned char>(text[i]);
      int extra = 0;
      char32_t c = 0;
      if (b < 0x80) {
        c = b;
      } else if ((b & 0xE0) == 0xC0) {
        extra = 1, c = b & 0x1F;
      } else if ((b & 0xF0) == 0xE0) {
        extra = 2, c = b & 0x0F;
      } else if ((b & 0xF8) == 0xF0) {
        extra = 3, c = b & 0x07;
      } else {
        return std::nullopt;
      }
      if (i + extra >= text.size() && extra > 0) return std::nullopt;
      for (int k = 1; k <= extra; ++k) {
        const auto cb = static_cast<unsigned char>(text[i + k]);
        if ((cb & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (cb & 0x3F);
      }
      out += c;
      i += 1 + extra;
    }
    return out;
  }
  const bool latin1 = IsLatin1Codeset(codeset);
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && !latin1) return std::nullopt;
    out += static_cast<char32_t>(b);
  }
  return out;
}

std::optional<char> AnsiByteOf(char32_t c) {
  if (c > 0xFFFF) return std::nullopt;
  const auto b = platform::CodePageByte(AnsiPage(), static_cast<char16_t>(c));
  if (!b) return std::nullopt;
  return static_cast<char>(*b);
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

const char* LangInfo(nl_item item, locale_t loc) {
  const char* s = nl_langinfo_l(item, loc);
  return s != nullptr ? s : "";
}

// The index of the conversion character of the directive starting with the "%" at `i`, past
// its flags, width and E/O modifier (which do not change the field); npos when the format ends
// first.
size_t ConversionAt(std::string_view format, size_t i) {
  size_t j = i + 1;
  while (j < format.size() && (format[j] == '-' || format[j] == '_' || format[j] == '0' ||
                               format[j] == '^' || format[j] == '#')) {
    ++j;
  }
  while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
  if (j < format.size() && (format[j] == 'E' || format[j] == 'O')) ++j;
  return j < format.size() ? j : std::string_view::npos;
}

// `format` with its non-ASCII characters (in `codeset`) turned into ANSI bytes; nothing when
// one has no ANSI byte or the text does not decode.
std::optional<std::string> AnsiFormat(const std::string& format, std::string_view codeset) {
  if (std::none_of(format.begin(), format.end(), [](char c) { return (c & 0x80) != 0; }))
    return format;
  const auto chars = DecodeText(format, codeset);
  if (!chars) return std::nullopt;
  std::string ansi;
  for (char32_t c : *chars) {
    const auto b = AnsiByteOf(c);
    if (!b) return std::nullopt;
    ansi += *b;
  }
  return ansi;
}

}  // namespace

std::string DateFormatFromStrftime(std::string_view format) {
  const std::string kFallback = "MM/dd/yy";
  std::string out;
  int days = 0, months = 0, years = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    const size_t j = ConversionAt(format, i);
    if (j == std::string_view::npos) return kFallback;
    switch (format[j]) {
      case 'd':
      case 'e':
        out += "dd", ++days;
        break;
      case 'm':
        out += "MM", ++months;
        break;
      case 'y':
        out += "yy", ++years;
        break;
      case 'Y':
        out += "yyyy", ++years;
        break;
      case 'D':
        out += "MM/dd/yy", ++days, ++months, ++years;
        break;
      case 'F':
        out += "yyyy-MM-dd", ++days, ++months, ++years;
        break;
      case '%':
        out += '%';
        break;
      default:
        return kFallback;
    }
    i = j;
  }
  if (days != 1 || months != 1 || years != 1) return kFallback;
  return out;
}

std::string TimeFormatFromStrftime(std::string_view format) {
  const std::string kFallback = "hh:mm:ss";
  std::string out;
  int hours = 0, minutes = 0, seconds = 0, markers = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%') {
      if (IsLetter(c) || c == '\'' || c == '"') return kFallback;
      out += c;
      continue;
    }
    const size_t j = ConversionAt(format, i);
    if (j == std::string_view::npos) return kFallback;
    switch (format[j]) {
      case 'H':
      case 'I':
        out += "hh", ++hours;
        break;
      case 'k':
      case 'l':
        out += "h", ++hours;
        break;
      case 'M':
        out += "mm", ++minutes;
        break;
      case 'S':
        out += "ss", ++seconds;
        break;
      case 'p':
        out += "AP", ++markers;
        break;
      case 'P':
        out += "ap", ++markers;
        break;
      case 'T':
        out += "hh:mm:ss", ++hours, ++minutes, ++seconds;
        break;
      case 'R':
        out += "hh:mm", ++hours, ++minutes;
        break;
      case 'r':
        out += "hh:mm:ss AP", ++hours, ++minutes, ++seconds, ++markers;
        break;
      case '%':
        out += '%';
        break;
      default:
        return kFallback;
    }
    i = j;
  }
  if (hours != 1 || minutes != 1 || seconds > 1 || markers > 1) return kFallback;
  return out;
}

char SeparatorByte(std::string_view text, std::string_view codeset, char fallback) {
  const auto chars = DecodeText(text, codeset);
  if (!chars || chars->size() != 1) return fallback;
  const auto b = AnsiByteOf((*chars)[0]);
  return b ? *b : fallback;
}

char TimeSeparatorFromStrftime(std::string_view format, std::string_view codeset) {
  const auto chars = DecodeText(format, codeset);
  if (!chars) return ':';
  const std::u32string& f = *chars;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] != U'%') {
      if (f[i] < 0x80 && IsLetter(static_cast<char>(f[i]))) continue;
      const auto b = AnsiByteOf(f[i]);
      return b ? *b : ':';
    }
    // Flags, width and the E/O modifiers of a conversion, then the conversion itself.
    size_t j = i + 1;
    while (j < f.size() && (f[j] == U'-' || f[j] == U'_' || f[j] == U'0' || f[j] == U'^' ||
                            f[j] == U'#' || (f[j] >= U'1' && f[j] <= U'9'))) {
      ++j;
    }
    if (j < f.size() && (f[j] == U'E' || f[j] == U'O')) ++j;
    if (j >= f.size()) break;
    if (f[j] == U'T' || f[j] == U'R' || f[j] == U'r') return ':';
    i = j;
  }
  return ':';
}

char ThousandSeparatorBeside(char own, char decimal) {
  for (const char c : {own, ',', '.'}) {
    if (c != '\0' && c != decimal) return c;
  }
  return '\0';
}

TLocaleTexts ReadUserLocaleTexts() {
  TLocaleTexts texts{"%m/%d/%y", "%H:%M:%S", ".", "", "ANSI_X3.4-1968"};
  // Each category from the environment on its own, so that one locale that is not installed
  // leaves only its own category at the C locale's values.
  if (locale_t loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(0))) {
    texts.DateFormat = LangInfo(D_FMT, loc);
    texts.TimeFormat = LangInfo(T_FMT, loc);
    texts.Codeset = LangInfo(CODESET, loc);
    freelocale(loc);
  } else if (locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0))) {
    texts.DateFormat = LangInfo(D_FMT, loc);
    texts.TimeFormat = LangInfo(T_FMT, loc);
    freelocale(loc);
  }
  if (locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0))) {
    texts.DecimalPoint = LangInfo(RADIXCHAR, loc);
    texts.ThousandsSep = LangInfo(THOUSEP, loc);
    freelocale(loc);
  }
  return texts;
}

void ApplyLocaleTexts(const TLocaleTexts& texts) {
  platform::LocaleSettings& locale = platform::Locale();
  // Literal characters of the formats (separators) become ANSI bytes; a format with a
  // character that has none is replaced by the fallback.
  const std::string format = AnsiFormat(DateFormatFromStrftime(texts.DateFormat), texts.Codeset)
                                 .value_or(DateFormatFromStrftime(""));
  locale.ShortDateFormat = format;
  locale.LongTimeFormat = AnsiFormat(TimeFormatFromStrftime(texts.TimeFormat), texts.Codeset)
                              .value_or(TimeFormatFromStrftime(""));
  locale.DateSeparator = '/';
  for (char c : format) {
    if (!IsLetter(c)) {
      locale.DateSeparator = c;
      break;
    }
  }
  locale.TimeSeparator = TimeSeparatorFromStrftime(texts.TimeFormat, texts.Codeset);
  locale.DecimalSeparator = SeparatorByte(texts.DecimalPoint, texts.Codeset, '.');
  locale.ThousandSeparator = ThousandSeparatorBeside(
      SeparatorByte(texts.ThousandsSep, texts.Codeset, '\0'), locale.DecimalSeparator);
}

void ApplyEngineSettingsFromLocale() {
  const platform::LocaleSettings& locale = platform::Locale();
  engine::GroupSep = locale.ThousandSeparator;
  engine::DecimalSep = locale.DecimalSeparator;
  // Taken before SetDateMode, which writes its own format into the locale object.
  const std::string format = locale.ShortDateFormat;
  const char separator = locale.DateSeparator;
  engine::Century = engine::UpperCopy(format).find("YYYY") != std::string::npos;
  uint8_t mode = 0;
  const char first = format.empty() ? '\0' : format[0];
  if (first == 'D' || first == 'd') {
    if (separator == '-') mode = 3;
    if (separator == '.') mode = 5;
    if (separator == '/') mode = 2;
  } else if (first == 'Y' || first == 'y') {
    mode = 1;
  }
  engine::SetDateMode(mode);
}

namespace {
void LoadLogicalTexts() {
  TrueText = LoadMsg(kMsgTrue).substr(0, 20);
  FalseText = LoadMsg(kMsgFalse).substr(0, 20);
  YesText = LoadMsg(kMsgYes).substr(0, 20);
  NoText = LoadMsg(kMsgNo).substr(0, 20);
}

void FreeSession() {
  delete WenSession;
  WenSession = nullptr;
}
}  // namespace

void InitClassLayer() {
  if (g_init_count++ != 0) return;
  ApplyLocaleTexts(ReadUserLocaleTexts());
  LoadLogicalTexts();
  ApplyEngineSettingsFromLocale();
  WenSession = new TWenSession();
  g_exit_proc = platform::AddExitProc([] {
    g_exit_proc = -1;
    FreeSession();
  });
}

void ResetClassLayer() {
  if (g_exit_proc >= 0) platform::RemoveExitProc(g_exit_proc);
  g_exit_proc = -1;
  FreeSession();
  g_init_count = 0;
  g_message_mode = 2;
  LoadLogicalTexts();
}

}  // namespace components
