// Fixtures of the package tests.
#include "package/item_fixture.h"

#include <filesystem>
#include <sstream>

#include "crypt/crypto_api20_utils.h"
#include "rtl/file_utils.h"

namespace lyr::package::test {

namespace fs = std::filesystem;

std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  if (fs::exists(folder)) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      names.insert(entry.path().lexically_relative(folder).string());
    }
  }
  return names;
}

void FillDeclarationPackage(CTdx880Doc& doc) {
  ASSERT_TRUE(doc.New("01", "01"));
  doc.SetSenderIdentifier("7701000001");
  doc.SetReceiverIdentifier("7702");
  ASSERT_NE(doc.AddFile("01", "xml", "/home/user/declaration.xml", kDeclaration), nullptr);
  ASSERT_NE(doc.AddFile("02", "xml", "TR_DEKL.xml", kDescription), nullptr);
}

std::string PackageTest::Python(const std::string& script, const std::string& arguments,
                                int expected_status) const {
  const std::string path = WriteFile("script.py", script);
  std::string output;
  const int status = lyr::test::RunCommand("python3 " + path + " " + arguments + " 2>&1", &output);
  EXPECT_EQ(status, expected_status) << output;
  return output;
}

std::vector<std::string> PackageTest::EntryNames(const std::string& archive,
                                                 const std::string& expression) const {
  std::istringstream lines(
      Python("import sys, zipfile\n"
             "z = zipfile.ZipFile(sys.argv[1])\n"
             "assert z.testzip() is None\n"
             "for i in z.infolist(): print(" +
                 expression + ")\n",
             "'" + archive + "'"));
  std::vector<std::string> names;
  for (std::string line; std::getline(lines, line);) {
    names.push_back(line);
  }
  return names;
}

std::string PackageTest::PythonZipEntries(const std::string& archive, bool is_path) const {
  return Python(
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "sys.stdout.buffer.write(b' '.join(i.filename.encode() + b'=' + z.read(i) "
      "for i in z.infolist()))\n",
      "'" + (is_path ? archive : WriteFile("entries.zip", archive)) + "'");
}

std::string PackageTest::Entry(const std::string& archive, const std::string& name) {
  std::string bytes;
  EXPECT_EQ(lyr::test::RunCommand("unzip -p '" + archive + "' '" + name + "'", &bytes), 0);
  return bytes;
}

std::string PackageTest::PythonZip(
    const std::string& name,
    const std::vector<std::pair<std::string, std::string>>& entries) const {
  std::string script =
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n";
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string data = WriteFile("entry" + std::to_string(i), entries[i].second);
    script += "    z.writestr(" + entries[i].first + ", open('" + data + "', 'rb').read())\n";
  }
  Python(script, "'" + PathOf(name) + "'");
  return PathOf(name);
}

std::string PackageTest::WithEntries(const std::string& archive, const std::string& name,
                                     const std::string& condition, const std::string& bytes) const {
  Python(
      "import sys, zipfile\n"
      "src, dst, form = sys.argv[1:4]\n"
      "with zipfile.ZipFile(src) as z, zipfile.ZipFile(dst, 'w', zipfile.ZIP_DEFLATED) as out:\n"
      "    for i in z.infolist():\n"
      "        name = i.filename\n"
      "        out.writestr(name, open(form, 'rb').read() if " +
          condition + " else z.read(i))\n",
      "'" + archive + "' '" + PathOf(name) + "' '" + WriteFile("replacement.bin", bytes) + "'");
  return PathOf(name);
}

std::string PackageTest::SavedPackage(const std::string& folder) const {
  fs::create_directories(PathOf(folder));
  CTdx880Doc doc;
  FillDeclarationPackage(doc);
  EXPECT_TRUE(doc.Save(PathOf(folder)));
  return doc.FileName();
}

void PackageTest::InstallUser() const {
  lyr::test::InstallSigner(SharedPki().user_party, "user-key");
  lyr::test::AddToStore(SharedPki().root_party.certificate, "ROOT");
  lyr::test::AddToStore(SharedPki().inter_party.certificate, "CA");
}

crypt::CTdx880Key PackageTest::UserKey(uint8_t role) {
  crypt::CTdx880Key key;
  crypt::FillKeyFromCertificate(key, SharedPki().user_party.certificate);
  key.SetSignRole(role);
  return key;
}

bool PackageTest::OpenSslVerifiesChain(const std::string& content,
                                       const std::string& signature) const {
  WriteFile("chain.pem",
            lyr::test::ReadAll(SharedPki().root) + lyr::test::ReadAll(SharedPki().inter));
  WriteFile("content.bin", content);
  WriteFile("signature.p7s", signature);
  std::string output;
  const int status = OpenSsl(
      "cms -verify -binary -inform DER -in signature.p7s -content content.bin -CAfile chain.pem "
      "-purpose any -out verified.bin",
      &output);
  EXPECT_EQ(status, 0) << output;
  return status == 0 && lyr::test::ReadAll(PathOf("verified.bin")) == content;
}

std::string PackageTest::OpenSslDecrypt(const std::string& envelope) const {
  WriteFile("envelope.der", envelope);
  std::string output;
  EXPECT_EQ(OpenSsl("cms -decrypt -binary -inform DER -in envelope.der -recip '" +
                        SharedPki().user.string() + "' -inkey '" + SharedPki().user_key.string() +
                        "' -out decrypted.bin",
                    &output),
            0)
      << output;
  return lyr::test::ReadAll(PathOf("decrypted.bin"));
}

void ItemTest::SetUp() {
  PackageTest::SetUp();
  description_.SetThreadTypeCode("01");
  description_.SetTransactTypeCode("01");
  config_.SetDescription(&description_);
  const std::string work = PathOf("work") + "/";
  ASSERT_TRUE(rtl::ForceDirectories(work));
  config_.SetWorkingDirectory(work);
}

std::shared_ptr<CTdx880Document> ItemTest::NewItem(const std::string& doc_type_code,
                                                   const std::string& content) {
  description_.Documents().Add();
  const int32_t index = description_.Documents().Count() - 1;
  auto item = std::make_shared<CTdx880Document>();
  CTdx880ItemConfig config = ConfigFor(index);
  EXPECT_TRUE(item->New(&config));
  item->SetDocTypeCode(doc_type_code);
  item->SetContentType("bin");
  item->SetContent(content);
  return item;
}

std::shared_ptr<CTdx880Document> ItemTest::LoadItem(int32_t index) {
  auto item = std::make_shared<CTdx880Document>();
  CTdx880ItemConfig config = ConfigFor(index);
  EXPECT_TRUE(item->Open(&config));
  return item;
}

}  // namespace lyr::package::test
