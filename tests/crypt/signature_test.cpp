// CCryptoSignature: the SignedData it makes, interop with openssl cms both ways, the GOST vectors,
// the chain builder hook and the coded failures.
#include "crypt/crypto_signature.h"

#include <gtest/gtest.h>
#include <openssl/cms.h>
#include <openssl/x509.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "crypt/crypt_test.h"
#include "crypt/crypto_provider.h"
#include "crypt/koral_certificate.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::Content;
using test::ExpectRaises;
using test::MessageOf;
using test::SharedPki;
using test_util::Coded;

const std::string kNoSignerText =
    Msg(u8"Ошибка при проверке подписи: невозможно выделить сертификат из подписи");

// A bad signature's message carries the last error's text.
void ExpectBadSignature(const Coded& failure) {
  EXPECT_EQ(failure.code, 22);
  EXPECT_EQ(failure.message,
            Msg(u8"Ошибка при проверке подписи [") + failure.last_error_text + "]");
}

struct CmsDeleter {
  void operator()(CMS_ContentInfo* cms) const noexcept { ::CMS_ContentInfo_free(cms); }
};
using Cms = std::unique_ptr<CMS_ContentInfo, CmsDeleter>;

Cms ParseCms(const std::string& bytes) {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  return Cms(::d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(bytes.size())));  // NOLINT
}

std::string ToDer(CMS_ContentInfo* cms) {
  unsigned char* der = nullptr;
  const int length = ::i2d_CMS_ContentInfo(cms, &der);
  std::string result(reinterpret_cast<char*>(der), static_cast<size_t>(length));
  ::OPENSSL_free(der);
  return result;
}

// A chain builder that records what the verification asked of it.
struct BuilderLog {
  int opened = 0;
  SignerChainSettings settings;
  std::vector<std::string> chains;  // thumbprints
};

class RecordingBuilder final : public ISignerChainBuilder {
 public:
  explicit RecordingBuilder(BuilderLog* log) : log_(log) {}
  void Open(const SignerChainSettings& settings) override {
    ++log_->opened;
    log_->settings = settings;
  }
  void BuildChain(const Certificate& certificate) override {
    log_->chains.push_back(certificate.Thumbprint());
  }

 private:
  BuilderLog* log_;
};

class SignatureTest : public test::PkiSandbox {
 protected:
  void SetUp() override {
    PkiSandbox::SetUp();
    test::InstallSigner(SharedPki().user_party, "user-key");
    provider_.AcquireVerifyContext(75, false);
  }

  std::string SignAsUser(std::string_view content) {
    CCryptoSignature signature;
    signature.Open(&config_);
    signature.Sign(user_.Thumbprint(), content);
    return signature.GetSignature();
  }
  bool VerifyHere(std::string_view content, std::string_view signature) {
    CCryptoSignature verifier;
    verifier.Open(&config_);
    return verifier.Verify(content, signature, 0);
  }
  std::string OpenSslSignature(const std::string& content, const std::string& extra = {}) {
    return test_util::OpenSslSignature(Home(), content, extra);
  }

  const Certificate& user_ = SharedPki().user_party.certificate;
  CCryptoProvider provider_;
  CCryptoSignatureConfig config_{&provider_, StoreLocation::kCurrentUser, 0, 2};
};

// The signing time is the current UTC time (a local-time bug shifts it by hours).
TEST_F(SignatureTest, OpenSslReadsOurDetachedSignatureWithThreeAttributesAndWeVerifyItsOwn) {
  const std::string content = Content(5000);
  const std::string signature = SignAsUser(content);
  EXPECT_TRUE(OpenSslVerifies(content, signature));
  WriteFile("signature.p7s", signature);
  std::string printed;
  ASSERT_EQ(OpenSsl("cms -cmsout -print -inform DER -in signature.p7s", &printed), 0);
  for (const char* expected :
       {"eContent: <ABSENT>", "crls:\n      <ABSENT>", "algorithm: GOST R 34.11-94 (1.2.643.2.2.9)",
        "object: contentType", "object: signingTime", "object: messageDigest",
        "unsignedAttrs:\n          <ABSENT>"}) {
    EXPECT_NE(printed.find(expected), std::string::npos) << expected << "\n" << printed;
  }
  EXPECT_EQ(printed.find("d.certificate:"), printed.rfind("d.certificate:")) << "one certificate";
  EXPECT_NE(printed.find("subject: CN=Test User, O=Lyr"), std::string::npos);
  std::tm signed_at{};
  const size_t at = printed.find("UTCTIME:");
  ASSERT_NE(strptime(printed.c_str() + at + 8, "%b %d %H:%M:%S %Y GMT", &signed_at), nullptr);
  EXPECT_LT(std::abs(::timegm(&signed_at) - std::time(nullptr)), 120) << printed;
  const std::string theirs = Content(70000);
  for (const char* extra : {"", "-noattr"}) {
    EXPECT_TRUE(VerifyHere(theirs, OpenSslSignature(theirs, extra))) << extra;
  }
}

TEST_F(SignatureTest, CodedFailures) {
  const Coded other_content =
      test_util::CodedOf([&] { VerifyHere("0riginal", SignAsUser("original")); });
  ExpectBadSignature(other_content);
  EXPECT_EQ(other_content.last_error, code::kNteBadSignature);
  ExpectBadSignature(test_util::CodedOf([&] { VerifyHere("content", "not a signature"); }));
  const Coded no_certificate =
      test_util::CodedOf([&] { VerifyHere("bare", OpenSslSignature("bare", "-nocerts")); });
  EXPECT_EQ(no_certificate.code, 32);
  EXPECT_EQ(no_certificate.last_error, 0U);
  EXPECT_EQ(no_certificate.message, kNoSignerText);
  const std::string other_certificate =
      OpenSslSignature("other", "-nocerts -certfile '" + SharedPki().inter.string() + "'");
  EXPECT_EQ(test_util::CodedOf([&] { VerifyHere("other", other_certificate); }).code, 32);
  ExpectRaises([&] { VerifyHere("", "sig"); }, u8"Передан пустой аргумент: sSignedData");
  ExpectRaises([&] { VerifyHere("text", ""); }, u8"Передан пустой аргумент: sSignatureContent");
}

TEST_F(SignatureTest, OpenAndSignRefuseBadArgumentsAndUnknownInclusions) {
  CCryptoSignature signature;
  ExpectRaises([&] { signature.Open(nullptr); },
               u8"Передан пустой аргумент: CryptoSignatureConfig");
  CCryptoSignatureConfig without_provider(nullptr, StoreLocation::kCurrentUser, 0, 2);
  ExpectRaises([&] { signature.Open(&without_provider); },
               u8"Не открыт криптопровайдер объекта CCryptoSignatureConfig");
  EXPECT_FALSE(signature.IsDocumentOpened());
  ExpectRaises([&] { signature.Sign(user_.Thumbprint(), "text"); },
               u8"Передан пустой аргумент: CryptoSignatureConfig");
  signature.Open(&config_);
  const std::string thumbprint = user_.Thumbprint();
  ExpectRaises([&] { signature.Sign(thumbprint, ""); }, u8"Передан пустой аргумент: signedText");
  ExpectRaises([&] { signature.Sign(thumbprint.substr(1), "text"); },
               Msg(u8"Длина переменной [sha1 = \"") + thumbprint.substr(1) +
                   Msg(u8"\"] должна быть равной [40]"));
  ExpectRaises([&] { signature.Sign("", "text"); }, u8"Передан пустой аргумент: sha1");
  const std::string absent(40, 'A');
  ExpectRaises([&] { signature.Sign(absent, "text"); },
               Msg(u8"Личный сертификат с отпечатком [") + absent + Msg(u8"] не найден"));
  test::AddToStore(SharedPki().inter_party.certificate, "MY");
  EXPECT_NE(MessageOf([&] {
              signature.Sign(SharedPki().inter_party.certificate.Thumbprint(), "text");
            }).find("0x8009200B"),
            std::string::npos)
      << "a certificate without key container cannot sign";
  for (const auto& [inclusion, message] :
       {std::pair{0, Msg(u8"Неизвестный набор сертификатов для включения")},
        {3, Msg(u8"Не реализованный алгоритм включения сертификатов: [3]")}}) {
    config_.SetCertificateInclusion(static_cast<uint8_t>(inclusion));
    CCryptoSignature other;
    other.Open(&config_);
    ExpectRaises([&] { other.Sign(thumbprint, "text"); }, message);
    EXPECT_TRUE(other.GetSignature().empty());
  }
}

// The builder gets the translated flags on every verification and builds the chain with flag 4.
TEST_F(SignatureTest, ChainBuilderHook) {
  struct Case {
    uint8_t flags, builder_flags;
    bool chain_built;
  };
  const std::string signature = SignAsUser("chain");
  for (const Case& c : {Case{0, 0, false}, Case{2 | 8 | 16, 14, false}, Case{4, 0, true},
                        Case{2 | 4 | 8 | 16, 14, true}, Case{4 | 16, 8, true}}) {
    SCOPED_TRACE(static_cast<int>(c.flags));
    BuilderLog log;
    config_.SetChainBuilderFactory([&] { return std::make_unique<RecordingBuilder>(&log); });
    config_.SetVerificationFlags(c.flags);
    CCryptoSignature verifier;
    verifier.Open(&config_);
    EXPECT_TRUE(verifier.Verify("chain", signature, 46000.5));
    EXPECT_EQ(log.opened, 1);
    EXPECT_EQ(log.settings.flags, c.builder_flags);
    EXPECT_EQ(log.settings.store_location, StoreLocation::kCurrentUser);
    EXPECT_EQ(log.settings.date, 46000.5);
    EXPECT_EQ(log.chains.size(), c.chain_built ? 1U : 0U);
    ASSERT_EQ(verifier.Signers().Count(), c.chain_built ? 1 : 0);
    if (c.chain_built) {
      EXPECT_EQ(log.chains[0], user_.Thumbprint());
      EXPECT_EQ(verifier.Signers().Strings(0), user_.Thumbprint());
      const CKORALCertificate* signer = verifier.Signers().Object<CKORALCertificate>(0);
      ASSERT_NE(signer, nullptr);
      EXPECT_EQ(signer->GetSha1(), user_.Thumbprint());
      EXPECT_EQ(signer->Provider(), config_.Provider());
    }
    EXPECT_EQ(test_util::CodedOf([&] { VerifyHere("other", signature); }).code, 22);
    EXPECT_EQ(log.chains.size(), c.chain_built ? 1U : 0U) << "a bad signature builds no chain";
  }
  config_.SetChainBuilderFactory({});
  ExpectRaises([&] { VerifyHere("chain", signature); },
               "CCryptoSignature.Verify: no certificate chain builder is installed");
}

// An attached signature taken apart: its content, and the same SignedData detached.
struct Detached {
  std::string content;
  std::string signature;
};

Detached Detach(const std::string& bytes) {
  const Cms cms = ParseCms(bytes);
  EXPECT_TRUE(cms);
  ASN1_OCTET_STRING** content = ::CMS_get0_content(cms.get());
  Detached result;
  result.content.assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(*content)),
                        static_cast<size_t>(ASN1_STRING_length(*content)));
  ::CMS_set_detached(cms.get(), 1);
  result.signature = ToDer(cms.get());
  return result;
}

class SignatureVectors : public SignatureTest {
 protected:
  void SetUp() override {
    SignatureTest::SetUp();
    folder_ = test::GostVectorsFolder();
    if (folder_.empty()) {
      GTEST_SKIP() << "no GOST vectors on this machine";
    }
  }
  std::filesystem::path folder_;
};

// The RFC 4490 signature carries no certificate; with the RFC 4491 one added it verifies.
TEST_F(SignatureVectors, Rfc4490SignatureVerifiesWithTheRfc4491Certificate) {
  const std::string bare = test::ReadAll(folder_ / "rfc4490/signed_detached_derived.der");
  std::string content = test::ReadAll(folder_ / "rfc4490/content.txt");
  const Coded failure = test_util::CodedOf([&] { VerifyHere(content, bare); });
  EXPECT_EQ(failure.code, 32);
  EXPECT_EQ(failure.message, kNoSignerText);
  const Cms cms = ParseCms(bare);
  ASSERT_TRUE(cms);
  const std::string certificate = test::ReadAll(folder_ / "rfc4491/gostr3410-2001-cert.der");
  const auto* in = reinterpret_cast<const unsigned char*>(certificate.data());
  X509* x509 = ::d2i_X509(nullptr, &in, static_cast<long>(certificate.size()));  // NOLINT
  ASSERT_NE(x509, nullptr);
  ASSERT_EQ(::CMS_add1_cert(cms.get(), x509), 1);
  ::X509_free(x509);
  const std::string signature = ToDer(cms.get());
  EXPECT_TRUE(VerifyHere(content, signature));
  content[0] = static_cast<char>(content[0] ^ 1);
  ExpectBadSignature(test_util::CodedOf([&] { VerifyHere(content, signature); }));
}

// GOST R 34.10-2012 attached signatures of the engine's test data, taken apart here.
TEST_F(SignatureVectors, Tc26SignaturesVerifyOverTheirContentOnly) {
  for (const char* file : {"signed_a111", "signed_a121"}) {
    const Detached detached =
        Detach(test::PemFileToDer(folder_ / "gost-engine-tc26_cms" / (std::string(file) + ".pem")));
    ASSERT_FALSE(detached.content.empty()) << file;
    EXPECT_TRUE(VerifyHere(detached.content, detached.signature)) << file;
    EXPECT_EQ(
        test_util::CodedOf([&] { VerifyHere(detached.content + " ", detached.signature); }).code,
        22);
  }
}

}  // namespace
}  // namespace lyr::crypt
