// CCryptoAPI20Exception: the coded verification and chain failure.
#include "crypt/crypto_api20_exception.h"

#include "crypt/platform/crypt_error.h"

namespace lyr::crypt {

CCryptoAPI20Exception::CCryptoAPI20Exception(uint8_t code, std::string message)
    : Exception(std::move(message)),
      code_(code),
      last_error_(GetLastCryptError()),
      last_error_text_(LastCryptErrorText()) {}

void RaiseCryptoAPI20Error(uint8_t code, std::string message) {
  rtl::RaiseError(CCryptoAPI20Exception(code, std::move(message)));
}

}  // namespace lyr::crypt
