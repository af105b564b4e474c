// Trace output. The destination is read from the environment at every line, so a host (or a test)
// may switch it on and off while running.
#include "rtl/trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lyr::rtl {

void TraceLine(std::string_view line) noexcept {
  const char* target = std::getenv("LYR_TDX_TRACE");
  if (target == nullptr || *target == '\0') {
    return;
  }
  try {
    const std::string text = AnsiToUtf8String(line) + "\n";
    if (std::strcmp(target, "stderr") == 0) {
      std::fwrite(text.data(), 1, text.size(), stderr);
      return;
    }
    if (FILE* file = std::fopen(target, "a")) {
      std::fwrite(text.data(), 1, text.size(), file);
      std::fclose(file);
    }
  } catch (...) {
    // Tracing must never disturb the traced operation.
  }
}

}  // namespace lyr::rtl
