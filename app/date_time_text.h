// The date-and-time text of the reports: a date in the locale's short date format, a blank, and
// the time in its long time format.
#pragma once

#include <string>

#include "platform/core/clock.h"
#include "platform/core/locale_settings.h"

namespace app {

// `format` filled from `t`: "dd" / "d" the day, "MM" / "M" the month, "yyyy" (three letters or
// more) / "yy" the year, "hh" / "h" the hour, "mm" / "m" the minute, "ss" / "s" the second (a
// doubled letter gives two digits), "AP" / "ap" the AM/PM marker, which also makes the hour
// 12-hour; other characters are kept.
std::string FormatDateTime(const std::string& format, const platform::LocalTime& t);

// The date and time `t` as "<short date> <long time>" in the formats of `locale` (ANSI).
std::string DateTimeText(const platform::LocalTime& t, const platform::LocaleSettings& locale);

// Now (platform::Now) in platform::Locale()'s formats.
std::string DateTimeText();

}  // namespace app
