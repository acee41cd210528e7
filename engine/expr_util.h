// Small routines shared by the expression evaluator and the index unit: the key comparisons,
// the block rotation behind the string "-" operator, zero-padded number texts, the text-to-
// number conversion of fields and VAL, SOUNDEX, and the conversions between dates and day
// numbers.
//
// Day numbers are Julian day numbers of the proleptic Gregorian calendar: 1 January of the
// year 1 is 1721426 (kDayNumberBase + 1); 0 is the blank date. Every day number at or below
// kDayNumberBase reads as blank.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// ---- Comparisons -----------------------------------------------------------------------

// Compares n bytes: 0 when all are equal, else the difference of the first unequal bytes
// taken as unsigned (positive when a's byte is larger). The key comparison of character keys.
int CompareBytes(const void* a, const void* b, size_t n);
// 0 when equal, 1 when a is larger, -1 when smaller. The key comparison of numeric and date
// keys.
int CompareNumbers(double a, double b);

// ---- Byte blocks and texts -------------------------------------------------------------

// Reverses n bytes in place.
void ReverseBytes(char* p, size_t n);
// Exchanges the adjacent blocks p[0, first) and p[first, first + second) by three reversals,
// so that the second block comes first.
void RotateBlocks(char* p, size_t first, size_t second);
// The decimal digits of value, padded on the left with "0" to width (a negative value keeps
// its sign in front of the zeros); a longer text is returned whole.
std::string ZeroPadded(int64_t value, int width);

inline bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }
inline char UpperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
inline char LowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// The number at the start of a text, as fields and VAL read it: leading characters up to and
// including the blank skipped, then an optional sign, digits with an optional fraction (".5"
// and "1." are numbers) and an optional exponent (E or e, an optional sign, digits). Anything
// after the number is ignored; a text without a number gives 0. A magnitude beyond the range
// of a double gives an infinity of its sign, one too small 0.
double LeadingNumber(std::string_view text);

// ---- SOUNDEX ---------------------------------------------------------------------------

// The SOUNDEX code of s in `length` characters: its first character kept as it is (upper-cased
// when a letter a-z), then the codes of the following letters (of its first 100 characters)
// that differ from the code before them and are not 0, padded with "0". A, E, H, I, O, U, W
// and Y code 0 and separate equal codes; characters that are not letters are skipped.
std::string Soundex(std::string_view s, size_t length);

// ---- Dates and day numbers -------------------------------------------------------------

inline constexpr int64_t kDayNumberBase = 1721425;
// 31 December 9999, the last day whose year has four digits.
inline constexpr int64_t kLastDayNumber = 5373484;

bool IsLeapYear(int64_t year);
// The day number of a date; 0 when it is not a valid date (year below 1, month outside 1..12,
// day outside the month).
int64_t DayNumberOf(int64_t year, int month, int day);
// The day number of a YYYYMMDD text (its first 8 characters); 0 for eight blanks and for a
// text that is not a valid date (each part must be all digits).
int64_t DayNumberFromText(std::string_view yyyymmdd);
// Year, month and day of a day number; false (all 0) for a blank day number.
bool DayNumberToDate(int64_t day_number, int64_t& year, int& month, int& day);
// The YYYYMMDD text of a day number; 8 blanks for a blank day number. Requires
// day_number <= kLastDayNumber.
std::string DayNumberToText(int64_t day_number);
// The day of the week of a day number that is not blank: 1 Sunday .. 7 Saturday.
int WeekdayOfDayNumber(int64_t day_number);

}  // namespace engine
