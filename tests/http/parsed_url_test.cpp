// Tests of taking download addresses apart.
#include "http/parsed_url.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace lyr::http {
namespace {

struct UrlCase {
  const char* name;
  const char* url;
  const char* host;
  const char* path;
  int32_t port;
  bool secure;
};

void PrintTo(const UrlCase& c, std::ostream* out) {
  *out << c.name;
}

class ParseUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(ParseUrlTest, SplitsHostPathPortAndScheme) {
  const UrlCase& c = GetParam();
  const ParsedUrl parsed = ParseUrl(c.url);
  EXPECT_EQ(parsed.Host, c.host);
  EXPECT_EQ(parsed.Path, c.path);
  EXPECT_EQ(parsed.Port, c.port);
  EXPECT_EQ(parsed.Secure, c.secure);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, ParseUrlTest,
    ::testing::Values(
        UrlCase{"SecureWithPortAndPath", "https://ca.example.ru:8443/x/y.crl", "ca.example.ru",
                "x/y.crl", 8443, true},
        UrlCase{"PlainWithoutPort", "http://ca.example.ru/root.crt", "ca.example.ru", "root.crt", 0,
                false},
        UrlCase{"NoSlashAfterHostGivesNoHost", "http://ca.example.ru", "", "", 0, false},
        UrlCase{"RootPathIsEmpty", "http://ca.example.ru/", "ca.example.ru", "", 0, false},
        UrlCase{"SchemeIsCaseSensitive", "HTTPS://ca.example.ru/a", "ca.example.ru", "a", 0, false},
        UrlCase{"SchemeContainingHttpsIsSecure", "xhttpsx://h/a", "h", "a", 0, true},
        UrlCase{"OtherSchemeIsPlain", "ftp://h:21/pub/a.crl", "h", "pub/a.crl", 21, false},
        UrlCase{"PortThatIsNotANumberIsZero", "http://h:abc/a", "h", "a", 0, false},
        UrlCase{"EmptyPortIsZero", "http://h:/a", "h", "a", 0, false},
        UrlCase{"PortWithTrailingTextIsZero", "http://h:80x/a", "h", "a", 0, false},
        UrlCase{"OnlyFirstColonSplitsThePort", "http://h:81:82/a", "h", "a", 0, false},
        UrlCase{"UserInfoIsPartOfTheHost", "http://u:p@h/a", "u", "a", 0, false},
        UrlCase{"QueryStaysInThePath", "http://h/cgi?a=1&b=%20", "h", "cgi?a=1&b=%20", 0, false},
        UrlCase{"OnlyFirstSchemeSeparatorCounts", "http://h/redirect?to=https://x/y", "h",
                "redirect?to=https://x/y", 0, false},
        UrlCase{"NoSchemeSeparatorTakesWholeAddress", "h:8080/a/b", "h", "a/b", 8080, false},
        UrlCase{"EmptyAddressGivesNothing", "", "", "", 0, false},
        UrlCase{"LargePortIsKept", "http://h:70000/a", "h", "a", 70000, false}),
    [](const ::testing::TestParamInfo<UrlCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lyr::http
