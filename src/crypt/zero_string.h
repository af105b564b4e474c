// CZeroString: an optional heap copy of a null-terminated string (absent and empty differ).
#pragma once

#include <memory>
#include <string_view>

namespace lyr::crypt {

class CZeroString final {
 public:
  CZeroString() = default;
  ~CZeroString() { Close(); }
  CZeroString(const CZeroString&) = delete;
  CZeroString& operator=(const CZeroString&) = delete;

  // Replaces the copy with a copy of text. A null text raises "Parameter pszObjId = NULL of
  // CZeroString.Open is invalid".
  void Open(const char* text);
  // Frees the copy; the string is absent afterwards.
  void Close() noexcept;
  // The copy, or nullptr when absent.
  [[nodiscard]] const char* Value() const noexcept { return present_ ? text_.get() : nullptr; }
  [[nodiscard]] bool Present() const noexcept { return present_; }

 private:
  bool present_ = false;
  std::unique_ptr<char[]> text_;
};

}  // namespace lyr::crypt
