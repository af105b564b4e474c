// Certificates: parsing, thumbprint, names, serial, validity, extensions, signature checks.
#include "crypt/platform/certificate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "crypt/crypt_error.h"
#include "support/pki.h"

namespace lyr::crypt {
namespace {

using test::PemFileToDer;
using test::SharedPki;

Certificate Load(const std::filesystem::path& pem) {
  return Certificate::FromDer(PemFileToDer(pem));
}

std::string OpenSslThumbprint(const std::filesystem::path& pem) {
  std::string output;
  EXPECT_EQ(test::RunOpenSsl("x509 -in '" + pem.string() + "' -noout -fingerprint -sha1", &output),
            0);
  std::string hex = output.substr(output.find('=') + 1);
  std::erase(hex, ':');
  std::erase(hex, '\n');
  return hex;
}

TEST(CertificateThumbprint, IsTheSha1OfTheDerAsOpenSslShowsIt) {
  for (const auto& file : {SharedPki().root, SharedPki().inter, SharedPki().user}) {
    const Certificate certificate = Load(file);
    EXPECT_EQ(certificate.Thumbprint(), OpenSslThumbprint(file)) << file;
    EXPECT_EQ(certificate.Thumbprint().size(), 40U);
    EXPECT_EQ(certificate.Sha1().size(), 20U);
  }
}

TEST(CertificateParse, PemAndDerGiveTheSameCertificate) {
  const Certificate from_der = Load(SharedPki().user);
  const Certificate from_pem = Certificate::FromPem(test::FileBytes(SharedPki().user));
  EXPECT_TRUE(from_der.SameAs(from_pem));
  EXPECT_EQ(from_pem.Der(), PemFileToDer(SharedPki().user));
}

TEST(CertificateNames, SubjectAttributesComeInEncodingOrder) {
  const Certificate root = Load(SharedPki().root);
  const std::vector<NameAttribute> expected{{"2.5.4.3", "Test Root CA"}, {"2.5.4.10", "Lyr"}};
  EXPECT_EQ(root.Subject(), expected);
  EXPECT_EQ(root.Issuer(), expected);
  EXPECT_EQ(root.SubjectNameDer(), root.IssuerNameDer());
}

TEST(CertificateNames, CommonNamesOfSubjectAndIssuer) {
  const Certificate user = Load(SharedPki().user);
  EXPECT_EQ(user.SubjectCN(), "Test User");
  EXPECT_EQ(user.IssuerCN(), "Test Inter CA");
}

TEST(CertificateNames, NoCommonNameGivesNothing) {
  const Certificate nocn = Load(SharedPki().nocn);
  EXPECT_EQ(nocn.SubjectCN(), std::nullopt);
  EXPECT_EQ(nocn.IssuerCN(), std::nullopt);
}

TEST(CertificateSerial, KeepsTheEncodedBytesMostSignificantFirst) {
  EXPECT_EQ(Load(SharedPki().user).SerialNumber(), std::string("\x00\xA1\xB2\xC3", 4));
  EXPECT_EQ(Load(SharedPki().inter).SerialNumber(), std::string("\x01\x02", 2));
}

TEST(CertificateValidity, BoundsAreUtcSecondsOfTheCertificate) {
  const Certificate user = Load(SharedPki().user);
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  EXPECT_LE(user.NotBefore(), now);
  EXPECT_GT(user.NotBefore(), now - 86400);
  EXPECT_EQ(user.NotAfter() - user.NotBefore(), 365 * 86400);
}

TEST(CertificateAlgorithms, AreGostR3410_2001WithGostR3411_94) {
  const Certificate user = Load(SharedPki().user);
  EXPECT_EQ(user.PublicKeyAlgorithmOid(), "1.2.643.2.2.19");
  EXPECT_EQ(user.SignatureAlgorithmOid(), "1.2.643.2.2.3");
}

struct ConstraintsCase {
  const char* name;
  std::filesystem::path test::TestPki::*file;
  bool present;
  bool critical;
  bool ca;
};

class CertificateBasicConstraints : public ::testing::TestWithParam<ConstraintsCase> {};

TEST_P(CertificateBasicConstraints, ReportCaFlagAndCriticality) {
  const auto constraints = Load(SharedPki().*GetParam().file).GetBasicConstraints();
  ASSERT_EQ(constraints.has_value(), GetParam().present);
  if (constraints) {
    EXPECT_EQ(constraints->critical, GetParam().critical);
    EXPECT_EQ(constraints->ca, GetParam().ca);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, CertificateBasicConstraints,
    ::testing::Values(
        ConstraintsCase{"CriticalCaRoot", &test::TestPki::root, true, true, true},
        ConstraintsCase{"CriticalCaIntermediate", &test::TestPki::inter, true, true, true},
        ConstraintsCase{"NonCriticalEndEntity", &test::TestPki::user, true, false, false},
        ConstraintsCase{"NonCriticalCa", &test::TestPki::nocn, true, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CertificateExtensions, ListsOidsAndCriticality) {
  const std::vector<ExtensionInfo> extensions = Load(SharedPki().inter).Extensions();
  const auto basic = std::find_if(extensions.begin(), extensions.end(),
                                  [](const ExtensionInfo& e) { return e.oid == "2.5.29.19"; });
  ASSERT_NE(basic, extensions.end());
  EXPECT_TRUE(basic->critical);
  EXPECT_EQ(basic->value_der, std::string("\x30\x03\x01\x01\xFF", 5));
}

TEST(CertificateExtensions, CrlDistributionUrlsComeInEncodingOrder) {
  const std::vector<std::string> expected{"http://127.0.0.1:8080/root.crl",
                                          "ldap://ldap.example/cn=root", "HTTP://EXAMPLE.COM/x.crl",
                                          "https://127.0.0.1/root2.crl"};
  EXPECT_EQ(Load(SharedPki().inter).CrlDistributionUrls(), expected);
  EXPECT_TRUE(Load(SharedPki().root).CrlDistributionUrls().empty());
}

TEST(CertificateExtensions, AuthorityInfoAccessListsMethodsAndUrls) {
  const auto access = Load(SharedPki().inter).AuthorityInfoAccess();
  ASSERT_TRUE(access.has_value());
  ASSERT_EQ(access->size(), 2U);
  EXPECT_EQ((*access)[0].method_oid, kOidCaIssuers);
  EXPECT_EQ((*access)[0].location, "http://127.0.0.1:8080/root.cer");
  EXPECT_EQ((*access)[1].method_oid, kOidOcsp);
  EXPECT_EQ((*access)[1].location, "http://127.0.0.1:8080/ocsp");
  EXPECT_FALSE(Load(SharedPki().root).AuthorityInfoAccess().has_value());
  const auto ocsp_only = Load(SharedPki().ocsp_only).AuthorityInfoAccess();
  ASSERT_TRUE(ocsp_only.has_value());
  ASSERT_EQ(ocsp_only->size(), 1U);
  EXPECT_EQ((*ocsp_only)[0].method_oid, kOidOcsp);
}

TEST(CertificateSelfIssued, ComparesSubjectAndIssuerNames) {
  EXPECT_TRUE(Load(SharedPki().root).IsSelfIssued());
  EXPECT_TRUE(Load(SharedPki().nocn).IsSelfIssued());
  EXPECT_FALSE(Load(SharedPki().inter).IsSelfIssued());
  EXPECT_FALSE(Load(SharedPki().user).IsSelfIssued());
}

TEST(CertificateSignature, VerifiesAgainstTheRealIssuerOnly) {
  const Certificate root = Load(SharedPki().root);
  const Certificate inter = Load(SharedPki().inter);
  const Certificate user = Load(SharedPki().user);
  EXPECT_TRUE(root.IsSignedBy(root));
  EXPECT_TRUE(inter.IsSignedBy(root));
  EXPECT_TRUE(user.IsSignedBy(inter));
  EXPECT_FALSE(user.IsSignedBy(root));
  EXPECT_EQ(GetLastCryptError(), code::kNteBadSignature);
}

TEST(CertificateSignature, FlippedSignatureBitIsRejected) {
  std::string der = PemFileToDer(SharedPki().inter);
  der[der.size() - 5] = static_cast<char>(der[der.size() - 5] ^ 0x01);
  const Certificate tampered = Certificate::FromDer(der);
  EXPECT_FALSE(tampered.IsSignedBy(Load(SharedPki().root)));
}

// Bad bodies are made when a test runs (the PKI is not made while tests are only listed).
struct BadBody {
  const char* name;
  std::string (*make)();
};

std::string UserDer() {
  return PemFileToDer(SharedPki().user);
}

class CertificateBadDer : public ::testing::TestWithParam<BadBody> {};

TEST_P(CertificateBadDer, FailsWithAsn1BadTag) {
  try {
    (void)Certificate::FromDer(GetParam().make());
    FAIL() << "parsed";
  } catch (const ECryptError& error) {
    EXPECT_EQ(error.ErrorCode(), code::kCryptEAsn1BadTag);
    EXPECT_TRUE(error.Message().starts_with("0x8009310B (-2146881269): ASN1 bad tag value met."))
        << error.Message();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, CertificateBadDer,
    ::testing::Values(
        BadBody{"Empty", [] { return std::string(); }},
        BadBody{"Text", [] { return std::string("hello, world"); }},
        BadBody{"Truncated", [] { return UserDer().substr(0, UserDer().size() / 2); }},
        BadBody{"TrailingByte", [] { return UserDer() + '\0'; }},
        BadBody{"PemText", [] { return test::FileBytes(SharedPki().user); }},
        BadBody{"OnlySequenceHeader", [] { return std::string("\x30\x82\xFF\xFF", 4); }},
        BadBody{"HugeLength",
                [] { return std::string("\x30\x84\x7F\xFF\xFF\xFF", 6) + std::string(64, 'A'); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CertificateParse, PemWithoutCertificateFails) {
  EXPECT_THROW((void)Certificate::FromPem("-----BEGIN CERTIFICATE-----\n!!!\n-----END "
                                          "CERTIFICATE-----\n"),
               ECryptError);
  EXPECT_THROW((void)Certificate::FromPem(""), ECryptError);
}

TEST(CertificateRfc4491, ExampleCertificateParsesAndVerifiesItself) {
  const auto folder = test::GostVectorsFolder();
  if (folder.empty()) {
    GTEST_SKIP() << "no shared GOST vectors on this machine";
  }
  const auto file = folder / "rfc4491" / "gostr3410-2001-cert.der";
  const Certificate certificate = Certificate::FromDer(test::FileBytes(file));
  EXPECT_TRUE(certificate.IsSelfIssued());
  EXPECT_TRUE(certificate.IsSignedBy(certificate));
  EXPECT_EQ(certificate.PublicKeyAlgorithmOid(), "1.2.643.2.2.19");
  std::string output;
  ASSERT_EQ(test::RunOpenSsl(
                "x509 -inform DER -in '" + file.string() + "' -noout -fingerprint -sha1", &output),
            0);
  std::string hex = output.substr(output.find('=') + 1);
  std::erase(hex, ':');
  std::erase(hex, '\n');
  EXPECT_EQ(certificate.Thumbprint(), hex);
}

}  // namespace
}  // namespace lyr::crypt
