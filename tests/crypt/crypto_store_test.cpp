// Importing certificates into the system stores: AddCertificateToStore with its container
// binding, ImportChain sorting a chain into "CA", "ROOT" and "addressbook", IsCACertificate,
// and CCryptoStore.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>

#include "crypt/crypt_error.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/crypto_provider.h"
#include "crypt/crypto_signature.h"
#include "crypt/crypto_store.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key.h"
#include "rtl/base64.h"
#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::SharedPki;
using test::TestPki;
using Utils = CCryptoAPI20Utils;

constexpr uint8_t kUser = 2;
constexpr uint8_t kMy = 1;
constexpr uint8_t kRoot = 2;
constexpr uint8_t kCa = 3;
constexpr uint8_t kAddressBook = 4;

template <typename Body>
std::string MessageOf(Body&& body) {
  try {
    body();
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

Certificate Load(const std::filesystem::path& pem) {
  return Certificate::FromDer(test::PemFileToDer(pem));
}

std::string ErrorText(uint32_t error_code) {
  return CryptErrorCodeText(error_code);
}

// The thumbprints of a store of the current user.
std::set<std::string> Thumbprints(uint8_t store) {
  std::set<std::string> result;
  for (const Certificate& c : Utils::OpenSystemStore(nullptr, kUser, store).Certificates()) {
    result.insert(c.Thumbprint());
  }
  return result;
}

std::optional<Certificate> Entry(uint8_t store, const Certificate& certificate) {
  return Utils::OpenSystemStore(nullptr, kUser, store).FindByThumbprint(certificate.Thumbprint());
}

class StoreImport : public test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    provider_.AcquireVerifyContext(kGostProviderType, false);
  }

  // A container of the current user holding the key of a PKI file.
  static void MakeContainer(const std::string& name, const std::filesystem::path& key) {
    KeyContainer::Create(StoreLocation::kCurrentUser, name,
                         PrivateKey::FromPem(test::FileBytes(key), std::nullopt));
  }

  ProviderHandle Provider() const { return provider_.Handle(); }

  CCryptoProvider provider_;
  Certificate root_ = Load(SharedPki().root);
  Certificate inter_ = Load(SharedPki().inter);
  Certificate user_ = Load(SharedPki().user);
};

// ---- AddCertificateToStore ----

struct PlacementCase {
  const char* name;
  uint8_t store;
  const char* folder;
};

// Test names stay stable: a case prints as its name.
void PrintTo(const PlacementCase& c, std::ostream* out) {
  *out << c.name;
}

class AddCertificateToStorePlacement : public StoreImport,
                                       public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(AddCertificateToStorePlacement, WritesTheDerNamedByThumbprintWithoutBinding) {
  Utils::AddCertificateToStore(Provider(), kUser, "", user_, GetParam().store);
  const std::filesystem::path folder = Home() / "user" / "stores" / GetParam().folder;
  EXPECT_EQ(test::ReadAll(folder / (user_.Thumbprint() + ".cer")), user_.Der());
  EXPECT_FALSE(std::filesystem::exists(folder / (user_.Thumbprint() + ".key-prov")));
}

INSTANTIATE_TEST_SUITE_P(Stores, AddCertificateToStorePlacement,
                         ::testing::Values(PlacementCase{"My", 1, "MY"},
                                           PlacementCase{"Root", 2, "ROOT"},
                                           PlacementCase{"Ca", 3, "CA"},
                                           PlacementCase{"AddressBook", 4, "addressbook"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreImport, MachineLocationWritesUnderTheMachineHome) {
  Utils::AddCertificateToStore(Provider(), 1, "", root_, kRoot);
  EXPECT_TRUE(std::filesystem::exists(Home() / "machine" / "stores" / "ROOT" /
                                      (root_.Thumbprint() + ".cer")));
}

TEST_F(StoreImport, UnknownCodesAreRefusedBeforeAnyWrite) {
  EXPECT_EQ(MessageOf([&] { Utils::AddCertificateToStore(Provider(), 0, "", user_, kMy); }),
            Msg(u8"Недоступное хранилище: [0]"));
  EXPECT_EQ(MessageOf([&] { Utils::AddCertificateToStore(Provider(), kUser, "", user_, 5); }),
            Msg(u8"Недоступное имя хранилища: [5]"));
  EXPECT_FALSE(std::filesystem::exists(Home() / "user" / "stores"));
}

TEST_F(StoreImport, BindsTheCertificateOfMyToItsContainer) {
  MakeContainer(Msg(u8"Ключ Иванова"), SharedPki().user_key);
  Utils::AddCertificateToStore(Provider(), kUser, Msg(u8"Ключ Иванова"), user_, kMy);
  const std::optional<Certificate> entry = Entry(kMy, user_);
  ASSERT_TRUE(entry && entry->KeyProv());
  EXPECT_EQ(*entry->KeyProv(),
            (KeyProvInfo{Msg(u8"Ключ Иванова"), std::string(kGostProviderName), 75, 1, 1}));
  const std::optional<Certificate> held =
      KeyContainer::Open(StoreLocation::kCurrentUser, Msg(u8"Ключ Иванова")).GetCertificate();
  ASSERT_TRUE(held);
  EXPECT_TRUE(held->SameAs(user_));
}

// The binding names a container of the current user (no machine-key-set flag), wherever the
// store is; signing with the certificate of the machine's "MY" reaches that container.
TEST_F(StoreImport, CertificateBoundInTheMachinesMySignsWithTheUsersContainer) {
  MakeContainer("k", SharedPki().user_key);
  Utils::AddCertificateToStore(Provider(), 1, "k", user_, kMy);
  CCryptoSignatureConfig config(&provider_, 1, 0, kIncludeSignerCertificate);
  CCryptoSignature signature;
  ASSERT_TRUE(signature.Open(&config));
  EXPECT_TRUE(signature.Sign(user_.Thumbprint(), "content"));
  CCryptoSignature verifier;
  ASSERT_TRUE(verifier.Open(&config));
  EXPECT_TRUE(verifier.Verify("content", signature.GetSignature(), 0));
}

TEST_F(StoreImport, ContainerIsBoundOnlyInMy) {
  MakeContainer("k1", SharedPki().user_key);
  Utils::AddCertificateToStore(Provider(), kUser, "k1", user_, kAddressBook);
  ASSERT_TRUE(Entry(kAddressBook, user_));
  EXPECT_FALSE(Entry(kAddressBook, user_)->KeyProv());
  EXPECT_FALSE(KeyContainer::Open(StoreLocation::kCurrentUser, "k1").GetCertificate());
}

TEST_F(StoreImport, ContainerWithoutProviderFailsBeforeTheStoreIsWritten) {
  EXPECT_EQ(MessageOf([&] { Utils::AddCertificateToStore(nullptr, kUser, "k1", user_, kMy); }),
            "CCryptoAPI20Utils.GetProvInfo: " + ErrorText(code::kNteBadUid));
  EXPECT_TRUE(Thumbprints(kMy).empty());
}

struct BindingFailureCase {
  const char* name;
  // Prepares the sandbox; returns the container name to import with.
  std::string (*prepare)(const std::filesystem::path& home);
  std::u8string prefix;
  uint32_t error_code;
};

void PrintTo(const BindingFailureCase& c, std::ostream* out) {
  *out << c.name;
}

class AddCertificateToStoreBindingFailure
    : public StoreImport,
      public ::testing::WithParamInterface<BindingFailureCase> {};

// The certificate stays in "MY" without a binding, and the message names the failing step.
TEST_P(AddCertificateToStoreBindingFailure, LeavesTheCertificateInMyUnbound) {
  const std::string container = GetParam().prepare(Home());
  const std::string message =
      MessageOf([&] { Utils::AddCertificateToStore(Provider(), kUser, container, user_, kMy); });
  EXPECT_EQ(message,
            rtl::Format(Msg(GetParam().prefix), container) + ErrorText(GetParam().error_code));
  const std::optional<Certificate> entry = Entry(kMy, user_);
  ASSERT_TRUE(entry);
  EXPECT_FALSE(entry->KeyProv());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, AddCertificateToStoreBindingFailure,
    ::testing::Values(
        BindingFailureCase{"ContainerMissing",
                           [](const std::filesystem::path&) { return std::string("missing"); },
                           u8"Ошибка при инициализации с контейнером [%s] криптопровайдера: ",
                           code::kNteBadKeyset},
        BindingFailureCase{
            "ContainerWithoutKey",
            [](const std::filesystem::path& home) {
              std::filesystem::create_directories(home / "user" / "containers" / "empty");
              return std::string("empty");
            },
            u8"Ошибка при получении закрытого ключа из контейнера: ", code::kNteNoKey},
        BindingFailureCase{
            "ContainerOfAnotherKey",
            [](const std::filesystem::path&) {
              KeyContainer::Create(
                  StoreLocation::kCurrentUser, "other",
                  PrivateKey::FromPem(test::FileBytes(SharedPki().inter_key), std::nullopt));
              return std::string("other");
            },
            u8"Ошибка при импорте сертификата в контейнер: ", code::kNteBadPublicKey}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreImport, FailedRebindingKeepsTheEarlierBinding) {
  MakeContainer("good", SharedPki().user_key);
  Utils::AddCertificateToStore(Provider(), kUser, "good", user_, kMy);
  EXPECT_NE(MessageOf([&] { Utils::AddCertificateToStore(Provider(), kUser, "gone", user_, kMy); }),
            "(no error)");
  const std::optional<Certificate> entry = Entry(kMy, user_);
  ASSERT_TRUE(entry && entry->KeyProv());
  EXPECT_EQ(entry->KeyProv()->container_name, "good");
}

TEST_F(StoreImport, SecondImportKeepsTheEntryOfAddressBookAndReplacesTheOneOfMy) {
  Certificate bound = user_;
  bound.SetKeyProv(KeyProvInfo{"earlier", "", 75, 1, 1});
  Utils::OpenSystemStore(nullptr, kUser, kAddressBook).Add(bound, AddDisposition::kNew);
  Utils::OpenSystemStore(nullptr, kUser, kMy).Add(bound, AddDisposition::kNew);
  Utils::AddCertificateToStore(Provider(), kUser, "", user_, kAddressBook);
  Utils::AddCertificateToStore(Provider(), kUser, "", user_, kMy);
  ASSERT_TRUE(Entry(kAddressBook, user_) && Entry(kAddressBook, user_)->KeyProv());
  EXPECT_EQ(Entry(kAddressBook, user_)->KeyProv()->container_name, "earlier");
  ASSERT_TRUE(Entry(kMy, user_));
  EXPECT_FALSE(Entry(kMy, user_)->KeyProv());
}

TEST_F(StoreImport, FailedWriteRaisesTheImportMessage) {
  std::filesystem::create_directories(Home() / "user" / "stores");
  test::Sandbox::WriteFile("user/stores/CA", "a file where the folder should be");
  const std::string message =
      MessageOf([&] { Utils::AddCertificateToStore(Provider(), kUser, "", inter_, kCa); });
  EXPECT_TRUE(message.starts_with(Msg(u8"Не удалось импортировать сертификат0x"))) << message;
}

// ---- ImportChain ----

std::string ChainPkcs7() {
  return MakeCertificatesPkcs7(
      {Load(SharedPki().chain_root), Load(SharedPki().chain_inter), Load(SharedPki().chain_user)});
}

std::string OpenSslPkcs7(const std::vector<std::filesystem::path>& files) {
  std::string arguments = "crl2pkcs7 -nocrl -outform DER -out chain.p7b";
  for (const auto& file : files) {
    arguments += " -certfile '" + file.string() + "'";
  }
  // Each test process writes its own file name into the shared PKI folder.
  const std::string name = "chain-" + std::to_string(::getpid()) + ".p7b";
  arguments.replace(arguments.find("chain.p7b"), 9, name);
  EXPECT_EQ(test::RunOpenSsl(arguments), 0);
  const std::filesystem::path path = SharedPki().folder / name;
  std::string der = test::ReadAll(path);
  std::filesystem::remove(path);
  return der;
}

struct ChainCase {
  const char* name;
  std::string (*body)();
  // PKI file names (without ".pem") expected in each store.
  std::vector<std::string> ca, root, address_book;
};

void PrintTo(const ChainCase& c, std::ostream* out) {
  *out << c.name;
}

std::set<std::string> ThumbprintsOf(const std::vector<std::string>& names) {
  std::set<std::string> result;
  for (const std::string& name : names) {
    result.insert(Load(SharedPki().folder / (name + ".pem")).Thumbprint());
  }
  return result;
}

class ImportChainSorting : public StoreImport, public ::testing::WithParamInterface<ChainCase> {};

TEST_P(ImportChainSorting, PutsEveryCertificateInItsStore) {
  Utils::ImportChain(Provider(), kUser, GetParam().body(), "");
  EXPECT_EQ(Thumbprints(kCa), ThumbprintsOf(GetParam().ca));
  EXPECT_EQ(Thumbprints(kRoot), ThumbprintsOf(GetParam().root));
  EXPECT_EQ(Thumbprints(kAddressBook), ThumbprintsOf(GetParam().address_book));
  EXPECT_TRUE(Thumbprints(kMy).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Chains, ImportChainSorting,
    ::testing::Values(
        ChainCase{"RootInterUserDer",
                  [] { return ChainPkcs7(); },
                  {"chain_inter"},
                  {"chain_root"},
                  {"chain_user"}},
        ChainCase{"RootInterUserBase64",
                  [] { return rtl::EncodeBase64(ChainPkcs7()); },
                  {"chain_inter"},
                  {"chain_root"},
                  {"chain_user"}},
        ChainCase{"RootInterUserInCertificateLines",
                  [] {
                    return "-----BEGIN CERTIFICATE-----\r\n" + rtl::EncodeBase64(ChainPkcs7()) +
                           "\r\n-----END CERTIFICATE-----\r\n";
                  },
                  {"chain_inter"},
                  {"chain_root"},
                  {"chain_user"}},
        ChainCase{"MadeByOpenSsl",
                  [] {
                    return OpenSslPkcs7(
                        {SharedPki().chain_user, SharedPki().chain_inter, SharedPki().chain_root});
                  },
                  {"chain_inter"},
                  {"chain_root"},
                  {"chain_user"}},
        ChainCase{
            "OnlyEndEntities",
            [] {
              return MakeCertificatesPkcs7({Load(SharedPki().user), Load(SharedPki().chain_user)});
            },
            {},
            {},
            {"user", "chain_user"}},
        ChainCase{"EmptyPkcs7", [] { return MakeCertificatesPkcs7({}); }, {}, {}, {}},
        ChainCase{"SelfIssuedCriticalCaGoesToCa",
                  [] { return test::PemFileToDer(SharedPki().root); },
                  {"root"},
                  {},
                  {}},
        ChainCase{"SingleCertificatePem",
                  [] { return test::FileBytes(SharedPki().inter); },
                  {"inter"},
                  {},
                  {}},
        ChainCase{"SelfSignedWithoutBasicConstraintsGoesToRoot",
                  [] { return test::FileBytes(SharedPki().plain_self); },
                  {},
                  {"plain_self"},
                  {}},
        ChainCase{"SelfIssuedNonCriticalCaGoesToRoot",
                  [] { return test::FileBytes(SharedPki().nocn); },
                  {},
                  {"nocn"},
                  {}},
        ChainCase{"NonCriticalCaGoesToAddressBook",
                  [] { return test::FileBytes(SharedPki().inter_noncritical); },
                  {},
                  {},
                  {"inter_nc"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreImport, ImportTracesTheStartOfTheBody) {
  const std::string trace = PathOf("trace.log");
  ::setenv("LYR_TDX_TRACE", trace.c_str(), 1);
  const std::string body = rtl::EncodeBase64(ChainPkcs7());
  Utils::ImportChain(Provider(), kUser, body, "");
  ::unsetenv("LYR_TDX_TRACE");
  EXPECT_NE(test::ReadAll(trace).find("[Ready to open store: " + body.substr(0, 120) + "...]"),
            std::string::npos);
}

TEST_F(StoreImport, ImportingAChainTwiceKeepsOneEntryEach) {
  Utils::ImportChain(Provider(), kUser, ChainPkcs7(), "");
  Utils::ImportChain(Provider(), kUser, ChainPkcs7(), "");
  EXPECT_EQ(Thumbprints(kCa).size() + Thumbprints(kRoot).size() + Thumbprints(kAddressBook).size(),
            3U);
}

struct BadChainCase {
  const char* name;
  std::string body;
  std::u8string expected_prefix;
};

void PrintTo(const BadChainCase& c, std::ostream* out) {
  *out << c.name;
}

class ImportChainRefusal : public StoreImport,
                           public ::testing::WithParamInterface<BadChainCase> {};

TEST_P(ImportChainRefusal, RaisesTheCertificateBodyMessageAndWritesNothing) {
  const std::string message =
      MessageOf([&] { Utils::ImportChain(Provider(), kUser, GetParam().body, ""); });
  EXPECT_TRUE(message.starts_with(Msg(GetParam().expected_prefix))) << message;
  EXPECT_FALSE(std::filesystem::exists(Home() / "user" / "stores"));
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, ImportChainRefusal,
    ::testing::Values(
        BadChainCase{"PlainText", "neither PKCS#7 nor a certificate!",
                     u8"Ошибка при импорте сертификата: 0x8009310B (-2146881269): ASN1 bad tag"},
        BadChainCase{"Base64OfText", rtl::EncodeBase64("hello"),
                     u8"Ошибка при импорте сертификата: 0x8009310B (-2146881269): ASN1 bad tag"},
        BadChainCase{"OnlyTheCertificateLines",
                     "-----BEGIN CERTIFICATE-----\n-----END CERTIFICATE-----\n",
                     u8"Передан пустой аргумент: CertificateBody"},
        BadChainCase{"Empty", "", u8"Передан пустой аргумент: CertificateBody"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreImport, ChainOfABrokenMemberWritesNothing) {
  std::string pkcs7 = ChainPkcs7();
  pkcs7.resize(pkcs7.size() - 10);
  EXPECT_TRUE(MessageOf([&] {
                Utils::ImportChain(Provider(), kUser, pkcs7, "");
              }).starts_with(Msg(u8"Ошибка при импорте сертификата: ")));
  EXPECT_FALSE(std::filesystem::exists(Home() / "user" / "stores"));
}

// A member that cannot be written takes back what the import had added before it; entries that
// were there before stay.
TEST_F(StoreImport, FailedImportRemovesTheEntriesItAdded) {
  const Certificate chain_root = Load(SharedPki().chain_root);
  Utils::AddCertificateToStore(Provider(), kUser, "", chain_root, kRoot);
  std::filesystem::create_directories(Home() / "user" / "stores");
  test::Sandbox::WriteFile("user/stores/addressbook", "a file where the folder should be");
  const std::string message =
      MessageOf([&] { Utils::ImportChain(Provider(), kUser, ChainPkcs7(), ""); });
  EXPECT_TRUE(message.starts_with(Msg(u8"Не удалось импортировать сертификат0x"))) << message;
  EXPECT_TRUE(Thumbprints(kCa).empty());
  EXPECT_EQ(Thumbprints(kRoot), std::set<std::string>{chain_root.Thumbprint()});
}

// ---- IsCACertificate ----

struct CaCase {
  const char* name;
  std::filesystem::path TestPki::*file;
  bool expected;
};

void PrintTo(const CaCase& c, std::ostream* out) {
  *out << c.name;
}

class IsCACertificateDetection : public ::testing::TestWithParam<CaCase> {};

TEST_P(IsCACertificateDetection, CountsOnlyCriticalBasicConstraintsWithTheCaFlag) {
  EXPECT_EQ(Utils::IsCACertificate(Load(SharedPki().*GetParam().file)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, IsCACertificateDetection,
    ::testing::Values(CaCase{"SelfSignedCriticalCa", &TestPki::root, true},
                      CaCase{"IntermediateCriticalCa", &TestPki::inter, true},
                      CaCase{"NonCriticalEndEntity", &TestPki::user, false},
                      CaCase{"SelfSignedNonCriticalCa", &TestPki::nocn, false},
                      CaCase{"IntermediateNonCriticalCa", &TestPki::inter_noncritical, false},
                      CaCase{"CriticalNotCa", &TestPki::critical_not_ca, false},
                      CaCase{"NoBasicConstraints", &TestPki::plain_self, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- two processes ----

// Two processes import the chain and bind the user's certificate in "MY" at once, over and over;
// every entry stays whole, the binding survives and no temporary file is left.
TEST_F(StoreImport, ConcurrentImportsFromTwoProcessesLeaveEveryEntryWhole) {
  MakeContainer("shared", SharedPki().user_key);
  const std::string chain = ChainPkcs7();
  std::vector<pid_t> children;
  for (int child = 0; child < 2; ++child) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        CCryptoProvider provider;
        provider.AcquireVerifyContext(kGostProviderType, false);
        for (int round = 0; round < 15; ++round) {
          Utils::ImportChain(provider.Handle(), kUser, chain, "");
          Utils::AddCertificateToStore(provider.Handle(), kUser, "shared", user_, kMy);
        }
      } catch (...) {
        status = 1;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::map<std::string, int> files_per_store;
  for (const auto& store : std::filesystem::directory_iterator(Home() / "user" / "stores")) {
    for (const auto& entry : std::filesystem::directory_iterator(store.path())) {
      const std::string name = entry.path().filename().string();
      ++files_per_store[store.path().filename().string()];
      if (entry.path().extension() == ".cer") {
        EXPECT_EQ(name, Certificate::FromDer(test::ReadAll(entry.path())).Thumbprint() + ".cer");
      } else {
        EXPECT_EQ(entry.path().extension(), ".key-prov") << name;
      }
    }
  }
  EXPECT_EQ(files_per_store,
            (std::map<std::string, int>{{"CA", 1}, {"MY", 2}, {"ROOT", 1}, {"addressbook", 1}}));
  const std::optional<Certificate> entry = Entry(kMy, user_);
  ASSERT_TRUE(entry && entry->KeyProv());
  EXPECT_EQ(entry->KeyProv()->container_name, "shared");
}

// ---- CCryptoStore ----

TEST_F(StoreImport, CryptoStoreOpensSystemStoresOfTheProvidersKeySet) {
  const Certificate chain_root = Load(SharedPki().chain_root);
  Utils::AddCertificateToStore(nullptr, 1, "", chain_root, kRoot);
  CCryptoStore store;
  store.Open(store_provider::kSystemW, "ROOT");
  ASSERT_NE(store.Handle(), nullptr);
  EXPECT_TRUE(store.Handle()->Certificates().empty());
  CCryptoProvider machine;
  machine.SetMachineKeySet(true);
  store.SetProvider(&machine);
  store.Open(store_provider::kSystemW, "ROOT");
  ASSERT_EQ(store.Handle()->Certificates().size(), 1U);
  EXPECT_EQ(store.Handle()->Location(), StoreLocation::kLocalMachine);
  store.Close();
  EXPECT_EQ(store.Handle(), nullptr);
  EXPECT_EQ(store.Encoding(), 0x00010001U);
}

TEST_F(StoreImport, CryptoStoreOpensMemoryAndPkcs7Stores) {
  CCryptoStore store;
  store.Open(store_provider::kPkcs7, ChainPkcs7());
  EXPECT_EQ(store.Handle()->Certificates().size(), 3U);
  store.Open(store_provider::kMemory, "");
  EXPECT_TRUE(store.Handle()->Certificates().empty());
}

TEST_F(StoreImport, CryptoStoreRaisesTheOsErrorForWhatItCannotOpen) {
  CCryptoStore store;
  EXPECT_TRUE(MessageOf([&] {
                store.Open(store_provider::kSystemW, "../MY");
              }).starts_with("System Error.  Code: -2147024809.\r\nThe parameter is incorrect."));
  EXPECT_EQ(
      MessageOf([&] { store.Open(99, "MY"); }),
      "System Error.  Code: -2147024809.\r\nThe parameter is incorrect. (store provider kind)");
  EXPECT_TRUE(MessageOf([&] {
                store.Open(store_provider::kPkcs7, "x");
              }).starts_with("System Error.  Code: -2146881269.\r\nASN1 bad tag value met."));
  EXPECT_FALSE(store.Opened());
}

}  // namespace
}  // namespace lyr::crypt
