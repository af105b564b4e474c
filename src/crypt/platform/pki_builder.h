// An in-process GOST PKI: certificates (self-signed roots, intermediate CAs, end entities), CRLs
// and PKCS#10 requests signed with GOST R 34.10 keys, each with its hash (GOST R 34.11-94 for 2001
// keys, GOST R 34.11-2012 256 or 512 for 2012 keys), with exactly the fields and extensions a
// caller chooses. Used by tests, the tool and the demonstration package.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/platform/certificate.h"
#include "crypt/platform/crl.h"
#include "crypt/platform/private_key.h"

namespace lyr::crypt {

// How an optional extension appears in a certificate.
enum class ExtensionMode : uint8_t { kAbsent, kNonCritical, kCritical };

// Everything chosen about a certificate. Texts are library text (windows-1251); names are
// written as UTF8String (countryName as PrintableString, e-mail as IA5String, as RFC 5280 asks).
struct CertificateSpec {
  // The serial number as hexadecimal digits, most significant first ("0102", "00A1B2C3"); a
  // positive integer, encoded in DER's shortest form.
  std::string serial_hex = "01";
  // Subject attributes in encoding order (see ParseDistinguishedName); must not be empty.
  std::vector<NameAttribute> subject;
  // Validity, seconds since the Unix epoch (UTC).
  int64_t not_before = 0;
  int64_t not_after = 0;
  // When not empty, notBefore written as this text instead, unchecked: 13 characters as a
  // UTCTime, any other length as a GeneralizedTime (for certificates with malformed times).
  std::string not_before_text;
  // Basic constraints (2.5.29.19): absent, or present with cA and an optional path length.
  ExtensionMode basic_constraints = ExtensionMode::kCritical;
  bool ca = false;
  int32_t path_length = -1;  // -1: no limit written
  // Key usage (2.5.29.15) bits from key_usage; 0 leaves the extension out.
  uint16_t key_usage = 0;
  bool key_usage_critical = true;
  // Authority information access (1.3.6.1.5.5.7.1.1): caIssuers URLs, then OCSP URLs, written
  // as given; the extension is left out when both lists are empty.
  std::vector<std::string> ca_issuers_urls;
  std::vector<std::string> ocsp_urls;
  // CRL distribution points (2.5.29.31): one distribution point per URL, any scheme, written
  // byte for byte; left out when empty.
  std::vector<std::string> crl_urls;
  // Subject key identifier (SHA-1 of the public key) and, for an issued certificate, the
  // authority key identifier taken from the issuer (its subject key identifier).
  bool key_identifiers = true;
  // Further extensions written as given after the others (object identifier, criticality, DER
  // of the value), duplicates of the ones above included.
  std::vector<ExtensionInfo> extra_extensions;
};

// Everything chosen about a CRL.
struct CrlSpec {
  struct Entry {
    std::string serial_hex;  // as CertificateSpec::serial_hex
    int64_t revocation_date = 0;
  };
  int64_t this_update = 0;
  int64_t next_update = 0;  // 0: no nextUpdate field
  std::vector<Entry> revoked;
  // CRL number (2.5.29.20); negative leaves it out.
  int64_t crl_number = 1;
  // Authority key identifier from the issuer certificate.
  bool authority_key_identifier = true;
  // Further CRL extensions written as given.
  std::vector<ExtensionInfo> extra_extensions;
};

// A name from text: "CN=Test Root,O=Lyr" or "/CN=Test Root/O=Lyr". Keys are the usual short
// names (CN, O, OU, C, L, ST, STREET, E or emailAddress, SN, GN, T, INN, OGRN, SNILS) or dotted
// object identifiers; "\," and "\/" escape the separators. Raises ECryptError E_INVALIDARG for
// an empty name, a part without "=" or an unknown key.
std::vector<NameAttribute> ParseDistinguishedName(std::string_view text);

// A self-signed certificate of key (issuer = subject, authority key identifier = own key).
// Raises ECryptError E_INVALIDARG for bad fields (empty subject, bad serial, not_after before
// not_before) and NTE_FAIL when signing fails.
Certificate IssueSelfSigned(const CertificateSpec& fields, const PrivateKey& key);

// A certificate of the public key subject_public_key_der (SubjectPublicKeyInfo DER) issued by
// issuer and signed with issuer_key, which must be issuer's key. Raises as IssueSelfSigned, and
// ECryptError NTE_BAD_PUBLIC_KEY when the public key cannot be read or issuer_key is not the
// issuer's.
Certificate IssueCertificate(const CertificateSpec& fields, std::string_view subject_public_key_der,
                             const Certificate& issuer, const PrivateKey& issuer_key);
// The same for the public half of subject_key.
Certificate IssueCertificate(const CertificateSpec& fields, const PrivateKey& subject_key,
                             const Certificate& issuer, const PrivateKey& issuer_key);

// A CRL (v2) of issuer, signed with issuer_key. Raises as IssueCertificate.
Crl IssueCrl(const CrlSpec& fields, const Certificate& issuer, const PrivateKey& issuer_key);

// A detached CMS SignedData (DER) of content by signer with key, its certificate included and
// signingTime added. Raises ECryptError NTE_BAD_PUBLIC_KEY when key is not signer's and
// CRYPT_E_MSG_ERROR when signing fails.
std::string SignDetached(std::string_view content, const Certificate& signer,
                         const PrivateKey& key);

// A PKCS#10 certificate request for key with this subject, signed with key, as PEM
// ("-----BEGIN CERTIFICATE REQUEST-----"). Raises ECryptError E_INVALIDARG for an empty subject.
std::string MakeCertificateRequestPem(const std::vector<NameAttribute>& subject,
                                      const PrivateKey& key);

// PEM texts of DER objects ("-----BEGIN CERTIFICATE-----", "-----BEGIN X509 CRL-----"), 64
// Base64 characters a line, as the openssl command line writes them.
std::string CertificateToPem(const Certificate& certificate);
std::string CrlToPem(const Crl& crl);

}  // namespace lyr::crypt
