// CCryptoSignature: signing with a certificate of "MY" and its key container, checking, the
// structure of the SignedData, interop with openssl cms both ways, the GOST vectors, and the
// coded failures.
#include "crypt/crypto_signature.h"

#include <gtest/gtest.h>
#include <openssl/cms.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "crypt/crypt_error.h"
#include "crypt/crypto_api20_exception.h"
#include "crypt/crypto_provider.h"
#include "crypt/koral_certificate.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/key_container.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::SharedPki;

const std::string kNoSignerText =
    Msg(u8"Ошибка при проверке подписи: невозможно выделить сертификат из подписи");

std::string BadSignatureText(const std::string& last_error_text) {
  return Msg(u8"Ошибка при проверке подписи [") + last_error_text + "]";
}

template <typename Body>
std::string MessageOf(Body&& body) {
  try {
    body();
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

struct Coded {
  int code = -1;
  uint32_t last_error = 0;
  std::string last_error_text;
  std::string message;
};

template <typename Body>
Coded CodedFailureOf(Body&& body) {
  try {
    body();
  } catch (const CCryptoAPI20Exception& error) {
    return {error.Code(), error.LastError(), error.LastErrorText(), error.Message()};
  }
  return {};
}

using test::Content;

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

  // Signs content with the user's certificate in a fresh signature object.
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

  // Runs openssl cms -verify over our signature of content; true when it verifies.
  bool OpenSslVerifies(const std::string& content, const std::string& signature,
                       const std::string& extra) {
    const std::string content_file = WriteFile("content.bin", content);
    const std::string signature_file = WriteFile("signature.p7s", signature);
    return test::RunOpenSsl("cms -verify -binary -inform DER -in " + signature_file + " -content " +
                            content_file + " " + extra + " -out /dev/null") == 0;
  }

  // A detached signature by openssl cms -sign with the user's key; extra options appended.
  std::string OpenSslSignature(const std::string& content, const std::string& extra = {}) {
    const std::string content_file = WriteFile("osl-content.bin", content);
    const std::string out = PathOf("osl.p7s");
    EXPECT_EQ(test::RunOpenSsl("cms -sign -binary -md md_gost94 -outform DER -in " + content_file +
                               " -signer " + SharedPki().user.string() + " -inkey " +
                               SharedPki().user_key.string() + " -out " + out + " " + extra),
              0);
    return test::ReadAll(out);
  }

  const Certificate& user_ = SharedPki().user_party.certificate;
  CertStore my_ = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  CCryptoProvider provider_;
  CCryptoSignatureConfig config_{&provider_, 2, 0, 2};
};

// ---- round trips -------------------------------------------------------------------------

class SignatureRoundTrip : public SignatureTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(SignatureRoundTrip, VerifiesWhatItSigned) {
  const std::string content = Content(GetParam());
  const std::string signature = SignAsUser(content);
  EXPECT_TRUE(VerifyHere(content, signature));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SignatureRoundTrip, ::testing::Values(1, 1000, 3 * 1024 * 1024),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param); });

TEST_F(SignatureTest, SigningTwiceGivesDifferentSignatures) {
  EXPECT_NE(SignAsUser("same"), SignAsUser("same"));
}

TEST_F(SignatureTest, SignKeepsTheContentAndCloseEmptiesEverything) {
  CCryptoSignature signature;
  EXPECT_FALSE(signature.IsDocumentOpened());
  EXPECT_TRUE(signature.Open(&config_));
  EXPECT_TRUE(signature.IsDocumentOpened());
  EXPECT_TRUE(signature.Sign(user_.Thumbprint(), "text"));
  EXPECT_EQ(signature.SignedContent(), "text");
  EXPECT_FALSE(signature.GetSignature().empty());
  EXPECT_TRUE(signature.Close());
  EXPECT_FALSE(signature.IsDocumentOpened());
  EXPECT_TRUE(signature.GetSignature().empty());
  EXPECT_TRUE(signature.SignedContent().empty());
  EXPECT_TRUE(signature.Close());
}

// ---- structure -----------------------------------------------------------------------------

struct CmsDeleter {
  void operator()(CMS_ContentInfo* cms) const noexcept { ::CMS_ContentInfo_free(cms); }
};

std::string Oid(const ASN1_OBJECT* object) {
  char text[80] = {};
  ::OBJ_obj2txt(text, sizeof text, object, 1);
  return text;
}

TEST_F(SignatureTest, SignatureIsDetachedWithOneSignerOneCertificateAndThreeSignedAttributes) {
  const std::string signature = SignAsUser("structure");
  const auto* in = reinterpret_cast<const unsigned char*>(signature.data());
  const std::unique_ptr<CMS_ContentInfo, CmsDeleter> cms(
      ::d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(signature.size())));  // NOLINT
  ASSERT_TRUE(cms);
  EXPECT_EQ(::OBJ_obj2nid(::CMS_get0_type(cms.get())), NID_pkcs7_signed);
  EXPECT_EQ(::OBJ_obj2nid(::CMS_get0_eContentType(cms.get())), NID_pkcs7_data);
  ASN1_OCTET_STRING** content = ::CMS_get0_content(cms.get());
  ASSERT_NE(content, nullptr);
  EXPECT_EQ(*content, nullptr) << "content is encapsulated";

  STACK_OF(X509)* certificates = ::CMS_get1_certs(cms.get());
  ASSERT_NE(certificates, nullptr);
  ASSERT_EQ(sk_X509_num(certificates), 1);
  unsigned char* der = nullptr;
  const int length = ::i2d_X509(sk_X509_value(certificates, 0), &der);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(der), static_cast<size_t>(length)), user_.Der());
  ::OPENSSL_free(der);
  sk_X509_pop_free(certificates, ::X509_free);
  STACK_OF(X509_CRL)* crls = ::CMS_get1_crls(cms.get());
  EXPECT_TRUE(crls == nullptr || sk_X509_CRL_num(crls) == 0);
  sk_X509_CRL_pop_free(crls, ::X509_CRL_free);

  STACK_OF(CMS_SignerInfo)* signers = ::CMS_get0_SignerInfos(cms.get());
  ASSERT_EQ(sk_CMS_SignerInfo_num(signers), 1);
  CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, 0);
  X509_ALGOR* digest = nullptr;
  ::CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &digest, nullptr);
  const ASN1_OBJECT* digest_oid = nullptr;
  ::X509_ALGOR_get0(&digest_oid, nullptr, nullptr, digest);
  EXPECT_EQ(Oid(digest_oid), kOidGost3411_94);

  ASSERT_EQ(::CMS_signed_get_attr_count(signer), 3);
  std::vector<std::string> oids;
  for (int i = 0; i < 3; ++i) {
    oids.push_back(Oid(::X509_ATTRIBUTE_get0_object(::CMS_signed_get_attr(signer, i))));
  }
  std::sort(oids.begin(), oids.end());
  EXPECT_EQ(oids, (std::vector<std::string>{"1.2.840.113549.1.9.3", "1.2.840.113549.1.9.4",
                                            std::string(kOidSigningTime)}));
  const int at = ::CMS_signed_get_attr_by_NID(signer, NID_pkcs9_signingTime, -1);
  X509_ATTRIBUTE* signing_time = ::CMS_signed_get_attr(signer, at);
  ASSERT_EQ(::X509_ATTRIBUTE_count(signing_time), 1);
  const ASN1_TYPE* value = ::X509_ATTRIBUTE_get0_type(signing_time, 0);
  ASSERT_EQ(value->type, V_ASN1_UTCTIME);
  // UTC: the time lies within a day of the UTC clock (a local-time bug shifts it by hours but a
  // wrong zone letter or format fails to parse).
  int days = 0;
  int seconds = 0;
  ASSERT_EQ(::ASN1_TIME_diff(&days, &seconds, value->value.utctime, nullptr), 1);
  EXPECT_EQ(days, 0);
  EXPECT_LT(std::abs(seconds), 120) << "signing time is not the current UTC time";
  EXPECT_EQ(::CMS_unsigned_get_attr_count(signer), -1);
}

// ---- interop ----------------------------------------------------------------------------

TEST_F(SignatureTest, OpenSslVerifiesOurSignature) {
  const std::string content = Content(5000);
  const std::string signature = SignAsUser(content);
  EXPECT_TRUE(OpenSslVerifies(content, signature, "-noverify"));
  // openssl cms builds the chain from the signature's certificates and the CA file only.
  const std::string ca_file =
      WriteFile("ca.pem", test::FileBytes(SharedPki().root) + test::FileBytes(SharedPki().inter));
  EXPECT_TRUE(OpenSslVerifies(content, signature, "-CAfile " + ca_file + " -purpose any"));
  EXPECT_FALSE(OpenSslVerifies(content + "x", signature, "-noverify"));
}

TEST_F(SignatureTest, WeVerifyOpenSslSignatures) {
  const std::string content = Content(70000);
  EXPECT_TRUE(VerifyHere(content, OpenSslSignature(content)));
  EXPECT_TRUE(VerifyHere(content, OpenSslSignature(content, "-nosmimecap")));
  EXPECT_TRUE(VerifyHere(content, OpenSslSignature(content, "-noattr")));
}

// ---- failures ---------------------------------------------------------------------------

TEST_F(SignatureTest, OtherContentFailsWithCode22AndTheSystemText) {
  const std::string signature = SignAsUser("original");
  const Coded failure = CodedFailureOf([&] { VerifyHere("0riginal", signature); });
  EXPECT_EQ(failure.code, 22);
  EXPECT_EQ(failure.last_error, code::kNteBadSignature);
  EXPECT_EQ(failure.message, BadSignatureText(failure.last_error_text));
  EXPECT_EQ(failure.last_error_text.rfind("0x80090006 (-2146893818): ", 0), 0U)
      << failure.last_error_text;
}

TEST_F(SignatureTest, SignatureWithoutTheSignerCertificateFailsWithCode32) {
  const std::string content = "no certificate";
  const Coded failure =
      CodedFailureOf([&] { VerifyHere(content, OpenSslSignature(content, "-nocerts")); });
  EXPECT_EQ(failure.code, 32);
  EXPECT_EQ(failure.last_error, 0U);
  EXPECT_EQ(failure.message, kNoSignerText);
}

TEST_F(SignatureTest, SignatureCarryingOnlyAnotherCertificateFailsWithCode32) {
  const std::string content = "other certificate";
  const std::string signature =
      OpenSslSignature(content, "-nocerts -certfile " + SharedPki().inter.string());
  EXPECT_EQ(CodedFailureOf([&] { VerifyHere(content, signature); }).code, 32);
}

TEST_F(SignatureTest, BytesThatAreNoSignatureFailWithCode22) {
  const Coded failure = CodedFailureOf([&] { VerifyHere("content", "not a signature"); });
  EXPECT_EQ(failure.code, 22);
  EXPECT_EQ(failure.message, BadSignatureText(failure.last_error_text));
}

struct ArgumentCase {
  std::string name;
  std::string content;
  std::string signature;
  std::string message;
};

class VerifyArguments : public SignatureTest, public ::testing::WithParamInterface<ArgumentCase> {};

TEST_P(VerifyArguments, EmptyArgumentsAreRefused) {
  EXPECT_EQ(MessageOf([&] { VerifyHere(GetParam().content, GetParam().signature); }),
            GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VerifyArguments,
    ::testing::Values(ArgumentCase{"EmptyContent", "", "sig",
                                   Msg(u8"Передан пустой аргумент: sSignedData")},
                      ArgumentCase{"EmptySignature", "text", "",
                                   Msg(u8"Передан пустой аргумент: sSignatureContent")}),
    [](const auto& info) { return info.param.name; });

TEST_F(SignatureTest, SignRefusesBadArguments) {
  CCryptoSignature signature;
  signature.Open(&config_);
  const std::string thumbprint = user_.Thumbprint();
  EXPECT_EQ(MessageOf([&] { signature.Sign(thumbprint, ""); }),
            Msg(u8"Передан пустой аргумент: signedText"));
  EXPECT_EQ(MessageOf([&] { signature.Sign(thumbprint.substr(1), "text"); }),
            Msg(u8"Длина переменной [sha1 = \"") + thumbprint.substr(1) +
                Msg(u8"\"] должна быть равной [40]"));
  EXPECT_EQ(MessageOf([&] { signature.Sign("", "text"); }), Msg(u8"Передан пустой аргумент: sha1"));
  const std::string absent(40, 'A');
  EXPECT_EQ(MessageOf([&] { signature.Sign(absent, "text"); }),
            Msg(u8"Личный сертификат с отпечатком [") + absent + Msg(u8"] не найден"));
}

struct InclusionCase {
  std::string name;
  uint8_t inclusion;
  std::string message;
};

class SignInclusion : public SignatureTest, public ::testing::WithParamInterface<InclusionCase> {};

TEST_P(SignInclusion, OnlyTheSignerCertificateInclusionIsImplemented) {
  config_.SetCertificateInclusion(GetParam().inclusion);
  CCryptoSignature signature;
  signature.Open(&config_);
  EXPECT_EQ(MessageOf([&] { signature.Sign(user_.Thumbprint(), "text"); }), GetParam().message);
  EXPECT_TRUE(signature.GetSignature().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SignInclusion,
    ::testing::Values(
        InclusionCase{"Zero", 0, Msg(u8"Неизвестный набор сертификатов для включения")},
        InclusionCase{"One", 1, Msg(u8"Не реализованный алгоритм включения сертификатов: [1]")},
        InclusionCase{"Three", 3, Msg(u8"Не реализованный алгоритм включения сертификатов: [3]")}),
    [](const auto& info) { return info.param.name; });

TEST_F(SignatureTest, CertificateWithoutKeyContainerCannotSign) {
  my_.Add(Certificate::FromDer(test::PemFileToDer(SharedPki().inter)),
          AddDisposition::kReplaceExisting);
  CCryptoSignature signature;
  signature.Open(&config_);
  const std::string inter =
      Certificate::FromDer(test::PemFileToDer(SharedPki().inter)).Thumbprint();
  EXPECT_NE(MessageOf([&] { signature.Sign(inter, "text"); }).find("0x8009200B"),
            std::string::npos);
}

TEST_F(SignatureTest, OpenNeedsAConfigurationWithAProvider) {
  CCryptoSignature signature;
  EXPECT_EQ(MessageOf([&] { signature.Open(nullptr); }),
            Msg(u8"Передан пустой аргумент: CryptoSignatureConfig"));
  CCryptoSignatureConfig without_provider(nullptr, 2, 0, 2);
  EXPECT_EQ(MessageOf([&] { signature.Open(&without_provider); }),
            Msg(u8"Не открыт криптопровайдер объекта CCryptoSignatureConfig"));
  EXPECT_FALSE(signature.IsDocumentOpened());
  EXPECT_EQ(MessageOf([&] { signature.Sign(user_.Thumbprint(), "text"); }),
            Msg(u8"Передан пустой аргумент: CryptoSignatureConfig"));
}

// ---- chain check hook -------------------------------------------------------------------

struct FlagCase {
  std::string name;
  uint8_t flags;
  uint8_t builder_flags;
  bool chain_built;
};

class ChainHook : public SignatureTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(ChainHook, BuilderIsOpenedAlwaysAndBuildsTheChainOnlyWithFlag4) {
  BuilderLog log;
  config_.SetChainBuilderFactory([&] { return std::make_unique<RecordingBuilder>(&log); });
  config_.SetVerificationFlags(GetParam().flags);
  const std::string signature = SignAsUser("chain");
  CCryptoSignature verifier;
  verifier.Open(&config_);
  EXPECT_TRUE(verifier.Verify("chain", signature, 46000.5));
  EXPECT_EQ(log.opened, 1);
  EXPECT_EQ(log.settings.flags, GetParam().builder_flags);
  EXPECT_EQ(log.settings.store_location, 2);
  EXPECT_EQ(log.settings.date, 46000.5);
  if (GetParam().chain_built) {
    EXPECT_EQ(log.chains, std::vector<std::string>{user_.Thumbprint()});
    ASSERT_EQ(verifier.Signers().Count(), 1);
    EXPECT_EQ(verifier.Signers().Strings(0), user_.Thumbprint());
    const CKORALCertificate* signer = verifier.Signers().Object<CKORALCertificate>(0);
    ASSERT_NE(signer, nullptr);
    EXPECT_TRUE(signer->Context()->SameAs(user_));
    EXPECT_EQ(signer->GetSha1(), user_.Thumbprint());
    EXPECT_EQ(signer->Provider(), config_.Provider());
    EXPECT_EQ(signer->CertificateContext().Subject().GetValue(), "2.5.4.3=Test User, 2.5.4.10=Lyr");
  } else {
    EXPECT_TRUE(log.chains.empty());
    EXPECT_EQ(verifier.Signers().Count(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ChainHook,
                         ::testing::Values(FlagCase{"None", 0, 0, false},
                                           FlagCase{"DownloadsWithoutFlag4", 2 | 8 | 16, 14, false},
                                           FlagCase{"Flag4Only", 4, 0, true},
                                           FlagCase{"All", 2 | 4 | 8 | 16, 14, true},
                                           FlagCase{"RevocationOnly", 4 | 16, 8, true}),
                         [](const auto& info) { return info.param.name; });

TEST_F(SignatureTest, BadSignatureBuildsNoChain) {
  BuilderLog log;
  config_.SetChainBuilderFactory([&] { return std::make_unique<RecordingBuilder>(&log); });
  config_.SetVerificationFlags(4);
  const std::string signature = SignAsUser("chain");
  EXPECT_EQ(CodedFailureOf([&] { VerifyHere("other", signature); }).code, 22);
  EXPECT_TRUE(log.chains.empty());
}

TEST_F(SignatureTest, ChainAskedForWithoutBuilderIsAnError) {
  config_.SetChainBuilderFactory({});
  config_.SetVerificationFlags(4);
  const std::string signature = SignAsUser("chain");
  EXPECT_EQ(MessageOf([&] { VerifyHere("chain", signature); }),
            "CCryptoSignature.Verify: no certificate chain builder is installed");
}

// ---- outside vectors ----------------------------------------------------------------------

TEST_F(SignatureTest, Rfc4490DetachedSignatureWithoutCertificateFailsWithCode32) {
  const std::filesystem::path folder = test::GostVectorsFolder();
  if (folder.empty()) {
    GTEST_SKIP() << "no GOST vectors on this machine";
  }
  const std::string signature = test::ReadAll(folder / "rfc4490/signed_detached_derived.der");
  const std::string content = test::ReadAll(folder / "rfc4490/content.txt");
  const Coded failure = CodedFailureOf([&] { VerifyHere(content, signature); });
  EXPECT_EQ(failure.code, 32);
  EXPECT_EQ(failure.message, kNoSignerText);
}

// The SignedData of DER bytes.
std::unique_ptr<CMS_ContentInfo, CmsDeleter> ParseCms(const std::string& bytes) {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  return std::unique_ptr<CMS_ContentInfo, CmsDeleter>(
      ::d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(bytes.size())));  // NOLINT
}

std::string ToDer(CMS_ContentInfo* cms) {
  unsigned char* der = nullptr;
  const int length = ::i2d_CMS_ContentInfo(cms, &der);
  std::string result(reinterpret_cast<char*>(der), static_cast<size_t>(length));
  ::OPENSSL_free(der);
  return result;
}

// An attached signature taken apart: its content, and the same SignedData detached (the
// signature bytes unchanged).
struct Detached {
  std::string content;
  std::string signature;
};

Detached Detach(const std::string& bytes) {
  const auto cms = ParseCms(bytes);
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

TEST_F(SignatureVectors, Rfc4490SignatureWithTheRfc4491CertificateAddedVerifies) {
  const auto cms = ParseCms(test::ReadAll(folder_ / "rfc4490/signed_detached_derived.der"));
  ASSERT_TRUE(cms);
  const std::string certificate = test::ReadAll(folder_ / "rfc4491/gostr3410-2001-cert.der");
  const auto* in = reinterpret_cast<const unsigned char*>(certificate.data());
  X509* x509 = ::d2i_X509(nullptr, &in, static_cast<long>(certificate.size()));  // NOLINT
  ASSERT_NE(x509, nullptr);
  ASSERT_EQ(::CMS_add1_cert(cms.get(), x509), 1);
  ::X509_free(x509);
  const std::string signature = ToDer(cms.get());
  std::string content = test::ReadAll(folder_ / "rfc4490/content.txt");
  EXPECT_TRUE(VerifyHere(content, signature));
  content[0] = static_cast<char>(content[0] ^ 1);
  const Coded failure = CodedFailureOf([&] { VerifyHere(content, signature); });
  EXPECT_EQ(failure.code, 22);
  EXPECT_EQ(failure.message, BadSignatureText(failure.last_error_text));
}

class Tc26Signature : public SignatureVectors, public ::testing::WithParamInterface<std::string> {};

// GOST R 34.10-2012 signatures of the engine's own test data (attached; taken apart here into
// content and detached SignedData).
TEST_P(Tc26Signature, VerifiesOverItsContentAndFailsOverOther) {
  const Detached detached =
      Detach(test::PemFileToDer(folder_ / "gost-engine-tc26_cms" / (GetParam() + ".pem")));
  ASSERT_FALSE(detached.content.empty());
  EXPECT_TRUE(VerifyHere(detached.content, detached.signature));
  EXPECT_EQ(CodedFailureOf([&] { VerifyHere(detached.content + " ", detached.signature); }).code,
            22);
}

INSTANTIATE_TEST_SUITE_P(Files, Tc26Signature, ::testing::Values("signed_a111", "signed_a121"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace lyr::crypt
