// Date-time values: the calendar, local and UTC conversions and the formats.
#include "rtl/date_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "rtl/errors.h"
#include "support/expect_raises.h"

namespace lyr::rtl {
namespace {

using lyr::test::ExpectRaises;

// Values known from the date-time type: day 0 is 1899-12-30, 1900-01-01 is 2, 1970-01-01 is
// 25569, 2000-01-01 is 36526.
TEST(DateTime, EncodesAndDecodesTheCalendar) {
  const std::pair<DateTimeParts, TDateTime> known[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0},     {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
      {{1970, 1, 1, 0, 0, 0, 0}, 25569.0},   {{2000, 1, 1, 12, 0, 0, 0}, 36526.5},
      {{2024, 2, 29, 6, 0, 0, 0}, 45351.25}, {{1899, 12, 29, 6, 0, 0, 0}, -1.25},
      {{1, 1, 1, 0, 0, 0, 0}, -693593.0},    {{9999, 12, 31, 0, 0, 0, 0}, 2958465.0}};
  for (const auto& [parts, value] : known) {
    EXPECT_DOUBLE_EQ(EncodeDateTime(parts), value);
    EXPECT_EQ(DecodeDateTime(value), parts);
  }
  // Rounding up carries into the next day.
  EXPECT_EQ(DecodeDateTime(36526.9999999999), (DateTimeParts{2000, 1, 2, 0, 0, 0, 0}));
  EXPECT_EQ(DecodeDateTime(-1.9999999999), (DateTimeParts{1899, 12, 30, 0, 0, 0, 0}));
  const DateTimeParts invalid[] = {
      {2023, 2, 29, 0, 0, 0, 0}, {2024, 13, 1, 0, 0, 0, 0},   {2024, 0, 1, 0, 0, 0, 0},
      {2024, 4, 31, 0, 0, 0, 0}, {2024, 1, 0, 0, 0, 0, 0},    {0, 1, 1, 0, 0, 0, 0},
      {10000, 1, 1, 0, 0, 0, 0}, {2024, 1, 1, 24, 0, 0, 0},   {2024, 1, 1, 0, 60, 0, 0},
      {2024, 1, 1, 0, 0, 60, 0}, {2024, 1, 1, 0, 0, 0, 1000}, {2024, 1, 1, -1, 0, 0, 0}};
  for (const DateTimeParts& parts : invalid) {
    ExpectRaises([&] { EncodeDateTime(parts); }, "Invalid argument to date encode");
  }
}

// Local-time tests run in a fixed zone without daylight saving (UTC+3) and restore TZ.
class LocalTime : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    had_tz_ = tz != nullptr;
    old_tz_ = had_tz_ ? tz : "";
    ::setenv("TZ", "MSK-3", 1);
    ::tzset();
  }
  void TearDown() override {
    if (had_tz_) {
      ::setenv("TZ", old_tz_.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  std::string old_tz_;
  bool had_tz_ = false;
};

TEST_F(LocalTime, UnixTimeBecomesLocalAndUtcValues) {
  // 2024-03-01 21:30:15 UTC is 2024-03-02 00:30:15 at UTC+3.
  const int64_t t = 1709328615;
  EXPECT_EQ(DecodeDateTime(UnixTimeToUtcDateTime(t)), (DateTimeParts{2024, 3, 1, 21, 30, 15, 0}));
  EXPECT_EQ(DecodeDateTime(UnixTimeToLocalDateTime(t, 250'000'000)),
            (DateTimeParts{2024, 3, 2, 0, 30, 15, 250}));
  EXPECT_EQ(LocalDateTimeToUnixTime(UnixTimeToLocalDateTime(t)), t);
  EXPECT_EQ(UtcDateTimeToUnixTime(UnixTimeToUtcDateTime(t)), t);
}

TEST_F(LocalTime, DaylightSavingOfTheDateIsApplied) {
  if (!std::filesystem::exists("/usr/share/zoneinfo/Europe/Moscow")) {
    GTEST_SKIP() << "no time-zone data";
  }
  ::setenv("TZ", "Europe/Moscow", 1);
  ::tzset();
  // Moscow kept summer time (UTC+4) until 2010 and winter time (UTC+3) then.
  const TDateTime summer = EncodeDateTime({2010, 7, 1, 12, 0, 0, 0});
  const TDateTime winter = EncodeDateTime({2010, 1, 1, 12, 0, 0, 0});
  EXPECT_EQ(DecodeDateTime(UtcToLocalDateTime(summer)).Hour, 16);
  EXPECT_EQ(DecodeDateTime(UtcToLocalDateTime(winter)).Hour, 15);
  EXPECT_EQ(LocalDateTimeToUnixTime(UtcToLocalDateTime(summer)), UtcDateTimeToUnixTime(summer));
}

// Five past nine in the morning and seven seconds on 2024-03-02, 45 milliseconds.
TEST(DateTime, FormatsByPattern) {
  const TDateTime value = EncodeDateTime({2024, 3, 2, 9, 5, 7, 45});
  const std::pair<std::string, std::string> cases[] = {
      {"DD.MM.YYYY HH:MM:SS", "02.03.2024 09:05:07"},
      {"HH.MM.SS", "09.05.07"},
      {"dd.mm.yyyy hh:nn:ss", "02.03.2024 09:05:07"},
      {"yyyymmdd", "20240302"},
      {"d.m.yy h:n:s", "2.3.24 9:5:7"},
      {"ss.zzz", "07.045"},
      {"\"date\" dd 'mm'", "date 02 mm"},
      {"dd/mm", "02/03"},  // the month after a separator following the day
      {"[yyyy]", "[2024]"},
      {"", ""}};
  for (const auto& [pattern, expected] : cases) {
    EXPECT_EQ(FormatDateTime(pattern, value), expected) << pattern;
  }
}

}  // namespace
}  // namespace lyr::rtl
