// GOST private keys over the engine's EVP_PKEY methods.
#include "crypt/platform/private_key.h"

#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "crypt/platform/certificate_access.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/gost_engine.h"
#include "crypt/platform/private_key_access.h"

namespace lyr::crypt {
namespace {

struct PasswordSource {
  std::optional<std::string_view> password;
  bool asked = false;
};

// Hands the password to OpenSSL; without one the read fails instead of prompting a terminal.
int PasswordCallback(char* buffer, int size, int /*writing*/, void* user) {
  auto* source = static_cast<PasswordSource*>(user);
  source->asked = true;
  if (!source->password || source->password->size() > static_cast<size_t>(size)) {
    return -1;
  }
  std::memcpy(buffer, source->password->data(), source->password->size());
  return static_cast<int>(source->password->size());
}

// The engine's name of a parameter set ("paramset" control of the key generation).
const char* ParamSetName(GostParamSet param_set) {
  switch (param_set) {
    case GostParamSet::kA:
      return "A";
    case GostParamSet::kB:
      return "B";
    case GostParamSet::kXA:
      break;
  }
  return "XA";
}

constexpr std::string_view kParamSets2001[] = {"XA", "A", "B"};
constexpr std::string_view kParamSets2012_256[] = {"XA",  "A",   "B",   "C",  "XB",
                                                   "TCA", "TCB", "TCC", "TCD"};
constexpr std::string_view kParamSets2012_512[] = {"A", "B", "C"};

int KeyNid(GostAlgorithm algorithm) {
  switch (algorithm) {
    case GostAlgorithm::k2012_256:
      return NID_id_GostR3410_2012_256;
    case GostAlgorithm::k2012_512:
      return NID_id_GostR3410_2012_512;
    case GostAlgorithm::k2001:
      break;
  }
  return NID_id_GostR3410_2001;
}

using Pkcs12Ptr = std::unique_ptr<PKCS12, ossl::FreeWith<&::PKCS12_free>>;
using Pkcs8Ptr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, ossl::FreeWith<&::PKCS8_PRIV_KEY_INFO_free>>;
using X509SigPtr = std::unique_ptr<X509_SIG, ossl::FreeWith<&::X509_SIG_free>>;
using Pbe2Ptr = std::unique_ptr<PBE2PARAM, ossl::FreeWith<&::PBE2PARAM_free>>;
using PbePtr = std::unique_ptr<PBEPARAM, ossl::FreeWith<&::PBEPARAM_free>>;
using Pbkdf2Ptr = std::unique_ptr<PBKDF2PARAM, ossl::FreeWith<&::PBKDF2PARAM_free>>;
using ScryptPtr = std::unique_ptr<SCRYPT_PARAMS, ossl::FreeWith<&::SCRYPT_PARAMS_free>>;

struct BagsFree {
  void operator()(STACK_OF(PKCS12_SAFEBAG) * bags) const noexcept {
    sk_PKCS12_SAFEBAG_pop_free(bags, ::PKCS12_SAFEBAG_free);
  }
};
using BagsPtr = std::unique_ptr<STACK_OF(PKCS12_SAFEBAG), BagsFree>;
struct SafesFree {
  void operator()(STACK_OF(PKCS7) * safes) const noexcept {
    sk_PKCS7_pop_free(safes, ::PKCS7_free);
  }
};
using SafesPtr = std::unique_ptr<STACK_OF(PKCS7), SafesFree>;

uint64_t ValueOf(const ASN1_INTEGER* integer, uint64_t absent) {
  uint64_t value = 0;
  if (integer == nullptr) {
    return absent;
  }
  return ::ASN1_INTEGER_get_uint64(&value, integer) == 1 ? value : UINT64_MAX;
}

// The parameters of a password-based algorithm, when they are the SEQUENCE item describes.
void* Parameters(const X509_ALGOR* algorithm, const ASN1_ITEM* item) {
  int type = 0;
  const void* value = nullptr;
  ::X509_ALGOR_get0(nullptr, &type, &value, algorithm);
  if (type != V_ASN1_SEQUENCE || value == nullptr) {
    return nullptr;
  }
  return ::ASN1_item_unpack(static_cast<const ASN1_STRING*>(value), item);
}

// The work a password-based algorithm asks for before a wrong password shows: the iteration
// count of PKCS #5 PBES1, PKCS #12 PBE and PBKDF2, or N·r·p of scrypt; 0 when it is none of them
// (OpenSSL then refuses it or needs no derivation).
uint64_t DerivationCost(const X509_ALGOR* algorithm) {
  const ASN1_OBJECT* oid = nullptr;
  ::X509_ALGOR_get0(&oid, nullptr, nullptr, algorithm);
  if (::OBJ_obj2nid(oid) != NID_pbes2) {
    const PbePtr pbe(static_cast<PBEPARAM*>(Parameters(algorithm, ASN1_ITEM_rptr(PBEPARAM))));
    return pbe ? ValueOf(pbe->iter, 1) : 0;
  }
  const Pbe2Ptr pbes2(static_cast<PBE2PARAM*>(Parameters(algorithm, ASN1_ITEM_rptr(PBE2PARAM))));
  if (!pbes2 || pbes2->keyfunc == nullptr) {
    return 0;
  }
  const X509_ALGOR* kdf = pbes2->keyfunc;
  ::X509_ALGOR_get0(&oid, nullptr, nullptr, kdf);
  if (::OBJ_obj2nid(oid) == NID_id_scrypt) {
    const ScryptPtr scrypt(
        static_cast<SCRYPT_PARAMS*>(Parameters(kdf, ASN1_ITEM_rptr(SCRYPT_PARAMS))));
    if (!scrypt) {
      return 0;
    }
    const uint64_t n = ValueOf(scrypt->costParameter, 0);
    const uint64_t rp =
        ValueOf(scrypt->blockSize, 0) * ValueOf(scrypt->parallelizationParameter, 0);
    return n > UINT32_MAX || rp > UINT32_MAX ? UINT64_MAX : n * rp;
  }
  const Pbkdf2Ptr pbkdf2(static_cast<PBKDF2PARAM*>(Parameters(kdf, ASN1_ITEM_rptr(PBKDF2PARAM))));
  return pbkdf2 ? ValueOf(pbkdf2->iter, 1) : 0;
}

// Refuses a derivation above kMaxKeyDerivationCost before OpenSSL spends it.
void CheckDerivationCost(const X509_ALGOR* algorithm, std::string_view what) {
  const uint64_t cost = algorithm != nullptr ? DerivationCost(algorithm) : 0;
  if (cost > kMaxKeyDerivationCost) {
    RaiseCryptError(code::kNteBadKey,
                    "(" + std::string(what) + ": " +
                        (cost == UINT64_MAX ? std::string("an unreadable") : std::to_string(cost)) +
                        " iterations, above the limit of " + std::to_string(kMaxKeyDerivationCost) +
                        ")");
  }
}

// Every "ENCRYPTED PRIVATE KEY" block of a PEM text through CheckDerivationCost.
void CheckPemDerivations(std::string_view pem) {
  const ossl::BioPtr bio = ossl::MemoryBio(pem);
  for (;;) {
    char* name = nullptr;
    char* header = nullptr;
    unsigned char* data = nullptr;
    long length = 0;  // NOLINT(google-runtime-int): OpenSSL's type
    if (::PEM_read_bio(bio.get(), &name, &header, &data, &length) != 1) {
      ::ERR_clear_error();
      return;
    }
    const bool encrypted = std::string_view(name) == PEM_STRING_PKCS8;
    const unsigned char* in = data;
    const X509SigPtr sig(encrypted ? ::d2i_X509_SIG(nullptr, &in, length) : nullptr);
    ::OPENSSL_free(name);
    ::OPENSSL_free(header);
    ::OPENSSL_free(data);
    if (sig) {
      const X509_ALGOR* algorithm = nullptr;
      ::X509_SIG_get0(sig.get(), &algorithm, nullptr);
      CheckDerivationCost(algorithm, "encrypted key");
    }
  }
}

}  // namespace

std::string_view GostAlgorithmName(GostAlgorithm algorithm) noexcept {
  switch (algorithm) {
    case GostAlgorithm::k2012_256:
      return "gost2012-256";
    case GostAlgorithm::k2012_512:
      return "gost2012-512";
    case GostAlgorithm::k2001:
      break;
  }
  return "gost2001";
}

std::optional<GostAlgorithm> GostAlgorithmFromName(std::string_view name) noexcept {
  for (const GostAlgorithm algorithm :
       {GostAlgorithm::k2001, GostAlgorithm::k2012_256, GostAlgorithm::k2012_512}) {
    if (name == GostAlgorithmName(algorithm)) {
      return algorithm;
    }
  }
  return std::nullopt;
}

std::span<const std::string_view> GostParamSetNames(GostAlgorithm algorithm) noexcept {
  switch (algorithm) {
    case GostAlgorithm::k2012_256:
      return kParamSets2012_256;
    case GostAlgorithm::k2012_512:
      return kParamSets2012_512;
    case GostAlgorithm::k2001:
      break;
  }
  return kParamSets2001;
}

PrivateKey PrivateKey::Generate(GostParamSet param_set) {
  return Generate(GostAlgorithm::k2001, ParamSetName(param_set));
}

PrivateKey PrivateKey::Generate(GostAlgorithm algorithm, std::string_view param_set) {
  const std::span<const std::string_view> names = GostParamSetNames(algorithm);
  const std::string name(param_set.empty() ? names.front() : param_set);
  if (std::ranges::find(names, name) == names.end()) {
    RaiseCryptError(code::kNteBadKeysetParam, "(parameter set " + name + " of " +
                                                  std::string(GostAlgorithmName(algorithm)) + ")");
  }
  const CryptoRuntime runtime;
  ossl::EvpPkeyCtxPtr context(::EVP_PKEY_CTX_new_id(KeyNid(algorithm), engine::Gost()));
  EVP_PKEY* key = nullptr;
  if (!context || ::EVP_PKEY_keygen_init(context.get()) != 1 ||
      ::EVP_PKEY_CTX_ctrl_str(context.get(), "paramset", name.c_str()) <= 0 ||
      ::EVP_PKEY_keygen(context.get(), &key) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kNteFail, "(key generation)");
  }
  return PrivateKeyAccess::Wrap(ossl::EvpPkeyPtr(key));
}

PrivateKey PrivateKey::FromPem(std::string_view pem, std::optional<std::string_view> password) {
  const CryptoRuntime runtime;
  CheckPemDerivations(pem);
  const ossl::BioPtr bio = ossl::MemoryBio(pem);
  PasswordSource source{password};
  ossl::EvpPkeyPtr key(::PEM_read_bio_PrivateKey(bio.get(), nullptr, &PasswordCallback, &source));
  if (!key) {
    if (source.asked) {
      RaiseCryptErrorWithOpenSsl(code::kScardWWrongChv,
                                 password ? "(wrong key password)" : "(key password not given)");
    }
    RaiseCryptErrorWithOpenSsl(code::kNteBadKey);
  }
  return PrivateKeyAccess::Wrap(std::move(key));
}

std::string PrivateKey::ToPkcs8Pem() const {
  const CryptoRuntime runtime;
  const ossl::BioPtr bio = ossl::NewMemoryBio();
  if (::PEM_write_bio_PKCS8PrivateKey(bio.get(), impl_->key.get(), nullptr, nullptr, 0, nullptr,
                                      nullptr) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode);
  }
  return ossl::BioContents(bio.get());
}

std::string PrivateKey::PublicKeyInfoDer() const {
  const CryptoRuntime runtime;
  return ossl::ToDer(impl_->key.get(),
                     [](const EVP_PKEY* k, unsigned char** out) { return ::i2d_PUBKEY(k, out); });
}

std::string PrivateKey::AlgorithmOid() const {
  // OBJ_nid2obj returns OpenSSL's own table entry, which stays OpenSSL's.
  return ossl::OidText(::OBJ_nid2obj(::EVP_PKEY_get_base_id(impl_->key.get())));
}

std::optional<GostAlgorithm> PrivateKey::Algorithm() const noexcept {
  switch (::EVP_PKEY_get_base_id(impl_->key.get())) {
    case NID_id_GostR3410_2001:
      return GostAlgorithm::k2001;
    case NID_id_GostR3410_2012_256:
      return GostAlgorithm::k2012_256;
    case NID_id_GostR3410_2012_512:
      return GostAlgorithm::k2012_512;
    default:
      return std::nullopt;
  }
}

bool PrivateKey::Matches(const Certificate& certificate) const {
  const CryptoRuntime runtime;
  EVP_PKEY* public_key = ::X509_get0_pubkey(CertificateAccess::Native(certificate));
  const bool same = public_key != nullptr && ::EVP_PKEY_eq(impl_->key.get(), public_key) == 1;
  ::ERR_clear_error();
  return same;
}

namespace {

// What the bags of a PKCS #12 file hold: the first private key and every X.509 certificate.
struct Pkcs12Contents {
  ossl::EvpPkeyPtr key;
  std::vector<ossl::X509Ptr> certificates;
};

// The password as OpenSSL's PKCS #12 calls take it: for an empty one, null or "" (two different
// keys: no bytes, or a BMPString terminator), whichever the MAC accepts.
struct Pkcs12Password {
  const char* text = nullptr;
  int length = 0;
};

// A part that does not decrypt: a wrong password when no MAC vouched for it, else broken bytes.
[[noreturn]] void RaiseUndecryptable(bool has_mac) {
  if (has_mac) {
    RaiseCryptErrorWithOpenSsl(code::kNteBadKey, "(PKCS#12 contents)");
  }
  ::ERR_clear_error();
  RaiseCryptError(code::kScardWWrongChv, "(wrong PKCS#12 password)");
}

void TakeBags(const STACK_OF(PKCS12_SAFEBAG) * bags, const Pkcs12Password& password, bool has_mac,
              Pkcs12Contents& contents) {
  for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
    const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
    switch (::PKCS12_SAFEBAG_get_nid(bag)) {
      case NID_keyBag:
        if (!contents.key) {
          contents.key.reset(::EVP_PKCS82PKEY(::PKCS12_SAFEBAG_get0_p8inf(bag)));
        }
        break;
      case NID_pkcs8ShroudedKeyBag: {
        const X509_ALGOR* algorithm = nullptr;
        ::X509_SIG_get0(::PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
        CheckDerivationCost(algorithm, "PKCS#12 key");
        const Pkcs8Ptr info(::PKCS12_decrypt_skey(bag, password.text, password.length));
        if (!info) {
          RaiseUndecryptable(has_mac);
        }
        if (!contents.key) {
          contents.key.reset(::EVP_PKCS82PKEY(info.get()));
        }
        break;
      }
      case NID_certBag:
        if (::PKCS12_SAFEBAG_get_bag_nid(bag) == NID_x509Certificate) {
          if (X509* certificate = ::PKCS12_SAFEBAG_get1_cert(bag)) {
            contents.certificates.emplace_back(certificate);
          }
        }
        break;
      case NID_safeContentsBag:
        TakeBags(::PKCS12_SAFEBAG_get0_safes(bag), password, has_mac, contents);
        break;
      default:
        break;
    }
  }
}

// The bags of every part of the file, each encrypted part's derivation checked before it is
// decrypted. Done here rather than by PKCS12_parse, which refuses a file without a MAC whenever a
// password is given and spends any iteration count a file names.
Pkcs12Contents ReadContents(PKCS12* pkcs12, const Pkcs12Password& password, bool has_mac) {
  const SafesPtr safes(::PKCS12_unpack_authsafes(pkcs12));
  if (!safes) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(not a PKCS#12 file)");
  }
  Pkcs12Contents contents;
  for (int i = 0; i < sk_PKCS7_num(safes.get()); ++i) {
    PKCS7* safe = sk_PKCS7_value(safes.get(), i);
    BagsPtr bags;
    switch (::OBJ_obj2nid(safe->type)) {
      case NID_pkcs7_data:
        bags.reset(::PKCS12_unpack_p7data(safe));
        break;
      case NID_pkcs7_encrypted:
        if (safe->d.encrypted == nullptr || safe->d.encrypted->enc_data == nullptr) {
          RaiseCryptError(code::kCryptEBadEncode, "(not a PKCS#12 file)");
        }
        CheckDerivationCost(safe->d.encrypted->enc_data->algorithm, "PKCS#12 contents");
        bags.reset(::PKCS12_unpack_p7encdata(safe, password.text, password.length));
        if (!bags) {
          RaiseUndecryptable(has_mac);
        }
        break;
      default:
        continue;
    }
    if (!bags) {
      RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(not a PKCS#12 file)");
    }
    TakeBags(bags.get(), password, has_mac, contents);
  }
  return contents;
}

}  // namespace

KeyWithCertificate ReadPkcs12(std::string_view der, std::optional<std::string_view> password) {
  const CryptoRuntime runtime;
  const auto* in = reinterpret_cast<const unsigned char*>(der.data());
  const Pkcs12Ptr pkcs12(::d2i_PKCS12(nullptr, &in, static_cast<long>(der.size())));  // NOLINT
  if (!pkcs12 || in != reinterpret_cast<const unsigned char*>(der.data() + der.size())) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(not a PKCS#12 file)");
  }
  // OpenSSL takes the password as a C string: one with a NUL byte cannot be right. A file
  // without a MAC shows a wrong password only when its contents do not decrypt.
  const std::string text(password.value_or(""));
  const bool has_mac = ::PKCS12_mac_present(pkcs12.get()) == 1;
  Pkcs12Password given{text.c_str(), static_cast<int>(text.size())};
  bool verified = !has_mac;
  if (has_mac) {
    const ASN1_INTEGER* iterations = nullptr;
    ::PKCS12_get0_mac(nullptr, nullptr, nullptr, &iterations, pkcs12.get());
    const uint64_t cost = ValueOf(iterations, 1);
    if (cost > kMaxKeyDerivationCost) {
      RaiseCryptError(code::kNteBadKey, "(PKCS#12 MAC: " + std::to_string(cost) +
                                            " iterations, above the limit of " +
                                            std::to_string(kMaxKeyDerivationCost) + ")");
    }
    if (text.empty() && ::PKCS12_verify_mac(pkcs12.get(), nullptr, 0) == 1) {
      given.text = nullptr;
      verified = true;
    } else {
      verified = ::PKCS12_verify_mac(pkcs12.get(), text.c_str(), given.length) == 1;
    }
  }
  if (text.find('\0') != std::string::npos || !verified) {
    ::ERR_clear_error();
    RaiseCryptError(code::kScardWWrongChv, "(wrong PKCS#12 password)");
  }
  Pkcs12Contents contents = ReadContents(pkcs12.get(), given, has_mac);
  if (!contents.key || contents.certificates.empty()) {
    RaiseCryptError(code::kNteNoKey, contents.key
                                         ? "(no certificate of the key in the PKCS#12 file)"
                                         : "(no private key in the PKCS#12 file)");
  }
  // The key's own certificate, wherever it stands among the others; else the first one, which
  // the check below refuses.
  auto own = std::ranges::find_if(contents.certificates, [&](const ossl::X509Ptr& certificate) {
    EVP_PKEY* public_key = ::X509_get0_pubkey(certificate.get());
    return public_key != nullptr && ::EVP_PKEY_eq(contents.key.get(), public_key) == 1;
  });
  ::ERR_clear_error();
  KeyWithCertificate result{
      PrivateKeyAccess::Wrap(std::move(contents.key)),
      CertificateAccess::Wrap(
          std::move(own != contents.certificates.end() ? *own : contents.certificates.front()))};
  if (!result.key.Algorithm()) {
    RaiseCryptError(code::kNteBadKey, "(the key is not a GOST R 34.10 key)");
  }
  if (!result.key.Matches(result.certificate)) {
    RaiseCryptError(code::kNteBadPublicKey, "(the certificate is not the key's)");
  }
  return result;
}

}  // namespace lyr::crypt
