// CXMLTextReader: forgiving forward-only reader over the start tags of one XML document.
#pragma once

#include <string>
#include <string_view>

#include "rtl/base_class.h"
#include "rtl/xml_tokenizer.h"

namespace lyr::rtl {

// Holds one document's text and a cursor on its tokens. SetXML takes any text, fragments
// included, and matches no end tags; SetDocument (what a package's description is read with)
// first checks that the text is one well-formed document. Document classes read their elements
// in the order they were written. The operations documented as guarded follow CBaseClass: errors
// go to the error handler, which by default raises them on. All texts are windows-1251.
class CXMLTextReader final : public CBaseClass {
 public:
  // Empty: the current token is the end of data.
  CXMLTextReader();
  ~CXMLTextReader() override = default;
  CXMLTextReader(const CXMLTextReader&) = delete;
  CXMLTextReader& operator=(const CXMLTextReader&) = delete;

  // Guarded. Replaces the document; the current token becomes its first token. When the first
  // line (up to the first CR LF) contains encoding="utf-8" (exactly so), the text is converted
  // from UTF-8 to windows-1251 first.
  void SetXML(std::string text);
  // Guarded. SetXML for a whole document from outside: after the conversion the text must pass
  // CheckXMLWellFormed (its messages); after a failure the reader holds an empty document.
  void SetDocument(std::string text);
  // Guarded. Forgets the document.
  void Clear();

  // Guarded. Checks that the next start tag is name (any start tag when name is empty) and moves
  // past it to the following start tag. Fails with "Не найден ожидаемый узел [%s] (вместо
  // найденного %s)" naming the tag found.
  void ReadStartElement(std::string_view name);
  // Guarded. Moves to the next start tag named name, which stays current. Fails with "Элемент
  // [%s] не найден" at the end of the document.
  void FindElement(std::string_view name);
  // Guarded. The value of attribute name in the current tag, entities decoded; empty when absent.
  [[nodiscard]] std::string ReadAttribute(std::string_view name);
  // Guarded. True when the attribute reads "true" (any letter case) or "1".
  [[nodiscard]] bool ReadBoolAttribute(std::string_view name);
  // Guarded. The text of the simple element name at the cursor, then moves on. Fails with "Нет
  // элемента с именем [%s]" when the current tag is not name and with "В элементе [%s]
  // содержится не только текст" when the element holds anything but one text.
  [[nodiscard]] std::string ReadElementValue(std::string_view name);

  // The element name of the current tag; empty for end tags, text and the end of data.
  [[nodiscard]] std::string GetCurrentElementName();
  // Moves forward to the next start tag, empty-element tag or the end of data.
  void SkipToStartTag();
  // True when the current token's text contains "<name" followed by a space, "/", ">", a tab or
  // a line feed (case-sensitive).
  [[nodiscard]] bool IsCurrentTag(std::string_view name);
  [[nodiscard]] TXMLTokenKind CurrentKind() const noexcept { return tokenizer_.Kind(); }
  // The normalised text of the current token.
  [[nodiscard]] const std::string& CurrentTokenText() { return tokenizer_.GetTokenText(); }

  // Decodes &quot; &lt; &gt; &apos; &amp; and numeric character references of characters that
  // windows-1251 has, in one pass (so "&amp;lt;" gives "&lt;"); anything else stays as written.
  static std::string DecodeEntities(std::string_view text);

 private:
  std::string text_;
  // Over text_; always valid, so a failed SetXML leaves an empty document behind.
  TXMLTokenizer tokenizer_{std::string_view()};
};

}  // namespace lyr::rtl
