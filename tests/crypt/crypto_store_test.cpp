// CCryptoAPI20Utils (bodies, names, imports into the system stores, ImportChain sorting a chain
// into "CA", "ROOT" and "addressbook") and CCryptoStore.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "crypt/crypt_test.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/crypto_provider.h"
#include "crypt/crypto_store.h"
#include "crypt/platform/key_container.h"
#include "rtl/base64.h"
#include "rtl/format.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::CertificateOf;
using test::ExpectRaises;
using test::MessageOf;
using test::SharedPki;
using test::TestPki;
using test_util::ThumbprintsOf;
using Utils = CCryptoAPI20Utils;

constexpr StoreLocation kUser = StoreLocation::kCurrentUser;
constexpr StoreCode kMy = StoreCode::kMy;
constexpr StoreCode kRoot = StoreCode::kRoot;

std::optional<Certificate> Entry(StoreCode store, const Certificate& certificate) {
  return Utils::OpenSystemStore(kUser, store).FindByThumbprint(certificate.Thumbprint());
}

std::string ChainPkcs7() {
  return MakeCertificatesPkcs7({CertificateOf(SharedPki().chain_root),
                                CertificateOf(SharedPki().chain_inter),
                                CertificateOf(SharedPki().chain_user)});
}

class StoreImport : public test::PkiSandbox {
 protected:
  void SetUp() override {
    PkiSandbox::SetUp();
    provider_.AcquireVerifyContext(kGostProviderType, false);
  }
  void Add(const std::string& container, StoreCode store, StoreLocation location = kUser) {
    Utils::AddCertificateToStore(provider_.Handle(), location, container, user_, store);
  }
  void Import(const std::string& body) { Utils::ImportChain(provider_.Handle(), kUser, body, ""); }

  CCryptoProvider provider_;
  const Certificate& user_ = SharedPki().user_party.certificate;
};

const std::string kBadTag = "0x8009310B (-2146881269): ASN1 bad tag value met.";

TEST(CryptoUtils, CertificateAndCrlBodies) {
  const std::string pem = test::ReadAll(SharedPki().user);
  const std::string bare =
      pem.substr(pem.find('\n') + 1, pem.find("-----END") - pem.find('\n') - 1);
  for (const std::string& body : {pem, bare, test::PemFileToDer(SharedPki().user)}) {
    EXPECT_EQ(Utils::GetSha1(Utils::CertificateFromBody(body)),
              CertificateOf(SharedPki().user).Thumbprint());
  }
  ExpectRaises([] { Utils::CertificateFromBody(""); },
               u8"Передан пустой аргумент: CertificateBody");
  // The system text ends with OpenSSL's own explanation, which is not compared.
  for (const std::string& body :
       {std::string("-----BEGIN CERTIFICATE-----\nMIIB!!garbage\n-----END CERTIFICATE-----\n"),
        std::string(8 << 20, 'A')}) {
    EXPECT_TRUE(MessageOf([&] {
                  Utils::CertificateFromBody(body);
                }).starts_with(Msg(u8"Ошибка при импорте сертификата: ") + kBadTag));
  }
  EXPECT_EQ(Utils::CRLFromBody(test::PemFileToDer(SharedPki().root_crl)).IssuerCN(),
            "Test Root CA");
  EXPECT_TRUE(MessageOf([] {
                Utils::CRLFromBody("junk");
              }).starts_with(Msg(u8"Ошибка при импорте CRL (неверный формат?): ") + kBadTag));
  ExpectRaises([] { Utils::CRLFromBody(""); }, u8"Передан пустой аргумент: CRLBody");
}

// One reading of certificate texts: PEM lines of the kind in any letter case, Base64 with line
// breaks, blanks and "-", or DER as given.
TEST(CryptoUtils, CertificateTextToDerReadsEveryFormOfABody) {
  const std::string der = test::PemFileToDer(SharedPki().user);
  const std::string base64 = rtl::EncodeBase64(der);
  const std::string lines = base64.substr(0, 64) + "\r\n" + base64.substr(64);
  const std::vector<std::pair<std::string, std::string>> cases{
      {"-----BEGIN CERTIFICATE-----\n" + lines + "\n-----END CERTIFICATE-----\n", "CERTIFICATE"},
      {"-----begin certificate-----\n" + base64 + "\n-----End Certificate-----", "CERTIFICATE"},
      {"-----BEGIN CERTIFICATE REQUEST-----" + lines + "-----END CERTIFICATE REQUEST-----",
       "CERTIFICATE REQUEST"},
      {" " + base64.substr(0, 8) + "--" + base64.substr(8), "CERTIFICATE"},
      {der, "CERTIFICATE"}};
  for (const auto& [text, label] : cases) {
    EXPECT_EQ(Utils::CertificateTextToDer(text, label), der) << text;
  }
  EXPECT_EQ(Utils::CertificateTextToDer("not:base64"), "not:base64");
}

TEST(CryptoUtils, NamesSerialsAndExtensions) {
  const Certificate root = CertificateOf(SharedPki().root);
  const Certificate inter = CertificateOf(SharedPki().inter);
  const Certificate user = CertificateOf(SharedPki().user);
  const Certificate nocn = CertificateOf(SharedPki().nocn);
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
  for (const char* url : {"https://a", "http://a", "ftp://a"}) {
    EXPECT_TRUE(Utils::IsAcceptedURL(url)) << url;
  }
  for (const char* url : {"HTTP://a", "ldap://a", "", "file:///etc/passwd"}) {
    EXPECT_FALSE(Utils::IsAcceptedURL(url)) << url;
  }
}

TEST_F(StoreImport, UnknownCodesAndMissingProviderAreRefusedBeforeAnyWrite) {
  ExpectRaises([&] { Add("", kMy, static_cast<StoreLocation>(0)); },
               u8"Недоступное хранилище: [0]");
  ExpectRaises([&] { Add("", static_cast<StoreCode>(5)); }, u8"Недоступное имя хранилища: [5]");
  ExpectRaises([&] { Utils::AddCertificateToStore(nullptr, kUser, "k1", user_, kMy); },
               "CCryptoAPI20Utils.GetProvInfo: " + CryptErrorCodeText(code::kNteBadUid));
  EXPECT_FALSE(std::filesystem::exists(Home() / "user" / "stores" / "MY"));
}

// The message names the failing step; the certificate stays in "MY" with its earlier binding.
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
  KeyContainer::Create(StoreLocation::kCurrentUser, "good", SharedPki().user_party.key);
  Add("good", kMy);
  EXPECT_FALSE(MessageOf([&] { Add("gone", kMy); }).empty());
  const std::optional<Certificate> entry = Entry(kMy, user_);
  ASSERT_TRUE(entry && entry->KeyProv());
  EXPECT_EQ(entry->KeyProv()->container_name, "good");
}

TEST_F(StoreImport, ImportChainSortsEveryCertificateIntoItsStore) {
  using Files = std::vector<std::filesystem::path>;
  const TestPki& pki = SharedPki();
  const std::string chain = ChainPkcs7();
  const Files chain_ca{pki.chain_inter}, chain_root{pki.chain_root}, chain_user{pki.chain_user};
  // Self-issued with critical CA constraints goes to "CA"; without them, or non-critical, to
  // "ROOT"; a non-critical CA that is not self-issued to "addressbook".
  const std::vector<std::tuple<std::string, Files, Files, Files>> cases{
      {chain, chain_ca, chain_root, chain_user},
      {"-----BEGIN CERTIFICATE-----\r\n" + rtl::EncodeBase64(chain) +
           "\r\n-----END CERTIFICATE-----\r\n",
       chain_ca, chain_root, chain_user},
      {MakeCertificatesPkcs7({user_, CertificateOf(pki.chain_user)}),
       {},
       {},
       {pki.user, pki.chain_user}},
      {MakeCertificatesPkcs7({}), {}, {}, {}},
      {test::PemFileToDer(pki.root), {pki.root}, {}, {}},
      {test::ReadAll(pki.inter), {pki.inter}, {}, {}},
      {test::ReadAll(pki.plain_self), {}, {pki.plain_self}, {}},
      {test::ReadAll(pki.nocn), {}, {pki.nocn}, {}},
      {test::ReadAll(pki.inter_noncritical), {}, {}, {pki.inter_noncritical}}};
  const auto thumbprints = [](const Files& files) {
    std::set<std::string> result;
    for (const auto& pem : files) {
      result.insert(CertificateOf(pem).Thumbprint());
    }
    return result;
  };
  for (const auto& [body, ca, root, address_book] : cases) {
    std::filesystem::remove_all(Home() / "user" / "stores");
    Import(body);
    Import(body);  // a second import keeps one entry each
    EXPECT_EQ(ThumbprintsOf("CA"), thumbprints(ca));
    EXPECT_EQ(ThumbprintsOf("ROOT"), thumbprints(root));
    EXPECT_EQ(ThumbprintsOf("addressbook"), thumbprints(address_book));
    EXPECT_TRUE(ThumbprintsOf("MY").empty());
  }
}

TEST_F(StoreImport, BodyThatIsNoChainIsRefusedAndWritesNothing) {
  std::string truncated = ChainPkcs7();
  truncated.resize(truncated.size() - 10);
  const std::string message = MessageOf([&] { Import(truncated); });
  EXPECT_TRUE(message.starts_with(Msg(u8"Ошибка при импорте сертификата: "))) << message;
  EXPECT_FALSE(std::filesystem::exists(Home() / "user" / "stores"));
}

// A member that cannot be written takes back what the import added; earlier entries stay.
TEST_F(StoreImport, FailedWriteRaisesTheImportMessageAndRemovesTheEntriesItAdded) {
  const Certificate chain_root = CertificateOf(SharedPki().chain_root);
  Utils::AddCertificateToStore(provider_.Handle(), kUser, "", chain_root, kRoot);
  WriteFile("user/stores/addressbook", "a file where the folder should be");
  const std::string message = MessageOf([&] { Import(ChainPkcs7()); });
  EXPECT_TRUE(message.starts_with(Msg(u8"Не удалось импортировать сертификат0x"))) << message;
  EXPECT_TRUE(ThumbprintsOf("CA").empty());
  EXPECT_EQ(ThumbprintsOf("ROOT"), std::set<std::string>{chain_root.Thumbprint()});
}

TEST_F(StoreImport, CryptoStoreOpensSystemMemoryAndPkcs7Stores) {
  Utils::AddCertificateToStore(nullptr, StoreLocation::kLocalMachine, "", user_, kRoot);
  CCryptoStore store;
  store.Open(store_provider::kSystemW, "ROOT");
  EXPECT_TRUE(store.Handle()->Certificates().empty()) << "the current user's";
  CCryptoProvider machine;
  machine.SetMachineKeySet(true);
  store.SetProvider(&machine);
  store.Open(store_provider::kSystemW, "ROOT");
  ASSERT_EQ(store.Handle()->Certificates().size(), 1U);
  EXPECT_EQ(store.Handle()->Location(), StoreLocation::kLocalMachine);
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
