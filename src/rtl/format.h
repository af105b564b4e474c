// Message formatting with the system's placeholders: "%s", "%d", "%u", "%x", indexed "%0:s", and
// "%%".
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace lyr::rtl {

// One argument of Format: an integer or a (windows-1251) text.
class FormatArg {
 public:
  template <std::integral T>
  FormatArg(T value) : value_(static_cast<int64_t>(value)) {}  // NOLINT(runtime/explicit)
  FormatArg(std::string_view text) : value_(text) {}           // NOLINT(runtime/explicit)
  FormatArg(const std::string& text) : value_(std::string_view(text)) {}  // NOLINT
  FormatArg(const char* text) : value_(std::string_view(text)) {}         // NOLINT

  [[nodiscard]] const int64_t* AsInteger() const { return std::get_if<int64_t>(&value_); }
  [[nodiscard]] const std::string_view* AsText() const {
    return std::get_if<std::string_view>(&value_);
  }

 private:
  std::variant<int64_t, std::string_view> value_;
};

// Fills format with args. A placeholder is "%" [index ":"] ["-"] [width] ["." precision] type,
// with type one of d, u, x (upper-case hexadecimal), s, in either case; "%%" is a percent sign.
// An index selects an argument; later placeholders without index continue after it. Width pads
// with blanks (on the right with "-"); precision is the minimum digit count of a number and the
// maximum length of a text. Throws Exception for a malformed format, a missing argument or an
// argument of the wrong kind.
std::string FormatList(std::string_view format, std::initializer_list<FormatArg> args);

template <typename... Args>
std::string Format(std::string_view format, const Args&... args) {
  return FormatList(format, {FormatArg(args)...});
}

}  // namespace lyr::rtl
