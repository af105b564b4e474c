// std::source_location for clang 14 over GCC's <source_location>, which needs
// __builtin_source_location; only the fuzz build includes it (the library reads line() alone).
#pragma once

#include <source_location>

#if defined(__clang__) && !__has_builtin(__builtin_source_location)
#include <cstdint>

namespace std {

struct source_location {
  static constexpr source_location current(uint_least32_t line = __builtin_LINE()) noexcept {
    source_location location;
    location.line_ = line;
    return location;
  }
  [[nodiscard]] constexpr uint_least32_t line() const noexcept { return line_; }
  uint_least32_t line_ = 0;
};

}  // namespace std
#endif
