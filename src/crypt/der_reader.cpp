// The BER/DER element reader.
#include "crypt/der_reader.h"

#include <string>

namespace lyr::crypt::der {
namespace {

constexpr int kMaxDepth = 32;

// Parses one element at the front of bytes; returns its whole size (0 when malformed) and fills
// element.
size_t ParseElement(std::string_view bytes, Element& element, int depth) {
  if (depth > kMaxDepth || bytes.size() < 2) {
    return 0;
  }
  const auto tag = static_cast<uint8_t>(bytes[0]);
  if ((tag & 0x1F) == 0x1F) {
    return 0;  // high tag numbers do not occur in the structures read here
  }
  const auto first = static_cast<uint8_t>(bytes[1]);
  size_t header = 2;
  if (first == 0x80) {
    if ((tag & 0x20) == 0) {
      return 0;  // only constructed elements may have an indefinite length
    }
    size_t offset = header;
    while (true) {
      if (bytes.size() - offset < 2) {
        return 0;
      }
      if (bytes[offset] == '\0' && bytes[offset + 1] == '\0') {
        element = {tag, bytes.substr(header, offset - header)};
        return offset + 2;
      }
      Element inner;
      const size_t size = ParseElement(bytes.substr(offset), inner, depth + 1);
      if (size == 0) {
        return 0;
      }
      offset += size;
    }
  }
  size_t length = first;
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
  if (length > bytes.size() - header) {
    return 0;
  }
  element = {tag, bytes.substr(header, length)};
  return header + length;
}

}  // namespace

std::optional<Element> Reader::Next() {
  Element element;
  const size_t size = ParseElement(rest_, element, 0);
  if (size == 0) {
    rest_ = {};
    return std::nullopt;
  }
  rest_.remove_prefix(size);
  return element;
}

std::optional<Element> Reader::Expect(uint8_t tag) {
  if (PeekTag() != tag) {
    return std::nullopt;
  }
  return Next();
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
    if (value > (UINT64_MAX >> 7)) {
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
