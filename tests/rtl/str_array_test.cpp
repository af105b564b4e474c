// Tests of CStrArray: ownership of the objects, typed access, program checks, search and the
// delimited-text reader.
#include "rtl/str_array.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "rtl/errors.h"
#include "support/expect_raises.h"

namespace lyr::rtl {
namespace {

// The program check op fails, of the unit StrArray.
template <typename Op>
void ExpectCheck(Op op, std::string_view message) {
  test::ExpectProgramCheck(op, message, "StrArray");
}

// Counts its own destruction.
struct Tracked final {
  explicit Tracked(int* destroyed) : destroyed(destroyed) {}
  ~Tracked() { ++*destroyed; }
  Tracked(const Tracked&) = delete;
  Tracked& operator=(const Tracked&) = delete;
  int* destroyed;
};

TEST(StrArray, DestroyModeDestroysEveryObjectExactlyOnce) {
  int destroyed = 0;
  {
    CStrArray list;
    list.SetOwnershipMode(StrArrayOwnership::kDestroy);
    for (int i = 0; i < 4; ++i) {
      list.AddObject("item", std::make_unique<Tracked>(&destroyed));
    }
    list.Delete(1);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(list.Count(), 3);
    ExpectCheck([&] { list.SetOwnershipMode(StrArrayOwnership::kNone); },
                "The ownership mode of a StrArray holding objects cannot change");
  }
  EXPECT_EQ(destroyed, 4);
}

TEST(StrArray, ObjectOfTheWrongOwnershipIsRefusedAndStillDestroyed) {
  int destroyed = 0;
  CStrArray list;
  ExpectCheck([&] { list.AddObject("a", std::make_unique<Tracked>(&destroyed)); },
              "The object's ownership does not match the StrArray's ownership mode");
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(list.Count(), 0);
}

TEST(StrArray, TypedAccessAndBoundsAreProgramChecks) {
  CStrArray list;
  int value = 7;
  list.AddObject("a", &value);
  list.Add("b");
  EXPECT_EQ(list.Object<int>(0), &value);
  EXPECT_EQ(list.Object<int>(1), nullptr);
  ExpectCheck([&] { (void)list.Object<long>(0); },
              "The object of the StrArray item is not of the requested type");
  for (const int index : {-1, 2}) {
    ExpectCheck([&] { (void)list.Strings(index); }, "The index parameter raised StrArray's bounds");
  }
}

TEST(StrArray, IndexOfIgnoresTheCaseOfAsciiLettersOnly) {
  CStrArray list;
  list.Add("http://Host/a");
  list.Add(std::string("\xC0", 1));  // windows-1251 capital A
  EXPECT_EQ(list.IndexOf("HTTP://host/A"), 0);
  EXPECT_EQ(list.IndexOf(std::string("\xE0", 1)), -1);  // small a is another letter here
  EXPECT_EQ(list.IndexOf("http://Host/"), -1);
}

struct DelimitedCase {
  std::string name;
  std::string text;
  std::vector<std::string> expected;
};

class StrArraySetDelimited : public ::testing::TestWithParam<DelimitedCase> {};

TEST_P(StrArraySetDelimited, SplitsTrimsAndReplaces) {
  CStrArray list;
  list.Add("old");
  list.SetDelimited(GetParam().text, ';');
  std::vector<std::string> strings;
  for (int32_t i = 0; i < list.Count(); ++i) {
    strings.push_back(list.Strings(i));
  }
  EXPECT_EQ(strings, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StrArraySetDelimited,
    ::testing::Values(DelimitedCase{"TrimsBlanks", "a; b ;c", {"a", "b", "c"}},
                      DelimitedCase{"EmptyTextGivesOneEmptyItem", "", {""}},
                      DelimitedCase{"EmptyPiecesKept", "a;;b;", {"a", "", "b", ""}},
                      DelimitedCase{"TrimsControlCharacters", "\t x \r\n;y", {"x", "y"}}),
    [](const ::testing::TestParamInfo<DelimitedCase>& info) { return info.param.name; });

}  // namespace
}  // namespace lyr::rtl
