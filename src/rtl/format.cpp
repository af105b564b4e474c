// Formatting engine behind every message of the library.
#include "rtl/format.h"

#include <cctype>
#include <vector>

#include "base/ascii.h"
#include "rtl/errors.h"

namespace lyr::rtl {
namespace {

struct Directive {
  bool left = false;
  int width = -1;
  int precision = -1;
  char type = 0;
};

[[noreturn]] void InvalidFormat(std::string_view format) {
  throw Exception("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

class Formatter {
 public:
  Formatter(std::string_view format, std::initializer_list<FormatArg> args)
      : format_(format), args_(args) {}

  std::string Run() {
    while (pos_ < format_.size()) {
      const char c = format_[pos_++];
      if (c != '%') {
        out_.push_back(c);
        continue;
      }
      if (pos_ < format_.size() && format_[pos_] == '%') {
        out_.push_back('%');
        ++pos_;
        continue;
      }
      Placeholder();
    }
    return std::move(out_);
  }

 private:
  // Reads a decimal number or "*" (taken from the next argument); -1 when neither is there.
  int Number() {
    if (pos_ < format_.size() && format_[pos_] == '*') {
      ++pos_;
      const int64_t* value = NextArg().AsInteger();
      if (value == nullptr || *value < 0 || *value > 1'000'000) {
        InvalidFormat(format_);
      }
      return static_cast<int>(*value);
    }
    int value = -1;
    while (pos_ < format_.size() && std::isdigit(static_cast<unsigned char>(format_[pos_]))) {
      value = (value < 0 ? 0 : value) * 10 + (format_[pos_++] - '0');
      if (value > 1'000'000) {
        InvalidFormat(format_);
      }
    }
    return value;
  }

  const FormatArg& NextArg() {
    if (next_ >= args_.size()) {
      throw Exception("No argument for format '" + std::string(format_) + "'");
    }
    return args_.begin()[next_++];
  }

  void Placeholder() {
    Directive directive;
    int number = Number();
    if (pos_ < format_.size() && format_[pos_] == ':') {
      if (number < 0) {
        number = 0;
      }
      next_ = static_cast<size_t>(number);
      ++pos_;
      number = -1;
    }
    if (number < 0 && pos_ < format_.size() && format_[pos_] == '-') {
      directive.left = true;
      ++pos_;
      number = Number();
    }
    directive.width = number >= 0 ? number : Number();
    if (pos_ < format_.size() && format_[pos_] == '.') {
      ++pos_;
      directive.precision = Number();
      if (directive.precision < 0) {
        directive.precision = 0;
      }
    }
    if (pos_ >= format_.size()) {
      InvalidFormat(format_);
    }
    directive.type = base::LowerAscii(format_[pos_++]);
    Emit(directive, NextArg());
  }

  void Emit(const Directive& directive, const FormatArg& arg) {
    std::string text;
    if (directive.type == 's') {
      const std::string_view* value = arg.AsText();
      if (value == nullptr) {
        InvalidFormat(format_);
      }
      text = directive.precision >= 0 ? std::string(value->substr(0, directive.precision)) : *value;
    } else if (directive.type == 'd' || directive.type == 'u' || directive.type == 'x') {
      const int64_t* value = arg.AsInteger();
      if (value == nullptr) {
        InvalidFormat(format_);
      }
      text = Integer(directive, *value);
    } else {
      InvalidFormat(format_);
    }
    Pad(directive, text);
  }

  static std::string Integer(const Directive& directive, int64_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const bool negative = directive.type == 'd' && value < 0;
    // "u" and "x" show the 32-bit pattern of a negative number, as the system's integers are.
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    if (directive.type != 'd' && value < 0 && value >= INT32_MIN) {
      magnitude = static_cast<uint32_t>(value);
    }
    const unsigned base = directive.type == 'x' ? 16 : 10;
    std::string digits;
    do {
      digits.insert(digits.begin(), kDigits[magnitude % base]);
      magnitude /= base;
    } while (magnitude != 0);
    if (directive.precision > static_cast<int>(digits.size())) {
      digits.insert(0, static_cast<size_t>(directive.precision) - digits.size(), '0');
    }
    return negative ? "-" + digits : digits;
  }

  void Pad(const Directive& directive, const std::string& text) {
    const size_t width = directive.width > 0 ? static_cast<size_t>(directive.width) : 0;
    const size_t fill = width > text.size() ? width - text.size() : 0;
    if (!directive.left) {
      out_.append(fill, ' ');
    }
    out_ += text;
    if (directive.left) {
      out_.append(fill, ' ');
    }
  }

  std::string_view format_;
  std::initializer_list<FormatArg> args_;
  size_t pos_ = 0;
  size_t next_ = 0;
  std::string out_;
};

}  // namespace

std::string FormatList(std::string_view format, std::initializer_list<FormatArg> args) {
  return Formatter(format, args).Run();
}

}  // namespace lyr::rtl
