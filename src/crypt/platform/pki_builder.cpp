// The in-process GOST PKI over OpenSSL's X509 objects; every extension is built from its ASN.1
// structure (RFC 5280), never from configuration text, so URLs are written exactly as given.
#include "crypt/platform/pki_builder.h"

#include <openssl/pem.h>
#include <openssl/sha.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <ctime>

#include "base/ascii.h"
#include "crypt/platform/certificate_access.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/gost_engine.h"
#include "crypt/platform/private_key_access.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using AccessDescriptionPtr =
    std::unique_ptr<ACCESS_DESCRIPTION, ossl::FreeWith<&::ACCESS_DESCRIPTION_free>>;
using DistPointPtr = std::unique_ptr<DIST_POINT, ossl::FreeWith<&::DIST_POINT_free>>;
using GeneralNamePtr = std::unique_ptr<GENERAL_NAME, ossl::FreeWith<&::GENERAL_NAME_free>>;
using BitStringPtr = std::unique_ptr<ASN1_BIT_STRING, ossl::FreeWith<&::ASN1_BIT_STRING_free>>;
using OctetStringPtr =
    std::unique_ptr<ASN1_OCTET_STRING, ossl::FreeWith<&::ASN1_OCTET_STRING_free>>;
using AuthorityKeyIdPtr = std::unique_ptr<AUTHORITY_KEYID, ossl::FreeWith<&::AUTHORITY_KEYID_free>>;

struct NameKey {
  std::string_view key;
  std::string_view oid;
};

// Short names accepted in name texts, matched without regard to case.
constexpr std::array kNameKeys = {
    NameKey{"CN", "2.5.4.3"},
    NameKey{"SN", "2.5.4.4"},
    NameKey{"SERIALNUMBER", "2.5.4.5"},
    NameKey{"C", "2.5.4.6"},
    NameKey{"L", "2.5.4.7"},
    NameKey{"ST", "2.5.4.8"},
    NameKey{"STREET", "2.5.4.9"},
    NameKey{"O", "2.5.4.10"},
    NameKey{"OU", "2.5.4.11"},
    NameKey{"T", "2.5.4.12"},
    NameKey{"TITLE", "2.5.4.12"},
    NameKey{"GN", "2.5.4.42"},
    NameKey{"E", "1.2.840.113549.1.9.1"},
    NameKey{"EMAILADDRESS", "1.2.840.113549.1.9.1"},
    NameKey{"INN", "1.2.643.3.131.1.1"},
    NameKey{"OGRN", "1.2.643.100.1"},
    NameKey{"SNILS", "1.2.643.100.3"},
};

[[noreturn]] void RaiseBadArgument(std::string_view what) {
  RaiseCryptError(code::kEInvalidArg, std::string(what));
}

std::string Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) {
    text.remove_suffix(1);
  }
  return std::string(text);
}

std::string OidOfKey(const std::string& key) {
  const std::string upper = base::UpperAsciiText(key);
  for (const NameKey& known : kNameKeys) {
    if (known.key == upper) {
      return std::string(known.oid);
    }
  }
  const bool dotted = !key.empty() && std::all_of(key.begin(), key.end(), [](unsigned char c) {
    return std::isdigit(c) != 0 || c == '.';
  });
  if (!dotted || key.front() == '.' || key.back() == '.' || key.find("..") != std::string::npos) {
    RaiseBadArgument("(unknown name attribute " + key + ")");
  }
  return key;
}

// Splits a name text at its separator (',' or, for a text beginning with '/', '/'), honouring
// backslash escapes.
std::vector<std::string> SplitName(std::string_view text) {
  const char separator = !text.empty() && text.front() == '/' ? '/' : ',';
  if (separator == '/') {
    text.remove_prefix(1);
  }
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      parts.back() += text[++i];
    } else if (text[i] == separator) {
      parts.emplace_back();
    } else {
      parts.back() += text[i];
    }
  }
  return parts;
}

ossl::X509NamePtr MakeName(const std::vector<NameAttribute>& attributes) {
  if (attributes.empty()) {
    RaiseBadArgument("(empty name)");
  }
  ossl::X509NamePtr name(::X509_NAME_new());
  for (const NameAttribute& attribute : attributes) {
    const ossl::Asn1ObjectPtr object(::OBJ_txt2obj(attribute.oid.c_str(), 1));
    const std::string utf8 = rtl::AnsiToUtf8String(attribute.value);
    // MBSTRING_UTF8 lets OpenSSL's string table choose each attribute's type: PrintableString for
    // countryName, IA5String for e-mail, UTF8String otherwise.
    if (!object || ::X509_NAME_add_entry_by_OBJ(name.get(), object.get(), MBSTRING_UTF8,
                                                reinterpret_cast<const unsigned char*>(utf8.data()),
                                                static_cast<int>(utf8.size()), -1, 0) != 1) {
      RaiseCryptErrorWithOpenSsl(code::kEInvalidArg, "(name attribute " + attribute.oid + ")");
    }
  }
  return name;
}

ossl::Asn1IntegerPtr MakeSerial(const std::string& hex) {
  const bool valid = !hex.empty() && std::all_of(hex.begin(), hex.end(), [](char c) {
    return base::HexDigitValue(c) >= 0;
  });
  BIGNUM* raw = nullptr;
  if (!valid || ::BN_hex2bn(&raw, hex.c_str()) != static_cast<int>(hex.size())) {
    ::BN_free(raw);
    RaiseBadArgument("(serial number " + hex + ")");
  }
  const ossl::BignumPtr number(raw);
  ossl::Asn1IntegerPtr serial(::BN_to_ASN1_INTEGER(number.get(), nullptr));
  if (!serial) {
    RaiseCryptErrorWithOpenSsl(code::kEOutOfMemory);
  }
  return serial;
}

ossl::Asn1TimePtr MakeTime(int64_t unix_time) {
  ossl::Asn1TimePtr time(::ASN1_TIME_set(nullptr, static_cast<time_t>(unix_time)));
  if (!time) {
    RaiseCryptErrorWithOpenSsl(code::kEInvalidArg, "(time)");
  }
  return time;
}

// A time written as text, unchecked.
ossl::Asn1TimePtr MakeRawTime(const std::string& text) {
  ossl::Asn1TimePtr time(
      ::ASN1_STRING_type_new(text.size() == 13 ? V_ASN1_UTCTIME : V_ASN1_GENERALIZEDTIME));
  if (!time || ::ASN1_STRING_set(time.get(), text.data(), static_cast<int>(text.size())) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kEOutOfMemory);
  }
  return time;
}

// An extension of raw value DER.
ossl::X509ExtPtr MakeRawExtension(const ExtensionInfo& extension) {
  const ossl::Asn1ObjectPtr object(::OBJ_txt2obj(extension.oid.c_str(), 1));
  const OctetStringPtr value(::ASN1_OCTET_STRING_new());
  if (!object || !value ||
      ::ASN1_OCTET_STRING_set(value.get(),
                              reinterpret_cast<const unsigned char*>(extension.value_der.data()),
                              static_cast<int>(extension.value_der.size())) != 1) {
    RaiseBadArgument("(extension " + extension.oid + ")");
  }
  ossl::X509ExtPtr made(::X509_EXTENSION_create_by_OBJ(nullptr, object.get(),
                                                       extension.critical ? 1 : 0, value.get()));
  if (!made) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(extension " + extension.oid + ")");
  }
  return made;
}

GeneralNamePtr MakeUri(const std::string& url) {
  GeneralNamePtr name(::GENERAL_NAME_new());
  ASN1_IA5STRING* text = ::ASN1_IA5STRING_new();
  if (!name || text == nullptr ||
      ::ASN1_STRING_set(text, url.data(), static_cast<int>(url.size())) != 1) {
    ::ASN1_IA5STRING_free(text);
    RaiseCryptErrorWithOpenSsl(code::kEOutOfMemory);
  }
  ::GENERAL_NAME_set0_value(name.get(), GEN_URI, text);
  return name;
}

// Adds an extension built from its structure; X509_add1_ext_i2d copies it.
template <typename T>
void AddExtension(X509* x509, int nid, T* value, bool critical) {
  if (::X509_add1_ext_i2d(x509, nid, value, critical ? 1 : 0, X509V3_ADD_REPLACE) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(certificate extension)");
  }
}

void AddBasicConstraints(X509* x509, const CertificateSpec& fields) {
  if (fields.basic_constraints == ExtensionMode::kAbsent) {
    return;
  }
  const ossl::BasicConstraintsPtr constraints(::BASIC_CONSTRAINTS_new());
  constraints->ca = fields.ca ? 0xFF : 0;
  if (fields.ca && fields.path_length >= 0) {
    constraints->pathlen = ::ASN1_INTEGER_new();
    ::ASN1_INTEGER_set(constraints->pathlen, fields.path_length);
  }
  AddExtension(x509, NID_basic_constraints, constraints.get(),
               fields.basic_constraints == ExtensionMode::kCritical);
}

void AddKeyUsage(X509* x509, const CertificateSpec& fields) {
  if (fields.key_usage == 0) {
    return;
  }
  const BitStringPtr bits(::ASN1_BIT_STRING_new());
  for (int bit = 0; bit <= 8; ++bit) {
    if ((fields.key_usage & (1u << bit)) != 0) {
      ::ASN1_BIT_STRING_set_bit(bits.get(), bit, 1);
    }
  }
  AddExtension(x509, NID_key_usage, bits.get(), fields.key_usage_critical);
}

void PushAccess(AUTHORITY_INFO_ACCESS* access, int method_nid, const std::string& url) {
  AccessDescriptionPtr description(::ACCESS_DESCRIPTION_new());
  ::ASN1_OBJECT_free(description->method);
  description->method = ::OBJ_nid2obj(method_nid);
  ::GENERAL_NAME_free(description->location);
  description->location = MakeUri(url).release();
  if (::sk_ACCESS_DESCRIPTION_push(access, description.get()) <= 0) {
    RaiseCryptErrorWithOpenSsl(code::kEOutOfMemory);
  }
  description.release();
}

void AddAuthorityInfoAccess(X509* x509, const CertificateSpec& fields) {
  if (fields.ca_issuers_urls.empty() && fields.ocsp_urls.empty()) {
    return;
  }
  const ossl::AuthorityInfoPtr access(::AUTHORITY_INFO_ACCESS_new());
  for (const std::string& url : fields.ca_issuers_urls) {
    PushAccess(access.get(), NID_ad_ca_issuers, url);
  }
  for (const std::string& url : fields.ocsp_urls) {
    PushAccess(access.get(), NID_ad_OCSP, url);
  }
  AddExtension(x509, NID_info_access, access.get(), false);
}

void AddCrlDistributionPoints(X509* x509, const CertificateSpec& fields) {
  if (fields.crl_urls.empty()) {
    return;
  }
  const ossl::DistPointsPtr points(::CRL_DIST_POINTS_new());
  for (const std::string& url : fields.crl_urls) {
    DistPointPtr point(::DIST_POINT_new());
    point->distpoint = ::DIST_POINT_NAME_new();
    point->distpoint->type = 0;  // fullName
    point->distpoint->name.fullname = ::GENERAL_NAMES_new();
    GeneralNamePtr uri = MakeUri(url);
    if (::sk_GENERAL_NAME_push(point->distpoint->name.fullname, uri.get()) <= 0) {
      RaiseCryptErrorWithOpenSsl(code::kEOutOfMemory);
    }
    uri.release();
    if (::sk_DIST_POINT_push(points.get(), point.get()) <= 0) {
      RaiseCryptErrorWithOpenSsl(code::kEOutOfMemory);
    }
    point.release();
  }
  AddExtension(x509, NID_crl_distribution_points, points.get(), false);
}

// RFC 5280 section 4.2.1.2 method (1): SHA-1 of the subjectPublicKey BIT STRING's value.
OctetStringPtr KeyIdentifierOf(X509* x509) {
  const unsigned char* key = nullptr;
  int length = 0;
  if (::X509_PUBKEY_get0_param(nullptr, &key, &length, nullptr, ::X509_get_X509_PUBKEY(x509)) !=
      1) {
    RaiseCryptErrorWithOpenSsl(code::kNteBadPublicKey);
  }
  unsigned char digest[SHA_DIGEST_LENGTH];
  ::SHA1(key, static_cast<size_t>(length), digest);
  OctetStringPtr identifier(::ASN1_OCTET_STRING_new());
  ::ASN1_OCTET_STRING_set(identifier.get(), digest, SHA_DIGEST_LENGTH);
  return identifier;
}

// The issuer's own subject key identifier when it has one, else one computed from its key.
AuthorityKeyIdPtr AuthorityKeyIdOf(X509* issuer) {
  AuthorityKeyIdPtr authority(::AUTHORITY_KEYID_new());
  const ASN1_OCTET_STRING* own = ::X509_get0_subject_key_id(issuer);
  ::ERR_clear_error();
  authority->keyid =
      own != nullptr ? ::ASN1_OCTET_STRING_dup(own) : KeyIdentifierOf(issuer).release();
  return authority;
}

void CheckSpec(const CertificateSpec& fields) {
  if (fields.subject.empty()) {
    RaiseBadArgument("(empty subject)");
  }
  if (fields.not_after < fields.not_before) {
    RaiseBadArgument("(notAfter before notBefore)");
  }
}

void CheckIssuerKey(X509* issuer, const PrivateKey& issuer_key) {
  if (::X509_check_private_key(issuer, PrivateKeyAccess::Native(issuer_key)) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kNteBadPublicKey, "(the key is not the issuer's)");
  }
}

// Builds and signs a certificate; issuer is null for a self-signed one.
Certificate Issue(const CertificateSpec& fields, EVP_PKEY* subject_key, X509* issuer,
                  const PrivateKey& signer) {
  CheckSpec(fields);
  ossl::X509Ptr x509(::X509_new());
  const ossl::X509NamePtr subject = MakeName(fields.subject);
  const ossl::Asn1IntegerPtr serial = MakeSerial(fields.serial_hex);
  const ossl::Asn1TimePtr not_before = fields.not_before_text.empty()
                                           ? MakeTime(fields.not_before)
                                           : MakeRawTime(fields.not_before_text);
  const ossl::Asn1TimePtr not_after = MakeTime(fields.not_after);
  if (::X509_set_version(x509.get(), X509_VERSION_3) != 1 ||
      ::X509_set_serialNumber(x509.get(), serial.get()) != 1 ||
      ::X509_set_subject_name(x509.get(), subject.get()) != 1 ||
      ::X509_set_issuer_name(
          x509.get(), issuer != nullptr ? ::X509_get_subject_name(issuer) : subject.get()) != 1 ||
      ::X509_set1_notBefore(x509.get(), not_before.get()) != 1 ||
      ::X509_set1_notAfter(x509.get(), not_after.get()) != 1 ||
      ::X509_set_pubkey(x509.get(), subject_key) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(certificate fields)");
  }
  AddBasicConstraints(x509.get(), fields);
  AddKeyUsage(x509.get(), fields);
  if (fields.key_identifiers) {
    const OctetStringPtr own = KeyIdentifierOf(x509.get());
    AddExtension(x509.get(), NID_subject_key_identifier, own.get(), false);
    AuthorityKeyIdPtr authority;
    if (issuer != nullptr) {
      authority = AuthorityKeyIdOf(issuer);
    } else {
      authority.reset(::AUTHORITY_KEYID_new());
      authority->keyid = ::ASN1_OCTET_STRING_dup(own.get());
    }
    AddExtension(x509.get(), NID_authority_key_identifier, authority.get(), false);
  }
  AddAuthorityInfoAccess(x509.get(), fields);
  AddCrlDistributionPoints(x509.get(), fields);
  for (const ExtensionInfo& extension : fields.extra_extensions) {
    if (::X509_add_ext(x509.get(), MakeRawExtension(extension).get(), -1) != 1) {
      RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(certificate extension)");
    }
  }
  if (::X509_sign(x509.get(), PrivateKeyAccess::Native(signer),
                  engine::SigningDigest(PrivateKeyAccess::Native(signer))) <= 0) {
    RaiseCryptErrorWithOpenSsl(code::kNteFail, "(certificate signature)");
  }
  return CertificateAccess::Wrap(std::move(x509));
}

// RFC 7468 textual encoding: Base64 lines of 64 characters between the labels.
std::string PemOf(std::string_view label, std::string_view der) {
  std::string pem = "-----BEGIN " + std::string(label) + "-----\n";
  for (size_t offset = 0; offset < der.size(); offset += 48) {
    const size_t chunk = std::min<size_t>(48, der.size() - offset);
    unsigned char line[65];
    const int length = ::EVP_EncodeBlock(
        line, reinterpret_cast<const unsigned char*>(der.data() + offset), static_cast<int>(chunk));
    pem.append(reinterpret_cast<const char*>(line), static_cast<size_t>(length));
    pem += '\n';
  }
  return pem + "-----END " + std::string(label) + "-----\n";
}

}  // namespace

std::string CertificateToPem(const Certificate& certificate) {
  return PemOf("CERTIFICATE", certificate.Der());
}

std::string CrlToPem(const Crl& crl) {
  return PemOf("X509 CRL", crl.Der());
}

std::vector<NameAttribute> ParseDistinguishedName(std::string_view text) {
  std::vector<NameAttribute> attributes;
  for (const std::string& part : SplitName(text)) {
    const size_t equals = part.find('=');
    if (equals == std::string::npos) {
      if (Trim(part).empty()) {
        continue;  // "CN=a," or "/CN=a/"
      }
      RaiseBadArgument("(name part without '=': " + part + ")");
    }
    attributes.push_back({OidOfKey(Trim(std::string_view(part).substr(0, equals))),
                          Trim(std::string_view(part).substr(equals + 1))});
  }
  if (attributes.empty()) {
    RaiseBadArgument("(empty name)");
  }
  return attributes;
}

Certificate IssueSelfSigned(const CertificateSpec& fields, const PrivateKey& key) {
  const CryptoRuntime runtime;
  return Issue(fields, PrivateKeyAccess::Native(key), nullptr, key);
}

Certificate IssueCertificate(const CertificateSpec& fields, std::string_view subject_public_key_der,
                             const Certificate& issuer, const PrivateKey& issuer_key) {
  const CryptoRuntime runtime;
  const auto* in = reinterpret_cast<const unsigned char*>(subject_public_key_der.data());
  const ossl::EvpPkeyPtr subject_key(
      ::d2i_PUBKEY(nullptr, &in, static_cast<long>(subject_public_key_der.size())));  // NOLINT
  if (!subject_key) {
    RaiseCryptErrorWithOpenSsl(code::kNteBadPublicKey, "(subject public key)");
  }
  X509* const native_issuer = CertificateAccess::Native(issuer);
  CheckIssuerKey(native_issuer, issuer_key);
  return Issue(fields, subject_key.get(), native_issuer, issuer_key);
}

Certificate IssueCertificate(const CertificateSpec& fields, const PrivateKey& subject_key,
                             const Certificate& issuer, const PrivateKey& issuer_key) {
  const CryptoRuntime runtime;
  X509* const native_issuer = CertificateAccess::Native(issuer);
  CheckIssuerKey(native_issuer, issuer_key);
  return Issue(fields, PrivateKeyAccess::Native(subject_key), native_issuer, issuer_key);
}

Crl IssueCrl(const CrlSpec& fields, const Certificate& issuer, const PrivateKey& issuer_key) {
  const CryptoRuntime runtime;
  X509* const native_issuer = CertificateAccess::Native(issuer);
  CheckIssuerKey(native_issuer, issuer_key);
  if (fields.next_update != 0 && fields.next_update < fields.this_update) {
    RaiseBadArgument("(nextUpdate before thisUpdate)");
  }
  ossl::X509CrlPtr crl(::X509_CRL_new());
  const ossl::Asn1TimePtr this_update = MakeTime(fields.this_update);
  if (::X509_CRL_set_version(crl.get(), X509_CRL_VERSION_2) != 1 ||
      ::X509_CRL_set_issuer_name(crl.get(), ::X509_get_subject_name(native_issuer)) != 1 ||
      ::X509_CRL_set1_lastUpdate(crl.get(), this_update.get()) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(CRL fields)");
  }
  if (fields.next_update != 0 &&
      ::X509_CRL_set1_nextUpdate(crl.get(), MakeTime(fields.next_update).get()) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(CRL nextUpdate)");
  }
  for (const CrlSpec::Entry& entry : fields.revoked) {
    ossl::X509RevokedPtr revoked(::X509_REVOKED_new());
    if (::X509_REVOKED_set_serialNumber(revoked.get(), MakeSerial(entry.serial_hex).get()) != 1 ||
        ::X509_REVOKED_set_revocationDate(revoked.get(), MakeTime(entry.revocation_date).get()) !=
            1 ||
        ::X509_CRL_add0_revoked(crl.get(), revoked.get()) != 1) {
      RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(CRL entry)");
    }
    revoked.release();
  }
  if (fields.crl_number >= 0) {
    const ossl::Asn1IntegerPtr number(::ASN1_INTEGER_new());
    ::ASN1_INTEGER_set_int64(number.get(), fields.crl_number);
    if (::X509_CRL_add1_ext_i2d(crl.get(), NID_crl_number, number.get(), 0, 0) != 1) {
      RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(CRL number)");
    }
  }
  if (fields.authority_key_identifier) {
    const AuthorityKeyIdPtr authority = AuthorityKeyIdOf(native_issuer);
    if (::X509_CRL_add1_ext_i2d(crl.get(), NID_authority_key_identifier, authority.get(), 0, 0) !=
        1) {
      RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(CRL authority key identifier)");
    }
  }
  for (const ExtensionInfo& extension : fields.extra_extensions) {
    if (::X509_CRL_add_ext(crl.get(), MakeRawExtension(extension).get(), -1) != 1) {
      RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(CRL extension)");
    }
  }
  if (::X509_CRL_sign(crl.get(), PrivateKeyAccess::Native(issuer_key),
                      engine::SigningDigest(PrivateKeyAccess::Native(issuer_key))) <= 0) {
    RaiseCryptErrorWithOpenSsl(code::kNteFail, "(CRL signature)");
  }
  return Crl::FromDer(ossl::ToDer(
      crl.get(), [](const X509_CRL* c, unsigned char** out) { return ::i2d_X509_CRL(c, out); }));
}

std::string SignDetached(std::string_view content, const Certificate& signer,
                         const PrivateKey& key) {
  const CryptoRuntime runtime;
  constexpr unsigned kFlags = CMS_DETACHED | CMS_BINARY | CMS_NOSMIMECAP | CMS_PARTIAL;
  X509* const certificate = CertificateAccess::Native(signer);
  EVP_PKEY* const native_key = PrivateKeyAccess::Native(key);
  CheckIssuerKey(certificate, key);
  ossl::CmsPtr cms(::CMS_sign(nullptr, nullptr, nullptr, nullptr, kFlags));
  CMS_SignerInfo* info = cms ? ::CMS_add1_signer(cms.get(), certificate, native_key,
                                                 engine::SigningDigest(native_key), kFlags)
                             : nullptr;
  if (info == nullptr) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEMsgError);
  }
  const ossl::Asn1TimePtr now(::ASN1_UTCTIME_adj(nullptr, std::time(nullptr), 0, 0));
  ::CMS_signed_add1_attr_by_NID(info, NID_pkcs9_signingTime, V_ASN1_UTCTIME, now.get(), -1);
  const ossl::BioPtr in = ossl::MemoryBio(content);
  if (::CMS_final(cms.get(), in.get(), nullptr, kFlags) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEMsgError);
  }
  return ossl::ToDer(cms.get(), [](const CMS_ContentInfo* c, unsigned char** out) {
    return ::i2d_CMS_ContentInfo(c, out);
  });
}

std::string MakeCertificateRequestPem(const std::vector<NameAttribute>& subject,
                                      const PrivateKey& key) {
  const CryptoRuntime runtime;
  const ossl::X509NamePtr name = MakeName(subject);
  const ossl::X509ReqPtr request(::X509_REQ_new());
  EVP_PKEY* const native_key = PrivateKeyAccess::Native(key);
  if (::X509_REQ_set_version(request.get(), X509_REQ_VERSION_1) != 1 ||
      ::X509_REQ_set_subject_name(request.get(), name.get()) != 1 ||
      ::X509_REQ_set_pubkey(request.get(), native_key) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(request fields)");
  }
  if (::X509_REQ_sign(request.get(), native_key, engine::SigningDigest(native_key)) <= 0) {
    RaiseCryptErrorWithOpenSsl(code::kNteFail, "(request signature)");
  }
  const ossl::BioPtr bio = ossl::NewMemoryBio();
  if (::PEM_write_bio_X509_REQ(bio.get(), request.get()) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode, "(request PEM)");
  }
  return ossl::BioContents(bio.get());
}

}  // namespace lyr::crypt
