// CXMLTextReader: cursor operations, attribute look-up and entity decoding.
#include "rtl/xml_text_reader.h"

#include <array>
#include <cstdint>

#include "base/ascii.h"
#include "rtl/errors.h"
#include "rtl/text.h"

namespace lyr::rtl {
namespace {

bool IsXMLCodePoint(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// reference is "&#...;". Returns the windows-1251 byte it stands for, or -1 when it is malformed
// or names a character that is not an XML character or has no windows-1251 byte.
int DecodeCharReference(std::string_view reference) {
  std::string_view digits = reference.substr(2, reference.size() - 3);
  int base = 10;
  if (!digits.empty() && digits.front() == 'x') {
    base = 16;
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.size() > 8) {
    return -1;
  }
  uint32_t value = 0;
  for (const char c : digits) {
    const int digit = base::HexDigitValue(c);
    if (digit < 0 || digit >= base) {
      return -1;
    }
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
  }
  if (!IsXMLCodePoint(value)) {
    return -1;
  }
  return CodePointToAnsiChar(static_cast<char32_t>(value));
}

// Texts of at most this many characters between "&" and ";" can be references we decode.
constexpr size_t kLongestReference = 12;

}  // namespace

CXMLTextReader::CXMLTextReader() = default;

void CXMLTextReader::SetXML(std::string text) {
  Guarded([&] {
    tokenizer_.Reset({});
    const size_t line_end = text.find("\r\n");
    const std::string_view first_line = std::string_view(text).substr(
        0, line_end == std::string::npos ? text.size() : line_end + 1);
    if (first_line.find(R"(encoding="utf-8")") != std::string_view::npos) {
      text_ = Utf8ToAnsi(std::string_view(text));
    } else {
      text_ = std::move(text);
    }
    tokenizer_.Reset(text_);
  });
}

void CXMLTextReader::SetDocument(std::string text) {
  Guarded([&] {
    // A UTF-8 byte order mark only says how the text is encoded.
    if (text.starts_with("\xEF\xBB\xBF")) {
      text.erase(0, 3);
    }
    SetXML(std::move(text));
    try {
      CheckXMLWellFormed(text_);
    } catch (...) {
      tokenizer_.Reset({});
      text_.clear();
      throw;
    }
  });
}

void CXMLTextReader::Clear() {
  Guarded([&] {
    tokenizer_.Reset({});
    text_.clear();
    text_.shrink_to_fit();
  });
}

void CXMLTextReader::ReadStartElement(std::string_view name) {
  Guarded([&] {
    SkipToStartTag();
    if (!name.empty() && !IsCurrentTag(name)) {
      RaiseFmt(u8"Не найден ожидаемый узел [%s] (вместо найденного %s)", name,
               tokenizer_.GetTokenText());
    }
    tokenizer_.NextToken();
    SkipToStartTag();
  });
}

void CXMLTextReader::FindElement(std::string_view name) {
  Guarded([&] {
    do {
      SkipToStartTag();
      if (IsCurrentTag(name)) {
        return;
      }
      tokenizer_.NextToken();
    } while (tokenizer_.Kind() != TXMLTokenKind::EndOfData);
    RaiseFmt(u8"Элемент [%s] не найден", name);
  });
}

std::string CXMLTextReader::ReadAttribute(std::string_view name) {
  return Guarded([&] {
    const std::string& tag = tokenizer_.GetTokenText();
    const auto value_in = [&](char quote) -> std::string_view {
      const std::string pattern = " " + std::string(name) + "=" + quote;
      const size_t at = tag.find(pattern);
      if (at == std::string::npos) {
        return {};
      }
      const size_t from = at + pattern.size();
      const size_t to = tag.find(quote, from);
      if (to == std::string::npos) {
        return {};
      }
      return std::string_view(tag).substr(from, to - from);
    };
    std::string_view value = value_in('"');
    if (value.empty()) {
      value = value_in('\'');
    }
    return DecodeEntities(value);
  });
}

bool CXMLTextReader::ReadBoolAttribute(std::string_view name) {
  return Guarded([&] {
    const std::string value = ReadAttribute(name);
    if (value == "1") {
      return true;
    }
    return base::EqualsIgnoringAsciiCase(value, "true");
  });
}

std::string CXMLTextReader::ReadElementValue(std::string_view name) {
  return Guarded([&]() -> std::string {
    if (!IsCurrentTag(name)) {
      RaiseFmt(u8"Нет элемента с именем [%s]", name);
    }
    if (tokenizer_.Kind() == TXMLTokenKind::EmptyElementTag) {
      tokenizer_.NextToken();
      return {};
    }
    if (tokenizer_.NextToken() == TXMLTokenKind::EndTag) {
      tokenizer_.NextToken();
      return {};
    }
    if (tokenizer_.Kind() != TXMLTokenKind::Text) {
      RaiseFmt(u8"В элементе [%s] содержится не только текст", name);
    }
    const std::string value = tokenizer_.GetTokenText();
    tokenizer_.NextToken();
    SkipToStartTag();
    return DecodeEntities(value);
  });
}

std::string CXMLTextReader::GetCurrentElementName() {
  const std::string_view tag = tokenizer_.GetTokenText();
  const size_t open = tag.find('<');
  if (open == std::string_view::npos) {
    return {};
  }
  const std::string_view after = tag.substr(open + 1);
  const auto candidate = [&](char delimiter) -> std::string_view {
    const size_t end = after.find(delimiter);
    if (end == std::string_view::npos) {
      return {};
    }
    const std::string_view name = after.substr(0, end);
    if (name.find_first_of(" /><") != std::string_view::npos) {
      return {};
    }
    return name;
  };
  for (const char delimiter : {'>', '/', ' '}) {
    const std::string_view name = candidate(delimiter);
    if (!name.empty()) {
      return std::string(name);
    }
  }
  return {};
}

void CXMLTextReader::SkipToStartTag() {
  for (;;) {
    const TXMLTokenKind kind = tokenizer_.Kind();
    if (kind == TXMLTokenKind::StartTag || kind == TXMLTokenKind::EmptyElementTag ||
        kind == TXMLTokenKind::EndOfData) {
      return;
    }
    tokenizer_.NextToken();
  }
}

bool CXMLTextReader::IsCurrentTag(std::string_view name) {
  const std::string_view text = tokenizer_.GetTokenText();
  const std::string head = "<" + std::string(name);
  for (size_t at = text.find(head); at != std::string_view::npos; at = text.find(head, at + 1)) {
    const size_t next = at + head.size();
    if (next < text.size()) {
      const char c = text[next];
      if (c == ' ' || c == '/' || c == '>' || c == '\t' || c == '\n') {
        return true;
      }
    }
  }
  return false;
}

std::string CXMLTextReader::DecodeEntities(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed = {{
      {"&quot;", '"'},
      {"&lt;", '<'},
      {"&gt;", '>'},
      {"&apos;", '\''},
      {"&amp;", '&'},
  }};
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t amp = text.find('&', i);
    if (amp == std::string_view::npos) {
      break;
    }
    out.append(text.substr(i, amp - i));
    i = amp;
    const size_t semicolon = text.substr(amp, kLongestReference + 2).find(';');
    if (semicolon != std::string_view::npos) {
      const std::string_view reference = text.substr(amp, semicolon + 1);
      int decoded = -1;
      for (const auto& [entity, character] : kNamed) {
        if (reference == entity) {
          decoded = static_cast<unsigned char>(character);
        }
      }
      if (decoded < 0 && reference.size() > 3 && reference[1] == '#') {
        decoded = DecodeCharReference(reference);
      }
      if (decoded >= 0) {
        out += static_cast<char>(decoded);
        i += reference.size();
        continue;
      }
    }
    out += '&';
    ++i;
  }
  out.append(text.substr(i));
  return out;
}

}  // namespace lyr::rtl
