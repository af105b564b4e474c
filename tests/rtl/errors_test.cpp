// Errors and the trace, guarded operations, value checks, start-up leases and date-time values.
#include "rtl/errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <thread>
#include <utility>

#include "rtl/base_class.h"
#include "rtl/date_time.h"
#include "rtl/startup.h"
#include "rtl/trace.h"
#include "rtl/value_check_tool.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

using test::ExpectRaises;

using Trace = test::Sandbox;

TEST_F(Trace, RaiseAndDebugLogWriteLinesToTheTraceFileWhenAsked) {
  const std::string file = PathOf("trace.log");
  ::setenv("LYR_TDX_TRACE", file.c_str(), 1);
  EXPECT_THROW(RaiseFmt(u8"Файл не найден: [%s]", "a.txt"), Exception);
  DebugLog("Ready to open store: %s", "MY");
  ::unsetenv("LYR_TDX_TRACE");
  EXPECT_THROW(Raise("quiet"), Exception);
  EXPECT_EQ(test::ReadAll(file),
            "[EXCEPTION Файл не найден: [a.txt]]\n[Ready to open store: MY]\n");
}

TEST(OSError, CarriesCodeAndSystemText) {
  const auto error = test::Raised<EOSError>([] { RaiseOSError(ENOENT); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->ErrorCode(), ENOENT);
  EXPECT_EQ(error->Message(), "System Error.  Code: 2.\r\nNo such file or directory");
  ExpectRaises<EOSError>([] { RaiseOSError(0); }, "A call to an OS function failed");
  errno = EACCES;
  EXPECT_EQ(LastErrorText(), "0x0000000D (13): Permission denied");
  EXPECT_EQ(ErrorCodeText(-2146885628), "0x80092004 (-2146885628): " + SysErrorText(-2146885628));
  const int line = __LINE__ + 1;
  ExpectRaises<EAssertionFailed>([] { Assert(false, "Index out of bounds", "StrArray"); },
                                 Format("Index out of bounds (StrArray, line %d)", line));
  EXPECT_NO_THROW(Assert(true, "never", "StrArray"));
}

class Worker final : public CBaseClass {
 public:
  int Run(const std::function<int()>& body, std::string_view context = {}) {
    return Guarded(body, context);
  }
};

TEST(GuardedOperation, PassesEveryErrorOnAsALibraryErrorOrShowsItWithoutHandler) {
  Worker worker;
  EXPECT_EQ(worker.Run([] { return 7; }), 7);
  ExpectRaises([&] { worker.Run([]() -> int { Raise("boom"); }, "Load"); }, "Load: [boom]");
  const auto os =
      test::Raised<EOSError>([&] { worker.Run([]() -> int { RaiseOSError(ENOENT); }); });
  EXPECT_TRUE(os && os->ErrorCode() == ENOENT) << "an OS error keeps its code";
  ExpectRaises([&] { worker.Run([]() -> int { throw std::runtime_error("std failure"); }); },
               "std failure");
  ExpectRaises([&] { worker.Run([]() -> int { throw std::bad_alloc(); }); }, "Out of memory");
  ExpectRaises([&] { worker.Run([]() -> int { throw 1; }); }, "Unknown error");
  worker.SetErrorHandler(nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(worker.Run([]() -> int { Raise("boom"); }), 0);
  EXPECT_EQ(worker.Run([]() -> int { RaiseOSError(ENOENT); }), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Ошибка: boom\nОшибка: Error code = 2, System Error.  Code: 2.\r\n"
            "No such file or directory\n");
}

// Every check's failure message ("" for values that pass, at the bounds).
TEST(ValueCheckTool, ChecksFailWithTheirExactMessagesAndPassAtTheBounds) {
  using Tool = CValueCheckTool;
  const int object = 0;
  const std::u8string range = u8"ошибка задания диапазона - минимальное значение";
  const std::u8string empty = u8"Передан пустой аргумент: ";
  const std::pair<std::function<void()>, std::u8string> cases[] = {
      {[] { Tool::CheckArgumentName(""); }, empty + u8"ArgumentName"},
      {[] { Tool::CheckAssigned(nullptr, "pKey"); }, empty + u8"pKey"},
      {[] { Tool::CheckAssigned(nullptr, "pKey", "CTdx880Crypt"); }, empty + u8"CTdx880Crypt.pKey"},
      {[] { Tool::CheckNotEmpty("", "FormName", "CXMLGprDekl"); },
       empty + u8"CXMLGprDekl.FormName"},
      {[] { Tool::CheckMaxLength("", "ContentType", 10); }, empty + u8"ContentType"},
      {[] { Tool::CheckMaxLength("12345678901", "ContentType", 10); },
       u8"Длина переменной [ContentType] больше [10]"},
      {[] { Tool::CheckMaxLength("abc", "Name", 2, "Cls"); },
       u8"Длина переменной [Cls.Name] больше [2]"},
      {[] { Tool::CheckLength("", "FormKnd", 7); }, empty + u8"FormKnd"},
      {[] { Tool::CheckLength("115100", "FormKnd", 7); },
       u8"Длина переменной [FormKnd = \"115100\"] должна быть равной [7]"},
      {[] { Tool::CheckLength("abc", "sha1", 40, "Tool"); },
       u8"Длина переменной [Tool.sha1 = \"abc\"] должна быть равной [40]"},
      {[] { Tool::CheckLength(Msg(u8"ИФНС"), "SonoAccount", 5); },
       u8"Длина переменной [SonoAccount = \"ИФНС\"] должна быть равной [5]"},
      {[] { Tool::CheckRange(0, 10, ""); }, empty + u8"ArgumentName"},
      {[] { Tool::CheckRange(5, 4, "Index"); },
       u8"Index: " + range + u8" (5) больше максимального(4)"},
      {[] { Tool::CheckValueInRange(0, 0, "Index", -1); },
       u8"Index: " + range + u8" (0) больше максимального(-1)"},
      {[] { Tool::CheckValueInRange(1, 0, "", 5); }, empty + u8"ArgumentName"},
      {[] { Tool::CheckValueInRange(3, 0, "Index", 2); },
       u8"Значение параметра Index (3) должно находиться в интервале от 0 до 2"},
      {[] { Tool::CheckValueInRange(-1, 0, "Index", 2); },
       u8"Значение параметра Index (-1) должно находиться в интервале от 0 до 2"},
      {[] { Tool::CheckValueInRange(9, 1, "Role", 4, "Key"); },
       u8"Значение параметра Key.Role (9) должно находиться в интервале от 1 до 4"},
      {[] { Tool::CheckLengthInRange(std::string(41, 'v'), 1, "ProgVersion", 40); },
       u8"ProgVersion: длина строки должна быть от 1 до 40 символов"},
      {[] { Tool::CheckLengthInRange("", 1, "ProgVersion", 40); },
       u8"ProgVersion: длина строки должна быть от 1 до 40 символов"},
      {[] { Tool::CheckLengthInRange("ab", 3, "Text", 2); },
       u8"Text: " + range + u8" (3) больше максимального(2)"},
      {[] { Tool::CheckLengthInRange("ab", 1, "", 2); }, empty + u8"ArgumentName"},
      {[] { Tool::CheckLengthInRange("abc", 1, "Code", 2, "Doc"); },
       u8"Doc.Code: длина строки должна быть от 1 до 2 символов"},
      {[] { Tool::CheckArgumentName("x"); }, u8""},
      {[&] { Tool::CheckAssigned(&object, "pKey"); }, u8""},
      {[] { Tool::CheckNotEmpty(" ", "content"); }, u8""},
      {[] { Tool::CheckMaxLength("1234567890", "ContentType", 10); }, u8""},
      {[] { Tool::CheckMaxLength(Msg(u8"Иван"), "Name", 4); }, u8""},  // windows-1251 characters
      {[] { Tool::CheckLength("1151001", "FormKnd", 7); }, u8""},
      {[] { Tool::CheckLength(Msg(u8"ИФНС"), "SonoAccount", 4); }, u8""},
      {[] { Tool::CheckRange(-5, -5, "Index"); }, u8""},
      {[] { Tool::CheckValueInRange(0, 0, "Index", 2); }, u8""},
      {[] { Tool::CheckValueInRange(2, 0, "Index", 2); }, u8""},
      {[] { Tool::CheckLengthInRange(std::string(40, 'v'), 1, "ProgVersion", 40); }, u8""},
      {[] { Tool::CheckLengthInRange("v", 1, "ProgVersion", 40); }, u8""},
      {[] { Tool::CheckLengthInRange(Msg(u8"Иван"), 4, "Name", 4); }, u8""},
      {[] { Tool::CheckLengthInRange("", 0, "PeriodCode", 2); }, u8""}};
  for (const auto& [check, message] : cases) {
    if (message.empty()) {
      EXPECT_NO_THROW(check());
    } else {
      ExpectRaises(check, message);
    }
  }
}

// What the test services did, in order.
std::vector<std::string>& Journal() {
  static std::vector<std::string> journal;
  return journal;
}

bool fail_next_start = false;

const StartupService kFirst{"first", [] { Journal().push_back("start first"); },
                            []() noexcept { Journal().push_back("stop first"); }};
const StartupService kFragile{"fragile",
                              [] {
                                if (std::exchange(fail_next_start, false)) {
                                  Raise("cannot start");
                                }
                                Journal().push_back("start fragile");
                              },
                              []() noexcept { Journal().push_back("stop fragile"); }};

TEST(StartupLease, StartsOnFirstLeaseStopsAfterLastAndAFailedStartCountsNothing) {
  Journal().clear();
  {
    const StartupLease one(kFirst);
    const StartupLease two(kFirst);
    const StartupLease copy(one);
    EXPECT_EQ(StartupLeaseCount(kFirst), 3);
  }
  EXPECT_EQ(StartupLeaseCount(kFirst), 0);
  fail_next_start = true;
  ExpectRaises([] { const StartupLease lease(kFragile); }, "cannot start");
  EXPECT_EQ(StartupLeaseCount(kFragile), 0);
  {
    const StartupLease lease(kFragile);
    EXPECT_EQ(StartupLeaseCount(kFragile), 1);
  }
  EXPECT_EQ(Journal(), (std::vector<std::string>{"start first", "stop first", "start fragile",
                                                 "stop fragile"}));
}

TEST(StartupLease, ConcurrentLeasesStartTheServiceOnce) {
  Journal().clear();
  const StartupLease held(kFirst);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([] {
      for (int j = 0; j < 200; ++j) {
        const StartupLease lease(kFirst);
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(StartupLeaseCount(kFirst), 1);
  EXPECT_EQ(Journal(), (std::vector<std::string>{"start first"}));
}

// Values known from the date-time type: day 0 is 1899-12-30, 1900-01-01 is 2, 1970-01-01 is
// 25569, 2000-01-01 is 36526.
TEST(DateTime, EncodesDecodesAndFormatsTheCalendar) {
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
  // Five past nine in the morning and seven seconds on 2024-03-02, 45 milliseconds.
  const TDateTime value = EncodeDateTime({2024, 3, 2, 9, 5, 7, 45});
  const std::pair<std::string, std::string> formats[] = {
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
  for (const auto& [pattern, expected] : formats) {
    EXPECT_EQ(FormatDateTime(pattern, value), expected) << pattern;
  }
}

// In a fixed zone without daylight saving (UTC+3), then in one with it; TZ is restored.
TEST(DateTime, UnixTimeBecomesLocalAndUtcValuesWithTheDaylightSavingOfTheDate) {
  const char* old_tz = std::getenv("TZ");
  const std::string saved = old_tz != nullptr ? old_tz : "";
  ::setenv("TZ", "MSK-3", 1);
  ::tzset();
  // 2024-03-01 21:30:15 UTC is 2024-03-02 00:30:15 at UTC+3.
  const int64_t t = 1709328615;
  EXPECT_EQ(DecodeDateTime(UnixTimeToUtcDateTime(t)), (DateTimeParts{2024, 3, 1, 21, 30, 15, 0}));
  EXPECT_EQ(DecodeDateTime(UnixTimeToLocalDateTime(t, 250'000'000)),
            (DateTimeParts{2024, 3, 2, 0, 30, 15, 250}));
  EXPECT_EQ(LocalDateTimeToUnixTime(UnixTimeToLocalDateTime(t)), t);
  EXPECT_EQ(UtcDateTimeToUnixTime(UnixTimeToUtcDateTime(t)), t);
  if (std::filesystem::exists("/usr/share/zoneinfo/Europe/Moscow")) {
    ::setenv("TZ", "Europe/Moscow", 1);
    ::tzset();
    // Moscow kept summer time (UTC+4) until 2010 and winter time (UTC+3) then.
    const TDateTime summer = EncodeDateTime({2010, 7, 1, 12, 0, 0, 0});
    EXPECT_EQ(DecodeDateTime(UtcToLocalDateTime(summer)).Hour, 16);
    EXPECT_EQ(DecodeDateTime(UtcToLocalDateTime(EncodeDateTime({2010, 1, 1, 12, 0, 0, 0}))).Hour,
              15);
    EXPECT_EQ(LocalDateTimeToUnixTime(UtcToLocalDateTime(summer)), UtcDateTimeToUnixTime(summer));
  }
  old_tz != nullptr ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
}  // namespace lyr::rtl
