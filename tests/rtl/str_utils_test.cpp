// Text helpers: cutting, full names and the taxpayer-number check.
#include "rtl/str_utils.h"

#include <gtest/gtest.h>

#include "rtl/text.h"

namespace lyr::rtl {
namespace {

TEST(StrUtils, CutsFiveCharacters) {
  const struct {
    int64_t n;
    std::string left, right, delete_left, delete_right;
  } cases[] = {{0, "", "", "abcde", "abcde"},
               {2, "ab", "de", "cde", "abc"},
               {9, "abcde", "abcde", "", ""},
               {-3, "", "", "abcde", "abcde"}};
  for (const auto& c : cases) {
    EXPECT_EQ(LeftStr("abcde", c.n) + "|" + RightStr("abcde", c.n) + "|" +
                  DeleteLeft("abcde", c.n) + "|" + DeleteRight("abcde", c.n),
              c.left + "|" + c.right + "|" + c.delete_left + "|" + c.delete_right)
        << c.n;
  }
}

TEST(StrUtils, SplitsFullNamesIntoThreeParts) {
  const std::pair<std::u8string, std::u8string> cases[] = {
      {u8"Иванов Иван Иванович", u8"Иванов|Иван|Иванович"},
      {u8"Иванов_Иван_Иванович", u8"Иванов|Иван|Иванович"},
      {u8"Иванов", u8"Иванов||"},
      {u8"Иванов Иван", u8"Иванов|Иван|"},
      {u8"  Иванов   Иван   Иванович  ", u8"Иванов|Иван|Иванович"},
      {u8"Петров Пётр Оглы Сын", u8"Петров|Пётр|Оглы Сын"},
      {u8"_Иванов__Иван Иванович_", u8"Иванов|Иван|Иванович"},
      {u8"", u8"||"},
      {u8"___", u8"||"}};
  for (const auto& [full, parts] : cases) {
    const FullName name = SplitFullName(Msg(full));
    EXPECT_EQ(name.LastName + "|" + name.FirstName + "|" + name.MiddleName, Msg(parts));
  }
}

// Taxpayer numbers published by their holders (large banks and companies); every one has a
// non-zero check digit, so every change of a single digit, or a letter for it, must be detected.
TEST(IsValidInn, AcceptsPublishedNumbersAndDetectsEveryChangedDigit) {
  for (const std::string inn :
       {"7707083893", "500100732259", "7736207543", "7710140679", "7702070139", "7728168971",
        "7740000076", "7707049388", "7830002293", "0000000000", "000000000000"}) {
    EXPECT_TRUE(IsValidInn(inn)) << inn;
    for (size_t i = 0; i < inn.size() && inn[0] != '0'; ++i) {
      for (const char digit : std::string("0123456789A")) {
        std::string changed = inn;
        changed[i] = digit;
        EXPECT_EQ(IsValidInn(changed), digit == inn[i]) << changed;
      }
    }
  }
  for (const std::string text :
       {"", "77070838930", "770708389", "5001007322590", " 7707083893", "7707083893 ", "+707083893",
        "0000000001", "500100732249", "500100732258", "770708389\xCE"}) {
    EXPECT_FALSE(IsValidInn(text)) << text;
  }
}

}  // namespace
}  // namespace lyr::rtl
