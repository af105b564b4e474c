// CTdx880Document with real GOST cryptography: signing and adding signatures (checked with
// openssl cms -verify against the plain document), encryption for the recipient (opened with
// openssl cms -decrypt to a one-entry ZIP), decryption, verification refusals, signature files
// loaded back, removing signatures, and the checks without the GOST provider.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "crypt/crypto_api20_utils.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key.h"
#include "crypt/tdx880_key.h"
#include "package/item_fixture.h"
#include "package/os_abbrevia_tool.h"
#include "package/tdx880_document.h"
#include "package/tdx880_signature.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "rtl/whole_file.h"
#include "support/pki.h"

namespace lyr::package::test {
namespace {

using crypt::AddDisposition;
using crypt::Certificate;
using crypt::CertStore;
using crypt::CTdx880Key;
using crypt::StoreLocation;
using lyr::test::SharedPki;
using rtl::Msg;

// The sandbox with the test PKI's user as the personal key of the current user ("MY" bound to a
// key container) and as a correspondent ("addressbook").
class CryptoItemTest : public ItemTest {
 protected:
  void SetUp() override {
    ItemTest::SetUp();
    const crypt::PrivateKey key =
        crypt::PrivateKey::FromPem(lyr::test::FileBytes(SharedPki().user_key), std::nullopt);
    crypt::KeyContainer::Create(StoreLocation::kCurrentUser, "user-key", key);
    Certificate bound = user_;
    bound.SetKeyProv(crypt::KeyProvInfo{"user-key", "", 75, 1, 1});
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY")
        .Add(bound, AddDisposition::kReplaceExisting);
  }

  void InstallCorrespondent() {
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "addressbook")
        .Add(user_, AddDisposition::kUseExisting);
  }

  // The key record of the user as the Crypt object hands it out.
  CTdx880Key UserKey(uint8_t role = 1) const {
    CTdx880Key key;
    crypt::FillKeyFromCertificate(key, user_);
    key.SetSignRole(role);
    return key;
  }
  // A key that only names the user's thumbprint (encryption through "addressbook").
  CTdx880Key ThumbprintOnlyKey() const {
    CTdx880Key key;
    key.SetSha1(UserSha1());
    key.SetSubjectCN("user");
    return key;
  }
  std::string UserSha1() const { return crypt::CCryptoAPI20Utils::GetSha1(user_); }
  std::string UserCN() const { return crypt::CCryptoAPI20Utils::GetSubjectCN(user_); }
  std::string InterCN() const {
    return crypt::CCryptoAPI20Utils::GetSubjectCN(
        Certificate::FromDer(lyr::test::PemFileToDer(SharedPki().inter)));
  }

  // A detached DER signature of content made by openssl cms with a certificate and key of the
  // test PKI.
  std::string OpenSslSignature(const std::string& content, const std::filesystem::path& cert,
                               const std::filesystem::path& key) {
    const std::string in = WriteFile("to-sign.bin", content);
    const std::string out = PathOf("signed.p7s");
    EXPECT_EQ(lyr::test::RunOpenSsl("cms -sign -binary -md md_gost94 -outform DER -in " + in +
                                    " -signer " + cert.string() + " -inkey " + key.string() +
                                    " -out " + out),
              0);
    return lyr::test::FileBytes(out);
  }

  // True when openssl cms accepts the signature file over the content file and the signer's
  // chain (root and intermediate of the test PKI) holds.
  bool OpenSslVerifies(const std::string& content_file, const std::string& signature_file) {
    const std::string chain = WriteFile("chain.pem", lyr::test::FileBytes(SharedPki().root) +
                                                         lyr::test::FileBytes(SharedPki().inter));
    std::string output;
    const int status = lyr::test::RunOpenSsl(
        "cms -verify -binary -inform DER -in " + signature_file + " -content " + content_file +
            " -CAfile " + chain + " -purpose any -out " + PathOf("verified.bin") + " 2>&1",
        &output);
    EXPECT_EQ(status, 0) << output;
    return status == 0 &&
           lyr::test::FileBytes(PathOf("verified.bin")) == lyr::test::FileBytes(content_file);
  }

  // The plain text of an envelope file opened by openssl cms with the user's key.
  std::string OpenSslDecrypt(const std::string& enveloped_file) {
    const std::string out = PathOf("decrypted.bin");
    std::string output;
    EXPECT_EQ(lyr::test::RunOpenSsl("cms -decrypt -binary -inform DER -in " + enveloped_file +
                                        " -recip " + SharedPki().user.string() + " -inkey " +
                                        SharedPki().user_key.string() + " -out " + out + " 2>&1",
                                    &output),
              0)
        << output;
    return lyr::test::FileBytes(out);
  }

  Certificate user_ = Certificate::FromDer(lyr::test::PemFileToDer(SharedPki().user));
};

// ---- Sign -----------------------------------------------------------------------------------

using DocumentSign = CryptoItemTest;

TEST_F(DocumentSign, SignsThePlainContentAndOpenSslVerifiesTheStoredFile) {
  const auto item = NewItem("01", "the declaration");
  ASSERT_TRUE(item->Save());  // compressed now; signing works on the plain bytes
  const CTdx880Key key = UserKey(2);
  ASSERT_TRUE(item->Sign(&key));
  EXPECT_FALSE(item->IsCompressed());
  ASSERT_EQ(item->GetSignatureCount(), 1);
  const auto signature = item->GetSignature(0);
  EXPECT_EQ(signature->Key().Sha1(), UserSha1());
  EXPECT_EQ(signature->Key().SubjectCN(), UserCN());
  EXPECT_EQ(signature->Key().CertificateBody(), user_.Der());
  EXPECT_EQ(signature->Key().SignRole(), 2);
  ASSERT_EQ(EntryAt(0).Signatures().Count(), 1);
  EXPECT_EQ(EntryAt(0).Signatures().Items(0).Role(), 2);
  EXPECT_EQ(EntryAt(0).Signatures().Items(0).FileName(), signature->FileName());
  EXPECT_EQ(signature->FileName().size(), 36U);

  ASSERT_TRUE(item->Save());
  const std::string plain = WriteFile("plain.bin", "the declaration");
  EXPECT_TRUE(OpenSslVerifies(plain, WorkFile(signature->FileName())));
  EXPECT_EQ(PythonZipEntries(WorkFile(item->FileName())), "file=the declaration");
}

TEST_F(DocumentSign, SigningTwiceWithOneKeyFailsAndAddsNothing) {
  const auto item = NewItem("01", "once");
  const CTdx880Key key = UserKey();
  ASSERT_TRUE(item->Sign(&key));
  ExpectRaises([&] { item->Sign(&key); },
               rtl::Format(Msg(u8"Подпись [%s] уже имеется под этим документом"), UserCN()));
  EXPECT_EQ(item->GetSignatureCount(), 1);
  EXPECT_EQ(EntryAt(0).Signatures().Count(), 1);
}

struct SignFailureCase {
  std::string name;
  std::function<void(CTdx880Document&, const CTdx880Key&)> act;
  std::string expected;  // UTF-8
};

class DocumentSignFailure : public CryptoItemTest,
                            public ::testing::WithParamInterface<SignFailureCase> {};

TEST_P(DocumentSignFailure, FailsWithTheMessageAndAddsNoSignature) {
  const auto item = NewItem("01", "content");
  const CTdx880Key key = UserKey();
  ExpectRaises([&] { GetParam().act(*item, key); },
               rtl::Utf8ToAnsi(std::string_view(GetParam().expected)));
  EXPECT_EQ(item->GetSignatureCount(), 0);
  EXPECT_EQ(EntryAt(0).Signatures().Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentSignFailure,
    ::testing::Values(SignFailureCase{"WithoutKey",
                                      [](CTdx880Document& d, const CTdx880Key&) {
                                        d.Sign(nullptr);
                                      },
                                      "Передан пустой аргумент: pKey"},
                      SignFailureCase{"EmptyContent",
                                      [](CTdx880Document& d, const CTdx880Key& k) {
                                        d.SetContent("");
                                        d.Sign(&k);
                                      },
                                      "Передан пустой аргумент: content"},
                      SignFailureCase{"EncryptedItem",
                                      [](CTdx880Document& d, const CTdx880Key& k) {
                                        d.Encrypt(&k);
                                        d.Sign(&k);
                                      },
                                      "Нельзя подписывать зашифрованный документ"},
                      SignFailureCase{"ShortThumbprint",
                                      [](CTdx880Document& d, const CTdx880Key& k) {
                                        CTdx880Key key = k;
                                        key.SetSha1("ABC");
                                        d.Sign(&key);
                                      },
                                      "Длина переменной [sha1 = \"ABC\"] должна быть равной [40]"}),
    [](const auto& info) { return info.param.name; });

// ---- AddSign --------------------------------------------------------------------------------

using DocumentAddSign = CryptoItemTest;

TEST_F(DocumentAddSign, TakesTheSignerFromAnOpenSslSignatureAndRecordsTheRole) {
  const auto item = NewItem("01", "signed elsewhere");
  const std::string signature =
      OpenSslSignature("signed elsewhere", SharedPki().inter, SharedPki().inter_key);
  ASSERT_TRUE(item->AddSign(signature, kSubjectTaxAuthority));
  ASSERT_EQ(item->GetSignatureCount(), 1);
  EXPECT_EQ(item->GetSignature(0)->SignatureContent(), signature);
  EXPECT_EQ(item->GetSignature(0)->Key().SubjectCN(), InterCN());
  EXPECT_EQ(item->GetSignature(0)->Key().SignRole(), kSubjectTaxAuthority);
  EXPECT_EQ(EntryAt(0).Signatures().Items(0).Role(), kSubjectTaxAuthority);
}

TEST_F(DocumentAddSign, BytesThatAreNoSignatureAreRefusedAndNothingIsAdded) {
  const auto item = NewItem();
  const std::string error = MessageOf([&] { item->AddSign("not a signature", kSubjectAbonent); });
  EXPECT_EQ(
      error.rfind(Msg(u8"Не удалось извлечь подписанта из подписи. Неверный формат подписи: "), 0),
      0U)
      << error;
  EXPECT_EQ(item->GetSignatureCount(), 0);
  EXPECT_EQ(EntryAt(0).Signatures().Count(), 0);
}

// ---- Signature files loaded back, removed, closed -------------------------------------------

using DocumentSignatureFiles = CryptoItemTest;

TEST_F(DocumentSignatureFiles, LoadTakesTheSignerAndTheRoleOfTheEntry) {
  const auto item = NewItem("01", "reloaded");
  const CTdx880Key key = UserKey(kSubjectDataCentre);
  ASSERT_TRUE(item->Sign(&key));
  ASSERT_TRUE(item->Save());
  const auto loaded = LoadItem(0);
  ASSERT_EQ(loaded->GetSignatureCount(), 1);
  const auto signature = loaded->GetSignature(0);
  EXPECT_EQ(signature->SignatureContent(), item->GetSignature(0)->SignatureContent());
  EXPECT_EQ(signature->Key().Sha1(), UserSha1());
  EXPECT_EQ(signature->Key().SubjectCN(), UserCN());
  EXPECT_EQ(signature->Key().CertificateBody(), user_.Der());
  EXPECT_EQ(signature->Key().SignRole(), kSubjectDataCentre);
  EXPECT_EQ(loaded->Content(), "reloaded");
}

TEST_F(DocumentSignatureFiles, ASignatureFileThatIsNoSignatureFailsTheLoad) {
  const auto item = NewItem("01", "content");
  const CTdx880Key key = UserKey();
  ASSERT_TRUE(item->Sign(&key));
  ASSERT_TRUE(item->Save());
  rtl::WriteStringToFile(WorkFile(item->GetSignature(0)->FileName()), "garbage");
  CTdx880Document reloaded;
  CTdx880ItemConfig config = ConfigFor(0);
  const std::string error = MessageOf([&] { reloaded.Open(&config); });
  EXPECT_EQ(
      error.rfind(Msg(u8"Не удалось извлечь подписанта из подписи. Неверный формат подписи: "), 0),
      0U)
      << error;
  EXPECT_FALSE(reloaded.IsDocumentOpened());
}

TEST_F(DocumentSignatureFiles, RemoveAllSignaturesDropsObjectsAndEntriesAndClosesHeldOnes) {
  const auto item = NewItem("01", "content");
  const CTdx880Key key = UserKey();
  ASSERT_TRUE(item->Sign(&key));
  const std::shared_ptr<CTdx880Signature> held = item->GetSignature(0);
  ASSERT_TRUE(item->RemoveAllSignatures());
  EXPECT_EQ(item->GetSignatureCount(), 0);
  EXPECT_EQ(EntryAt(0).Signatures().Count(), 0);
  EXPECT_FALSE(held->IsDocumentOpened());
  ExpectRaises([&] { static_cast<void>(held->FileName()); }, Msg(u8"Документ не открыт"));
  ASSERT_TRUE(item->Save());
  EXPECT_EQ(LoadItem(0)->GetSignatureCount(), 0);
  ASSERT_TRUE(item->Sign(&key));  // the same key may sign again
  EXPECT_EQ(item->GetSignatureCount(), 1);
}

// ---- Verification refusals ------------------------------------------------------------------

using DocumentCheckSign = CryptoItemTest;

TEST_F(DocumentCheckSign, OfAnEncryptedItemFails) {
  const auto item = NewItem("01", "content");
  const CTdx880Key key = UserKey();
  ASSERT_TRUE(item->Sign(&key));
  ASSERT_TRUE(item->Encrypt(&key));
  const std::string expected =
      Msg(u8"Нельзя проверить подпись под зашифрованным документом. Необходимо предварительно его "
          u8"расшифровать");
  ExpectRaises([&] { item->CheckSign(); }, expected);
  ExpectRaises([&] { item->CheckSignEx(false, false); }, expected);
}

// ---- Encryption -----------------------------------------------------------------------------

using DocumentEncrypt = CryptoItemTest;

TEST_F(DocumentEncrypt, ATypeMarkedForEncryptionIsStoredAsAnEnvelopeOfAOneEntryZip) {
  const auto item = NewItem("01", "secret declaration");
  const CTdx880Key key = UserKey();
  ASSERT_TRUE(item->EncryptIfRequired(&key));
  EXPECT_TRUE(item->IsEncrypted());
  EXPECT_TRUE(item->IsCompressed());
  EXPECT_EQ(item->RawContent(), "secret declaration");
  ASSERT_TRUE(item->Save());
  const std::string zip = OpenSslDecrypt(WorkFile(item->FileName()));
  const std::string zip_file = WriteFile("decrypted.zip", zip);
  EXPECT_EQ(PythonZipEntries(zip_file), "file=secret declaration");
  const std::string xml = EntryAt(0).GetXML();
  EXPECT_NE(xml.find(Msg(u8"сжат=\"true\"")), std::string::npos) << xml;
  EXPECT_NE(xml.find(Msg(u8"зашифрован=\"true\"")), std::string::npos) << xml;
}

TEST_F(DocumentEncrypt, RawContentOfALoadedEncryptedItemIsEmptyUntilDecrypted) {
  const auto item = NewItem("01", "loaded encrypted");
  const CTdx880Key key = UserKey();
  ASSERT_TRUE(item->Sign(&key));
  ASSERT_TRUE(item->EncryptIfRequired(&key));
  ASSERT_TRUE(item->Save());
  const auto loaded = LoadItem(0);
  EXPECT_TRUE(loaded->IsEncrypted());
  EXPECT_EQ(loaded->RawContent(), "");
  ExpectRaises([&] { loaded->Sign(&key); }, Msg(u8"Нельзя подписывать зашифрованный документ"));
  ASSERT_TRUE(loaded->DecryptIfEncrypted());
  EXPECT_FALSE(loaded->IsEncrypted());
  EXPECT_FALSE(loaded->IsCompressed());
  EXPECT_EQ(loaded->RawContent(), "loaded encrypted");
  EXPECT_EQ(loaded->Content(), "loaded encrypted");
}

TEST_F(DocumentEncrypt, AFailedDecryptionLeavesTheItemEncrypted) {
  const auto item = NewItem("01", "for someone else");
  // Enveloped for the intermediate certificate, whose key this sandbox does not hold.
  CTdx880Key other;
  crypt::FillKeyFromCertificate(other,
                                Certificate::FromDer(lyr::test::PemFileToDer(SharedPki().inter)));
  ASSERT_TRUE(item->Encrypt(&other));
  const std::string enveloped = item->Content();
  EXPECT_TRUE(lyr::test::Raised([&] { item->Decrypt(); }).has_value());
  EXPECT_TRUE(item->IsEncrypted());
  EXPECT_TRUE(item->IsCompressed());
  EXPECT_EQ(item->Content(), enveloped);
}

// ---- Without the GOST provider --------------------------------------------------------------

struct NoProviderCase {
  std::string name;
  std::function<void(CTdx880Document&, const CTdx880Key&)> act;
  std::string operation;  // UTF-8
};

class DocumentWithoutProvider : public CryptoItemTest,
                                public ::testing::WithParamInterface<NoProviderCase> {
 protected:
  void TearDown() override {
    ::unsetenv("LYR_TDX_GOST_ENGINE");
    CryptoItemTest::TearDown();
  }
};

TEST_P(DocumentWithoutProvider, FailsWithTheOperationName) {
  ::setenv("LYR_TDX_GOST_ENGINE", PathOf("missing-engine.so").c_str(), 1);
  const auto item = NewItem("01", "content");
  ASSERT_FALSE(item->CryptographyAvailable());
  const CTdx880Key key = UserKey();
  ExpectRaises([&] { GetParam().act(*item, key); },
               Msg(u8"Не установлен СКЗИ КриптоПро, который требуется для операции: ") +
                   rtl::Utf8ToAnsi(std::string_view(GetParam().operation)));
}

INSTANTIATE_TEST_SUITE_P(
    Operations, DocumentWithoutProvider,
    ::testing::Values(
        NoProviderCase{"Sign", [](CTdx880Document& d, const CTdx880Key& k) { d.Sign(&k); },
                       "подписание"},
        NoProviderCase{"CheckSign", [](CTdx880Document& d, const CTdx880Key&) { d.CheckSign(); },
                       "Проверка подписи"},
        NoProviderCase{"CheckSignEx",
                       [](CTdx880Document& d, const CTdx880Key&) { d.CheckSignEx(false, false); },
                       "Проверка подписи"},
        NoProviderCase{"EncryptIfRequired",
                       [](CTdx880Document& d, const CTdx880Key& k) { d.EncryptIfRequired(&k); },
                       "шифрование"},
        NoProviderCase{"Encrypt", [](CTdx880Document& d, const CTdx880Key& k) { d.Encrypt(&k); },
                       "Шифрование"},
        NoProviderCase{"DecryptIfEncrypted",
                       [](CTdx880Document& d, const CTdx880Key&) { d.DecryptIfEncrypted(); },
                       "расшифрование"},
        NoProviderCase{"Decrypt", [](CTdx880Document& d, const CTdx880Key&) { d.Decrypt(); },
                       "Расшифрование"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace lyr::package::test
