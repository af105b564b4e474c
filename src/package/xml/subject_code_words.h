// The words that stand for subject codes (participant types and signature roles) in package
// descriptions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lyr::xml {

// The word written for code (windows-1251): 1 "абонент", 2 "налоговыйОрган", 3 "спецоператор",
// 4 "абонент", 5 "заявитель", 6 "нотариус", 7 "доверенныйУЦ", 8 "органЦБРФ", 9 "ИОнотариус",
// 10 "органМинюста", 11 "ФЦОД". Code 0 and codes above 11 have no word.
std::optional<std::string> SubjectCodeToWord(uint8_t code);

// The code of word, compared with the words in code order, exactly (so "абонент" gives 1, never
// 4). No code for any other text.
std::optional<uint8_t> SubjectCodeFromWord(std::string_view word);

}  // namespace lyr::xml
