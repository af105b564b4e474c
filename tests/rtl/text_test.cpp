// Text helpers: the windows-1251 code page, Format, hexadecimal and Base64 text, cutting, full
// names, the taxpayer-number check and new identifiers.
#include "rtl/text.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "rtl/base64.h"
#include "rtl/format.h"
#include "rtl/hex.h"
#include "rtl/identifiers.h"
#include "rtl/str_utils.h"
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
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(Utf16ToAnsi(wide), AllBytes());
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(AllBytes())), AllBytes());
  EXPECT_EQ(std::set<char16_t>(wide.begin(), wide.end()).size(), 256u) << "one unit per byte";
  EXPECT_EQ(AnsiToUtf16("\xC0\xFF\xA8\xB8\x98\xB9\x88"),
            u"\u0410\u044F\u0401\u0451\u0098\u2116\u20AC");
  EXPECT_EQ(Msg(u8"Ошибка"), "\xCE\xF8\xE8\xE1\xEA\xE0");
  EXPECT_EQ(Utf16ToAnsi(u"a\u4E2Db\U0001F600c"), "a?b?c");
  EXPECT_EQ(Utf8ToAnsi(u8"a\u4E2Db\U0001F600c"), "a?b?c");
  // Truncated sequence, lone continuation byte, overlong slash, encoded surrogate.
  EXPECT_EQ(Utf8ToAnsi(std::string_view("x\xD0")), "x?");
  EXPECT_EQ(Utf8ToAnsi(std::string_view("\x80y")), "?y");
  EXPECT_EQ(Utf8ToAnsi(std::string_view("\xC0\xAFz")), "?z");
  EXPECT_EQ(Utf8ToAnsi(std::string_view("\xED\xA0\x80")), "?");
}

TEST(Format, FillsPlaceholdersAndRefusesBadPatterns) {
  EXPECT_EQ(Format("a %s b %d", "x", 42), "a x b 42");
  // An index selects an argument; later unindexed placeholders continue after it.
  EXPECT_EQ(Format("%1:s %s %0:s %s", "a", "b", "c"), "b c a b");
  EXPECT_EQ(Format("100%% %s", "ok"), "100% ok");
  EXPECT_EQ(Format("%d", -17), "-17");
  EXPECT_EQ(Format("%.8x", 0x1F), "0000001F");
  EXPECT_EQ(Format("%.8x", -2146885628), "80092004");
  EXPECT_EQ(Format("%u", -1), "4294967295");
  EXPECT_EQ(Format("[%5d]", 42), "[   42]");
  EXPECT_EQ(Format("[%-5s]", "ab"), "[ab   ]");
  EXPECT_EQ(Format("[%.2s]", "abcdef"), "[ab]");
  EXPECT_EQ(Format("%.3d", 7), "007");
  EXPECT_EQ(Format("%D %S", 1, "s"), "1 s");
  const std::string invalid = "' invalid or incompatible with argument";
  const std::pair<std::string, std::string> cases[] = {
      {"%s %d %s", "No argument for format '%s %d %s'"},
      {"%d", "Format '%d" + invalid},
      {"%s %s", "Format '%s %s" + invalid},
      {"%5:s", "No argument for format '%5:s'"},
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
  EXPECT_EQ(HexToBytes(""), "");
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
  const std::pair<std::string, std::string> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"},
                                                         {"\xFB\xFF\xBF", "+/+/"},
                                                         {std::string(3, '\0'), "AAAA"}};
  for (const auto& [bytes, text] : vectors) {
    EXPECT_EQ(EncodeBase64(bytes), text);
    EXPECT_EQ(DecodeBase64(text), bytes);
  }
  for (size_t n = 0; n < 200; ++n) {
    EXPECT_EQ(DecodeBase64(EncodeBase64(RandomBytes(n))), RandomBytes(n)) << n;
  }
  // Foreign characters are skipped, decoding stops at padding, unpadded tails are taken.
  EXPECT_EQ(DecodeBase64(" Zm 9v*Ym\xFF-Fy\t\r\n"), "foobar");
  EXPECT_EQ(DecodeBase64("----- \r\n*"), "");
  EXPECT_EQ(DecodeBase64("Zg==Zm9v"), "f");
  EXPECT_EQ(DecodeBase64("Zm8"), "fo");
  EXPECT_EQ(DecodeBase64("Zg"), "f");
  EXPECT_EQ(DecodeBase64("Z"), "");
  for (const std::string text :
       {"", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", "Zg== -\r\n",
        "-----BEGIN CERTIFICATE-----\r\nMIIB\r\n"}) {
    EXPECT_TRUE(IsBase64Text(text)) << text;
  }
  for (const std::string& text :
       {std::string("Zg==\t"), std::string("a:b"), std::string("Zg\0=", 4), std::string("Zg\xC0"),
        std::string("\x30\x82\x01\x0A"), std::string("Zg_")}) {
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
      {u8"Иванов Иван Иванович", u8"Иванов|Иван|Иванович"},
      {u8"Иванов_Иван_Иванович", u8"Иванов|Иван|Иванович"},
      {u8"Иванов", u8"Иванов||"},
      {u8"Иванов Иван", u8"Иванов|Иван|"},
      {u8"  Иванов   Иван   Иванович  ", u8"Иванов|Иван|Иванович"},
      {u8"Петров Пётр Оглы Сын", u8"Петров|Пётр|Оглы Сын"},
      {u8"_Иванов__Иван Иванович_", u8"Иванов|Иван|Иванович"},
      {u8"", u8"||"},
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
       {"7707083893", "500100732259", "7736207543", "7710140679", "7702070139", "7728168971",
        "7740000076", "7707049388", "7830002293", "0000000000", "000000000000"}) {
    EXPECT_TRUE(IsValidInn(inn)) << inn;
    for (size_t i = 0; i < inn.size() && inn[0] != '0'; ++i) {
      for (const char digit : std::string("0123456789A")) {
        std::string changed = inn;
        changed[i] = digit;
        EXPECT_EQ(IsValidInn(changed), digit == inn[i]) << changed;
      }
    }
  }
  for (const std::string text :
       {"", "77070838930", "770708389", "5001007322590", " 7707083893", "7707083893 ", "+707083893",
        "0000000001", "500100732249", "500100732258", "770708389\xCE"}) {
    EXPECT_FALSE(IsValidInn(text)) << text;
  }
}

TEST(Identifiers, GuidsAreVersion4InRegistryFormAndFileIdsDoNotRepeat) {
  Guid guid{0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
  EXPECT_EQ(GuidToString(guid), "{1CF2B120-547D-101B-8E65-08002B2BD119}");
  EXPECT_EQ(GuidToString(Guid{}), "{00000000-0000-0000-0000-000000000000}");
  std::set<std::string> seen;
  for (int i = 0; i < 10000; ++i) {
    guid = NewGuid();
    EXPECT_EQ(guid.Data3 >> 12, 4);
    EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
    EXPECT_TRUE(seen.insert(NewFileId()).second);
  }
}

}  // namespace
}  // namespace lyr::rtl
