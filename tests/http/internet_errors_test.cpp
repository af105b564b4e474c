// Tests of the table of Internet-client error codes.
#include "http/internet_errors.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>

namespace lyr::http {
namespace {

// The codes that have a text: 6, 18, 234, 259, 12001-12033, 12036-12050, 12052, 12053,
// 12150-12171.
std::set<int32_t> CodesWithText() {
  std::set<int32_t> codes{6, 18, 234, 259, 12052, 12053};
  for (int32_t code = 12001; code <= 12033; ++code) {
    codes.insert(code);
  }
  for (int32_t code = 12036; code <= 12050; ++code) {
    codes.insert(code);
  }
  for (int32_t code = 12150; code <= 12171; ++code) {
    codes.insert(code);
  }
  return codes;
}

TEST(InternetErrors, TableHoldsExactlyTheCodesWithTextInAscendingOrder) {
  std::set<int32_t> seen;
  int32_t previous = 0;
  for (const InternetError& error : InternetErrors()) {
    EXPECT_GT(error.Code, previous) << error.Name;
    previous = error.Code;
    seen.insert(error.Code);
  }
  EXPECT_EQ(seen, CodesWithText());
}

TEST(InternetErrors, EveryEntryHasANameAndASentence) {
  std::set<std::string> names;
  for (const InternetError& error : InternetErrors()) {
    const std::string name = error.Name;
    const std::string text = error.Text;
    EXPECT_TRUE(name.starts_with("ERROR_")) << error.Code;
    EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
    ASSERT_FALSE(text.empty()) << error.Code;
    EXPECT_EQ(text.back(), '.') << error.Code;
    EXPECT_EQ(InternetErrorText(error.Code), text);
  }
}

struct TellingRow {
  int32_t code;
  const char* name;
  const char* text;
};

void PrintTo(const TellingRow& row, std::ostream* out) {
  *out << row.name;
}

class InternetErrorTellingRows : public ::testing::TestWithParam<TellingRow> {};

TEST_P(InternetErrorTellingRows, HaveTheSystemText) {
  EXPECT_EQ(InternetErrorText(GetParam().code), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, InternetErrorTellingRows,
    ::testing::Values(
        TellingRow{12002, "Timeout", "The request has timed out."},
        TellingRow{12007, "NameNotResolved", "The server name could not be resolved."},
        TellingRow{12029, "CannotConnect", "The attempt to connect to the server failed."},
        TellingRow{12030, "ConnectionAborted",
                   "The connection with the server has been terminated."},
        TellingRow{12044, "ClientAuthCertNeeded",
                   "The server is requesting client authentication."},
        TellingRow{12045, "InvalidCa",
                   "The function is unfamiliar with the Certificate Authority that generated the "
                   "server's certificate."},
        TellingRow{12157, "SecurityChannelError",
                   "The application experienced an internal error loading the SSL libraries."},
        TellingRow{12169, "InvalidCert", "SSL certificate is invalid."},
        TellingRow{12170, "CertRevoked", "SSL certificate was revoked."}),
    [](const ::testing::TestParamInfo<TellingRow>& info) { return std::string(info.param.name); });

class InternetErrorWithoutText : public ::testing::TestWithParam<int32_t> {};

TEST_P(InternetErrorWithoutText, IsJustError) {
  EXPECT_EQ(InternetErrorText(GetParam()), "Error");
}

INSTANTIATE_TEST_SUITE_P(Codes, InternetErrorWithoutText,
                         ::testing::Values(0, 5, 12000, 12034, 12035, 12051, 12054, 12149, 12172,
                                           -1),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                           return info.param < 0 ? "Minus" + std::to_string(-info.param)
                                                 : "Code" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace lyr::http
