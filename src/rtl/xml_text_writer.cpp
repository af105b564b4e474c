// CXMLTextWriter and the serialiser behind it, which produces well-formed XML 1.0 text.
#include "rtl/xml_text_writer.h"

#include <cstdint>
#include <string>

#include "base/ascii.h"
#include "rtl/errors.h"
#include "rtl/text.h"

namespace lyr::rtl {
namespace {

constexpr std::string_view kDeclaration = R"(<?xml version="1.0" encoding="windows-1251"?>)";
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kIndent = '\t';

// XML 1.0 (section 2.2) allows tab, LF, CR and everything from U+0020 up. The windows-1251 byte
// 0x98 has no character at all, so no parser can decode it.
bool IsXMLChar(unsigned char byte) {
  if (byte < 0x20) {
    return byte == '\t' || byte == '\n' || byte == '\r';
  }
  return byte != 0x98;
}

// XML 1.0 fifth edition, productions [4] and [4a].
bool IsNameStartCodePoint(char32_t c) {
  return c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
         (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD);
}

bool IsNameCodePoint(char32_t c) {
  return IsNameStartCodePoint(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

void CheckName(std::string_view name) {
  bool valid = !name.empty();
  for (size_t i = 0; valid && i < name.size(); ++i) {
    const char32_t c = AnsiCharToCodePoint(static_cast<unsigned char>(name[i]));
    valid = i == 0 ? IsNameStartCodePoint(c) : IsNameCodePoint(c);
  }
  if (!valid) {
    RaiseFmt(u8"Недопустимое имя XML: [%s]", name);
  }
}

// owner names the element or attribute the value belongs to, for the message.
void CheckChars(std::string_view value, std::string_view owner) {
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (!IsXMLChar(byte)) {
      RaiseFmt(u8"Символ с кодом %d недопустим в XML: [%s]", static_cast<int32_t>(byte), owner);
    }
  }
}

void AppendReference(std::string& out, char c) {
  out += "&#";
  out += std::to_string(static_cast<int>(static_cast<unsigned char>(c)));
  out += ';';
}

// Besides what XML 1.0 requires, white space that a reader could lose is written as a character
// reference, which every parser turns back into the character: in attribute values tab, LF and CR
// (attribute-value normalisation, XML 1.0 3.3.3) and the second of two spaces; in text CR (line-end
// normalisation, 2.11), blanks at either end and the second of two spaces. The program's own
// reader trims text, joins lines and collapses spaces, so this keeps every value intact.
void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
  bool after_space = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool at_edge = i == 0 || i + 1 == text.size();
    bool raw_space = false;
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        // Always escaped: a reader that ends a tag at the first ">" must not stop inside a value.
        out += "&gt;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      case '\'':
        out += attribute ? "&apos;" : "'";
        break;
      case ' ':
        if (after_space || (!attribute && at_edge)) {
          AppendReference(out, c);
        } else {
          out += c;
          raw_space = true;
        }
        break;
      case '\t':
      case '\n':
      case '\r':
        if (attribute || c == '\r' || at_edge) {
          AppendReference(out, c);
        } else {
          out += c;
        }
        break;
      default:
        out += c;
    }
    after_space = raw_space;
  }
}

}  // namespace

std::string EscapeXMLText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text, false);
  return out;
}

std::string EscapeXMLAttribute(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  AppendEscaped(out, value, true);
  return out;
}

// The character-level serialiser: declaration, tags with attributes in the given order, escaped
// text, one element per line indented by depth with tabs, CR LF line ends, "<a/>" for an element
// without content. It refuses anything that would make the output malformed.
class XMLSerializer {
 public:
  using Attributes = std::vector<std::pair<std::string, std::string>>;

  void StartDocument() {
    if (!out_.empty()) {
      RaiseFmt(u8"Объявление XML допустимо только в начале документа");
    }
    out_ = kDeclaration;
    declared_ = true;
  }

  void StartElement(std::string_view name, const Attributes& attributes) {
    CheckName(name);
    if (open_.empty() && had_root_ && declared_) {
      RaiseFmt(u8"Второй корневой элемент XML: [%s]", name);
    }
    std::string tag = "<";
    tag += name;
    for (size_t i = 0; i < attributes.size(); ++i) {
      const auto& [attribute, value] = attributes[i];
      CheckName(attribute);
      CheckChars(value, attribute);
      for (size_t j = 0; j < i; ++j) {
        if (attributes[j].first == attribute) {
          RaiseFmt(u8"Атрибут [%s] уже есть в элементе [%s]", attribute, name);
        }
      }
      tag += ' ';
      tag += attribute;
      tag += "=\"";
      AppendEscaped(tag, value, true);
      tag += '"';
    }
    CloseStartTag();
    if (!open_.empty()) {
      open_.back().has_children = true;
    }
    if (!out_.empty()) {
      NewLine(open_.size());
    }
    out_ += tag;
    open_.push_back({std::string(name), false, false});
    tag_open_ = true;
    had_root_ = true;
  }

  void Characters(std::string_view text, std::string_view owner) {
    if (text.empty()) {
      return;
    }
    CheckChars(text, owner);
    if (open_.empty()) {
      RaiseFmt(u8"Текст вне корневого элемента XML недопустим");
    }
    CloseStartTag();
    open_.back().has_text = true;
    AppendEscaped(out_, text, false);
  }

  void EndElement() {
    if (open_.empty()) {
      RaiseFmt(u8"Нет открытого элемента XML для закрытия");
    }
    const Open& top = open_.back();
    if (tag_open_) {
      out_ += "/>";
      tag_open_ = false;
    } else {
      if (top.has_children && !top.has_text) {
        NewLine(open_.size() - 1);
      }
      out_ += "</";
      out_ += top.name;
      out_ += '>';
    }
    open_.pop_back();
  }

  void EndDocument() {
    if (!out_.empty()) {
      out_ += kLineEnd;
    }
  }

  [[nodiscard]] const std::string& Output() const { return out_; }

 private:
  struct Open {
    std::string name;
    bool has_children;
    bool has_text;
  };

  void CloseStartTag() {
    if (tag_open_) {
      out_ += '>';
      tag_open_ = false;
    }
  }

  void NewLine(size_t depth) {
    out_ += kLineEnd;
    out_.append(depth, kIndent);
  }

  std::string out_;
  std::vector<Open> open_;
  bool tag_open_ = false;
  bool declared_ = false;
  bool had_root_ = false;
};

CXMLTextWriter::CXMLTextWriter() {
  Reset();
}

CXMLTextWriter::~CXMLTextWriter() = default;

void CXMLTextWriter::Reset() {
  elements_.clear();
  serializer_ = std::make_unique<XMLSerializer>();
  accepting_ = true;
  pending_start_ = false;
}

void CXMLTextWriter::StartDocument() {
  Guarded([&] { serializer_->StartDocument(); });
}

void CXMLTextWriter::StartElement(std::string_view name) {
  Guarded([&] { DoStartElement(name); });
}

void CXMLTextWriter::AddAttribute(std::string_view name, std::string_view value) {
  Guarded([&] {
    if (!accepting_) {
      RaiseFmt(u8"Нельзя добавить атрибут, уже есть содержимое");
    }
    if (elements_.empty()) {
      return;
    }
    if (value.empty()) {
      RaiseFmt(u8"Попытка записи пустого значения в атрибут [%s]", name);
    }
    elements_.back().attributes.emplace_back(name, value);
  });
}

void CXMLTextWriter::AddAttribute(std::string_view name, bool value) {
  AddAttribute(name, std::string_view(value ? "true" : "false"));
}

void CXMLTextWriter::WriteElement(std::string_view name, std::string_view value) {
  Guarded([&] {
    EmitPendingStart();
    const std::string_view current =
        elements_.empty() ? std::string_view() : std::string_view(elements_.back().name);
    if (!name.empty() && name != current) {
      DoStartElement(name);
      EmitPendingStart();
      serializer_->Characters(value, name);
      DoEndElement();
    } else {
      serializer_->Characters(value, current);
    }
  });
}

void CXMLTextWriter::EndElement() {
  Guarded([&] { DoEndElement(); });
}

void CXMLTextWriter::EndDocument() {
  Guarded([&] {
    EmitPendingStart();
    while (!elements_.empty()) {
      DoEndElement();
    }
    serializer_->EndDocument();
    accepting_ = false;
  });
}

std::string CXMLTextWriter::GetXML() {
  return Guarded([&] {
    constexpr std::string_view kUtf16 = R"(encoding="utf-16")";
    constexpr std::string_view kAnsi = R"(encoding="windows-1251")";
    const std::string& output = serializer_->Output();
    std::string text;
    text.reserve(output.size());
    size_t i = 0;
    while (i < output.size()) {
      if (output[i] == 'e' || output[i] == 'E') {
        if (base::EqualsIgnoringAsciiCase(std::string_view(output).substr(i, kUtf16.size()),
                                          kUtf16)) {
          text += kAnsi;
          i += kUtf16.size();
          continue;
        }
      }
      text += output[i];
      ++i;
    }
    return text;
  });
}

void CXMLTextWriter::EmitPendingStart() {
  if (!pending_start_) {
    return;
  }
  // A start tag the serialiser refuses stays pending, so every later call fails the same way
  // instead of closing the wrong element; the owner resets the writer.
  const OpenElement& top = elements_.back();
  serializer_->StartElement(top.name, top.attributes);
  pending_start_ = false;
}

void CXMLTextWriter::DoStartElement(std::string_view name) {
  if (!accepting_) {
    RaiseFmt(u8"Нельзя добавить элемент, уже есть содержимое");
  }
  EmitPendingStart();
  elements_.push_back({std::string(name), {}});
  pending_start_ = true;
  accepting_ = true;
}

void CXMLTextWriter::DoEndElement() {
  EmitPendingStart();
  if (elements_.empty()) {
    // The serialiser refuses to close an element that is not open.
    serializer_->EndElement();
    return;
  }
  elements_.pop_back();
  accepting_ = true;
  serializer_->EndElement();
}

}  // namespace lyr::rtl
