// Benchmarks of CStrArray: sorted inserts and searches on 100,000 items.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "rtl/str_array.h"

namespace lyr::rtl {
namespace {

constexpr int32_t kItems = 100000;

// Distinct keys in the form of identifiers ("DOC" + zero-padded number), shuffled or ascending.
std::vector<std::string> Keys(bool shuffled) {
  std::vector<std::string> keys;
  keys.reserve(kItems);
  for (int32_t i = 0; i < kItems; ++i) {
    std::string number = std::to_string(i);
    keys.push_back("DOC" + std::string(8 - number.size(), '0') + number);
  }
  if (shuffled) {
    std::mt19937 random(880);
    std::shuffle(keys.begin(), keys.end(), random);
  }
  return keys;
}

void FillSorted(CStrArray& list, const std::vector<std::string>& keys, StrArrayComparison mode) {
  list.SetSortMode(StrArraySort::kByString);
  list.SetComparisonMode(mode);
  for (const auto& key : keys) {
    list.Add(key);
  }
}

// Arguments: whether the keys come in random order, and the comparison mode.
void BM_SortedAdd(benchmark::State& state) {
  const auto keys = Keys(state.range(0) != 0);
  const auto mode = static_cast<StrArrayComparison>(state.range(1));
  for (auto _ : state) {
    CStrArray list;
    FillSorted(list, keys, mode);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_SortedAdd)
    ->ArgNames({"random", "mode"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({1, 3})
    ->Unit(benchmark::kMillisecond);

// Binary search in a sorted list of 100,000 items, one look-up per iteration.
void BM_IndexOfSorted(benchmark::State& state) {
  const auto keys = Keys(true);
  CStrArray list;
  FillSorted(list, Keys(false), static_cast<StrArrayComparison>(state.range(0)));
  size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.IndexOf(keys[next]));
    next = (next + 1) % keys.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IndexOfSorted)->ArgName("mode")->Arg(0)->Arg(1)->Arg(3);

// Linear search in an unsorted list of 100,000 items, one look-up per iteration.
void BM_IndexOfUnsorted(benchmark::State& state) {
  const auto keys = Keys(true);
  CStrArray list;
  list.SetComparisonMode(static_cast<StrArrayComparison>(state.range(0)));
  for (const auto& key : Keys(false)) {
    list.Add(key);
  }
  size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.IndexOf(keys[next]));
    next = (next + 1) % keys.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IndexOfUnsorted)->ArgName("mode")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lyr::rtl
