// CTdx880Doc with real GOST cryptography: a signed, encrypted package checked by zipfile and
// openssl cms; refusals; signatures removed; envelopes for a certificate; a nested bomb in an
// envelope.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "crypt/tdx880_crypto_tool.h"
#include "crypt/tdx880_key.h"
#include "package/item_fixture.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_signature.h"
#include "package/zip_bomb.h"

namespace lyr::package::test {
namespace {

using crypt::CTdx880Key;

const std::string kDeclarationEntry = std::string("file=") + kDeclaration;

// The test PKI's user as the current user's personal key, with its chain.
class PackageCryptoTest : public PackageTest {
 protected:
  void SetUp() override {
    PackageTest::SetUp();
    InstallUser();
  }

  // A signed and encrypted package saved as "signed.zip"; returns its path.
  std::string SignedPackage() {
    CTdx880Doc doc;
    FillDeclarationPackage(doc);
    EXPECT_TRUE(doc.SignFile("declaration.xml", &key_));
    EXPECT_TRUE(doc.Encrypt(&key_));
    EXPECT_TRUE(doc.SaveAs(PathOf("signed.zip")));
    return doc.FileName();
  }

  CTdx880Key key_ = UserKey();
};

// Each entry checked by a peer: the signature verifies over the plain document, the declaration's
// entry opens with openssl cms -decrypt to a one-entry ZIP of the document, the description's
// type is not encrypted; reopened, the package decrypts and verifies.
TEST_F(PackageCryptoTest, SignedAndEncryptedPackagePassesThePeersAndReadsBack) {
  const std::string archive = SignedPackage();
  CTdx880Doc doc;
  ASSERT_TRUE(doc.Open(archive));
  const auto declaration = doc.GetFile(0);
  const std::string signature_entry = declaration->GetSignature(0)->FileName();
  EXPECT_EQ(EntryNames(archive).size(), 4u);
  EXPECT_TRUE(OpenSslVerifiesChain(kDeclaration, Entry(archive, signature_entry)));
  EXPECT_EQ(PythonZipEntries(OpenSslDecrypt(Entry(archive, declaration->FileName())), false),
            kDeclarationEntry);
  EXPECT_EQ(PythonZipEntries(Entry(archive, doc.GetFile(1)->FileName()), false),
            std::string("file=") + kDescription);
  const std::string text = rtl::AnsiToUtf8String(Entry(archive, "packageDescription.xml"));
  EXPECT_NE(text.find("<подпись имяФайла=\"" + signature_entry + "\" роль=\"абонент\""),
            std::string::npos)
      << text;
  EXPECT_TRUE(doc.IsEncrypted());
  ASSERT_TRUE(doc.Decrypt());
  EXPECT_FALSE(doc.IsEncrypted());
  EXPECT_EQ(declaration->RawContent(), kDeclaration);
  EXPECT_EQ(doc.GetFileSignature(0, 0)->Key().Sha1(), key_.Sha1());
  EXPECT_TRUE(declaration->CheckSignEx(false, false));
}

// A document large enough to be signed on another thread while it is compressed; the package
// saved again after reopening and decrypting reuses the compressed form it was read with.
TEST_F(PackageCryptoTest, LargeDocumentSignedBesideCompressionPassesThePeersAfterTwoSaves) {
  std::string large;
  for (int line = 0; large.size() < (300 << 10); ++line) {
    large += "<Строка Номер=\"" + std::to_string(line) + "\"/>\n";
  }
  CTdx880Doc doc;
  FillDeclarationPackage(doc);
  doc.GetFile(0)->SetContent(large);
  ASSERT_TRUE(doc.SignFile("declaration.xml", &key_));
  ASSERT_TRUE(doc.Encrypt(&key_));
  ASSERT_TRUE(doc.SaveAs(PathOf("first.zip")));
  CTdx880Doc again;
  ASSERT_TRUE(again.Open(PathOf("first.zip")) && again.Decrypt() &&
              again.SaveAs(PathOf("second.zip")));
  for (const std::string name : {"first.zip", "second.zip"}) {
    CTdx880Doc read;
    ASSERT_TRUE(read.Open(PathOf(name)));
    const auto item = read.GetFile(0);
    ASSERT_TRUE(read.Decrypt());
    EXPECT_EQ(item->RawContent(), large) << name;
    EXPECT_TRUE(item->CheckSignEx(false, false)) << name;
    EXPECT_TRUE(OpenSslVerifiesChain(large, item->GetSignature(0)->SignatureContent())) << name;
  }
}

TEST_F(PackageCryptoTest, RefusalsSignAndEncryptNothing) {
  CTdx880Doc doc;
  FillDeclarationPackage(doc);
  const std::pair<std::function<void()>, std::u8string> cases[] = {
      {[&] { doc.SignFile("", &key_); }, u8"Передан пустой аргумент: Filename"},
      {[&] { doc.SignFile("Declaration.xml", &key_); },
       u8"Документ с именем [Declaration.xml] не найден"},
      {[&] { doc.Encrypt(nullptr); }, u8"Передан пустой аргумент: pKey"},
      {[&] { doc.EncryptByCertificate(""); }, u8"Передан пустой аргумент: CertificateBody"}};
  for (const auto& [act, message] : cases) {
    ExpectRaises(act, Msg(message));
  }
  EXPECT_EQ(doc.GetFileSignatureCount(0), 0);
  EXPECT_FALSE(doc.IsEncrypted());
}

TEST_F(PackageCryptoTest, DeletedSignaturesStayDeletedAfterSaveAndReopen) {
  CTdx880Doc doc;
  FillDeclarationPackage(doc);
  ASSERT_TRUE(doc.SignFile("declaration.xml", &key_));
  ASSERT_TRUE(doc.SignFile("TR_DEKL.xml", &key_));
  ASSERT_TRUE(doc.SaveAs(PathOf("signed.zip")));
  ASSERT_TRUE(doc.DeleteFileSignatures(0));
  ASSERT_TRUE(doc.SaveAs(PathOf("unsigned.zip")));
  EXPECT_EQ(EntryNames(PathOf("unsigned.zip")).size(), 4u) << "one signature entry left";
  CTdx880Doc reread;
  ASSERT_TRUE(reread.Open(PathOf("unsigned.zip")));
  EXPECT_EQ(reread.GetFileSignatureCount(0), 0);
  EXPECT_EQ(reread.GetFileSignatureCount(1), 1);
  EXPECT_TRUE(reread.GetFile(0)->CheckSignEx(false, false)) << "nothing to check";
  ASSERT_TRUE(reread.DeleteFile(1));
  ASSERT_TRUE(reread.SaveAs(PathOf("one.zip")));
  EXPECT_EQ(EntryNames(PathOf("one.zip")).size(), 2u);
}

// Encrypted by a certificate's body alone (openssl opens it); a nested archive over the budget
// put into the envelope instead is refused on decryption.
TEST_F(PackageCryptoTest, EncryptByCertificateAndANestedArchiveOverTheBudget) {
  CTdx880Doc doc;
  FillDeclarationPackage(doc);
  const std::string certificate = SharedPki().user_party.certificate.Der();
  ASSERT_TRUE(doc.EncryptByCertificate(certificate));
  EXPECT_EQ(PythonZipEntries(OpenSslDecrypt(doc.GetFile(0)->Content()), false), kDeclarationEntry);
  ASSERT_TRUE(doc.SaveAs(PathOf("encrypted.zip")));
  const std::string archive = WithEntries(
      PathOf("encrypted.zip"), "bomb.zip", "name == '" + doc.GetFile(0)->FileName() + "'",
      crypt::CTdx880CryptoTool().EncryptByCertificate(ZeroRunZip(uint64_t{96} << 20), certificate));
  CTdx880Doc reader;
  reader.Config().SetMaxPlainSize(uint64_t{64} << 20);
  ASSERT_TRUE(reader.Open(archive));
  ExpectRaises([&] { reader.Decrypt(); },
               Msg(u8"Слишком большой объём документов в пакете: [") + archive + "]");
  EXPECT_TRUE(reader.GetFile(0)->IsEncrypted()) << "a failed decryption leaves it encrypted";
}

}  // namespace
}  // namespace lyr::package::test
