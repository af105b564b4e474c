// TXMLTokenizer: token scanning, classification and normalisation of token texts.
#include "rtl/xml_tokenizer.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "base/ascii.h"
#include "rtl/errors.h"

namespace lyr::rtl {
namespace {

using base::LowerAscii;

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

// ---- Well-formedness ---------------------------------------------------------------------------

namespace {

bool IsXMLBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A name ends at a blank or a markup character.
bool EndsName(char c) {
  return IsXMLBlank(c) || c == '/' || c == '>' || c == '<' || c == '=' || c == '"' || c == '\'';
}

std::string Shown(std::string_view name) {
  constexpr size_t kLongest = 64;
  return std::string(name.substr(0, kLongest));
}

// One pass over the text with an explicit stack of open elements.
class WellFormedChecker final {
 public:
  explicit WellFormedChecker(std::string_view text) : data_(text.substr(0, text.find('\0'))) {}

  void Check() {
    if (data_.starts_with("\xEF\xBB\xBF")) {
      position_ = 3;
    }
    while (position_ < data_.size()) {
      if (data_[position_] != '<') {
        Text();
      } else if (Ahead("<?")) {
        SkipPast("?>");
      } else if (Ahead("<!--")) {
        SkipPast("-->");
      } else if (Ahead("<![CDATA[")) {
        if (open_.empty()) {
          SyntaxError();
        }
        SkipPast("]]>");
      } else if (Ahead("</")) {
        EndTag();
      } else if (Ahead("<!")) {
        SyntaxError();  // document type declarations are not read
      } else {
        StartTag();
      }
    }
    if (!open_.empty()) {
      RaiseFmt(u8"Неверный формат XML: документ закончился внутри элемента [%s]",
               Shown(open_.back()));
    }
    if (!root_seen_) {
      RaiseFmt(u8"Неверный формат XML: нет корневого элемента");
    }
  }

 private:
  [[nodiscard]] bool Ahead(std::string_view marker) const {
    return data_.substr(position_).starts_with(marker);
  }

  [[nodiscard]] int32_t Line() const {
    const std::string_view before = data_.substr(0, position_);
    return static_cast<int32_t>(std::count(before.begin(), before.end(), '\n')) + 1;
  }

  [[noreturn]] void SyntaxError() const {
    RaiseFmt(u8"Неверный формат XML: ошибка разметки в строке %d", Line());
  }

  void SkipPast(std::string_view marker) {
    const size_t end = data_.find(marker, position_ + 2);
    if (end == std::string_view::npos) {
      SyntaxError();
    }
    position_ = end + marker.size();
  }

  void SkipBlanks() {
    while (position_ < data_.size() && IsXMLBlank(data_[position_])) {
      ++position_;
    }
  }

  std::string_view Name() {
    const size_t start = position_;
    while (position_ < data_.size() && !EndsName(data_[position_])) {
      ++position_;
    }
    if (position_ == start) {
      SyntaxError();
    }
    return data_.substr(start, position_ - start);
  }

  void Text() {
    const size_t end = std::min(data_.find('<', position_), data_.size());
    if (open_.empty()) {
      for (size_t i = position_; i < end; ++i) {
        if (!IsXMLBlank(data_[i])) {
          position_ = i;
          OutsideRoot();
        }
      }
    }
    position_ = end;
  }

  [[noreturn]] void OutsideRoot() const {
    RaiseFmt(u8"Неверный формат XML: данные вне корневого элемента (строка %d)", Line());
  }

  void StartTag() {
    if (open_.empty() && root_seen_) {
      OutsideRoot();
    }
    ++position_;
    const std::string_view name = Name();
    attributes_.clear();
    for (;;) {
      const size_t before_blanks = position_;
      SkipBlanks();
      if (Ahead("/>")) {
        position_ += 2;
        root_seen_ = true;
        return;
      }
      if (Ahead(">")) {
        ++position_;
        if (open_.size() >= kMaxXMLDepth) {
          RaiseFmt(u8"Неверный формат XML: вложенность элементов больше %d",
                   static_cast<int32_t>(kMaxXMLDepth));
        }
        open_.push_back(name);
        root_seen_ = true;
        return;
      }
      if (position_ == before_blanks || position_ >= data_.size()) {
        SyntaxError();  // attributes are separated by blanks; the tag must end
      }
      Attribute(name);
    }
  }

  void Attribute(std::string_view element) {
    const std::string_view name = Name();
    SkipBlanks();
    if (!Ahead("=")) {
      SyntaxError();
    }
    ++position_;
    SkipBlanks();
    if (position_ >= data_.size() || (data_[position_] != '"' && data_[position_] != '\'')) {
      SyntaxError();
    }
    const size_t end = data_.find(data_[position_], position_ + 1);
    if (end == std::string_view::npos ||
        data_.substr(position_, end - position_).find('<') != std::string_view::npos) {
      SyntaxError();
    }
    position_ = end + 1;
    if (!attributes_.insert(name).second) {
      RaiseFmt(u8"Неверный формат XML: атрибут [%s] повторяется в элементе [%s]", Shown(name),
               Shown(element));
    }
  }

  void EndTag() {
    position_ += 2;
    const std::string_view name = Name();
    SkipBlanks();
    if (!Ahead(">")) {
      SyntaxError();
    }
    ++position_;
    if (open_.empty()) {
      RaiseFmt(u8"Неверный формат XML: закрывающий тег [%s] без открывающего", Shown(name));
    }
    if (open_.back() != name) {
      RaiseFmt(u8"Неверный формат XML: закрывающий тег [%s] не соответствует элементу [%s]",
               Shown(name), Shown(open_.back()));
    }
    open_.pop_back();
  }

  std::string_view data_;
  size_t position_ = 0;
  std::vector<std::string_view> open_;
  std::unordered_set<std::string_view> attributes_;
  bool root_seen_ = false;
};

}  // namespace

void CheckXMLWellFormed(std::string_view text) {
  WellFormedChecker(text).Check();
}

}  // namespace lyr::rtl
