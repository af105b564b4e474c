// CCryptoSignatureConfig: the settings of one signing or verification.
#include "crypt/crypto_signature_config.h"

namespace lyr::crypt {

uint8_t CCryptoSignatureConfig::ChainBuilderFlags() const noexcept {
  uint8_t flags = 0;
  if ((verification_flags_ & verify_flags::kDownloadCa) != 0) {
    flags |= 2;
  }
  if ((verification_flags_ & verify_flags::kDownloadCrl) != 0) {
    flags |= 4;
  }
  if ((verification_flags_ & verify_flags::kRevocationCheck) != 0) {
    flags |= 8;
  }
  return flags;
}

}  // namespace lyr::crypt
