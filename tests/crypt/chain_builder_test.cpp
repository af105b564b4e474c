// The strict chain builder: every trust, download, revocation and date case over the scenario PKI
// served by a loopback HTTP server, with the exact messages; the default builder of a signature.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "crypt/crypt_test.h"
#include "crypt/crypto_api20_chain_builder_strict.h"
#include "crypt/koral_certificate.h"
#include "crypt/platform/pki_builder.h"
#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_crypto_tool.h"
#include "crypt/tdx880_key.h"
#include "http/http_fixture.h"
#include "rtl/date_time.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::ChainScenario;
using test_util::Coded;
using test_util::CodedOf;

constexpr int64_t kDay = ChainScenario::kDay;
constexpr int64_t kHour = 3600;

rtl::TDateTime Local(int64_t unix_seconds) {
  return rtl::UnixTimeToLocalDateTime(unix_seconds);
}

std::string Span(const Certificate& certificate) {
  return rtl::DateTimeToStr(Local(certificate.NotBefore())) + " - " +
         rtl::DateTimeToStr(Local(certificate.NotAfter())) + "]";
}

TEST(ChainBuilderConfig, RefusesBadArgumentsAndAssignKeepsTheStrictFields) {
  CCryptoAPI20ChainBuilderBaseConfig config;
  config.SetDate(45000.25);
  test::ExpectRaises([&] { config.SetDate(-1.5); }, u8"Неверное значение аргумента [29.12.1899]");
  EXPECT_EQ(config.Date(), 45000.25);
  test::ExpectRaises([&] { config.SetInitialCertificate(nullptr); },
                     u8"Передан пустой аргумент: pInitialCertContext");
  config.SetStoreLocation(StoreLocation::kLocalMachine);
  CCryptoAPI20ChainBuilderStrictConfig copy;
  copy.SetFlags(2);
  copy.Assign(config);
  EXPECT_EQ(copy.StoreLocation(), StoreLocation::kLocalMachine);
  EXPECT_EQ(copy.Flags(), 2);
}

class ChainBuilderTest : public test::HttpTest {
 protected:
  static void SetUpTestSuite() {
    scenario_ =
        std::make_unique<ChainScenario>(std::filesystem::temp_directory_path() /
                                        ("lyr-chain-scenario-" + std::to_string(::getpid())));
  }
  static void TearDownTestSuite() {
    const std::filesystem::path folder = scenario_->folder;
    scenario_.reset();
    std::filesystem::remove_all(folder);
  }
  void TearDown() override {
    ::unsetenv("LYR_TDX_TRACE");
    HttpTest::TearDown();
  }

  static ChainScenario& S() { return *scenario_; }

  void OpenBuilder(uint8_t flags, int32_t margin = 0) {
    CCryptoAPI20ChainBuilderStrictConfig config;
    config.SetFlags(flags);
    config.SetMargin(margin);
    ASSERT_TRUE(builder_.Open(&config));
  }
  Coded Build(const test::PkiParty& party, rtl::TDateTime date = SigningDate()) {
    return CodedOf([&] { builder_.BuildChain(&party.certificate, date); });
  }
  // An hour before the scenario was made: inside every validity and the current CRLs.
  static rtl::TDateTime SigningDate() { return Local(S().now - kHour); }
  // Expects a build to fail with code and message.
  void ExpectFailure(const Coded& failure, int code, const std::string& message) {
    EXPECT_EQ(failure.code, code) << failure.message;
    EXPECT_EQ(failure.message, message);
  }

  // The paths requested from the scenario's server by body.
  template <typename Body>
  static std::vector<std::string> RequestsDuring(Body&& body) {
    const size_t before = S().RequestedPaths().size();
    body();
    const std::vector<std::string> all = S().RequestedPaths();
    return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
  }

  static std::string NotFound(const std::string& issuer) {
    return Msg(u8"Не найден сертификат УЦ [") + issuer + "]";
  }
  static std::string WithUrl(const std::string& message, const std::string& url) {
    return message + Msg(u8". URL для скачивания: [") + url + "]";
  }
  static std::string NoCrl(const std::string& url) {
    return WithUrl(Msg(u8"Список отозванных сертификатов для [Scenario Inter CA] не найден"), url);
  }

  CCryptoAPI20ChainBuilderStrict builder_;

 private:
  static std::unique_ptr<ChainScenario> scenario_;
};

std::unique_ptr<ChainScenario> ChainBuilderTest::scenario_;

TEST_F(ChainBuilderTest, ClosedOrBadlyOpenedBuilderFails) {
  EXPECT_FALSE(builder_.IsDocumentOpened());
  EXPECT_EQ(Build(S().user).message, Msg(u8"Документ не открыт"));
  test::ExpectRaises([&] { builder_.Open(nullptr); }, u8"Передан пустой аргумент: config");
  EXPECT_FALSE(builder_.IsDocumentOpened());
  CCryptoAPI20ChainBuilderStrictConfig config;
  config.SetStoreLocation(static_cast<StoreLocation>(3));
  test::ExpectRaises([&] { builder_.Open(&config); }, u8"Недоступное хранилище: [3]");
}

TEST_F(ChainBuilderTest, TrustEndsAtACertificateOfRootOnly) {
  OpenBuilder(0);
  ExpectFailure(Build(S().root), 35, NotFound("Scenario Root CA"));
  S().TrustRoot();
  OpenBuilder(0);
  EXPECT_TRUE(RequestsDuring([&] { EXPECT_EQ(Build(S().direct).code, -1); }).empty());
  EXPECT_TRUE(builder_.LastRoot()->SameAs(S().root.certificate));
  EXPECT_EQ(Build(S().root).code, -1) << "a trusted self-signed certificate is its own chain";
  ExpectFailure(Build(S().user), 35, WithUrl(NotFound("Scenario Inter CA"), S().Url("inter.cer")));
}

// A CA under the intermediate's name with another key neither issues for it nor signs its lists.
TEST_F(ChainBuilderTest, TheIssuersNameWithAnotherKeyIsNoIssuerAndSignsNoList) {
  const PrivateKey other_key = PrivateKey::Generate();
  CertificateSpec fields;
  fields.serial_hex = "0999";
  fields.subject = S().inter.certificate.Subject();
  fields.not_before = S().now - 365 * kDay;
  fields.not_after = S().now + 365 * kDay;
  fields.ca = true;
  const Certificate impostor =
      IssueCertificate(fields, other_key, S().root.certificate, S().root.key);
  test::AddToStore(impostor, "CA");
  S().TrustRoot();
  OpenBuilder(0);
  EXPECT_EQ(Build(S().user).code, 35);
  S().AddIntermediateToCa();
  test::AddCrlToStore(
      IssueCrl(CrlSpec{S().now - kDay, S().now + 30 * kDay, {}, 1, true, {}}, impostor, other_key));
  OpenBuilder(0);
  EXPECT_EQ(Build(S().user).code, -1);
  OpenBuilder(chain_flags::kCheckRevocation);
  EXPECT_EQ(Build(S().revoked).code, 34);
}

TEST_F(ChainBuilderTest, DownloadedRootIsNotTrusted) {
  OpenBuilder(chain_flags::kDownloadCa);
  Coded failure;
  EXPECT_EQ(RequestsDuring([&] { failure = Build(S().user); }),
            (std::vector<std::string>{"/inter.cer", "/root.cer"}));
  ExpectFailure(failure, 35, WithUrl(NotFound("Scenario Root CA"), S().Url("root.cer")));
}

TEST_F(ChainBuilderTest, FailedDownloadsAreTracedAndShowAsCodes35And34) {
  const std::string trace = PathOf("trace.log");
  ::setenv("LYR_TDX_TRACE", trace.c_str(), 1);
  S().TrustRoot();
  OpenBuilder(chain_flags::kDefault);
  ExpectFailure(Build(S().unreachable), 35,
                WithUrl(NotFound("Scenario Inter CA"), S().DeadUrl("inter.cer")));
  ExpectFailure(Build(S().bare), 35, NotFound("Scenario Inter CA"));
  const std::string traced = test::ReadAll(trace);
  EXPECT_NE(traced.find("Не удалось соединиться с сервером"), std::string::npos) << traced;
  EXPECT_NE(traced.find("\nНе удалось скачать корневой сертификат\n"), std::string::npos);
  EXPECT_NE(traced.find("\nНе удалось скачать список отозванных сертификатов\n"),
            std::string::npos);
  S().Serve("inter.cer", "this is not a certificate");
  OpenBuilder(chain_flags::kDownloadCa);
  const Coded not_a_certificate = Build(S().user);
  S().Serve("inter.cer", S().inter.certificate.Der());
  EXPECT_EQ(not_a_certificate.code, 35);
  EXPECT_NE(test::ReadAll(trace).find("По URL [" + S().Url("inter.cer") + "] не CRT: 0x"),
            std::string::npos);
  S().AddIntermediateToCa();
  OpenBuilder(chain_flags::kDefault);
  ExpectFailure(Build(S().unreachable), 34, NoCrl(S().DeadUrl("inter.crl")));
  ExpectFailure(Build(S().ocsp_only), 0, Msg(u8"Точка распространения сертификата CA не найдена"));
  ExpectFailure(Build(S().bare), 34,
                Msg(u8"Список отозванных сертификатов для [Scenario Inter CA] не найден"));
}

TEST_F(ChainBuilderTest, RevocationListsMustBeThereCurrentAndSignedByTheIssuer) {
  S().TrustRoot();
  S().AddIntermediateToCa();
  OpenBuilder(chain_flags::kCheckRevocation);
  ExpectFailure(Build(S().user), 34, NoCrl(S().Url("inter.crl")));
  test::AddCrlToStore(S().inter_stale_crl);
  const std::string stale = rtl::DateTimeToStr(Local(S().now - 30 * kDay));
  OpenBuilder(chain_flags::kCheckRevocation);
  ExpectFailure(Build(S().user), 33,
                WithUrl(Msg(u8"Нет актуального списка отозванных сертификатов [") + stale +
                            Msg(u8"] на дату подписи [") + rtl::DateTimeToStr(SigningDate()) + "]",
                        S().Url("inter.crl")));
  const rtl::TDateTime near_update = Local(S().now - 30 * kDay - kHour);
  OpenBuilder(chain_flags::kCheckRevocation, 2);
  ExpectFailure(Build(S().user, near_update), 33,
                WithUrl(Msg(u8"Дата подписи [") + rtl::DateTimeToStr(near_update) +
                            Msg(u8"] недопустимо близка к сроку действия списка отозванных "
                                u8"сертификатов [") +
                            stale + "]",
                        S().Url("inter.crl")));
}

class RevokedScenario : public ChainBuilderTest {
 protected:
  void SetUp() override {
    ChainBuilderTest::SetUp();
    S().TrustAll();
  }
};

TEST_F(RevokedScenario, RevocationCountsFromItsDateOnly) {
  OpenBuilder(chain_flags::kCheckRevocation);
  ExpectFailure(Build(S().revoked), 21,
                Msg(u8"На момент подписания [") + rtl::DateToStr(SigningDate()) +
                    Msg(u8"] сертификат был отозван [") +
                    rtl::DateToStr(Local(S().revocation_date)) + "]");
  EXPECT_EQ(Build(S().revoked, Local(S().revocation_date - 5 * kDay)).code, -1);
  EXPECT_EQ(Build(S().user).code, -1);
  const rtl::TDateTime near = Local(S().revocation_date - kHour);
  EXPECT_EQ(Build(S().revoked, near).code, -1);
  OpenBuilder(chain_flags::kCheckRevocation, 2);
  ExpectFailure(Build(S().revoked, near), 21,
                Msg(u8"Дата подписи [") + rtl::DateToStr(near) +
                    Msg(u8"] недопустимо близка к дате отзыва сертификата [") +
                    rtl::DateToStr(Local(S().revocation_date)) + "]");
}

TEST_F(RevokedScenario, SigningDateMustLieInThePastAndInTheCertificatesValidity) {
  OpenBuilder(chain_flags::kCheckRevocation);
  const rtl::TDateTime future = rtl::Now() + 1;
  const Coded failure = Build(S().user, future);
  EXPECT_EQ(failure.code, 33);
  EXPECT_TRUE(failure.message.starts_with(Msg(u8"Дата подписи [") + rtl::DateTimeToStr(future) +
                                          Msg(u8"] больше текущей даты [")))
      << failure.message;
  const Certificate& user = S().user.certificate;
  const rtl::TDateTime before = Local(user.NotBefore() - kDay);
  ExpectFailure(Build(S().user, before), 21,
                Msg(u8"Дата подписи [") + rtl::DateTimeToStr(before) +
                    Msg(u8"] вне срока действия сертификата [") + Span(user));
  const rtl::TDateTime near = Local(user.NotBefore() + kHour);
  EXPECT_EQ(Build(S().user, near).code, -1);
  OpenBuilder(chain_flags::kCheckRevocation, 2);
  ExpectFailure(Build(S().user, near), 21,
                Msg(u8"Дата подписи [") + rtl::DateTimeToStr(near) +
                    Msg(u8"] недопустимо близка к окончанию срока действия сертификата [") +
                    Span(user));
}

// The tool's default builder downloads only when asked; a passed check lists certificate and key.
TEST_F(ChainBuilderTest, CryptoToolChecksWithTheVerificationFlagsAndListsTheSigner) {
  const CTdx880CryptoTool tool;
  const Certificate user = test::InstallSigner(S().user, "scenario-user");
  const std::string signature = tool.Sign(true, "content", user.Thumbprint());
  S().TrustRoot();
  rtl::CStrArray signers;
  test::ExpectRaises([&] { tool.CheckSignEx(true, "c", false, false, nullptr, "s"); },
                     u8"Передан пустой аргумент: pSignerList");
  ExpectFailure(
      CodedOf([&] { tool.CheckSignEx(true, "content", false, false, &signers, signature); }), 35,
      WithUrl(NotFound("Scenario Inter CA"), S().Url("inter.cer")));
  EXPECT_EQ(signers.Count(), 0);
  EXPECT_TRUE(tool.CheckSign(true, "content", signature)) << "downloads and checks revocation";
  signers.Add("stale");
  tool.CheckSignEx(true, "content", true, true, &signers, signature);
  ASSERT_EQ(signers.Count(), 2);
  EXPECT_EQ(signers.Strings(0), user.Thumbprint());
  EXPECT_EQ(signers.Strings(1), user.Thumbprint());
  const CKORALCertificate* certificate = signers.Object<CKORALCertificate>(0);
  ASSERT_TRUE(certificate != nullptr && certificate->Context() != nullptr);
  EXPECT_EQ(certificate->Context()->Der(), user.Der());
  EXPECT_EQ(certificate->Provider(), nullptr) << "the verification's provider is gone";
  const CTdx880Key* key = signers.Object<CTdx880Key>(1);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Sha1(), user.Thumbprint());
  EXPECT_EQ(key->CertificateBody(), user.Der());
  EXPECT_EQ(key->SubjectCN(), "");
}

TEST_F(RevokedScenario, CryptoOperationsRunFromTwoThreadsAtOnce) {
  const Certificate user = test::InstallSigner(S().user, "scenario-user");
  EXPECT_TRUE(CTdx880Crypt().CheckSignature(
      "text", CTdx880CryptoTool().Sign(true, "text", user.Thumbprint())))
      << "before Init the current user's stores";
  test::AddToStore(user, "addressbook");
  std::vector<std::string> failures(2);
  auto work = [&](size_t thread) {
    try {
      const CTdx880CryptoTool tool;
      for (int round = 0; round < 10; ++round) {
        const std::string content = test::Content(1000 + static_cast<size_t>(round) * 97,
                                                  static_cast<unsigned>(thread * 100 + round));
        const std::string signature = tool.Sign(true, content, user.Thumbprint());
        rtl::CStrArray signers;
        tool.CheckSignEx(true, content, true, false, &signers, signature);
        const Coded tampered = CodedOf([&] { tool.CheckSign(true, content + "!", signature); });
        const std::string envelope = round % 2 == 0
                                         ? tool.EncryptBySha1(true, content, user.Thumbprint())
                                         : tool.EncryptByCertificate(content, user.Der());
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
