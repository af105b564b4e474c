// CTdx880Crypt: the state before Init, Init on both locations with its three lists, keys by
// index and by thumbprint, containers, the cryptography-not-available messages, and re-Init.
#include "crypt/tdx880_crypt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key.h"
#include "crypt/tdx880_crypto_tool.h"
#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::SharedPki;

template <typename Body>
std::string MessageOf(Body&& body) {
  try {
    body();
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

std::string NotAvailable(std::u8string_view operation) {
  return rtl::Format(Msg(u8"Не установлен СКЗИ КриптоПро, который требуется для операции: %s"),
                     Msg(operation));
}

std::string RangeMessage(const char* name, int64_t value, int64_t maximum) {
  return rtl::Format(
      Msg(u8"Значение параметра %0:s (%1:d) должно находиться в интервале от %2:d до %3:d"), name,
      value, 0, maximum);
}

std::string EmptyRangeMessage(const char* name) {
  return rtl::Format(Msg(u8"%0:s: ошибка задания диапазона - минимальное значение (%1:d) больше "
                         u8"максимального(%2:d)"),
                     name, 0, -1);
}

const std::string kCertificateGone = Msg(u8"Внутренняя ошибка: Сертификат не найден");

class CryptEngineTest : public test::PkiSandbox {
 protected:
  static void AddTo(StoreLocation location, const char* store, const Certificate& certificate) {
    test::AddToStore(certificate, store, location);
  }
  // The user's certificate in "MY" bound to a container holding its key.
  void InstallPersonal(StoreLocation location, const std::string& container = "user-key") {
    test::InstallSigner(SharedPki().user_party, container, location);
  }

  const Certificate& user_ = SharedPki().user_party.certificate;
  const Certificate& root_ = SharedPki().root_party.certificate;
  const Certificate& inter_ = SharedPki().inter_party.certificate;
  CTdx880Crypt crypt_;
};

// ---- before Init ----------------------------------------------------------------------------

TEST_F(CryptEngineTest, NewEngineHasEmptyListsAndNoCryptography) {
  EXPECT_EQ(crypt_.GetPrivateKeyCount(), 0);
  EXPECT_EQ(crypt_.GetOpponentKeyCount(), 0);
  EXPECT_EQ(crypt_.GetContainerCount(), 0);
  EXPECT_FALSE(crypt_.CryptographyAvailable());
  EXPECT_EQ(crypt_.StoreLocation(), 0);
  EXPECT_TRUE(CTdx880Crypt::IsCryptographyOk());
}

struct OperationCase {
  const char* name;
  std::function<void(CTdx880Crypt& crypt, CTdx880Key* key)> call;
  const char8_t* operation;
};

const OperationCase kOperations[] = {
    {"GetPrivateKey", [](CTdx880Crypt& crypt, CTdx880Key* key) { crypt.GetPrivateKey(0, key); },
     u8"получение личного ключа"},
    {"GetOpponentKey", [](CTdx880Crypt& crypt, CTdx880Key* key) { crypt.GetOpponentKey(0, key); },
     u8"получение ключа оппонента"},
    {"GetContainer", [](CTdx880Crypt& crypt, CTdx880Key*) { (void)crypt.GetContainer(0); },
     u8"получение имени контейнера"},
    {"GetPrivateKeyBySha1",
     [](CTdx880Crypt& crypt, CTdx880Key* key) { crypt.GetPrivateKeyBySha1("AB", key); },
     u8"получение ключа по отпечатку"},
    {"GetOpponentKeyBySha1",
     [](CTdx880Crypt& crypt, CTdx880Key* key) { crypt.GetOpponentKeyBySha1("AB", key); },
     u8"получение ключа по отпечатку"},
    {"ImportP7BChain", [](CTdx880Crypt& crypt, CTdx880Key*) { crypt.ImportP7BChain("x"); },
     u8"импорт цепочки сертификатов"},
    {"ImportOpponentCertificate",
     [](CTdx880Crypt& crypt, CTdx880Key* key) { crypt.ImportOpponentCertificate("x", key); },
     u8"импорт ключа оппонента"},
    {"ImportPrivateCertificate",
     [](CTdx880Crypt& crypt, CTdx880Key* key) { crypt.ImportPrivateCertificate("x", "c", key); },
     u8"импорт личного сертификата"},
};

class CryptEngineBeforeInit : public CryptEngineTest,
                              public ::testing::WithParamInterface<OperationCase> {};

TEST_P(CryptEngineBeforeInit, FailsNamingTheOperation) {
  InstallPersonal(StoreLocation::kCurrentUser);
  CTdx880Key key;
  EXPECT_EQ(MessageOf([&] { GetParam().call(crypt_, &key); }), NotAvailable(GetParam().operation));
  EXPECT_EQ(key.Sha1(), "");
}

TEST_P(CryptEngineBeforeInit, FailsNamingTheOperationAfterAnInitWithoutTheProvider) {
  InstallPersonal(StoreLocation::kCurrentUser);
  ASSERT_TRUE(crypt_.Init(true));
  HideEngine();
  EXPECT_EQ(MessageOf([&] { crypt_.Init(true); }), NotAvailable(u8"инициализация"));
  EXPECT_FALSE(crypt_.CryptographyAvailable());
  CTdx880Key key;
  EXPECT_EQ(MessageOf([&] { GetParam().call(crypt_, &key); }), NotAvailable(GetParam().operation));
}

INSTANTIATE_TEST_SUITE_P(Operations, CryptEngineBeforeInit, ::testing::ValuesIn(kOperations),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CryptEngineTest, InitWithoutTheProviderFailsAndLeavesCryptographyUnavailable) {
  HideEngine();
  EXPECT_FALSE(CTdx880Crypt::IsCryptographyOk());
  EXPECT_EQ(MessageOf([&] { crypt_.Init(true); }), NotAvailable(u8"инициализация"));
  EXPECT_FALSE(crypt_.CryptographyAvailable());
  EXPECT_EQ(crypt_.GetPrivateKeyCount(), 0);
}

// ---- Init on both locations -------------------------------------------------------------------

struct LocationCase {
  const char* name;
  bool user_storage;
  StoreLocation location;
  StoreLocation other;
};

const LocationCase kLocations[] = {
    {"CurrentUser", true, StoreLocation::kCurrentUser, StoreLocation::kLocalMachine},
    {"LocalMachine", false, StoreLocation::kLocalMachine, StoreLocation::kCurrentUser}};

class CryptEngineAtLocation : public CryptEngineTest,
                              public ::testing::WithParamInterface<LocationCase> {};

INSTANTIATE_TEST_SUITE_P(Locations, CryptEngineAtLocation, ::testing::ValuesIn(kLocations),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(CryptEngineAtLocation, InitListsTheStoresAndContainersOfItsLocationOnly) {
  const StoreLocation here = GetParam().location;
  InstallPersonal(here, "b-user");
  AddTo(here, "MY", root_);  // a personal certificate without a key still counts
  AddTo(here, "addressbook", inter_);
  KeyContainer::Create(here, "a-spare");
  // The other location holds different things.
  InstallPersonal(GetParam().other, "elsewhere");
  AddTo(GetParam().other, "addressbook", user_);
  AddTo(GetParam().other, "addressbook", root_);

  ASSERT_TRUE(crypt_.Init(GetParam().user_storage));
  EXPECT_TRUE(crypt_.CryptographyAvailable());
  EXPECT_EQ(crypt_.StoreLocation(), static_cast<uint8_t>(here));
  EXPECT_EQ(crypt_.GetPrivateKeyCount(), 2);
  EXPECT_EQ(crypt_.GetOpponentKeyCount(), 1);
  ASSERT_EQ(crypt_.GetContainerCount(), 2);
  EXPECT_EQ(crypt_.GetContainer(0), "a-spare");
  EXPECT_EQ(crypt_.GetContainer(1), "b-user");

  std::vector<std::string> personal;
  for (int32_t i = 0; i < crypt_.GetPrivateKeyCount(); ++i) {
    CTdx880Key key;
    crypt_.GetPrivateKey(i, &key);
    personal.push_back(key.Sha1());
    EXPECT_EQ(key.SignRole(), 1);
    EXPECT_EQ(key.ContainerName(), "");
  }
  std::sort(personal.begin(), personal.end());
  std::vector<std::string> expected{user_.Thumbprint(), root_.Thumbprint()};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(personal, expected);

  CTdx880Key opponent;
  crypt_.GetOpponentKey(0, &opponent);
  EXPECT_EQ(opponent.Sha1(), inter_.Thumbprint());
  EXPECT_EQ(opponent.SubjectCN(), inter_.SubjectCN().value());
  EXPECT_EQ(opponent.CertificateBody(), inter_.Der());
}

TEST_P(CryptEngineAtLocation, KeysByThumbprintComeFromTheirOwnStore) {
  InstallPersonal(GetParam().location);
  AddTo(GetParam().location, "addressbook", root_);
  ASSERT_TRUE(crypt_.Init(GetParam().user_storage));
  CTdx880Key key;
  crypt_.GetPrivateKeyBySha1(user_.Thumbprint(), &key);
  EXPECT_EQ(key.CertificateBody(), user_.Der());
  EXPECT_EQ(key.SubjectCN(), user_.SubjectCN().value());
  crypt_.GetOpponentKeyBySha1(root_.Thumbprint(), &key);
  EXPECT_EQ(key.Sha1(), root_.Thumbprint());
  EXPECT_EQ(MessageOf([&] { crypt_.GetOpponentKeyBySha1(user_.Thumbprint(), &key); }),
            kCertificateGone);
  EXPECT_EQ(MessageOf([&] { crypt_.GetPrivateKeyBySha1(root_.Thumbprint(), &key); }),
            kCertificateGone);
}

TEST_F(CryptEngineTest, ReInitSwitchesLocationAndRebuildsEveryList) {
  InstallPersonal(StoreLocation::kCurrentUser);
  AddTo(StoreLocation::kCurrentUser, "addressbook", root_);
  KeyContainer::Create(StoreLocation::kLocalMachine, "machine-only");
  ASSERT_TRUE(crypt_.Init(true));
  EXPECT_EQ(crypt_.GetPrivateKeyCount(), 1);
  EXPECT_EQ(crypt_.GetOpponentKeyCount(), 1);
  EXPECT_EQ(crypt_.GetContainerCount(), 1);
  EXPECT_EQ(crypt_.GetContainer(0), "user-key");

  ASSERT_TRUE(crypt_.Init(false));
  EXPECT_EQ(crypt_.StoreLocation(), 1);
  EXPECT_EQ(crypt_.GetPrivateKeyCount(), 0);
  EXPECT_EQ(crypt_.GetOpponentKeyCount(), 0);
  ASSERT_EQ(crypt_.GetContainerCount(), 1);
  EXPECT_EQ(crypt_.GetContainer(0), "machine-only");
  CTdx880Key key;
  EXPECT_EQ(MessageOf([&] { crypt_.GetPrivateKeyBySha1(user_.Thumbprint(), &key); }),
            kCertificateGone);
}

TEST_F(CryptEngineTest, ListsAreSnapshotsUntilTheNextInit) {
  ASSERT_TRUE(crypt_.Init(true));
  EXPECT_EQ(crypt_.GetPrivateKeyCount(), 0);
  InstallPersonal(StoreLocation::kCurrentUser);
  EXPECT_EQ(crypt_.GetPrivateKeyCount(), 0);
  EXPECT_EQ(crypt_.GetContainerCount(), 0);
  // Look-ups by thumbprint read the store itself.
  CTdx880Key key;
  crypt_.GetPrivateKeyBySha1(user_.Thumbprint(), &key);
  EXPECT_EQ(key.Sha1(), user_.Thumbprint());
  ASSERT_TRUE(crypt_.Init(true));
  EXPECT_EQ(crypt_.GetPrivateKeyCount(), 1);
  EXPECT_EQ(crypt_.GetContainerCount(), 1);
}

TEST_F(CryptEngineTest, KeyWhoseCertificateLeftTheStoreIsAnInternalError) {
  InstallPersonal(StoreLocation::kCurrentUser);
  AddTo(StoreLocation::kCurrentUser, "addressbook", root_);
  ASSERT_TRUE(crypt_.Init(true));
  ASSERT_TRUE(CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY").Delete(user_.Thumbprint()));
  ASSERT_TRUE(
      CertStore::OpenSystem(StoreLocation::kCurrentUser, "addressbook").Delete(root_.Thumbprint()));
  CTdx880Key key;
  EXPECT_EQ(MessageOf([&] { crypt_.GetPrivateKey(0, &key); }), kCertificateGone);
  EXPECT_EQ(MessageOf([&] { crypt_.GetOpponentKey(0, &key); }), kCertificateGone);
  EXPECT_EQ(key.Sha1(), "");
}

// ---- argument checks -------------------------------------------------------------------------

TEST_F(CryptEngineTest, EmptyMyFailsIndexZeroWithTheRangeDefinitionMessage) {
  ASSERT_TRUE(crypt_.Init(true));
  CTdx880Key key;
  EXPECT_EQ(MessageOf([&] { crypt_.GetPrivateKey(0, &key); }),
            EmptyRangeMessage("privateKeyIndex"));
  EXPECT_EQ(MessageOf([&] { crypt_.GetOpponentKey(0, &key); }),
            EmptyRangeMessage("opponentKeyIndex"));
  EXPECT_EQ(MessageOf([&] { (void)crypt_.GetContainer(0); }), EmptyRangeMessage("containerIndex"));
}

struct IndexCase {
  const char* name;
  int32_t index;
};

class CryptEngineIndex : public CryptEngineTest, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(CryptEngineIndex, OutsideTheListFailsWithTheRangeMessage) {
  InstallPersonal(StoreLocation::kCurrentUser);
  AddTo(StoreLocation::kCurrentUser, "addressbook", root_);
  ASSERT_TRUE(crypt_.Init(true));
  const int32_t index = GetParam().index;
  CTdx880Key key;
  EXPECT_EQ(MessageOf([&] { crypt_.GetPrivateKey(index, &key); }),
            RangeMessage("privateKeyIndex", index, 0));
  EXPECT_EQ(MessageOf([&] { crypt_.GetOpponentKey(index, &key); }),
            RangeMessage("opponentKeyIndex", index, 0));
  EXPECT_EQ(MessageOf([&] { (void)crypt_.GetContainer(index); }),
            RangeMessage("containerIndex", index, 0));
}

INSTANTIATE_TEST_SUITE_P(Indexes, CryptEngineIndex,
                         ::testing::Values(IndexCase{"MinusOne", -1}, IndexCase{"One", 1},
                                           IndexCase{"Large", 1000000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CryptEngineTest, AbsentKeyRecordAndEmptyThumbprintAreRefused) {
  InstallPersonal(StoreLocation::kCurrentUser);
  ASSERT_TRUE(crypt_.Init(true));
  CTdx880Key key;
  EXPECT_EQ(MessageOf([&] { crypt_.GetPrivateKey(0, nullptr); }),
            Msg(u8"Передан пустой аргумент: pKey"));
  EXPECT_EQ(MessageOf([&] { crypt_.GetPrivateKeyBySha1("", &key); }),
            Msg(u8"Передан пустой аргумент: sha1"));
  EXPECT_EQ(MessageOf([&] { crypt_.GetOpponentKeyBySha1("", &key); }),
            Msg(u8"Передан пустой аргумент: sha1"));
}

TEST_F(CryptEngineTest, LowerCaseThumbprintFindsNoKey) {
  InstallPersonal(StoreLocation::kCurrentUser);
  ASSERT_TRUE(crypt_.Init(true));
  std::string lower = user_.Thumbprint();
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  CTdx880Key key;
  EXPECT_EQ(MessageOf([&] { crypt_.GetPrivateKeyBySha1(lower, &key); }), kCertificateGone);
  crypt_.GetPrivateKeyBySha1(user_.Thumbprint(), &key);
  EXPECT_EQ(key.Sha1(), user_.Thumbprint());
}

// ---- imports ---------------------------------------------------------------------------------

std::vector<std::string> ThumbprintsOf(StoreLocation location, const char* store) {
  std::vector<std::string> thumbprints;
  for (const Certificate& certificate : CertStore::OpenSystem(location, store).Certificates()) {
    thumbprints.push_back(certificate.Thumbprint());
  }
  return thumbprints;
}

TEST_P(CryptEngineAtLocation, ImportedChainIsSortedIntoItsStoresAndSeenAfterReInit) {
  ASSERT_TRUE(crypt_.Init(GetParam().user_storage));
  crypt_.ImportP7BChain(MakeCertificatesPkcs7({root_, inter_, user_}));
  const StoreLocation here = GetParam().location;
  // Both CA certificates carry critical CA basic constraints, so even the self-signed root goes
  // to "CA"; only a self-issued certificate without them would go to "ROOT".
  std::vector<std::string> cas{root_.Thumbprint(), inter_.Thumbprint()};
  std::sort(cas.begin(), cas.end());
  EXPECT_EQ(ThumbprintsOf(here, "CA"), cas);
  EXPECT_TRUE(ThumbprintsOf(here, "ROOT").empty());
  EXPECT_EQ(ThumbprintsOf(here, "addressbook"), std::vector<std::string>{user_.Thumbprint()});
  EXPECT_TRUE(ThumbprintsOf(GetParam().other, "addressbook").empty());
  EXPECT_EQ(crypt_.GetOpponentKeyCount(), 0) << "the lists are the last Init's";
  ASSERT_TRUE(crypt_.Init(GetParam().user_storage));
  ASSERT_EQ(crypt_.GetOpponentKeyCount(), 1);
  CTdx880Key key;
  crypt_.GetOpponentKey(0, &key);
  EXPECT_EQ(key.Sha1(), user_.Thumbprint());
}

TEST_P(CryptEngineAtLocation, ImportedOpponentCertificateGivesAKeyAndIsKeptOnce) {
  ASSERT_TRUE(crypt_.Init(GetParam().user_storage));
  CTdx880Key key;
  key.SetSignRole(sign_role::kTaxService);
  crypt_.ImportOpponentCertificate(test::FileBytes(SharedPki().user), &key);
  EXPECT_EQ(key.Sha1(), user_.Thumbprint());
  EXPECT_EQ(key.SubjectCN(), user_.SubjectCN().value());
  EXPECT_EQ(key.CertificateBody(), user_.Der());
  EXPECT_EQ(key.SignRole(), sign_role::kTaxService) << "a role is never read from a certificate";
  CTdx880Key again;
  crypt_.ImportOpponentCertificate(user_.Der(), &again);
  EXPECT_EQ(again.SignRole(), sign_role::kAbonent);
  EXPECT_EQ(ThumbprintsOf(GetParam().location, "addressbook"),
            std::vector<std::string>{user_.Thumbprint()});
  ASSERT_TRUE(crypt_.Init(GetParam().user_storage));
  EXPECT_EQ(crypt_.GetOpponentKeyCount(), 1);
  EXPECT_EQ(crypt_.GetPrivateKeyCount(), 0);
}

TEST_P(CryptEngineAtLocation, ImportedPrivateCertificateIsBoundToItsContainerAndSigns) {
  // The binding names a container of the current user's key set, at either location.
  const StoreLocation here = GetParam().location;
  KeyContainer::Create(StoreLocation::kCurrentUser, "imported",
                       PrivateKey::FromPem(test::FileBytes(SharedPki().user_key), std::nullopt));
  ASSERT_TRUE(crypt_.Init(GetParam().user_storage));
  CTdx880Key key;
  crypt_.ImportPrivateCertificate(test::FileBytes(SharedPki().user), "imported", &key);
  EXPECT_EQ(key.Sha1(), user_.Thumbprint());
  EXPECT_EQ(key.ContainerName(), "") << "the container is not written into the key";
  const std::optional<Certificate> entry =
      CertStore::OpenSystem(here, "MY").FindByThumbprint(user_.Thumbprint());
  ASSERT_TRUE(entry.has_value());
  ASSERT_TRUE(entry->KeyProv().has_value());
  EXPECT_EQ(entry->KeyProv()->container_name, "imported");
  const std::optional<Certificate> held =
      KeyContainer::Open(StoreLocation::kCurrentUser, "imported").GetCertificate();
  ASSERT_TRUE(held.has_value());
  EXPECT_TRUE(held->SameAs(user_));

  ASSERT_TRUE(crypt_.Init(GetParam().user_storage));
  EXPECT_EQ(crypt_.GetPrivateKeyCount(), 1);
  const std::string signature =
      CTdx880CryptoTool().Sign(GetParam().user_storage, "imported key signs", key.Sha1());
  EXPECT_EQ(CTdx880CryptoTool::SignerFromSignature(signature).sha1, user_.Thumbprint());
}

TEST_F(CryptEngineTest, ImportPrivateCertificateIntoMissingContainerFailsAfterTheStoreEntry) {
  ASSERT_TRUE(crypt_.Init(true));
  CTdx880Key key;
  const std::string message =
      MessageOf([&] { crypt_.ImportPrivateCertificate(user_.Der(), "no-such", &key); });
  EXPECT_TRUE(message.starts_with(
      Msg(u8"Ошибка при инициализации с контейнером [no-such] криптопровайдера: 0x")))
      << message;
  EXPECT_EQ(key.Sha1(), "");
  EXPECT_EQ(ThumbprintsOf(StoreLocation::kCurrentUser, "MY"),
            std::vector<std::string>{user_.Thumbprint()});
}

struct ImportCheckCase {
  const char* name;
  std::function<void(CTdx880Crypt& crypt, CTdx880Key* key)> call;
  const char8_t* message;
};

const ImportCheckCase kImportChecks[] = {
    {"EmptyChain", [](CTdx880Crypt& crypt, CTdx880Key*) { crypt.ImportP7BChain(""); },
     u8"Передан пустой аргумент: P7B-content"},
    {"EmptyOpponentBody",
     [](CTdx880Crypt& crypt, CTdx880Key* key) { crypt.ImportOpponentCertificate("", key); },
     u8"Передан пустой аргумент: certificateBody"},
    {"OpponentWithoutKey",
     [](CTdx880Crypt& crypt, CTdx880Key*) { crypt.ImportOpponentCertificate("x", nullptr); },
     u8"Передан пустой аргумент: pKey"},
    {"EmptyPrivateBody",
     [](CTdx880Crypt& crypt, CTdx880Key* key) { crypt.ImportPrivateCertificate("", "c", key); },
     u8"Передан пустой аргумент: certificateBody"},
    {"PrivateWithoutContainer",
     [](CTdx880Crypt& crypt, CTdx880Key* key) { crypt.ImportPrivateCertificate("x", "", key); },
     u8"Передан пустой аргумент: ContainerName"},
    {"PrivateWithoutKey",
     [](CTdx880Crypt& crypt, CTdx880Key*) { crypt.ImportPrivateCertificate("x", "c", nullptr); },
     u8"Передан пустой аргумент: pKey"},
};

class CryptEngineImportCheck : public CryptEngineTest,
                               public ::testing::WithParamInterface<ImportCheckCase> {};

TEST_P(CryptEngineImportCheck, FailsWithTheEmptyArgumentMessageAndWritesNothing) {
  ASSERT_TRUE(crypt_.Init(true));
  CTdx880Key key;
  EXPECT_EQ(MessageOf([&] { GetParam().call(crypt_, &key); }), Msg(GetParam().message));
  EXPECT_FALSE(std::filesystem::exists(Home() / "user" / "stores"));
}

INSTANTIATE_TEST_SUITE_P(Checks, CryptEngineImportCheck, ::testing::ValuesIn(kImportChecks),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CryptEngineTest, ImportOfBytesThatAreNoCertificateFailsWithTheImportMessage) {
  ASSERT_TRUE(crypt_.Init(true));
  CTdx880Key key;
  const std::string message =
      MessageOf([&] { crypt_.ImportOpponentCertificate("not a certificate!", &key); });
  EXPECT_TRUE(message.starts_with(Msg(u8"Ошибка при импорте сертификата: 0x8009310B"))) << message;
  EXPECT_TRUE(ThumbprintsOf(StoreLocation::kCurrentUser, "addressbook").empty());
}

}  // namespace
}  // namespace lyr::crypt
