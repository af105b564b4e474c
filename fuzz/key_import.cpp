// Fuzz entry: bytes as a key file to import, a PKCS#12 file (with a password and without) and a
// PEM private key (plain or encrypted); every failure must be one of the library's errors.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/private_key.h"
#include "rtl/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const lyr::crypt::CryptoRuntime runtime;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const std::optional<std::string_view> password :
       {std::optional<std::string_view>("secret"), std::optional<std::string_view>()}) {
    try {
      const lyr::crypt::KeyWithCertificate read = lyr::crypt::ReadPkcs12(bytes, password);
      (void)read.key.PublicKeyInfoDer();
    } catch (const lyr::rtl::Exception&) {
    }
    try {
      (void)lyr::crypt::PrivateKey::FromPem(bytes, password).AlgorithmOid();
    } catch (const lyr::rtl::Exception&) {
    }
  }
  return 0;
}
