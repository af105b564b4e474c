// The table of crypto error codes and the thread-local last error.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "crypt/crypt_error.h"

namespace lyr::crypt {
namespace {

TEST(CryptErrorTable, HoldsEachCodeOnceWithNameAndText) {
  std::set<uint32_t> codes;
  std::set<std::string_view> names;
  for (const CryptErrorInfo& info : CryptErrorTable()) {
    EXPECT_TRUE(codes.insert(info.code).second) << info.name;
    EXPECT_TRUE(names.insert(info.name).second) << info.name;
    EXPECT_FALSE(info.text.empty()) << info.name;
    EXPECT_EQ(FindCryptError(info.code), &info);
  }
  EXPECT_GE(codes.size(), 30U);
}

struct KnownCode {
  uint32_t code;
  const char* name;
};

class CryptErrorKnownCodes : public ::testing::TestWithParam<KnownCode> {};

TEST_P(CryptErrorKnownCodes, HaveTheirCryptoApiValues) {
  const CryptErrorInfo* info = FindCryptError(GetParam().code);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->name, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Codes, CryptErrorKnownCodes,
                         ::testing::Values(KnownCode{0x80092004, "CRYPT_E_NOT_FOUND"},
                                           KnownCode{0x80092007, "CRYPT_E_SELF_SIGNED"},
                                           KnownCode{0x80090006, "NTE_BAD_SIGNATURE"},
                                           KnownCode{0x80092005, "CRYPT_E_EXISTS"},
                                           KnownCode{0x8009200C, "CRYPT_E_NO_DECRYPT_CERT"},
                                           KnownCode{0x80090016, "NTE_BAD_KEYSET"},
                                           KnownCode{259, "ERROR_NO_MORE_ITEMS"}),
                         [](const ::testing::TestParamInfo<KnownCode>& info) {
                           return std::string(info.param.name);
                         });

TEST(CryptLastError, TextShowsHexSignedDecimalAndText) {
  SetLastCryptError(code::kCryptENotFound);
  EXPECT_EQ(LastCryptErrorText(), "0x80092004 (-2146885628): Cannot find object or property.");
}

TEST(CryptLastError, TextAppendsTheDetail) {
  SetLastCryptError(code::kNteBadSignature, "(bad signature)");
  EXPECT_EQ(LastCryptErrorText(), "0x80090006 (-2146893818): Invalid Signature. (bad signature)");
}

TEST(CryptLastError, PositiveCodesShowPlainDecimal) {
  EXPECT_EQ(CryptErrorCodeText(259), "0x00000103 (259): No more data is available.");
}

TEST(CryptLastError, UnknownCodeHasAGenericText) {
  EXPECT_EQ(CryptErrorCodeText(0x80001234), "0x80001234 (-2147478988): Unknown error");
}

TEST(CryptLastError, IsKeptPerThread) {
  SetLastCryptError(code::kCryptESelfSigned);
  uint32_t seen_by_other = 1;
  std::thread([&] { seen_by_other = GetLastCryptError(); }).join();
  EXPECT_EQ(seen_by_other, 0U);
  EXPECT_EQ(GetLastCryptError(), code::kCryptESelfSigned);
}

TEST(CryptLastError, RaiseSetsTheCodeAndCarriesTheText) {
  try {
    RaiseCryptError(code::kCryptEExists, "(x)");
    FAIL() << "no error raised";
  } catch (const ECryptError& error) {
    EXPECT_EQ(error.ErrorCode(), code::kCryptEExists);
    EXPECT_EQ(error.Message(),
              "0x80092005 (-2146885627): The object or property already exists. (x)");
    EXPECT_EQ(GetLastCryptError(), code::kCryptEExists);
  }
}

}  // namespace
}  // namespace lyr::crypt
