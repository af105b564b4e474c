// The chain-test PKI: its certificates and CRLs are what the names promise (checked by the
// openssl command line), its files are written and its server serves them over real HTTP.
#include "crypt/support/chain_scenario.h"

#include <gtest/gtest.h>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/pki_builder.h"
#include "crypt/support/test_pki.h"
#include "http/http_client_tool.h"
#include "rtl/errors.h"
#include "support/sandbox.h"

namespace lyr::test {
namespace {

class ChainScenarioTest : public Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    scenario_ = std::make_unique<ChainScenario>(Home() / "pki");
  }

  // openssl verify of <name>.pem against root.pem with inter.pem untrusted; extra options added.
  int Verify(const std::string& name, const std::string& extra, std::string* output) const {
    return RunCommand("cd '" + (Home() / "pki").string() + "' && OPENSSL_CONF='" +
                          OpenSslConfigPath() + "' openssl verify -CAfile root.pem " +
                          "-untrusted inter.pem " + extra + " " + name + ".pem 2>&1",
                      output);
  }

  std::unique_ptr<ChainScenario> scenario_;
};

TEST_F(ChainScenarioTest, EveryEndEntityChainsToTheRoot) {
  for (const char* name :
       {"user", "direct", "revoked", "ocsp-only", "unreachable", "bare", "mixed"}) {
    std::string output;
    EXPECT_EQ(Verify(name, "", &output), 0) << name << ": " << output;
  }
}

TEST_F(ChainScenarioTest, CurrentCrlsRevokeOnlyTheRevokedUser) {
  // openssl verify reads CRL files as PEM.
  for (const auto& [file, crl] : {std::pair{"root-crl.pem", &scenario_->root_crl},
                                  std::pair{"inter-crl.pem", &scenario_->inter_crl},
                                  std::pair{"inter-stale-crl.pem", &scenario_->inter_stale_crl}}) {
    WriteFile(std::string("pki/") + file, crypt::CrlToPem(*crl));
  }
  std::string output;
  EXPECT_EQ(Verify("user", "-crl_check_all -CRLfile root-crl.pem -CRLfile inter-crl.pem", &output),
            0)
      << output;
  EXPECT_NE(
      Verify("revoked", "-crl_check_all -CRLfile root-crl.pem -CRLfile inter-crl.pem", &output), 0);
  EXPECT_NE(output.find("certificate revoked"), std::string::npos) << output;
  EXPECT_NE(
      Verify("user", "-crl_check_all -CRLfile root-crl.pem -CRLfile inter-stale-crl.pem", &output),
      0);
  EXPECT_NE(output.find("CRL has expired"), std::string::npos) << output;
}

TEST_F(ChainScenarioTest, CertificatesCarryTheirAddresses) {
  const ChainScenario& s = *scenario_;
  EXPECT_EQ(s.user.certificate.SubjectCN(), "Scenario User");
  EXPECT_EQ(s.user.certificate.IssuerCN(), "Scenario Inter CA");
  EXPECT_EQ(s.direct.certificate.IssuerCN(), "Scenario Root CA");
  EXPECT_EQ(s.user.certificate.CrlDistributionUrls(), std::vector<std::string>{s.Url("inter.crl")});
  const auto access = s.user.certificate.AuthorityInfoAccess();
  ASSERT_TRUE(access);
  ASSERT_EQ(access->size(), 1U);
  EXPECT_EQ((*access)[0].location, s.Url("inter.cer"));
  const auto ocsp = s.ocsp_only.certificate.AuthorityInfoAccess();
  ASSERT_TRUE(ocsp);
  ASSERT_EQ(ocsp->size(), 1U);
  EXPECT_EQ((*ocsp)[0].method_oid, crypt::kOidOcsp);
  EXPECT_FALSE(s.bare.certificate.AuthorityInfoAccess());
  EXPECT_TRUE(s.bare.certificate.CrlDistributionUrls().empty());
  const std::vector<std::string> mixed_crls = s.mixed.certificate.CrlDistributionUrls();
  ASSERT_EQ(mixed_crls.size(), 4U);
  EXPECT_EQ(mixed_crls[2], "HTTP://127.0.0.1/INTER.CRL");
  EXPECT_EQ(mixed_crls[3], s.Url("inter.crl"));
  EXPECT_EQ(s.unreachable.certificate.CrlDistributionUrls(),
            std::vector<std::string>{s.DeadUrl("inter.crl")});
}

TEST_F(ChainScenarioTest, CrlsHoldTheRevocationAndTheirDates) {
  const ChainScenario& s = *scenario_;
  const std::vector<crypt::RevokedEntry> revoked = s.inter_crl.Revoked();
  ASSERT_EQ(revoked.size(), 2U);
  EXPECT_EQ(revoked[1].serial_number, "\x0E");
  EXPECT_EQ(revoked[1].revocation_date, s.revocation_date);
  EXPECT_LT(s.inter_stale_crl.NextUpdate(), s.now);
  EXPECT_GT(s.inter_crl.NextUpdate(), s.now);
  EXPECT_TRUE(s.inter_crl.IsIssuedBy(s.inter.certificate));
  EXPECT_TRUE(s.root_crl.IsIssuedBy(s.root.certificate));
  EXPECT_TRUE(s.root_crl.Revoked().empty());
}

TEST_F(ChainScenarioTest, ServerServesCertificatesAndCrlsOverHttp) {
  ChainScenario& s = *scenario_;
  EXPECT_EQ(http::CHTTPClientTool::DownloadFromAnyUrl(s.Url("inter.cer")),
            s.inter.certificate.Der());
  EXPECT_EQ(http::CHTTPClientTool::DownloadFromAnyUrl(s.Url("inter.crl")), s.inter_crl.Der());
  s.Serve("inter.crl", s.inter_stale_crl.Der());
  EXPECT_EQ(http::CHTTPClientTool::DownloadFromAnyUrl(s.Url("inter.crl")), s.inter_stale_crl.Der());
  // A path no longer served answers 404 with a body that is no CRL (the default client does not
  // check the status, and neither do the chain builder's downloads).
  s.Unserve("inter.crl");
  EXPECT_EQ(http::CHTTPClientTool::DownloadFromAnyUrl(s.Url("inter.crl")), "not here");
  EXPECT_THROW((void)http::CHTTPClientTool::DownloadFromAnyUrl(s.DeadUrl("inter.cer")),
               rtl::Exception);
  EXPECT_EQ(s.RequestedPaths(),
            (std::vector<std::string>{"/inter.cer", "/inter.crl", "/inter.crl", "/inter.crl"}));
}

TEST_F(ChainScenarioTest, FolderHoldsEveryFile) {
  for (const char* name : {"root", "inter", "user", "direct", "revoked", "ocsp-only", "unreachable",
                           "bare", "mixed"}) {
    for (const char* extension : {".cer", ".pem", ".key"}) {
      EXPECT_TRUE(std::filesystem::exists(Home() / "pki" / (std::string(name) + extension)))
          << name << extension;
    }
  }
  EXPECT_EQ(ReadAll(Home() / "pki" / "inter-stale.crl"), scenario_->inter_stale_crl.Der());
  EXPECT_TRUE(crypt::PrivateKey::FromPem(ReadAll(Home() / "pki" / "user.key"), std::nullopt)
                  .Matches(scenario_->user.certificate));
}

TEST_F(ChainScenarioTest, InstallsStoresAndSigner) {
  const ChainScenario& s = *scenario_;
  s.TrustRoot();
  s.AddIntermediateToCa();
  s.AddCrlToCa(s.inter_crl);
  const crypt::Certificate bound = s.InstallSigner(s.user, "scenario-user");
  EXPECT_TRUE(crypt::CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "ROOT")
                  .FindByThumbprint(s.root.certificate.Thumbprint()));
  const crypt::CertStore ca =
      crypt::CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "CA");
  EXPECT_TRUE(ca.FindByThumbprint(s.inter.certificate.Thumbprint()));
  ASSERT_EQ(ca.Crls().size(), 1U);
  EXPECT_EQ(ca.Crls()[0].Der(), s.inter_crl.Der());
  const auto mine = crypt::CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "MY")
                        .FindByThumbprint(s.user.certificate.Thumbprint());
  ASSERT_TRUE(mine);
  ASSERT_TRUE(mine->KeyProv());
  EXPECT_EQ(mine->KeyProv()->container_name, "scenario-user");
  EXPECT_TRUE(crypt::KeyContainer::Open(crypt::StoreLocation::kCurrentUser, "scenario-user")
                  .GetPrivateKey()
                  .Matches(bound));
}

}  // namespace
}  // namespace lyr::test
