#include "platform/core/clock.h"

#include <chrono>
#include <ctime>
#include <optional>
#include <thread>

namespace platform {
namespace {

std::optional<LocalTime>& TestNow() {
  static std::optional<LocalTime> t;
  return t;
}

std::optional<LocalTime>& TestUtcNow() {
  static std::optional<LocalTime> t;
  return t;
}

// The broken-down time of `now`, in UTC or local time.
LocalTime BreakDown(std::chrono::system_clock::time_point now, bool utc) {
  const std::time_t tt = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  if (utc) {
    gmtime_r(&tt, &tm);
  } else {
    localtime_r(&tt, &tm);
  }
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.day_of_week = tm.tm_wday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  // Milliseconds of the second, also for instants before 1970.
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  t.millisecond = static_cast<int>(((ms % 1000) + 1000) % 1000);
  return t;
}

std::function<uint64_t()>& TickSource() {
  static std::function<uint64_t()> f;
  return f;
}

}  // namespace

int WeekdayOf(int year, int month, int day) {
  // Sakamoto's method.
  static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  int w = (year + year / 4 - year / 100 + year / 400 + t[(month - 1) % 12] + day) % 7;
  return w < 0 ? w + 7 : w;
}

LocalTime Now() {
  if (TestNow()) return *TestNow();
  return BreakDown(std::chrono::system_clock::now(), false);
}

void SetTestNow(const LocalTime& t) {
  LocalTime copy = t;
  copy.day_of_week = WeekdayOf(t.year, t.month, t.day);
  TestNow() = copy;
}

void ClearTestNow() { TestNow().reset(); }

LocalTime UtcNow() {
  if (TestUtcNow()) return *TestUtcNow();
  return BreakDown(std::chrono::system_clock::now(), true);
}

void SetTestUtcNow(const LocalTime& t) {
  LocalTime copy = t;
  copy.day_of_week = WeekdayOf(t.year, t.month, t.day);
  TestUtcNow() = copy;
}

void ClearTestUtcNow() { TestUtcNow().reset(); }

uint64_t TickMs() {
  if (TickSource()) return TickSource()();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void SetTickSource(std::function<uint64_t()> source) { TickSource() = std::move(source); }

void SleepMs(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace platform
