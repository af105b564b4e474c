// The tool's "keys" command, run as a program in a sandbox home with real stores and containers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key.h"
#include "crypt/platform/store_location.h"
#include "crypt/support/test_pki.h"
#include "support/sandbox.h"

namespace lyr::tool {
namespace {

using crypt::AddDisposition;
using crypt::Certificate;
using crypt::CertStore;
using crypt::KeyContainer;
using crypt::StoreLocation;
using test::SharedPki;

class KeysCommand : public test::Sandbox {
 protected:
  void TearDown() override {
    ::unsetenv("LYR_TDX_GOST_ENGINE");
    Sandbox::TearDown();
  }
  int Run(const std::string& arguments, std::string* output) {
    return test::RunCommand(std::string(LYR_TDX880_TOOL) + " " + arguments + " 2>&1", output);
  }
  void InstallPersonal(StoreLocation location, const std::string& container) {
    const crypt::PrivateKey key =
        crypt::PrivateKey::FromPem(test::FileBytes(SharedPki().user_key), std::nullopt);
    KeyContainer::Create(location, container, key);
    Certificate bound = user_;
    bound.SetKeyProv(crypt::KeyProvInfo{container, "", 75, 1, 1});
    CertStore::OpenSystem(location, "MY").Add(bound, AddDisposition::kReplaceExisting);
  }
  static void AddTo(StoreLocation location, const char* store, const Certificate& certificate) {
    CertStore::OpenSystem(location, store).Add(certificate, AddDisposition::kReplaceExisting);
  }

  Certificate user_ = Certificate::FromDer(test::PemFileToDer(SharedPki().user));
  Certificate root_ = Certificate::FromDer(test::PemFileToDer(SharedPki().root));
  Certificate inter_ = Certificate::FromDer(test::PemFileToDer(SharedPki().inter));
};

TEST_F(KeysCommand, EmptyHomeHasNoKeysAndNoContainers) {
  std::string output;
  ASSERT_EQ(Run("keys", &output), 0) << output;
  EXPECT_EQ(output, "Keys of the current user (" + PathOf("user") +
                        ")\n"
                        "Personal keys (\"MY\"): 0\n"
                        "Correspondents' keys (\"addressbook\"): 0\n"
                        "Key containers: 0\n");
}

TEST_F(KeysCommand, ListsPersonalAndCorrespondentsKeysWithContainers) {
  InstallPersonal(StoreLocation::kCurrentUser, "user-key");
  KeyContainer::Create(StoreLocation::kCurrentUser, "spare");
  AddTo(StoreLocation::kCurrentUser, "addressbook", inter_);
  std::string output;
  ASSERT_EQ(Run("keys", &output), 0) << output;
  EXPECT_EQ(output, "Keys of the current user (" + PathOf("user") +
                        ")\n"
                        "Personal keys (\"MY\"): 1\n"
                        "  0  " +
                        user_.Thumbprint() +
                        "  Test User\n"
                        "Correspondents' keys (\"addressbook\"): 1\n"
                        "  0  " +
                        inter_.Thumbprint() +
                        "  Test Inter CA\n"
                        "Key containers: 2\n"
                        "  0  spare\n"
                        "  1  user-key\n");
}

TEST_F(KeysCommand, MachineOptionListsTheLocalMachineOnly) {
  InstallPersonal(StoreLocation::kCurrentUser, "user-key");
  InstallPersonal(StoreLocation::kLocalMachine, "machine-key");
  AddTo(StoreLocation::kLocalMachine, "MY", root_);
  std::string output;
  ASSERT_EQ(Run("keys --machine", &output), 0) << output;
  EXPECT_EQ(output.rfind("Keys of the local machine (" + PathOf("machine") + ")\n", 0), 0U)
      << output;
  EXPECT_NE(output.find("Personal keys (\"MY\"): 2\n"), std::string::npos) << output;
  EXPECT_NE(output.find("  " + root_.Thumbprint() + "  Test Root CA\n"), std::string::npos)
      << output;
  EXPECT_NE(output.find("Key containers: 1\n  0  machine-key\n"), std::string::npos) << output;
  EXPECT_EQ(output.find("user-key"), std::string::npos) << output;
}

TEST_F(KeysCommand, CyrillicContainerNameReachesTheTerminalAsUtf8) {
  KeyContainer::Create(StoreLocation::kCurrentUser, "\xCA\xEB\xFE\xF7");  // "Ключ", windows-1251
  std::string output;
  ASSERT_EQ(Run("keys", &output), 0) << output;
  EXPECT_NE(output.find("Key containers: 1\n  0  \xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87\n"),
            std::string::npos)
      << output;
}

TEST_F(KeysCommand, WithoutTheGostProviderFailsNamingTheInitialisation) {
  ::setenv("LYR_TDX_GOST_ENGINE", PathOf("missing.so").c_str(), 1);
  std::string output;
  EXPECT_EQ(Run("keys", &output), 1);
  const std::u8string expected =
      u8"Не установлен СКЗИ КриптоПро, который требуется для операции: инициализация\n";
  EXPECT_EQ(output, std::string(expected.begin(), expected.end()));
}

TEST_F(KeysCommand, UnknownOptionIsAUsageError) {
  std::string output;
  EXPECT_EQ(Run("keys --everything", &output), 2);
  EXPECT_EQ(output, "usage: tdx880 keys [--machine]\n");
}

}  // namespace
}  // namespace lyr::tool
