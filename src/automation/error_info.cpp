// Publishing COM error information, and reading the exception being handled.
#include "automation/error_info.h"

#include <exception>
#include <new>

#include "automation/com_ptr.h"
#include "rtl/errors.h"
#include "rtl/text.h"

namespace lyr::automation {

void PublishErrorInfo(const ErrorSource& source, std::string_view message) noexcept {
  ::SetErrorInfo(0, nullptr);
  try {
    ComPtr<ICreateErrorInfo> creator;
    if (FAILED(::CreateErrorInfo(creator.Receive())) || !creator) {
      return;
    }
    std::u16string description = rtl::AnsiToUtf16(message);
    std::u16string prog_id(source.prog_id);
    creator->SetDescription(description.data());
    creator->SetSource(prog_id.data());
    if (source.iid != nullptr) {
      creator->SetGUID(*source.iid);
    }
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(creator->QueryInterface(IID_IErrorInfo, info.ReceiveVoid()))) {
      ::SetErrorInfo(0, info.Get());
    }
  } catch (...) {
    // Out of memory while describing an error: the HRESULT still tells the host.
  }
}

std::string CurrentExceptionMessage(int32_t* code) noexcept {
  *code = -1;
  try {
    try {
      throw;
    } catch (const rtl::EOSError& error) {
      *code = error.ErrorCode();
      return error.Message();
    } catch (const rtl::Exception& error) {
      return error.Message();
    } catch (const std::bad_alloc&) {
      return "Out of memory";
    } catch (const std::exception& error) {
      return error.what();
    } catch (...) {
      return "Unknown error";
    }
  } catch (...) {
    return {};
  }
}

}  // namespace lyr::automation
