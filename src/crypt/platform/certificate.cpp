// Certificates over OpenSSL's X509.
#include "crypt/platform/certificate.h"

#include <openssl/pem.h>
#include <openssl/sha.h>

#include <algorithm>

#include "crypt/platform/certificate_access.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/der_reader.h"
#include "rtl/hex.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using BitStringPtr = std::unique_ptr<ASN1_BIT_STRING, ossl::FreeWith<&::ASN1_BIT_STRING_free>>;

std::string Sha1Of(std::string_view bytes) {
  std::string digest(SHA_DIGEST_LENGTH, '\0');
  ::SHA1(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
         reinterpret_cast<unsigned char*>(digest.data()));
  return digest;
}

std::string Asn1StringText(const ASN1_STRING* value) {
  unsigned char* utf8 = nullptr;
  const int length = ::ASN1_STRING_to_UTF8(&utf8, value);
  if (length < 0) {
    ::ERR_clear_error();
    return {};
  }
  std::string text(reinterpret_cast<const char*>(utf8), static_cast<size_t>(length));
  ::OPENSSL_free(utf8);
  return rtl::Utf8ToAnsi(std::string_view(text));
}

std::string Asn1StringBytes(const ASN1_STRING* value) {
  return std::string(reinterpret_cast<const char*>(::ASN1_STRING_get0_data(value)),
                     static_cast<size_t>(::ASN1_STRING_length(value)));
}

// Extensions whose meaning this system applies, or that carry no constraint, so that they may be
// critical: key usage, basic constraints, extended key usage, certificate policies (any policy is
// acceptable), the alternative names, the key identifiers, the private key usage period, the
// CRL distribution points and the authority information access.
constexpr std::string_view kProcessedExtensions[] = {
    "2.5.29.15", "2.5.29.19", "2.5.29.37", "2.5.29.32", "2.5.29.17",        "2.5.29.18",
    "2.5.29.14", "2.5.29.35", "2.5.29.16", "2.5.29.31", "1.3.6.1.5.5.7.1.1"};

// An algorithm identifier with its parameters (if any) as DER.
AlgorithmIdentifier AlgorithmOf(const X509_ALGOR* algorithm) {
  const ASN1_OBJECT* oid = nullptr;
  int parameter_type = 0;
  const void* parameter = nullptr;
  ::X509_ALGOR_get0(&oid, &parameter_type, &parameter, algorithm);
  std::string parameters;
  if (parameter_type != V_ASN1_UNDEF && parameter != nullptr) {
    ASN1_TYPE* any = ::ASN1_TYPE_new();
    if (any != nullptr && ::ASN1_TYPE_set1(any, parameter_type, parameter) == 1) {
      parameters = ossl::ToDer(any, [](const ASN1_TYPE* t, unsigned char** out) {
        return ::i2d_ASN1_TYPE(const_cast<ASN1_TYPE*>(t), out);  // NOLINT
      });
    }
    ::ASN1_TYPE_free(any);
  }
  return {ossl::OidText(oid), std::move(parameters)};
}

}  // namespace

std::string ExtensionDefect(const std::vector<ExtensionInfo>& extensions,
                            std::span<const std::string_view> processed) {
  for (size_t i = 0; i < extensions.size(); ++i) {
    const ExtensionInfo& extension = extensions[i];
    for (size_t j = 0; j < i; ++j) {
      if (extensions[j].oid == extension.oid) {
        return "extension " + extension.oid + " present twice";
      }
    }
    if (extension.critical &&
        std::find(processed.begin(), processed.end(), extension.oid) == processed.end()) {
      return "unhandled critical extension " + extension.oid;
    }
  }
  return {};
}

// Certificates are kept as DER (RFC 5280 section 4.1): a BER encoding, which OpenSSL accepts
// and re-encodes with the BER bytes of the parts it caches (the names, the signed part), is
// re-encoded here, so that one certificate has one thumbprint and its names compare byte for
// byte with those of the certificates it issued.
Certificate CertificateAccess::Wrap(ossl::X509Ptr x509) {
  const std::string encoded = ossl::ToDer(
      x509.get(), [](const X509* c, unsigned char** out) { return ::i2d_X509(c, out); });
  if (encoded.empty()) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode);
  }
  if (der::BerToDer(encoded) != encoded) {
    return Certificate::FromDer(encoded);  // parsed again from its DER
  }
  auto impl = std::make_shared<Certificate::Impl>();
  impl->sha1 = Sha1Of(encoded);
  impl->der = encoded;
  impl->x509 = std::move(x509);
  return Certificate(std::move(impl));
}

std::vector<NameAttribute> NameAttributes(const X509_NAME* name) {
  std::vector<NameAttribute> attributes;
  const int count = ::X509_NAME_entry_count(name);
  for (int i = 0; i < count; ++i) {
    const X509_NAME_ENTRY* entry = ::X509_NAME_get_entry(name, i);
    attributes.push_back({ossl::OidText(::X509_NAME_ENTRY_get_object(entry)),
                          Asn1StringText(::X509_NAME_ENTRY_get_data(entry))});
  }
  return attributes;
}

std::optional<std::string> CommonName(const X509_NAME* name) {
  const int index = ::X509_NAME_get_index_by_NID(name, NID_commonName, -1);
  if (index < 0) {
    return std::nullopt;
  }
  return Asn1StringText(::X509_NAME_ENTRY_get_data(::X509_NAME_get_entry(name, index)));
}

Certificate Certificate::FromDer(std::string_view der) {
  const CryptoRuntime runtime;  // GOST public keys decode only with the engine registered
  const auto parse = [](std::string_view bytes) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const begin = in;
    ossl::X509Ptr x509(::d2i_X509(nullptr, &in, static_cast<long>(bytes.size())));  // NOLINT
    if (!x509) {
      RaiseCryptErrorWithOpenSsl(code::kCryptEAsn1BadTag);
    }
    if (static_cast<size_t>(in - begin) != bytes.size()) {
      RaiseCryptError(code::kCryptEAsn1BadTag, "(data after the certificate)");
    }
    return x509;
  };
  ossl::X509Ptr x509 = parse(der);
  std::optional<std::string> canonical = der::BerToDer(der);
  if (!canonical) {
    RaiseCryptError(code::kCryptEAsn1BadTag, "(certificate neither BER nor DER)");
  }
  if (*canonical != der) {
    x509 = parse(*canonical);
  }
  auto impl = std::make_shared<Impl>();
  impl->sha1 = Sha1Of(*canonical);
  impl->der = std::move(*canonical);
  impl->x509 = std::move(x509);
  return Certificate(std::move(impl));
}

Certificate Certificate::FromPem(std::string_view pem) {
  const CryptoRuntime runtime;
  const ossl::BioPtr bio = ossl::MemoryBio(pem);
  ossl::X509Ptr x509(::PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
  if (!x509) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEAsn1BadTag);
  }
  return CertificateAccess::Wrap(std::move(x509));
}

const std::string& Certificate::Der() const noexcept {
  return impl_->der;
}

const std::string& Certificate::Sha1() const noexcept {
  return impl_->sha1;
}

std::string Certificate::Thumbprint() const {
  return rtl::BytesToHexPlain(impl_->sha1);
}

std::string Certificate::SubjectNameDer() const {
  return ossl::ToDer(
      ::X509_get_subject_name(impl_->x509.get()),
      [](const X509_NAME* n, unsigned char** out) { return ::i2d_X509_NAME(n, out); });
}

std::string Certificate::IssuerNameDer() const {
  return ossl::ToDer(
      ::X509_get_issuer_name(impl_->x509.get()),
      [](const X509_NAME* n, unsigned char** out) { return ::i2d_X509_NAME(n, out); });
}

std::vector<NameAttribute> Certificate::Subject() const {
  return NameAttributes(::X509_get_subject_name(impl_->x509.get()));
}

std::vector<NameAttribute> Certificate::Issuer() const {
  return NameAttributes(::X509_get_issuer_name(impl_->x509.get()));
}

std::optional<std::string> Certificate::SubjectCN() const {
  return CommonName(::X509_get_subject_name(impl_->x509.get()));
}

std::optional<std::string> Certificate::IssuerCN() const {
  return CommonName(::X509_get_issuer_name(impl_->x509.get()));
}

std::string Certificate::SerialNumber() const {
  return ossl::IntegerContent(::X509_get0_serialNumber(impl_->x509.get()));
}

int64_t Certificate::NotBefore() const {
  return ossl::TimeToUnix(::X509_get0_notBefore(impl_->x509.get()));
}

int64_t Certificate::NotAfter() const {
  return ossl::TimeToUnix(::X509_get0_notAfter(impl_->x509.get()));
}

std::string Certificate::PublicKeyAlgorithmOid() const {
  ASN1_OBJECT* algorithm = nullptr;
  ::X509_PUBKEY_get0_param(&algorithm, nullptr, nullptr, nullptr,
                           ::X509_get_X509_PUBKEY(impl_->x509.get()));
  return algorithm != nullptr ? ossl::OidText(algorithm) : std::string();
}

std::string Certificate::SignatureAlgorithmOid() const {
  const X509_ALGOR* algorithm = nullptr;
  ::X509_get0_signature(nullptr, &algorithm, impl_->x509.get());
  const ASN1_OBJECT* oid = nullptr;
  ::X509_ALGOR_get0(&oid, nullptr, nullptr, algorithm);
  return ossl::OidText(oid);
}

int32_t Certificate::Version() const {
  return static_cast<int32_t>(::X509_get_version(impl_->x509.get()));
}

AlgorithmIdentifier Certificate::TbsSignatureAlgorithm() const {
  return AlgorithmOf(::X509_get0_tbs_sigalg(impl_->x509.get()));
}

std::optional<SubjectPublicKeyInfo> Certificate::PublicKeyInfo() const {
  const X509_PUBKEY* key = ::X509_get_X509_PUBKEY(impl_->x509.get());
  const unsigned char* bits = nullptr;
  int length = 0;
  X509_ALGOR* algorithm = nullptr;
  if (key == nullptr || ::X509_PUBKEY_get0_param(nullptr, &bits, &length, &algorithm, key) != 1) {
    return std::nullopt;
  }
  return SubjectPublicKeyInfo{
      AlgorithmOf(algorithm),
      std::string(reinterpret_cast<const char*>(bits), static_cast<size_t>(length))};
}

std::vector<ExtensionInfo> Certificate::Extensions() const {
  std::vector<ExtensionInfo> extensions;
  const int count = ::X509_get_ext_count(impl_->x509.get());
  for (int i = 0; i < count; ++i) {
    X509_EXTENSION* extension = ::X509_get_ext(impl_->x509.get(), i);
    extensions.push_back({ossl::OidText(::X509_EXTENSION_get_object(extension)),
                          ::X509_EXTENSION_get_critical(extension) != 0,
                          Asn1StringBytes(::X509_EXTENSION_get_data(extension))});
  }
  return extensions;
}

std::optional<BasicConstraints> Certificate::GetBasicConstraints() const {
  int critical = -1;
  ossl::BasicConstraintsPtr value(static_cast<BASIC_CONSTRAINTS*>(
      ::X509_get_ext_d2i(impl_->x509.get(), NID_basic_constraints, &critical, nullptr)));
  if (!value) {
    if (critical == -1) {
      return std::nullopt;
    }
    RaiseCryptErrorWithOpenSsl(code::kCryptEAsn1BadTag, "(basic constraints)");
  }
  BasicConstraints result;
  result.critical = critical == 1;
  result.ca = value->ca != 0;
  if (value->pathlen != nullptr) {
    result.path_length = static_cast<int32_t>(::ASN1_INTEGER_get(value->pathlen));
  }
  return result;
}

std::optional<uint16_t> Certificate::KeyUsage() const {
  int critical = -1;
  const BitStringPtr bits(static_cast<ASN1_BIT_STRING*>(
      ::X509_get_ext_d2i(impl_->x509.get(), NID_key_usage, &critical, nullptr)));
  if (!bits) {
    if (critical == -1) {
      return std::nullopt;
    }
    RaiseCryptErrorWithOpenSsl(code::kCryptEAsn1BadTag, "(key usage)");
  }
  uint16_t usage = 0;
  for (int bit = 0; bit <= 8; ++bit) {
    if (::ASN1_BIT_STRING_get_bit(bits.get(), bit) != 0) {
      usage = static_cast<uint16_t>(usage | (1u << bit));
    }
  }
  return usage;
}

std::string Certificate::Defect() const {
  X509* const x509 = impl_->x509.get();
  if (!ossl::StrictTimeToUnix(::X509_get0_notBefore(x509)) ||
      !ossl::StrictTimeToUnix(::X509_get0_notAfter(x509))) {
    return "validity time not in the form RFC 5280 requires";
  }
  const std::vector<ExtensionInfo> extensions = Extensions();
  if (!extensions.empty() && ::X509_get_version(x509) != X509_VERSION_3) {
    return "extensions in a certificate before version 3";
  }
  std::string defect = ExtensionDefect(extensions, kProcessedExtensions);
  if (defect.empty()) {
    try {
      (void)GetBasicConstraints();
      (void)KeyUsage();
    } catch (const ECryptError&) {
      defect = "malformed basic constraints or key usage";
    }
  }
  return defect;
}

std::vector<std::string> Certificate::CrlDistributionUrls() const {
  int critical = -1;
  ossl::DistPointsPtr points(static_cast<CRL_DIST_POINTS*>(
      ::X509_get_ext_d2i(impl_->x509.get(), NID_crl_distribution_points, &critical, nullptr)));
  std::vector<std::string> urls;
  if (!points) {
    if (critical == -1) {
      return urls;
    }
    RaiseCryptErrorWithOpenSsl(code::kCryptEAsn1BadTag, "(CRL distribution points)");
  }
  for (int i = 0; i < sk_DIST_POINT_num(points.get()); ++i) {
    const DIST_POINT* point = sk_DIST_POINT_value(points.get(), i);
    if (point->distpoint == nullptr || point->distpoint->type != 0) {
      continue;  // only full names carry URLs
    }
    const GENERAL_NAMES* names = point->distpoint->name.fullname;
    for (int j = 0; j < sk_GENERAL_NAME_num(names); ++j) {
      const GENERAL_NAME* name = sk_GENERAL_NAME_value(names, j);
      if (name->type == GEN_URI) {
        urls.push_back(Asn1StringBytes(name->d.uniformResourceIdentifier));
      }
    }
  }
  return urls;
}

std::optional<std::vector<AccessDescription>> Certificate::AuthorityInfoAccess() const {
  int critical = -1;
  ossl::AuthorityInfoPtr access(static_cast<AUTHORITY_INFO_ACCESS*>(
      ::X509_get_ext_d2i(impl_->x509.get(), NID_info_access, &critical, nullptr)));
  if (!access) {
    if (critical == -1) {
      return std::nullopt;
    }
    RaiseCryptErrorWithOpenSsl(code::kCryptEAsn1BadTag, "(authority information access)");
  }
  std::vector<AccessDescription> descriptions;
  for (int i = 0; i < sk_ACCESS_DESCRIPTION_num(access.get()); ++i) {
    const ACCESS_DESCRIPTION* description = sk_ACCESS_DESCRIPTION_value(access.get(), i);
    AccessDescription item{ossl::OidText(description->method), {}};
    if (description->location->type == GEN_URI) {
      item.location = Asn1StringBytes(description->location->d.uniformResourceIdentifier);
    }
    descriptions.push_back(std::move(item));
  }
  return descriptions;
}

bool Certificate::IsSelfIssued() const {
  return ::X509_NAME_cmp(::X509_get_subject_name(impl_->x509.get()),
                         ::X509_get_issuer_name(impl_->x509.get())) == 0;
}

bool Certificate::IsSignedBy(const Certificate& issuer) const {
  const CryptoRuntime runtime;
  EVP_PKEY* key = ::X509_get0_pubkey(issuer.impl_->x509.get());
  if (key == nullptr || ::X509_verify(impl_->x509.get(), key) != 1) {
    SetLastCryptError(code::kNteBadSignature, ossl::TakeOpenSslError());
    return false;
  }
  return true;
}

bool Certificate::SameAs(const Certificate& other) const noexcept {
  return impl_ == other.impl_ || impl_->der == other.impl_->der;
}

}  // namespace lyr::crypt
