// The error model: the root error carrying a message, the OS error, assertion errors, the raise
// routine, and the texts of platform error codes.
#pragma once

#include <cstdint>
#include <exception>
#include <source_location>
#include <string>
#include <string_view>

#include "rtl/format.h"
#include "rtl/text.h"

namespace lyr::rtl {

// Root of the library's errors. The message is windows-1251 text; what() returns it as is.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  [[nodiscard]] const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A failed operating-system call, with the platform's error code (errno on this platform).
class EOSError : public Exception {
 public:
  EOSError(std::string message, int32_t error_code)
      : Exception(std::move(message)), error_code_(error_code) {}
  [[nodiscard]] int32_t ErrorCode() const noexcept { return error_code_; }

 private:
  int32_t error_code_;
};

// Misuse of a container or class by the calling code (a program check), not bad input.
class EAssertionFailed : public Exception {
 public:
  using Exception::Exception;
};

// The raise routine: writes "[EXCEPTION <message>]" to the trace, then throws error.
template <typename E>
[[noreturn]] void RaiseError(E error);
void TraceException(std::string_view message);

template <typename E>
[[noreturn]] void RaiseError(E error) {
  TraceException(error.Message());
  throw error;
}

// Raises an Exception with a windows-1251 message.
[[noreturn]] void Raise(std::string message);

// Raises an Exception whose message is a UTF-8 source text converted to windows-1251 and filled
// with args (windows-1251 texts and integers).
template <typename... Args>
[[noreturn]] void RaiseFmt(std::u8string_view format, const Args&... args) {
  Raise(Format(Msg(format), args...));
}

// Raises EOSError for code: "System Error.  Code: %d." CR LF and the system text, or
// "A call to an OS function failed" for code 0.
[[noreturn]] void RaiseOSError(int32_t code);
// RaiseOSError with the calling thread's errno.
[[noreturn]] void RaiseLastOSError();
// RaiseOSError(code) unless code is 0 (the errno a base:: call returns).
void RaiseIfOSError(int32_t code);
std::string OSErrorMessage(int32_t code);

// Fails with EAssertionFailed "<message> (<unit>, line <n>)" when condition is false.
void Assert(bool condition, std::string_view message, std::string_view unit,
            std::source_location where = std::source_location::current());

// The system's message text for an error code (strerror), at most 256 characters.
std::string SysErrorText(int32_t code);
// "0x" + 8 upper-case hex digits of the thread's last error (errno), " (", signed decimal, "): ",
// the system text.
std::string LastErrorText();
std::string ErrorCodeText(int32_t code);

}  // namespace lyr::rtl
