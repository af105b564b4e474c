// CXMLTextWriter: forward-only writer of windows-1251 XML documents with deferred start tags.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rtl/base_class.h"

namespace lyr::rtl {

class XMLSerializer;

// Writes one XML document at a time. The start tag of an element is handed to the serialiser only
// at the next structural call, so attributes may be added until then. Every operation except
// Reset is guarded (CBaseClass): errors go to the error handler, which by default raises them on.
// All texts are windows-1251.
class CXMLTextWriter final : public CBaseClass {
 public:
  CXMLTextWriter();
  ~CXMLTextWriter() override;
  CXMLTextWriter(const CXMLTextWriter&) = delete;
  CXMLTextWriter& operator=(const CXMLTextWriter&) = delete;

  // Forgets everything written and starts a fresh, empty output.
  void Reset();
  // Emits the declaration <?xml version="1.0" encoding="windows-1251"?>; only at the start.
  void StartDocument();
  // Opens a child of the innermost open element (or the root element). Fails after EndDocument
  // with "Нельзя добавить элемент, уже есть содержимое".
  void StartElement(std::string_view name);
  // Adds an attribute to the innermost open element; ignored without an open element, and lost
  // when the element's start tag was already emitted. An empty value fails with "Попытка записи
  // пустого значения в атрибут [name]"; after EndDocument fails with "Нельзя добавить атрибут,
  // уже есть содержимое".
  void AddAttribute(std::string_view name, std::string_view value);
  void AddAttribute(std::string_view name, const char* value) {
    AddAttribute(name, std::string_view(value));
  }
  void AddAttribute(std::string_view name, const std::string& value) {
    AddAttribute(name, std::string_view(value));
  }
  // Writes "true" or "false".
  void AddAttribute(std::string_view name, bool value);
  // With a name other than the innermost open element's: a complete element holding value as
  // text (no content when value is empty). With an empty name or the innermost element's own
  // name: value as text of the innermost element.
  void WriteElement(std::string_view name, std::string_view value);
  // Closes the innermost open element.
  void EndElement();
  // Closes every open element, innermost first, and ends the document.
  void EndDocument();
  // The document text so far (windows-1251 bytes), with every encoding="utf-16" (any letter
  // case) replaced by encoding="windows-1251".
  [[nodiscard]] std::string GetXML();

 private:
  struct OpenElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
  };

  void EmitPendingStart();
  void DoStartElement(std::string_view name);
  void DoEndElement();

  std::unique_ptr<XMLSerializer> serializer_;
  std::vector<OpenElement> elements_;
  bool pending_start_ = false;
  bool accepting_ = true;
};

// Escaping used by the writer, exposed for tests and for other writers of XML text.
// Text content: & < > become &amp; &lt; &gt;; CR, blanks at either end and the second of two
// spaces become character references.
std::string EscapeXMLText(std::string_view text);
// Attribute values: & < > " ' become &amp; &lt; &gt; &quot; &apos;; tab, LF, CR and the second of
// two spaces become character references.
std::string EscapeXMLAttribute(std::string_view value);

}  // namespace lyr::rtl
