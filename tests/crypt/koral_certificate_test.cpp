// The KORAL certificate classes: bodies, decoded fields, names as text, RDN values, messages.
#include "crypt/koral_certificate.h"

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <memory>

#include "crypt/crypt_test.h"
#include "rtl/base64.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::CertificateOf;
using test::MessageOf;
using test::SharedPki;

template <typename Body>
int32_t OsErrorCodeOf(Body&& body) {
  const std::optional<rtl::EOSError> error = test::Raised<rtl::EOSError>(body);
  return error ? error->ErrorCode() : 0;
}

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST(KoralCertificate, BodiesInEveryFormLoadTheSameCertificate) {
  const std::string pem = test::ReadAll(SharedPki().user);
  const std::string base64 = rtl::EncodeBase64(test::PemFileToDer(SharedPki().user));
  for (const std::string& body :
       {pem, Replace(pem, "\n", "\r\n"),
        Replace(Replace(pem, "BEGIN CERTIFICATE", "begin certificate"), "END CERTIFICATE",
                "End Certificate"),
        base64, Replace(base64, "\r\n", ""), test::PemFileToDer(SharedPki().user)}) {
    CKORALCertificate certificate;
    certificate.LoadFromBody(body);
    EXPECT_EQ(certificate.GetSha1(), CertificateOf(SharedPki().user).Thumbprint());
    EXPECT_TRUE(certificate.Owned() && certificate.CertificateContext().Decoded());
  }
  // The request kind takes a certificate without request markers.
  CKORALCertificate root;
  root.LoadFromBody(rtl::EncodeBase64(test::PemFileToDer(SharedPki().root)),
                    body_kind::kCertificateRequest);
  EXPECT_EQ(root.GetSha1(), CertificateOf(SharedPki().root).Thumbprint());
}

// A body that is no certificate raises the OS error of the bad tag; a loaded certificate stays.
TEST(KoralCertificate, BadBodiesRaiseTheOsErrorOfTheBadTag) {
  const std::string der = test::PemFileToDer(SharedPki().user);
  const std::string csr = test::ReadAll(SharedPki().user_csr);
  for (const auto& [body, kind] :
       {std::pair{std::string(), body_kind::kCertificate},
        {rtl::EncodeBase64("not a certificate"), body_kind::kCertificate},
        {der.substr(0, der.size() / 2), body_kind::kCertificate},
        {csr, body_kind::kCertificate},
        {csr, body_kind::kCertificateRequest}}) {
    CKORALCertificate certificate;
    EXPECT_TRUE(MessageOf<rtl::EOSError>([&] {
                  certificate.LoadFromBody(body, kind);
                }).starts_with("System Error.  Code: -2146881269.\r\nASN1 bad tag value met."));
    EXPECT_EQ(certificate.Context(), nullptr);
  }
  CKORALCertificate certificate;
  certificate.LoadFromBody(der);
  EXPECT_FALSE(MessageOf([&] { certificate.LoadFromBody("garbage!"); }).empty());
  EXPECT_EQ(certificate.GetSha1(), CertificateOf(SharedPki().user).Thumbprint());
  EXPECT_TRUE(MessageOf([&] {
                certificate.LoadFromBody(der, 3);
              }).starts_with("Parameter iType is out of valid values (koral_certificate, line "));
  const CKORALCertificate empty;
  EXPECT_EQ(MessageOf([&] { (void)empty.GetSha1(); }),
            "System Error.  Code: -2147024809.\r\nThe parameter is incorrect.");
  EXPECT_FALSE(empty.Owned());
}

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

TEST(KoralCryptoObject, NamesAreWrittenWithObjectIdentifiersAndQuotes) {
  const std::vector<std::pair<std::vector<NameEntry>, std::u8string>> cases{
      {{}, u8""},
      {{{"C", u8"RU", false}, {"O", u8"Lyr", false}, {"CN", u8"Иванов", false}},
       u8"2.5.4.6=RU, 2.5.4.10=Lyr, 2.5.4.3=Иванов"},
      {{{"CN", u8"A", false}, {"O", u8"B", true}, {"C", u8"RU", false}},
       u8"2.5.4.3=A 2.5.4.10=B, 2.5.4.6=RU"},
      {{{"O", u8"Рога, Копыта", false}}, u8"2.5.4.10=\"Рога, Копыта\""},
      {{{"O", u8"ООО \"Ромашка\"", false}}, u8"2.5.4.10=\"ООО \"\"Ромашка\"\"\""},
      {{{"CN", u8" x", false}}, u8"2.5.4.3=\" x\""},
      {{{"CN", u8"a+b", false}}, u8"2.5.4.3=\"a+b\""}};
  for (const auto& [entries, expected] : cases) {
    CKORALCryptoObject name =
        CKORALCryptoObject::FromStructure(structure_type::kName, NameDer(entries));
    name.Decode();
    EXPECT_EQ(name.GetValue(), Msg(expected));
  }
}

TEST(KoralCryptoObject, UndecodableAndUnsupportedStructuresRaiseTheirMessages) {
  const CKORALCryptoObject empty =
      CKORALCryptoObject::FromStructure(structure_type::kName, NameDer({}));
  EXPECT_EQ(MessageOf([&] { empty.Decode(nullptr); }),
            "Parameter pDestinationStream of CKORALCryptoObject.Decode is invalid");
  CKORALCryptoObject broken = CKORALCryptoObject::FromStructure(structure_type::kName, "\x30\x05");
  EXPECT_EQ(OsErrorCodeOf([&] { broken.Decode(); }), static_cast<int32_t>(0x8009310B));
  EXPECT_FALSE(broken.Decoded());
  EXPECT_EQ(MessageOf([&] { (void)broken.GetValue(); }), "CertNameToStr");
  EXPECT_EQ(MessageOf([] {
              (void)CKORALCryptoObject::FromStructure(structure_type::kPublicKeyInfo, "\x30\x00")
                  .GetValue();
            }),
            "Parameter m_dwValueType of CKORALCryptoObject.GetValue is invalid");
  CKORALCryptoObject value =
      CKORALCryptoObject::FromStructure(structure_type::kNameValue, std::string("\x0C\x03"
                                                                                "abc"));
  value.Decode();
  EXPECT_EQ(value.GetValue(), "abc");
  EXPECT_EQ(value.DecodedBytes(), "abc");
}

TEST(KoralCryptoObject, RdnValuesAreWindows1251Text) {
  struct Case {
    uint32_t value_type;
    std::string blob;
    std::u8string expected;  // u8"!" = the "CertRDNValueToStr" failure
  };
  for (const Case& c :
       {Case{rdn_value_type::kPrintableString, "Test 1", u8"Test 1"},
        Case{rdn_value_type::kIa5String, "a@b.ru", u8"a@b.ru"},
        Case{rdn_value_type::kUtf8String, "\xD0\x9F\xD1\x80", u8"Пр"},
        Case{rdn_value_type::kBmpString, std::string("\x04\x1F\x04\x40", 4), u8"Пр"},
        Case{rdn_value_type::kUniversalString, std::string("\0\0\0A\0\0\0B", 8), u8"AB"},
        Case{rdn_value_type::kBmpString, std::string("\x04\x1F\x04", 3), u8"!"},
        Case{1, "\x13\x01x", u8"!"}, Case{2, "x", u8"!"}}) {
    const CKORALCryptoObject value(c.value_type, c.blob);
    EXPECT_EQ(MessageOf([&] { (void)value.GetValue(); }),
              c.expected == u8"!" ? "CertRDNValueToStr" : "");
    if (c.expected != u8"!") {
      EXPECT_EQ(value.GetValue(), Msg(c.expected));
    }
  }
  EXPECT_EQ(CKORALCryptoAlgorithm("1.2.643.2.2.9", "").GetValue(), "1.2.643.2.2.9");
  EXPECT_EQ(CKORALCryptoSerialNumberBlob(std::string("\x01\x02\xFF", 3)).GetValue(), "FF0201");
  EXPECT_EQ(CKORALCryptoSerialNumberBlob().GetValue(), "");
}

}  // namespace
}  // namespace lyr::crypt
