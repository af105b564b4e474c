// The in-process PKI builder: certificates, CRLs and requests checked by the openssl command line
// with the GOST engine and parsed back by the layer's own Certificate and Crl.
#include "crypt/platform/pki_builder.h"

#include <gtest/gtest.h>

#include <ctime>

#include "crypt/crypt_test.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using test::PkiParty;

constexpr int64_t kDay = 86400;
constexpr int64_t k2025 = 1735689600;  // 2025-01-01T00:00:00Z

CertificateSpec CaSpec(const std::string& cn, const std::string& serial) {
  CertificateSpec fields;
  fields.serial_hex = serial;
  fields.subject = ParseDistinguishedName("CN=" + cn + ",O=Lyr");
  fields.not_before = std::time(nullptr) - kDay;
  fields.not_after = fields.not_before + 3651 * kDay;
  fields.ca = true;
  fields.key_usage = key_usage::kCa;
  return fields;
}

CertificateSpec EndEntitySpec(const std::string& cn, const std::string& serial) {
  CertificateSpec fields = CaSpec(cn, serial);
  fields.ca = false;
  fields.basic_constraints = ExtensionMode::kNonCritical;
  fields.key_usage = key_usage::kEndEntity;
  fields.not_after = fields.not_before + 366 * kDay;
  return fields;
}

// The message of the E_INVALIDARG error that bad certificate fields raise.
std::string InvalidArgument(const std::string& detail) {
  return CryptErrorCodeText(code::kEInvalidArg) + " " + detail;
}

const PrivateKey& AnyKey() {
  static const PrivateKey key = PrivateKey::Generate(GostParamSet::kB);
  return key;
}

// The shared test PKI, made by this builder, against the openssl command line.
class PkiBuilderTest : public test::PkiSandbox {
 protected:
  const PkiParty& root_ = test::SharedPki().root_party;
  const PkiParty& inter_ = test::SharedPki().inter_party;
  const PkiParty& user_ = test::SharedPki().user_party;
  // A file of the shared PKI's folder.
  static std::string Shared(const char* name) {
    return (test::SharedPki().root.parent_path() / name).string();
  }
};

TEST_F(PkiBuilderTest, ChainPassesOpenSslVerify) {
  std::string output;
  EXPECT_EQ(OpenSsl("verify -CAfile " + Shared("root.pem") + " -untrusted " + Shared("inter.pem") +
                        " " + Shared("user.pem"),
                    &output),
            0)
      << output;
  EXPECT_NE(output.find("user.pem: OK"), std::string::npos) << output;
}

TEST(PkiBuilder, BasicConstraintsAreWrittenAsChosen) {
  struct Case {
    ExtensionMode mode;
    bool ca;
    int32_t path_length;
  };
  for (const Case& c : {Case{ExtensionMode::kCritical, true, -1},
                        {ExtensionMode::kCritical, true, 2},
                        {ExtensionMode::kNonCritical, true, -1},
                        {ExtensionMode::kNonCritical, false, -1},
                        {ExtensionMode::kCritical, false, -1},
                        {ExtensionMode::kAbsent, false, -1}}) {
    CertificateSpec fields = CaSpec("Constraints", "02");
    fields.basic_constraints = c.mode;
    fields.ca = c.ca;
    fields.path_length = c.path_length;
    const std::optional<BasicConstraints> read =
        IssueSelfSigned(fields, AnyKey()).GetBasicConstraints();
    ASSERT_EQ(read.has_value(), c.mode != ExtensionMode::kAbsent);
    if (read) {
      EXPECT_EQ(read->critical, c.mode == ExtensionMode::kCritical);
      EXPECT_EQ(read->ca, c.ca);
      EXPECT_EQ(read->path_length, c.path_length);
    }
  }
}

TEST(PkiBuilder, AddressesAreWrittenByteForByte) {
  CertificateSpec fields = EndEntitySpec("Addresses", "03");
  EXPECT_FALSE(IssueSelfSigned(fields, AnyKey()).AuthorityInfoAccess());
  fields.ca_issuers_urls = {"http://a/1.cer", "https://b/2.cer"};
  fields.ocsp_urls = {"http://o/"};
  fields.crl_urls = {"http://127.0.0.1/a.crl", "ldap://ldap.example/cn=CA,o=Lyr?crl",
                     "HTTP://EXAMPLE.COM/X.CRL", "https://secure.example/b.crl",
                     "file:///var/c.crl"};
  const Certificate certificate = IssueSelfSigned(fields, AnyKey());
  EXPECT_EQ(certificate.CrlDistributionUrls(), fields.crl_urls);
  const std::vector<AccessDescription> access = certificate.AuthorityInfoAccess().value();
  ASSERT_EQ(access.size(), 3U);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(access[i].method_oid, i < 2 ? kOidCaIssuers : kOidOcsp);
    EXPECT_EQ(access[i].location, i < 2 ? fields.ca_issuers_urls[i] : fields.ocsp_urls[0]);
  }
}

TEST_F(PkiBuilderTest, CrlIsParsedBackAndVerifiedByOpenSsl) {
  CrlSpec fields;
  fields.this_update = k2025;
  fields.next_update = k2025 + 30 * kDay;
  fields.revoked = {{"00A1B2C3", k2025 - kDay}, {"05", k2025 - 2 * kDay}};
  fields.crl_number = 42;
  const Crl crl = IssueCrl(fields, inter_.certificate, inter_.key);
  EXPECT_TRUE(crl.IsIssuedBy(inter_.certificate));
  EXPECT_FALSE(crl.IsIssuedBy(root_.certificate));
  EXPECT_EQ(crl.ThisUpdate(), k2025);
  EXPECT_EQ(crl.NextUpdate(), k2025 + 30 * kDay);
  const std::vector<RevokedEntry> revoked = crl.Revoked();
  ASSERT_EQ(revoked.size(), 2U);
  EXPECT_EQ(revoked[0].serial_number, std::string("\x00\xA1\xB2\xC3", 4));
  EXPECT_EQ(revoked[0].revocation_date, k2025 - kDay);
  EXPECT_EQ(revoked[1].serial_number, "\x05");
  WriteFile("inter.crl", CrlToPem(crl));
  std::string output;
  ASSERT_EQ(OpenSsl("crl -noout -text -in inter.crl -CAfile " + Shared("inter.pem"), &output), 0)
      << output;
  for (const char* expected :
       {"verify OK", "Issuer: CN = Test Inter CA", "Last Update: Jan  1 00:00:00 2025 GMT",
        "Next Update: Jan 31 00:00:00 2025 GMT", "X509v3 CRL Number", "42", "Serial Number: A1B2C3",
        "Serial Number: 05", "Signature Algorithm: GOST R 34.11-94 with GOST R 34.10-2001"}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
  }
  const Crl bare = IssueCrl(CrlSpec{k2025, 0, {}, -1, false, {}}, root_.certificate, root_.key);
  EXPECT_EQ(bare.NextUpdate(), 0);
  EXPECT_TRUE(bare.Revoked().empty());
  EXPECT_TRUE(bare.IsIssuedBy(root_.certificate));
}

TEST_F(PkiBuilderTest, RequestVerifiesWithOpenSslWhichIssuesFromIt) {
  std::string output;
  ASSERT_EQ(OpenSsl("req -verify -noout -text -in " + Shared("user.csr"), &output), 0) << output;
  EXPECT_NE(output.find("verify OK"), std::string::npos) << output;
  EXPECT_NE(output.find("Subject: CN = Test User, O = Lyr"), std::string::npos) << output;
  EXPECT_NE(output.find("GOST R 34.11-94 with GOST R 34.10-2001"), std::string::npos) << output;
  ASSERT_EQ(
      OpenSsl("x509 -req -in " + Shared("user.csr") + " -CA " + Shared("root.pem") + " -CAkey " +
                  Shared("root.key") + " -set_serial 9 -days 1 -md_gost94 -out issued.pem",
              &output),
      0)
      << output;
  const Certificate issued = Certificate::FromPem(test::ReadAll(Home() / "issued.pem"));
  EXPECT_TRUE(user_.key.Matches(issued));
  EXPECT_TRUE(issued.IsSignedBy(root_.certificate));
}

TEST_F(PkiBuilderTest, RefusesAWrongIssuerKeyAndBadFields) {
  EXPECT_EQ(test_util::CodeOf([&] {
              (void)IssueCertificate(EndEntitySpec("Wrong", "09"), user_.key.PublicKeyInfoDer(),
                                     inter_.certificate, root_.key);
            }),
            code::kNteBadPublicKey);
  EXPECT_EQ(test_util::CodeOf([&] { (void)IssueCrl(CrlSpec{}, inter_.certificate, user_.key); }),
            code::kNteBadPublicKey);
  const auto with = [](void (*change)(CertificateSpec&)) {
    CertificateSpec fields = CaSpec("Bad", "01");
    change(fields);
    return fields;
  };
  for (const auto& [fields, detail] :
       {std::pair{with([](CertificateSpec& s) { s.subject.clear(); }), "(empty subject)"},
        {with([](CertificateSpec& s) { s.serial_hex = "12G4"; }), "(serial number 12G4)"},
        {with([](CertificateSpec& s) { s.serial_hex.clear(); }), "(serial number )"},
        {with([](CertificateSpec& s) { s.not_after = s.not_before - 1; }),
         "(notAfter before notBefore)"}}) {
    test::ExpectRaises<ECryptError>([&] { (void)IssueSelfSigned(fields, AnyKey()); },
                                    InvalidArgument(detail));
  }
}

TEST(DistinguishedNameText, ParsesOrRefuses) {
  const std::vector<std::pair<std::string, std::vector<NameAttribute>>> parsed{
      {"CN=Root CA, O=Lyr", {{"2.5.4.3", "Root CA"}, {"2.5.4.10", "Lyr"}}},
      {"/CN=a,b/OU=c", {{"2.5.4.3", "a,b"}, {"2.5.4.11", "c"}}},
      {"cn=a\\,b", {{"2.5.4.3", "a,b"}}},
      {"emailAddress=a@b,Ogrn=1027700000000,snils=12345678901",
       {{"1.2.840.113549.1.9.1", "a@b"},
        {"1.2.643.100.1", "1027700000000"},
        {"1.2.643.100.3", "12345678901"}}},
      {"2.5.4.5=42", {{"2.5.4.5", "42"}}},
      {"CN=a,", {{"2.5.4.3", "a"}}}};
  for (const auto& [text, expected] : parsed) {
    EXPECT_EQ(ParseDistinguishedName(text), expected) << text;
  }
  for (const auto& [text, detail] : {std::pair{"", "(empty name)"},
                                     {"CN=a,Lyr", "(name part without '=': Lyr)"},
                                     {"XX=1", "(unknown name attribute XX)"},
                                     {"2..5=1", "(unknown name attribute 2..5)"}}) {
    test::ExpectRaises<ECryptError>([&] { (void)ParseDistinguishedName(text); },
                                    InvalidArgument(detail));
  }
}

}  // namespace
}  // namespace lyr::crypt
