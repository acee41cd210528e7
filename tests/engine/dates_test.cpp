#include "engine/dates.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/core/clock.h"
#include "platform/core/language.h"
#include "platform/core/locale_settings.h"
#include "tests/support/engine_fixture.h"

namespace {

class DatesTest : public testing_support::EngineTest {
 protected:
  void SetUp() override {
    platform::SetTestLanguage("en_US.UTF-8");
    platform::SetTestNow({2024, 6, 15});
    platform::ResetLocaleSettings();
    EngineTest::SetUp();
  }
  void TearDown() override {
    EngineTest::TearDown();
    platform::ClearTestLanguage();
    platform::ClearTestNow();
    platform::ResetLocaleSettings();
  }

  static void Use(uint8_t mode, bool century, uint16_t epoch) {
    engine::Century = century;
    engine::EpochYear = epoch;
    engine::SetDateMode(mode);
  }
};

struct ConversionCase {
  uint8_t mode;
  bool century;
  uint16_t epoch;
  std::string input;
  std::string expected;
  const char* name;
};

TEST_F(DatesTest, DateToModeConvertsTheFixedForm) {
  const ConversionCase cases[] = {
      {0, false, 2000, "12/25/99", "12/25/99", "mode 0 keeps the fixed order"},
      {1, false, 2000, "12/25/99", "99.12.25", "mode 1 puts the year first"},
      {2, false, 2000, "12/25/99", "25/12/99", "mode 2 day first with slashes"},
      {3, false, 2000, "12/25/99", "25-12-99", "mode 3 uses dashes"},
      {5, false, 2000, "12/25/99", "25.12.99", "mode 5 uses dots"},
      {8, false, 2000, "12/25/99", "25.12.99", "mode 8 uses dots"},
      {4, false, 2000, " 3/ 5/ 7", "05.03.07", "parts trimmed and padded with zeros"},
      {4, false, 2000, "12/25/1999", "25.12.1999", "four-digit year kept without century"},
      {0, true, 1900, "12/25/99", "12/25/1999", "century digits from the window"},
      {1, true, 2000, "3/5/07", "2007.03.05", "mode 1 with century"},
      {0, true, 2000, "1/2/9", "01/02/2009", "one-digit year padded, then its century"},
      {0, true, 2000, "1/2/999", "01/02/0999", "three-digit year padded to four"},
      {0, true, 2000, "1/2/00", "01/02/2000", "epoch 2000: 00 is 2000"},
      {0, true, 2000, "1/2/99", "01/02/2099", "epoch 2000: 99 is 2099"},
      {8, true, 1950, "1/2/49", "02.01.2049", "epoch 1950: 49 is 2049"},
      {8, true, 1950, "1/2/50", "02.01.1950", "epoch 1950: 50 is 1950"},
      {0, false, 2000, "12/25/1999xyz", "12/25/1999", "text cut to 10 characters"},
      {0, false, 2000, std::string("12/25/99\0/7", 11), "12/25/99", "text cut at a NUL"},
      {0, false, 2000, std::string("12/2\0/99", 8), "  /  /  ", "NUL before a separator: blank"},
      {4, false, 2000, "  /  /  ", "  .  .  ", "blank date gives the mode's mask"},
      {3, false, 2000, "", "  -  -  ", "empty text gives the mode's mask"},
      {4, true, 2000, "  /  /    ", "  .  .    ", "blank mask with century"},
      {1, false, 2000, "  /  /  ", "  .  .  ", "mode 1 blank mask"},
      {1, true, 2000, "  /  /  ", "    .  .  ", "mode 1 blank mask: year blanks first"},
      {2, false, 2000, "12//99", "  /  /  ", "empty middle part"},
      {0, false, 2000, "12/25", "  /  /  ", "missing third part"},
  };
  for (const ConversionCase& c : cases) {
    Use(c.mode, c.century, c.epoch);
    EXPECT_EQ(engine::DateToMode(c.input), c.expected) << c.name;
  }
}

TEST_F(DatesTest, DateFromModeGivesTheFixedForm) {
  const ConversionCase cases[] = {
      {4, false, 2000, "5.3.99", "03/05/99", "day.month.year padded"},
      {4, true, 1900, "5.3.99", "03/05/1999", "century from epoch 1900"},
      {0, false, 2000, "12/25/99", "12/25/99", "mode 0 is the fixed order"},
      {1, false, 2000, "99.12.25", "12/25/99", "mode 1 reads the year first"},
      {1, true, 2000, "2007.3.5", "03/05/2007", "mode 1 with a four-digit year"},
      {2, false, 2000, "25/12/99", "12/25/99", "mode 2 day first"},
      {3, false, 2000, "25-12-99", "12/25/99", "mode 3 dashes"},
      {6, false, 2000, "25/12/99", "12/25/99", "any of the three separators is read"},
      {7, false, 2000, "25-12-99", "12/25/99", "dashes read in a dot mode"},
      {0, true, 1950, "1/2/49", "01/02/2049", "epoch 1950: 49 is 2049"},
      {0, true, 1950, "1/2/50", "01/02/1950", "epoch 1950: 50 is 1950"},
      {5, true, 2000, "1.2.99", "02/01/2099", "epoch 2000: 99 is 2099"},
      {4, false, 2000, "050399", "  .  .  ", "no separator: blank mask"},
      {0, true, 2000, "050399", "  /  /    ", "no separator: blank mask with century"},
      {4, false, 2000, "  .  .  ", "  .  .  ", "blank mask stays blank"},
      {0, false, 2000, "12/25", "  /  /  ", "two parts only"},
  };
  for (const ConversionCase& c : cases) {
    Use(c.mode, c.century, c.epoch);
    EXPECT_EQ(engine::DateFromMode(c.input), c.expected) << c.name;
  }
}

TEST_F(DatesTest, SetDateModeWritesFormatAndSeparator) {
  struct Case {
    uint8_t mode;
    bool century;
    uint8_t expected_mode;
    const char* format;
    char separator;
  };
  const Case cases[] = {
      {0, false, 0, "MM/dd/yy", '/'},  {1, false, 1, "yy.MM.dd", '.'},
      {2, false, 2, "dd/MM/yy", '/'},  {3, false, 3, "dd-MM-yy", '-'},
      {6, false, 6, "dd.MM.yy", '.'},  {8, false, 8, "dd.MM.yy", '.'},
      {9, false, 0, "MM/dd/yy", '/'},  {255, false, 0, "MM/dd/yy", '/'},
      {1, true, 1, "yyyy.MM.dd", '.'}, {4, true, 4, "dd.MM.yyyy", '.'},
      {0, true, 0, "MM/dd/yyyy", '/'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    engine::Century = c.century;
    platform::Locale().DateSeparator = '?';
    engine::SetDateMode(c.mode);
    EXPECT_EQ(engine::DateMode, c.expected_mode);
    EXPECT_EQ(platform::Locale().ShortDateFormat, c.format);
    EXPECT_EQ(platform::Locale().DateSeparator, c.separator);
  }
}

TEST_F(DatesTest, DayOfWeekCases) {
  struct Case {
    uint8_t mode;
    bool century;
    uint16_t epoch;
    const char* date;
    int expected;
    const char* name;
  };
  const Case cases[] = {
      {0, true, 1900, "01/01/2000", 7, "new year 2000 is a Saturday"},
      {0, true, 1900, "03/01/2000", 4, "1 March 2000 is a Wednesday"},
      {0, true, 1900, "02/29/2000", 3, "leap day 2000 is a Tuesday"},
      {0, true, 1900, "01/01/1900", 2, "January of a 00 year rolls back the century"},
      {0, false, 2000, "01/01/00", 7, "two-digit year gets the window's century"},
      {0, false, 1900, "03/01/00", 5, "same text in the 1900s: 1 March 1900 is a Thursday"},
      {5, true, 1900, "25.12.1999", 7, "read in the current mode's order"},
  };
  for (const Case& c : cases) {
    Use(c.mode, c.century, c.epoch);
    EXPECT_EQ(engine::DayOfWeek(c.date), c.expected) << c.name;
  }
}

// Checks the congruence against an independent weekday computation over two centuries, with
// the date text in a month-first and in a day-first mode.
TEST_F(DatesTest, DayOfWeekAgreesWithTheCalendarEveryDay) {
  const int days_in_month[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (uint8_t mode : {0, 5}) {
    Use(mode, true, 1900);
    for (int year = 1899; year <= 2101; ++year) {
      bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
      for (int month = 1; month <= 12; ++month) {
        int days = (month == 2 && !leap) ? 28 : days_in_month[month - 1];
        for (int day = 1; day <= days; ++day) {
          std::string text = engine::DateToMode(std::to_string(month) + "/" + std::to_string(day) +
                                                "/" + std::to_string(year));
          ASSERT_EQ(engine::DayOfWeek(text), platform::WeekdayOf(year, month, day) + 1) << text;
        }
      }
    }
  }
}

TEST_F(DatesTest, DayNamesArePaddedToTheirTableWidth) {
  struct Case {
    uint8_t mode;
    const char* date;
    std::string expected;
    const char* name;
  };
  const Case cases[] = {
      {5, "25.12.1999", "Samstag   ", "German, width 10"},
      {0, "12/25/1999", "Saturday ", "English, width 9"},
      {4, "25.12.1999", "Samedi  ", "French, width 8"},
      {3, "26.12.1999", "Domenica ", "Italian Sunday"},
      {6, "22.12.1999", "Miercoles", "Spanish, full width"},
      {8, "25.12.1999", "\x91\xE3\xA1\xA1\xAE\xE2\xA0    ", "Russian in code page 866, width 11"},
      {5, "  .  .  ", "", "blank date gives no name"},
      {0, "", "", "empty text gives no name"},
  };
  for (const Case& c : cases) {
    Use(c.mode, true, 1900);
    EXPECT_EQ(engine::DayName(c.date), c.expected) << c.name;
  }
}

TEST_F(DatesTest, MonthNamesInOemBytesAndBlanksOutsideTheTable) {
  struct Case {
    uint8_t mode;
    const char* date;
    std::string expected;
    const char* name;
  };
  const Case cases[] = {
      {4, "05.02.1999", "F\x82vrier  ", "French e acute is 0x82"},
      {7, "05.08.1999", "Ao\x96t     ", "French u circumflex is 0x96"},
      {5, "05.03.99", "M\x84rz     ", "German a umlaut is 0x84"},
      {0, "12/25/99", "December ", "English, width 9"},
      {6, "01.09.99", "Septiembre", "Spanish, width 10"},
      {8, "01.09.99", "\x91\xA5\xAD\xE2\xEF\xA1\xE0\xEC", "Russian in code page 866, width 8"},
      {8, "01.05.99", "\x8C\xA0\xA9     ", "Russian short name padded"},
      {0, "  /  /  ", "         ", "blank date gives blanks"},
      {0, "13/01/99", "         ", "month 13 gives blanks"},
      {0, "00/01/99", "         ", "month 0 gives blanks"},
      {6, "01.99.99", "          ", "blanks of the Spanish width"},
      {0, "ab/01/99", "         ", "month not a number gives blanks"},
  };
  for (const Case& c : cases) {
    Use(c.mode, false, 1900);
    EXPECT_EQ(engine::MonthName(c.date), c.expected) << c.name;
  }
}

TEST_F(DatesTest, NamesStayInsideTheirTablesForAModeSetDirectly) {
  Use(0, true, 1900);
  engine::DateMode = 200;  // a setting written without SetDateMode
  EXPECT_EQ(engine::DayName("12/25/1999"), "Saturday ");
  EXPECT_EQ(engine::MonthName("12/25/1999"), "December ");
}

TEST_F(DatesTest, PartsOfADate) {
  Use(4, true, 1900);
  EXPECT_EQ(engine::MonthOf("25.12.1999"), 12);
  EXPECT_EQ(engine::DayOf("25.12.1999"), 25);
  EXPECT_EQ(engine::YearOf("25.12.1999"), 1999);
  EXPECT_EQ(engine::DayOf("ab.12.1999"), 0);
  EXPECT_EQ(engine::DayOf("  .  .    "), 0);
  EXPECT_EQ(engine::YearOf("25.12.99"), 1999);
}

TEST_F(DatesTest, CenturyHelpers) {
  engine::EpochYear = 1950;
  EXPECT_EQ(engine::CenturyOf("49"), 2000);
  EXPECT_EQ(engine::CenturyOf("50"), 1900);
  EXPECT_EQ(engine::CenturyDigits("49"), "20");
  engine::EpochYear = 900;
  EXPECT_EQ(engine::CenturyDigits("99"), "09");  // a century below 1000 keeps two digits
  engine::Century = false;
  EXPECT_EQ(engine::FullYear("19999"), "1999");
  EXPECT_EQ(engine::FullYear("7"), "7");
  engine::Century = true;
  EXPECT_EQ(engine::FullYear("7"), "0007");
}

TEST_F(DatesTest, StartModeComesFromTheLanguageAndTheEpochFromToday) {
  struct Case {
    const char* language;
    int year;
    uint8_t mode;
    const char* format;
    char separator;
    uint16_t epoch;
  };
  const Case cases[] = {
      {"en_US.UTF-8", 2024, 0, "MM/dd/yy", '/', 2000},
      {"C", 1999, 0, "MM/dd/yy", '/', 1900},
      {"en_GB.UTF-8", 2024, 2, "dd/MM/yy", '/', 2000},
      {"it_IT", 2024, 3, "dd-MM-yy", '-', 2000},
      {"fr_FR.UTF-8", 2100, 4, "dd.MM.yy", '.', 2100},
      {"de_DE.UTF-8", 2024, 5, "dd.MM.yy", '.', 2000},
      {"es_ES", 2024, 6, "dd.MM.yy", '.', 2000},
      {"fr_CA", 2024, 7, "dd.MM.yy", '.', 2000},
      {"ru_RU.UTF-8", 2024, 8, "dd.MM.yy", '.', 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    platform::SetTestLanguage(c.language);
    platform::SetTestNow({c.year, 3, 1});
    engine::Century = true;
    engine::InitDates();
    EXPECT_EQ(engine::CountryIndex, c.mode);
    EXPECT_EQ(engine::DateMode, c.mode);
    EXPECT_FALSE(engine::Century);
    EXPECT_EQ(engine::EpochYear, c.epoch);
    EXPECT_EQ(platform::Locale().ShortDateFormat, c.format);
    EXPECT_EQ(platform::Locale().DateSeparator, c.separator);
  }
}

}  // namespace
