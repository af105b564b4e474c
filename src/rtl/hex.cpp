// Hexadecimal text of bytes.
#include "rtl/hex.h"

#include "rtl/errors.h"

namespace lyr::rtl {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

}  // namespace

std::string BytesToHexPlain(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

std::string BytesToHex(std::string_view bytes) {
  if (bytes.empty()) {
    return {};
  }
  return "0x" + BytesToHexPlain(bytes);
}

std::string HexToBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const int high = HexDigitValue(text[i]);
    const int low = HexDigitValue(text[i + 1]);
    if (high < 0 || low < 0) {
      RaiseFmt(u8"Неверное шестнадцатеричное значение: [%s]", text);
    }
    bytes += static_cast<char>(high << 4 | low);
  }
  if (text.size() % 2 != 0) {
    RaiseFmt(u8"Неверное шестнадцатеричное значение: [%s]", text);
  }
  return bytes;
}

}  // namespace lyr::rtl
