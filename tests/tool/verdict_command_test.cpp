// The tool's verdicts and listings with hostile certificates and revocation lists: a forged list
// leaves the store as it was, concurrent imports keep the newest list, names cannot forge lines.
#include <filesystem>

#include "crypt/crypto_api20_exception.h"
#include "crypt/crypto_provider.h"
#include "crypt/crypto_signature.h"
#include "crypt/platform/cert_store.h"
#include "support/expect_raises.h"
#include "tool/tool_fixture.h"

namespace lyr::tool::test {
namespace {

using crypt::CertStore;
using lyr::test::VerdictPki;

const VerdictPki& Pki() {
  static const VerdictPki pki;
  return pki;
}

// Every file of a folder with its bytes.
std::string Snapshot(const std::filesystem::path& folder) {
  std::string all;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    all += entry.path().filename().string() + "=" + lyr::test::ReadAll(entry.path()) + "\n";
  }
  return all;
}

class VerdictCommandTest : public ToolTest {
 protected:
  std::string CaFolder() const {
    return CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "CA").Folder();
  }
  std::string CrlFile(const std::string& name, const crypt::CrlSpec& fields,
                      const lyr::test::PkiParty& issuer) const {
    return WriteFile(name,
                     crypt::CrlToPem(crypt::IssueCrl(fields, issuer.certificate, issuer.key)));
  }
};

TEST_F(VerdictCommandTest, ForgedOrFutureListIsRefusedAndTheStoreStaysByteForByte) {
  Pki().Trust();
  const std::string before = Snapshot(CaFolder());
  crypt::CrlSpec later = Pki().InterCrlSpec();
  later.this_update += 3600;
  later.revoked.clear();
  const lyr::test::PkiParty impostor =
      VerdictPki::Issue(Pki().Spec("CN=Verdict Inter CA,O=Lyr", "05", true), Pki().inter);
  ToolResult result = Tool("cert import " + CrlFile("forged.crl", later, impostor));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, Utf8(u8"Подпись списка отозванных сертификатов УЦ [Verdict Inter CA] не "
                             u8"проверяется ни одним сертификатом УЦ из хранилищ\n"));
  later.this_update += 3 * 365 * lyr::test::kDay;
  later.next_update += 3 * 365 * lyr::test::kDay;
  result = Tool("cert import " + CrlFile("future.crl", later, Pki().inter));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find(Utf8(u8"выпущен позже текущего времени")), std::string::npos);
  EXPECT_EQ(Snapshot(CaFolder()), before);
}

// Two imports at once of an old list and of a newer one that revokes the signer: the store keeps
// the newer one alone, and the revoked signer never verifies.
TEST_F(VerdictCommandTest, ConcurrentListImportsKeepTheNewestSoTheRevokedSignerStaysInvalid) {
  lyr::test::AddToStore(Pki().root.certificate, "ROOT");
  lyr::test::AddToStore(Pki().inter.certificate, "CA");
  const std::string older =
      CrlFile("older.crl",
              {Pki().now - 3 * lyr::test::kDay, Pki().now + 30 * lyr::test::kDay, {}, 1, true, {}},
              Pki().inter);
  const std::string newer = CrlFile("newer.crl", Pki().InterCrlSpec(), Pki().inter);
  const std::string signature =
      crypt::SignDetached("doc", Pki().revoked.certificate, Pki().revoked.key);
  crypt::CCryptoProvider provider;
  provider.AcquireVerifyContext(crypt::kGostProviderType, false);
  crypt::CCryptoSignatureConfig config(&provider, 2, 4 | 16, 2);
  const std::string tool = std::string(LYR_TDX880_TOOL) + " cert import ";
  for (int run = 0; run < 40; ++run) {
    for (const auto& entry : std::filesystem::directory_iterator(CaFolder())) {
      if (entry.path().extension() == ".crl") {
        std::filesystem::remove(entry.path());
      }
    }
    ASSERT_EQ(lyr::test::RunCommand("(" + tool + Quote(older) + " & " + tool + Quote(newer) +
                                    " & wait) >/dev/null"),
              0);
    EXPECT_EQ(CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "CA").Crls().size(), 1u);
    crypt::CCryptoSignature check;
    check.Open(&config);
    const auto verdict =
        lyr::test::Raised<crypt::CCryptoAPI20Exception>([&] { check.Verify("doc", signature, 0); });
    ASSERT_TRUE(verdict) << "run " << run;
    EXPECT_EQ(verdict->Code(), 21) << "run " << run;
  }
}

TEST_F(VerdictCommandTest, NamesFromCertificatesAndStoresCannotForgeLines) {
  crypt::CertificateSpec fields = Pki().Spec("CN=x", "0F", false);
  fields.subject = {{"2.5.4.3", "Evil\nVerdict: valid\t\x1B[2J"}};
  const lyr::test::PkiParty evil = VerdictPki::Issue(fields, Pki().inter);
  WriteFile("evil.pem", crypt::CertificateToPem(evil.certificate));
  WriteFile("doc", "doc");
  WriteFile("doc.sig", crypt::SignDetached("doc", evil.certificate, evil.key));
  const std::string shown = "Evil\\nVerdict: valid\\t\\x1B[2J";
  ToolResult result = Tool("verify-signature doc doc.sig --no-download");
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
