// Date-time values: days since 1899-12-30 with the time of day as the fraction, and their texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyr::rtl {

// Days since 1899-12-30 00:00; the fraction is the time of day (0.5 = noon). Before the epoch
// the whole part counts days backwards while the fraction still counts the time of that day
// forwards (-1.25 is 1899-12-29 06:00).
using TDateTime = double;

// A calendar date and time of day.
struct DateTimeParts {
  int32_t Year = 0;
  int32_t Month = 0;   // 1..12
  int32_t Day = 0;     // 1..31
  int32_t Hour = 0;    // 0..23
  int32_t Minute = 0;  // 0..59
  int32_t Second = 0;  // 0..59
  int32_t Millisecond = 0;

  friend bool operator==(const DateTimeParts&, const DateTimeParts&) = default;
};

// The value of a calendar date and time. Fails with "Invalid argument to date encode" for a
// date or time that does not exist (year outside 1..9999, month 13, February 30, hour 24, ...).
TDateTime EncodeDateTime(const DateTimeParts& parts);
// The calendar date and time of value, rounded to the millisecond.
DateTimeParts DecodeDateTime(TDateTime value);

// The current local date and time.
TDateTime Now();

// A POSIX time (seconds and nanoseconds since 1970-01-01 UTC) as a local / UTC date-time value.
TDateTime UnixTimeToLocalDateTime(int64_t seconds, int32_t nanoseconds = 0);
TDateTime UnixTimeToUtcDateTime(int64_t seconds, int32_t nanoseconds = 0);
// A local / UTC date-time value as POSIX seconds (whole seconds, fraction dropped).
int64_t LocalDateTimeToUnixTime(TDateTime value);
int64_t UtcDateTimeToUnixTime(TDateTime value);

// A UTC date-time value as local time and back (the calendar values of certificates and
// revocation lists are UTC); milliseconds are kept.
TDateTime UtcToLocalDateTime(TDateTime utc);
TDateTime LocalToUtcDateTime(TDateTime local);

// A file's time (POSIX seconds, as stat reports it) as a local date-time value; 0 gives 0.
TDateTime FileTimeToLocalDateTime(int64_t seconds, int32_t nanoseconds = 0);

// Formats value with pattern. Specifiers, in either letter case: "yyyy" four-digit year, "yy"
// two-digit year, "mm"/"m" month with / without a leading zero, "dd"/"d" day, "hh"/"h" hour
// (24-hour), "nn"/"n" minute, "ss"/"s" second, "zzz"/"z" millisecond. "mm"/"m" right after an
// hour specifier (with only separators between) is the minute, so "DD.MM.YYYY HH:MM:SS" and
// "HH.MM.SS" work as written. Text in double or single quotes and every other character are
// copied as they are.
std::string FormatDateTime(std::string_view pattern, TDateTime value);

// The default date-time format "DD.MM.YYYY HH:MM:SS" and the short date format "DD.MM.YYYY".
std::string DateTimeToStr(TDateTime value);
std::string DateToStr(TDateTime value);

}  // namespace lyr::rtl
