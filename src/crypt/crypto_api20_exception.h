// CCryptoAPI20Exception: a failure of signature verification or of a certificate chain, with the
// numeric code callers tell apart and the crypto layer's last error at the time it was raised.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/errors.h"

namespace lyr::crypt {

// The codes of CCryptoAPI20Exception.
namespace chain_code {
inline constexpr uint8_t kRevoked = 21;              // certificate revoked before the signing date
inline constexpr uint8_t kBadSignature = 22;         // the signature does not verify
inline constexpr uint8_t kNoSignerCertificate = 32;  // the signature carries no signer certificate
inline constexpr uint8_t kNoCurrentCrl = 33;         // no current CRL / signing date in the future
inline constexpr uint8_t kCrlNotFound = 34;          // no CRL for an issuer
inline constexpr uint8_t kIssuerNotFound = 35;       // a CA certificate of the chain is missing
}  // namespace chain_code

class CCryptoAPI20Exception : public rtl::Exception {
 public:
  // Records the calling thread's last crypto error (number and text) with the code.
  CCryptoAPI20Exception(uint8_t code, std::string message);

  [[nodiscard]] uint8_t Code() const noexcept { return code_; }
  // The last crypto error of the raising thread when the exception was made, and its text
  // ("0x" + 8 hex digits + " (" + decimal + "): " + text).
  [[nodiscard]] uint32_t LastError() const noexcept { return last_error_; }
  [[nodiscard]] const std::string& LastErrorText() const noexcept { return last_error_text_; }

 private:
  uint8_t code_;
  uint32_t last_error_;
  std::string last_error_text_;
};

// Raises CCryptoAPI20Exception (code, message) through the raise routine.
[[noreturn]] void RaiseCryptoAPI20Error(uint8_t code, std::string message);

}  // namespace lyr::crypt
