// CBaseClass: root of the library's own classes, with a replaceable error handler and guarded
// operations.
#pragma once

#include <functional>
#include <new>
#include <string_view>
#include <type_traits>

#include "rtl/errors.h"

namespace lyr::rtl {

class CBaseClass {
 public:
  // Called with the caught error (its message already prefixed by the context) and the object
  // whose guarded operation caught it. It may throw to pass the error on.
  using ErrorHandler = std::function<void(Exception& error, CBaseClass& sender)>;

  CBaseClass() = default;
  virtual ~CBaseClass() = default;
  CBaseClass(const CBaseClass&) = default;
  CBaseClass& operator=(const CBaseClass&) = default;

  // Prefixes the message with "context: [...]" when context is not empty, then passes the error to
  // the handler; with no handler, shows the message on standard error (captioned "Ошибка").
  // Returns false when the handler returns.
  virtual bool HandleException(Exception& error, std::string_view context);

  // An empty handler clears it; ReRaise is the default.
  void SetErrorHandler(ErrorHandler handler) { handler_ = std::move(handler); }
  [[nodiscard]] const ErrorHandler& GetErrorHandler() const noexcept { return handler_; }

  // The default handler: raises a fresh error with the same message (an OS error keeps its code).
  static void ReRaise(Exception& error, CBaseClass& sender);

 protected:
  // Runs body as a guarded operation: any error raised inside goes to HandleException; if that
  // returns, the operation returns a value-initialised result (false, 0, null, empty).
  template <typename Body>
  auto Guarded(Body&& body, std::string_view context = {}) -> std::invoke_result_t<Body>;

 private:
  void HandleCurrentException(std::string_view context);

  ErrorHandler handler_ = &CBaseClass::ReRaise;
};

template <typename Body>
auto CBaseClass::Guarded(Body&& body, std::string_view context) -> std::invoke_result_t<Body> {
  using Result = std::invoke_result_t<Body>;
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    HandleCurrentException(context);
  }
  if constexpr (!std::is_void_v<Result>) {
    return Result{};
  }
}

// Writes message to standard error under the caption "Ошибка" (the platform's error box).
void ShowErrorBox(std::string_view message) noexcept;

}  // namespace lyr::rtl
