// Certificate stores on disk, in memory and over PKCS#7, and the folders of the locations.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "crypt/crypt_test.h"
#include "crypt/platform/key_container.h"

namespace lyr::crypt {
namespace {

using test::CertificateOf;
using test::SharedPki;
using test_util::CodeOf;
using test_util::ModeOf;

constexpr StoreLocation kUser = StoreLocation::kCurrentUser;

class CertStoreTest : public test::Sandbox {
 protected:
  CertStore Store(const char* name) const { return CertStore::OpenSystem(kUser, name); }

  const Certificate& root_ = SharedPki().root_party.certificate;
  const Certificate& inter_ = SharedPki().inter_party.certificate;
  const Certificate& user_ = SharedPki().user_party.certificate;
};

TEST_F(CertStoreTest, LocationFoldersFollowTheEnvironment) {
  EXPECT_EQ(LocationFolder(kUser), PathOf("user"));
  EXPECT_EQ(LocationFolder(StoreLocation::kLocalMachine), PathOf("machine"));
  const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "/";
  ::unsetenv("LYR_TDX_HOME");
  ::unsetenv("LYR_TDX_MACHINE_HOME");
  ::setenv("XDG_DATA_HOME", "/data/x", 1);
  EXPECT_EQ(LocationFolder(kUser), "/data/x/lyr-tdx880");
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(LocationFolder(kUser), "/home/someone/.local/share/lyr-tdx880");
  EXPECT_EQ(LocationFolder(StoreLocation::kLocalMachine), "/var/lib/lyr-tdx880");
  ::setenv("HOME", home.c_str(), 1);
}

TEST_F(CertStoreTest, EntriesAreTheDerNamedByThumbprintWithPrivateModes) {
  CertStore store = Store("MY");
  Certificate bound = user_;
  // A windows-1251 container name with a blank, a percent sign and a line break.
  const KeyProvInfo info{"\xCA\xEE\xED\xF2 1 %\n2", "Crypto-Pro GOST R 34.10-2001", 75, 1, 1};
  bound.SetKeyProv(info);
  store.Add(bound, AddDisposition::kReplaceExisting);
  const std::string entry = PathOf("user/stores/MY/" + user_.Thumbprint());
  EXPECT_EQ(test::ReadAll(entry + ".cer"), user_.Der());
  EXPECT_EQ(ModeOf(entry + ".cer"), 0600U);
  EXPECT_EQ(ModeOf(entry + ".key-prov"), 0600U);
  EXPECT_EQ(ModeOf(PathOf("user")), 0700U);
  EXPECT_EQ(ModeOf(store.Folder()), 0700U);
  EXPECT_EQ(*store.FindByThumbprint(user_.Thumbprint())->KeyProv(), info);
}

// Entries that are no certificate, or not the one their name says, are skipped.
TEST_F(CertStoreTest, ListsByThumbprintOrderFindsExactlyAsWrittenAndSkipsUnreadableEntries) {
  CertStore store = Store("CA");
  for (const Certificate& certificate : {user_, root_, inter_}) {
    store.Add(certificate, AddDisposition::kUseExisting);
  }
  WriteFile("user/stores/CA/0000000000000000000000000000000000000000.cer", "garbage");
  WriteFile("user/stores/CA/" + CertificateOf(SharedPki().nocn).Thumbprint() + ".cer", root_.Der());
  const std::vector<Certificate> listed = store.Certificates();
  ASSERT_EQ(listed.size(), 3U);
  EXPECT_LT(listed[0].Thumbprint(), listed[1].Thumbprint());
  EXPECT_LT(listed[1].Thumbprint(), listed[2].Thumbprint());
  ASSERT_TRUE(store.FindByThumbprint(user_.Thumbprint()));
  EXPECT_TRUE(store.FindByThumbprint(user_.Thumbprint())->SameAs(user_));
  std::string lower = user_.Thumbprint();
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  for (const std::string& wrong : {lower, "../MY/" + user_.Thumbprint().substr(6), std::string()}) {
    EXPECT_FALSE(store.FindByThumbprint(wrong)) << wrong;
  }
  for (const char* name : {"", "../MY", "a/b", ".", "MY\n"}) {
    EXPECT_EQ(CodeOf([&] { (void)Store(name); }), code::kEInvalidArg) << name;
  }
}

TEST_F(CertStoreTest, DispositionsDecideWhatHappensToAnEntryThatIsThere) {
  CertStore store = Store("MY");
  Certificate bound = user_;
  bound.SetKeyProv(KeyProvInfo{"first", "", 75, 1, 1});
  store.Add(bound, AddDisposition::kReplaceExisting);
  const Certificate kept = store.Add(user_, AddDisposition::kUseExisting);
  ASSERT_TRUE(kept.KeyProv().has_value());
  EXPECT_EQ(store.FindByThumbprint(user_.Thumbprint())->KeyProv()->container_name, "first");
  EXPECT_EQ(CodeOf([&] { store.Add(user_, AddDisposition::kNew); }), code::kCryptEExists);
  EXPECT_EQ(CodeOf([&] { store.Add(user_, AddDisposition::kNewer); }), code::kCryptEExists);
  store.Add(user_, AddDisposition::kReplaceExisting);
  EXPECT_FALSE(store.FindByThumbprint(user_.Thumbprint())->KeyProv().has_value());
  store.Add(bound, AddDisposition::kReplaceExisting);
  EXPECT_TRUE(store.Delete(user_.Thumbprint()));
  EXPECT_FALSE(store.Delete(user_.Thumbprint()));
  EXPECT_TRUE(std::filesystem::is_empty(store.Folder())) << "the binding goes too";
}

TEST_F(CertStoreTest, FailedWriteRaisesAFileErrorAndLeavesTheStore) {
  CertStore store = Store("CA");
  store.Add(root_, AddDisposition::kNew);
  if (::geteuid() == 0) {
    // root ignores permissions: make the store folder a file instead.
    std::filesystem::remove_all(store.Folder());
    WriteFile("user/stores/CA", "not a folder");
    EXPECT_EQ(CodeOf([&] { store.Add(inter_, AddDisposition::kNew); }), code::kErrorPathNotFound);
    return;
  }
  ::chmod(store.Folder().c_str(), 0500);
  EXPECT_EQ(CodeOf([&] { store.Add(inter_, AddDisposition::kNew); }), code::kEAccessDenied);
  EXPECT_EQ(store.Certificates().size(), 1U);
}

// CRLs beside the certificates; planted FIFOs, links and huge files are skipped without stalling.
TEST_F(CertStoreTest, PlantedSpecialFilesNeitherStallNorSwampReaders) {
  CertStore store = Store("CA");
  store.Add(inter_, AddDisposition::kNew);
  const Crl crl = Crl::FromPem(test::ReadAll(SharedPki().root_crl));
  store.AddCrl(crl, AddDisposition::kNew);
  const std::filesystem::path folder = store.Folder();
  EXPECT_TRUE(std::filesystem::exists(folder / (crl.Thumbprint() + ".crl")));
  EXPECT_EQ(CodeOf([&] { store.AddCrl(crl, AddDisposition::kNewer); }), code::kCryptEExists);
  store.AddCrl(crl, AddDisposition::kUseExisting);
  const std::string fifo = std::string(40, 'A') + ".cer";
  ASSERT_EQ(::mkfifo((folder / fifo).c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((folder / (inter_.Thumbprint() + ".key-prov")).c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", folder / "zero.crl");
  std::ofstream(folder / "huge.crl") << std::string((64 << 20) + 1, '0');

  std::vector<SkippedFile> skipped;
  ASSERT_EQ(store.Certificates(&skipped).size(), 1U);
  ASSERT_EQ(store.Crls(&skipped).size(), 1U);
  EXPECT_EQ(store.Crls()[0].Der(), crl.Der());
  ASSERT_EQ(skipped.size(), 3U);
  EXPECT_EQ(skipped[0].name + ": " + skipped[0].reason, fifo + ": not a regular file");
  EXPECT_EQ(skipped[1].name + ": " + skipped[1].reason, "huge.crl: larger than 67108864 bytes");
  EXPECT_EQ(skipped[2].name + ": " + skipped[2].reason, "zero.crl: a symbolic link");
  EXPECT_EQ(store.FindBySubjectName(inter_.SubjectNameDer()).size(), 1U);
  EXPECT_FALSE(store.FindByThumbprint(std::string(40, 'A')));

  KeyContainer::Create(kUser, "planted", SharedPki().user_party.key);
  const std::string key = KeyContainer::Open(kUser, "planted").Folder() + "/key.pem";
  ASSERT_EQ(::unlink(key.c_str()), 0);
  ASSERT_EQ(::mkfifo(key.c_str(), 0600), 0);
  EXPECT_EQ(CodeOf([] { (void)KeyContainer::Open(kUser, "planted").GetPrivateKey(); }),
            code::kNteNoKey);
}

TEST_F(CertStoreTest, MemoryStoreKeepsOrderOfAdditionAndWritesNothing) {
  CertStore store = CertStore::OpenMemory();
  EXPECT_FALSE(store.IsSystem());
  store.Add(user_, AddDisposition::kReplaceExisting);
  store.Add(root_, AddDisposition::kReplaceExisting);
  store.Add(user_, AddDisposition::kUseExisting);
  const std::vector<Certificate> listed = store.Certificates();
  ASSERT_EQ(listed.size(), 2U);
  EXPECT_TRUE(listed[0].SameAs(user_) && listed[1].SameAs(root_));
  EXPECT_TRUE(store.FindByThumbprint(root_.Thumbprint()).has_value());
  EXPECT_TRUE(store.FindByIssuerAndSerial(user_.IssuerNameDer(), user_.SerialNumber()));
  EXPECT_EQ(store.FindBySubjectName(root_.SubjectNameDer()).size(), 1U);
  EXPECT_TRUE(std::filesystem::is_empty(Home() / "tmp"));
}

TEST_F(CertStoreTest, Pkcs7StoresAreReadOnlyReadByOpenSslBothWaysAndRefuseOtherBytes) {
  CertStore store = CertStore::OpenPkcs7(MakeCertificatesPkcs7({root_, inter_, user_}));
  const std::vector<Certificate> listed = store.Certificates();
  ASSERT_EQ(listed.size(), 3U);
  EXPECT_TRUE(listed[0].SameAs(root_) && listed[1].SameAs(inter_) && listed[2].SameAs(user_));
  EXPECT_TRUE(store.IsReadOnly());
  EXPECT_EQ(CodeOf([&] { store.Add(root_, AddDisposition::kAlways); }), code::kEAccessDenied);
  EXPECT_TRUE(CertificatesOfPkcs7(MakeCertificatesPkcs7({})).empty());
  const std::string blob = MakeCertificatesPkcs7({root_});
  for (const std::string& bytes : {user_.Der(), std::string(), blob.substr(0, blob.size() - 1)}) {
    EXPECT_EQ(CodeOf([&] { (void)CertStore::OpenPkcs7(bytes); }), code::kCryptEAsn1BadTag);
  }

  const std::string ours = WriteFile("ours.p7b", MakeCertificatesPkcs7({root_, user_}));
  std::string output;
  ASSERT_EQ(test::RunOpenSsl("pkcs7 -inform DER -in '" + ours + "' -print_certs -noout", &output),
            0);
  EXPECT_NE(output.find("subject=CN = Test Root CA, O = Lyr"), std::string::npos) << output;
  EXPECT_NE(output.find("subject=CN = Test User, O = Lyr"), std::string::npos) << output;
  const std::string theirs = PathOf("theirs.p7b");
  ASSERT_EQ(test::RunOpenSsl("crl2pkcs7 -nocrl -certfile inter.pem -certfile user.pem -outform "
                             "DER -out '" +
                             theirs + "'"),
            0);
  const std::vector<Certificate> read = CertificatesOfPkcs7(test::ReadAll(theirs));
  ASSERT_EQ(read.size(), 2U);
  EXPECT_TRUE(read[0].SameAs(inter_) && read[1].SameAs(user_));
}

// Two processes import into one store at once: every file stays whole, no temporary file is left.
TEST_F(CertStoreTest, ConcurrentImportsFromTwoProcessesLeaveEveryCertificateWhole) {
  const std::vector<Certificate> certificates{root_, inter_, user_, CertificateOf(SharedPki().nocn),
                                              CertificateOf(SharedPki().ocsp_only)};
  std::vector<pid_t> children;
  for (int child = 0; child < 2; ++child) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        CertStore store = Store("addressbook");
        for (int round = 0; round < 40; ++round) {
          for (size_t i = 0; i < certificates.size(); ++i) {
            store.Add(certificates[child == 0 ? i : certificates.size() - 1 - i],
                      AddDisposition::kReplaceExisting);
          }
        }
      } catch (...) {
        status = 1;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  CertStore reader = Store("addressbook");
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
  for (const auto& entry : std::filesystem::directory_iterator(reader.Folder())) {
    ++files;
    EXPECT_EQ(entry.path().filename().string(),
              Certificate::FromDer(test::ReadAll(entry.path())).Thumbprint() + ".cer");
  }
  EXPECT_EQ(files, certificates.size());
}

}  // namespace
}  // namespace lyr::crypt
