// Which VARTYPEs liblyrcom holds in a VARIANT, and the shallow/deep copy helpers shared by the
// VARIANT functions.
#pragma once

#include "lyr/com/com.h"

namespace lyr::com {

// True for the value types a VARIANT may hold here (VT_EMPTY ... VT_UINT without arrays/records).
bool IsValueType(VARTYPE vt);
// True for vt itself being a type a VARIANT may hold: a value type, or VT_BYREF with a value type
// (other than VT_EMPTY/VT_NULL) or with VT_VARIANT.
bool IsHeldType(VARTYPE vt);
// Copies src (a held, non-byref type or byref as a pointer) into the empty dest: BSTRs are
// duplicated and interfaces AddRef'd. On failure dest stays VT_EMPTY.
HRESULT CopyInto(VARIANT* dest, const VARIANT& src);
// Reads the value a VT_BYREF variant refers to into the empty dest (deep copy).
HRESULT CopyReferred(VARIANT* dest, const VARIANT& src);

}  // namespace lyr::com
