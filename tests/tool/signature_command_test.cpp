// The tool's "sign" and "verify-signature" commands, run as a program in a sandbox home with the
// test PKI: the signature file, its check by openssl cms, the printed chain and verdict, the exit
// status of every outcome.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key.h"
#include "crypt/support/chain_scenario.h"
#include "crypt/support/test_pki.h"
#include "support/sandbox.h"

namespace lyr::tool {
namespace {

using crypt::AddDisposition;
using crypt::Certificate;
using crypt::CertStore;
using crypt::StoreLocation;
using test::SharedPki;

Certificate PkiCertificate(const std::filesystem::path& pem) {
  return Certificate::FromDer(test::PemFileToDer(pem));
}

std::string Line(const Certificate& certificate) {
  return "  " + *certificate.SubjectCN() + " [" + certificate.Thumbprint() + "]\n";
}

class SignatureCommand : public test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    const crypt::PrivateKey key =
        crypt::PrivateKey::FromPem(test::FileBytes(SharedPki().user_key), std::nullopt);
    crypt::KeyContainer::Create(StoreLocation::kCurrentUser, "user-key", key);
    Certificate bound = user_;
    bound.SetKeyProv(crypt::KeyProvInfo{"user-key", "", 75, 1, 1});
    Store("MY").Add(bound, AddDisposition::kReplaceExisting);
    content_ = WriteFile("document.txt", "The document to sign.\n");
  }

  static CertStore Store(const char* name) {
    return CertStore::OpenSystem(StoreLocation::kCurrentUser, name);
  }
  // The user's chain trusted: the intermediate in "CA", the root in "ROOT".
  void TrustChain() {
    Store("CA").Add(inter_, AddDisposition::kReplaceExisting);
    Store("ROOT").Add(root_, AddDisposition::kReplaceExisting);
  }

  int Run(const std::string& arguments, std::string* output) {
    return test::RunCommand(std::string(LYR_TDX880_TOOL) + " " + arguments + " 2>&1", output);
  }
  std::string SignDocument() {
    std::string output;
    EXPECT_EQ(Run("sign " + content_ + " --key " + user_.Thumbprint(), &output), 0) << output;
    return content_ + ".sig";
  }
  std::string Header() const {
    return "Signer: " + *user_.SubjectCN() + " [" + user_.Thumbprint() + "]\n";
  }

  Certificate user_ = PkiCertificate(SharedPki().user);
  Certificate inter_ = PkiCertificate(SharedPki().inter);
  Certificate root_ = PkiCertificate(SharedPki().root);
  std::string content_;
};

TEST_F(SignatureCommand, SignWritesADetachedSignatureThatOpenSslVerifies) {
  std::string output;
  ASSERT_EQ(Run("sign " + content_ + " --key " + user_.Thumbprint() + " -o " + PathOf("out.p7s"),
                &output),
            0)
      << output;
  EXPECT_EQ(output, "Signed " + content_ + " -> " + PathOf("out.p7s") + "\n");
  // openssl cms builds the chain from the signature's certificates and the CA file only.
  const std::string ca_file =
      WriteFile("ca.pem", test::FileBytes(SharedPki().root) + test::FileBytes(SharedPki().inter));
  EXPECT_EQ(
      test::RunOpenSsl("cms -verify -binary -inform DER -in " + PathOf("out.p7s") + " -content " +
                       content_ + " -CAfile " + ca_file + " -purpose any -out /dev/null"),
      0);
}

TEST_F(SignatureCommand, SignWithoutOutputWritesBesideTheFileAndAcceptsLowerCaseThumbprint) {
  std::string output;
  std::string lower = user_.Thumbprint();
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  ASSERT_EQ(Run("sign " + content_ + " --key " + lower, &output), 0) << output;
  EXPECT_FALSE(test::ReadAll(content_ + ".sig").empty());
}

TEST_F(SignatureCommand, SignWithUnknownCertificateFailsWithTheLibraryMessage) {
  std::string output;
  const std::string unknown(40, 'A');
  EXPECT_EQ(Run("sign " + content_ + " --key " + unknown, &output), 1);
  EXPECT_EQ(output, "Личный сертификат с отпечатком [" + unknown + "] не найден\n");
}

TEST_F(SignatureCommand, VerifyPrintsSignerChainAndValidVerdict) {
  TrustChain();
  const std::string signature = SignDocument();
  std::string output;
  EXPECT_EQ(
      Run("verify-signature " + content_ + " " + signature + " --no-download --no-crl", &output),
      0);
  EXPECT_EQ(output,
            Header() + "Chain:\n" + Line(user_) + Line(inter_) + Line(root_) + "Verdict: valid\n");
}

TEST_F(SignatureCommand, ChangedContentIsInvalidWithCode22) {
  TrustChain();
  const std::string signature = SignDocument();
  WriteFile("document.txt", "The document to sign!\n");
  std::string output;
  EXPECT_EQ(
      Run("verify-signature " + content_ + " " + signature + " --no-download --no-crl", &output),
      1);
  EXPECT_EQ(
      output.rfind(Header() + "Verdict: INVALID (code 22): Ошибка при проверке подписи [0x80090006",
                   0),
      0u)
      << output;
}

TEST_F(SignatureCommand, RootMissingFromRootStoreIsInvalidWithCode35) {
  Store("CA").Add(inter_, AddDisposition::kReplaceExisting);
  const std::string signature = SignDocument();
  std::string output;
  EXPECT_EQ(
      Run("verify-signature " + content_ + " " + signature + " --no-download --no-crl", &output),
      1);
  EXPECT_EQ(output, Header() + "Chain:\n" + Line(user_) + Line(inter_) +
                        "Verdict: INVALID (code 35): Не найден сертификат УЦ [" +
                        *inter_.IssuerCN() +
                        "]. URL для скачивания: [http://127.0.0.1:8080/root.cer]\n");
}

TEST_F(SignatureCommand, RevocationCheckWithoutAnyListIsInvalidWithCode34) {
  TrustChain();
  const std::string signature = SignDocument();
  std::string output;
  EXPECT_EQ(Run("verify-signature " + content_ + " " + signature + " --no-download", &output), 1);
  EXPECT_EQ(output, Header() + "Chain:\n" + Line(user_) +
                        "Verdict: INVALID (code 34): Список отозванных сертификатов для [" +
                        *user_.IssuerCN() +
                        "] не найден. URL для скачивания: [http://127.0.0.1:8080/inter.crl]\n");
}

TEST_F(SignatureCommand, NotASignatureIsInvalid) {
  TrustChain();
  const std::string bogus = WriteFile("bogus.sig", "not a signature");
  std::string output;
  EXPECT_EQ(Run("verify-signature " + content_ + " " + bogus, &output), 1);
  EXPECT_EQ(output.rfind("Verdict: INVALID (code 22): ", 0), 0u) << output;
}

struct UsageCase {
  std::string name;
  std::string arguments;
  std::string usage;
};

class SignatureCommandUsage : public SignatureCommand,
                              public ::testing::WithParamInterface<UsageCase> {};

TEST_P(SignatureCommandUsage, WrongArgumentsAreAUsageError) {
  std::string output;
  EXPECT_EQ(Run(GetParam().arguments, &output), 2);
  EXPECT_EQ(output, GetParam().usage + "\n");
}

const std::string kSignUsage = "usage: tdx880 sign FILE --key THUMBPRINT [-o SIG]";
const std::string kVerifyUsage =
    "usage: tdx880 verify-signature FILE SIG [--no-download] [--no-crl]";

INSTANTIATE_TEST_SUITE_P(
    Cases, SignatureCommandUsage,
    ::testing::Values(UsageCase{"SignWithoutKey", "sign file.txt", kSignUsage},
                      UsageCase{"SignWithoutFile", "sign --key ABC", kSignUsage},
                      UsageCase{"SignKeyWithoutValue", "sign file.txt --key", kSignUsage},
                      UsageCase{"SignUnknownOption", "sign file.txt --key ABC --fast", kSignUsage},
                      UsageCase{"VerifyOneFile", "verify-signature file.txt", kVerifyUsage},
                      UsageCase{"VerifyThreeFiles", "verify-signature a b c", kVerifyUsage},
                      UsageCase{"VerifyUnknownOption", "verify-signature a b --quick",
                                kVerifyUsage}),
    [](const auto& info) { return info.param.name; });

TEST_F(SignatureCommand, ListedInHelp) {
  std::string output;
  EXPECT_EQ(Run("--help", &output), 0);
  EXPECT_NE(output.find("  sign FILE --key THUMBPRINT [-o SIG]\n"), std::string::npos);
  EXPECT_NE(output.find("  verify-signature FILE SIG [--no-download] [--no-crl]\n"),
            std::string::npos);
}

// ---- downloads through a loopback server --------------------------------------------------

// The scenario PKI (root <- inter <- user) whose certificates name a loopback server that serves
// the intermediate and the revocation lists; only the root is in the user's stores.
class SignatureCommandDownloads : public test::Sandbox {
 protected:
  static void SetUpTestSuite() {
    scenario_ =
        std::make_unique<test::ChainScenario>(std::filesystem::temp_directory_path() /
                                              ("lyr-tool-scenario-" + std::to_string(::getpid())));
  }
  static void TearDownTestSuite() {
    const std::filesystem::path folder = scenario_->folder;
    scenario_.reset();
    std::filesystem::remove_all(folder);
  }
  void SetUp() override {
    Sandbox::SetUp();
    // The tool must reach the loopback server directly.
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
      ::unsetenv(name);
    }
    scenario_->InstallSigner(scenario_->user, "user-key");
    scenario_->TrustRoot();
    content_ = WriteFile("document.txt", "The document to sign.\n");
    std::string output;
    EXPECT_EQ(Run("sign " + content_ + " --key " + User().Thumbprint(), &output), 0) << output;
  }
  static int Run(const std::string& arguments, std::string* output) {
    return test::RunCommand(std::string(LYR_TDX880_TOOL) + " " + arguments + " 2>&1", output);
  }
  static const Certificate& User() { return scenario_->user.certificate; }
  std::string Header() const {
    return "Signer: Scenario User [" + User().Thumbprint() + "]\nChain:\n" + Line(User());
  }

  static std::unique_ptr<test::ChainScenario> scenario_;
  std::string content_;
};

std::unique_ptr<test::ChainScenario> SignatureCommandDownloads::scenario_;

TEST_F(SignatureCommandDownloads, DownloadsTheIntermediateAndTheListsAndIsValid) {
  std::string output;
  EXPECT_EQ(Run("verify-signature " + content_ + " " + content_ + ".sig", &output), 0);
  EXPECT_EQ(output, Header() + Line(scenario_->inter.certificate) +
                        Line(scenario_->root.certificate) + "Verdict: valid\n");
}

TEST_F(SignatureCommandDownloads, WithoutDownloadsTheIntermediateIsMissing) {
  std::string output;
  EXPECT_EQ(Run("verify-signature " + content_ + " " + content_ + ".sig --no-download", &output),
            1);
  EXPECT_EQ(output, Header() +
                        "Verdict: INVALID (code 35): Не найден сертификат УЦ [Scenario Inter CA]. "
                        "URL для скачивания: [" +
                        scenario_->Url("inter.cer") + "]\n");
}

}  // namespace
}  // namespace lyr::tool
