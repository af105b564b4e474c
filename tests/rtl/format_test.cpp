#include "rtl/format.h"

#include <gtest/gtest.h>

#include "rtl/errors.h"
#include "support/expect_raises.h"

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

TEST(Format, BadPatternsAndMissingArgumentsAreClearErrors) {
  const std::string invalid = "' invalid or incompatible with argument";
  const std::pair<std::string, std::string> cases[] = {
      {"%s %d %s", "No argument for format '%s %d %s'"},
      {"%d", "Format '%d" + invalid},
      {"%s %s", "Format '%s %s" + invalid},
      {"%5:s", "No argument for format '%5:s'"},
      {"tail %", "Format 'tail %" + invalid},
      {"%q", "Format '%q" + invalid},
      {"%99999999999d", "Format '%99999999999d" + invalid}};
  for (const auto& [format, message] : cases) {
    test::ExpectRaises([&] { (void)Format(format, "text", 5); }, message);
  }
}

}  // namespace
}  // namespace lyr::rtl
