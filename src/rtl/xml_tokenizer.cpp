// TXMLTokenizer: token scanning, classification and normalisation of token texts.
#include "rtl/xml_tokenizer.h"

#include <cstring>

namespace lyr::rtl {
namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// prefix is lower case.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != prefix[i]) {
      return false;
    }
  }
  return true;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Checked in this order; the first that holds decides.
TXMLTokenKind ClassifyTag(std::string_view tag) {
  if (StartsWithIgnoringCase(tag, "<?xml")) {
    return TXMLTokenKind::Declaration;
  }
  if (StartsWithIgnoringCase(tag, "<!--")) {
    return TXMLTokenKind::Comment;
  }
  if (StartsWithIgnoringCase(tag, "<![cdata[")) {
    return TXMLTokenKind::CData;
  }
  if (EndsWith(tag, "/>")) {
    return TXMLTokenKind::EmptyElementTag;
  }
  if (StartsWithIgnoringCase(tag, "</")) {
    return TXMLTokenKind::EndTag;
  }
  return TXMLTokenKind::StartTag;
}

// Removes every occurrence of pair in one pass from the left; what the removal joins is not
// looked at again.
std::string RemovePairs(std::string_view text, std::string_view pair) {
  std::string out;
  out.reserve(text.size());
  size_t from = 0;
  for (size_t at = text.find(pair); at != std::string_view::npos; at = text.find(pair, from)) {
    out.append(text.substr(from, at - from));
    from = at + pair.size();
  }
  out.append(text.substr(from));
  return out;
}

}  // namespace

TXMLTokenizer::TXMLTokenizer(std::string_view text) {
  Reset(text);
}

void TXMLTokenizer::Reset(std::string_view text) {
  data_ = text.substr(0, text.find('\0'));
  position_ = 0;
  token_start_ = 0;
  line_counter_ = 1;
  NextToken();
}

TXMLTokenKind TXMLTokenizer::NextToken() {
  normalized_.reset();
  SkipBlanks();
  token_start_ = position_;
  if (position_ >= data_.size()) {
    kind_ = TXMLTokenKind::EndOfData;
  } else if (data_[position_] == '<') {
    ScanTag();
  } else {
    ScanText();
  }
  return kind_;
}

const std::string& TXMLTokenizer::GetTokenText() {
  if (!normalized_) {
    normalized_ =
        kind_ == TXMLTokenKind::CData ? std::string(RawText()) : NormalizeTokenText(RawText());
  }
  return *normalized_;
}

std::string TXMLTokenizer::NormalizeTokenText(std::string_view raw) {
  const std::string lines_joined = RemovePairs(RemovePairs(raw, "\r\n"), "\n\r");
  std::string out;
  out.reserve(lines_joined.size());
  for (const char c : lines_joined) {
    if (c != ' ' || out.empty() || out.back() != ' ') {
      out += c;
    }
  }
  return out;
}

// Blanks are every byte up to the space, control characters included.
void TXMLTokenizer::SkipBlanks() {
  while (position_ < data_.size()) {
    const auto byte = static_cast<unsigned char>(data_[position_]);
    if (byte > ' ') {
      return;
    }
    if (byte == '\n') {
      ++line_counter_;
    }
    ++position_;
  }
}

void TXMLTokenizer::ScanTag() {
  const size_t close = data_.find('>', position_);
  position_ = close == std::string_view::npos ? data_.size() : close + 1;
  kind_ = ClassifyTag(RawText());
  if (kind_ != TXMLTokenKind::CData) {
    return;
  }
  // A CDATA section may hold ">" itself: it goes on to the first "]]>".
  while (!EndsWith(RawText(), "]]>") && position_ < data_.size()) {
    const size_t next = data_.find('>', position_);
    position_ = next == std::string_view::npos ? data_.size() : next + 1;
  }
}

void TXMLTokenizer::ScanText() {
  const size_t open = data_.find('<', position_);
  const size_t end = open == std::string_view::npos ? data_.size() : open;
  size_t last = end;
  while (last > position_ && static_cast<unsigned char>(data_[last - 1]) <= ' ') {
    --last;
  }
  position_ = last;
  kind_ = TXMLTokenKind::Text;
}

}  // namespace lyr::rtl
