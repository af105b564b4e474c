// Date-time values over the civil calendar of <chrono> and localtime_r / timegm.
#include "rtl/date_time.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "rtl/errors.h"

namespace lyr::rtl {
namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr int64_t kMsPerDay = 86'400'000;
// 1899-12-30 is day 0 of the date-time value; 1970-01-01 is day 25569.
constexpr sys_days kEpoch = sys_days{std::chrono::year{1899} / 12 / 30};
constexpr int64_t kUnixEpochDay = 25569;

int64_t DayNumber(int32_t year, int32_t month, int32_t day) {
  const year_month_day date{std::chrono::year{year},
                            std::chrono::month{static_cast<unsigned>(month)},
                            std::chrono::day{static_cast<unsigned>(day)}};
  return (sys_days{date} - kEpoch).count();
}

// Whole days and milliseconds of the day of value (the fraction counts forwards on both sides
// of the epoch).
void SplitValue(TDateTime value, int64_t* day, int64_t* ms) {
  const double whole = std::trunc(value);
  int64_t d = static_cast<int64_t>(whole);
  int64_t m = std::llround(std::fabs(value - whole) * static_cast<double>(kMsPerDay));
  if (m >= kMsPerDay) {  // rounding carried into the next day (day numbers grow with time)
    m -= kMsPerDay;
    d += 1;
  }
  *day = d;
  *ms = m;
}

TDateTime JoinValue(int64_t day, int64_t ms) {
  const double fraction = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
  return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

TDateTime FromBrokenDown(const std::tm& tm, int32_t nanoseconds) {
  const int64_t day = DayNumber(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  const int64_t ms =
      ((tm.tm_hour * 60 + tm.tm_min) * 60 + tm.tm_sec) * 1000LL + nanoseconds / 1'000'000;
  return JoinValue(day, ms);
}

std::tm ToBrokenDown(TDateTime value) {
  const DateTimeParts parts = DecodeDateTime(value);
  std::tm tm{};
  tm.tm_year = parts.Year - 1900;
  tm.tm_mon = parts.Month - 1;
  tm.tm_mday = parts.Day;
  tm.tm_hour = parts.Hour;
  tm.tm_min = parts.Minute;
  tm.tm_sec = parts.Second;
  tm.tm_isdst = -1;
  return tm;
}

std::string Number(int64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*lld", digits, static_cast<long long>(value));
  return text;
}

// Length of the run of letter c (either case) at pattern[i].
size_t RunLength(std::string_view pattern, size_t i) {
  const char c = static_cast<char>(pattern[i] | 0x20);
  size_t n = 0;
  while (i + n < pattern.size() && static_cast<char>(pattern[i + n] | 0x20) == c) {
    ++n;
  }
  return n;
}

}  // namespace

TDateTime EncodeDateTime(const DateTimeParts& p) {
  const year_month_day date{std::chrono::year{p.Year},
                            std::chrono::month{static_cast<unsigned>(p.Month)},
                            std::chrono::day{static_cast<unsigned>(p.Day)}};
  const bool time_ok = p.Hour >= 0 && p.Hour < 24 && p.Minute >= 0 && p.Minute < 60 &&
                       p.Second >= 0 && p.Second < 60 && p.Millisecond >= 0 && p.Millisecond < 1000;
  if (p.Year < 1 || p.Year > 9999 || p.Month < 1 || p.Day < 1 || !date.ok() || !time_ok) {
    Raise("Invalid argument to date encode");
  }
  const int64_t ms = ((p.Hour * 60LL + p.Minute) * 60 + p.Second) * 1000 + p.Millisecond;
  return JoinValue((sys_days{date} - kEpoch).count(), ms);
}

DateTimeParts DecodeDateTime(TDateTime value) {
  int64_t day = 0;
  int64_t ms = 0;
  SplitValue(value, &day, &ms);
  const year_month_day date{kEpoch + days{day}};
  DateTimeParts parts;
  parts.Year = static_cast<int32_t>(date.year());
  parts.Month = static_cast<int32_t>(static_cast<unsigned>(date.month()));
  parts.Day = static_cast<int32_t>(static_cast<unsigned>(date.day()));
  parts.Hour = static_cast<int32_t>(ms / 3'600'000);
  parts.Minute = static_cast<int32_t>(ms / 60'000 % 60);
  parts.Second = static_cast<int32_t>(ms / 1000 % 60);
  parts.Millisecond = static_cast<int32_t>(ms % 1000);
  return parts;
}

TDateTime UnixTimeToLocalDateTime(int64_t seconds, int32_t nanoseconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (::localtime_r(&t, &tm) == nullptr) {
    RaiseLastOSError();
  }
  return FromBrokenDown(tm, nanoseconds);
}

TDateTime UnixTimeToUtcDateTime(int64_t seconds, int32_t nanoseconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (::gmtime_r(&t, &tm) == nullptr) {
    RaiseLastOSError();
  }
  return FromBrokenDown(tm, nanoseconds);
}

int64_t LocalDateTimeToUnixTime(TDateTime value) {
  std::tm tm = ToBrokenDown(value);
  return static_cast<int64_t>(::mktime(&tm));
}

int64_t UtcDateTimeToUnixTime(TDateTime value) {
  std::tm tm = ToBrokenDown(value);
  return static_cast<int64_t>(::timegm(&tm));
}

TDateTime UtcToLocalDateTime(TDateTime utc) {
  const DateTimeParts parts = DecodeDateTime(utc);
  return UnixTimeToLocalDateTime(UtcDateTimeToUnixTime(utc), parts.Millisecond * 1'000'000);
}

TDateTime LocalToUtcDateTime(TDateTime local) {
  const DateTimeParts parts = DecodeDateTime(local);
  return UnixTimeToUtcDateTime(LocalDateTimeToUnixTime(local), parts.Millisecond * 1'000'000);
}

TDateTime Now() {
  std::timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return UnixTimeToLocalDateTime(now.tv_sec, static_cast<int32_t>(now.tv_nsec));
}

TDateTime FileTimeToLocalDateTime(int64_t seconds, int32_t nanoseconds) {
  if (seconds == 0 && nanoseconds == 0) {
    return 0;
  }
  return UnixTimeToLocalDateTime(seconds, nanoseconds);
}

std::string FormatDateTime(std::string_view pattern, TDateTime value) {
  const DateTimeParts p = DecodeDateTime(value);
  std::string out;
  bool after_hour = false;
  for (size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    if (c == '"' || c == '\'') {
      const size_t end = pattern.find(c, i + 1);
      const size_t stop = end == std::string_view::npos ? pattern.size() : end;
      out += pattern.substr(i + 1, stop - i - 1);
      i = stop == pattern.size() ? stop : stop + 1;
      continue;
    }
    const char lower = static_cast<char>(c | 0x20);
    const size_t n = RunLength(pattern, i);
    const bool two = n >= 2;
    switch (lower) {
      case 'y':
        out += n >= 3 ? Number(p.Year, 4) : Number(p.Year % 100, 2);
        break;
      case 'm':
        out += Number(after_hour ? p.Minute : p.Month, two ? 2 : 1);
        break;
      case 'd':
        out += Number(p.Day, two ? 2 : 1);
        break;
      case 'h':
        out += Number(p.Hour, two ? 2 : 1);
        break;
      case 'n':
        out += Number(p.Minute, two ? 2 : 1);
        break;
      case 's':
        out += Number(p.Second, two ? 2 : 1);
        break;
      case 'z':
        out += Number(p.Millisecond, n >= 3 ? 3 : 1);
        break;
      default:
        out += c;
        ++i;
        continue;
    }
    after_hour = lower == 'h';
    i += n;
  }
  return out;
}

std::string DateTimeToStr(TDateTime value) {
  return FormatDateTime("dd.mm.yyyy hh:nn:ss", value);
}

std::string DateToStr(TDateTime value) {
  return FormatDateTime("dd.mm.yyyy", value);
}

}  // namespace lyr::rtl
