// Tests of the table of Internet-client error codes.
#include "http/internet_errors.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace lyr::http {
namespace {

// Exactly the codes 6, 18, 234, 259, 12001-12033, 12036-12050, 12052, 12053 and 12150-12171 have
// a text, in ascending order, each with its own name and a sentence; other codes are "Error".
TEST(InternetErrors, TableHoldsTheCodesWithTextEachWithANameAndASentence) {
  std::set<int32_t> expected{6, 18, 234, 259, 12052, 12053};
  for (const auto& [first, last] : {std::pair{12001, 12033}, {12036, 12050}, {12150, 12171}}) {
    for (int32_t code = first; code <= last; ++code) {
      expected.insert(code);
    }
  }
  std::set<int32_t> seen;
  std::set<std::string> names;
  int32_t previous = 0;
  for (const InternetError& error : InternetErrors()) {
    EXPECT_GT(error.Code, previous) << error.Name;
    previous = error.Code;
    seen.insert(error.Code);
    const std::string name = error.Name;
    const std::string text = error.Text;
    EXPECT_TRUE(name.starts_with("ERROR_") && names.insert(name).second) << name;
    ASSERT_FALSE(text.empty()) << error.Code;
    EXPECT_EQ(text.back(), '.') << error.Code;
    EXPECT_EQ(InternetErrorText(error.Code), text);
  }
  EXPECT_EQ(seen, expected);
  for (const int32_t code : {0, 5, 12000, 12034, 12035, 12051, 12054, 12149, 12172, -1}) {
    EXPECT_EQ(InternetErrorText(code), "Error") << code;
  }
}

TEST(InternetErrors, TellingRowsHaveTheSystemText) {
  for (const auto& [code, text] :
       {std::pair{12002, "The request has timed out."},
        {12007, "The server name could not be resolved."},
        {12029, "The attempt to connect to the server failed."},
        {12030, "The connection with the server has been terminated."},
        {12044, "The server is requesting client authentication."},
        {12045,
         "The function is unfamiliar with the Certificate Authority that generated the "
         "server's certificate."},
        {12157, "The application experienced an internal error loading the SSL libraries."},
        {12169, "SSL certificate is invalid."},
        {12170, "SSL certificate was revoked."}}) {
    EXPECT_EQ(InternetErrorText(code), text) << code;
  }
}

}  // namespace
}  // namespace lyr::http
