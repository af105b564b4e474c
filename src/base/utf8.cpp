// UTF-8 encoding and decoding of single code points.
#include "base/utf8.h"

#include <cstdint>

namespace lyr::base {

size_t EncodeUtf8(char32_t cp, char out[4]) noexcept {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

char32_t DecodeUtf8(std::string_view text, size_t& pos, Malformed skip) noexcept {
  const auto lead = static_cast<uint8_t>(text[pos++]);
  if (lead < 0x80) {
    return lead;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    return kReplacementCharacter;
  }
  size_t next = pos;
  for (int i = 0; i < extra; ++i, ++next) {
    if (next >= text.size() || (static_cast<uint8_t>(text[next]) & 0xC0) != 0x80) {
      if (skip == Malformed::kValidPrefix) {
        pos = next;
      }
      return kReplacementCharacter;
    }
    cp = (cp << 6) | (static_cast<uint8_t>(text[next]) & 0x3F);
  }
  pos = next;
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    return kReplacementCharacter;
  }
  return cp;
}

}  // namespace lyr::base
