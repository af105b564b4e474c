// Handing SafeMode to child objects.
#include "automation/tdx880_safe_interface.h"

#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/text.h"

namespace lyr::automation {

void CTdx880SafeInterface::PassSafeMode(bool safe_mode, IUnknown* child) {
  ComPtr<ITdx880Safe> safe;
  if (child == nullptr || FAILED(child->QueryInterface(IID_ITdx880Safe, safe.ReceiveVoid()))) {
    rtl::Raise("Interface not supported");
  }
  safe->put_SafeMode(safe_mode ? VARIANT_TRUE : VARIANT_FALSE);
}

HRESULT CTdx880SafeInterface::NotImplemented(std::string_view member) noexcept {
  try {
    PublishErrorInfo(SafeSource(),
                     rtl::Format(rtl::Msg(u8"Метод %s не реализован в этой версии библиотеки"),
                                 std::string(member)));
  } catch (...) {
    ::SetErrorInfo(0, nullptr);
  }
  return E_NOTIMPL;
}

}  // namespace lyr::automation
