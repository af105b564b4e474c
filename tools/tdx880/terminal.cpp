// Terminal conversions of the tool, and the escaping of control characters at its edge.
#include "terminal.h"

#include <algorithm>
#include <cstdio>

#include "rtl/hex.h"
#include "rtl/text.h"
#include "signal_cleanup.h"

namespace lyr::tool {
namespace {

// The byte escaped, as Escaped writes it.
void AppendEscape(std::string& text, char byte) {
  switch (byte) {
    case '\n':
      text += "\\n";
      return;
    case '\r':
      text += "\\r";
      return;
    case '\t':
      text += "\\t";
      return;
    default: {
      text += "\\x" + rtl::BytesToHexPlain(std::string_view(&byte, 1));
    }
  }
}

// ansi_text with its control characters escaped, except the line ends and tabs when keep_layout
// is set; then as UTF-8.
std::string ForTerminal(std::string_view ansi_text, bool keep_layout) {
  std::string text;
  text.reserve(ansi_text.size());
  for (const char byte : ansi_text) {
    if (!IsControlCharacter(byte) || (keep_layout && (byte == '\n' || byte == '\t'))) {
      text += byte;
    } else {
      AppendEscape(text, byte);
    }
  }
  return text;
}

void Write(std::string_view ansi_text, std::FILE* stream) {
  if (Stopping()) {
    return;
  }
  const std::string text = rtl::AnsiToUtf8String(ForTerminal(ansi_text, true));
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

bool IsControlCharacter(char byte) noexcept {
  const auto value = static_cast<unsigned char>(byte);
  return value < 0x20 || value == 0x7F || value == 0x98;
}

std::string Escaped(std::string_view ansi_text) {
  return ForTerminal(ansi_text, false);
}

std::string EscapedMessage(std::string_view ansi_message) {
  std::string text;
  for (size_t start = 0; start <= ansi_message.size();) {
    const size_t end = std::min(ansi_message.find("\r\n", start), ansi_message.size());
    text += (start == 0 ? "" : " ") + Escaped(ansi_message.substr(start, end - start));
    start = end + 2;
  }
  return text;
}

void Print(std::string_view ansi_text) {
  Write(ansi_text, stdout);
}

void PrintError(std::string_view ansi_text) {
  Write(ansi_text, stderr);
}

void PrintBytes(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

std::string FromTerminal(std::string_view utf8) {
  return rtl::Utf8ToAnsi(utf8);
}

}  // namespace lyr::tool
