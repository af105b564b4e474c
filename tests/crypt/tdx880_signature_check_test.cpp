// Checking document signatures through CTdx880CryptoTool and CTdx880Crypt: sign -> check round
// trips at both locations, CheckSignEx's signer list, openssl cms signatures, the coded failures
// of signature, chain and revocation, and checks from two threads at once. The PKI is made in
// process by the openssl command line; the stores and containers are real ones in the sandbox
// home.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "crypt/crypto_api20_exception.h"
#include "crypt/koral_certificate.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/crl.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key.h"
#include "crypt/support/test_pki.h"
#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_crypto_tool.h"
#include "crypt/tdx880_key.h"
#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;

// The key-provider flags of a binding: CERT_SET_KEY_CONTEXT_PROP_ID, plus CRYPT_MACHINE_KEYSET
// for a container of the local machine.
uint32_t KeyProvFlags(StoreLocation location) {
  return location == StoreLocation::kLocalMachine ? 0x21 : 0x01;
}

template <typename Body>
std::string MessageOf(Body&& body) {
  try {
    body();
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

struct Coded {
  int code = -1;
  std::string message;
};

template <typename Body>
Coded CodedFailureOf(Body&& body) {
  try {
    body();
  } catch (const CCryptoAPI20Exception& error) {
    return {error.Code(), error.Message()};
  } catch (const rtl::Exception& error) {
    return {0, error.Message()};
  }
  return {-1, "(no error)"};
}

std::string Content(size_t size, unsigned seed = 3) {
  std::string content(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    content[i] = static_cast<char>((i * 37 + seed) ^ (i >> 7));
  }
  return content;
}

constexpr const char* kCaConfig = R"([req]
distinguished_name = dn
[dn]
[ca]
default_ca = ca_default
[ca_default]
database = ./index.txt
crlnumber = ./crlnumber
default_md = md_gost94
default_crl_days = 30
[revoked]
database = ./revoked-index.txt
crlnumber = ./crlnumber
default_md = md_gost94
default_crl_days = 30
[old]
database = ./old-index.txt
new_certs_dir = .
serial = ./serial
default_md = md_gost94
policy = policy_any
email_in_dn = no
x509_extensions = v3_user
[policy_any]
commonName = supplied
organizationName = optional
[v3_root]
basicConstraints = critical,CA:TRUE
keyUsage = keyCertSign, cRLSign
[v3_user]
basicConstraints = CA:FALSE
keyUsage = digitalSignature, nonRepudiation, keyEncipherment, dataEncipherment
)";

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A root and a user it issued, with the root's CRLs (one empty, one revoking the user on
// 2025-01-01), made once per process by the openssl command line with the GOST engine.
struct Pki {
  Pki() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "lyr-check-pki-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      return;
    }
    folder = pattern;
    WriteText(folder / "ca.cnf", kCaConfig);
    WriteText(folder / "index.txt", "");
    WriteText(folder / "revoked-index.txt",
              "R\t301231235959Z\t250101000000Z\t0A11\tunknown\t/CN=Check User/O=Lyr\n");
    WriteText(folder / "crlnumber", "01\n");
    WriteText(folder / "old-index.txt", "");
    WriteText(folder / "serial", "0A12\n");
    const std::string script =
        "cd '" + folder.string() + "' && export OPENSSL_CONF='" + test::OpenSslConfigPath() +
        "' && unset CRYPT_PARAMS && "
        "openssl genpkey -algorithm gost2001 -pkeyopt paramset:XA -out root.key && "
        "openssl req -config ca.cnf -new -x509 -key root.key -subj '/CN=Check Root/O=Lyr' "
        "-days 3650 -set_serial 1 -extensions v3_root -md_gost94 -out root.pem && "
        "openssl genpkey -algorithm gost2001 -pkeyopt paramset:XA -out user.key && "
        "openssl req -config ca.cnf -new -key user.key -subj '/CN=Check User/O=Lyr' -out user.csr "
        "&& "
        "openssl x509 -req -in user.csr -CA root.pem -CAkey root.key -set_serial 0x0A11 -days 365 "
        "-extfile ca.cnf -extensions v3_user -md_gost94 -out user.pem && "
        "openssl ca -config ca.cnf -gencrl -keyfile root.key -cert root.pem -out root.crl && "
        "openssl ca -config ca.cnf -name revoked -gencrl -keyfile root.key -cert root.pem "
        "-out revoked.crl && "
        "openssl genpkey -algorithm gost2001 -pkeyopt paramset:XA -out old.key && "
        "openssl req -config ca.cnf -new -key old.key -subj '/CN=Check Old User/O=Lyr' "
        "-out old.csr && "
        "openssl ca -config ca.cnf -name old -batch -notext -startdate 20250101000000Z "
        "-enddate 20250201000000Z -cert root.pem -keyfile root.key -in old.csr -out old.pem 2>&1";
    std::string output;
    made = test::RunCommand(script, &output) == 0;
    if (!made) {
      error = output;
    }
  }
  ~Pki() {
    std::error_code ec;
    if (!folder.empty()) {
      std::filesystem::remove_all(folder, ec);
    }
  }
  Pki(const Pki&) = delete;
  Pki& operator=(const Pki&) = delete;

  [[nodiscard]] std::filesystem::path File(const char* name) const { return folder / name; }
  [[nodiscard]] Certificate Root() const {
    return Certificate::FromPem(test::FileBytes(File("root.pem")));
  }
  [[nodiscard]] Certificate User() const {
    return Certificate::FromPem(test::FileBytes(File("user.pem")));
  }
  [[nodiscard]] PrivateKey UserKey() const {
    return PrivateKey::FromPem(test::FileBytes(File("user.key")), std::nullopt);
  }
  // A user whose certificate was valid in January 2025 only.
  [[nodiscard]] Certificate OldUser() const {
    return Certificate::FromPem(test::FileBytes(File("old.pem")));
  }
  [[nodiscard]] PrivateKey OldUserKey() const {
    return PrivateKey::FromPem(test::FileBytes(File("old.key")), std::nullopt);
  }
  [[nodiscard]] Crl RootCrl() const { return Crl::FromPem(test::FileBytes(File("root.crl"))); }
  [[nodiscard]] Crl RevokingCrl() const {
    return Crl::FromPem(test::FileBytes(File("revoked.crl")));
  }

  std::filesystem::path folder;
  bool made = false;
  std::string error;
};

const Pki& SharedCheckPki() {
  static const Pki pki;
  return pki;
}

struct LocationCase {
  const char* name;
  bool user_storage;
  StoreLocation location;
};

const LocationCase kLocations[] = {{"CurrentUser", true, StoreLocation::kCurrentUser},
                                   {"LocalMachine", false, StoreLocation::kLocalMachine}};

class SignatureCheckTest : public test::Sandbox {
 protected:
  // The root trusted, its current CRL in "CA", and the user's certificate in "MY" bound to a
  // container holding its key.
  void SetUp() override {
    Sandbox::SetUp();
    ASSERT_TRUE(pki_.made) << pki_.error;
    root_ = pki_.Root();
    user_ = pki_.User();
  }

  void Install(StoreLocation location, bool with_crl = true) {
    CertStore::OpenSystem(location, "ROOT").Add(root_, AddDisposition::kReplaceExisting);
    if (with_crl) {
      CertStore::OpenSystem(location, "CA")
          .AddCrl(pki_.RootCrl(), AddDisposition::kReplaceExisting);
    }
    InstallSigner(location, user_, pki_.UserKey(), "user-key");
  }
  static void InstallSigner(StoreLocation location, const Certificate& certificate,
                            const PrivateKey& key, const std::string& container) {
    KeyContainer::Create(location, container, key);
    Certificate bound = certificate;
    bound.SetKeyProv(KeyProvInfo{container, "", 75, KeyProvFlags(location), 1});
    CertStore::OpenSystem(location, "MY").Add(bound, AddDisposition::kReplaceExisting);
  }

  // A detached signature by the openssl command line with the user's key.
  std::string OpenSslSignature(const std::string& content, const std::string& extra = {}) {
    const std::string content_file = WriteFile("osl-content.bin", content);
    const std::string signer = pki_.File("user.pem").string();
    const std::string key = pki_.File("user.key").string();
    const std::string out = PathOf("osl.p7s");
    EXPECT_EQ(test::RunOpenSsl("cms -sign -md md_gost94 -binary -nosmimecap -outform DER -in " +
                               content_file + " -signer " + signer + " -inkey " + key + " -out " +
                               out + " " + extra),
              0);
    return test::ReadAll(out);
  }

  const Pki& pki_ = SharedCheckPki();
  Certificate root_ = Certificate::FromDer(test::PemFileToDer(test::SharedPki().root));
  Certificate user_ = root_;
  CTdx880CryptoTool tool_;
};

class SignatureCheckAtLocation : public SignatureCheckTest,
                                 public ::testing::WithParamInterface<LocationCase> {};

INSTANTIATE_TEST_SUITE_P(Locations, SignatureCheckAtLocation, ::testing::ValuesIn(kLocations),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- round trips ------------------------------------------------------------------------------

TEST_P(SignatureCheckAtLocation, ChecksWhatItSignedWithRevocation) {
  Install(GetParam().location);
  const std::string content = Content(100000);
  const std::string signature = tool_.Sign(GetParam().user_storage, content, user_.Thumbprint());
  EXPECT_TRUE(tool_.CheckSign(GetParam().user_storage, content, signature));
}

TEST_P(SignatureCheckAtLocation, OtherLocationDoesNotTrustTheRoot) {
  Install(GetParam().location);
  const std::string signature = tool_.Sign(GetParam().user_storage, "c", user_.Thumbprint());
  rtl::CStrArray signers;
  const Coded failure = CodedFailureOf(
      [&] { tool_.CheckSignEx(!GetParam().user_storage, "c", false, false, &signers, signature); });
  EXPECT_EQ(failure.code, 35);
  EXPECT_EQ(failure.message, Msg(u8"Не найден сертификат УЦ [Check Root]"));
}

TEST_P(SignatureCheckAtLocation, CryptEngineChecksAtItsLocation) {
  Install(GetParam().location);
  const std::string content = Content(5000);
  const std::string signature = tool_.Sign(GetParam().user_storage, content, user_.Thumbprint());
  CTdx880Crypt crypt;
  ASSERT_TRUE(crypt.Init(GetParam().user_storage));
  EXPECT_TRUE(crypt.CheckSignature(content, signature));
  ASSERT_TRUE(crypt.Init(!GetParam().user_storage));
  EXPECT_EQ(CodedFailureOf([&] { crypt.CheckSignature(content, signature); }).code, 35);
}

TEST_F(SignatureCheckTest, CryptEngineBeforeInitChecksAtTheCurrentUser) {
  Install(StoreLocation::kCurrentUser);
  const std::string signature = tool_.Sign(true, "text", user_.Thumbprint());
  const CTdx880Crypt crypt;
  EXPECT_TRUE(crypt.CheckSignature("text", signature));
}

// ---- CheckSignEx ------------------------------------------------------------------------------

TEST_F(SignatureCheckTest, CheckSignExLeavesTheCertificateAndTheKeyInTheList) {
  Install(StoreLocation::kCurrentUser, false);
  const std::string signature = tool_.Sign(true, "listed", user_.Thumbprint());
  rtl::CStrArray signers;
  signers.Add("stale");
  tool_.CheckSignEx(true, "listed", false, false, &signers, signature);
  ASSERT_EQ(signers.Count(), 2);
  const std::string thumbprint = user_.Thumbprint();
  EXPECT_EQ(signers.Strings(0), thumbprint);
  EXPECT_EQ(signers.Strings(1), thumbprint);
  const CKORALCertificate* certificate = signers.Object<CKORALCertificate>(0);
  ASSERT_NE(certificate, nullptr);
  ASSERT_NE(certificate->Context(), nullptr);
  EXPECT_EQ(certificate->Context()->Der(), user_.Der());
  EXPECT_EQ(certificate->GetSha1(), user_.Thumbprint());
  EXPECT_EQ(certificate->Provider(), nullptr) << "the verification's provider is gone";
  const CTdx880Key* key = signers.Object<CTdx880Key>(1);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Sha1(), thumbprint);
  EXPECT_EQ(key->CertificateBody(), user_.Der());
  EXPECT_EQ(key->SubjectCN(), "");
  EXPECT_EQ(key->SignRole(), sign_role::kAbonent);
}

TEST_F(SignatureCheckTest, CheckSignExWithoutListIsRefused) {
  EXPECT_EQ(MessageOf([&] { tool_.CheckSignEx(true, "c", false, false, nullptr, "s"); }),
            Msg(u8"Передан пустой аргумент: pSignerList"));
}

TEST_F(SignatureCheckTest, CheckSignExWithRevocationNeedsTheIssuersCrl) {
  Install(StoreLocation::kCurrentUser, false);
  const std::string signature = tool_.Sign(true, "crl", user_.Thumbprint());
  rtl::CStrArray signers;
  const Coded failure =
      CodedFailureOf([&] { tool_.CheckSignEx(true, "crl", true, false, &signers, signature); });
  EXPECT_EQ(failure.code, 34);
  EXPECT_EQ(failure.message, Msg(u8"Список отозванных сертификатов для [Check Root] не найден"));
  EXPECT_EQ(signers.Count(), 0);
  // Without the revocation flag the same signature holds.
  tool_.CheckSignEx(true, "crl", false, false, &signers, signature);
  EXPECT_EQ(signers.Count(), 2);
}

// ---- openssl's signatures -------------------------------------------------------------------

TEST_F(SignatureCheckTest, OpenSslSignatureVerifiesThroughTheTool) {
  Install(StoreLocation::kCurrentUser);
  const std::string content = Content(30000);
  const std::string signature = OpenSslSignature(content);
  EXPECT_TRUE(tool_.CheckSign(true, content, signature));
  rtl::CStrArray signers;
  tool_.CheckSignEx(true, content, true, false, &signers, signature);
  ASSERT_EQ(signers.Count(), 2);
  EXPECT_EQ(signers.Object<CTdx880Key>(1)->Sha1(), user_.Thumbprint());
  const SignatureSigner signer = CTdx880CryptoTool::SignerFromSignature(signature);
  EXPECT_EQ(signer.subject_cn, "Check User");
  EXPECT_EQ(signer.certificate_body, user_.Der());
}

TEST_F(SignatureCheckTest, OpenSslSignatureOverOtherBytesFailsWithCode22) {
  Install(StoreLocation::kCurrentUser);
  const std::string signature = OpenSslSignature("original");
  const Coded failure = CodedFailureOf([&] { tool_.CheckSign(true, "originaL", signature); });
  EXPECT_EQ(failure.code, 22);
  EXPECT_TRUE(failure.message.starts_with(Msg(u8"Ошибка при проверке подписи [0x80090006")))
      << failure.message;
}

TEST_F(SignatureCheckTest, OpenSslSignatureWithoutCertificatesFailsWithCode32) {
  Install(StoreLocation::kCurrentUser);
  const std::string signature = OpenSslSignature("bare", "-nocerts");
  const Coded failure = CodedFailureOf([&] { tool_.CheckSign(true, "bare", signature); });
  EXPECT_EQ(failure.code, 32);
  EXPECT_EQ(failure.message,
            Msg(u8"Ошибка при проверке подписи: невозможно выделить сертификат из подписи"));
}

// ---- validity and revocation now --------------------------------------------------------------

TEST_F(SignatureCheckTest, RevokedSignerFailsWithCode21) {
  Install(StoreLocation::kCurrentUser, false);
  CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA")
      .AddCrl(pki_.RevokingCrl(), AddDisposition::kReplaceExisting);
  const std::string signature = tool_.Sign(true, "revoked", user_.Thumbprint());
  const Coded failure = CodedFailureOf([&] { tool_.CheckSign(true, "revoked", signature); });
  EXPECT_EQ(failure.code, 21);
  EXPECT_TRUE(failure.message.starts_with(Msg(u8"На момент подписания ["))) << failure.message;
}

TEST_F(SignatureCheckTest, SignatureOfAnExpiredCertificateFailsWithCode21AtTheCheckingTime) {
  Install(StoreLocation::kCurrentUser);
  const Certificate old = pki_.OldUser();
  InstallSigner(StoreLocation::kCurrentUser, old, pki_.OldUserKey(), "old-key");
  // Signing does not look at the validity; every check judges it now.
  const std::string signature = tool_.Sign(true, "late", old.Thumbprint());
  const Coded failure = CodedFailureOf([&] { tool_.CheckSign(true, "late", signature); });
  EXPECT_EQ(failure.code, 21);
  EXPECT_TRUE(failure.message.starts_with(Msg(u8"Дата подписи [")) &&
              failure.message.find(Msg(u8"] вне срока действия сертификата [")) !=
                  std::string::npos)
      << failure.message;
  // Without the revocation check the dates of the signer are not judged.
  rtl::CStrArray signers;
  tool_.CheckSignEx(true, "late", false, false, &signers, signature);
  EXPECT_EQ(signers.Count(), 2);
}

// ---- several threads ---------------------------------------------------------------------------

TEST_F(SignatureCheckTest, SignAndCheckFromTwoThreadsAtOnce) {
  Install(StoreLocation::kCurrentUser);
  constexpr int kRounds = 8;
  std::vector<std::string> failures(2);
  std::vector<int> checked(2, 0);
  auto work = [&](int thread) {
    try {
      const CTdx880CryptoTool tool;
      for (int round = 0; round < kRounds; ++round) {
        const std::string content =
            Content(500 + static_cast<size_t>(round), static_cast<unsigned>(thread * 50 + round));
        const std::string signature = tool.Sign(true, content, user_.Thumbprint());
        rtl::CStrArray signers;
        tool.CheckSignEx(true, content, true, false, &signers, signature);
        if (signers.Count() == 2 && tool.CheckSign(true, content, signature)) {
          ++checked[static_cast<size_t>(thread)];
        }
        const Coded tampered =
            CodedFailureOf([&] { tool.CheckSign(true, content + "!", signature); });
        if (tampered.code != 22) {
          failures[static_cast<size_t>(thread)] = "tampered content: " + tampered.message;
        }
      }
    } catch (const rtl::Exception& error) {
      failures[static_cast<size_t>(thread)] = error.Message();
    }
  };
  std::thread first(work, 0);
  std::thread second(work, 1);
  first.join();
  second.join();
  EXPECT_EQ(failures, (std::vector<std::string>{"", ""}));
  EXPECT_EQ(checked, (std::vector<int>{kRounds, kRounds}));
}

}  // namespace
}  // namespace lyr::crypt
