// Base64: RFC 4648 vectors, MIME line breaking at 76 characters, lenient decoding, IsBase64Text.
#include "rtl/base64.h"

#include <gtest/gtest.h>

#include <random>

#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

struct Vector {
  std::string name;
  std::string bytes;
  std::string text;
};

class Base64Vectors : public ::testing::TestWithParam<Vector> {};

// RFC 4648 section 10.
INSTANTIATE_TEST_SUITE_P(Rfc4648, Base64Vectors,
                         ::testing::Values(Vector{"Empty", "", ""}, Vector{"f", "f", "Zg=="},
                                           Vector{"fo", "fo", "Zm8="}, Vector{"foo", "foo", "Zm9v"},
                                           Vector{"foob", "foob", "Zm9vYg=="},
                                           Vector{"fooba", "fooba", "Zm9vYmE="},
                                           Vector{"foobar", "foobar", "Zm9vYmFy"},
                                           Vector{"HighBytes", "\xFB\xFF\xBF", "+/+/"},
                                           Vector{"Zeros", std::string(3, '\0'), "AAAA"}),
                         [](const auto& info) { return info.param.name; });

TEST_P(Base64Vectors, EncodesToVector) {
  EXPECT_EQ(EncodeBase64(GetParam().bytes), GetParam().text);
}

TEST_P(Base64Vectors, DecodesVector) {
  EXPECT_EQ(DecodeBase64(GetParam().text), GetParam().bytes);
}

std::string Bytes(size_t count) {
  std::string bytes(count, '\0');
  std::mt19937 random(static_cast<unsigned>(count));
  for (char& c : bytes) {
    c = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

// The coreutils encoder with the same line length is the peer: same lines, LF instead of CR LF
// and a final LF.
class Base64Peer : public test::Sandbox {};

TEST_F(Base64Peer, MatchesCoreutilsBase64Wrapped76) {
  const std::string bytes = Bytes(100000);
  const std::string path = WriteFile("blob.bin", bytes);
  std::string expected;
  ASSERT_EQ(test::RunCommand("base64 -w 76 '" + path + "'", &expected), 0);
  std::string ours = EncodeBase64(bytes);
  std::string as_lf;
  for (const char c : ours) {
    if (c != '\r') {
      as_lf += c;
    }
  }
  EXPECT_EQ(as_lf + "\n", expected);
  EXPECT_EQ(DecodeBase64(expected), bytes);
}

TEST(Base64Decode, RoundTripsEveryLength) {
  for (size_t n = 0; n < 200; ++n) {
    const std::string bytes = Bytes(n);
    EXPECT_EQ(DecodeBase64(EncodeBase64(bytes)), bytes) << n;
  }
}

TEST(Base64Decode, SkipsCharactersOutsideTheAlphabet) {
  EXPECT_EQ(DecodeBase64("Zm9v\r\nYmFy"), "foobar");
  EXPECT_EQ(DecodeBase64(" Zm 9v*Ym\xFF-Fy\t"), "foobar");
  EXPECT_EQ(DecodeBase64("----- \r\n*"), "");
}

TEST(Base64Decode, StopsAtPadding) {
  EXPECT_EQ(DecodeBase64("Zg==Zm9v"), "f");
}

TEST(Base64Decode, UnpaddedTailStillDecodes) {
  EXPECT_EQ(DecodeBase64("Zm8"), "fo");
  EXPECT_EQ(DecodeBase64("Zg"), "f");
  EXPECT_EQ(DecodeBase64("Z"), "");
}

struct TextCase {
  std::string name;
  std::string text;
  bool expected;
};

class Base64TextCheck : public ::testing::TestWithParam<TextCase> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, Base64TextCheck,
    ::testing::Values(TextCase{"Empty", "", true},
                      TextCase{"WholeAlphabet",
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/",
                               true},
                      TextCase{"PaddingHyphenBlankCrLf", "Zg== -\r\n", true},
                      TextCase{"PemArmour", "-----BEGIN CERTIFICATE-----\r\nMIIB\r\n", true},
                      TextCase{"Tab", "Zg==\t", false}, TextCase{"Colon", "a:b", false},
                      TextCase{"Nul", std::string("Zg\0=", 4), false},
                      TextCase{"CyrillicByte", "Zg\xC0", false},
                      TextCase{"DerBytes", "\x30\x82\x01\x0A", false},
                      TextCase{"Underscore", "Zg_", false}, TextCase{"Dot", "Zg.", false}),
    [](const auto& info) { return info.param.name; });

TEST_P(Base64TextCheck, AcceptsOnlyAlphabetAndSeparators) {
  EXPECT_EQ(IsBase64Text(GetParam().text), GetParam().expected);
}

}  // namespace
}  // namespace lyr::rtl
