// Base64 encoding and decoding of a 10 MB content (a large document or signature batch).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "rtl/base64.h"

namespace {

constexpr size_t kSize = 10 * 1000 * 1000;

std::string RandomBytes(size_t size) {
  std::string bytes(size, '\0');
  std::mt19937_64 random(880);
  for (char& c : bytes) {
    c = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

void BM_EncodeBase64_10MB(benchmark::State& state) {
  const std::string bytes = RandomBytes(kSize);
  for (auto _ : state) {
    benchmark::DoNotOptimize(lyr::rtl::EncodeBase64(bytes));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}
BENCHMARK(BM_EncodeBase64_10MB)->Unit(benchmark::kMillisecond);

void BM_DecodeBase64_10MB(benchmark::State& state) {
  const std::string text = lyr::rtl::EncodeBase64(RandomBytes(kSize));
  for (auto _ : state) {
    benchmark::DoNotOptimize(lyr::rtl::DecodeBase64(text));
  }
  // Throughput counts the decoded bytes, so both directions compare.
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}
BENCHMARK(BM_DecodeBase64_10MB)->Unit(benchmark::kMillisecond);

void BM_IsBase64Text_10MB(benchmark::State& state) {
  const std::string text = lyr::rtl::EncodeBase64(RandomBytes(kSize));
  for (auto _ : state) {
    benchmark::DoNotOptimize(lyr::rtl::IsBase64Text(text));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_IsBase64Text_10MB)->Unit(benchmark::kMillisecond);

}  // namespace
