// Code-page conversion: windows-1251 (the library's own text) <-> UTF-16 and UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace lyr::rtl {

// Every byte string inside the library is windows-1251 text or binary data; UTF-16 text uses
// std::u16string (BSTR contents) and UTF-8 text std::u8string, so the three cannot be mixed up.

// Maps every byte to a distinct UTF-16 unit (the undefined byte 0x98 becomes U+0098), so binary
// data carried one byte per character survives the round trip byte for byte.
std::u16string AnsiToUtf16(std::string_view text);
// Characters without a windows-1251 byte become '?'; surrogate pairs count as one character.
std::string Utf16ToAnsi(std::u16string_view text);

std::u8string AnsiToUtf8(std::string_view text);
// Characters without a windows-1251 byte and malformed UTF-8 sequences become '?'.
std::string Utf8ToAnsi(std::u8string_view text);

// Conveniences for the edges (terminal, environment, file names from the command line) where
// UTF-8 arrives as plain char data.
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8String(std::string_view text);

// The message layer: Russian texts are written once, in UTF-8, in the source; the library uses
// them as windows-1251 strings.
inline std::string Msg(std::u8string_view text) {
  return Utf8ToAnsi(text);
}

// Unicode code point of one windows-1251 byte and back (-1 when the code point has no byte).
char32_t AnsiCharToCodePoint(unsigned char byte) noexcept;
int CodePointToAnsiChar(char32_t code_point) noexcept;

// CP866 (the OEM code page of Russian systems, used by archivers for entry names) to
// windows-1251; characters without a windows-1251 byte (box drawing, a few symbols) become '?'.
std::string Cp866ToAnsi(std::string_view raw);

}  // namespace lyr::rtl
