// GUIDs: the standard interface identifiers, text forms and random version-4 GUIDs.
#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/ascii.h"
#include "guid_text.h"
#include "lyr/com/com.h"

extern "C" {
const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const CLSID CLSID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IErrorInfo = {
    0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ICreateErrorInfo = {
    0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ISupportErrorInfo = {
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
}

namespace lyr::com {
namespace {

// Positions of the hyphens in the braced form.
bool IsHyphenPosition(size_t i) {
  return i == 9 || i == 14 || i == 19 || i == 24;
}

template <typename Char>
std::optional<GUID> Parse(std::basic_string_view<Char> text) {
  if (text.size() != kGuidTextLength || text.front() != '{' || text.back() != '}') {
    return std::nullopt;
  }
  uint8_t bytes[16] = {};  // the 32 digits in text order
  size_t digit = 0;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    if (IsHyphenPosition(i)) {
      if (text[i] != '-') {
        return std::nullopt;
      }
      continue;
    }
    const int value = base::HexDigitValue(static_cast<char32_t>(text[i]));
    if (value < 0) {
      return std::nullopt;
    }
    bytes[digit / 2] = static_cast<uint8_t>(bytes[digit / 2] << 4 | value);
    ++digit;
  }
  GUID guid{};
  guid.Data1 = uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 |
               uint32_t{bytes[3]};
  guid.Data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  guid.Data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
  std::memcpy(guid.Data4, bytes + 8, 8);
  return guid;
}

}  // namespace

std::optional<GUID> ParseGuid(std::string_view text) {
  return Parse(text);
}
std::optional<GUID> ParseGuid(std::u16string_view text) {
  return Parse(text);
}

std::string FormatGuid(const GUID& guid) {
  char text[kGuidTextLength + 1];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

}  // namespace lyr::com

namespace {

// A copy of the braced form in task memory, or nullptr when out of memory.
LPOLESTR TaskMemGuidText(const GUID& guid) {
  const std::string text = lyr::com::FormatGuid(guid);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
  if (copy != nullptr) {
    for (size_t i = 0; i <= text.size(); ++i) {
      copy[i] = static_cast<OLECHAR>(text.c_str()[i]);
    }
  }
  return copy;
}

size_t Length(const OLECHAR* psz) {
  return std::char_traits<char16_t>::length(psz);
}

}  // namespace

extern "C" {

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (lpsz == nullptr || cchMax < static_cast<int>(lyr::com::kGuidTextLength + 1)) {
    return 0;
  }
  const std::string text = lyr::com::FormatGuid(rguid);
  for (size_t i = 0; i <= text.size(); ++i) {
    lpsz[i] = static_cast<OLECHAR>(text.c_str()[i]);
  }
  return static_cast<int>(text.size() + 1);
}

HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
  if (lplpsz == nullptr) {
    return E_INVALIDARG;
  }
  *lplpsz = TaskMemGuidText(rclsid);
  return *lplpsz != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) {
  return StringFromCLSID(rclsid, lplpsz);
}

HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
  if (lpiid == nullptr) {
    return E_INVALIDARG;
  }
  if (lpsz == nullptr) {
    *lpiid = IID_NULL;
    return S_OK;
  }
  const auto guid = lyr::com::ParseGuid(std::u16string_view(lpsz, Length(lpsz)));
  if (!guid) {
    return E_INVALIDARG;
  }
  *lpiid = *guid;
  return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (pclsid == nullptr) {
    return E_INVALIDARG;
  }
  if (lpsz == nullptr) {
    *pclsid = CLSID_NULL;
    return S_OK;
  }
  const std::u16string_view text(lpsz, Length(lpsz));
  if (const auto guid = lyr::com::ParseGuid(text)) {
    *pclsid = *guid;
    return S_OK;
  }
  *pclsid = CLSID_NULL;
  if (!text.empty() && text.front() == u'{') {
    return CO_E_CLASSSTRING;
  }
  // As ole32 does, a string that is not a braced GUID is tried as a ProgID.
  const HRESULT hr = CLSIDFromProgID(lpsz, pclsid);
  return SUCCEEDED(hr) ? hr : CO_E_CLASSSTRING;
}

HRESULT CoCreateGuid(GUID* pguid) {
  if (pguid == nullptr) {
    return E_INVALIDARG;
  }
  uint8_t bytes[sizeof(GUID)];
  size_t filled = 0;
  while (filled < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + filled, sizeof bytes - filled, 0);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return E_FAIL;
    }
    filled += static_cast<size_t>(n);
  }
  std::memcpy(pguid, bytes, sizeof bytes);
  // RFC 4122 section 4.4: version 4 in the top four bits of Data3, variant 10 in Data4[0].
  pguid->Data3 = static_cast<uint16_t>((pguid->Data3 & 0x0FFF) | 0x4000);
  pguid->Data4[0] = static_cast<uint8_t>((pguid->Data4[0] & 0x3F) | 0x80);
  return S_OK;
}

}  // extern "C"
