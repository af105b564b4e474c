// One run of each of the tool's commands (the package commands have their own file) in a sandbox
// home: what it prints, what it writes, checked against openssl with the GOST engine, loopback
// servers and the library. The library's own behaviour is tested in the library.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/key_container.h"
#include "crypt/provider_context.h"
#include "http/https_server.h"
#include "http/loopback_server.h"
#include "tool/tool_fixture.h"

namespace lyr::tool {
namespace {

namespace fs = std::filesystem;
using crypt::CertStore;
using crypt::KeyContainer;
using crypt::StoreLocation;
using lyr::test::LoopbackServer;
using lyr::test::SharedPki;
using test::Quote;
using test::ToolResult;
using test::Utf8;

class ToolCommand : public test::ToolTest {
 protected:
  // What openssl prints for "openssl <arguments>" (SHA-1 fingerprints as 40 upper-case digits,
  // dates in the tool's form "YYYY-MM-DD HH:MM:SS UTC").
  std::string OpenSslThumbprint(const std::string& kind, const fs::path& file) const {
    std::string output;
    EXPECT_EQ(OpenSsl(kind + " -noout -fingerprint -sha1 -in " + Quote(file), &output), 0);
    std::string hex;
    for (const char c : output.substr(output.find('=') + 1)) {
      if (std::isxdigit(static_cast<unsigned char>(c))) {
        hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
    }
    return hex;
  }
  std::string OpenSslDate(const std::string& kind, const fs::path& file,
                          const std::string& option) const {
    std::string output;
    EXPECT_EQ(
        OpenSsl(kind + " -noout -dateopt iso_8601 " + option + " -in " + Quote(file), &output), 0);
    return output.substr(output.find('=') + 1, 19) + " UTC";
  }
  const crypt::Certificate& user_ = SharedPki().user_party.certificate;
  const crypt::Certificate& inter_ = SharedPki().inter_party.certificate;
  const crypt::Certificate& root_ = SharedPki().root_party.certificate;
};

TEST_F(ToolCommand, Codes) {
  ToolResult result = Tool("codes");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(result.out.starts_with(
      "Document flows, transactions and document types: 9 flows, 59 transactions, 53 document "
      "types.\n"))
      << result.out;
  result = Tool("codes 07");
  for (const char8_t* line :
       {u8"A star marks the main document of a transaction.\n\n07 ОшибкаОбработкиПакета\n",
        u8"    01 СообщениеОбОшибке               налоговыйОрган  абонент\n"
        u8"       documents: 01 сообщениеОбОшибке*, 02 описаниеОшибочногоПакета\n",
        u8"    02 описаниеОшибочногоПакета        plain\n"}) {
    EXPECT_NE(result.out.find(Utf8(line)), std::string::npos) << result.out;
  }
}

TEST_F(ToolCommand, Inn) {
  EXPECT_EQ(Tool("inn 500100732259").out, "500100732259: valid taxpayer number\n");
  const ToolResult wrong = Tool("inn 7707083894");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.out + wrong.err,
            "7707083894: not a valid taxpayer number (10 or 12 digits whose check digits hold are "
            "expected)\n");
}

TEST_F(ToolCommand, Typelib) {
  const ToolResult result = Tool("typelib");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(
      result.out.starts_with("LyrTdxPackage880 1.2 {AA0FF614-3F4E-40BB-85B0-F20E1D00C088} "
                             "\"LyrTdxPackage880 [KORAL]\", 20 type descriptions\n"));
  EXPECT_NE(result.out.find("\n1. ITdx880Package {C6D9A689-9648-4A74-85F2-46A9B178BEA7} dual "
                            "interface, 42 members\n  201  method  New(wsThreadTypeCode, "
                            "wsTransactTypeCode)\n"),
            std::string::npos);
  EXPECT_NE(result.out.find("\n20. ITdx880Error "), std::string::npos);
}

TEST_F(ToolCommand, Keys) {
  lyr::test::InstallSigner(SharedPki().user_party, "user-key");
  KeyContainer::Create(StoreLocation::kCurrentUser, "\xCA\xEB\xFE\xF7");  // "Ключ", windows-1251
  lyr::test::AddToStore(inter_, "addressbook");
  const ToolResult result = Tool("keys");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "Keys of the current user (" + PathOf("user") +
                            ")\nPersonal keys (\"MY\"): 1\n  0  " + user_.Thumbprint() +
                            "  Test User\nCorrespondents' keys (\"addressbook\"): 1\n  0  " +
                            inter_.Thumbprint() + "  Test Inter CA\nKey containers: 2\n  0  " +
                            Utf8(u8"Ключ") + "\n  1  user-key\n");
  EXPECT_TRUE(Tool("keys --machine")
                  .out.starts_with("Keys of the local machine (" + PathOf("machine") + ")\n"));
}

TEST_F(ToolCommand, ContainerNewAndList) {
  EXPECT_EQ(Tool("container list").out,
            "no key containers in " + crypt::LocationFolder(StoreLocation::kCurrentUser) + "\n");
  ToolResult result = Tool("container new my-key --subject 'CN=Иванов Иван,O=Lyr,C=RU' -o " +
                           Quote(PathOf("req.pem")));
  ASSERT_EQ(result.status, 0) << result.err;
  std::string output;
  ASSERT_EQ(OpenSsl("req -verify -noout -nameopt utf8 -subject -in req.pem", &output), 0) << output;
  EXPECT_NE(output.find("subject=CN=Иванов Иван, O=Lyr, C=RU"), std::string::npos) << output;
  result = Tool("container new out --subject /CN=Out --paramset A");
  EXPECT_TRUE(result.out.starts_with("-----BEGIN CERTIFICATE REQUEST-----\n")) << result.out;
  result = Tool("container new signer --subject CN=Signer --self-signed --days 7 --machine");
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<crypt::Certificate> mine =
      CertStore::OpenSystem(StoreLocation::kLocalMachine, "MY").Certificates();
  ASSERT_EQ(mine.size(), 1U);
  EXPECT_EQ(result.out, mine[0].Thumbprint() + " Signer\n");
  EXPECT_EQ(*mine[0].KeyProv(),
            (crypt::KeyProvInfo{"signer", std::string(crypt::kGostProviderName), 75, 0x21, 1}));
  EXPECT_EQ(mine[0].NotAfter() - mine[0].NotBefore(), 7 * lyr::test::kDay);
  EXPECT_EQ(Tool("container list").out, "my-key\t-\t\nout\t-\t\n");
  EXPECT_EQ(Tool("container list --machine").out, "signer\t" + mine[0].Thumbprint() + "\tSigner\n");
  // A second container of the same name is refused and the first one kept.
  result = Tool("container new my-key --subject CN=K -o " + Quote(PathOf("second.csr")));
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.err.starts_with("0x8009000F")) << result.err;
  EXPECT_FALSE(fs::exists(PathOf("second.csr")));
}

TEST_F(ToolCommand, Description) {
  const std::string package = SavePackage("p.zip");
  const std::string file = PathOf("packageDescription.xml");
  ASSERT_EQ(lyr::test::RunCommand("unzip -p " + Quote(package) + " packageDescription.xml > " +
                                  Quote(file)),
            0);
  ToolResult result = Tool("description " + Quote(file));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(result.out.starts_with("flow: 01 ")) << result.out;
  EXPECT_NE(result.out.find("documents: 2\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("  original file name: declaration.xml\n"), std::string::npos);
  result = Tool("description --rewrite " + Quote(file));
  EXPECT_EQ(result.out, lyr::test::ReadAll(file));
}

TEST_F(ToolCommand, CertListShowsCertificatesAndCrlsAndSkipsHostileFiles) {
  lyr::test::AddToStore(inter_, "CA");
  lyr::test::AddCrlToStore(SharedPki().root_crl_object);
  const fs::path folder = CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA").Folder();
  // Files that would stall or swamp a reader are skipped and named.
  const auto name = [](char c) { return std::string(40, c) + ".cer"; };
  fs::create_symlink("/dev/zero", folder / name('A'));
  ASSERT_EQ(::mkfifo((folder / name('B')).c_str(), 0600), 0);
  std::ofstream(folder / name('C')) << std::string((1 << 20) + 1, '0');
  fs::create_directory(folder / name('D'));
  const ToolResult result = Tool("cert list --store ca");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "CA, current user: 1 certificate(s)\n" + OpenSslThumbprint("x509", SharedPki().inter) +
                "  Test Inter CA (issued by Test Root CA, valid to " +
                OpenSslDate("x509", SharedPki().inter, "-enddate").substr(0, 10) + ")\n1 CRL(s)\n" +
                OpenSslThumbprint("crl", SharedPki().root_crl) +
                "  CRL of Test Root CA (1 revoked, next update " +
                OpenSslDate("crl", SharedPki().root_crl, "-nextupdate").substr(0, 10) + ")\n");
  EXPECT_EQ(result.err, "tdx880: skipped " + name('A') + ": a symbolic link\n" +
                            "tdx880: skipped " + name('B') + ": not a regular file\n" +
                            "tdx880: skipped " + name('C') + ": larger than 1048576 bytes\n" +
                            "tdx880: skipped " + name('D') + ": a folder\n");
}

TEST_F(ToolCommand, CertShowPrintsTheFieldsOpenSslReads) {
  lyr::test::InstallSigner(SharedPki().user_party, "my key");
  const std::string fields =
      "thumbprint: " + OpenSslThumbprint("x509", SharedPki().user) +
      "\nsubject: CN=Test User, O=Lyr\nissuer: CN=Test Inter CA\nsubject CN: Test User\n"
      "issuer CN: Test Inter CA\nserial number: 00A1B2C3\nvalid from: " +
      OpenSslDate("x509", SharedPki().user, "-startdate") +
      "\nvalid to: " + OpenSslDate("x509", SharedPki().user, "-enddate") +
      "\npublic key algorithm: 1.2.643.2.2.19\nsignature algorithm: 1.2.643.2.2.3\n"
      "basic constraints: not a CA, not critical\nself-issued: no\n"
      "CRL distribution points: http://127.0.0.1:8080/inter.crl\n"
      "CA issuers: http://127.0.0.1:8080/inter.cer\n";
  ToolResult result = Tool("cert show " + Quote(SharedPki().user));
  EXPECT_EQ(result.out, fields);
  std::string lower = user_.Thumbprint();
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  result = Tool("cert show " + lower);
  EXPECT_EQ(result.out, fields + "store: MY, current user\ncontainer: my key\n");
  result = Tool("cert show --machine " + user_.Thumbprint());
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "tdx880: no certificate with thumbprint " + user_.Thumbprint() +
                            " in the stores of the local machine\n");
}

TEST_F(ToolCommand, CertImport) {
  KeyContainer::Create(StoreLocation::kCurrentUser, "user key", SharedPki().user_party.key);
  const std::string der = WriteFile("user.cer", user_.Der());
  ToolResult result = Tool("cert import " + Quote(der) + " --container 'user key'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "imported " + user_.Thumbprint() +
                            " (Test User) into MY, current user, bound to container user key\n");
  EXPECT_TRUE(
      KeyContainer::Open(StoreLocation::kCurrentUser, "user key").GetCertificate()->SameAs(user_));
  result = Tool("cert import " + Quote(SharedPki().root_crl));
  EXPECT_EQ(result.out, "imported CRL " + OpenSslThumbprint("crl", SharedPki().root_crl) +
                            " of Test Root CA into CA, current user\n");
  result = Tool("cert import " + Quote(SharedPki().root_crl) + " --store ROOT");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "tdx880: a CRL goes to the CA store and is bound to no container\n");
  result = Tool("cert import " + Quote(WriteFile("junk", "junk")));
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(
      result.err.starts_with(Utf8(u8"Ошибка при импорте сертификата: 0x8009310B (-2146881269): ")))
      << result.err;
}

TEST_F(ToolCommand, CertImportChainSortsAnOpenSslChain) {
  const std::string chain = PathOf("chain.p7b");
  ASSERT_EQ(lyr::test::RunOpenSsl("crl2pkcs7 -nocrl -certfile root.pem -certfile inter.pem "
                                  "-certfile user.pem -outform DER -out " +
                                  Quote(chain)),
            0);
  ToolResult result = Tool("cert import-chain " + Quote(chain));
  EXPECT_EQ(result.status, 0) << result.err;
  // The stores come in their fixed order: CA before addressbook.
  EXPECT_NE(result.out.find(inter_.Thumbprint() + "  Test Inter CA -> CA\n"), std::string::npos);
  EXPECT_NE(result.out.find(root_.Thumbprint() + "  Test Root CA -> CA\n"), std::string::npos);
  EXPECT_TRUE(result.out.ends_with(user_.Thumbprint() + "  Test User -> addressbook\n"));
  result = Tool("cert import-chain " + Quote(chain));
  EXPECT_EQ(result.out,
            "nothing new: the stores of the current user already hold every certificate\n");
}

TEST_F(ToolCommand, Fetch) {
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
    ::unsetenv(name);
  }
  const std::string body("binary\0body\xFF\r\n", 15);
  LoopbackServer server([&](int socket, const std::string&) {
    LoopbackServer::Send(socket, LoopbackServer::Response(200, "OK", body));
  });
  const std::string closed = "http://127.0.0.1:" + std::to_string(lyr::test::ClosedPort()) + "/a";
  ToolResult result =
      Tool("fetch '" + closed + ", ," + server.Url("root.crl") + "' -o " + Quote(PathOf("out")));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(lyr::test::ReadAll(PathOf("out")), body);
  EXPECT_NE(server.Requests().at(0).find("\r\nUser-Agent: LYR-KORAL-HTTPSClient\r\n"),
            std::string::npos);
  EXPECT_EQ(Tool("fetch " + server.Url("a.cer")).out, body);
  result = Tool("fetch '" + closed + "' -o " + Quote(PathOf("none")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, Utf8(u8"Не удалось соединиться с сервером: The attempt to connect to the "
                             u8"server failed. (код 12029)[") +
                            closed + "]\n");
  EXPECT_FALSE(fs::exists(PathOf("none")));
}

// An HTTPS server that requires a client certificate: the tool presents the one of "MY" (TLS
// peers speak ECDSA, so it is a P-256 certificate).
TEST_F(ToolCommand, FetchPresentsTheClientCertificateOfMy) {
  for (const std::string name : {"server", "client"}) {
    ASSERT_EQ(lyr::test::RunCommand(
                  "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                  "-days 2 -subj /CN=lyr-" +
                  name + " -keyout " + Quote(PathOf(name + ".key")) + " -out " +
                  Quote(PathOf(name + ".pem")) + " 2>/dev/null"),
              0);
  }
  KeyContainer::Create(StoreLocation::kCurrentUser, "tls", lyr::test::KeyOf(PathOf("client.key")));
  crypt::Certificate client = lyr::test::CertificateOf(PathOf("client.pem"));
  client.SetKeyProv(crypt::KeyProvInfo{"tls", "", 75, 1, 1});
  lyr::test::AddToStore(client, "MY");
  const lyr::test::HttpsServer server(
      {PathOf("server.pem"), PathOf("server.key"), PathOf("client.pem")}, PathOf("server.log"));
  ASSERT_NE(server.Port(), 0);
  ToolResult result =
      Tool("fetch " + server.Url("private.crl") + " --client-cert " + client.Thumbprint());
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "secure GET /private.crl HTTP/1.1 for lyr-client");
  result = Tool("fetch " + server.Url("a"));
  EXPECT_EQ(result.err, Utf8(u8"Не удалось соединиться с сервером: The server is requesting "
                             u8"client authentication. (код 12044)[") +
                            server.Url("a") + "]\n");
}

TEST_F(ToolCommand, EncryptAndDecryptWithOpenSslAsThePeer) {
  const std::string content = lyr::test::Content(3000);
  const std::string plain = WriteFile("plain.bin", content);
  ToolResult result = Tool("encrypt " + Quote(plain) + " --cert " + Quote(SharedPki().user) +
                           " -o " + Quote(PathOf("ours.p7m")));
  ASSERT_EQ(result.status, 0) << result.err;
  ASSERT_EQ(
      OpenSsl("cms -decrypt -binary -inform DER -in ours.p7m -recip " + Quote(SharedPki().user) +
              " -inkey " + Quote(SharedPki().user_key) + " -out opened.bin"),
      0);
  EXPECT_EQ(lyr::test::ReadAll(PathOf("opened.bin")), content);
  result = Tool("encrypt " + Quote(plain) + " --for " + user_.Thumbprint() + " -o x.p7m");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, Utf8(u8"Сертификат для шифрования с отпечатком [") + user_.Thumbprint() +
                            Utf8(u8"] не найден в храниилище \"Другие пользователи\"\n"));
  // No key in "MY" opens it yet.
  result = Tool("decrypt " + Quote(PathOf("ours.p7m")) + " -o " + Quote(PathOf("out.bin")));
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(
      result.err.starts_with(Utf8(u8"Ошибка при расшифровании (1): 0x8009200C (-2146885620): ")))
      << result.err;
  EXPECT_FALSE(fs::exists(PathOf("out.bin")));
  lyr::test::InstallSigner(SharedPki().user_party, "user key");
  ASSERT_EQ(OpenSsl("cms -encrypt -gost89 -binary -outform DER -in plain.bin -out theirs.p7m " +
                    Quote(SharedPki().user)),
            0);
  result = Tool("decrypt " + Quote(PathOf("theirs.p7m")) + " -o " + Quote(PathOf("out.bin")));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(lyr::test::ReadAll(PathOf("out.bin")), content);
  struct stat info {};
  ASSERT_EQ(::stat(PathOf("out.bin").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

std::string Line(const crypt::Certificate& certificate) {
  return "  " + *certificate.SubjectCN() + " [" + certificate.Thumbprint() + "]\n";
}

TEST_F(ToolCommand, SignAndVerifySignature) {
  lyr::test::InstallSigner(SharedPki().user_party, "user-key");
  const std::string content = WriteFile("document.txt", "The document to sign.\n");
  ToolResult result = Tool("sign " + content + " --key " + user_.Thumbprint());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "Signed " + content + " -> " + content + ".sig\n");
  // openssl cms builds the chain from the signature's certificates and the CA file only.
  WriteFile("ca.pem", lyr::test::ReadAll(SharedPki().root) + lyr::test::ReadAll(SharedPki().inter));
  EXPECT_EQ(OpenSsl("cms -verify -binary -inform DER -in document.txt.sig -content document.txt "
                    "-CAfile ca.pem -purpose any -out /dev/null"),
            0);
  const std::string header = "Signer: Test User [" + user_.Thumbprint() + "]\n";
  const std::string verify =
      "verify-signature " + content + " " + content + ".sig --no-download --no-crl";
  result = Tool(verify);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, header + "Chain:\n" + Line(user_) +
                            "Verdict: INVALID (code 35): Не найден сертификат УЦ [Test Inter "
                            "CA]. URL для скачивания: [http://127.0.0.1:8080/inter.cer]\n");
  lyr::test::AddToStore(inter_, "CA");
  lyr::test::AddToStore(root_, "ROOT");
  result = Tool(verify);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            header + "Chain:\n" + Line(user_) + Line(inter_) + Line(root_) + "Verdict: valid\n");
  WriteFile("document.txt", "The document to sign!\n");
  result = Tool(verify);
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.out.starts_with(
      header + "Verdict: INVALID (code 22): Ошибка при проверке подписи [0x80090006"))
      << result.out;
}

TEST_F(ToolCommand, MailCarriesAPackageThroughAnEmlFile) {
  const std::string package = SavePackage("p.zip");
  ToolResult result = Tool("mail to-eml " + Quote(package) +
                           " --from a@example.ru --to b@example.ru -o " + Quote(PathOf("m.eml")));
  EXPECT_EQ(result.out, "wrote " + PathOf("m.eml") + "\n");
  result = Tool("mail from-eml " + Quote(PathOf("m.eml")) + " -o " + Quote(PathOf("in")));
  const std::string received = PathOf("in/p.zip");
  EXPECT_EQ(result.out, "wrote " + received + "\n");
  const std::string sent = Tool("show " + Quote(package)).out;
  const std::string got = Tool("show " + Quote(received)).out;
  EXPECT_EQ(got.substr(got.find('\n')), sent.substr(sent.find('\n')));
  WriteFile("none.eml", "From: a@example.ru\r\nSubject: hello\r\n\r\nno package here\r\n");
  result = Tool("mail from-eml " + Quote(PathOf("none.eml")) + " -o " + Quote(PathOf("in2")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, Utf8(u8"Неверное количество вложений: [0]\n"));
  EXPECT_FALSE(fs::exists(PathOf("in2")));
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

TEST_F(ToolCommand, ReceiptAndErrorPackageAnswerAReceivedPackage) {
  SavePackage("p.zip");
  ToolResult result = Tool(
      "receipt p.zip --by no --id 7701 --sender-inn 7701234560 --sender-kpp "
      "770101001 -o " +
      Quote(PathOf("out")));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(fs::path(result.out).parent_path(), fs::path(PathOf("out")));
  std::string shown = Tool("show " + result.out).out;
  EXPECT_NE(shown.find("transaction: 02 "), std::string::npos) << shown;
  EXPECT_NE(shown.find("type: 09 "), std::string::npos) << shown;
  WriteFile("error.xml", "<?xml version=\"1.0\"?><e/>\n");
  result = Tool("error-package p.zip --text error.xml -o errors");
  ASSERT_EQ(result.status, 0) << result.err;
  shown = Tool("show " + result.out).out;
  for (const char* line : {"flow: 07 ", "sender: 7701 ", "receiver: 7701234560 ",
                           "document 1: TR_SOSH.xml\n", "document 2: packageDescription.xml\n"}) {
    EXPECT_NE(shown.find(line), std::string::npos) << line << shown;
  }
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

TEST_F(ToolCommand, RegisterAndUnregister) {
  for (const std::string scope : {"", " --machine"}) {
    const std::string registry =
        std::getenv(scope.empty() ? "LYRCOM_REGISTRY" : "LYRCOM_MACHINE_REGISTRY");
    ToolResult result = Tool("register" + scope);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.out.starts_with("Registered ")) << result.out;
    EXPECT_NE(result.out.find("libLyrTdxPackage880.so.1 in " + registry + "\n"), std::string::npos)
        << result.out;
    for (const char* name : {"Manager", "Package", "Crypt"}) {
      EXPECT_NE(lyr::test::ReadAll(registry).find(std::string("LyrTdxPackage880.Tdx880") + name),
                std::string::npos);
    }
    result = Tool("unregister" + scope);
    EXPECT_TRUE(result.out.starts_with("Unregistered ")) << result.out;
    EXPECT_EQ(lyr::test::ReadAll(registry).find("LyrTdxPackage880."), std::string::npos);
  }
}

}  // namespace
}  // namespace lyr::tool
