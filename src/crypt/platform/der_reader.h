// Private to src/crypt/platform: a strict DER reader and a walker that checks bytes against a
// declared shape (a tree of expected elements), for the structures that the GOST engine would
// otherwise trust (it crashes or aborts the process on some malformed ones).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lyr::crypt::der {

inline constexpr uint8_t kInteger = 0x02;
inline constexpr uint8_t kBitString = 0x03;
inline constexpr uint8_t kOctetString = 0x04;
inline constexpr uint8_t kOid = 0x06;
inline constexpr uint8_t kSequence = 0x30;
inline constexpr uint8_t kSet = 0x31;
// Context-specific constructed [n] and primitive [n].
constexpr uint8_t ContextConstructed(uint8_t n) {
  return static_cast<uint8_t>(0xA0 | n);
}
constexpr uint8_t ContextPrimitive(uint8_t n) {
  return static_cast<uint8_t>(0x80 | n);
}

// One element: its identifier octet, its contents, and where it starts in the bytes read.
struct Element {
  uint8_t tag = 0;
  std::string_view contents;
  const char* start = nullptr;
};

// Reads the elements of one level in order: low tag numbers, definite lengths in their shortest
// form (DER) only.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}

  [[nodiscard]] bool AtEnd() const noexcept { return rest_.empty(); }
  // The next element, or nullopt (and the reader stops) when the bytes are malformed.
  std::optional<Element> Next();
  // The tag of the next element without reading it (0 at the end).
  [[nodiscard]] uint8_t PeekTag() const noexcept {
    return rest_.empty() ? 0 : static_cast<uint8_t>(rest_[0]);
  }
  [[nodiscard]] const char* Position() const noexcept { return rest_.data(); }

 private:
  std::string_view rest_;
};

// bytes, exactly one BER element, re-encoded as DER (X.690 section 10): definite lengths in
// the fewest octets, BOOLEAN true as FF, the elements of a SET sorted by their encodings.
// nullopt when bytes are not one BER element, nest deeper than 32 levels, use high tag numbers
// or encode a universal type other than SEQUENCE and SET as constructed (a segmented string).
std::optional<std::string> BerToDer(std::string_view bytes);

// Dotted text of an OBJECT IDENTIFIER's contents ("" when malformed).
std::string OidText(std::string_view contents);

// --- Shapes -------------------------------------------------------------------------------------

// How a refused element is reported: the error code and a text in which "%s" stands for the
// value found (an object identifier).
struct Refusal {
  uint32_t code = 0;
  std::string_view text;
};

enum class Form : uint8_t {
  kChildren,      // constructed; exactly the children in order (optional ones may be absent)
  kSetOf,         // constructed; one or more elements, each matching children[0]
  kChoice,        // any tag; the first of children that matches (tried in order); a kRefused
                  // child with tag 0 refuses the tags that no other child has
  kBytes,         // primitive; min..max contents bytes
  kInteger,       // INTEGER whose single contents byte is one of values
  kOid,           // OBJECT IDENTIFIER, one of oids (any when oids is empty)
  kEncapsulated,  // OCTET STRING holding exactly one element matching children[0]
  kBitString,     // BIT STRING, no unused bits, holding exactly one element matching children[0]
  kAnyDer,        // any well-formed DER element with this tag
  kRefused,       // an element with this tag (any tag when tag is 0) is refused with refusal
};

// One expected element. Capture names a slot of Captures that receives the element's value
// (the dotted text of an OID).
struct Node {
  std::string_view what;
  uint8_t tag = 0;
  Form form = Form::kAnyDer;
  bool optional = false;
  std::span<const Node> children = {};
  size_t min = 0;
  size_t max = SIZE_MAX;
  std::span<const uint8_t> values = {};
  std::span<const std::string_view> oids = {};
  Refusal refusal = {};
  int capture = -1;
};

inline constexpr int kMaxCaptures = 4;
struct Captures {
  std::string values[kMaxCaptures];
};

// Why bytes do not have a shape: the error code (bad_message_code unless a node's refusal said
// otherwise) and the text, such as "IV is not 8 bytes" or "unexpected data in content info".
struct Mismatch {
  uint32_t code = 0;
  std::string text;
};

// Checks that bytes are exactly one element of shape root and nothing after it. Among the
// alternatives of a choice, the one that matched farthest into the bytes gives the mismatch.
std::optional<Mismatch> CheckShape(std::string_view bytes, const Node& root,
                                   uint32_t bad_message_code, Captures& captures);

}  // namespace lyr::crypt::der
