// Code-page conversion through one 256-entry table of windows-1251.
#include "rtl/text.h"

#include <array>
#include <cstdint>

#include "base/utf8.h"

namespace lyr::rtl {
namespace {

// Upper half of windows-1251 from 0x80 to 0xBF; 0xC0..0xFF are U+0410..U+044F. The byte 0x98 is
// undefined in the code page and maps to U+0098 so that the table stays a bijection.
constexpr std::array<char16_t, 64> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

constexpr char kReplacement = '?';

char ToAnsiOrReplacement(char32_t cp) {
  const int byte = CodePointToAnsiChar(cp);
  return byte < 0 ? kReplacement : static_cast<char>(byte);
}

}  // namespace

char32_t AnsiCharToCodePoint(unsigned char byte) noexcept {
  if (byte < 0x80) {
    return byte;
  }
  if (byte >= 0xC0) {
    return 0x0410 + (byte - 0xC0);
  }
  return kUpperHalf[byte - 0x80];
}

int CodePointToAnsiChar(char32_t cp) noexcept {
  if (cp < 0x80) {
    return static_cast<int>(cp);
  }
  if (cp >= 0x0410 && cp <= 0x044F) {
    return static_cast<int>(0xC0 + (cp - 0x0410));
  }
  for (size_t i = 0; i < kUpperHalf.size(); ++i) {
    if (kUpperHalf[i] == cp) {
      return static_cast<int>(0x80 + i);
    }
  }
  return -1;
}

std::u16string AnsiToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char c : text) {
    out.push_back(static_cast<char16_t>(AnsiCharToCodePoint(static_cast<unsigned char>(c))));
  }
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;  // a supplementary character never has a windows-1251 byte
      out.push_back(kReplacement);
      continue;
    }
    out.push_back(ToAnsiOrReplacement(unit));
  }
  return out;
}

std::u8string AnsiToUtf8(std::string_view text) {
  std::u8string out;
  out.reserve(text.size() * 2);
  for (const char c : text) {
    base::AppendUtf8(out, AnsiCharToCodePoint(static_cast<unsigned char>(c)));
  }
  return out;
}

std::string Utf8ToAnsi(std::u8string_view text) {
  std::string out;
  out.reserve(text.size());
  const std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size());
  size_t pos = 0;
  while (pos < bytes.size()) {
    // A broken sequence becomes one '?' with the continuation bytes that came before the break.
    out.push_back(ToAnsiOrReplacement(base::DecodeUtf8(bytes, pos, base::Malformed::kValidPrefix)));
  }
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  return Utf8ToAnsi(std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string AnsiToUtf8String(std::string_view text) {
  const std::u8string utf8 = AnsiToUtf8(text);
  return std::string(reinterpret_cast<const char*>(utf8.data()), utf8.size());
}

namespace {

// CP866 bytes 0x80..0xFF as Unicode code points; 0 where the character (box drawing, a few
// symbols) has no windows-1251 byte and becomes "?".
constexpr char32_t kCp866High[128] = {
    0x410, 0x411, 0x412, 0x413, 0x414, 0x415, 0x416, 0x417,  0x418, 0x419, 0x41A, 0x41B, 0x41C,
    0x41D, 0x41E, 0x41F, 0x420, 0x421, 0x422, 0x423, 0x424,  0x425, 0x426, 0x427, 0x428, 0x429,
    0x42A, 0x42B, 0x42C, 0x42D, 0x42E, 0x42F, 0x430, 0x431,  0x432, 0x433, 0x434, 0x435, 0x436,
    0x437, 0x438, 0x439, 0x43A, 0x43B, 0x43C, 0x43D, 0x43E,  0x43F, 0,     0,     0,     0,
    0,     0,     0,     0,     0,     0,     0,     0,      0,     0,     0,     0,     0,
    0,     0,     0,     0,     0,     0,     0,     0,      0,     0,     0,     0,     0,
    0,     0,     0,     0,     0,     0,     0,     0,      0,     0,     0,     0,     0,
    0,     0,     0,     0,     0,     0x440, 0x441, 0x442,  0x443, 0x444, 0x445, 0x446, 0x447,
    0x448, 0x449, 0x44A, 0x44B, 0x44C, 0x44D, 0x44E, 0x44F,  0x401, 0x451, 0x404, 0x454, 0x407,
    0x457, 0x40E, 0x45E, 0xB0,  0,     0xB7,  0,     0x2116, 0xA4,  0,     0xA0,
};

}  // namespace

std::string Cp866ToAnsi(std::string_view raw) {
  std::string result;
  result.reserve(raw.size());
  for (const char c : raw) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      result += c;
      continue;
    }
    const char32_t code_point = kCp866High[byte - 0x80];
    const int ansi = code_point == 0 ? -1 : CodePointToAnsiChar(code_point);
    result += ansi < 0 ? '?' : static_cast<char>(ansi);
  }
  return result;
}

}  // namespace lyr::rtl
