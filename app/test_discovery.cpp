#include "app/test_discovery.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string_view>

namespace app {
namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string AsciiUpper(const std::string& s) {
  std::string u = s;
  for (char& c : u) c = AsciiUpper(c);
  return u;
}

bool MatchesIniMask(const std::string& name) {
  return name.size() > 4 && AsciiUpper(name.substr(name.size() - 4)) == ".INI";
}

}  // namespace

std::vector<std::string> ListTestDefinitions(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return names;
  std::string prefix = folder.empty() ? "" : folder;
  if (!prefix.empty() && prefix.back() != '/') prefix += '/';
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.' || !MatchesIniMask(name)) continue;
    struct stat st;
    if (::stat((prefix + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string ua = AsciiUpper(a), ub = AsciiUpper(b);
    return ua != ub ? ua < ub : a < b;
  });
  return names;
}

std::string QuestionTableName(const std::string& ini_name) {
  return ini_name.substr(0, ini_name.size() < 3 ? 0 : ini_name.size() - 3) + "dbf";
}

std::string BookFileName(const std::string& dbf_name, const std::string& book_format) {
  const std::string stem = dbf_name.substr(0, dbf_name.size() < 3 ? 0 : dbf_name.size() - 3);
  if (book_format == "Acrobat") return stem + "pdf";
  if (book_format == "Help") return stem + "hlp";
  return {};
}

std::optional<int> WholeNumber(const std::string& text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return std::nullopt;
  std::string_view digits(text.data() + begin, text.find_last_not_of(' ') + 1 - begin);
  bool negative = false;
  if (digits.front() == '+' || digits.front() == '-') {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.front() < '0' || digits.front() > '9') return std::nullopt;
  int64_t value = 0;
  const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || ptr != digits.data() + digits.size()) return std::nullopt;
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int>(value);
}

int PassingPercentFor(int passing_score) {
  const int64_t v = passing_score;
  int64_t q = v / 10;  // truncated toward zero
  const int64_t r = v % 10;
  if (r > 5 || (r == 5 && (q % 2 != 0))) ++q;
  if (r < -5 || (r == -5 && (q % 2 != 0))) --q;
  return static_cast<int>(q);
}

std::string BadNumberMessage(const std::string& key, const std::string& ini_name) {
  return "The value of '" + key + "' in " + ini_name +
         " is missing or is not a whole number. Quitting application.";
}

}  // namespace app
