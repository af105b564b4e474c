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

// The characters IsBase64Text accepts: the alphabet, "=", "-", space, CR and LF.
constexpr std::array<bool, 256> MakeTextTable() {
  std::array<bool, 256> table{};
  for (int i = 0; i < 64; ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = true;
  }
  for (const char c : {'=', '-', ' ', '\r', '\n'}) {
    table[static_cast<unsigned char>(c)] = true;
  }
  return table;
}
constexpr std::array<bool, 256> kBase64Text = MakeTextTable();

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
  std::string out(text.size() / 4 * 3 + 3, '\0');
  char* dst = out.data();
  uint32_t group = 0;
  int count = 0;
  for (const char c : text) {
    const int8_t value = kDecode[static_cast<unsigned char>(c)];
    if (value >= 0) {
      group = group << 6 | static_cast<uint32_t>(value);
      if (++count == 4) {
        dst[0] = static_cast<char>(group >> 16 & 0xFF);
        dst[1] = static_cast<char>(group >> 8 & 0xFF);
        dst[2] = static_cast<char>(group & 0xFF);
        dst += 3;
        group = 0;
        count = 0;
      }
    } else if (value == kPad) {
      break;
    }
  }
  // RFC 4648 section 4: 2 characters carry one byte, 3 characters two bytes.
  if (count == 2) {
    *dst++ = static_cast<char>(group >> 4 & 0xFF);
  } else if (count == 3) {
    *dst++ = static_cast<char>(group >> 10 & 0xFF);
    *dst++ = static_cast<char>(group >> 2 & 0xFF);
  }
  out.resize(static_cast<size_t>(dst - out.data()));
  return out;
}

bool IsBase64Text(std::string_view text) {
  for (const char c : text) {
    if (!kBase64Text[static_cast<unsigned char>(c)]) {
      return false;
    }
  }
  return true;
}

}  // namespace lyr::rtl
