// CTdx880Document verification end to end: a saved item's signatures checked over the plain
// content with the signer's chain and the issuers' revocation lists from the local stores, the
// signer list, changed content and a revoked signer (the test PKI's chain scenario).
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "crypt/crypto_api20_utils.h"
#include "crypt/tdx880_key.h"
#include "package/item_fixture.h"
#include "package/tdx880_signature.h"

namespace lyr::package::test {
namespace {

using crypt::CTdx880Key;

// The scenario's root trusted, its intermediate in "CA" with both revocation lists.
class DocumentChainCheck : public ItemTest {
 protected:
  void SetUp() override {
    ItemTest::SetUp();
    scenario_.emplace(Home() / "scenario");
    scenario_->TrustRoot();
    scenario_->AddIntermediateToCa();
    lyr::test::AddCrlToStore(scenario_->root_crl);
    lyr::test::AddCrlToStore(scenario_->inter_crl);
  }

  // A saved item of type 01 signed by party, whose key the current user holds.
  std::shared_ptr<CTdx880Document> SignedItem(const lyr::test::PkiParty& party) {
    lyr::test::InstallSigner(party, "signer");
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
}

TEST_F(DocumentChainCheck, ARevokedSignerFails) {
  const auto item = SignedItem(scenario_->revoked);
  const std::string error = MessageOf([&] { item->CheckSignEx(false, true); });
  EXPECT_TRUE(error.starts_with(Msg(u8"На момент подписания ["))) << error;
  EXPECT_TRUE(item->CheckSignEx(false, false));  // without the revocation check it holds
}

}  // namespace
}  // namespace lyr::package::test
