// CCryptoAtom: root of the crypto wrapper objects, holding the message encoding they use.
#pragma once

#include <cstdint>

namespace lyr::crypt {

// X509_ASN_ENCODING | PKCS_7_ASN_ENCODING.
inline constexpr uint32_t kDefaultMessageEncoding = 0x00010001;

class CCryptoAtom {
 public:
  virtual ~CCryptoAtom() = default;

  [[nodiscard]] uint32_t Encoding() const noexcept { return encoding_; }
  void SetEncoding(uint32_t encoding) noexcept { encoding_ = encoding; }

 protected:
  CCryptoAtom() = default;

 private:
  uint32_t encoding_ = kDefaultMessageEncoding;
};

}  // namespace lyr::crypt
