#include "platform/core/language.h"

#include <cstdlib>
#include <optional>

namespace platform {
namespace {

std::optional<std::string>& TestLanguage() {
  static std::optional<std::string> l;
  return l;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

}  // namespace

std::string UserLanguage() {
  if (TestLanguage()) return *TestLanguage();
  for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "C";
}

void SetTestLanguage(const std::string& locale) { TestLanguage() = locale; }
void ClearTestLanguage() { TestLanguage().reset(); }

int CountryIndexFromLanguage(const std::string& locale) {
  // Keep language and territory: "fr_CA.UTF-8@euro" -> "fr", "ca".
  std::string name = locale.substr(0, locale.find_first_of(".@"));
  std::string lang = Lower(name.substr(0, name.find_first_of("_-")));
  std::string territory;
  size_t sep = name.find_first_of("_-");
  if (sep != std::string::npos) territory = Lower(name.substr(sep + 1));
  if (lang.empty() || lang == "c" || lang == "posix") return 0;
  if (lang == "en") return (territory.empty() || territory == "us") ? 0 : 2;
  if (lang == "de") return 5;
  if (lang == "es") return 6;
  if (lang == "fr") return territory == "ca" ? 7 : 4;
  if (lang == "it") return 3;
  if (lang == "ru") return 8;
  return 0;
}

}  // namespace platform
