// IDispatch by the type library table: names to DISPIDs and Invoke for one dual interface, calling
// the member's vtable slot through its invoker.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "automation/type_library.h"
#include "lyr/com/com.h"

namespace lyr::automation {

// A member of an interface's dispatch view: the interface that declares it, the member, and its
// vtable slot (counted from the first slot after IDispatch's seven).
struct DispatchMember {
  std::size_t owner;
  std::size_t index;  // in the owner's members
  const Member* member;
  std::size_t slot;
};

// Every member of the interface, its parents' first, in slot order.
const std::vector<DispatchMember>& DispatchMembersOf(std::size_t type_index);

// ASCII case-insensitive equality of a host's name and a library name.
bool NamesEqual(const OLECHAR* name, std::string_view library_name) noexcept;

// IDispatch::GetIDsOfNames: the member's DISPID, then the DISPIDs (positions) of the named
// parameters; DISP_E_UNKNOWNNAME when a name is not there (its DISPID is DISPID_UNKNOWN).
HRESULT DispatchGetIDsOfNames(std::size_t type_index, LPOLESTR* names, UINT count,
                              DISPID* ids) noexcept;

// IDispatch::Invoke on `self`, an IDispatch pointer of the interface type_index.
HRESULT DispatchInvoke(std::size_t type_index, IDispatch* self, DISPID dispid, REFIID riid,
                       WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                       UINT* argument_error) noexcept;

}  // namespace lyr::automation
