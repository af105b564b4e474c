// Certificate revocation lists over OpenSSL's X509_CRL.
#include "crypt/platform/crl.h"

#include <openssl/pem.h>
#include <openssl/sha.h>

#include "crypt/crypt_error.h"
#include "crypt/platform/certificate_access.h"
#include "crypt/platform/crypto_runtime.h"
#include "rtl/hex.h"

namespace lyr::crypt {

struct Crl::Impl {
  ossl::X509CrlPtr crl;
  std::string der;
};

struct CrlAccess {
  static Crl Make(ossl::X509CrlPtr crl, std::string der) {
    auto impl = std::make_shared<Crl::Impl>();
    impl->crl = std::move(crl);
    impl->der = std::move(der);
    return Crl(std::move(impl));
  }
};

Crl Crl::FromDer(std::string_view der) {
  const CryptoRuntime runtime;
  const auto* in = reinterpret_cast<const unsigned char*>(der.data());
  const auto* const begin = in;
  ossl::X509CrlPtr crl(::d2i_X509_CRL(nullptr, &in, static_cast<long>(der.size())));  // NOLINT
  if (!crl) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEAsn1BadTag);
  }
  if (static_cast<size_t>(in - begin) != der.size()) {
    RaiseCryptError(code::kCryptEAsn1BadTag, "(data after the CRL)");
  }
  return CrlAccess::Make(std::move(crl), std::string(der));
}

Crl Crl::FromPem(std::string_view pem) {
  const CryptoRuntime runtime;
  const ossl::BioPtr bio = ossl::MemoryBio(pem);
  ossl::X509CrlPtr crl(::PEM_read_bio_X509_CRL(bio.get(), nullptr, nullptr, nullptr));
  if (!crl) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEAsn1BadTag);
  }
  std::string der = ossl::ToDer(
      crl.get(), [](const X509_CRL* c, unsigned char** out) { return ::i2d_X509_CRL(c, out); });
  return CrlAccess::Make(std::move(crl), std::move(der));
}

const std::string& Crl::Der() const noexcept {
  return impl_->der;
}

std::string Crl::Thumbprint() const {
  std::string digest(SHA_DIGEST_LENGTH, '\0');
  ::SHA1(reinterpret_cast<const unsigned char*>(impl_->der.data()), impl_->der.size(),
         reinterpret_cast<unsigned char*>(digest.data()));
  return rtl::BytesToHexPlain(digest);
}

std::string Crl::IssuerNameDer() const {
  return ossl::ToDer(
      ::X509_CRL_get_issuer(impl_->crl.get()),
      [](const X509_NAME* n, unsigned char** out) { return ::i2d_X509_NAME(n, out); });
}

std::vector<NameAttribute> Crl::Issuer() const {
  return NameAttributes(::X509_CRL_get_issuer(impl_->crl.get()));
}

std::optional<std::string> Crl::IssuerCN() const {
  return CommonName(::X509_CRL_get_issuer(impl_->crl.get()));
}

int64_t Crl::ThisUpdate() const {
  return ossl::TimeToUnix(::X509_CRL_get0_lastUpdate(impl_->crl.get()));
}

int64_t Crl::NextUpdate() const {
  return ossl::TimeToUnix(::X509_CRL_get0_nextUpdate(impl_->crl.get()));
}

std::vector<RevokedEntry> Crl::Revoked() const {
  std::vector<RevokedEntry> entries;
  STACK_OF(X509_REVOKED)* revoked = ::X509_CRL_get_REVOKED(impl_->crl.get());
  for (int i = 0; i < sk_X509_REVOKED_num(revoked); ++i) {
    const X509_REVOKED* entry = sk_X509_REVOKED_value(revoked, i);
    const ASN1_INTEGER* serial = ::X509_REVOKED_get0_serialNumber(entry);
    entries.push_back({ossl::IntegerContent(serial),
                       ossl::TimeToUnix(::X509_REVOKED_get0_revocationDate(entry))});
  }
  return entries;
}

bool Crl::IsIssuedBy(const Certificate& issuer) const {
  const CryptoRuntime runtime;
  X509* native = CertificateAccess::Native(issuer);
  if (::X509_NAME_cmp(::X509_CRL_get_issuer(impl_->crl.get()), ::X509_get_subject_name(native)) !=
      0) {
    SetLastCryptError(code::kCryptENotFound);
    return false;
  }
  EVP_PKEY* key = ::X509_get0_pubkey(native);
  if (key == nullptr || ::X509_CRL_verify(impl_->crl.get(), key) != 1) {
    SetLastCryptError(code::kNteBadSignature, ossl::TakeOpenSslError());
    return false;
  }
  return true;
}

}  // namespace lyr::crypt
