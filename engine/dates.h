// dBASE dates: the date mode, the century switch, the two-digit-year window, the blank date
// masks, conversions between date texts and the fixed month/day/year form, the day of the
// week and the day and month names.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

extern uint8_t DateMode;      // 0..8: order and separator of date texts
extern bool Century;          // years shown with four digits
extern uint16_t EpochYear;    // base of the two-digit-year window
extern uint8_t CountryIndex;  // from the user's language at start

// DateMode := mode (0 for 9 and above); writes the short date format and the date separator
// into the locale settings of platform/core.
void SetDateMode(uint8_t mode);

uint16_t CenturyOf(const std::string& year_text);
std::string CenturyDigits(const std::string& year_text);
std::string FullYear(const std::string& year_text);
std::string BlankDate(uint8_t mode);
// Fixed "MM/DD/YY[YY]" form -> the current mode's form.
std::string DateToMode(const std::string& text);
// The current mode's form (separator "/", "." or "-") -> the fixed form with "/".
std::string DateFromMode(const std::string& text);
int DayOfWeek(const std::string& date_text);  // 1 Sunday .. 7 Saturday
std::string DayName(const std::string& date_text);
std::string MonthName(const std::string& date_text);
int MonthOf(const std::string& date_text);
int DayOf(const std::string& date_text);
int YearOf(const std::string& date_text);

// Sets the date module's start values from the user's language and today's date.
void InitDates();

}  // namespace engine
