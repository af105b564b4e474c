// The tool's "cert list" and "cert show" commands, run as a program over stores prepared in a
// sandbox: what they print (thumbprints and dates as openssl computes them), exit status and
// messages.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "crypt/platform/crl.h"
#include "crypt/platform/key_container.h"
#include "rtl/text.h"
#include "tool/crypt_tool_fixture.h"

namespace lyr::tool {
namespace {

using lyr::test::SharedPki;
using test::CryptToolTest;
using test::ToolResult;

std::string Utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

// A date openssl prints for a certificate or CRL ("-enddate", "-nextupdate" ...) in the tool's
// form "YYYY-MM-DD HH:MM:SS UTC".
std::string OpenSslDate(const std::string& command, const std::filesystem::path& file,
                        const std::string& option) {
  std::string output;
  EXPECT_EQ(lyr::test::RunCommand("openssl " + command + " -noout -dateopt iso_8601 " + option +
                                      " -in '" + file.string() + "'",
                                  &output),
            0);
  return output.substr(output.find('=') + 1, 19) + " UTC";
}

std::string Day(const std::string& date) {
  return date.substr(0, 10);
}

// The SHA-1 fingerprint openssl prints for a CRL, as 40 upper-case hex digits.
// The lines of a text in sorted order: the certificates of one store come in the store's order,
// which follows their thumbprints, and the test PKI's keys are new in every run.
std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string OpenSslCrlThumbprint(const std::filesystem::path& crl) {
  std::string output;
  EXPECT_EQ(lyr::test::RunCommand("openssl crl -noout -fingerprint -sha1 -in '" + crl.string() +
                                      "' | sed -e 's/.*=//' -e 's/://g' | tr -d '\\n'",
                                  &output),
            0);
  return output;
}

class CertCommand : public CryptToolTest {};

TEST_F(CertCommand, ListsAnEmptyStore) {
  const ToolResult result = Tool("cert list");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "MY, current user: 0 certificate(s)\n");
  EXPECT_EQ(result.err, "");
}

TEST_F(CertCommand, ListsEveryCertificateWithTheThumbprintOpenSslComputes) {
  AddToStore("MY", PkiCertificate(SharedPki().user), "user key");
  AddToStore("MY", PkiCertificate(SharedPki().nocn));
  const ToolResult result = Tool("cert list");
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string user_thumbprint = OpenSslThumbprint(SharedPki().user);
  const std::string nocn_thumbprint = OpenSslThumbprint(SharedPki().nocn);
  const std::string user = user_thumbprint + "  Test User (issued by Test Inter CA, valid to " +
                           Day(OpenSslDate("x509", SharedPki().user, "-enddate")) +
                           ", container user key)\n";
  const std::string nocn = nocn_thumbprint + "  na (issued by na, valid to " +
                           Day(OpenSslDate("x509", SharedPki().nocn, "-enddate")) + ")\n";
  // A store lists its certificates by thumbprint.
  EXPECT_EQ(result.out, "MY, current user: 2 certificate(s)\n" +
                            (user_thumbprint < nocn_thumbprint ? user + nocn : nocn + user));
}

TEST_F(CertCommand, ListsTheCaStoreWithItsCrls) {
  AddToStore("CA", PkiCertificate(SharedPki().inter));
  crypt::CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "CA")
      .AddCrl(crypt::Crl::FromPem(lyr::test::FileBytes(SharedPki().root_crl)),
              crypt::AddDisposition::kReplaceExisting);
  const ToolResult result = Tool("cert list --store ca");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "CA, current user: 1 certificate(s)\n" +
                            OpenSslThumbprint(SharedPki().inter) +
                            "  Test Inter CA (issued by Test Root CA, valid to " +
                            Day(OpenSslDate("x509", SharedPki().inter, "-enddate")) +
                            ")\n1 CRL(s)\n" + OpenSslCrlThumbprint(SharedPki().root_crl) +
                            "  CRL of Test Root CA (1 revoked, next update " +
                            Day(OpenSslDate("crl", SharedPki().root_crl, "-nextupdate")) + ")\n");
}

// Files that would stall or swamp a reader (a link to /dev/zero, a FIFO, a huge file, a folder
// named like a certificate) are skipped: the list finishes and says which and why.
TEST_F(CertCommand, ListSkipsFilesThatAreNoRegularStoreFilesAndNamesThem) {
  AddToStore("CA", PkiCertificate(SharedPki().inter));
  const std::filesystem::path folder =
      crypt::CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "CA").Folder();
  const auto name = [](char c) { return std::string(40, c) + ".cer"; };
  std::filesystem::create_symlink("/dev/zero", folder / name('A'));
  ASSERT_EQ(::mkfifo((folder / name('B')).c_str(), 0600), 0);
  std::ofstream(folder / name('C')) << std::string((1 << 20) + 1, '0');
  std::filesystem::create_directory(folder / name('D'));
  std::filesystem::create_symlink("/dev/zero", folder / "zero.crl");
  const ToolResult result = Tool("cert list --store ca");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.rfind("CA, current user: 1 certificate(s)\n" +
                                 OpenSslThumbprint(SharedPki().inter) + "  Test Inter CA",
                             0),
            0u)
      << result.out;
  EXPECT_EQ(result.err, "tdx880: skipped " + name('A') + ": a symbolic link\n" +
                            "tdx880: skipped " + name('B') + ": not a regular file\n" +
                            "tdx880: skipped " + name('C') + ": larger than 1048576 bytes\n" +
                            "tdx880: skipped " + name('D') + ": a folder\n" +
                            "tdx880: skipped zero.crl: a symbolic link\n");
}

TEST_F(CertCommand, ListsTheStoresOfTheLocalMachineWithMachine) {
  AddToStore("addressbook", PkiCertificate(SharedPki().root), "",
             crypt::StoreLocation::kLocalMachine);
  EXPECT_EQ(Tool("cert list --store addressbook").out,
            "addressbook, current user: 0 certificate(s)\n");
  const ToolResult result = Tool("cert list --machine --store 4");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.rfind("addressbook, local machine: 1 certificate(s)\n" +
                                 OpenSslThumbprint(SharedPki().root) + "  Test Root CA",
                             0),
            0u)
      << result.out;
}

struct UsageCase {
  std::string name;
  std::string arguments;
  std::string err;
};

class CertCommandUsage : public CryptToolTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(CertCommandUsage, FailsWithExitStatusTwo) {
  const ToolResult result = Tool(GetParam().arguments);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, GetParam().err);
  EXPECT_EQ(result.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CertCommandUsage,
    ::testing::Values(
        UsageCase{"UnknownStore", "cert list --store Trash",
                  "tdx880: unknown store 'Trash' (MY, ROOT, CA or addressbook)\n"},
        UsageCase{"StoreWithoutName", "cert list --store",
                  "usage: tdx880 cert list [--store S] [--machine]\n"},
        UsageCase{"ExtraArgument", "cert list MY",
                  "usage: tdx880 cert list [--store S] [--machine]\n"},
        UsageCase{"UnknownOption", "cert list --all",
                  "usage: tdx880 cert list [--store S] [--machine]\n"},
        UsageCase{"ShowWithoutArgument", "cert show",
                  "usage: tdx880 cert show FILE|THUMBPRINT [--machine]\n"},
        UsageCase{"ShowTwoArguments", "cert show a b",
                  "usage: tdx880 cert show FILE|THUMBPRINT [--machine]\n"},
        UsageCase{"ImportWithoutFile", "cert import",
                  "usage: tdx880 cert import FILE [--store S] [--container NAME] [--machine]\n"},
        UsageCase{"ImportUnknownStore", "cert import a --store other",
                  "tdx880: unknown store 'other' (MY, ROOT, CA or addressbook)\n"},
        UsageCase{"ImportContainerOutsideMy", "cert import a --store CA --container k",
                  "tdx880: --container NAME binds a certificate of the MY store to a key "
                  "container\n"},
        UsageCase{"ImportEmptyContainer", "cert import a --container ''",
                  "tdx880: --container NAME binds a certificate of the MY store to a key "
                  "container\n"},
        UsageCase{"ImportChainTwoFiles", "cert import-chain a b",
                  "usage: tdx880 cert import-chain FILE [--machine]\n"},
        UsageCase{"UnknownSubcommand", "cert remove x",
                  "tdx880: unknown command 'cert remove' (see tdx880 --help)\n"},
        UsageCase{"SubcommandMissing", "cert",
                  "tdx880: unknown command 'cert' (see tdx880 --help)\n"}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return info.param.name; });

// The fields cert show prints for the test PKI's end-entity certificate.
std::string UserFields() {
  return "thumbprint: " + CryptToolTest::OpenSslThumbprint(SharedPki().user) +
         "\n"
         "subject: CN=Test User, O=Lyr\n"
         "issuer: CN=Test Inter CA\n"
         "subject CN: Test User\n"
         "issuer CN: Test Inter CA\n"
         "serial number: 00A1B2C3\n"
         "valid from: " +
         OpenSslDate("x509", SharedPki().user, "-startdate") +
         "\n"
         "valid to: " +
         OpenSslDate("x509", SharedPki().user, "-enddate") +
         "\n"
         "public key algorithm: 1.2.643.2.2.19\n"
         "signature algorithm: 1.2.643.2.2.3\n"
         "basic constraints: not a CA, not critical\n"
         "self-issued: no\n"
         "CRL distribution points: http://127.0.0.1:8080/inter.crl\n"
         "CA issuers: http://127.0.0.1:8080/inter.cer\n";
}

TEST_F(CertCommand, ShowsTheFieldsOfAPemFile) {
  const ToolResult result = Tool("cert show " + Quote(SharedPki().user));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, UserFields());
}

TEST_F(CertCommand, ShowsTheFieldsOfADerFile) {
  const std::string path = WriteFile("user.cer", lyr::test::PemFileToDer(SharedPki().user));
  const ToolResult result = Tool("cert show " + Quote(path));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, UserFields());
}

TEST_F(CertCommand, ShowsACaCertificateWithSeveralDistributionPoints) {
  const ToolResult result = Tool("cert show " + Quote(SharedPki().inter));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("\nbasic constraints: CA, critical\n"), std::string::npos);
  // ldap and the upper-case scheme are not accepted addresses.
  EXPECT_NE(result.out.find("\nCRL distribution points: http://127.0.0.1:8080/root.crl,"
                            "https://127.0.0.1/root2.crl\n"),
            std::string::npos)
      << result.out;
}

TEST_F(CertCommand, ShowsWhatItCannotReadAsTheLibrarysMessage) {
  const ToolResult result = Tool("cert show " + Quote(SharedPki().ocsp_only));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("\nCA issuers: " +
                            Utf8(u8"Точка распространения сертификата CA не "
                                 u8"найдена") +
                            "\n"),
            std::string::npos)
      << result.out;
}

TEST_F(CertCommand, FindsACertificateByTheFingerprintOpenSslPrints) {
  AddToStore("addressbook", PkiCertificate(SharedPki().user));
  std::string fingerprint;
  ASSERT_EQ(lyr::test::RunCommand("openssl x509 -noout -fingerprint -sha1 -in " +
                                      Quote(SharedPki().user) +
                                      " | sed 's/.*=//' | tr -d '\\n' | tr A-F a-f",
                                  &fingerprint),
            0);
  const ToolResult result = Tool("cert show '" + fingerprint + "'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, UserFields() + "store: addressbook, current user\n");
}

TEST_F(CertCommand, FindsAPersonalCertificateWithItsContainer) {
  AddToStore("MY", PkiCertificate(SharedPki().user), "my key");
  AddToStore("addressbook", PkiCertificate(SharedPki().user));
  const ToolResult result = Tool("cert show " + OpenSslThumbprint(SharedPki().user));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, UserFields() + "store: MY, current user\ncontainer: my key\n");
}

TEST_F(CertCommand, ReportsAThumbprintFoundInNoStore) {
  AddToStore("MY", PkiCertificate(SharedPki().user), "", crypt::StoreLocation::kLocalMachine);
  const std::string thumbprint = OpenSslThumbprint(SharedPki().user);
  const ToolResult result = Tool("cert show " + thumbprint);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "tdx880: no certificate with thumbprint " + thumbprint +
                            " in the stores of the current user\n");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(Tool("cert show --machine " + thumbprint).status, 0);
}

TEST_F(CertCommand, ReportsAMissingFile) {
  const ToolResult result = Tool("cert show " + Quote(PathOf("нет.cer")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, Utf8(u8"Файл не найден: [") + PathOf("нет.cer") + "]\n");
}

TEST_F(CertCommand, ReportsAFileThatIsNoCertificate) {
  const ToolResult result = Tool("cert show " + Quote(WriteFile("junk.cer", "not a certificate")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(
      result.err.rfind(Utf8(u8"Ошибка при импорте сертификата: 0x8009310B (-2146881269): "), 0), 0u)
      << result.err;
}

TEST_F(CertCommand, ImportsACorrespondentIntoTheAddressBook) {
  const ToolResult result = Tool("cert import " + Quote(SharedPki().user));
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string thumbprint = OpenSslThumbprint(SharedPki().user);
  EXPECT_EQ(result.out, "imported " + thumbprint + " (Test User) into addressbook, current user\n");
  EXPECT_NE(Tool("cert list --store addressbook").out.find(thumbprint + "  Test User"),
            std::string::npos);
}

TEST_F(CertCommand, ImportsAPersonalCertificateBoundToItsContainer) {
  MakeContainer("user key", SharedPki().user_key);
  const std::string der = WriteFile("user.cer", lyr::test::PemFileToDer(SharedPki().user));
  const ToolResult result = Tool("cert import " + Quote(der) + " --container 'user key'");
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string thumbprint = OpenSslThumbprint(SharedPki().user);
  EXPECT_EQ(result.out, "imported " + thumbprint +
                            " (Test User) into MY, current user, bound to container user key\n");
  const std::optional<crypt::Certificate> stored =
      crypt::CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "MY")
          .FindByThumbprint(thumbprint);
  ASSERT_TRUE(stored.has_value());
  ASSERT_TRUE(stored->KeyProv().has_value());
  EXPECT_EQ(stored->KeyProv()->container_name, "user key");
  const std::optional<crypt::Certificate> in_container =
      crypt::KeyContainer::Open(crypt::StoreLocation::kCurrentUser, "user key").GetCertificate();
  ASSERT_TRUE(in_container.has_value());
  EXPECT_TRUE(in_container->SameAs(*stored));
}

TEST_F(CertCommand, ImportsIntoAMissingContainerAsTheLibraryDoes) {
  const ToolResult result =
      Tool("cert import " + Quote(SharedPki().user) + " --store MY --container absent");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind(Utf8(u8"Ошибка при инициализации с контейнером [absent] "
                                  u8"криптопровайдера: "),
                             0),
            0u)
      << result.err;
}

TEST_F(CertCommand, ImportsACrlIntoTheCaStore) {
  const ToolResult result = Tool("cert import " + Quote(SharedPki().root_crl));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "imported CRL " + OpenSslCrlThumbprint(SharedPki().root_crl) +
                            " of Test Root CA into CA, current user\n");
  EXPECT_EQ(crypt::CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "CA").Crls().size(),
            1u);
  const ToolResult again = Tool("cert import " + Quote(SharedPki().root_crl));
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out,
            "kept the CRL of Test Root CA that CA, current user already holds (the "
            "same or a newer one)\n");
}

TEST_F(CertCommand, RefusesACrlForAnotherStore) {
  const ToolResult result = Tool("cert import " + Quote(SharedPki().root_crl) + " --store ROOT");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "tdx880: a CRL goes to the CA store and is bound to no container\n");
}

TEST_F(CertCommand, RefusesAFileThatIsNeitherCertificateNorCrl) {
  const ToolResult result = Tool("cert import " + Quote(WriteFile("junk", "junk")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(
      result.err.rfind(Utf8(u8"Ошибка при импорте сертификата: 0x8009310B (-2146881269): "), 0), 0u)
      << result.err;
}

// The root of the test PKI has critical CA constraints, so it goes to CA like the intermediate.
TEST_F(CertCommand, ImportsAChainSortingEachCertificate) {
  const std::string chain = PathOf("chain.p7b");
  ASSERT_EQ(lyr::test::RunOpenSsl("crl2pkcs7 -nocrl -certfile root.pem -certfile inter.pem "
                                  "-certfile user.pem -outform DER -out '" +
                                  chain + "'"),
            0);
  const ToolResult result = Tool("cert import-chain " + Quote(chain));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(SortedLines(result.out),
            SortedLines(OpenSslThumbprint(SharedPki().inter) + "  Test Inter CA -> CA\n" +
                        OpenSslThumbprint(SharedPki().root) + "  Test Root CA -> CA\n" +
                        OpenSslThumbprint(SharedPki().user) + "  Test User -> addressbook\n"));
  // The stores come in their fixed order: CA before addressbook.
  EXPECT_EQ(result.out.substr(result.out.rfind('\n', result.out.size() - 2) + 1),
            OpenSslThumbprint(SharedPki().user) + "  Test User -> addressbook\n");
  const ToolResult again = Tool("cert import-chain " + Quote(chain));
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out,
            "nothing new: the stores of the current user already hold every certificate\n");
}

TEST_F(CertCommand, ImportsAChainGivenAsBase64Text) {
  const std::string der = PathOf("chain.p7b");
  ASSERT_EQ(
      lyr::test::RunOpenSsl("crl2pkcs7 -nocrl -certfile inter.pem -outform DER -out '" + der + "'"),
      0);
  const std::string text = PathOf("chain.b64");
  ASSERT_EQ(lyr::test::RunCommand("base64 '" + der + "' > '" + text + "'"), 0);
  const ToolResult result = Tool("cert import-chain " + Quote(text));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, OpenSslThumbprint(SharedPki().inter) + "  Test Inter CA -> CA\n");
}

TEST_F(CertCommand, ImportsAChainIntoTheLocalMachine) {
  // Self-issued (no common name on either side) without critical CA constraints: ROOT.
  const ToolResult result = Tool("cert import-chain --machine " + Quote(SharedPki().nocn));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, OpenSslThumbprint(SharedPki().nocn) + "  na -> ROOT\n");
  EXPECT_EQ(Tool("cert list --store ROOT").out, "ROOT, current user: 0 certificate(s)\n");
}

TEST_F(CertCommand, RefusesAChainThatIsNoChain) {
  const ToolResult result = Tool("cert import-chain " + Quote(WriteFile("junk.p7b", "junk")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind(Utf8(u8"Ошибка при импорте сертификата: "), 0), 0u) << result.err;
}

}  // namespace
}  // namespace lyr::tool
