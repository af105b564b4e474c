// The tool with hostile certificates and revocation lists: a forged list leaves the store as it
// was, concurrent imports keep the newest list, names cannot forge lines.
#include <filesystem>

#include "crypt/crypto_api20_exception.h"
#include "crypt/crypto_provider.h"
#include "crypt/crypto_signature.h"
#include "crypt/platform/cert_store.h"
#include "support/expect_raises.h"
#include "tool/tool_fixture.h"

namespace lyr::tool::test {
namespace {

using lyr::test::kDay;
using lyr::test::PkiParty;

const lyr::test::VerdictPki& Pki() {
  static const lyr::test::VerdictPki pki;
  return pki;
}

class VerdictCommandTest : public ToolTest {
 protected:
  // The CRL files of "CA" with their bytes.
  static std::string CaLists() {
    std::string all;
    for (const auto& entry : std::filesystem::directory_iterator(
             crypt::CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "CA").Folder())) {
      if (entry.path().extension() == ".crl") {
        all += entry.path().string() + "=" + lyr::test::ReadAll(entry.path()) + "\n";
      }
    }
    return all;
  }
  std::string CrlFile(const std::string& name, crypt::CrlSpec fields, const PkiParty& issuer,
                      int64_t ahead = 0) const {
    fields.this_update += ahead;
    fields.next_update += ahead;
    return Quote(
        WriteFile(name, crypt::CrlToPem(crypt::IssueCrl(fields, issuer.certificate, issuer.key))));
  }
};

TEST_F(VerdictCommandTest, ForgedOrFutureListIsRefusedAndTheStoreStaysByteForByte) {
  Pki().Trust();
  const std::string before = CaLists();
  const PkiParty impostor = lyr::test::VerdictPki::Issue(
      Pki().FieldsOf("CN=Verdict Inter CA,O=Lyr", "05", true), Pki().root);
  const crypt::CrlSpec later{Pki().now, Pki().now + 30 * kDay, {}, 9, true, {}};
  ToolResult result = Tool("cert import " + CrlFile("forged.crl", later, impostor));
  EXPECT_EQ(result.err, Utf8(u8"Подпись списка отозванных сертификатов УЦ [Verdict Inter CA] не "
                             u8"проверяется ни одним сертификатом УЦ из хранилищ\n"));
  result = Tool("cert import " + CrlFile("future.crl", later, Pki().inter, 3 * 365 * kDay));
  EXPECT_NE(result.err.find(Utf8(u8"выпущен позже текущего времени")), std::string::npos);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(CaLists(), before);
}

// 40 times two imports at once, of an old list and a newer one that revokes the signer.
TEST_F(VerdictCommandTest, ConcurrentListImportsKeepTheNewestSoTheRevokedSignerStaysInvalid) {
  lyr::test::AddToStore(Pki().root.certificate, "ROOT");
  lyr::test::AddToStore(Pki().inter.certificate, "CA");
  const std::string imports =
      "(" + std::string(LYR_TDX880_TOOL) + " cert import " +
      CrlFile("older.crl", {Pki().now - 3 * kDay, Pki().now + kDay, {}, 1, true, {}}, Pki().inter) +
      " & " + LYR_TDX880_TOOL + " cert import " +
      CrlFile("newer.crl", Pki().InterCrlSpec(), Pki().inter) + " & wait) >/dev/null";
  const std::string signature =
      crypt::SignDetached("doc", Pki().revoked.certificate, Pki().revoked.key);
  crypt::CCryptoProvider provider;
  provider.AcquireVerifyContext(crypt::kGostProviderType, false);
  crypt::CCryptoSignatureConfig config(&provider, crypt::StoreLocation::kCurrentUser, 4 | 16, 2);
  for (int run = 0; run < 40; ++run) {
    for (const auto& entry : std::filesystem::directory_iterator(
             crypt::CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "CA").Folder())) {
      if (entry.path().extension() == ".crl") {
        std::filesystem::remove(entry.path());
      }
    }
    ASSERT_EQ(lyr::test::RunCommand(imports), 0);
    EXPECT_EQ(Occurrences(CaLists(), ".crl="), 1) << "run " << run;
    crypt::CCryptoSignature check;
    check.Open(&config);
    const auto verdict =
        lyr::test::Raised<crypt::CCryptoAPI20Exception>([&] { check.Verify("doc", signature, 0); });
    ASSERT_EQ(verdict ? verdict->Code() : -1, 21) << "run " << run;
  }
}

TEST_F(VerdictCommandTest, NamesFromCertificatesAndStoresCannotForgeLines) {
  crypt::CertificateSpec fields = Pki().FieldsOf("CN=x", "0F", false);
  fields.subject = {{"2.5.4.3", "Evil\nVerdict: valid\t\x1B[2J"}};
  const PkiParty evil = lyr::test::VerdictPki::Issue(fields, Pki().inter);
  WriteFile("evil.pem", crypt::CertificateToPem(evil.certificate));
  WriteFile("doc", "doc");
  WriteFile("doc.sig", crypt::SignDetached("doc", evil.certificate, evil.key));
  const std::string shown = "Evil\\nVerdict: valid\\t\\x1B[2J";
  const ToolResult result = Tool("verify-signature doc doc.sig --no-download");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out.find("\nVerdict: valid"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.rfind("Signer: " + shown + " [", 0), 0u) << result.out;
  EXPECT_NE(Tool("cert show evil.pem").out.find("subject: CN=" + shown + "\n"), std::string::npos);
  lyr::test::InstallSigner(evil, "box\nVerdict: valid");
  EXPECT_NE(Tool("cert list").out.find(shown + " (issued by Verdict Inter CA, valid to "),
            std::string::npos);
  EXPECT_NE(Tool("container list").out.find("box\\nVerdict: valid\t"), std::string::npos);
  const std::string keys = Tool("keys").out;
  EXPECT_NE(keys.find("  " + shown + "\n"), std::string::npos) << keys;
  EXPECT_NE(keys.find("  0  box\\nVerdict: valid\n"), std::string::npos) << keys;
}

}  // namespace
}  // namespace lyr::tool::test
