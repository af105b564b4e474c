// Base64: RFC 4648 vectors, MIME line breaking at 76 characters, lenient decoding, IsBase64Text.
#include "rtl/base64.h"

#include <gtest/gtest.h>

#include <random>

#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

std::string Bytes(size_t count) {
  std::string bytes(count, '\0');
  std::mt19937 random(static_cast<unsigned>(count));
  for (char& c : bytes) {
    c = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

TEST(Base64, EncodesAndDecodesTheRfc4648VectorsAndEveryLength) {
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
    EXPECT_EQ(DecodeBase64(EncodeBase64(Bytes(n))), Bytes(n)) << n;
  }
}

// The coreutils encoder with the same line length is the peer: same lines, LF instead of CR LF
// and a final LF.
using Base64Peer = test::Sandbox;

TEST_F(Base64Peer, MatchesCoreutilsBase64Wrapped76) {
  const std::string bytes = Bytes(100000);
  const std::string path = WriteFile("blob.bin", bytes);
  std::string expected;
  ASSERT_EQ(test::RunCommand("base64 -w 76 '" + path + "'", &expected), 0);
  std::string ours = EncodeBase64(bytes);
  std::erase(ours, '\r');
  EXPECT_EQ(ours + "\n", expected);
  EXPECT_EQ(DecodeBase64(expected), bytes);
}

TEST(Base64, DecodingSkipsForeignCharactersStopsAtPaddingAndTakesUnpaddedTails) {
  EXPECT_EQ(DecodeBase64("Zm9v\r\nYmFy"), "foobar");
  EXPECT_EQ(DecodeBase64(" Zm 9v*Ym\xFF-Fy\t"), "foobar");
  EXPECT_EQ(DecodeBase64("----- \r\n*"), "");
  EXPECT_EQ(DecodeBase64("Zg==Zm9v"), "f");
  EXPECT_EQ(DecodeBase64("Zm8"), "fo");
  EXPECT_EQ(DecodeBase64("Zg"), "f");
  EXPECT_EQ(DecodeBase64("Z"), "");
}

TEST(Base64, TextCheckAcceptsOnlyTheAlphabetAndSeparators) {
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

}  // namespace
}  // namespace lyr::rtl
