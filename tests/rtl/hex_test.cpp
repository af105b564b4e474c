// Hexadecimal text of bytes.
#include "rtl/hex.h"

#include <gtest/gtest.h>

#include "rtl/errors.h"
#include "support/expect_raises.h"

namespace lyr::rtl {
namespace {

TEST(Hex, WritesUpperCaseDigitsAndReadsEitherCase) {
  EXPECT_EQ(BytesToHex("\x01\xAB\xFF\x00"), "0x01ABFF");
  EXPECT_EQ(BytesToHex(std::string_view("\x01\xab\xff\x00", 4)), "0x01ABFF00");
  EXPECT_EQ(BytesToHex(""), "");
  EXPECT_EQ(BytesToHexPlain("\x0F\xF0"), "0FF0");
  EXPECT_EQ(BytesToHexPlain(""), "");
  EXPECT_EQ(HexToBytes("0aFf10"), "\x0A\xFF\x10");
  EXPECT_EQ(HexToBytes(""), "");
  std::string all;
  for (int i = 0; i < 256; ++i) {
    all += static_cast<char>(i);
  }
  EXPECT_EQ(HexToBytes(BytesToHexPlain(all)), all);
  for (const std::string text : {"ABC", "0G", "0A 0B", "0x0A"}) {
    test::ExpectRaises([&] { HexToBytes(text); },
                       Msg(u8"Неверное шестнадцатеричное значение: [") + text + "]");
  }
}

}  // namespace
}  // namespace lyr::rtl
