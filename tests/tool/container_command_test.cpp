// The tool's "container" command, run as a program in a sandbox home: new containers with a
// request (checked by openssl req -verify) or a self-signed certificate in "MY", and the list.
#include <gtest/gtest.h>

#include <string>

#include "crypt/crypt_error.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/key_container.h"
#include "crypt/provider_context.h"
#include "rtl/text.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace lyr::tool {
namespace {

using crypt::StoreLocation;
using rtl::Msg;

class ContainerCommand : public test::Sandbox {
 protected:
  // Runs the tool in the sandbox folder; output receives what it printed.
  int Run(const std::string& arguments, std::string* output, bool with_errors = true) {
    output->clear();
    return test::RunCommand("cd '" + Home().string() + "' && " + std::string(LYR_TDX880_TOOL) +
                                " " + arguments + (with_errors ? " 2>&1" : " 2>/dev/null"),
                            output);
  }

  // openssl with the GOST engine, in the sandbox.
  int OpenSsl(const std::string& arguments, std::string* output) {
    output->clear();
    return test::RunCommand("cd '" + Home().string() + "' && OPENSSL_CONF='" +
                                test::OpenSslConfigPath() + "' openssl " + arguments + " 2>&1",
                            output);
  }
};

TEST_F(ContainerCommand, NewWritesRequestThatOpenSslVerifies) {
  std::string output;
  ASSERT_EQ(Run("container new my-key --subject 'CN=Иванов Иван,O=Lyr,C=RU' -o req.pem", &output),
            0)
      << output;
  EXPECT_EQ(output, "");
  ASSERT_EQ(OpenSsl("req -verify -noout -nameopt utf8 -subject -in req.pem", &output), 0) << output;
  EXPECT_NE(output.find("verify OK"), std::string::npos) << output;
  EXPECT_NE(output.find("subject=CN=Иванов Иван, O=Lyr, C=RU"), std::string::npos) << output;
  // The request carries the public key of the container's private key.
  const crypt::KeyContainer container =
      crypt::KeyContainer::Open(StoreLocation::kCurrentUser, "my-key");
  std::string request_key;
  std::string container_key;
  ASSERT_EQ(OpenSsl("req -noout -pubkey -in req.pem", &request_key), 0) << request_key;
  ASSERT_EQ(OpenSsl("pkey -pubout -in '" + container.Folder() + "/key.pem'", &container_key), 0)
      << container_key;
  EXPECT_EQ(request_key, container_key);
  EXPECT_FALSE(container.GetCertificate());
}

TEST_F(ContainerCommand, NewWritesRequestToStandardOutput) {
  std::string output;
  ASSERT_EQ(Run("container new k --subject /CN=Out --paramset A", &output, false), 0);
  EXPECT_EQ(output.rfind("-----BEGIN CERTIFICATE REQUEST-----\n", 0), 0u) << output;
  WriteFile("out.csr", output);
  EXPECT_EQ(OpenSsl("req -verify -noout -in out.csr", &output), 0) << output;
}

TEST_F(ContainerCommand, SelfSignedCertificateGoesIntoMyWithItsBinding) {
  std::string output;
  ASSERT_EQ(Run("container new signer --subject 'CN=Signer,O=Lyr' --self-signed -o self.pem",
                &output, false),
            0);
  const crypt::CertStore my = crypt::CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  const std::vector<crypt::Certificate> certificates = my.Certificates();
  ASSERT_EQ(certificates.size(), 1U);
  const crypt::Certificate& certificate = certificates[0];
  EXPECT_EQ(output, certificate.Thumbprint() + " Signer\n");
  ASSERT_TRUE(certificate.KeyProv());
  EXPECT_EQ(*certificate.KeyProv(),
            (crypt::KeyProvInfo{"signer", std::string(crypt::kGostProviderName), 75, 1, 1}));
  EXPECT_TRUE(certificate.IsSelfIssued());
  EXPECT_TRUE(certificate.IsSignedBy(certificate));
  const crypt::KeyContainer container =
      crypt::KeyContainer::Open(StoreLocation::kCurrentUser, "signer");
  ASSERT_TRUE(container.GetCertificate());
  EXPECT_TRUE(container.GetCertificate()->SameAs(certificate));
  EXPECT_TRUE(container.GetPrivateKey().Matches(certificate));
  EXPECT_EQ(crypt::Certificate::FromPem(test::ReadAll(Home() / "self.pem")).Der(),
            certificate.Der());
  EXPECT_EQ(OpenSsl("verify -CAfile self.pem self.pem", &output), 0) << output;
  const std::optional<crypt::BasicConstraints> constraints = certificate.GetBasicConstraints();
  ASSERT_TRUE(constraints);
  EXPECT_FALSE(constraints->ca);
  EXPECT_EQ(certificate.NotAfter() - certificate.NotBefore(), 365 * 86400);
}

TEST_F(ContainerCommand, DaysChooseTheValidity) {
  std::string output;
  ASSERT_EQ(Run("container new short --subject CN=Short --self-signed --days 7", &output), 0)
      << output;
  const auto certificate =
      crypt::KeyContainer::Open(StoreLocation::kCurrentUser, "short").GetCertificate();
  ASSERT_TRUE(certificate);
  EXPECT_EQ(certificate->NotAfter() - certificate->NotBefore(), 7 * 86400);
}

TEST_F(ContainerCommand, MachineOptionUsesTheMachineLocation) {
  std::string output;
  ASSERT_EQ(Run("container new shared --subject CN=Shared --self-signed --machine", &output), 0)
      << output;
  const std::vector<crypt::Certificate> machine_certificates =
      crypt::CertStore::OpenSystem(StoreLocation::kLocalMachine, "MY").Certificates();
  ASSERT_EQ(machine_certificates.size(), 1U);
  ASSERT_TRUE(machine_certificates[0].KeyProv());
  EXPECT_EQ(machine_certificates[0].KeyProv()->flags, 0x21U);  // machine key set
  EXPECT_EQ(machine_certificates[0].KeyProv()->container_name, "shared");
  EXPECT_TRUE(
      crypt::CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY").Certificates().empty());
  EXPECT_TRUE(crypt::KeyContainer::Exists(StoreLocation::kLocalMachine, "shared"));
  EXPECT_FALSE(crypt::KeyContainer::Exists(StoreLocation::kCurrentUser, "shared"));
}

TEST_F(ContainerCommand, ListShowsContainersWithTheirCertificates) {
  std::string output;
  ASSERT_EQ(Run("container list", &output), 0);
  EXPECT_EQ(output,
            "no key containers in " + crypt::LocationFolder(StoreLocation::kCurrentUser) + "\n");
  ASSERT_EQ(Run("container new 'ключ Б' --subject CN=B -o b.csr", &output), 0) << output;
  ASSERT_EQ(Run("container new a --subject 'CN=Подписант' --self-signed", &output), 0) << output;
  ASSERT_EQ(Run("container new m --subject CN=M -o m.csr --machine", &output), 0) << output;
  const std::string thumbprint =
      crypt::KeyContainer::Open(StoreLocation::kCurrentUser, "a").GetCertificate()->Thumbprint();
  ASSERT_EQ(Run("container list", &output), 0);
  // Sorted by folder name: the Cyrillic name's folder begins with "%".
  EXPECT_EQ(output, "ключ Б\t-\t\na\t" + thumbprint + "\tПодписант\n");
  ASSERT_EQ(Run("container list --machine", &output), 0);
  EXPECT_EQ(output, "m\t-\t\n");
}

TEST_F(ContainerCommand, ExistingContainerIsKeptAndReported) {
  std::string output;
  ASSERT_EQ(Run("container new k --subject CN=K -o first.csr", &output), 0) << output;
  const std::string key =
      crypt::KeyContainer::Open(StoreLocation::kCurrentUser, "k").GetPrivateKey().ToPkcs8Pem();
  EXPECT_EQ(Run("container new k --subject CN=K -o second.csr", &output), 1);
  EXPECT_EQ(output.rfind(crypt::CryptErrorCodeText(crypt::code::kNteExists), 0), 0u) << output;
  EXPECT_EQ(
      crypt::KeyContainer::Open(StoreLocation::kCurrentUser, "k").GetPrivateKey().ToPkcs8Pem(),
      key);
  EXPECT_FALSE(std::filesystem::exists(Home() / "second.csr"));
}

TEST_F(ContainerCommand, FailureLeavesNoContainerBehind) {
  std::string output;
  EXPECT_EQ(Run("container new lost --subject CN=Lost -o no-such-folder/req.pem", &output), 1);
  EXPECT_EQ(output.rfind("cannot write no-such-folder/req.pem: System Error.  Code: 2.", 0), 0u)
      << output;
  EXPECT_FALSE(crypt::KeyContainer::Exists(StoreLocation::kCurrentUser, "lost"));
  EXPECT_EQ(Run("container new bad --subject 'CN=x,nonsense'", &output), 1);
  EXPECT_EQ(output, crypt::CryptErrorCodeText(crypt::code::kEInvalidArg) +
                        " (name part without '=': nonsense)\n");
  EXPECT_FALSE(crypt::KeyContainer::Exists(StoreLocation::kCurrentUser, "bad"));
}

struct UsageCase {
  std::string name;
  std::string arguments;
  std::string output;
};

const std::string kNewUsage =
    "usage: tdx880 container new NAME --subject DN [-o FILE] [--self-signed [--days N]] "
    "[--alg gost2001|gost2012-256|gost2012-512] [--paramset P] [--machine]\n";
const std::string kListUsage = "usage: tdx880 container list [--machine]\n";

class ContainerUsage : public ContainerCommand, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(ContainerUsage, IsRefusedWithTheUsage) {
  std::string output;
  EXPECT_EQ(Run(GetParam().arguments, &output), 2);
  EXPECT_EQ(output, GetParam().output);
  EXPECT_TRUE(crypt::KeyContainer::Enumerate(StoreLocation::kCurrentUser).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ContainerUsage,
    ::testing::Values(
        UsageCase{"NoSubcommand", "container",
                  "tdx880: unknown command 'container' (see tdx880 --help)\n"},
        UsageCase{"UnknownSubcommand", "container delete k",
                  "tdx880: unknown command 'container delete' (see tdx880 --help)\n"},
        UsageCase{"NoSubject", "container new k", kNewUsage},
        UsageCase{"NoName", "container new --subject CN=a", kNewUsage},
        UsageCase{"TwoNames", "container new a b --subject CN=a", kNewUsage},
        UsageCase{"SubjectWithoutValue", "container new k --subject", kNewUsage},
        UsageCase{"SubjectTwice", "container new k --subject CN=a --subject CN=b", kNewUsage},
        UsageCase{"UnknownOption", "container new k --subject CN=a --force", kNewUsage},
        UsageCase{"BadParamSet", "container new k --subject CN=a --paramset C", kNewUsage},
        UsageCase{"UnknownAlgorithm", "container new k --subject CN=a --alg gost94", kNewUsage},
        UsageCase{"ParamSetOfAnotherKind",
                  "container new k --subject CN=a --alg gost2012-512 --paramset XA", kNewUsage},
        UsageCase{"ZeroDays", "container new k --subject CN=a --self-signed --days 0", kNewUsage},
        UsageCase{"DaysNotANumber", "container new k --subject CN=a --self-signed --days 1y",
                  kNewUsage},
        UsageCase{"DaysWithoutCertificate", "container new k --subject CN=a --days 5", kNewUsage},
        UsageCase{"ListExtra", "container list --all", kListUsage},
        UsageCase{"ListPositional", "container list x", kListUsage}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return info.param.name; });

TEST_F(ContainerCommand, ListedInHelp) {
  std::string output;
  EXPECT_EQ(Run("--help", &output), 0);
  EXPECT_NE(output.find("  container new NAME --subject DN"), std::string::npos) << output;
  EXPECT_NE(output.find("  container list [--machine]"), std::string::npos) << output;
}

}  // namespace
}  // namespace lyr::tool
