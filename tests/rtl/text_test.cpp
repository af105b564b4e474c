// Text and values: code page, Format, hex, Base64, cutting, names, taxpayer numbers, identifiers,
// errors and the trace, guarded operations, value checks, start-up leases and date-time values.
#include "rtl/text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <functional>
#include <new>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>

#include "base/utf8.h"
#include "rtl/base64.h"
#include "rtl/base_class.h"
#include "rtl/date_time.h"
#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/hex.h"
#include "rtl/identifiers.h"
#include "rtl/startup.h"
#include "rtl/str_utils.h"
#include "rtl/trace.h"
#include "rtl/value_check_tool.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

using test::ExpectRaises;

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) {
    bytes.push_back(static_cast<char>(b));
  }
  return bytes;
}

TEST(CodePage, EveryByteRoundTripsAndOthersBecomeQuestionMarks) {
  const std::u16string wide = AnsiToUtf16(AllBytes());
  EXPECT_EQ(Utf16ToAnsi(wide), AllBytes());
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(AllBytes())), AllBytes());
  EXPECT_EQ(std::set<char16_t>(wide.begin(), wide.end()).size(), 256u) << "one unit per byte";
  EXPECT_EQ(AnsiToUtf16("\xC0\xFF\xA8\xB8\x98\xB9\x88"),
            u"\u0410\u044F\u0401\u0451\u0098\u2116\u20AC");
  EXPECT_EQ(Msg(u8"Ошибка"), "\xCE\xF8\xE8\xE1\xEA\xE0");
  EXPECT_EQ(Utf16ToAnsi(u"a\u4E2Db\U0001F600c"), "a?b?c");
  // Three- and four-byte forms, lone continuation, overlong slash, surrogate, truncated sequence.
  EXPECT_EQ(
      Utf8ToAnsi(std::string_view("\xE4\xB8\xADg\xF0\x9F\x98\x80h\x80i\xC0\xAFj\xED\xA0\x80k\xD0")),
      "?g?h?i?j?k?");
}

// The two resynchronisations of the UTF-8 decoder: liblyrcom's (a broken sequence costs its lead
// byte) and the code page's (the lead byte and the continuation bytes before the break).
TEST(Utf8Decoder, ABrokenSequenceCostsWhatItsModeSays) {
  constexpr char32_t R = base::kReplacementCharacter;
  const struct {
    std::string_view bytes;
    std::u32string lead_byte;
    std::u32string valid_prefix;
  } cases[] = {
      {"\xE4\xB8g", {R, R, U'g'}, {R, U'g'}},  // broken before its third byte
      {"\xF0\x9F\x98", {R, R, R}, {R}},        // cut off by the end
      {"\xC0\xAFj", {R, U'j'}, {R, U'j'}},     // overlong: whole in both
      {"\xED\xA0\x80", {R}, {R}},              // a surrogate: whole in both
      {"\xF4\x90\x80\x80", {R}, {R}},          // above U+10FFFF
      {"\xD0\x96\xF0\x9F\x98\x80", {0x416, 0x1F600}, {0x416, 0x1F600}},
  };
  for (const auto& c : cases) {
    for (const auto mode : {base::Malformed::kLeadByte, base::Malformed::kValidPrefix}) {
      std::u32string decoded;
      for (size_t pos = 0; pos < c.bytes.size();) {
        decoded += base::DecodeUtf8(c.bytes, pos, mode);
      }
      EXPECT_EQ(decoded, mode == base::Malformed::kLeadByte ? c.lead_byte : c.valid_prefix)
          << testing::PrintToString(c.bytes);
    }
  }
}

TEST(Format, FillsPlaceholdersAndRefusesBadPatterns) {
  EXPECT_EQ(Format("a %S b %D", "x", -42), "a x b -42");
  // An index selects an argument; later unindexed placeholders continue after it.
  EXPECT_EQ(Format("%1:s %s %0:s %s", "a", "b", "c"), "b c a b");
  EXPECT_EQ(Format("100%% %s", "ok"), "100% ok");
  EXPECT_EQ(Format("%.8x", -2146885628), "80092004");
  EXPECT_EQ(Format("%u", -1), "4294967295");
  EXPECT_EQ(Format("[%5d]", 42), "[   42]");
  EXPECT_EQ(Format("[%-5s]", "ab"), "[ab   ]");
  EXPECT_EQ(Format("[%.2s]", "abcdef"), "[ab]");
  const std::string invalid = "' invalid or incompatible with argument";
  const std::pair<std::string, std::string> cases[] = {
      {"%s %d %s", "No argument for format '%s %d %s'"},
      {"%d", "Format '%d" + invalid},
      {"%s %s", "Format '%s %s" + invalid},
      {"tail %", "Format 'tail %" + invalid},
      {"%q", "Format '%q" + invalid},
      {"%99999999999d", "Format '%99999999999d" + invalid}};
  for (const auto& [format, message] : cases) {
    ExpectRaises([&] { (void)Format(format, "text", 5); }, message);
  }
}

TEST(Hex, WritesUpperCaseDigitsAndReadsEitherCase) {
  EXPECT_EQ(BytesToHex("\x01\xAB\xFF\x00"), "0x01ABFF");
  EXPECT_EQ(BytesToHex(std::string_view("\x01\xab\xff\x00", 4)), "0x01ABFF00");
  EXPECT_EQ(BytesToHex(""), "");
  EXPECT_EQ(BytesToHexPlain("\x0F\xF0"), "0FF0");
  EXPECT_EQ(HexToBytes("0aFf10"), "\x0A\xFF\x10");
  EXPECT_EQ(HexToBytes(BytesToHexPlain(AllBytes())), AllBytes());
  for (const std::string text : {"ABC", "0G", "0A 0B", "0x0A"}) {
    ExpectRaises([&] { HexToBytes(text); },
                 Msg(u8"Неверное шестнадцатеричное значение: [") + text + "]");
  }
}

std::string RandomBytes(size_t count) {
  std::string bytes(count, '\0');
  std::mt19937 random(static_cast<unsigned>(count));
  for (char& c : bytes) {
    c = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

TEST(Base64, EncodesTheRfc4648VectorsAndDecodesLeniently) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foobar", "Zm9vYmFy"}, {"\xFB\xFF\xBF", "+/+/"}};
  for (const auto& [bytes, text] : vectors) {
    EXPECT_EQ(EncodeBase64(bytes), text);
    EXPECT_EQ(DecodeBase64(text), bytes);
  }
  // Foreign characters are skipped, decoding stops at padding, unpadded tails are taken.
  EXPECT_EQ(DecodeBase64(" Zm 9v*Ym\xFF-Fy\t\r\n"), "foobar");
  EXPECT_EQ(DecodeBase64("Zg==Zm9v") + DecodeBase64("Zm8") + DecodeBase64("Z"), "ffo");
  EXPECT_TRUE(IsBase64Text(
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=-\r\n -----BEGIN X"));
  for (const std::string& text :
       {std::string("Zg==\t"), std::string("Zg\0=", 4), std::string("Zg_")}) {
    EXPECT_FALSE(IsBase64Text(text)) << text;
  }
}

// The coreutils encoder with the same line length is the peer: same lines, LF instead of CR LF
// and a final LF.
using Base64Peer = test::Sandbox;

TEST_F(Base64Peer, MatchesCoreutilsBase64Wrapped76) {
  const std::string bytes = RandomBytes(100000);
  std::string expected;
  ASSERT_EQ(test::RunCommand("base64 -w 76 '" + WriteFile("blob.bin", bytes) + "'", &expected), 0);
  std::string ours = EncodeBase64(bytes);
  std::erase(ours, '\r');
  EXPECT_EQ(ours + "\n", expected);
  EXPECT_EQ(DecodeBase64(expected), bytes);
}

TEST(StrUtils, CutsTextAndSplitsFullNames) {
  const std::tuple<int64_t, std::string> cuts[] = {// Left|Right|DeleteLeft|DeleteRight
                                                   {0, "||abcde|abcde"},
                                                   {2, "ab|de|cde|abc"},
                                                   {9, "abcde|abcde||"},
                                                   {-3, "||abcde|abcde"}};
  for (const auto& [n, expected] : cuts) {
    EXPECT_EQ(LeftStr("abcde", n) + "|" + RightStr("abcde", n) + "|" + DeleteLeft("abcde", n) +
                  "|" + DeleteRight("abcde", n),
              expected)
        << n;
  }
  const std::pair<std::u8string, std::u8string> names[] = {
      {u8"Иванов", u8"Иванов||"},
      {u8"Иванов Иван", u8"Иванов|Иван|"},
      {u8"Петров Пётр Оглы Сын", u8"Петров|Пётр|Оглы Сын"},
      {u8"_Иванов__Иван Иванович_", u8"Иванов|Иван|Иванович"},
      {u8"___", u8"||"}};
  for (const auto& [full, parts] : names) {
    const FullName name = SplitFullName(Msg(full));
    EXPECT_EQ(name.LastName + "|" + name.FirstName + "|" + name.MiddleName, Msg(parts));
  }
}

// Taxpayer numbers published by their holders (large banks and companies); every one has a
// non-zero check digit, so every change of a single digit, or a letter for it, must be detected.
TEST(IsValidInn, AcceptsPublishedNumbersAndDetectsEveryChangedDigit) {
  for (const std::string inn :
       {"7707083893", "500100732259", "7736207543", "7830002293", "0000000000", "000000000000"}) {
    EXPECT_TRUE(IsValidInn(inn)) << inn;
    for (size_t i = 0; i < inn.size() && inn[0] != '0'; ++i) {
      for (const char digit : std::string("0123456789A")) {
        std::string changed = inn;
        changed[i] = digit;
        EXPECT_EQ(IsValidInn(changed), digit == inn[i]) << changed;
      }
    }
  }
  for (const std::string text : {"", "77070838930", "770708389", " 7707083893", "+707083893",
                                 "500100732249", "500100732258"}) {
    EXPECT_FALSE(IsValidInn(text)) << text;
  }
}

TEST(Identifiers, GuidsAreVersion4InRegistryFormAndFileIdsDoNotRepeat) {
  Guid guid{0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
  EXPECT_EQ(GuidToString(guid), "{1CF2B120-547D-101B-8E65-08002B2BD119}");
  std::set<std::string> seen;
  for (int i = 0; i < 10000; ++i) {
    guid = NewGuid();
    EXPECT_EQ(guid.Data3 >> 12, 4);
    EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
    EXPECT_TRUE(seen.insert(NewFileId()).second);
  }
}

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
  using T = CValueCheckTool;
  const int object = 0;
  const std::u8string empty = u8"Передан пустой аргумент: ";
  const std::pair<std::function<void()>, std::u8string> cases[] = {
      {[] { T::CheckArgumentName(""); }, empty + u8"ArgumentName"},
      {[] { T::CheckAssigned(nullptr, "pKey", "CTdx880Crypt"); }, empty + u8"CTdx880Crypt.pKey"},
      {[] { T::CheckMaxLength("", "ContentType", 10); }, empty + u8"ContentType"},
      {[] { T::CheckMaxLength("abc", "Name", 2, "Cls"); },
       u8"Длина переменной [Cls.Name] больше [2]"},
      {[] { T::CheckLength("abc", "sha1", 40, "Tool"); },
       u8"Длина переменной [Tool.sha1 = \"abc\"] должна быть равной [40]"},
      {[] { T::CheckLengthInRange("ab", 3, "Text", 2); },
       u8"Text: ошибка задания диапазона - минимальное значение (3) больше максимального(2)"},
      {[] { T::CheckValueInRange(-1, 0, "Index", 2); },
       u8"Значение параметра Index (-1) должно находиться в интервале от 0 до 2"},
      {[] { T::CheckValueInRange(9, 1, "Role", 4, "Key"); },
       u8"Значение параметра Key.Role (9) должно находиться в интервале от 1 до 4"},
      {[] { T::CheckLengthInRange("", 1, "ProgVersion", 40); },
       u8"ProgVersion: длина строки должна быть от 1 до 40 символов"},
      {[] { T::CheckLengthInRange("abc", 1, "Code", 2, "Doc"); },
       u8"Doc.Code: длина строки должна быть от 1 до 2 символов"},
      {[&] { T::CheckAssigned(&object, "pKey"); }, u8""},
      {[] { T::CheckRange(-5, -5, "Index"); }, u8""},
      {[] { T::CheckMaxLength("1234567890", "ContentType", 10); }, u8""},
      {[] { T::CheckLength("1151001", "FormKnd", 7); }, u8""},
      {[] { T::CheckValueInRange(0, 0, "Index", 2), T::CheckValueInRange(2, 0, "Index", 2); },
       u8""},
      {[] { T::CheckLengthInRange(std::string(40, 'v'), 1, "ProgVersion", 40); }, u8""},
      {[] { T::CheckLengthInRange(Msg(u8"Иван"), 4, "Name", 4); }, u8""},  // windows-1251 bytes
      {[] { T::CheckLengthInRange("", 0, "PeriodCode", 2); }, u8""}};
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

TEST(StartupLease, StartsOnceOnTheFirstLeaseStopsAfterTheLastAndAFailedStartCountsNothing) {
  Journal().clear();
  {
    const StartupLease one(kFirst);
    const StartupLease two(kFirst);
    const StartupLease copy(one);
    EXPECT_EQ(StartupLeaseCount(kFirst), 3);
  }
  fail_next_start = true;
  ExpectRaises([] { const StartupLease lease(kFragile); }, "cannot start");
  (void)StartupLease(kFragile);     // the failed start left nothing counted: this one starts it
  const StartupLease held(kFirst);  // concurrent leases start the service once
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
  EXPECT_EQ(Journal(), (std::vector<std::string>{"start first", "stop first", "start fragile",
                                                 "stop fragile", "start first"}));
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
  const DateTimeParts invalid[] = {{2023, 2, 29, 0, 0, 0, 0}, {2024, 13, 1, 0, 0, 0, 0},
                                   {2024, 0, 1, 0, 0, 0, 0},  {2024, 1, 0, 0, 0, 0, 0},
                                   {0, 1, 1, 0, 0, 0, 0},     {10000, 1, 1, 0, 0, 0, 0},
                                   {2024, 1, 1, 24, 0, 0, 0}, {2024, 1, 1, 0, 0, 0, 1000}};
  for (const DateTimeParts& parts : invalid) {
    ExpectRaises([&] { EncodeDateTime(parts); }, "Invalid argument to date encode");
  }
  // Five past nine in the morning and seven seconds on 2024-03-02, 45 milliseconds.
  const TDateTime value = EncodeDateTime({2024, 3, 2, 9, 5, 7, 45});
  EXPECT_EQ(FormatDateTime("DD.MM.YYYY HH:MM:SS", value), "02.03.2024 09:05:07");
  EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss", value), "02.03.2024 09:05:07");
  EXPECT_EQ(FormatDateTime("d.m.yy h:n:s", value), "2.3.24 9:5:7");
  EXPECT_EQ(FormatDateTime("ss.zzz", value), "07.045");
  EXPECT_EQ(FormatDateTime("\"date\" dd 'mm'", value), "date 02 mm");
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
