// Text helpers: trimming, prefixes, cutting, full names and the taxpayer-number check.
#include "rtl/str_utils.h"

#include <gtest/gtest.h>

#include "rtl/text.h"

namespace lyr::rtl {
namespace {

struct CutCase {
  std::string name;
  int64_t n;
  std::string left, right, delete_left, delete_right;
};

class Cutting : public ::testing::TestWithParam<CutCase> {};

INSTANTIATE_TEST_SUITE_P(Cases, Cutting,
                         ::testing::Values(CutCase{"Zero", 0, "", "", "abcde", "abcde"},
                                           CutCase{"Two", 2, "ab", "de", "cde", "abc"},
                                           CutCase{"All", 5, "abcde", "abcde", "", ""},
                                           CutCase{"MoreThanAll", 9, "abcde", "abcde", "", ""},
                                           CutCase{"Negative", -3, "", "", "abcde", "abcde"}),
                         [](const auto& info) { return info.param.name; });

TEST_P(Cutting, OfFiveCharacters) {
  const CutCase& c = GetParam();
  EXPECT_EQ(LeftStr("abcde", c.n), c.left);
  EXPECT_EQ(RightStr("abcde", c.n), c.right);
  EXPECT_EQ(DeleteLeft("abcde", c.n), c.delete_left);
  EXPECT_EQ(DeleteRight("abcde", c.n), c.delete_right);
}

struct NameCase {
  std::string name;
  std::u8string full;
  std::u8string last, first, middle;
};

class SplitFullNameCases : public ::testing::TestWithParam<NameCase> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitFullNameCases,
    ::testing::Values(
        NameCase{"Spaces", u8"Иванов Иван Иванович", u8"Иванов", u8"Иван", u8"Иванович"},
        NameCase{"Underscores", u8"Иванов_Иван_Иванович", u8"Иванов", u8"Иван", u8"Иванович"},
        NameCase{"SingleWord", u8"Иванов", u8"Иванов", u8"", u8""},
        NameCase{"TwoWords", u8"Иванов Иван", u8"Иванов", u8"Иван", u8""},
        NameCase{"SurroundingAndRepeatedBlanks", u8"  Иванов   Иван   Иванович  ", u8"Иванов",
                 u8"Иван", u8"Иванович"},
        NameCase{"MiddleNameOfTwoWords", u8"Петров Пётр Оглы Сын", u8"Петров", u8"Пётр",
                 u8"Оглы Сын"},
        NameCase{"MixedSeparators", u8"_Иванов__Иван Иванович_", u8"Иванов", u8"Иван",
                 u8"Иванович"},
        NameCase{"Empty", u8"", u8"", u8"", u8""},
        NameCase{"OnlyUnderscores", u8"___", u8"", u8"", u8""}),
    [](const auto& info) { return info.param.name; });

TEST_P(SplitFullNameCases, GivesThreeParts) {
  const FullName name = SplitFullName(Msg(GetParam().full));
  EXPECT_EQ(name.LastName, Msg(GetParam().last));
  EXPECT_EQ(name.FirstName, Msg(GetParam().first));
  EXPECT_EQ(name.MiddleName, Msg(GetParam().middle));
}

// Taxpayer numbers published by their holders (large banks and companies); every one has a
// non-zero check digit, so every change of a single digit must be detected.
class PublishedInn : public ::testing::TestWithParam<std::string> {};

INSTANTIATE_TEST_SUITE_P(Numbers, PublishedInn,
                         ::testing::Values("7707083893", "500100732259", "7736207543", "7710140679",
                                           "7702070139", "7728168971", "7740000076", "7707049388",
                                           "7830002293"),
                         [](const auto& info) { return "Inn" + info.param; });

TEST_P(PublishedInn, IsValid) {
  EXPECT_TRUE(IsValidInn(GetParam()));
}

TEST_P(PublishedInn, EverySingleDigitChangeIsInvalid) {
  const std::string inn = GetParam();
  for (size_t i = 0; i < inn.size(); ++i) {
    for (char digit = '0'; digit <= '9'; ++digit) {
      if (digit == inn[i]) {
        continue;
      }
      std::string changed = inn;
      changed[i] = digit;
      EXPECT_FALSE(IsValidInn(changed)) << changed;
    }
  }
}

TEST_P(PublishedInn, LetterInsteadOfAnyDigitIsInvalid) {
  const std::string inn = GetParam();
  for (size_t i = 0; i < inn.size(); ++i) {
    std::string changed = inn;
    changed[i] = 'A';
    EXPECT_FALSE(IsValidInn(changed)) << changed;
  }
}

struct InnCase {
  std::string name;
  std::string text;
};

class InvalidInn : public ::testing::TestWithParam<InnCase> {};

INSTANTIATE_TEST_SUITE_P(Cases, InvalidInn,
                         ::testing::Values(InnCase{"Empty", ""},
                                           InnCase{"ElevenDigits", "77070838930"},
                                           InnCase{"NineDigits", "770708389"},
                                           InnCase{"ThirteenDigits", "5001007322590"},
                                           InnCase{"LeadingBlank", " 7707083893"},
                                           InnCase{"TrailingBlank", "7707083893 "},
                                           InnCase{"Letter", "77070838A3"},
                                           InnCase{"SignedNumber", "+707083893"},
                                           InnCase{"TenZerosButOneWrong", "0000000001"},
                                           InnCase{"TwelveDigitsFirstCheckWrong", "500100732249"},
                                           InnCase{"TwelveDigitsSecondCheckWrong", "500100732258"},
                                           InnCase{"CyrillicDigitLookalike", "770708389\xCE"}),
                         [](const auto& info) { return info.param.name; });

TEST_P(InvalidInn, IsRejected) {
  EXPECT_FALSE(IsValidInn(GetParam().text));
}

TEST(IsValidInn, ZeroCheckDigitsHold) {
  EXPECT_TRUE(IsValidInn("0000000000"));
  EXPECT_TRUE(IsValidInn("000000000000"));
}

}  // namespace
}  // namespace lyr::rtl
