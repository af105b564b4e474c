// JSON Lines for the tool's --json output: one JSON value per line, built member by member from
// library text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lyr::tool {

// Writes one JSON value (usually an object) as library text (windows-1251) for Print, which turns
// it into UTF-8. Strings are library text and may come from outside: the quote, the backslash and
// every control character (terminal.h IsControlCharacter: the bytes below 0x20, 0x7F and 0x98)
// are written as JSON escapes ("\"", "\\", "\n", "\r", "\t", "\u001b", ...), so the line holds no
// control character and no line break of its own.
//
// Members are written in the order of the calls; a member of an object needs its name first (Key
// or one of the member shorthands). Misuse (a value without a name inside an object, a name
// outside one, an end without its begin, Line before every container is ended) is a program check
// that raises rtl::EAssertionFailed.
class JsonWriter final {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The name of the next member of the open object (ASCII, written as it is).
  JsonWriter& Key(std::string_view name);

  // Values.
  JsonWriter& String(std::string_view text);
  JsonWriter& Number(int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // Members: Key(name), then the value (null for an empty optional).
  JsonWriter& Text(std::string_view name, std::string_view text);
  JsonWriter& OptionalText(std::string_view name, const std::optional<std::string>& text);
  JsonWriter& Integer(std::string_view name, int64_t value);
  JsonWriter& OptionalInteger(std::string_view name, std::optional<int64_t> value);
  JsonWriter& Boolean(std::string_view name, bool value);

  // The value written, and a line end.
  [[nodiscard]] std::string Line() const;

 private:
  // Writes the separator a value needs where it stands now.
  void BeforeValue();
  void End(char bracket, bool object);

  struct Open {
    bool object = false;
    bool empty = true;
  };
  std::string text_;
  std::vector<Open> open_;
  bool named_ = false;  // a member's name was written; its value comes next
};

// Seconds since the Unix epoch as JSON texts give times: "YYYY-MM-DDTHH:MM:SSZ" (UTC).
std::string JsonTime(int64_t seconds);

}  // namespace lyr::tool
