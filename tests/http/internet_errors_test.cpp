// The table of Internet-client error codes.
#include "http/internet_errors.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace lyr::http {
namespace {

// 76 rows in ascending order (looked up by halves), each with its own name and a sentence; codes
// without a row are "Error".
TEST(InternetErrors, RowsAreAscendingNamedSentencesAndOtherCodesAreError) {
  int32_t previous = 0;
  std::set<std::string> names;
  for (const InternetError& error : InternetErrors()) {
    EXPECT_GT(error.Code, previous) << error.Name;
    previous = error.Code;
    EXPECT_TRUE(std::string(error.Name).starts_with("ERROR_") && names.insert(error.Name).second);
    EXPECT_TRUE(std::string(error.Text).ends_with('.')) << error.Code;
    EXPECT_EQ(InternetErrorText(error.Code), error.Text);
  }
  EXPECT_EQ(names.size(), 76u);
  for (const int32_t code : {0, 5, 12000, 12034, 12035, 12051, 12054, 12149, 12172, -1}) {
    EXPECT_EQ(InternetErrorText(code), "Error") << code;
  }
  // Failures the loopback servers cannot bring about.
  EXPECT_EQ(InternetErrorText(12004), "An internal error has occurred.");
  EXPECT_EQ(InternetErrorText(12157),
            "The application experienced an internal error loading the SSL libraries.");
  EXPECT_EQ(InternetErrorText(12165), "The designated proxy server cannot be reached.");
}

}  // namespace
}  // namespace lyr::http
