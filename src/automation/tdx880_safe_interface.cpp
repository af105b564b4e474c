// Handing SafeMode to child objects; members not built yet; calls from a foreign thread.
#include "automation/tdx880_safe_interface.h"

#include "rtl/errors.h"
#include "rtl/text.h"

namespace lyr::automation {

void CTdx880SafeInterface::PassSafeMode(bool safe_mode, IUnknown* child) {
  ComPtr<ITdx880Safe> safe;
  if (child == nullptr || FAILED(child->QueryInterface(IID_ITdx880Safe, safe.ReceiveVoid()))) {
    rtl::Raise("Interface not supported");
  }
  safe->put_SafeMode(safe_mode ? VARIANT_TRUE : VARIANT_FALSE);
}

void CTdx880SafeInterface::RaiseNotImplemented(std::string_view member) {
  rtl::RaiseFmt(u8"Метод %s не реализован в этой версии библиотеки", std::string(member));
}

HRESULT CTdx880SafeInterface::WrongThread() const noexcept {
  PublishErrorInfo(SafeSource(),
                   rtl::Msg(u8"Объект вызван не из того потока, в котором он создан"));
  return RPC_E_WRONG_THREAD;
}

}  // namespace lyr::automation
