// Raise routine, OS errors and error-code texts.
#include "rtl/errors.h"

#include <cerrno>
#include <cstring>

#include "rtl/trace.h"

namespace lyr::rtl {

void TraceException(std::string_view message) {
  std::string line = "[EXCEPTION ";
  line += message;
  line += ']';
  TraceLine(line);
}

void Raise(std::string message) {
  RaiseError(Exception(std::move(message)));
}

std::string OSErrorMessage(int32_t code) {
  if (code == 0) {
    return "A call to an OS function failed";
  }
  return Format("System Error.  Code: %d.\r\n%s", code, SysErrorText(code));
}

void RaiseOSError(int32_t code) {
  RaiseError(EOSError(OSErrorMessage(code), code));
}

void RaiseLastOSError() {
  RaiseOSError(errno);
}

void RaiseIfOSError(int32_t code) {
  if (code != 0) {
    RaiseOSError(code);
  }
}

void Assert(bool condition, std::string_view message, std::string_view unit,
            std::source_location where) {
  if (!condition) {
    RaiseError(EAssertionFailed(
        Format("%s (%s, line %d)", message, unit, static_cast<int64_t>(where.line()))));
  }
}

std::string SysErrorText(int32_t code) {
  char buffer[256];
  // GNU strerror_r returns a pointer to the text, which may or may not be the buffer.
  const char* text = ::strerror_r(code, buffer, sizeof buffer);
  std::string result = Utf8ToAnsi(std::string_view(text));
  if (result.size() > 256) {
    result.resize(256);
  }
  return result;
}

std::string ErrorCodeText(int32_t code) {
  return Format("0x%.8x (%d): %s", code, code, SysErrorText(code));
}

std::string LastErrorText() {
  return ErrorCodeText(errno);
}

}  // namespace lyr::rtl
