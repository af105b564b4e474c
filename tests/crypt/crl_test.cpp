// Certificate revocation lists: parsing, issuer, dates, revoked entries, issuer check.
#include "crypt/platform/crl.h"

#include <gtest/gtest.h>

#include "crypt/crypt_error.h"
#include "support/pki.h"

namespace lyr::crypt {
namespace {

using test::SharedPki;

TEST(CrlParse, ReadsIssuerDatesAndRevokedEntries) {
  const Crl crl = Crl::FromPem(test::FileBytes(SharedPki().root_crl));
  EXPECT_EQ(crl.IssuerCN(), "Test Root CA");
  EXPECT_EQ(crl.NextUpdate() - crl.ThisUpdate(), 30 * 86400);
  const std::vector<RevokedEntry> revoked = crl.Revoked();
  ASSERT_EQ(revoked.size(), 1U);
  EXPECT_EQ(revoked[0].serial_number, std::string("\x01\x02", 2));
  EXPECT_EQ(revoked[0].revocation_date, 1735689600);  // 2025-01-01T00:00:00Z
}

TEST(CrlParse, DerAndPemAgree) {
  const Crl from_pem = Crl::FromPem(test::FileBytes(SharedPki().root_crl));
  const Crl from_der = Crl::FromDer(test::PemFileToDer(SharedPki().root_crl));
  EXPECT_EQ(from_pem.Der(), from_der.Der());
  EXPECT_EQ(from_pem.Thumbprint(), from_der.Thumbprint());
  EXPECT_EQ(from_der.Thumbprint().size(), 40U);
}

TEST(CrlIssuer, IsCheckedByNameAndSignature) {
  const Crl crl = Crl::FromDer(test::PemFileToDer(SharedPki().root_crl));
  const Certificate root = Certificate::FromDer(test::PemFileToDer(SharedPki().root));
  const Certificate inter = Certificate::FromDer(test::PemFileToDer(SharedPki().inter));
  EXPECT_TRUE(crl.IsIssuedBy(root));
  EXPECT_EQ(crl.IssuerNameDer(), root.SubjectNameDer());
  EXPECT_FALSE(crl.IsIssuedBy(inter));
  EXPECT_EQ(GetLastCryptError(), code::kCryptENotFound);
}

TEST(CrlParse, CertificateIsNoCrl) {
  try {
    (void)Crl::FromDer(test::PemFileToDer(SharedPki().root));
    FAIL() << "parsed";
  } catch (const ECryptError& error) {
    EXPECT_EQ(error.ErrorCode(), code::kCryptEAsn1BadTag);
  }
  EXPECT_THROW((void)Crl::FromDer(""), ECryptError);
  EXPECT_THROW((void)Crl::FromPem("garbage"), ECryptError);
}

}  // namespace
}  // namespace lyr::crypt
