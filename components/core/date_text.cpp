#include "components/core/date_text.h"

#include <cctype>

#include "platform/core/clock.h"

namespace components {

namespace {

enum class TDateOrder { MDY, DMY, YMD };

// The order of the first day, month or year letter of the format decides.
TDateOrder OrderOf(const std::string& format) {
  for (char c : format) {
    switch (std::tolower(static_cast<unsigned char>(c))) {
      case 'm':
        return TDateOrder::MDY;
      case 'd':
        return TDateOrder::DMY;
      case 'y':
        return TDateOrder::YMD;
      default:
        break;
    }
  }
  return TDateOrder::MDY;
}

class TScanner {
 public:
  explicit TScanner(std::string_view text) : Text(text) {}

  void SkipBlanks() {
    while (Pos < Text.size() && Text[Pos] == ' ') ++Pos;
  }

  // A number of one to four digits; `digits` receives how many were written.
  bool Number(int* value, int* digits) {
    SkipBlanks();
    int n = 0, count = 0;
    while (Pos < Text.size() && std::isdigit(static_cast<unsigned char>(Text[Pos]))) {
      if (count == 4) return false;
      n = n * 10 + (Text[Pos] - '0');
      ++count;
      ++Pos;
    }
    if (count == 0) return false;
    *value = n;
    *digits = count;
    return true;
  }

  bool Char(char c) {
    SkipBlanks();
    if (Pos < Text.size() && Text[Pos] == c) {
      ++Pos;
      return true;
    }
    return false;
  }

  // "AM" or "PM" in either case: 0 or 12, -1 when neither stands here.
  int HalfDay() {
    SkipBlanks();
    if (Pos + 1 >= Text.size() || std::toupper(static_cast<unsigned char>(Text[Pos + 1])) != 'M') {
      return -1;
    }
    const int first = std::toupper(static_cast<unsigned char>(Text[Pos]));
    if (first != 'A' && first != 'P') return -1;
    Pos += 2;
    return first == 'A' ? 0 : 12;
  }

  bool AtEnd() {
    SkipBlanks();
    return Pos == Text.size();
  }

 private:
  std::string_view Text;
  size_t Pos = 0;
};

}  // namespace

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

bool TextToDate(std::string_view text, const platform::LocaleSettings& locale, TDateParts* out) {
  const TDateOrder order = OrderOf(locale.ShortDateFormat);
  TScanner scan(text);
  int n1 = 0, n2 = 0, n3 = 0, l1 = 0, l2 = 0, l3 = 0;
  if (!scan.Number(&n1, &l1) || !scan.Char(locale.DateSeparator) || !scan.Number(&n2, &l2)) {
    return false;
  }
  const int current_year = platform::Now().year;
  int year = 0, month = 0, day = 0, year_digits = 4;
  if (scan.Char(locale.DateSeparator)) {
    if (!scan.Number(&n3, &l3)) return false;
    switch (order) {
      case TDateOrder::MDY:
        month = n1, day = n2, year = n3, year_digits = l3;
        break;
      case TDateOrder::DMY:
        day = n1, month = n2, year = n3, year_digits = l3;
        break;
      case TDateOrder::YMD:
        year = n1, year_digits = l1, month = n2, day = n3;
        break;
    }
    if (year_digits <= 2) year += current_year / 100 * 100;
  } else {
    year = current_year;
    if (order == TDateOrder::DMY) {
      day = n1, month = n2;
    } else {
      month = n1, day = n2;
    }
  }
  if (!scan.AtEnd()) return false;
  if (year < 1 || year > 9999 || day < 1 || day > DaysInMonth(year, month)) return false;
  if (out) *out = {year, month, day};
  return true;
}

bool TextToTime(std::string_view text, const platform::LocaleSettings& locale, TTimeParts* out) {
  TScanner scan(text);
  int base = scan.HalfDay();
  int hour = 0, minute = 0, second = 0, digits = 0;
  if (!scan.Number(&hour, &digits)) return false;
  if (scan.Char(locale.TimeSeparator)) {
    if (!scan.Number(&minute, &digits)) return false;
    if (scan.Char(locale.TimeSeparator) && !scan.Number(&second, &digits)) return false;
  }
  if (base < 0) base = scan.HalfDay();
  if (!scan.AtEnd()) return false;
  if (base >= 0) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + base;
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  if (out) *out = {hour, minute, second};
  return true;
}

}  // namespace components
