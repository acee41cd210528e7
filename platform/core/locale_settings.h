// The run-time locale settings: the short date format, the long time format and the separators
// that date, time and number texts are shown with. There is one process-wide object; the date
// module writes the date format and separator into it, the class layer fills the rest from the
// user's locale, and the class layer and the masked edit read it. Number texts of the class layer
// use its decimal and thousands separators, whatever the engine's own number settings are.
#pragma once

#include <string>

namespace platform {

struct LocaleSettings {
  std::string ShortDateFormat = "MM/dd/yy";  // "dd", "MM" and "yy"/"yyyy" with separators
  char DateSeparator = '/';
  // "hh" (two digits) or "h", "mm", "ss", and "AP" or "ap" for a 12-hour clock with its
  // AM/PM marker (24-hour without one); other characters are shown as they are.
  std::string LongTimeFormat = "hh:mm:ss";
  char TimeSeparator = ':';
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';  // never the decimal separator; '\0': no grouping
};

// The one process-wide object. Callers (tests included) may read and change its fields.
LocaleSettings& Locale();

// Restores every field of Locale() to its start value.
void ResetLocaleSettings();

}  // namespace platform
