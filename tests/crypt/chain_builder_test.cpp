// The chain builders: their configurations, the date rule with its margin, and the walk and the
// revocation check against the fixed test PKI (root <- inter <- user, a root CRL revoking inter).
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "crypt/crypto_api20_chain_builder_strict.h"
#include "crypt/crypto_api20_exception.h"
#include "crypt/platform/cert_store.h"
#include "crypt/support/test_pki.h"
#include "http/http_fixture.h"
#include "rtl/date_time.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::SharedPki;

Certificate PkiCertificate(const std::filesystem::path& pem) {
  return Certificate::FromDer(test::PemFileToDer(pem));
}

rtl::TDateTime Date(int32_t year, int32_t month, int32_t day) {
  return rtl::EncodeDateTime({year, month, day, 12, 0, 0, 0});
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

TEST(ChainBuilderConfig, StrictDefaultsAreLocation2Flags14Margin0) {
  const CCryptoAPI20ChainBuilderStrictConfig config;
  EXPECT_EQ(config.StoreLocation(), 2);
  EXPECT_EQ(config.Flags(), 14);
  EXPECT_EQ(config.Margin(), 0);
  EXPECT_FALSE(config.InitialCertificate().has_value());
  EXPECT_EQ(config.Provider(), nullptr);
}

TEST(ChainBuilderConfig, DateZeroStoresNow) {
  CCryptoAPI20ChainBuilderBaseConfig config;
  const rtl::TDateTime before = rtl::Now();
  config.SetDate(0);
  EXPECT_GE(config.Date(), before);
  EXPECT_LE(config.Date(), rtl::Now());
}

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

TEST(ChainBuilderConfig, AssignCopiesEveryFieldOfTheSameKind) {
  const Certificate root = PkiCertificate(SharedPki().root);
  CCryptoAPI20ChainBuilderStrictConfig source;
  source.SetInitialCertificate(&root);
  source.SetStoreLocation(1);
  source.SetDate(45123.5);
  source.SetMargin(12);
  source.SetFlags(8);
  CCryptoAPI20ChainBuilderStrictConfig copy;
  copy.Assign(source);
  ASSERT_TRUE(copy.InitialCertificate().has_value());
  EXPECT_TRUE(copy.InitialCertificate()->SameAs(root));
  EXPECT_EQ(copy.StoreLocation(), 1);
  EXPECT_EQ(copy.Date(), 45123.5);
  EXPECT_EQ(copy.Margin(), 12);
  EXPECT_EQ(copy.Flags(), 8);
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

// ---- the walk over the fixed PKI ----------------------------------------------------------

class ChainBuilderTest : public test::HttpTest {
 protected:
  static CertStore Store(const char* name) {
    return CertStore::OpenSystem(StoreLocation::kCurrentUser, name);
  }
  // Opens builder_ with flags (and the default location 2).
  void OpenBuilder(uint8_t flags, int32_t margin = 0) {
    CCryptoAPI20ChainBuilderStrictConfig config;
    config.SetFlags(flags);
    config.SetMargin(margin);
    ASSERT_TRUE(builder_.Open(&config));
  }
  Failure Build(const Certificate& certificate, rtl::TDateTime date = 0) {
    return FailureOf([&] { builder_.BuildChain(&certificate, date); });
  }

  Certificate root_ = PkiCertificate(SharedPki().root);
  Certificate inter_ = PkiCertificate(SharedPki().inter);
  Certificate user_ = PkiCertificate(SharedPki().user);
  CCryptoAPI20ChainBuilderStrict builder_;
};

TEST_F(ChainBuilderTest, BuildingWhileClosedFails) {
  EXPECT_FALSE(builder_.IsDocumentOpened());
  EXPECT_EQ(Build(user_).message, Msg(u8"Документ не открыт"));
}

TEST_F(ChainBuilderTest, OpenWithoutConfigurationFails) {
  EXPECT_EQ(FailureOf([&] { builder_.Open(nullptr); }).message,
            Msg(u8"Передан пустой аргумент: config"));
  EXPECT_FALSE(builder_.IsDocumentOpened());
}

TEST_F(ChainBuilderTest, OpenWithUnknownLocationFails) {
  CCryptoAPI20ChainBuilderStrictConfig config;
  config.SetStoreLocation(3);
  EXPECT_EQ(FailureOf([&] { builder_.Open(&config); }).message,
            Msg(u8"Недоступное хранилище: [3]"));
}

TEST_F(ChainBuilderTest, ChainThroughCaToRootCompletesWithAllFlagsOff) {
  Store("CA").Add(inter_, AddDisposition::kNew);
  Store("ROOT").Add(root_, AddDisposition::kNew);
  OpenBuilder(0);
  EXPECT_EQ(Build(user_).code, -1);
  ASSERT_TRUE(builder_.LastRoot().has_value());
  EXPECT_TRUE(builder_.LastRoot()->SameAs(root_));
}

TEST_F(ChainBuilderTest, RootInCaStoreAlsoEndsTheChain) {
  Store("CA").Add(inter_, AddDisposition::kNew);
  Store("CA").Add(root_, AddDisposition::kNew);
  OpenBuilder(0);
  EXPECT_EQ(Build(user_).code, -1);
}

TEST_F(ChainBuilderTest, StoresAreReadAtOpenOnly) {
  OpenBuilder(0);
  Store("CA").Add(inter_, AddDisposition::kNew);
  Store("ROOT").Add(root_, AddDisposition::kNew);
  EXPECT_EQ(Build(user_).code, chain_code::kIssuerNotFound);
}

TEST_F(ChainBuilderTest, MissingIntermediateIsCode35WithItsDownloadAddress) {
  Store("ROOT").Add(root_, AddDisposition::kNew);
  OpenBuilder(0);
  const Failure failure = Build(user_);
  EXPECT_EQ(failure.code, 35);
  EXPECT_EQ(failure.message, Msg(u8"Не найден сертификат УЦ [") + *user_.IssuerCN() +
                                 Msg(u8"]. URL для скачивания: [http://127.0.0.1:8080/inter.cer]"));
  EXPECT_FALSE(builder_.LastRoot().has_value());
}

TEST_F(ChainBuilderTest, TrustedSelfSignedCertificateIsItsOwnChain) {
  Store("ROOT").Add(root_, AddDisposition::kNew);
  OpenBuilder(0);
  EXPECT_EQ(Build(root_).code, -1);
  EXPECT_TRUE(builder_.LastRoot()->SameAs(root_));
}

// A self-signed certificate that is in neither "ROOT" nor "CA" is not trusted.
TEST_F(ChainBuilderTest, UntrustedSelfSignedCertificateIsCode35) {
  OpenBuilder(0);
  const Failure failure = Build(root_);
  EXPECT_EQ(failure.code, 35);
  EXPECT_EQ(failure.message, Msg(u8"Не найден сертификат УЦ [") + *root_.IssuerCN() + "]");
}

TEST_F(ChainBuilderTest, IssuerNotValidAtTheDateIsNotFound) {
  Store("CA").Add(inter_, AddDisposition::kNew);
  Store("ROOT").Add(root_, AddDisposition::kNew);
  OpenBuilder(0);
  EXPECT_EQ(Build(user_, Date(2001, 1, 1)).code, 35);
  EXPECT_EQ(Build(user_, Date(9000, 1, 1)).code, 35);
}

TEST_F(ChainBuilderTest, AuthorityAccessWithOnlyOcspFailsTheWalk) {
  Store("ROOT").Add(root_, AddDisposition::kNew);
  OpenBuilder(0);
  const Failure failure = Build(PkiCertificate(SharedPki().ocsp_only));
  EXPECT_EQ(failure.code, 0);
  EXPECT_EQ(failure.message, Msg(u8"Точка распространения сертификата CA не найдена"));
}

TEST_F(ChainBuilderTest, RevocationCheckWithoutAnyListIsCode34WithTheAddresses) {
  Store("CA").Add(inter_, AddDisposition::kNew);
  Store("ROOT").Add(root_, AddDisposition::kNew);
  OpenBuilder(chain_flags::kCheckRevocation);
  const Failure failure = Build(user_);
  EXPECT_EQ(failure.code, 34);
  EXPECT_EQ(failure.message,
            Msg(u8"Список отозванных сертификатов для [") + *user_.IssuerCN() +
                Msg(u8"] не найден. URL для скачивания: [http://127.0.0.1:8080/inter.crl]"));
}

// The root's list revokes inter (serial 0102) on 2025-01-01; inter itself is younger than that.
TEST_F(ChainBuilderTest, CertificateRevokedBeforeTheSigningDateIsCode21) {
  Store("ROOT").Add(root_, AddDisposition::kNew);
  Store("CA").AddCrl(Crl::FromPem(test::FileBytes(SharedPki().root_crl)), AddDisposition::kNew);
  OpenBuilder(chain_flags::kCheckRevocation);
  // Signed now (the fixed PKI is only minutes old).
  const Failure failure = Build(inter_, 0);
  EXPECT_EQ(failure.code, 21);
  EXPECT_EQ(failure.message, Msg(u8"На момент подписания [") + rtl::DateToStr(rtl::Now()) +
                                 Msg(u8"] сертификат был отозван [01.01.2025]"));
}

TEST_F(ChainBuilderTest, SigningDateInTheFutureIsCode33) {
  Store("ROOT").Add(root_, AddDisposition::kNew);
  Store("CA").AddCrl(Crl::FromPem(test::FileBytes(SharedPki().root_crl)), AddDisposition::kNew);
  OpenBuilder(chain_flags::kCheckRevocation);
  const rtl::TDateTime date = rtl::Now() + 2;
  const Failure failure = Build(inter_, date);
  EXPECT_EQ(failure.code, 33);
  const std::string prefix =
      Msg(u8"Дата подписи [") + rtl::DateTimeToStr(date) + Msg(u8"] больше текущей даты [");
  EXPECT_EQ(failure.message.rfind(prefix, 0), 0u) << failure.message;
}

}  // namespace
}  // namespace lyr::crypt
