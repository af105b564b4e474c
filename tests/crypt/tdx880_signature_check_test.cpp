// Checking document signatures through CTdx880CryptoTool and CTdx880Crypt: sign -> check round
// trips at both locations, CheckSignEx's signer list, openssl cms signatures, the coded failures
// of signature, chain and revocation, and checks from two threads at once.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "crypt/crypto_api20_exception.h"
#include "crypt/koral_certificate.h"
#include "crypt/platform/pki_builder.h"
#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_crypto_tool.h"
#include "crypt/tdx880_key.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/pki.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::Content;
using test::PkiParty;

struct Coded {
  int code = -1;
  std::string message;
};

template <typename Body>
Coded CodedFailureOf(Body&& body) {
  try {
    body();
  } catch (const CCryptoAPI20Exception& error) {
    return {error.Code(), error.Message()};
  } catch (const rtl::Exception& error) {
    return {0, error.Message()};
  }
  return {-1, "(no error)"};
}

// A root and users it issued without access or CRL extensions: "Check User" (serial 0A11) and
// "Check Old User", valid in January 2025 only; the root's CRLs, one empty, one revoking 0A11 on
// 2025-01-01.
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
  static Crl CrlOf(const PkiParty& root, std::vector<CrlSpec::Entry> revoked) {
    CrlSpec fields;
    fields.this_update = std::time(nullptr) - test::kDay;
    fields.next_update = std::time(nullptr) + 30 * test::kDay;
    fields.revoked = std::move(revoked);
    return IssueCrl(fields, root.certificate, root.key);
  }

  int64_t now = std::time(nullptr);
  PkiParty root =
      Issue("CN=Check Root,O=Lyr", "01", now - test::kDay, now + 3650 * test::kDay, nullptr);
  PkiParty user =
      Issue("CN=Check User,O=Lyr", "0A11", now - test::kDay, now + 365 * test::kDay, &root);
  PkiParty old = Issue("CN=Check Old User,O=Lyr", "0A12", 1735689600, 1738368000, &root);
  Crl root_crl = CrlOf(root, {});
  Crl revoking_crl = CrlOf(root, {{"0A11", 1735689600}});
};

const CheckPki& Pki() {
  static const CheckPki pki;
  return pki;
}

struct LocationCase {
  const char* name;
  bool user_storage;
  StoreLocation location;
};

const LocationCase kLocations[] = {{"CurrentUser", true, StoreLocation::kCurrentUser},
                                   {"LocalMachine", false, StoreLocation::kLocalMachine}};

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

  // A detached signature by the openssl command line with the user's key.
  std::string OpenSslSignature(const std::string& content, const std::string& extra = {}) {
    WriteFile("osl-content.bin", content);
    WriteFile("osl-user.pem", CertificateToPem(user_));
    WriteFile("osl-user.key", pki_.user.key.ToPkcs8Pem());
    EXPECT_EQ(OpenSsl("cms -sign -md md_gost94 -binary -nosmimecap -outform DER -in "
                      "osl-content.bin -signer osl-user.pem -inkey osl-user.key -out osl.p7s " +
                      extra),
              0);
    return test::ReadAll(PathOf("osl.p7s"));
  }

  const CheckPki& pki_ = Pki();
  const Certificate& user_ = pki_.user.certificate;
  CTdx880CryptoTool tool_;
};

class SignatureCheckAtLocation : public SignatureCheckTest,
                                 public ::testing::WithParamInterface<LocationCase> {};

INSTANTIATE_TEST_SUITE_P(Locations, SignatureCheckAtLocation, ::testing::ValuesIn(kLocations),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- round trips ------------------------------------------------------------------------------

TEST_P(SignatureCheckAtLocation, ChecksWhatItSignedWithRevocation) {
  Install(GetParam().location);
  const std::string content = Content(100000);
  const std::string signature = tool_.Sign(GetParam().user_storage, content, user_.Thumbprint());
  EXPECT_TRUE(tool_.CheckSign(GetParam().user_storage, content, signature));
}

TEST_P(SignatureCheckAtLocation, OtherLocationDoesNotTrustTheRoot) {
  Install(GetParam().location);
  const std::string signature = tool_.Sign(GetParam().user_storage, "c", user_.Thumbprint());
  rtl::CStrArray signers;
  const Coded failure = CodedFailureOf(
      [&] { tool_.CheckSignEx(!GetParam().user_storage, "c", false, false, &signers, signature); });
  EXPECT_EQ(failure.code, 35);
  EXPECT_EQ(failure.message, Msg(u8"Не найден сертификат УЦ [Check Root]"));
}

TEST_P(SignatureCheckAtLocation, CryptEngineChecksAtItsLocation) {
  Install(GetParam().location);
  const std::string content = Content(5000);
  const std::string signature = tool_.Sign(GetParam().user_storage, content, user_.Thumbprint());
  CTdx880Crypt crypt;
  ASSERT_TRUE(crypt.Init(GetParam().user_storage));
  EXPECT_TRUE(crypt.CheckSignature(content, signature));
  ASSERT_TRUE(crypt.Init(!GetParam().user_storage));
  EXPECT_EQ(CodedFailureOf([&] { crypt.CheckSignature(content, signature); }).code, 35);
}

TEST_F(SignatureCheckTest, CryptEngineBeforeInitChecksAtTheCurrentUser) {
  Install(StoreLocation::kCurrentUser);
  const std::string signature = tool_.Sign(true, "text", user_.Thumbprint());
  const CTdx880Crypt crypt;
  EXPECT_TRUE(crypt.CheckSignature("text", signature));
}

// ---- CheckSignEx ------------------------------------------------------------------------------

TEST_F(SignatureCheckTest, CheckSignExLeavesTheCertificateAndTheKeyInTheList) {
  Install(StoreLocation::kCurrentUser, false);
  const std::string signature = tool_.Sign(true, "listed", user_.Thumbprint());
  rtl::CStrArray signers;
  signers.Add("stale");
  tool_.CheckSignEx(true, "listed", false, false, &signers, signature);
  ASSERT_EQ(signers.Count(), 2);
  const std::string thumbprint = user_.Thumbprint();
  EXPECT_EQ(signers.Strings(0), thumbprint);
  EXPECT_EQ(signers.Strings(1), thumbprint);
  const CKORALCertificate* certificate = signers.Object<CKORALCertificate>(0);
  ASSERT_NE(certificate, nullptr);
  ASSERT_NE(certificate->Context(), nullptr);
  EXPECT_EQ(certificate->Context()->Der(), user_.Der());
  EXPECT_EQ(certificate->GetSha1(), user_.Thumbprint());
  EXPECT_EQ(certificate->Provider(), nullptr) << "the verification's provider is gone";
  const CTdx880Key* key = signers.Object<CTdx880Key>(1);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Sha1(), thumbprint);
  EXPECT_EQ(key->CertificateBody(), user_.Der());
  EXPECT_EQ(key->SubjectCN(), "");
  EXPECT_EQ(key->SignRole(), sign_role::kAbonent);
}

TEST_F(SignatureCheckTest, CheckSignExWithoutListIsRefused) {
  EXPECT_EQ(
      CodedFailureOf([&] { tool_.CheckSignEx(true, "c", false, false, nullptr, "s"); }).message,
      Msg(u8"Передан пустой аргумент: pSignerList"));
}

TEST_F(SignatureCheckTest, CheckSignExWithRevocationNeedsTheIssuersCrl) {
  Install(StoreLocation::kCurrentUser, false);
  const std::string signature = tool_.Sign(true, "crl", user_.Thumbprint());
  rtl::CStrArray signers;
  const Coded failure =
      CodedFailureOf([&] { tool_.CheckSignEx(true, "crl", true, false, &signers, signature); });
  EXPECT_EQ(failure.code, 34);
  EXPECT_EQ(failure.message, Msg(u8"Список отозванных сертификатов для [Check Root] не найден"));
  EXPECT_EQ(signers.Count(), 0);
  // Without the revocation flag the same signature holds.
  tool_.CheckSignEx(true, "crl", false, false, &signers, signature);
  EXPECT_EQ(signers.Count(), 2);
}

// ---- openssl's signatures -------------------------------------------------------------------

TEST_F(SignatureCheckTest, OpenSslSignatureVerifiesThroughTheTool) {
  Install(StoreLocation::kCurrentUser);
  const std::string content = Content(30000);
  const std::string signature = OpenSslSignature(content);
  EXPECT_TRUE(tool_.CheckSign(true, content, signature));
  rtl::CStrArray signers;
  tool_.CheckSignEx(true, content, true, false, &signers, signature);
  ASSERT_EQ(signers.Count(), 2);
  EXPECT_EQ(signers.Object<CTdx880Key>(1)->Sha1(), user_.Thumbprint());
  const SignatureSigner signer = CTdx880CryptoTool::SignerFromSignature(signature);
  EXPECT_EQ(signer.subject_cn, "Check User");
  EXPECT_EQ(signer.certificate_body, user_.Der());
}

TEST_F(SignatureCheckTest, OpenSslSignatureOverOtherBytesFailsWithCode22) {
  Install(StoreLocation::kCurrentUser);
  const std::string signature = OpenSslSignature("original");
  const Coded failure = CodedFailureOf([&] { tool_.CheckSign(true, "originaL", signature); });
  EXPECT_EQ(failure.code, 22);
  EXPECT_TRUE(failure.message.starts_with(Msg(u8"Ошибка при проверке подписи [0x80090006")))
      << failure.message;
}

TEST_F(SignatureCheckTest, OpenSslSignatureWithoutCertificatesFailsWithCode32) {
  Install(StoreLocation::kCurrentUser);
  const std::string signature = OpenSslSignature("bare", "-nocerts");
  const Coded failure = CodedFailureOf([&] { tool_.CheckSign(true, "bare", signature); });
  EXPECT_EQ(failure.code, 32);
  EXPECT_EQ(failure.message,
            Msg(u8"Ошибка при проверке подписи: невозможно выделить сертификат из подписи"));
}

// ---- validity and revocation now --------------------------------------------------------------

TEST_F(SignatureCheckTest, RevokedSignerFailsWithCode21) {
  Install(StoreLocation::kCurrentUser, false);
  test::AddCrlToStore(pki_.revoking_crl);
  const std::string signature = tool_.Sign(true, "revoked", user_.Thumbprint());
  const Coded failure = CodedFailureOf([&] { tool_.CheckSign(true, "revoked", signature); });
  EXPECT_EQ(failure.code, 21);
  EXPECT_TRUE(failure.message.starts_with(Msg(u8"На момент подписания ["))) << failure.message;
}

TEST_F(SignatureCheckTest, SignatureOfAnExpiredCertificateFailsWithCode21AtTheCheckingTime) {
  Install(StoreLocation::kCurrentUser);
  const Certificate& old = pki_.old.certificate;
  test::InstallSigner(pki_.old, "old-key");
  // Signing does not look at the validity; every check judges it now.
  const std::string signature = tool_.Sign(true, "late", old.Thumbprint());
  const Coded failure = CodedFailureOf([&] { tool_.CheckSign(true, "late", signature); });
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

// ---- several threads ---------------------------------------------------------------------------

TEST_F(SignatureCheckTest, SignAndCheckFromTwoThreadsAtOnce) {
  Install(StoreLocation::kCurrentUser);
  constexpr int kRounds = 8;
  std::vector<std::string> failures(2);
  std::vector<int> checked(2, 0);
  auto work = [&](int thread) {
    try {
      const CTdx880CryptoTool tool;
      for (int round = 0; round < kRounds; ++round) {
        const std::string content =
            Content(500 + static_cast<size_t>(round), static_cast<unsigned>(thread * 50 + round));
        const std::string signature = tool.Sign(true, content, user_.Thumbprint());
        rtl::CStrArray signers;
        tool.CheckSignEx(true, content, true, false, &signers, signature);
        if (signers.Count() == 2 && tool.CheckSign(true, content, signature)) {
          ++checked[static_cast<size_t>(thread)];
        }
        const Coded tampered =
            CodedFailureOf([&] { tool.CheckSign(true, content + "!", signature); });
        if (tampered.code != 22) {
          failures[static_cast<size_t>(thread)] = "tampered content: " + tampered.message;
        }
      }
    } catch (const rtl::Exception& error) {
      failures[static_cast<size_t>(thread)] = error.Message();
    }
  };
  std::thread first(work, 0);
  std::thread second(work, 1);
  first.join();
  second.join();
  EXPECT_EQ(failures, (std::vector<std::string>{"", ""}));
  EXPECT_EQ(checked, (std::vector<int>{kRounds, kRounds}));
}

}  // namespace
}  // namespace lyr::crypt
