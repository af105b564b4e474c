// BSTR helpers.
#include "automation/bstr.h"

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
  const std::u16string wide = rtl::AnsiToUtf16(text);
  BSTR result = AllocBstr(wide);
  if (result == nullptr) {
    throw std::bad_alloc();
  }
  return result;
}

}  // namespace lyr::automation
