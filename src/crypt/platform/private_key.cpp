// GOST private keys over the engine's EVP_PKEY methods.
#include "crypt/platform/private_key.h"

#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include <algorithm>
#include <cstring>

#include "crypt/crypt_error.h"
#include "crypt/platform/certificate_access.h"
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
  if (text.find('\0') != std::string::npos ||
      (has_mac &&
       ::PKCS12_verify_mac(pkcs12.get(), text.c_str(), static_cast<int>(text.size())) != 1)) {
    ::ERR_clear_error();
    RaiseCryptError(code::kScardWWrongChv, "(wrong PKCS#12 password)");
  }
  EVP_PKEY* key = nullptr;
  X509* certificate = nullptr;
  STACK_OF(X509)* others = nullptr;
  const int parsed = ::PKCS12_parse(pkcs12.get(), text.c_str(), &key, &certificate, &others);
  ossl::EvpPkeyPtr owned_key(key);
  ossl::X509Ptr owned_certificate(certificate);
  const ossl::X509StackOwnedPtr owned_others(others);
  if (parsed != 1) {
    RaiseCryptErrorWithOpenSsl(has_mac ? code::kNteBadKey : code::kScardWWrongChv,
                               "(PKCS#12 contents)");
  }
  if (!owned_key || !owned_certificate) {
    RaiseCryptError(code::kNteNoKey, owned_key ? "(no certificate of the key in the PKCS#12 file)"
                                               : "(no private key in the PKCS#12 file)");
  }
  KeyWithCertificate result{PrivateKeyAccess::Wrap(std::move(owned_key)),
                            CertificateAccess::Wrap(std::move(owned_certificate))};
  if (!result.key.Algorithm()) {
    RaiseCryptError(code::kNteBadKey, "(the key is not a GOST R 34.10 key)");
  }
  if (!result.key.Matches(result.certificate)) {
    RaiseCryptError(code::kNteBadPublicKey, "(the certificate is not the key's)");
  }
  return result;
}

}  // namespace lyr::crypt
