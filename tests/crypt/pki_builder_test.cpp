// The in-process PKI builder: certificates, CRLs and requests checked by the openssl command line
// with the GOST engine and parsed back by the layer's own Certificate and Crl.
#include "crypt/platform/pki_builder.h"

#include <gtest/gtest.h>

#include <ctime>

#include "crypt/crypt_error.h"
#include "rtl/text.h"
#include "support/pki.h"

namespace lyr::crypt {
namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t k2025 = 1735689600;  // 2025-01-01T00:00:00Z
constexpr int64_t k2100 = 4102444800;  // 2100-01-01T00:00:00Z (GeneralizedTime)

int64_t Now() {
  return static_cast<int64_t>(std::time(nullptr));
}

CertificateSpec CaSpec(const std::string& cn, const std::string& serial) {
  CertificateSpec fields;
  fields.serial_hex = serial;
  fields.subject = ParseDistinguishedName("CN=" + cn + ",O=Lyr");
  fields.not_before = Now() - kDay;
  fields.not_after = Now() + 3650 * kDay;
  fields.ca = true;
  fields.key_usage = key_usage::kCa;
  return fields;
}

CertificateSpec EndEntitySpec(const std::string& cn, const std::string& serial) {
  CertificateSpec fields = CaSpec(cn, serial);
  fields.ca = false;
  fields.basic_constraints = ExtensionMode::kNonCritical;
  fields.key_usage = key_usage::kEndEntity;
  fields.not_after = Now() + 365 * kDay;
  return fields;
}

// A three-level PKI made by the builder, with its files written as PEM into the sandbox.
class PkiBuilderTest : public test::PkiSandbox {
 protected:
  void SetUp() override {
    test::PkiSandbox::SetUp();
    root_key_ = PrivateKey::Generate(GostParamSet::kXA);
    root_ = IssueSelfSigned(CaSpec("Builder Root", "01"), root_key_);
    inter_key_ = PrivateKey::Generate(GostParamSet::kA);
    CertificateSpec inter = CaSpec("Builder Inter", "0102");
    inter.path_length = 0;
    inter.ca_issuers_urls = {"http://127.0.0.1:1/root.cer"};
    inter.crl_urls = {"http://127.0.0.1:1/root.crl"};
    inter_ = IssueCertificate(inter, inter_key_, *root_, root_key_);
    user_key_ = PrivateKey::Generate(GostParamSet::kB);
    CertificateSpec user = EndEntitySpec("Builder User", "00A1B2C3");
    user.ca_issuers_urls = {"http://127.0.0.1:1/inter.cer"};
    user.crl_urls = {"http://127.0.0.1:1/inter.crl"};
    user_ = IssueCertificate(user, user_key_.PublicKeyInfoDer(), *inter_, inter_key_);
    WriteFile("root.pem", CertificateToPem(*root_));
    WriteFile("inter.pem", CertificateToPem(*inter_));
    WriteFile("user.pem", CertificateToPem(*user_));
  }

  Crl CrlOf(const Certificate& issuer, const PrivateKey& key,
            std::vector<CrlSpec::Entry> revoked) const {
    CrlSpec fields;
    fields.this_update = Now() - kDay;
    fields.next_update = Now() + 30 * kDay;
    fields.revoked = std::move(revoked);
    return IssueCrl(fields, issuer, key);
  }

  PrivateKey root_key_ = PrivateKey::Generate();
  PrivateKey inter_key_ = root_key_;
  PrivateKey user_key_ = root_key_;
  std::optional<Certificate> root_, inter_, user_;
};

TEST_F(PkiBuilderTest, ChainVerifiesWithOpenSsl) {
  std::string output;
  EXPECT_EQ(OpenSsl("verify -CAfile root.pem -untrusted inter.pem user.pem", &output), 0) << output;
  EXPECT_NE(output.find("user.pem: OK"), std::string::npos) << output;
}

TEST_F(PkiBuilderTest, ChainWithoutIntermediateFailsInOpenSsl) {
  std::string output;
  EXPECT_NE(OpenSsl("verify -CAfile root.pem user.pem", &output), 0) << output;
  EXPECT_NE(output.find("unable to get local issuer certificate"), std::string::npos) << output;
}

TEST_F(PkiBuilderTest, CrlsPassOpenSslRevocationCheck) {
  WriteFile("root.crl", CrlToPem(CrlOf(*root_, root_key_, {})));
  WriteFile("inter.crl", CrlToPem(CrlOf(*inter_, inter_key_, {{"05", Now() - kDay}})));
  std::string output;
  EXPECT_EQ(OpenSsl("verify -crl_check_all -CAfile root.pem -untrusted inter.pem "
                    "-CRLfile root.crl -CRLfile inter.crl user.pem",
                    &output),
            0)
      << output;
}

TEST_F(PkiBuilderTest, RevokedEndEntityFailsOpenSslRevocationCheck) {
  WriteFile("root.crl", CrlToPem(CrlOf(*root_, root_key_, {})));
  WriteFile("inter.crl", CrlToPem(CrlOf(*inter_, inter_key_, {{"00A1B2C3", Now() - kDay}})));
  std::string output;
  EXPECT_NE(OpenSsl("verify -crl_check_all -CAfile root.pem -untrusted inter.pem "
                    "-CRLfile root.crl -CRLfile inter.crl user.pem",
                    &output),
            0);
  EXPECT_NE(output.find("certificate revoked"), std::string::npos) << output;
}

TEST_F(PkiBuilderTest, OpenSslShowsTheChosenFields) {
  std::string output;
  ASSERT_EQ(OpenSsl("x509 -noout -text -in inter.pem", &output), 0) << output;
  for (const char* expected : {
           "Serial Number: 258 (0x102)",
           "Issuer: CN = Builder Root, O = Lyr",
           "Subject: CN = Builder Inter, O = Lyr",
           "Signature Algorithm: GOST R 34.11-94 with GOST R 34.10-2001",
           "X509v3 Basic Constraints: critical\n                CA:TRUE, pathlen:0",
           "X509v3 Key Usage: critical\n                Certificate Sign, CRL Sign",
           "X509v3 Subject Key Identifier",
           "X509v3 Authority Key Identifier",
           "CA Issuers - URI:http://127.0.0.1:1/root.cer",
           "URI:http://127.0.0.1:1/root.crl",
       }) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
  }
  ASSERT_EQ(OpenSsl("x509 -noout -text -in user.pem", &output), 0) << output;
  EXPECT_NE(output.find("X509v3 Basic Constraints: \n                CA:FALSE"), std::string::npos)
      << output;
  EXPECT_NE(output.find("Digital Signature, Non Repudiation, Key Encipherment, Data Encipherment"),
            std::string::npos)
      << output;
}

TEST(PkiBuilder, WritesExactValidityInBothTimeForms) {
  const PrivateKey key = PrivateKey::Generate();
  CertificateSpec fields = CaSpec("Times", "7F");
  fields.not_before = k2025 + 1;
  fields.not_after = k2100 + 59;
  const Certificate certificate = IssueSelfSigned(fields, key);
  EXPECT_EQ(certificate.NotBefore(), k2025 + 1);
  EXPECT_EQ(certificate.NotAfter(), k2100 + 59);
}

TEST(PkiBuilder, WritesCyrillicNamesAsUtf8) {
  const PrivateKey key = PrivateKey::Generate();
  CertificateSpec fields = CaSpec("x", "01");
  fields.subject = ParseDistinguishedName(
      rtl::Msg(u8"CN=Иванов Иван,O=ООО \"Ромашка\"\\, филиал,C=RU,INN=007701234567,"
               u8"E=ivanov@example.ru"));
  const Certificate certificate = IssueSelfSigned(fields, key);
  const std::vector<NameAttribute> expected = {
      {"2.5.4.3", rtl::Msg(u8"Иванов Иван")},
      {"2.5.4.10", rtl::Msg(u8"ООО \"Ромашка\", филиал")},
      {"2.5.4.6", "RU"},
      {"1.2.643.3.131.1.1", "007701234567"},
      {"1.2.840.113549.1.9.1", "ivanov@example.ru"},
  };
  EXPECT_EQ(certificate.Subject(), expected);
  EXPECT_EQ(certificate.SubjectCN(), rtl::Msg(u8"Иванов Иван"));
  // CN as UTF8String (0C), C as PrintableString (13), e-mail as IA5String (16).
  const std::string name = certificate.SubjectNameDer();
  EXPECT_NE(name.find(std::string("\x06\x03\x55\x04\x03\x0C", 6)), std::string::npos);
  EXPECT_NE(name.find(std::string("\x06\x03\x55\x04\x06\x13\x02RU", 8)), std::string::npos);
  EXPECT_NE(name.find(std::string("\x01\x09\x01\x16", 4)), std::string::npos);
}

struct ConstraintsCase {
  std::string name;
  ExtensionMode mode;
  bool ca;
  int32_t path_length;
};

class PkiBuilderConstraints : public ::testing::TestWithParam<ConstraintsCase> {};

TEST_P(PkiBuilderConstraints, AreWrittenAsChosen) {
  const ConstraintsCase& c = GetParam();
  static const PrivateKey key = PrivateKey::Generate();
  CertificateSpec fields = CaSpec("Constraints", "02");
  fields.basic_constraints = c.mode;
  fields.ca = c.ca;
  fields.path_length = c.path_length;
  const std::optional<BasicConstraints> read = IssueSelfSigned(fields, key).GetBasicConstraints();
  if (c.mode == ExtensionMode::kAbsent) {
    EXPECT_FALSE(read);
    return;
  }
  ASSERT_TRUE(read);
  EXPECT_EQ(read->critical, c.mode == ExtensionMode::kCritical);
  EXPECT_EQ(read->ca, c.ca);
  EXPECT_EQ(read->path_length, c.path_length);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PkiBuilderConstraints,
    ::testing::Values(ConstraintsCase{"CriticalCa", ExtensionMode::kCritical, true, -1},
                      ConstraintsCase{"CriticalCaPathLength2", ExtensionMode::kCritical, true, 2},
                      ConstraintsCase{"NonCriticalCa", ExtensionMode::kNonCritical, true, -1},
                      ConstraintsCase{"NonCriticalEndEntity", ExtensionMode::kNonCritical, false,
                                      -1},
                      ConstraintsCase{"CriticalEndEntity", ExtensionMode::kCritical, false, -1},
                      ConstraintsCase{"Absent", ExtensionMode::kAbsent, false, -1}),
    [](const ::testing::TestParamInfo<ConstraintsCase>& info) { return info.param.name; });

struct AccessCase {
  std::string name;
  std::vector<std::string> ca_issuers;
  std::vector<std::string> ocsp;
  std::vector<std::string> crl_urls;
};

class PkiBuilderAddresses : public ::testing::TestWithParam<AccessCase> {};

TEST_P(PkiBuilderAddresses, AreWrittenByteForByte) {
  const AccessCase& c = GetParam();
  static const PrivateKey key = PrivateKey::Generate();
  CertificateSpec fields = EndEntitySpec("Addresses", "03");
  fields.ca_issuers_urls = c.ca_issuers;
  fields.ocsp_urls = c.ocsp;
  fields.crl_urls = c.crl_urls;
  const Certificate certificate = IssueSelfSigned(fields, key);
  EXPECT_EQ(certificate.CrlDistributionUrls(), c.crl_urls);
  const std::optional<std::vector<AccessDescription>> access = certificate.AuthorityInfoAccess();
  if (c.ca_issuers.empty() && c.ocsp.empty()) {
    EXPECT_FALSE(access);
    return;
  }
  ASSERT_TRUE(access);
  std::vector<AccessDescription> expected;
  for (const std::string& url : c.ca_issuers) {
    expected.push_back({std::string(kOidCaIssuers), url});
  }
  for (const std::string& url : c.ocsp) {
    expected.push_back({std::string(kOidOcsp), url});
  }
  ASSERT_EQ(access->size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ((*access)[i].method_oid, expected[i].method_oid);
    EXPECT_EQ((*access)[i].location, expected[i].location);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PkiBuilderAddresses,
    ::testing::Values(
        AccessCase{"None", {}, {}, {}},
        AccessCase{"CaIssuersAndCrl", {"http://127.0.0.1:8080/ca.cer"}, {}, {"http://h/a.crl"}},
        AccessCase{"OcspOnly", {}, {"http://127.0.0.1:8080/ocsp"}, {}},
        AccessCase{"BothAccessMethods", {"http://a/1.cer", "https://b/2.cer"}, {"http://o/"}, {}},
        AccessCase{
            "ManyCrlSchemes",
            {},
            {},
            {"http://127.0.0.1/a.crl", "ldap://ldap.example/cn=CA,o=Lyr?crl",
             "HTTP://EXAMPLE.COM/X.CRL", "https://secure.example/b.crl", "file:///var/c.crl"}}),
    [](const ::testing::TestParamInfo<AccessCase>& info) { return info.param.name; });

TEST_F(PkiBuilderTest, CrlIsParsedBackAndVerifiedByOpenSsl) {
  CrlSpec fields;
  fields.this_update = k2025;
  fields.next_update = k2025 + 30 * kDay;
  fields.revoked = {{"00A1B2C3", k2025 - kDay}, {"05", k2025 - 2 * kDay}};
  fields.crl_number = 42;
  const Crl crl = IssueCrl(fields, *inter_, inter_key_);
  EXPECT_TRUE(crl.IsIssuedBy(*inter_));
  EXPECT_FALSE(crl.IsIssuedBy(*root_));
  EXPECT_EQ(crl.IssuerCN(), "Builder Inter");
  EXPECT_EQ(crl.ThisUpdate(), k2025);
  EXPECT_EQ(crl.NextUpdate(), k2025 + 30 * kDay);
  const std::vector<RevokedEntry> revoked = crl.Revoked();
  ASSERT_EQ(revoked.size(), 2U);
  EXPECT_EQ(revoked[0].serial_number, std::string("\x00\xA1\xB2\xC3", 4));
  EXPECT_EQ(revoked[0].revocation_date, k2025 - kDay);
  EXPECT_EQ(revoked[1].serial_number, "\x05");
  EXPECT_EQ(revoked[1].revocation_date, k2025 - 2 * kDay);

  WriteFile("inter.crl", CrlToPem(crl));
  std::string output;
  ASSERT_EQ(OpenSsl("crl -noout -text -CAfile inter.pem -in inter.crl", &output), 0) << output;
  for (const char* expected :
       {"verify OK", "Issuer: CN = Builder Inter, O = Lyr", "Last Update: Jan  1 00:00:00 2025 GMT",
        "Next Update: Jan 31 00:00:00 2025 GMT", "X509v3 CRL Number", "42", "Serial Number: A1B2C3",
        "Serial Number: 05", "Signature Algorithm: GOST R 34.11-94 with GOST R 34.10-2001"}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
  }
}

TEST(PkiBuilder, CrlWithoutNextUpdateOrEntries) {
  const PrivateKey key = PrivateKey::Generate();
  const Certificate ca = IssueSelfSigned(CaSpec("Lonely", "01"), key);
  CrlSpec fields;
  fields.this_update = k2025;
  fields.crl_number = -1;
  fields.authority_key_identifier = false;
  const Crl crl = IssueCrl(fields, ca, key);
  EXPECT_EQ(crl.NextUpdate(), 0);
  EXPECT_TRUE(crl.Revoked().empty());
  EXPECT_TRUE(crl.IsIssuedBy(ca));
}

TEST_F(PkiBuilderTest, RequestVerifiesWithOpenSsl) {
  WriteFile("user.csr",
            MakeCertificateRequestPem(ParseDistinguishedName("/CN=Request/O=Lyr"), user_key_));
  std::string output;
  ASSERT_EQ(OpenSsl("req -verify -noout -text -in user.csr", &output), 0) << output;
  EXPECT_NE(output.find("verify OK"), std::string::npos) << output;
  EXPECT_NE(output.find("Subject: CN = Request, O = Lyr"), std::string::npos) << output;
  EXPECT_NE(output.find("GOST R 34.11-94 with GOST R 34.10-2001"), std::string::npos) << output;
  // The peer issues a certificate from our request, and our key matches it.
  WriteFile("root.key", root_key_.ToPkcs8Pem());
  ASSERT_EQ(OpenSsl("x509 -req -in user.csr -CA root.pem -CAkey root.key -set_serial 9 "
                    "-days 1 -md_gost94 -out issued.pem",
                    &output),
            0)
      << output;
  const Certificate issued = Certificate::FromPem(test::ReadAll(Home() / "issued.pem"));
  EXPECT_TRUE(user_key_.Matches(issued));
  EXPECT_TRUE(issued.IsSignedBy(*root_));
}

TEST_F(PkiBuilderTest, IssuerKeyMustBeTheIssuers) {
  try {
    (void)IssueCertificate(EndEntitySpec("Wrong", "09"), user_key_, *inter_, root_key_);
    FAIL() << "issued";
  } catch (const ECryptError& error) {
    EXPECT_EQ(error.ErrorCode(), code::kNteBadPublicKey);
  }
  try {
    (void)IssueCrl(CrlSpec{}, *inter_, user_key_);
    FAIL() << "issued";
  } catch (const ECryptError& error) {
    EXPECT_EQ(error.ErrorCode(), code::kNteBadPublicKey);
  }
}

struct BadSpecCase {
  std::string name;
  CertificateSpec fields;
  std::string detail;
};

class PkiBuilderBadSpec : public ::testing::TestWithParam<BadSpecCase> {};

TEST_P(PkiBuilderBadSpec, IsRefusedWithItsReason) {
  static const PrivateKey key = PrivateKey::Generate();
  try {
    (void)IssueSelfSigned(GetParam().fields, key);
    FAIL() << "issued";
  } catch (const ECryptError& error) {
    EXPECT_EQ(error.ErrorCode(), code::kEInvalidArg);
    EXPECT_EQ(error.Message(), CryptErrorCodeText(code::kEInvalidArg) + " " + GetParam().detail);
  }
}

CertificateSpec With(void (*change)(CertificateSpec&)) {
  CertificateSpec fields = CaSpec("Bad", "01");
  change(fields);
  return fields;
}

INSTANTIATE_TEST_SUITE_P(
    Specs, PkiBuilderBadSpec,
    ::testing::Values(
        BadSpecCase{"EmptySubject", With([](CertificateSpec& s) { s.subject.clear(); }),
                    "(empty subject)"},
        BadSpecCase{"SerialNotHex", With([](CertificateSpec& s) { s.serial_hex = "12G4"; }),
                    "(serial number 12G4)"},
        BadSpecCase{"EmptySerial", With([](CertificateSpec& s) { s.serial_hex.clear(); }),
                    "(serial number )"},
        BadSpecCase{"ValidityReversed",
                    With([](CertificateSpec& s) { s.not_after = s.not_before - 1; }),
                    "(notAfter before notBefore)"}),
    [](const ::testing::TestParamInfo<BadSpecCase>& info) { return info.param.name; });

struct NameCase {
  std::string name;
  std::string text;
  std::vector<NameAttribute> expected;
  std::string error;  // detail of the E_INVALIDARG error, or empty
};

class DistinguishedNameText : public ::testing::TestWithParam<NameCase> {};

TEST_P(DistinguishedNameText, ParsesOrRefuses) {
  const NameCase& c = GetParam();
  if (c.error.empty()) {
    EXPECT_EQ(ParseDistinguishedName(c.text), c.expected);
    return;
  }
  try {
    (void)ParseDistinguishedName(c.text);
    FAIL() << "parsed";
  } catch (const ECryptError& error) {
    EXPECT_EQ(error.Message(), CryptErrorCodeText(code::kEInvalidArg) + " " + c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DistinguishedNameText,
    ::testing::Values(
        NameCase{"Commas", "CN=Root CA, O=Lyr", {{"2.5.4.3", "Root CA"}, {"2.5.4.10", "Lyr"}}, ""},
        NameCase{"Slashes", "/CN=a,b/OU=c", {{"2.5.4.3", "a,b"}, {"2.5.4.11", "c"}}, ""},
        NameCase{"EscapedComma", "cn=a\\,b", {{"2.5.4.3", "a,b"}}, ""},
        NameCase{"KeysIgnoreCase",
                 "emailAddress=a@b,Ogrn=1027700000000,snils=12345678901",
                 {{"1.2.840.113549.1.9.1", "a@b"},
                  {"1.2.643.100.1", "1027700000000"},
                  {"1.2.643.100.3", "12345678901"}},
                 ""},
        NameCase{"DottedOid", "2.5.4.5=42", {{"2.5.4.5", "42"}}, ""},
        NameCase{"TrailingSeparator", "CN=a,", {{"2.5.4.3", "a"}}, ""},
        NameCase{"Empty", "", {}, "(empty name)"},
        NameCase{"NoEquals", "CN=a,Lyr", {}, "(name part without '=': Lyr)"},
        NameCase{"UnknownKey", "XX=1", {}, "(unknown name attribute XX)"},
        NameCase{"BadOid", "2..5=1", {}, "(unknown name attribute 2..5)"}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return info.param.name; });

}  // namespace
}  // namespace lyr::crypt
