// Private to src/crypt: a small strict reader of BER/DER TLVs, for checking the structures that
// the GOST engine would otherwise trust (it aborts the process on some malformed fields).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lyr::crypt::der {

inline constexpr uint8_t kInteger = 0x02;
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

// One element: its identifier octet and its contents (for an indefinite length, the contents
// without the end-of-contents octets).
struct Element {
  uint8_t tag = 0;
  std::string_view contents;
};

// Reads the elements of one level in order. Low tag numbers only; definite lengths, and
// indefinite lengths of constructed elements (BER), nested at most 32 deep.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}

  [[nodiscard]] bool AtEnd() const noexcept { return rest_.empty(); }
  // The next element, or nullopt (and the reader stops) when the bytes are malformed.
  std::optional<Element> Next();
  // The next element when it has this tag.
  std::optional<Element> Expect(uint8_t tag);
  // The tag of the next element without reading it (0 at the end).
  [[nodiscard]] uint8_t PeekTag() const noexcept {
    return rest_.empty() ? 0 : static_cast<uint8_t>(rest_[0]);
  }

 private:
  std::string_view rest_;
};

// Dotted text of an OBJECT IDENTIFIER's contents ("" when malformed).
std::string OidText(std::string_view contents);

}  // namespace lyr::crypt::der
