// CTdx880Crypt: the state before Init, Init on both locations with its three lists, keys by index
// and by thumbprint, imports, and the cryptography-not-available messages.
#include "crypt/tdx880_crypt.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "crypt/crypt_test.h"
#include "crypt/platform/key_container.h"
#include "crypt/tdx880_crypto_tool.h"
#include "rtl/format.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::ExpectRaises;
using test::MessageOf;
using test::SharedPki;
using test_util::ThumbprintsOf;

std::string NotAvailable(std::u8string_view operation) {
  return rtl::Format(Msg(u8"Не установлен СКЗИ КриптоПро, который требуется для операции: %s"),
                     Msg(operation));
}

const std::string kCertificateGone = Msg(u8"Внутренняя ошибка: Сертификат не найден");

class CryptEngineTest : public test::PkiSandbox {
 protected:
  // The user's certificate in "MY" bound to a container holding its key.
  static void InstallPersonal(StoreLocation location, const std::string& container = "user-key") {
    test::InstallSigner(SharedPki().user_party, container, location);
  }

  const Certificate& user_ = SharedPki().user_party.certificate;
  const Certificate& root_ = SharedPki().root_party.certificate;
  const Certificate& inter_ = SharedPki().inter_party.certificate;
  CTdx880Crypt crypt_;
};

// Operations name themselves without cryptography: before Init and after an Init that failed.
TEST_F(CryptEngineTest, OperationsWithoutCryptographyNameThemselves) {
  using Call = std::function<void(CTdx880Crypt&, CTdx880Key*)>;
  const std::vector<std::pair<Call, const char8_t*>> operations{
      {[](CTdx880Crypt& c, CTdx880Key* k) { c.GetPrivateKey(0, k); }, u8"получение личного ключа"},
      {[](CTdx880Crypt& c, CTdx880Key*) { (void)c.GetContainer(0); },
       u8"получение имени контейнера"},
      {[](CTdx880Crypt& c, CTdx880Key* k) { c.GetPrivateKeyBySha1("AB", k); },
       u8"получение ключа по отпечатку"},
      {[](CTdx880Crypt& c, CTdx880Key*) { c.ImportP7BChain("x"); },
       u8"импорт цепочки сертификатов"},
      {[](CTdx880Crypt& c, CTdx880Key* k) { c.ImportPrivateCertificate("x", "c", k); },
       u8"импорт личного сертификата"}};
  InstallPersonal(StoreLocation::kCurrentUser);
  EXPECT_EQ(crypt_.StoreLocation(), 0);
  EXPECT_FALSE(crypt_.CryptographyAvailable());
  for (int round = 0; round < 2; ++round) {
    for (const auto& [call, operation] : operations) {
      CTdx880Key key;
      EXPECT_EQ(MessageOf([&] { call(crypt_, &key); }), NotAvailable(operation)) << round;
      EXPECT_EQ(key.Sha1(), "");
    }
    if (round == 0) {
      ASSERT_TRUE(crypt_.Init(true));
      EXPECT_EQ(crypt_.GetPrivateKeyCount(), 1);
      HideEngine();
      EXPECT_FALSE(CTdx880CryptoTool::IsCryptographyOk());
      EXPECT_EQ(MessageOf([&] { crypt_.Init(true); }), NotAvailable(u8"инициализация"));
      EXPECT_FALSE(crypt_.CryptographyAvailable());
    }
  }
}

struct LocationCase {
  const char* name;
  bool user_storage;
  StoreLocation location;
  StoreLocation other;
};

class CryptEngineAtLocation : public CryptEngineTest,
                              public ::testing::WithParamInterface<LocationCase> {};

INSTANTIATE_TEST_SUITE_P(
    Locations, CryptEngineAtLocation,
    ::testing::Values(LocationCase{"CurrentUser", true, StoreLocation::kCurrentUser,
                                   StoreLocation::kLocalMachine},
                      LocationCase{"LocalMachine", false, StoreLocation::kLocalMachine,
                                   StoreLocation::kCurrentUser}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(CryptEngineAtLocation, InitListsTheStoresAndContainersOfItsLocationOnly) {
  const StoreLocation here = GetParam().location;
  InstallPersonal(here, "b-user");
  test::AddToStore(root_, "MY", here);  // a personal certificate without a key still counts
  test::AddToStore(inter_, "addressbook", here);
  KeyContainer::Create(here, "a-spare");
  InstallPersonal(GetParam().other, "elsewhere");
  test::AddToStore(user_, "addressbook", GetParam().other);

  ASSERT_TRUE(crypt_.Init(GetParam().user_storage));
  EXPECT_EQ(crypt_.StoreLocation(), static_cast<uint8_t>(here));
  ASSERT_EQ(crypt_.GetContainerCount(), 2);
  EXPECT_EQ(crypt_.GetContainer(0), "a-spare");
  EXPECT_EQ(crypt_.GetContainer(1), "b-user");
  std::multiset<std::string> personal;
  for (int32_t i = 0; i < crypt_.GetPrivateKeyCount(); ++i) {
    CTdx880Key key;
    crypt_.GetPrivateKey(i, &key);
    personal.insert(key.Sha1());
  }
  EXPECT_EQ(personal, (std::multiset<std::string>{user_.Thumbprint(), root_.Thumbprint()}));
  ASSERT_EQ(crypt_.GetOpponentKeyCount(), 1);
  CTdx880Key key;
  crypt_.GetOpponentKey(0, &key);
  EXPECT_EQ(key.CertificateBody(), inter_.Der());
  // Look-ups by thumbprint read the store of their kind.
  crypt_.GetPrivateKeyBySha1(user_.Thumbprint(), &key);
  EXPECT_EQ(key.CertificateBody(), user_.Der());
  crypt_.GetOpponentKeyBySha1(inter_.Thumbprint(), &key);
  EXPECT_EQ(key.Sha1(), inter_.Thumbprint());
  ExpectRaises([&] { crypt_.GetOpponentKeyBySha1(user_.Thumbprint(), &key); }, kCertificateGone);
  ExpectRaises([&] { crypt_.GetPrivateKeyBySha1(inter_.Thumbprint(), &key); }, kCertificateGone);
}

// A key whose certificate left the store after Init is an internal error.
TEST_F(CryptEngineTest, IndexesOutsideTheListsAbsentArgumentsAndCertificatesGoneAreRefused) {
  const auto range = [](const char* name, int64_t value, int64_t maximum) {
    if (maximum < 0) {
      return rtl::Format(Msg(u8"%0:s: ошибка задания диапазона - минимальное значение (%1:d) "
                             u8"больше максимального(%2:d)"),
                         name, 0, -1);
    }
    return rtl::Format(
        Msg(u8"Значение параметра %0:s (%1:d) должно находиться в интервале от %2:d до %3:d"), name,
        value, 0, maximum);
  };
  CTdx880Key key;
  ASSERT_TRUE(crypt_.Init(true));
  ExpectRaises([&] { crypt_.GetPrivateKey(0, &key); }, range("privateKeyIndex", 0, -1));
  InstallPersonal(StoreLocation::kCurrentUser);
  test::AddToStore(root_, "addressbook");
  ASSERT_TRUE(crypt_.Init(true));
  for (const int32_t index : {-1, 1, 1000000}) {
    ExpectRaises([&] { crypt_.GetPrivateKey(index, &key); }, range("privateKeyIndex", index, 0));
    ExpectRaises([&] { crypt_.GetOpponentKey(index, &key); }, range("opponentKeyIndex", index, 0));
    ExpectRaises([&] { (void)crypt_.GetContainer(index); }, range("containerIndex", index, 0));
  }
  ExpectRaises([&] { crypt_.GetPrivateKey(0, nullptr); }, u8"Передан пустой аргумент: pKey");
  ExpectRaises([&] { crypt_.GetPrivateKeyBySha1("", &key); }, u8"Передан пустой аргумент: sha1");
  ASSERT_TRUE(CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY").Delete(user_.Thumbprint()));
  ASSERT_TRUE(
      CertStore::OpenSystem(StoreLocation::kCurrentUser, "addressbook").Delete(root_.Thumbprint()));
  ExpectRaises([&] { crypt_.GetPrivateKey(0, &key); }, kCertificateGone);
  ExpectRaises([&] { crypt_.GetOpponentKey(0, &key); }, kCertificateGone);
  EXPECT_EQ(key.Sha1(), "");
}

TEST_P(CryptEngineAtLocation, ImportsLandAtTheLocationAndAreSeenAfterReInit) {
  const StoreLocation here = GetParam().location;
  KeyContainer::Create(StoreLocation::kCurrentUser, "imported", SharedPki().user_party.key);
  ASSERT_TRUE(crypt_.Init(GetParam().user_storage));
  crypt_.ImportP7BChain(MakeCertificatesPkcs7({root_, inter_}));
  EXPECT_EQ(ThumbprintsOf("CA", here).size(), 2U);
  CTdx880Key opponent;
  opponent.SetSignRole(sign_role::kTaxService);
  crypt_.ImportOpponentCertificate(test::ReadAll(SharedPki().user), &opponent);
  EXPECT_EQ(opponent.CertificateBody(), user_.Der());
  EXPECT_EQ(opponent.SignRole(), sign_role::kTaxService)
      << "a role is never read from a certificate";
  EXPECT_EQ(ThumbprintsOf("addressbook", here), std::set<std::string>{user_.Thumbprint()});
  EXPECT_TRUE(ThumbprintsOf("addressbook", GetParam().other).empty());
  EXPECT_EQ(crypt_.GetOpponentKeyCount(), 0) << "the lists are the last Init's";

  // The binding names a container of the current user's key set, at either location.
  CTdx880Key personal;
  crypt_.ImportPrivateCertificate(test::ReadAll(SharedPki().user), "imported", &personal);
  EXPECT_EQ(personal.Sha1(), user_.Thumbprint());
  EXPECT_EQ(personal.ContainerName(), "") << "the container is not written into the key";
  const std::optional<Certificate> entry =
      CertStore::OpenSystem(here, "MY").FindByThumbprint(user_.Thumbprint());
  ASSERT_TRUE(entry && entry->KeyProv());
  EXPECT_EQ(entry->KeyProv()->container_name, "imported");
  ASSERT_TRUE(crypt_.Init(GetParam().user_storage));
  EXPECT_EQ(crypt_.GetOpponentKeyCount(), 1);
  EXPECT_EQ(crypt_.GetPrivateKeyCount(), 1);
  const std::string signature =
      CTdx880CryptoTool().Sign(GetParam().user_storage, "imported key signs", personal.Sha1());
  EXPECT_EQ(CTdx880CryptoTool::SignerFromSignature(signature).sha1, user_.Thumbprint());
}

}  // namespace
}  // namespace lyr::crypt
