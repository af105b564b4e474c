// JSON Lines for the tool's --json output (RFC 8259 texts, one per line).
#include "json_writer.h"

#include <ctime>

#include "rtl/errors.h"
#include "rtl/hex.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

constexpr std::string_view kUnit = "json_writer.cpp";

// text as the body of a JSON string. Control characters that have a short escape in RFC 8259
// get it; the others, 0x7F and 0x98 (U+0098 once converted) become "\u00XX".
void AppendEscaped(std::string& out, std::string_view text) {
  for (const char byte : text) {
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (IsControlCharacter(byte)) {
          out += "\\u00" + rtl::BytesToHexPlain(std::string_view(&byte, 1));
        } else {
          out += byte;
        }
    }
  }
}

}  // namespace

void JsonWriter::BeforeValue() {
  if (open_.empty()) {
    rtl::Assert(text_.empty(), "JsonWriter: a second value at the top level", kUnit);
    return;
  }
  Open& open = open_.back();
  rtl::Assert(open.object == named_, "JsonWriter: a member without a name or a named item", kUnit);
  if (!open.object && !open.empty) {
    text_ += ',';
  }
  open.empty = false;
  named_ = false;
}

JsonWriter& JsonWriter::BeginObject() {
  BeforeValue();
  text_ += '{';
  open_.push_back({true, true});
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  End('}', true);
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  BeforeValue();
  text_ += '[';
  open_.push_back({false, true});
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  End(']', false);
  return *this;
}

void JsonWriter::End(char bracket, bool object) {
  rtl::Assert(!open_.empty() && open_.back().object == object && !named_,
              "JsonWriter: an end without its begin", kUnit);
  open_.pop_back();
  text_ += bracket;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
  rtl::Assert(!open_.empty() && open_.back().object && !named_,
              "JsonWriter: a name outside an object", kUnit);
  if (!open_.back().empty) {
    text_ += ',';
  }
  text_ += '"';
  text_ += name;
  text_ += "\":";
  named_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
  BeforeValue();
  text_ += '"';
  AppendEscaped(text_, text);
  text_ += '"';
  return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  text_ += "null";
  return *this;
}

JsonWriter& JsonWriter::Text(std::string_view name, std::string_view text) {
  return Key(name).String(text);
}

JsonWriter& JsonWriter::OptionalText(std::string_view name,
                                     const std::optional<std::string>& text) {
  return text ? Text(name, *text) : Key(name).Null();
}

JsonWriter& JsonWriter::Integer(std::string_view name, int64_t value) {
  return Key(name).Number(value);
}

JsonWriter& JsonWriter::OptionalInteger(std::string_view name, std::optional<int64_t> value) {
  return value ? Integer(name, *value) : Key(name).Null();
}

JsonWriter& JsonWriter::Boolean(std::string_view name, bool value) {
  return Key(name).Bool(value);
}

std::string JsonWriter::Line() const {
  rtl::Assert(open_.empty() && !text_.empty(), "JsonWriter: the value is not complete", kUnit);
  return text_ + "\n";
}

std::string JsonTime(int64_t seconds) {
  const auto time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  char text[32] = {};
  if (::gmtime_r(&time, &parts) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts) == 0) {
    return "?";
  }
  return text;
}

}  // namespace lyr::tool
