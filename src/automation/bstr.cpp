// BSTR helpers.
#include "automation/bstr.h"

#include <cstdint>
#include <new>

#include "rtl/text.h"

namespace lyr::automation {

std::u16string_view BstrView(BSTR text) noexcept {
  if (text == nullptr) {
    return {};
  }
  return {text, ::SysStringLen(text)};
}

BSTR AllocBstr(std::u16string_view text) noexcept {
  return ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::string BstrToAnsi(BSTR text) {
  return rtl::Utf16ToAnsi(BstrView(text));
}

BSTR AnsiToBstr(std::string_view text) {
  return BstrFromBytes(text);
}

std::string BytesFromBstr(BSTR value) {
  const std::u16string_view units = BstrView(value);
  std::string bytes(units.size(), '\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const int byte = rtl::CodePointToAnsiChar(units[i]);
    bytes[i] = byte < 0 ? '?' : static_cast<char>(byte);
  }
  return bytes;
}

BSTR BstrFromBytes(std::string_view bytes) {
  // The BSTR is filled in place: a large content is not held a third time as a u16string.
  if (bytes.size() > (UINT32_MAX - 8) / sizeof(OLECHAR)) {
    throw std::bad_alloc();
  }
  BSTR result = ::SysAllocStringLen(nullptr, static_cast<UINT>(bytes.size()));
  if (result == nullptr) {
    throw std::bad_alloc();
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    result[i] =
        static_cast<char16_t>(rtl::AnsiCharToCodePoint(static_cast<unsigned char>(bytes[i])));
  }
  return result;
}

}  // namespace lyr::automation
