// ITypeInfo over the type library table: the dispatch view of an interface (TKIND_DISPATCH), an
// enumeration (TKIND_ENUM) or a creatable class (TKIND_COCLASS), as a generic host lists them.
#pragma once

#include <cstddef>

#include "lyr/com/com.h"

namespace lyr::automation {

// A new type information object for the library's type type_index (one reference for the caller).
HRESULT CreateTypeInfo(std::size_t type_index, ITypeInfo** type_info) noexcept;

}  // namespace lyr::automation
