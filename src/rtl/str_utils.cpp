// Text helpers and the taxpayer-number check.
#include "rtl/str_utils.h"

#include <algorithm>
#include <array>

namespace lyr::rtl {
namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

size_t Clamp(int64_t n, size_t size) {
  if (n <= 0) {
    return 0;
  }
  return static_cast<uint64_t>(n) > size ? size : static_cast<size_t>(n);
}

// (sum of digit * weight mod 11) mod 10, the check digit of the number's first weights.size()
// digits.
template <size_t N>
int CheckDigit(std::string_view digits, const std::array<int, N>& weights) {
  int sum = 0;
  for (size_t i = 0; i < N; ++i) {
    sum += (digits[i] - '0') * weights[i];
  }
  return sum % 11 % 10;
}

}  // namespace

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) {
    ++begin;
  }
  while (end > begin && IsBlank(text[end - 1])) {
    --end;
  }
  return std::string(text.substr(begin, end - begin));
}

bool HasControlCharacter(std::string_view text) noexcept {
  return std::any_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7F;
  });
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

std::string LeftStr(std::string_view text, int64_t n) {
  return std::string(text.substr(0, Clamp(n, text.size())));
}

std::string RightStr(std::string_view text, int64_t n) {
  return std::string(text.substr(text.size() - Clamp(n, text.size())));
}

std::string DeleteLeft(std::string_view text, int64_t n) {
  return std::string(text.substr(Clamp(n, text.size())));
}

std::string DeleteRight(std::string_view text, int64_t n) {
  return std::string(text.substr(0, text.size() - Clamp(n, text.size())));
}

FullName SplitFullName(std::string_view full_name) {
  std::string text(full_name);
  std::replace(text.begin(), text.end(), '_', ' ');
  text = Trim(text);
  FullName name;
  size_t space = text.find(' ');
  name.LastName = text.substr(0, space);
  if (space == std::string::npos) {
    return name;
  }
  const std::string rest = Trim(std::string_view(text).substr(space + 1));
  space = rest.find(' ');
  name.FirstName = rest.substr(0, space);
  if (space != std::string::npos) {
    name.MiddleName = Trim(std::string_view(rest).substr(space + 1));
  }
  return name;
}

bool IsValidInn(std::string_view text) {
  if (text.size() != 10 && text.size() != 12) {
    return false;
  }
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  if (text.size() == 10) {
    constexpr std::array<int, 9> kWeights{2, 4, 10, 3, 5, 9, 4, 6, 8};
    return text[9] - '0' == CheckDigit(text, kWeights);
  }
  constexpr std::array<int, 10> kWeights11{7, 2, 4, 10, 3, 5, 9, 4, 6, 8};
  constexpr std::array<int, 11> kWeights12{3, 7, 2, 4, 10, 3, 5, 9, 4, 6, 8};
  return text[10] - '0' == CheckDigit(text, kWeights11) &&
         text[11] - '0' == CheckDigit(text, kWeights12);
}

}  // namespace lyr::rtl
