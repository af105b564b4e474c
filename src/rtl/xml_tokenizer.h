// TXMLTokenizer: cuts an in-memory XML text into coarse tokens (tags, text, comments, CDATA).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lyr::rtl {

// Token kinds with the numbers the tokenizer stores.
enum class TXMLTokenKind : uint8_t {
  EndOfData = 0,
  Comment = 6,
  Declaration = 8,
  Text = 9,
  StartTag = 10,
  EndTag = 11,
  EmptyElementTag = 12,
  CData = 13,
};

// Walks the whole text forward, one token at a time, in linear time. The text ends at its first
// zero byte, if it has one. A tag runs from "<" to the first ">" (quotes are not honoured) or to
// the end of the text; a text token carries no leading or trailing blanks. The tokenizer keeps
// only the bounds of the current token and copies a token's text when asked for it.
class TXMLTokenizer final {
 public:
  // text must stay alive and unchanged while the tokenizer is used. Reads the first token.
  explicit TXMLTokenizer(std::string_view text);
  // Starts over on text (same contract as the constructor).
  void Reset(std::string_view text);

  // Reads the next token and makes it current; at the end it stays on EndOfData.
  TXMLTokenKind NextToken();
  [[nodiscard]] TXMLTokenKind Kind() const noexcept { return kind_; }
  // The current token as it stands in the text.
  [[nodiscard]] std::string_view RawText() const noexcept {
    return data_.substr(token_start_, position_ - token_start_);
  }
  // The current token's text normalised: CR LF pairs removed, then LF CR pairs removed, then runs
  // of spaces collapsed to one space. A CDATA section comes back raw, markers included.
  [[nodiscard]] const std::string& GetTokenText();
  // 1 plus the line feeds skipped between tokens so far.
  [[nodiscard]] int32_t LineCounter() const noexcept { return line_counter_; }

  // Normalisation of GetTokenText, for any text.
  static std::string NormalizeTokenText(std::string_view raw);

 private:
  void SkipBlanks();
  void ScanTag();
  void ScanText();

  std::string_view data_;
  size_t position_ = 0;
  size_t token_start_ = 0;
  int32_t line_counter_ = 1;
  TXMLTokenKind kind_ = TXMLTokenKind::EndOfData;
  std::optional<std::string> normalized_;
};

// The deepest element nesting CheckXMLWellFormed accepts.
inline constexpr size_t kMaxXMLDepth = 256;

// Checks in one linear pass, without recursion, that text (up to its first zero byte) is one
// well-formed XML document as far as its structure goes: an optional byte order mark, then
// blanks, the XML declaration, processing instructions and comments around exactly one root
// element; every start tag closed by a matching end tag at most kMaxXMLDepth deep; tags, comments,
// processing instructions and CDATA sections terminated; attributes written name="value" or
// name='value' with no "<" in the value, blanks between them and no name twice in one tag; no
// text outside the root and no document type declaration. Names are not checked character by
// character, nor entity references. Fails (Exception) with one of:
//   "Неверный формат XML: нет корневого элемента"
//   "Неверный формат XML: документ закончился внутри элемента [%s]" (the innermost open one)
//   "Неверный формат XML: закрывающий тег [%s] не соответствует элементу [%s]"
//   "Неверный формат XML: закрывающий тег [%s] без открывающего"
//   "Неверный формат XML: атрибут [%s] повторяется в элементе [%s]"
//   "Неверный формат XML: вложенность элементов больше %d"
//   "Неверный формат XML: данные вне корневого элемента (строка %d)"
//   "Неверный формат XML: ошибка разметки в строке %d"
// Names in messages are cut to 64 characters.
void CheckXMLWellFormed(std::string_view text);

}  // namespace lyr::rtl
