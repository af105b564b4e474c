// The tool's "cert list" and "cert show" commands, run as a program over stores prepared in a
// sandbox: what they print (thumbprints and dates as openssl computes them), exit status and
// messages.
#include <gtest/gtest.h>

#include <string>

#include "crypt/crl.h"
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
    ::testing::Values(UsageCase{"UnknownStore", "cert list --store Trash",
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

}  // namespace
}  // namespace lyr::tool
