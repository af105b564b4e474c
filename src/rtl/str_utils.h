// Small text helpers on windows-1251 strings: trimming, prefixes, cutting, names, taxpayer numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyr::rtl {

// text without leading and trailing blanks (spaces and control characters, bytes <= 0x20).
std::string Trim(std::string_view text);

// True when text holds a control character (a byte below 0x20, or DEL): text that goes into a
// file name or a header line must not.
bool HasControlCharacter(std::string_view text) noexcept;

// The first characters of text equal prefix (case-sensitive); an empty prefix always matches.
bool StartsWithText(std::string_view text, std::string_view prefix);

// The first / last n characters of text (all of it when n is larger, "" when n <= 0).
std::string LeftStr(std::string_view text, int64_t n);
std::string RightStr(std::string_view text, int64_t n);
// text without its first / last n characters (n below 0 counts as 0; "" when n is larger).
std::string DeleteLeft(std::string_view text, int64_t n);
std::string DeleteRight(std::string_view text, int64_t n);

// The three parts of a person's full name.
struct FullName {
  std::string LastName;
  std::string FirstName;
  std::string MiddleName;
};

// Splits "Last First Middle" (parts joined by spaces or underscores): every "_" becomes a space
// and the text is trimmed; the last name is the text before the first space (all of it if none);
// of the trimmed rest, the first name is the text before the next space, the middle name the
// trimmed remainder.
FullName SplitFullName(std::string_view full_name);

// True only for 10 or 12 decimal digits whose check digits hold (taxpayer identification number).
bool IsValidInn(std::string_view text);

}  // namespace lyr::rtl
