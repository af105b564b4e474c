// Private to src/crypt/platform: the GOST R 34.12-2015 and GOST 28147-89 modes that CMS envelopes
// need beyond the engine's CMS code: OMAC, CTR-ACPKM with a chosen section size, KDF_TREE, KImp15,
// the key agreements (KEG, VKO) and the RFC 4357 key unwrap. Block ciphers, digests and the
// elliptic-curve arithmetic are the engine's; callers hold a CryptoRuntime.
#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "crypt/platform/ossl.h"

namespace lyr::crypt::gost {

// The two GOST R 34.12-2015 block ciphers.
enum class BlockCipher : uint8_t { kMagma, kKuznyechik };

// Block size in bytes: 8 (Magma) or 16 (Kuznyechik).
size_t BlockSize(BlockCipher cipher);

using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, ossl::FreeWith<&::EVP_CIPHER_CTX_free>>;

// OMAC (GOST R 34.13-2015 section 5.6) by the engine's MAC digests under a 32-byte key, with
// the full block as tag, fed in pieces of any size.
class Omac final {
 public:
  Omac(BlockCipher cipher, std::string_view key);
  void Update(std::string_view bytes);
  // The tag (a block); the object is spent.
  std::string Final();

 private:
  ossl::EvpMdCtxPtr ctx_;
};

// CTR-ACPKM (RFC 8645 section 6.2.2) through the engine's cipher, with section size section
// bytes; the same call encrypts and decrypts. iv is half a block.
class CtrAcpkm final {
 public:
  CtrAcpkm(BlockCipher cipher, std::string_view key, std::string_view iv, size_t section);
  // Transforms size bytes from in to out (which may be the same place).
  void Apply(const char* in, char* out, size_t size);

 private:
  CipherCtxPtr ctx_;
};

// KDF_TREE_GOSTR3411_2012_256 (RFC 7836 section 4.5) with R = 1: the 64 bytes K(1) || K(2).
std::string KdfTree256(std::string_view key, std::string_view label, std::string_view seed);

// KImp15 (RFC 9189 section 8.2.1): the key exported in exported (key || tag, CTR under
// key_enc with iv), or nothing when the tag does not match.
std::optional<std::string> Kimp15(BlockCipher cipher, std::string_view exported,
                                  std::string_view key_mac, std::string_view key_enc,
                                  std::string_view iv);

// The shared secret of own key and the peer's public key (SubjectPublicKeyInfo DER) by the
// engine: with a 32-byte ukm KEG (RFC 9189 section 8.3.1: 64 bytes), with an 8-byte ukm VKO
// (RFC 4357 section 5.2 / RFC 7836 section 4.3: 32 bytes). Nothing when the engine refuses the
// peer key.
std::optional<std::string> AgreeKey(EVP_PKEY* own, std::string_view peer_spki,
                                    std::string_view ukm);

// The RFC 4357 section 6 key unwrap under GOST 28147-89 with the CryptoPro-A parameter set:
// the 32-byte key encrypted_key with its 4-byte MAC, under kek and the 8-byte ukm, diversified
// (section 6.5) when cryptopro_wrap. Nothing when the MAC does not match.
std::optional<std::string> Gost89Unwrap(std::string_view kek, std::string_view ukm,
                                        std::string_view encrypted_key, std::string_view mac,
                                        bool cryptopro_wrap);

}  // namespace lyr::crypt::gost
