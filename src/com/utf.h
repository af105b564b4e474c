// UTF-8 <-> UTF-16 for liblyrcom's own texts (paths, ProgIDs, error messages).
#pragma once

#include <string>
#include <string_view>

namespace lyr::com {

// Malformed UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace lyr::com
