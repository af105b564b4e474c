// The UTF-8 codec (RFC 3629): one code point at a time, strict about overlong forms, surrogates
// and values above U+10FFFF.
#pragma once

#include <cstddef>
#include <string_view>

namespace lyr::base {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Writes the UTF-8 form of cp (at most U+10FFFF, not checked) to out; returns its length (1..4).
size_t EncodeUtf8(char32_t cp, char out[4]) noexcept;

// Appends the UTF-8 form of cp to a string of 8-bit code units (std::string or std::u8string).
template <typename String>
void AppendUtf8(String& out, char32_t cp) {
  char bytes[4];
  const size_t size = EncodeUtf8(cp, bytes);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(static_cast<typename String::value_type>(bytes[i]));
  }
}

// How much of a malformed sequence one U+FFFD stands for. The sequences are the same either way
// (a lead byte that starts none, a continuation byte missing before the end, an overlong form, a
// surrogate, a value above U+10FFFF); only the resynchronisation after a broken sequence differs.
enum class Malformed {
  // The lead byte only: the bytes after it are decoded again on their own.
  kLeadByte,
  // The lead byte and the continuation bytes that followed it before the break.
  kValidPrefix,
};

// Decodes the sequence at text[pos] (pos < text.size()) and moves pos past it; U+FFFD for a
// malformed sequence, moving pos as skip says. A sequence that is whole but overlong, a surrogate
// or above U+10FFFF is passed over whole in both modes.
char32_t DecodeUtf8(std::string_view text, size_t& pos, Malformed skip) noexcept;

}  // namespace lyr::base
