// CTdx880Safe: an object's SafeMode flag and its one error object; and the guards that turn an
// error raised inside a member into LastError, an HRESULT and COM error information.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "automation/bstr.h"
#include "automation/com_ptr.h"
#include "automation/error_info.h"
#include "automation/tdx880_error_class.h"

namespace lyr::automation {

class CTdx880Safe final {
 public:
  // Creates the error object (Code 0, empty Message) belonging to the ProgID's class.
  explicit CTdx880Safe(const std::u16string& prog_id);
  CTdx880Safe(const CTdx880Safe&) = delete;
  CTdx880Safe& operator=(const CTdx880Safe&) = delete;
  ~CTdx880Safe() = default;

  // The error object, the same on every call (a new reference for the caller).
  [[nodiscard]] ITdx880Error* LastError() const noexcept;
  [[nodiscard]] const CTdx880Error_class& Error() const noexcept { return *error_.Get(); }

  // Code := 0, Message := empty.
  void ResetError() noexcept;
  // Code := code, Message := message (windows-1251).
  void RecordError(int32_t code, std::string_view message) noexcept;

  bool SafeMode = false;

 private:
  ComPtr<CComObject<CTdx880Error_class>> error_;
};

// The failure value of a result and its delivery from the body's value.
template <typename Result>
void SetFailureValue(Result* result) noexcept {
  if constexpr (std::is_same_v<Result, VARIANT_BOOL>) {
    *result = VARIANT_FALSE;
  } else {
    *result = Result{};
  }
}

template <typename Result, typename Value>
void StoreResult(Result* result, Value&& value) {
  if constexpr (std::is_same_v<Result, VARIANT_BOOL>) {
    *result = value ? VARIANT_TRUE : VARIANT_FALSE;
  } else if constexpr (std::is_same_v<Result, BSTR> && std::is_same_v<std::decay_t<Value>, BSTR>) {
    *result = value;  // made by the body (a binary value through BstrFromBytes)
  } else if constexpr (std::is_same_v<Result, BSTR>) {
    *result = AnsiToBstr(value);
  } else if constexpr (std::is_pointer_v<Result>) {
    *result = value.Detach();  // a ComPtr of the result's interface
  } else {
    *result = static_cast<Result>(value);
  }
}

// The end of a guarded member whose body raised (called inside the catch block): records the
// error; S_OK in SafeMode, else the trace line, error information and E_UNEXPECTED.
HRESULT GuardedFailure(CTdx880Safe& safe, const ErrorSource& source) noexcept;
// An unguarded member's failure (inside the catch block): error information and E_UNEXPECTED;
// LastError is not touched.
HRESULT UnguardedFailure(const ErrorSource& source) noexcept;

// The one catch of the automation boundary: runs body and gives S_OK; an error of any kind that
// body raises ends in failure(), called inside the catch block so that it reads that error.
template <typename Body, typename Failure>
HRESULT AtBoundary(Body&& body, Failure&& failure) noexcept {
  try {
    body();
    return S_OK;
  } catch (...) {
    return failure();
  }
}

// A guarded member without a result: reset the error object, run, and on an error record it
// (SafeMode returns S_OK).
template <typename Body>
HRESULT GuardedVoid(CTdx880Safe& safe, const ErrorSource& source, Body&& body) noexcept {
  safe.ResetError();
  return AtBoundary(body, [&] { return GuardedFailure(safe, source); });
}

// A guarded member whose body returns the result's value: the failure value first, then as
// GuardedVoid (SafeMode returns S_OK with the failure value).
template <typename Result, typename Body>
HRESULT Guarded(CTdx880Safe& safe, const ErrorSource& source, Result* result,
                Body&& body) noexcept {
  if (result == nullptr) {
    return E_POINTER;
  }
  SetFailureValue(result);
  return GuardedVoid(safe, source, [&] { StoreResult(result, body()); });
}

// An unguarded member: any error becomes E_UNEXPECTED with error information, whatever SafeMode.
template <typename Body>
HRESULT Unguarded(const ErrorSource& source, Body&& body) noexcept {
  return AtBoundary(body, [&] { return UnguardedFailure(source); });
}

// An unguarded getter: the body's value, delivered as Guarded delivers it.
template <typename Result, typename Body>
HRESULT UnguardedGet(const ErrorSource& source, Result* result, Body&& body) noexcept {
  if (result == nullptr) {
    return E_POINTER;
  }
  SetFailureValue(result);
  return Unguarded(source, [&] { StoreResult(result, body()); });
}

}  // namespace lyr::automation
