// ASCII character helpers that do not depend on the C locale.
#pragma once

#include <string>
#include <string_view>

namespace lyr::base {

// The value of one hexadecimal digit (either case); -1 for any other character.
constexpr int HexDigitValue(char32_t c) noexcept {
  if (c >= '0' && c <= '9') {
    return static_cast<int>(c - '0');
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<int>(c - 'A' + 10);
  }
  if (c >= 'a' && c <= 'f') {
    return static_cast<int>(c - 'a' + 10);
  }
  return -1;
}

// c with 'A'..'Z' made lower case; every other byte as it is.
constexpr char LowerAscii(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// c with 'a'..'z' made upper case; every other byte as it is.
constexpr char UpperAscii(char c) noexcept {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// text with its ASCII letters made upper case.
inline std::string UpperAsciiText(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    c = UpperAscii(c);
  }
  return upper;
}

// True when a and b differ at most in the case of ASCII letters.
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace lyr::base
