// The braced text form of GUIDs, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", shared inside liblyrcom.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "lyr/com/types.h"

namespace lyr::com {

// 38 characters: braces, 32 hex digits and four hyphens.
inline constexpr size_t kGuidTextLength = 38;

// Parses the braced form (hex digits of either case); nullopt for anything else.
std::optional<GUID> ParseGuid(std::string_view text);
std::optional<GUID> ParseGuid(std::u16string_view text);

// The braced upper-case form.
std::string FormatGuid(const GUID& guid);

}  // namespace lyr::com
