// Date-time values: the calendar, local and UTC conversions and the formats.
#include "rtl/date_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "rtl/errors.h"

namespace lyr::rtl {
namespace {

struct CalendarCase {
  std::string name;
  DateTimeParts parts;
  TDateTime value;
};

class CalendarCases : public ::testing::TestWithParam<CalendarCase> {};

// Values known from the date-time type: day 0 is 1899-12-30, 1900-01-01 is 2, 1970-01-01 is
// 25569, 2000-01-01 is 36526.
INSTANTIATE_TEST_SUITE_P(
    Known, CalendarCases,
    ::testing::Values(CalendarCase{"Epoch", {1899, 12, 30, 0, 0, 0, 0}, 0.0},
                      CalendarCase{"Year1900", {1900, 1, 1, 0, 0, 0, 0}, 2.0},
                      CalendarCase{"UnixEpoch", {1970, 1, 1, 0, 0, 0, 0}, 25569.0},
                      CalendarCase{"Y2kNoon", {2000, 1, 1, 12, 0, 0, 0}, 36526.5},
                      CalendarCase{"LeapDay", {2024, 2, 29, 6, 0, 0, 0}, 45351.25},
                      CalendarCase{"BeforeEpoch", {1899, 12, 29, 6, 0, 0, 0}, -1.25},
                      CalendarCase{"FirstYear", {1, 1, 1, 0, 0, 0, 0}, -693593.0},
                      CalendarCase{"LastDay", {9999, 12, 31, 0, 0, 0, 0}, 2958465.0}),
    [](const auto& info) { return info.param.name; });

TEST_P(CalendarCases, EncodesAndDecodes) {
  EXPECT_DOUBLE_EQ(EncodeDateTime(GetParam().parts), GetParam().value);
  EXPECT_EQ(DecodeDateTime(GetParam().value), GetParam().parts);
}

TEST(DateTime, RoundingUpCarriesIntoTheNextDay) {
  EXPECT_EQ(DecodeDateTime(36526.9999999999), (DateTimeParts{2000, 1, 2, 0, 0, 0, 0}));
  EXPECT_EQ(DecodeDateTime(-1.9999999999), (DateTimeParts{1899, 12, 30, 0, 0, 0, 0}));
}

class InvalidDates : public ::testing::TestWithParam<DateTimeParts> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, InvalidDates,
    ::testing::Values(
        DateTimeParts{2023, 2, 29, 0, 0, 0, 0}, DateTimeParts{2024, 13, 1, 0, 0, 0, 0},
        DateTimeParts{2024, 0, 1, 0, 0, 0, 0}, DateTimeParts{2024, 4, 31, 0, 0, 0, 0},
        DateTimeParts{2024, 1, 0, 0, 0, 0, 0}, DateTimeParts{0, 1, 1, 0, 0, 0, 0},
        DateTimeParts{10000, 1, 1, 0, 0, 0, 0}, DateTimeParts{2024, 1, 1, 24, 0, 0, 0},
        DateTimeParts{2024, 1, 1, 0, 60, 0, 0}, DateTimeParts{2024, 1, 1, 0, 0, 60, 0},
        DateTimeParts{2024, 1, 1, 0, 0, 0, 1000}, DateTimeParts{2024, 1, 1, -1, 0, 0, 0}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_P(InvalidDates, FailToEncode) {
  try {
    EncodeDateTime(GetParam());
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Invalid argument to date encode");
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

struct FormatCase {
  std::string name;
  std::string pattern;
  std::string expected;
};

class FormatCases : public ::testing::TestWithParam<FormatCase> {};

// Five past nine in the morning and seven seconds on 2024-03-02, 45 milliseconds.
INSTANTIATE_TEST_SUITE_P(
    Cases, FormatCases,
    ::testing::Values(FormatCase{"DefaultFormat", "DD.MM.YYYY HH:MM:SS", "02.03.2024 09:05:07"},
                      FormatCase{"ShortDate", "DD.MM.YYYY", "02.03.2024"},
                      FormatCase{"ReceiptTime", "HH.MM.SS", "09.05.07"},
                      FormatCase{"LowerCaseWithN", "dd.mm.yyyy hh:nn:ss", "02.03.2024 09:05:07"},
                      FormatCase{"FileNameDate", "yyyymmdd", "20240302"},
                      FormatCase{"NoLeadingZeros", "d.m.yy h:n:s", "2.3.24 9:5:7"},
                      FormatCase{"Milliseconds", "ss.zzz", "07.045"},
                      FormatCase{"QuotedLiterals", "\"date\" dd 'mm'", "date 02 mm"},
                      FormatCase{"MonthAfterSeparatorFollowingDay", "dd/mm", "02/03"},
                      FormatCase{"OtherCharacters", "[yyyy]", "[2024]"},
                      FormatCase{"Empty", "", ""}),
    [](const auto& info) { return info.param.name; });

TEST_P(FormatCases, FormatsValue) {
  const TDateTime value = EncodeDateTime({2024, 3, 2, 9, 5, 7, 45});
  EXPECT_EQ(FormatDateTime(GetParam().pattern, value), GetParam().expected);
}

}  // namespace
}  // namespace lyr::rtl
