// std::source_location for clang releases before 15 over GCC's standard library, whose
// <source_location> needs __builtin_source_location; only the fuzz build (clang) includes it.
#pragma once

#include <source_location>

#if defined(__clang__) && !__has_builtin(__builtin_source_location)
#include <cstdint>

namespace std {

struct source_location {
  static constexpr source_location current(const char* file = __builtin_FILE(),
                                           const char* function = __builtin_FUNCTION(),
                                           uint_least32_t line = __builtin_LINE(),
                                           uint_least32_t column = __builtin_COLUMN()) noexcept {
    source_location location;
    location.file_ = file;
    location.function_ = function;
    location.line_ = line;
    location.column_ = column;
    return location;
  }
  constexpr source_location() noexcept = default;
  [[nodiscard]] constexpr uint_least32_t line() const noexcept { return line_; }
  [[nodiscard]] constexpr uint_least32_t column() const noexcept { return column_; }
  [[nodiscard]] constexpr const char* file_name() const noexcept { return file_; }
  [[nodiscard]] constexpr const char* function_name() const noexcept { return function_; }

 private:
  const char* file_ = "";
  const char* function_ = "";
  uint_least32_t line_ = 0;
  uint_least32_t column_ = 0;
};

}  // namespace std
#endif
