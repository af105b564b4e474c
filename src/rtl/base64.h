// Base64 in the MIME form of RFC 2045: standard alphabet, lines of 76 characters.
#pragma once

#include <string>
#include <string_view>

namespace lyr::rtl {

// Encodes bytes with the RFC 2045 alphabet and "=" padding, ending a line with CR LF after every
// 76 output characters; there is no line break after the last line. Empty input gives "".
std::string EncodeBase64(std::string_view bytes);

// Decodes Base64 text, skipping every character outside the alphabet (line breaks, blanks, other
// bytes). Decoding ends at the first "="; a dangling group of a single character carries no whole
// byte and is dropped.
std::string DecodeBase64(std::string_view text);

// True when every character of text is a Latin letter, a digit, "+", "/", "=", "-", a space, CR
// or LF; true for the empty text.
bool IsBase64Text(std::string_view text);

}  // namespace lyr::rtl
