// CCryptoAPI20Utils: location and store codes, bodies, names, extensions, store look-ups,
// envelopes and the signer of a signature.
#include "crypt/crypto_api20_utils.h"

#include <gtest/gtest.h>

#include "crypt/crypt_test.h"
#include "crypt/crypto_provider.h"
#include "rtl/base64.h"
#include "rtl/text.h"
#include "support/expect_raises.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::ExpectRaises;
using test::MessageOf;
using test::SharedPki;
using test_util::Load;
using Utils = CCryptoAPI20Utils;

const std::string kBadTag = "0x8009310B (-2146881269): ASN1 bad tag value met.";

TEST(CryptoUtils, LocationAndStoreCodes) {
  EXPECT_EQ(Utils::StoreLocationFlags(1), 0x00021001U);
  EXPECT_EQ(Utils::StoreLocationFlags(2), 0x00011001U);
  ExpectRaises([] { Utils::StoreLocationFlags(3); }, u8"Недоступное хранилище: [3]");
  EXPECT_EQ(Utils::StoreName(1), "MY");
  EXPECT_EQ(Utils::StoreName(2), "ROOT");
  EXPECT_EQ(Utils::StoreName(3), "CA");
  EXPECT_EQ(Utils::StoreName(4), "addressbook");
  ExpectRaises([] { Utils::StoreName(0); }, u8"Недоступное имя хранилища: [0]");
  ExpectRaises([] { Utils::StoreName(5); }, u8"Недоступное имя хранилища: [5]");
}

TEST(CryptoUtils, CertificateBodiesInEveryFormGiveTheCertificate) {
  const std::string pem = test::FileBytes(SharedPki().user);
  const std::string der = test::PemFileToDer(SharedPki().user);
  std::string crlf;
  for (const char c : pem) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  const std::string bare =
      pem.substr(pem.find('\n') + 1, pem.find("-----END") - pem.find('\n') - 1);
  for (const std::string& body : {pem, crlf, bare, rtl::EncodeBase64(der), der}) {
    EXPECT_EQ(Utils::GetSha1(Utils::CertificateFromBody(body)),
              Load(SharedPki().user).Thumbprint());
  }
  ExpectRaises([] { Utils::CertificateFromBody(""); },
               u8"Передан пустой аргумент: CertificateBody");
  // The system text ends with OpenSSL's own explanation, which is not compared.
  for (const std::string& body :
       {std::string("QUJDREVG"),
        std::string("-----BEGIN CERTIFICATE-----\nMIIB!!garbage\n-----END CERTIFICATE-----\n"),
        std::string("-----BEGIN CERTIFICATE----------END CERTIFICATE-----")}) {
    EXPECT_TRUE(MessageOf([&] {
                  Utils::CertificateFromBody(body);
                }).starts_with(Msg(u8"Ошибка при импорте сертификата: ") + kBadTag));
  }
  EXPECT_TRUE(MessageOf([] {
                Utils::CertificateFromBody(std::string(8 << 20, 'A'));
              }).starts_with(Msg(u8"Ошибка при импорте сертификата: ")));
}

TEST(CryptoUtils, CrlBodies) {
  EXPECT_EQ(Utils::CRLFromBody(test::PemFileToDer(SharedPki().root_crl)).IssuerCN(),
            "Test Root CA");
  EXPECT_TRUE(MessageOf([] {
                Utils::CRLFromBody("junk");
              }).starts_with(Msg(u8"Ошибка при импорте CRL (неверный формат?): ") + kBadTag));
  ExpectRaises([] { Utils::CRLFromBody(""); }, u8"Передан пустой аргумент: CRLBody");
}

TEST(CryptoUtils, NamesSerialsAndExtensions) {
  const Certificate root = Load(SharedPki().root);
  const Certificate inter = Load(SharedPki().inter);
  const Certificate user = Load(SharedPki().user);
  const Certificate nocn = Load(SharedPki().nocn);
  EXPECT_EQ(Utils::GetSubjectCN(user), "Test User");
  EXPECT_EQ(Utils::GetIssuerCN(user), "Test Inter CA");
  EXPECT_EQ(Utils::GetSubjectCN(nocn), "na");
  EXPECT_EQ(Utils::GetIssuerCN(nocn), "na");
  // Serial numbers are written least significant byte first.
  EXPECT_EQ(Utils::GetSerialNumber(user), "C3B2A100");
  EXPECT_EQ(Utils::GetSerialNumber(inter), "0201");
  EXPECT_TRUE(Utils::IsSelfIssued(root) && Utils::IsSelfIssued(nocn));
  EXPECT_FALSE(Utils::IsSelfIssued(inter));
  // LDAP and upper-case schemes are skipped.
  EXPECT_EQ(Utils::GetCRLDistributionURLs(inter),
            "http://127.0.0.1:8080/root.crl,https://127.0.0.1/root2.crl");
  EXPECT_EQ(Utils::GetCRLDistributionURLs(root), "");
  EXPECT_EQ(Utils::GetCAIssuersURL(inter), "http://127.0.0.1:8080/root.cer");
  EXPECT_EQ(Utils::GetCAIssuersURL(root), "");
  ExpectRaises([] { Utils::GetCAIssuersURL(Load(SharedPki().ocsp_only)); },
               u8"Точка распространения сертификата CA не найдена");
  for (const char* url : {"https://a", "http://a", "ftp://a"}) {
    EXPECT_TRUE(Utils::IsAcceptedURL(url)) << url;
  }
  for (const char* url : {"HTTP://a", "ldap://a", "", "file:///etc/passwd"}) {
    EXPECT_FALSE(Utils::IsAcceptedURL(url)) << url;
  }
}

class CryptoUtilsStoreTest : public test::PkiSandbox {
 protected:
  const Certificate& user_ = SharedPki().user_party.certificate;
  const Certificate& root_ = SharedPki().root_party.certificate;
};

TEST_F(CryptoUtilsStoreTest, FindsByExactThumbprintAndEnumeratesByThumbprint) {
  test::AddToStore(user_, "addressbook");
  const auto found = Utils::FindCertificateBySha1(nullptr, 2, user_.Thumbprint(), 4);
  ASSERT_TRUE(found.has_value());
  EXPECT_TRUE(found->SameAs(user_));
  const std::string lower = test_util::Lower(user_.Thumbprint());
  EXPECT_FALSE(Utils::FindCertificateBySha1(nullptr, 2, lower, 4).has_value());
  EXPECT_FALSE(Utils::FindCertificateBySha1(nullptr, 1, user_.Thumbprint(), 4).has_value());
  ExpectRaises([&] { Utils::FindCertificateBySha1(nullptr, 2, lower, 9); },
               u8"Недоступное имя хранилища: [9]");
  test::AddToStore(root_, "ROOT", StoreLocation::kLocalMachine);
  test::AddToStore(user_, "ROOT", StoreLocation::kLocalMachine);
  CertificateList list;
  Utils::EnumerateStore(nullptr, 1, list, 2);
  Utils::EnumerateStore(nullptr, 2, list, 2);
  ASSERT_EQ(list.size(), 2U) << "appends";
  for (const auto& [name, certificate] : list) {
    EXPECT_EQ(name, certificate.Thumbprint());
  }
}

TEST_F(CryptoUtilsStoreTest, EncryptAndDecryptMessages) {
  test::InstallSigner(SharedPki().user_party, "k");
  const CertStore my = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  EXPECT_EQ(Utils::DecryptMessage(my, Utils::EncryptMessage(user_, "document")), "document");
  const std::string other = Utils::EncryptMessage(root_, "document");
  ExpectRaises([&] { Utils::DecryptMessage(my, other); },
               Msg(u8"Ошибка при расшифровании (1): ") +
                   "0x8009200C (-2146885620): Cannot find the certificate and private key to use "
                   "for decryption.");
  EXPECT_TRUE(MessageOf([&] {
                Utils::DecryptMessage(my, "junk");
              }).starts_with(Msg(u8"Ошибка при расшифровании (1): ") + "0x8009200D"));
}

TEST_F(CryptoUtilsStoreTest, CertificateFromSignatureTakesTheFirstCertificate) {
  const auto first = Utils::CertificateFromSignature(MakeCertificatesPkcs7({user_, root_}));
  ASSERT_TRUE(first.has_value());
  EXPECT_TRUE(first->SameAs(user_));
  EXPECT_FALSE(Utils::CertificateFromSignature(MakeCertificatesPkcs7({})).has_value());
  EXPECT_TRUE(MessageOf([] { Utils::CertificateFromSignature("not a signature"); })
                  .starts_with(Msg(u8"Не удалось извлечь подписанта из подписи. Неверный формат "
                                   u8"подписи: ") +
                               kBadTag + " (PKCS#7): (error:"));
  const std::string content = WriteFile("content.txt", "signed content");
  ASSERT_EQ(
      OpenSsl("cms -sign -binary -outform DER -md md_gost94 -signer '" + SharedPki().user.string() +
              "' -inkey '" + SharedPki().user_key.string() + "' -in content.txt -out content.sig"),
      0);
  const auto signer = Utils::CertificateFromSignature(test::ReadAll(PathOf("content.sig")));
  ASSERT_TRUE(signer.has_value());
  EXPECT_TRUE(signer->SameAs(user_));
}

TEST_F(CryptoUtilsStoreTest, ProviderInfoAndPresence) {
  CCryptoProvider provider;
  provider.AcquireVerifyContext(75, false);
  const auto [name, type] = Utils::GetProvInfo(provider.Handle());
  EXPECT_EQ(name, kGostProviderName);
  EXPECT_EQ(type, 75U);
  ExpectRaises([] { Utils::GetProvInfo(nullptr); },
               "CCryptoAPI20Utils.GetProvInfo: 0x80090001 (-2146893823): Bad UID.");
  EXPECT_TRUE(Utils::IsCryptographyOk());
  HideEngine();
  EXPECT_FALSE(Utils::IsCryptographyOk());
}

}  // namespace
}  // namespace lyr::crypt
