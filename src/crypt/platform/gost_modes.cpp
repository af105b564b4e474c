// GOST modes over the engine's ciphers and digests. The engine's CTR-ACPKM cipher resets its
// section size to 4096 / 1024 bytes on every key set-up, so the size is set again after the key
// (EVP_CTRL_KEY_MESH); its MAC digests take their key through a digest control.
#include "crypt/platform/gost_modes.h"

#include <openssl/crypto.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <climits>

#include "crypt/platform/crypt_error.h"
#include "crypt/platform/gost_engine.h"
#include "rtl/hex.h"

namespace lyr::crypt::gost {
namespace {

// The engine's digest control that sets a MAC key (EVP_MD_CTRL_ALG_CTRL + 4 in its sources).
constexpr int kMdCtrlSetKey = 0x1000 + 4;
constexpr size_t kKeySize = 32;
constexpr int kChunk = 1 << 20;

using HmacCtxPtr = std::unique_ptr<HMAC_CTX, ossl::FreeWith<&::HMAC_CTX_free>>;

[[noreturn]] void RaiseEngineFailure() {
  RaiseCryptErrorWithOpenSsl(code::kNteBadData);
}

const unsigned char* Bytes(std::string_view bytes) {
  return reinterpret_cast<const unsigned char*>(bytes.data());
}

const EVP_CIPHER* Cipher(int nid) {
  const EVP_CIPHER* cipher = ::ENGINE_get_cipher(engine::Gost(), nid);
  if (cipher == nullptr) {
    RaiseCryptError(code::kCryptEUnknownAlgo,
                    "(the GOST engine lacks " + std::string(::OBJ_nid2sn(nid)) + ")");
  }
  return cipher;
}

const EVP_MD* Digest(int nid) {
  const EVP_MD* digest = ::ENGINE_get_digest(engine::Gost(), nid);
  if (digest == nullptr) {
    RaiseCryptError(code::kCryptEUnknownAlgo,
                    "(the GOST engine lacks " + std::string(::OBJ_nid2sn(nid)) + ")");
  }
  return digest;
}

CipherCtxPtr NewCipher(const EVP_CIPHER* cipher, std::string_view key, std::string_view iv,
                       int encrypt) {
  CipherCtxPtr ctx(::EVP_CIPHER_CTX_new());
  if (!ctx || key.size() != kKeySize ||
      static_cast<int>(iv.size()) != ::EVP_CIPHER_get_iv_length(cipher) ||
      ::EVP_CipherInit_ex(ctx.get(), cipher, engine::Gost(), Bytes(key), Bytes(iv), encrypt) != 1 ||
      ::EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1) {
    RaiseEngineFailure();
  }
  return ctx;
}

std::string Transform(EVP_CIPHER_CTX* ctx, std::string_view in) {
  std::string out(in.size(), '\0');
  int length = 0;
  if (::EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &length, Bytes(in),
                         static_cast<int>(in.size())) != 1 ||
      static_cast<size_t>(length) != in.size()) {
    RaiseEngineFailure();
  }
  return out;
}

std::string GostMac89(std::string_view key, std::string_view data) {
  const ossl::EvpMdCtxPtr ctx(::EVP_MD_CTX_new());
  unsigned char tag[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (!ctx ||
      ::EVP_DigestInit_ex(ctx.get(), Digest(NID_id_Gost28147_89_MAC), engine::Gost()) != 1 ||
      ::EVP_MD_CTX_ctrl(ctx.get(), kMdCtrlSetKey, static_cast<int>(key.size()),
                        const_cast<char*>(key.data())) != 1 ||
      ::EVP_DigestUpdate(ctx.get(), data.data(), data.size()) != 1 ||
      ::EVP_DigestFinal_ex(ctx.get(), tag, &size) != 1) {
    RaiseEngineFailure();
  }
  return {reinterpret_cast<const char*>(tag), size};
}

uint32_t LittleEndian32(std::string_view bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 4; i-- > 0;) {
    value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  }
  return value;
}

void PutLittleEndian32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

// The KEK diversification of RFC 4357 section 6.5: eight CFB passes over the key, each with an
// IV of the sums of the key words that the bits of one UKM byte select and leave.
std::string DiversifyKek(std::string kek, std::string_view ukm) {
  for (size_t round = 0; round < 8; ++round) {
    uint32_t selected = 0;
    uint32_t left = 0;
    for (size_t word = 0; word < 8; ++word) {
      const uint32_t value = LittleEndian32(kek, word * 4);
      if (((static_cast<uint8_t>(ukm[round]) >> word) & 1) != 0) {
        selected += value;
      } else {
        left += value;
      }
    }
    std::string iv;
    PutLittleEndian32(iv, selected);
    PutLittleEndian32(iv, left);
    const CipherCtxPtr ctx = NewCipher(engine::CipherGost89(), kek, iv, 1);
    kek = Transform(ctx.get(), kek);
  }
  return kek;
}

}  // namespace

size_t BlockSize(BlockCipher cipher) {
  return cipher == BlockCipher::kMagma ? 8 : 16;
}

Omac::Omac(BlockCipher cipher, std::string_view key) : ctx_(::EVP_MD_CTX_new()) {
  const EVP_MD* digest = Digest(cipher == BlockCipher::kMagma ? NID_magma_mac : NID_kuznyechik_mac);
  if (!ctx_ || key.size() != kKeySize ||
      ::EVP_DigestInit_ex(ctx_.get(), digest, engine::Gost()) != 1 ||
      ::EVP_MD_CTX_ctrl(ctx_.get(), kMdCtrlSetKey, static_cast<int>(key.size()),
                        const_cast<char*>(key.data())) != 1 ||
      static_cast<size_t>(::EVP_MD_get_size(digest)) != BlockSize(cipher)) {
    RaiseEngineFailure();
  }
}

void Omac::Update(std::string_view bytes) {
  if (::EVP_DigestUpdate(ctx_.get(), bytes.data(), bytes.size()) != 1) {
    RaiseEngineFailure();
  }
}

std::string Omac::Final() {
  unsigned char tag[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (::EVP_DigestFinal_ex(ctx_.get(), tag, &size) != 1) {
    RaiseEngineFailure();
  }
  return {reinterpret_cast<const char*>(tag), size};
}

CtrAcpkm::CtrAcpkm(BlockCipher cipher, std::string_view key, std::string_view iv, size_t section)
    : ctx_(NewCipher(
          Cipher(cipher == BlockCipher::kMagma ? NID_magma_ctr_acpkm : NID_kuznyechik_ctr_acpkm),
          key, iv, 1)) {
  if (::EVP_CIPHER_CTX_ctrl(ctx_.get(), EVP_CTRL_KEY_MESH, static_cast<int>(section), nullptr) !=
      1) {
    RaiseEngineFailure();
  }
}

void CtrAcpkm::Apply(const char* in, char* out, size_t size) {
  while (size > 0) {
    const int step = static_cast<int>(std::min<size_t>(size, kChunk));
    int length = 0;
    if (::EVP_CipherUpdate(ctx_.get(), reinterpret_cast<unsigned char*>(out), &length,
                           reinterpret_cast<const unsigned char*>(in), step) != 1 ||
        length != step) {
      RaiseEngineFailure();
    }
    in += step;
    out += step;
    size -= static_cast<size_t>(step);
  }
}

std::string KdfTree256(std::string_view key, std::string_view label, std::string_view seed) {
  std::string out;
  for (char i = 1; i <= 2; ++i) {
    std::string input(1, i);
    input.append(label).append(1, '\0').append(seed).append("\x02\x00", 2);
    const HmacCtxPtr ctx(::HMAC_CTX_new());
    unsigned char block[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!ctx ||
        ::HMAC_Init_ex(ctx.get(), key.data(), static_cast<int>(key.size()),
                       Digest(NID_id_GostR3411_2012_256), engine::Gost()) != 1 ||
        ::HMAC_Update(ctx.get(), Bytes(input), input.size()) != 1 ||
        ::HMAC_Final(ctx.get(), block, &size) != 1) {
      RaiseEngineFailure();
    }
    out.append(reinterpret_cast<const char*>(block), size);
  }
  return out;
}

std::optional<std::string> Kimp15(BlockCipher cipher, std::string_view exported,
                                  std::string_view key_mac, std::string_view key_enc,
                                  std::string_view iv) {
  const size_t n = BlockSize(cipher);
  if (exported.size() != kKeySize + n || iv.size() != n / 2) {
    return std::nullopt;
  }
  const CipherCtxPtr ctx = NewCipher(
      Cipher(cipher == BlockCipher::kMagma ? NID_magma_ctr : NID_kuznyechik_ctr), key_enc, iv, 0);
  std::string plain = Transform(ctx.get(), exported);
  Omac mac(cipher, key_mac);
  mac.Update(iv);
  mac.Update(std::string_view(plain).substr(0, kKeySize));
  const std::string tag = mac.Final();
  const bool valid = ::CRYPTO_memcmp(tag.data(), plain.data() + kKeySize, n) == 0;
  plain.resize(kKeySize);
  if (!valid) {
    ::OPENSSL_cleanse(plain.data(), plain.size());
    return std::nullopt;
  }
  return plain;
}

std::optional<std::string> AgreeKey(EVP_PKEY* own, std::string_view peer_spki,
                                    std::string_view ukm) {
  const unsigned char* in = Bytes(peer_spki);
  const ossl::EvpPkeyPtr peer(::d2i_PUBKEY(nullptr, &in, static_cast<long>(peer_spki.size())));
  const ossl::EvpPkeyCtxPtr ctx(::EVP_PKEY_CTX_new(own, engine::Gost()));
  const std::string hex = rtl::BytesToHexPlain(ukm);
  size_t size = 0;
  if (!peer || !ctx || ::EVP_PKEY_derive_init(ctx.get()) != 1 ||
      ::EVP_PKEY_CTX_ctrl_str(ctx.get(), "ukmhex", hex.c_str()) <= 0 ||
      ::EVP_PKEY_derive_set_peer(ctx.get(), peer.get()) != 1 ||
      ::EVP_PKEY_derive(ctx.get(), nullptr, &size) != 1) {
    ::ERR_clear_error();
    return std::nullopt;
  }
  std::string secret(size, '\0');
  if (::EVP_PKEY_derive(ctx.get(), reinterpret_cast<unsigned char*>(secret.data()), &size) != 1) {
    ::ERR_clear_error();
    return std::nullopt;
  }
  secret.resize(size);
  return secret;
}

std::optional<std::string> Gost89Unwrap(std::string_view kek, std::string_view ukm,
                                        std::string_view encrypted_key, std::string_view mac,
                                        bool cryptopro_wrap) {
  if (kek.size() != kKeySize || ukm.size() != 8 || encrypted_key.size() != kKeySize ||
      mac.size() != 4) {
    return std::nullopt;
  }
  const std::string key = cryptopro_wrap ? DiversifyKek(std::string(kek), ukm) : std::string(kek);
  // ECB decryption of the four blocks: CBC from a zero IV, then each block's chaining undone.
  const CipherCtxPtr ctx = NewCipher(Cipher(NID_gost89_cbc), key, std::string(8, '\0'), 0);
  std::string plain = Transform(ctx.get(), encrypted_key);
  for (size_t i = 8; i < kKeySize; ++i) {
    plain[i] = static_cast<char>(plain[i] ^ encrypted_key[i - 8]);
  }
  // gost28147IMIT with the UKM as IV: the IV is folded into the first block.
  std::string folded = plain;
  for (size_t i = 0; i < 8; ++i) {
    folded[i] = static_cast<char>(folded[i] ^ ukm[i]);
  }
  const std::string tag = GostMac89(key, folded);
  ::OPENSSL_cleanse(folded.data(), folded.size());
  if (tag.size() != 4 || ::CRYPTO_memcmp(tag.data(), mac.data(), 4) != 0) {
    ::OPENSSL_cleanse(plain.data(), plain.size());
    return std::nullopt;
  }
  return plain;
}

}  // namespace lyr::crypt::gost
