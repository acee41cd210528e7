// The local clock, the UTC clock and a millisecond tick counter, each replaceable by tests.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

struct LocalTime {
  int year = 0;
  int month = 0;        // 1..12
  int day = 0;          // 1..31
  int day_of_week = 0;  // 0 = Sunday .. 6 = Saturday
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Today's local date and time of day.
LocalTime Now();
// Makes Now return `t` (the day of the week is recomputed from the date) until cleared.
void SetTestNow(const LocalTime& t);
void ClearTestNow();

// The current date and time of day in UTC (the day of the week included).
LocalTime UtcNow();
// Makes UtcNow return `t` (the day of the week is recomputed from the date) until cleared.
// Independent of SetTestNow: the local and the UTC reading are set apart.
void SetTestUtcNow(const LocalTime& t);
void ClearTestUtcNow();

// Milliseconds on a steady clock since an arbitrary start.
uint64_t TickMs();
// Replaces the tick source; an empty function restores the steady clock.
void SetTickSource(std::function<uint64_t()> source);

// Sleeps for `ms` milliseconds (used by timed retries).
void SleepMs(unsigned ms);

// Day of the week (0 = Sunday) of a Gregorian date.
int WeekdayOf(int year, int month, int day);

}  // namespace platform
