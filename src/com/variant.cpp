// VARIANT lifetime: initialising, clearing, copying and copying through references.
#include <cstring>

#include "lyr/com/com.h"
#include "variant_types.h"

namespace lyr::com {

bool IsValueType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

bool IsHeldType(VARTYPE vt) {
  if ((vt & VT_BYREF) == 0) {
    return IsValueType(vt);
  }
  const VARTYPE base = vt & static_cast<VARTYPE>(~VT_BYREF);
  return base == VT_VARIANT || (base != VT_EMPTY && base != VT_NULL && IsValueType(base));
}

HRESULT CopyInto(VARIANT* dest, const VARIANT& src) {
  std::memcpy(static_cast<void*>(dest), &src, sizeof(VARIANT));
  switch (src.vt) {
    case VT_BSTR:
      if (src.bstrVal != nullptr) {
        dest->bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src.bstrVal),
                                              SysStringByteLen(src.bstrVal));
        if (dest->bstrVal == nullptr) {
          dest->vt = VT_EMPTY;
          return E_OUTOFMEMORY;
        }
      }
      break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      if (src.punkVal != nullptr) {
        src.punkVal->AddRef();
      }
      break;
    default:
      break;
  }
  return S_OK;
}

namespace {

// The value behind a reference, as a shallow VARIANT of the referred type.
HRESULT LoadReferred(const VARIANT& src, VARIANT* shallow) {
  const VARTYPE base = src.vt & static_cast<VARTYPE>(~VT_BYREF);
  if (src.byref == nullptr) {
    return E_INVALIDARG;
  }
  VariantInit(shallow);
  shallow->vt = base;
  switch (base) {
    case VT_I1:
    case VT_UI1:
      shallow->bVal = *src.pbVal;
      break;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      shallow->iVal = *src.piVal;
      break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
      shallow->lVal = *src.plVal;
      break;
    case VT_R4:
      shallow->fltVal = *src.pfltVal;
      break;
    case VT_R8:
    case VT_DATE:
      shallow->dblVal = *src.pdblVal;
      break;
    case VT_I8:
    case VT_UI8:
    case VT_CY:
      shallow->llVal = *src.pllVal;
      break;
    case VT_BSTR:
      shallow->bstrVal = *src.pbstrVal;
      break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      shallow->punkVal = *src.ppunkVal;
      break;
    default:
      return DISP_E_BADVARTYPE;
  }
  return S_OK;
}

}  // namespace

HRESULT CopyReferred(VARIANT* dest, const VARIANT& src) {
  if (src.vt == (VT_BYREF | VT_VARIANT)) {
    if (src.pvarVal == nullptr) {
      return E_INVALIDARG;
    }
    const VARIANT& inner = *src.pvarVal;
    // One level of reference only: a variant referring to another reference is refused.
    if ((inner.vt & VT_BYREF) != 0) {
      return E_INVALIDARG;
    }
    if (!IsValueType(inner.vt)) {
      return DISP_E_BADVARTYPE;
    }
    return CopyInto(dest, inner);
  }
  VARIANT shallow;
  const HRESULT hr = LoadReferred(src, &shallow);
  if (FAILED(hr)) {
    return hr;
  }
  return CopyInto(dest, shallow);
}

}  // namespace lyr::com

extern "C" {

void VariantInit(VARIANTARG* pvarg) {
  if (pvarg != nullptr) {
    pvarg->vt = VT_EMPTY;
  }
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) {
    return E_INVALIDARG;
  }
  if (!lyr::com::IsHeldType(pvarg->vt)) {
    return DISP_E_BADVARTYPE;
  }
  switch (pvarg->vt) {
    case VT_BSTR:
      SysFreeString(pvarg->bstrVal);
      break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      if (pvarg->punkVal != nullptr) {
        pvarg->punkVal->Release();
      }
      break;
    default:
      break;
  }
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) {
    return E_INVALIDARG;
  }
  if (!lyr::com::IsHeldType(pvargSrc->vt)) {
    return DISP_E_BADVARTYPE;
  }
  if (pvargDest == pvargSrc) {
    return S_OK;
  }
  const HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    return hr;
  }
  return lyr::com::CopyInto(pvargDest, *pvargSrc);
}

HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
  if (pvarDest == nullptr || pvargSrc == nullptr) {
    return E_INVALIDARG;
  }
  if ((pvargSrc->vt & VT_BYREF) == 0) {
    return VariantCopy(pvarDest, pvargSrc);
  }
  if (!lyr::com::IsHeldType(pvargSrc->vt)) {
    return DISP_E_BADVARTYPE;
  }
  // Copy aside first: the destination may be the source itself.
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = lyr::com::CopyReferred(&value, *pvargSrc);
  if (FAILED(hr)) {
    return hr;
  }
  hr = VariantClear(pvarDest);
  if (FAILED(hr)) {
    VariantClear(&value);
    return hr;
  }
  std::memcpy(static_cast<void*>(pvarDest), &value, sizeof(VARIANT));
  return S_OK;
}

}  // extern "C"
