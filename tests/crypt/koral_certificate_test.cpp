// The KORAL certificate classes: bodies, decoded fields, names as text, RDN values, messages.
#include "crypt/koral_certificate.h"

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <memory>
#include <ostream>

#include "rtl/base64.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/pki.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::SharedPki;

template <typename Body>
std::string MessageOf(Body&& body) {
  try {
    body();
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

template <typename Body>
int32_t OsErrorCodeOf(Body&& body) {
  try {
    body();
  } catch (const rtl::EOSError& error) {
    return error.ErrorCode();
  }
  return 0;
}

Certificate Load(const std::filesystem::path& pem) {
  return Certificate::FromDer(test::PemFileToDer(pem));
}

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// ---- bodies ----

struct BodyCase {
  const char* name;
  std::string (*make)();
};

// Test names stay stable: a case prints as its name.
void PrintTo(const BodyCase& c, std::ostream* out) {
  *out << c.name;
}

std::string UserPem() {
  return test::FileBytes(SharedPki().user);
}

class KoralCertificateBodies : public ::testing::TestWithParam<BodyCase> {};

TEST_P(KoralCertificateBodies, LoadTheSameCertificate) {
  CKORALCertificate certificate;
  certificate.LoadFromBody(GetParam().make());
  EXPECT_EQ(certificate.GetSha1(), Load(SharedPki().user).Thumbprint());
  EXPECT_TRUE(certificate.Owned());
  EXPECT_TRUE(certificate.CertificateContext().Decoded());
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, KoralCertificateBodies,
    ::testing::Values(
        BodyCase{"Pem", [] { return UserPem(); }},
        BodyCase{"PemWithCrLf", [] { return Replace(UserPem(), "\n", "\r\n"); }},
        BodyCase{"PemWithLowerCaseMarkers",
                 [] {
                   return Replace(Replace(UserPem(), "BEGIN CERTIFICATE", "begin certificate"),
                                  "END CERTIFICATE", "End Certificate");
                 }},
        BodyCase{"Base64WithLineBreaks",
                 [] { return rtl::EncodeBase64(test::PemFileToDer(SharedPki().user)); }},
        BodyCase{"Base64OnOneLine",
                 [] {
                   return Replace(rtl::EncodeBase64(test::PemFileToDer(SharedPki().user)), "\r\n",
                                  "");
                 }},
        BodyCase{"Der", [] { return test::PemFileToDer(SharedPki().user); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadBodyCase {
  const char* name;
  std::string (*make)();
  int32_t kind;
};

void PrintTo(const BadBodyCase& c, std::ostream* out) {
  *out << c.name;
}

class KoralCertificateBadBodies : public ::testing::TestWithParam<BadBodyCase> {};

// A body that is no certificate raises the OS error of CRYPT_E_ASN1_BADTAG.
TEST_P(KoralCertificateBadBodies, RaiseTheOsErrorOfTheBadTag) {
  CKORALCertificate certificate;
  const std::string message =
      MessageOf([&] { certificate.LoadFromBody(GetParam().make(), GetParam().kind); });
  EXPECT_TRUE(message.starts_with("System Error.  Code: -2146881269.\r\nASN1 bad tag value met."))
      << message;
  EXPECT_EQ(OsErrorCodeOf([&] { certificate.LoadFromBody(GetParam().make(), GetParam().kind); }),
            static_cast<int32_t>(0x8009310B));
  EXPECT_EQ(certificate.Context(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    BadBodies, KoralCertificateBadBodies,
    ::testing::Values(BadBodyCase{"Empty", [] { return std::string(); }, body_kind::kCertificate},
                      BadBodyCase{"Base64OfText",
                                  [] { return rtl::EncodeBase64("not a certificate"); },
                                  body_kind::kCertificate},
                      BadBodyCase{"PlainText", [] { return std::string("Hello, world!"); },
                                  body_kind::kCertificate},
                      BadBodyCase{"TruncatedDer",
                                  [] {
                                    const std::string der = test::PemFileToDer(SharedPki().user);
                                    return der.substr(0, der.size() / 2);
                                  },
                                  body_kind::kCertificate},
                      BadBodyCase{"CertificateRequestAsCertificate",
                                  [] { return test::FileBytes(SharedPki().user_csr); },
                                  body_kind::kCertificate},
                      BadBodyCase{"CertificateRequestOfRequestKind",
                                  [] { return test::FileBytes(SharedPki().user_csr); },
                                  body_kind::kCertificateRequest}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KoralCertificate, RequestKindTakesTheCertificateWithoutRequestMarkers) {
  CKORALCertificate certificate;
  certificate.LoadFromBody(rtl::EncodeBase64(test::PemFileToDer(SharedPki().root)),
                           body_kind::kCertificateRequest);
  EXPECT_EQ(certificate.GetSha1(), Load(SharedPki().root).Thumbprint());
}

TEST(KoralCertificate, UnknownBodyKindFailsAnAssertion) {
  CKORALCertificate certificate;
  const std::string message = MessageOf([&] { certificate.LoadFromBody(UserPem(), 3); });
  EXPECT_TRUE(
      message.starts_with("Parameter iType is out of valid values (koral_certificate, line "))
      << message;
}

TEST(KoralCertificate, FailedLoadKeepsTheCertificateHeld) {
  CKORALCertificate certificate;
  certificate.LoadFromBody(UserPem());
  EXPECT_NE(MessageOf([&] { certificate.LoadFromBody("garbage!"); }), "(no error)");
  EXPECT_EQ(certificate.GetSha1(), Load(SharedPki().user).Thumbprint());
}

TEST(KoralCertificate, GetSha1WithoutCertificateRaisesTheOsErrorOfTheBadArgument) {
  const CKORALCertificate certificate;
  EXPECT_EQ(MessageOf([&] { (void)certificate.GetSha1(); }),
            "System Error.  Code: -2147024809.\r\nThe parameter is incorrect.");
  EXPECT_EQ(certificate.Context(), nullptr);
  EXPECT_FALSE(certificate.Owned());
}

TEST(KoralCertificate, AttachedCertificateOutlivesTheCallersCopy) {
  CKORALCertificate certificate;
  {
    const Certificate held = Load(SharedPki().inter);
    ASSERT_TRUE(certificate.Attach(held));
  }
  ASSERT_NE(certificate.Context(), nullptr);
  EXPECT_EQ(certificate.Context()->Thumbprint(), Load(SharedPki().inter).Thumbprint());
  EXPECT_EQ(certificate.CertificateContext().Subject().GetValue(), "2.5.4.3=Test Inter CA");
  EXPECT_TRUE(certificate.Owned());
  EXPECT_EQ(certificate.GetValue(), "");
}

TEST(KoralCertificateContext, DecodesTheFieldsOfTheCertificate) {
  CKORALCertificate certificate;
  certificate.LoadFromBody(UserPem());
  const CKORALCertificateContext& context = certificate.CertificateContext();
  const Certificate user = Load(SharedPki().user);
  EXPECT_EQ(context.Version(), 2);
  EXPECT_EQ(context.NotBefore(), user.NotBefore());
  EXPECT_EQ(context.NotAfter(), user.NotAfter());
  EXPECT_EQ(context.SerialNumber().Blob(), std::string("\xC3\xB2\xA1\x00", 4));
  EXPECT_EQ(context.SerialNumber().GetValue(), "00A1B2C3");
  EXPECT_EQ(context.Issuer().GetValue(), "2.5.4.3=Test Inter CA");
  EXPECT_EQ(context.Subject().GetValue(), "2.5.4.3=Test User, 2.5.4.10=Lyr");
  EXPECT_EQ(context.Subject().DecodedBytes(), user.SubjectNameDer());
  EXPECT_EQ(context.Issuer().StructureType(), structure_type::kName);
  EXPECT_EQ(context.Issuer().ValueType(), rdn_value_type::kWholeStructure);
  EXPECT_EQ(context.SignatureAlgorithm().GetValue(), "1.2.643.2.2.3");
  EXPECT_EQ(context.PublicKeyInfo().Algorithm().GetValue(), "1.2.643.2.2.19");
  EXPECT_FALSE(context.PublicKeyInfo().Algorithm().Parameters().empty());
  EXPECT_EQ(context.PublicKeyInfo().PublicKey().size(), 66U);  // OCTET STRING of 64 bytes
  EXPECT_EQ(context.ContainerName(), "");
  EXPECT_EQ(certificate.CertificateContext().Encoding(), 0x00010001U);
}

TEST(KoralCertificateContext, SerialNumbersAreWrittenMostSignificantByteFirst) {
  CKORALCertificateContext context;
  ASSERT_TRUE(context.Load(Load(SharedPki().inter)));
  EXPECT_EQ(context.SerialNumber().GetValue(), "0102");
  ASSERT_TRUE(context.Load(Load(SharedPki().root)));
  EXPECT_EQ(context.SerialNumber().GetValue(), "01");
}

TEST(KoralCertificateContext, TakesTheContainerNameOfTheKeyProviderProperty) {
  Certificate bound = Load(SharedPki().user);
  KeyProvInfo binding;
  binding.container_name = Msg(u8"Контейнер 1");
  bound.SetKeyProv(binding);
  CKORALCertificate certificate;
  ASSERT_TRUE(certificate.Attach(bound));
  EXPECT_EQ(certificate.CertificateContext().ContainerName(), Msg(u8"Контейнер 1"));
}

TEST(KoralCertificateContext, NameWithoutCommonNameIsWrittenInFull) {
  CKORALCertificateContext context;
  ASSERT_TRUE(context.Load(Load(SharedPki().nocn)));
  EXPECT_EQ(context.Subject().GetValue(), "2.5.4.10=No Name, 2.5.4.6=RU");
}

// ---- names as text ----

struct NameEntry {
  const char* oid;
  std::u8string value;
  bool same_rdn;  // joins the previous attribute's RDN
};

std::string NameDer(const std::vector<NameEntry>& entries) {
  const std::unique_ptr<X509_NAME, decltype(&::X509_NAME_free)> name(::X509_NAME_new(),
                                                                     &::X509_NAME_free);
  for (const NameEntry& entry : entries) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(entry.value.data());
    EXPECT_EQ(::X509_NAME_add_entry_by_txt(name.get(), entry.oid, MBSTRING_UTF8, bytes,
                                           static_cast<int>(entry.value.size()), -1,
                                           entry.same_rdn ? -1 : 0),
              1);
  }
  unsigned char* der = nullptr;
  const int length = ::i2d_X509_NAME(name.get(), &der);
  std::string result(reinterpret_cast<const char*>(der), static_cast<size_t>(length));
  ::OPENSSL_free(der);
  return result;
}

struct NameCase {
  const char* name;
  std::vector<NameEntry> entries;
  std::u8string expected;
};

void PrintTo(const NameCase& c, std::ostream* out) {
  *out << c.name;
}

class KoralNameText : public ::testing::TestWithParam<NameCase> {};

TEST_P(KoralNameText, IsWrittenWithObjectIdentifiers) {
  CKORALCryptoObject name =
      CKORALCryptoObject::FromStructure(structure_type::kName, NameDer(GetParam().entries));
  name.Decode();
  EXPECT_EQ(name.GetValue(), Msg(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Names, KoralNameText,
    ::testing::Values(
        NameCase{"Empty", {}, u8""},
        NameCase{"OneAttribute", {{"CN", u8"Иванов", false}}, u8"2.5.4.3=Иванов"},
        NameCase{"RdnsInEncodingOrder",
                 {{"C", u8"RU", false}, {"O", u8"Lyr", false}, {"CN", u8"X", false}},
                 u8"2.5.4.6=RU, 2.5.4.10=Lyr, 2.5.4.3=X"},
        NameCase{"MultiValuedRdnWithoutPlus",
                 {{"CN", u8"A", false}, {"O", u8"B", true}, {"C", u8"RU", false}},
                 u8"2.5.4.3=A 2.5.4.10=B, 2.5.4.6=RU"},
        NameCase{"CommaIsQuoted", {{"O", u8"Рога, Копыта", false}}, u8"2.5.4.10=\"Рога, Копыта\""},
        NameCase{"QuoteIsDoubled",
                 {{"O", u8"ООО \"Ромашка\"", false}},
                 u8"2.5.4.10=\"ООО \"\"Ромашка\"\"\""},
        NameCase{"LeadingBlankIsQuoted", {{"CN", u8" x", false}}, u8"2.5.4.3=\" x\""},
        NameCase{"PlusIsQuoted", {{"CN", u8"a+b", false}}, u8"2.5.4.3=\"a+b\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KoralCryptoObject, DecodeWithoutDestinationRaisesTheParameterMessage) {
  const CKORALCryptoObject name =
      CKORALCryptoObject::FromStructure(structure_type::kName, NameDer({}));
  EXPECT_EQ(MessageOf([&] { name.Decode(nullptr); }),
            "Parameter pDestinationStream of CKORALCryptoObject.Decode is invalid");
}

TEST(KoralCryptoObject, NameThatDoesNotDecodeRaisesTheOsError) {
  CKORALCryptoObject name = CKORALCryptoObject::FromStructure(structure_type::kName, "\x30\x05");
  EXPECT_EQ(OsErrorCodeOf([&] { name.Decode(); }), static_cast<int32_t>(0x8009310B));
  EXPECT_FALSE(name.Decoded());
  EXPECT_EQ(MessageOf([&] { (void)name.GetValue(); }), "CertNameToStr");
}

TEST(KoralCryptoObject, OtherWholeStructuresHaveNoValue) {
  const CKORALCryptoObject info =
      CKORALCryptoObject::FromStructure(structure_type::kPublicKeyInfo, "\x30\x00");
  EXPECT_EQ(MessageOf([&] { (void)info.GetValue(); }),
            "Parameter m_dwValueType of CKORALCryptoObject.GetValue is invalid");
}

TEST(KoralCryptoObject, NameValueGivesItsDecodedBytes) {
  CKORALCryptoObject value =
      CKORALCryptoObject::FromStructure(structure_type::kNameValue, std::string("\x0C\x03"
                                                                                "abc"));
  value.Decode();
  EXPECT_EQ(value.GetValue(), "abc");
  EXPECT_EQ(value.DecodedBytes(), "abc");
}

// ---- RDN values ----

struct RdnCase {
  const char* name;
  uint32_t value_type;
  std::string blob;
  std::u8string expected;  // u8"!" = the "CertRDNValueToStr" failure
};

void PrintTo(const RdnCase& c, std::ostream* out) {
  *out << c.name;
}

class KoralRdnValue : public ::testing::TestWithParam<RdnCase> {};

TEST_P(KoralRdnValue, IsWindows1251Text) {
  const CKORALCryptoObject value(GetParam().value_type, GetParam().blob);
  if (GetParam().expected == u8"!") {
    EXPECT_EQ(MessageOf([&] { (void)value.GetValue(); }), "CertRDNValueToStr");
  } else {
    EXPECT_EQ(value.GetValue(), Msg(GetParam().expected));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, KoralRdnValue,
    ::testing::Values(RdnCase{"Printable", rdn_value_type::kPrintableString, "Test 1", u8"Test 1"},
                      RdnCase{"Ia5", rdn_value_type::kIa5String, "a@b.ru", u8"a@b.ru"},
                      RdnCase{"Utf8Cyrillic", rdn_value_type::kUtf8String, "\xD0\x9F\xD1\x80",
                              u8"Пр"},
                      RdnCase{"BmpCyrillic", rdn_value_type::kBmpString,
                              std::string("\x04\x1F\x04\x40", 4), u8"Пр"},
                      RdnCase{"UniversalLatin", rdn_value_type::kUniversalString,
                              std::string("\0\0\0A\0\0\0B", 8), u8"AB"},
                      RdnCase{"BmpOfOddLength", rdn_value_type::kBmpString,
                              std::string("\x04\x1F\x04", 3), u8"!"},
                      RdnCase{"EncodedBlob", 1, "\x13\x01x", u8"!"},
                      RdnCase{"OctetString", 2, "x", u8"!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KoralCryptoAlgorithm, ValueIsTheObjectIdentifier) {
  const CKORALCryptoAlgorithm algorithm("1.2.643.2.2.9", "");
  EXPECT_EQ(algorithm.GetValue(), "1.2.643.2.2.9");
  EXPECT_TRUE(algorithm.Decoded());
}

TEST(KoralCryptoSerialNumberBlob, ReversesTheStoredBytes) {
  EXPECT_EQ(CKORALCryptoSerialNumberBlob(std::string("\x01\x02\xFF", 3)).GetValue(), "FF0201");
  EXPECT_EQ(CKORALCryptoSerialNumberBlob().GetValue(), "");
}

}  // namespace
}  // namespace lyr::crypt
