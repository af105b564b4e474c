// Keys of every GOST kind through the tool, against openssl with the GOST engine both ways.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "crypt/crypt_error.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/key_container.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace lyr::tool {
namespace {

using crypt::CryptErrorCodeText;
using crypt::StoreLocation;

class KeyKindTool : public test::Sandbox {
 protected:
  // Runs a shell command in the sandbox, where "tdx880" is the tool and openssl has the GOST
  // engine; out_ receives both outputs.
  int Sh(const std::string& command) {
    out_.clear();
    return test::RunCommand("cd '" + Home().string() + "' && export OPENSSL_CONF='" +
                                test::OpenSslConfigPath() + "' && exec 2>&1 && tdx880() { '" +
                                LYR_TDX880_TOOL + "' \"$@\"; } && " + command,
                            &out_);
  }
  static std::string Key(const std::string& container) {
    return crypt::KeyContainer::Open(StoreLocation::kCurrentUser, container).Folder() + "/key.pem";
  }
  // Nothing of a refused import was written.
  static void ExpectNoContainer(const std::string& name, size_t my_count) {
    EXPECT_FALSE(crypt::KeyContainer::Exists(StoreLocation::kCurrentUser, name));
    EXPECT_EQ(crypt::CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY").Certificates().size(),
              my_count);
  }
  std::string out_;
};

struct Kind {
  std::string alg, engine, digest, digest_oid, signature;
};
class KeyKinds : public KeyKindTool, public ::testing::WithParamInterface<Kind> {};

TEST_P(KeyKinds, SignAndEncryptBothWaysWithOpenSsl) {
  const Kind& kind = GetParam();
  ASSERT_EQ(Sh("tdx880 container new me --alg " + kind.alg +
               " --subject CN=Me --self-signed -o "
               "me.pem && tdx880 container new r --alg " +
               kind.alg + " --subject CN=R -o r.csr"),
            0);
  const std::string thumbprint = out_.substr(0, 40);
  // The request and the certificate are signed with the key's own hash.
  ASSERT_EQ(Sh("openssl req -verify -noout -in r.csr && (openssl req -text -in r.csr; openssl x509 "
               "-text -in me.pem) | grep -o 'Signature Algorithm: .*' | sort -u"),
            0);
  EXPECT_EQ(out_, "Certificate request self-signature verify OK\nSignature Algorithm: " +
                      kind.signature + "\n");
  const std::string text = "Document text\r\nof every kind\n";
  WriteFile("doc.txt", text);
  ASSERT_EQ(Sh("tdx880 sign doc.txt --key " + thumbprint +
               " -o our.sig && openssl cms -verify "
               "-binary -inform DER -in our.sig -content doc.txt -CAfile me.pem -purpose any -out "
               "/dev/null && openssl cms -cmsout -print -inform DER -in our.sig"),
            0)
      << out_;
  EXPECT_NE(out_.find("(" + kind.digest_oid + ")\n"), std::string::npos) << out_;
  EXPECT_EQ(Sh("tdx880 cert import me.pem --store ROOT && openssl cms -sign -binary -md " +
               kind.digest + " -signer me.pem -inkey '" + Key("me") +
               "' -in doc.txt -outform DER -out their.sig && tdx880 verify-signature doc.txt "
               "their.sig --no-download --no-crl"),
            0)
      << out_;
  ASSERT_EQ(Sh("tdx880 encrypt doc.txt --cert me.pem -o our.p7m && openssl cms -decrypt -binary "
               "-inform DER -in our.p7m -recip me.pem -inkey '" +
               Key("me") +
               "' -out our.txt && openssl cms -encrypt -gost89 -binary -in doc.txt -outform DER "
               "-out their.p7m me.pem && tdx880 decrypt their.p7m -o their.txt"),
            0)
      << out_;
  EXPECT_EQ(test::ReadAll(Home() / "our.txt"), text);
  EXPECT_EQ(test::ReadAll(Home() / "their.txt"), text);
  // The Crypt engine lists the key with the others.
  ASSERT_EQ(Sh("tdx880 keys"), 0) << out_;
  EXPECT_NE(out_.find("  0  " + thumbprint + "  Me\n"), std::string::npos) << out_;
}

TEST_P(KeyKinds, Pkcs12ImportsAndSignsAndAWrongPasswordChangesNothing) {
  WriteFile("pass.txt", "secret\n");
  WriteFile("wrong.txt", "Secret\n");
  ASSERT_EQ(Sh("openssl genpkey -algorithm " + GetParam().engine +
               " -pkeyopt paramset:A -out k.pem"
               " && openssl req -new -x509 -key k.pem -subj /CN=Imported -out k.crt && openssl "
               "pkcs12 -export -inkey k.pem -in k.crt -passout file:pass.txt -out k.p12"),
            0)
      << out_;
  EXPECT_EQ(Sh("tdx880 container import bad --pfx k.p12 --password-file wrong.txt"), 1);
  EXPECT_EQ(out_, CryptErrorCodeText(crypt::code::kScardWWrongChv) + " (wrong PKCS#12 password)\n");
  ExpectNoContainer("bad", 0);
  ASSERT_EQ(Sh("tdx880 container import mine --pfx k.p12 --password-file pass.txt"), 0) << out_;
  const std::string thumbprint = out_.substr(0, 40);
  EXPECT_EQ(out_, thumbprint + " Imported " + GetParam().alg + "\n");
  EXPECT_EQ(std::filesystem::status(Key("mine")).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(Sh("tdx880 sign k.crt --key " + thumbprint +
               " -o k.sig && openssl cms -verify -binary "
               "-inform DER -in k.sig -content k.crt -CAfile k.crt -purpose any -out /dev/null"),
            0)
      << out_;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, KeyKinds,
    ::testing::Values(Kind{"gost2001", "gost2001", "md_gost94", "1.2.643.2.2.9",
                           "GOST R 34.11-94 with GOST R 34.10-2001"},
                      Kind{"gost2012-256", "gost2012_256", "md_gost12_256", "1.2.643.7.1.1.2.2",
                           "GOST R 34.10-2012 with GOST R 34.11-2012 (256 bit)"},
                      Kind{"gost2012-512", "gost2012_512", "md_gost12_512", "1.2.643.7.1.1.2.3",
                           "GOST R 34.10-2012 with GOST R 34.11-2012 (512 bit)"}),
    [](const auto& info) { return "K" + std::to_string(info.index); });

TEST_F(KeyKindTool, AcpkmEnvelopesAreRefusedAndForeignKeysChangeNothing) {
  ASSERT_EQ(
      Sh("tdx880 container new me --alg gost2012-256 --subject CN=Me --self-signed -o me.pem "
         "&& openssl genpkey -algorithm gost2012_256 -pkeyopt paramset:A -out other.pem && "
         "openssl req -x509 -newkey rsa:2048 -nodes -keyout rsa.pem -subj /CN=R -out rsa.crt"),
      0)
      << out_;
  WriteFile("big.bin", std::string(8192, 'x'));
  for (const auto& [cipher, name] : {std::pair{"magma", "1.2.643.7.1.1.5.1.1 (Magma"},
                                     std::pair{"kuznyechik", "1.2.643.7.1.1.5.2.1 (Kuznyechik"}}) {
    EXPECT_EQ(Sh(std::string("openssl cms -encrypt -") + cipher +
                 "-ctr-acpkm -binary -in big.bin "
                 "-outform DER -out a.p7m me.pem && tdx880 decrypt a.p7m -o a.out"),
              1);
    EXPECT_EQ(out_, "Ошибка при расшифровании (1): " +
                        CryptErrorCodeText(crypt::code::kCryptEUnknownAlgo) +
                        " (unsupported content encryption " + name + " CTR-ACPKM))\n");
    EXPECT_FALSE(std::filesystem::exists(Home() / "a.out"));
  }
  EXPECT_EQ(Sh("tdx880 container import x --key other.pem --cert me.pem"), 1);
  EXPECT_EQ(out_, CryptErrorCodeText(crypt::code::kNteBadPublicKey) +
                      " (the certificate is not the key's)\n");
  EXPECT_EQ(Sh("tdx880 container import x --key rsa.pem --cert rsa.crt"), 1);
  EXPECT_EQ(out_,
            CryptErrorCodeText(crypt::code::kNteBadKey) + " (the key is not a GOST R 34.10 key)\n");
  ExpectNoContainer("x", 1);
}

}  // namespace
}  // namespace lyr::tool
