// The strict DER reader and the shape walker.
#include "crypt/platform/der_reader.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace lyr::crypt::der {
namespace {

constexpr int kMaxDepth = 32;

// Parses one element at the front of bytes; returns its whole size (0 when malformed) and fills
// element. DER (X.690 section 10.1): definite lengths in the fewest octets.
size_t ParseElement(std::string_view bytes, Element& element) {
  if (bytes.size() < 2) {
    return 0;
  }
  const auto tag = static_cast<uint8_t>(bytes[0]);
  if ((tag & 0x1F) == 0x1F) {
    return 0;  // high tag numbers do not occur in the structures read here
  }
  const auto first = static_cast<uint8_t>(bytes[1]);
  size_t header = 2;
  size_t length = first;
  if (first == 0x80) {
    return 0;  // indefinite length
  }
  if (first > 0x80) {
    const size_t count = first & 0x7F;
    if (count > 4 || bytes.size() < 2 + count || bytes[2] == '\0') {
      return 0;
    }
    length = 0;
    for (size_t i = 0; i < count; ++i) {
      length = (length << 8) | static_cast<uint8_t>(bytes[2 + i]);
    }
    if (length < 0x80) {
      return 0;  // would fit the short form
    }
    header += count;
  }
  if (length > bytes.size() - header) {
    return 0;
  }
  element = {tag, bytes.substr(header, length), bytes.data()};
  return header + length;
}

void AppendLength(std::string& out, size_t length) {
  if (length < 0x80) {
    out += static_cast<char>(length);
    return;
  }
  std::string octets;
  for (; length != 0; length >>= 8) {
    octets.insert(octets.begin(), static_cast<char>(length & 0xFF));
  }
  out += static_cast<char>(0x80 | octets.size());
  out += octets;
}

// Re-encodes the BER element at the front of bytes as DER into out; returns the number of
// bytes it took (0 when malformed).
size_t CanonicalElement(std::string_view bytes, std::string& out, int depth) {
  if (depth > kMaxDepth || bytes.size() < 2 || (static_cast<uint8_t>(bytes[0]) & 0x1F) == 0x1F) {
    return 0;
  }
  const auto tag = static_cast<uint8_t>(bytes[0]);
  const bool constructed = (tag & 0x20) != 0;
  const auto first = static_cast<uint8_t>(bytes[1]);
  size_t header = 2;
  size_t length = first;
  const bool indefinite = first == 0x80;
  if (indefinite && !constructed) {
    return 0;
  }
  if (first > 0x80) {
    const size_t count = first & 0x7F;
    if (count > 4 || bytes.size() < 2 + count) {
      return 0;
    }
    length = 0;
    for (size_t i = 0; i < count; ++i) {
      length = (length << 8) | static_cast<uint8_t>(bytes[2 + i]);
    }
    header += count;
  }
  if (!indefinite && length > bytes.size() - header) {
    return 0;
  }
  out += static_cast<char>(tag);
  if (!constructed) {
    std::string_view contents = bytes.substr(header, length);
    if (tag == 0x01 && contents.size() == 1 && contents[0] != '\0') {
      contents = "\xFF";
    }
    AppendLength(out, contents.size());
    out += contents;
    return header + length;
  }
  if ((tag & 0xC0) == 0 && tag != kSequence && tag != kSet) {
    return 0;  // a segmented string
  }
  std::string_view rest = indefinite ? bytes.substr(header) : bytes.substr(header, length);
  std::vector<std::string> children;
  while (!rest.empty()) {
    if (indefinite && rest.size() >= 2 && rest[0] == '\0' && rest[1] == '\0') {
      break;
    }
    std::string child;
    const size_t taken = CanonicalElement(rest, child, depth + 1);
    if (taken == 0) {
      return 0;
    }
    children.push_back(std::move(child));
    rest.remove_prefix(taken);
  }
  if (indefinite && rest.size() < 2) {
    return 0;  // no end-of-contents
  }
  if (tag == kSet) {
    std::sort(children.begin(), children.end());
  }
  size_t total = 0;
  for (const std::string& child : children) {
    total += child.size();
  }
  AppendLength(out, total);
  for (const std::string& child : children) {
    out += child;
  }
  return indefinite ? static_cast<size_t>(rest.data() + 2 - bytes.data()) : header + length;
}

// Whether the elements of contents (one level, inside parent's tag) are already what
// CanonicalElement writes: DER lengths, no segmented strings, BOOLEAN true as FF, SETs sorted.
bool IsCanonical(std::string_view contents, uint8_t parent, int depth) {
  if (depth > kMaxDepth) {
    return false;
  }
  Reader reader(contents);
  std::string_view previous;
  while (!reader.AtEnd()) {
    const char* start = reader.Position();
    const std::optional<Element> element = reader.Next();
    if (!element) {
      return false;
    }
    const std::string_view whole(start, static_cast<size_t>(reader.Position() - start));
    if (parent == kSet && whole < previous) {
      return false;
    }
    previous = whole;
    const uint8_t tag = element->tag;
    if ((tag & 0x20) != 0 ? ((tag & 0xC0) == 0 && tag != kSequence && tag != kSet) ||
                                !IsCanonical(element->contents, tag, depth + 1)
                          : tag == 0x01 && element->contents.size() == 1 &&
                                element->contents[0] != '\0' && element->contents[0] != '\xFF') {
      return false;
    }
  }
  return true;
}

bool IsWellFormed(std::string_view contents, int depth) {
  if (depth > kMaxDepth) {
    return false;
  }
  Reader reader(contents);
  while (!reader.AtEnd()) {
    const std::optional<Element> element = reader.Next();
    if (!element) {
      return false;
    }
    if ((element->tag & 0x20) != 0 && !IsWellFormed(element->contents, depth + 1)) {
      return false;
    }
  }
  return true;
}

std::string Replace(std::string_view text, std::string_view value) {
  std::string out(text);
  const size_t at = out.find("%s");
  if (at != std::string::npos) {
    out.replace(at, 2, value);
  }
  return out;
}

// A mismatch and where in the bytes it was found.
struct Failure {
  const char* at = nullptr;
  Mismatch mismatch;
};
using Result = std::optional<Failure>;

class Walker final {
 public:
  Walker(uint32_t bad_message_code, Captures& captures)
      : bad_(bad_message_code), captures_(captures) {}

  // Exactly the elements of children in contents, then nothing; trailing names what follows.
  Result MatchSequence(std::string_view contents, std::span<const Node> children,
                       const std::string& trailing) {
    Reader reader(contents);
    for (const Node& child : children) {
      if (reader.AtEnd()) {
        if (child.optional) {
          continue;
        }
        return Fail(reader.Position(), std::string(child.what) + " missing");
      }
      if (child.form != Form::kChoice && reader.PeekTag() != child.tag) {
        if (child.optional) {
          continue;
        }
        return Fail(reader.Position(), "unexpected element instead of " + std::string(child.what));
      }
      const char* position = reader.Position();
      const std::optional<Element> element = reader.Next();
      if (!element) {
        return Fail(position, std::string(child.what) + " is not DER");
      }
      if (Result failure = Match(*element, child)) {
        return failure;
      }
    }
    if (!reader.AtEnd()) {
      return Fail(reader.Position(), trailing);
    }
    return std::nullopt;
  }

 private:
  Result Fail(const char* at, std::string text) const {
    return Failure{at, Mismatch{bad_, std::move(text)}};
  }

  static Result Refuse(const char* at, const Refusal& refusal, std::string_view value) {
    return Failure{at, Mismatch{refusal.code, Replace(refusal.text, value)}};
  }

  Result Match(const Element& element, const Node& node) {
    switch (node.form) {
      case Form::kChoice:
        return MatchChoice(element, node);
      case Form::kRefused:
        return Refuse(element.start, node.refusal, "");
      case Form::kChildren:
        return MatchSequence(element.contents, node.children,
                             "unexpected data in " + std::string(node.what));
      case Form::kSetOf:
        return MatchSetOf(element, node);
      case Form::kBytes:
        return MatchBytes(element, node);
      case Form::kInteger:
        if (element.contents.size() != 1 ||
            std::ranges::find(node.values, static_cast<uint8_t>(element.contents[0])) ==
                node.values.end()) {
          return Fail(element.start, "unsupported " + std::string(node.what));
        }
        return std::nullopt;
      case Form::kOid:
        return MatchOid(element, node);
      case Form::kEncapsulated:
        return MatchSequence(element.contents, node.children.first(1),
                             "unexpected data in " + std::string(node.what));
      case Form::kBitString:
        if (element.contents.empty() || element.contents[0] != '\0') {
          return Fail(element.start, std::string(node.what) + " is not DER");
        }
        return MatchSequence(element.contents.substr(1), node.children.first(1),
                             "unexpected data in " + std::string(node.what));
      case Form::kAnyDer:
        if ((element.tag & 0x20) != 0 && !IsWellFormed(element.contents, 0)) {
          return Fail(element.start, std::string(node.what) + " is not DER");
        }
        return std::nullopt;
    }
    return Fail(element.start, std::string(node.what));
  }

  // The alternatives with the element's tag, in order; a refused tag ends the search. Otherwise
  // the alternative that got farthest names the mismatch (the captures of failed alternatives
  // are dropped), and a refusal without a tag covers elements that no alternative expects.
  Result MatchChoice(const Element& element, const Node& node) {
    Result farthest;
    const Node* otherwise = nullptr;
    for (const Node& alternative : node.children) {
      if (alternative.form == Form::kRefused && alternative.tag == 0) {
        otherwise = &alternative;
        continue;
      }
      if (alternative.tag != element.tag) {
        continue;
      }
      const Captures before = captures_;
      Result failure = Match(element, alternative);
      if (!failure) {
        return std::nullopt;
      }
      captures_ = before;
      if (alternative.form == Form::kRefused) {
        return failure;
      }
      if (!farthest || failure->at > farthest->at) {
        farthest = std::move(failure);
      }
    }
    if (farthest) {
      return farthest;
    }
    if (otherwise != nullptr) {
      return Refuse(element.start, otherwise->refusal, "");
    }
    return Fail(element.start, "unexpected element instead of " + std::string(node.what));
  }

  Result MatchSetOf(const Element& element, const Node& node) {
    if (element.contents.empty()) {
      return Fail(element.start, "no " + std::string(node.what));
    }
    Reader reader(element.contents);
    while (!reader.AtEnd()) {
      const char* position = reader.Position();
      const std::optional<Element> member = reader.Next();
      if (!member) {
        return Fail(position, std::string(node.what) + " is not DER");
      }
      const Node& shape = node.children.front();
      if (shape.form != Form::kChoice && member->tag != shape.tag) {
        return Fail(position, "unexpected element instead of " + std::string(shape.what));
      }
      if (Result failure = Match(*member, shape)) {
        return failure;
      }
    }
    return std::nullopt;
  }

  Result MatchBytes(const Element& element, const Node& node) const {
    const size_t size = element.contents.size();
    if (size >= node.min && size <= node.max) {
      return std::nullopt;
    }
    if (node.min == node.max) {
      return Fail(element.start,
                  std::string(node.what) + " is not " + std::to_string(node.min) + " bytes");
    }
    return Fail(element.start, std::string(node.what) + " has a wrong length");
  }

  Result MatchOid(const Element& element, const Node& node) {
    const std::string oid = OidText(element.contents);
    if (oid.empty()) {
      return Fail(element.start, std::string(node.what) + " is not an object identifier");
    }
    if (!node.oids.empty() && std::ranges::find(node.oids, oid) == node.oids.end()) {
      if (node.refusal.code != 0) {
        return Refuse(element.start, node.refusal, oid);
      }
      return Fail(element.start, std::string(node.what) + " " + oid + " is not supported");
    }
    if (node.capture >= 0 && node.capture < kMaxCaptures) {
      captures_.values[node.capture] = oid;
    }
    return std::nullopt;
  }

  uint32_t bad_;
  Captures& captures_;
};

}  // namespace

std::optional<std::string> BerToDer(std::string_view bytes) {
  Reader top(bytes);
  if (top.Next() && top.AtEnd() && IsCanonical(bytes, 0, 0)) {
    return std::string(bytes);  // the usual case, without building a copy element by element
  }
  std::string out;
  out.reserve(bytes.size());
  if (CanonicalElement(bytes, out, 0) != bytes.size()) {
    return std::nullopt;
  }
  return out;
}

std::optional<Element> Reader::Next() {
  Element element;
  const size_t size = ParseElement(rest_, element);
  if (size == 0) {
    rest_ = rest_.substr(rest_.size());
    return std::nullopt;
  }
  rest_.remove_prefix(size);
  return element;
}

std::optional<Mismatch> CheckShape(std::string_view bytes, const Node& root,
                                   uint32_t bad_message_code, Captures& captures) {
  Walker walker(bad_message_code, captures);
  Result failure = walker.MatchSequence(bytes, std::span<const Node>(&root, 1),
                                        "unexpected data after the " + std::string(root.what));
  if (!failure) {
    return std::nullopt;
  }
  return std::move(failure->mismatch);
}

std::string OidText(std::string_view contents) {
  if (contents.empty()) {
    return {};
  }
  std::string text;
  uint64_t value = 0;
  bool first = true;
  for (size_t i = 0; i < contents.size(); ++i) {
    const auto byte = static_cast<uint8_t>(contents[i]);
    if (value > (UINT64_MAX >> 7) || (value == 0 && byte == 0x80)) {
      return {};
    }
    value = (value << 7) | (byte & 0x7F);
    if ((byte & 0x80) != 0) {
      if (i + 1 == contents.size()) {
        return {};
      }
      continue;
    }
    if (first) {
      const uint64_t head = value < 40 ? 0 : (value < 80 ? 1 : 2);
      text = std::to_string(head);
      text += '.';
      text += std::to_string(value - head * 40);
      first = false;
    } else {
      text += '.';
      text += std::to_string(value);
    }
    value = 0;
  }
  return text;
}

}  // namespace lyr::crypt::der
