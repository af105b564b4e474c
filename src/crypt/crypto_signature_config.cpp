// CCryptoSignatureConfig: the settings of one signing or verification.
#include "crypt/crypto_signature_config.h"

#include "crypt/crypto_api20_chain_builder_strict.h"

namespace lyr::crypt {

SignerChainBuilderFactory DefaultChainBuilderFactory() {
  return [] { return NewStrictSignerChainBuilder(); };
}

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
