// The table-driven dispatcher: finds the slot by DISPID and flags, converts the arguments (which
// arrive in reverse order) with VariantChangeType, calls the slot and returns its retval.
#include "automation/dispatcher.h"

#include <array>
#include <new>

#include "automation/com_ptr.h"
#include "automation/invoker.h"

namespace lyr::automation {
namespace {

std::vector<DispatchMember> CollectMembers(const TypeLibrary& library, std::size_t type_index) {
  std::vector<std::size_t> chain;
  for (int16_t at = static_cast<int16_t>(type_index); at >= 0;
       at = library.types[static_cast<std::size_t>(at)].parent) {
    chain.insert(chain.begin(), static_cast<std::size_t>(at));
  }
  std::vector<DispatchMember> members;
  for (std::size_t owner : chain) {
    const auto& own = library.types[owner].members;
    for (std::size_t i = 0; i < own.size(); ++i) {
      members.push_back({owner, i, &own[i], members.size()});
    }
  }
  return members;
}

// The slot that serves dispid for these flags: a method or get for DISPATCH_METHOD /
// DISPATCH_PROPERTYGET, a put for DISPATCH_PROPERTYPUT.
const DispatchMember* FindMember(std::size_t type_index, DISPID dispid, WORD flags) {
  for (const DispatchMember& entry : DispatchMembersOf(type_index)) {
    if (entry.member->dispid != dispid) {
      continue;
    }
    const MemberKind kind = entry.member->kind;
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
      if (kind == MemberKind::Put) {
        return &entry;
      }
      continue;
    }
    if ((kind == MemberKind::Method && (flags & DISPATCH_METHOD) != 0) ||
        (kind == MemberKind::Get && (flags & DISPATCH_PROPERTYGET) != 0)) {
      return &entry;
    }
  }
  return nullptr;
}

// Owns what the conversion of one argument made: the converted value and a queried interface.
struct ConvertedArgument {
  VARIANT value{};
  ComPtr<IUnknown> object;
  ConvertedArgument() { ::VariantInit(&value); }
  ConvertedArgument(const ConvertedArgument&) = delete;
  ConvertedArgument& operator=(const ConvertedArgument&) = delete;
  ~ConvertedArgument() { ::VariantClear(&value); }
};

VARTYPE TargetType(TypeRef type) {
  switch (type.kind) {
    case ValueKind::Bool:
      return VT_BOOL;
    case ValueKind::Long:
    case ValueKind::Enumeration:
      return VT_I4;
    case ValueKind::String:
      return VT_BSTR;
    case ValueKind::Interface:
      return VT_DISPATCH;
    case ValueKind::None:
      break;
  }
  return VT_EMPTY;
}

HRESULT ConvertArgument(const VARIANT& source, TypeRef type, ConvertedArgument& converted,
                        CallSlot& slot) {
  HRESULT hr = ::VariantCopyInd(&converted.value, &source);
  if (FAILED(hr)) {
    return hr;
  }
  const bool object_given = type.kind == ValueKind::Interface &&
                            (converted.value.vt == VT_UNKNOWN || converted.value.vt == VT_DISPATCH);
  if (!object_given) {
    hr = ::VariantChangeType(&converted.value, &converted.value, 0, TargetType(type));
    if (FAILED(hr)) {
      return hr;
    }
  }
  switch (type.kind) {
    case ValueKind::Bool:
      slot.number = converted.value.boolVal;
      break;
    case ValueKind::Long:
    case ValueKind::Enumeration:
      slot.number = converted.value.lVal;
      break;
    case ValueKind::String:
      slot.text = converted.value.bstrVal;
      break;
    case ValueKind::Interface: {
      IUnknown* given = converted.value.punkVal;
      if (given == nullptr) {
        slot.object = nullptr;
        break;
      }
      const IID& iid = LyrTdxPackage880Library().types[static_cast<std::size_t>(type.type)].guid;
      if (FAILED(given->QueryInterface(iid, converted.object.ReceiveVoid()))) {
        return DISP_E_TYPEMISMATCH;
      }
      slot.object = converted.object.Get();
      break;
    }
    case ValueKind::None:
      break;
  }
  return S_OK;
}

// Moves a successful retval into the host's VARIANT, or frees it when the host gave none.
void DeliverResult(TypeRef type, CallSlot& slot, VARIANT* result) {
  if (result == nullptr) {
    ::SysFreeString(slot.text);
    if (slot.result_object != nullptr) {
      slot.result_object->Release();
    }
    return;
  }
  switch (type.kind) {
    case ValueKind::Bool:
      result->vt = VT_BOOL;
      result->boolVal = slot.number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case ValueKind::Long:
    case ValueKind::Enumeration:
      result->vt = VT_I4;
      result->lVal = static_cast<LONG>(slot.number);
      break;
    case ValueKind::String:
      result->vt = VT_BSTR;
      result->bstrVal = slot.text;
      break;
    case ValueKind::Interface:
      result->vt = VT_DISPATCH;
      result->pdispVal = slot.result_object;
      break;
    case ValueKind::None:
      result->vt = VT_EMPTY;
      break;
  }
}

// A failing member: EXCEPINFO from the thread's error object (which stays set).
HRESULT ReportFailure(HRESULT failure, EXCEPINFO* exception) {
  if (exception == nullptr) {
    return failure;
  }
  *exception = EXCEPINFO{};
  exception->scode = failure;
  ComPtr<IErrorInfo> info;
  if (::GetErrorInfo(0, info.Receive()) == S_OK && info) {
    info->GetDescription(&exception->bstrDescription);
    info->GetSource(&exception->bstrSource);
    ::SetErrorInfo(0, info.Get());
  }
  return DISP_E_EXCEPTION;
}

HRESULT CheckNamedArguments(const DispatchMember& entry, const DISPPARAMS& params) {
  if (entry.member->kind == MemberKind::Put) {
    if (params.cNamedArgs != 1 || params.rgdispidNamedArgs == nullptr ||
        params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return params.cNamedArgs == 0 ? DISP_E_PARAMNOTFOUND : DISP_E_NONAMEDARGS;
    }
    return S_OK;
  }
  return params.cNamedArgs == 0 ? S_OK : DISP_E_NONAMEDARGS;
}

HRESULT InvokeMember(const DispatchMember& entry, IDispatch* self, DISPPARAMS& params,
                     VARIANT* result, EXCEPINFO* exception, UINT* argument_error) {
  const Member& member = *entry.member;
  if (HRESULT hr = CheckNamedArguments(entry, params); FAILED(hr)) {
    return hr;
  }
  if (params.cArgs != member.param_count) {
    return DISP_E_BADPARAMCOUNT;
  }
  if (params.cArgs > 0 && params.rgvarg == nullptr) {
    return E_INVALIDARG;
  }
  std::array<ConvertedArgument, kMaxParams> converted;
  std::array<CallSlot, kMaxParams + 1> slots{};
  for (UINT i = 0; i < member.param_count; ++i) {
    // The host lists the arguments last first.
    const UINT position = params.cArgs - 1 - i;
    const HRESULT hr =
        ConvertArgument(params.rgvarg[position], member.params[i].type, converted[i], slots[i]);
    if (FAILED(hr)) {
      if (argument_error != nullptr) {
        *argument_error = position;
      }
      return hr;
    }
  }
  const bool has_result = member.result.kind != ValueKind::None;
  const std::size_t slot_count = member.param_count + (has_result ? 1 : 0);
  const HRESULT hr = InvokersOf(entry.owner)[entry.index](self, {slots.data(), slot_count});
  CallSlot& retval = slots[member.param_count];
  if (FAILED(hr)) {
    ::SysFreeString(retval.text);
    if (retval.result_object != nullptr) {
      retval.result_object->Release();
    }
    return ReportFailure(hr, exception);
  }
  if (result != nullptr) {
    ::VariantInit(result);
  }
  DeliverResult(member.result, retval, result);
  return hr;
}

}  // namespace

const std::vector<DispatchMember>& DispatchMembersOf(std::size_t type_index) {
  static const std::vector<std::vector<DispatchMember>> all = [] {
    const TypeLibrary& library = LyrTdxPackage880Library();
    std::vector<std::vector<DispatchMember>> views(library.types.size());
    for (std::size_t i = 0; i < library.types.size(); ++i) {
      if (library.types[i].kind == TypeKind::Interface) {
        views[i] = CollectMembers(library, i);
      }
    }
    return views;
  }();
  return all.at(type_index);
}

bool NamesEqual(const OLECHAR* name, std::string_view library_name) noexcept {
  if (name == nullptr) {
    return false;
  }
  auto lower = [](char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
  };
  std::size_t i = 0;
  for (; name[i] != 0; ++i) {
    if (i >= library_name.size() ||
        lower(name[i]) != lower(static_cast<unsigned char>(library_name[i]))) {
      return false;
    }
  }
  return i == library_name.size();
}

HRESULT DispatchGetIDsOfNames(std::size_t type_index, LPOLESTR* names, UINT count,
                              DISPID* ids) noexcept {
  if (count == 0) {
    return S_OK;
  }
  if (names == nullptr || ids == nullptr) {
    return E_POINTER;
  }
  try {
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
    }
    const DispatchMember* found = nullptr;
    for (const DispatchMember& entry : DispatchMembersOf(type_index)) {
      if (NamesEqual(names[0], entry.member->name)) {
        found = &entry;
        break;
      }
    }
    if (found == nullptr) {
      return DISP_E_UNKNOWNNAME;
    }
    ids[0] = found->member->dispid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
      const auto parameters = found->member->Params();
      for (std::size_t p = 0; p < parameters.size(); ++p) {
        if (!parameters[p].name.empty() && NamesEqual(names[i], parameters[p].name)) {
          ids[i] = static_cast<DISPID>(p);
        }
      }
      if (ids[i] == DISPID_UNKNOWN) {
        hr = DISP_E_UNKNOWNNAME;
      }
    }
    return hr;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT DispatchInvoke(std::size_t type_index, IDispatch* self, DISPID dispid, REFIID riid,
                       WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                       UINT* argument_error) noexcept {
  if (riid != IID_NULL) {
    return DISP_E_UNKNOWNINTERFACE;
  }
  if (params == nullptr) {
    return E_INVALIDARG;
  }
  try {
    const DispatchMember* entry = FindMember(type_index, dispid, flags);
    if (entry == nullptr) {
      return DISP_E_MEMBERNOTFOUND;
    }
    return InvokeMember(*entry, self, *params, result, exception, argument_error);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace lyr::automation
