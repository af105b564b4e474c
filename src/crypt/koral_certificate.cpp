// The KORAL certificate classes over the crypto layer's Certificate.
#include "crypt/koral_certificate.h"

#include <algorithm>

#include "crypt/crypto_api20_utils.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/name_text.h"
#include "rtl/errors.h"
#include "rtl/hex.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

// The ASN.1 string type of an RDN value type; nullopt for types that are no character string.
std::optional<Asn1StringTag> StringTagOf(uint32_t value_type) {
  switch (value_type) {
    case rdn_value_type::kNumericString:
      return Asn1StringTag::kNumericString;
    case rdn_value_type::kPrintableString:
      return Asn1StringTag::kPrintableString;
    case rdn_value_type::kTeletexString:
      return Asn1StringTag::kTeletexString;
    case rdn_value_type::kVideotexString:
      return Asn1StringTag::kVideotexString;
    case rdn_value_type::kIa5String:
      return Asn1StringTag::kIa5String;
    case rdn_value_type::kGraphicString:
      return Asn1StringTag::kGraphicString;
    case rdn_value_type::kVisibleString:
      return Asn1StringTag::kVisibleString;
    case rdn_value_type::kGeneralString:
      return Asn1StringTag::kGeneralString;
    case rdn_value_type::kUniversalString:
      return Asn1StringTag::kUniversalString;
    case rdn_value_type::kBmpString:
      return Asn1StringTag::kBmpString;
    case rdn_value_type::kUtf8String:
      return Asn1StringTag::kUtf8String;
    default:
      return std::nullopt;
  }
}

// A value that does not decode fails as CryptDecodeObject's caller raises the last error.
std::string DecodedOrRaise(std::optional<std::string> decoded) {
  if (!decoded) {
    RaiseLastCryptOSError();
  }
  return std::move(*decoded);
}

// The DER a body of the kind stands for (CCryptoAPI20Utils::CertificateTextToDer).
std::string BodyBytes(std::string_view body, int32_t kind) {
  if (kind == body_kind::kCertificateRequest) {
    return CCryptoAPI20Utils::CertificateTextToDer(body, "CERTIFICATE REQUEST");
  }
  rtl::Assert(kind == body_kind::kCertificate, "Parameter iType is out of valid values",
              "koral_certificate");
  return CCryptoAPI20Utils::CertificateTextToDer(body);
}

CKORALCryptoAlgorithm AlgorithmOf(AlgorithmIdentifier algorithm) {
  return CKORALCryptoAlgorithm(std::move(algorithm.oid), std::move(algorithm.parameters_der));
}

CKORALCryptoPublicKeyInfo PublicKeyInfoOf(const Certificate& certificate) {
  std::optional<SubjectPublicKeyInfo> info = certificate.PublicKeyInfo();
  if (!info) {
    return {};
  }
  return CKORALCryptoPublicKeyInfo(AlgorithmOf(std::move(info->algorithm)),
                                   std::move(info->public_key));
}

}  // namespace

CKORALCryptoSerialNumberBlob::CKORALCryptoSerialNumberBlob(std::string blob)
    : CKORALCryptoBlob(structure_type::kMultiByteInteger), blob_(std::move(blob)) {
  decoded_ = true;
}

std::string CKORALCryptoSerialNumberBlob::GetValue() const {
  std::string most_significant_first(blob_.rbegin(), blob_.rend());
  return rtl::BytesToHexPlain(most_significant_first);
}

CKORALCryptoObject::CKORALCryptoObject(uint32_t value_type, std::string blob)
    : CKORALCryptoBlob(structure_type::kNameValue),
      value_type_(value_type),
      source_(std::move(blob)) {}

CKORALCryptoObject CKORALCryptoObject::FromStructure(uint32_t structure_type, std::string der) {
  return CKORALCryptoObject(structure_type, rdn_value_type::kWholeStructure, std::move(der));
}

void CKORALCryptoObject::Decode(std::string* destination) const {
  if (destination == nullptr) {
    rtl::RaiseFmt(u8"Parameter %1:s of %0:s is invalid", "CKORALCryptoObject.Decode",
                  "pDestinationStream");
  }
  if (structure_type_ == structure_type::kName) {
    *destination = DecodedOrRaise(NameDer(source_));
    return;
  }
  if (structure_type_ == structure_type::kNameValue &&
      value_type_ == rdn_value_type::kWholeStructure) {
    *destination = DecodedOrRaise(NameValueContent(source_));
    return;
  }
  *destination = source_;
}

void CKORALCryptoObject::Decode() {
  Decode(&decoded_bytes_);
  decoded_ = true;
}

std::string CKORALCryptoObject::GetValue() const {
  if (value_type_ != rdn_value_type::kWholeStructure) {
    const std::optional<Asn1StringTag> tag = StringTagOf(value_type_);
    std::optional<std::string> text = tag ? StringValueText(*tag, source_) : std::nullopt;
    if (!text) {
      rtl::Raise("CertRDNValueToStr");
    }
    return std::move(*text);
  }
  if (structure_type_ == structure_type::kName) {
    std::optional<std::string> text = NameText(source_);
    if (!text) {
      rtl::Raise("CertNameToStr");
    }
    return std::move(*text);
  }
  if (structure_type_ == structure_type::kNameValue) {
    return decoded_bytes_;
  }
  rtl::RaiseFmt(u8"Parameter %1:s of %0:s is invalid", "CKORALCryptoObject.GetValue",
                "m_dwValueType");
}

CKORALCryptoAlgorithm::CKORALCryptoAlgorithm(std::string oid, std::string parameters)
    : CKORALCryptoBlob(structure_type::kAlgorithmIdentifier),
      oid_(std::move(oid)),
      parameters_(std::move(parameters)) {
  decoded_ = true;
}

CKORALCryptoPublicKeyInfo::CKORALCryptoPublicKeyInfo(CKORALCryptoAlgorithm algorithm,
                                                     std::string public_key)
    : CKORALCryptoBlob(structure_type::kPublicKeyInfo),
      algorithm_(std::move(algorithm)),
      public_key_(std::move(public_key)) {
  decoded_ = true;
}

CKORALCertificateContext::CKORALCertificateContext()
    : CKORALCryptoObject(structure_type::kCertificate, rdn_value_type::kWholeStructure, {}) {}

bool CKORALCertificateContext::Load(const Certificate& certificate) {
  CKORALCryptoObject issuer = FromStructure(structure_type::kName, certificate.IssuerNameDer());
  CKORALCryptoObject subject = FromStructure(structure_type::kName, certificate.SubjectNameDer());
  try {
    issuer.Decode();
    subject.Decode();
  } catch (const rtl::Exception&) {
    return false;
  }
  std::string serial = certificate.SerialNumber();
  std::reverse(serial.begin(), serial.end());

  context_ = certificate;
  version_ = certificate.Version();
  not_before_ = certificate.NotBefore();
  not_after_ = certificate.NotAfter();
  serial_number_ = CKORALCryptoSerialNumberBlob(std::move(serial));
  issuer_ = std::move(issuer);
  subject_ = std::move(subject);
  public_key_info_ = PublicKeyInfoOf(certificate);
  signature_algorithm_ = AlgorithmOf(certificate.TbsSignatureAlgorithm());
  container_name_ = certificate.KeyProv() ? certificate.KeyProv()->container_name : std::string();
  decoded_ = true;
  return true;
}

void CKORALCertificate::LoadFromBody(std::string_view body, int32_t kind) {
  const std::string der = BodyBytes(body, kind);
  std::optional<Certificate> certificate;
  try {
    certificate = Certificate::FromDer(der);
  } catch (const ECryptError&) {
    RaiseLastCryptOSError();
  }
  if (!Attach(*certificate)) {
    rtl::Raise("Error open certificate");
  }
}

bool CKORALCertificate::Attach(const Certificate& certificate) {
  CKORALCertificateContext decoded;
  if (!decoded.Load(certificate)) {
    return false;
  }
  context_ = std::move(decoded);
  owned_ = true;
  decoded_ = true;
  return true;
}

std::string CKORALCertificate::GetSha1() const {
  const Certificate* certificate = Context();
  if (certificate == nullptr) {
    SetLastCryptError(code::kEInvalidArg);
    RaiseLastCryptOSError();
  }
  return certificate->Thumbprint();
}

const Certificate* CKORALCertificate::Context() const noexcept {
  return context_.Context() ? &*context_.Context() : nullptr;
}

}  // namespace lyr::crypt
