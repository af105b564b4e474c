// Header text as RFC 2047 encoded words in windows-1251 with the "B" encoding.
#pragma once

#include <string>
#include <string_view>

namespace lyr::mail {

// The value of the header name for the library text value (windows-1251), ready to be written
// after "name:": printable ASCII that does not look like an encoded word stays as it is (with a
// leading blank); anything else becomes a run of encoded words "=?windows-1251?B?...?=", each
// at most 75 characters and each line (the first one counting "name: ") at most 76, joined by
// folding ("\n "). Since windows-1251 has one byte per character, no word splits a character.
// The result ends in "\n", as GMime's raw header values do.
std::string EncodeHeaderValue(std::string_view name, std::string_view value);

}  // namespace lyr::mail
