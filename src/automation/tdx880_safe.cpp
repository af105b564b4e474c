// The SafeMode companion and the guards' failure paths.
#include "automation/tdx880_safe.h"

#include "rtl/text.h"
#include "rtl/trace.h"

namespace lyr::automation {

CTdx880Safe::CTdx880Safe(const std::u16string& prog_id)
    : error_(MakeObject<CTdx880Error_class>(prog_id)) {}

ITdx880Error* CTdx880Safe::LastError() const noexcept {
  ITdx880Error* error = error_->DispatchPointer();
  error->AddRef();
  return error;
}

void CTdx880Safe::ResetError() noexcept {
  error_->Code = 0;
  error_->Message.clear();
}

void CTdx880Safe::RecordError(int32_t code, std::string_view message) noexcept {
  error_->Code = code;
  try {
    error_->Message = rtl::AnsiToUtf16(message);
  } catch (...) {
    error_->Message.clear();
  }
}

HRESULT GuardedFailure(CTdx880Safe& safe, const ErrorSource& source) noexcept {
  int32_t code = -1;
  const std::string message = CurrentExceptionMessage(&code);
  safe.RecordError(code, message);
  if (safe.SafeMode) {
    return S_OK;
  }
  rtl::DebugLog("EXCEPTION %s", message);
  PublishErrorInfo(source, message);
  return E_UNEXPECTED;
}

HRESULT UnguardedFailure(const ErrorSource& source) noexcept {
  int32_t code = -1;
  const std::string message = CurrentExceptionMessage(&code);
  PublishErrorInfo(source, message);
  return E_UNEXPECTED;
}

}  // namespace lyr::automation
