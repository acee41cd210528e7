#include "app/date_time_text.h"

#include <string_view>

namespace app {
namespace {

std::string Number(int value, bool two_digits) {
  std::string text = std::to_string(value);
  if (two_digits && text.size() < 2) text.insert(0, 1, '0');
  return text;
}

}  // namespace

std::string FormatDateTime(const std::string& format, const platform::LocalTime& t) {
  const std::string_view f(format);
  const bool twelve_hour =
      f.find("AP") != std::string_view::npos || f.find("ap") != std::string_view::npos;
  std::string out;
  for (size_t i = 0; i < f.size();) {
    if (f.substr(i, 2) == "AP" || f.substr(i, 2) == "ap") {
      const bool pm = t.hour >= 12;
      out += f[i] == 'A' ? (pm ? "PM" : "AM") : (pm ? "pm" : "am");
      i += 2;
      continue;
    }
    const char c = f[i];
    size_t run = 1;
    while (i + run < f.size() && f[i + run] == c) ++run;
    const bool two = run >= 2;
    switch (c) {
      case 'd':
        out += Number(t.day, two);
        break;
      case 'M':
        out += Number(t.month, two);
        break;
      case 'y':
        out += run >= 3 ? Number(t.year, false) : Number(t.year % 100, true);
        break;
      case 'h': {
        int hour = t.hour;
        if (twelve_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
        out += Number(hour, two);
        break;
      }
      case 'm':
        out += Number(t.minute, two);
        break;
      case 's':
        out += Number(t.second, two);
        break;
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
  return out;
}

std::string DateTimeText(const platform::LocalTime& t, const platform::LocaleSettings& locale) {
  return FormatDateTime(locale.ShortDateFormat, t) + ' ' + FormatDateTime(locale.LongTimeFormat, t);
}

std::string DateTimeText() { return DateTimeText(platform::Now(), platform::Locale()); }

}  // namespace app
