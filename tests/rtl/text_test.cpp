#include "rtl/text.h"

#include <gtest/gtest.h>

namespace lyr::rtl {
namespace {

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) {
    bytes.push_back(static_cast<char>(b));
  }
  return bytes;
}

TEST(CodePage, EveryByteRoundTripsThroughUtf16) {
  const std::string bytes = AllBytes();
  const std::u16string wide = AnsiToUtf16(bytes);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(std::u16string(wide).size(), std::u16string(wide.begin(), wide.end()).size());
  EXPECT_EQ(Utf16ToAnsi(wide), bytes);
  // Distinct bytes give distinct units.
  std::u16string sorted = wide;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST(CodePage, EveryByteRoundTripsThroughUtf8) {
  const std::string bytes = AllBytes();
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(bytes)), bytes);
}

TEST(CodePage, MapsCyrillicAndSpecialBytes) {
  EXPECT_EQ(AnsiToUtf16("\xC0\xFF\xA8\xB8\x98\xB9\x88"),
            u"\u0410\u044F\u0401\u0451\u0098\u2116\u20AC");
  EXPECT_EQ(Msg(u8"Ошибка"), "\xCE\xF8\xE8\xE1\xEA\xE0");
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToAnsi(u"a\u4E2Db\U0001F600c"), "a?b?c");
  EXPECT_EQ(Utf8ToAnsi(u8"a\u4E2Db\U0001F600c"), "a?b?c");
}

TEST(CodePage, MalformedUtf8BecomesQuestionMarks) {
  // Truncated sequence, lone continuation byte, overlong slash, encoded surrogate.
  EXPECT_EQ(Utf8ToAnsi(std::string_view("x\xD0")), "x?");
  EXPECT_EQ(Utf8ToAnsi(std::string_view("\x80y")), "?y");
  EXPECT_EQ(Utf8ToAnsi(std::string_view("\xC0\xAFz")), "?z");
  EXPECT_EQ(Utf8ToAnsi(std::string_view("\xED\xA0\x80")), "?");
}

}  // namespace
}  // namespace lyr::rtl
