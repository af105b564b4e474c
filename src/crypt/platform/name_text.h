// Decoding of X.509 names and their values (RFC 5280 section 4.1.2.4): canonical DER, the
// content of one value, and the text of a name as CertNameToStr writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lyr::crypt {

// The ASN.1 universal tags of the character string types a name value can have.
enum class Asn1StringTag : int32_t {
  kUtf8String = 12,
  kNumericString = 18,
  kPrintableString = 19,
  kTeletexString = 20,
  kVideotexString = 21,
  kIa5String = 22,
  kGraphicString = 25,
  kVisibleString = 26,
  kGeneralString = 27,
  kUniversalString = 28,
  kBmpString = 30,
};

// The DER of the Name der holds (exactly one, nothing after it); nullopt, with the thread's last
// crypto error CRYPT_E_ASN1_BADTAG and OpenSSL's explanation, otherwise.
std::optional<std::string> NameDer(std::string_view der);
// The content octets of the DirectoryString or DisplayText der holds (exactly one); nullopt, with
// the thread's last crypto error CRYPT_E_ASN1_BADTAG and OpenSSL's explanation, otherwise.
std::optional<std::string> NameValueContent(std::string_view der);
// The windows-1251 text of a character string of type tag with content octets content; nullopt
// when they do not convert.
std::optional<std::string> StringValueText(Asn1StringTag tag, std::string_view content);
// The Name der holds as CertNameToStr writes it with CERT_OID_NAME_STR |
// CERT_NAME_STR_NO_PLUS_FLAG: "oid=value" joined by ", " (by " " within one set), a value that
// would read as syntax (or starts or ends with a space) in double quotes with quotes doubled;
// nullopt when der is no Name or a value does not convert.
std::optional<std::string> NameText(std::string_view der);

}  // namespace lyr::crypt
