#include "rtl/format.h"

#include <gtest/gtest.h>

#include "rtl/errors.h"

namespace lyr::rtl {
namespace {

TEST(Format, FillsPlainAndIndexedPlaceholders) {
  EXPECT_EQ(Format("a %s b %d", "x", 42), "a x b 42");
  EXPECT_EQ(Format("%1:s-%0:s", "a", "b"), "b-a");
  // An index selects an argument; later unindexed placeholders continue after it.
  EXPECT_EQ(Format("%1:s %s %0:s %s", "a", "b", "c"), "b c a b");
  EXPECT_EQ(Format("100%% %s", "ok"), "100% ok");
  EXPECT_EQ(Format("%0:s.%1:s", "Class", "Arg"), "Class.Arg");
}

TEST(Format, NumbersWidthsAndPrecision) {
  EXPECT_EQ(Format("%d", -17), "-17");
  EXPECT_EQ(Format("%.8x", 0x1F), "0000001F");
  EXPECT_EQ(Format("%.8x", -2146885628), "80092004");
  EXPECT_EQ(Format("%u", -1), "4294967295");
  EXPECT_EQ(Format("[%5d]", 42), "[   42]");
  EXPECT_EQ(Format("[%-5s]", "ab"), "[ab   ]");
  EXPECT_EQ(Format("[%.2s]", "abcdef"), "[ab]");
  EXPECT_EQ(Format("%.3d", 7), "007");
  EXPECT_EQ(Format("%D %S", 1, "s"), "1 s");
}

struct BadFormat {
  const char* format;
  const char* message;
  friend void PrintTo(const BadFormat& c, std::ostream* os) { *os << c.format; }
};

class FormatFailure : public ::testing::TestWithParam<BadFormat> {};

TEST_P(FormatFailure, IsAClearError) {
  try {
    (void)Format(GetParam().format, "text", 5);
    FAIL() << "no error for " << GetParam().format;
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatFailure,
    ::testing::Values(BadFormat{"%s %d %s", "No argument for format '%s %d %s'"},
                      BadFormat{"%d", "Format '%d' invalid or incompatible with argument"},
                      BadFormat{"%s %s", "Format '%s %s' invalid or incompatible with argument"},
                      BadFormat{"%5:s", "No argument for format '%5:s'"},
                      BadFormat{"tail %", "Format 'tail %' invalid or incompatible with argument"},
                      BadFormat{"%q", "Format '%q' invalid or incompatible with argument"},
                      BadFormat{"%99999999999d",
                                "Format '%99999999999d' invalid or incompatible with argument"}),
    [](const auto& info) { return std::to_string(info.index); });

}  // namespace
}  // namespace lyr::rtl
