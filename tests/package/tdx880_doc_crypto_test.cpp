// CTdx880Doc with real GOST cryptography: a signed and encrypted package checked entry by entry
// with Python's zipfile, `openssl cms -verify` and `openssl cms -decrypt`; reopened, decrypted and
// verified; SignFile's look-up and checks; signatures removed, saved and reopened; encryption by
// certificate body.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key.h"
#include "crypt/tdx880_crypto_tool.h"
#include "crypt/tdx880_key.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package/tdx880_signature.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/expect_raises.h"
#include "support/pki.h"
#include "support/sandbox.h"
#include "zip_bomb.h"

namespace lyr::package {
namespace {

using lyr::test::ExpectRaises;

namespace fs = std::filesystem;
using crypt::AddDisposition;
using crypt::Certificate;
using crypt::CertStore;
using crypt::CTdx880Key;
using crypt::StoreLocation;
using lyr::test::SharedPki;
using rtl::Msg;

const char kDeclaration[] = "<?xml version=\"1.0\"?><Файл><Документ КНД=\"1151001\"/></Файл>";
const char kDescription[] = "<description/>";

// The sandbox with the test PKI's user as the current user's personal key ("MY", bound to a key
// container), its chain in "ROOT" and "CA".
class PackageCryptoTest : public lyr::test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    const crypt::PrivateKey key =
        crypt::PrivateKey::FromPem(lyr::test::FileBytes(SharedPki().user_key), std::nullopt);
    crypt::KeyContainer::Create(StoreLocation::kCurrentUser, "user-key", key);
    Certificate bound = user_;
    bound.SetKeyProv(crypt::KeyProvInfo{"user-key", "", 75, 1, 1});
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY")
        .Add(bound, AddDisposition::kReplaceExisting);
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "ROOT")
        .Add(Certificate::FromDer(lyr::test::PemFileToDer(SharedPki().root)),
             AddDisposition::kReplaceExisting);
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA")
        .Add(Certificate::FromDer(lyr::test::PemFileToDer(SharedPki().inter)),
             AddDisposition::kReplaceExisting);
    crypt::FillKeyFromCertificate(key_, user_);
  }

  // A declaration package: the declaration (type 01, encrypted) and its description (type 02,
  // not encrypted).
  void Fill(CTdx880Doc& doc) {
    ASSERT_TRUE(doc.New("01", "01"));
    doc.SetSenderIdentifier("7701000001");
    doc.SetReceiverIdentifier("7702");
    ASSERT_NE(doc.AddFile("01", "xml", "declaration.xml", kDeclaration), nullptr);
    ASSERT_NE(doc.AddFile("02", "xml", "TR_DEKL.xml", kDescription), nullptr);
  }

  // The bytes of one entry, read by `unzip -p`.
  std::string Entry(const std::string& archive, const std::string& name) {
    std::string bytes;
    EXPECT_EQ(lyr::test::RunCommand("unzip -p '" + archive + "' '" + name + "'", &bytes), 0);
    return bytes;
  }

  // Entry names in archive order, read by Python's zipfile after testzip.
  std::vector<std::string> EntryNames(const std::string& archive) {
    const std::string script = WriteFile("names.py",
                                         "import sys, zipfile\n"
                                         "z = zipfile.ZipFile(sys.argv[1])\n"
                                         "assert z.testzip() is None\n"
                                         "for i in z.infolist(): print(i.filename)\n");
    std::string output;
    EXPECT_EQ(lyr::test::RunCommand("python3 " + script + " '" + archive + "' 2>&1", &output), 0)
        << output;
    std::vector<std::string> names;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
      names.push_back(line);
    }
    return names;
  }

  // "name=data" of a one-entry ZIP as Python's zipfile reads it.
  std::string OneEntry(const std::string& zip_bytes) {
    const std::string archive = WriteFile("one.zip", zip_bytes);
    const std::string script = WriteFile(
        "one.py",
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "print(';'.join(i.filename + '=' + z.read(i).decode('utf-8') for i in z.infolist()), "
        "end='')\n");
    std::string output;
    EXPECT_EQ(lyr::test::RunCommand("python3 " + script + " " + archive + " 2>&1", &output), 0)
        << output;
    return output;
  }

  // openssl cms -verify of a detached signature over content with the test PKI's chain.
  bool OpenSslVerifies(const std::string& content, const std::string& signature) {
    const std::string content_file = WriteFile("content.bin", content);
    const std::string signature_file = WriteFile("signature.p7s", signature);
    const std::string chain = WriteFile("chain.pem", lyr::test::FileBytes(SharedPki().root) +
                                                         lyr::test::FileBytes(SharedPki().inter));
    std::string output;
    const int status = lyr::test::RunOpenSsl(
        "cms -verify -binary -inform DER -in " + signature_file + " -content " + content_file +
            " -CAfile " + chain + " -purpose any " + "-out /dev/null 2>&1",
        &output);
    EXPECT_EQ(status, 0) << output;
    return status == 0;
  }

  // openssl cms -decrypt of an envelope with the user's key.
  std::string OpenSslDecrypt(const std::string& envelope) {
    const std::string in = WriteFile("envelope.der", envelope);
    const std::string out = PathOf("decrypted.bin");
    std::string output;
    EXPECT_EQ(lyr::test::RunOpenSsl("cms -decrypt -binary -inform DER -in " + in + " -recip " +
                                        SharedPki().user.string() + " -inkey " +
                                        SharedPki().user_key.string() + " -out " + out + " 2>&1",
                                    &output),
              0)
        << output;
    return lyr::test::FileBytes(out);
  }

  // A signed and encrypted package saved as "signed.zip"; returns its path.
  std::string SignedPackage() {
    CTdx880Doc doc;
    Fill(doc);
    EXPECT_TRUE(doc.SignFile("declaration.xml", &key_));
    EXPECT_TRUE(doc.Encrypt(&key_));
    EXPECT_TRUE(doc.SaveAs(PathOf("signed.zip")));
    return doc.FileName();
  }

  Certificate user_ = Certificate::FromDer(lyr::test::PemFileToDer(SharedPki().user));
  CTdx880Key key_;
};

TEST_F(PackageCryptoTest, SignedAndEncryptedPackagePassesThePeers) {
  const std::string archive = SignedPackage();
  CTdx880Doc doc;
  ASSERT_TRUE(doc.Open(archive));
  const auto declaration = doc.GetFile(0);
  const auto description = doc.GetFile(1);
  ASSERT_EQ(declaration->GetSignatureCount(), 1);
  const std::string signature_entry = declaration->GetSignature(0)->FileName();

  const std::vector<std::string> names = EntryNames(archive);
  EXPECT_EQ(names.size(), 4u);
  const std::regex bin("[0-9a-f]{32}\\.bin");
  for (const std::string& name : names) {
    EXPECT_TRUE(name == "packageDescription.xml" || std::regex_match(name, bin)) << name;
  }
  // The signature entry verifies over the plain document.
  EXPECT_TRUE(OpenSslVerifies(kDeclaration, Entry(archive, signature_entry)));
  // The declaration's entry opens with openssl cms -decrypt to a one-entry ZIP of the document.
  EXPECT_EQ(OneEntry(OpenSslDecrypt(Entry(archive, declaration->FileName()))),
            std::string("file=") + kDeclaration);
  // The description's type is not encrypted: a one-entry ZIP as it is.
  EXPECT_EQ(OneEntry(Entry(archive, description->FileName())), std::string("file=") + kDescription);
  const std::string text = rtl::AnsiToUtf8String(Entry(archive, "packageDescription.xml"));
  EXPECT_NE(text.find("сжат=\"true\" зашифрован=\"true\""), std::string::npos) << text;
  EXPECT_NE(text.find("сжат=\"true\" зашифрован=\"false\""), std::string::npos) << text;
  EXPECT_NE(text.find("<подпись имяФайла=\"" + signature_entry + "\" роль=\"абонент\""),
            std::string::npos)
      << text;
}

TEST_F(PackageCryptoTest, ReopenedPackageDecryptsAndVerifies) {
  const std::string archive = SignedPackage();
  CTdx880Doc doc;
  ASSERT_TRUE(doc.Open(archive));
  EXPECT_TRUE(doc.IsEncrypted());
  EXPECT_EQ(doc.GetFile(0)->RawContent(), "") << "encrypted until Decrypt";
  EXPECT_EQ(doc.GetFile(1)->RawContent(), kDescription);
  ASSERT_TRUE(doc.Decrypt());
  EXPECT_FALSE(doc.IsEncrypted());
  EXPECT_EQ(doc.GetFile(0)->RawContent(), kDeclaration);
  EXPECT_EQ(doc.GetFileSignatureCount(0), 1);
  EXPECT_EQ(doc.GetFileSignature(0, 0)->Key().Sha1(), key_.Sha1());
  EXPECT_TRUE(doc.GetFile(0)->CheckSignEx(false, false));
}

// A document large enough to be signed on another thread while it is compressed; the package
// saved again after reopening and decrypting reuses the compressed form it was read with.
TEST_F(PackageCryptoTest, LargeDocumentSignedBesideCompressionPassesThePeersAfterTwoSaves) {
  std::string large;
  for (int line = 0; large.size() < (300 << 10); ++line) {
    large += "<Строка Номер=\"" + std::to_string(line) + "\"/>\n";
  }
  CTdx880Doc doc;
  Fill(doc);
  doc.GetFile(0)->SetContent(large);
  ASSERT_TRUE(doc.SignFile("declaration.xml", &key_));
  ASSERT_TRUE(doc.Encrypt(&key_));
  ASSERT_TRUE(doc.SaveAs(PathOf("first.zip")));
  CTdx880Doc reopened;
  ASSERT_TRUE(reopened.Open(PathOf("first.zip")));
  ASSERT_TRUE(reopened.Decrypt());
  ASSERT_TRUE(reopened.SaveAs(PathOf("second.zip")));
  for (const std::string name : {"first.zip", "second.zip"}) {
    CTdx880Doc read;
    ASSERT_TRUE(read.Open(PathOf(name)));
    const auto item = read.GetFile(0);
    const std::string stored = Entry(PathOf(name), item->FileName());  // the second is plain
    EXPECT_EQ(OneEntry(item->IsEncrypted() ? OpenSslDecrypt(stored) : stored), "file=" + large);
    ASSERT_TRUE(read.Decrypt());
    EXPECT_EQ(item->RawContent(), large) << name;
    EXPECT_TRUE(item->CheckSignEx(false, false)) << name;
    EXPECT_TRUE(OpenSslVerifies(large, item->GetSignature(0)->SignatureContent())) << name;
  }
}

struct SignFileCase {
  std::string name;
  std::string file_name;
  bool with_key;
  std::string expected;  // UTF-8
};

class PackageSignFile : public PackageCryptoTest,
                        public ::testing::WithParamInterface<SignFileCase> {};

TEST_P(PackageSignFile, FailsAndSignsNothing) {
  const SignFileCase& c = GetParam();
  CTdx880Doc doc;
  Fill(doc);
  ExpectRaises([&] { doc.SignFile(c.file_name, c.with_key ? &key_ : nullptr); },
               rtl::Utf8ToAnsi(std::string_view(c.expected)));
  EXPECT_EQ(doc.GetFileSignatureCount(0), 0);
  EXPECT_EQ(doc.GetFileSignatureCount(1), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageSignFile,
    ::testing::Values(
        SignFileCase{"EmptyName", "", true, "Передан пустой аргумент: Filename"},
        SignFileCase{"NoKey", "declaration.xml", false, "Передан пустой аргумент: pKey"},
        SignFileCase{"UnknownName", "other.xml", true, "Документ с именем [other.xml] не найден"},
        SignFileCase{"OtherLetterCase", "Declaration.xml", true,
                     "Документ с именем [Declaration.xml] не найден"},
        SignFileCase{"FullPath", "/home/user/declaration.xml", true,
                     "Документ с именем [/home/user/declaration.xml] не найден"}),
    [](const auto& info) { return info.param.name; });

TEST_F(PackageCryptoTest, SigningTheSameFileTwiceFails) {
  CTdx880Doc doc;
  Fill(doc);
  ASSERT_TRUE(doc.SignFile("declaration.xml", &key_));
  ExpectRaises([&] { doc.SignFile("declaration.xml", &key_); },
               Msg(u8"Подпись [") + key_.SubjectCN() + Msg(u8"] уже имеется под этим документом"));
  EXPECT_EQ(doc.GetFileSignatureCount(0), 1);
}

TEST_F(PackageCryptoTest, DeletedSignaturesStayDeletedAfterSaveAndReopen) {
  CTdx880Doc doc;
  Fill(doc);
  ASSERT_TRUE(doc.SignFile("declaration.xml", &key_));
  ASSERT_TRUE(doc.SignFile("TR_DEKL.xml", &key_));
  ASSERT_TRUE(doc.SaveAs(PathOf("signed.zip")));
  ASSERT_TRUE(doc.DeleteFileSignatures(0));
  EXPECT_EQ(doc.GetFileSignatureCount(0), 0);
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

TEST_F(PackageCryptoTest, EncryptByCertificateUsesTheBodyAlone) {
  CTdx880Doc doc;
  Fill(doc);
  ExpectRaises([&] { doc.EncryptByCertificate(""); },
               Msg(u8"Передан пустой аргумент: CertificateBody"));
  ExpectRaises([&] { doc.Encrypt(nullptr); }, Msg(u8"Передан пустой аргумент: pKey"));
  EXPECT_FALSE(doc.IsEncrypted());
  ASSERT_TRUE(doc.EncryptByCertificate(user_.Der()));
  EXPECT_TRUE(doc.GetFile(0)->IsEncrypted());
  EXPECT_EQ(OneEntry(OpenSslDecrypt(doc.GetFile(0)->Content())),
            std::string("file=") + kDeclaration);
}

TEST_F(PackageCryptoTest, ClosedPackageRefusesCryptography) {
  CTdx880Doc doc;
  const std::string expected = Msg(u8"Документ не открыт");
  ExpectRaises([&] { doc.SignFile("a", &key_); }, expected);
  ExpectRaises([&] { doc.Encrypt(&key_); }, expected);
  ExpectRaises([&] { doc.EncryptByCertificate(user_.Der()); }, expected);
  ExpectRaises([&] { doc.Decrypt(); }, expected);
}

TEST_F(PackageCryptoTest, DecryptingANestedArchiveOverTheBudgetRefusesIt) {
  CTdx880Doc doc;
  Fill(doc);
  ASSERT_TRUE(doc.EncryptByCertificate(user_.Der()));
  ASSERT_TRUE(doc.SaveAs(PathOf("encrypted.zip")));
  const std::string entry = doc.GetFile(0)->FileName();
  // The declaration's envelope now holds a ZIP of 96 MiB of zeros.
  const std::string envelope = crypt::CTdx880CryptoTool().EncryptByCertificate(
      test::ZeroRunZip(uint64_t{96} << 20), user_.Der());
  const std::string replacement = WriteFile("envelope.der", envelope);
  const std::string archive = PathOf("bomb.zip");
  const std::string script = WriteFile(
      "replace.py",
      "import sys, zipfile\n"
      "src, dst, name, form = sys.argv[1:5]\n"
      "with zipfile.ZipFile(src) as z, zipfile.ZipFile(dst, 'w', zipfile.ZIP_DEFLATED) as out:\n"
      "    for i in z.infolist():\n"
      "        out.writestr(i.filename, open(form, 'rb').read() if i.filename == name else "
      "z.read(i))\n");
  ASSERT_EQ(lyr::test::RunCommand("python3 " + script + " " + PathOf("encrypted.zip") + " " +
                                  archive + " " + entry + " " + replacement),
            0);
  CTdx880Doc reader;
  reader.Config().SetMaxPlainSize(uint64_t{64} << 20);
  ASSERT_TRUE(reader.Open(archive));
  ExpectRaises([&] { reader.Decrypt(); },
               Msg(u8"Слишком большой объём документов в пакете: [") + archive + "]");
  EXPECT_TRUE(reader.GetFile(0)->IsEncrypted()) << "a failed decryption leaves it encrypted";
}

}  // namespace
}  // namespace lyr::package
