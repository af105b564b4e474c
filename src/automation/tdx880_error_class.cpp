// The error object: plain get and put of Code and Message.
#include "automation/tdx880_error_class.h"

#include "automation/bstr.h"

namespace lyr::automation {

HRESULT CTdx880Error_class::get_Code(LONG* Value) {
  if (Value == nullptr) {
    return E_POINTER;
  }
  *Value = Code;
  return S_OK;
}

HRESULT CTdx880Error_class::put_Code(LONG Value) {
  Code = Value;
  return S_OK;
}

HRESULT CTdx880Error_class::get_Message(BSTR* Value) {
  if (Value == nullptr) {
    return E_POINTER;
  }
  *Value = AllocBstr(Message);
  return *Value != nullptr || Message.empty() ? S_OK : E_OUTOFMEMORY;
}

HRESULT CTdx880Error_class::put_Message(BSTR Value) {
  try {
    Message = BstrView(Value);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace lyr::automation
