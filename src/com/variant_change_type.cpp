// VariantChangeType: conversions between the automation value types, with oleaut32's rules for
// overflow, mismatch, booleans and text.
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/ascii.h"
#include "lyr/com/com.h"
#include "variant_types.h"

namespace {

// A numeric source value on its way to a numeric target.
struct Number {
  enum class Kind { Signed, Unsigned, Real, Bool } kind = Kind::Signed;
  int64_t s = 0;   // Signed, Bool (-1 or 0)
  uint64_t u = 0;  // Unsigned
  double r = 0;    // Real
};

// Range of an integer target type.
struct IntegerRange {
  VARTYPE vt;
  int64_t min;
  uint64_t max;
  unsigned bits;
};

constexpr IntegerRange kIntegerRanges[] = {
    {VT_I1, INT8_MIN, INT8_MAX, 8},     {VT_UI1, 0, UINT8_MAX, 8},
    {VT_I2, INT16_MIN, INT16_MAX, 16},  {VT_UI2, 0, UINT16_MAX, 16},
    {VT_I4, INT32_MIN, INT32_MAX, 32},  {VT_UI4, 0, UINT32_MAX, 32},
    {VT_INT, INT32_MIN, INT32_MAX, 32}, {VT_UINT, 0, UINT32_MAX, 32},
    {VT_I8, INT64_MIN, INT64_MAX, 64},  {VT_UI8, 0, UINT64_MAX, 64},
};

const IntegerRange* RangeOf(VARTYPE vt) {
  for (const IntegerRange& range : kIntegerRanges) {
    if (range.vt == vt) {
      return &range;
    }
  }
  return nullptr;
}

bool IsReal(VARTYPE vt) {
  return vt == VT_R4 || vt == VT_R8 || vt == VT_DATE;
}

// Writes the integer value into the union member of target's width.
void StoreInteger(VARIANT* out, VARTYPE vt, uint64_t bits) {
  out->vt = vt;
  switch (RangeOf(vt)->bits) {
    case 8:
      out->bVal = static_cast<BYTE>(bits);
      break;
    case 16:
      out->uiVal = static_cast<USHORT>(bits);
      break;
    case 32:
      out->ulVal = static_cast<ULONG>(bits);
      break;
    default:
      out->ullVal = bits;
      break;
  }
}

// Rounds half to even, as oleaut32 does, and checks the range.
HRESULT RealToInteger(double r, const IntegerRange& range, uint64_t* bits) {
  if (std::isnan(r)) {
    return DISP_E_OVERFLOW;
  }
  const double rounded = std::nearbyint(r);
  if (range.min < 0) {
    // [min, max] exactly for every width: 2^63 itself is out of the I8 range.
    if (rounded < static_cast<double>(range.min) ||
        rounded >= std::ldexp(1.0, int(range.bits) - 1)) {
      return DISP_E_OVERFLOW;
    }
    *bits = static_cast<uint64_t>(static_cast<int64_t>(rounded));
    return S_OK;
  }
  if (rounded < 0 || rounded >= std::ldexp(1.0, int(range.bits))) {
    return DISP_E_OVERFLOW;
  }
  *bits = static_cast<uint64_t>(rounded);
  return S_OK;
}

HRESULT StoreNumber(const Number& n, VARTYPE vt, VARIANT* out) {
  if (IsReal(vt)) {
    double r = n.kind == Number::Kind::Real       ? n.r
               : n.kind == Number::Kind::Unsigned ? static_cast<double>(n.u)
                                                  : static_cast<double>(n.s);
    if (vt == VT_R4) {
      if (std::isfinite(r) && std::fabs(r) > FLT_MAX) {
        return DISP_E_OVERFLOW;
      }
      out->vt = VT_R4;
      out->fltVal = static_cast<float>(r);
      return S_OK;
    }
    out->vt = vt;
    out->dblVal = r;
    return S_OK;
  }
  const IntegerRange& range = *RangeOf(vt);
  uint64_t bits = 0;
  switch (n.kind) {
    case Number::Kind::Real: {
      const HRESULT hr = RealToInteger(n.r, range, &bits);
      if (FAILED(hr)) {
        return hr;
      }
      break;
    }
    case Number::Kind::Bool:
      // VARIANT_TRUE is -1: all bits set in any width, signed or not.
      bits = static_cast<uint64_t>(n.s);
      break;
    case Number::Kind::Signed:
      if (n.s < range.min || (n.s > 0 && static_cast<uint64_t>(n.s) > range.max)) {
        return DISP_E_OVERFLOW;
      }
      bits = static_cast<uint64_t>(n.s);
      break;
    case Number::Kind::Unsigned:
      if (n.u > range.max) {
        return DISP_E_OVERFLOW;
      }
      bits = n.u;
      break;
  }
  StoreInteger(out, vt, bits);
  return S_OK;
}

// The text of a BSTR when every character is ASCII, trimmed of surrounding blanks.
bool AsciiText(BSTR bstr, std::string* text) {
  const UINT length = SysStringLen(bstr);
  text->clear();
  for (UINT i = 0; i < length; ++i) {
    if (bstr[i] >= 0x80 || bstr[i] == 0) {
      return false;
    }
    text->push_back(static_cast<char>(bstr[i]));
  }
  const auto first = text->find_first_not_of(" \t");
  const auto last = text->find_last_not_of(" \t");
  *text = first == std::string::npos ? std::string() : text->substr(first, last - first + 1);
  return true;
}

// Parses a decimal number: [sign] digits [. digits] [e [sign] digits], or a fraction without
// leading digits. Whole numbers stay exact integers.
HRESULT ParseNumber(BSTR bstr, Number* out) {
  std::string text;
  if (!AsciiText(bstr, &text) || text.empty()) {
    return DISP_E_TYPEMISMATCH;
  }
  const bool negative = text[0] == '-';
  const size_t start = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  const std::string body = text.substr(start);
  if (body.empty() || body[0] == '+' || body[0] == '-') {
    return DISP_E_TYPEMISMATCH;
  }
  if (body.find_first_not_of("0123456789") == std::string::npos) {
    uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), magnitude);
    if (ec == std::errc::result_out_of_range) {
      return DISP_E_OVERFLOW;
    }
    if (!negative) {
      out->kind = Number::Kind::Unsigned;
      out->u = magnitude;
      return S_OK;
    }
    if (magnitude > uint64_t{1} << 63) {
      return DISP_E_OVERFLOW;
    }
    out->kind = Number::Kind::Signed;
    out->s = static_cast<int64_t>(0 - magnitude);
    return S_OK;
  }
  if (body.find_first_not_of("0123456789.eE+-") != std::string::npos) {
    return DISP_E_TYPEMISMATCH;
  }
  double value = 0;
  const auto [end, ec] =
      std::from_chars(body.data(), body.data() + body.size(), value, std::chars_format::general);
  if (end != body.data() + body.size() || ec == std::errc::invalid_argument) {
    return DISP_E_TYPEMISMATCH;
  }
  if (ec == std::errc::result_out_of_range) {
    return DISP_E_OVERFLOW;
  }
  out->kind = Number::Kind::Real;
  out->r = negative ? -value : value;
  return S_OK;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  return lyr::base::EqualsIgnoringAsciiCase(a, b);
}

// The source as a number: integers, reals, booleans, VT_EMPTY as 0, and decimal text.
HRESULT ToNumber(const VARIANT& src, Number* out) {
  out->kind = Number::Kind::Signed;
  switch (src.vt) {
    case VT_EMPTY:
      out->s = 0;
      return S_OK;
    case VT_I1:
      out->s = src.cVal;
      return S_OK;
    case VT_I2:
      out->s = src.iVal;
      return S_OK;
    case VT_I4:
      out->s = src.lVal;
      return S_OK;
    case VT_INT:
      out->s = src.intVal;
      return S_OK;
    case VT_I8:
      out->s = src.llVal;
      return S_OK;
    case VT_BOOL:
      out->kind = Number::Kind::Bool;
      out->s = src.boolVal != 0 ? -1 : 0;
      return S_OK;
    case VT_UI1:
      out->kind = Number::Kind::Unsigned;
      out->u = src.bVal;
      return S_OK;
    case VT_UI2:
      out->kind = Number::Kind::Unsigned;
      out->u = src.uiVal;
      return S_OK;
    case VT_UI4:
      out->kind = Number::Kind::Unsigned;
      out->u = src.ulVal;
      return S_OK;
    case VT_UINT:
      out->kind = Number::Kind::Unsigned;
      out->u = src.uintVal;
      return S_OK;
    case VT_UI8:
      out->kind = Number::Kind::Unsigned;
      out->u = src.ullVal;
      return S_OK;
    case VT_R4:
      out->kind = Number::Kind::Real;
      out->r = src.fltVal;
      return S_OK;
    case VT_R8:
    case VT_DATE:
      out->kind = Number::Kind::Real;
      out->r = src.dblVal;
      return S_OK;
    case VT_BSTR:
      return ParseNumber(src.bstrVal, out);
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT ToBool(const VARIANT& src, VARIANT* out) {
  if (src.vt == VT_BSTR) {
    std::string text;
    if (AsciiText(src.bstrVal, &text)) {
      if (EqualsIgnoringCase(text, "True")) {
        out->vt = VT_BOOL;
        out->boolVal = VARIANT_TRUE;
        return S_OK;
      }
      if (EqualsIgnoringCase(text, "False")) {
        out->vt = VT_BOOL;
        out->boolVal = VARIANT_FALSE;
        return S_OK;
      }
    }
  }
  Number n;
  const HRESULT hr = ToNumber(src, &n);
  bool value = true;  // text of a number too large for any integer is still not zero
  if (hr == DISP_E_OVERFLOW && src.vt == VT_BSTR) {
    value = true;
  } else if (FAILED(hr)) {
    return hr;
  } else {
    value = n.kind == Number::Kind::Real       ? n.r != 0
            : n.kind == Number::Kind::Unsigned ? n.u != 0
                                               : n.s != 0;
  }
  out->vt = VT_BOOL;
  out->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT StoreText(const std::string& text, VARIANT* out) {
  std::u16string wide(text.begin(), text.end());
  out->bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (out->bstrVal == nullptr) {
    return E_OUTOFMEMORY;
  }
  out->vt = VT_BSTR;
  return S_OK;
}

// Reals in oleaut32's general format: up to 15 significant digits (7 for VT_R4).
std::string RealText(double r, int digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*G", digits, r);
  return buffer;
}

HRESULT ToBstr(const VARIANT& src, USHORT flags, VARIANT* out) {
  switch (src.vt) {
    case VT_EMPTY:
      return StoreText("", out);
    case VT_BOOL:
      if ((flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) != 0) {
        return StoreText(src.boolVal != 0 ? "True" : "False", out);
      }
      return StoreText(src.boolVal != 0 ? "-1" : "0", out);
    case VT_R4:
      return StoreText(RealText(src.fltVal, 7), out);
    case VT_R8:
      return StoreText(RealText(src.dblVal, 15), out);
    default:
      break;
  }
  if (RangeOf(src.vt) == nullptr) {
    return DISP_E_TYPEMISMATCH;
  }
  Number n;
  const HRESULT hr = ToNumber(src, &n);
  if (FAILED(hr)) {
    return hr;
  }
  return StoreText(n.kind == Number::Kind::Unsigned ? std::to_string(n.u) : std::to_string(n.s),
                   out);
}

// The default value (DISPID_VALUE) of an object, as oleaut32 fetches it for a scalar target.
HRESULT DefaultValue(IDispatch* dispatch, VARIANT* value) {
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VariantInit(value);
  const HRESULT hr = dispatch->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value,
                                      nullptr, nullptr);
  if (FAILED(hr)) {
    VariantClear(value);
    return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

HRESULT ToInterface(const VARIANT& src, VARTYPE vt, VARIANT* out) {
  if (src.vt != VT_EMPTY && src.vt != VT_DISPATCH && src.vt != VT_UNKNOWN) {
    return DISP_E_TYPEMISMATCH;
  }
  if (src.vt == VT_EMPTY || src.punkVal == nullptr) {
    // No object converts to a null reference.
    out->vt = vt;
    out->punkVal = nullptr;
    return S_OK;
  }
  const IID& iid = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
  void* object = nullptr;
  if (FAILED(src.punkVal->QueryInterface(iid, &object)) || object == nullptr) {
    return DISP_E_TYPEMISMATCH;
  }
  out->vt = vt;
  out->punkVal = static_cast<IUnknown*>(object);
  return S_OK;
}

HRESULT Coerce(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out);

// An object converted to a scalar through its default value.
HRESULT ObjectToScalar(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out) {
  if ((flags & VARIANT_NOVALUEPROP) != 0 || src.punkVal == nullptr) {
    return DISP_E_TYPEMISMATCH;
  }
  IDispatch* dispatch = nullptr;
  if (FAILED(src.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) ||
      dispatch == nullptr) {
    return DISP_E_TYPEMISMATCH;
  }
  VARIANT value;
  HRESULT hr = DefaultValue(dispatch, &value);
  dispatch->Release();
  if (FAILED(hr)) {
    return hr;
  }
  // A default value that is itself an object is not followed further.
  hr = (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN || !lyr::com::IsValueType(value.vt))
           ? DISP_E_TYPEMISMATCH
           : Coerce(value, flags | VARIANT_NOVALUEPROP, vt, out);
  VariantClear(&value);
  return hr;
}

// Converts the non-reference src into the empty out.
HRESULT Coerce(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out) {
  if (src.vt == vt) {
    return lyr::com::CopyInto(out, src);
  }
  if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
    return ToInterface(src, vt, out);
  }
  if (src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN) {
    return ObjectToScalar(src, flags, vt, out);
  }
  if (vt == VT_BOOL) {
    return ToBool(src, out);
  }
  if (vt == VT_BSTR) {
    return ToBstr(src, flags, out);
  }
  if (RangeOf(vt) != nullptr || IsReal(vt)) {
    if (vt == VT_DATE && src.vt == VT_BSTR) {
      return DISP_E_TYPEMISMATCH;  // date text is not parsed here
    }
    Number n;
    const HRESULT hr = ToNumber(src, &n);
    if (FAILED(hr)) {
      return hr;
    }
    return StoreNumber(n, vt, out);
  }
  // VT_EMPTY, VT_NULL, VT_ERROR and VT_CY convert only from themselves.
  return DISP_E_TYPEMISMATCH;
}

}  // namespace

extern "C" {

HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID /*lcid*/,
                            USHORT wFlags, VARTYPE vt) {
  if (pvargDest == nullptr || pvarSrc == nullptr) {
    return E_INVALIDARG;
  }
  if (!lyr::com::IsHeldType(pvarSrc->vt) || !lyr::com::IsValueType(vt)) {
    return DISP_E_BADVARTYPE;
  }
  VARIANT source;
  VariantInit(&source);
  HRESULT hr = VariantCopyInd(&source, pvarSrc);
  if (FAILED(hr)) {
    return hr;
  }
  VARIANT result;
  VariantInit(&result);
  hr = Coerce(source, wFlags, vt, &result);
  VariantClear(&source);
  if (FAILED(hr)) {
    return hr;
  }
  // The destination may be the source: it is replaced only once the conversion succeeded.
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  std::memcpy(static_cast<void*>(pvargDest), &result, sizeof(VARIANT));
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                          VARTYPE vt) {
  return VariantChangeTypeEx(pvargDest, pvarSrc, 0, wFlags, vt);
}

}  // extern "C"
