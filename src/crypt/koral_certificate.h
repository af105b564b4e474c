// The KORAL certificate classes: a certificate with its decoded fields (serial number, issuer and
// subject names, public-key info, signature algorithm, key container) as ASN.1 value objects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crypt/platform/certificate.h"

namespace lyr::crypt {

class CCryptoProvider;

// Structure types of the value objects, with CryptoAPI's values.
namespace structure_type {
inline constexpr uint32_t kCertificate = 1;          // X509_CERT
inline constexpr uint32_t kNameValue = 6;            // X509_NAME_VALUE
inline constexpr uint32_t kName = 7;                 // X509_NAME
inline constexpr uint32_t kPublicKeyInfo = 8;        // X509_PUBLIC_KEY_INFO
inline constexpr uint32_t kMultiByteInteger = 28;    // X509_MULTI_BYTE_INTEGER (serial numbers)
inline constexpr uint32_t kAlgorithmIdentifier = 0;  // an algorithm identifier (no own type)
}  // namespace structure_type

// Value types of a relative-distinguished-name value, with CryptoAPI's CERT_RDN_* values.
namespace rdn_value_type {
inline constexpr uint32_t kNumericString = 3;
inline constexpr uint32_t kPrintableString = 4;
inline constexpr uint32_t kTeletexString = 5;
inline constexpr uint32_t kVideotexString = 6;
inline constexpr uint32_t kIa5String = 7;
inline constexpr uint32_t kGraphicString = 8;
inline constexpr uint32_t kVisibleString = 9;
inline constexpr uint32_t kGeneralString = 10;
inline constexpr uint32_t kUniversalString = 11;
inline constexpr uint32_t kBmpString = 12;
inline constexpr uint32_t kUtf8String = 13;
// The whole structure rather than one value.
inline constexpr uint32_t kWholeStructure = 0xFFFF;
}  // namespace rdn_value_type

// Root of the value objects: a decoded flag, a structure type and the message encoding.
class CKORALCryptoBlob {
 public:
  virtual ~CKORALCryptoBlob() = default;

  // The value as text; "" stands for an empty variant.
  [[nodiscard]] virtual std::string GetValue() const { return {}; }

  [[nodiscard]] bool Decoded() const noexcept { return decoded_; }
  [[nodiscard]] uint32_t StructureType() const noexcept { return structure_type_; }
  [[nodiscard]] uint32_t Encoding() const noexcept { return encoding_; }

 protected:
  explicit CKORALCryptoBlob(uint32_t structure_type) : structure_type_(structure_type) {}
  CKORALCryptoBlob(const CKORALCryptoBlob&) = default;
  CKORALCryptoBlob& operator=(const CKORALCryptoBlob&) = default;

  bool decoded_ = false;
  uint32_t structure_type_;
  uint32_t encoding_ = 0x00010001;  // X509_ASN_ENCODING | PKCS_7_ASN_ENCODING
};

// A serial number as CryptoAPI keeps it: the integer's bytes least significant first.
class CKORALCryptoSerialNumberBlob final : public CKORALCryptoBlob {
 public:
  CKORALCryptoSerialNumberBlob() : CKORALCryptoBlob(structure_type::kMultiByteInteger) {}
  // blob: least significant byte first.
  explicit CKORALCryptoSerialNumberBlob(std::string blob);

  // Two upper-case hexadecimal digits per byte, most significant byte first.
  [[nodiscard]] std::string GetValue() const override;
  [[nodiscard]] const std::string& Blob() const noexcept { return blob_; }

 private:
  std::string blob_;
};

// An encoded ASN.1 object: a distinguished name (structure type X509_NAME), a name value
// (X509_NAME_VALUE) or one RDN value of a given string type, with its decoded bytes.
class CKORALCryptoObject : public CKORALCryptoBlob {
 public:
  // An empty name.
  CKORALCryptoObject() : CKORALCryptoBlob(structure_type::kName) {}
  // One RDN value: value_type one of rdn_value_type (not kWholeStructure), blob the string's
  // content bytes as encoded (UTF-16BE for BMP, UCS-4BE for universal strings).
  CKORALCryptoObject(uint32_t value_type, std::string blob);
  // A whole structure of structure_type from its DER (decoded by Decode).
  static CKORALCryptoObject FromStructure(uint32_t structure_type, std::string der);

  // Decodes the source blob as the structure type into *destination: the name's DER as
  // re-encoded for X509_NAME, the value's content bytes for X509_NAME_VALUE. Raises "Parameter
  // pDestinationStream of CKORALCryptoObject.Decode is invalid" for a null destination and the
  // OS error (RaiseLastCryptOSError, CRYPT_E_ASN1_BADTAG) when the blob does not decode.
  void Decode(std::string* destination) const;
  // Decodes into the object's own buffer and marks it decoded.
  void Decode();

  // An RDN value as windows-1251 text (failure: "CertRDNValueToStr"); a whole X509_NAME as
  // "OID=value" per attribute, attributes of one RDN joined with a blank, RDNs with ", ", values
  // with special characters in double quotes (failure: "CertNameToStr"); a whole
  // X509_NAME_VALUE as its decoded bytes. Any other whole structure raises "Parameter
  // m_dwValueType of CKORALCryptoObject.GetValue is invalid".
  [[nodiscard]] std::string GetValue() const override;

  [[nodiscard]] uint32_t ValueType() const noexcept { return value_type_; }
  [[nodiscard]] const std::string& Source() const noexcept { return source_; }
  [[nodiscard]] const std::string& DecodedBytes() const noexcept { return decoded_bytes_; }

 protected:
  CKORALCryptoObject(uint32_t structure_type, uint32_t value_type, std::string source)
      : CKORALCryptoBlob(structure_type), value_type_(value_type), source_(std::move(source)) {}

 private:
  uint32_t value_type_ = rdn_value_type::kWholeStructure;
  std::string source_;
  std::string decoded_bytes_;
};

// An algorithm identifier: its object identifier and the DER of its parameters ("" = absent).
class CKORALCryptoAlgorithm final : public CKORALCryptoBlob {
 public:
  CKORALCryptoAlgorithm() : CKORALCryptoBlob(structure_type::kAlgorithmIdentifier) {}
  CKORALCryptoAlgorithm(std::string oid, std::string parameters);

  // The object identifier, dotted.
  [[nodiscard]] std::string GetValue() const override { return oid_; }
  [[nodiscard]] const std::string& Oid() const noexcept { return oid_; }
  [[nodiscard]] const std::string& Parameters() const noexcept { return parameters_; }

 private:
  std::string oid_;
  std::string parameters_;
};

// A subject public-key info: its algorithm and the public key's bits.
class CKORALCryptoPublicKeyInfo final : public CKORALCryptoBlob {
 public:
  CKORALCryptoPublicKeyInfo() : CKORALCryptoBlob(structure_type::kPublicKeyInfo) {}
  CKORALCryptoPublicKeyInfo(CKORALCryptoAlgorithm algorithm, std::string public_key);

  [[nodiscard]] const CKORALCryptoAlgorithm& Algorithm() const noexcept { return algorithm_; }
  // The content of the subjectPublicKey BIT STRING.
  [[nodiscard]] const std::string& PublicKey() const noexcept { return public_key_; }

 private:
  CKORALCryptoAlgorithm algorithm_;
  std::string public_key_;
};

// The decoded fields of one certificate.
class CKORALCertificateContext final : public CKORALCryptoObject {
 public:
  CKORALCertificateContext();

  // Decodes the fields of certificate (keeping a shared reference to it); false, with the
  // fields as they were, when a field does not decode.
  bool Load(const Certificate& certificate);

  [[nodiscard]] const std::optional<Certificate>& Context() const noexcept { return context_; }
  // Version as encoded (0 = v1, 2 = v3), validity bounds in seconds since the Unix epoch (UTC).
  [[nodiscard]] int32_t Version() const noexcept { return version_; }
  [[nodiscard]] int64_t NotBefore() const noexcept { return not_before_; }
  [[nodiscard]] int64_t NotAfter() const noexcept { return not_after_; }
  [[nodiscard]] const CKORALCryptoSerialNumberBlob& SerialNumber() const noexcept {
    return serial_number_;
  }
  [[nodiscard]] const CKORALCryptoObject& Issuer() const noexcept { return issuer_; }
  [[nodiscard]] const CKORALCryptoObject& Subject() const noexcept { return subject_; }
  [[nodiscard]] const CKORALCryptoPublicKeyInfo& PublicKeyInfo() const noexcept {
    return public_key_info_;
  }
  [[nodiscard]] const CKORALCryptoAlgorithm& SignatureAlgorithm() const noexcept {
    return signature_algorithm_;
  }
  // The container named by the certificate's key-provider property; "" without one.
  [[nodiscard]] const std::string& ContainerName() const noexcept { return container_name_; }

 private:
  std::optional<Certificate> context_;
  int32_t version_ = 0;
  int64_t not_before_ = 0;
  int64_t not_after_ = 0;
  CKORALCryptoSerialNumberBlob serial_number_;
  CKORALCryptoObject issuer_;
  CKORALCryptoObject subject_;
  CKORALCryptoPublicKeyInfo public_key_info_;
  CKORALCryptoAlgorithm signature_algorithm_;
  std::string container_name_;
};

// Body kinds of CKORALCertificate::LoadFromBody.
namespace body_kind {
inline constexpr int32_t kCertificate = 1;
inline constexpr int32_t kCertificateRequest = 2;
}  // namespace body_kind

// A certificate with its decoded fields. The certificate is shared with whoever else holds it
// (a store entry, a signature's list), so it stays valid as long as this object lives.
class CKORALCertificate final : public CKORALCryptoBlob {
 public:
  CKORALCertificate() : CKORALCryptoBlob(structure_type::kCertificate) {}
  CKORALCertificate(const CKORALCertificate&) = delete;
  CKORALCertificate& operator=(const CKORALCertificate&) = delete;

  // Loads a certificate from DER or Base64 text with or without the PEM lines of the kind (1
  // certificate, 2 certificate request; other kinds fail an assertion "Parameter iType is out
  // of valid values"). Raises the OS error (RaiseLastCryptOSError) for bytes that are not a
  // certificate and "Error open certificate" when its fields do not decode; the object is then
  // as it was.
  void LoadFromBody(std::string_view body, int32_t kind = body_kind::kCertificate);
  // Decodes the fields of certificate and keeps it (sharing it with the caller). Returns false,
  // keeping what was held, when the fields do not decode.
  bool Attach(const Certificate& certificate);
  // The provider the certificate is used with (not owned).
  void SetProvider(CCryptoProvider* provider) noexcept { provider_ = provider; }
  [[nodiscard]] CCryptoProvider* Provider() const noexcept { return provider_; }

  // The thumbprint, 40 upper-case hexadecimal digits. Without a certificate raises the OS error
  // E_INVALIDARG.
  [[nodiscard]] std::string GetSha1() const;
  // The certificate; nullptr before LoadFromBody or Attach.
  [[nodiscard]] const Certificate* Context() const noexcept;
  [[nodiscard]] bool Owned() const noexcept { return owned_; }
  [[nodiscard]] const CKORALCertificateContext& CertificateContext() const noexcept {
    return context_;
  }

  // An empty variant.
  [[nodiscard]] std::string GetValue() const override { return {}; }

 private:
  CKORALCertificateContext context_;
  bool owned_ = false;
  CCryptoProvider* provider_ = nullptr;
};

}  // namespace lyr::crypt
