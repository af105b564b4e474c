// BSTR helpers at the automation boundary: views, allocation, windows-1251 conversion.
#pragma once

#include <string>
#include <string_view>

#include "lyr/com/com.h"

namespace lyr::automation {

// The characters of a BSTR (a NULL BSTR is empty).
std::u16string_view BstrView(BSTR text) noexcept;
// A new BSTR with these characters; NULL when out of memory. An empty text gives an empty BSTR.
BSTR AllocBstr(std::u16string_view text) noexcept;
// windows-1251 <-> BSTR, one character per byte.
std::string BstrToAnsi(BSTR text);
// Throws std::bad_alloc when out of memory.
BSTR AnsiToBstr(std::string_view text);

}  // namespace lyr::automation
