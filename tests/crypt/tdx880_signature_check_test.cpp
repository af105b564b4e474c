// Checking document signatures through CTdx880CryptoTool and CTdx880Crypt: sign -> check at both
// locations, CheckSignEx's signer list, openssl cms signatures, revocation and validity judged at
// the checking time, and checks from two threads at once.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "crypt/crypt_test.h"
#include "crypt/koral_certificate.h"
#include "crypt/platform/pki_builder.h"
#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_crypto_tool.h"
#include "crypt/tdx880_key.h"
#include "rtl/text.h"
#include "support/expect_raises.h"
#include "support/pki.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::Content;
using test::PkiParty;
using test_util::Coded;
using test_util::CodedOf;

// A root and users it issued without access or CRL extensions: "Check User" (serial 0A11) and
// "Check Old User", valid in January 2025 only; the root's current CRL (empty).
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
  PkiParty old = Issue("CN=Check Old User", "0A12", 1735689600, 1738368000, &root);
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

class SignatureCheckAtLocation : public SignatureCheckTest,
                                 public ::testing::WithParamInterface<bool> {};

INSTANTIATE_TEST_SUITE_P(Locations, SignatureCheckAtLocation, ::testing::Bool(),
                         [](const auto& info) {
                           return std::string(info.param ? "CurrentUser" : "LocalMachine");
                         });

TEST_P(SignatureCheckAtLocation, ChecksWhatItSignedWhereTheRootIsTrusted) {
  const bool here = GetParam();
  Install(here ? StoreLocation::kCurrentUser : StoreLocation::kLocalMachine);
  const std::string content = Content(100000);
  const std::string signature = tool_.Sign(here, content, user_.Thumbprint());
  EXPECT_TRUE(tool_.CheckSign(here, content, signature));
  const Coded failure = CodedOf([&] { tool_.CheckSign(!here, content, signature); });
  EXPECT_EQ(failure.code, 35);
  EXPECT_EQ(failure.message, Msg(u8"Не найден сертификат УЦ [Check Root]"));
  CTdx880Crypt crypt;
  ASSERT_TRUE(crypt.Init(here));
  EXPECT_TRUE(crypt.CheckSignature(content, signature));
  ASSERT_TRUE(crypt.Init(!here));
  EXPECT_EQ(CodedOf([&] { crypt.CheckSignature(content, signature); }).code, 35);
}

TEST_F(SignatureCheckTest, CryptEngineBeforeInitChecksAtTheCurrentUser) {
  Install(StoreLocation::kCurrentUser);
  EXPECT_TRUE(CTdx880Crypt().CheckSignature("text", tool_.Sign(true, "text", user_.Thumbprint())));
}

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

TEST_F(SignatureCheckTest, OpenSslSignatureVerifiesThroughTheTool) {
  Install(StoreLocation::kCurrentUser);
  const std::string content = Content(30000);
  WriteFile("content.bin", content);
  WriteFile("user.pem", CertificateToPem(user_));
  WriteFile("user.key", pki_.user.key.ToPkcs8Pem());
  ASSERT_EQ(OpenSsl("cms -sign -md md_gost94 -binary -nosmimecap -outform DER -in content.bin "
                    "-signer user.pem -inkey user.key -out osl.p7s"),
            0);
  const std::string signature = test::ReadAll(PathOf("osl.p7s"));
  EXPECT_TRUE(tool_.CheckSign(true, content, signature));
  rtl::CStrArray signers;
  tool_.CheckSignEx(true, content, true, false, &signers, signature);
  ASSERT_EQ(signers.Count(), 2);
  EXPECT_EQ(CTdx880CryptoTool::SignerFromSignature(signature).subject_cn, "Check User");
}

TEST_F(SignatureCheckTest, SignatureOfAnExpiredCertificateFailsWithCode21AtTheCheckingTime) {
  Install(StoreLocation::kCurrentUser);
  const Certificate& old = pki_.old.certificate;
  test::InstallSigner(pki_.old, "old-key");
  // Signing does not look at the validity; every check judges it now.
  const std::string signature = tool_.Sign(true, "late", old.Thumbprint());
  const Coded failure = CodedOf([&] { tool_.CheckSign(true, "late", signature); });
  EXPECT_EQ(failure.code, 21);
  EXPECT_TRUE(failure.message.starts_with(Msg(u8"Дата подписи [")) &&
              failure.message.find(Msg(u8"] вне срока действия сертификата [")) !=
                  std::string::npos)
      << failure.message;
  // Without the revocation check the dates of the signer are not judged.
  rtl::CStrArray signers;
  tool_.CheckSignEx(true, "late", false, false, &signers, signature);
  EXPECT_EQ(signers.Count(), 2);
}

TEST_F(SignatureCheckTest, SignAndCheckFromTwoThreadsAtOnce) {
  Install(StoreLocation::kCurrentUser);
  std::vector<std::string> failures(2);
  auto work = [&](size_t thread) {
    try {
      const CTdx880CryptoTool tool;
      for (int round = 0; round < 8; ++round) {
        const std::string content =
            Content(500 + static_cast<size_t>(round), static_cast<unsigned>(thread * 50 + round));
        const std::string signature = tool.Sign(true, content, user_.Thumbprint());
        rtl::CStrArray signers;
        tool.CheckSignEx(true, content, true, false, &signers, signature);
        const Coded tampered = CodedOf([&] { tool.CheckSign(true, content + "!", signature); });
        if (signers.Count() != 2 || !tool.CheckSign(true, content, signature) ||
            tampered.code != 22) {
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
