// The trace (debugger output): silent unless LYR_TDX_TRACE is "stderr" or a file path.
#pragma once

#include <string_view>

#include "rtl/format.h"
#include "rtl/text.h"

namespace lyr::rtl {

// Writes one windows-1251 line to the trace, converted to UTF-8. Never throws.
void TraceLine(std::string_view line) noexcept;

// Formats "[" + format + "]" with args and writes the line to the trace. Never throws: a bad
// format is traced as the raw format.
template <typename... Args>
void DebugLog(std::string_view format, const Args&... args) noexcept {
  std::string bracketed;
  bracketed.reserve(format.size() + 2);
  bracketed.append(1, '[').append(format).append(1, ']');
  try {
    TraceLine(Format(bracketed, args...));
  } catch (...) {
    TraceLine(bracketed);
  }
}

}  // namespace lyr::rtl
