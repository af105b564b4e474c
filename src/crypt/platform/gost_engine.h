// Private to src/crypt/platform: access to the loaded GOST engine and its algorithms. Callers hold
// a CryptoRuntime while they use what these return.
#pragma once

#include <openssl/engine.h>
#include <openssl/evp.h>

#include "crypt/platform/content_cipher.h"

namespace lyr::crypt::engine {

// The loaded engine (never null while a CryptoRuntime lives).
ENGINE* Gost();
// GOST R 34.11-94 with the CryptoPro parameters (1.2.643.2.2.9).
const EVP_MD* DigestGost94();
// The hash a GOST key signs with (and its certificates, requests and CRLs are signed with):
// GOST R 34.11-2012 256 or 512 for GOST R 34.10-2012 keys, GOST R 34.11-94 for 2001 and other
// keys (which the engine then refuses as before).
const EVP_MD* SigningDigest(const EVP_PKEY* key);
// GOST 28147-89 in CFB mode (1.2.643.2.2.21).
const EVP_CIPHER* CipherGost89();
// The engine's cipher of a content encryption (for OpenSSL's CMS code, which writes its
// parameters).
const EVP_CIPHER* CipherFor(lyr::crypt::ContentCipher cipher);

}  // namespace lyr::crypt::engine
