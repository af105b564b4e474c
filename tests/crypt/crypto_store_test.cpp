// CCryptoAPI20Utils: location and store codes, bodies, names, extensions, look-ups, envelopes,
// the signer of a signature; importing certificates into the system stores (AddCertificateToStore
// with its container binding, ImportChain sorting a chain into "CA", "ROOT" and "addressbook",
// IsCACertificate); and CCryptoStore.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "crypt/crypt_test.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/crypto_provider.h"
#include "crypt/crypto_signature.h"
#include "crypt/crypto_store.h"
#include "crypt/platform/key_container.h"
#include "rtl/base64.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "support/expect_raises.h"
#include "support/pki.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::ExpectRaises;
using test::MessageOf;
using test::SharedPki;
using test::TestPki;
using test_util::Load;
using Utils = CCryptoAPI20Utils;

constexpr uint8_t kUser = 2;
constexpr uint8_t kMy = 1;
constexpr uint8_t kRoot = 2;
constexpr uint8_t kCa = 3;
constexpr uint8_t kAddressBook = 4;

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

std::string ChainPkcs7() {
  return MakeCertificatesPkcs7(
      {Load(SharedPki().chain_root), Load(SharedPki().chain_inter), Load(SharedPki().chain_user)});
}

class StoreImport : public test::PkiSandbox {
 protected:
  void SetUp() override {
    PkiSandbox::SetUp();
    provider_.AcquireVerifyContext(kGostProviderType, false);
  }
  // A container of the current user holding the key of a party.
  static void MakeContainer(const std::string& name, const test::PkiParty& party) {
    KeyContainer::Create(StoreLocation::kCurrentUser, name, party.key);
  }
  void Add(const std::string& container, uint8_t store, uint8_t location = kUser) {
    Utils::AddCertificateToStore(provider_.Handle(), location, container, user_, store);
  }
  void Import(const std::string& body) { Utils::ImportChain(provider_.Handle(), kUser, body, ""); }

  CCryptoProvider provider_;
  const Certificate& user_ = SharedPki().user_party.certificate;
  const Certificate& root_ = SharedPki().root_party.certificate;
};

const std::string kBadTag = "0x8009310B (-2146881269): ASN1 bad tag value met.";

TEST(CryptoUtils, LocationAndStoreCodes) {
  EXPECT_EQ(Utils::StoreLocationFlags(1), 0x00021001U);
  EXPECT_EQ(Utils::StoreLocationFlags(2), 0x00011001U);
  ExpectRaises([] { Utils::StoreLocationFlags(3); }, u8"Недоступное хранилище: [3]");
  EXPECT_EQ(Utils::StoreName(1), "MY");
  EXPECT_EQ(Utils::StoreName(2), "ROOT");
  EXPECT_EQ(Utils::StoreName(3), "CA");
  EXPECT_EQ(Utils::StoreName(4), "addressbook");
  ExpectRaises([] { Utils::StoreName(0); }, u8"Недоступное имя хранилища: [0]");
  ExpectRaises([] { Utils::StoreName(5); }, u8"Недоступное имя хранилища: [5]");
}

TEST(CryptoUtils, CertificateBodiesInEveryFormGiveTheCertificate) {
  const std::string pem = test::FileBytes(SharedPki().user);
  const std::string der = test::PemFileToDer(SharedPki().user);
  std::string crlf;
  for (const char c : pem) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  const std::string bare =
      pem.substr(pem.find('\n') + 1, pem.find("-----END") - pem.find('\n') - 1);
  for (const std::string& body : {pem, crlf, bare, rtl::EncodeBase64(der), der}) {
    EXPECT_EQ(Utils::GetSha1(Utils::CertificateFromBody(body)),
              Load(SharedPki().user).Thumbprint());
  }
  ExpectRaises([] { Utils::CertificateFromBody(""); },
               u8"Передан пустой аргумент: CertificateBody");
  // The system text ends with OpenSSL's own explanation, which is not compared.
  for (const std::string& body :
       {std::string("QUJDREVG"),
        std::string("-----BEGIN CERTIFICATE-----\nMIIB!!garbage\n-----END CERTIFICATE-----\n"),
        std::string("-----BEGIN CERTIFICATE----------END CERTIFICATE-----")}) {
    EXPECT_TRUE(MessageOf([&] {
                  Utils::CertificateFromBody(body);
                }).starts_with(Msg(u8"Ошибка при импорте сертификата: ") + kBadTag));
  }
  EXPECT_TRUE(MessageOf([] {
                Utils::CertificateFromBody(std::string(8 << 20, 'A'));
              }).starts_with(Msg(u8"Ошибка при импорте сертификата: ")));
}

TEST(CryptoUtils, CrlBodies) {
  EXPECT_EQ(Utils::CRLFromBody(test::PemFileToDer(SharedPki().root_crl)).IssuerCN(),
            "Test Root CA");
  EXPECT_TRUE(MessageOf([] {
                Utils::CRLFromBody("junk");
              }).starts_with(Msg(u8"Ошибка при импорте CRL (неверный формат?): ") + kBadTag));
  ExpectRaises([] { Utils::CRLFromBody(""); }, u8"Передан пустой аргумент: CRLBody");
}

TEST(CryptoUtils, NamesSerialsAndExtensions) {
  const Certificate root = Load(SharedPki().root);
  const Certificate inter = Load(SharedPki().inter);
  const Certificate user = Load(SharedPki().user);
  const Certificate nocn = Load(SharedPki().nocn);
  EXPECT_EQ(Utils::GetSubjectCN(user), "Test User");
  EXPECT_EQ(Utils::GetIssuerCN(user), "Test Inter CA");
  EXPECT_EQ(Utils::GetSubjectCN(nocn), "na");
  EXPECT_EQ(Utils::GetIssuerCN(nocn), "na");
  // Serial numbers are written least significant byte first.
  EXPECT_EQ(Utils::GetSerialNumber(user), "C3B2A100");
  EXPECT_EQ(Utils::GetSerialNumber(inter), "0201");
  EXPECT_TRUE(Utils::IsSelfIssued(root) && Utils::IsSelfIssued(nocn));
  EXPECT_FALSE(Utils::IsSelfIssued(inter));
  // LDAP and upper-case schemes are skipped.
  EXPECT_EQ(Utils::GetCRLDistributionURLs(inter),
            "http://127.0.0.1:8080/root.crl,https://127.0.0.1/root2.crl");
  EXPECT_EQ(Utils::GetCRLDistributionURLs(root), "");
  EXPECT_EQ(Utils::GetCAIssuersURL(inter), "http://127.0.0.1:8080/root.cer");
  EXPECT_EQ(Utils::GetCAIssuersURL(root), "");
  ExpectRaises([] { Utils::GetCAIssuersURL(Load(SharedPki().ocsp_only)); },
               u8"Точка распространения сертификата CA не найдена");
  for (const char* url : {"https://a", "http://a", "ftp://a"}) {
    EXPECT_TRUE(Utils::IsAcceptedURL(url)) << url;
  }
  for (const char* url : {"HTTP://a", "ldap://a", "", "file:///etc/passwd"}) {
    EXPECT_FALSE(Utils::IsAcceptedURL(url)) << url;
  }
}

TEST_F(StoreImport, EncryptAndDecryptMessages) {
  test::InstallSigner(SharedPki().user_party, "k");
  const CertStore my = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  EXPECT_EQ(Utils::DecryptMessage(my, Utils::EncryptMessage(user_, "document")), "document");
  const std::string other = Utils::EncryptMessage(root_, "document");
  ExpectRaises([&] { Utils::DecryptMessage(my, other); },
               Msg(u8"Ошибка при расшифровании (1): ") +
                   "0x8009200C (-2146885620): Cannot find the certificate and private key to use "
                   "for decryption.");
  EXPECT_TRUE(MessageOf([&] {
                Utils::DecryptMessage(my, "junk");
              }).starts_with(Msg(u8"Ошибка при расшифровании (1): ") + "0x8009200D"));
}

TEST_F(StoreImport, CertificateFromSignatureTakesTheFirstCertificate) {
  const auto first = Utils::CertificateFromSignature(MakeCertificatesPkcs7({user_, root_}));
  ASSERT_TRUE(first.has_value());
  EXPECT_TRUE(first->SameAs(user_));
  EXPECT_FALSE(Utils::CertificateFromSignature(MakeCertificatesPkcs7({})).has_value());
  EXPECT_TRUE(MessageOf([] { Utils::CertificateFromSignature("not a signature"); })
                  .starts_with(Msg(u8"Не удалось извлечь подписанта из подписи. Неверный формат "
                                   u8"подписи: ") +
                               kBadTag + " (PKCS#7): (error:"));
  const std::string content = WriteFile("content.txt", "signed content");
  ASSERT_EQ(
      OpenSsl("cms -sign -binary -outform DER -md md_gost94 -signer '" + SharedPki().user.string() +
              "' -inkey '" + SharedPki().user_key.string() + "' -in content.txt -out content.sig"),
      0);
  const auto signer = Utils::CertificateFromSignature(test::ReadAll(PathOf("content.sig")));
  ASSERT_TRUE(signer.has_value());
  EXPECT_TRUE(signer->SameAs(user_));
}

TEST_F(StoreImport, ProviderInfoAndPresence) {
  CCryptoProvider provider;
  provider.AcquireVerifyContext(75, false);
  const auto [name, type] = Utils::GetProvInfo(provider.Handle());
  EXPECT_EQ(name, kGostProviderName);
  EXPECT_EQ(type, 75U);
  ExpectRaises([] { Utils::GetProvInfo(nullptr); },
               "CCryptoAPI20Utils.GetProvInfo: 0x80090001 (-2146893823): Bad UID.");
  EXPECT_TRUE(Utils::IsCryptographyOk());
  HideEngine();
  EXPECT_FALSE(Utils::IsCryptographyOk());
}

TEST_F(StoreImport, WritesTheDerNamedByThumbprintAndBindsOnlyInMy) {
  MakeContainer("k1", SharedPki().user_party);
  for (const auto& [store, folder] :
       {std::pair{kMy, "MY"}, {kRoot, "ROOT"}, {kCa, "CA"}, {kAddressBook, "addressbook"}}) {
    Add(store == kMy ? "" : "k1", store);
    const std::filesystem::path entry = Home() / "user" / "stores" / folder / user_.Thumbprint();
    EXPECT_EQ(test::ReadAll(entry.string() + ".cer"), user_.Der()) << folder;
    EXPECT_FALSE(std::filesystem::exists(entry.string() + ".key-prov")) << folder;
  }
  EXPECT_FALSE(KeyContainer::Open(StoreLocation::kCurrentUser, "k1").GetCertificate());
  Add("", kRoot, 1);
  EXPECT_TRUE(std::filesystem::exists(Home() / "machine" / "stores" / "ROOT" /
                                      (user_.Thumbprint() + ".cer")));
}

TEST_F(StoreImport, UnknownCodesAndMissingProviderAreRefusedBeforeAnyWrite) {
  ExpectRaises([&] { Add("", kMy, 0); }, u8"Недоступное хранилище: [0]");
  ExpectRaises([&] { Add("", 5); }, u8"Недоступное имя хранилища: [5]");
  ExpectRaises([&] { Utils::AddCertificateToStore(nullptr, kUser, "k1", user_, kMy); },
               "CCryptoAPI20Utils.GetProvInfo: " + CryptErrorCodeText(code::kNteBadUid));
  EXPECT_FALSE(std::filesystem::exists(Home() / "user" / "stores" / "MY"));
}

TEST_F(StoreImport, BindsTheCertificateOfMyToItsContainer) {
  MakeContainer(Msg(u8"Ключ Иванова"), SharedPki().user_party);
  Add(Msg(u8"Ключ Иванова"), kMy);
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
  MakeContainer("k", SharedPki().user_party);
  Add("k", kMy, 1);
  CCryptoSignatureConfig config(&provider_, 1, 0, kIncludeSignerCertificate);
  CCryptoSignature signature;
  ASSERT_TRUE(signature.Open(&config));
  EXPECT_TRUE(signature.Sign(user_.Thumbprint(), "content"));
  EXPECT_TRUE(OpenSslVerifies("content", signature.GetSignature()));
}

// The certificate stays in "MY" without a binding, and the message names the failing step; a
// binding made before stays.
TEST_F(StoreImport, FailedBindingLeavesTheCertificateInMyWithItsEarlierBinding) {
  std::filesystem::create_directories(Home() / "user" / "containers" / "empty");
  KeyContainer::Create(StoreLocation::kCurrentUser, "other", SharedPki().inter_party.key);
  for (const auto& [container, prefix, error] :
       {std::tuple{"missing", u8"Ошибка при инициализации с контейнером [%s] криптопровайдера: ",
                   code::kNteBadKeyset},
        {"empty", u8"Ошибка при получении закрытого ключа из контейнера: ", code::kNteNoKey},
        {"other", u8"Ошибка при импорте сертификата в контейнер: ", code::kNteBadPublicKey}}) {
    ExpectRaises([&] { Add(container, kMy); },
                 rtl::Format(Msg(prefix), container) + CryptErrorCodeText(error));
    const std::optional<Certificate> entry = Entry(kMy, user_);
    ASSERT_TRUE(entry);
    EXPECT_FALSE(entry->KeyProv()) << container;
  }
  MakeContainer("good", SharedPki().user_party);
  Add("good", kMy);
  EXPECT_FALSE(MessageOf([&] { Add("gone", kMy); }).empty());
  const std::optional<Certificate> entry = Entry(kMy, user_);
  ASSERT_TRUE(entry && entry->KeyProv());
  EXPECT_EQ(entry->KeyProv()->container_name, "good");
}

TEST_F(StoreImport, SecondImportKeepsTheEntryOfAddressBookAndReplacesTheOneOfMy) {
  Certificate bound = user_;
  bound.SetKeyProv(KeyProvInfo{"earlier", "", 75, 1, 1});
  Utils::OpenSystemStore(nullptr, kUser, kAddressBook).Add(bound, AddDisposition::kNew);
  Utils::OpenSystemStore(nullptr, kUser, kMy).Add(bound, AddDisposition::kNew);
  Add("", kAddressBook);
  Add("", kMy);
  ASSERT_TRUE(Entry(kAddressBook, user_) && Entry(kAddressBook, user_)->KeyProv());
  EXPECT_EQ(Entry(kAddressBook, user_)->KeyProv()->container_name, "earlier");
  ASSERT_TRUE(Entry(kMy, user_));
  EXPECT_FALSE(Entry(kMy, user_)->KeyProv());
}

TEST_F(StoreImport, ImportChainSortsEveryCertificateIntoItsStore) {
  const std::string chain = ChainPkcs7();
  ASSERT_EQ(
      OpenSsl("crl2pkcs7 -nocrl -outform DER -out theirs.p7b -certfile '" +
              SharedPki().chain_user.string() + "' -certfile '" + SharedPki().chain_inter.string() +
              "' -certfile '" + SharedPki().chain_root.string() + "'"),
      0);
  struct Case {
    std::string body;
    std::vector<std::filesystem::path> ca, root, address_book;
  };
  const std::vector<std::filesystem::path> chain_ca{SharedPki().chain_inter},
      chain_root{SharedPki().chain_root}, chain_user{SharedPki().chain_user};
  const std::vector<Case> cases{
      {chain, chain_ca, chain_root, chain_user},
      {rtl::EncodeBase64(chain), chain_ca, chain_root, chain_user},
      {"-----BEGIN CERTIFICATE-----\r\n" + rtl::EncodeBase64(chain) +
           "\r\n-----END CERTIFICATE-----\r\n",
       chain_ca, chain_root, chain_user},
      {test::ReadAll(PathOf("theirs.p7b")), chain_ca, chain_root, chain_user},
      {MakeCertificatesPkcs7({user_, Load(SharedPki().chain_user)}),
       {},
       {},
       {SharedPki().user, SharedPki().chain_user}},
      {MakeCertificatesPkcs7({}), {}, {}, {}},
      // Self-issued with critical CA constraints goes to "CA"; without them, or non-critical,
      // to "ROOT"; a non-critical CA that is not self-issued to "addressbook".
      {test::PemFileToDer(SharedPki().root), {SharedPki().root}, {}, {}},
      {test::FileBytes(SharedPki().inter), {SharedPki().inter}, {}, {}},
      {test::FileBytes(SharedPki().plain_self), {}, {SharedPki().plain_self}, {}},
      {test::FileBytes(SharedPki().nocn), {}, {SharedPki().nocn}, {}},
      {test::FileBytes(SharedPki().inter_noncritical), {}, {}, {SharedPki().inter_noncritical}}};
  const auto thumbprints = [](const std::vector<std::filesystem::path>& files) {
    std::set<std::string> result;
    for (const auto& pem : files) {
      result.insert(Load(pem).Thumbprint());
    }
    return result;
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    std::filesystem::remove_all(Home() / "user" / "stores");
    Import(cases[i].body);
    Import(cases[i].body);  // a second import keeps one entry each
    EXPECT_EQ(Thumbprints(kCa), thumbprints(cases[i].ca));
    EXPECT_EQ(Thumbprints(kRoot), thumbprints(cases[i].root));
    EXPECT_EQ(Thumbprints(kAddressBook), thumbprints(cases[i].address_book));
    EXPECT_TRUE(Thumbprints(kMy).empty());
  }
}

TEST_F(StoreImport, IsCACertificateCountsOnlyCriticalBasicConstraintsWithTheCaFlag) {
  for (const auto& [member, expected] : {std::pair{&TestPki::root, true},
                                         {&TestPki::inter, true},
                                         {&TestPki::user, false},
                                         {&TestPki::nocn, false},
                                         {&TestPki::inter_noncritical, false},
                                         {&TestPki::critical_not_ca, false},
                                         {&TestPki::plain_self, false}}) {
    EXPECT_EQ(Utils::IsCACertificate(Load(SharedPki().*member)), expected)
        << (SharedPki().*member).filename();
  }
}

TEST_F(StoreImport, ImportTracesTheStartOfTheBody) {
  const std::string trace = PathOf("trace.log");
  ::setenv("LYR_TDX_TRACE", trace.c_str(), 1);
  const std::string body = rtl::EncodeBase64(ChainPkcs7());
  Import(body);
  ::unsetenv("LYR_TDX_TRACE");
  EXPECT_NE(test::ReadAll(trace).find("[Ready to open store: " + body.substr(0, 120) + "...]"),
            std::string::npos);
}

TEST_F(StoreImport, BodiesThatAreNoChainAreRefusedAndWriteNothing) {
  const std::string bad_tag =
      Msg(u8"Ошибка при импорте сертификата: 0x8009310B (-2146881269): ASN1 bad tag");
  std::string truncated = ChainPkcs7();
  truncated.resize(truncated.size() - 10);
  for (const auto& [body, prefix] :
       {std::pair{std::string("neither PKCS#7 nor a certificate!"), bad_tag},
        {rtl::EncodeBase64("hello"), bad_tag},
        {std::string("-----BEGIN CERTIFICATE-----\n-----END CERTIFICATE-----\n"),
         Msg(u8"Передан пустой аргумент: CertificateBody")},
        {std::string(), Msg(u8"Передан пустой аргумент: CertificateBody")},
        {truncated, Msg(u8"Ошибка при импорте сертификата: ")}}) {
    const std::string message = MessageOf([&] { Import(body); });
    EXPECT_TRUE(message.starts_with(prefix)) << message;
  }
  EXPECT_FALSE(std::filesystem::exists(Home() / "user" / "stores"));
}

// A member that cannot be written takes back what the import had added before it; entries that
// were there before stay.
TEST_F(StoreImport, FailedWriteRaisesTheImportMessageAndRemovesTheEntriesItAdded) {
  const Certificate chain_root = Load(SharedPki().chain_root);
  Utils::AddCertificateToStore(provider_.Handle(), kUser, "", chain_root, kRoot);
  WriteFile("user/stores/addressbook", "a file where the folder should be");
  using Body = std::function<void()>;
  for (const Body& body :
       {Body([&] { Add("", kAddressBook); }), Body([&] { Import(ChainPkcs7()); })}) {
    const std::string message = MessageOf(body);
    EXPECT_TRUE(message.starts_with(Msg(u8"Не удалось импортировать сертификат0x"))) << message;
  }
  EXPECT_TRUE(Thumbprints(kCa).empty());
  EXPECT_EQ(Thumbprints(kRoot), std::set<std::string>{chain_root.Thumbprint()});
}

// Two processes import the chain and bind the user's certificate in "MY" at once, over and over;
// every entry stays whole, the binding survives and no temporary file is left.
TEST_F(StoreImport, ConcurrentImportsFromTwoProcessesLeaveEveryEntryWhole) {
  MakeContainer("shared", SharedPki().user_party);
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

TEST_F(StoreImport, CryptoStoreOpensSystemMemoryAndPkcs7Stores) {
  Utils::AddCertificateToStore(nullptr, 1, "", user_, kRoot);
  CCryptoStore store;
  store.Open(store_provider::kSystemW, "ROOT");
  EXPECT_TRUE(store.Handle()->Certificates().empty()) << "the current user's";
  CCryptoProvider machine;
  machine.SetMachineKeySet(true);
  store.SetProvider(&machine);
  store.Open(store_provider::kSystemW, "ROOT");
  ASSERT_EQ(store.Handle()->Certificates().size(), 1U);
  EXPECT_EQ(store.Handle()->Location(), StoreLocation::kLocalMachine);
  EXPECT_EQ(store.Encoding(), 0x00010001U);
  store.Open(store_provider::kPkcs7, ChainPkcs7());
  EXPECT_EQ(store.Handle()->Certificates().size(), 3U);
  store.Open(store_provider::kMemory, "");
  EXPECT_TRUE(store.Handle()->Certificates().empty());
  store.Close();
  EXPECT_EQ(store.Handle(), nullptr);
  EXPECT_TRUE(MessageOf([&] {
                store.Open(store_provider::kSystemW, "../MY");
              }).starts_with("System Error.  Code: -2147024809.\r\nThe parameter is incorrect."));
  ExpectRaises([&] { store.Open(99, "MY"); },
               "System Error.  Code: -2147024809.\r\nThe parameter is incorrect. (store provider "
               "kind)");
  EXPECT_TRUE(MessageOf([&] {
                store.Open(store_provider::kPkcs7, "x");
              }).starts_with("System Error.  Code: -2146881269.\r\nASN1 bad tag value met."));
  EXPECT_FALSE(store.Opened());
}

}  // namespace
}  // namespace lyr::crypt
