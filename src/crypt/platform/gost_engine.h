// Private to src/crypt: access to the loaded GOST engine and its algorithms. Callers hold a
// CryptoRuntime while they use what these return.
#pragma once

#include <openssl/engine.h>
#include <openssl/evp.h>

namespace lyr::crypt::engine {

// The loaded engine (never null while a CryptoRuntime lives).
ENGINE* Gost();
// GOST R 34.11-94 with the CryptoPro parameters (1.2.643.2.2.9).
const EVP_MD* DigestGost94();
// GOST 28147-89 in CFB mode (1.2.643.2.2.21).
const EVP_CIPHER* CipherGost89();

}  // namespace lyr::crypt::engine
