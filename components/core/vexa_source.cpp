#include "components/core/vexa_source.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "engine/error.h"
#include "platform/core/paths.h"
#include "platform/core/profile.h"

namespace components {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// The text after the last "/", "\" or ":" of a name.
std::string NamePart(const std::string& name) {
  size_t cut = name.find_last_of("/\\:");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

[[noreturn]] void RaiseWriteFailure(const std::string& file, int code) {
  throw engine::EWendalError("Cannot write the INI file " + file + " (error " +
                             std::to_string(code) + ")");
}

// The index of a stored line's key: the decimal number after `item` without leading zeros,
// or -1 when `key` is no line key of `item`.
int64_t LineIndex(const std::string& key, const std::string& item) {
  if (key.size() <= item.size() || !EqualNoCase(std::string_view(key).substr(0, item.size()), item))
    return -1;
  std::string_view digits = std::string_view(key).substr(item.size());
  if (digits.size() > 1 && digits[0] == '0') return -1;
  int64_t index = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
  if (ec != std::errc() || end != digits.data() + digits.size() || index < 0) return -1;
  return index;
}

}  // namespace

int32_t IniTextToInt(const std::string& text, int32_t def) {
  std::string converted = text;
  if (converted.size() >= 2 && converted[0] == '0' && (converted[1] == 'x' || converted[1] == 'X'))
    converted.replace(0, 2, "$");
  std::string_view s = converted;
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  bool hex = !s.empty() && s.front() == '$';
  if (hex) s.remove_prefix(1);
  if (s.empty()) return def;
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, hex ? 16 : 10);
  if (ec != std::errc() || end != s.data() + s.size()) return def;
  if (hex) {
    // Up to eight hexadecimal digits give the 32-bit pattern ("$FFFFFFFF" is -1).
    if (value > 0xFFFFFFFFu) return def;
    auto bits = static_cast<uint32_t>(value);
    if (negative) bits = 0u - bits;
    return static_cast<int32_t>(bits);
  }
  if (value > (negative ? uint64_t{2147483648u} : uint64_t{2147483647u})) return def;
  return static_cast<int32_t>(negative ? -static_cast<int64_t>(value)
                                       : static_cast<int64_t>(value));
}

// --- TVexaLink ---------------------------------------------------------------------------

TVexaLink::TVexaLink(TVexaControl* control, NotifyProc notify)
    : control_(control), notify_(std::move(notify)) {}

TVexaLink::~TVexaLink() { SetSource(nullptr); }

void TVexaLink::SetSource(TVexaSource* source) {
  if (source_) source_->RemoveLink(this);
  source_ = source;
  if (source_) source_->AddLink(this);
}

// --- TVexaSource -------------------------------------------------------------------------

TVexaSource::~TVexaSource() {
  for (TVexaLink* link : links_) link->source_ = nullptr;
}

std::string TVexaSource::FileName() const {
  if (!use_app_dir_) return file_name_;
  return platform::ProgramDir() + NamePart(file_name_);
}

void TVexaSource::EraseSection(const std::string& section) {
  std::string file = FileName();
  int code = 0;
  if (!platform::WriteProfileString(file, section, std::nullopt, std::nullopt, &code))
    RaiseWriteFailure(file, code);
}

std::string TVexaSource::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& def) const {
  return platform::ReadProfileString(FileName(), section, ident, def);
}

bool TVexaSource::WriteString(const std::string& section, const std::string& ident,
                              const std::string& value) {
  return platform::WriteProfileString(FileName(), section, ident, value);
}

int32_t TVexaSource::ReadInteger(const std::string& section, const std::string& ident,
                                 int32_t def) const {
  return IniTextToInt(ReadString(section, ident, ""), def);
}

bool TVexaSource::WriteInteger(const std::string& section, const std::string& ident,
                               int32_t value) {
  return WriteString(section, ident, std::to_string(value));
}

void TVexaSource::WriteStrings(const std::string& section, const std::string& item,
                               const std::vector<std::string>& strings) {
  std::vector<platform::ProfileEntry> entries;
  entries.reserve(strings.size() + 1);
  entries.push_back({item + "Count", std::to_string(strings.size())});
  for (size_t i = 0; i < strings.size(); ++i)
    entries.push_back({item + std::to_string(i), strings[i]});
  std::string file = FileName();
  int code = 0;
  if (!platform::WriteProfileSection(file, section, entries, &code)) RaiseWriteFailure(file, code);
}

bool TVexaSource::ReadStrings(const std::string& section, const std::string& item,
                              std::vector<std::string>& strings) const {
  // One snapshot of the section: a huge stored count costs nothing, and the list and its
  // count come from the same version of the file.
  std::vector<platform::ProfileEntry> entries = platform::ReadProfileSection(FileName(), section);
  std::string count_key = item + "Count";
  int32_t count = 0;
  for (const platform::ProfileEntry& e : entries) {
    if (EqualNoCase(e.key, count_key)) {
      count = IniTextToInt(e.value, 0);
      break;
    }
  }
  if (count == 0) return false;
  strings.clear();
  std::vector<std::pair<int64_t, const std::string*>> lines;
  for (const platform::ProfileEntry& e : entries) {
    int64_t index = LineIndex(e.key, item);
    if (index >= 0 && index < count && !e.value.empty()) lines.emplace_back(index, &e.value);
  }
  std::sort(lines.begin(), lines.end());
  for (const auto& line : lines) strings.push_back(*line.second);
  return true;
}

void TVexaSource::AddLink(TVexaLink* link) {
  if (std::find(links_.begin(), links_.end(), link) == links_.end()) links_.push_back(link);
}

void TVexaSource::RemoveLink(TVexaLink* link) {
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it != links_.end()) links_.erase(it);
}

// --- Controls ----------------------------------------------------------------------------

TVexaControl::TVexaControl() : link_(this, [this](TVexaMessage& m) { ININotify(m); }) {}

void TVexaControl::ININotify(TVexaMessage& message) {
  if (message.Msg != kVexaNotify) return;
  if (message.WParam == kVexaNotifyWrite) {
    WriteINI();
  } else {
    ReadINI();
  }
}

bool TVexaControl::INIBound() const {
  return INISource() != nullptr && !INISection().empty() && !INIItem().empty();
}

void TVexaTextControl::ReadINI() {
  if (!INIBound()) return;
  SetINIText(INISource()->ReadString(INISection(), INIItem(), INIText()));
}

void TVexaTextControl::WriteINI() {
  if (!INIBound()) return;
  INISource()->WriteString(INISection(), INIItem(), INIText());
}

void TVexaListControl::ReadINI() {
  if (!INIBound()) return;
  if (save_items_) {
    std::vector<std::string> items = INIItems();
    if (INISource()->ReadStrings(INISection(), INIItem(), items)) SetINIItems(items);
  }
  SetINIItemIndex(INISource()->ReadInteger(INISection(), INIItem().str() + "Sel", INIItemIndex()));
}

void TVexaListControl::WriteINI() {
  if (!INIBound()) return;
  if (save_items_) INISource()->WriteStrings(INISection(), INIItem(), INIItems());
  INISource()->WriteInteger(INISection(), INIItem().str() + "Sel", INIItemIndex());
}

}  // namespace components
