// Certificate stores on disk, in memory and over PKCS#7.
#include "crypt/platform/cert_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "crypt/crypt_error.h"
#include "crypt/platform/key_container.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

using test::PemFileToDer;
using test::SharedPki;

Certificate Load(const std::filesystem::path& pem) {
  return Certificate::FromDer(PemFileToDer(pem));
}

uint32_t ModeOf(const std::filesystem::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

template <typename Body>
uint32_t ErrorCodeOf(Body&& body) {
  try {
    body();
  } catch (const ECryptError& error) {
    return error.ErrorCode();
  }
  return 0;
}

class CertStoreTest : public test::Sandbox {
 protected:
  Certificate root_ = Load(SharedPki().root);
  Certificate inter_ = Load(SharedPki().inter);
  Certificate user_ = Load(SharedPki().user);
};

class StoreLocationFolder : public test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name,
                          value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    Sandbox::TearDown();
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(StoreLocationFolder, FollowsTheEnvironmentOverrides) {
  EXPECT_EQ(LocationFolder(StoreLocation::kCurrentUser), PathOf("user"));
  EXPECT_EQ(LocationFolder(StoreLocation::kLocalMachine), PathOf("machine"));
}

TEST_F(StoreLocationFolder, DefaultsToXdgDataHomeAndVarLib) {
  ::unsetenv("LYR_TDX_HOME");
  ::unsetenv("LYR_TDX_MACHINE_HOME");
  ::setenv("XDG_DATA_HOME", "/data/x", 1);
  EXPECT_EQ(LocationFolder(StoreLocation::kCurrentUser), "/data/x/lyr-tdx880");
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(LocationFolder(StoreLocation::kCurrentUser), "/home/someone/.local/share/lyr-tdx880");
  EXPECT_EQ(LocationFolder(StoreLocation::kLocalMachine), "/var/lib/lyr-tdx880");
}

TEST_F(CertStoreTest, AddWritesTheDerNamedByThumbprintWithPrivateModes) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  store.Add(user_, AddDisposition::kReplaceExisting);
  const auto file = Home() / "user" / "stores" / "MY" / (user_.Thumbprint() + ".cer");
  EXPECT_EQ(test::ReadAll(file), user_.Der());
  EXPECT_EQ(ModeOf(file), 0600U);
  EXPECT_EQ(ModeOf(Home() / "user" / "stores" / "MY"), 0700U);
  EXPECT_EQ(ModeOf(Home() / "user" / "stores"), 0700U);
  EXPECT_EQ(ModeOf(Home() / "user"), 0700U);
  EXPECT_EQ(store.Folder(), PathOf("user/stores/MY"));
}

// The environment holds UTF-8; the library's paths are windows-1251 and reach the disk as UTF-8
// again, so a Cyrillic home folder works.
TEST_F(CertStoreTest, CyrillicHomeFolderIsTheSameFolderOnDisk) {
  const std::string home =
      (Home() / "\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0").string();  // "папка"
  ::setenv("LYR_TDX_HOME", home.c_str(), 1);
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  Certificate bound = user_;
  bound.SetKeyProv(KeyProvInfo{"k", "", 75, 1, 1});
  store.Add(bound, AddDisposition::kReplaceExisting);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(home) / "stores" / "MY" /
                                      (user_.Thumbprint() + ".cer")));
  ASSERT_EQ(store.Certificates().size(), 1U);
  EXPECT_TRUE(store.Certificates()[0].KeyProv().has_value());
  EXPECT_TRUE(store.Delete(user_.Thumbprint()));
}

TEST_F(CertStoreTest, MachineStoresLiveUnderTheMachineHome) {
  CertStore::OpenSystem(StoreLocation::kLocalMachine, "ROOT")
      .Add(root_, AddDisposition::kUseExisting);
  EXPECT_TRUE(std::filesystem::exists(Home() / "machine" / "stores" / "ROOT" /
                                      (root_.Thumbprint() + ".cer")));
  EXPECT_TRUE(CertStore::OpenSystem(StoreLocation::kCurrentUser, "ROOT").Certificates().empty());
}

TEST_F(CertStoreTest, EnumeratesEveryCertificateByThumbprintOrder) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA");
  EXPECT_TRUE(store.Certificates().empty());
  for (const Certificate& certificate : {user_, root_, inter_}) {
    store.Add(certificate, AddDisposition::kUseExisting);
  }
  const std::vector<Certificate> listed = store.Certificates();
  ASSERT_EQ(listed.size(), 3U);
  EXPECT_LT(listed[0].Thumbprint(), listed[1].Thumbprint());
  EXPECT_LT(listed[1].Thumbprint(), listed[2].Thumbprint());
}

TEST_F(CertStoreTest, FindsByThumbprintExactlyAsWritten) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "addressbook");
  store.Add(user_, AddDisposition::kUseExisting);
  ASSERT_TRUE(store.FindByThumbprint(user_.Thumbprint()).has_value());
  EXPECT_TRUE(store.FindByThumbprint(user_.Thumbprint())->SameAs(user_));
  std::string lower = user_.Thumbprint();
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  EXPECT_FALSE(store.FindByThumbprint(lower).has_value());
  EXPECT_FALSE(store.FindByThumbprint("../MY/" + user_.Thumbprint().substr(6)).has_value());
  EXPECT_FALSE(store.FindByThumbprint("").has_value());
}

TEST_F(CertStoreTest, KeyProviderBindingTravelsWithTheCertificate) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  Certificate bound = user_;
  // A windows-1251 container name with a blank, a percent sign and a line break.
  const KeyProvInfo info{"\xCA\xEE\xED\xF2 1 %\n2", "Crypto-Pro GOST R 34.10-2001", 75, 1, 1};
  bound.SetKeyProv(info);
  store.Add(bound, AddDisposition::kReplaceExisting);
  const auto found = store.FindByThumbprint(user_.Thumbprint());
  ASSERT_TRUE(found.has_value());
  ASSERT_TRUE(found->KeyProv().has_value());
  EXPECT_EQ(*found->KeyProv(), info);
  EXPECT_EQ(ModeOf(Home() / "user" / "stores" / "MY" / (user_.Thumbprint() + ".key-prov")), 0600U);
}

TEST_F(CertStoreTest, UseExistingKeepsTheStoredEntryAndItsBinding) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  Certificate bound = user_;
  bound.SetKeyProv(KeyProvInfo{"first", "", 75, 1, 1});
  store.Add(bound, AddDisposition::kReplaceExisting);
  const Certificate kept = store.Add(user_, AddDisposition::kUseExisting);
  ASSERT_TRUE(kept.KeyProv().has_value());
  EXPECT_EQ(kept.KeyProv()->container_name, "first");
  EXPECT_EQ(store.FindByThumbprint(user_.Thumbprint())->KeyProv()->container_name, "first");
}

TEST_F(CertStoreTest, ReplaceExistingReplacesTheBindingToo) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  Certificate bound = user_;
  bound.SetKeyProv(KeyProvInfo{"first", "", 75, 1, 1});
  store.Add(bound, AddDisposition::kReplaceExisting);
  store.Add(user_, AddDisposition::kReplaceExisting);
  EXPECT_FALSE(store.FindByThumbprint(user_.Thumbprint())->KeyProv().has_value());
  EXPECT_EQ(store.Certificates().size(), 1U);
}

TEST_F(CertStoreTest, AddNewAndNewerRefuseWhatIsThere) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA");
  store.Add(inter_, AddDisposition::kNew);
  EXPECT_EQ(ErrorCodeOf([&] { store.Add(inter_, AddDisposition::kNew); }), code::kCryptEExists);
  EXPECT_EQ(ErrorCodeOf([&] { store.Add(inter_, AddDisposition::kNewer); }), code::kCryptEExists);
  EXPECT_EQ(store.Certificates().size(), 1U);
}

TEST_F(CertStoreTest, DeleteRemovesCertificateAndBinding) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  Certificate bound = user_;
  bound.SetKeyProv(KeyProvInfo{"c", "", 75, 1, 1});
  store.Add(bound, AddDisposition::kReplaceExisting);
  EXPECT_TRUE(store.Delete(user_.Thumbprint()));
  EXPECT_FALSE(store.Delete(user_.Thumbprint()));
  EXPECT_TRUE(std::filesystem::is_empty(Home() / "user" / "stores" / "MY"));
}

TEST_F(CertStoreTest, UnreadableEntriesAreSkipped) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA");
  store.Add(root_, AddDisposition::kNew);
  WriteFile("user/stores/CA/0000000000000000000000000000000000000000.cer", "garbage");
  WriteFile("user/stores/CA/" + inter_.Thumbprint() + ".cer", root_.Der());  // wrong name
  const std::vector<Certificate> listed = store.Certificates();
  ASSERT_EQ(listed.size(), 1U);
  EXPECT_TRUE(listed[0].SameAs(root_));
}

TEST_F(CertStoreTest, StoreNamesMustBePlainFileNames) {
  for (const char* name : {"", "../MY", "a/b", ".", "MY\n"}) {
    EXPECT_EQ(ErrorCodeOf([&] { (void)CertStore::OpenSystem(StoreLocation::kCurrentUser, name); }),
              code::kEInvalidArg)
        << name;
  }
}

TEST_F(CertStoreTest, FailedWriteRaisesAFileErrorAndLeavesTheStore) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA");
  store.Add(root_, AddDisposition::kNew);
  if (::geteuid() == 0) {
    // root ignores permissions: make the store folder a file instead.
    std::filesystem::remove_all(Home() / "user" / "stores" / "CA");
    WriteFile("user/stores/CA", "not a folder");
    EXPECT_EQ(ErrorCodeOf([&] { store.Add(inter_, AddDisposition::kNew); }),
              code::kErrorPathNotFound);
    return;
  }
  ::chmod((Home() / "user" / "stores" / "CA").c_str(), 0500);
  EXPECT_EQ(ErrorCodeOf([&] { store.Add(inter_, AddDisposition::kNew); }), code::kEAccessDenied);
  EXPECT_EQ(store.Certificates().size(), 1U);
}

// Files an attacker may plant in store and container folders are skipped or refused without
// waiting on a FIFO or reading /dev/zero; the good entries still serve lookups.
TEST_F(CertStoreTest, PlantedSpecialFilesNeitherStallNorSwampReaders) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA");
  store.Add(inter_, AddDisposition::kNew);
  store.AddCrl(Crl::FromPem(test::FileBytes(SharedPki().root_crl)), AddDisposition::kNew);
  const std::filesystem::path folder = store.Folder();
  const std::string fifo = std::string(40, 'A') + ".cer";
  ASSERT_EQ(::mkfifo((folder / fifo).c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((folder / (inter_.Thumbprint() + ".key-prov")).c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", folder / "zero.crl");
  std::ofstream(folder / "huge.crl") << std::string((64 << 20) + 1, '0');

  std::vector<SkippedFile> skipped;
  ASSERT_EQ(store.Certificates(&skipped).size(), 1U);
  EXPECT_EQ(store.Crls(&skipped).size(), 1U);
  ASSERT_EQ(skipped.size(), 3U);
  EXPECT_EQ(skipped[0].name + ": " + skipped[0].reason, fifo + ": not a regular file");
  EXPECT_EQ(skipped[1].name + ": " + skipped[1].reason, "huge.crl: larger than 67108864 bytes");
  EXPECT_EQ(skipped[2].name + ": " + skipped[2].reason, "zero.crl: a symbolic link");
  EXPECT_EQ(store.FindBySubjectName(inter_.SubjectNameDer()).size(), 1U);
  EXPECT_FALSE(store.FindByThumbprint(std::string(40, 'A')));

  KeyContainer::Create(StoreLocation::kCurrentUser, "planted",
                       PrivateKey::FromPem(test::FileBytes(SharedPki().user_key), std::nullopt));
  const std::string key =
      KeyContainer::Open(StoreLocation::kCurrentUser, "planted").Folder() + "/key.pem";
  ASSERT_EQ(::unlink(key.c_str()), 0);
  ASSERT_EQ(::mkfifo(key.c_str(), 0600), 0);
  EXPECT_EQ(ErrorCodeOf([] {
              (void)KeyContainer::Open(StoreLocation::kCurrentUser, "planted").GetPrivateKey();
            }),
            code::kNteNoKey);
}

TEST_F(CertStoreTest, CrlsLiveInTheStoreFolder) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA");
  const Crl crl = Crl::FromPem(test::FileBytes(SharedPki().root_crl));
  store.AddCrl(crl, AddDisposition::kReplaceExisting);
  EXPECT_TRUE(
      std::filesystem::exists(Home() / "user" / "stores" / "CA" / (crl.Thumbprint() + ".crl")));
  ASSERT_EQ(store.Crls().size(), 1U);
  EXPECT_EQ(store.Crls()[0].Der(), crl.Der());
  EXPECT_EQ(ErrorCodeOf([&] { store.AddCrl(crl, AddDisposition::kNewer); }), code::kCryptEExists);
  store.AddCrl(crl, AddDisposition::kUseExisting);
  EXPECT_EQ(store.Crls().size(), 1U);
  EXPECT_TRUE(store.Certificates().empty());
}

TEST_F(CertStoreTest, MemoryStoreKeepsOrderOfAddition) {
  CertStore store = CertStore::OpenMemory();
  EXPECT_FALSE(store.IsSystem());
  store.Add(user_, AddDisposition::kReplaceExisting);
  store.Add(root_, AddDisposition::kReplaceExisting);
  store.Add(user_, AddDisposition::kUseExisting);
  const std::vector<Certificate> listed = store.Certificates();
  ASSERT_EQ(listed.size(), 2U);
  EXPECT_TRUE(listed[0].SameAs(user_));
  EXPECT_TRUE(listed[1].SameAs(root_));
  EXPECT_TRUE(store.FindByThumbprint(root_.Thumbprint()).has_value());
  ASSERT_TRUE(store.FindByIssuerAndSerial(user_.IssuerNameDer(), user_.SerialNumber()));
  EXPECT_EQ(store.FindBySubjectName(root_.SubjectNameDer()).size(), 1U);
  EXPECT_TRUE(std::filesystem::is_empty(Home() / "tmp"));
}

TEST_F(CertStoreTest, Pkcs7StoreListsTheCertificatesInOrderAndIsReadOnly) {
  const std::string blob = MakeCertificatesPkcs7({root_, inter_, user_});
  CertStore store = CertStore::OpenPkcs7(blob);
  const std::vector<Certificate> listed = store.Certificates();
  ASSERT_EQ(listed.size(), 3U);
  EXPECT_TRUE(listed[0].SameAs(root_));
  EXPECT_TRUE(listed[1].SameAs(inter_));
  EXPECT_TRUE(listed[2].SameAs(user_));
  EXPECT_TRUE(store.IsReadOnly());
  EXPECT_EQ(ErrorCodeOf([&] { store.Add(root_, AddDisposition::kAlways); }), code::kEAccessDenied);
}

TEST_F(CertStoreTest, Pkcs7MadeByOpenSslIsRead) {
  std::string output;
  ASSERT_EQ(test::RunOpenSsl("crl2pkcs7 -nocrl -certfile inter.pem -certfile user.pem -outform DER "
                             "| base64 -w0",
                             &output),
            0);
  const std::string der = test::PemFileToDer(
      WriteFile("chain.pem", "-----BEGIN PKCS7-----\n" + output + "\n-----END PKCS7-----\n"));
  const std::vector<Certificate> listed = CertificatesOfPkcs7(der);
  ASSERT_EQ(listed.size(), 2U);
  EXPECT_TRUE(listed[0].SameAs(inter_));
  EXPECT_TRUE(listed[1].SameAs(user_));
}

TEST_F(CertStoreTest, OurPkcs7IsReadByOpenSsl) {
  const std::string file = WriteFile("chain.p7b", MakeCertificatesPkcs7({root_, user_}));
  std::string output;
  ASSERT_EQ(test::RunOpenSsl("pkcs7 -inform DER -in '" + file + "' -print_certs -noout", &output),
            0);
  EXPECT_NE(output.find("subject=CN = Test Root CA, O = Lyr"), std::string::npos) << output;
  EXPECT_NE(output.find("subject=CN = Test User, O = Lyr"), std::string::npos) << output;
}

TEST_F(CertStoreTest, Pkcs7WithoutCertificatesIsAnEmptyStore) {
  EXPECT_TRUE(CertificatesOfPkcs7(MakeCertificatesPkcs7({})).empty());
}

TEST_F(CertStoreTest, BytesThatAreNoPkcs7AreRefused) {
  EXPECT_EQ(ErrorCodeOf([&] { (void)CertStore::OpenPkcs7(user_.Der()); }), code::kCryptEAsn1BadTag);
  EXPECT_EQ(ErrorCodeOf([&] { (void)CertStore::OpenPkcs7(""); }), code::kCryptEAsn1BadTag);
  const std::string blob = MakeCertificatesPkcs7({root_});
  EXPECT_EQ(ErrorCodeOf([&] { (void)CertStore::OpenPkcs7(blob.substr(0, blob.size() - 1)); }),
            code::kCryptEAsn1BadTag);
}

// Two processes import the same certificates into one store at once, over and over; every file
// stays whole and no temporary file is left.
TEST_F(CertStoreTest, ConcurrentImportsFromTwoProcessesLeaveEveryCertificateWhole) {
  const std::vector<Certificate> certificates{root_, inter_, user_, Load(SharedPki().nocn),
                                              Load(SharedPki().ocsp_only)};
  std::vector<pid_t> children;
  for (int child = 0; child < 2; ++child) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        CertStore store = CertStore::OpenSystem(StoreLocation::kCurrentUser, "addressbook");
        for (int round = 0; round < 40; ++round) {
          for (size_t i = 0; i < certificates.size(); ++i) {
            const Certificate& c = certificates[child == 0 ? i : certificates.size() - 1 - i];
            store.Add(c, AddDisposition::kReplaceExisting);
          }
        }
      } catch (...) {
        status = 1;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  CertStore reader = CertStore::OpenSystem(StoreLocation::kCurrentUser, "addressbook");
  for (int i = 0; i < 50; ++i) {
    for (const Certificate& c : reader.Certificates()) {
      EXPECT_EQ(c.Der().size(), reader.FindByThumbprint(c.Thumbprint())->Der().size());
    }
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  size_t files = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(Home() / "user" / "stores" / "addressbook")) {
    ++files;
    const Certificate read = Certificate::FromDer(test::ReadAll(entry.path()));
    EXPECT_EQ(entry.path().filename().string(), read.Thumbprint() + ".cer");
  }
  EXPECT_EQ(files, certificates.size());
}

}  // namespace
}  // namespace lyr::crypt
