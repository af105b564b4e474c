// The test PKI, made in process by the library's PKI builder (GOST R 34.10-2001 keys):
// SharedPki(), one fixed PKI per test process, also as PEM files for the openssl command line;
// ChainScenario, a PKI of every shape the chain builder meets with its CA certificates and CRLs
// served by a loopback server; PkiSandbox, a sandbox with openssl and the GOST engine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/platform/certificate.h"
#include "crypt/platform/crl.h"
#include "crypt/platform/pki_builder.h"
#include "crypt/platform/private_key.h"
#include "crypt/platform/store_location.h"
#include "support/sandbox.h"

namespace lyr::test {

class LoopbackServer;

inline constexpr int64_t kDay = 86400;

struct PkiParty {
  crypt::PrivateKey key;
  crypt::Certificate certificate;
};

struct TestPki {
  // root "CN=Test Root CA,O=Lyr" (self-signed, critical CA, serial 01); inter "CN=Test Inter CA"
  // (by root, critical CA, CRL points http, ldap, upper-case HTTP and https, caIssuers and OCSP,
  // paramset A, serial 0102); user "CN=Test User,O=Lyr" (by inter, CA:FALSE, one CRL point,
  // caIssuers, serial 00A1B2C3).
  PkiParty root_party, inter_party, user_party;
  crypt::Crl root_crl_object;  // revokes 0102 on 2025-01-01
  // The same as PEM files (keys as PKCS#8); nocn "O=No Name,C=RU": self-signed by the user key,
  // without common name.
  std::filesystem::path root, root_key, inter, inter_key, user, user_key, nocn, root_crl;
  // ocsp_only: by root (user key), OCSP access alone; user_csr: a request of the user key;
  // chain_root, chain_inter, chain_user: a second chain on the root, inter and user keys;
  // plain_self: self-signed without basic constraints; inter_noncritical: a non-critical CA by
  // root.
  std::filesystem::path ocsp_only, user_csr, chain_root, chain_inter, chain_user, plain_self,
      inter_noncritical;
};

const TestPki& SharedPki();

// An OpenSSL configuration that loads the GOST engine.
std::string OpenSslConfigPath();
// "openssl <arguments>" with the GOST engine in the folder of SharedPki()'s files.
int RunOpenSsl(const std::string& arguments, std::string* output = nullptr);

// The DER of the first PEM block of a file.
std::string PemFileToDer(const std::filesystem::path& path);
crypt::Certificate CertificateOf(const std::filesystem::path& pem);
crypt::PrivateKey KeyOf(const std::filesystem::path& pem);
// The shared GOST vectors folder, or empty when this machine has none.
std::filesystem::path GostVectorsFolder();
// The vectors of the GOST R 34.12-2015 CMS reference pack beside the shared test data, or empty.
std::filesystem::path ReferenceVectorsFolder();

void AddToStore(const crypt::Certificate& certificate, const std::string& store,
                crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser);
void AddCrlToStore(const crypt::Crl& crl, const std::string& store = "CA",
                   crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser);
// party's key in a new container, its certificate bound to it in "MY"; the bound certificate.
crypt::Certificate InstallSigner(
    const PkiParty& party, const std::string& container,
    crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser);

// Times are relative to the moment the scenario was made (now, seconds since the epoch).
class ChainScenario final {
  // The server comes first: the certificates made after it carry its URLs.
  mutable std::mutex lock_;
  std::map<std::string, std::string> served_;
  std::unique_ptr<LoopbackServer> server_;
  std::string dead_authority_;

 public:
  static constexpr int64_t kDay = test::kDay;

  // The server answers GET /<path> with a served file, 404 otherwise; it serves "root.cer",
  // "inter.cer", "root.crl" and "inter.crl" from the start. folder is the test's to remove.
  explicit ChainScenario(std::filesystem::path folder);
  ~ChainScenario();
  ChainScenario(const ChainScenario&) = delete;
  ChainScenario& operator=(const ChainScenario&) = delete;

  const int64_t now;
  const std::filesystem::path folder;
  const int64_t revocation_date;

  // root "Scenario Root CA" (critical CA, now-2y..now+10y); inter "Scenario Inter CA" (by root,
  // caIssuers and CRL point on the server, now-1y..now+5y). End entities (now-180d..now+1y):
  // user by inter with inter's addresses; direct by root with root's; revoked (0E) as user,
  // revoked at revocation_date; ocsp_only with only an OCSP address; unreachable with addresses
  // where nothing listens; bare without addresses.
  PkiParty root, inter, user, direct, revoked, ocsp_only, unreachable, bare;
  // root's CRL (empty) and inter's (revokes 0E and 7777), now-1d..now+30d; inter_stale_crl:
  // inter's entries, now-60d..now-30d.
  crypt::Crl root_crl, inter_crl, inter_stale_crl;

  [[nodiscard]] std::string Url(std::string_view path) const;
  [[nodiscard]] std::string DeadUrl(std::string_view path) const;
  void Serve(const std::string& path, std::string bytes);
  // The paths requested so far ("/inter.cer" ...), in order.
  [[nodiscard]] std::vector<std::string> RequestedPaths() const;
  void TrustRoot(crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser) const;
  void AddIntermediateToCa(
      crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser) const;
  // The current user trusts root and has inter, root_crl and inter_crl in "CA".
  void TrustAll() const;
};

// A GOST R 34.10-2012 (256-bit) PKI made at construction (now): root "Verdict Root CA"
// (self-signed) and inter "Verdict Inter CA" (by root), critical CAs with keyCertSign and
// cRLSign; by inter, signer "Verdict Signer" and revoked (serial 0E); CRLs now-1d..now+30d: the
// root's empty, the inter's revoking 0E a day ago.
struct VerdictPki {
  VerdictPki();
  const int64_t now;
  PkiParty root, inter, signer, revoked;
  crypt::Crl root_crl, inter_crl;
  // Fields valid now-180d..now+1y: a CA as inter, or an end entity as signer.
  [[nodiscard]] crypt::CertificateSpec FieldsOf(const std::string& subject,
                                                const std::string& serial, bool ca) const;
  // The fields of inter's CRL above.
  [[nodiscard]] crypt::CrlSpec InterCrlSpec() const;
  // A new 2012-256 key with a certificate of fields by issuer.
  [[nodiscard]] static PkiParty Issue(const crypt::CertificateSpec& fields, const PkiParty& issuer);
  // The current user has root in "ROOT", inter and both CRLs in "CA".
  void Trust() const;
};

class PkiSandbox : public Sandbox {
 protected:
  void TearDown() override;
  // "openssl <arguments>" with the GOST engine in the sandbox folder; output gets both outputs.
  int OpenSsl(const std::string& arguments, std::string* output = nullptr) const;
  // openssl cms accepts signature (DER) over content, without checking the chain.
  bool OpenSslVerifies(const std::string& content, const std::string& signature) const;
  // The GOST engine unloadable for processes started from now on, until TearDown.
  void HideEngine() const;
};

// Deterministic bytes of a size.
std::string Content(size_t size, unsigned seed = 7);

}  // namespace lyr::test
