// The subject-code word table.
#include "package/xml/subject_code_words.h"

#include <array>

#include "rtl/text.h"

namespace lyr::xml {
namespace {

// Index i holds the word of code i + 1.
constexpr std::array<std::u8string_view, 11> kWords = {
    u8"абонент",    u8"налоговыйОрган", u8"спецоператор", u8"абонент",
    u8"заявитель",  u8"нотариус",       u8"доверенныйУЦ", u8"органЦБРФ",
    u8"ИОнотариус", u8"органМинюста",   u8"ФЦОД",
};

}  // namespace

std::optional<std::string> SubjectCodeToWord(uint8_t code) {
  if (code == 0 || code > kWords.size()) {
    return std::nullopt;
  }
  return rtl::Msg(kWords[code - 1]);
}

std::optional<uint8_t> SubjectCodeFromWord(std::string_view word) {
  for (size_t i = 0; i < kWords.size(); ++i) {
    if (rtl::Msg(kWords[i]) == word) {
      return static_cast<uint8_t>(i + 1);
    }
  }
  return std::nullopt;
}

}  // namespace lyr::xml
