#include "components/core/date_text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/core/clock.h"
#include "platform/core/locale_settings.h"

namespace components {
namespace {

class DateTextTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetTestNow({2024, 6, 15}); }
  void TearDown() override { platform::ClearTestNow(); }
};

struct TDateCase {
  const char* Format;
  char Separator;
  const char* Text;
  bool Valid;
  int Year = 0, Month = 0, Day = 0;
};

TEST_F(DateTextTest, ReadsTextsUnderTheLocaleFormat) {
  const TDateCase cases[] = {
      {"MM/dd/yy", '/', "12/31/99", true, 2099, 12, 31},  // two digits: current century
      {"MM/dd/yy", '/', "1/2/1999", true, 1999, 1, 2},
      {"MM/dd/yy", '/', "01/02/0099", true, 99, 1, 2},  // four digits are taken as written
      {"MM/dd/yy", '/', "1/1/00", true, 2000, 1, 1},
      {"MM/dd/yy", '/', " 3 / 4 / 24 ", true, 2024, 3, 4},  // blanks skipped
      {"MM/dd/yy", '/', "3/4", true, 2024, 3, 4},           // two numbers: this year
      {"dd.MM.yyyy", '.', "3.4", true, 2024, 4, 3},
      {"dd.MM.yyyy", '.', "31.12.2023", true, 2023, 12, 31},
      {"yyyy-MM-dd", '-', "2023-12-31", true, 2023, 12, 31},
      {"yyyy-MM-dd", '-', "23-1-2", true, 2023, 1, 2},
      {"yyyy-MM-dd", '-', "1-2", true, 2024, 1, 2},
      {"MM/dd/yy", '/', "2/29/2024", true, 2024, 2, 29},  // leap years
      {"MM/dd/yy", '/', "2/29/2000", true, 2000, 2, 29},
      {"MM/dd/yy", '/', "2/29/1900", false, 0, 0, 0},
      {"MM/dd/yy", '/', "2/29/23", false, 0, 0, 0},
      {"MM/dd/yy", '/', "4/31/24", false, 0, 0, 0},
      {"MM/dd/yy", '/', "13/1/24", false, 0, 0, 0},
      {"MM/dd/yy", '/', "0/1/24", false, 0, 0, 0},
      {"MM/dd/yy", '/', "1/0/24", false, 0, 0, 0},
      {"MM/dd/yy", '/', "1/1/0000", false, 0, 0, 0},
      {"dd.MM.yyyy", '.', "13.12.2023", true, 2023, 12, 13},
      {"dd.MM.yyyy", '.', "12/13/2023", false, 0, 0, 0},  // wrong separator
      {"MM/dd/yy", '/', "", false, 0, 0, 0},
      {"MM/dd/yy", '/', "  /  /  ", false, 0, 0, 0},
      {"MM/dd/yy", '/', "12", false, 0, 0, 0},
      {"MM/dd/yy", '/', "1/2/", false, 0, 0, 0},
      {"MM/dd/yy", '/', "1/2/3/4", false, 0, 0, 0},
      {"MM/dd/yy", '/', "1/2/24x", false, 0, 0, 0},
      {"MM/dd/yy", '/', "1/2/12345", false, 0, 0, 0},  // at most four digits
      {"MM/dd/yy", '/', "-1/2/24", false, 0, 0, 0},
  };
  for (const TDateCase& c : cases) {
    SCOPED_TRACE(std::string(c.Format) + " \"" + c.Text + "\"");
    platform::LocaleSettings locale;
    locale.ShortDateFormat = c.Format;
    locale.DateSeparator = c.Separator;
    TDateParts parts{-1, -1, -1};
    ASSERT_EQ(TextToDate(c.Text, locale, &parts), c.Valid);
    if (c.Valid) {
      EXPECT_EQ(parts.Year, c.Year);
      EXPECT_EQ(parts.Month, c.Month);
      EXPECT_EQ(parts.Day, c.Day);
    } else {
      EXPECT_EQ(parts.Year, -1);  // untouched on failure
    }
  }
}

TEST_F(DateTextTest, CenturyFollowsTheClock) {
  platform::SetTestNow({1999, 1, 1});
  TDateParts parts;
  ASSERT_TRUE(TextToDate("5/6/07", platform::LocaleSettings{}, &parts));
  EXPECT_EQ(parts.Year, 1907);
  ASSERT_TRUE(TextToDate("5/6", platform::LocaleSettings{}, &parts));
  EXPECT_EQ(parts.Year, 1999);
  EXPECT_TRUE(TextToDate("5/6/07", platform::LocaleSettings{}, nullptr));
}

TEST(TimeTextTest, ReadsTimesWithTheLocaleSeparator) {
  struct {
    const char* Text;
    bool Valid;
    int Hour = 0, Minute = 0, Second = 0;
  } const cases[] = {
      {"23:59:59", true, 23, 59, 59},
      {" 7 : 5 ", true, 7, 5, 0},
      {"7", true, 7, 0, 0},
      {"12:30 AM", true, 0, 30, 0},
      {"pm 1:00", true, 13, 0, 0},
      {"12:00pm", true, 12, 0, 0},
      {"24:00:00", false},
      {"10:60", false},
      {"10:00:60", false},
      {"13:00 PM", false},
      {"0:00 AM", false},
      {"10:", false},
      {"10:00:", false},
      {"10.00", false},
      {"", false},
      {"  :  :  ", false},
      {"11:11:11:11", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    TTimeParts parts;
    ASSERT_EQ(TextToTime(c.Text, platform::LocaleSettings{}, &parts), c.Valid);
    if (!c.Valid) continue;
    EXPECT_EQ(parts.Hour, c.Hour);
    EXPECT_EQ(parts.Minute, c.Minute);
    EXPECT_EQ(parts.Second, c.Second);
  }
  platform::LocaleSettings dotted;
  dotted.TimeSeparator = '.';
  EXPECT_TRUE(TextToTime("10.00", dotted, nullptr));
  EXPECT_FALSE(TextToTime("10:00", dotted, nullptr));
}

}  // namespace
}  // namespace components
