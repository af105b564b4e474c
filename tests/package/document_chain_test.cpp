// CTdx880Document verification end to end: a saved item's signatures checked over the plain
// content with the signer's chain and the issuer's revocation list from the local stores, the
// signer list, changed content and a revoked signer. The PKI (a root, a user it issued, an empty
// CRL and one revoking the user) is made once per process by the openssl command line.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "crypt/crypto_api20_utils.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/crl.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key.h"
#include "crypt/tdx880_key.h"
#include "package/item_fixture.h"
#include "package/tdx880_document.h"
#include "package/tdx880_signature.h"
#include "rtl/text.h"
#include "support/pki.h"

namespace lyr::package::test {
namespace {

using crypt::AddDisposition;
using crypt::Certificate;
using crypt::CertStore;
using crypt::CTdx880Key;
using crypt::StoreLocation;
using rtl::Msg;

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

struct ItemPki {
  ItemPki() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lyr-item-pki-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      return;
    }
    folder = pattern;
    WriteText(folder / "ca.cnf", kCaConfig);
    WriteText(folder / "index.txt", "");
    WriteText(folder / "revoked-index.txt",
              "R\t301231235959Z\t250101000000Z\t0B21\tunknown\t/CN=Item User/O=Lyr\n");
    WriteText(folder / "crlnumber", "01\n");
    const std::string script =
        "cd '" + folder.string() + "' && export OPENSSL_CONF='" + lyr::test::OpenSslConfigPath() +
        "' && unset CRYPT_PARAMS && "
        "openssl genpkey -algorithm gost2001 -pkeyopt paramset:XA -out root.key && "
        "openssl req -config ca.cnf -new -x509 -key root.key -subj '/CN=Item Root/O=Lyr' "
        "-days 3650 -set_serial 1 -extensions v3_root -md_gost94 -out root.pem && "
        "openssl genpkey -algorithm gost2001 -pkeyopt paramset:XA -out user.key && "
        "openssl req -config ca.cnf -new -key user.key -subj '/CN=Item User/O=Lyr' -out user.csr "
        "&& "
        "openssl x509 -req -in user.csr -CA root.pem -CAkey root.key -set_serial 0x0B21 -days 365 "
        "-extfile ca.cnf -extensions v3_user -md_gost94 -out user.pem && "
        "openssl ca -config ca.cnf -gencrl -keyfile root.key -cert root.pem -out root.crl && "
        "openssl ca -config ca.cnf -name revoked -gencrl -keyfile root.key -cert root.pem "
        "-out revoked.crl 2>&1";
    std::string output;
    made = lyr::test::RunCommand(script, &output) == 0;
    error = output;
  }
  ~ItemPki() {
    std::error_code ec;
    if (!folder.empty()) {
      std::filesystem::remove_all(folder, ec);
    }
  }
  ItemPki(const ItemPki&) = delete;
  ItemPki& operator=(const ItemPki&) = delete;

  [[nodiscard]] std::string File(const char* name) const {
    return lyr::test::FileBytes(folder / name);
  }

  std::filesystem::path folder;
  bool made = false;
  std::string error;
};

const ItemPki& SharedItemPki() {
  static const ItemPki pki;
  return pki;
}

// The root trusted, the user's certificate in "MY" bound to a container with its key, and the
// root's CRL in "CA" (empty, or revoking the user).
class DocumentChainCheck : public ItemTest {
 protected:
  void SetUp() override {
    ItemTest::SetUp();
    ASSERT_TRUE(pki_.made) << pki_.error;
    user_ = Certificate::FromPem(pki_.File("user.pem"));
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "ROOT")
        .Add(Certificate::FromPem(pki_.File("root.pem")), AddDisposition::kReplaceExisting);
    crypt::KeyContainer::Create(StoreLocation::kCurrentUser, "user-key",
                                crypt::PrivateKey::FromPem(pki_.File("user.key"), std::nullopt));
    Certificate bound = user_;
    bound.SetKeyProv(crypt::KeyProvInfo{"user-key", "", 75, 1, 1});
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY")
        .Add(bound, AddDisposition::kReplaceExisting);
  }

  void AddCrl(const char* name) {
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "CA")
        .AddCrl(crypt::Crl::FromPem(pki_.File(name)), AddDisposition::kReplaceExisting);
  }

  // A saved item of type 01 signed by the user.
  std::shared_ptr<CTdx880Document> SignedItem() {
    const auto item = NewItem("01", "a signed declaration");
    CTdx880Key key;
    crypt::FillKeyFromCertificate(key, user_);
    EXPECT_TRUE(item->Sign(&key));
    EXPECT_TRUE(item->Save());
    return item;
  }

  const ItemPki& pki_ = SharedItemPki();
  Certificate user_ = Certificate::FromDer(lyr::test::PemFileToDer(lyr::test::SharedPki().user));
};

TEST_F(DocumentChainCheck, CheckSignAfterSaveVerifiesThePlainContentAndReportsTheSigner) {
  AddCrl("root.crl");
  const auto item = SignedItem();
  ASSERT_TRUE(item->IsCompressed());
  ASSERT_TRUE(item->CheckSign());
  EXPECT_TRUE(item->IsCompressed());  // verified over an unpacked copy
  const std::string sha1 = crypt::CCryptoAPI20Utils::GetSha1(user_);
  rtl::CStrArray& signers = item->GetSignature(0)->Signers();
  ASSERT_EQ(signers.Count(), 2);
  EXPECT_EQ(signers.Strings(0), sha1);
  EXPECT_EQ(signers.Strings(1), sha1);
  const auto* key = signers.Object<CTdx880Key>(1);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Sha1(), sha1);
  EXPECT_EQ(key->SubjectCN(), "");
}

TEST_F(DocumentChainCheck, ALoadedItemVerifiesAsWell) {
  AddCrl("root.crl");
  SignedItem();
  const auto loaded = LoadItem(0);
  EXPECT_TRUE(loaded->CheckSignEx(false, true));
  EXPECT_TRUE(loaded->CheckSignEx(false, false));
}

TEST_F(DocumentChainCheck, ChangedContentFailsTheCheck) {
  AddCrl("root.crl");
  const auto item = SignedItem();
  item->SetContent("another declaration");
  const std::string error = MessageOf([&] { item->CheckSign(); });
  EXPECT_EQ(error.rfind(Msg(u8"Ошибка при проверке подписи ["), 0), 0U) << error;
}

TEST_F(DocumentChainCheck, ARevokedSignerFails) {
  AddCrl("revoked.crl");
  const auto item = SignedItem();
  const std::string error = MessageOf([&] { item->CheckSignEx(false, true); });
  EXPECT_EQ(error.rfind(Msg(u8"На момент подписания ["), 0), 0U) << error;
  EXPECT_TRUE(item->CheckSignEx(false, false));  // without the revocation check it holds
}

}  // namespace
}  // namespace lyr::package::test
