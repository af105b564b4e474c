// CTdx880CryptoTool over CCryptoAPI20Tool: encryption, certificates by thumbprint, signers and the
// worker's argument checks (signature checks: chain_builder_test).
#include "crypt/tdx880_crypto_tool.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "crypt/crypt_test.h"
#include "crypt/crypto_api20_tool.h"
#include "rtl/format.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::Content;
using test::ExpectRaises;
using test::MessageOf;
using test::SharedPki;

// The test PKI's user as a personal key ("MY") and as a correspondent ("addressbook").
class CryptoToolTest : public test::PkiSandbox {
 protected:
  static void InstallPersonal(StoreLocation location) {
    test::InstallSigner(SharedPki().user_party, "user-key", location);
  }
  void InstallCorrespondent(StoreLocation location) const {
    test::AddToStore(user_, "addressbook", location);
  }

  const Certificate& user_ = SharedPki().user_party.certificate;
  CTdx880CryptoTool tool_;
};

class CryptoToolAtLocation : public CryptoToolTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool Here() const { return GetParam(); }
  StoreLocation Location() const {
    return GetParam() ? StoreLocation::kCurrentUser : StoreLocation::kLocalMachine;
  }
};

INSTANTIATE_TEST_SUITE_P(Locations, CryptoToolAtLocation, ::testing::Bool(), [](const auto& info) {
  return std::string(info.param ? "CurrentUser" : "LocalMachine");
});

TEST_P(CryptoToolAtLocation, EncryptsByThumbprintOfItsAddressBookAndDecrypts) {
  InstallPersonal(Location());
  const std::string not_found =
      rtl::Format(Msg(u8"Сертификат для шифрования с отпечатком [%s] не найден в храниилище "
                      u8"\"Другие пользователи\""),
                  user_.Thumbprint());
  ExpectRaises([&] { (void)tool_.EncryptBySha1(Here(), "x", user_.Thumbprint()); }, not_found);
  InstallCorrespondent(Location());
  ExpectRaises([&] { (void)tool_.EncryptBySha1(!Here(), "x", user_.Thumbprint()); }, not_found);
  const std::string content = Content(70000);
  const std::string envelope = tool_.EncryptBySha1(Here(), content, user_.Thumbprint());
  EXPECT_EQ(tool_.Decrypt(Here(), envelope), content);
  ExpectRaises(
      [&] { (void)tool_.Decrypt(!Here(), envelope); },
      Msg(u8"Ошибка при расшифровании (1): ") + CryptErrorCodeText(code::kCryptENoDecryptCert));
}

TEST_F(CryptoToolTest, CertificateBodyBySha1LooksInMyOrInTheAddressBookAndSignersAreRead) {
  InstallPersonal(StoreLocation::kCurrentUser);
  const std::string thumbprint = user_.Thumbprint();
  const std::string not_found = Msg(u8"Сертификат по отпечатку [%s] не найден в хранилище [%s]");
  EXPECT_EQ(tool_.GetCertificateBodyBySha1(true, thumbprint, true), user_.Der());
  ExpectRaises([&] { (void)tool_.GetCertificateBodyBySha1(true, thumbprint, false); },
               rtl::Format(not_found, thumbprint, "addressbook"));
  InstallCorrespondent(StoreLocation::kCurrentUser);
  EXPECT_EQ(tool_.GetCertificateBodyBySha1(true, thumbprint, false), user_.Der());
  ExpectRaises([&] { (void)tool_.GetCertificateBodyBySha1(false, thumbprint, true); },
               rtl::Format(not_found, thumbprint, "MY"));
  ExpectRaises([&] { (void)tool_.GetCertificateBodyBySha1(true, "", true); },
               u8"Передан пустой аргумент: sSha1");
  const SignatureSigner signer =
      CTdx880CryptoTool::SignerFromSignature(tool_.Sign(true, "signed", user_.Thumbprint()));
  EXPECT_EQ(signer.certificate_body, user_.Der());
  EXPECT_EQ(signer.sha1, user_.Thumbprint());
  EXPECT_EQ(signer.subject_cn, "Test User");
  const std::string nocerts = test_util::OpenSslSignature(Home(), "text", "-nocerts");
  ExpectRaises([&] { (void)CTdx880CryptoTool::SignerFromSignature(nocerts); },
               u8"Подпись не содержит сертификата подписанта");
  EXPECT_TRUE(MessageOf([&] { (void)CTdx880CryptoTool::SignerFromSignature("garbage"); })
                  .starts_with(Msg(u8"Не удалось извлечь подписанта из подписи. Неверный формат "
                                   u8"подписи: 0x")));
}

TEST_F(CryptoToolTest, WithoutTheGostEngineThereIsNoWorker) {
  HideEngine();
  EXPECT_TRUE(MessageOf([] { const CCryptoAPI20Tool tool; })
                  .starts_with(Msg(u8"Ошибка при инициализации криптопровайдера: ") +
                               CryptErrorCodeText(code::kNteProviderDllFail)));
}

TEST_F(CryptoToolTest, WorkerChecksItsArgumentsWithTheUniformMessages) {
  using Call = std::function<void(CCryptoAPI20Tool&)>;
  rtl::CStrArray list;
  const std::vector<std::pair<Call, const char8_t*>> checks{
      {[&](CCryptoAPI20Tool& t) {
         t.SetStoreLocation(static_cast<StoreLocation>(0));
         t.LoadStore(StoreCode::kMy, &list);
       },
       u8"Неизвестное хранилище"},
      {[&](CCryptoAPI20Tool& t) { t.LoadStore(static_cast<StoreCode>(0), &list); },
       u8"Неизвестное имя хранилища"},
      {[](CCryptoAPI20Tool& t) { t.LoadStore(StoreCode::kMy, nullptr); },
       u8"Передан пустой аргумент: certArray"},
      {[](CCryptoAPI20Tool& t) { (void)t.GetSubjectCN(nullptr); },
       u8"Передан пустой аргумент: certcontext"},
      {[](CCryptoAPI20Tool& t) { (void)t.GetSha1(nullptr); },
       u8"Передан пустой аргумент: certcontext"},
      {[](CCryptoAPI20Tool&) {
         CTdx880CryptoTool().VerifySignature(true, "", "s", false, false, 0, nullptr);
       },
       u8"Передан пустой аргумент: content"}};
  for (const auto& [call, message] : checks) {
    CCryptoAPI20Tool tool;
    ExpectRaises([&] { call(tool); }, message);
  }
}

}  // namespace
}  // namespace lyr::crypt
