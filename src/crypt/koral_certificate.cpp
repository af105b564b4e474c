// The KORAL certificate classes over the crypto layer's Certificate.
#include "crypt/koral_certificate.h"

#include <algorithm>
#include <cctype>

#include "crypt/crypt_error.h"
#include "crypt/platform/certificate_access.h"
#include "crypt/platform/ossl.h"
#include "rtl/base64.h"
#include "rtl/errors.h"
#include "rtl/hex.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using Asn1StringPtr = std::unique_ptr<ASN1_STRING, ossl::FreeWith<&::ASN1_STRING_free>>;

// The ASN.1 universal tag of an RDN value type; -1 for types that are no character string.
int Asn1TagOf(uint32_t value_type) {
  switch (value_type) {
    case rdn_value_type::kNumericString:
      return V_ASN1_NUMERICSTRING;
    case rdn_value_type::kPrintableString:
      return V_ASN1_PRINTABLESTRING;
    case rdn_value_type::kTeletexString:
      return V_ASN1_T61STRING;
    case rdn_value_type::kVideotexString:
      return V_ASN1_VIDEOTEXSTRING;
    case rdn_value_type::kIa5String:
      return V_ASN1_IA5STRING;
    case rdn_value_type::kGraphicString:
      return V_ASN1_GRAPHICSTRING;
    case rdn_value_type::kVisibleString:
      return V_ASN1_VISIBLESTRING;
    case rdn_value_type::kGeneralString:
      return V_ASN1_GENERALSTRING;
    case rdn_value_type::kUniversalString:
      return V_ASN1_UNIVERSALSTRING;
    case rdn_value_type::kBmpString:
      return V_ASN1_BMPSTRING;
    case rdn_value_type::kUtf8String:
      return V_ASN1_UTF8STRING;
    default:
      return -1;
  }
}

// A character string as windows-1251 text; nullopt when it does not convert.
std::optional<std::string> StringText(const ASN1_STRING* value) {
  unsigned char* utf8 = nullptr;
  const int length = ::ASN1_STRING_to_UTF8(&utf8, value);
  if (length < 0) {
    ::ERR_clear_error();
    return std::nullopt;
  }
  std::string text(reinterpret_cast<const char*>(utf8), static_cast<size_t>(length));
  ::OPENSSL_free(utf8);
  return rtl::Utf8ToAnsi(std::string_view(text));
}

// Values that would read as syntax of the name string are enclosed in double quotes, with
// embedded quotes doubled.
std::string QuotedValue(const std::string& value) {
  const bool padded = !value.empty() && (value.front() == ' ' || value.back() == ' ');
  const bool special = value.find_first_of(",+=\"\n\r<>#;") != std::string::npos;
  if (!padded && !special) {
    return value;
  }
  std::string quoted = "\"";
  for (const char c : value) {
    quoted += c;
    if (c == '"') {
      quoted += '"';
    }
  }
  return quoted + "\"";
}

// A name as CertNameToStr writes it with CERT_OID_NAME_STR | CERT_NAME_STR_NO_PLUS_FLAG.
std::optional<std::string> NameString(const X509_NAME* name) {
  std::string text;
  int last_set = -1;
  for (int i = 0; i < ::X509_NAME_entry_count(name); ++i) {
    const X509_NAME_ENTRY* entry = ::X509_NAME_get_entry(name, i);
    const std::optional<std::string> value = StringText(::X509_NAME_ENTRY_get_data(entry));
    if (!value) {
      return std::nullopt;
    }
    const int set = ::X509_NAME_ENTRY_set(entry);
    if (i > 0) {
      text += set == last_set ? " " : ", ";
    }
    last_set = set;
    text += ossl::OidText(::X509_NAME_ENTRY_get_object(entry)) + "=" + QuotedValue(*value);
  }
  return text;
}

ossl::X509NamePtr ParseName(std::string_view der) {
  const auto* in = reinterpret_cast<const unsigned char*>(der.data());
  const auto* const begin = in;
  ossl::X509NamePtr name(::d2i_X509_NAME(nullptr, &in, static_cast<long>(der.size())));  // NOLINT
  if (name && in != begin + der.size()) {
    name.reset();
  }
  return name;
}

Asn1StringPtr ParseNameValue(std::string_view der) {
  const auto* in = reinterpret_cast<const unsigned char*>(der.data());
  const auto* const begin = in;
  Asn1StringPtr value(
      ::d2i_DIRECTORYSTRING(nullptr, &in, static_cast<long>(der.size())));  // NOLINT
  if (!value) {
    ::ERR_clear_error();
    in = begin;
    value.reset(::d2i_DISPLAYTEXT(nullptr, &in, static_cast<long>(der.size())));  // NOLINT
  }
  if (value && in != begin + der.size()) {
    value.reset();
  }
  return value;
}

[[noreturn]] void RaiseBadEncoding() {
  SetLastCryptError(code::kCryptEAsn1BadTag, ossl::TakeOpenSslError());
  RaiseLastCryptOSError();
}

// Removes every occurrence of marker, ignoring letter case.
void RemoveIgnoringCase(std::string& text, std::string_view marker) {
  const auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  for (auto at = std::search(text.begin(), text.end(), marker.begin(), marker.end(), same);
       at != text.end(); at = std::search(at, text.end(), marker.begin(), marker.end(), same)) {
    at = text.erase(at, at + static_cast<std::ptrdiff_t>(marker.size()));
  }
}

void RemoveAll(std::string& text, std::string_view part) {
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at)) {
    text.erase(at, part.size());
  }
}

bool IsBodyBase64Char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/' || c == '=' || c == ' ' || c == '\r' || c == '\n';
}

// The DER a body stands for: the markers of the kind and CR LF pairs removed, Base64 decoded when
// nothing else is left, else the body as given.
std::string BodyBytes(std::string_view body, int32_t kind) {
  std::string_view begin = "-----BEGIN CERTIFICATE-----";
  std::string_view end = "-----END CERTIFICATE-----";
  if (kind == body_kind::kCertificateRequest) {
    begin = "-----BEGIN CERTIFICATE REQUEST-----";
    end = "-----END CERTIFICATE REQUEST-----";
  } else {
    rtl::Assert(kind == body_kind::kCertificate, "Parameter iType is out of valid values",
                "koral_certificate");
  }
  std::string rest(body);
  RemoveIgnoringCase(rest, begin);
  RemoveIgnoringCase(rest, end);
  RemoveAll(rest, "\r\n");
  if (std::all_of(rest.begin(), rest.end(), IsBodyBase64Char)) {
    return rtl::DecodeBase64(rest);
  }
  return std::string(body);
}

CKORALCryptoAlgorithm AlgorithmOf(const X509_ALGOR* algorithm) {
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
  return CKORALCryptoAlgorithm(ossl::OidText(oid), std::move(parameters));
}

CKORALCryptoPublicKeyInfo PublicKeyInfoOf(X509* x509) {
  const X509_PUBKEY* key = ::X509_get_X509_PUBKEY(x509);
  const unsigned char* bits = nullptr;
  int length = 0;
  X509_ALGOR* algorithm = nullptr;
  if (key == nullptr || ::X509_PUBKEY_get0_param(nullptr, &bits, &length, &algorithm, key) != 1) {
    return {};
  }
  return CKORALCryptoPublicKeyInfo(
      AlgorithmOf(algorithm),
      std::string(reinterpret_cast<const char*>(bits), static_cast<size_t>(length)));
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
    const ossl::X509NamePtr name = ParseName(source_);
    if (!name) {
      RaiseBadEncoding();
    }
    *destination = ossl::ToDer(name.get(), ::i2d_X509_NAME);
    return;
  }
  if (structure_type_ == structure_type::kNameValue &&
      value_type_ == rdn_value_type::kWholeStructure) {
    const Asn1StringPtr value = ParseNameValue(source_);
    if (!value) {
      RaiseBadEncoding();
    }
    *destination = std::string(reinterpret_cast<const char*>(::ASN1_STRING_get0_data(value.get())),
                               static_cast<size_t>(::ASN1_STRING_length(value.get())));
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
    const int tag = Asn1TagOf(value_type_);
    const Asn1StringPtr value(tag < 0 ? nullptr : ::ASN1_STRING_type_new(tag));
    if (!value ||
        ::ASN1_STRING_set(value.get(), source_.data(), static_cast<int>(source_.size())) != 1) {
      rtl::Raise("CertRDNValueToStr");
    }
    std::optional<std::string> text = StringText(value.get());
    if (!text) {
      rtl::Raise("CertRDNValueToStr");
    }
    return std::move(*text);
  }
  if (structure_type_ == structure_type::kName) {
    const ossl::X509NamePtr name = ParseName(source_);
    std::optional<std::string> text = name ? NameString(name.get()) : std::nullopt;
    if (!text) {
      ::ERR_clear_error();
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
  X509* x509 = CertificateAccess::Native(certificate);
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
  version_ = static_cast<int32_t>(::X509_get_version(x509));
  not_before_ = certificate.NotBefore();
  not_after_ = certificate.NotAfter();
  serial_number_ = CKORALCryptoSerialNumberBlob(std::move(serial));
  issuer_ = std::move(issuer);
  subject_ = std::move(subject);
  public_key_info_ = PublicKeyInfoOf(x509);
  signature_algorithm_ = AlgorithmOf(::X509_get0_tbs_sigalg(x509));
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
