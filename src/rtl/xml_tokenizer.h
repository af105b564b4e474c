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

}  // namespace lyr::rtl
