// Tests of CStrArray: modes, searches, growth, limits, ownership, events, text and file output.
#include "rtl/str_array.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

// Expects op to fail a program check "<message> (StrArray, line <n>)".
void ExpectProgramCheck(const std::function<void()>& op, const std::string& message) {
  try {
    op();
    ADD_FAILURE() << "no program check: " << message;
  } catch (const EAssertionFailed& error) {
    const std::string prefix = message + " (StrArray, line ";
    const std::string& text = error.Message();
    ASSERT_GT(text.size(), prefix.size() + 1) << text;
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
    const std::string line = text.substr(prefix.size(), text.size() - prefix.size() - 1);
    EXPECT_FALSE(line.empty());
    EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; }))
        << text;
    EXPECT_EQ(text.back(), ')');
  }
}

// Expects op to fail with an ordinary error (not a program check) carrying message.
void ExpectError(const std::function<void()>& op, const std::string& message) {
  try {
    op();
    ADD_FAILURE() << "no error: " << message;
  } catch (const EAssertionFailed& error) {
    ADD_FAILURE() << "program check instead of an error: " << error.Message();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), message);
  }
}

std::vector<std::string> StringsOf(const CStrArray& list) {
  std::vector<std::string> result;
  for (int32_t i = 0; i < list.Count(); ++i) {
    result.push_back(list.Strings(i));
  }
  return result;
}

// Counts its own destruction.
class Tracked final {
 public:
  Tracked(int32_t value, int32_t* destroyed) : value_(value), destroyed_(destroyed) {}
  ~Tracked() { ++*destroyed_; }
  Tracked(const Tracked&) = delete;
  Tracked& operator=(const Tracked&) = delete;
  [[nodiscard]] int32_t Value() const { return value_; }

 private:
  int32_t value_;
  int32_t* destroyed_;
};

// A reference-counted object in the manner of an interface: Release deletes at zero.
class Counted final {
 public:
  explicit Counted(int32_t* releases) : releases_(releases) {}
  void AddRef() { ++references_; }
  uint32_t Release() {
    ++*releases_;
    const uint32_t left = --references_;
    if (left == 0) {
      delete this;
    }
    return left;
  }

 private:
  ~Counted() = default;
  uint32_t references_ = 1;
  int32_t* releases_;
};

const std::string kBounds = "The index parameter raised StrArray's bounds";
const std::string kSortedAdd = "Incorrect attempt to add in the sorted StrArray";
const std::string kOwnership =
    "The object's ownership does not match the StrArray's ownership mode";

TEST(StrArray, StartsEmptyWithDefaultModes) {
  const CStrArray list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(list.SortMode(), StrArraySort::kUnsorted);
  EXPECT_EQ(list.ComparisonMode(), StrArrayComparison::kOrdinalIgnoreCase);
  EXPECT_EQ(list.DuplicatesMode(), StrArrayDuplicates::kAccept);
  EXPECT_EQ(list.OwnershipMode(), StrArrayOwnership::kNone);
  EXPECT_EQ(list.NameValueSeparator(), '=');
}

TEST(StrArrayGrowth, CapacityGoesFrom0To4To12To28To44) {
  CStrArray list;
  std::vector<int32_t> capacities;
  for (int32_t i = 0; i < 30; ++i) {
    list.Add(std::to_string(i).insert(0, "item"));
    if (capacities.empty() || capacities.back() != list.Capacity()) {
      capacities.push_back(list.Capacity());
    }
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{4, 12, 28, 44}));
}

TEST(StrArrayGrowth, GrowFromOddCapacityFollowsTheSameSteps) {
  CStrArray list;
  list.SetCapacity(5);
  for (int32_t i = 0; i < 6; ++i) {
    list.Add("x");
  }
  EXPECT_EQ(list.Capacity(), 13);
}

TEST(StrArrayLimit, CapacityAtTheLimitFailsAndLeavesListIntact) {
  CStrArray list;
  list.Add("kept");
  ExpectError([&] { list.SetCapacity(CStrArray::kMaxCount); },
              "StrArray raised the maximum number of elements");
  ExpectError([&] { list.SetCapacity(0x7FFFFFFF); },
              "StrArray raised the maximum number of elements");
  EXPECT_EQ(list.Capacity(), 4);
  EXPECT_EQ(StringsOf(list), std::vector<std::string>{"kept"});
}

TEST(StrArrayLimit, CountAtTheLimitFails) {
  CStrArray list;
  ExpectError([&] { list.SetCount(0x8000000); }, "StrArray raised the maximum number of elements");
  EXPECT_EQ(list.Count(), 0);
}

TEST(StrArrayCount, NegativeCountFailsProgramCheckWithTheCount) {
  CStrArray list;
  ExpectProgramCheck([&] { list.SetCount(-3); },
                     Msg(u8"Невозможно установить отрицательное число элементов в массиве (-3)!"));
}

TEST(StrArrayCount, GrowingAddsEmptyItemsAndExtendsCapacity) {
  CStrArray list;
  list.Add("a");
  list.SetCount(7);
  EXPECT_EQ(list.Count(), 7);
  EXPECT_EQ(list.Capacity(), 7);
  EXPECT_EQ(list.Strings(0), "a");
  for (int32_t i = 1; i < 7; ++i) {
    EXPECT_EQ(list.Strings(i), "");
    EXPECT_EQ(list.Objects(i), nullptr);
  }
}

TEST(StrArrayCount, CapacityBelowCountFailsProgramCheck) {
  CStrArray list;
  list.SetCount(3);
  ExpectProgramCheck([&] { list.SetCapacity(2); },
                     "The capacity parameter raised StrArray's bounds");
  list.SetCapacity(3);
  EXPECT_EQ(list.Capacity(), 3);
}

TEST(StrArrayCount, ClearEmptiesCountAndCapacity) {
  CStrArray list;
  list.SetDelimited("a,b,c", ',');
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(list.Add("again"), 0);
}

struct BoundsCase {
  std::string name;
  std::function<void(CStrArray&)> op;
};

class StrArrayBounds : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(StrArrayBounds, IndexOutsideItemsFailsProgramCheck) {
  CStrArray list;
  list.Add("a");
  list.Add("b");
  ExpectProgramCheck([&] { GetParam().op(list); }, kBounds);
  EXPECT_EQ(StringsOf(list), (std::vector<std::string>{"a", "b"}));
}

INSTANTIATE_TEST_SUITE_P(
    Operations, StrArrayBounds,
    ::testing::Values(BoundsCase{"StringsBelow", [](CStrArray& l) { (void)l.Strings(-1); }},
                      BoundsCase{"StringsAtCount", [](CStrArray& l) { (void)l.Strings(2); }},
                      BoundsCase{"ObjectsAtCount", [](CStrArray& l) { (void)l.Objects(2); }},
                      BoundsCase{"TypedObjectBelow", [](CStrArray& l) { (void)l.Object<int>(-1); }},
                      BoundsCase{"PutObjectAtCount", [](CStrArray& l) { l.PutObject(2, nullptr); }},
                      BoundsCase{"DeleteBelow", [](CStrArray& l) { l.Delete(-1); }},
                      BoundsCase{"DeleteAtCount", [](CStrArray& l) { l.Delete(2); }}),
    [](const ::testing::TestParamInfo<BoundsCase>& info) { return info.param.name; });

TEST(StrArraySortedByObject, AddAndPutObjectFailProgramCheck) {
  CStrArray list;
  int32_t value = 0;
  list.SetSortMode(StrArraySort::kByObject);
  ExpectProgramCheck([&] { list.Add("a"); }, kSortedAdd);
  list.AddObject("a", &value);
  ExpectProgramCheck([&] { list.PutObject(0, nullptr); }, kSortedAdd);
  EXPECT_EQ(list.Objects(0), &value);
}

TEST(StrArrayDuplicates, UnsortedListNeverTestsForDuplicates) {
  for (const auto mode :
       {StrArrayDuplicates::kAccept, StrArrayDuplicates::kIgnore, StrArrayDuplicates::kError}) {
    CStrArray list;
    int32_t value = 0;
    list.SetDuplicatesMode(mode);
    EXPECT_EQ(list.Add("a"), 0);
    EXPECT_EQ(list.Add("a"), 1);
    EXPECT_EQ(list.AddObject("a", &value), 2);
    EXPECT_EQ(list.AddObject("a", &value), 3);
  }
}

TEST(StrArrayDuplicates, SortedAcceptKeepsBothInOrder) {
  CStrArray list;
  list.SetSortMode(StrArraySort::kByString);
  list.Add("b");
  list.Add("a");
  EXPECT_EQ(list.Add("b"), 1);
  EXPECT_EQ(list.AddObject("a", nullptr), 0);
  EXPECT_EQ(StringsOf(list), (std::vector<std::string>{"a", "a", "b", "b"}));
}

TEST(StrArrayDuplicates, SortedIgnoreAddReturnsExistingIndex) {
  CStrArray list;
  list.SetSortMode(StrArraySort::kByString);
  list.SetDuplicatesMode(StrArrayDuplicates::kIgnore);
  list.Add("m");
  list.Add("c");
  EXPECT_EQ(list.Add("M"), 1);  // comparison mode 0 ignores ASCII case
  EXPECT_EQ(list.Count(), 2);
}

TEST(StrArrayDuplicates, SortedIgnoreAddObjectTwiceReturnsMinusOneAndKeepsOneItem) {
  CStrArray list;
  int32_t first = 1;
  int32_t second = 2;
  list.SetSortMode(StrArraySort::kByString);
  list.SetDuplicatesMode(StrArrayDuplicates::kIgnore);
  EXPECT_EQ(list.AddObject("key", &first), 0);
  EXPECT_EQ(list.AddObject("key", &second), -1);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Objects(0), &first);
}

TEST(StrArrayDuplicates, SortedErrorNamesTheString) {
  CStrArray list;
  list.SetSortMode(StrArraySort::kByString);
  list.SetDuplicatesMode(StrArrayDuplicates::kError);
  list.Add("Key");
  ExpectError([&] { list.Add("key"); }, "StrArray Error: Duplicate identificator [key]");
  ExpectError([&] { list.AddObject("KEY", nullptr); },
              "StrArray Error: Duplicate identificator [KEY]");
  EXPECT_EQ(list.Count(), 1);
}

TEST(StrArrayDuplicates, ByObjectTestsTheObjectAndNamesTheIndex) {
  CStrArray list;
  int32_t values[3] = {};
  list.SetSortMode(StrArraySort::kByObject);
  list.AddObject("x", &values[2]);
  list.AddObject("x", &values[0]);
  EXPECT_EQ(list.AddObject("other", &values[1]), 1);
  list.SetDuplicatesMode(StrArrayDuplicates::kIgnore);
  EXPECT_EQ(list.AddObject("y", &values[2]), -1);
  list.SetDuplicatesMode(StrArrayDuplicates::kError);
  ExpectError([&] { list.AddObject("z", &values[1]); },
              "StrArray Error: Duplicate identificator [1]");
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Objects(0), &values[0]);
  EXPECT_EQ(list.Objects(2), &values[2]);
}

TEST(StrArraySorted, RandomInsertsKeepTheComparerOrder) {
  CStrArray list;
  list.SetSortMode(StrArraySort::kByString);
  list.SetComparisonMode(StrArrayComparison::kOrdinal);
  std::vector<std::string> keys;
  for (int32_t i = 0; i < 500; ++i) {
    keys.push_back(std::to_string(i * 7919 % 1000).insert(0, 1, 'k'));
  }
  std::mt19937 random(42);
  std::shuffle(keys.begin(), keys.end(), random);
  for (const auto& key : keys) {
    list.Add(key);
  }
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(StringsOf(list), keys);
  for (int32_t i = 0; i < list.Count(); ++i) {
    EXPECT_EQ(list.IndexOf(keys[static_cast<size_t>(i)]), i);
  }
}

TEST(StrArraySorted, EqualKeyFoundAtFirstProbeIsInsertedBeforeItsTwin) {
  CStrArray list;
  list.SetSortMode(StrArraySort::kByString);
  list.Add("a");
  list.Add("k");
  list.Add("m");
  EXPECT_EQ(list.Add("k"), 1);
  EXPECT_EQ(StringsOf(list), (std::vector<std::string>{"a", "k", "k", "m"}));
}

struct SearchCase {
  std::string name;
  std::string key;
  int32_t found;
  int32_t insertion_index;
};

class StrArrayBinarySearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(StrArrayBinarySearch, RecordsWhereTheKeyWouldGo) {
  CStrArray list;
  list.SetSortMode(StrArraySort::kByString);
  list.SetDelimited("b,d,f,h,j", ',');
  EXPECT_EQ(list.IndexOf(GetParam().key), GetParam().found);
  EXPECT_EQ(list.InsertionIndex(), GetParam().insertion_index);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, StrArrayBinarySearch,
    ::testing::Values(SearchCase{"BelowAll", "a", -1, 0}, SearchCase{"AboveAll", "z", -1, 5},
                      SearchCase{"BetweenFirstTwo", "c", -1, 1},
                      SearchCase{"BetweenLastTwo", "i", -1, 4}, SearchCase{"Middle", "e", -1, 2},
                      SearchCase{"EqualFirst", "b", 0, 0}, SearchCase{"EqualMiddle", "f", 2, 2},
                      SearchCase{"EqualLast", "J", 4, 4}),
    [](const ::testing::TestParamInfo<SearchCase>& info) { return info.param.name; });

TEST(StrArraySearch, EmptySortedListInsertsAtZero) {
  CStrArray list;
  list.SetSortMode(StrArraySort::kByString);
  EXPECT_EQ(list.IndexOf("x"), -1);
  EXPECT_EQ(list.InsertionIndex(), 0);
}

TEST(StrArraySearch, UnsortedIndexOfIsLinearWithTheComparer) {
  CStrArray list;
  list.SetDelimited("zeta,Alpha,alpha", ',');
  EXPECT_EQ(list.IndexOf("ALPHA"), 1);
  list.SetComparisonMode(StrArrayComparison::kOrdinal);
  EXPECT_EQ(list.IndexOf("alpha"), 2);
  EXPECT_EQ(list.IndexOf("ALPHA"), -1);
}

TEST(StrArraySearch, IndexOfObjectLinearAndBinary) {
  int32_t values[4] = {};
  CStrArray unsorted;
  unsorted.AddObject("a", &values[3]);
  unsorted.AddObject("b", &values[1]);
  EXPECT_EQ(unsorted.IndexOfObject(&values[1]), 1);
  EXPECT_EQ(unsorted.IndexOfObject(&values[0]), -1);

  CStrArray sorted;
  sorted.SetSortMode(StrArraySort::kByObject);
  sorted.AddObject("d", &values[3]);
  sorted.AddObject("b", &values[1]);
  sorted.AddObject("a", &values[0]);
  EXPECT_EQ(StringsOf(sorted), (std::vector<std::string>{"a", "b", "d"}));
  EXPECT_EQ(sorted.IndexOfObject(&values[3]), 2);
  EXPECT_EQ(sorted.IndexOfObject(&values[2]), -1);
  EXPECT_EQ(sorted.InsertionIndex(), 2);
}

TEST(StrArrayComparers, CustomComparersDriveSortingAndDefaultsComeBack) {
  CStrArray list;
  list.SetSortMode(StrArraySort::kByString);
  list.SetStringComparer([](std::string_view key, std::string_view item) {
    return static_cast<int32_t>(key.size()) - static_cast<int32_t>(item.size());
  });
  list.Add("ccc");
  list.Add("a");
  list.Add("bb");
  EXPECT_EQ(StringsOf(list), (std::vector<std::string>{"a", "bb", "ccc"}));
  EXPECT_EQ(list.IndexOf("xx"), 1);
  list.SetStringComparer(nullptr);
  EXPECT_EQ(list.IndexOf("xx"), -1);

  int32_t destroyed = 0;
  Tracked low(1, &destroyed);
  Tracked high(9, &destroyed);
  CStrArray by_value;
  by_value.SetSortMode(StrArraySort::kByObject);
  by_value.SetObjectComparer([](const CStrArray&, const void* key, const void* object) {
    return static_cast<const Tracked*>(key)->Value() - static_cast<const Tracked*>(object)->Value();
  });
  by_value.AddObject("high", &high);
  by_value.AddObject("low", &low);
  EXPECT_EQ(StringsOf(by_value), (std::vector<std::string>{"low", "high"}));
}

struct CompareCase {
  std::string name;
  StrArrayComparison mode;
  std::u8string key;
  std::u8string item;
  int32_t expected;
};

class StrArrayCompare : public ::testing::TestWithParam<CompareCase> {};

TEST_P(StrArrayCompare, GivesTheExpectedSign) {
  CStrArray list;
  list.SetComparisonMode(GetParam().mode);
  list.Add(Utf8ToAnsi(GetParam().item));
  const std::string key = Utf8ToAnsi(GetParam().key);
  EXPECT_EQ(list.IndexOf(key), GetParam().expected == 0 ? 0 : -1);
  list.Clear();
  list.SetSortMode(StrArraySort::kByString);
  list.Add(Utf8ToAnsi(GetParam().item));
  (void)list.IndexOf(key);
  EXPECT_EQ(list.InsertionIndex(), GetParam().expected > 0 ? 1 : 0);
}

constexpr auto kIgnoreAscii = StrArrayComparison::kOrdinalIgnoreCase;
constexpr auto kOrdinal = StrArrayComparison::kOrdinal;
constexpr auto kLocaleNoCase = StrArrayComparison::kLocaleIgnoreCase;
constexpr auto kLocale = StrArrayComparison::kLocale;

INSTANTIATE_TEST_SUITE_P(
    Modes, StrArrayCompare,
    ::testing::Values(CompareCase{"Mode0FoldsAsciiCase", kIgnoreAscii, u8"abc", u8"ABC", 0},
                      CompareCase{"Mode0FoldsToCapitals", kIgnoreAscii, u8"_", u8"a", 1},
                      CompareCase{"Mode0KeepsCyrillicCase", kIgnoreAscii, u8"дом", u8"ДОМ", 1},
                      CompareCase{"Mode0PrefixFirst", kIgnoreAscii, u8"ab", u8"ABC", -1},
                      CompareCase{"Mode1IsCaseSensitive", kOrdinal, u8"abc", u8"ABC", 1},
                      CompareCase{"Mode1CapitalsFirst", kOrdinal, u8"B", u8"a", -1},
                      CompareCase{"Mode1UnsignedBytes", kOrdinal, u8"я", u8"z", 1},
                      CompareCase{"Mode1EqualStrings", kOrdinal, u8"Дом", u8"Дом", 0},
                      CompareCase{"Mode2FoldsCyrillic", kLocaleNoCase, u8"привет", u8"ПРИВЕТ", 0},
                      CompareCase{"Mode2FoldsYo", kLocaleNoCase, u8"Ёж", u8"ёж", 0},
                      CompareCase{"Mode2YoAfterYe", kLocaleNoCase, u8"ёж", u8"ель", 1},
                      CompareCase{"Mode2YoBeforeZhe", kLocaleNoCase, u8"ёж", u8"жук", -1},
                      CompareCase{"Mode2AlphabeticAcrossCase", kLocaleNoCase, u8"a", u8"B", -1},
                      CompareCase{"Mode2LatinBeforeCyrillic", kLocaleNoCase, u8"z", u8"а", -1},
                      CompareCase{"Mode2FoldsUkrainianGhe", kLocaleNoCase, u8"Ґ", u8"ґ", 0},
                      CompareCase{"Mode3SmallLetterFirst", kLocale, u8"a", u8"A", -1},
                      CompareCase{"Mode3LettersBeforeCase", kLocale, u8"A", u8"b", -1},
                      CompareCase{"Mode3CyrillicCase", kLocale, u8"Ёж", u8"ёж", 1},
                      CompareCase{"Mode3EqualStrings", kLocale, u8"Ёж", u8"Ёж", 0},
                      CompareCase{"Mode3PrefixFirst", kLocale, u8"Дом", u8"дома", -1}),
    [](const ::testing::TestParamInfo<CompareCase>& info) { return info.param.name; });

TEST(StrArrayComparers, EmptyStringsCompareEqualInEveryMode) {
  for (const auto& compare : {&CStrArray::CompareOrdinalIgnoreCase, &CStrArray::CompareOrdinal,
                              &CStrArray::CompareLocaleIgnoreCase, &CStrArray::CompareLocale}) {
    EXPECT_EQ(compare("", ""), 0);
    EXPECT_EQ(compare("", "a"), -1);
    EXPECT_EQ(compare("a", ""), 1);
  }
}

// Records every call of the on-delete event.
struct DeleteLog {
  std::vector<std::tuple<void*, int32_t>> calls;
  void Attach(CStrArray& list) {
    list.SetOnDelete(
        [this](CStrArray&, void* object, int32_t index) { calls.emplace_back(object, index); });
  }
};

TEST(StrArrayOnDelete, CalledBeforeEveryReleaseOfASlot) {
  int32_t values[3] = {};
  DeleteLog log;
  {
    CStrArray list;
    log.Attach(list);
    list.Add("no object");  // Add stores no object: no call
    EXPECT_TRUE(log.calls.empty());
    list.AddObject("a", &values[0]);  // the new, empty slot
    list.AddObject("b", &values[1]);
    list.PutObject(2, &values[2]);  // the old object of item 2
    list.Delete(0);                 // an empty slot
    list.Add("c");
    list.Add("d");
    list.SetCount(2);  // last item first
    EXPECT_EQ(log.calls, (std::vector<std::tuple<void*, int32_t>>{{nullptr, 1},
                                                                  {nullptr, 2},
                                                                  {&values[1], 2},
                                                                  {nullptr, 0},
                                                                  {nullptr, 3},
                                                                  {nullptr, 2}}));
    log.calls.clear();
  }
  EXPECT_EQ(log.calls, (std::vector<std::tuple<void*, int32_t>>{{&values[2], 1}, {&values[0], 0}}));
}

TEST(StrArrayOnDelete, ClearReleasesLastFirst) {
  int32_t value = 0;
  DeleteLog log;
  CStrArray list;
  list.AddObject("a", &value);
  list.Add("b");
  log.Attach(list);
  list.Clear();
  EXPECT_EQ(log.calls, (std::vector<std::tuple<void*, int32_t>>{{nullptr, 1}, {&value, 0}}));
}

TEST(StrArrayOnDelete, RefusingEventOnAddObjectAddsNothingAndLeaksNothing) {
  int32_t destroyed = 0;
  CStrArray list;
  list.SetOwnershipMode(StrArrayOwnership::kDestroy);
  list.SetOnDelete([](CStrArray&, void*, int32_t) { Raise("refused"); });
  ExpectError([&] { list.AddObject("a", std::make_unique<Tracked>(1, &destroyed)); }, "refused");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(destroyed, 1);
}

TEST(StrArrayOwnership, DestroyModeDestroysEveryObjectExactlyOnce) {
  int32_t destroyed = 0;
  {
    CStrArray list;
    list.SetOwnershipMode(StrArrayOwnership::kDestroy);
    for (int32_t i = 0; i < 6; ++i) {
      list.AddObject("item", std::make_unique<Tracked>(i, &destroyed));
    }
    list.Delete(0);
    EXPECT_EQ(destroyed, 1);
    list.PutObject(0, std::make_unique<Tracked>(10, &destroyed));
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(list.Object<Tracked>(0)->Value(), 10);
    list.SetCount(3);
    EXPECT_EQ(destroyed, 4);
    list.PutObject(1, nullptr);
    EXPECT_EQ(destroyed, 5);
    list.Clear();
    EXPECT_EQ(destroyed, 7);
    list.AddObject("left for the destructor", std::make_unique<Tracked>(0, &destroyed));
  }
  EXPECT_EQ(destroyed, 8);
}

TEST(StrArrayOwnership, ObjectNotAddedIsDestroyedAtOnce) {
  int32_t destroyed = 0;
  CStrArray list;
  list.SetOwnershipMode(StrArrayOwnership::kDestroy);
  list.SetSortMode(StrArraySort::kByString);
  list.SetDuplicatesMode(StrArrayDuplicates::kIgnore);
  list.AddObject("a", std::make_unique<Tracked>(1, &destroyed));
  EXPECT_EQ(list.AddObject("a", std::make_unique<Tracked>(2, &destroyed)), -1);
  EXPECT_EQ(destroyed, 1);
  list.SetDuplicatesMode(StrArrayDuplicates::kError);
  ExpectError([&] { list.AddObject("a", std::make_unique<Tracked>(3, &destroyed)); },
              "StrArray Error: Duplicate identificator [a]");
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(list.Object<Tracked>(0)->Value(), 1);
}

TEST(StrArrayOwnership, FreeModeFreesMemoryBlocks) {
  CStrArray list;
  list.SetOwnershipMode(StrArrayOwnership::kFree);
  for (int32_t i = 0; i < 3; ++i) {
    MemoryPtr<char> block(static_cast<char*>(std::malloc(16)));
    ASSERT_NE(block, nullptr);
    std::strcpy(block.get(), "block");
    list.AddObject("b", std::move(block));
  }
  EXPECT_STREQ(list.Object<char>(1), "block");
  list.Delete(1);
  list.PutObject(0, MemoryPtr<char>(static_cast<char*>(std::malloc(4))));
  EXPECT_EQ(list.Count(), 2);  // the sanitizer build reports a leak or a double free
}

TEST(StrArrayOwnership, ReleaseModeReleasesEachAdoptedReferenceOnce) {
  int32_t releases = 0;
  auto* shared = new Counted(&releases);
  shared->AddRef();  // one reference for the list, one kept here
  {
    CStrArray list;
    list.SetOwnershipMode(StrArrayOwnership::kRelease);
    list.AddObject("shared", StrArrayObject::AdoptReference(shared));
    list.AddObject("own", StrArrayObject::AdoptReference(new Counted(&releases)));
    list.Delete(1);
    EXPECT_EQ(releases, 1);
  }
  EXPECT_EQ(releases, 2);
  EXPECT_EQ(shared->Release(), 0u);
}

TEST(StrArrayOwnership, NoneModeLeavesObjectsAlone) {
  int32_t destroyed = 0;
  Tracked kept(1, &destroyed);
  {
    CStrArray list;
    list.AddObject("kept", &kept);
    list.Delete(0);
    list.AddObject("kept", &kept);
  }
  EXPECT_EQ(destroyed, 0);
}

TEST(StrArrayOwnership, MismatchedObjectFailsProgramCheck) {
  int32_t destroyed = 0;
  Tracked borrowed(1, &destroyed);
  CStrArray owning;
  owning.SetOwnershipMode(StrArrayOwnership::kDestroy);
  ExpectProgramCheck([&] { owning.AddObject("x", &borrowed); }, kOwnership);
  CStrArray borrowing;
  borrowing.Add("x");
  ExpectProgramCheck([&] { borrowing.PutObject(0, std::make_unique<Tracked>(2, &destroyed)); },
                     kOwnership);
  EXPECT_EQ(destroyed, 1);  // the refused owned object is not leaked
  EXPECT_EQ(owning.Count(), 0);
  owning.Add("empty slots are fine");
}

TEST(StrArrayOwnership, ModeCannotChangeWhileObjectsAreHeld) {
  int32_t value = 0;
  CStrArray list;
  list.Add("no object");
  list.SetOwnershipMode(StrArrayOwnership::kDestroy);
  list.SetOwnershipMode(StrArrayOwnership::kNone);
  list.AddObject("held", &value);
  ExpectProgramCheck([&] { list.SetOwnershipMode(StrArrayOwnership::kDestroy); },
                     "The ownership mode of a StrArray holding objects cannot change");
  EXPECT_EQ(list.OwnershipMode(), StrArrayOwnership::kNone);
}

TEST(StrArrayObjects, TypedAccessChecksTheStoredType) {
  int32_t destroyed = 0;
  CStrArray list;
  list.SetOwnershipMode(StrArrayOwnership::kDestroy);
  list.AddObject("t", std::make_unique<Tracked>(5, &destroyed));
  list.Add("none");
  EXPECT_EQ(list.Object<const Tracked>(0)->Value(), 5);
  EXPECT_EQ(list.Object<Tracked>(1), nullptr);
  ExpectProgramCheck([&] { (void)list.Object<int>(0); },
                     "The object of the StrArray item is not of the requested type");
}

TEST(StrArrayText, GetTextEndsEveryStringWithCrLf) {
  CStrArray list;
  EXPECT_EQ(list.GetText(), "");
  list.Add("one");
  list.Add("");
  list.Add("three");
  EXPECT_EQ(list.GetText(), "one\r\n\r\nthree\r\n");
}

TEST(StrArrayText, GetDelimitedPutsSeparatorBetweenOnly) {
  CStrArray list;
  EXPECT_EQ(list.GetDelimited(", "), "");
  list.Add("a");
  EXPECT_EQ(list.GetDelimited(", "), "a");
  list.Add("b");
  list.Add("c");
  EXPECT_EQ(list.GetDelimited(", "), "a, b, c");
  EXPECT_EQ(list.GetDelimited(""), "abc");
}

struct DelimitedCase {
  std::string name;
  std::string text;
  std::vector<std::string> expected;
};

class StrArraySetDelimited : public ::testing::TestWithParam<DelimitedCase> {};

TEST_P(StrArraySetDelimited, SplitsTrimsAndAdds) {
  CStrArray list;
  list.Add("old");
  list.SetDelimited(GetParam().text, ';');
  EXPECT_EQ(StringsOf(list), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StrArraySetDelimited,
    ::testing::Values(DelimitedCase{"TrimsBlanks", "a; b ;c", {"a", "b", "c"}},
                      DelimitedCase{"NoDelimiterGivesOneItem", "abc", {"abc"}},
                      DelimitedCase{"EmptyTextGivesOneEmptyItem", "", {""}},
                      DelimitedCase{"EmptyPiecesKept", "a;;b;", {"a", "", "b", ""}},
                      DelimitedCase{"TrimsTabsAndLineBreaks", "\t x \r\n;y", {"x", "y"}},
                      DelimitedCase{"InnerBlanksKept", " two words ", {"two words"}}),
    [](const ::testing::TestParamInfo<DelimitedCase>& info) { return info.param.name; });

TEST(StrArraySetDelimitedModes, FollowsSortAndDuplicateModes) {
  CStrArray list;
  list.SetSortMode(StrArraySort::kByString);
  list.SetDuplicatesMode(StrArrayDuplicates::kIgnore);
  list.SetDelimited("c, a, b, a", ',');
  EXPECT_EQ(StringsOf(list), (std::vector<std::string>{"a", "b", "c"}));
  list.SetDuplicatesMode(StrArrayDuplicates::kError);
  ExpectError([&] { list.SetDelimited("x,x", ','); },
              "StrArray Error: Duplicate identificator [x]");
}

class StrArrayFiles : public test::Sandbox {};

TEST_F(StrArrayFiles, SaveToFileCreatesAndOverwrites) {
  const std::string path = WriteFile("list.txt", "a much longer previous content\r\n");
  CStrArray list;
  list.SetDelimited(Msg(u8"первая,second"), ',');
  list.SaveToFile(path);
  EXPECT_EQ(test::ReadAll(path), Msg(u8"первая\r\nsecond\r\n"));
  list.Clear();
  list.SaveToFile(PathOf("empty.txt"));
  EXPECT_EQ(test::ReadAll(PathOf("empty.txt")), "");
}

TEST_F(StrArrayFiles, SaveToFileInMissingFolderFailsWithOsError) {
  CStrArray list;
  list.Add("x");
  try {
    list.SaveToFile(PathOf("missing/list.txt"));
    FAIL();
  } catch (const EOSError& error) {
    EXPECT_EQ(error.ErrorCode(), ENOENT);
    EXPECT_EQ(error.Message().rfind("System Error.  Code: 2.\r\n", 0), 0u) << error.Message();
  }
  EXPECT_FALSE(std::filesystem::exists(PathOf("missing")));
}

TEST_F(StrArrayFiles, SaveToFileTakesAWindows1251Path) {
  CStrArray list;
  list.Add("x");
  list.SaveToFile(Home().string() + "/" + Msg(u8"список.txt"));
  EXPECT_EQ(test::ReadAll(Home() / "список.txt"), "x\r\n");
}

TEST_F(StrArrayFiles, SaveToFileOverAFolderFailsAndLeavesIt) {
  CStrArray list;
  list.Add("x");
  WriteFile("folder/inside.txt", "kept");
  EXPECT_THROW(list.SaveToFile(PathOf("folder")), EOSError);
  EXPECT_EQ(test::ReadAll(Home() / "folder" / "inside.txt"), "kept");
}

TEST_F(StrArrayFiles, SaveToStreamWritesAtPositionAndTruncatesOnRequest) {
  CStrArray list;
  list.Add("ab");
  const std::string path = WriteFile("stream.bin", "0123456789");
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  list.SaveToStream(fd, false);
  EXPECT_EQ(test::ReadAll(path), "ab\r\n456789");
  ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
  list.SaveToStream(fd, true);
  EXPECT_EQ(test::ReadAll(path), "ab\r\n");
  list.SaveToStream(fd, true);  // at the end of a file as long as the text: appended
  EXPECT_EQ(test::ReadAll(path), "ab\r\nab\r\n");
  ::close(fd);
}

TEST(StrArrayStream, BadDescriptorFailsWithOsError) {
  CStrArray list;
  list.Add("x");
  EXPECT_THROW(list.SaveToStream(-1, false), EOSError);
  EXPECT_THROW(list.SaveToStream(-1, true), EOSError);
}

}  // namespace
}  // namespace lyr::rtl
