// CBaseClass: error handling of guarded operations.
#include "rtl/base_class.h"

#include <cstdio>
#include <exception>

namespace lyr::rtl {

bool CBaseClass::HandleException(Exception& error, std::string_view context) {
  if (!context.empty()) {
    error.SetMessage(Format("%s: [%s]", context, error.Message()));
  }
  if (handler_) {
    handler_(error, *this);
  } else if (const auto* os_error = dynamic_cast<const EOSError*>(&error)) {
    ShowErrorBox(Format("Error code = %d, %s", os_error->ErrorCode(), error.Message()));
  } else {
    ShowErrorBox(error.Message());
  }
  return false;
}

void CBaseClass::ReRaise(Exception& error, CBaseClass& /*sender*/) {
  if (const auto* os_error = dynamic_cast<const EOSError*>(&error)) {
    RaiseError(EOSError(error.Message(), os_error->ErrorCode()));
  }
  Raise(error.Message());
}

// Every kind of failure becomes an Exception carrying a message, so handlers see one type.
void CBaseClass::HandleCurrentException(std::string_view context) {
  try {
    throw;
  } catch (Exception& error) {
    HandleException(error, context);
  } catch (const std::bad_alloc&) {
    Exception error("Out of memory");
    HandleException(error, context);
  } catch (const std::exception& other) {
    Exception error(other.what());
    HandleException(error, context);
  } catch (...) {
    Exception error("Unknown error");
    HandleException(error, context);
  }
}

void ShowErrorBox(std::string_view message) noexcept {
  try {
    const std::string text = AnsiToUtf8String(Format("%s: %s\n", Msg(u8"Ошибка"), message));
    std::fwrite(text.data(), 1, text.size(), stderr);
  } catch (...) {
    std::fputs("Error\n", stderr);
  }
}

}  // namespace lyr::rtl
