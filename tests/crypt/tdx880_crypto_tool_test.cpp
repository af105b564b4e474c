// CTdx880CryptoTool over CCryptoAPI20Tool: encryption, certificates by thumbprint, signers, the
// worker's argument checks, signature checks (validity judged at the checking time), two threads.
#include "crypt/tdx880_crypto_tool.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "crypt/crypt_error.h"
#include "crypt/crypt_test.h"
#include "crypt/crypto_api20_tool.h"
#include "crypt/koral_certificate.h"
#include "crypt/platform/pki_builder.h"
#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_key.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "support/expect_raises.h"
#include "support/pki.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::Content;
using test::ExpectRaises;
using test::MessageOf;
using test::PkiParty;
using test::SharedPki;
using test_util::Coded;
using test_util::CodedOf;

// The sandbox with the test PKI's user as a personal key ("MY" bound to a container) and as a
// correspondent ("addressbook") at a location.
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

TEST_F(CryptoToolTest, CertificateBodyBySha1LooksInMyOrInTheAddressBook) {
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
}

TEST_F(CryptoToolTest, SignerFromSignatureGivesBodyThumbprintAndNameOrRefuses) {
  InstallPersonal(StoreLocation::kCurrentUser);
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
         t.SetStoreLocation(0);
         t.LoadStore(store_code::kMy, &list);
       },
       u8"Неизвестное хранилище"},
      {[&](CCryptoAPI20Tool& t) { t.LoadStore(0, &list); }, u8"Неизвестное имя хранилища"},
      {[](CCryptoAPI20Tool& t) { t.LoadStore(store_code::kMy, nullptr); },
       u8"Передан пустой аргумент: certArray"},
      {[](CCryptoAPI20Tool& t) { (void)t.GetSubjectCN(nullptr); },
       u8"Передан пустой аргумент: certcontext"},
      {[](CCryptoAPI20Tool& t) { (void)t.GetSha1(nullptr); },
       u8"Передан пустой аргумент: certcontext"},
      {[](CCryptoAPI20Tool& t) { t.VerifySignature(true, "", "s", false, false, 0, nullptr); },
       u8"Передан пустой аргумент: content"}};
  for (const auto& [call, message] : checks) {
    CCryptoAPI20Tool tool;
    ExpectRaises([&] { call(tool); }, message);
  }
}

// ---- signature checks ----

// A root and a user it issued without access or CRL extensions; the root's current CRL (empty).
struct CheckPki {
  static PkiParty Issue(const char* subject, const char* serial, int64_t from, int64_t to,
                        const PkiParty* issuer) {
    CertificateSpec fields;
    fields.serial_hex = serial;
    fields.subject = ParseDistinguishedName(subject);
    fields.not_before = from;
    fields.not_after = to;
    fields.ca = issuer == nullptr;
    fields.key_usage = issuer == nullptr ? key_usage::kCa : key_usage::kEndEntity;
    const PrivateKey key = PrivateKey::Generate();
    return {key, issuer == nullptr
                     ? IssueSelfSigned(fields, key)
                     : IssueCertificate(fields, key, issuer->certificate, issuer->key)};
  }

  int64_t now = std::time(nullptr);
  PkiParty root = Issue("CN=Check Root", "01", now - test::kDay, now + 3650 * test::kDay, nullptr);
  PkiParty user = Issue("CN=Check User", "0A11", now - test::kDay, now + 365 * test::kDay, &root);
  Crl root_crl = IssueCrl(CrlSpec{now - test::kDay, now + 30 * test::kDay, {}, 1, true},
                          root.certificate, root.key);
};

const CheckPki& Pki() {
  static const CheckPki pki;
  return pki;
}

class SignatureCheckTest : public test::PkiSandbox {
 protected:
  // The root trusted, its current CRL in "CA" (with_crl), and the user's certificate in "MY"
  // bound to a container holding its key.
  void Install(StoreLocation location, bool with_crl = true) {
    test::AddToStore(pki_.root.certificate, "ROOT", location);
    if (with_crl) {
      test::AddCrlToStore(pki_.root_crl, "CA", location);
    }
    test::InstallSigner(pki_.user, "user-key", location);
  }

  const CheckPki& pki_ = Pki();
  const Certificate& user_ = pki_.user.certificate;
  CTdx880CryptoTool tool_;
};

TEST_F(SignatureCheckTest, CheckSignExListsTheCertificateAndTheKeyAndNeedsTheIssuersCrl) {
  Install(StoreLocation::kCurrentUser, false);
  const std::string signature = tool_.Sign(true, "listed", user_.Thumbprint());
  rtl::CStrArray signers;
  test::ExpectRaises([&] { tool_.CheckSignEx(true, "c", false, false, nullptr, "s"); },
                     u8"Передан пустой аргумент: pSignerList");
  const Coded failure =
      CodedOf([&] { tool_.CheckSignEx(true, "listed", true, false, &signers, signature); });
  EXPECT_EQ(failure.code, 34);
  EXPECT_EQ(failure.message, Msg(u8"Список отозванных сертификатов для [Check Root] не найден"));
  EXPECT_EQ(signers.Count(), 0);
  signers.Add("stale");
  tool_.CheckSignEx(true, "listed", false, false, &signers, signature);
  ASSERT_EQ(signers.Count(), 2);
  EXPECT_EQ(signers.Strings(0), user_.Thumbprint());
  EXPECT_EQ(signers.Strings(1), user_.Thumbprint());
  const CKORALCertificate* certificate = signers.Object<CKORALCertificate>(0);
  ASSERT_TRUE(certificate != nullptr && certificate->Context() != nullptr);
  EXPECT_EQ(certificate->Context()->Der(), user_.Der());
  EXPECT_EQ(certificate->Provider(), nullptr) << "the verification's provider is gone";
  const CTdx880Key* key = signers.Object<CTdx880Key>(1);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Sha1(), user_.Thumbprint());
  EXPECT_EQ(key->CertificateBody(), user_.Der());
  EXPECT_EQ(key->SubjectCN(), "");
}

TEST_F(SignatureCheckTest, OperationsRunFromTwoThreadsAtOnce) {
  Install(StoreLocation::kCurrentUser);
  EXPECT_TRUE(CTdx880Crypt().CheckSignature("text", tool_.Sign(true, "text", user_.Thumbprint())))
      << "before Init the current user's stores";
  test::AddToStore(user_, "addressbook");
  std::vector<std::string> failures(2);
  auto work = [&](size_t thread) {
    try {
      const CTdx880CryptoTool tool;
      for (int round = 0; round < 10; ++round) {
        const std::string content = Content(1000 + static_cast<size_t>(round) * 97,
                                            static_cast<unsigned>(thread * 100 + round));
        const std::string signature = tool.Sign(true, content, user_.Thumbprint());
        rtl::CStrArray signers;
        tool.CheckSignEx(true, content, true, false, &signers, signature);
        const Coded tampered = CodedOf([&] { tool.CheckSign(true, content + "!", signature); });
        const std::string envelope = round % 2 == 0
                                         ? tool.EncryptBySha1(true, content, user_.Thumbprint())
                                         : tool.EncryptByCertificate(content, user_.Der());
        if (signers.Count() != 2 || !tool.CheckSign(true, content, signature) ||
            tampered.code != 22 || tool.Decrypt(true, envelope) != content) {
          failures[thread] = "round " + std::to_string(round) + ": " + tampered.message;
        }
      }
    } catch (const rtl::Exception& error) {
      failures[thread] = error.Message();
    }
  };
  std::thread first(work, 0);
  std::thread second(work, 1);
  first.join();
  second.join();
  EXPECT_EQ(failures, (std::vector<std::string>{"", ""}));
}

}  // namespace
}  // namespace lyr::crypt
