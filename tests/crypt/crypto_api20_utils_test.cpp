// CCryptoAPI20Utils: bodies, names, extensions, store look-ups, messages.
#include "crypt/crypto_api20_utils.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "crypt/crypto_provider.h"
#include "crypt/platform/key_container.h"
#include "rtl/base64.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::SharedPki;

template <typename Body>
std::string MessageOf(Body&& body) {
  try {
    body();
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

Certificate Load(const std::filesystem::path& pem) {
  return Certificate::FromDer(test::PemFileToDer(pem));
}

using Utils = CCryptoAPI20Utils;

TEST(CryptoUtilsStores, LocationCodesGiveTheStoreFlags) {
  EXPECT_EQ(Utils::StoreLocationFlags(1), 0x00021001U);
  EXPECT_EQ(Utils::StoreLocationFlags(2), 0x00011001U);
  EXPECT_EQ(MessageOf([] { Utils::StoreLocationFlags(0); }), Msg(u8"Недоступное хранилище: [0]"));
  EXPECT_EQ(MessageOf([] { Utils::StoreLocationFlags(3); }), Msg(u8"Недоступное хранилище: [3]"));
}

TEST(CryptoUtilsStores, StoreCodesGiveTheStoreNames) {
  EXPECT_EQ(Utils::StoreName(1), "MY");
  EXPECT_EQ(Utils::StoreName(2), "ROOT");
  EXPECT_EQ(Utils::StoreName(3), "CA");
  EXPECT_EQ(Utils::StoreName(4), "addressbook");
  EXPECT_EQ(MessageOf([] { Utils::StoreName(0); }), Msg(u8"Недоступное имя хранилища: [0]"));
  EXPECT_EQ(MessageOf([] { Utils::StoreName(5); }), Msg(u8"Недоступное имя хранилища: [5]"));
}

struct BodyCase {
  const char* name;
  std::string (*make)();
};

class CryptoUtilsBodies : public ::testing::TestWithParam<BodyCase> {};

TEST_P(CryptoUtilsBodies, GiveTheSameCertificate) {
  const Certificate certificate = Utils::CertificateFromBody(GetParam().make());
  EXPECT_EQ(Utils::GetSha1(certificate), Load(SharedPki().user).Thumbprint());
}

std::string UserPem() {
  return test::FileBytes(SharedPki().user);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, CryptoUtilsBodies,
    ::testing::Values(BodyCase{"Pem", [] { return UserPem(); }},
                      BodyCase{"PemWithCrLf",
                               [] {
                                 std::string pem;
                                 for (const char c : UserPem()) {
                                   pem += c == '\n' ? std::string("\r\n") : std::string(1, c);
                                 }
                                 return pem;
                               }},
                      BodyCase{"BareBase64WithLineBreaks",
                               [] {
                                 std::string pem = UserPem();
                                 pem.erase(0, pem.find('\n') + 1);
                                 return pem.substr(0, pem.find("-----END"));
                               }},
                      BodyCase{
                          "Base64OnOneLine",
                          [] { return rtl::EncodeBase64(test::PemFileToDer(SharedPki().user)); }},
                      BodyCase{"Der", [] { return test::PemFileToDer(SharedPki().user); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadBodyCase {
  const char* name;
  std::string body;
  std::string expected;
};

class CryptoUtilsBadBodies : public ::testing::TestWithParam<BadBodyCase> {};

// The system text ends with OpenSSL's own explanation, which is not compared.
TEST_P(CryptoUtilsBadBodies, FailWithTheImportMessage) {
  const std::string message = MessageOf([] { Utils::CertificateFromBody(GetParam().body); });
  EXPECT_EQ(message.substr(0, GetParam().expected.size()), GetParam().expected);
}

const std::string kBadTag = "0x8009310B (-2146881269): ASN1 bad tag value met.";

INSTANTIATE_TEST_SUITE_P(
    Bodies, CryptoUtilsBadBodies,
    ::testing::Values(
        BadBodyCase{"Empty", "", Msg(u8"Передан пустой аргумент: CertificateBody")},
        BadBodyCase{"Base64ButNoCertificate", "QUJDREVG",
                    Msg(u8"Ошибка при импорте сертификата: ") + kBadTag},
        BadBodyCase{"PemWithGarbage",
                    "-----BEGIN CERTIFICATE-----\nMIIB!!garbage\n-----END CERTIFICATE-----\n",
                    Msg(u8"Ошибка при импорте сертификата: ") + kBadTag},
        BadBodyCase{"OnlyMarkers", "-----BEGIN CERTIFICATE----------END CERTIFICATE-----",
                    Msg(u8"Ошибка при импорте сертификата: ") + kBadTag}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CryptoUtilsBodies, HugeBodyFailsCleanly) {
  const std::string huge(8 * 1024 * 1024, 'A');
  EXPECT_TRUE(MessageOf([&] {
                Utils::CertificateFromBody(huge);
              }).starts_with(Msg(u8"Ошибка при импорте сертификата: ")));
}

TEST(CryptoUtilsCrl, BodyBecomesACrlOrFailsWithTheCrlMessage) {
  const Crl crl = Utils::CRLFromBody(test::PemFileToDer(SharedPki().root_crl));
  EXPECT_EQ(crl.IssuerCN(), "Test Root CA");
  const std::string expected = Msg(u8"Ошибка при импорте CRL (неверный формат?): ") + kBadTag;
  EXPECT_EQ(MessageOf([] { Utils::CRLFromBody("junk"); }).substr(0, expected.size()), expected);
  EXPECT_EQ(MessageOf([] { Utils::CRLFromBody(""); }), Msg(u8"Передан пустой аргумент: CRLBody"));
}

TEST(CryptoUtilsNames, CommonNamesOrNa) {
  EXPECT_EQ(Utils::GetSubjectCN(Load(SharedPki().user)), "Test User");
  EXPECT_EQ(Utils::GetIssuerCN(Load(SharedPki().user)), "Test Inter CA");
  EXPECT_EQ(Utils::GetSubjectCN(Load(SharedPki().nocn)), "na");
  EXPECT_EQ(Utils::GetIssuerCN(Load(SharedPki().nocn)), "na");
}

TEST(CryptoUtilsSerial, IsWrittenLeastSignificantByteFirst) {
  EXPECT_EQ(Utils::GetSerialNumber(Load(SharedPki().user)), "C3B2A100");
  EXPECT_EQ(Utils::GetSerialNumber(Load(SharedPki().inter)), "0201");
  EXPECT_EQ(Utils::GetSerialNumber(Load(SharedPki().root)), "01");
}

TEST(CryptoUtilsExtensions, CrlUrlsSkipLdapAndUpperCaseSchemes) {
  EXPECT_EQ(Utils::GetCRLDistributionURLs(Load(SharedPki().inter)),
            "http://127.0.0.1:8080/root.crl,https://127.0.0.1/root2.crl");
  EXPECT_EQ(Utils::GetCRLDistributionURLs(Load(SharedPki().user)),
            "http://127.0.0.1:8080/inter.crl");
  EXPECT_EQ(Utils::GetCRLDistributionURLs(Load(SharedPki().root)), "");
}

TEST(CryptoUtilsExtensions, CaIssuersUrl) {
  EXPECT_EQ(Utils::GetCAIssuersURL(Load(SharedPki().inter)), "http://127.0.0.1:8080/root.cer");
  EXPECT_EQ(Utils::GetCAIssuersURL(Load(SharedPki().root)), "");
  EXPECT_EQ(MessageOf([] { Utils::GetCAIssuersURL(Load(SharedPki().ocsp_only)); }),
            Msg(u8"Точка распространения сертификата CA не найдена"));
}

TEST(CryptoUtilsExtensions, SelfIssuedComparesCommonNames) {
  EXPECT_TRUE(Utils::IsSelfIssued(Load(SharedPki().root)));
  EXPECT_FALSE(Utils::IsSelfIssued(Load(SharedPki().inter)));
  EXPECT_TRUE(Utils::IsSelfIssued(Load(SharedPki().nocn)));
}

TEST(CryptoUtilsExtensions, AcceptedUrls) {
  EXPECT_TRUE(Utils::IsAcceptedURL("https://a"));
  EXPECT_TRUE(Utils::IsAcceptedURL("http://a"));
  EXPECT_TRUE(Utils::IsAcceptedURL("ftp://a"));
  EXPECT_FALSE(Utils::IsAcceptedURL("HTTP://a"));
  EXPECT_FALSE(Utils::IsAcceptedURL("ldap://a"));
  EXPECT_FALSE(Utils::IsAcceptedURL(""));
  EXPECT_FALSE(Utils::IsAcceptedURL("file:///etc/passwd"));
}

class CryptoUtilsStoreTest : public test::Sandbox {
 protected:
  void TearDown() override {
    ::unsetenv("LYR_TDX_GOST_ENGINE");
    Sandbox::TearDown();
  }
  Certificate user_ = Load(SharedPki().user);
  Certificate root_ = Load(SharedPki().root);
};

TEST_F(CryptoUtilsStoreTest, FindsByExactThumbprintOnly) {
  CertStore::OpenSystem(StoreLocation::kCurrentUser, "addressbook")
      .Add(user_, AddDisposition::kUseExisting);
  const auto found = Utils::FindCertificateBySha1(nullptr, 2, user_.Thumbprint(), 4);
  ASSERT_TRUE(found.has_value());
  EXPECT_TRUE(found->SameAs(user_));
  std::string lower = user_.Thumbprint();
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  EXPECT_FALSE(Utils::FindCertificateBySha1(nullptr, 2, lower, 4).has_value());
  EXPECT_FALSE(Utils::FindCertificateBySha1(nullptr, 1, user_.Thumbprint(), 4).has_value());
  EXPECT_EQ(MessageOf([&] { Utils::FindCertificateBySha1(nullptr, 2, lower, 9); }),
            Msg(u8"Недоступное имя хранилища: [9]"));
}

TEST_F(CryptoUtilsStoreTest, EnumerateAppendsCertificatesNamedByThumbprint) {
  CertStore store = CertStore::OpenSystem(StoreLocation::kLocalMachine, "ROOT");
  store.Add(root_, AddDisposition::kUseExisting);
  store.Add(user_, AddDisposition::kUseExisting);
  CertificateList list;
  Utils::EnumerateStore(nullptr, 1, list, 2);
  ASSERT_EQ(list.size(), 2U);
  for (const auto& [name, certificate] : list) {
    EXPECT_EQ(name, certificate.Thumbprint());
  }
  Utils::EnumerateStore(nullptr, 2, list, 2);
  EXPECT_EQ(list.size(), 2U);
}

TEST_F(CryptoUtilsStoreTest, EncryptAndDecryptMessages) {
  KeyContainer::Create(StoreLocation::kCurrentUser, "k",
                       PrivateKey::FromPem(test::FileBytes(SharedPki().user_key), std::nullopt));
  Certificate bound = user_;
  bound.SetKeyProv(KeyProvInfo{"k", std::string(kGostProviderName), 75, 1, 1});
  CertStore my = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  my.Add(bound, AddDisposition::kReplaceExisting);
  const std::string envelope = Utils::EncryptMessage(user_, "document");
  EXPECT_EQ(Utils::DecryptMessage(my, envelope), "document");
  const std::string other = Utils::EncryptMessage(root_, "document");
  EXPECT_EQ(MessageOf([&] { Utils::DecryptMessage(my, other); }),
            Msg(u8"Ошибка при расшифровании (1): ") +
                "0x8009200C (-2146885620): Cannot find the certificate and private key to use for "
                "decryption.");
  EXPECT_EQ(MessageOf([&] { Utils::DecryptMessage(my, "junk"); }).substr(0, 40),
            (Msg(u8"Ошибка при расшифровании (1): ") + "0x8009200D").substr(0, 40));
}

TEST_F(CryptoUtilsStoreTest, CertificateFromSignatureTakesTheFirstCertificate) {
  const auto first = Utils::CertificateFromSignature(MakeCertificatesPkcs7({user_, root_}));
  ASSERT_TRUE(first.has_value());
  EXPECT_TRUE(first->SameAs(user_));
  EXPECT_FALSE(Utils::CertificateFromSignature(MakeCertificatesPkcs7({})).has_value());
  const std::string expected =
      rtl::Msg(u8"Не удалось извлечь подписанта из подписи. Неверный формат подписи: ") + kBadTag +
      " (PKCS#7): (error:";
  EXPECT_EQ(MessageOf([] {
              Utils::CertificateFromSignature("not a signature");
            }).substr(0, expected.size()),
            expected);
}

TEST_F(CryptoUtilsStoreTest, CertificateFromAnOpenSslDetachedSignature) {
  const std::string content = WriteFile("content.txt", "signed content");
  const std::string signature = PathOf("content.sig");
  ASSERT_EQ(test::RunOpenSsl("cms -sign -binary -outform DER -md md_gost94 -signer user.pem -inkey "
                             "user.key -in '" +
                             content + "' -out '" + signature + "'"),
            0);
  const auto signer = Utils::CertificateFromSignature(test::ReadAll(signature));
  ASSERT_TRUE(signer.has_value());
  EXPECT_TRUE(signer->SameAs(user_));
}

TEST_F(CryptoUtilsStoreTest, ProviderInfoAndPresence) {
  CCryptoProvider provider;
  provider.AcquireVerifyContext(75, false);
  const auto [name, type] = Utils::GetProvInfo(provider.Handle());
  EXPECT_EQ(name, kGostProviderName);
  EXPECT_EQ(type, 75U);
  EXPECT_EQ(MessageOf([] { Utils::GetProvInfo(nullptr); }),
            "CCryptoAPI20Utils.GetProvInfo: 0x80090001 (-2146893823): Bad UID.");
  EXPECT_TRUE(Utils::IsCryptographyOk());
  ::setenv("LYR_TDX_GOST_ENGINE", PathOf("none.so").c_str(), 1);
  EXPECT_FALSE(Utils::IsCryptographyOk());
}

}  // namespace
}  // namespace lyr::crypt
