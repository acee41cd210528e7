#include "engine/expr_util.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace engine {

int CompareBytes(const void* a, const void* b, size_t n) {
  const auto* pa = static_cast<const unsigned char*>(a);
  const auto* pb = static_cast<const unsigned char*>(b);
  for (size_t i = 0; i < n; ++i) {
    if (pa[i] != pb[i]) return static_cast<int>(pa[i]) - static_cast<int>(pb[i]);
  }
  return 0;
}

int CompareNumbers(double a, double b) {
  if (a > b) return 1;
  if (a < b) return -1;
  return 0;
}

void ReverseBytes(char* p, size_t n) {
  if (n < 2) return;
  for (size_t i = 0, j = n - 1; i < j; ++i, --j) std::swap(p[i], p[j]);
}

void RotateBlocks(char* p, size_t first, size_t second) {
  ReverseBytes(p, first);
  ReverseBytes(p + first, second);
  ReverseBytes(p, first + second);
}

std::string ZeroPadded(int64_t value, int width) {
  // Magnitude in unsigned form, so that INT64_MIN has one too.
  const bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, magnitude);
  (void)ec;
  std::string digits(buf, end);
  const int sign_len = negative ? 1 : 0;
  if (static_cast<int>(digits.size()) + sign_len < width)
    digits.insert(0, static_cast<size_t>(width - sign_len) - digits.size(), '0');
  return negative ? "-" + digits : digits;
}

double LeadingNumber(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t start = i;
  size_t digits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0;
  bool negative_exponent = false;
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    size_t j = i + 1;
    bool neg_exp = false;
    if (j < n && (text[j] == '+' || text[j] == '-')) neg_exp = text[j++] == '-';
    if (j < n && text[j] >= '0' && text[j] <= '9') {
      while (j < n && text[j] >= '0' && text[j] <= '9') ++j;
      i = j;
      negative_exponent = neg_exp;
    }
  }
  // from_chars takes no "+" in the exponent; copy the number without it.
  std::string number;
  number.reserve(i - start);
  for (size_t k = start; k < i; ++k)
    if (text[k] != '+') number += text[k];
  double value = 0;
  auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                   std::chars_format::general);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    value = negative_exponent ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (ec != std::errc()) {
    value = 0;
  }
  return negative ? -value : value;
}

std::string Soundex(std::string_view s, size_t length) {
  // Codes of A..Z.
  static constexpr char kCodes[] = "01230120022455012623010202";
  std::string result(length, '0');
  if (length == 0 || s.empty()) return result;
  const size_t n = std::min<size_t>(s.size(), 100);
  const char first = UpperChar(s[0]);
  result[0] = first;
  char prev = IsUpperLetter(first) ? kCodes[first - 'A'] : '0';
  size_t filled = 1;
  for (size_t i = 1; i < n && filled < length; ++i) {
    const char c = UpperChar(s[i]);
    if (!IsUpperLetter(c)) continue;
    const char code = kCodes[c - 'A'];
    if (code != prev && code != '0') result[filled++] = code;
    prev = code;
  }
  return result;
}

namespace {

constexpr int kDaysBefore[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Days in the first `years` years (0 for none).
int64_t DaysInYears(int64_t years) {
  if (years < 1) return 0;
  return years * 365 + years / 4 - years / 100 + years / 400;
}

int DaysInMonth(int64_t year, int month) {
  static constexpr int kLengths[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kLengths[month];
}

// The number in text[from, from + len) when it is all digits; -1 otherwise.
int64_t DigitsValue(std::string_view text, size_t from, size_t len) {
  if (from + len > text.size()) return -1;
  int64_t value = 0;
  for (size_t i = from; i < from + len; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int64_t DayNumberOf(int64_t year, int month, int day) {
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return 0;
  const int64_t day_of_year = kDaysBefore[month] + day + (month > 2 && IsLeapYear(year) ? 1 : 0);
  return day_of_year + DaysInYears(year - 1) + kDayNumberBase;
}

int64_t DayNumberFromText(std::string_view yyyymmdd) {
  const std::string_view text = yyyymmdd.substr(0, 8);
  if (text.find_first_not_of(' ') == std::string_view::npos) return 0;
  const int64_t year = DigitsValue(text, 0, 4);
  const int64_t month = DigitsValue(text, 4, 2);
  const int64_t day = DigitsValue(text, 6, 2);
  if (year < 0 || month < 0 || day < 0) return 0;
  return DayNumberOf(year, static_cast<int>(month), static_cast<int>(day));
}

bool DayNumberToDate(int64_t day_number, int64_t& year, int& month, int& day) {
  year = 0, month = 0, day = 0;
  const int64_t k = day_number - kDayNumberBase;
  if (k <= 0) return false;
  // Whole years before the day: estimated from the mean year, then corrected.
  int64_t years = k * 400 / 146097;
  while (years > 0 && DaysInYears(years) >= k) --years;
  while (DaysInYears(years + 1) < k) ++years;
  year = years + 1;
  int64_t r = k - DaysInYears(years);  // day of the year, from 1
  const bool leap = IsLeapYear(year);
  month = 1;
  while (month < 12) {
    const int64_t through = kDaysBefore[month + 1] + (leap && month + 1 > 2 ? 1 : 0);
    if (r <= through) break;
    ++month;
  }
  day = static_cast<int>(r - kDaysBefore[month] - (leap && month > 2 ? 1 : 0));
  return true;
}

std::string DayNumberToText(int64_t day_number) {
  int64_t year = 0;
  int month = 0, day = 0;
  if (!DayNumberToDate(day_number, year, month, day)) return std::string(8, ' ');
  return ZeroPadded(year, 4) + ZeroPadded(month, 2) + ZeroPadded(day, 2);
}

int WeekdayOfDayNumber(int64_t day_number) {
  // Day number 0 was a Monday.
  int64_t w = (day_number + 1) % 7;
  if (w < 0) w += 7;
  return static_cast<int>(w) + 1;
}

}  // namespace engine
