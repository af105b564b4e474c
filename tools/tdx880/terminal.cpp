// Terminal conversions of the tool.
#include "terminal.h"

#include <cstdio>

#include "rtl/text.h"

namespace lyr::tool {

void Print(std::string_view ansi_text) {
  const std::string text = rtl::AnsiToUtf8String(ansi_text);
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintError(std::string_view ansi_text) {
  const std::string text = rtl::AnsiToUtf8String(ansi_text);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

void PrintBytes(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

std::string FromTerminal(std::string_view utf8) {
  return rtl::Utf8ToAnsi(utf8);
}

}  // namespace lyr::tool
