// Base64 encoder and decoder (RFC 2045 section 6.8, alphabet of RFC 4648 section 4).
#include "rtl/base64.h"

#include <array>
#include <cstdint>

namespace lyr::rtl {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kLineLength = 76;
constexpr int8_t kSkip = -1;
constexpr int8_t kPad = -2;

// Value of every byte in the alphabet, kPad for "=", kSkip for everything else.
constexpr std::array<int8_t, 256> MakeDecodeTable() {
  std::array<int8_t, 256> table{};
  for (auto& value : table) {
    value = kSkip;
  }
  for (int i = 0; i < 64; ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
  }
  table['='] = kPad;
  return table;
}
constexpr std::array<int8_t, 256> kDecode = MakeDecodeTable();

// Writes the 4 characters of one 3-byte group; missing bytes (count < 3) become "=".
inline void EncodeGroup(const unsigned char* in, size_t count, char* out) {
  const uint32_t b0 = in[0];
  const uint32_t b1 = count > 1 ? in[1] : 0;
  const uint32_t b2 = count > 2 ? in[2] : 0;
  const uint32_t group = b0 << 16 | b1 << 8 | b2;
  out[0] = kAlphabet[group >> 18 & 0x3F];
  out[1] = kAlphabet[group >> 12 & 0x3F];
  out[2] = count > 1 ? kAlphabet[group >> 6 & 0x3F] : '=';
  out[3] = count > 2 ? kAlphabet[group & 0x3F] : '=';
}

}  // namespace

std::string EncodeBase64(std::string_view bytes) {
  const size_t chars = (bytes.size() + 2) / 3 * 4;
  const size_t breaks = chars == 0 ? 0 : (chars - 1) / kLineLength;
  std::string out(chars + 2 * breaks, '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  char* dst = out.data();
  size_t line = 0;
  size_t pos = 0;
  // 76 is a multiple of 4, so a line break always falls between two groups.
  for (; pos < bytes.size(); pos += 3) {
    if (line == kLineLength) {
      *dst++ = '\r';
      *dst++ = '\n';
      line = 0;
    }
    EncodeGroup(in + pos, bytes.size() - pos < 3 ? bytes.size() - pos : 3, dst);
    dst += 4;
    line += 4;
  }
  return out;
}

std::string DecodeBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  uint32_t group = 0;
  int count = 0;
  for (const char c : text) {
    const int8_t value = kDecode[static_cast<unsigned char>(c)];
    if (value == kSkip) {
      continue;
    }
    if (value == kPad) {
      break;
    }
    group = group << 6 | static_cast<uint32_t>(value);
    if (++count == 4) {
      out += static_cast<char>(group >> 16 & 0xFF);
      out += static_cast<char>(group >> 8 & 0xFF);
      out += static_cast<char>(group & 0xFF);
      group = 0;
      count = 0;
    }
  }
  // RFC 4648 section 4: 2 characters carry one byte, 3 characters two bytes.
  if (count == 2) {
    out += static_cast<char>(group >> 4 & 0xFF);
  } else if (count == 3) {
    out += static_cast<char>(group >> 10 & 0xFF);
    out += static_cast<char>(group >> 2 & 0xFF);
  }
  return out;
}

bool IsBase64Text(std::string_view text) {
  for (const char c : text) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool digit = c >= '0' && c <= '9';
    const bool other =
        c == '+' || c == '/' || c == '=' || c == '-' || c == ' ' || c == '\r' || c == '\n';
    if (!letter && !digit && !other) {
      return false;
    }
  }
  return true;
}

}  // namespace lyr::rtl
