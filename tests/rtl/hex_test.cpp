// Hexadecimal text of bytes.
#include "rtl/hex.h"

#include <gtest/gtest.h>

#include "rtl/errors.h"

namespace lyr::rtl {
namespace {

TEST(Hex, BytesToHexHasPrefixAndUpperCaseDigits) {
  EXPECT_EQ(BytesToHex("\x01\xAB\xFF\x00"), "0x01ABFF");
  EXPECT_EQ(BytesToHex(std::string_view("\x01\xab\xff\x00", 4)), "0x01ABFF00");
  EXPECT_EQ(BytesToHex(""), "");
}

TEST(Hex, BytesToHexPlainHasNoPrefix) {
  EXPECT_EQ(BytesToHexPlain("\x0F\xF0"), "0FF0");
  EXPECT_EQ(BytesToHexPlain(""), "");
}

TEST(Hex, HexToBytesAcceptsEitherCase) {
  EXPECT_EQ(HexToBytes("0aFf10"), "\x0A\xFF\x10");
  EXPECT_EQ(HexToBytes(""), "");
  const std::string all = [] {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
      bytes += static_cast<char>(i);
    }
    return bytes;
  }();
  EXPECT_EQ(HexToBytes(BytesToHexPlain(all)), all);
}

struct BadHex {
  std::string name;
  std::string text;
};

class HexToBytesRejects : public ::testing::TestWithParam<BadHex> {};

INSTANTIATE_TEST_SUITE_P(Cases, HexToBytesRejects,
                         ::testing::Values(BadHex{"OddLength", "ABC"}, BadHex{"Letter", "0G"},
                                           BadHex{"Blank", "0A 0B"}, BadHex{"Prefix", "0x0A"}),
                         [](const auto& info) { return info.param.name; });

TEST_P(HexToBytesRejects, WithMessageNamingText) {
  try {
    HexToBytes(GetParam().text);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(),
              Msg(u8"Неверное шестнадцатеричное значение: [") + GetParam().text + "]");
  }
}

}  // namespace
}  // namespace lyr::rtl
