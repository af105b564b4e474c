// The decompression budget: how many bytes of plain content one package from outside may inflate
// to in total, so a package of nested archives (a "zip bomb") is refused before memory or disk
// fill.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyr::rtl {

// Counts the plain bytes inflated for one package (its outer archive and every document's
// stored form) against a limit. A reader takes the declared size of what it is about to inflate
// before inflating it, and never reads more than it declared (the archive adaptor refuses an entry
// larger than declared), so a bomb with honest sizes costs no memory and one with lying sizes is
// stopped at its declared size. Each inflation counts, also a second one of the same document.
// Not thread-safe: one owner (a package container, a message reader) uses it.
class DecompressionBudget final {
 public:
  // 4 GiB of plain content per package.
  static constexpr uint64_t kDefaultLimit = uint64_t{4} << 30;
  // The environment variable that changes the default limit: a decimal number of bytes.
  static constexpr std::string_view kLimitVariable = "LYR_TDX_MAX_PLAIN_SIZE";

  // The limit LYR_TDX_MAX_PLAIN_SIZE names (leading and trailing blanks allowed), or
  // kDefaultLimit when it is unset, empty or not a decimal number of at most 20 digits that
  // fits 64 bits (such a value is logged to the trace).
  [[nodiscard]] static uint64_t LimitFromEnvironment();

  explicit DecompressionBudget(uint64_t limit = kDefaultLimit) noexcept : limit_(limit) {}

  [[nodiscard]] uint64_t Limit() const noexcept { return limit_; }
  // Changes the limit; what was taken stays taken.
  void SetLimit(uint64_t limit) noexcept { limit_ = limit; }
  [[nodiscard]] uint64_t Used() const noexcept { return used_; }
  [[nodiscard]] uint64_t Left() const noexcept { return used_ >= limit_ ? 0 : limit_ - used_; }

  // What the error message names: the package's file (or message) as the owner knows it.
  [[nodiscard]] const std::string& Name() const noexcept { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // Fails with "Слишком большой объём документов в пакете: [%s]" (Name) when size is more than
  // Left(); counts nothing then.
  void Check(uint64_t size) const;
  // Check, then counts size as used.
  void Take(uint64_t size);
  // Starts counting anew for another package (Used becomes 0; limit and name stay).
  void Reset() noexcept { used_ = 0; }

 private:
  uint64_t limit_;
  uint64_t used_ = 0;
  std::string name_;
};

}  // namespace lyr::rtl
