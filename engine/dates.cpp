#include "engine/dates.h"

#include <array>
#include <charconv>
#include <vector>

#include "engine/utils.h"
#include "platform/core/clock.h"
#include "platform/core/language.h"
#include "platform/core/locale_settings.h"

namespace engine {

uint8_t DateMode = 0;
bool Century = false;
uint16_t EpochYear = 1900;
uint8_t CountryIndex = 0;

namespace {

// ---- Mode layout ------------------------------------------------------------------------

char SeparatorOf(uint8_t mode) {
  switch (mode) {
    case 1:
      return '.';
    case 3:
      return '-';
    case 0:
    case 2:
      return '/';
    default:
      return mode <= 8 ? '.' : '/';
  }
}

// Order of the parts in a mode's text.
enum class Order { kMonthDayYear, kYearMonthDay, kDayMonthYear };

Order OrderOf(uint8_t mode) {
  if (mode == 0 || mode > 8) return Order::kMonthDayYear;
  if (mode == 1) return Order::kYearMonthDay;
  return Order::kDayMonthYear;
}

// ---- Name tables ------------------------------------------------------------------------

// UTF-8 Cyrillic (U+0410..U+044F, Ё, ё) to code page 866. Other bytes pass unchanged.
std::string Cp866FromUtf8(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if ((c == 0xD0 || c == 0xD1) && i + 1 < s.size()) {
      unsigned cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
      ++i;
      unsigned b = '?';
      if (cp >= 0x410 && cp <= 0x42F)
        b = 0x80 + (cp - 0x410);  // А..Я
      else if (cp >= 0x430 && cp <= 0x43F)
        b = 0xA0 + (cp - 0x430);  // а..п
      else if (cp >= 0x440 && cp <= 0x44F)
        b = 0xE0 + (cp - 0x440);  // р..я
      else if (cp == 0x401)
        b = 0xF0;  // Ё
      else if (cp == 0x451)
        b = 0xF1;  // ё
      out += static_cast<char>(b);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

struct NameTable {
  size_t width;
  std::vector<std::string> names;  // already in OEM bytes, padded to `width`
};

NameTable MakeTable(size_t width, std::vector<std::string> names, bool russian) {
  for (std::string& n : names) {
    if (russian) n = Cp866FromUtf8(n);
    n.resize(width, ' ');
  }
  return NameTable{width, std::move(names)};
}

enum Language { kEnglish, kItalian, kFrench, kGerman, kSpanish, kRussian, kLanguageCount };

Language LanguageOf(uint8_t mode) {
  switch (mode) {
    case 3:
      return kItalian;
    case 4:
    case 7:
      return kFrench;
    case 5:
      return kGerman;
    case 6:
      return kSpanish;
    case 8:
      return kRussian;
    default:
      return kEnglish;
  }
}

// Western names are code page 437 bytes: \202 (0x82) is e acute, \204 (0x84) a umlaut and
// \226 (0x96) u circumflex.
const std::array<NameTable, kLanguageCount>& DayTables() {
  static const std::array<NameTable, kLanguageCount> tables = {
      MakeTable(9, {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
                false),
      MakeTable(9, {"Domenica", "Lunedi", "Martedi", "Mercoledi", "Giovedi", "Venerdi", "Sabato"},
                false),
      MakeTable(8, {"Dimanche", "Lundi", "Mardi", "Mercredi", "Jeudi", "Vendredi", "Samedi"},
                false),
      MakeTable(10,
                {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
                false),
      MakeTable(9, {"Domingo", "Lunes", "Martes", "Miercoles", "Jueves", "Viernes", "Sabado"},
                false),
      MakeTable(11,
                {"Воскресенье", "Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота"},
                true),
  };
  return tables;
}

const std::array<NameTable, kLanguageCount>& MonthTables() {
  static const std::array<NameTable, kLanguageCount> tables = {
      MakeTable(9,
                {"January", "February", "March", "April", "May", "June", "July", "August",
                 "September", "October", "November", "December"},
                false),
      MakeTable(9,
                {"Gennaio", "Febbraio", "Marzo", "Aprile", "Maggio", "Giugno", "Luglio", "Agosto",
                 "Settembre", "Ottobre", "Novembre", "Dicembre"},
                false),
      MakeTable(9,
                {"Janvier", "F\202vrier", "Mars", "Avril", "Mai", "Juin", "Juillet", "Ao\226t",
                 "Septembre", "Octobre", "Novembre", "D\202cembre"},
                false),
      MakeTable(9,
                {"Januar", "Februar", "M\204rz", "April", "Mai", "Juni", "Juli", "August",
                 "September", "Oktober", "November", "Dezember"},
                false),
      MakeTable(10,
                {"Enero", "Febrero", "Marzo", "Abril", "Mayo", "Junio", "Julio", "Agosto",
                 "Septiembre", "Octubre", "Noviembre", "Diciembre"},
                false),
      MakeTable(8,
                {"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь",
                 "Октябрь", "Ноябрь", "Декабрь"},
                true),
  };
  return tables;
}

// ---- Text helpers -----------------------------------------------------------------------

// The integer value of `s` (leading blanks and a sign allowed, nothing after the digits);
// 0 when it is not a number.
int ValueOf(const std::string& s) {
  size_t start = s.find_first_not_of(' ');
  if (start == std::string::npos) return 0;
  const char* first = s.data() + start;
  const char* last = s.data() + s.size();
  if (*first == '+') ++first;
  int value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return 0;
  return value;
}

std::string PadZero2(const std::string& s) {
  return s.size() >= 2 ? s : std::string(2 - s.size(), '0') + s;
}

// A date text cut to 10 characters and before its first NUL.
std::string CutDateText(const std::string& text) {
  std::string s = text.substr(0, 10);
  size_t nul = s.find('\0');
  if (nul != std::string::npos) s.erase(nul);
  return s;
}

// Splits a cut date text at `sep` into three trimmed parts (the third is the rest of the text).
// False when a part is empty or a separator is missing.
bool SplitDate(const std::string& s, char sep, std::array<std::string, 3>& parts) {
  size_t first = s.find(sep);
  if (first == std::string::npos) return false;
  size_t second = s.find(sep, first + 1);
  if (second == std::string::npos) return false;
  parts[0] = AllTrim(s.substr(0, first));
  parts[1] = AllTrim(s.substr(first + 1, second - first - 1));
  parts[2] = AllTrim(s.substr(second + 1));
  for (const std::string& p : parts)
    if (p.empty()) return false;
  return true;
}

// The parts of a date in the fixed form "MM/DD/YY[YY]": characters 1-2, 4-5 and 7 onward.
int FixedMonth(const std::string& fixed) { return ValueOf(fixed.substr(0, 2)); }
int FixedDay(const std::string& fixed) {
  return fixed.size() > 3 ? ValueOf(fixed.substr(3, 2)) : 0;
}
std::string FixedYearText(const std::string& fixed) {
  return fixed.size() > 6 ? fixed.substr(6) : std::string();
}

bool IsBlankDate(const std::string& date_text) {
  return DateFromMode(date_text) == BlankDate(DateMode);
}

}  // namespace

void SetDateMode(uint8_t mode) {
  DateMode = mode >= 9 ? 0 : mode;
  const std::string year = Century ? "yyyy" : "yy";
  const char sep = SeparatorOf(DateMode);
  std::string format;
  switch (OrderOf(DateMode)) {
    case Order::kMonthDayYear:
      format = std::string("MM") + sep + "dd" + sep + year;
      break;
    case Order::kYearMonthDay:
      format = year + sep + "MM" + sep + "dd";
      break;
    case Order::kDayMonthYear:
      format = std::string("dd") + sep + "MM" + sep + year;
      break;
  }
  platform::LocaleSettings& locale = platform::Locale();
  locale.ShortDateFormat = format;
  locale.DateSeparator = sep;
}

uint16_t CenturyOf(const std::string& year_text) {
  int y = ValueOf(year_text.substr(0, 2));
  int base = (EpochYear / 100) * 100;
  return static_cast<uint16_t>(y < EpochYear % 100 ? base + 100 : base);
}

std::string CenturyDigits(const std::string& year_text) {
  // Four digits first, so that a century below 1000 still gives its two leading digits.
  std::string digits = IntToStrW(CenturyOf(year_text), 4);
  for (char& c : digits)
    if (c == ' ') c = '0';
  return digits.substr(0, 2);
}

std::string FullYear(const std::string& year_text) {
  std::string s = year_text.substr(0, 4);
  if (!Century) return s;
  if (s.size() == 2) return CenturyDigits(s) + s;
  if (s.size() < 4) s.insert(0, 4 - s.size(), '0');
  return s;
}

std::string BlankDate(uint8_t mode) {
  const std::string sep(1, SeparatorOf(mode));
  const std::string year(Century ? 4 : 2, ' ');
  if (OrderOf(mode) == Order::kYearMonthDay) return year + sep + "  " + sep + "  ";
  return "  " + sep + "  " + sep + year;
}

std::string DateToMode(const std::string& text) {
  std::array<std::string, 3> p;
  if (!SplitDate(CutDateText(text), '/', p)) return BlankDate(DateMode);
  const std::string month = PadZero2(p[0]);
  const std::string day = PadZero2(p[1]);
  const std::string year = FullYear(PadZero2(p[2]));
  const char sep = SeparatorOf(DateMode);
  switch (OrderOf(DateMode)) {
    case Order::kMonthDayYear:
      return month + sep + day + sep + year;
    case Order::kYearMonthDay:
      return year + sep + month + sep + day;
    case Order::kDayMonthYear:
      break;
  }
  return day + sep + month + sep + year;
}

std::string DateFromMode(const std::string& text) {
  const std::string s = CutDateText(text);
  // The last of "/", "." and "-" that the text holds is its separator.
  char sep = 0;
  for (char c : {'/', '.', '-'})
    if (s.find(c) != std::string::npos) sep = c;
  std::array<std::string, 3> p;
  if (sep == 0 || !SplitDate(s, sep, p)) return BlankDate(DateMode);
  std::string month, day, year;
  switch (OrderOf(DateMode)) {
    case Order::kMonthDayYear:
      month = p[0], day = p[1], year = p[2];
      break;
    case Order::kYearMonthDay:
      year = p[0], month = p[1], day = p[2];
      break;
    case Order::kDayMonthYear:
      day = p[0], month = p[1], year = p[2];
      break;
  }
  return PadZero2(month) + "/" + PadZero2(day) + "/" + FullYear(PadZero2(year));
}

int DayOfWeek(const std::string& date_text) {
  const std::string fixed = DateFromMode(date_text);
  int m = FixedMonth(fixed);
  const int q = FixedDay(fixed);
  const std::string year_text = FixedYearText(fixed);
  int year = ValueOf(year_text);
  if (year_text.size() <= 2) year += CenturyOf(year_text);
  int j = year / 100;
  int k = year % 100;
  if (m < 3) {
    m += 12;
    if (k == 0) {
      k = 99;
      j -= 1;
    } else {
      k -= 1;
    }
  }
  const int h = q + (26 * (m + 1)) / 10 + k + k / 4 + j / 4 - 2 * j;
  int w = h % 7;
  if (w < 0) w += 7;
  return w == 0 ? 7 : w;
}

std::string DayName(const std::string& date_text) {
  if (IsBlankDate(date_text)) return "";
  const NameTable& table = DayTables()[LanguageOf(DateMode)];
  const int w = DayOfWeek(date_text);
  if (w < 1 || w > static_cast<int>(table.names.size())) return "";
  return table.names[static_cast<size_t>(w - 1)];
}

std::string MonthName(const std::string& date_text) {
  const NameTable& table = MonthTables()[LanguageOf(DateMode)];
  const int m = MonthOf(date_text);  // 0 for a blank date
  if (m < 1 || m > static_cast<int>(table.names.size())) return std::string(table.width, ' ');
  return table.names[static_cast<size_t>(m - 1)];
}

int MonthOf(const std::string& date_text) { return FixedMonth(DateFromMode(date_text)); }

int DayOf(const std::string& date_text) { return FixedDay(DateFromMode(date_text)); }

int YearOf(const std::string& date_text) { return ValueOf(FixedYearText(DateFromMode(date_text))); }

void InitDates() {
  CountryIndex = static_cast<uint8_t>(platform::CountryIndexFromLanguage(platform::UserLanguage()));
  DateMode = CountryIndex;
  Century = false;
  EpochYear = static_cast<uint16_t>((platform::Now().year / 100) * 100);
  SetDateMode(DateMode);
}

}  // namespace engine
