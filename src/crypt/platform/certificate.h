// An X.509 certificate of the crypto layer: parsing, thumbprint, names, serial number, validity,
// the extensions the system reads, the self-issued test, the signature check against an issuer,
// and the key-provider property that binds a certificate in a store to its key container.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lyr::crypt {

// The key-provider property (CERT_KEY_PROV_INFO_PROP_ID): which key container holds the private
// key of a certificate. Texts are windows-1251.
struct KeyProvInfo {
  std::string container_name;
  std::string provider_name;
  uint32_t provider_type = 75;
  uint32_t flags = 1;     // CERT_SET_KEY_CONTEXT_PROP_ID
  uint32_t key_spec = 1;  // AT_KEYEXCHANGE
  bool operator==(const KeyProvInfo&) const = default;
};

// One attribute of a distinguished name, in encoding order: its object identifier (dotted) and
// its value as windows-1251 text.
struct NameAttribute {
  std::string oid;
  std::string value;
  bool operator==(const NameAttribute&) const = default;
};

// One certificate extension: object identifier, criticality and the DER of its value.
struct ExtensionInfo {
  std::string oid;
  bool critical = false;
  std::string value_der;
};

// The basic-constraints extension (2.5.29.19).
struct BasicConstraints {
  bool critical = false;
  bool ca = false;
  int32_t path_length = -1;  // -1: no limit given
};

// One access description of the authority-information-access extension (1.3.6.1.5.5.7.1.1).
// location is the URI, or empty when the access location is another kind of name.
struct AccessDescription {
  std::string method_oid;
  std::string location;
};

// Key usage bits (RFC 5280 section 4.2.1.3), combined with |.
namespace key_usage {
inline constexpr uint16_t kDigitalSignature = 1u << 0;
inline constexpr uint16_t kNonRepudiation = 1u << 1;
inline constexpr uint16_t kKeyEncipherment = 1u << 2;
inline constexpr uint16_t kDataEncipherment = 1u << 3;
inline constexpr uint16_t kKeyAgreement = 1u << 4;
inline constexpr uint16_t kKeyCertSign = 1u << 5;
inline constexpr uint16_t kCrlSign = 1u << 6;
inline constexpr uint16_t kEncipherOnly = 1u << 7;
inline constexpr uint16_t kDecipherOnly = 1u << 8;
// What a CA certificate carries by default, and an end entity that signs and encrypts.
inline constexpr uint16_t kCa = kKeyCertSign | kCrlSign;
inline constexpr uint16_t kEndEntity =
    kDigitalSignature | kNonRepudiation | kKeyEncipherment | kDataEncipherment;
}  // namespace key_usage

// An algorithm identifier: the object identifier (dotted) and the DER of its parameters ("" when
// there are none).
struct AlgorithmIdentifier {
  std::string oid;
  std::string parameters_der;
};

// The subject public key info: the key's algorithm and the bits of the key.
struct SubjectPublicKeyInfo {
  AlgorithmIdentifier algorithm;
  std::string public_key;
};

inline constexpr std::string_view kOidCaIssuers = "1.3.6.1.5.5.7.48.2";
inline constexpr std::string_view kOidOcsp = "1.3.6.1.5.5.7.48.1";

// An immutable certificate; copies share the parsed object. The key-provider property belongs
// to the copy (as a property belongs to one store entry).
class Certificate final {
 public:
  // Parses DER, or BER that it re-encodes as DER (der::BerToDer): Der() and the thumbprint are
  // always those of the DER. The bytes must hold exactly one certificate. Raises ECryptError
  // CRYPT_E_ASN1_BADTAG (with OpenSSL's explanation) otherwise.
  static Certificate FromDer(std::string_view der);
  // Parses the first "-----BEGIN CERTIFICATE-----" block of a PEM text. Raises ECryptError
  // CRYPT_E_ASN1_BADTAG when there is none or it is not a certificate.
  static Certificate FromPem(std::string_view pem);

  // The DER bytes (those parsed, or their DER re-encoding).
  [[nodiscard]] const std::string& Der() const noexcept;
  // SHA-1 of the DER: 20 bytes, and as 40 upper-case hexadecimal digits.
  [[nodiscard]] const std::string& Sha1() const noexcept;
  [[nodiscard]] std::string Thumbprint() const;

  [[nodiscard]] std::string SubjectNameDer() const;
  [[nodiscard]] std::string IssuerNameDer() const;
  [[nodiscard]] std::vector<NameAttribute> Subject() const;
  [[nodiscard]] std::vector<NameAttribute> Issuer() const;
  // The first common name (2.5.4.3) of the subject or issuer; nullopt when there is none.
  [[nodiscard]] std::optional<std::string> SubjectCN() const;
  [[nodiscard]] std::optional<std::string> IssuerCN() const;

  // The serial number's content bytes, most significant first, as encoded.
  [[nodiscard]] std::string SerialNumber() const;
  // Validity bounds, seconds since the Unix epoch (UTC).
  [[nodiscard]] int64_t NotBefore() const;
  [[nodiscard]] int64_t NotAfter() const;

  [[nodiscard]] std::string PublicKeyAlgorithmOid() const;
  [[nodiscard]] std::string SignatureAlgorithmOid() const;
  // The version field: 0 for version 1, 2 for version 3.
  [[nodiscard]] int32_t Version() const;
  // The signature algorithm of the to-be-signed part.
  [[nodiscard]] AlgorithmIdentifier TbsSignatureAlgorithm() const;
  // The subject public key info; nullopt when it cannot be read.
  [[nodiscard]] std::optional<SubjectPublicKeyInfo> PublicKeyInfo() const;

  [[nodiscard]] std::vector<ExtensionInfo> Extensions() const;
  // Raise ECryptError CRYPT_E_ASN1_BADTAG when the extension is present but malformed.
  [[nodiscard]] std::optional<BasicConstraints> GetBasicConstraints() const;
  // The key usage bits (key_usage::, bit n of the BIT STRING as 1 << n); nullopt when the
  // extension is absent. Raises ECryptError CRYPT_E_ASN1_BADTAG when it is malformed.
  [[nodiscard]] std::optional<uint16_t> KeyUsage() const;
  // Why a verifier must not rely on this certificate, "" when nothing is wrong: a validity time
  // not written as RFC 5280 requires (see ossl StrictTimeToUnix), extensions in a certificate
  // before version 3, an extension present twice, a critical extension this system does not
  // process (RFC 5280 section 4.2), or malformed basic constraints or key usage.
  [[nodiscard]] std::string Defect() const;
  // URIs of the full names of every distribution point (2.5.29.31), in encoding order; empty
  // when the extension is absent.
  [[nodiscard]] std::vector<std::string> CrlDistributionUrls() const;
  // The authority-information-access descriptions in encoding order; nullopt when absent.
  [[nodiscard]] std::optional<std::vector<AccessDescription>> AuthorityInfoAccess() const;

  // Subject and issuer names are the same (byte for byte).
  [[nodiscard]] bool IsSelfIssued() const;
  // True when issuer's public key verifies this certificate's signature; false (last error
  // NTE_BAD_SIGNATURE) otherwise.
  [[nodiscard]] bool IsSignedBy(const Certificate& issuer) const;

  [[nodiscard]] const std::optional<KeyProvInfo>& KeyProv() const noexcept { return key_prov_; }
  void SetKeyProv(std::optional<KeyProvInfo> info) { key_prov_ = std::move(info); }

  // Same DER bytes.
  [[nodiscard]] bool SameAs(const Certificate& other) const noexcept;

  struct Impl;

 private:
  explicit Certificate(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
  friend struct CertificateAccess;

  std::shared_ptr<const Impl> impl_;
  std::optional<KeyProvInfo> key_prov_;
};

}  // namespace lyr::crypt
