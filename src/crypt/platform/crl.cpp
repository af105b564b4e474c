// Certificate revocation lists over OpenSSL's X509_CRL.
#include "crypt/platform/crl.h"

#include <openssl/pem.h>
#include <openssl/sha.h>

#include "crypt/platform/certificate_access.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "rtl/hex.h"

namespace lyr::crypt {

namespace {

// CRL extensions that may be critical here: the CRL number, the authority key identifier and the
// issuer's alternative name; entry extensions: the reason code and the invalidity date.
constexpr std::string_view kProcessedCrlExtensions[] = {"2.5.29.20", "2.5.29.35", "2.5.29.18"};
constexpr std::string_view kProcessedEntryExtensions[] = {"2.5.29.21", "2.5.29.24"};

template <typename Owner, typename Count, typename Get>
std::vector<ExtensionInfo> ExtensionsOf(const Owner* owner, Count count, Get get) {
  std::vector<ExtensionInfo> extensions;
  for (int i = 0; i < count(owner); ++i) {
    X509_EXTENSION* extension = get(owner, i);
    const ASN1_OCTET_STRING* value = ::X509_EXTENSION_get_data(extension);
    extensions.push_back({ossl::OidText(::X509_EXTENSION_get_object(extension)),
                          ::X509_EXTENSION_get_critical(extension) != 0,
                          std::string(reinterpret_cast<const char*>(::ASN1_STRING_get0_data(value)),
                                      static_cast<size_t>(::ASN1_STRING_length(value)))});
  }
  return extensions;
}

}  // namespace

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

std::string Crl::Defect() const {
  X509_CRL* const crl = impl_->crl.get();
  const std::optional<int64_t> this_update =
      ossl::StrictTimeToUnix(::X509_CRL_get0_lastUpdate(crl));
  const ASN1_TIME* next = ::X509_CRL_get0_nextUpdate(crl);
  const std::optional<int64_t> next_update = ossl::StrictTimeToUnix(next);
  if (!this_update || (next != nullptr && !next_update)) {
    return "time not in the form RFC 5280 requires";
  }
  if (next_update && *next_update < *this_update) {
    return "nextUpdate before thisUpdate";
  }
  const std::vector<ExtensionInfo> extensions =
      ExtensionsOf(crl, ::X509_CRL_get_ext_count, ::X509_CRL_get_ext);
  if (!extensions.empty() && ::X509_CRL_get_version(crl) != X509_CRL_VERSION_2) {
    return "extensions in a version 1 CRL";
  }
  if (std::string defect = ExtensionDefect(extensions, kProcessedCrlExtensions); !defect.empty()) {
    return defect;
  }
  STACK_OF(X509_REVOKED)* revoked = ::X509_CRL_get_REVOKED(crl);
  for (int i = 0; i < sk_X509_REVOKED_num(revoked); ++i) {
    const X509_REVOKED* entry = sk_X509_REVOKED_value(revoked, i);
    if (!ossl::StrictTimeToUnix(::X509_REVOKED_get0_revocationDate(entry))) {
      return "revocation date not in the form RFC 5280 requires";
    }
    std::string defect =
        ExtensionDefect(ExtensionsOf(entry, ::X509_REVOKED_get_ext_count, ::X509_REVOKED_get_ext),
                        kProcessedEntryExtensions);
    if (!defect.empty()) {
      return "entry: " + defect;
    }
  }
  return {};
}

bool Crl::IsUsableAt(int64_t now) const {
  return Defect().empty() && ThisUpdate() <= now + kCrlClockSkew;
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
