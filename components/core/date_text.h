// Date and time texts in the locale's formats, read as the class library's text-to-date and
// text-to-time conversions read them.
#pragma once

#include <string_view>

#include "platform/core/locale_settings.h"

namespace components {

struct TDateParts {
  int Year = 0, Month = 0, Day = 0;
};

// Converts a date text under the locale's short date format (field order from ShortDateFormat)
// and DateSeparator. The text holds two or three numbers of up to four digits separated by the
// date separator; blanks around numbers and separators are skipped. Two numbers are month and
// day (day and month for a day-first order) of the current year. A year written with one or two
// digits belongs to the current century (99 in 2024 is 2099: no sliding window). The day is
// checked against the month length, leap years included. True when the text is a valid date;
// `out` (may be null) then holds it.
bool TextToDate(std::string_view text, const platform::LocaleSettings& locale, TDateParts* out);

struct TTimeParts {
  int Hour = 0, Minute = 0, Second = 0;
};

// Converts a time text as the class library's text-to-time conversion does, under the locale's
// TimeSeparator: an hour, optionally followed by minutes and then seconds, each after the
// separator; "AM" or "PM" (either case) may stand before or after it, and then the hour must
// be 1..12 (12 AM is hour 0). Blanks are skipped. True when valid (hour 0..23, minute and
// second 0..59); `out` (may be null) then holds the time.
bool TextToTime(std::string_view text, const platform::LocaleSettings& locale, TTimeParts* out);

// Days in `month` (1..12) of `year`; 0 for a month out of range.
int DaysInMonth(int year, int month);

}  // namespace components
