// The strict chain builder: the date rule with its margin, the configurations, and every trust,
// download, revocation and date case over the scenario PKI (root <- inter <- end entities, CRLs)
// served by a real loopback HTTP server, with the exact messages; and whole signature checks
// through CCryptoSignature.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crypt/crypto_api20_chain_builder_strict.h"
#include "crypt/crypto_api20_exception.h"
#include "crypt/crypto_provider.h"
#include "crypt/crypto_signature.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/pki_builder.h"
#include "http/http_fixture.h"
#include "rtl/date_time.h"
#include "rtl/text.h"
#include "support/pki.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::ChainScenario;
using test::PkiParty;

constexpr int64_t kDay = ChainScenario::kDay;
constexpr int64_t kHour = 3600;

rtl::TDateTime Local(int64_t unix_seconds) {
  return rtl::UnixTimeToLocalDateTime(unix_seconds);
}

struct Failure {
  int code = -1;  // -1: no error; 0: an error that is not CCryptoAPI20Exception
  std::string message;
};

template <typename Body>
Failure FailureOf(Body&& body) {
  try {
    body();
  } catch (const CCryptoAPI20Exception& error) {
    return {error.Code(), error.Message()};
  } catch (const rtl::Exception& error) {
    return {0, error.Message()};
  }
  return {};
}

// ---- the date rule ------------------------------------------------------------------------

struct MarginCase {
  std::string name;
  double date;
  int32_t margin_hours;
  DatePosition expected;
};

class DateRule : public ::testing::TestWithParam<MarginCase> {};

// Bounds 100..200 (days); a margin of 24 hours is one day.
TEST_P(DateRule, PlacesTheDateAgainstTheBounds) {
  EXPECT_EQ(CCryptoAPI20ChainBuilderStrict::CompareWithMargin(GetParam().date, 100, 200,
                                                              GetParam().margin_hours),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DateRule,
    ::testing::Values(MarginCase{"BeforeStart", 99.5, 0, DatePosition::kOutside},
                      MarginCase{"AtStart", 100, 0, DatePosition::kInside},
                      MarginCase{"Middle", 150, 0, DatePosition::kInside},
                      MarginCase{"JustBeforeEnd", 199.999, 0, DatePosition::kInside},
                      MarginCase{"AtEnd", 200, 0, DatePosition::kOutside},
                      MarginCase{"AfterEnd", 250, 0, DatePosition::kOutside},
                      MarginCase{"MarginBeforeStartBand", 98.9, 24, DatePosition::kOutside},
                      MarginCase{"MarginAtStartMinusMargin", 99, 24, DatePosition::kTooClose},
                      MarginCase{"MarginJustAfterStart", 100.5, 24, DatePosition::kTooClose},
                      MarginCase{"MarginAtStartPlusMargin", 101, 24, DatePosition::kInside},
                      MarginCase{"MarginJustBeforeEndBand", 198.9, 24, DatePosition::kInside},
                      MarginCase{"MarginAtEndMinusMargin", 199, 24, DatePosition::kTooClose},
                      MarginCase{"MarginJustAfterEnd", 200.5, 24, DatePosition::kTooClose},
                      MarginCase{"MarginAtEndPlusMargin", 201, 24, DatePosition::kOutside}),
    [](const auto& info) { return info.param.name; });

// ---- configurations -----------------------------------------------------------------------

TEST(ChainBuilderConfig, NegativeDateFailsWithTheShortDateAndKeepsTheOldOne) {
  CCryptoAPI20ChainBuilderBaseConfig config;
  config.SetDate(45000.25);
  EXPECT_EQ(FailureOf([&] { config.SetDate(-1.5); }).message,
            Msg(u8"Неверное значение аргумента [29.12.1899]"));
  EXPECT_EQ(config.Date(), 45000.25);
}

TEST(ChainBuilderConfig, NullInitialCertificateIsRefused) {
  CCryptoAPI20ChainBuilderBaseConfig config;
  EXPECT_EQ(FailureOf([&] { config.SetInitialCertificate(nullptr); }).message,
            Msg(u8"Передан пустой аргумент: pInitialCertContext"));
}

TEST(ChainBuilderConfig, AssignFromABaseConfigurationKeepsTheStrictFields) {
  CCryptoAPI20ChainBuilderBaseConfig source;
  source.SetStoreLocation(1);
  CCryptoAPI20ChainBuilderStrictConfig copy;
  copy.SetFlags(2);
  copy.Assign(source);
  EXPECT_EQ(copy.StoreLocation(), 1);
  EXPECT_EQ(copy.Flags(), 2);
}

class ChainBuilderDownloads : public test::HttpTest {
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

  static const ChainScenario& S() { return *scenario_; }
  static ChainScenario& MutableScenario() { return *scenario_; }

  void OpenBuilder(uint8_t flags, int32_t margin = 0) {
    CCryptoAPI20ChainBuilderStrictConfig config;
    config.SetFlags(flags);
    config.SetMargin(margin);
    ASSERT_TRUE(builder_.Open(&config));
  }
  Failure Build(const Certificate& certificate, rtl::TDateTime date) {
    return FailureOf([&] { builder_.BuildChain(&certificate, date); });
  }
  // An hour before the scenario was made: inside every validity and the current CRLs.
  static rtl::TDateTime SigningDate() { return Local(S().now - kHour); }

  // The paths requested from the scenario's server by body.
  template <typename Body>
  static std::vector<std::string> RequestsDuring(Body&& body) {
    const size_t before = S().RequestedPaths().size();
    body();
    const std::vector<std::string> all = S().RequestedPaths();
    return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
  }
  // Traces into a file of the sandbox; returns its path.
  std::string TraceToFile() {
    const std::string path = PathOf("trace.log");
    ::setenv("LYR_TDX_TRACE", path.c_str(), 1);
    return path;
  }

  static std::string NotFound(const std::string& issuer) {
    return Msg(u8"Не найден сертификат УЦ [") + issuer + "]";
  }
  static std::string WithUrl(const std::string& message, const std::string& url) {
    return message + Msg(u8". URL для скачивания: [") + url + "]";
  }

  CCryptoAPI20ChainBuilderStrict builder_;

 private:
  static std::unique_ptr<ChainScenario> scenario_;
};

std::unique_ptr<ChainScenario> ChainBuilderDownloads::scenario_;

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// ---- trust ----------------------------------------------------------------------------------

TEST_F(ChainBuilderDownloads, CertificateOfARootInRootVerifiesWithAllFlagsOff) {
  S().TrustRoot();
  OpenBuilder(0);
  const std::vector<std::string> requests =
      RequestsDuring([&] { EXPECT_EQ(Build(S().direct.certificate, SigningDate()).code, -1); });
  EXPECT_TRUE(requests.empty());
  EXPECT_TRUE(builder_.LastRoot()->SameAs(S().root.certificate));
}

TEST_F(ChainBuilderDownloads, MissingIntermediateIsCode35WithItsDownloadAddress) {
  S().TrustRoot();
  OpenBuilder(0);
  const Failure failure = Build(S().user.certificate, SigningDate());
  EXPECT_EQ(failure.code, 35);
  EXPECT_EQ(failure.message, WithUrl(NotFound("Scenario Inter CA"), S().Url("inter.cer")));
}

TEST_F(ChainBuilderDownloads, MissingIntermediateOfACertificateWithoutAddressIsCode35Alone) {
  S().TrustRoot();
  OpenBuilder(0);
  const Failure failure = Build(S().bare.certificate, SigningDate());
  EXPECT_EQ(failure.code, 35);
  EXPECT_EQ(failure.message, NotFound("Scenario Inter CA"));
}

TEST_F(ChainBuilderDownloads, CertificateCarryingTheIssuersNameWithAnotherKeyIsNoIssuer) {
  CertificateSpec fields;
  fields.serial_hex = "0999";
  fields.subject = S().inter.certificate.Subject();
  fields.not_before = S().now - 365 * kDay;
  fields.not_after = S().now + 365 * kDay;
  fields.ca = true;
  const Certificate impostor =
      IssueCertificate(fields, PrivateKey::Generate(), S().root.certificate, S().root.key);
  CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA")
      .Add(impostor, AddDisposition::kReplaceExisting);
  S().TrustRoot();
  OpenBuilder(0);
  EXPECT_EQ(Build(S().user.certificate, SigningDate()).code, 35);
  S().AddIntermediateToCa();
  OpenBuilder(0);
  EXPECT_EQ(Build(S().user.certificate, SigningDate()).code, -1);
}

TEST_F(ChainBuilderDownloads, ClosedOrBadlyOpenedBuilderFails) {
  const Certificate& user = S().user.certificate;
  EXPECT_FALSE(builder_.IsDocumentOpened());
  EXPECT_EQ(Build(user, SigningDate()).message, Msg(u8"Документ не открыт"));
  EXPECT_EQ(FailureOf([&] { builder_.Open(nullptr); }).message,
            Msg(u8"Передан пустой аргумент: config"));
  EXPECT_FALSE(builder_.IsDocumentOpened());
  CCryptoAPI20ChainBuilderStrictConfig config;
  config.SetStoreLocation(3);
  EXPECT_EQ(FailureOf([&] { builder_.Open(&config); }).message,
            Msg(u8"Недоступное хранилище: [3]"));
}

TEST_F(ChainBuilderDownloads, RootInCaAlsoEndsTheChainAndStoresAreReadAtOpenOnly) {
  OpenBuilder(0);
  test::AddToStore(S().root.certificate, "CA");
  S().AddIntermediateToCa();
  EXPECT_EQ(Build(S().user.certificate, SigningDate()).code, chain_code::kIssuerNotFound);
  OpenBuilder(0);
  EXPECT_EQ(Build(S().user.certificate, SigningDate()).code, -1);
  // Outside the issuer's validity no issuer is found.
  EXPECT_EQ(Build(S().user.certificate, Local(S().now - 3000 * kDay)).code, 35);
  EXPECT_EQ(Build(S().user.certificate, Local(S().now + 4000 * kDay)).code, 35);
}

TEST_F(ChainBuilderDownloads, SelfSignedCertificateIsItsOwnChainOnlyWhenTrusted) {
  OpenBuilder(0);
  const Failure failure = Build(S().root.certificate, SigningDate());
  EXPECT_EQ(failure.code, 35);
  EXPECT_EQ(failure.message, NotFound("Scenario Root CA"));
  S().TrustRoot();
  OpenBuilder(0);
  EXPECT_EQ(Build(S().root.certificate, SigningDate()).code, -1);
  EXPECT_TRUE(builder_.LastRoot()->SameAs(S().root.certificate));
}

// ---- downloads ------------------------------------------------------------------------------

TEST_F(ChainBuilderDownloads, IntermediateIsDownloadedWithFlag2AndTheChainCompletes) {
  S().TrustRoot();
  OpenBuilder(chain_flags::kDownloadCa);
  const std::vector<std::string> requests =
      RequestsDuring([&] { EXPECT_EQ(Build(S().user.certificate, SigningDate()).code, -1); });
  EXPECT_TRUE(Contains(requests, "/inter.cer"));
  EXPECT_TRUE(builder_.LastRoot()->SameAs(S().root.certificate));
}

TEST_F(ChainBuilderDownloads, DownloadedRootIsNotTrusted) {
  OpenBuilder(chain_flags::kDownloadCa);
  std::vector<std::string> requests;
  Failure failure;
  requests = RequestsDuring([&] { failure = Build(S().user.certificate, SigningDate()); });
  EXPECT_EQ(requests, (std::vector<std::string>{"/inter.cer", "/root.cer"}));
  EXPECT_EQ(failure.code, 35);
  EXPECT_EQ(failure.message, WithUrl(NotFound("Scenario Root CA"), S().Url("root.cer")));
}

TEST_F(ChainBuilderDownloads, EveryAddressIsFetchedOncePerBuilder) {
  S().TrustRoot();
  OpenBuilder(chain_flags::kDownloadCa);
  const std::vector<std::string> requests = RequestsDuring([&] {
    EXPECT_EQ(Build(S().user.certificate, SigningDate()).code, -1);
    EXPECT_EQ(Build(S().revoked.certificate, SigningDate()).code, -1);
  });
  EXPECT_EQ(std::count(requests.begin(), requests.end(), "/inter.cer"), 1);
}

TEST_F(ChainBuilderDownloads, RevocationListsAreDownloadedWithFlag4AndChecked) {
  S().TrustRoot();
  OpenBuilder(chain_flags::kDefault);
  const std::vector<std::string> requests =
      RequestsDuring([&] { EXPECT_EQ(Build(S().user.certificate, SigningDate()).code, -1); });
  EXPECT_TRUE(Contains(requests, "/inter.crl"));
  EXPECT_TRUE(Contains(requests, "/root.crl"));
}

TEST_F(ChainBuilderDownloads, DownloadThatFailsIsOnlyTracedAndShowsAsCode35) {
  const std::string trace = TraceToFile();
  S().TrustRoot();
  OpenBuilder(chain_flags::kDefault);
  const Failure failure = Build(S().unreachable.certificate, SigningDate());
  EXPECT_EQ(failure.code, 35);
  EXPECT_EQ(failure.message, WithUrl(NotFound("Scenario Inter CA"), S().DeadUrl("inter.cer")));
  const std::string traced = test::ReadAll(trace);
  EXPECT_NE(traced.find("Не удалось соединиться с сервером"), std::string::npos) << traced;
  EXPECT_NE(traced.find("\nНе удалось скачать корневой сертификат\n"), std::string::npos);
  EXPECT_NE(traced.find("\nНе удалось скачать список отозванных сертификатов\n"),
            std::string::npos);
}

TEST_F(ChainBuilderDownloads, RevocationListThatCannotBeDownloadedShowsAsCode34) {
  TraceToFile();
  S().TrustRoot();
  S().AddIntermediateToCa();
  OpenBuilder(chain_flags::kDefault);
  const Failure failure = Build(S().unreachable.certificate, SigningDate());
  EXPECT_EQ(failure.code, 34);
  EXPECT_EQ(failure.message,
            WithUrl(Msg(u8"Список отозванных сертификатов для [Scenario Inter CA] не найден"),
                    S().DeadUrl("inter.crl")));
}

TEST_F(ChainBuilderDownloads, DownloadedBodyThatIsNoCertificateIsTraced) {
  const std::string trace = TraceToFile();
  MutableScenario().Serve("inter.cer", "this is not a certificate");
  S().TrustRoot();
  OpenBuilder(chain_flags::kDownloadCa);
  const Failure failure = Build(S().user.certificate, SigningDate());
  MutableScenario().Serve("inter.cer", S().inter.certificate.Der());
  EXPECT_EQ(failure.code, 35);
  const std::string traced = test::ReadAll(trace);
  EXPECT_NE(traced.find("По URL [" + S().Url("inter.cer") + "] не CRT: 0x"), std::string::npos)
      << traced;
}

TEST_F(ChainBuilderDownloads, AccessExtensionWithOnlyOcspFailsTheWalk) {
  S().TrustRoot();
  S().AddIntermediateToCa();
  OpenBuilder(chain_flags::kDefault);
  const Failure failure = Build(S().ocsp_only.certificate, SigningDate());
  EXPECT_EQ(failure.code, 0);
  EXPECT_EQ(failure.message, Msg(u8"Точка распространения сертификата CA не найдена"));
}

// ---- revocation -----------------------------------------------------------------------------

TEST_F(ChainBuilderDownloads, NoRevocationListAnywhereIsCode34WithTheAddresses) {
  S().TrustRoot();
  S().AddIntermediateToCa();
  OpenBuilder(chain_flags::kCheckRevocation);
  const Failure failure = Build(S().user.certificate, SigningDate());
  EXPECT_EQ(failure.code, 34);
  EXPECT_EQ(failure.message,
            WithUrl(Msg(u8"Список отозванных сертификатов для [Scenario Inter CA] не найден"),
                    S().Url("inter.crl")));
}

TEST_F(ChainBuilderDownloads, StaleRevocationListIsCode33) {
  S().TrustRoot();
  S().AddIntermediateToCa();
  test::AddCrlToStore(S().inter_stale_crl);
  OpenBuilder(chain_flags::kCheckRevocation);
  const rtl::TDateTime date = SigningDate();
  const Failure failure = Build(S().user.certificate, date);
  EXPECT_EQ(failure.code, 33);
  EXPECT_EQ(failure.message,
            WithUrl(Msg(u8"Нет актуального списка отозванных сертификатов [") +
                        rtl::DateTimeToStr(Local(S().now - 30 * kDay)) +
                        Msg(u8"] на дату подписи [") + rtl::DateTimeToStr(date) + "]",
                    S().Url("inter.crl")));
}

TEST_F(ChainBuilderDownloads, ListSignedByAnotherKeyIsNoList) {
  const PrivateKey other_key = PrivateKey::Generate();
  CertificateSpec fields;
  fields.subject = S().inter.certificate.Subject();
  fields.not_before = S().now - kDay;
  fields.not_after = S().now + kDay;
  fields.ca = true;
  const Certificate impostor = IssueSelfSigned(fields, other_key);
  CrlSpec crl_spec;
  crl_spec.this_update = S().now - kDay;
  crl_spec.next_update = S().now + 30 * kDay;
  S().TrustRoot();
  S().AddIntermediateToCa();
  test::AddCrlToStore(IssueCrl(crl_spec, impostor, other_key));
  OpenBuilder(chain_flags::kCheckRevocation);
  EXPECT_EQ(Build(S().revoked.certificate, SigningDate()).code, 34);
}

class RevokedScenario : public ChainBuilderDownloads {
 protected:
  void SetUp() override {
    ChainBuilderDownloads::SetUp();
    S().TrustRoot();
    S().AddIntermediateToCa();
    test::AddCrlToStore(S().inter_crl);
    test::AddCrlToStore(S().root_crl);
  }
};

TEST_F(RevokedScenario, CertificateRevokedBeforeTheSigningDateIsCode21) {
  OpenBuilder(chain_flags::kCheckRevocation);
  const rtl::TDateTime date = SigningDate();
  const Failure failure = Build(S().revoked.certificate, date);
  EXPECT_EQ(failure.code, 21);
  EXPECT_EQ(failure.message, Msg(u8"На момент подписания [") + rtl::DateToStr(date) +
                                 Msg(u8"] сертификат был отозван [") +
                                 rtl::DateToStr(Local(S().revocation_date)) + "]");
}

TEST_F(RevokedScenario, CertificateRevokedAfterTheSigningDatePasses) {
  OpenBuilder(chain_flags::kCheckRevocation);
  EXPECT_EQ(Build(S().revoked.certificate, Local(S().revocation_date - 5 * kDay)).code, -1);
  EXPECT_EQ(Build(S().user.certificate, SigningDate()).code, -1);
}

TEST_F(RevokedScenario, SigningDateInTheFutureIsCode33) {
  OpenBuilder(chain_flags::kCheckRevocation);
  const rtl::TDateTime date = rtl::Now() + 1;
  const Failure failure = Build(S().user.certificate, date);
  EXPECT_EQ(failure.code, 33);
  const std::string prefix =
      Msg(u8"Дата подписи [") + rtl::DateTimeToStr(date) + Msg(u8"] больше текущей даты [");
  EXPECT_EQ(failure.message.rfind(prefix, 0), 0u) << failure.message;
}

TEST_F(RevokedScenario, SigningDateBeforeTheCertificateIsCode21) {
  OpenBuilder(chain_flags::kCheckRevocation);
  const Certificate& user = S().user.certificate;
  const rtl::TDateTime date = Local(user.NotBefore() - kDay);
  const Failure failure = Build(user, date);
  EXPECT_EQ(failure.code, 21);
  EXPECT_EQ(failure.message, Msg(u8"Дата подписи [") + rtl::DateTimeToStr(date) +
                                 Msg(u8"] вне срока действия сертификата [") +
                                 rtl::DateTimeToStr(Local(user.NotBefore())) + " - " +
                                 rtl::DateTimeToStr(Local(user.NotAfter())) + "]");
}

// ---- the margin -----------------------------------------------------------------------------

TEST_F(RevokedScenario, MarginMakesADateNearTheCertificatesStartTooClose) {
  const Certificate& user = S().user.certificate;
  const rtl::TDateTime date = Local(user.NotBefore() + kHour);
  OpenBuilder(chain_flags::kCheckRevocation, 0);
  EXPECT_EQ(Build(user, date).code, -1);
  OpenBuilder(chain_flags::kCheckRevocation, 2);
  const Failure failure = Build(user, date);
  EXPECT_EQ(failure.code, 21);
  EXPECT_EQ(failure.message,
            Msg(u8"Дата подписи [") + rtl::DateTimeToStr(date) +
                Msg(u8"] недопустимо близка к окончанию срока действия сертификата [") +
                rtl::DateTimeToStr(Local(user.NotBefore())) + " - " +
                rtl::DateTimeToStr(Local(user.NotAfter())) + "]");
}

TEST_F(RevokedScenario, MarginMakesADateJustBeforeTheRevocationTooClose) {
  const rtl::TDateTime date = Local(S().revocation_date - kHour);
  OpenBuilder(chain_flags::kCheckRevocation, 0);
  EXPECT_EQ(Build(S().revoked.certificate, date).code, -1);
  OpenBuilder(chain_flags::kCheckRevocation, 2);
  const Failure failure = Build(S().revoked.certificate, date);
  EXPECT_EQ(failure.code, 21);
  EXPECT_EQ(failure.message, Msg(u8"Дата подписи [") + rtl::DateToStr(date) +
                                 Msg(u8"] недопустимо близка к дате отзыва сертификата [") +
                                 rtl::DateToStr(Local(S().revocation_date)) + "]");
}

TEST_F(ChainBuilderDownloads, MarginMakesADateJustBeforeTheNextUpdateTooClose) {
  S().TrustRoot();
  S().AddIntermediateToCa();
  test::AddCrlToStore(S().inter_stale_crl);
  const rtl::TDateTime date = Local(S().now - 30 * kDay - kHour);
  OpenBuilder(chain_flags::kCheckRevocation, 2);
  const Failure failure = Build(S().user.certificate, date);
  EXPECT_EQ(failure.code, 33);
  EXPECT_EQ(failure.message,
            WithUrl(Msg(u8"Дата подписи [") + rtl::DateTimeToStr(date) +
                        Msg(u8"] недопустимо близка к сроку действия списка отозванных "
                            u8"сертификатов [") +
                        rtl::DateTimeToStr(Local(S().now - 30 * kDay)) + "]",
                    S().Url("inter.crl")));
}

// ---- whole signature checks -----------------------------------------------------------------

class ScenarioSignature : public ChainBuilderDownloads {
 protected:
  void SetUp() override {
    ChainBuilderDownloads::SetUp();
    provider_.AcquireVerifyContext(75, false);
  }
  std::string SignAs(const PkiParty& party, const std::string& content) {
    const Certificate bound = test::InstallSigner(party, "signer");
    CCryptoSignatureConfig config(&provider_, 2, 0, 2);
    CCryptoSignature signature;
    signature.Open(&config);
    signature.Sign(bound.Thumbprint(), content);
    return signature.GetSignature();
  }
  Failure Verify(const std::string& content, const std::string& signature, uint8_t flags) {
    CCryptoSignatureConfig config(&provider_, 2, flags, 2);
    CCryptoSignature verifier;
    verifier.Open(&config);
    return FailureOf([&] { verifier.Verify(content, signature, 0); });
  }

  CCryptoProvider provider_;
};

TEST_F(ScenarioSignature, DirectUserVerifiesWithTheRootInRootAndNothingElse) {
  const std::string signature = SignAs(S().direct, "content");
  S().TrustRoot();
  EXPECT_EQ(Verify("content", signature, verify_flags::kCheckChain).code, -1);
}

TEST_F(ScenarioSignature, DefaultBuilderDownloadsAndChecksRevocation) {
  const std::string signature = SignAs(S().user, "content");
  S().TrustRoot();
  EXPECT_EQ(Verify("content", signature, 2 | 4 | 8 | 16).code, -1);
}

TEST_F(ScenarioSignature, RevokedSignerFailsWithCode21) {
  const std::string signature = SignAs(S().revoked, "content");
  S().TrustRoot();
  const Failure failure = Verify("content", signature, 2 | 4 | 8 | 16);
  EXPECT_EQ(failure.code, 21);
  EXPECT_EQ(failure.message.rfind(Msg(u8"На момент подписания ["), 0), 0u) << failure.message;
}

TEST_F(ScenarioSignature, WithoutFlag4NoChainIsBuilt) {
  const std::string signature = SignAs(S().user, "content");
  EXPECT_EQ(Verify("content", signature, 2 | 8 | 16).code, -1);
}

TEST_F(ScenarioSignature, WithoutDownloadsTheMissingIntermediateIsCode35) {
  const std::string signature = SignAs(S().user, "content");
  S().TrustRoot();
  const Failure failure = Verify("content", signature, verify_flags::kCheckChain);
  EXPECT_EQ(failure.code, 35);
  EXPECT_EQ(failure.message, WithUrl(NotFound("Scenario Inter CA"), S().Url("inter.cer")));
}

}  // namespace
}  // namespace lyr::crypt
