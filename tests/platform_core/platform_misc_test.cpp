#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/core/clock.h"
#include "platform/core/dos_error.h"
#include "platform/core/halt.h"
#include "platform/core/language.h"

namespace platform {
namespace {

TEST(LanguageTest, CountryIndexFromLocaleName) {
  struct Case {
    const char* locale;
    int expected;
  } cases[] = {
      {"en_US.UTF-8", 0}, {"C", 0},     {"POSIX", 0},        {"C.UTF-8", 0}, {"en_GB.UTF-8", 2},
      {"en_AU", 2},       {"de_DE", 5}, {"de_AT.UTF-8", 5},  {"es_ES", 6},   {"fr_CA.UTF-8", 7},
      {"fr_FR@euro", 4},  {"it_IT", 3}, {"ru_RU.KOI8-R", 8}, {"nl_NL", 0},   {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CountryIndexFromLanguage(c.locale), c.expected) << c.locale;
}

TEST(LanguageTest, EnvironmentOrder) {
  ClearTestLanguage();
  setenv("LC_ALL", "", 1);
  setenv("LC_TIME", "de_DE.UTF-8", 1);
  setenv("LANG", "fr_FR.UTF-8", 1);
  EXPECT_EQ(UserLanguage(), "de_DE.UTF-8");
  setenv("LC_ALL", "it_IT", 1);
  EXPECT_EQ(UserLanguage(), "it_IT");
  SetTestLanguage("ru_RU");
  EXPECT_EQ(UserLanguage(), "ru_RU");
  ClearTestLanguage();
}

TEST(DosErrorTest, NeverMapsToZero) {
  EXPECT_EQ(DosCodeFromErrno(ENOENT), 2);
  EXPECT_EQ(DosCodeFromErrno(ENOTDIR), 3);
  EXPECT_EQ(DosCodeFromErrno(EMFILE), 4);
  EXPECT_EQ(DosCodeFromErrno(EACCES), 5);
  EXPECT_EQ(DosCodeFromErrno(EROFS), 5);
  EXPECT_EQ(DosCodeFromErrno(ENOSPC), 101);
  for (int e = 0; e < 140; ++e) EXPECT_NE(DosCodeFromErrno(e), 0) << e;
}

TEST(ClockTest, TestClockAndTicks) {
  SetTestNow({2026, 12, 10, 0, 9, 30, 0, 0});
  EXPECT_EQ(Now().year, 2026);
  EXPECT_EQ(Now().day_of_week, 4);  // a Thursday
  ClearTestNow();
  EXPECT_GE(Now().year, 2024);
  SetTickSource([] { return uint64_t{12345}; });
  EXPECT_EQ(TickMs(), 12345u);
  SetTickSource({});
  EXPECT_NE(TickMs(), 12345u);
}

TEST(ClockTest, TheUtcReadingIsSetApartFromTheLocalOne) {
  SetTestNow({2026, 3, 1, 0, 23, 5, 0, 0});
  SetTestUtcNow({2026, 3, 2, 0, 13, 45, 30, 250});
  EXPECT_EQ(UtcNow().hour, 13);
  EXPECT_EQ(UtcNow().millisecond, 250);
  EXPECT_EQ(UtcNow().day_of_week, 1);  // a Monday
  EXPECT_EQ(Now().hour, 23);
  ClearTestUtcNow();
  EXPECT_EQ(Now().hour, 23) << "clearing one reading leaves the other";
  ClearTestNow();
  const LocalTime utc = UtcNow();
  EXPECT_GE(utc.year, 2024);
  EXPECT_LT(utc.millisecond, 1000);
}

TEST(HaltTest, ExitStatus) {
  EXPECT_EQ(ExitStatusFor(0), 0);
  EXPECT_EQ(ExitStatusFor(1), 1);
  EXPECT_EQ(ExitStatusFor(215), 215);
  EXPECT_EQ(ExitStatusFor(255), 255);
  EXPECT_EQ(ExitStatusFor(256), 255);
  EXPECT_EQ(ExitStatusFor(1103), 255);
}

TEST(HaltTest, ExitProcsRunNewestFirstAndOnce) {
  std::string order;
  AddExitProc([&] { order += "a"; });
  int id = AddExitProc([&] { order += "x"; });
  AddExitProc([&] { order += "b"; });
  RemoveExitProc(id);
  RunExitProcs();
  RunExitProcs();
  EXPECT_EQ(order, "ba");
}

TEST(HaltDeathTest, HaltRunsProceduresEvenWhenOneHaltsAgain) {
  EXPECT_EXIT(
      {
        AddExitProc([] { std::fputs("first\n", stderr); });
        AddExitProc([] {
          std::fputs("second\n", stderr);
          Halt(7);  // a procedure that halts again must not re-run itself
        });
        Halt(300);
      },
      ::testing::ExitedWithCode(7), "second\nfirst");
}

TEST(HaltDeathTest, LargeCodesNeverExitWithSuccess) {
  EXPECT_EXIT(Halt(256), ::testing::ExitedWithCode(255), "");
}

TEST(MessageHookTest, DefaultAndReplacement) {
  std::string seen;
  SetMessageHook(
      [&](const std::string& text, const std::string& caption, MessageIcon, MessageButtons) {
        seen = caption + "|" + text;
        return int{kResultNo};
      });
  EXPECT_EQ(ShowMessage("t", "c", kIconStop, kButtonsYesNo), kResultNo);
  EXPECT_EQ(seen, "c|t");
  SetMessageHook({});
  testing::internal::CaptureStderr();
  EXPECT_EQ(ShowMessage("hello", "Cap", kIconStop), kResultOk);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cap: hello\n");
}

}  // namespace
}  // namespace platform
