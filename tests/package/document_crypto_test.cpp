// CTdx880Document with real GOST cryptography: signing (also by openssl), encryption, refusals,
// signatures loaded and removed, no GOST provider, the chain and revocation lists of the stores.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "crypt/crypto_api20_utils.h"
#include "crypt/tdx880_key.h"
#include "package/item_fixture.h"
#include "package/tdx880_document.h"
#include "package/tdx880_signature.h"
#include "rtl/whole_file.h"

namespace lyr::package::test {
namespace {

using crypt::CTdx880Key;

// The test PKI's user as the personal key of the current user.
class CryptoItemTest : public ItemTest {
 protected:
  void SetUp() override {
    ItemTest::SetUp();
    InstallUser();
  }
};

// Checks the key record of a signature against the user's certificate.
void ExpectUserKey(const CTdx880Key& key, int role) {
  EXPECT_EQ(key.Sha1(), crypt::CCryptoAPI20Utils::GetSha1(SharedPki().user_party.certificate));
  EXPECT_EQ(key.SubjectCN(), "Test User");
  EXPECT_EQ(key.CertificateBody(), SharedPki().user_party.certificate.Der());
  EXPECT_EQ(key.SignRole(), role);
}

TEST_F(CryptoItemTest, SignsThePlainContentAndRecordsTheSignatureInTheEntry) {
  const auto item = NewItem("01", "the declaration");
  ASSERT_TRUE(item->Save());  // compressed now; signing works on the plain bytes
  const CTdx880Key key = UserKey(2);
  ASSERT_TRUE(item->Sign(&key));
  EXPECT_FALSE(item->IsCompressed());
  const auto signature = item->GetSignature(0);
  ExpectUserKey(signature->Key(), 2);
  EXPECT_EQ(EntryAt(0).Signatures().Items(0).Role(), 2);
  EXPECT_EQ(EntryAt(0).Signatures().Items(0).FileName(), signature->FileName());
}

// Each on a new item: the exact message and the signatures left.
TEST_F(CryptoItemTest, SignFailuresGiveTheirMessageAndAddNoSignature) {
  using Act = std::function<void(CTdx880Document&, const CTdx880Key&)>;
  const std::tuple<Act, std::u8string, int> cases[] = {
      {[](auto& d, auto&) { d.Sign(nullptr); }, u8"Передан пустой аргумент: pKey", 0},
      {[](auto& d, auto& k) {
         d.SetContent("");
         d.Sign(&k);
       },
       u8"Передан пустой аргумент: content", 0},
      {[](auto& d, auto& k) {
         d.Encrypt(&k);
         d.Sign(&k);
       },
       u8"Нельзя подписывать зашифрованный документ", 0},
      {[](auto& d, auto& k) {
         CTdx880Key key = k;
         key.SetSha1("ABC");
         d.Sign(&key);
       },
       u8"Длина переменной [sha1 = \"ABC\"] должна быть равной [40]", 0},
      {[](auto& d, auto& k) {
         d.Sign(&k);
         d.Sign(&k);
       },
       u8"Подпись [Test User] уже имеется под этим документом", 1},
      {[](auto& d, auto& k) {
         d.Sign(&k);
         d.Encrypt(&k);
         d.CheckSign();
       },
       u8"Нельзя проверить подпись под зашифрованным документом. Необходимо предварительно его "
       u8"расшифровать",
       1}};
  const CTdx880Key key = UserKey();
  for (int32_t i = 0; i < static_cast<int32_t>(std::size(cases)); ++i) {
    const auto& [act, message, signatures] = cases[i];
    const auto item = NewItem("01", "content");
    EXPECT_EQ(MessageOf([&] { act(*item, key); }), Msg(message));
    EXPECT_EQ(item->GetSignatureCount() + EntryAt(i).Signatures().Count(), 2 * signatures);
  }
}

TEST_F(CryptoItemTest, AddSignTakesTheSignerFromAnOpenSslSignatureAndRecordsTheRole) {
  const auto item = NewItem("01", "signed elsewhere");
  WriteFile("to-sign.bin", "signed elsewhere");
  ASSERT_EQ(OpenSsl("cms -sign -binary -md md_gost94 -outform DER -in to-sign.bin -signer '" +
                    SharedPki().inter.string() + "' -inkey '" + SharedPki().inter_key.string() +
                    "' -out signed.p7s"),
            0);
  const std::string signature = lyr::test::ReadAll(PathOf("signed.p7s"));
  ASSERT_TRUE(item->AddSign(signature, kSubjectTaxAuthority));
  ASSERT_EQ(item->GetSignatureCount(), 1);
  EXPECT_EQ(item->GetSignature(0)->SignatureContent(), signature);
  EXPECT_EQ(item->GetSignature(0)->Key().SubjectCN(), "Test Inter CA");
  EXPECT_EQ(item->GetSignature(0)->Key().SignRole(), kSubjectTaxAuthority);
  EXPECT_EQ(EntryAt(0).Signatures().Items(0).Role(), kSubjectTaxAuthority);
}

TEST_F(CryptoItemTest, LoadTakesTheSignerAndTheRoleOfTheEntryAndRefusesAFileThatIsNoSignature) {
  const auto item = NewItem("01", "reloaded");
  const CTdx880Key key = UserKey(kSubjectDataCentre);
  ASSERT_TRUE(item->Sign(&key));
  ASSERT_TRUE(item->Save());
  const auto loaded = LoadItem(0);
  ASSERT_EQ(loaded->GetSignatureCount(), 1);
  EXPECT_EQ(loaded->GetSignature(0)->SignatureContent(), item->GetSignature(0)->SignatureContent());
  ExpectUserKey(loaded->GetSignature(0)->Key(), kSubjectDataCentre);
  EXPECT_EQ(loaded->Content(), "reloaded");
  rtl::WriteStringToFile(WorkFile(item->GetSignature(0)->FileName()), "garbage");
  CTdx880Document reloaded;
  CTdx880ItemConfig config = ConfigFor(0);
  const std::string error = MessageOf([&] { reloaded.Open(&config); });
  EXPECT_TRUE(error.starts_with(
      Msg(u8"Не удалось извлечь подписанта из подписи. Неверный формат подписи: ")))
      << error;
  EXPECT_FALSE(reloaded.IsDocumentOpened());
}

TEST_F(CryptoItemTest, RemoveAllSignaturesDropsObjectsAndEntriesAndClosesHeldOnes) {
  const auto item = NewItem("01", "content");
  const CTdx880Key key = UserKey();
  ASSERT_TRUE(item->Sign(&key));
  const std::shared_ptr<CTdx880Signature> held = item->GetSignature(0);
  ASSERT_TRUE(item->RemoveAllSignatures());
  EXPECT_EQ(item->GetSignatureCount(), 0);
  EXPECT_EQ(EntryAt(0).Signatures().Count(), 0);
  ExpectRaises([&] { static_cast<void>(held->FileName()); }, Msg(u8"Документ не открыт"));
  ASSERT_TRUE(item->Save());
  EXPECT_EQ(LoadItem(0)->GetSignatureCount(), 0);
  ASSERT_TRUE(item->Sign(&key));  // the same key may sign again
}

// A type marked for encryption is stored as an envelope; loaded back, its raw content is empty
// until decrypted.
TEST_F(CryptoItemTest, ATypeMarkedForEncryptionIsStoredAsAnEnvelopeAndDecryptsWhenLoaded) {
  const auto item = NewItem("01", "secret declaration");
  const CTdx880Key key = UserKey();
  ASSERT_TRUE(item->Sign(&key));
  ASSERT_TRUE(item->EncryptIfRequired(&key));
  EXPECT_TRUE(item->IsEncrypted() && item->IsCompressed());
  EXPECT_EQ(item->RawContent(), "secret declaration");
  ASSERT_TRUE(item->Save());
  EXPECT_NE(EntryAt(0).GetXML().find(Msg(u8"сжат=\"true\" зашифрован=\"true\"")),
            std::string::npos);
  const auto loaded = LoadItem(0);
  EXPECT_TRUE(loaded->IsEncrypted());
  EXPECT_EQ(loaded->RawContent(), "");
  ASSERT_TRUE(loaded->DecryptIfEncrypted());
  EXPECT_FALSE(loaded->IsEncrypted() || loaded->IsCompressed());
  EXPECT_EQ(loaded->RawContent(), "secret declaration");
}

TEST_F(CryptoItemTest, WithoutTheProviderEachOperationFailsWithItsName) {
  HideEngine();
  const auto item = NewItem("01", "content");
  ASSERT_FALSE(item->CryptographyAvailable());
  const CTdx880Key key = UserKey();
  const std::pair<std::function<void()>, std::u8string> operations[] = {
      {[&] { item->Sign(&key); }, u8"подписание"},
      {[&] { item->CheckSign(); }, u8"Проверка подписи"},
      {[&] { item->CheckSignEx(false, false); }, u8"Проверка подписи"},
      {[&] { item->EncryptIfRequired(&key); }, u8"шифрование"},
      {[&] { item->Encrypt(&key); }, u8"Шифрование"},
      {[&] { item->DecryptIfEncrypted(); }, u8"расшифрование"},
      {[&] { item->Decrypt(); }, u8"Расшифрование"}};
  for (const auto& [operation, name] : operations) {
    ExpectRaises(operation,
                 Msg(u8"Не установлен СКЗИ КриптоПро, который требуется для операции: " + name));
  }
}

// The scenario's root trusted, its intermediate in "CA" with both revocation lists.
class DocumentChainCheck : public ItemTest {
 protected:
  void SetUp() override {
    ItemTest::SetUp();
    scenario_.emplace(Home() / "scenario");
    scenario_->TrustAll();
  }

  // A saved item of type 01 signed by party, whose key the current user holds.
  std::shared_ptr<CTdx880Document> SignedItem(const lyr::test::PkiParty& party) {
    lyr::test::InstallSigner(party, "signer" + std::to_string(description_.Documents().Count()));
    const auto item = NewItem("01", "a signed declaration");
    CTdx880Key key;
    crypt::FillKeyFromCertificate(key, party.certificate);
    EXPECT_TRUE(item->Sign(&key));
    EXPECT_TRUE(item->Save());
    return item;
  }

  std::optional<lyr::test::ChainScenario> scenario_;
};

TEST_F(DocumentChainCheck, CheckSignAfterSaveVerifiesThePlainContentAndReportsTheSigner) {
  const auto item = SignedItem(scenario_->user);
  ASSERT_TRUE(item->IsCompressed());
  ASSERT_TRUE(item->CheckSign());
  EXPECT_TRUE(item->IsCompressed());  // verified over an unpacked copy
  const std::string sha1 = crypt::CCryptoAPI20Utils::GetSha1(scenario_->user.certificate);
  rtl::CStrArray& signers = item->GetSignature(0)->Signers();
  ASSERT_EQ(signers.Count(), 2);
  EXPECT_EQ(signers.Strings(0) + signers.Strings(1), sha1 + sha1);
  ASSERT_NE(signers.Object<CTdx880Key>(1), nullptr);
  EXPECT_EQ(signers.Object<CTdx880Key>(1)->Sha1(), sha1);
  // A loaded item verifies as well, with and without the revocation check.
  const auto loaded = LoadItem(0);
  EXPECT_TRUE(loaded->CheckSignEx(false, true));
  EXPECT_TRUE(loaded->CheckSignEx(false, false));
  // Changed content fails the check.
  item->SetContent("another declaration");
  const std::string error = MessageOf([&] { item->CheckSign(); });
  EXPECT_TRUE(error.starts_with(Msg(u8"Ошибка при проверке подписи ["))) << error;
  // A revoked signer fails only the check with revocation.
  const auto revoked = SignedItem(scenario_->revoked);
  EXPECT_TRUE(MessageOf([&] {
                revoked->CheckSignEx(false, true);
              }).starts_with(Msg(u8"На момент подписания [")));
  EXPECT_TRUE(revoked->CheckSignEx(false, false));
}

}  // namespace
}  // namespace lyr::package::test
