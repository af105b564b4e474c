// BSTR helpers at the automation boundary: views, allocation, windows-1251 text and binary values.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "lyr/com/com.h"

namespace lyr::automation {

// Owns a BSTR: OwnedBstr value(raw) frees it with SysFreeString.
struct BstrFree {
  void operator()(BSTR text) const noexcept { ::SysFreeString(text); }
};
using OwnedBstr = std::unique_ptr<OLECHAR, BstrFree>;

// The characters of a BSTR (a NULL BSTR is empty).
std::u16string_view BstrView(BSTR text) noexcept;
// A new BSTR with these characters; NULL when out of memory. An empty text gives an empty BSTR.
BSTR AllocBstr(std::u16string_view text) noexcept;
// windows-1251 <-> BSTR, one character per byte.
std::string BstrToAnsi(BSTR text);
// Throws std::bad_alloc when out of memory.
BSTR AnsiToBstr(std::string_view text);

// Binary values (certificate bodies, contents, signatures, P7B chains) travel one byte per
// character through the windows-1251 mapping, in which each of the 256 byte values has its own
// UTF-16 unit (the undefined byte 0x98 is U+0098): BstrFromBytes(bytes) read back with
// BytesFromBstr gives the same bytes, and a host that builds a BSTR with that mapping gets its
// bytes through unchanged.
//
// One byte per UTF-16 unit; a unit the mapping does not give ('?' for text) becomes '?'.
std::string BytesFromBstr(BSTR value);
// A new BSTR of bytes.size() characters. Throws std::bad_alloc when out of memory or when the
// value does not fit in a BSTR.
BSTR BstrFromBytes(std::string_view bytes);

}  // namespace lyr::automation
