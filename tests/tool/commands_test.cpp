// One run of each command other than the package commands, checked against
// openssl with the GOST engine, loopback servers and the library.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/key_container.h"
#include "crypt/provider_context.h"
#include "http/loopback_server.h"
#include "package/tdx880_document.h"
#include "rtl/format.h"
#include "tool/tool_fixture.h"

namespace lyr::tool {
namespace {

namespace fs = std::filesystem;
using crypt::CertStore;
using crypt::KeyContainer;
using crypt::StoreLocation;
using lyr::test::SharedPki;
using rtl::Format;
using test::Quote;
using test::ToolResult;
using test::Utf8;

class ToolCommand : public test::ToolTest {
 protected:
  // openssl's SHA-1 fingerprint (40 upper-case digits) and a date ("YYYY-MM-DD") of a file.
  std::string Thumbprint(const std::string& kind, const fs::path& file) const {
    std::string output, hex;
    EXPECT_EQ(OpenSsl(kind + " -noout -fingerprint -sha1 -in " + Quote(file), &output), 0);
    for (const char c : output.substr(output.find('='))) {
      if (std::isxdigit(static_cast<unsigned char>(c))) {
        hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
    }
    return hex;
  }
  std::string Date(const std::string& kind, const fs::path& file, const std::string& option,
                   size_t length = 10) const {
    std::string output;
    EXPECT_EQ(
        OpenSsl(kind + " -noout -dateopt iso_8601 " + option + " -in " + Quote(file), &output), 0);
    return output.substr(output.find('=') + 1, length);
  }
  // A shell command in the sandbox folder, with tdx880 the tool and openssl's GOST engine; out_
  // gets both outputs.
  int Sh(const std::string& command) {
    out_.clear();
    return lyr::test::RunCommand(
        "cd " + Quote(Home()) + " && export OPENSSL_CONF=" + Quote(lyr::test::OpenSslConfigPath()) +
            " && exec 2>&1 && tdx880() { " + LYR_TDX880_TOOL + " \"$@\"; } && " + command,
        &out_);
  }
  static std::string KeyFile(const std::string& container) {
    return KeyContainer::Open(StoreLocation::kCurrentUser, container).Folder() + "/key.pem";
  }
  std::string out_;
  const crypt::Certificate& user_ = SharedPki().user_party.certificate;
  const crypt::Certificate& inter_ = SharedPki().inter_party.certificate;
  const crypt::Certificate& root_ = SharedPki().root_party.certificate;
};

TEST_F(ToolCommand, CodesInnTypelib) {
  EXPECT_TRUE(Tool("codes").out.starts_with(
      "Document flows, transactions and document types: 9 flows, 59 transactions, 53 document "
      "types.\n"));
  EXPECT_EQ(Tool("codes 07").out,
            Utf8(u8"A star marks the main document of a transaction.\n\n07 ОшибкаОбработкиПакета\n"
                 u8"  Transactions                         from            to\n    01 "
                 u8"СообщениеОбОшибке               налоговыйОрган  абонент\n       documents: 01 "
                 u8"сообщениеОбОшибке*, 02 описаниеОшибочногоПакета\n  Document types            "
                 u8"           content\n    01 сообщениеОбОшибке               plain\n    02 "
                 u8"описаниеОшибочногоПакета        plain\n"));
  EXPECT_EQ(Tool("inn 500100732259").out, "500100732259: valid taxpayer number\n");
  const ToolResult wrong = Tool("inn 7707083894");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.out + wrong.err,
            "7707083894: not a valid taxpayer number (10 or 12 digits whose check digits hold "
            "are expected)\n");
  const std::string typelib = Tool("typelib").out;
  EXPECT_TRUE(
      typelib.starts_with("LyrTdxPackage880 1.2 {AA0FF614-3F4E-40BB-85B0-F20E1D00C088} "
                          "\"LyrTdxPackage880 [KORAL]\", 20 type descriptions\n"));
  EXPECT_NE(typelib.find("\n1. ITdx880Package {C6D9A689-9648-4A74-85F2-46A9B178BEA7} dual "
                         "interface, 42 members\n  201  method  New(wsThreadTypeCode, "
                         "wsTransactTypeCode)\n"),
            std::string::npos);
}

TEST_F(ToolCommand, KeysAndContainers) {
  lyr::test::InstallSigner(SharedPki().user_party, "user-key");
  KeyContainer::Create(StoreLocation::kCurrentUser,
                       "\xCA\xEB\xFE\xF7");  // "Ключ", windows-1251
  lyr::test::AddToStore(inter_, "addressbook");
  EXPECT_EQ(Tool("keys").out, "Keys of the current user (" + PathOf("user") +
                                  ")\nPersonal keys (\"MY\"): 1\n  0  " + user_.Thumbprint() +
                                  "  Test User\nCorrespondents' keys (\"addressbook\"): 1\n  0  " +
                                  inter_.Thumbprint() +
                                  "  Test Inter CA\nKey containers: 2\n  0  " + Utf8(u8"Ключ") +
                                  "\n  1  user-key\n");
  EXPECT_TRUE(Tool("keys --machine")
                  .out.starts_with("Keys of the local machine (" + PathOf("machine") + ")\n"));
  EXPECT_EQ(Tool("container list --machine").out,
            "no key containers in " + crypt::LocationFolder(StoreLocation::kLocalMachine) + "\n");
  ASSERT_EQ(Tool("container new my-key --subject 'CN=Иванов Иван,O=Lyr,C=RU' -o req.pem").status,
            0);
  ASSERT_EQ(OpenSsl("req -verify -noout -nameopt utf8 -subject -in req.pem", &out_), 0) << out_;
  EXPECT_NE(out_.find("subject=CN=Иванов Иван, O=Lyr, C=RU"), std::string::npos) << out_;
  EXPECT_TRUE(Tool("container new out --subject /CN=Out --paramset A")
                  .out.starts_with("-----BEGIN CERTIFICATE REQUEST-----\n"));
  const ToolResult result =
      Tool("container new signer --subject CN=Signer --self-signed --days 7 --machine");
  const std::vector<crypt::Certificate> mine =
      CertStore::OpenSystem(StoreLocation::kLocalMachine, "MY").Certificates();
  ASSERT_EQ(mine.size(), 1U);
  EXPECT_EQ(result.out, mine[0].Thumbprint() + " Signer\n");
  EXPECT_EQ(*mine[0].KeyProv(),
            (crypt::KeyProvInfo{"signer", std::string(crypt::kGostProviderName), 75, 0x21, 1}));
  EXPECT_EQ(mine[0].NotAfter() - mine[0].NotBefore(), 7 * lyr::test::kDay);
  EXPECT_EQ(Tool("container list").out, Utf8(u8"Ключ") +
                                            "\t-\t\nmy-key\t-\t\nout\t-\t\nuser-key\t" +
                                            user_.Thumbprint() + "\tTest User\n");
}

// Keys of both GOST R 34.10-2012 kinds (2001 keys meet openssl in tests/crypt): made, imported
// from PKCS#12, signing and encrypting both ways with openssl; a wrong password, another key's
// certificate and a key that is not GOST change nothing.
struct Kind {
  std::string alg, engine, digest, digest_oid, signature;
};
class KeyKinds : public ToolCommand, public ::testing::WithParamInterface<Kind> {};

TEST_P(KeyKinds, WorkWithOpenSslBothWays) {
  const Kind& kind = GetParam();
  ASSERT_EQ(Sh(Format("tdx880 container new me --alg %s --subject CN=Me --self-signed -o me.pem && "
                      "tdx880 container new r --alg %s --subject CN=R -o r.csr",
                      kind.alg, kind.alg)),
            0);
  const std::string thumbprint = out_.substr(0, 40);
  ASSERT_EQ(Sh("openssl req -verify -noout -in r.csr && (openssl req -text -in r.csr; openssl "
               "x509 -text -in me.pem) | grep -o 'Signature Algorithm: .*' | sort -u"),
            0);
  EXPECT_EQ(out_, "Certificate request self-signature verify OK\nSignature Algorithm: " +
                      kind.signature + "\n");
  const std::string text = "Document text\r\nof every kind\n";
  WriteFile("doc.txt", text);
  ASSERT_EQ(Sh("tdx880 sign doc.txt --key " + thumbprint +
               " && openssl cms -verify -binary -inform DER -in doc.txt.sig -content doc.txt "
               "-CAfile me.pem -purpose any -out /dev/null && openssl cms -cmsout -print -inform "
               "DER -in doc.txt.sig"),
            0)
      << out_;
  EXPECT_NE(out_.find("(" + kind.digest_oid + ")\n"), std::string::npos) << out_;
  const std::string verify = "tdx880 verify-signature doc.txt their.sig --no-download --no-crl";
  EXPECT_EQ(Sh("openssl cms -sign -binary -md " + kind.digest + " -signer me.pem -inkey '" +
               KeyFile("me") + "' -in doc.txt -outform DER -out their.sig && " + verify),
            1);
  const std::string signer = "Signer: Me [" + thumbprint + "]\nChain:\n  Me [" + thumbprint + "]\n";
  EXPECT_EQ(out_, signer + Utf8(u8"Verdict: INVALID (code 35): Не найден сертификат УЦ [Me]\n"));
  EXPECT_EQ(Sh("tdx880 cert import me.pem --store ROOT >/dev/null && " + verify), 0);
  EXPECT_EQ(out_, signer + "Verdict: valid\n");
  // The tool's envelopes open with openssl and openssl's with the tool, written with mode 0600.
  ASSERT_EQ(
      Sh(Format("tdx880 cert import me.pem && tdx880 encrypt doc.txt --cert me.pem -o our.p7m "
                "&& tdx880 encrypt doc.txt --for %s -o for.p7m && for e in our for; do "
                "openssl cms -decrypt -binary -inform DER -in $e.p7m -recip me.pem -inkey "
                "'%s' -out $e.txt || exit 1; done && openssl cms -encrypt -gost89 -binary "
                "-in doc.txt -outform DER -out their.p7m me.pem && tdx880 decrypt their.p7m "
                "-o their.txt && stat -c",
                thumbprint, KeyFile("me")) +
         " %a their.txt"),
      0)
      << out_;
  EXPECT_TRUE(out_.ends_with("\n600\n")) << out_;
  EXPECT_EQ(lyr::test::ReadAll(PathOf("our.txt")) + lyr::test::ReadAll(PathOf("for.txt")) +
                lyr::test::ReadAll(PathOf("their.txt")),
            text + text + text);
  // Each content cipher both ways: openssl's envelopes of 300000 bytes (past the first CMS
  // section of either cipher) open in the tool; ours open in openssl within the range it
  // deciphers right (1000 bytes) and in the tool at 1 MB, and name the cipher asked for. One
  // flipped byte of an -OMAC envelope is refused and nothing is written.
  WriteFile("big.bin", lyr::test::Content(300000));
  WriteFile("huge.bin", lyr::test::Content(size_t{1} << 20));
  WriteFile("small.bin", lyr::test::Content(1000));
  const char* const ciphers[][2] = {{"magma-ctr-acpkm", "1.2.643.7.1.1.5.1.1"},
                                    {"magma-ctr-acpkm-omac", "1.2.643.7.1.1.5.1.2"},
                                    {"kuznyechik-ctr-acpkm", "1.2.643.7.1.1.5.2.1"},
                                    {"kuznyechik-ctr-acpkm-omac", "1.2.643.7.1.1.5.2.2"}};
  for (const auto& [cipher, oid] : ciphers) {
    ASSERT_EQ(
        Sh(Format("openssl cms -encrypt -%s -binary -in big.bin -outform DER -out a.p7m "
                  "me.pem && tdx880 decrypt a.p7m -o a.out && cmp big.bin a.out && "
                  "tdx880 encrypt small.bin --cert me.pem --cipher %s -o s.p7m && openssl "
                  "cms -decrypt -binary -inform DER -in s.p7m -recip me.pem -inkey '%s' "
                  "-out s.out && cmp small.bin s.out && tdx880 encrypt huge.bin --for %s "
                  "--cipher %s -o h.p7m && tdx880 decrypt h.p7m -o h.out && cmp huge.bin "
                  "h.out && openssl cms -cmsout -print -inform DER -in h.p7m | grep -c '(%s)'",
                  cipher, cipher, KeyFile("me"), thumbprint, cipher, oid)),
        0)
        << cipher << out_;
    if (std::string_view(cipher).ends_with("-omac")) {
      for (const int from_end : {2, 40}) {  // in the MAC, in the ciphertext
        EXPECT_EQ(Sh(Format("python3 -c \"import sys; b = bytearray(open('h.p7m', 'rb').read()); "
                            "b[-%d] ^= 1; open('f.p7m', 'wb').write(b)\" && tdx880 decrypt "
                            "f.p7m -o f.out",
                            from_end)),
                  1);
        EXPECT_EQ(out_, "Ошибка при расшифровании (1): " +
                            crypt::CryptErrorCodeText(crypt::code::kNteBadData) +
                            " (the content MAC does not match: the envelope is damaged)\n");
        EXPECT_FALSE(fs::exists(PathOf("f.out")));
      }
    }
  }
  // A package encrypted with Kuznyechik-OMAC opens, decrypts and verifies through the tool and
  // through the package object.
  ASSERT_EQ(Sh(Format("tdx880 pack --flow 01 --transaction 01 --sender 7701234560 --receiver "
                      "7701 --doc 01:xml:doc.txt --sign %s --encrypt-cert me.pem --cipher "
                      "kuznyechik-ctr-acpkm-omac -o k.zip && tdx880 verify k.zip --no-download "
                      "--no-crl",
                      thumbprint)),
            0)
      << out_;
  EXPECT_TRUE(out_.ends_with("result: every signature is valid (1)\n")) << out_;
  ASSERT_EQ(Sh("python3 -c \"import zipfile; z = zipfile.ZipFile('k.zip'); print(sum(bytes.fromhex("
               "'2a8503070101050202') in z.read(n) for n in z.namelist()))\""),
            0);
  EXPECT_EQ(out_, "1\n") << "one entry enveloped with Kuznyechik CTR-ACPKM-OMAC";
  package::CTdx880Doc doc;
  ASSERT_TRUE(doc.Open(PathOf("k.zip")));
  ASSERT_TRUE(doc.Decrypt());
  EXPECT_EQ(doc.GetFile(0)->RawContent(), text);
  EXPECT_TRUE(doc.GetFile(0)->CheckSignEx(false, false));
  WriteFile("pass.txt", "secret\n");
  WriteFile("wrong.txt", "Secret\n");
  ASSERT_EQ(Sh("openssl genpkey -algorithm " + kind.engine +
               " -pkeyopt paramset:A -out k.pem && openssl req -new -x509 -key k.pem -subj "
               "/CN=Imported -out k.crt && openssl pkcs12 -export -inkey k.pem -in k.crt -passout "
               "file:pass.txt -out k.p12 && openssl req -x509 -newkey rsa:2048 -nodes -keyout "
               "rsa.pem -subj /CN=R -out rsa.crt"),
            0)
      << out_;
  const std::string refused[][2] = {
      {"--pfx k.p12 --password-file wrong.txt",
       crypt::CryptErrorCodeText(crypt::code::kScardWWrongChv) + " (wrong PKCS#12 password)\n"},
      {"--key k.pem --cert me.pem", crypt::CryptErrorCodeText(crypt::code::kNteBadPublicKey) +
                                        " (the certificate is not the key's)\n"},
      {"--key rsa.pem --cert rsa.crt", crypt::CryptErrorCodeText(crypt::code::kNteBadKey) +
                                           " (the key is not a GOST R 34.10 key)\n"}};
  for (const auto& [arguments, message] : refused) {
    EXPECT_EQ(Sh("tdx880 container import x " + arguments), 1);
    EXPECT_EQ(out_, message);
  }
  EXPECT_FALSE(KeyContainer::Exists(StoreLocation::kCurrentUser, "x"));
  ASSERT_EQ(Sh("tdx880 container import mine --pfx k.p12 --password-file pass.txt"), 0) << out_;
  const std::string imported = out_.substr(0, 40);
  EXPECT_EQ(out_, imported + " Imported " + kind.alg + "\n");
  EXPECT_EQ(Sh("tdx880 sign k.crt --key " + imported +
               " -o k.sig && openssl cms -verify -binary -inform DER -in k.sig -content k.crt "
               "-CAfile k.crt -purpose any -out /dev/null"),
            0)
      << out_;
  // A changed document: no chain is printed.
  EXPECT_EQ(Sh("echo changed >> doc.txt && " + verify), 1);
  EXPECT_TRUE(out_.starts_with("Signer: Me [" + thumbprint + "]\nVerdict: INVALID (code 22): "))
      << out_;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, KeyKinds,
    ::testing::Values(Kind{"gost2012-256", "gost2012_256", "md_gost12_256", "1.2.643.7.1.1.2.2",
                           "GOST R 34.10-2012 with GOST R 34.11-2012 (256 bit)"},
                      Kind{"gost2012-512", "gost2012_512", "md_gost12_512", "1.2.643.7.1.1.2.3",
                           "GOST R 34.10-2012 with GOST R 34.11-2012 (512 bit)"}),
    [](const auto& info) { return "K" + std::to_string(info.index + 1); });

TEST_F(ToolCommand, Description) {
  const std::string package = SavePackage("p.zip");
  ASSERT_EQ(lyr::test::RunCommand("unzip -p " + Quote(package) + " packageDescription.xml > " +
                                  Quote(PathOf("d.xml"))),
            0);
  const std::string shown = Tool("description d.xml").out;
  EXPECT_TRUE(shown.starts_with("flow: 01 ")) << shown;
  EXPECT_NE(shown.find("documents: 2\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  original file name: declaration.xml\n"), std::string::npos);
  EXPECT_EQ(Tool("description --rewrite d.xml").out, lyr::test::ReadAll(PathOf("d.xml")));
}

TEST_F(ToolCommand, CertListShowsCertificatesAndCrlsAndSkipsHostileFiles) {
  lyr::test::AddToStore(inter_, "CA");
  lyr::test::AddCrlToStore(SharedPki().root_crl_object);
  const fs::path folder = CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA").Folder();
  // What the store skips is named (the kinds of planted files: tests/crypt).
  fs::create_directory(folder / (std::string(40, 'D') + ".cer"));
  const ToolResult result = Tool("cert list --store ca");
  EXPECT_EQ(result.out, "CA, current user: 1 certificate(s)\n" +
                            Thumbprint("x509", SharedPki().inter) +
                            "  Test Inter CA (issued by Test Root CA, valid to " +
                            Date("x509", SharedPki().inter, "-enddate") + ")\n1 CRL(s)\n" +
                            Thumbprint("crl", SharedPki().root_crl) +
                            "  CRL of Test Root CA (1 revoked, next update " +
                            Date("crl", SharedPki().root_crl, "-nextupdate") + ")\n");
  EXPECT_EQ(result.err, "tdx880: skipped " + std::string(40, 'D') + ".cer: a folder\n");
}

TEST_F(ToolCommand, CertShowAndImport) {
  KeyContainer::Create(StoreLocation::kCurrentUser, "my key", SharedPki().user_party.key);
  ToolResult result = Tool("cert import " + Quote(SharedPki().user) + " --container 'my key'");
  EXPECT_EQ(result.out, "imported " + user_.Thumbprint() +
                            " (Test User) into MY, current user, bound to container my key\n");
  EXPECT_TRUE(
      KeyContainer::Open(StoreLocation::kCurrentUser, "my key").GetCertificate()->SameAs(user_));
  const std::string fields =
      "thumbprint: " + Thumbprint("x509", SharedPki().user) +
      "\nsubject: CN=Test User, O=Lyr\nissuer: CN=Test Inter CA\nsubject CN: Test User\nissuer "
      "CN: Test Inter CA\nserial number: 00A1B2C3\nvalid from: " +
      Date("x509", SharedPki().user, "-startdate", 19) +
      " UTC\nvalid to: " + Date("x509", SharedPki().user, "-enddate", 19) +
      " UTC\npublic key algorithm: 1.2.643.2.2.19\nsignature algorithm: 1.2.643.2.2.3\nbasic "
      "constraints: not a CA, not critical\nself-issued: no\nCRL distribution points: "
      "http://127.0.0.1:8080/inter.crl\nCA issuers: http://127.0.0.1:8080/inter.cer\n";
  EXPECT_EQ(Tool("cert show " + Quote(SharedPki().user)).out, fields);
  std::string lower = user_.Thumbprint();
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  EXPECT_EQ(Tool("cert show " + lower).out,
            fields + "store: MY, current user\ncontainer: my key\n");
  result = Tool("cert show --machine " + user_.Thumbprint());
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "tdx880: no certificate with thumbprint " + user_.Thumbprint() +
                            " in the stores of the local machine\n");
  Tool("cert import " + Quote(SharedPki().root) + " --store ROOT");  // the CRL's issuer
  EXPECT_EQ(Tool("cert import " + Quote(SharedPki().root_crl)).out,
            "imported CRL " + Thumbprint("crl", SharedPki().root_crl) +
                " of Test Root CA into CA, current user\n");
  EXPECT_EQ(Tool("cert import " + Quote(SharedPki().root_crl) + " --store ROOT").err,
            "tdx880: a CRL goes to the CA store and is bound to no container\n");
  result = Tool("cert import " + Quote(WriteFile("junk", "junk")));
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(
      result.err.starts_with(Utf8(u8"Ошибка при импорте сертификата: 0x8009310B (-2146881269): ")))
      << result.err;
}

TEST_F(ToolCommand, CertImportChainSortsAnOpenSslChain) {
  ASSERT_EQ(
      lyr::test::RunOpenSsl("crl2pkcs7 -nocrl -certfile root.pem -certfile inter.pem -certfile "
                            "user.pem -outform DER -out " +
                            Quote(PathOf("chain.p7b"))),
      0);
  // The stores come in their fixed order: CA before addressbook.
  const std::string listed = Tool("cert import-chain chain.p7b").out;
  EXPECT_NE(listed.find(inter_.Thumbprint() + "  Test Inter CA -> CA\n"), std::string::npos);
  EXPECT_NE(listed.find(root_.Thumbprint() + "  Test Root CA -> CA\n"), std::string::npos);
  EXPECT_TRUE(listed.ends_with(user_.Thumbprint() + "  Test User -> addressbook\n")) << listed;
  EXPECT_EQ(Tool("cert import-chain chain.p7b").out,
            "nothing new: the stores of the current user already hold every certificate\n");
}

TEST_F(ToolCommand, Fetch) {
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
    ::unsetenv(name);
  }
  const std::string body("binary\0body\xFF\r\n", 15);
  lyr::test::LoopbackServer server([&](int socket, const std::string&) {
    lyr::test::LoopbackServer::Send(socket, lyr::test::LoopbackServer::Response(200, "OK", body));
  });
  const std::string closed = "http://127.0.0.1:" + std::to_string(lyr::test::ClosedPort()) + "/a";
  const ToolResult result = Tool("fetch '" + closed + ", ," + server.Url("root.crl") + "' -o out");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(lyr::test::ReadAll(PathOf("out")), body);
  // The thumbprint of a client certificate goes to the client, which presents it only when asked.
  EXPECT_EQ(Tool("fetch " + server.Url("b") + " --client-cert " + user_.Thumbprint()).out, body);
}

TEST_F(ToolCommand, MailCarriesAPackageThroughAnEmlFile) {
  SavePackage("p.zip");
  EXPECT_EQ(Tool("mail to-eml p.zip --from a@example.ru --to b@example.ru -o m.eml").out,
            "wrote " + PathOf("m.eml") + "\n");
  EXPECT_EQ(Tool("mail from-eml m.eml -o in").out, "wrote " + PathOf("in/p.zip") + "\n");
  const std::string sent = Tool("show p.zip").out;
  const std::string got = Tool("show in/p.zip").out;
  EXPECT_EQ(got.substr(got.find('\n')), sent.substr(sent.find('\n')));
  // A second message of the same name keeps the file there and writes nothing.
  WriteFile("in/p.zip", "mine");
  const ToolResult again = Tool("mail from-eml m.eml -o in");
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, PathOf("in/p.zip") + " exists already; nothing was written\n");
  EXPECT_EQ(lyr::test::ReadAll(PathOf("in/p.zip")), "mine");
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

// kill -9 at random moments of an import or a message read, twenty times each, then an ordinary
// run: no private key lies outside a complete container, the retry works and TMP is empty.
TEST_F(ToolCommand, KilledOutrightAtAnyMomentLeavesAllOrNothing) {
  ASSERT_EQ(Sh("echo secret > pass.txt && openssl genpkey -algorithm gost2012_256 -pkeyopt "
               "paramset:A -out k.pem && openssl req -new -x509 -key k.pem -subj /CN=K -out k.crt "
               "&& openssl pkcs12 -export -inkey k.pem -in k.crt -passout file:pass.txt -out "
               "k.p12 && head -c 3000000 /dev/urandom > big.bin && tdx880 pack --flow 01 "
               "--transaction 01 --sender 7701234560 --receiver 7701 --doc 01:xml:big.bin -o "
               "p.zip >/dev/null && tdx880 mail to-eml p.zip --from a@x.ru --to b@x.ru -o m.eml"),
            0)
      << out_;
  std::mt19937 random(26);
  const auto kill_runs = [&](const std::string& arguments, int runs) {
    const std::string command = "cd " + Quote(Home()) + " && exec " + LYR_TDX880_TOOL + " " +
                                arguments + " >/dev/null 2>&1";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lyr::test::RunCommand(command + " ; true"), 0);
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
    for (int i = 0; i < runs; ++i) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
        ::_exit(127);
      }
      ::usleep(static_cast<useconds_t>(std::uniform_int_distribution<int64_t>(0, span)(random)));
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  };
  const std::string import = "container import c --pfx k.p12 --password-file pass.txt";
  kill_runs(import, 0);
  ASSERT_TRUE(KeyContainer::Delete(StoreLocation::kCurrentUser, "c"));
  kill_runs(import, 20);
  kill_runs("cert import k.crt --store ROOT", 20);
  kill_runs("mail from-eml m.eml -o killed", 20);
  // The ordinary runs: the import succeeds or finds the container a killed run completed.
  const int imported = Sh("tdx880 " + import);
  EXPECT_TRUE(imported == 0 || out_.find("(container c)") != std::string::npos) << out_;
  EXPECT_EQ(Sh("tdx880 cert import k.crt --store ROOT && tdx880 mail from-eml m.eml -o final && "
               "tdx880 cert list --store MY"),
            0)
      << out_;
  EXPECT_NE(out_.find(" K (issued by K, valid to "), std::string::npos) << out_;
  EXPECT_NE(out_.find(", container c)"), std::string::npos) << out_;
  const fs::path home = crypt::LocationFolder(StoreLocation::kCurrentUser);
  for (const auto& entry : fs::recursive_directory_iterator(home)) {
    const std::string name = entry.path().filename().string();
    EXPECT_FALSE(name.starts_with(".new-") || name.find(".tmp") != std::string::npos) << entry;
    if (name == "key.pem") {
      EXPECT_TRUE(fs::exists(entry.path().parent_path() / "certificate.cer")) << entry;
      EXPECT_EQ(entry.path().parent_path().parent_path().filename(), "containers") << entry;
    }
  }
  EXPECT_TRUE(fs::exists(PathOf("final/p.zip")));
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

// Files named on the command line are regular files: a FIFO, /dev/zero or /dev/urandom is
// refused at once, never read until memory runs out.
TEST_F(ToolCommand, FileArgumentsAreRegularFilesOnly) {
  SavePackage("p.zip");
  ASSERT_EQ(Sh("mkfifo fifo && tdx880 mail to-eml p.zip --from a@x.ru --to b@x.ru -o m.eml"), 0);
  const std::pair<std::string, std::string> cases[] = {
      {"mail from-eml fifo -o out", "fifo"},
      {"cert import fifo", "fifo"},
      {"cert import /dev/zero", "/dev/zero"},
      {"container import x --pfx /dev/zero", "/dev/zero"},
      {"container import x --key /dev/urandom --cert fifo", "/dev/urandom"},
      {"error-package p.zip --text /dev/zero -o out", "/dev/zero"},
      {"verify-signature /dev/zero fifo", "/dev/zero"},
      {"pack --flow 01 --transaction 01 --sender 7701234560 --receiver 7701 --doc "
       "01:xml:/dev/zero -o out",
       "/dev/zero"}};
  for (const auto& [command, file] : cases) {
    EXPECT_EQ(Sh("timeout 20 " + std::string(LYR_TDX880_TOOL) + " " + command), 1) << command;
    EXPECT_TRUE(out_.starts_with(Utf8(u8"Не обычный файл: [")) && out_.ends_with(file + "]\n"))
        << command << ": " << out_;
  }
  EXPECT_FALSE(fs::exists(PathOf("out")));
}

// Key files that ask for more work than any honest one are refused before it is spent; a PKCS #12
// file without a MAC imports with its password and is refused with another. The files are the
// key_import fuzz seeds (fuzz/make_key_seeds: iteration counts rewritten to 2^31-1).
TEST_F(ToolCommand, HostileKeyFilesAreRefusedAndAFileWithoutMacImports) {
  WriteFile("pass.txt", "secret\n");
  WriteFile("wrong.txt", "Secret\n");
  ASSERT_EQ(Sh("cp " + Quote(LYR_FUZZ_CORPUS "/key_import") + "/* ."), 0) << out_;
  const std::string bad_key = crypt::CryptErrorCodeText(crypt::code::kNteBadKey);
  const std::pair<std::string, std::string> cases[] = {
      {"--pfx mac-2147483647.p12",
       bad_key + " (PKCS#12 MAC: 2147483647 iterations, above the limit of 25000000)"},
      {"--pfx nomac-2147483647.p12",
       bad_key + " (PKCS#12 key: 2147483647 iterations, above the limit of 25000000)"},
      {"--key pbkdf2-2147483647.pem --cert none",
       bad_key + " (encrypted key: 2147483647 iterations, above the limit of 25000000)"},
      {"--pfx nomac.p12 --password-file wrong.txt",
       crypt::CryptErrorCodeText(crypt::code::kScardWWrongChv) + " (wrong PKCS#12 password)"}};
  for (const auto& [arguments, message] : cases) {
    const std::string password =
        arguments.find("--password-file") == std::string::npos ? " --password-file pass.txt" : "";
    EXPECT_EQ(Sh("timeout 60 " + std::string(LYR_TDX880_TOOL) + " container import x " + arguments +
                 password),
              1);
    EXPECT_EQ(out_, message + "\n") << arguments;
  }
  EXPECT_FALSE(KeyContainer::Exists(StoreLocation::kCurrentUser, "x"));
  ASSERT_EQ(Sh("tdx880 container import x --pfx nomac.p12 --password-file pass.txt"), 0) << out_;
  EXPECT_TRUE(out_.ends_with(" Seed gost2012-256\n")) << out_;
}

TEST_F(ToolCommand, ReceiptAndErrorPackageAnswerAReceivedPackage) {
  SavePackage("p.zip");
  ToolResult result =
      Tool("receipt p.zip --by no --id 7701 --sender-inn 7701234560 --sender-kpp 770101001 -o out");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(result.out.starts_with(PathOf("out/"))) << result.out;
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
    const std::string out = Tool("register" + scope).out;
    EXPECT_TRUE(out.starts_with("Registered ")) << out;
    EXPECT_TRUE(out.ends_with("libLyrTdxPackage880.so.1 in " + registry + "\n")) << out;
    for (const char* name : {"Manager", "Package", "Crypt"}) {
      EXPECT_NE(lyr::test::ReadAll(registry).find(std::string("LyrTdxPackage880.Tdx880") + name),
                std::string::npos);
    }
    EXPECT_TRUE(Tool("unregister" + scope).out.starts_with("Unregistered "));
    EXPECT_EQ(lyr::test::ReadAll(registry).find("LyrTdxPackage880."), std::string::npos);
  }
}

}  // namespace
}  // namespace lyr::tool
