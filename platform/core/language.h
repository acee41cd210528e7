// The user's language, as the locale environment names it, and the engine's country index.
#pragma once

#include <string>

namespace platform {

// The user's locale name: LC_ALL, then LC_TIME, then LANG (the first one set and not empty);
// "C" when none is set. A test can replace it.
std::string UserLanguage();
void SetTestLanguage(const std::string& locale);  // empty restores the environment's
void ClearTestLanguage();

// The country index of a locale name ("de_DE.UTF-8", "en_US", "C", ...): English 0 for en_US,
// C and POSIX, 2 for other English; German 5; Spanish 6; French 7 for fr_CA, else 4;
// Italian 3; Russian 8; any other language 0.
int CountryIndexFromLanguage(const std::string& locale);

}  // namespace platform
