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

// text with each "%XX" (two hexadecimal digits) replaced by the byte it names; a "%" without two
// digits after it stays as it is. With upper_case_digits_only, "a".."f" are no digits.
inline std::string PercentDecoded(std::string_view text, bool upper_case_digits_only = false) {
  const auto digit = [upper_case_digits_only](char c) {
    return upper_case_digits_only && c >= 'a' && c <= 'f' ? -1 : HexDigitValue(c);
  };
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && digit(text[i + 1]) >= 0 &&
        digit(text[i + 2]) >= 0) {
      decoded += static_cast<char>(digit(text[i + 1]) * 16 + digit(text[i + 2]));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
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
