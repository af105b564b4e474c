// Tests of taking download addresses apart.
#include "http/parsed_url.h"

#include <gtest/gtest.h>

#include <string>

namespace lyr::http {
namespace {

TEST(ParseUrl, SplitsHostPathPortAndScheme) {
  struct Case {
    const char* url;
    const char* host;
    const char* path;
    int32_t port;
    bool secure;
  };
  for (const Case& c : {
           Case{"https://ca.example.ru:8443/x/y.crl", "ca.example.ru", "x/y.crl", 8443, true},
           {"http://ca.example.ru/root.crt", "ca.example.ru", "root.crt", 0, false},
           {"http://ca.example.ru", "", "", 0, false},  // no slash after the host: no host
           {"http://ca.example.ru/", "ca.example.ru", "", 0, false},
           {"HTTPS://ca.example.ru/a", "ca.example.ru", "a", 0, false},  // case-sensitive scheme
           {"xhttpsx://h/a", "h", "a", 0, true},  // a scheme containing "https" is secure
           {"ftp://h:21/pub/a.crl", "h", "pub/a.crl", 21, false},
           {"http://h:abc/a", "h", "a", 0, false},
           {"http://h:/a", "h", "a", 0, false},
           {"http://h:80x/a", "h", "a", 0, false},
           {"http://h:81:82/a", "h", "a", 0, false},
           {"http://u:p@h/a", "u", "a", 0, false},  // user information is part of the host
           {"http://h/cgi?a=1&b=%20", "h", "cgi?a=1&b=%20", 0, false},
           {"http://h/redirect?to=https://x/y", "h", "redirect?to=https://x/y", 0, false},
           {"h:8080/a/b", "h", "a/b", 8080, false},  // no scheme separator: the whole address
           {"", "", "", 0, false},
           {"http://h:70000/a", "h", "a", 70000, false},
       }) {
    const ParsedUrl parsed = ParseUrl(c.url);
    EXPECT_EQ(parsed.Host, c.host) << c.url;
    EXPECT_EQ(parsed.Path, c.path) << c.url;
    EXPECT_EQ(parsed.Port, c.port) << c.url;
    EXPECT_EQ(parsed.Secure, c.secure) << c.url;
  }
}

}  // namespace
}  // namespace lyr::http
