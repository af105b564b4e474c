// X.509 names and their values through OpenSSL's decoders.
#include "crypt/platform/name_text.h"

#include "crypt/platform/crypt_error.h"
#include "crypt/platform/ossl.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

static_assert(static_cast<int>(Asn1StringTag::kUtf8String) == V_ASN1_UTF8STRING);
static_assert(static_cast<int>(Asn1StringTag::kNumericString) == V_ASN1_NUMERICSTRING);
static_assert(static_cast<int>(Asn1StringTag::kPrintableString) == V_ASN1_PRINTABLESTRING);
static_assert(static_cast<int>(Asn1StringTag::kTeletexString) == V_ASN1_T61STRING);
static_assert(static_cast<int>(Asn1StringTag::kVideotexString) == V_ASN1_VIDEOTEXSTRING);
static_assert(static_cast<int>(Asn1StringTag::kIa5String) == V_ASN1_IA5STRING);
static_assert(static_cast<int>(Asn1StringTag::kGraphicString) == V_ASN1_GRAPHICSTRING);
static_assert(static_cast<int>(Asn1StringTag::kVisibleString) == V_ASN1_VISIBLESTRING);
static_assert(static_cast<int>(Asn1StringTag::kGeneralString) == V_ASN1_GENERALSTRING);
static_assert(static_cast<int>(Asn1StringTag::kUniversalString) == V_ASN1_UNIVERSALSTRING);
static_assert(static_cast<int>(Asn1StringTag::kBmpString) == V_ASN1_BMPSTRING);

using Asn1StringPtr = std::unique_ptr<ASN1_STRING, ossl::FreeWith<&::ASN1_STRING_free>>;

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

void SetBadEncoding() {
  SetLastCryptError(code::kCryptEAsn1BadTag, ossl::TakeOpenSslError());
}

}  // namespace

std::optional<std::string> NameDer(std::string_view der) {
  const ossl::X509NamePtr name = ParseName(der);
  if (!name) {
    SetBadEncoding();
    return std::nullopt;
  }
  return ossl::ToDer(name.get(), ::i2d_X509_NAME);
}

std::optional<std::string> NameValueContent(std::string_view der) {
  const Asn1StringPtr value = ParseNameValue(der);
  if (!value) {
    SetBadEncoding();
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(::ASN1_STRING_get0_data(value.get())),
                     static_cast<size_t>(::ASN1_STRING_length(value.get())));
}

std::optional<std::string> StringValueText(Asn1StringTag tag, std::string_view content) {
  const Asn1StringPtr value(::ASN1_STRING_type_new(static_cast<int>(tag)));
  if (!value ||
      ::ASN1_STRING_set(value.get(), content.data(), static_cast<int>(content.size())) != 1) {
    return std::nullopt;
  }
  return StringText(value.get());
}

std::optional<std::string> NameText(std::string_view der) {
  const ossl::X509NamePtr name = ParseName(der);
  std::optional<std::string> text = name ? NameString(name.get()) : std::nullopt;
  if (!text) {
    ::ERR_clear_error();
  }
  return text;
}

}  // namespace lyr::crypt
